# What `cmake --install` puts where, as a desktop application on Linux, and the Debian package
# CPack builds from it (scripts/package.sh): both programs, their desktop entries (vexilo-cad's
# registered for DXF), hicolor icons (SVG and PNG sizes drawn from it by rsvg-convert),
# AppStream metainfo, a man page for each, and the licence as the package's copyright file.

include(GNUInstallDirs)

find_program(VEXILO_RSVG_CONVERT rsvg-convert)
find_program(VEXILO_GZIP gzip)
if(NOT VEXILO_RSVG_CONVERT OR NOT VEXILO_GZIP)
    message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) or gzip is missing; "
                        "run scripts/install-deps.sh")
endif()

set(_desktop_dir ${PROJECT_SOURCE_DIR}/packaging/linux)
set(_desktop_out ${CMAKE_BINARY_DIR}/packaging)
set(_desktop_files "")

install(TARGETS vexilo vexilo-cad RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(app org.vexilo.Vexilo org.vexilo.VexiloCad)
    install(FILES ${_desktop_dir}/${app}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${_desktop_dir}/${app}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${_desktop_dir}/${app}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 16 22 24 32 48 64 128 256 512)
        set(png ${_desktop_out}/icons/${size}/${app}.png)
        add_custom_command(OUTPUT ${png}
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${_desktop_out}/icons/${size}
                           COMMAND ${VEXILO_RSVG_CONVERT} -w ${size} -h ${size}
                                   ${_desktop_dir}/${app}.svg -o ${png}
                           DEPENDS ${_desktop_dir}/${app}.svg
                           VERBATIM)
        list(APPEND _desktop_files ${png})
        install(FILES ${png}
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endforeach()

foreach(page vexilo vexilo-cad)
    configure_file(${_desktop_dir}/${page}.1.in ${_desktop_out}/${page}.1 @ONLY)
    set(gz ${_desktop_out}/${page}.1.gz)
    add_custom_command(OUTPUT ${gz}
                       COMMAND ${VEXILO_GZIP} -9 -n -f -k ${_desktop_out}/${page}.1
                       DEPENDS ${_desktop_out}/${page}.1
                       VERBATIM)
    list(APPEND _desktop_files ${gz})
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

add_custom_target(vexilo_desktop_files ALL DEPENDS ${_desktop_files})

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vexilo
        RENAME copyright)

# ---- the Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexilo)
set(CPACK_PACKAGE_VENDOR "The Vexilo developers")
set(CPACK_PACKAGE_CONTACT "The Vexilo developers <vexilo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "pick CAD points into a coordinate table and export a coordinate report")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vexilo is a small companion window for surveyors and engineers who work in a CAD
drawing: pick points and polyline vertices into a numbered coordinate table
(number, code, X, Y), in the user or world coordinate system, and export the
table as a printable coordinate report (.xlsx).
.
The package holds both programs: vexilo, the window with the table, and
vexilo-cad, a lean 2D DXF viewer that answers vexilo's requests on the D-Bus
session bus.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Libraries come from dpkg-shlibdeps; what the programs load at run time is named here: Qt's
# platform plugins, a session bus for the two programs to meet on.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, default-dbus-session-bus | dbus-session-bus")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, fonts-noto-cjk, xdg-utils, libqt6svg6, shared-mime-info")
include(CPack)
