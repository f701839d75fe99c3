#!/usr/bin/env bash
# The demo behind `make demo`, from assets to game code: packs the example
# assets into an archive with its index header, builds the C loader against
# the header and runs it, then packs the example waves. Everything is written
# under the build folder; the examples themselves are only read.
# Usage: examples/demo.sh [build folder holding trovel and wendle]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-build}" && pwd)"
out="$build/demo"
rm -rf "$out"
mkdir -p "$out"

step() { printf '\n== %s\n' "$*"; }

cc_found=yes
command -v "${CC:-cc}" >/dev/null 2>&1 || cc_found=no

step "examples/Makefile: the archive game.kpak from examples/assets and" \
  "examples/game.script, its index header game.kpix, and the loader"
targets=loader
[ "$cc_found" = yes ] || targets=game.kpix
make --no-print-directory -f "$here/Makefile" -C "$out" TROVEL="$build/trovel" "$targets"

step "trovel -l game.kpak: every member with its file ID and size"
(cd "$out" && "$build/trovel" -l game.kpak)

if [ "$cc_found" = yes ]; then
  step "./loader game.kpak: examples/game/loader.c reads members by file ID and by path"
  (cd "$out" && ./loader game.kpak)
else
  step "No C compiler (${CC:-cc}) found: the loader is not built"
fi

if [ -x "$build/wendle" ]; then
  step "wendle: the waves named in examples/waves/sfx.txt into a wave archive"
  "$here/wendle-demo.sh" "$build" "$out/waves"
fi

step "Made in $out:"
echo "  game.kpak        the archive ($(wc -c <"$out/game.kpak" | tr -d ' ') bytes)"
echo "  game.kpix        its index header, one constant per member"
[ "$cc_found" = no ] || echo "  loader           examples/game/loader.c built against game.kpix"
[ ! -e "$out/waves/sfx.swar" ] || echo "  waves/sfx.swar   the wave archive"
echo
echo "Next: README.md tours every mode; docs/formats.md gives the byte layouts;"
echo "examples/Makefile has the build rules; docs/wendle.md describes wendle."
echo "make test runs the tests; make install installs both programs with their"
echo "manual pages (man trovel, man wendle) and bash completions."
