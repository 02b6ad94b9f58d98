#!/usr/bin/env bash
# dccd-tuner.exe on COM5 by real clicks in a private X server, at 100, 125, 150, 175 and 200 %
# (the display's resolution in Windows' registry): Connect discards what waited in the line,
# the peer's answer is shown with the green lamp, Save sends the exact record, Exit. At each
# scale the window is the designed size times the scale with every control in its place and
# the lamp round, against the picture at 100 %. Last, with no port 1 to 16 registered, the port
# list's hint names COM23, 23 typed connects to it, and dccd-ctl.exe --port 23 read reads it into
# a tune file of port 23 that it reads back. First, dccd-tunes.exe tells its version, and started
# with --port 5 shows its window; both window programs started without a console show what they
# refuse in a message box.
source "$(dirname "$0")/wine_lib.sh"

start_wine_x
# dccd-ctl's text in a console that Wine draws on this display shows as written.
"$DCCD_WINE" "$DCCD_CTL_UNIT_TESTS" --gtest_filter='StandardStream.*' >"$work/console.log" 2>&1 &&
    grep -q '^\[  PASSED  \] 1 test' "$work/console.log" && ! grep -q SKIPPED "$work/console.log" ||
    fail "the console test: $(cat "$work/console.log")"
# Wine's server keeps the screen's size from its first program, started before any X server
# (1024x768): started again, it takes this X server's, where the window at 200 % fits.
restart_wineserver
on_cleanup() { # the tests after this one run at 100 %, with every port registered
    set_log_pixels 96
    show_listed_ports
}
read -r width height <<<"$(client_size)"

version=$(sed -n 's/^project(dccd-tuner VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
# Wine's services, started by the first program after the restart, keep that program's output
# open: never the test's own.
tunes_version=$("$DCCD_WINE" "$DCCD_TUNES_EXE" --version 2>"$work/tunes-version.log" | tr -d '\r')
[ "$tunes_version" = "dccd-tunes $version" ] || fail "dccd-tunes.exe --version: $tunes_version"
"$DCCD_WINE" "$DCCD_TUNES_EXE" --port 5 >"$work/tunes.log" 2>&1 &
tunes_pid=$!
pids+=("$tunes_pid")
tunes_shown() { xdotool search --onlyvisible --pid "$tunes_pid" --name '^DCCD Tunes$' >/dev/null; }
wait_for 30 "the DCCD Tunes window" tunes_shown
kill "$tunes_pid"
wait "$tunes_pid" 2>/dev/null || true

# Started as a shortcut starts them, with no console to print to, both window programs show their
# refusal in a message box titled with their name, and end with 2 once it is closed.
box() { xdotool search --onlyvisible --name "^$name\$" | head -n 1; }
box_shown() { [ -n "$(box)" ]; }
for refused in "dccd-tuner $DCCD_TUNER_EXE --port=COM0" "dccd-tunes $DCCD_TUNES_EXE --bogus"; do
    read -r name exe option <<<"$refused"
    "$DCCD_WINE" "$DCCD_WITH_ENV" --detached -- "$(windows_path "$exe")" "$option" &
    pids+=($!)
    wait_for 30 "$name's message box" box_shown
    import -window "$(box)" "$artifacts/refused-$name.png"
    xdotool mousemove --window "$(box)" 10 10 click 1 key Return
    status=0 && wait "${pids[-1]}" || status=$?
    [ "$status" = 2 ] || fail "$name $option, started without a console, ended with $status"
done

# connect_and_save <log pixels> [com23]: the clicks at that resolution, the picture in
# $work/<dpi>.rgb; with com23, on COM23 typed into the port list.
connect_and_save() {
    local dpi=$1 name=${2:-$1} w h
    set_log_pixels "$dpi"
    ui_scale=$(awk -v d="$dpi" 'BEGIN { print d / 96 }')
    if [ "$name" = com23 ]; then start_peer --link "$DCCD_WINE_COM23"; else start_com5_peer; fi
    peer queue "$(report_hex 1 2 3 4 5 6 0 1 0)"
    if [ "$name" = com23 ]; then
        start_tuner "$work/window$name.trace"
        wait_for 20 "port 17 proposed" shows pCPort.Text 17
        shows pCPort.Hint "COM23 exists: type 23" || fail "the list's hint: $(now_shows pCPort.Hint)"
        click pCPort
        xdotool key ctrl+a type --delay 30 23
        wait_for 10 "the typed port" shows pCPort.Text 23
    else
        start_tuner "$work/window$name.trace" --port 5
        wait_for 20 "port 5 preselected" shows pCPort.Text 5
    fi

    click bOpen
    wait_for 20 "the read request" received_has 'R\r'
    peer send "$(report_hex 120 90 100 80 10 40 1 0 0)"
    wait_for 20 "the green lamp of a shown report" lamp_is "$green"
    wait_for 10 "the peer's values" shows_values 120 090 100 080 010 040
    shown_has "tAccel.Text 1" && fail "the stale report was shown at $dpi dpi"
    import -window "$window" "$artifacts/connected-$name.png"
    convert "$artifacts/connected-$name.png" -depth 8 "rgb:$work/$name.rgb"
    read -r w h <<<"$(identify -format '%w %h' "$artifacts/connected-$name.png")"

    click bSave
    record='S,00120,00090,00100,00080,00010,00040,00001,00000,00000,\r'
    wait_for 20 "the save record" received_has "$record"
    wait_for 10 "the save reported" shows tStatus.Caption "Save was successful!"
    [ "$(received_bytes)" = "$(printf '%b' "R\\r${record}")" ] ||
        fail "the line carried more than the read request and the record: $(received_bytes | od -c)"
    exit_tuner
    if [ "$name" = com23 ]; then
        ctl "${answer_wait[@]}" --port 23 read -o "$(windows_path "$work/23.json")" >"$work/ctl.log" 2>&1 &
        pids+=($!)
        wait_for 60 "dccd-ctl's read request" received_has "R\\r${record}R\\r"
        peer send "$(report_hex 120 90 100 80 10 40 1 0 0)"
        wait "${pids[-1]}" || fail "dccd-ctl.exe --port 23 read: $(cat "$work/ctl.log")"
        grep -q '"port": 23,' "$work/23.json" || fail "not of port 23: $(cat "$work/23.json")"
        ctl diff "$(windows_path "$work/23.json")" "$(windows_path "$work/23.json")" ||
            fail "the tune file of port 23 is not read back"
        return 0
    fi
    peer_hangup
    "$python" "$source_dir/tests/system/compare_scaled.py" "$layout" "$work/96.rgb" \
        "$width" "$height" "$ui_scale" "$work/$dpi.rgb" "$w" "$h" ||
        fail "the window at $dpi dpi differs from the designed one"
}

for dpi in 96 120 144 168 192; do
    connect_and_save "$dpi"
done
hide_listed_ports
connect_and_save 96 com23
echo "PASS: window"
