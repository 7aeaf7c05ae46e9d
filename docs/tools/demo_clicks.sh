#!/usr/bin/env bash
# Remakes docs/demo-side-by-side.png: runs vexilo-cad with samples/site.dxf and vexilo on a
# virtual X display and a private session bus, and picks two parcel corners with real mouse
# clicks and key presses (xdotool), as a person would: 拾取点, corner J1 (endpoint snap), code
# "J1", corner J2, code "J2", Esc.
#
#   docs/tools/demo_clicks.sh [OUTDIR]      (default /tmp/vexilo-demo; needs a built tree)
#
# OUTDIR receives a screenshot of each step (1-start.png ... 5-after-esc.png), the picture for
# the README (demo-side-by-side.png: copy it to docs/), the host's command history
# (vexilo-cad.log) and the row values expected from the drawing, computed with ezdxf
# (expected.txt). Needs Xvfb, xdotool, xwininfo, dbus-run-session, ImageMagick and
# python3-ezdxf (scripts/install-deps.sh --docs).
#
# Without a window manager nothing minimises or maximises, so both windows stay side by side
# while picking and the picture shows the snap marker next to the table: demo-side-by-side.png
# is the moment before the second click. VEXILO_DEMO_WM=1 runs openbox as on a desktop: vexilo
# minimises while picking, vexilo-cad is maximised, and the picture is the one after Esc.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$self")/../.."
out="$(realpath -m "${1:-/tmp/vexilo-demo}")"
host=build/default/src/cadhost/ui/vexilo-cad
app=build/default/src/app/vexilo

# ---- Outer stage: a display, a window manager and a session bus of our own. ----
if [[ "${VEXILO_DEMO_STAGE:-}" != inner ]]; then
    for program in "$host" "$app"; do
        if [[ ! -x "$program" ]]; then
            echo "demo_clicks.sh: $program is missing; build first (scripts/run.sh)" >&2
            exit 1
        fi
    done
    mkdir -p "$out"
    pids=()
    # shellcheck disable=SC2317  # called by the EXIT trap
    cleanup() {
        for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
            kill "${pids[i]}" 2>/dev/null || true
        done
        wait 2>/dev/null || true
    }
    trap cleanup EXIT
    display_file="$out/display"
    Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp 3>"$display_file" 2>"$out/xvfb.err" &
    pids+=($!)
    for ((tenth = 0; tenth < 100; ++tenth)); do
        [[ -s "$display_file" ]] && break
        sleep 0.1
    done
    if [[ ! -s "$display_file" ]]; then
        echo "demo_clicks.sh: Xvfb did not start (see $out/xvfb.err)" >&2
        exit 1
    fi
    DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
    export DISPLAY
    if [[ "${VEXILO_DEMO_WM:-0}" == 1 ]]; then
        openbox --sm-disable >"$out/openbox.err" 2>&1 &
        pids+=($!)
        sleep 1
    fi
    VEXILO_DEMO_STAGE=inner dbus-run-session -- "$self" "$out"
    exit 0
fi

# ---- Inner stage: both programs, the clicks, the screenshots. ----
shot() { import -window root "$out/$1.png"; }
# The id of the mapped top-level window whose title matches exactly, waiting up to 10 s.
window_titled() {
    local id=""
    for ((tenth = 0; tenth < 100; ++tenth)); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        [[ -n "$id" ]] && break
        sleep 0.1
    done
    [[ -n "$id" ]] || { echo "demo_clicks.sh: no window \"$1\"" >&2; exit 1; }
    echo "$id"
}
# Where the window's client area starts on the screen: "X Y".
# (xwininfo, not xdotool getwindowgeometry, which adds the frame's offset twice under a window
# manager that reparents.)
origin_of() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                             END {print x, y}'
}

# What the rows must say: the user system of the drawing, user Y under "X坐标" and user X
# under "Y坐标" (the default options), three decimals.
/usr/bin/python3 - samples/site.dxf >"$out/expected.txt" <<'EOF'
import sys
import ezdxf
from ezdxf.math import UCS, Vec3
doc = ezdxf.readfile(sys.argv[1])
h = doc.header
ucs = UCS(origin=h["$UCSORG"], ux=h["$UCSXDIR"], uy=h["$UCSYDIR"])
ring = next(e for e in doc.modelspace().query("LWPOLYLINE") if e.dxf.layer == "宗地界址线")
for code, vertex in zip(("J1", "J2"), ring.get_points("xy")):
    u = ucs.from_wcs(Vec3(vertex[0], vertex[1], 0.0))
    print(f"{code}: X坐标 {u.y:.3f}  Y坐标 {u.x:.3f}")
EOF

"$host" --log "$out/vexilo-cad.log" samples/site.dxf 2>"$out/vexilo-cad.err" &
host_pid=$!
"$app" 2>"$out/vexilo.err" &
app_pid=$!
# shellcheck disable=SC2317  # called by the EXIT trap
stop_both() { kill "$app_pid" "$host_pid" 2>/dev/null || true; wait 2>/dev/null || true; }
trap stop_both EXIT

cad=$(window_titled '^vexilo-cad — site\.dxf$')
vexilo=$(window_titled '^Vexilo$')
# Side by side: the drawing host on the left, the utility on the right.
xdotool windowsize "$cad" 1150 850
if [[ "${VEXILO_DEMO_WM:-0}" == 1 ]]; then
    xdotool windowmove "$cad" 1 21 # the title bar stays on the screen
else
    xdotool windowmove "$cad" 0 0
fi
xdotool windowmove "$vexilo" 1190 40
sleep 1
shot 1-start

# 拾取点 (Command1) lies at 48,14 px in vexilo's client area and is 97 × 25 px.
read -r vx vy < <(origin_of "$vexilo")
xdotool mousemove $((vx + 48 + 48)) $((vy + 14 + 12)) click 1
sleep 1.5

# The parcel boundaries are the only pure red lines: J1 is their lower left corner, J2 lies
# 48.5 m east of it on the same edge. The mouse stops a few pixels off each corner, inside the
# snap aperture, and the endpoint snap puts the pick exactly on the vertex.
shot 2-picking
read -r j1x j1y j2x < <(convert "$out/2-picking.png" -depth 8 rgb:- | /usr/bin/python3 -c '
import sys
data = sys.stdin.buffer.read()
width = 1600
red = [(i // 3 % width, i // 3 // width) for i in range(0, len(data), 3)
       if data[i] > 200 and data[i + 1] < 60 and data[i + 2] < 60]
left = min(x for x, _ in red)
right = max(x for x, _ in red)
bottom = max(y for _, y in red)
print(left, bottom, round(left + (right - left) * 48.5 / 150.0))
')
xdotool mousemove $((j1x + 4)) $((j1y - 4))
sleep 0.7
shot 3-snap-j1
xdotool click 1
sleep 0.7
xdotool type --delay 60 J1
xdotool key Return
sleep 0.7
xdotool mousemove $((j2x + 3)) $((j1y - 5))
sleep 0.7
shot 4-snap-j2
xdotool click 1
sleep 0.7
xdotool type --delay 60 J2
xdotool key Return
sleep 0.7
xdotool key Escape
sleep 1.5
# vexilo is back with its two rows; the cursor rests on corner J2 of the drawing.
xdotool mousemove $((j2x + 3)) $((j1y - 5))
sleep 0.7
shot 5-after-esc

# The picture for the README: both windows, cropped to them (well under 400 KB).
picture=4-snap-j2
if [[ "${VEXILO_DEMO_WM:-0}" == 1 ]]; then
    picture=5-after-esc
fi
convert "$out/$picture.png" -crop 1570x875+0+0 +repage -strip "$out/demo-side-by-side.png"
cat "$out/expected.txt"
echo "screenshots in $out"
