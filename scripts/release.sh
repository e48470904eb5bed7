#!/bin/sh
# Builds both architectures and writes the release to build/release/:
# zentrix-<version>.zip (both DLLs with their manifests and runtime type
# libraries, the IDLs, the header, the examples, the documentation),
# zentrix-<version>-x64.msi (for 64-bit Windows: the 64-bit and the 32-bit DLL,
# each installed and registered for hosts of its kind) and
# zentrix-<version>-x86.msi (for 32-bit Windows: the 32-bit DLL).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="${ZENTRIX_BUILD:-$top/build}"
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
version=$(sed -n 's/^project(Zentrix VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
release="$build/release"
mkdir -p "$release"
if command -v zip >/dev/null 2>&1; then ext=zip; else ext=tar.gz; fi
"$top/packaging/make_archive.sh" "$top" "$build" "$release/zentrix-$version.$ext"
for platform in x64 x86; do
    "$top/packaging/make_msi.sh" "$top" "$build" $platform "$release/zentrix-$version-$platform.msi"
done
