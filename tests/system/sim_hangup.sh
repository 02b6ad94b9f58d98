#!/usr/bin/env bash
# The simulated controller hangs up after a save, like a pulled adapter: the window shows the
# loss, stays alive, and Exit still ends it normally.
source "$(dirname "$0")/system_lib.sh"

start_x
start_sim --hangup-after 2
start_tuner "$work/hangup.trace" --port 1="$device"

click bOpen
wait_for 10 "the green lamp of a shown report" lamp_is "$green"
click bSave
wait_for 10 "the save record" \
    sim_logged "received: S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"
wait_for 10 "the hang-up" sim_logged "hangup"
wait_for 10 "the red lamp of a lost line" lamp_is "$red"
wait_for 10 "the loss told" shows tStatus.Caption \
    "Connection lost: the device was removed or stopped working."
# Nothing is known of the controller's values any more: the hints tell the range alone.
shows tAccel.Hint "0 to 200 %" || fail "tAccel's hint after the lost line: $(now_shows tAccel.Hint)"
tuner_running || fail "dccd-tuner ended when the line was lost"
window_found || fail "the window went away when the line was lost"
import -window "$window" "$artifacts/line-lost.png"
exit_tuner
echo "PASS: sim-hangup"
