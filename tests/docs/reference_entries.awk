# Lists the entries of the member reference, one "<section> <name>" line
# each, in the form idl_members.awk writes:
# - a "## " heading opens a section for every `name` it holds ("<name> -");
# - in it, a "###"/"####" heading or a table row whose first cell starts
#   with a `name` is an entry for that name.
# Fenced code blocks are skipped.
function first_name(text,    name) {
    if (!match(text, /`[A-Za-z_0-9]+`/)) return ""
    return substr(text, RSTART + 1, RLENGTH - 2)
}
/^```/ { fenced = !fenced; next }
fenced { next }
/^## / {
    count = 0; rest = $0
    while (match(rest, /`[A-Za-z_0-9]+`/)) {
        sections[++count] = substr(rest, RSTART + 1, RLENGTH - 2)
        print sections[count] " -"
        rest = substr(rest, RSTART + RLENGTH)
    }
    next
}
/^###/ { name = first_name($0) }
/^\|/ { cell = $0; sub(/^\|/, "", cell); sub(/\|.*/, "", cell); name = first_name(cell) }
/^###/ || /^\|/ {
    if (name != "") for (i = 1; i <= count; ++i) print sections[i] " " name
    name = ""
}
