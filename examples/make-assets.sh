#!/usr/bin/env bash
# Writes the example game assets under assets/ that are not text. They are
# placeholders: the archive tool stores members without looking inside, so
# each is one line naming it, then the byte values 0 to 255 over and over, cut
# to a size of its own (sizes vary so that the archive pads some members). The
# output is the same on every run.
set -euo pipefail
cd "$(dirname "$0")/assets"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/make-assets.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
for i in $(seq 0 255); do
  printf "\\$(printf %03o "$i")"
done >"$scratch/ramp"

# asset PATH SIZE KIND: writes the SIZE-byte placeholder PATH.
asset() {
  local path=$1 size=$2 kind=$3
  mkdir -p "$(dirname "$path")"
  {
    printf 'demo asset %s: a synthetic %s, not real data\n' "$path" "$kind"
    for _ in $(seq $((size / 256 + 1))); do cat "$scratch/ramp"; done
  } >"$scratch/full"
  head -c "$size" "$scratch/full" >"$path"
}

asset bgm/boss.kmus 4417 "music track"
asset bgm/stage1.kmus 5230 "music track"
asset bgm/title.kmus 3100 "music track"
asset gfx/enemy_01.kgfx 6144 picture
asset gfx/font/ascii.kgfx 4096 picture
asset gfx/player.kgfx 8200 picture
asset maps/World2/2-1.map 1620 map
asset maps/world1/1-1.map 1500 map
asset maps/world1/1-2.map 1733 map
asset se/coin.ksfx 509 "sound effect"
asset se/jump.ksfx 812 "sound effect"
asset se/menu/cancel.ksfx 240 "sound effect"
asset se/menu/select.ksfx 233 "sound effect"
