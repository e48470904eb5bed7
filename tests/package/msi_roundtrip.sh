#!/bin/sh
# Builds both Windows Installer packages and installs and removes each with
# Wine's msiexec in a Wine prefix of its own:
# - the 64-bit package writes, in the 64-bit registry view, exactly what
#   regsvr32 writes for the 64-bit DLL, and the same for the 32-bit DLL in
#   the 32-bit view; the service is created by ProgID from the installed
#   DLLs by a 64-bit and a 32-bit client;
# - the 32-bit package registers the 32-bit DLL only (a 32-bit client
#   creates the service, a 64-bit one cannot);
# - uninstalling leaves both views as they were, the DLLs gone and creation
#   by ProgID failing.
# Usage: msi_roundtrip.sh <wine-run.sh> <prefix> <wine loader> <source dir> <build root>
#                         <work dir> <zxscript.exe> <create.vbs>
set -u
run="$1"; prefix="$2"; loader="$3"; top="$4"; build="$5"; work="$6"; host="$7"; probe="$8"
server=$(dirname "$loader")/wineserver
export WINEPREFIX="$prefix"
fail() { echo "FAIL: $*"; "$server" -k 2>/dev/null; exit 1; }
w() { "$run" "$prefix" "$loader" "$@" </dev/null; }

if [ ! -f "$build/i686/src/zentrix.dll" ]; then
    echo "no i686 build in $build/i686: skipped (scripts/build.sh builds both)"
    exit 77
fi
rm -rf "$work"; mkdir -p "$work"
msi64=$("$top/packaging/make_msi.sh" "$top" "$build" x64 "$work/zentrix-x64.msi" | tail -1) || fail "building the x64 package"
msi32=$("$top/packaging/make_msi.sh" "$top" "$build" x86 "$work/zentrix-x86.msi" | tail -1) || fail "building the x86 package"

# A fresh prefix: a run that stopped half-way may have left a product
# installed that a newly built package (with a new product code) cannot
# remove. Its own server holds no test output open.
"$server" -k 2>/dev/null
rm -rf "$prefix"; mkdir -p "$prefix"
"$server" -p >/dev/null 2>&1 </dev/null
w wineboot >/dev/null 2>&1

pf64="$prefix/drive_c/Program Files/Zentrix"
pf32="$prefix/drive_c/Program Files (x86)/Zentrix"
# The classes of one registry view (32 or 64) as sorted "[key]" and
# "[key] value" lines (keys in lower case: the views spell some of Wine's own
# keys differently), without Windows Installer's own bookkeeping, with the
# DLL's folder written <dir>. The library flags are left out: Wine's
# RegisterTypeLib adds the has-disk-image flag that Windows does not
# register, and the package writes Windows' 0.
classes() {
    w reg export 'HKLM\Software\Classes' 'C:\zentrix-classes.reg' /y "/reg:$1" >/dev/null 2>&1 ||
        fail "reg export of the $1-bit view"
    iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/zentrix-classes.reg" | tr -d '\r' | awk '
        BEGIN { n = split(ENVIRON["ZX_DLL_DIRS"], dirs, "|") }
        /^\[/ { key = tolower($0); print key; next }
        /^$/ || /^Windows Registry Editor/ { next }
        {
            line = $0
            for (i = 1; i <= n; ++i)
                while ((at = index(line, dirs[i])) > 0)
                    line = substr(line, 1, at - 1) "<dir>" substr(line, at + length(dirs[i]))
            print key " " line
        }' |
        grep -v -e '^\[hkey_local_machine\\software\\classes\\installer[]\\]' \
                -e '^\[hkey_local_machine\\software\\classes\\wow6432node[]\\]' \
                -e '\\flags\] @=' |
        sed -e 's/<dir>\\\\"$/<dir>"/' | LC_ALL=C sort
    rm -f "$prefix/drive_c/zentrix-classes.reg"
}
# The folders the DLLs are registered from, as the export writes them (with
# doubled backslashes).
exported() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
dll64=$(w winepath -w "$build/x86_64/src/zentrix.dll" | tr -d '\r')
ZX_DLL_DIRS="$(exported "${dll64%\\*}")|$(exported 'C:\Program Files\Zentrix')|$(exported 'C:\Program Files (x86)\Zentrix')"
export ZX_DLL_DIRS

# Lines of $2 that $1 does not have.
added() { LC_ALL=C comm -13 "$1" "$2"; }
# Checks that view $1 (32 or 64) is back to its baseline $2. Uninstalling
# may also remove keys that were empty before (Wine's 32-bit view starts
# with empty CLSID and Interface keys); nothing else may differ.
restored() {
    classes "$1" >"$work/after$1"
    added "$2" "$work/after$1" | grep . && fail "left behind in the $1-bit view"
    LC_ALL=C comm -23 "$2" "$work/after$1" | grep -v '^\[[^]]*\]$' && fail "removed from the $1-bit view"
    return 0
}
creates() { w "$host" "$probe" >"$work/create.out" 2>&1; }
# The same from a 32-bit client, which finds the 32-bit registration.
loader32=$(dirname "$loader")/wine
host32="$build/i686/tests/scripthost/zxscript.exe"
creates32() { "$run" "$prefix" "$loader32" "$host32" "$probe" </dev/null >"$work/create32.out" 2>&1; }
if [ -x "$loader32" ] && [ -f "$host32" ]; then
    have32=1
else
    have32=0
    echo "no 32-bit Wine or 32-bit client: creation from the 32-bit DLL is not tried"
fi

classes 64 >"$work/base64"; classes 32 >"$work/base32"
[ -s "$work/base64" ] || fail "no classes read"
creates && fail "the ProgID works before installing"
[ "$have32" = 1 ] && creates32 && fail "the ProgID works for a 32-bit client before installing"

# What regsvr32 writes for the 64-bit DLL, with the DLL's folder as <dir>.
w regsvr32 /s "$dll64" || fail "regsvr32"
classes 64 >"$work/regsvr32.64"
w regsvr32 /s /u "$dll64" || fail "regsvr32 /u"
added "$work/base64" "$work/regsvr32.64" >"$work/expected64"
grep -q 'inprocserver32\] @="<dir>\\\\zentrix.dll"' "$work/expected64" || fail "regsvr32 wrote no server path"
# The 32-bit DLL's registration as 32-bit regsvr32 writes it: the same,
# with the type library's path under win32.
sed 's/\\0\\win64\]/\\0\\win32]/' "$work/expected64" | LC_ALL=C sort >"$work/expected32"

echo "== 64-bit package (both DLLs)"
w msiexec /i "$msi64" /qn >/dev/null 2>&1 || fail "msiexec /i of the x64 package failed"
cmp -s "$pf64/zentrix.dll" "$build/x86_64/src/zentrix.dll" || fail "Program Files\\Zentrix\\zentrix.dll is not the 64-bit DLL"
cmp -s "$pf32/zentrix.dll" "$build/i686/src/zentrix.dll" || fail "Program Files (x86)\\Zentrix\\zentrix.dll is not the 32-bit DLL"
classes 64 >"$work/msi.64"; classes 32 >"$work/msi.32"
# The type library key is shared by both views: each holds both paths.
added "$work/base64" "$work/msi.64" | grep -v '\\0\\win32\]' >"$work/got64"
added "$work/base32" "$work/msi.32" | grep -v '\\0\\win64\]' >"$work/got32"
diff "$work/expected64" "$work/got64" || fail "the 64-bit view differs from regsvr32's registration"
diff "$work/expected32" "$work/got32" || fail "the 32-bit view differs from the 32-bit registration"
creates || fail "creation by ProgID after installing: $(cat "$work/create.out")"
printf 'installed: %s\n' "$(tr -d '\r' <"$work/create.out")"
if [ "$have32" = 1 ]; then
    creates32 || fail "creation by ProgID from a 32-bit client after installing: $(cat "$work/create32.out")"
    printf 'installed, 32-bit client: %s\n' "$(tr -d '\r' <"$work/create32.out")"
fi

w msiexec /x "$msi64" /qn >/dev/null 2>&1 || fail "msiexec /x of the x64 package failed"
[ -e "$pf64/zentrix.dll" ] && fail "the 64-bit DLL was left behind"
[ -e "$pf32/zentrix.dll" ] && fail "the 32-bit DLL was left behind"
restored 64 "$work/base64"
restored 32 "$work/base32"
creates && fail "creation by ProgID still works after uninstalling"
[ "$have32" = 1 ] && creates32 && fail "creation by ProgID from a 32-bit client still works after uninstalling"
printf 'uninstalled: creation fails: %s\n' "$(tr -d '\r' <"$work/create.out" | tail -1)"

echo "== 32-bit package"
w msiexec /i "$msi32" /qn >/dev/null 2>&1 || fail "msiexec /i of the x86 package failed"
cmp -s "$pf32/zentrix.dll" "$build/i686/src/zentrix.dll" || fail "Program Files (x86)\\Zentrix\\zentrix.dll is not the 32-bit DLL"
[ -e "$pf64/zentrix.dll" ] && fail "the 32-bit package installed a 64-bit DLL"
classes 32 >"$work/msi32.32"; classes 64 >"$work/msi32.64"
added "$work/base32" "$work/msi32.32" | diff "$work/expected32" - || fail "the 32-bit view differs from the 32-bit registration"
# Only the shared type library key may show in the 64-bit view.
added "$work/base64" "$work/msi32.64" | grep -v -e '^\[hkey_local_machine\\software\\classes\\typelib\\' >"$work/stray64"
[ -s "$work/stray64" ] && fail "the 32-bit package wrote to the 64-bit view: $(head -3 "$work/stray64")"
creates && fail "a 64-bit client created the service from the 32-bit package"
if [ "$have32" = 1 ]; then
    creates32 || fail "a 32-bit client cannot create the service from the 32-bit package: $(cat "$work/create32.out")"
fi
w msiexec /x "$msi32" /qn >/dev/null 2>&1 || fail "msiexec /x of the x86 package failed"
[ -e "$pf32/zentrix.dll" ] && fail "the 32-bit DLL was left behind"
restored 64 "$work/base64"
restored 32 "$work/base32"
[ "$have32" = 1 ] && creates32 && fail "creation by ProgID from a 32-bit client still works after uninstalling the 32-bit package"

"$server" -k 2>/dev/null
echo "2 passed, 0 failed"
