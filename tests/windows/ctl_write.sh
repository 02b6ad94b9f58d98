#!/usr/bin/env bash
# dccd-ctl.exe write on COM5: the file's exact 57-byte save record goes out, the read-back is
# compared; with --no-verify the record reaches the line before the program ends.
source "$(dirname "$0")/wine_lib.sh"

start_com5_peer
# Restore points of earlier runs in this prefix are not this run's.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/dccd-tuner
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

# First the read that keeps what the controller held as a restore point, then the save and the
# read-back.
ctl "${answer_wait[@]}" --port 5 write "$(windows_path "$tune")" >"$work/ctl.log" 2>&1 &
ctl_pid=$!
pids+=("$ctl_pid")
wait_for 60 "the read for the restore point" received_has 'R\r'
peer send "$(report_hex 120 90 100 80 10 40 1 0 0)"
wait_for 60 "the save record and the read request" received_has "R\\r${record}R\\r"
peer send "$(report_hex 150 80 110 90 5 25 0 1 0)"
wait "$ctl_pid" || fail "dccd-ctl.exe write ended with $?: $(cat "$work/ctl.log")"
[ "$(received_bytes)" = "$(printf '%b' "R\\r${record}R\\r")" ] ||
    fail "the line carried more than two read requests and the record: $(received_bytes | od -c)"
grep -qxF "dccd-ctl: saved and verified on port 5 (COM5)" "$work/ctl.log" ||
    fail "no verify notice: $(cat "$work/ctl.log")"

# The restore point is kept in Windows' folder for it (%LOCALAPPDATA%) and listed.
ctl restore-points >"$work/points.log" 2>&1 || fail "restore-points failed: $(cat "$work/points.log")"
grep -qE -- '-port5 .* 5 +acceleration 120, deceleration 90, .*tps_reverse true$' "$work/points.log" ||
    fail "the restore point is not listed: $(cat "$work/points.log")"

# Written back without verifying: after its own restore point is read, the old record reaches the
# line before the program ends.
old='S,00120,00090,00100,00080,00010,00040,00001,00000,00000,\r'
ctl "${answer_wait[@]}" --port 5 write --restore-point latest --no-verify >>"$work/ctl.log" 2>&1 &
ctl_pid=$!
pids+=("$ctl_pid")
read_requests_are() { [ "$(received_count "$(printf 'R\r')")" -eq "$1" ]; }
wait_for 60 "the third read request" read_requests_are 3
peer send "$(report_hex 150 80 110 90 5 25 0 1 0)"
wait "$ctl_pid" || fail "dccd-ctl.exe write --no-verify ended with $?: $(cat "$work/ctl.log")"
wait_for 10 "the restored record" received_has "$old"
grep -qxF "dccd-ctl: sent to port 5 (COM5); not verified" "$work/ctl.log" ||
    fail "no send notice: $(cat "$work/ctl.log")"
echo "PASS: ctl-write"
