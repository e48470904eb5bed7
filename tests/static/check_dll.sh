#!/bin/sh
# Static checks of a built zentrix.dll that need no Windows: machine type,
# the five undecorated exports, imports from system DLLs only, and the
# resources. Usage: check_dll.sh <objdump> <dll> <expected machine: i386|x86-64>
set -eu
objdump="$1"; dll="$2"; machine="$3"
fail() { echo "FAIL: $*"; exit 1; }
headers=$("$objdump" -p "$dll")
case "$machine" in
    i386) echo "$headers" | grep -q "file format pei-i386" || fail "not an i386 image" ;;
    x86-64) echo "$headers" | grep -q "file format pei-x86-64" || fail "not an x86-64 image" ;;
esac
exports=$(echo "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^[ \t]*\[ *[0-9]+\] /{print $NF}' | sort | tr '\n' ' ')
[ "$exports" = "DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer " ] || fail "exports: $exports"
imports=$(echo "$headers" | grep 'DLL Name:' | awk '{print tolower($3)}' | sort | tr '\n' ' ')
for dll_name in $imports; do
    case "$dll_name" in
        advapi32.dll|kernel32.dll|msvcrt.dll|ole32.dll|oleaut32.dll|user32.dll|comctl32.dll|gdi32.dll|version.dll) ;;
        *) fail "unexpected import $dll_name" ;;
    esac
done
sections=$("$objdump" -h "$dll")
echo "$sections" | grep -q '\.rsrc' || fail "no resources"
echo "machine $machine, exports: $exports, imports: $imports"
echo "1 passed, 0 failed"
