#!/usr/bin/env bash
# Plays the real program on a virtual X server, under openbox, fluxbox or
# with no window manager (a school's kiosk), the pointer outside its
# windows: after every message box the keys reach the window behind it
# again, and a held Enter leaves "Rechne nochmal ..." open; under openbox
# the main window, a box, the game and the info window come back at once,
# where they were, when minimised or rolled up (a wheel turn on the title
# bar); under both window managers they keep their size when maximised and
# come back to the desktop shown when sent to another one.
#   window_manager.sh <path to rechenkov> openbox|fluxbox|none
set -euo pipefail
program=$1 mode=$2 work=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work" || true' EXIT
cd "$work"
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work
fail() { echo "FAIL: $*"; exit 1; }
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
wait_count() { # title, number of such windows
    for _ in $(seq 100); do [ "$(visible "$1" | wc -l)" -eq "$2" ] && return 0; sleep 0.1; done
    fail "$2 window(s) '$1' expected, $(visible "$1" | wc -l) seen"
}
wait_focus() { # window, what it is
    for _ in $(seq 50); do [ "$(xdotool getwindowfocus)" = "$1" ] && return 0; sleep 0.1; done
    fail "the keyboard is not on $2 but on \"$(xdotool getwindowfocus getwindowname 2>/dev/null)\""
}
origin() { xwininfo -id "$1" | awk '/Absolute upper-left/ {p = p (p ? "," : "") $4} END {print p}'; }
on_screen() { xwininfo -id "$1" | grep -q IsViewable && ! xprop -id "$1" _NET_WM_STATE | grep -Eq 'HIDDEN|SHADED'; }
# Whether the window manager took the window away, as the events of the
# window and its frame tell however fast it came back: minimised, it was
# unmapped; rolled up, its frame shrank below half the window's height.
taken_away() {
    if [ "$2" = minimised ]; then grep -q UnmapNotify "client.$1"; return; fi
    awk -v h="$(xwininfo -id "$1" | awk '/Height:/ {print $2}')" 'match($0, /height [0-9]+/) &&
        substr($0, RSTART + 7) + 0 < h / 2 {f = 1} END {exit !f}' "frame.$1"
}
wait_back() { # window, what it is, how it went, where it was
    for _ in $(seq 50); do
        if taken_away "$1" "$3" && on_screen "$1"; then
            [ "$(origin "$1")" = "$4" ] || fail "$2 came back at $(origin "$1"), not at $4"
            return 0
        fi
        sleep 0.1
    done
    taken_away "$1" "$3" || fail "the window manager never took $2 away ($3)"
    fail "$2 stays away ($3)"
}
never_lost() { # window, what it is, the window behind it
    local place top
    # Where the window stands once it has settled in its frame.
    until [ "${place:-}" = "$(origin "$1")" ]; do place=$(origin "$1"); sleep 0.3; done
    xev -id "$1" -event structure >"client.$1" &
    pids+=($!)
    xev -id "$(xwininfo -id "$1" -children | awk '/Parent window/ {print $4}')" -event structure >"frame.$1" &
    pids+=($!)
    sleep 0.3
    xdotool windowminimize "$1"
    wait_back "$1" "$2" minimised "$place"
    [ -z "${3:-}" ] || on_screen "$3" || fail "the window behind $2 stays minimised"
    read -r _ _ top _ <<<"$(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    xdotool mousemove $((${place%%,*} + 40)) $((${place#*,} - top / 2)) sleep 0.2 click 4 mousemove 0 0
    wait_back "$1" "$2" rolled "$place"
    echo "$2 never lost"
}
desktop_of() { xprop -id "$1" _NET_WM_DESKTOP | awk '{print $3}'; }
size_of() { xwininfo -id "$1" | awk '/Width:|Height:/ {printf "%s ", $2}'; }
# Maximised, the window keeps its own size (the window manager did stretch
# it, as the events of its frame tell); sent to desktop 2, it comes back to
# the desktop shown.
never_moved_away() { # window, what it is, "box" for a box
    local size shown i
    size=$(size_of "$1") shown=$(xprop -root _NET_CURRENT_DESKTOP | awk '{print $3}')
    xev -id "$(xwininfo -id "$1" -children | awk '/Parent window/ {print $4}')" -event structure >"stretch.$1" &
    pids+=($!)
    sleep 0.3
    wmctrl -i -r "$1" -b add,maximized_vert,maximized_horz
    for i in $(seq 30); do
        sleep 0.1
        [ "$i" -gt 10 ] && [ "$(size_of "$1")" = "$size" ] && on_screen "$1" &&
            ! xprop -id "$1" _NET_WM_STATE | grep -q MAXIMIZED && break
    done
    [ "$(size_of "$1")" = "$size" ] || fail "$2 stays stretched to $(size_of "$1")"
    xprop -id "$1" _NET_WM_STATE | grep -q MAXIMIZED && fail "$2 stays maximised"
    if [ "$mode" = fluxbox ]; then
        awk 'match($0, /width [0-9]+/) && substr($0, RSTART + 6) + 0 >= 1000 {f = 1} END {exit !f}' "stretch.$1" ||
            fail "fluxbox never stretched $2"
    fi
    # fluxbox keeps a box beside its owner, whatever its desktop says.
    if [ "$mode" = fluxbox ] && [ "${3:-}" = box ]; then sleep 1; echo "$2 never stretched"; return 0; fi
    wmctrl -i -r "$1" -t $((shown == 1 ? 2 : 1))
    for _ in $(seq 50); do
        [ "$(desktop_of "$1")" = "$shown" ] && on_screen "$1" && { sleep 1.2; echo "$2 never moved away"; return 0; }
        sleep 0.1
    done
    fail "$2 stays on desktop $(desktop_of "$1") while $shown is shown"
}
# A wrong answer brings up "Rechne nochmal ..." only if the keys reach the main window.
keys_reach_main() {
    xdotool key Delete type 12
    xdotool key Return
    wait_count Fehler 1
    wait_focus "$(visible Fehler)" "the box \"Rechne nochmal ...\""
    xdotool key Return
    wait_count Fehler 0
    echo "the keys reach the main window $1"
}

if [ "$mode" != none ]; then
    case $mode in
    openbox) openbox --sm-disable >/dev/null 2>&1 & ;;
    fluxbox)
        # Without a wallpaper setter fluxbox says so in a message box of its
        # own, which would take the keyboard.
        mkdir -p bin && printf '#!/bin/sh\n' >bin/fbsetbg && chmod +x bin/fbsetbg
        PATH=$work/bin:$PATH fluxbox >/dev/null 2>&1 &
        ;;
    esac
    pids+=($!)
    for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' && break; sleep 0.1; done
fi
xdotool mousemove 0 0
# A table in which every task of a+b has the answer 3.
for v in 1 2 3 4 5 6 7; do for _ in $(seq 9); do printf '%s\r\n' "$v"; done; done >EINS.LST
"$program" EINS.LST >/dev/null 2>&1 &
pids+=($!)
wait_count Rechenkov 1
main=$(visible Rechenkov)
wait_focus "$main" "the main window at start"
[ "$mode" != openbox ] || never_lost "$main" "the main window"
[ "$mode" = none ] || never_moved_away "$main" "the main window"

# Enter held for a second and a half opens the box once and leaves it open.
xdotool type 12
xdotool keydown Return sleep 1.5 keyup Return
wait_count Fehler 1
box=$(visible Fehler)
[ "$mode" != openbox ] || never_lost "$box" "the box \"Rechne nochmal ...\"" "$main"
[ "$mode" = none ] || never_moved_away "$box" "the box \"Rechne nochmal ...\"" box
wait_focus "$box" "the box \"Rechne nochmal ...\""
xdotool key Return
wait_count Fehler 0
keys_reach_main "after \"Rechne nochmal ...\""

xdotool mousemove --window "$main" 192 24 click 1 mousemove 0 0
wait_count Hilfe 1
wait_focus "$(visible Hilfe)" "the help"
xdotool key Return
wait_count Hilfe 0
keys_reach_main "after the help"

for _ in $(seq 18); do xdotool key Delete type 3 && xdotool key Return; done
wait_count Dudazazor 1
game=$(visible Dudazazor)
wait_focus "$game" "the game"
[ "$mode" != openbox ] || never_lost "$game" "the game"
[ "$mode" = none ] || never_moved_away "$game" "the game"
# The quit question twice: No leaves the keys to the game, Yes ends it.
for answer in Escape Return; do
    xdotool key Escape
    wait_count Dudazazor 2
    question=$(visible Dudazazor | grep -vx "$game")
    [ "$mode" != openbox ] || [ "$answer" = Return ] || never_lost "$question" "the game's quit question" "$game"
    wait_focus "$question" "the game's quit question"
    xdotool key "$answer"
done
wait_count Dudazazor 0
wait_count Rechenkov 1
keys_reach_main "after the game"

xdotool mousemove --window "$main" 624 24 click 1 mousemove 0 0
wait_count Programm-Info 1
[ "$mode" != openbox ] || never_lost "$(visible Programm-Info)" "the info window"
echo "all windows stay on the screen and get the keys back ($mode)"
