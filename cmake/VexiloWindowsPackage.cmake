# What the Windows build installs, and the two packages CPack makes from it
# (scripts/package-windows.sh): an NSIS installer for one user, no administrator needed
# (packaging/windows/NSIS.template.in), and a portable .zip of the same files.

find_program(VEXILO_MAKENSIS makensis)
if(NOT VEXILO_MAKENSIS)
    message(FATAL_ERROR "makensis (Debian package nsis) is missing; run scripts/install-deps.sh")
endif()

install(TARGETS vexilo RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME Vexilo)
set(CPACK_PACKAGE_VENDOR "The Vexilo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "pick CAD points into a coordinate table and export a coordinate report")
set(CPACK_PACKAGE_FILE_NAME vexilo-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Vexilo)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# The portable archive unpacks into a folder of its own.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The installer script is ours: per-user, Vexilo.FormCAD registered.
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging/windows)
set(CPACK_NSIS_EXECUTABLE ${VEXILO_MAKENSIS})
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/src/app_win32/vexilo.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/src/app_win32/vexilo.ico)
include(CPack)
