#!/bin/sh
# The same archives on both hosts: trovel built for Linux and trovel.exe
# under Wine, run on one tree, with and without -s, must write identical
# archives and index headers that differ only in line ends (and the time of
# the run); each reads, lists, compares and extracts the other's archives.
#   same_bytes.sh <linux trovel> <trovel.exe>     (WINE names Wine, default wine)
set -eu

linux=$(realpath "$1")
windows=$(realpath "$2")
wine=${WINE:-wine}
work=$(mktemp -d "${TMPDIR:-/tmp}/velko-same-bytes-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "same bytes: $*" >&2
    failures=$((failures + 1))
}

# Runs trovel of host $1 in $work/tree with the remaining arguments; its
# output, with line ends unified, goes to standard output.
run() {
    host=$1
    shift
    if [ "$host" = linux ]; then
        (cd "$work/tree" && "$linux" "$@")
        return
    fi
    status=0
    (cd "$work/tree" && "$wine" "$windows" "$@") >"$work/output" || status=$?
    tr -d '\r' <"$work/output"
    return $status
}

# A tree whose enumeration order depends on case and on bytes past ASCII,
# with files of several sizes, an empty file and an empty directory.
mkdir -p "$work/tree/assets/Sub/deeper" "$work/tree/assets/empty" "$work/tree/assets/lower"
cd "$work/tree/assets"
printf 'alpha' >b.bin
printf '' >A.bin
printf 'under' >a_.bin
printf 'zed\n' >Z.txt
printf 'x' >_x.bin
printf 'accent' >"$(printf '\303\251t\303\251.bin')"
head -c 70000 /dev/zero | tr '\0' 'q' >Sub/big.dat
printf 'deep' >Sub/deeper/d.bin
printf 'low' >lower/l.bin
cd "$work/tree"

for sort in "" -s; do
    for host in linux windows; do
        run "$host" -c $sort -i "$host.kpak" assets >/dev/null || fail "$host -c $sort failed"
    done
    cmp -s linux.kpak windows.kpak || fail "archives differ (${sort:-no -s})"
    # The header names its own file and the time of the run.
    for host in linux windows; do
        tr -d '\r' <"$host.kpix" | sed -e "s/$host/NAME/g" -e 's/Update:.*/Update:/' \
            -e "s/$(echo "$host" | tr a-z A-Z)/NAME/g" >"$host.header"
    done
    cmp -s linux.header windows.header || fail "index headers differ (${sort:-no -s})"
    if tr -d '\r' <windows.kpix | cmp -s - windows.kpix; then
        fail "the Windows index header has no CRLF line ends"
    fi
    if ! tr -d '\r' <linux.kpix | cmp -s - linux.kpix; then
        fail "the Linux index header has CR bytes"
    fi

    # Each host reads the other's archive.
    for pair in "linux windows" "windows linux"; do
        set -- $pair
        reader=$1 maker=$2
        [ "$(run "$reader" -l "$maker.kpak")" = "$(run linux -l linux.kpak)" ] ||
            fail "$reader lists the $maker archive differently"
        run "$reader" -p "$maker.kpak" assets >/dev/null || fail "$reader -p $maker.kpak"
        rm -rf "$maker"
        run "$reader" -x "$maker.kpak" >/dev/null || fail "$reader -x $maker.kpak"
        diff -r assets "$maker/assets" >/dev/null || fail "$reader extracts $maker.kpak wrongly"
        rm -rf "$maker"
    done
    rm -f linux.kpak windows.kpak linux.kpix windows.kpix
done

# A name past ASCII given on the command line reaches both alike.
operand=$(printf 'assets/\303\251t\303\251.bin')
for host in linux windows; do
    run "$host" -c "$host.kpak" "$operand" >/dev/null || fail "$host -c of a UTF-8 operand failed"
done
cmp -s linux.kpak windows.kpak || fail "archives of a UTF-8 operand differ"

if [ "$failures" -ne 0 ]; then
    echo "same bytes: $failures failure(s)" >&2
    exit 1
fi
echo "same bytes: Linux and Windows archives are identical and read each other"
