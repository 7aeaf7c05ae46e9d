#!/usr/bin/env bash
# Installs what is missing, builds both presets (RelWithDebInfo, and Debug with ASan + UBSan)
# and runs every test in each, then builds the Debian package and checks it
# (scripts/check-package.sh). Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
for preset in default asan; do
    echo "== preset $preset =="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done
echo "== Debian package =="
scripts/check-package.sh
