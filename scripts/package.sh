#!/usr/bin/env bash
# Builds the Debian package of Vexilo (vexilo and vexilo-cad) with CPack, its dependencies
# found by dpkg-shlibdeps, and prints its path: build/package/vexilo_<version>_<arch>.deb.
# Install it with: sudo apt-get install ./build/package/vexilo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset package >/dev/null
cmake --build --preset package -j "$(nproc)"
rm -f build/package/vexilo_*.deb
(cd build/package && cpack -G DEB >/dev/null)
ls "$PWD"/build/package/vexilo_*.deb
