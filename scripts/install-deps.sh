#!/bin/sh
# Installs the Debian packages the build and the tests need, if missing.
set -eu
packages="cmake make mingw-w64 mingw-w64-tools wine64 libwine-dev xvfb xauth googletest imagemagick x11-apps zip msitools wixl"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
