#!/usr/bin/env bash
# Load benchmark on the same generated ~120 MB survey drawing: the host's DXF reader (in one
# piece and on all cores), the time until vexilo-cad's window shows the drawing's first picture,
# ezdxf.readfile, and optionally LibreCAD printing it to PDF; wall time and peak resident memory
# of each, the median of RUNS runs (the machine may be shared: say so when quoting them).
# Usage: bench/cadhost/run_load_benchmark.sh [BUILD_DIR] [DXF_FILE] [RUNS]
#   BUILD_DIR defaults to build/default (build cadhost_load_dxf and cadhost_first_picture there
#   first); DXF_FILE defaults to /tmp/vexilo-survey-120mb.dxf and is generated when missing;
#   RUNS defaults to 5. With LIBRECAD=1, LibreCAD's `librecad dxf2pdf` is timed too (under
#   xvfb-run; LibreCAD is not a dependency of this project, install it yourself to compare).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/default}"
file="${2:-/tmp/vexilo-survey-120mb.dxf}"
runs="${3:-5}"

if [[ ! -f "$file" ]]; then
    echo "generating $file ..."
    /usr/bin/python3 "$root/bench/cadhost/make_survey_drawing.py" "$file"
fi
echo "file: $file ($(stat -c %s "$file") bytes); $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"

timing="$(mktemp)"
trap 'rm -f "$timing"' EXIT

# Runs a command RUNS times under /usr/bin/time; prints each run and the medians of wall time
# and peak RSS.
measure() {
    local label="$1"
    shift
    local walls=() rsss=()
    for ((i = 1; i <= runs; i++)); do
        local out
        if ! /usr/bin/time -o "$timing" -f "%e %M" "$@" >/dev/null 2>&1; then
            echo "$label: run $i failed"
            return
        fi
        out="$(tail -1 "$timing")"
        walls+=("$(echo "$out" | cut -d' ' -f1)")
        rsss+=("$(echo "$out" | cut -d' ' -f2)")
    done
    local wall rss
    wall="$(printf '%s\n' "${walls[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")"
    rss="$(printf '%s\n' "${rsss[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")"
    echo "$label: median of $runs: wall $wall s, peak RSS $((rss / 1024)) MB  (walls: ${walls[*]})"
}

echo
echo "== vexilo-cad reader, MB/s (best of 3 loads, one process) =="
"$build/bench/cadhost/cadhost_load_dxf" "$file" 3 --index --threads=1 | sed 's/^/one piece: /'
"$build/bench/cadhost/cadhost_load_dxf" "$file" 3 --index | sed 's/^/all cores: /'
echo
echo "== whole processes =="
measure "vexilo reader, one piece" "$build/bench/cadhost/cadhost_load_dxf" "$file" 1 --threads=1
measure "vexilo reader, all cores" "$build/bench/cadhost/cadhost_load_dxf" "$file" 1
echo
echo "== vexilo-cad window: first picture (offscreen), $runs runs =="
pictures="$(for ((i = 1; i <= runs; i++)); do
    QT_QPA_PLATFORM=offscreen "$build/bench/cadhost_ui/cadhost_first_picture" "$file" 2>/dev/null
done)"
echo "$pictures"
median() { sort -g | sed -n "$(((runs + 1) / 2))p"; }
echo "median: first picture $(echo "$pictures" | awk '{print $3}' | median) ms," \
    "loaded $(echo "$pictures" | awk '{print $14}' | median) ms," \
    "peak RSS $(echo "$pictures" | awk '{print $(NF-5)}' | median) MB"
echo
echo "== ezdxf.readfile (Debian python3-ezdxf) =="
measure "ezdxf $(/usr/bin/python3 -c 'import ezdxf; print(ezdxf.__version__)')" \
    /usr/bin/python3 -c "import ezdxf, sys; ezdxf.readfile(sys.argv[1])" "$file"
if [[ "${LIBRECAD:-0}" == 1 ]]; then
    echo
    echo "== LibreCAD dxf2pdf (prints to the file's name with .pdf) =="
    measure "LibreCAD $(dpkg-query -W -f '${Version}' librecad 2>/dev/null)" \
        xvfb-run -a librecad dxf2pdf "$file"
    rm -f "${file%.dxf}.pdf"
fi
