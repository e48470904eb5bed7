# Lists what the IDL publishes, one "<container> <name>" line each:
#   <class> -           every coclass
#   <class> <member>    every member of its default interface (_<class>)
#   <__interface> <event>, <enum> <constant>, <record> <field>
# The IDL is read line by line, as the project writes it: one declaration
# or member per line, bodies closed by a line starting with "}".
{ sub(/\/\/.*/, "") }
match($0, /^[ \t]*coclass[ \t]+[A-Za-z_0-9]+/) {
    name = substr($0, RSTART, RLENGTH); sub(/.*[ \t]/, "", name)
    print name " -"; kind = ""; next
}
match($0, /^[ \t]*interface[ \t]+_[A-Za-z_0-9]+[ \t]*:/) {
    name = substr($0, RSTART, RLENGTH); sub(/[ \t]*:$/, "", name); sub(/.*[ \t]_/, "", name)
    container = name; kind = "interface"; next
}
match($0, /^[ \t]*dispinterface[ \t]+[A-Za-z_0-9]+/) {
    name = substr($0, RSTART, RLENGTH); sub(/.*[ \t]/, "", name)
    container = name; kind = "events"; next
}
match($0, /^[ \t]*enum[ \t]+[A-Za-z_0-9]+/) {
    name = substr($0, RSTART, RLENGTH); sub(/.*[ \t]/, "", name)
    container = name; kind = "enum"; next
}
match($0, /^[ \t]*struct[ \t]+[A-Za-z_0-9]+/) {
    name = substr($0, RSTART, RLENGTH); sub(/.*[ \t]/, "", name)
    container = name; kind = "struct"; next
}
/^[ \t]*}/ { kind = ""; next }
kind == "interface" && match($0, /HRESULT[ \t]+[A-Za-z_0-9]+[ \t]*\(/) {
    name = substr($0, RSTART, RLENGTH); sub(/^HRESULT[ \t]+/, "", name); sub(/[ \t]*\($/, "", name)
    print container " " name; next
}
kind == "events" && match($0, /void[ \t]+[A-Za-z_0-9]+[ \t]*\(/) {
    name = substr($0, RSTART, RLENGTH); sub(/^void[ \t]+/, "", name); sub(/[ \t]*\($/, "", name)
    print container " " name; next
}
kind == "enum" && match($0, /^[ \t]*[A-Za-z_0-9]+[ \t]*=/) {
    name = substr($0, RSTART, RLENGTH); gsub(/[ \t=]/, "", name)
    print container " " name; next
}
kind == "struct" && match($0, /[A-Za-z_0-9]+[ \t]*;/) {
    name = substr($0, RSTART, RLENGTH); sub(/[ \t]*;$/, "", name)
    print container " " name; next
}
