# Sourced by the document checks: the options that a program's help text
# lists, one per line in the help's order ("-c", "--create", "--align=").
help_options_of() {
    "$1" -h 2>/dev/null | grep -oE -- '(^| )-[A-Za-z]\b|--[a-z-]+=?' | tr -d ' '
}
