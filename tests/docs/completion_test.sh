#!/bin/bash
# Checks the bash completions: completion_test.sh COMPLETIONS_DIR BUILD_DIR.
# Each case sets COMP_WORDS and COMP_CWORD as bash would, calls the
# completion function and compares COMPREPLY, sorted, with what is expected.
set -u
completions=$(cd "$1" && pwd) || exit 1
PATH=$(cd "$2" && pwd):$PATH || exit 1
source "$completions/trovel" || exit 1
source "$completions/wendle" || exit 1
source "$(dirname "$0")/help_options.sh" || exit 1

scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir -p assets/gfx out
printf 'a' >assets/gfx/title.img
printf 'b' >assets/readme.txt
printf '"assets/readme.txt"\n' >pack.txt
trovel -c game.kpak assets >/dev/null || exit 1

fail=0
# expect WANTED FUNCTION WORD...: the last word is the one being completed.
expect() {
    local wanted=$1 function=$2
    shift 2
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    if [[ $got != "$wanted " && ! ($wanted == "" && $got == " ") ]]; then
        echo "completing '$*': got '$got', wanted '$wanted'"
        fail=1
    fi
}

# Every option of the help text is offered, and nothing else.
help_options() {
    help_options_of "$1" | sort | tr '\n' ' '
}
expect "$(help_options trovel | sed 's/ $//')" _trovel trovel -
expect "$(help_options wendle | sed 's/ $//')" _wendle wendle -

expect "--create" _trovel trovel --cr
expect "assets game.kpak out" _trovel trovel -c ''            # the archive
expect "assets game.kpak out" _trovel trovel -P x -c ''       # after a value
expect "assets game.kpak out" _trovel trovel --prefix = x -c ''
expect "assets game.kpak out pack.txt" _trovel trovel -c game.kpak ''
expect "assets game.kpak out pack.txt" _trovel trovel -cS ''  # a script
expect "assets out" _trovel trovel -c game.kpak -D ''         # a directory
expect "assets/gfx" _trovel trovel --directory = assets/
expect "--script=pack.txt" _trovel trovel --script=p
expect "pack.txt" _trovel trovel --script = p       # "=" splits words
expect "16 32 4 8" _trovel trovel -A ''
expect "assets out" _trovel trovel -x game.kpak ''            # output directory
expect "/assets/gfx /assets/gfx/title.img" _trovel trovel -d game.kpak /assets/g
expect "out" _wendle wendle -uo o
expect "pack.txt" _wendle wendle p
exit $fail
