#!/usr/bin/env bash
# dccd-tuner.exe on COM5 when the line fails: a save the line does not take is dropped at
# Disconnect after the drain's second, and told; the line hung up while connected is told as a
# lost connection, and the window goes on running.
source "$(dirname "$0")/wine_lib.sh"

report_seen() { [ "$(received_count $'R\r')" -ge "$1" ]; }
status_is_loss() { [[ "$(now_shows tStatus.Caption)" == "Connection lost: "?*. ]]; }

start_wine_x
start_com5_peer
start_tuner "$work/faults.trace" --port 5

# 1. A stuck line: the save waits in the system's queue and is dropped at Disconnect.
click bOpen
wait_for 20 "the read request" report_seen 1
peer send "$(report_hex 120 90 100 80 10 40 1 0 0)"
wait_for 20 "the green lamp of a shown report" lamp_is "$green"
peer stop-output
click bSave
wait_for 10 "the save reported" shows tStatus.Caption "Save was successful!"
click bOpen
wait_for 20 "the dropped save told" \
    shows tStatus.Caption "Disconnected. The last save did not reach the line."
peer start-output

# 2. The line hung up while connected.
click bOpen
wait_for 20 "the second read request" report_seen 2
peer send "$(report_hex 120 90 100 80 10 40 1 0 0)"
wait_for 20 "the green lamp again" lamp_is "$green"
peer_hangup
wait_for 20 "the loss reported" status_is_loss
note "status after the hang-up: $(now_shows tStatus.Caption)"
shows bOpen.Caption Connect || fail "bOpen shows $(now_shows bOpen.Caption) after the loss"
wait_for 10 "the red lamp" lamp_is "$red"
tuner_running || fail "dccd-tuner.exe ended after the loss"
exit_tuner
echo "PASS: line-faults"
