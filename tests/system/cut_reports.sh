#!/usr/bin/env bash
# A report in the controller's own form, cut at every point into two pieces with a quiet gap
# between them that is longer than the port's settle interval: no crash, and nothing but
# complete reports is ever shown.
source "$(dirname "$0")/system_lib.sh"

# Two reports of 55 characters and a CR, alternating, so that every report shown changes what
# the window shows. Field 8 ends at character 49, the receive threshold, and its comma is the 50th.
report_a="P,00123,00045,00067,00089,00012,00034,00001,00000,00000"
report_b="P,00187,00021,00143,00056,00078,00009,00000,00001,00000"
values_a=(123 045 067 089 012 034)
values_b=(187 021 143 056 078 009)
[ ${#report_a} -eq 55 ] && [ ${#report_b} -eq 55 ] || fail "the test's reports are not 55 long"
gap_ms=150

# What the window must make of the report cut after k characters:
# - below the threshold the first piece waits for the second, and the whole report is shown;
# - after 49 or 50 characters the first piece is taken alone and is not a full report (nine
#   fields). Its rest (",00000\r" or "00000\r") waits below the threshold and is taken with
#   the next report, where it is a record of its own. On a machine so busy that the window
#   sees the quiet interval end only after the rest has come, the two are taken together as
#   the whole report: either is right, a part of the report shown never is;
# - from 51 on the first piece holds a full report whose field 9 is a run of zeros, which reads
#   as the whole report does.
expect_shown() { [ "$1" -ne 49 ] && [ "$1" -ne 50 ]; }

start_x
start_peer
start_tuner "$work/cut.trace" --port 1="$device"
click bOpen
wait_for 20 "the read request" received_times 1 $'R\r'
peer send "$(hex "$report_b"$'\r')"
wait_for 20 "the first report shown" shows_values "${values_b[@]}"
shown_a=0 shown_b=1

length=$((${#report_a} + 1))
for ((k = 1; k < length; k++)); do
    if ((k % 2)); then
        report=$report_a values=("${values_a[@]}") tps="TPS = Reverse" ebrake="Ebrake Cut = On"
    else
        report=$report_b values=("${values_b[@]}") tps="TPS = Normal" ebrake="Ebrake Cut = Off"
    fi
    peer cut "$(hex "$report"$'\r')" "$k" "$gap_ms"
    # Cut after 49 or 50: nothing new, or the whole report when the window was late. Which one
    # depends on the machine, so it is not waited for: the next report is shown either way, and
    # the end checks that every report shown was shown whole.
    if expect_shown "$k"; then
        wait_for 20 "the report cut after $k characters shown" shows_values "${values[@]}"
        wait_for 10 "its TPS caption" shows bTPS.Caption "$tps"
        wait_for 10 "its Ebrake caption" shows bEbrk.Caption "$ebrake"
        wait_for 10 "the status after the report cut after $k characters" \
            shows tStatus.Caption "Parmeters Received from Controller."
        if ((k % 2)); then shown_a=$((shown_a + 1)); else shown_b=$((shown_b + 1)); fi
    fi
    tuner_running || fail "dccd-tuner ended after the report cut after $k characters"
done

# Nothing but the values of whole reports was ever shown, and each shown report exactly once,
# all six boxes with it. Late takes of the cuts after 49 and 50 characters show one A and one B
# more when both were late; a late A alone is followed by A again and a late B alone follows B,
# which shows nothing new.
late=$(($(shown_count "${value_boxes[0]}.Text ${values_a[0]}") - shown_a))
[ "$late" -eq 0 ] || [ "$late" -eq 1 ] || fail "report A was shown $late times more than sent whole"
shown_a=$((shown_a + late)) shown_b=$((shown_b + late))
note "cut after 1 to $((length - 1)) characters: $shown_a of A and $((shown_b - 1)) of B shown"
for i in "${!value_boxes[@]}"; do
    box=${value_boxes[i]}
    others=$(shown | grep "^$box\.Text " | grep -vxF -e "$box.Text ${values_a[i]}" \
        -e "$box.Text ${values_b[i]}" || true)
    [ -z "$others" ] || fail "$box showed what no report held: $others"
    [ "$(shown_count "$box.Text ${values_a[i]}")" -eq "$shown_a" ] ||
        fail "$box showed report A's value $(shown_count "$box.Text ${values_a[i]}") times, expected $shown_a"
    [ "$(shown_count "$box.Text ${values_b[i]}")" -eq "$shown_b" ] ||
        fail "$box showed report B's value $(shown_count "$box.Text ${values_b[i]}") times, expected $shown_b"
done
exit_tuner
echo "PASS: cut-reports"
