#!/bin/sh
# Builds both architectures and writes the release to build/release/:
# zentrix-<version>.zip (both DLLs, manifests, IDLs, header, examples,
# documentation) and zentrix-<version>-x64.msi (the 64-bit DLL, installed
# per machine into Program Files\Zentrix and registered).
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
msi="$build/x86_64/packaging/zentrix.msi"
[ -f "$msi" ] || { echo "no MSI was built (is wixl installed?)" >&2; exit 1; }
cp "$msi" "$release/zentrix-$version-x64.msi"
echo "$release/zentrix-$version-x64.msi"
