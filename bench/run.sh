#!/usr/bin/env bash
# End-to-end timings of the built trovel on large inputs:
#   - 65,535 small files in one directory: create (sorted and unsorted), list,
#     replace one member, delete one member;
#   - one big archive (size in MiB as $2, default 1024; give several GiB to
#     time a really big one): create, list.
# Usage: bench/run.sh [build folder] [big archive MiB]. Needs about twice the
# big archive's size in free space under $TMPDIR. `make bench` runs it on a
# Release build.
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
big_mib="${2:-1024}"
trovel="$build/trovel"
work="$(mktemp -d "${TMPDIR:-/tmp}/trovel-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

timed() {
  local label="$1"; shift
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  awk -v label="$label" -v ns=$((end - start)) 'BEGIN { printf "%-44s %8.3f s\n", label, ns / 1e9 }'
}

echo "== 65,535 files in one directory"
mkdir -p "$work/many"
(cd "$work/many" && seq -f 'f%05g.bin' 65535 -1 1 | xargs -n 4096 sh -c 'for f; do printf %s "$f" > "$f"; done' sh)
cd "$work"
timed "create (-c)" "$trovel" -c many.kpak many
timed "create sorted (-c -s)" "$trovel" -c -s sorted.kpak many
timed "list (-l)" "$trovel" -l many.kpak
timed "replace one member (-r)" "$trovel" -r many.kpak many/f00001.bin
timed "delete one member (-d)" "$trovel" -d many.kpak /many/f12345.bin
ls -l many.kpak | awk '{printf "archive size: %s bytes\n", $5}'

echo "== one archive of $big_mib MiB"
mkdir -p "$work/big"
for i in 1 2 3; do
  head -c $((big_mib * 1024 * 1024 / 3)) /dev/urandom > "$work/big/part$i.bin"
done
timed "create (-c)" "$trovel" -c big.kpak big
timed "list (-l)" "$trovel" -l big.kpak
# Peak memory needs GNU time (Debian package "time").
if /usr/bin/time -f %M true >/dev/null 2>&1; then
  /usr/bin/time -f "peak memory of list: %M KiB" "$trovel" -l big.kpak >/dev/null
else
  echo "peak memory of list: not measured (GNU time is missing)"
fi
