#!/usr/bin/env bash
# 200 Connect / Disconnect cycles by mouse: no file descriptor leaks, and every Connect sends
# exactly one read request.
source "$(dirname "$0")/system_lib.sh"

cycles=200
start_x
start_peer
start_tuner "$work/cycles.trace" --port 1="$device"
fds_before=$(fd_count "$tuner_pid")
fd_list "$tuner_pid" >"$work/fds-before.log"

connected() { [ "$(shown_count "bOpen.Caption Disconnect")" -ge "$1" ]; }
disconnected() { [ "$(shown_count "tStatus.Caption Disconnected.")" -ge "$1" ]; }
for ((i = 1; i <= cycles; i++)); do
    click bOpen
    wait_for 20 "Connect number $i" connected "$i"
    click bOpen
    wait_for 20 "Disconnect number $i" disconnected "$i"
    if [ "$i" -eq 1 ]; then
        fds_first=$(fd_count "$tuner_pid")
    fi
done
tuner_running || fail "dccd-tuner ended during the cycles"
shows bOpen.Caption Connect || fail "bOpen shows $(now_shows bOpen.Caption) after the cycles"
shows Shape1.FillColor 255 || fail "the lamp is not red after the cycles"

# Every read request has left the program once the last port was closed (closing drains).
# The peer reads the line on its own time: the last request may reach it after the window has
# shown the last Disconnect.
poll_until 120 received_times "$cycles" $'R\r' || true
requests=$(received_count $'R\r')
fds_after=$(fd_count "$tuner_pid")
fd_list "$tuner_pid" >"$work/fds-after.log"
note "cycles: $cycles; read requests: $requests; descriptors: $fds_before before," \
    "$fds_first after the first cycle, $fds_after after the last"
[ "$(shown_count "bOpen.Caption Disconnect")" -eq "$cycles" ] ||
    fail "$(shown_count "bOpen.Caption Disconnect") connections for $cycles clicks"
[ "$requests" -eq "$cycles" ] || fail "$requests read requests for $cycles connections"
[ "$(received_bytes | wc -c)" -eq $((2 * cycles)) ] ||
    fail "the peer received $(received_bytes | wc -c) bytes, not $((2 * cycles))"
if [ "$fds_after" -gt "$fds_before" ]; then
    diff "$work/fds-before.log" "$work/fds-after.log" || true
    fail "$((fds_after - fds_before)) file descriptors more after $cycles cycles"
fi
exit_tuner
echo "PASS: connect-cycles"
