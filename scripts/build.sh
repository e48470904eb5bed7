#!/bin/sh
# Builds zentrix.dll and its tests for x86_64 and i686 under build/.
# The i686 tree reuses the x86_64 tree's build tools, which run under wine64.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="${ZENTRIX_BUILD:-$top/build}"
jobs="${ZENTRIX_JOBS:-2}"
cmake -S "$top" -B "$build/x86_64" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/x86_64" -j "$jobs"
cmake -S "$top" -B "$build/i686" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DZENTRIX_TLBWRITER="$build/x86_64/tools/tlbwriter/tlbwriter.exe" >/dev/null
cmake --build "$build/i686" -j "$jobs"
