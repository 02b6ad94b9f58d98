#!/usr/bin/env bash
# dccd-tuner.exe on COM5 by real clicks in a private X server: Connect discards what waited in
# the line, the peer's answer is shown with the green lamp, Save sends the exact record, Exit.
source "$(dirname "$0")/wine_lib.sh"

start_wine_x
start_com5_peer
peer queue "$(report_hex 1 2 3 4 5 6 0 1 0)"
start_tuner "$work/window.trace" --port 5
wait_for 20 "port 5 preselected" shows pCPort.Text 5

click bOpen
wait_for 20 "the read request" received_has 'R\r'
peer send "$(report_hex 120 90 100 80 10 40 1 0 0)"
wait_for 20 "the green lamp of a shown report" lamp_is "$green"
wait_for 10 "the peer's values" shows_values 120 090 100 080 010 040
shown_has "tAccel.Text 1" && fail "the stale report was shown"
import -window "$window" "$artifacts/connected.png"

click bSave
record='S,00120,00090,00100,00080,00010,00040,00001,00000,00000,\r'
wait_for 20 "the save record" received_has "$record"
wait_for 10 "the save reported" shows tStatus.Caption "Save was successful!"
[ "$(received_bytes)" = "$(printf '%b' "R\\r${record}")" ] ||
    fail "the line carried more than the read request and the record: $(received_bytes | od -c)"
exit_tuner
echo "PASS: window"
