#!/bin/sh
# Shows that the documentation checks catch what they are for: each is run
# on a doctored copy and must fail with the expected message.
# Usage: self_test.sh <source dir> <version>
set -eu
top="$1"; version="$2"
check="$(cd "$(dirname "$0")" && pwd)/check_docs.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/zentrix-docs-self.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

# expect_failure <what> <expected message> <command...>
expect_failure() {
    what="$1"; message="$2"; shift 2
    if output=$("$@" 2>&1); then
        echo "FAIL: $what: the check passed"; failures=$((failures + 1))
    elif ! printf '%s\n' "$output" | grep -qF -- "$message"; then
        echo "FAIL: $what: the check failed without saying \"$message\":"
        printf '%s\n' "$output" | sed 's/^/    /'
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

idl="$top/src/component/zentrix.idl"
runtime="$top/src/component/zentrix_runtime.idl"

# A member without its entry.
grep -v '^### `BalanceTime`$' "$top/docs/reference.md" >"$work/reference.md"
expect_failure "a member without an entry" "no entry in $work/reference.md for clsVxTimeTimerItemA.BalanceTime" \
    "$check" reference "$work/reference.md" "$idl" "$runtime"

# A member added to the IDL.
sed 's/^\(        \[id(0x6003000a)\] HRESULT ResetTimer.*\)$/\1\n        [id(0x6003000b)] HRESULT Frobnicate();/' "$idl" >"$work/zentrix.idl"
grep -q Frobnicate "$work/zentrix.idl" || { echo "FAIL: could not add a member to the IDL copy"; exit 1; }
expect_failure "a new member of the IDL" "no entry in $top/docs/reference.md for clsVxTimeTimerMainA.Frobnicate" \
    "$check" reference "$top/docs/reference.md" "$work/zentrix.idl" "$runtime"

# A class without its section.
sed 's/^## `clsVxTimeTimerGroupA`: a window group$/## A window group/' "$top/docs/reference.md" >"$work/reference.md"
expect_failure "a class without a section" "no section in $work/reference.md for clsVxTimeTimerGroupA" \
    "$check" reference "$work/reference.md" "$idl" "$runtime"

# The listings checks work on a copy of the documented tree.
tree="$work/tree"
mkdir -p "$tree/docs"
cp -R "$top/examples" "$tree/examples"
cp "$top"/docs/*.md "$tree/docs/"
cp "$top/CHANGELOG.md" "$top/LICENSE" "$tree/"
cp "$top/README.md" "$tree/"
listings() { "$check" listings "$tree" "$version" "$tree/$1"; }

# A C++ listing that drifted from its compiled file.
sed -i 's/^LONG seconds = 5;$/LONG seconds = 6;/' "$tree/docs/guide-cpp.md"
expect_failure "a C++ listing that drifted" "the listing differs from examples/cpp/every_five_seconds.cpp#start" \
    listings docs/guide-cpp.md
cp "$top/docs/guide-cpp.md" "$tree/docs/"

# A compiled file changed under its listing.
sed -i 's/^        LONG seconds = 5;$/        LONG seconds = 6;/' "$tree/examples/cpp/every_five_seconds.cpp"
expect_failure "a compiled file changed under its listing" "the listing differs from examples/cpp/every_five_seconds.cpp#start" \
    listings docs/guide-cpp.md
cp "$top/examples/cpp/every_five_seconds.cpp" "$tree/examples/cpp/"

# A VBA listing without a twin, and one whose twin lacks the part.
sed -i 's/^<!-- twin: examples\/vba\/office_timers.vbs#Ticker -->$//' "$tree/docs/guide-vba.md"
expect_failure "a VBA listing without a twin" "a vb listing needs <!-- twin:" listings docs/guide-vba.md
cp "$top/docs/guide-vba.md" "$tree/docs/"
sed -i 's/#Macros -->$/#Nowhere -->/' "$tree/docs/guide-vba.md"
expect_failure "a twin without the part" "examples/vba/office_timers.vbs has no part [doc:Nowhere]" \
    listings docs/guide-vba.md

# A listed file that the suite does not build or run.
cp "$top/docs/guide-vba.md" "$tree/docs/"
grep -v 'office_timers' "$top/examples/CMakeLists.txt" >"$tree/examples/CMakeLists.txt"
expect_failure "a twin the suite does not run" "office_timers.vbs is not built and run by examples/CMakeLists.txt" \
    listings docs/guide-vba.md
cp "$top/examples/CMakeLists.txt" "$tree/examples/"

# A link to a heading that is not there.
cp "$top/docs/guide-vba.md" "$tree/docs/"
cp "$top/docs/reference.md" "$tree/docs/"
sed -i 's/(reference.md#the-current-window)/(reference.md#the-current-windows)/' "$tree/docs/guide-vba.md"
expect_failure "a link to a missing heading" "the link reference.md#the-current-windows leads to no heading" \
    listings docs/guide-vba.md

# A version that is not this one.
sed -i "s/zentrix-$version-x64.msi/zentrix-1.0.0.1-x64.msi/" "$tree/README.md"
expect_failure "an old version in the text" "version 1.0.0.1, but this is $version" listings README.md

[ "$failures" = 0 ] && echo "every check failed where it should"
[ "$failures" = 0 ]
