# Shared helpers of the system tests: a private X server, the real dccd-tuner with its trace of
# what the window shows, a line peer on a pseudo-terminal, and xdotool clicks on the designed
# control centres. Sourced by each test after setting nothing; reads its inputs from the
# environment set by CMake:
#   DCCD_TUNER DCCD_SIM DCCD_SOURCE DCCD_ARTIFACTS DCCD_SANITIZED (ON/OFF) DCCD_PYTHON
set -euo pipefail

tuner=$DCCD_TUNER
sim=$DCCD_SIM
source_dir=$DCCD_SOURCE
artifacts=$DCCD_ARTIFACTS
python=$DCCD_PYTHON
peer_script="$source_dir/tests/system/line_peer.py"
# shellcheck source=scripts/lib.sh
source "$source_dir/scripts/lib.sh"
mkdir -p "$artifacts"
work=$(mktemp -d)
chmod 755 "$work" # an unprivileged tuner must reach its trace and the device links
pids=()
started=$SECONDS

# Exit status of a test that cannot run here (CTest's SKIP_RETURN_CODE).
readonly skip_status=77

# A test may define on_cleanup to undo what it changed beyond its own folder.
cleanup() {
    local status=$?
    exec 4>&- 2>/dev/null || true
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    if [ "$status" -ne 0 ] && [ "$status" -ne "$skip_status" ]; then
        for log in "$work"/*.log "$work"/*.trace; do
            [ -f "$log" ] || continue
            echo "---- $(basename "$log") (last 60 lines)"
            tail -n 60 "$log"
        done
    fi
    if declare -F on_cleanup >/dev/null; then on_cleanup || true; fi
    cp "$work"/*.trace "$artifacts"/ 2>/dev/null || true
    rm -rf "$work"
    echo "run time: $((SECONDS - started)) s"
    exit "$status"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

skip() {
    echo "SKIPPED: $*"
    exit "$skip_status"
}

note() {
    echo "$*"
}

# The window as the program describes it: client size, designed pixel boxes, maker texts.
layout="$work/layout.txt"
"$tuner" --dump-layout >"$layout" 2>"$work/dump-layout.log" || fail "dccd-tuner --dump-layout failed"

# wait_for <seconds> <what> <command...>: polls the command until it succeeds. The seconds are
# what the wait may take on a quiet machine; a deadline only bounds a hang, and a machine busy
# with builds starves the programs (a sanitized build most), so each wait is allowed six times
# as long.
wait_for() {
    local limit=$(($1 * 6)) what=$2
    shift 2
    poll_until "$limit" "$@" || fail "timed out after $limit s waiting for $what"
}

# poll_until <seconds> <command...>: polls the command until it succeeds; false once the time
# is up, for a test that acts again rather than fails.
poll_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

# ---- the X server

# start_x [extra Xvfb arguments...]: a private X server on a free display number.
start_x() {
    start_xvfb "$work/xvfb.log" "$@" || fail "the X server did not start"
    pids+=("$xvfb_pid")
}

# ---- the line peer

# start_peer [--link PATH]: the peer's device in $device, its commands through fd 4.
start_peer() {
    rm -f "$work/peer.in" "$work/received.bin" "$work/peer.log"
    mkfifo "$work/peer.in"
    "$python" "$peer_script" --dir "$work" "$@" <"$work/peer.in" >"$work/peer.log" \
        2>"$work/peer-stderr.log" &
    peer_pid=$!
    pids+=("$peer_pid")
    exec 4>"$work/peer.in"
    wait_for 10 "the line peer's device" peer_ready
    device=$(head -n 1 "$work/peer.log")
}
peer_ready() { [ -s "$work/peer.log" ]; }
peer_said() { grep -qxF -- "$1" "$work/peer.log"; }
peer_count() { grep -cxF -- "$1" "$work/peer.log" || true; }

# peer <command...>: runs a command in the peer and waits until it is done.
peer() {
    local before
    before=$(peer_count "done $1")
    echo "$*" >&4
    local deadline=$((SECONDS + 360))
    until [ "$(peer_count "done $1")" -gt "$before" ]; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the line peer did not finish '$1'"
        grep -q '^unknown\|^closed' "$work/peer.log" && fail "the line peer refused '$1'"
        sleep 0.02
    done
}

# Pulls the line: the peer closes its end and ends.
peer_hangup() {
    echo hangup >&4
    wait_for 20 "the line peer to hang up" peer_said hangup
    wait "$peer_pid" 2>/dev/null || true
}

hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }
received_bytes() { cat "$work/received.bin" 2>/dev/null || true; }
# How often the byte string (given as text, \r allowed via printf) arrived at the peer.
received_count() { received_bytes | grep -aoF -- "$1" | wc -l; }
# received_times <n> <bytes>: the byte string arrived exactly n times. A wait polls a command, so
# it names this one: a count written into the wait's own arguments is taken once, before it.
received_times() { [ "$(received_count "$2")" -eq "$1" ]; }

# ---- the simulated controller

# start_sim [options...]: dccd-sim with its device in $device and its log in $work/sim.log.
start_sim() {
    rm -f "$work/sim.log"
    "$sim" "$@" >"$work/sim.log" 2>"$work/sim-stderr.log" &
    pids+=($!)
    wait_for 10 "the simulator's device" sim_ready
    device=$(head -n 1 "$work/sim.log")
}
sim_ready() { [ -s "$work/sim.log" ]; }
sim_logged() { grep -qxF -- "$1" "$work/sim.log"; }

# ---- the program under test

title() {
    sed -n 's/^title //p' "$layout"
}

# The client area in designed pixels: "<width> <height>".
client_size() {
    awk '$1 == "client" { print $2, $3 }' "$layout"
}

# start_tuner <trace file> [arguments...]: the real program on the X server, run through the
# commands in the array tuner_prefix (empty by default).
tuner_prefix=()
start_tuner() {
    local trace_file=$1
    shift
    : >"$trace_file"
    QT_QPA_PLATFORM=xcb DCCD_TUNER_TRACE="$trace_file" ${tuner_prefix[@]+"${tuner_prefix[@]}"} \
        "$tuner" "$@" >>"$work/tuner.log" 2>&1 &
    tuner_pid=$!
    pids+=("$tuner_pid")
    trace=$trace_file
    wait_for 30 "the tuning window" window_found
    wait_for 20 "the window drawn with its red lamp" lamp_is "$red"
}

window_found() {
    local t
    t=$(title)
    [ -n "$t" ] || fail "no title bar text"
    window=$(xdotool search --onlyvisible --pid "$tuner_pid" --name "^${t}\$" 2>/dev/null |
        head -n 1)
    [ -n "$window" ]
}
tuner_running() {
    [ -e "/proc/$tuner_pid/status" ] && ! grep -q '^State:.*Z' "/proc/$tuner_pid/status"
}
tuner_gone() { ! kill -0 "$tuner_pid" 2>/dev/null; }
exit_tuner() {
    click bExit
    wait_for 20 "the program to end after Exit" tuner_gone
    wait "$tuner_pid" || fail "dccd-tuner ended with status $?"
}

# ---- the window's controls

# The centre of a control in window pixels, from its designed pixel box, times ui_scale when
# the window is drawn scaled.
centre() {
    local numbers
    numbers=$(awk -v n="$1" '$1 == "control" && $2 == n { print $3, $4, $5, $6 }' "$layout")
    [ -n "$numbers" ] || fail "no layout for $1"
    read -r left top width height <<<"$numbers"
    awk -v s="${ui_scale:-1}" -v x=$((left + width / 2)) -v y=$((top + height / 2)) \
        'BEGIN { printf "%d %d\n", s * x + 0.5, s * y + 0.5 }'
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

red=255,0,0
green=0,255,0

# ---- the trace of what the window shows: "<ms> <control>.<Property> <value>"

shown() { cut -d' ' -f2- "$trace"; }
# shown_has "<control>.<Property> <value>"
shown_has() { shown | grep -qxF -- "$1"; }
shown_count() { shown | grep -cxF -- "$1" || true; }
# The value a property shows now (its last change).
now_shows() { shown | awk -v k="$1" '$1 == k { v = substr($0, length(k) + 2) } END { print v }'; }
shows() { [ "$(now_shows "$1")" = "$2" ]; }

# The six value boxes, in the order of a report's fields 1 to 6.
value_boxes=(tAccel tDecel tTurn tMax tMin tLFB)
editing_controls=(bSave bTPS bEbrk bCalG bDef tAccel tDecel tMin tMax tLFB tTurn)

# shows_values <six values>: every box shows its value.
shows_values() {
    local i=0 value
    for value in "$@"; do
        shows "${value_boxes[i]}.Text" "$value" || return 1
        i=$((i + 1))
    done
}

vm_rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
fd_count() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l; }
fd_list() { for fd in "/proc/$1/fd"/*; do echo "$(basename "$fd") -> $(readlink "$fd")"; done; }

# ---- the DCCD Tunes window, through the accessibility bus

# start_accessibility: a session bus of the test's own with the accessibility bus on it, so that
# the window is read as a screen reader reads it.
start_accessibility() {
    command -v dbus-launch >/dev/null && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
        skip "dbus-launch or python3-pyatspi is missing"
    eval "$(dbus-launch --sh-syntax)"
    pids+=("$DBUS_SESSION_BUS_PID")
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
    pids+=($!)
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

# start_tunes [arguments...]: the real dccd-tunes, its restore points and settings in $work.
start_tunes() {
    XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
        "$DCCD_TUNES" "$@" >>"$work/tunes.log" 2>&1 &
    tunes_pid=$!
    pids+=("$tunes_pid")
    wait_for 30 "the DCCD Tunes window on the accessibility bus" a11y status
    tunes_window=$(xdotool search --onlyvisible --pid "$tunes_pid" --name '^DCCD Tunes$' | head -n 1)
}

# a11y <command> [arguments...]: see tests/system/accessible.py.
a11y() { /usr/bin/python3 "$source_dir/tests/system/accessible.py" dccd-tunes "$@"; }
a11y_says() { [ "$(a11y "${@:1:$#-1}" 2>/dev/null)" = "${!#}" ]; }
a11y_lists() { a11y items "$1" 2>/dev/null | grep -q -- "$2"; }
