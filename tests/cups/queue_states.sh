#!/bin/sh
# Queues that take no jobs, are stopped or fail every job, and no default
# among several; Ctrl+C while spooling leaves nothing in the temporary folder.
# Usage: queue_states.sh RECHENKOV   (exit 77: skipped)
set -eu
rechenkov=$1 q=rkq$$
. "$(dirname "$0")/cupsd.sh" && pdf_queue "$q"
lpadmin -p kaputt -E -v rkfail:/a -o printer-error-policy=abort-job
mkdir "$top/tmp" "$top/run" && chmod 0700 "$top/run"
export TMPDIR="$top/tmp" XDG_RUNTIME_DIR="$top/run"
expect() { # STATUS TEXT ARGUMENTS...
    want=$1 text=$2 got=0 && shift 2
    "$rechenkov" --arbeitsblaetter 3 --loesungen "$@" >/dev/null 2>"$top/err" || got=$?
    [ "$got" = "$want" ] && grep -qF "$text" "$top/err" || { echo "FAIL: $* gave $got: $(cat "$top/err")"; exit 1; }
}
cupsreject -r Papierstau "$q"
expect 1 "Der Drucker „$q“ nimmt gerade keine Aufträge an: Papierstau." --drucker "$q"
cupsaccept "$q" && cupsdisable -r Papierstau "$q"
expect 0 "Der Drucker „$q“ ist angehalten: Papierstau. Der Auftrag wartet" --drucker "$q"
[ "$(lpstat -o "$q" | wc -l)" = 1 ] || { echo "FAIL: not one job waits in the queue"; exit 1; }
expect 1 "Der Drucker „kaputt“ hat den Auftrag abgebrochen." --drucker kaputt
expect 1 "kein Standarddrucker eingestellt; eingerichtet sind „kaputt“, „$q“" # no default printer
env --default-signal=INT "$rechenkov" --arbeitsblaetter 100 --loesungen --drucker "$q" >/dev/null 2>&1 & pid=$!
sleep 0.2 && kill -INT $pid 2>/dev/null || true
wait $pid || true
[ -z "$(ls -A "$top/tmp")" ] || { echo "FAIL: left in the temporary folder: $(ls -A "$top/tmp")"; exit 1; }
echo "OK: refused, stopped, failing and unset queues reported; nothing spooled left behind"
