#!/usr/bin/env bash
# Builds the Debian package of Vexilo (vexilo and vexilo-cad) with CPack, its dependencies
# found by dpkg-shlibdeps, and prints its path: build/package/vexilo_<version>_<arch>.deb.
# Install it with: sudo apt-get install ./build/package/vexilo_*.deb
#   scripts/package.sh            builds the package preset (programs only) and packages it
#   scripts/package.sh BUILD_DIR  packages an existing build of another preset (CI packages
#                                 build/default, which it has just built and tested)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${1:-build/package}
if (($# == 0)); then
    cmake --preset package >/dev/null
    cmake --build --preset package -j "$(nproc)"
fi
rm -f "$build"/vexilo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/vexilo_*.deb
