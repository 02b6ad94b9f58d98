#!/usr/bin/env bash
# The window at QT_SCALE_FACTOR 1.25 to 2: the designed size times the scale, every control at
# its designed place times the scale, drawn as at scale 1, the lamp round.
source "$(dirname "$0")/system_lib.sh"

start_x
start_peer
read -r width height <<<"$(client_size)"

for scale in 1 1.25 1.5 1.75 2; do
    ui_scale=$scale
    QT_SCALE_FACTOR=$scale start_tuner "$work/scale$scale.trace" --port 1="$device"
    read -r w h < <(xdotool getwindowgeometry "$window" | awk '/Geometry/ {split($2, s, "x"); print s[1], s[2]}')
    import -window "$window" "$artifacts/scale$scale.png"
    convert "$artifacts/scale$scale.png" -depth 8 "rgb:$work/scale$scale.rgb"
    exit_tuner
    "$python" "$source_dir/tests/system/compare_scaled.py" "$layout" "$work/scale1.rgb" \
        "$width" "$height" "$scale" "$work/scale$scale.rgb" "$w" "$h" ||
        fail "the window at scale $scale differs"
done
echo "PASS: scaled"
