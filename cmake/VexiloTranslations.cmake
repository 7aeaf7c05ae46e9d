# The programs' own translations: translations/vexilo_<language>.ts in the tree (English
# source texts), compiled by Qt's lrelease into .qm catalogues built into each executable.
# `cmake --build <dir> --target vexilo_lupdate` refreshes the .ts files from the sources; the
# test translations_complete fails while a source text is missing from a .ts or untranslated.

find_program(VEXILO_LRELEASE lrelease HINTS /usr/lib/qt6/bin NO_DEFAULT_PATH)
find_program(VEXILO_LRELEASE lrelease)
find_program(VEXILO_LUPDATE lupdate HINTS /usr/lib/qt6/bin NO_DEFAULT_PATH)
find_program(VEXILO_LUPDATE lupdate)
if(NOT VEXILO_LRELEASE OR NOT VEXILO_LUPDATE)
    message(FATAL_ERROR "Qt's lrelease and lupdate are missing (Debian package qt6-l10n-tools); "
                        "run scripts/install-deps.sh")
endif()

file(GLOB VEXILO_TS_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/translations/*.ts)

# The arguments of lupdate: the sources of vexilo-cad and of what both programs share (vexilo's
# window keeps its own Chinese texts). The Qt-free cores mark their texts with
# uiText(context, source), which lupdate reads as QCoreApplication::translate.
set(VEXILO_LUPDATE_ARGS -silent -locations none -no-obsolete -extensions cpp,h
                        -tr-function-alias translate+=uiText -I ${PROJECT_SOURCE_DIR}/src
                        ${PROJECT_SOURCE_DIR}/src/cadhost ${PROJECT_SOURCE_DIR}/src/desktop
                        ${PROJECT_SOURCE_DIR}/src/app/main.cpp)

# vexilo_embed_translations(TARGET): compiles the .ts files and builds the catalogues into
# TARGET under :/i18n, where vexilo::desktop::installTranslations() looks for them.
function(vexilo_embed_translations target)
    set(qms "")
    foreach(ts IN LISTS VEXILO_TS_FILES)
        get_filename_component(base ${ts} NAME_WE)
        set(qm ${CMAKE_CURRENT_BINARY_DIR}/${target}_i18n/${base}.qm)
        add_custom_command(OUTPUT ${qm}
                           COMMAND ${VEXILO_LRELEASE} -silent ${ts} -qm ${qm}
                           DEPENDS ${ts}
                           COMMENT "Compiling ${base}.ts for ${target}"
                           VERBATIM)
        list(APPEND qms ${qm})
    endforeach()
    qt_add_resources(${target} ${target}_translations
                     PREFIX /i18n
                     BASE ${CMAKE_CURRENT_BINARY_DIR}/${target}_i18n
                     FILES ${qms})
endfunction()

add_custom_target(vexilo_lupdate
                  COMMAND ${VEXILO_LUPDATE} ${VEXILO_LUPDATE_ARGS} -ts ${VEXILO_TS_FILES}
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  COMMENT "Refreshing translations/*.ts from the sources"
                  VERBATIM)

if(VEXILO_BUILD_TESTS)
    string(REPLACE ";" "|" lupdate_args "${VEXILO_LUPDATE_ARGS}")
    string(REPLACE ";" "|" ts_files "${VEXILO_TS_FILES}")
    add_test(NAME translations_complete
             COMMAND ${CMAKE_COMMAND} -DLUPDATE=${VEXILO_LUPDATE} "-DARGS=${lupdate_args}"
                     "-DTS_FILES=${ts_files}" -DWORK=${CMAKE_BINARY_DIR}/translations_check
                     -P ${PROJECT_SOURCE_DIR}/cmake/CheckTranslations.cmake)
endif()
