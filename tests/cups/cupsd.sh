# Sourced by the printing tests: a cupsd of the test's own in a temporary
# folder ($top), with a backend "rkfail" that fails every job at once.
if [ "$(id -u)" -ne 0 ] || ! command -v cupsd >/dev/null || [ ! -x /usr/lib/cups/backend/cups-pdf ] \
    || ! command -v pdftoppm >/dev/null; then
    echo "SKIP: needs root, cups, printer-driver-cups-pdf and poppler-utils"; exit 77
fi
top=$(mktemp -d)
cleanup() {
    status=$?
    if [ -f "$top/pid" ]; then
        kill "$(cat "$top/pid")" 2>/dev/null || true
        while kill -0 "$(cat "$top/pid")" 2>/dev/null; do sleep 0.1; done
    fi
    rm -rf /etc/cups/cups-pdf-rkq$$*.conf "$top" || true
    exit "$status"
}
trap cleanup EXIT && trap 'exit 1' INT TERM
mkdir -p "$top/etc/ppd" "$top/spool/tmp" "$top/cache" "$top/state" "$top/log" "$top/out" "$top/pdfspool" "$top/bin/backend"
chmod 0755 "$top" "$top/out" "$top/bin" "$top/bin/backend"
for d in /usr/lib/cups/*; do [ "$d" = /usr/lib/cups/backend ] || ln -s "$d" "$top/bin/"; done
for b in /usr/lib/cups/backend/*; do ln -s "$b" "$top/bin/backend/"; done
printf '%s\n' '#!/bin/sh' '[ $# -eq 0 ] && exit 0' 'cat >/dev/null; echo "ERROR: Kein Papier" >&2; exit 1' \
    >"$top/bin/backend/rkfail" && chmod 0755 "$top/bin/backend/rkfail"
printf '%s\n' "ServerRoot $top/etc" "RequestRoot $top/spool" "TempDir $top/spool/tmp" "CacheDir $top/cache" \
    "StateDir $top/state" "ErrorLog $top/log/error_log" "AccessLog $top/log/access_log" \
    "PageLog $top/log/page_log" "DataDir /usr/share/cups" "ServerBin $top/bin" >"$top/etc/cups-files.conf"
printf '%s\n' "Listen $top/cups.sock" "Browsing No" "<Location />" "Order allow,deny" "Allow all" "</Location>" \
    >"$top/etc/cupsd.conf"
export CUPS_SERVER="$top/cups.sock" QT_QPA_PLATFORM=offscreen
cupsd -f -c "$top/etc/cupsd.conf" -s "$top/etc/cups-files.conf" &
echo $! >"$top/pid"
for _ in $(seq 50); do [ -S "$top/cups.sock" ] && break; sleep 0.1; done
# A cups-pdf queue QUEUE writing into $top/out (settings in /etc/cups; pdftops keeps the pages as drawn).
pdf_queue() {
    printf '%s\n' "Out $top/out" "AnonDirName $top/out" "Spool $top/pdfspool" "Label 0" "Grp root" \
        >"/etc/cups/cups-pdf-$1.conf"
    lpadmin -p "$1" -E -v "cups-pdf:/$1" -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
        -o pdftops-renderer-default=pdftops 2>/dev/null
}
