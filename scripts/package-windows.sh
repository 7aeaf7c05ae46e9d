#!/usr/bin/env bash
# Builds the Windows release of Vexilo from Linux with mingw-w64 and CPack, and prints the paths
# of its two files:
#   build/windows-package/vexilo-<version>-win64.exe  the installer (NSIS; per user, no
#                                                     administrator; Start-menu shortcut,
#                                                     uninstaller, Vexilo.FormCAD registered)
#   build/windows-package/vexilo-<version>-win64.zip  the same program, portable
#   scripts/package-windows.sh            builds the windows-package preset (programs only) and
#                                         packages it
#   scripts/package-windows.sh BUILD_DIR  packages an existing build of the windows preset
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${1:-build/windows-package}
if (($# == 0)); then
    cmake --preset windows-package >/dev/null
    cmake --build --preset windows-package -j "$(nproc)"
fi
rm -f "$build"/vexilo-*-win64.exe "$build"/vexilo-*-win64.zip
(cd "$build" && cpack >/dev/null)
ls "$PWD/$build"/vexilo-*-win64.exe "$PWD/$build"/vexilo-*-win64.zip
