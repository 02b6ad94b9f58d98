#!/usr/bin/env bash
# A USB adapter numbered COM23, with no port 1 to 16 registered: the port list's hint tells how
# to reach it, both programs' --list-ports list it, typing 23 and Connect shows the line peer's
# values and Save sends the exact record; dccd-ctl.exe --port 23 read reads it into a tune file
# that records port 23, and that file is read back.
source "$(dirname "$0")/wine_lib.sh"

# The system's registry of serial ports without ports 1 to 16 for this test (Wine registers the
# machine's ttyS0 as COM1), put back as it was however the test ends.
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
registered=$("$DCCD_WINE" reg query "$serialcomm" 2>/dev/null | tr -d '\r' |
    awk '$2 == "REG_SZ" && $3 ~ /^COM[0-9]+$/ && substr($3, 4) + 0 <= 16 { print $1, $3 }')
# registry_file <file> <value form>: a file for regedit that gives each listed port that form
# (- removes it, "\"COMn\"" puts it back).
registry_file() {
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n'
        while read -r name port; do
            [ -n "$name" ] || continue
            printf '"%s"=%s\r\n' "${name//\\/\\\\}" "${2//PORT/$port}"
        done <<<"$registered"
    } >"$1"
    "$DCCD_WINE" regedit /S "$(windows_path "$1")" >/dev/null 2>&1
}
on_cleanup() { registry_file "$work/restore.reg" '"PORT"'; }
registry_file "$work/hide.reg" - || fail "cannot take ports 1 to 16 out of the registry"

# Both programs list COM23 after ports 1 to 16, none of which exists now.
start_peer --link "$DCCD_WINE_COM23"
for program in "$tuner" ctl; do
    listing=$($program --list-ports) || fail "$program --list-ports ended with $?"
    [ "$(printf '%s\n' "$listing" | grep -cE '^[0-9]+ +COM[0-9]+ +no')" -eq 16 ] ||
        fail "$program: ports 1 to 16 not all listed as missing: $listing"
    printf '%s\n' "$listing" | tail -n 1 | grep -qE '^23 +COM23 +yes' ||
        fail "$program: COM23 not listed last as there: $listing"
done

# The window: the list is empty, its hint names COM23; 23 typed connects to it.
peer queue "$(report_hex 1 2 3 4 5 6 0 1 0)"
start_wine_x
start_tuner "$work/com23.trace"
wait_for 20 "port 17 proposed" shows pCPort.Text 17
shows pCPort.Hint "COM23 exists: type 23" || fail "the port list's hint is '$(now_shows pCPort.Hint)'"
click pCPort
xdotool key ctrl+a
xdotool type --delay 30 23
wait_for 10 "the typed port" shows pCPort.Text 23
click bOpen
wait_for 20 "the read request" received_has 'R\r'
peer send "$(report_hex 120 90 100 80 10 40 1 0 0)"
wait_for 20 "the peer's values" shows_values 120 090 100 080 010 040
click bSave
record='S,00120,00090,00100,00080,00010,00040,00001,00000,00000,\r'
wait_for 20 "the save reported" shows tStatus.Caption "Save was successful!"
[ "$(received_bytes)" = "$(printf '%b' "R\\r${record}")" ] ||
    fail "the line carried more than the read request and the record: $(received_bytes | od -c)"
exit_tuner
peer_hangup

# dccd-ctl.exe --port 23 read, and the tune file it writes read back.
start_peer --link "$DCCD_WINE_COM23"
tune="$work/adapter.json"
ctl --port 23 read -o "$(windows_path "$tune")" >"$work/ctl.log" 2>&1 &
ctl_pid=$!
pids+=("$ctl_pid")
wait_for 60 "dccd-ctl's read request" received_has 'R\r'
peer send "$(report_hex 100 100 100 100 0 33 0 0 0)"
wait "$ctl_pid" || fail "dccd-ctl.exe --port 23 read ended with $?: $(cat "$work/ctl.log")"
grep -q '"port": 23,' "$tune" || fail "the tune file does not record port 23: $(cat "$tune")"
status=0
ctl diff "$(windows_path "$tune")" defaults >"$work/diff.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the tune file of port 23 is not read back: $status $(cat "$work/diff.log")"
echo "PASS: com23"
