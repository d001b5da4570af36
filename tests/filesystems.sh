#!/bin/sh
# Files on a FAT image (fusefat: no links, no unnamed files) and on bindfs: new, replaced, Ctrl+C half-way.
# Usage: filesystems.sh RECHENKOV TEST_FILEWRITER   (exit 77: skipped)
set -eu
rechenkov=$1 unit=$2
for tool in fusefat mkfs.fat fsck.fat bindfs pdfinfo; do command -v $tool >/dev/null || missing=$tool; done
if [ ! -w /dev/fuse ] || [ -n "${missing:-}" ]; then echo "SKIP: needs a usable /dev/fuse and ${missing:-fuse}"; exit 77; fi
top=$(mktemp -d) pids=
cleanup() {
    status=$?
    for m in fat bind; do mountpoint -q "$top/$m" && fusermount -u "$top/$m"; done
    for p in $pids; do wait "$p" || true; done # the daemons have written everything back
    [ $status -ne 0 ] || fsck.fat -n "$top/stick.img" >/dev/null || { echo "FAIL: a damaged FAT"; status=1; }
    rm -rf "$top" && exit "$status"
}
trap cleanup EXIT && trap 'exit 1' INT TERM
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$top/config" XDG_DATA_HOME="$top/data"
mkdir "$top/fat" "$top/bind" "$top/under" && truncate -s 32M "$top/stick.img" && mkfs.fat "$top/stick.img" >/dev/null
fusefat -f -o rw+ "$top/stick.img" "$top/fat" >/dev/null 2>&1 & pids="$pids $!"
bindfs -f "$top/under" "$top/bind" & pids="$pids $!"
for m in fat bind; do
    d=$top/$m
    fail() { echo "FAIL on $m: $*"; exit 1; }
    pages() { pdfinfo "$d/$1" 2>/dev/null | sed -n 's/^Pages: *//p'; }
    for _ in $(seq 100); do mountpoint -q "$d" && break; sleep 0.1; done; mountpoint -q "$d" || fail "not mounted"
    RECHENKOV_FOLDER_UNDER_TEST=$d "$unit" onTheFileSystemGiven >"$top/log" 2>&1 || fail "$(cat "$top/log")"
    "$rechenkov" --arbeitsblaetter 2 --ausgabe "$d/blatt.pdf" >/dev/null && [ "$(pages blatt.pdf)" = 2 ] || fail new
    ! "$rechenkov" --arbeitsblaetter 3 --ausgabe "$d/blatt.pdf" 2>&1 | grep -q "gibt es schon" && fail "replaced"
    "$rechenkov" --arbeitsblaetter 3 --ausgabe "$d/blatt.pdf" --ersetzen >/dev/null && [ "$(pages blatt.pdf)" = 3 ] \
        || fail "not replaced"
    # SIGINT once the hidden file is there (env: a background job would ignore it).
    caught=
    for _ in 1 2 3 4 5; do
        env --default-signal=INT "$rechenkov" --arbeitsblaetter 100 --loesungen --ausgabe "$d/big.pdf" >/dev/null &
        pid=$! status=0
        while [ -z "$caught" ] && kill -0 $pid 2>/dev/null; do ls -A "$d" | grep -q '^\.' && kill -INT $pid && caught=1; done
        wait $pid || status=$?
        # A signal while the finished file is put in place leaves it whole.
        [ ! -e "$d/big.pdf" ] || [ "$(pages big.pdf)" = 200 ] || fail "a cut-off PDF"
        rm -f "$d/big.pdf" && [ -n "$caught" ] && break
    done
    [ -n "$caught" ] && [ $status = 130 ] || fail "not caught half-way by SIGINT ($status)"
    [ "$(ls -A "$d" | tr '\n' ' ')" = "blatt.pdf reihe.LST verlauf.csv " ] || fail "left: $(ls -A "$d")"
done
echo "OK: new, replaced and interrupted files on FAT (fusefat) and FUSE (bindfs)"
