#!/usr/bin/env bash
# A report cut at every point into two pieces with a quiet gap between them, longer than the
# port's settle interval: every report is shown, and nothing but complete reports ever is.
source "$(dirname "$0")/system_lib.sh"

# Two reports of 55 characters and a CR, alternating, so that every report sent changes what
# the window shows. Their last field (the calibration flag) is a run of zeros that starts before
# the 49th character, the receive threshold: a first piece that reaches the threshold is
# delivered on its own, and every such piece is itself a report with the same shown values as
# the whole one (the flag reads 0 however many zeros arrived). A first piece below the
# threshold waits for the second. Either way each report must be shown, exactly as sent.
zeros=000000000000000000000000000000
report_a="P,123,45,67,89,12,34,1,0,$zeros"
report_b="P,187,21,143,56,78,9,0,1,$zeros"
values_a=(123 045 067 089 012 034)
values_b=(187 021 143 056 078 009)
[ ${#report_a} -eq 55 ] && [ ${#report_b} -eq 55 ] || fail "the test's reports are not 55 long"
gap_ms=60

start_x
start_peer
start_tuner "$work/cut.trace" --port 1="$device"
click bOpen
wait_for 20 "the read request" test "$(received_count $'R\r')" -ge 1
peer send "$(hex "$report_b"$'\r')"
wait_for 20 "the first report shown" shows_values "${values_b[@]}"
sent_a=0 sent_b=1

length=$((${#report_a} + 1))
for ((k = 1; k < length; k++)); do
    if ((k % 2)); then
        peer cut "$(hex "$report_a"$'\r')" "$k" "$gap_ms"
        sent_a=$((sent_a + 1))
        wait_for 20 "report A cut after $k bytes shown" shows_values "${values_a[@]}"
        wait_for 10 "the TPS caption of report A" shows bTPS.Caption "TPS = Reverse"
        wait_for 10 "the Ebrake caption of report A" shows bEbrk.Caption "Ebrake Cut = On"
    else
        peer cut "$(hex "$report_b"$'\r')" "$k" "$gap_ms"
        sent_b=$((sent_b + 1))
        wait_for 20 "report B cut after $k bytes shown" shows_values "${values_b[@]}"
        wait_for 10 "the TPS caption of report B" shows bTPS.Caption "TPS = Normal"
        wait_for 10 "the Ebrake caption of report B" shows bEbrk.Caption "Ebrake Cut = Off"
    fi
    wait_for 10 "the status after the report cut after $k bytes" \
        shows tStatus.Caption "Parmeters Received from Controller."
    tuner_running || fail "dccd-tuner ended after the report cut after $k bytes"
done
note "reports sent: $sent_a of A and $sent_b of B, cut after 1 to $((length - 1)) bytes"

# Nothing but the values of whole reports was ever shown, and each report exactly once.
for i in "${!value_boxes[@]}"; do
    box=${value_boxes[i]}
    others=$(shown | grep "^$box\.Text " | grep -vxF -e "$box.Text ${values_a[i]}" \
        -e "$box.Text ${values_b[i]}" || true)
    [ -z "$others" ] || fail "$box showed what no report held: $others"
    [ "$(shown_count "$box.Text ${values_a[i]}")" -eq "$sent_a" ] ||
        fail "$box showed report A's value $(shown_count "$box.Text ${values_a[i]}") times, sent $sent_a"
    [ "$(shown_count "$box.Text ${values_b[i]}")" -eq "$sent_b" ] ||
        fail "$box showed report B's value $(shown_count "$box.Text ${values_b[i]}") times, sent $sent_b"
done
exit_tuner
echo "PASS: cut-reports"
