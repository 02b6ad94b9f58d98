#!/usr/bin/env python3
"""Compares the window drawn at scale 1 with the window drawn at scale 2.

Usage: compare_scaled.py <layout> <scale-1 RGB> <width> <height> <scale-2 RGB>
The layout is what dccd-tuner --dump-layout prints. The images are raw 8-bit RGB. For every control of the designed layout, the mean colour of its
box (inset by 2 designed pixels) must be the same in both renderings within a tolerance: a control drawn elsewhere than at twice its
designed place, or at another size, leaves another colour in that box.
"""
import sys

TOLERANCE = 8  # per channel, out of 255: anti-aliased text differs a little between sizes


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


def main():
    layout, one_path, width, height, two_path = sys.argv[1:6]
    width, height = int(width), int(height)
    one = open(one_path, "rb").read()
    two = open(two_path, "rb").read()
    if len(one) != width * height * 3 or len(two) != 4 * width * height * 3:
        print("FAIL: the renderings are not %dx%d and %dx%d" % (width, height, 2 * width,
                                                              2 * height))
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
        large = mean(two, 2 * width, 2 * x0, 2 * y0, 2 * x1, 2 * y1)
        worst = max(abs(a - b) for a, b in zip(small, large))
        verdict = "ok" if worst <= TOLERANCE else "MOVED"
        print("%-8s scale 1 %s scale 2 %s difference %.1f %s" % (
            name, [round(v) for v in small], [round(v) for v in large], worst, verdict))
        if worst > TOLERANCE:
            failures += 1
    if controls < 20:
        print("FAIL: only %d controls found in the layout" % controls)
        return 1
    if failures:
        print("FAIL: %d of %d controls are not where the design puts them at scale 2" % (
            failures, controls))
        return 1
    print("all %d controls in their designed places at scale 2" % controls)
    return 0


if __name__ == "__main__":
    sys.exit(main())
