#!/usr/bin/env python3
"""Vector art of the sample production, written as SVG the way drawing
programs write it (an XML header, comments, groups, minified arc flags), so
that the player's SVG reader meets the same constructs as in real files.

  make_svg_art.py <out dir>

Writes, each on a 1000 x 1000 view box:
  gears.svg       a large gear with hub and spokes (ENG1.x), a PIVOT marker
                  at its centre
  gear_small.svg  a small gear (ENG2.x) meshing with the large one, drawn as
                  a child layer that turns on its own
  head.svg        a head in profile (curves, ENG1.x) with a filled eye
                  (CACHE1), the morph's other outline
Every number is computed, so the files are the same on every build.
"""
import math
import os
import sys


def fmt(v):
    return ("%.2f" % v).rstrip("0").rstrip(".")


def gear_path(cx, cy, r_root, r_tip, teeth):
    """A closed outline of trapezoid teeth."""
    pts = []
    for i in range(teeth):
        a0 = 2 * math.pi * i / teeth
        step = 2 * math.pi / teeth
        for frac, r in ((0.0, r_root), (0.15, r_tip), (0.45, r_tip), (0.6, r_root)):
            a = a0 + frac * step
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    d = "M " + " L ".join(fmt(x) + " " + fmt(y) for x, y in pts) + " Z"
    return d


def circle_arcs(cx, cy, r):
    """A circle as two arcs, flags packed the way minifiers write them."""
    return "M%s %sa%s %s 0 10%s 0a%s %s 0 10%s 0z" % (
        fmt(cx - r), fmt(cy), fmt(r), fmt(r), fmt(2 * r), fmt(r), fmt(r), fmt(-2 * r))


def spokes(cx, cy, r0, r1, n):
    parts = []
    for i in range(n):
        a = 2 * math.pi * (i + 0.5) / n
        parts.append("M %s %s L %s %s" % (fmt(cx + r0 * math.cos(a)), fmt(cy + r0 * math.sin(a)),
                                         fmt(cx + r1 * math.cos(a)), fmt(cy + r1 * math.sin(a))))
    return " ".join(parts)


HEADER = '<?xml version="1.0" encoding="UTF-8" standalone="no"?>\n'


def svg(body):
    return (HEADER + '<svg xmlns="http://www.w3.org/2000/svg" width="1000" height="1000" '
            'viewBox="0 0 1000 1000">\n' + body + '</svg>\n')


def gears():
    cx, cy = 420, 560
    return svg(
        '  <!-- drawn by tools/make_svg_art.py; an old draft stays commented out:\n'
        '  <g transform="translate(4000 0)"><path id="draft" d="M 0 0 L 10 10"/></g> -->\n'
        '  <g id="gear-large" fill="none" stroke="#7fd4ff" data-note="teeth > 16">\n'
        '    <path id="ENG1.1" d="%s"/>\n'
        '    <path id="ENG1.2" d="%s"/>\n'
        '    <path id="ENG1.3" d="%s"/>\n'
        '  </g>\n'
        '  <path id="PIVOT" d="M %d %d m -12 0 h 24 m -12 -12 v 24"/>\n'
        % (gear_path(cx, cy, 250, 300, 16), circle_arcs(cx, cy, 70), spokes(cx, cy, 70, 230, 5), cx, cy))


def gear_small():
    # Centre 420 + 300 + 160 - overlap along the line to the large gear.
    cx, cy = 790, 250
    return svg(
        '  <g id="gear-small" fill="none">\n'
        '    <path id="ENG2.1" d="%s"/>\n'
        '    <path id="ENG2.2" d="%s"/>\n'
        '  </g>\n' % (gear_path(cx, cy, 130, 170, 9), circle_arcs(cx, cy, 40)))


def head():
    # Facing left: forehead, nose, lips, chin, neck, then the back of the head.
    d = ("M 560 120 C 420 110 320 190 310 300 C 305 340 300 360 280 390 "
         "C 260 420 240 450 262 462 C 280 470 290 470 292 480 C 296 500 282 510 296 522 "
         "C 284 534 300 548 302 560 C 304 580 296 600 330 612 C 380 630 420 640 432 700 "
         "L 436 860 L 720 860 C 700 780 690 720 720 660 C 790 560 800 470 790 380 "
         "C 770 220 690 130 560 120 Z")
    eye = "M 372 330 q 26 -14 52 0 q -26 12 -52 0 z"
    ear = "M 600 380 c 40 -20 70 20 56 60 c -10 30 -40 40 -60 30"
    return svg(
        '  <!-- a head in profile -->\n'
        '  <g id="head" fill="none" stroke="#ffffff">\n'
        '    <path id="ENG1.1" d="%s"/>\n'
        '    <path id="ENG1.2" d="%s"/>\n'
        '  </g>\n'
        '  <path id="CACHE1" class="cls-5" d="%s"/>\n' % (d, ear, eye))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, text in (("gears.svg", gears()), ("gear_small.svg", gear_small()), ("head.svg", head())):
        with open(os.path.join(out, name), "w", newline="\n") as f:
            f.write(text)


if __name__ == "__main__":
    main()
