#!/usr/bin/env bash
# Plays the real program on a virtual X server, with the window manager
# openbox or with none (a school's kiosk), the pointer outside the windows:
#  - after every message box (a wrong answer, the help, the game's quit
#    question) the keys reach the window behind it again;
#  - with openbox, the main window, a message box, the game and the info
#    window never stay minimised or rolled up (a wheel turn on the title
#    bar): each comes back where it was, a box with its owner.
#   window_manager.sh <path to rechenkov> openbox|none
set -euo pipefail
program=$1
mode=$2
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
# Nothing of the user's settings or window manager configuration counts.
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

fail() {
    echo "FAIL: $*"
    exit 1
}

# The visible windows of that exact title.
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }

# Waits until exactly `count` windows of the title are visible.
wait_count() {
    local name=$1 count=$2
    for _ in $(seq 100); do
        [ "$(visible "$name" | wc -l)" -eq "$count" ] && return 0
        sleep 0.1
    done
    fail "$count window(s) '$name' expected, $(visible "$name" | wc -l) seen"
}

# The one visible window of the title that is not `other`.
window_other_than() { visible "$1" | grep -vx "${2:-none}" | head -n 1; }

# Waits until the keyboard is on that window.
wait_focus() {
    for _ in $(seq 50); do
        [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$1" ] && return 0
        sleep 0.1
    done
    fail "the keyboard is not on $2"
}

origin() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x "," y}'; }
viewable() { xwininfo -id "$1" | grep -q IsViewable; }
out_of_sight() { xprop -id "$1" _NET_WM_STATE | grep -Eq 'HIDDEN|SHADED'; }

# Whether the window manager took the window away, as its events and its
# frame's tell (they stay in the logs however fast the window comes back):
# minimised, the window was unmapped; rolled up, the frame shrank to less
# than half the window's height.
taken_away() {
    local id=$1 how=$2
    case $how in
    minimised) grep -q UnmapNotify "client.$id" ;;
    rolled) awk -v h="$(xwininfo -id "$id" | awk '/Height:/ {print $2}')" '
            match($0, /height [0-9]+/) && substr($0, RSTART + 7, RLENGTH - 7) + 0 < h / 2 {found = 1}
            END {exit !found}' "frame.$id" ;;
    esac
}

# Waits until the window is on the screen again, at `place`, after the
# window manager had taken it away.
wait_back() {
    local id=$1 what=$2 how=$3 place=$4
    for _ in $(seq 50); do
        if taken_away "$id" "$how" && viewable "$id" && ! out_of_sight "$id"; then
            [ "$(origin "$id")" = "$place" ] || fail "$what came back at $(origin "$id"), not at $place"
            return 0
        fi
        sleep 0.1
    done
    taken_away "$id" "$how" || fail "the window manager never took $what away ($how)"
    fail "$what stays away ($how): $(xprop -id "$id" _NET_WM_STATE)"
}

# Minimises the window and rolls it up; it must come back each time, and
# with it the owner it names.
never_lost() {
    local id=$1 what=$2 owner=${3:-}
    local place top
    place=$(origin "$id")
    xev -id "$id" -event structure >"client.$id" 2>/dev/null &
    pids+=($!)
    xev -id "$(xwininfo -id "$id" -children | awk '/Parent window id/ {print $4}')" -event structure \
        >"frame.$id" 2>/dev/null &
    pids+=($!)
    sleep 0.3
    xdotool windowminimize "$id"
    wait_back "$id" "$what" minimised "$place"
    if [ -n "$owner" ]; then
        viewable "$owner" && ! out_of_sight "$owner" || fail "the window behind $what stays minimised"
    fi
    # A wheel turn up on the title bar rolls the window up.
    read -r _ _ top _ <<<"$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    xdotool mousemove $((${place%,*} + 40)) $((${place#*,} - top / 2)) sleep 0.2 click 4
    wait_back "$id" "$what" rolled "$place"
    xdotool mousemove 0 0
    echo "$what never lost"
}

# Types an answer into the main window and sends it off.
answer() {
    xdotool key Delete
    xdotool type "$1"
    xdotool key Return
}

# A wrong answer must bring up "Rechne nochmal ...": the keys reach the main window.
keys_reach_main() {
    answer 12
    wait_count Fehler 1
    local box
    box=$(visible Fehler)
    wait_focus "$box" "the box \"Rechne nochmal ...\""
    xdotool key Return
    wait_count Fehler 0
    echo "the keys reach the main window $1"
}

if [ "$mode" = openbox ]; then
    openbox --sm-disable >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
fi
xdotool mousemove 0 0

# A table whose every task on row a+b has the answer 3.
for v in 1 2 3 4 5 6 7; do for _ in $(seq 9); do printf '%s\r\n' "$v"; done; done >EINS.LST
"$program" EINS.LST >/dev/null 2>&1 &
pids+=($!)
wait_count Rechenkov 1
main=$(visible Rechenkov)
wait_focus "$main" "the main window at start"
[ "$mode" = openbox ] && never_lost "$main" "the main window"

# A wrong answer, the box, and the keys after it.
answer 12
wait_count Fehler 1
box=$(visible Fehler)
wait_focus "$box" "the box \"Rechne nochmal ...\""
[ "$mode" = openbox ] && never_lost "$box" "the box \"Rechne nochmal ...\"" "$main"
wait_focus "$box" "the box \"Rechne nochmal ...\" after it came back"
xdotool key Return
wait_count Fehler 0
keys_reach_main "after \"Rechne nochmal ...\""

# The help, opened by a click; the pointer leaves the window before it closes.
xdotool mousemove --window "$main" 192 24 click 1 mousemove 0 0
wait_count Hilfe 1
wait_focus "$(visible Hilfe)" "the help"
xdotool key Return
wait_count Hilfe 0
keys_reach_main "after the help"

# Eighteen right answers open the game.
for _ in $(seq 18); do answer 3; done
wait_count Dudazazor 1
game=$(visible Dudazazor)
wait_focus "$game" "the game"
[ "$mode" = openbox ] && never_lost "$game" "the game"
xdotool key Escape
wait_count Dudazazor 2
question=$(window_other_than Dudazazor "$game")
wait_focus "$question" "the game's quit question"
[ "$mode" = openbox ] && never_lost "$question" "the game's quit question" "$game"
wait_focus "$question" "the game's quit question after it came back"
xdotool key Escape
wait_count Dudazazor 1
# No: the game goes on and has the keys again; Escape asks once more, Yes ends it.
xdotool key Escape
wait_count Dudazazor 2
wait_focus "$(window_other_than Dudazazor "$game")" "the game's quit question asked again"
xdotool key Return
wait_count Dudazazor 0
wait_count Rechenkov 1
keys_reach_main "after the game"

# The info window, opened by its button.
xdotool mousemove --window "$main" 624 24 click 1 mousemove 0 0
wait_count Programm-Info 1
[ "$mode" = openbox ] && never_lost "$(visible Programm-Info)" "the info window"
echo "all windows stay on the screen and get the keys back ($mode)"
