#!/usr/bin/env python3
"""Checks the layering: the core's test program links no GL, window, sound or PNG library;
the folders include each other without a cycle; no folder below app/ includes app/ or tools/.

usage: layers.py SOURCE_ROOT CORE_TEST_PROGRAM"""
import pathlib
import re
import subprocess
import sys

FOLDERS = ["app", "audio", "camera", "gpu", "graph", "scene", "tools", "web"]
ABOVE = {"app", "tools", "web"}
FORBIDDEN = re.compile(r"lib(GL|GLX|OpenGL|EGL|glfw|GLEW|SDL2|png)[-.]", re.I)


def needed(program):
    out = subprocess.run(["readelf", "-d", program], capture_output=True, text=True, check=True)
    return re.findall(r"\(NEEDED\).*\[(.*)\]", out.stdout)


def include_graph(root):
    edges = {}
    for folder in FOLDERS:
        for f in (root / folder).glob("*.[ch]*"):
            for m in re.finditer(r'^#include "(\w+)/', f.read_text(), re.M):
                if m.group(1) in FOLDERS and m.group(1) != folder:
                    edges.setdefault(folder, {}).setdefault(m.group(1), f.name)
    return edges


def cycle(edges):
    state = {}

    def visit(node, path):
        state[node] = "open"
        for nxt in edges.get(node, {}):
            if state.get(nxt) == "open":
                return path + [nxt]
            if nxt not in state:
                found = visit(nxt, path + [nxt])
                if found:
                    return found
        state[node] = "done"
        return None

    for node in FOLDERS:
        if node not in state:
            found = visit(node, [node])
            if found:
                return found
    return None


def main():
    root, program = pathlib.Path(sys.argv[1]), sys.argv[2]
    problems = [f"{program} links {lib}" for lib in needed(program) if FORBIDDEN.search(lib)]
    edges = include_graph(root)
    for folder, targets in sorted(edges.items()):
        for target, where in sorted(targets.items()):
            if folder not in ABOVE and target in ABOVE:
                problems.append(f"{folder}/{where} includes {target}/")
    loop = cycle(edges)
    if loop:
        problems.append("folders include each other in a cycle: " + " -> ".join(loop))
    for p in problems:
        print(p)
    if not problems:
        print("layers: the core links no GL, window, sound or PNG library; no include cycle")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
