#!/usr/bin/env python3
"""Fails when the units of a folder include each other in a circle.

A unit is a header uFoo.h with every source file named after it: uFoo.cpp
and the files a class spreads over (uFooRun.cpp belongs to uFoo when uFoo.h
exists; the longest matching header wins). Unit A depends on unit B when
any file of A includes "folder/uB.h". The units must form a graph without
circles, so that each can be built and tested on top of the ones it uses.

Usage: check_unit_cycles.py ROOT FOLDER...
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def unit_of(stem: str, headers: list) -> str:
    owners = [h for h in headers if stem == h or stem.startswith(h)]
    return max(owners, key=len) if owners else stem


def unit_graph(root: pathlib.Path, folder: str) -> dict:
    directory = root / folder
    headers = sorted(p.stem for p in directory.glob("*.h"))
    graph = {}
    for path in sorted(directory.iterdir()):
        if path.suffix not in {".h", ".cpp"}:
            continue
        unit = unit_of(path.stem, headers)
        edges = graph.setdefault(unit, set())
        for line in path.read_text(errors="replace").splitlines():
            match = INCLUDE.match(line)
            if not match:
                continue
            included = pathlib.PurePosixPath(match.group(1))
            if str(included.parent) == folder and included.stem != unit:
                edges.add(unit_of(included.stem, headers))
    return graph


def find_circle(graph: dict):
    """A list of units that close a circle, or None."""
    state = {}  # unit -> 1 on the current path, 2 finished
    path = []

    def visit(unit):
        state[unit] = 1
        path.append(unit)
        for target in sorted(graph.get(unit, ())):
            if state.get(target) == 1:
                return path[path.index(target):] + [target]
            if target not in state:
                found = visit(target)
                if found:
                    return found
        path.pop()
        state[unit] = 2
        return None

    for unit in sorted(graph):
        if unit not in state:
            found = visit(unit)
            if found:
                return found
    return None


def main() -> int:
    root = pathlib.Path(sys.argv[1]).resolve()
    faults = 0
    for folder in sys.argv[2:]:
        graph = unit_graph(root, folder)
        circle = find_circle(graph)
        if circle:
            print(f"{folder}/: units include each other in a circle: {' -> '.join(circle)}")
            faults += 1
        else:
            print(f"{folder}/: {len(graph)} units, no circle")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
