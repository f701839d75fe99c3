#!/bin/sh
# Checks README.md (and docs/wendle.md) against the programs.
#   readme.sh options PROGRAM README
#     The rows of the README's option tables (rows starting "| `-") name
#     the same options, short and long form paired alike, as PROGRAM's help.
#   readme.sh tour README BUILD_DIR EXAMPLES_DIR
#     Runs every "$ " command line of the README's code blocks, in order, in
#     one scratch directory, and compares what it prints (standard error
#     included) with the lines shown after it.
. "$(dirname "$0")/help_options.sh"
set -u
fail=0
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

# "SHORT LONG" per option of a help text, in its order ("-A --align=",
# "-o" for an option without a long form).
help_pairs() {
    help_options_of "$1" | awk '
        /^--/ { print short " " $0; short = ""; next }
        { if (short != "") print short; short = $0 }
        END { if (short != "") print short }'
}

# The same from the table rows: the first two cells, "`-A n`" and
# "`--align=n`", give "-A --align="; so does a first cell that holds both.
readme_pairs() {
    grep -E '^\| `-' "$1" | awk -F'|' '{
        pair = ""
        if (match($2, /-[A-Za-z]/)) pair = substr($2, RSTART, RLENGTH)
        long = match($2, /--[a-z-]+=?/) ? $2 : $3
        if (match(long, /--[a-z-]+=?/)) pair = pair " " substr(long, RSTART, RLENGTH)
        print pair }'
}

options() {
    program=$1 readme=$2
    help_pairs "$program" | sort >"$work/help"
    readme_pairs "$readme" | sort >"$work/readme"
    [ -s "$work/help" ] || { echo "$program -h lists no options"; exit 1; }
    diff "$work/help" "$work/readme" >"$work/diff" || {
        echo "$readme's option tables (>) differ from $program -h (<):"
        cat "$work/diff"
        fail=1
    }
}

tour() {
    readme=$1 build=$(cd "$2" && pwd) examples=$3
    for tool in make cc; do
        command -v $tool >/dev/null 2>&1 || { echo "$tool is missing"; exit 77; }
    done
    # Command N goes to N.cmd, the lines shown after it to N.want.
    awk -v dir="$work" '
        /^```/ { block = !block; want = ""; next }
        !block { next }
        /^\$ / {
            n++
            print substr($0, 3) >(dir "/" n ".cmd")
            want = dir "/" n ".want"
            printf "" >want
            next
        }
        want != "" { print >want }' "$readme"
    [ -e "$work/1.cmd" ] || { echo "$readme shows no commands"; exit 1; }

    # What may differ from the shell the README was run in, and no more:
    # "cd examples" starts from the repository's top directory, stood in for
    # by a clean copy of examples/; the built programs come first on the
    # PATH; sort orders bytes; the settings of a make running this test and
    # of the environment (CC, TROVEL) stay out of make; and commands are a
    # moment apart, as typed ones are, so that what one writes is never as
    # new as what the one before it wrote.
    scratch=$work/scratch
    mkdir "$scratch" && cp -R "$examples" "$scratch/examples" || exit 1
    make -s -C "$scratch/examples" clean >/dev/null
    PATH=$build:$PATH LC_ALL=C
    export PATH LC_ALL
    unset MAKEFLAGS MFLAGS MAKELEVEL CC TROVEL

    i=1
    while [ -e "$work/$i.cmd" ]; do
        command=$(cat "$work/$i.cmd")
        (cd "$scratch" && sh -c "$command") >"$work/$i.got" 2>&1
        diff "$work/$i.want" "$work/$i.got" >"$work/diff" || {
            printf '$ %s\nprints (>) what the README does not show (<):\n' "$command"
            cat "$work/diff"
            fail=1
        }
        sleep 0.02
        i=$((i + 1))
    done
}

case ${1:-} in
    options) shift; options "$@" ;;
    tour) shift; tour "$@" ;;
    *) echo "usage: readme.sh options PROGRAM README | tour README BUILD_DIR EXAMPLES_DIR" >&2; exit 2 ;;
esac
exit $fail
