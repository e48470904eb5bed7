#!/bin/sh
# Runs a Windows program of the build under Wine with the build tree's own
# prefix. Usage: wine-run.sh <prefix-dir> <wine-loader> program [args...]
prefix="$1"; loader="$2"; shift 2
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$prefix/.zentrix-ready" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        if [ ! -f "$prefix/.zentrix-ready" ]; then
            "$loader" wineboot -i >/dev/null 2>&1 </dev/null
            # Unmanaged windows close in milliseconds instead of seconds.
            "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
            # A crash prints its backtrace and ends the process instead of
            # waiting in a dialog.
            "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
            touch "$prefix/.zentrix-ready"
        fi
    ) 9>"$prefix.lock"
fi
exec "$loader" "$@"
