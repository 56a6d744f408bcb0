#!/usr/bin/env python3
"""Writes torus_knot_anaglyph.tsl: a trefoil knot as a chain of short cylinders
with a ball at every joint, drawn on a stereo canvas and shown as a red-cyan
anaglyph. Run it again after changing the numbers below."""
import math

P, Q = 2, 3             # the knot winds P times round the axis, Q times through the hole
R, r = 2.0, 0.9         # radius of the centre circle, radius of the winding
TUBE = 0.22             # radius of the tube
SEGMENTS = 144

def point(t):
    w = R + r * math.cos(Q * t)
    return (w * math.cos(P * t), w * math.sin(P * t), -r * math.sin(Q * t))

def f(x):
    return f"{x:.4f}".rstrip("0").rstrip(".") if abs(x) >= 5e-5 else "0"

lines = [
    "# A trefoil knot in red-cyan stereo: seen through glasses with the red filter on the",
    "# left eye it stands out in depth. The tube is a chain of 144 short cylinders",
    "# with a ball at every joint; make_torus_knot.py writes this file.",
    "canvas 640 480 0 persp 30 1 100 14 0.6 0",
    "clear 1 1 1",
    "light -1 2 3",
    "ambient 0.3 0.3 0.3",
    "diffuse 0.85 0.85 0.85",
    "shine 40 0.6 0.6 0.6",
    "rotate -35 1 0 0",
    "rotate 20 0 1 0",
]
for i in range(SEGMENTS):
    a, b = point(2 * math.pi * i / SEGMENTS), point(2 * math.pi * (i + 1) / SEGMENTS)
    d = [b[k] - a[k] for k in range(3)]
    length = math.sqrt(sum(c * c for c in d))
    # Turn the cylinder's axis (+z) onto the segment: about z x d by the angle between them.
    axis = (-d[1], d[0], 0.0)
    angle = math.degrees(math.acos(max(-1.0, min(1.0, d[2] / length))))
    lines += [
        "push", f"move {f(a[0])} {f(a[1])} {f(a[2])}",
        "push", f"scale {f(TUBE)} {f(TUBE)} {f(TUBE)}", "sphere 8 12 smooth", "pop",
        f"rotate {f(angle)} {f(axis[0])} {f(axis[1])} 0",
        f"scale {f(TUBE)} {f(TUBE)} {f(length)}", "cylinder 1 1 360 12 x", "pop",
    ]
lines += ["finish", "anaglyph 1 0 0 0 1 1"]

with open(__file__.replace("make_torus_knot.py", "torus_knot_anaglyph.tsl"), "w") as out:
    out.write("\n".join(lines) + "\n")
