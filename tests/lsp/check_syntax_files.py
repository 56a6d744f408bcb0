"""The generated editor syntax files name exactly the plug-in's 42 keywords,
read from its dispatch table (not from the host's command table that wrote
them)."""
import json
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs"))
import commands  # noqa: E402

folder = sys.argv[1]
expected = sorted(commands.keywords())

with open(os.path.join(folder, "tesselin.tmLanguage.json"), encoding="utf-8") as f:
    grammar = json.load(f)
patterns = [p for p in grammar["patterns"] if p["name"].startswith("keyword.")]
assert len(patterns) == 1, patterns
textmate = sorted(re.search(r"\(([a-z|]+)\)", patterns[0]["match"]).group(1).split("|"))

with open(os.path.join(folder, "tesselin.vim"), encoding="utf-8") as f:
    vim = sorted(re.findall(r"^syntax match tesselinKeyword /\^\\s\*\\zs([a-z]+)\\>/$", f.read(), re.M))

failed = False
for name, found in (("TextMate grammar", textmate), ("Vim syntax", vim)):
    if found != expected:
        print(f"{name}: missing {sorted(set(expected) - set(found))}, extra {sorted(set(found) - set(expected))}, "
              f"{len(found)} keywords")
        failed = True
    if len(found) != len(set(found)):
        print(f"{name}: a keyword is listed twice")
        failed = True
sys.exit(1 if failed else 0)
