#!/usr/bin/env bash
# 64 KiB of random bytes at line rate while connected, then a valid report: the report is shown,
# memory stays where it was, and Save still writes the exact record.
source "$(dirname "$0")/system_lib.sh"

received_at_least_bytes() { [ "$(received_bytes | wc -c)" -ge "$1" ]; }

start_x
start_peer
start_tuner "$work/flood.trace" --port 1="$device"

click bOpen
wait_for 20 "the read request" received_times 1 $'R\r'
peer send "$(hex $'P,00120,00130,00140,00050,00060,00070,00000,00000,00000\r')"
wait_for 20 "the first report shown" shows_values 120 130 140 050 060 070
wait_for 10 "the green lamp" shows Shape1.FillColor 65280
rss_before=$(vm_rss_kib "$tuner_pid")
lines_before=$(wc -l <"$work/flood.trace")

# 57600 baud, 8N1: 5760 bytes a second.
peer flood 65536 20240605 5.76
tuner_running || fail "dccd-tuner ended during the flood"

# What the flood made the window show: nothing, however the bytes fell into reads.
changed=$(tail -n +"$((lines_before + 1))" "$work/flood.trace" | cut -d' ' -f2- |
    grep -E '^(tAccel|tDecel|tTurn|tMax|tMin|tLFB)\.Text |^Shape1\.FillColor ' || true)
[ -z "$changed" ] || fail "the flood changed the shown values: $changed"

# A report after the flood. Once the window has taken the flood, all but a clean tail shorter
# than the threshold, the report is shown; while it still lags behind, the report is taken in
# one read with flood bytes that hold commas, and rightly refused as no report. How far a busy
# machine lets it lag is not known, so a report not shown is sent again, as a controller is
# asked again.
for attempt in 1 2 3 4 5; do
    peer send "$(hex $'P,00187,00021,00143,00056,00078,00009,00001,00000,00000\r')"
    poll_until 10 shows_values 187 021 143 056 078 009 && break
    [ "$attempt" -lt 5 ] || fail "no report after the flood was shown"
    note "the report after the flood was not shown within 10 s; sending it again"
done
wait_for 10 "the reversed TPS of that report" shows bTPS.Caption "TPS = Reverse"
shows Shape1.FillColor 65280 || fail "the lamp is not green after the report"
shows tStatus.Caption "Parmeters Received from Controller." ||
    fail "status after the report: $(now_shows tStatus.Caption)"
rss_after=$(vm_rss_kib "$tuner_pid")
note "resident memory: ${rss_before} KiB before the flood, ${rss_after} KiB after"
if [ "$DCCD_SANITIZED" = ON ]; then
    note "SKIPPED memory check: the sanitizers' shadow memory and quarantine make resident" \
        "memory meaningless in this build"
else
    growth=$((rss_after - rss_before))
    [ "$growth" -le 2048 ] || fail "resident memory grew by $growth KiB during the flood"
fi

# Save: exactly the record of the shown values, nothing else on the line.
: >"$work/received.bin"
click bSave
expected=$'S,00187,00021,00143,00056,00078,00009,00001,00000,00000,\r'
wait_for 20 "the save record" received_at_least_bytes 57
wait_for 10 "the save confirmed" shows tStatus.Caption "Save was successful!"
sleep 0.3 # anything sent after the record would arrive by now
[ "$(received_bytes)" = "$expected" ] ||
    fail "the peer received $(received_bytes | od -c | head -n 5) instead of the save record"
[ "$(received_bytes | wc -c)" -eq 57 ] || fail "the save record is not 57 bytes"
exit_tuner
echo "PASS: flood"
