#!/bin/sh
# Installs the Debian packages the build and the tests need, if missing:
# the cross compilers, the 64-bit and the 32-bit Wine, a virtual display and
# the packaging tools. The 32-bit Wine (wine32) comes from the mirror's i386
# architecture, which is added for it; ZENTRIX_SKIP_I686=1 leaves it out.
set -eu
packages="cmake make mingw-w64 mingw-w64-tools wine64 libwine-dev xvfb xauth googletest imagemagick x11-apps zip msitools wixl"
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=""
for p in $packages; do
    installed "$p" || missing="$missing $p"
done
want_wine32=0
if [ "${ZENTRIX_SKIP_I686:-0}" != 1 ] && ! installed wine32:i386; then
    want_wine32=1
fi
[ -n "$missing" ] || [ "$want_wine32" = 1 ] || exit 0
export DEBIAN_FRONTEND=noninteractive
if [ "$want_wine32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
if [ "$want_wine32" = 1 ]; then
    echo "Installing: wine32:i386"
    if ! apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; then
        echo "error: the 32-bit Wine (wine32:i386) could not be installed from the package mirror," >&2
        echo "       so the i686 suite cannot run. Set ZENTRIX_SKIP_I686=1 to run without it." >&2
        exit 1
    fi
fi
