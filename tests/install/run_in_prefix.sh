#!/bin/sh
# Runs a Windows program in a Wine prefix of its own (created on first use),
# with a server of its own that is ended afterwards.
# Usage: run_in_prefix.sh <wine-run.sh> <prefix-dir> <wine-loader> program [args...]
set -u
run="$1"; prefix="$2"; loader="$3"; shift 3
server="$(dirname "$loader")/wineserver"
export WINEPREFIX="$prefix"
mkdir -p "$prefix"
"$server" -p 2>/dev/null || true
# Creates the prefix if needed and starts Wine's background services, so they
# do not hold the program's output open.
"$run" "$prefix" "$loader" wineboot </dev/null >/dev/null 2>&1
status=0
"$run" "$prefix" "$loader" "$@" || status=$?
"$server" -k 2>/dev/null || true
exit $status
