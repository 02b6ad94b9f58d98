#!/usr/bin/env python3
"""Compares the window drawn at scale 1 with the window drawn at another scale.

Usage: compare_scaled.py <layout> <scale-1 RGB> <width> <height> <scale> <scaled RGB> <scaled width> <scaled height>
The layout is what dccd-tuner --dump-layout prints. The images are raw 8-bit RGB of the client area. The scaled window must be
the designed size times the scale (to the pixel either side of it). For every control of the designed layout, the mean colour
of its box (inset by 2 designed pixels) must be the same in both renderings within a tolerance: a control drawn elsewhere than
at its designed place times the scale, or at another size, leaves another colour in that box; what is drawn dark in it (its
text and frame) must have the same extent times the scale. The lamp must be as wide as it is high in both.
"""
import sys

# Per channel, out of 255: anti-aliased text differs a little between sizes, and at a scale
# between whole numbers a hinted stroke is a whole pixel wider, so text is darker (up to 11 at
# 125 % under Wine); a control out of its place shows the window's face or another control.
TOLERANCE = 16


def mean(image, width, x0, y0, x1, y1):
    total = [0, 0, 0]
    count = 0
    for y in range(y0, y1):
        row = y * width * 3
        for x in range(x0, x1):
            at = row + x * 3
            total[0] += image[at]
            total[1] += image[at + 1]
            total[2] += image[at + 2]
            count += 1
    return [t / count for t in total]


def lamp_size(image, width, box, scale):
    """Width and height of the lamp's strongly coloured fill inside its scaled box."""
    left, top, w, h = (round(v * scale) for v in box)
    xs, ys = [], []
    for y in range(top, top + h):
        for x in range(left, left + w):
            r, g, b = image[(y * width + x) * 3:(y * width + x) * 3 + 3]
            if max(r, g, b) > 200 and min(r, g, b) < 60:
                xs.append(x)
                ys.append(y)
    if not xs:
        return 0, 0
    return max(xs) - min(xs) + 1, max(ys) - min(ys) + 1


def ink(image, width, x0, y0, x1, y1, scale):
    """Width and height, in designed pixels, of what is drawn dark (text, frames) in a box."""
    xs, ys = [], []
    for y in range(y0, y1):
        for x in range(x0, x1):
            if sum(image[(y * width + x) * 3:(y * width + x) * 3 + 3]) < 3 * 100:
                xs.append(x)
                ys.append(y)
    return ((max(xs) - min(xs) + 1) / scale, (max(ys) - min(ys) + 1) / scale) if xs else (0, 0)


def main():
    layout, one_path, width, height, scale, many_path, big_width, big_height = sys.argv[1:9]
    width, height, scale = int(width), int(height), float(scale)
    big_width, big_height = int(big_width), int(big_height)
    if abs(big_width - width * scale) >= 1 or abs(big_height - height * scale) >= 1:
        print("FAIL: the window is %dx%d at scale %g, not %gx%g" % (big_width, big_height, scale,
                                                                     width * scale, height * scale))
        return 1
    one = open(one_path, "rb").read()
    many = open(many_path, "rb").read()
    if len(one) != width * height * 3 or len(many) != big_width * big_height * 3:
        print("FAIL: the renderings are not %dx%d and %dx%d" % (width, height, big_width, big_height))
        return 1
    failures = 0
    controls = 0
    for line in open(layout):
        fields = line.split()
        if len(fields) != 6 or fields[0] != "control":
            continue
        name = fields[1]
        left, top, w, h = (int(v) for v in fields[2:])
        x0, y0, x1, y1 = left + 2, top + 2, left + w - 2, top + h - 2
        if x1 <= x0 or y1 <= y0:
            continue
        controls += 1
        small = mean(one, width, x0, y0, x1, y1)
        large = mean(many, big_width, *(round(v * scale) for v in (x0, y0, x1, y1)))
        worst = max(abs(a - b) for a, b in zip(small, large))
        verdict = "ok" if worst <= TOLERANCE else "MOVED"
        # A caption that wraps onto another line or is cut leaves text of another extent.
        small_ink = ink(one, width, left, top, left + w, top + h, 1)
        large_ink = ink(many, big_width, *(round(v * scale) for v in (left, top, left + w, top + h)),
                        scale)
        if any(abs(a - b) > 3 + 0.1 * a for a, b in zip(small_ink, large_ink)):
            verdict = "TEXT %dx%d, NOT %dx%d" % (large_ink + small_ink)
        if name == "Shape1":
            lamp_w, lamp_h = lamp_size(many, big_width, (left, top, w, h), scale)
            if lamp_w < 0.5 * h * scale or abs(lamp_w - lamp_h) > 1:
                verdict = "NOT ROUND"
            name = "Shape1 %dx%d" % (lamp_w, lamp_h)
        print("%-14s scale 1 %s scale %g %s difference %.1f %s" % (
            name, [round(v) for v in small], scale, [round(v) for v in large], worst, verdict))
        if verdict != "ok":
            failures += 1
    if controls < 20:
        print("FAIL: only %d controls found in the layout" % controls)
        return 1
    if failures:
        print("FAIL: %d of %d controls are not as the design has them at scale %g" % (
            failures, controls, scale))
        return 1
    print("all %d controls in their designed places at scale %g, the window %dx%d" % (
        controls, scale, big_width, big_height))
    return 0


if __name__ == "__main__":
    sys.exit(main())
