#!/usr/bin/env bash
# Packs the example wave files named in examples/waves/sfx.txt into a wave
# archive. $1: the build folder holding wendle (default: build). $2: the
# folder to write the archive into (default: a fresh folder under the build
# folder). The examples themselves are never written to.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
if [ ! -x "$build/wendle" ]; then
  echo "wendle-demo: $build/wendle is missing; build it first (make)." >&2
  exit 1
fi
if [ $# -ge 2 ]; then
  out=$2
  mkdir -p "$out"
else
  out=$(mktemp -d "$build/wendle-demo.XXXXXX")
fi

archive="$out/sfx.swar"
"$build/wendle" -o "$archive" "$here/waves/sfx.txt"
echo "wendle-demo: packed the waves of $here/waves/sfx.txt"
echo "wendle-demo: archive written to $archive ($(wc -c <"$archive" | tr -d ' ') bytes)"

# Run again with -u -v: the archive is newer than every input, so it is kept.
"$build/wendle" -u -v -o "$archive" "$here/waves/sfx.txt"
