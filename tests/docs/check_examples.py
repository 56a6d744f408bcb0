#!/usr/bin/python3
"""Every command is used in at least one example script, and the README's
gallery shows a picture (or an animation) of every example.

    tests/docs/check_examples.py
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from commands import ROOT, keywords  # noqa: E402


def used_keywords(folder):
    """Each example's commands: the first word of every line that runs."""
    used = {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".tsl"):
            continue
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            for line in f:
                words = line.split()
                if words and not words[0].startswith("#"):
                    used.setdefault(words[0], []).append(name)
    return used


def main():
    problems = []
    examples = os.path.join(ROOT, "examples")
    used = used_keywords(examples)
    for keyword in keywords():
        if keyword not in used:
            problems.append(f"no example uses {keyword}")
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    for name in sorted(os.listdir(examples)):
        if name.endswith(".tsl"):
            # A still picture, or an animation for a script of many frames.
            shown = [f"docs/images/gallery/{name[:-4]}.{kind}" for kind in ("png", "gif")]
            shown = [picture for picture in shown if f"]({picture})" in readme]
            if not shown:
                problems.append(f"the README's gallery shows no picture of examples/{name}")
            for picture in shown:
                if not os.path.exists(os.path.join(ROOT, picture)):
                    problems.append(f"{picture} does not exist: run scripts/make-pictures.py")
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"{len(keywords())} commands, {len(used)} used in examples; {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
