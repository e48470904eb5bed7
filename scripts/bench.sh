#!/bin/sh
# Installs what is missing, builds, and runs the benchmark program on both
# architectures under Wine in a virtual display. Writes each architecture's
# table to build/<arch>/bench.md, both tables to docs/performance.md, and the
# figures that have a target into the README's performance section.
# Usage: bench.sh [--quick]   (--quick: small sizes, a few seconds, nothing
# written outside build/)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="${ZENTRIX_BUILD:-$top/build}"
quick=""
[ "${1:-}" = "--quick" ] && quick="--quick"
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
for arch in x86_64 i686; do
    case "$arch" in x86_64) loader=/usr/lib/wine/wine64 ;; i686) loader=/usr/lib/wine/wine ;; esac
    # OANOCACHE: freed strings go back to the heap, not to a cache.
    "$top/scripts/with-display.sh" "$build/$arch/wineprefix" sh -c "OANOCACHE=1 '$top/cmake/wine-run.sh' \
        '$build/$arch/wineprefix' $loader '$build/$arch/bench/zentrix_bench.exe' $quick \
        --out '$build/$arch/bench.md' --targets '$build/$arch/bench-targets.tsv'"
done
[ -n "$quick" ] && exit 0

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
stamp="$(date -u +%Y-%m-%d), $(nproc) cores ($cpu), $(/usr/lib/wine/wine64 --version 2>/dev/null || echo Wine)"
{
    echo "# Performance"
    echo
    echo "Written by \`./scripts/bench.sh\` on $stamp. Each figure is the median"
    echo "[min..max] over repetitions, next to its floor measured in the same process"
    echo "and run; the ratio is taken per repetition."
    echo
    cat "$build/x86_64/bench.md"
    echo
    cat "$build/i686/bench.md"
} >"$top/docs/performance.md"

# The README's block between the two markers: one row per judged figure.
block=$(mktemp)
{
    echo "<!-- benchmark: written by scripts/bench.sh -->"
    echo "Measured on $stamp; all figures in [docs/performance.md](docs/performance.md)."
    echo
    echo "| Figure | Target | x86_64 | i686 |"
    echo "|---|---|---|---|"
    awk -F '\t' 'NR == FNR { i686[$1] = $2 " (" $4 ")"; next }
                 { print "| " $1 " | " $3 " | " $2 " (" $4 ") | " ($1 in i686 ? i686[$1] : "-") " |" }' \
        "$build/i686/bench-targets.tsv" "$build/x86_64/bench-targets.tsv"
    echo "<!-- /benchmark -->"
} >"$block"
awk -v block="$block" '
    /^<!-- benchmark/ { while ((getline line < block) > 0) print line; skipping = 1; next }
    /^<!-- \/benchmark -->/ { skipping = 0; next }
    !skipping { print }' "$top/README.md" >"$top/README.md.new"
mv "$top/README.md.new" "$top/README.md"
rm -f "$block"
echo "wrote docs/performance.md and the README's performance section"
