#!/usr/bin/env bash
# The real dccd-tuner in a private X server, driven by real input events against dccd-sim.
# Usage: tuner_e2e.sh <save|line-lost> <dccd-tuner> <dccd-sim> <source dir> <artifact dir>
set -euo pipefail

scenario=$1 tuner=$2 sim=$3 source_dir=$4 artifacts=$5
layout="$source_dir/window/layout.cpp"
branding="$source_dir/window/branding.h"
mkdir -p "$artifacts"
work=$(mktemp -d)
pids=()

cleanup() {
    local status=$?
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    if [ "$status" -ne 0 ]; then
        for log in "$work"/*.log; do
            echo "---- $(basename "$log")"
            cat "$log"
        done
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_for <seconds> <what> <command...>: polls the command until it succeeds.
wait_for() {
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "timed out waiting for $what"
        sleep 0.05
    done
}

# The centre of a control in window pixels, from the designed twips (15 twips per pixel).
centre() {
    local numbers
    numbers=$(grep -E "\{u\"$1\"_qs," "$layout" |
        sed -E 's/^[^,]*,[^,]*,[^,]*, *([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+),.*/\1 \2 \3 \4/')
    [ -n "$numbers" ] || fail "no layout for $1"
    read -r left top width height <<<"$numbers"
    echo "$(((2 * left + width + 15) / 30)) $(((2 * top + height + 15) / 30))"
}

click() {
    local x y
    read -r x y <<<"$(centre "$1")"
    xdotool mousemove --window "$window" "$x" "$y" click 1
}

# The colour of the lamp's centre on screen as "r,g,b".
lamp_colour() {
    local x y
    read -r x y <<<"$(centre Shape1)"
    import -window "$window" png:- 2>/dev/null |
        convert png:- -format "%[fx:int(255*p{$x,$y}.r+0.5)],%[fx:int(255*p{$x,$y}.g+0.5)],%[fx:int(255*p{$x,$y}.b+0.5)]" info:
}
lamp_is() { [ "$(lamp_colour)" = "$1" ]; }
sim_logged() { grep -qxF -- "$1" "$work/sim.log"; }
tuner_running() { kill -0 "$tuner_pid" 2>/dev/null; }
tuner_gone() { ! tuner_running; }
window_found() {
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1)
    [ -n "$window" ]
}
display_ready() { [ -s "$work/display" ]; }
sim_ready() { [ -s "$work/sim.log" ]; }

red=255,0,0
green=0,255,0

# A private X server on a free display number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 10 "the X server" display_ready
export DISPLAY=":$(head -n 1 "$work/display")"

sim_args=()
[ "$scenario" = line-lost ] && sim_args=(--hangup-after 2)
"$sim" "${sim_args[@]}" >"$work/sim.log" 2>"$work/sim-stderr.log" &
pids+=($!)
wait_for 10 "the simulator's device" sim_ready
device=$(head -n 1 "$work/sim.log")

title=$(sed -n '/TitleBar()/,/}/s/.*QStringLiteral("\(.*\)").*/\1/p' "$branding")
[ -n "$title" ] || fail "no title bar text"

QT_QPA_PLATFORM=xcb "$tuner" --port 1="$device" >"$work/tuner.log" 2>&1 &
tuner_pid=$!
pids+=("$tuner_pid")
wait_for 20 "the tuning window" window_found
wait_for 10 "the red lamp after loading" lamp_is "$red"

# Connect: the read request goes out and the report comes back.
click bOpen
wait_for 10 "the read request" sim_logged "received: R"
wait_for 10 "the green lamp of a shown report" lamp_is "$green"
import -window "$window" "$artifacts/connected.png"

case "$scenario" in
save)
    # Acceleration 250 is clamped to 200; TPS reversed; calibration requested.
    click tAccel
    xdotool key ctrl+a
    xdotool type --delay 30 250
    click bTPS
    click bCalG
    click bSave
    wait_for 10 "the edited save record" \
        sim_logged "received: S,00200,00100,00100,00100,00000,00033,00001,00000,00001,"
    import -window "$window" "$artifacts/saved.png"
    # Defaults then Save: the default record.
    click bDef
    click bSave
    wait_for 10 "the default save record" \
        sim_logged "received: S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"
    click bExit
    wait_for 10 "the program to end after Exit" tuner_gone
    wait "$tuner_pid" || fail "dccd-tuner ended with status $?"
    ;;
line-lost)
    # The simulator hangs up after the save: the window shows the loss and stays.
    click bSave
    wait_for 10 "the save record" \
        sim_logged "received: S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"
    wait_for 10 "the hang-up" sim_logged "hangup"
    wait_for 10 "the red lamp of a lost line" lamp_is "$red"
    tuner_running || fail "dccd-tuner ended when the line was lost"
    window_found || fail "the window went away when the line was lost"
    import -window "$window" "$artifacts/line-lost.png"
    # Still alive and answering: Exit ends it normally.
    click bExit
    wait_for 10 "the program to end after Exit" tuner_gone
    wait "$tuner_pid" || fail "dccd-tuner ended with status $?"
    ;;
*)
    fail "unknown scenario $scenario"
    ;;
esac
echo "PASS: $scenario"
