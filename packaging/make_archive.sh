#!/bin/sh
# Writes the release archive from built trees: both DLLs (with their manifests
# and runtime type libraries), the script host that runs the script examples
# (one per architecture), the IDLs, the C/C++ header with its identifier
# file, the examples, the documentation, the licence and the changelog.
# Usage: make_archive.sh <source-dir> <build-dir with x86_64/ and i686/> <output .zip or .tar.gz>
set -eu
top="$1"; build="$2"; out="$3"
name=$(basename "$out"); name=${name%.zip}; name=${name%.tar.gz}
stage=$(mktemp -d "${TMPDIR:-/tmp}/zentrix-release.XXXXXX")
trap 'rm -rf "$stage"' EXIT
root="$stage/$name"
mkdir -p "$root/x64" "$root/x86" "$root/tools/x64" "$root/tools/x86" "$root/include" "$root/idl"
for pair in x86_64:x64 i686:x86; do
    arch=${pair%%:*}; dir=${pair#*:}
    dll="$build/$arch/src/zentrix.dll"
    [ -f "$dll" ] || { echo "missing $dll (build both architectures first)" >&2; exit 1; }
    cp "$dll" "$root/$dir/"
    # The registration-free manifest and the runtime library it lists.
    for extra in "$build/$arch/src/"*.manifest "$build/$arch/src/zentrix_runtime.tlb"; do
        [ -f "$extra" ] && cp "$extra" "$root/$dir/"
    done
    host="$build/$arch/tests/scripthost/zxscript.exe"
    [ -f "$host" ] || { echo "missing $host (build both architectures first)" >&2; exit 1; }
    cp "$host" "$root/tools/$dir/"
done
cp "$top/src/component/zentrix.idl" "$top/src/component/zentrix_runtime.idl" "$root/idl/"
gen="$build/x86_64/src/generated"
cp "$gen/zentrix.h" "$gen/zentrix_runtime.h" "$gen/zentrix_i.c" "$root/include/"
cp -R "$top/examples" "$root/examples"
rm -f "$root/examples/CMakeLists.txt"
cp -R "$top/docs" "$root/docs"
cp "$top/README.md" "$top/LICENSE" "$top/CHANGELOG.md" "$root/"
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
rm -f "$out"
case "$out" in
    *.zip) (cd "$stage" && zip -q -r -X "$out" "$name") ;;
    *.tar.gz) tar -C "$stage" -czf "$out" "$name" ;;
    *) echo "unknown archive type: $out" >&2; exit 1 ;;
esac
echo "$out"
