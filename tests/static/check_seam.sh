#!/bin/sh
# Nothing outside src/platform/ calls the window timers, the message box, the
# tick count or the clock itself: all of it goes through the platform seam
# (src/platform/platform.h), which the tests replace with a platform they
# drive. Calls through the seam (CurrentPlatform().SetTimer) do not count.
# Usage: check_seam.sh <src dir>
set -eu
src="$1"
calls='SetTimer|SetCoalescableTimer|KillTimer|MessageBox[AW]?|MessageBoxEx[AW]?|MessageBoxIndirect[AW]?|GetTickCount(64)?|GetLocalTime|GetSystemTime|GetSystemTimeAsFileTime|GetSystemTimePreciseAsFileTime|QueryPerformanceCounter|timeGetTime'
found=$(grep -rnE "(^|[^A-Za-z0-9_.>])(::)?($calls)[ \t]*\(" "$src" --include='*.cpp' --include='*.h' |
        grep -v "^$src/platform/" || true)
if [ -n "$found" ]; then
    echo "platform calls outside src/platform/:"
    echo "$found"
    exit 1
fi
echo "no platform call outside src/platform/"
