#!/bin/sh
# Installs what is missing, builds, registers zentrix.dll in the build's
# private Wine prefix and runs the demo client, which prints the timer events.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="${ZENTRIX_BUILD:-$top/build}"
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
run="$top/cmake/wine-run.sh $build/x86_64/wineprefix /usr/lib/wine/wine64"
"$top/scripts/with-display.sh" "$build/x86_64/wineprefix" sh -c "
    $run regsvr32 /s '$build/x86_64/src/zentrix.dll' &&
    $run '$build/x86_64/demo/zentrix_demo.exe'"
