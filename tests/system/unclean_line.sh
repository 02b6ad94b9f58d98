#!/usr/bin/env bash
# A line that is not clean: bytes left on it before Connect, a report damaged by a NUL, a
# report that trickles in one byte at a time, a line that stops taking bytes, a line that echoes
# the save, a controller that says more than its report. The window shows only what the
# controller holds and answered to this connection, a save carries the reported switches
# unchanged, and a save the line never took is not left for a success, not even at Exit.
source "$(dirname "$0")/system_lib.sh"

report_a="P,00123,00045,00067,00089,00012,00034,00001,00000,00000"
values_a=(123 045 067 089 012 034)
report_b="P,00011,00022,00033,00044,00055,00066,00000,00001,00000"
values_b=(011 022 033 044 055 066)
# Calibration asked for: field 9 is the last to arrive.
report_c="P,00150,00140,00130,00090,00020,00010,00000,00001,00001"
values_c=(150 140 130 090 020 010)
save_c="S,00150,00140,00130,00090,00020,00010,00000,00001,00001,"
save_a="S,00123,00045,00067,00089,00012,00034,00001,00000,00000,"

# unchanged_for <seconds> <what> [<lines of the trace before the bytes were sent>]: the window
# shows nothing new meanwhile. Counted before the bytes go out, a change that comes at once is
# not missed.
unchanged_for() {
    local before=${3:-$(wc -l <"$trace")}
    sleep "$1"
    [ "$(wc -l <"$trace")" -eq "$before" ] ||
        fail "$2 changed the window: $(tail -n +"$((before + 1))" "$trace")"
}

start_x
start_peer
# 1. A controller's chatter waits on the line before Connect; only the answer counts.
peer queue "$(hex $'xx,yy\r')"
start_tuner "$work/unclean.trace" --port 1="$device"
click bOpen
wait_for 20 "the read request" received_times 1 $'R\r'
peer send "$(hex "$report_a"$'\r')"
wait_for 20 "the answer shown despite the bytes before Connect" shows_values "${values_a[@]}"
wait_for 10 "the status of a report" shows tStatus.Caption "Parmeters Received from Controller."
note "bytes before Connect ignored, answer shown"

# 2. A NUL inside field 1 would move every later value up a place: no report, no change.
mark=$(wc -l <"$trace")
peer send "$(hex "P,001")00$(hex "00,00100,00100,00100,00000,00033,00001,00000,00001"$'\r')"
unchanged_for 1 "a report with a NUL" "$mark"
shows_values "${values_a[@]}" || fail "the values changed after a report with a NUL"
note "report with a NUL changed nothing"

# 3. One byte every 18 ms: the line is never quiet, and the report is still taken whole. A
# busy machine can stretch one gap towards the 50 ms that end a record without its CR; such a
# run proves nothing, and the trickle is sent again. A gap short of that by a margin is a
# quiet-free run, however much longer than 18 ms it was.
for attempt in 1 2 3 4 5 6; do
    peer send "$(hex "$report_a"$'\r')"
    sleep 0.3
    peer trickle "$(hex "$report_c"$'\r')" 18
    longest=$(grep '^longest gap ' "$work/peer.log" | tail -n 1 | cut -d' ' -f3)
    [ "$longest" -ge 35 ] || break
    [ "$attempt" -lt 6 ] || fail "no trickle kept its pace: the machine is too busy"
    note "trickle $attempt had a gap of $longest ms; sending it again"
done
wait_for 20 "the trickled report shown" shows_values "${values_c[@]}"
wait_for 10 "its Ebrake caption" shows bEbrk.Caption "Ebrake Cut = Off"
click bSave
wait_for 10 "the save status" shows tStatus.Caption "Save was successful!"
wait_for 10 "the save on the line" received_times 1 "$save_c"$'\r'
note "trickled report taken whole; its calibration flag went out with the save"

# 4. A report from before waits on the line at the next Connect, and the controller does not
# answer this time: the old report must not pass for the current settings.
click bOpen
wait_for 10 "Disconnected" shows tStatus.Caption "Disconnected."
peer queue "$(hex "$report_b"$'\r')"
click bOpen
wait_for 20 "the second read request" received_times 2 $'R\r'
wait_for 10 "the waiting status" \
    shows tStatus.Caption "Waiting for DCCD to respond... check your com port!"
unchanged_for 1 "a report that waited before Connect"
! shown_has "tAccel.Text ${values_b[0]}" || fail "the report from before Connect was shown"
note "report from before Connect not shown"

# 5. The line stops taking bytes: a save queued there is dropped at Disconnect, and said so.
peer send "$(hex "$report_a"$'\r')"
wait_for 20 "the report shown again" shows_values "${values_a[@]}"
peer stop-output
click bSave
wait_for 10 "the save status" shows tStatus.Caption "Save was successful!"
click bOpen
wait_for 20 "the dropped save told" \
    shows tStatus.Caption "Disconnected. The last save did not reach the line."
peer start-output
note "a save dropped at Disconnect is told"

# 6. A line that echoes gives the save straight back: that is no report. The controller's own
# report after it, followed by a prompt in the same burst, is.
click bOpen
wait_for 20 "the third read request" received_times 3 $'R\r'
peer send "$(hex "$report_a"$'\r')"
wait_for 20 "the report shown after reconnecting" shows_values "${values_a[@]}"
click bSave
wait_for 10 "the save on the line" received_times 1 "$save_a"$'\r'
wait_for 10 "the save status" shows tStatus.Caption "Save was successful!"
mark=$(wc -l <"$trace")
peer send "$(hex "$save_a"$'\r')"
unchanged_for 1 "our own save coming back" "$mark"
peer send "$(hex "$save_a"$'\r'"$report_b"$'\r\nOK>')"
wait_for 20 "the report after the echo shown" shows_values "${values_b[@]}"
note "the echoed save ignored, the report after it and before a prompt shown"

# 7. A good report followed by its CR and a NUL from a noisy line is still the report.
peer send "$(hex "$report_a"$'\r')00"
wait_for 20 "a report with a NUL after its CR shown" shows_values "${values_a[@]}"
note "a NUL after the report's end changed nothing of it"

# 8. Exit with a save the line never took: the status line says so, and so does the program as
# it ends, with status 1.
peer stop-output
click bSave
wait_for 10 "the save status" shows tStatus.Caption "Save was successful!"
click bExit
wait_for 20 "the program to end after Exit" tuner_gone
status=0
wait "$tuner_pid" || status=$?
[ "$status" -eq 1 ] || fail "dccd-tuner ended with status $status after dropping a save"
shown_has "tStatus.Caption The last save did not reach the line." ||
    fail "the status line did not tell the dropped save"
grep -qxF "dccd-tuner: The last save did not reach the line." "$work/tuner.log" ||
    fail "stderr did not tell the dropped save: $(cat "$work/tuner.log")"
peer start-output
echo "PASS: unclean-line"
