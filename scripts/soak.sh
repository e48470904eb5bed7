#!/bin/sh
# The soak benchmark on both architectures: a million mixed late-bound calls
# and a hundred thousand create/use/release cycles each, with the bytes every
# class of operation leaves on the heap (the target is 0.0). Not part of the
# test suite, which runs only a smoke run of the same program.
# Usage: ./scripts/soak.sh [--calls N] [--cycles N]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="${ZENTRIX_BUILD:-$top/build}"
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
status=0
for arch in x86_64 i686; do
    if [ "$arch" = i686 ]; then loader=/usr/lib/wine/wine; else loader=/usr/lib/wine/wine64; fi
    if [ "$arch" = i686 ] && [ "${ZENTRIX_SKIP_I686:-0}" = 1 ]; then
        echo "i686: skipped (ZENTRIX_SKIP_I686=1)"
        continue
    fi
    "$top/scripts/with-display.sh" "$build/$arch/wineprefix" \
        "$top/cmake/wine-run.sh" "$build/$arch/wineprefix" "$loader" "$build/$arch/soak/zentrix_soak.exe" "$@" ||
        status=1
done
exit $status
