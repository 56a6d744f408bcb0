#!/usr/bin/env python3
"""Lists the host's functions longer than a limit (60 lines by default).

A function is a brace block at namespace or class level whose opening line
looks like a definition (a name followed by parentheses); its length is
counted from the line of its name to its closing brace. Strings, character
literals and comments are blanked first so that braces in them do not count.

    scripts/long-functions.py [--limit N] [FOLDER ...]   (default: app)
"""
import argparse
import pathlib
import re
import sys

DEFINITION = re.compile(r"[\w:~<>,\s\*&]+\([^;]*\)[\w\s&:,()<>\*\-]*$", re.S)
NOT_FUNCTIONS = re.compile(r"^\s*(namespace|struct|class|enum|union|extern)\b|=\s*$|\b(if|for|while|switch|catch)\s*\(")


def blanked(text):
    """The text with comments, strings and character literals as spaces."""
    pattern = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)
    return pattern.sub(lambda m: re.sub(r"[^\n]", " ", m.group(0)), text)


def functions(text):
    """(name line, first line, last line) of each function body at the outer level."""
    text = blanked(text)
    depth_kinds = []  # per open brace: True for a function body
    header_start = 0
    found = []
    for i, c in enumerate(text):
        if c == "{":
            header = text[header_start:i].strip()
            inside_function = any(depth_kinds)
            is_function = not inside_function and bool(DEFINITION.match(header)) and not NOT_FUNCTIONS.search(header)
            if is_function:
                name_at = header_start + (len(text[header_start:i]) - len(text[header_start:i].lstrip()))
                found.append([text.count("\n", 0, name_at) + 1, None])
            depth_kinds.append(is_function)
            header_start = i + 1
        elif c == "}":
            if depth_kinds and depth_kinds.pop():
                found[-1 if found[-1][1] is None else -1][1] = text.count("\n", 0, i) + 1
            header_start = i + 1
        elif c == ";" and not any(depth_kinds):
            header_start = i + 1
    return [(first, last) for first, last in found if last is not None]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--limit", type=int, default=60)
    parser.add_argument("folders", nargs="*", default=["app"])
    arguments = parser.parse_args()
    long_ones = []
    for folder in arguments.folders:
        for path in sorted(pathlib.Path(folder).rglob("*")):
            if path.suffix not in (".cpp", ".h", ".inc"):
                continue
            text = path.read_text(errors="replace")
            lines = text.splitlines()
            for first, last in functions(text):
                length = last - first + 1
                if length > arguments.limit:
                    long_ones.append((length, f"{path}:{first}", lines[first - 1].strip()))
    for length, where, line in sorted(long_ones, reverse=True):
        print(f"{length:4d}  {where}  {line}")
    return 1 if long_ones else 0


if __name__ == "__main__":
    sys.exit(main())
