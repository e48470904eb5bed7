#!/bin/sh
# Installs what is missing, builds, registers zentrix.dll in the build's
# private Wine prefix and runs the demo client, which prints the timer events.
# Usage: demo.sh [x86_64|i686]  (or ZENTRIX_ARCH=i686): the 64-bit DLL and
# client by default, the 32-bit ones under the 32-bit Wine with i686.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="${ZENTRIX_BUILD:-$top/build}"
arch="${1:-${ZENTRIX_ARCH:-x86_64}}"
case "$arch" in
    x86_64) loader=/usr/lib/wine/wine64 ;;
    i686) loader=/usr/lib/wine/wine ;;
    *) echo "usage: $0 [x86_64|i686]" >&2; exit 2 ;;
esac
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
if [ ! -x "$loader" ]; then
    echo "error: $loader is missing: the $arch demo needs it (is ZENTRIX_SKIP_I686 set?)" >&2
    exit 1
fi
run="$top/cmake/wine-run.sh $build/$arch/wineprefix $loader"
"$top/scripts/with-display.sh" "$build/$arch/wineprefix" sh -c "
    $run regsvr32 /s '$build/$arch/src/zentrix.dll' &&
    $run '$build/$arch/demo/zentrix_demo.exe'"
