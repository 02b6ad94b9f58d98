#!/usr/bin/env bash
# The window at QT_SCALE_FACTOR=2: twice the designed size, every control at twice its designed
# place, drawn as at scale 1.
source "$(dirname "$0")/system_lib.sh"

start_x
start_peer
read -r width height <<<"$(client_size)"

for scale in 1 2; do
    ui_scale=$scale
    QT_SCALE_FACTOR=$scale start_tuner "$work/scale$scale.trace" --port 1="$device"
    read -r w h < <(xdotool getwindowgeometry "$window" | awk '/Geometry/ {split($2, s, "x"); print s[1], s[2]}')
    [ "$w" -eq $((scale * width)) ] && [ "$h" -eq $((scale * height)) ] ||
        fail "the window is ${w}x${h} at scale $scale, not $((scale * width))x$((scale * height))"
    import -window "$window" "$artifacts/scale$scale.png"
    convert "$artifacts/scale$scale.png" -depth 8 "rgb:$work/scale$scale.rgb"
    exit_tuner
done
"$python" "$source_dir/tests/system/compare_scaled.py" "$layout" \
    "$work/scale1.rgb" "$width" "$height" "$work/scale2.rgb" || fail "the scaled window differs"
echo "PASS: scaled"
