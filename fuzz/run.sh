#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build on its seed corpus fuzz/corpus/<target>/.
# Usage: fuzz/run.sh BUILD replay    each target once over every committed input
#        fuzz/run.sh BUILD SECONDS   each target for SECONDS on a scratch copy
#                                    of its corpus
# Fails when a target is missing or reports a finding; the input that caught
# it is kept in BUILD/findings/<target>/. The committed corpus is never
# written to.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
mode="$2"
case "$mode" in
  replay | [1-9] | [1-9]*[0-9]) ;;
  *) echo "usage: fuzz/run.sh BUILD replay|SECONDS" >&2; exit 2 ;;
esac

# Limits for every input: a hang or a memory blow-up is a finding too.
limits=(-timeout=10 -rss_limit_mb=1024)

scratch="$(mktemp -d "${TMPDIR:-/tmp}/velko-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

status=0
for corpus in "$here"/corpus/*/; do
  corpus="${corpus%/}"
  target="$(basename "$corpus")"
  exe="$build/$target"
  if [ ! -x "$exe" ]; then
    echo "fuzz: $exe is missing; build the target velko_fuzzers first." >&2
    exit 1
  fi
  findings="$build/findings/$target"
  mkdir -p "$findings"
  if [ "$mode" = replay ]; then
    echo "== $target: replaying $(find "$corpus" -type f | wc -l | tr -d ' ') inputs"
    "$exe" "${limits[@]}" -artifact_prefix="$findings/" -runs=0 "$corpus" || status=1
  else
    cp -R "$corpus" "$scratch/$target"
    echo "== $target: fuzzing for $mode s (findings go to $findings/)"
    "$exe" "${limits[@]}" -max_total_time="$mode" -print_final_stats=1 \
      -artifact_prefix="$findings/" "$scratch/$target" || status=1
  fi
done
exit "$status"
