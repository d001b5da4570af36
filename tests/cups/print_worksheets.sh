#!/bin/sh
# Prints three worksheets through a real CUPS queue: a cupsd of our own on a
# socket in a temporary folder, a PDF queue (cups-pdf) made with lpadmin, and
# the program's --drucker; then reads back the PDF the queue wrote.
# Usage: print_worksheets.sh RECHENKOV TABLE_FOLDER   (exit 77: skipped)
set -eu
rechenkov=$1
tables=$2
if [ "$(id -u)" -ne 0 ] || ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null \
    || [ ! -x /usr/lib/cups/backend/cups-pdf ] || ! command -v pdftotext >/dev/null; then
    echo "SKIP: needs root, cups, printer-driver-cups-pdf and poppler-utils"
    exit 77
fi
queue=rechenkovtest$$
top=$(mktemp -d)
pdfconf=/etc/cups/cups-pdf-$queue.conf
cleanup() {
    status=$?
    if [ -f "$top/cupsd.pid" ]; then
        pid=$(cat "$top/cupsd.pid")
        kill "$pid" 2>/dev/null || true
        while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
    fi
    rm -f "$pdfconf"
    rm -rf "$top" || true
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
mkdir -p "$top/etc/ppd" "$top/spool/tmp" "$top/cache" "$top/state" "$top/log" "$top/out" "$top/pdfspool"
chmod 0755 "$top" "$top/out"
cat >"$top/etc/cups-files.conf" <<CONF
ServerRoot $top/etc
RequestRoot $top/spool
TempDir $top/spool/tmp
CacheDir $top/cache
StateDir $top/state
ErrorLog $top/log/error_log
AccessLog $top/log/access_log
PageLog $top/log/page_log
DataDir /usr/share/cups
ServerBin /usr/lib/cups
CONF
cat >"$top/etc/cupsd.conf" <<CONF
Listen $top/cups.sock
LogLevel warn
Browsing No
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
CONF
# The queue writes into our folder, not into a home folder.
cat >"$pdfconf" <<CONF
Out $top/out
AnonDirName $top/out
Spool $top/pdfspool
Label 0
Grp root
CONF
export CUPS_SERVER="$top/cups.sock"
cupsd -f -c "$top/etc/cupsd.conf" -s "$top/etc/cups-files.conf" &
echo $! >"$top/cupsd.pid"
for _ in $(seq 50); do [ -S "$top/cups.sock" ] && break; sleep 0.1; done
# Poppler's pdftops keeps the fonts' text, so the queue's PDF can be read back.
lpadmin -p "$queue" -E -v "cups-pdf:/$queue" -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
    -o pdftops-renderer-default=pdftops 2>/dev/null
lpadmin -d "$queue"

cd "$top"
cp "$tables/good.LST" .
# The same three sheets (one table, named pairs) to the queue and straight into a PDF file.
sheets="--arbeitsblaetter 3 --tabelle good.LST --reihen a+b,c-e,b*f --loesungen"
QT_QPA_PLATFORM=offscreen "$rechenkov" $sheets --drucker "$queue"
QT_QPA_PLATFORM=offscreen "$rechenkov" $sheets --ausgabe direct.pdf
QT_QPA_PLATFORM=offscreen "$rechenkov" --arbeitsblaetter 6 --ausgabe other.pdf
# A name that is no printer is refused with exit 1.
if QT_QPA_PLATFORM=offscreen "$rechenkov" --arbeitsblaetter 1 --drucker "${queue}x" 2>err.txt; then
    echo "FAIL: an unknown printer was taken"; exit 1
fi
grep -q "Eingerichtet: .*$queue" err.txt || { echo "FAIL: the message does not list the queue"; cat err.txt; exit 1; }

# The job is done when the queue has written its file.
for _ in $(seq 600); do
    set -- "$top"/out/*.pdf
    [ -s "$1" ] && [ -z "$(lpstat -o "$queue" 2>/dev/null)" ] && break
    sleep 0.1
done
set -- "$top"/out/*.pdf
[ -s "$1" ] || { echo "FAIL: the queue wrote no PDF"; exit 1; }
printed=$1
pages=$(pdfinfo "$printed" | sed -n 's/^Pages: *//p')
[ "$pages" -eq 6 ] || { echo "FAIL: the queue wrote $pages pages, not 6"; exit 1; }
# Its fonts lose their text on the way through CUPS, so the pages are compared
# as pictures: each printed page looks like the page written straight to PDF,
# and unlike a page with other numbers.
differing() { # PDF1 PAGE1 PDF2 PAGE2: the share of differing bytes, in per mille
    pdftoppm -r 40 -mono -f "$2" -l "$2" -singlefile "$1" a
    pdftoppm -r 40 -mono -f "$4" -l "$4" -singlefile "$3" b
    total=$(wc -c <a.pbm)
    echo $(( $(cmp -l a.pbm b.pbm | wc -l) * 1000 / total ))
}
for page in 1 2 3 4 5 6; do
    same=$(differing "$printed" $page direct.pdf $page)
    other=$(differing "$printed" $page other.pdf $page)
    echo "page $page: $same per mille unlike the direct PDF, $other unlike other numbers"
    [ "$same" -le 10 ] || { echo "FAIL: printed page $page differs from the sheet"; exit 1; }
    [ "$other" -gt $((same + 20)) ] || { echo "FAIL: the comparison cannot tell pages apart"; exit 1; }
done
echo "OK: six pages through queue $queue"
