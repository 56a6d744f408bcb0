#!/usr/bin/env python3
"""Fails when an include in app/ runs from a lower room up to a higher one,
across rooms on one floor, or in a circle, or names a room or file that does
not exist. Rooms and their floors are the table below; a new folder under
app/ must be given a floor here before anything in it is accepted."""

import re
import sys
from pathlib import Path

FLOORS = {
    "process": 0, "names": 0,
    "picture": 1, "camera": 1, "script": 2,
    "files": 2, "gl": 2,
    "plugin_host": 3, "export": 3, "lsp": 3,
    "session": 4,
    "view": 5,
    "console": 6,
    "cli": 7,
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"(app/[^"]+)"', re.MULTILINE)


def room_of(path):
    """The room of a path written from the source root (app/ROOM/file)."""
    parts = Path(path).parts
    return parts[1] if len(parts) > 2 and parts[0] == "app" else None


def includes(root):
    """Every app/ source file and the app/ files it includes."""
    graph = {}
    for file in sorted((root / "app").rglob("*")):
        if file.suffix not in (".h", ".cpp", ".inc"):
            continue
        name = file.relative_to(root).as_posix()
        graph[name] = INCLUDE.findall(file.read_text(encoding="utf-8", errors="replace"))
    return graph


def wrong_ways(graph, root):
    """Includes that leave the floor table, run up, or cross on one floor."""
    faults = []
    for source, targets in graph.items():
        here = room_of(source)
        if here not in FLOORS:
            faults.append(f"{source}: room '{here}' has no floor in the table")
            continue
        for target in targets:
            there = room_of(target)
            if not (root / target).is_file():
                faults.append(f"{source}: includes {target}, which does not exist")
            elif there not in FLOORS:
                faults.append(f"{source}: includes {target}, in a room with no floor")
            elif there != here and FLOORS[there] >= FLOORS[here]:
                way = "up" if FLOORS[there] > FLOORS[here] else "across"
                faults.append(f"{source} (floor {FLOORS[here]}) includes {target} "
                              f"(floor {FLOORS[there]}): {way}")
    return faults


def circles(graph):
    """Each include circle among the files, once, as the files around it."""
    found, state, stack = [], {}, []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for target in graph.get(node, []):
            if state.get(target) == "open":
                found.append(stack[stack.index(target):] + [target])
            elif target not in state:
                visit(target)
        stack.pop()
        state[node] = "done"

    for node in graph:
        if node not in state:
            visit(node)
    return [" -> ".join(circle) for circle in found]


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]
    graph = includes(root)
    if not graph:
        print(f"no app/ sources under {root}")
        return 1
    faults = wrong_ways(graph, root) + [f"include circle: {c}" for c in circles(graph)]
    for fault in faults:
        print(fault)
    count = sum(len(t) for t in graph.values())
    print(f"{len(graph)} files, {count} includes of app/: {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
