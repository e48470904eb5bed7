#!/bin/sh
# Builds the release archive from this build's trees and checks what it
# holds: both DLLs with their machine types and exports (the static DLL
# check), the script host of each architecture, the IDLs, the header and
# identifier file, the examples, the documentation, the licence and the
# changelog.
# Usage: check_archive.sh <source-dir> <build root> <work dir> <x86_64 objdump> <i686 objdump>
set -eu
top="$1"; build="$2"; work="$3"; objdump64="$4"; objdump32="$5"
fail() { echo "FAIL: $*"; exit 1; }
if [ ! -f "$build/i686/src/zentrix.dll" ]; then
    echo "no i686 build in $build/i686: skipped (scripts/build.sh builds both)"
    exit 77
fi
rm -rf "$work"; mkdir -p "$work"
archive=$("$top/packaging/make_archive.sh" "$top" "$build" "$work/zentrix-test.zip")
listing=$(unzip -Z1 "$archive")
echo "$listing"
for f in x64/zentrix.dll x86/zentrix.dll x64/Zentrix.sxs.manifest x86/Zentrix.sxs.manifest \
         x64/zentrix_runtime.tlb x86/zentrix_runtime.tlb idl/zentrix.idl idl/zentrix_runtime.idl include/zentrix.h \
         include/zentrix_runtime.h include/zentrix_i.c README.md LICENSE CHANGELOG.md examples/README.md \
         examples/cpp/timer_client.cpp examples/cpp/first_timer.cpp examples/cpp/every_five_seconds.cpp \
         examples/script/timers.vbs examples/script/timers.js examples/vba/office_timers.vbs \
         tools/x64/zxscript.exe tools/x86/zxscript.exe docs/reference.md docs/guide-vba.md docs/guide-cpp.md \
         docs/troubleshooting.md docs/versions.md; do
    echo "$listing" | grep -qx "zentrix-test/$f" || fail "$f missing from the archive"
done
(cd "$work" && unzip -q "$archive")
root="$work/zentrix-test"
"$objdump64" -f "$root/x64/zentrix.dll" | grep -q "file format pei-x86-64" || fail "x64/zentrix.dll is not x86-64"
"$objdump32" -f "$root/x86/zentrix.dll" | grep -q "file format pei-i386" || fail "x86/zentrix.dll is not i386"
cmp -s "$root/x64/zentrix.dll" "$build/x86_64/src/zentrix.dll" || fail "x64/zentrix.dll is not the built one"
cmp -s "$root/x86/zentrix.dll" "$build/i686/src/zentrix.dll" || fail "x86/zentrix.dll is not the built one"
"$objdump64" -f "$root/tools/x64/zxscript.exe" | grep -q "file format pei-x86-64" || fail "tools/x64/zxscript.exe is not x86-64"
"$objdump32" -f "$root/tools/x86/zxscript.exe" | grep -q "file format pei-i386" || fail "tools/x86/zxscript.exe is not i386"
# Nothing of the build or the test suite: the examples' build file and the
# test objects stay behind.
echo "$listing" | grep -q "CMakeLists.txt" && fail "a CMakeLists.txt is in the archive"
echo "$listing" | grep -qi "zxevsource" && fail "the test suite's zxevsource is in the archive"
"$top/tests/static/check_dll.sh" "$objdump64" "$root/x64/zentrix.dll" x86-64 >/dev/null || fail "x64 DLL static check"
"$top/tests/static/check_dll.sh" "$objdump32" "$root/x86/zentrix.dll" i386 >/dev/null || fail "x86 DLL static check"
grep -q 'processorArchitecture="amd64"' "$root/x64/Zentrix.sxs.manifest" || fail "x64 manifest is not for amd64"
grep -q 'processorArchitecture="x86"' "$root/x86/Zentrix.sxs.manifest" || fail "x86 manifest is not for x86"
# A type library's target is the low nibble of its header's flags (offset 20):
# 1 for 32-bit, 3 for 64-bit Windows.
syskind() { echo $(( $(od -An -tu1 -j20 -N1 "$1") & 15 )); }
[ "$(syskind "$root/x64/zentrix_runtime.tlb")" = 3 ] || fail "x64/zentrix_runtime.tlb is not for 64-bit Windows"
[ "$(syskind "$root/x86/zentrix_runtime.tlb")" = 1 ] || fail "x86/zentrix_runtime.tlb is not for 32-bit Windows"
grep -q "DEFINE_GUID(CLSID_clsVxTimeTimerMainA" "$root/include/zentrix.h" || fail "header lacks the service class"
grep -q "library Zentrix" "$root/idl/zentrix.idl" || fail "IDL lacks the library"
echo "1 passed, 0 failed"
