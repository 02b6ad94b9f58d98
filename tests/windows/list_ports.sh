#!/usr/bin/env bash
# --list-ports of both Windows programs: COM5, which the system registers, exists; the numbers
# are the COM numbers; COM23, registered too, follows port 16; the bare --port N is taken by both.
source "$(dirname "$0")/wine_lib.sh"

start_com5_peer
check_listing() {
    local who=$1 listing=$2
    [ "$(printf '%s\n' "$listing" | head -n 1 | tr -s ' ')" = "Port Device Exists About" ] ||
        fail "$who: no heading in: $listing"
    [ "$(printf '%s\n' "$listing" | grep -cE '^([1-9]|1[0-6]) ')" -eq 16 ] || fail "$who: not 16 ports: $listing"
    printf '%s\n' "$listing" | grep -qE '^5 +COM5 +yes' || fail "$who: COM5 not listed as there: $listing"
    printf '%s\n' "$listing" | grep -qE '^12 +COM12 +(yes|no)' || fail "$who: port 12 is not COM12: $listing"
    printf '%s\n' "$listing" | tail -n 1 | grep -qE '^23 +COM23 +yes' || fail "$who: COM23 not last: $listing"
}
listing=$("$tuner" --list-ports) || fail "dccd-tuner.exe --list-ports ended with $?"
check_listing dccd-tuner.exe "$listing"
listing=$(ctl --list-ports) || fail "dccd-ctl.exe --list-ports ended with $?"
check_listing dccd-ctl.exe "$listing"
# The same with a bare number given, and a mapping that names no registered port.
listing=$("$tuner" --port 5 --port 3=COM77 --list-ports) || fail "dccd-tuner.exe --port 5 refused"
check_listing dccd-tuner.exe "$listing"
printf '%s\n' "$listing" | grep -qE '^3 +COM77 +no' || fail "--port 3=COM77 not listed: $listing"
listing=$(ctl --port 5 --list-ports) || fail "dccd-ctl.exe --port 5 refused"
check_listing dccd-ctl.exe "$listing"
echo "PASS: list-ports"
