#!/usr/bin/env bash
# Memory benchmark: the drawing host's peak resident memory while a client's GetPoint shows a
# long prompt, for several prompt lengths, each in a fresh host on a private session bus.
# Usage: bench/cadhost/run_prompt_memory.sh [BUILD_DIR] [LENGTH...]
#   BUILD_DIR defaults to build/default (build vexilo-cad there first); lengths default to
#   0 16384 65536 (characters; below 131072, since gdbus takes the prompt as one argument).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/default}"
shift || true
lengths=("$@")
if ((${#lengths[@]} == 0)); then
    lengths=(0 16384 65536)
fi

measure() {
    local length="$1" build="$2" root="$3"
    export QT_QPA_PLATFORM=offscreen
    local host="$build/src/cadhost/ui/vexilo-cad"
    "$host" --progid Vexilo.PromptBench "$root/tests/cadhost/fuzz/corpus/minimal_line.dxf" &
    local pid=$!
    local name=org.vexilo.ProgId.Vexilo.PromptBench
    for _ in $(seq 100); do
        if gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
            -m org.freedesktop.DBus.NameHasOwner "$name" 2>/dev/null | grep -q true; then
            break
        fi
        sleep 0.1
    done
    local prompt
    prompt="$(head -c "$length" /dev/zero | tr '\0' 'x')"
    # The request waits for a person: leave it pending, let the host lay the prompt out.
    gdbus call --session -d "$name" -o /Document/Utility -m org.vexilo.Cad.Utility.GetPoint \
        "$prompt" >/dev/null 2>&1 &
    local client=$!
    sleep 3
    kill "$client" 2>/dev/null || true
    sleep 1
    printf '%8d characters: peak RSS %6d KB, RSS after the client left %6d KB\n' "$length" \
        "$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")" \
        "$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
export -f measure

for length in "${lengths[@]}"; do
    dbus-run-session -- bash -c 'measure "$@"' _ "$length" "$build" "$root"
done
