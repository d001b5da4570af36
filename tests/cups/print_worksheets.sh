#!/bin/sh
# Prints three worksheets with keys through a real CUPS queue (a cupsd of our
# own, see cupsd.sh, a cups-pdf queue made with lpadmin,
# the program's --drucker) and compares each page the queue wrote with the
# same stack (--stapel) written straight to PDF.
# Usage: print_worksheets.sh RECHENKOV TABLE_FOLDER   (exit 77: skipped)
set -eu
rechenkov=$1 tables=$2
. "$(dirname "$0")/cupsd.sh"
queue=rkq$$
pdf_queue "$queue"
lpadmin -d "$queue"

cd "$top"
cp "$tables/good.LST" .
# The stack's code makes the same random sheets twice: once through the queue, once straight to PDF.
sheets="--arbeitsblaetter 3 --reihen a+b,c-e,b*f --loesungen"
"$rechenkov" $sheets --stapel K7M2 --drucker "$queue"
"$rechenkov" $sheets --stapel K7M2 --ausgabe direct.pdf
"$rechenkov" $sheets --stapel K7M3 --ausgabe other.pdf
if "$rechenkov" --arbeitsblaetter 1 --drucker "${queue}x" 2>err.txt; then
    echo "FAIL: an unknown printer was taken"; exit 1
fi
grep -q "Eingerichtet: .*$queue" err.txt || { echo "FAIL: the message does not list the queue"; exit 1; }

for _ in $(seq 600); do # the job is done when the queue has written its file
    set -- out/*.pdf
    [ -s "$1" ] && [ -z "$(lpstat -o "$queue" 2>/dev/null)" ] && break
    sleep 0.1
done
printed=$1
pages=$(pdfinfo "$printed" 2>/dev/null | sed -n 's/^Pages: *//p')
[ "${pages:-0}" -eq 6 ] || { echo "FAIL: the queue wrote ${pages:-no} pages, not 6"; exit 1; }
# Fonts lose their text on the way through CUPS, so pages are compared as
# pictures, coarse enough that glyphs drawn anew on the way look alike: alike
# the page written straight to PDF, unlike the same page of another stack,
# whose numbers alone differ.
differing() { # PDF1 PDF2 PAGE: the share of differing bytes, per mille
    pdftoppm -r 20 -mono -f "$3" -l "$3" -singlefile "$1" a
    pdftoppm -r 20 -mono -f "$3" -l "$3" -singlefile "$2" b
    echo $(($(cmp -l a.pbm b.pbm | wc -l) * 1000 / $(wc -c <a.pbm)))
}
for page in 1 2 3 4 5 6; do
    same=$(differing "$printed" direct.pdf $page) other=$(differing "$printed" other.pdf $page)
    echo "page $page: $same per mille unlike the direct PDF, $other unlike other numbers"
    [ "$same" -le 10 ] && [ "$other" -gt $((same + 20)) ] || { echo "FAIL: page $page"; exit 1; }
done

# A printer whose paper is Letter gets Letter sheets, printed and as PDF.
lpadmin -p "$queue" -o PageSize=Letter
rm out/*.pdf
"$rechenkov" --arbeitsblaetter 1 --drucker "$queue"
"$rechenkov" --arbeitsblaetter 1 # the default printer
"$rechenkov" --arbeitsblaetter 1 --ausgabe letter.pdf
for _ in $(seq 600); do set -- out/*.pdf; [ $# -eq 2 ] && [ -z "$(lpstat -o "$queue")" ] && break; sleep 0.1; done
[ $# -eq 2 ] || { echo "FAIL: the queue wrote $# files, not 2"; exit 1; }
for f in "$@" letter.pdf; do
    pdfinfo "$f" | grep -q "Page size: *612 x 792" || { echo "FAIL: $f is not on Letter paper"; exit 1; }
done
echo "OK: six pages through queue $queue, and Letter paper when the printer has it"
