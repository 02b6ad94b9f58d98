#!/usr/bin/env bash
# The picture of the Windows window for docs/windows.md: dccd-tuner.exe in a Wine desktop (which
# draws the window's frame) on a private X server, connected on COM5 to the line peer, cut out
# of the desktop, at the display resolution given (96 dots per inch by default, 144 is 150 %).
# Usage (scripts/windows picture runs it): window_picture.sh <output.png> [dots per inch]
source "$(dirname "$0")/wine_lib.sh"
output=$1
dpi=${2:-96}
set_log_pixels "$dpi"
on_cleanup() { set_log_pixels 96; }
ui_scale=$(awk -v d="$dpi" 'BEGIN { print d / 96 }')

start_wine_x
start_com5_peer
trace="$work/picture.trace"
: >"$trace"
DCCD_TUNER_TRACE=$(windows_path "$trace") "$DCCD_WINE" explorer /desktop=dccd,$((520 * dpi / 96))x$((600 * dpi / 96)) \
    "$DCCD_TUNER_EXE" --port 5 >"$work/tuner.log" 2>&1 &
pids+=($!)
desktop_found() {
    desktop=$(xdotool search --onlyvisible --name '^dccd - Wine desktop$' 2>/dev/null | head -n 1)
    [ -n "$desktop" ]
}
wait_for 30 "the Wine desktop" desktop_found
wait_for 30 "the window" shows pCPort.Text 5

# Where the window's client area is: the red lamp's centre is the lamp's designed centre.
red_box() {
    import -window "$desktop" png:- 2>/dev/null |
        convert png:- -fill black +opaque "rgb(255,0,0)" -format '%@' info:
}
box_found() { box=$(red_box) && [[ "$box" =~ ^([1-9][0-9]*)x([1-9][0-9]*)\+([0-9]+)\+([0-9]+)$ ]]; }
wait_for 20 "the red lamp drawn" box_found
read -r lamp_x lamp_y <<<"$(centre Shape1)"
origin_x=$((BASH_REMATCH[3] + BASH_REMATCH[1] / 2 - lamp_x))
origin_y=$((BASH_REMATCH[4] + BASH_REMATCH[2] / 2 - lamp_y))
import -window "$desktop" "$artifacts/desktop.png"
note "lamp box $box, client area at $origin_x,$origin_y"
read -r x y <<<"$(centre bOpen)"
xdotool mousemove --window "$desktop" $((origin_x + x)) $((origin_y + y)) click 1
wait_for 20 "the read request" received_has 'R\r'
peer send "$(report_hex 100 100 100 100 0 33 0 0 0)"
wait_for 20 "the report shown" shows tStatus.Caption "Parmeters Received from Controller."
green_found() {
    import -window "$desktop" png:- 2>/dev/null |
        convert png:- -fill black +opaque "rgb(0,255,0)" -format '%@' info: | grep -q '^[1-9]'
}
wait_for 20 "the green lamp drawn" green_found
# The desktop's background around the window is cut away.
import -window "$desktop" png:- | convert png:- -trim +repage "$output"
read -r x y <<<"$(centre bExit)"
xdotool mousemove --window "$desktop" $((origin_x + x)) $((origin_y + y)) click 1
echo "Wrote $output ($(identify -format '%wx%h' "$output"))"
