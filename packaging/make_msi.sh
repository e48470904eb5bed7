#!/bin/sh
# Writes a Windows Installer package from built trees with wixl (msitools).
# x64: the 64-bit and the 32-bit DLL side by side, for 64-bit Windows, where
# 32-bit and 64-bit hosts each load their own; x86: the 32-bit DLL only.
# Usage: make_msi.sh <source-dir> <build-dir with x86_64/ and i686/> x64|x86 <output .msi>
set -eu
top="$1"; build="$2"; platform="$3"; out="$4"
case "$platform" in
    x64) trees="x86_64:x64 i686:x86" ;;
    x86) trees="i686:x86" ;;
    *) echo "platform must be x64 or x86, not $platform" >&2; exit 1 ;;
esac
command -v wixl >/dev/null 2>&1 || { echo "wixl is not installed (scripts/install-deps.sh installs it)" >&2; exit 1; }
stage=$(mktemp -d "${TMPDIR:-/tmp}/zentrix-msi.XXXXXX")
trap 'rm -rf "$stage"' EXIT
for pair in $trees; do
    arch=${pair%%:*}; dir=${pair#*:}
    dll="$build/$arch/src/zentrix.dll"
    [ -f "$dll" ] || { echo "missing $dll (build both architectures first)" >&2; exit 1; }
    mkdir -p "$stage/$dir"
    cp "$dll" "$stage/$dir/"
done
version=$(sed -n 's/^project(Zentrix VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
cmake -DIDL="$top/src/component/zentrix.idl" -DRUNTIME_IDL="$top/src/component/zentrix_runtime.idl" \
      -DTEMPLATE="$top/packaging/zentrix.wxs.in" -DVERSION="$version" -DPLATFORM="$platform" \
      -DOUT="$stage/zentrix.wxs" -P "$top/packaging/gen_wxs.cmake"
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
# wixl takes the files' sources relative to its working directory.
(cd "$stage" && wixl -a "$platform" -o "$out" zentrix.wxs)
echo "$out"
