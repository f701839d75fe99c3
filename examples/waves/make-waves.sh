#!/usr/bin/env bash
# Writes the small example wave files of this folder. Each is a 16-byte file
# header ("SWAV", FF FE, version 1.00, file size, header size 16, one block)
# and one "DATA" block (kind, block size, then the sample bytes). The output
# is the same on every run.
set -euo pipefail
cd "$(dirname "$0")"

# le32 N: N as four little-endian bytes, in printf escapes.
le32() {
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
    $((($1 >> 16) & 255)) $((($1 >> 24) & 255))
}

# wave NAME SAMPLE-BYTES...: writes NAME with the given sample bytes (0-255).
wave() {
  local name=$1
  shift
  local data=''
  for b in "$@"; do
    data+=$(printf '\\x%02x' "$b")
  done
  local count=$#
  printf %b "SWAV\xff\xfe\x00\x01$(le32 $((24 + count)))\x10\x00\x01\x00DATA$(le32 $((8 + count)))$data" >"$name"
}

# A short rising and falling ramp, a click, and one period of a coarse sine.
ramp=()
for i in $(seq 0 15); do ramp+=($((128 + i * 8))); done
for i in $(seq 15 -1 0); do ramp+=($((128 + i * 8))); done
wave beep.swav "${ramp[@]}"
wave click.swav 255 0 255 0 128
wave chime.swav 128 176 218 245 255 245 218 176 128 80 38 11 0 11 38 80

printf 'beep.swav\nclick.swav\nchime.swav\nclick.swav\n' >sfx.txt
