#!/usr/bin/env bash
# An adapter plugged in after the window started: opening the port list probes again, so the
# new port is offered, and the trace shows the list as it was shown; the typed text stays until a
# port is picked, and the picked port connects.
source "$(dirname "$0")/system_lib.sh"

# lists N: the port list shows N among its items.
lists() { [[ " $(now_shows pCPort.Items) " == *" $1 "* ]]; }
# The list's drop-down is a window of its own: keys reach it only once it is shown, and reach
# the field again once it is gone.
list_open() { xdotool search --onlyvisible --pid "$tuner_pid" 2>/dev/null | grep -qvxF "$window"; }
list_closed() { ! list_open; }

start_x
adapter="$work/adapter"
start_tuner "$work/ports.trace" --port 2="$adapter"
click pCPort
xdotool key ctrl+a
xdotool type --delay 30 9
wait_for 10 "the typed port" shows pCPort.Text 9
! lists 2 || fail "port 2 listed before its adapter exists: $(now_shows pCPort.Items)"

# The adapter appears: a simulated controller behind the link that port 2 names.
start_sim --link "$adapter"
xdotool key F4
wait_for 10 "the port list open" list_open
wait_for 10 "the opened list with port 2 in the trace" lists 2
xdotool key Escape
wait_for 10 "the port list closed" list_closed
shows pCPort.Text 9 || fail "opening the list changed the field to '$(now_shows pCPort.Text)'"

# Open the list again and pick the new port by keyboard.
click pCPort
xdotool key F4
wait_for 10 "the port list open again" list_open
xdotool type --delay 30 2
xdotool key Return
wait_for 10 "the new port picked from the list" shows pCPort.Text 2

click bOpen
wait_for 10 "the read request on the new port" sim_logged "received: R"
wait_for 10 "the green lamp of a shown report" lamp_is "$green"
exit_tuner
echo "PASS: port-list"
