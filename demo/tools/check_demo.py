#!/usr/bin/env python3
"""Checks a demo folder the way the player will use it, without the player: the scene file is
well-formed, every file it names exists and is usable (DDS with its whole mip chain, OBJ
triangles in the p/t/n form, music of 40 to 90 s), every name a model uses is declared,
untextured models use programs that sample no texture, and the camera windows run without a
gap. Prints one line per problem; exits 1 if there is any.

Usage: check_demo.py DEMO_DIR [SCENE_FILE]
"""
import os
import re
import struct
import sys
import xml.dom.minidom

problems = []


def fail(message):
    problems.append(message)
    print(message)


def elements(node, name=None):
    return [c for c in node.childNodes
            if c.nodeType == c.ELEMENT_NODE and (name is None or c.tagName == name)]


def check_dds(path):
    """Returns the compression, or None after reporting what is wrong."""
    data = open(path, "rb").read()
    if len(data) < 128 or data[:4] != b"DDS ":
        return fail("%s: not a DDS file" % path)
    height, width, _, _, mips = struct.unpack_from("<5I", data, 12)
    code = data[84:88].decode("latin-1")
    if code not in ("DXT1", "DXT3", "DXT5"):
        return fail("%s: compression %r is not DXT1, DXT3 or DXT5" % (path, code))
    if width & (width - 1) or height & (height - 1) or not width or not height:
        return fail("%s: %dx%d is not a power-of-two size" % (path, width, height))
    chain = max(width, height).bit_length()
    if mips != chain:
        fail("%s: %d mip levels, the whole chain down to 1x1 is %d" % (path, mips, chain))
    block = 8 if code == "DXT1" else 16
    need, w, h = 0, width, height
    for _ in range(mips):
        need += ((w + 3) // 4) * ((h + 3) // 4) * block
        w, h = max(w // 2, 1), max(h // 2, 1)
    if len(data) - 128 < need:
        fail("%s: %d bytes of image data, the levels need %d" % (path, len(data) - 128, need))
    return code


def check_obj(path):
    counts = {"v": 0, "vt": 0, "vn": 0}
    faces = []
    for number, line in enumerate(open(path), 1):
        words = line.split()
        if not words or words[0] not in ("v", "vt", "vn", "f"):
            continue
        if words[0] in counts:
            counts[words[0]] += 1
            continue
        corners = [re.fullmatch(r"(\d+)/(\d+)/(\d+)", w) for w in words[1:]]
        if len(corners) != 3 or not all(corners):
            fail("%s:%d: a face must be a triangle of p/t/n corners" % (path, number))
            continue
        faces.append((number, [tuple(int(x) for x in c.groups()) for c in corners]))
    for number, corners in faces:
        for p, t, n in corners:
            if not (1 <= p <= counts["v"] and 1 <= t <= counts["vt"] and 1 <= n <= counts["vn"]):
                fail("%s:%d: index out of range" % (path, number))
    if not faces:
        fail("%s: no faces" % path)
    if len(faces) > 20000:
        fail("%s: %d triangles; keep meshes under 20000 so loading stays fast" % (path, len(faces)))


def ogg_seconds(path):
    data = open(path, "rb").read()
    if data[:4] != b"OggS" or data[28:35] != b"\x01vorbis":
        return None
    rate = struct.unpack_from("<I", data, 40)[0]
    last = data.rfind(b"OggS")
    granule = struct.unpack_from("<q", data, last + 6)[0]
    return granule / rate if rate else None


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    scene_path = os.path.join(root, sys.argv[2] if len(sys.argv) > 2 else "demo.xml")
    try:
        scene = xml.dom.minidom.parse(scene_path).documentElement
    except Exception as e:  # any parse failure is the one problem to report
        fail("%s: %s" % (scene_path, e))
        return 1
    if scene.tagName != "scene":
        fail("%s: the root element is not <scene>" % scene_path)
        return 1

    def existing(element, attribute):
        path = os.path.join(root, element.getAttribute(attribute))
        if not os.path.isfile(path):
            fail("%s: %s %r does not exist" % (scene_path, attribute, path))
            return None
        return path

    formats = set()
    textures = {}
    for t in elements(scene, "texture"):
        path = existing(t, "filename")
        textures[t.getAttribute("name")] = path
        if path:
            formats.add(check_dds(path))
    missing = {"DXT1", "DXT3", "DXT5"} - formats
    if missing:
        fail("no texture in %s" % ", ".join(sorted(missing)))

    shaders = {}
    for s in elements(scene, "shader"):
        sources = [existing(s, "vertex"), existing(s, "fragment")]
        shaders[s.getAttribute("name")] = "".join(open(p).read() for p in sources if p)
        for p in filter(None, sources):
            if not open(p).readline().startswith("#version 330 core"):
                fail("%s: does not start with #version 330 core" % p)

    meshes = {}
    for m in elements(scene, "mesh"):
        meshes[m.getAttribute("name")] = path = existing(m, "filename")
        if path:
            check_obj(path)

    # Cameras: whole seconds, back to back, 40 to 90 s in all, all three forms.
    windows, forms = [], set()
    for c in elements(scene, "camera"):
        start, end = c.getAttribute("start"), c.getAttribute("end")
        if not (start.isdigit() and end.isdigit()):
            fail("camera %s-%s: times must be whole seconds" % (start, end))
            continue
        windows.append((int(start), int(end)))
        if c.hasAttribute("eye_x"):
            forms.add("static")
        else:
            forms.add("fixed look" if c.hasAttribute("look_x") else "along path")
            if len(elements(c)) < 3:
                fail("camera %s-%s: a moving camera needs a path" % (start, end))
    for (s0, e0), (s1, e1) in zip(windows, windows[1:]):
        if s1 != e0:
            fail("cameras %d-%d and %d-%d: the next window must start where one ends" %
                 (s0, e0, s1, e1))
    if len(windows) < 6 or forms != {"static", "fixed look", "along path"}:
        fail("want at least five cuts and all three camera forms, got %d windows, %s" %
             (len(windows), sorted(forms)))
    if windows and not 40 <= windows[-1][1] - windows[0][0] <= 90:
        fail("the timeline runs %d s, not 40 to 90" % (windows[-1][1] - windows[0][0]))

    # Models: declared names; untextured ones on programs that sample nothing.
    depth = [0]

    def walk(group, level):
        depth[0] = max(depth[0], level)
        for models in elements(group, "models"):
            for m in elements(models, "model"):
                name, shader, texture = (m.getAttribute(a) for a in ("name", "shader", "texture"))
                for kind, key, table in (("mesh", name, meshes), ("shader", shader, shaders)):
                    if key not in table:
                        fail("model %s: %s %r is not declared" % (name, kind, key))
                if texture and texture not in textures:
                    fail("model %s: texture %r is not declared" % (name, texture))
                if not texture and "texture(" in shaders.get(shader, ""):
                    fail("model %s: untextured, but program %r samples a texture" % (name, shader))
        for child in elements(group, "group"):
            walk(child, level + 1)

    for g in elements(scene, "group"):
        walk(g, 1)
    if depth[0] < 3:
        fail("groups nest %d deep, want at least 3" % depth[0])

    music = os.path.join(root, "Music", "evil-2005.ogg")
    seconds = ogg_seconds(music) if os.path.isfile(music) else None
    if seconds is None:
        fail("%s: missing or not Ogg Vorbis" % music)
    elif not 40 <= seconds <= 90:
        fail("%s: %.1f s long, not 40 to 90" % (music, seconds))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
