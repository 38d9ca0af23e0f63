#!/usr/bin/env python3
"""The director's view's figures in docs/figures.md: milliseconds per frame at 1280x720 on the
bundled demo, paused at 25 s in the director's view (from above the temple, the panels hidden),
with the paths drawn and without, P pressed every half second so that the two are interleaved,
until each has at least 300 frames: the median of the frame (drawn, paths and all, and copied
into the window) and, with the paths, of the path pass alone (glFinish before and after it).

Needs a display (xvfb-run) and xdotool. Run it on a Release build:
usage: director_bench.py KESTRINE_PREVIEW DEMO_DIR"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

from studio_bench import start, stop, window


def keys(w, *names):
    subprocess.run(["xdotool", "windowfocus", "--sync", w, "key", "--delay", "60", *names],
                   check=True)


def title(w):
    return subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                          text=True).stdout


def main():
    preview, demo = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    folder = tempfile.mkdtemp(prefix="kestrine-director-bench-")
    for item in ("demo.xml", "shaders", "textures", "meshes", "Music"):
        os.symlink(os.path.join(demo, item), os.path.join(folder, item))
    log = os.path.join(folder, "frames.txt")
    p = start(preview, folder, ["--size", "1280x720", "--at", "25", "--no-overlay"],
              {"KESTRINE_PREVIEW_FRAME_LOG": log, "KESTRINE_DIRECTOR_VIEW": "17 13 19 0 1.5 0"})
    try:
        w = window("demo.xml")
        keys(w, "space", "v")
        while "director" not in title(w):
            time.sleep(0.1)
        skip = len(open(log).read().splitlines()) + 5
        while True:
            rows = [line.split() for line in open(log).read().splitlines()[skip:]]
            drawn = [r for r in rows if len(r) == 5 and r[3] == "1"]
            bare = [r for r in rows if len(r) == 5 and r[3] == "0"]
            if len(drawn) >= 300 and len(bare) >= 300:
                break
            keys(w, "p")
            time.sleep(0.5)
    finally:
        stop(p)
    for name, group in (("with the paths", drawn), ("without", bare)):
        frame = statistics.median(float(r[1]) for r in group)
        print(f"{name}: {len(group)} frames, median frame {frame:.2f} ms")
    print(f"the path pass alone: median {statistics.median(float(r[4]) for r in drawn):.3f} ms")
    print("load average:", open("/proc/loadavg").read().split()[:3])


if __name__ == "__main__":
    main()
