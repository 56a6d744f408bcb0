"""The plug-in's command keywords, read from its dispatch table, so that the
documentation checks follow the code rather than a list of their own."""
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DISPATCH = os.path.join(ROOT, "plugin", "command.cpp")
EXPECTED_COUNT = 42


def keywords():
    with open(DISPATCH, encoding="utf-8") as f:
        text = f.read()
    table = text[text.index("DispatchTable[]"):]
    table = table[:table.index("};")]
    found = re.findall(r'\{"([a-z]+)",\s*Command\w+\}', table)
    if len(found) != EXPECTED_COUNT:
        raise SystemExit(f"read {len(found)} keywords from {DISPATCH}, not {EXPECTED_COUNT}: "
                         "a command was added or removed; update the manual and this count")
    return found
