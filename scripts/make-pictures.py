#!/usr/bin/python3
"""Renders the pictures of the manual and of the README's gallery with the
project's own program, from the very text the reader sees, so the two never
disagree.

Manual: every <pre data-picture="PATH"> in manual.htm is a complete script; it
is run from the repository's top folder and its canvas window written to PATH,
which the <img> right after it shows. Gallery: every examples/*.tsl is run and
its picture written, reduced, to docs/images/gallery/NAME.png; the program
writes the turntable's frames as an animation to docs/images/gallery/turntable.gif.

    scripts/make-pictures.py [--program build/tesselin]          write them all
    scripts/make-pictures.py --check [--program build/tesselin]  render into a
        scratch folder and compare with the pictures in the repository; exit 1
        when one is missing, out of date, or not shown where it is made
"""
import argparse
import html.parser
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops, ImageStat

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MANUAL = "manual.htm"
GALLERY = "docs/images/gallery"
GALLERY_WIDTH = 320
ANIMATION = "turntable"
ANIMATION_FPS = 12
# Pixels compared after rendering again: the mean difference per channel, in
# levels of 255, that still counts as the same picture (Mesa's rasteriser is
# exact on one machine; this allows for small differences between builds).
TOLERANCE = 1.5


class ExampleParser(html.parser.HTMLParser):
    """Collects each <pre data-picture> with its text, and each <img src>."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.examples = []  # (picture, script text, line)
        self.images = []  # (src, line)
        self._open = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "pre" and "data-picture" in attrs:
            self._open = [attrs["data-picture"], "", self.getpos()[0]]
        elif tag == "img" and "src" in attrs:
            self.images.append((attrs["src"], self.getpos()[0]))
        elif self._open is not None:
            raise ValueError(f"{MANUAL}:{self.getpos()[0]}: <{tag}> inside an example; keep examples plain text")

    def handle_endtag(self, tag):
        if tag == "pre" and self._open is not None:
            self.examples.append(tuple(self._open))
            self._open = None

    def handle_data(self, data):
        if self._open is not None:
            self._open[1] += data


def manual_examples():
    parser = ExampleParser()
    with open(os.path.join(ROOT, MANUAL), encoding="utf-8") as f:
        parser.feed(f.read())
    return parser


def run_script(program, text, output, extra=()):
    """Runs a script from the top folder; returns its messages."""
    with tempfile.NamedTemporaryFile("w", suffix=".tsl", delete=False) as script:
        script.write(text)
    try:
        result = subprocess.run([program, "run", script.name, "-o", output, *extra], cwd=ROOT,
                                capture_output=True, text=True, timeout=120)
    finally:
        os.unlink(script.name)
    return result.returncode, result.stderr.replace(script.name, "example")


def save_small(source, target, width=None):
    image = Image.open(source).convert("RGB")
    if width and image.width > width:
        image = image.resize((width, round(image.height * width / image.width)), Image.LANCZOS)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    image.save(target, optimize=True)


def render_manual(program, out_dir, scratch, problems):
    parser = manual_examples()
    shown = {src for src, _ in parser.images}
    made = []
    for picture, text, line in parser.examples:
        if picture not in shown:
            problems.append(f"{MANUAL}:{line}: {picture} is made but no <img> shows it")
        raw = os.path.join(scratch, "raw.png")
        status, messages = run_script(program, text, raw)
        if status != 0:
            problems.append(f"{MANUAL}:{line}: the example for {picture} failed:\n{messages}")
        if not os.path.exists(raw):
            problems.append(f"{MANUAL}:{line}: the example for {picture} wrote no picture:\n{messages}")
            continue
        save_small(raw, os.path.join(out_dir, picture))
        os.unlink(raw)
        made.append(picture)
    for src, line in parser.images:
        if not os.path.exists(os.path.join(ROOT, src)) and src not in made:
            problems.append(f"{MANUAL}:{line}: <img src={src}> has no file")
    return made


def example_scripts():
    folder = os.path.join(ROOT, "examples")
    return sorted(name[:-4] for name in os.listdir(folder) if name.endswith(".tsl"))


def render_gallery(program, out_dir, scratch, problems):
    made = []
    for name in example_scripts():
        with open(os.path.join(ROOT, "examples", name + ".tsl"), encoding="utf-8") as f:
            text = f.read()
        if name == ANIMATION:
            made += render_animation(program, text, out_dir, scratch, problems)
            continue
        raw = os.path.join(scratch, "raw.png")
        target = f"{GALLERY}/{name}.png"
        status, messages = run_script(program, text, raw)
        if status != 0 or not os.path.exists(raw):
            problems.append(f"examples/{name}.tsl failed:\n{messages}")
            continue
        save_small(raw, os.path.join(out_dir, target), GALLERY_WIDTH)
        os.unlink(raw)
        made.append(target)
    return made


def render_animation(program, text, out_dir, scratch, problems):
    """The turntable's finished frames as one looping GIF, written by the
    program's own --animation."""
    target = f"{GALLERY}/{ANIMATION}.gif"
    os.makedirs(os.path.join(out_dir, GALLERY), exist_ok=True)
    status, messages = run_script(program, text, os.path.join(scratch, "last.png"),
                                  ["--animation", os.path.join(out_dir, target), "--fps", str(ANIMATION_FPS)])
    path = os.path.join(out_dir, target)
    frames = Image.open(path).n_frames if os.path.exists(path) else 0
    if status != 0 or frames < 2:
        problems.append(f"the turntable animation has {frames} frames:\n{messages}")
        return []
    return [target]


def same_picture(a, b):
    first, second = Image.open(a), Image.open(b)
    if first.size != second.size or getattr(first, "n_frames", 1) != getattr(second, "n_frames", 1):
        return False
    first, second = first.convert("RGB"), second.convert("RGB")
    return max(ImageStat.Stat(ImageChops.difference(first, second)).mean) <= TOLERANCE


def main():
    options = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    options.add_argument("--program", default=os.path.join(ROOT, "build", "tesselin"))
    options.add_argument("--check", action="store_true")
    args = options.parse_args()
    program = os.path.abspath(args.program)
    problems = []
    with tempfile.TemporaryDirectory() as scratch, tempfile.TemporaryDirectory() as rendered:
        out_dir = rendered if args.check else ROOT
        made = (render_manual(program, out_dir, scratch, problems) +
                render_gallery(program, out_dir, scratch, problems))
        if args.check:
            for picture in made:
                kept = os.path.join(ROOT, picture)
                if not os.path.exists(kept):
                    problems.append(f"{picture} is not in the repository: run scripts/make-pictures.py")
                elif not same_picture(kept, os.path.join(rendered, picture)):
                    problems.append(f"{picture} differs from what its script renders: run scripts/make-pictures.py")
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"{len(made)} pictures {'checked' if args.check else 'made'}, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
