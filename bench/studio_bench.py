#!/usr/bin/env python3
"""The studio's figures in docs/figures.md, measured side by side in one run on the bundled demo:

1. milliseconds per frame at 1280x720 with the panels shown and hidden, Tab pressed every half
   second so that the two are interleaved, until each has at least 300 frames: the median of
   the drawing alone, of the panels alone, and of both;
2. save to "reloaded at" in a 640x360 window, over 20 saves each of a shader, a texture and the
   scene file (in turn), each written as editors do (a new file renamed over the old one):
   heard through inotify, then, for comparison, found by looking every 0.25 s
   (KESTRINE_PREVIEW_POLL=1).

Needs a display (xvfb-run) and xdotool. Run it on a Release build:
usage: studio_bench.py KESTRINE_PREVIEW DEMO_DIR"""
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

QUIET = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/dev/null"}


def start(preview, folder, args, env):
    out = open(os.path.join(folder, "out.txt"), "w")
    return subprocess.Popen([preview, "demo.xml", *args], cwd=folder, stdout=out,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                            env={**os.environ, **QUIET, **env}, start_new_session=True)


def window(title):
    found = subprocess.run(["xdotool", "search", "--sync", "--name", "^" + title + " [|]"],
                           capture_output=True, text=True, timeout=120).stdout.split()
    return found[0]


def stop(process):
    os.killpg(process.pid, signal.SIGTERM)
    process.wait(timeout=60)


def frames(preview, demo):
    # The demo linked into a folder of the bench's, where the preview's output goes.
    folder = tempfile.mkdtemp(prefix="kestrine-studio-bench-")
    for item in ("demo.xml", "shaders", "textures", "meshes", "Music"):
        os.symlink(os.path.join(demo, item), os.path.join(folder, item))
    log = os.path.join(folder, "frames.txt")
    p = start(preview, folder, ["--size", "1280x720"], {"KESTRINE_PREVIEW_FRAME_LOG": log})
    try:
        w = window("demo.xml")
        while True:
            rows = [line.split() for line in open(log).read().splitlines()[5:]]
            shown = [r for r in rows if len(r) >= 3 and r[0] == "1"]
            hidden = [r for r in rows if len(r) >= 3 and r[0] == "0"]
            if len(shown) >= 300 and len(hidden) >= 300:
                break
            subprocess.run(["xdotool", "windowfocus", "--sync", w, "key", "Tab"], check=True)
            time.sleep(0.5)
    finally:
        stop(p)
    for name, group in (("panels shown", shown), ("panels hidden", hidden)):
        draw = statistics.median(float(r[1]) for r in group)
        panels = statistics.median(float(r[2]) for r in group)
        total = statistics.median(float(r[1]) + float(r[2]) for r in group)
        print(f"{name}: {len(group)} frames, median drawing {draw:.2f} ms, panels "
              f"{panels:.2f} ms, both {total:.2f} ms")


def saves(preview, demo, env, how):
    folder = tempfile.mkdtemp(prefix="kestrine-studio-saves-")
    for item in os.listdir(demo):
        source = os.path.join(demo, item)
        if item in ("tools", "make-assets", "take-screenshots"):
            continue
        (shutil.copytree if os.path.isdir(source) else shutil.copy)(source, os.path.join(folder, item))
    kinds = {"shader": "shaders/textured.frag", "texture": "textures/tiles.dds",
             "scene": "demo.xml"}
    p = start(preview, folder, ["--size", "640x360"], env)
    times = {k: [] for k in kinds}
    out = os.path.join(folder, "out.txt")
    try:
        window("demo.xml")
        for i in range(20):
            for kind, name in kinds.items():
                path = os.path.join(folder, name)
                data = open(path, "rb").read()
                if kind != "texture":
                    data += b"\n" if i % 2 == 0 else b""  # a change the loader reads past
                before = open(out).read().count("reloaded at")
                began = time.monotonic()
                with open(path + ".new", "wb") as f:
                    f.write(data)
                os.rename(path + ".new", path)
                deadline = began + 60
                while open(out).read().count("reloaded at") == before:
                    if time.monotonic() > deadline:
                        sys.exit(f"no reload after saving {name}")
                    time.sleep(0.001)
                times[kind].append(1000 * (time.monotonic() - began))
                time.sleep(0.2)
    finally:
        stop(p)
    for kind, ms in times.items():
        print(f"save to 'reloaded at', {how}, {kind} ({kinds[kind]}): median {statistics.median(ms):.0f} "
              f"ms, {min(ms):.0f} to {max(ms):.0f} ms over {len(ms)} saves")


def main():
    preview, demo = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    frames(preview, demo)
    saves(preview, demo, {}, "inotify")
    saves(preview, demo, {"KESTRINE_PREVIEW_POLL": "1"}, "polling")
    print("load average:", open("/proc/loadavg").read().split()[:3])


if __name__ == "__main__":
    main()
