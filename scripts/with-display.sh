#!/bin/sh
# Runs a command inside a virtual X display with a warm wineserver for the
# given prefix, so Wine programs neither start their own server per process
# nor lack a display. Usage: with-display.sh <wineprefix> command [args...]
set -eu
prefix="$1"; shift
export WINEPREFIX="$prefix"
export ZENTRIX_WINE_RUN="$(cd "$(dirname "$0")/.." && pwd)/cmake/wine-run.sh"
# The build tree's desktop keeper, next to the prefix (see its source).
export ZENTRIX_DESKTOP_KEEPER="$(dirname "$prefix")/tests/desktop_keeper/desktop_keeper.exe"
mkdir -p "$prefix"
# A server started without a display stays display-less: end it first.
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -w 2>/dev/null || true
exec xvfb-run -a -s '-screen 0 1024x768x24' sh -c '
    /usr/lib/wine/wineserver -p
    # Wine starts its background services with the first program; started
    # here, they do not hold the test programs output pipes open.
    "$ZENTRIX_WINE_RUN" "$WINEPREFIX" /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
    # The desktop must not close between two programs: a desktop process
    # started again by a test would hold that test'"'"'s output open.
    if [ -f "$ZENTRIX_DESKTOP_KEEPER" ]; then
        "$ZENTRIX_WINE_RUN" "$WINEPREFIX" /usr/lib/wine/wine64 "$ZENTRIX_DESKTOP_KEEPER" </dev/null >/dev/null 2>&1 &
    fi
    status=0
    "$@" || status=$?
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    exit $status' run "$@"
