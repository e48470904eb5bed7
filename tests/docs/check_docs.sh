#!/bin/sh
# Checks the user documentation against what it documents:
#   check_docs.sh reference <reference.md> <idl>...
#     every class, member, event, enumeration constant and record field that
#     the IDLs publish has an entry in the reference;
#   check_docs.sh listings <source dir> <version> <file.md>...
#     every listing is checked by the suite: a C++ listing equals the part of
#     a compiled example it names (<!-- compiled: file#part -->), a script
#     listing the part of a script the suite runs (<!-- runs: file#part -->),
#     and a VBA listing names its VBScript twin, which the suite runs
#     (<!-- twin: file#part -->); other fenced blocks (commands, text, XML)
#     need a language of their own. Relative links lead to a file and, with
#     an anchor, to one of its headings. Version numbers written in the files
#     are this version.
# Prints what is wrong and exits 1, or prints a summary and exits 0.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/zentrix-docs.XXXXXX")
trap 'rm -rf "$work"' EXIT
problems=0
problem() { echo "$*"; problems=$((problems + 1)); }

# The lines of part `part` of `file`: between "[doc:part]" and "[/doc:part]"
# (the marker lines themselves left out); the whole file without a part.
part_of() {
    if [ -z "$2" ]; then cat "$1"; return; fi
    awk -v begin="[doc:$2]" -v end="[/doc:$2]" '
        index($0, end) { inside = 0 }
        inside { print }
        index($0, begin) { inside = 1; found = 1 }
        END { exit found ? 0 : 1 }' "$1"
}

# Its input without the indentation that all its non-blank lines share, so
# that a part from inside a function reads as a listing of its own.
dedent() {
    awk '{ line[NR] = $0
           if ($0 ~ /[^ ]/) { match($0, /^ */); if (least == "" || RLENGTH < least) least = RLENGTH } }
         END { for (i = 1; i <= NR; ++i) print substr(line[i], least + 1) }'
}

case "${1:-}" in
reference)
    reference="$2"; shift 2
    awk -f "$here/idl_members.awk" "$@" | sort -u >"$work/published"
    awk -f "$here/reference_entries.awk" "$reference" | sort -u >"$work/documented"
    [ "$(grep -c ' -$' "$work/published")" -ge 9 ] || problem "the IDL reader found fewer than nine classes"
    comm -23 "$work/published" "$work/documented" | while read -r container name; do
        if [ "$name" = - ]; then echo "no section in $reference for $container"
        else echo "no entry in $reference for $container.$name"; fi
    done >"$work/missing"
    if [ -s "$work/missing" ]; then cat "$work/missing"; problems=$((problems + $(wc -l <"$work/missing"))); fi
    [ "$problems" = 0 ] && echo "$(wc -l <"$work/published") published names, each with an entry in $reference"
    ;;
listings)
    top="$2"; version="$3"; shift 3
    listed="$top/examples/CMakeLists.txt"
    blocks=0
    for md in "$@"; do
        name=${md#"$top"/}
        # Each fenced block to a file of its own; an index line
        # "<number> <line> <language> <marker>" for each.
        awk -v out="$work/block" '
            /^```/ && !inside {
                inside = 1; ++n; language = substr($0, 4); sub(/[ \t]+$/, "", language)
                printf "%d %d %s %s\n", n, NR, (language == "" ? "-" : language), (marker == "" ? "-" : marker)
                printf "" >(out n)
                next
            }
            /^```/ && inside { inside = 0; close(out n); marker = ""; next }
            inside { print >>(out n); next }
            /^<!-- (compiled|runs|twin): [^ ]+ -->$/ { kind = $2; sub(/:$/, "", kind); marker = kind ":" $3; next }
            NF { marker = "" }' "$md" >"$work/index"
        while read -r n line language marker; do
            blocks=$((blocks + 1))
            where="$name:$line"
            kind=${marker%%:*}; target=${marker#*:}; file=${target%%#*}; part=""
            case "$target" in *"#"*) part=${target#*#} ;; esac
            case "$language" in
                cpp) want=compiled ;;
                vbscript|js) want=runs ;;
                vb) want=twin ;;
                text|sh|cmd|xml) continue ;;
                *) problem "$where: a fenced block needs a language (cpp, vb, vbscript, js, text, sh, cmd or xml), not '$language'"; continue ;;
            esac
            if [ "$kind" != "$want" ]; then
                problem "$where: a $language listing needs <!-- $want: <file>#<part> --> on the line before it"
                continue
            fi
            if [ ! -f "$top/$file" ]; then problem "$where: $file does not exist"; continue; fi
            if ! grep -q "$(basename "$file")" "$listed"; then
                problem "$where: $file is not built and run by examples/CMakeLists.txt"
                continue
            fi
            if ! part_of "$top/$file" "$part" >"$work/found"; then
                problem "$where: $file has no part [doc:$part]"
                continue
            fi
            dedent <"$work/found" >"$work/part"
            dedent <"$work/block$n" >"$work/listing"
            if [ "$kind" = twin ]; then
                [ -s "$work/part" ] || problem "$where: the twin's part $part is empty"
            elif ! cmp -s "$work/part" "$work/listing"; then
                problem "$where: the listing differs from $target:"
                diff "$work/part" "$work/listing" | sed 's/^/    /' | head -20
            fi
        done <"$work/index"
        # Links to files of the release and to their headings lead somewhere.
        dir=$(dirname "$md")
        awk -f "$here/links.awk" "$md" | while read -r line target; do
            file=${target%%#*}; anchor=""
            case "$target" in *"#"*) anchor=${target#*#} ;; esac
            [ -n "$file" ] && path="$dir/$file" || path="$md"
            if [ ! -e "$path" ]; then echo "$name:$line: the link $target leads to no file"; continue; fi
            if [ -n "$anchor" ] && [ -f "$path" ] && ! awk -v anchors=1 -f "$here/links.awk" "$path" | grep -qx -- "$anchor"; then
                echo "$name:$line: the link $target leads to no heading"
            fi
        done >"$work/links"
        if [ -s "$work/links" ]; then cat "$work/links"; problems=$((problems + $(wc -l <"$work/links"))); fi
        # Versions written in the text are this one (the changelog keeps
        # older ones).
        case "$name" in CHANGELOG.md) ;; *)
            grep -no '[0-9]\+\.[0-9]\+\.[0-9]\+\.[0-9]\+' "$md" | while IFS=: read -r line found; do
                [ "$found" = "$version" ] || echo "$name:$line: version $found, but this is $version"
            done >"$work/versions"
            if [ -s "$work/versions" ]; then cat "$work/versions"; problems=$((problems + $(wc -l <"$work/versions"))); fi
        esac
    done
    [ "$problems" = 0 ] && echo "$blocks fenced blocks in $# files, each listing checked"
    ;;
*)
    echo "usage: $0 reference <reference.md> <idl>... | listings <source dir> <version> <file.md>..." >&2
    exit 2
    ;;
esac
[ "$problems" = 0 ]
