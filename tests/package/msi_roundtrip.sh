#!/bin/sh
# Installs zentrix.msi with Wine's msiexec into a Wine prefix of its own,
# checks that the service is created by ProgID from the installed DLL,
# uninstalls it and checks that creation then fails and the DLL is gone.
# Usage: msi_roundtrip.sh <wine-run.sh> <prefix> <wine loader> <msi> <zxscript.exe> <create.vbs>
set -u
run="$1"; prefix="$2"; loader="$3"; msi="$4"; host="$5"; probe="$6"
server=$(dirname "$loader")/wineserver
export WINEPREFIX="$prefix"
fail() { echo "FAIL: $*"; "$server" -k 2>/dev/null; exit 1; }
w() { "$run" "$prefix" "$loader" "$@"; }

# A server of this prefix's own that holds no test output open.
"$server" -p >/dev/null 2>&1 </dev/null
w wineboot </dev/null >/dev/null 2>&1
clsid_key='HKLM\Software\Classes\CLSID\{D5A9572D-73E6-4DDE-A5ED-6A8454814763}\InprocServer32'
installed='C:\Program Files\Zentrix\zentrix.dll'
# A previous run that stopped half-way may have left the product installed.
w msiexec /x "$msi" /qn </dev/null >/dev/null 2>&1

w "$host" "$probe" </dev/null >/dev/null 2>&1 && fail "the ProgID works before installing"
w msiexec /i "$msi" /qn </dev/null >/dev/null 2>&1 || fail "msiexec /i failed with $?"
[ -f "$prefix/drive_c/Program Files/Zentrix/zentrix.dll" ] || fail "zentrix.dll not in Program Files\\Zentrix"
server_path=$(w reg query "$clsid_key" /ve </dev/null 2>/dev/null | tr -d '\r')
printf '%s\n' "$server_path" | grep -qiF "$installed" || fail "InprocServer32 is not the installed DLL: $server_path"
w reg query "$clsid_key" /v ThreadingModel </dev/null 2>/dev/null | grep -q Apartment || fail "no ThreadingModel"
out=$(w "$host" "$probe" </dev/null 2>&1) || fail "creation by ProgID after installing: $out"
echo "installed: $out"

w msiexec /x "$msi" /qn </dev/null >/dev/null 2>&1 || fail "msiexec /x failed with $?"
[ -f "$prefix/drive_c/Program Files/Zentrix/zentrix.dll" ] && fail "zentrix.dll left behind"
w reg query "$clsid_key" </dev/null >/dev/null 2>&1 && fail "InprocServer32 key left behind"
out=$(w "$host" "$probe" </dev/null 2>&1) && fail "creation by ProgID still works after uninstalling: $out"
printf 'uninstalled: creation fails: %s\n' "$(printf '%s\n' "$out" | tr -d '\r' | tail -1)"
"$server" -k 2>/dev/null
echo "1 passed, 0 failed"
