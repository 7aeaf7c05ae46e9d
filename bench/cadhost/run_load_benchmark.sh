#!/usr/bin/env bash
# Load benchmark: the host's DXF reader and ezdxf.readfile on the same generated ~120 MB survey
# drawing, in the same run, with MB/s and peak resident memory of each.
# Usage: bench/cadhost/run_load_benchmark.sh [BUILD_DIR] [DXF_FILE]
#   BUILD_DIR defaults to build/default (configure and build cadhost_load_dxf there first);
#   DXF_FILE defaults to /tmp/vexilo-survey-120mb.dxf and is generated when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/default}"
file="${2:-/tmp/vexilo-survey-120mb.dxf}"

if [[ ! -f "$file" ]]; then
    echo "generating $file ..."
    /usr/bin/python3 "$root/bench/cadhost/make_survey_drawing.py" "$file"
fi
echo "file: $file ($(stat -c %s "$file") bytes)"
echo
echo "== vexilo-cad reader (best of 3 loads, one process) =="
"$build/bench/cadhost/cadhost_load_dxf" "$file" 3 --index
echo
echo "== vexilo-cad reader (one load, /usr/bin/time) =="
/usr/bin/time -f "wall %e s, peak RSS %M KB" "$build/bench/cadhost/cadhost_load_dxf" "$file" 1
echo
echo "== ezdxf.readfile (Debian python3-ezdxf, one load) =="
/usr/bin/python3 - "$file" <<'PY'
import resource
import sys
import time

import ezdxf

path = sys.argv[1]
size = __import__("os").path.getsize(path)
t0 = time.perf_counter()
doc = ezdxf.readfile(path)
t1 = time.perf_counter()
count = len(doc.modelspace())
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0
print(f"ezdxf {ezdxf.__version__}: {size / 1e6:.1f} MB in {t1 - t0:.2f} s = "
      f"{size / 1e6 / (t1 - t0):.1f} MB/s; {count} entities; peak RSS {peak:.0f} MB")
PY
