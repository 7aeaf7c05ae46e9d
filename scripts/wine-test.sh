#!/usr/bin/env bash
# Runs one Windows test program under Wine in a prefix of its own, for ctest (the Windows
# build's CMAKE_CROSSCOMPILING_EMULATOR):
#   1. starts Xvfb when there is no display: a wineserver first started without one leaves the
#      prefix without a display driver for good;
#   2. gives the run a private prefix, copied from a booted template prefix that the first run
#      makes (wineboot -i, then wineserver -w so that every service of the boot has finished;
#      a program started while they are still settling can find the RPC service unusable);
#   3. runs the set-up program VEXILO_WINE_SETUP names, if any (the COM tests' stand-in with
#      --prepare: the entity interface's type library, the running object table warmed up);
#   4. runs the program and exits with its code, removing the prefix.
# VEXILO_WINE_TEMPLATE is where the template prefix lives (default: under TMPDIR).
#   scripts/wine-test.sh program.exe [arguments...]
set -uo pipefail

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

work=$(mktemp -d "${TMPDIR:-/tmp}/vexilo-wine.XXXXXX")
prefix=$work/prefix
xvfb_pid=""
cleanup() {
    if [[ -d $prefix ]]; then
        WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1
        WINEPREFIX=$prefix "$wineserver" -w >/dev/null 2>&1
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

if [[ -z ${DISPLAY:-} ]]; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s $work/display ]] && break
        sleep 0.1
    done
    if [[ ! -s $work/display ]]; then
        echo "wine-test: Xvfb did not start" >&2
        exit 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"
fi

export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs in a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

version=$("$wine" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
template=${VEXILO_WINE_TEMPLATE:-${TMPDIR:-/tmp}/vexilo-wine-template}/$version
mkdir -p "$(dirname "$template")"
(
    flock 9
    if [[ ! -f $template/.booted ]]; then
        rm -rf "$template"
        WINEPREFIX=$template "$wine" wineboot -i >/dev/null 2>&1
        WINEPREFIX=$template "$wineserver" -w
        touch "$template/.booted"
    fi
) 9>"$template.lock"
cp -a "$template" "$prefix"
export WINEPREFIX=$prefix

if [[ -n ${VEXILO_WINE_SETUP:-} ]]; then
    read -r -a setup <<<"$VEXILO_WINE_SETUP"
    if ! "$wine" "${setup[@]}"; then
        echo "wine-test: set-up failed: $VEXILO_WINE_SETUP" >&2
        exit 1
    fi
fi

"$wine" "$@"
