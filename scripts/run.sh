#!/usr/bin/env bash
# Installs what is missing, builds the product and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
echo "Built. The windows arrive with the next steps: vexilo-cad with samples/site.dxf, then vexilo."
