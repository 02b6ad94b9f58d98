#!/usr/bin/env bash
# dccd-ctl.exe write on COM5: the file's exact 57-byte save record goes out, the read-back is
# compared; with --no-verify the record reaches the line before the program ends.
source "$(dirname "$0")/wine_lib.sh"

start_com5_peer
tune="$work/track.json"
cat >"$tune" <<'JSON'
{
  "format": "dccd-tune",
  "version": 1,
  "acceleration": 150,
  "deceleration": 80,
  "turning": 110,
  "max_output": 90,
  "min_output": 5,
  "lfb_threshold": 25,
  "tps_reverse": false,
  "ebrake_cut_off": true
}
JSON
record='S,00150,00080,00110,00090,00005,00025,00000,00001,00000,\r'
[ "$(printf '%b' "$record" | wc -c)" -eq 57 ] || fail "the expected record is not 57 bytes"

ctl --port 5 write "$(windows_path "$tune")" >"$work/ctl.log" 2>&1 &
ctl_pid=$!
pids+=("$ctl_pid")
wait_for 60 "the save record and the read request" received_has "${record}R\\r"
peer send "$(report_hex 150 80 110 90 5 25 0 1 0)"
wait "$ctl_pid" || fail "dccd-ctl.exe write ended with $?: $(cat "$work/ctl.log")"
[ "$(received_bytes)" = "$(printf '%b' "${record}R\\r")" ] ||
    fail "the line carried more than the record and the read request: $(received_bytes | od -c)"
grep -qxF "dccd-ctl: saved and verified on port 5 (COM5)" "$work/ctl.log" ||
    fail "no verify notice: $(cat "$work/ctl.log")"

# Sent and closed at once: the close lets the record reach the line.
ctl --port 5 write --no-verify "$(windows_path "$tune")" >>"$work/ctl.log" 2>&1 ||
    fail "dccd-ctl.exe write --no-verify ended with $?: $(cat "$work/ctl.log")"
wait_for 10 "the second record" test "$(received_count "$(printf '%b' "$record")")" -eq 2
grep -qxF "dccd-ctl: sent to port 5 (COM5); not verified" "$work/ctl.log" ||
    fail "no send notice: $(cat "$work/ctl.log")"
echo "PASS: ctl-write"
