#!/usr/bin/env bash
# What the bash completion of dccd-ctl offers, for lines split as bash splits them (port:13 comes
# as port, : and 13), with bash alone and with the bash-completion package's helpers.
# Arguments: the completion file, the built dccd-ctl.
set -euo pipefail
heading='Port  Device                  Exists  About'
points='name              taken                    port  differs from the defaults'

if [[ ${1-} == --cases ]]; then
    # In a clean shell: each case is LINE|REPLIES, the cursor at the end of LINE.
    set +eu +o pipefail
    # shellcheck source=/dev/null
    [[ -n $3 ]] && source "$3"
    # shellcheck source=/dev/null
    source "$2"
    failed=0
    while IFS='|' read -r line want; do
        COMP_WORDS=()
        rest=$line
        while [[ $rest =~ ^[[:space:]]*([:=]+|[^[:space:]:=]+) ]]; do
            COMP_WORDS+=("${BASH_REMATCH[1]}")
            rest=${rest:${#BASH_REMATCH[0]}}
        done
        [[ $line == *' ' ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
        COMPREPLY=()
        _dccd_ctl dccd-ctl "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
        got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')
        [[ $got == "$want" ]] || { echo "FAIL: '$line' offers '$got', not '$want'"; failed=1; }
    done
    exit $failed
fi

completion=$(realpath "$1") ctl=$(realpath "$2") self=$(realpath "$0")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The real listing still starts with the heading the stand-in prints, and rows of number, device,
# yes or no.
listing=$("$ctl" --list-ports)
[[ ${listing%%$'\n'*} == "$heading" ]] || { echo "FAIL: --list-ports heading changed"; exit 1; }
if grep -v -E '^[0-9]+ +[^ ]+ +(yes|no)( |$)' <<<"${listing#*$'\n'}"; then
    echo "FAIL: these --list-ports rows have another shape"
    exit 1
fi

# dccd-ctl on PATH has ports 3 and 13, and each --port N=DEVICE; ../other/dccd-ctl has port 7.
mkdir -p "$tmp/bin" "$tmp/other" "$tmp/home/state/dccd-tuner/restore-points" "$tmp/work/tunes"
# Both name the commands as the real program names them.
commands=$("$ctl" --list-commands | paste -sd ' ')
[[ $commands == *' restore-points'* ]] || { echo "FAIL: --list-commands: $commands"; exit 1; }
# Both list the restore points 000007-20240501T102000Z-port1 and 2024-05-01T10:20 as the program lists them.
stub() {
    cat <<STUB
#!/bin/bash
if [[ \$1 == --list-commands ]]; then
    printf '%s\\n' $commands
    exit
fi
if [[ \$1 == restore-points ]]; then
    printf '%s\\n' '$points' '2024-05-01T10:20  2024-05-01 10:20:00 UTC  1     (none)' \\
        '                  note: a note' '000007-20240501T102000Z-port1  yesterday                1     (none)' \\
        'skipped notes.json: the file is empty'
    exit
fi
yes=" $1 "
for a; do [[ \$a == *=* ]] && yes+="\${a%%=*} "; done
echo '$heading'
for n in {1..16}; do
    e=no && [[ \$yes == *" \$n "* ]] && e=yes
    printf '%-6s%-24s%s\\n' \$n /dev/ttyX\$n \$e
done
STUB
}
stub "3 13" >"$tmp/bin/dccd-ctl"
stub 7 >"$tmp/other/dccd-ctl"
chmod +x "$tmp/bin/dccd-ctl" "$tmp/other/dccd-ctl"
# The real listing of a restore point starts with the heading the stand-in prints (its columns
# as wide as their texts), and the row with the name.
"$ctl" defaults >"$tmp/home/state/dccd-tuner/restore-points/000007-20240501T102000Z-port1.json"
listing=$(XDG_STATE_HOME="$tmp/home/state" "$ctl" restore-points)
[[ $(tr -s ' ' <<<"${listing%%$'\n'*}") == "$(tr -s ' ' <<<"$points")" &&
    $listing == *$'\n'"000007-20240501T102000Z-port1 "* ]] ||
    { echo "FAIL: the restore-point listing changed: $listing"; exit 1; }
touch "$tmp/work/"{stock.json,track.json,notes.txt} "$tmp/work/tunes/a.json"

cases='dccd-ctl |backup check defaults diff read restore-points write
dccd-ctl re|read restore-points
dccd-ctl -|--help --list-ports --port --timeout --version -h
dccd-ctl --port |13 3
dccd-ctl --port=|13 3
dccd-ctl --port 5=/dev/null --port |13 3 5
dccd-ctl --port 5=/dev/nu|/dev/null
../other/dccd-ctl --port |7
dccd-ctl --timeout |
dccd-ctl read -|--output --port --timeout -o
dccd-ctl backup -|--port --timeout
dccd-ctl check -|--port --timeout
dccd-ctl read -o |notes.txt stock.json track.json tunes
dccd-ctl defaults --output x -|
dccd-ctl restore-points -|
dccd-ctl write |stock.json track.json tunes
dccd-ctl write tunes/|tunes/a.json
dccd-ctl write stock.json |
dccd-ctl write stock.json -|--calibrate --no-restore-point --no-verify --only --port --timeout
dccd-ctl write --restore-point |000007-20240501T102000Z-port1 2024-05-01T10:20 latest
dccd-ctl write --restore-point 2024-05-01T10:|20
dccd-ctl write --restore-point latest |
dccd-ctl write --only |acceleration deceleration ebrake_cut_off lfb_threshold max_output min_output tps_reverse turning
dccd-ctl write --only turning,m|turning,max_output turning,min_output
dccd-ctl write --only=turning,max_output,t|turning,max_output,tps_reverse
dccd-ctl diff |defaults port port:13 port:3 stock.json track.json tunes
dccd-ctl diff -|--json --port --timeout
dccd-ctl diff stock.json port|port port:13 port:3
dccd-ctl diff stock.json port:|13 3
dccd-ctl diff stock.json port:1|13
dccd-ctl --port 2=/dev/ttyUSB1 diff port:|13 2 3
dccd-ctl diff port:3 s|stock.json
dccd-ctl diff port:3 defaults |'

cd "$tmp/work"
for helpers in "" /usr/share/bash-completion/bash_completion; do
    if [[ -n $helpers && ! -f $helpers ]]; then
        echo "SKIP: the cases with the bash-completion helpers: $helpers is not installed"
        continue
    fi
    env -u BASH_ENV LC_ALL=C HOME="$tmp/home" XDG_STATE_HOME="$tmp/home/state" PATH="$tmp/bin:$PATH" \
        bash --norc --noprofile "$self" --cases "$completion" "$helpers" <<<"$cases" || exit 1
    echo "$(wc -l <<<"$cases") cases pass with ${helpers:-bash alone}"
done
