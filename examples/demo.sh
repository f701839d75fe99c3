#!/usr/bin/env bash
# The demo behind `make demo`: packs the example game assets into an archive,
# lists it and writes its index header, then packs the example waves.
# Usage: examples/demo.sh [build folder]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-build}" && pwd)"
out="$build/demo"
rm -rf "$out"
mkdir -p "$out"

echo "== trovel: create $out/game.kpak from examples/assets (sorted, verbose)"
(cd "$here" && "$build/trovel" -c -s -v -a "$out/game.kpak" assets)

echo
echo "== trovel: list $out/game.kpak"
"$build/trovel" -l "$out/game.kpak"

echo
echo "Archive written to $out/game.kpak ($(wc -c < "$out/game.kpak") bytes)."

if [ -x "$here/wendle-demo.sh" ] && [ -x "$build/wendle" ]; then
  echo
  "$here/wendle-demo.sh" "$build" "$out/waves"
fi
