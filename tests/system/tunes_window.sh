#!/usr/bin/env bash
# DCCD Tunes as a screen reader drives it, against the simulated controller: a restore point
# kept by dccd-ctl is listed, the controller read, the restore point selected and written back
# through the confirmation, and the restore point that write kept listed in turn.
source "$(dirname "$0")/system_lib.sh"

start_x -screen 0 1366x768x24
start_accessibility
start_sim
"$sim" --silent >"$work/silent.log" 2>&1 &
pids+=($!)
wait_for 10 "the silent simulator's device" test -s "$work/silent.log"
silent=$(head -n 1 "$work/silent.log")
"$DCCD_CTL" defaults -o "$work/street.json"
sed -i 's/"acceleration": 100/"acceleration": 131/' "$work/street.json"
(cd "$work" && XDG_STATE_HOME="$work/state" "$DCCD_CTL" write street.json --port 1="$device") \
    2>>"$work/ctl.log" || fail "dccd-ctl write failed"

start_tunes --port 1="$device" --port 2="$silent" --port 3="$work/unplugged"
wait_for 10 "the restore point dccd-ctl kept" a11y_lists Tunes "^000001 .* taken before writing"
wait_for 10 "Read controller" a11y press "Read controller"
wait_for 10 "the read told" a11y_says status "Read port 1 ($device): the Controller column shows what it holds."
a11y select Tunes 0 || fail "the restore point cannot be selected"
wait_for 10 "the restore point compared with the controller" a11y shows "Controller
read"
import -window "$tunes_window" "$artifacts/comparing.png"
wait_for 10 "Write to controller" a11y press "Write to controller"
wait_for 10 "the question before writing" a11y shows "Acceleration % 131 → 100"
import -window root "$artifacts/asking.png"
wait_for 10 "Write" a11y press Write
wait_for 10 "the save record of the restore point" \
    sim_logged "received: S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"
wait_for 10 "the write told" a11y_says status "Saved and verified on port 1 ($device)."
wait_for 10 "the restore point that write kept" \
    a11y_lists Tunes "^000002 .* taken before writing back restore point 000001-"
import -window "$tunes_window" "$artifacts/written-back.png"

# The connection check: the controller, a port where nothing answers, a port with no device.
wait_for 10 "Check connection" a11y press "Check connection"
wait_for 10 "the controller's verdict" a11y shows "Verdict: the controller answered with its settings"
a11y edit "combo box" 2 || fail "port 2 cannot be typed"
wait_for 10 "Check connection" a11y press "Check connection"
wait_for 20 "the silent port's verdict" a11y shows "Verdict: nothing answered"
a11y shows "Sent: " || fail "the report does not say what was sent"
import -window root "$artifacts/silent-port.png"
a11y edit "combo box" 3 || fail "port 3 cannot be typed"
wait_for 10 "Check connection" a11y press "Check connection"
wait_for 20 "the missing port's verdict" a11y shows "no such port"
wait_for 10 "Copy report" a11y press "Copy report"
wait_for 10 "the copy told" a11y shows "The report is on the clipboard"
echo "PASS: tunes-window"
