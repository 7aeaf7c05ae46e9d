# Helpers that keep the target layout in one place: core libraries that must never link Qt,
# GoogleTest executables registered with CTest, and the check that enforces the first.

set_property(GLOBAL PROPERTY VEXILO_CORE_TARGETS "")

# vexilo_core_library(NAME SOURCES... [LINKS libs...])
# A library of the Qt-free core. Its include root is src/, so code includes "survey/dms.h".
function(vexilo_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    set_property(GLOBAL APPEND PROPERTY VEXILO_CORE_TARGETS ${name})
endfunction()

# vexilo_gtest(NAME SOURCES... LINKS libs... [ENV var=value...])
function(vexilo_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(WIN32)
        # The Windows build's test programs start at wmain, their arguments in UTF-16.
        set(main vexilo_gtest_wmain)
        target_link_options(${name} PRIVATE -municode)
    else()
        set(main GTest::gtest_main)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gmock ${main})
    target_compile_definitions(${name} PRIVATE
        VEXILO_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VEXILO_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    add_test(NAME ${name} COMMAND ${name})
    if(ARG_ENV)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
    endif()
endfunction()

# Walks the link graph of a target and collects every library it reaches.
function(_vexilo_collect_links target out)
    set(seen ${${out}})
    foreach(prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(libs ${target} ${prop})
        if(NOT libs)
            continue()
        endif()
        foreach(lib IN LISTS libs)
            if(lib IN_LIST seen)
                continue()
            endif()
            list(APPEND seen ${lib})
            if(TARGET ${lib})
                _vexilo_collect_links(${lib} seen)
            endif()
        endforeach()
    endforeach()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configuration when a core library reaches Qt through its link graph. Qt's headers
# are only on the include path of targets that link Qt, so a stray Qt include in a core file
# then fails to compile as well.
function(vexilo_check_core_targets)
    get_property(cores GLOBAL PROPERTY VEXILO_CORE_TARGETS)
    foreach(core IN LISTS cores)
        set(links "")
        _vexilo_collect_links(${core} links)
        foreach(lib IN LISTS links)
            if(lib MATCHES "^Qt[0-9]*::" OR lib MATCHES "[Qq]t6")
                message(FATAL_ERROR "Core library ${core} links ${lib}; core code must stay free of Qt")
            endif()
        endforeach()
    endforeach()
endfunction()

# Fails the configuration when `target` reaches any library whose name starts with `prefix`:
# the utility talks to the drawing host over the bus and must never link the host's code.
function(vexilo_check_not_linked target prefix)
    set(links "")
    _vexilo_collect_links(${target} links)
    foreach(lib IN LISTS links)
        string(FIND "${lib}" "${prefix}" at)
        if(at EQUAL 0)
            message(FATAL_ERROR "${target} links ${lib}; it must not link ${prefix}* libraries")
        endif()
    endforeach()
endfunction()
