#!/usr/bin/env bash
# The whole exchange with the simulated controller, by real clicks and keys: connect, the report
# shown, an edit that is clamped, the switches, calibration, Save, the defaults, Exit.
source "$(dirname "$0")/system_lib.sh"

start_x
start_sim
start_tuner "$work/save.trace" --port 1="$device"

click bOpen
wait_for 10 "the read request" sim_logged "received: R"
wait_for 10 "the green lamp of a shown report" lamp_is "$green"
import -window "$window" "$artifacts/connected.png"

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

# Defaults then Save: the default record.
click bDef
click bSave
wait_for 10 "the default save record" \
    sim_logged "received: S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"
exit_tuner
echo "PASS: edit-and-save"
