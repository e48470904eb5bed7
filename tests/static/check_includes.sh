#!/bin/sh
# Every #include of a source header names it from src/ ("com/owned.h"),
# never by a relative path: each layer compiles against an include folder
# that shows only its own and the lower layers' folders, and a relative path
# ("../service/...") would reach past it.
# Usage: check_includes.sh <src dir>
set -eu
src="$1"
found=$(grep -rnE '^[ \t]*#[ \t]*include[ \t]*"[^"]*\.\./' "$src" --include='*.cpp' --include='*.h' || true)
if [ -n "$found" ]; then
    echo "relative includes:"
    echo "$found"
    exit 1
fi
echo "every include names its folder from src/"
