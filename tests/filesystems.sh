#!/bin/sh
# Writes worksheet PDFs, CSV files and row files onto a FAT image mounted with
# fusefat (no links, no unnamed files, no modes: a teacher's USB stick) and a
# bindfs pass-through mount (FUSE with links but no unnamed files and no
# renaming that refuses to replace), new and replacing, and interrupts the
# program half-way through a PDF.
# Usage: filesystems.sh RECHENKOV TEST_FILEWRITER   (exit 77: skipped)
set -eu
rechenkov=$1 unit=$2
if [ ! -c /dev/fuse ] || [ ! -w /dev/fuse ] || ! command -v fusefat >/dev/null || ! command -v mkfs.fat >/dev/null \
    || ! command -v bindfs >/dev/null || ! command -v pdfinfo >/dev/null; then
    echo "SKIP: needs a usable /dev/fuse, fusefat, dosfstools, bindfs and poppler-utils"; exit 77
fi
top=$(mktemp -d) pids=
cleanup() {
    status=$?
    for m in "$top/fat" "$top/bind"; do mountpoint -q "$m" && fusermount -u "$m"; done
    for p in $pids; do wait "$p" || true; done # the daemons have written everything back
    rm -rf "$top"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
export QT_QPA_PLATFORM=offscreen QTEST_DISABLE_STACK_DUMP=1 XDG_CONFIG_HOME="$top/config" XDG_DATA_HOME="$top/data"
mkdir "$top/fat" "$top/bind" "$top/under"
truncate -s 32M "$top/stick.img" && mkfs.fat "$top/stick.img" >/dev/null
fusefat -f -o rw+ "$top/stick.img" "$top/fat" >/dev/null 2>&1 & pids="$pids $!"
bindfs -f "$top/under" "$top/bind" & pids="$pids $!"
for m in fat bind; do
    for _ in $(seq 100); do mountpoint -q "$top/$m" && break; sleep 0.1; done
    mountpoint -q "$top/$m" || { echo "FAIL: $m was not mounted"; exit 1; }
done
fail() { echo "FAIL on $m: $*"; exit 1; }
pages() { pdfinfo "$1" 2>/dev/null | sed -n 's/^Pages: *//p'; }

for m in fat bind; do
    d=$top/$m
    RECHENKOV_FOLDER_UNDER_TEST=$d "$unit" onTheFileSystemGiven >"$top/unit.txt" 2>&1 || { cat "$top/unit.txt"; fail unit; }
    "$rechenkov" --arbeitsblaetter 2 --ausgabe "$d/blatt.pdf" >/dev/null || fail "a new PDF"
    [ "$(pages "$d/blatt.pdf")" = 2 ] || fail "the new PDF has not 2 pages"
    if "$rechenkov" --arbeitsblaetter 3 --ausgabe "$d/blatt.pdf" 2>"$top/err.txt"; then fail "replaced unasked"; fi
    grep -q "gibt es schon" "$top/err.txt" || fail "$(cat "$top/err.txt")"
    "$rechenkov" --arbeitsblaetter 3 --ausgabe "$d/blatt.pdf" --ersetzen >/dev/null || fail "replacing"
    [ "$(pages "$d/blatt.pdf")" = 3 ] || fail "the replaced PDF has not 3 pages"
    # Ctrl+C while the pages are written, caught once the hidden file is there.
    caught=
    for _ in 1 2 3 4 5; do
        # A job in the background starts with SIGINT ignored; a terminal's Ctrl+C finds it handled.
        env --default-signal=INT "$rechenkov" --arbeitsblaetter 100 --loesungen --ausgabe "$d/gross.pdf" \
            >/dev/null 2>&1 & pid=$!
        while kill -0 "$pid" 2>/dev/null; do
            if ls -A "$d" | grep -q '^\.rechenkov-'; then kill -INT "$pid"; caught=yes; break; fi
        done
        status=0; wait "$pid" || status=$?
        [ -n "$caught" ] && [ $status -ne 130 ] && fail "the program did not end by SIGINT ($status)"
        [ -n "$caught" ] && break
        rm -f "$d/gross.pdf"
    done
    [ -n "$caught" ] || fail "the PDF was never caught half-way"
    ! ls -A "$d" | grep '^\.rechenkov-' || fail "a hidden file is left"
    # The signal may come while the finished file is put in place: then it is whole.
    [ ! -e "$d/gross.pdf" ] || [ "$(pages "$d/gross.pdf")" = 200 ] || fail "a cut-off PDF"
    echo "$m: $(ls -A "$d" | tr '\n' ' ')"
done
fusermount -u "$top/fat" && fusermount -u "$top/bind"
for p in $pids; do wait "$p" 2>/dev/null || true; done; pids=
fsck.fat -n "$top/stick.img" >/dev/null || { echo "FAIL: the FAT file system is damaged"; exit 1; }
echo "OK: new, replaced and interrupted files on FAT (fusefat) and FUSE (bindfs)"
