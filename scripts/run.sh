#!/usr/bin/env bash
# Installs what is missing, builds the product and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

# The drawing host starts here, before the utility, so that vexilo finds a CAD to attach to:
#   build/default/src/cadhost/vexilo-cad samples/site.dxf &
# (it arrives with the drawing host; until then vexilo runs on its own).

exec build/default/src/app/vexilo
