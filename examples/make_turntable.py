#!/usr/bin/env python3
"""Writes turntable.tsl: a golden torus with a ring of coloured balls, turning
once round on a turntable in FRAMES finished frames. Every frame clears the
canvas, turns the scene a little further about its upright axis and draws it
again; the view, the light and the turning add up from frame to frame. Run it
again after changing the numbers below."""

FRAMES = 36
COLOURS = ["0.9 0.2 0.2", "0.95 0.55 0.1", "0.9 0.85 0.2", "0.3 0.8 0.3",
           "0.2 0.7 0.8", "0.25 0.35 0.9", "0.6 0.3 0.85", "0.9 0.4 0.7"]

scene = [
    "push",
    "scale 0.6 0.6 0.6",
    "diffuse 0.85 0.65 0.2",
    "shine 60 1 0.9 0.6",
    "torus 2 0 360 24 x 360 48 x",
    "pop",
    "shine 40 0.6 0.6 0.6",
]
for i, colour in enumerate(COLOURS):
    scene += ["push", f"rotate {45 * i} 0 0 1", "move 3.4 0 0", "scale 0.55 0.55 0.55",
              f"diffuse {colour}", "sphere 16 24 smooth", "pop"]

lines = [
    "# A turntable: a golden torus and a ring of balls turning once round, one",
    f"# finished frame for every {360 // FRAMES} degrees. Written by make_turntable.py.",
    "# Every finished frame can go into one animation file:",
    "#   tesselin run examples/turntable.tsl --animation turntable.gif --fps 12",
    "canvas 480 360 persp 30 1 100 16",
    "light -1 1 2",
    "ambient 0.3 0.3 0.3",
    "rotate -60 1 0 0",
]
for frame in range(FRAMES):
    lines += ["", f"# frame {frame + 1}", "clear 0.95 0.95 0.97"]
    if frame > 0:
        lines.append(f"rotate {360 / FRAMES:g} 0 0 1")
    lines += scene + ["finish"]

with open(__file__.replace("make_turntable.py", "turntable.tsl"), "w") as out:
    out.write("\n".join(lines) + "\n")
