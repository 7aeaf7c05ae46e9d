#!/usr/bin/env bash
# Installs what is missing, builds and runs the tests.
#   scripts/test.sh                     every configuration CI runs, each built and tested in full:
#                                       core (the toolkit-free core alone, with Qt and
#                                       libxlsxwriter hidden), default (RelWithDebInfo) and asan
#                                       (Debug with AddressSanitizer and UndefinedBehaviorSanitizer),
#                                       then the Debian package made from the default build
#                                       and checked (scripts/check-package.sh), then windows
#                                       (the core, the COM link and vexilo.exe cross-built with
#                                       mingw-w64, tests run under Wine; among them CPack makes
#                                       the installer and the portable .zip, and the installer
#                                       is run, the installed program started and uninstalled)
#   scripts/test.sh PRESET [CTEST ARGS] one preset (default, dev, asan, core, windows), with ctest's
#                                       arguments passed on: scripts/test.sh dev -R cad_
# Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

run_preset() {
    local preset=$1
    shift
    echo "== preset $preset =="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs" "$@"
}

if (($# > 0)); then
    run_preset "$@"
    exit 0
fi
for preset in core default asan; do
    run_preset "$preset"
done
echo "== Debian package =="
scripts/check-package.sh build/default
run_preset windows
