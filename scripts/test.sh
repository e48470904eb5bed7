#!/bin/sh
# Installs what is missing, builds both architectures and runs the whole
# test suite under Wine in a virtual display. The i686 tests run only where
# a 32-bit Wine is installed; the i686 build is checked statically.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="${ZENTRIX_BUILD:-$top/build}"
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
status=0
# Tests that use real window timers depend on Wine's timing; a test that
# fails is run once more before it counts as failed.
for arch in x86_64 i686; do
    if [ "$arch" = i686 ] && [ ! -x /usr/lib/wine/wine ]; then
        echo "i686: no 32-bit Wine here; running the static checks only"
        (cd "$build/$arch" && ctest -L static --output-on-failure) || status=1
        continue
    fi
    "$top/scripts/with-display.sh" "$build/$arch/wineprefix" \
        sh -c "cd '$build/$arch' && ctest -j2 --timeout 300 --repeat until-pass:2 --output-on-failure" || status=1
done
exit $status
