#!/bin/sh
# Checks the manual pages.
#   man_pages.sh lint PAGE...
#     Each page must pass "groff -man -ww -z" and "mandoc -T lint" without a
#     word; a tool that is not installed is left out, and with neither the
#     test is skipped (exit status 77).
#   man_pages.sh options PROGRAM PAGE
#     Every option that PROGRAM's help text lists must be described in PAGE.
. "$(dirname "$0")/help_options.sh"
set -u
fail=0

lint() {
    linters=0
    for page in "$@"; do
        if command -v groff >/dev/null 2>&1; then
            linters=1
            out=$(groff -man -ww -z "$page" 2>&1)
            [ -z "$out" ] || { printf '%s: groff:\n%s\n' "$page" "$out"; fail=1; }
        fi
        if command -v mandoc >/dev/null 2>&1; then
            linters=1
            out=$(mandoc -T lint "$page" 2>&1)
            [ -z "$out" ] || { printf '%s: mandoc:\n%s\n' "$page" "$out"; fail=1; }
        fi
    done
    if [ "$linters" = 0 ]; then
        echo "neither groff nor mandoc is installed: nothing to lint with"
        exit 77
    fi
}

# The options of a help text, one per line: "-c", "--create", "--align=".
help_options() {
    help_options_of "$1" | sort -u
}

options() {
    program=$1 page=$2
    list=$(help_options "$program")
    [ -n "$list" ] || { echo "$program -h lists no options"; exit 1; }
    # The heads of the page's entries (the line after each ".TP"), where
    # every "-" of an option is written "\-".
    heads=$(awk 'tagged { print } { tagged = ($0 == ".TP") }' "$page" | sed 's/\\-/-/g')
    for option in $list; do
        case $option in
            --*) pattern="(^| )${option%=}([ =]|\$)" ;;
            *) pattern="^\.B[IR]? $option( |\$)" ;;
        esac
        printf '%s\n' "$heads" | grep -qE -- "$pattern" || {
            echo "$page has no entry for $option"
            fail=1
        }
    done
}

case ${1:-} in
    lint) shift; lint "$@" ;;
    options) shift; options "$@" ;;
    *) echo "usage: man_pages.sh lint PAGE... | options PROGRAM PAGE" >&2; exit 2 ;;
esac
exit $fail
