#!/usr/bin/env bash
# The whole exchange with the simulated controller, by real clicks and keys: connect, the report
# shown, an edit that is clamped, the switches, calibration, Save, the defaults, Exit. What the
# boxes' hints say follows each step, and the hint shows on screen when the pointer rests on a
# box.
source "$(dirname "$0")/system_lib.sh"

start_x
start_sim
start_tuner "$work/save.trace" --port 1="$device"

click bOpen
wait_for 10 "the read request" sim_logged "received: R"
wait_for 10 "the green lamp of a shown report" lamp_is "$green"
import -window "$window" "$artifacts/connected.png"
wait_for 10 "the hint after the report" shows tLFB.Hint "0 to 100 %; the controller holds 033"
shows tAccel.Hint "0 to 200 %; the controller holds 100" || fail "tAccel's hint after the report"

# Acceleration 250 is clamped to 200; TPS reversed; calibration requested.
click tAccel
xdotool key ctrl+a
xdotool type --delay 30 250
click bTPS
click bCalG
click bSave
wait_for 10 "the edited save record" \
    sim_logged "received: S,00200,00100,00100,00100,00000,00033,00001,00000,00001,"
wait_for 10 "the clamped text written back" shows tAccel.Text 200
wait_for 10 "the save reported" shows tStatus.Caption "Save was successful!"
import -window "$window" "$artifacts/saved.png"
shows tAccel.Hint "0 to 200 %; 200 sent, not read back" || fail "tAccel's hint after the save"
# The pointer resting on the box shows the hint.
read -r x y <<<"$(centre tAccel)"
xdotool mousemove --window "$window" "$x" "$y"
sleep 1.5
import -window root "$artifacts/saved-hint.png"

# Defaults then Save: the default record. Defaults change only the window: the hint still says
# what was sent.
click bDef
shows tAccel.Hint "0 to 200 %; 200 sent, not read back" || fail "tAccel's hint after Default"
click bSave
wait_for 10 "the default save record" \
    sim_logged "received: S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"
exit_tuner
echo "PASS: edit-and-save"
