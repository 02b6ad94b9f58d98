#!/usr/bin/env bash
# The line pulled in the middle of a report and during a Save: the window reports the loss,
# stays usable, and connects again once the device is back at the same path.
source "$(dirname "$0")/system_lib.sh"

link="$work/line"
report=$'P,00150,00040,00160,00090,00010,00020,00000,00001,00000\r'

# lost_line <what>: the window shows a lost connection and goes on running.
lost_line() {
    wait_for 20 "the loss reported ($1)" status_is_loss
    note "status after $1: $(now_shows tStatus.Caption)"
    shows Shape1.FillColor 255 || fail "the lamp is not red after $1"
    shows bOpen.Caption Connect || fail "bOpen shows $(now_shows bOpen.Caption) after $1"
    local control
    for control in "${editing_controls[@]}"; do
        [ "$(now_shows "$control.Enabled")" != 1 ] || fail "$control is enabled after $1"
    done
    tuner_running || fail "dccd-tuner ended after $1"
    wait_for 10 "the red lamp on screen after $1" lamp_is "$red"
}
status_is_loss() { [[ "$(now_shows tStatus.Caption)" == "Connection lost: "?*. ]]; }
requests_seen() { [ "$(received_count $'R\r')" -ge 1 ]; }

start_x
start_peer --link "$link"
start_tuner "$work/pulled.trace" --port 1="$link"

# 1. In the middle of a report.
click bOpen
wait_for 20 "the first read request" requests_seen
peer send "$(hex "${report:0:30}")"
peer_hangup
lost_line "a line pulled in the middle of a report"
for box in "${value_boxes[@]}"; do
    [ -z "$(now_shows "$box.Text")" ] || fail "$box shows part of a report: $(now_shows "$box.Text")"
done

# 2. Back at the same path; pulled while a Save arrives.
start_peer --link "$link"
click bOpen
wait_for 20 "the read request after the device came back" requests_seen
peer send "$(hex "$report")"
wait_for 20 "the report after the device came back" shows_values 150 040 160 090 010 020
peer hangup-on-save
click bSave
wait_for 20 "the line pulled by the save" peer_said hangup
lost_line "a line pulled during a Save"
shows_values 150 040 160 090 010 020 || fail "the shown values changed with the lost line"

# 3. The controller back at the same path: connect, report, save.
start_sim --link "$link" --values 175,35,125,95,5,45,1,1,0
sim_up() { [ -L "$link" ] && [ "$(readlink "$link")" = "$device" ]; }
wait_for 20 "the simulator at the link" sim_up
click bOpen
wait_for 20 "the simulator's report" shows_values 175 035 125 095 005 045
wait_for 10 "the status of a received report" \
    shows tStatus.Caption "Parmeters Received from Controller."
wait_for 10 "the green lamp on screen" lamp_is "$green"
click bSave
wait_for 20 "the save at the simulator" \
    sim_logged "received: S,00175,00035,00125,00095,00005,00045,00001,00001,00000,"
wait_for 10 "the save confirmed" shows tStatus.Caption "Save was successful!"
exit_tuner
echo "PASS: line-pulled"
