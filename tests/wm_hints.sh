#!/usr/bin/env bash
# Starts the real program on a virtual X server and reads what its main
# window tells the window manager: it may be moved and closed, never resized
# (Motif hints: functions move + close = 0x24, decorations border + title +
# menu = 0x1a), and its smallest and largest size are the same.
#   wm_hints.sh <path to rechenkov>
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
"$program" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do
    hints=$(xprop -name Rechenkov _MOTIF_WM_HINTS 2>/dev/null || true)
    case "$hints" in *=*) break ;; esac
    sleep 0.1
done
echo "$hints"
sizes=$(xprop -name Rechenkov WM_NORMAL_HINTS)
echo "$sizes"
[[ "$hints" == *"= 0x3, 0x24, 0x1a,"* ]] || { echo "the frame offers more than move and close"; exit 1; }
min=$(sed -n 's/.*minimum size: *//p' <<<"$sizes")
max=$(sed -n 's/.*maximum size: *//p' <<<"$sizes")
[[ -n "$min" && "$min" == "$max" ]] || { echo "smallest ($min) and largest ($max) size differ"; exit 1; }
echo "move and close only, fixed size $min"
