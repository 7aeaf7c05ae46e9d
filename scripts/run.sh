#!/usr/bin/env bash
# Installs what is missing, builds the product and starts it: the drawing host `vexilo-cad` with
# the sample drawing, then `vexilo`, both on the session bus (a private one when none runs).
# Closing vexilo closes vexilo-cad too.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$self")/.."

host=build/default/src/cadhost/ui/vexilo-cad
app=build/default/src/app/vexilo
drawing=samples/site.dxf
host_name=org.vexilo.ProgId.AutoCAD.Application

# Set when this script runs itself again under its own bus, after the build.
if [[ "${VEXILO_RUN_BUILT:-}" != 1 ]]; then
    scripts/install-deps.sh
    cmake --preset default >/dev/null
    cmake --build --preset default -j "$(nproc)"
fi
unset VEXILO_RUN_BUILT

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: built; no display to show the windows on (DISPLAY is not set)." >&2
    echo "        Run it in a desktop session, or under xvfb-run." >&2
    exit 1
fi

# Both programs must share one session bus. Use the user's; a desktop session without the
# variable may still have one at the standard place; otherwise run a private one for the two.
if [[ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]]; then
    if [[ -n "${XDG_RUNTIME_DIR:-}" && -S "$XDG_RUNTIME_DIR/bus" ]]; then
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    else
        VEXILO_RUN_BUILT=1 exec dbus-run-session -- "$self" "$@"
    fi
fi

host_pid=""
app_pid=""
# shellcheck disable=SC2317  # called by the EXIT trap
stop_both() {
    for pid in $app_pid $host_pid; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap stop_both EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

host_owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$host_name" 2>/dev/null | grep -q 'boolean true'
}

"$host" "$drawing" &
host_pid=$!

# vexilo attaches when a pick button is clicked; the host must be on the bus by then.
for ((tenth = 0; tenth < 100; ++tenth)); do
    if host_owned; then
        break
    fi
    if ! kill -0 "$host_pid" 2>/dev/null; then
        host_pid=""
        echo "run.sh: vexilo-cad ended before it registered on the session bus" >&2
        exit 1
    fi
    sleep 0.1
done
if ! host_owned; then
    echo "run.sh: vexilo-cad is not on the session bus after 10 s; starting vexilo anyway" >&2
fi

# In the background and waited for, so that a signal to this script also reaches the trap at
# once; the script still lasts exactly as long as vexilo.
"$app" &
app_pid=$!
status=0
wait "$app_pid" || status=$?
app_pid=""
exit "$status"
