# Lists the relative links of a Markdown file as "<line> <target>" lines,
# and, with -v anchors=1, its headings' anchors instead, as the repository's
# Markdown renderer makes them: lower case, only letters, digits, blanks,
# "-" and "_" kept, blanks turned into "-", a repeated anchor numbered -1, -2.
/^```/ { fenced = !fenced; next }
fenced { next }
anchors && /^#+ / {
    slug = tolower($0); sub(/^#+ /, "", slug)
    gsub(/[^a-z0-9 _-]/, "", slug); gsub(/ /, "-", slug)
    if (slug in seen) { seen[slug]++; slug = slug "-" seen[slug] } else seen[slug] = 0
    print slug
    next
}
!anchors {
    rest = $0
    while (match(rest, /\]\([^)]+\)/)) {
        target = substr(rest, RSTART + 2, RLENGTH - 3)
        rest = substr(rest, RSTART + RLENGTH)
        if (target !~ /^[a-z]+:/) print NR " " target
    }
}
