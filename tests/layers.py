#!/usr/bin/env python3
"""Holds the tree to layers.txt: every #include "folder/..." and every library's link line must
be an arrow that file allows, and the core's test program must link no GL, window, sound or PNG
library. Then it adds one forbidden include and one forbidden link to what it read and makes
sure that each is caught, so that the check itself cannot rot.

usage: layers.py SOURCE_ROOT LAYER_LINKS_FILE CORE_TEST_PROGRAM"""
import pathlib
import re
import subprocess
import sys

FORBIDDEN_IN_CORE = re.compile(r"lib(GL|GLX|OpenGL|EGL|glfw|GLEW|SDL2|png)[-.]", re.I)


def read_layers(path):
    layers = {}
    for line in path.read_text().splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        name, library, folders, uses, links = line.split()
        split = lambda t: [] if t == "-" else t.split(",")
        layers[name] = {"library": library, "folders": split(folders), "uses": split(uses),
                        "links": split(links)}
    return layers


def include_edges(root, layers):
    """(folder, included folder, file) for each include of another of our folders."""
    ours = {f for layer in layers.values() for f in layer["folders"]}
    edges = []
    for folder in sorted(ours):
        for f in sorted((root / folder).glob("*.[ch]*")):
            for m in re.finditer(r'^#include "(\w+)/', f.read_text(), re.M):
                if m.group(1) in ours and m.group(1) != folder:
                    edges.append((folder, m.group(1), f"{folder}/{f.name}"))
    return edges


def link_lines(path):
    """{library: [what it links]} from the file the build writes."""
    out = {}
    for line in path.read_text().splitlines():
        if ":" in line:
            library, links = line.split(":", 1)
            out[library.strip()] = [l for l in re.split(r"[ ;,]+", links.strip()) if l]
    return out


def problems(layers, edges, links):
    found = []
    layer_of_folder = {f: name for name, l in layers.items() for f in l["folders"]}
    library_layer = {l["library"]: name for name, l in layers.items() if l["library"] != "-"}
    for folder, target, where in edges:
        mine, theirs = layer_of_folder[folder], layer_of_folder[target]
        if mine != theirs and theirs not in layers[mine]["uses"]:
            found.append(f"{where} includes {target}/: the {mine} layer may not use {theirs}")
    for library, linked in links.items():
        layer = library_layer.get(re.sub(r"_fuzzing$", "", library))
        if layer is None:
            found.append(f"{library} is built but has no layer in layers.txt")
            continue
        allowed = set(layers[layer]["links"])
        allowed |= {layers[u]["library"] + s for u in layers[layer]["uses"] for s in ("", "_fuzzing")}
        for item in linked:
            if item not in allowed:
                found.append(f"{library} links {item}: not allowed for the {layer} layer")
    return found


def needed(program):
    out = subprocess.run(["readelf", "-d", program], capture_output=True, text=True, check=True)
    return re.findall(r"\(NEEDED\).*\[(.*)\]", out.stdout)


def main():
    root, links_file, program = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3]
    layers = read_layers(root / "layers.txt")
    edges, links = include_edges(root, layers), link_lines(links_file)
    found = problems(layers, edges, links)
    found += [f"{program} links {lib}" for lib in needed(program) if FORBIDDEN_IN_CORE.search(lib)]
    # The check must catch a wrong arrow of either kind.
    planted = problems(layers, edges + [("formats", "gpu", "formats/planted.h")],
                       {**links, "kestrine_core": links.get("kestrine_core", []) + ["OpenGL::GL"]})
    if not any("planted.h" in p for p in planted) or not any("OpenGL::GL" in p for p in planted):
        found.append("the check missed a planted forbidden include or link")
    for p in found:
        print(p)
    if not found:
        print(f"layers: {len(edges)} includes across folders and {len(links)} link lines "
              "follow layers.txt; the core links no GL, window, sound or PNG library")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
