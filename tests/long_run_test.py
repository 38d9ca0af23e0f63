#!/usr/bin/env python3
"""Long runs stay flat, on programs built without sanitizers (whose quarantine grows memory by
design): the preview reloaded 300 times and a capture of 3,000 frames, both at a small size,
end within 5 MB of the resident memory they had at reload (or frame) 20, and with the GL
objects live then. Both say what they hold under KESTRINE_RESOURCE_LOG=1.

usage: long_run_test.py DATA_DIR WORK_DIR PREVIEW CAPTURE"""
import os
import pathlib
import re
import signal
import subprocess
import sys
import time

DATA, WORK, PREVIEW, CAPTURE = (pathlib.Path(a).resolve() for a in sys.argv[1:5])
RELOADS, FRAMES, FROM = 300, 3000, 20
SLACK_KIB = 5 * 1024
DEADLINE = 60.0  # seconds for any one step, for a loaded machine
SAID = re.compile(r"(reload|frame) (\d+): (\d+) GL objects live, (\d+) KiB resident")

# Two textures, a program, two meshes, a camera: every kind of object a reload makes again.
SCENE = f"""<scene>
<texture name="a" filename="{DATA}/dds/dxt1_64x64_full.dds"/>
<texture name="b" filename="{DATA}/dds/dxt5_32x8_full.dds"/>
<shader name="flat" vertex="{DATA}/player/flat.vert" fragment="{DATA}/player/flat.frag"/>
<mesh name="quad" filename="{DATA}/player/quad.obj"/>
<mesh name="ball" filename="{DATA}/assimp_sphere.obj"/>
<camera start="0" end="600" eye_x="0" eye_y="0" eye_z="3" up_x="0" up_y="1" up_z="0"
        look_x="0" look_y="0" look_z="0"/>
<group><rotate angle="0" axisX="0" axisY="1" axisZ="0" time="10"/>
<models><model name="quad" shader="flat" texture="a" R="1" G="0" B="0"/>
<model name="ball" shader="flat" texture="b" R="0" G="1" B="0"/></models></group>
</scene>
"""


def figures(path):
    """{n: (GL objects, KiB resident)} from what a program said."""
    text = path.read_text(errors="replace") if path.exists() else ""
    return {int(m[2]): (int(m[3]), int(m[4])) for m in SAID.finditer(text)}


def wait_for(ready, what):
    deadline = time.monotonic() + DEADLINE
    while not ready():
        if time.monotonic() > deadline:
            sys.exit(f"long run: no {what} within {DEADLINE:.0f} s")
        time.sleep(0.02)


def flat(program, said, first, last):
    """Fails unless the figures at `last` are those at `first`, memory within the slack."""
    (objects0, kib0), (objects1, kib1) = said[first], said[last]
    print(f"{program}: at {first}: {objects0} GL objects, {kib0} KiB resident; "
          f"at {last}: {objects1} GL objects, {kib1} KiB resident ({kib1 - kib0:+d} KiB)")
    if objects1 != objects0 or abs(kib1 - kib0) > SLACK_KIB:
        sys.exit(f"long run: {program} does not stay flat")


def group(argv, **kw):
    """A process leading a group of its own, so that the whole group can be ended."""
    return subprocess.Popen(argv, start_new_session=True, **kw)


def end(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGKILL)
    process.wait()


def run_preview():
    scene, out = WORK / "long_run.xml", WORK / "preview.txt"
    scene.write_text(SCENE)
    read, written = os.pipe()
    screen = group(["Xvfb", "-displayfd", str(written), "-screen", "0", "640x480x24",
                    "-nolisten", "tcp"], pass_fds=(written,), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    os.close(written)
    program = None
    try:
        with os.fdopen(read) as display:
            number = display.readline().strip()
        if not number:
            sys.exit("long run: Xvfb did not start")
        env = dict(os.environ, DISPLAY=":" + number, KESTRINE_RESOURCE_LOG="1",
                   SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE="/dev/null")
        with open(out, "w") as said, open(WORK / "preview.err", "w") as err:
            program = group([str(PREVIEW), scene.name, "--size", "160x120"], cwd=WORK, env=env,
                            stdout=said, stderr=err, stdin=subprocess.DEVNULL)
        wait_for(lambda: 0 in figures(out) or program.poll() is not None, "first load")
        # Each save changes the file's size, so that the watch sees it whatever the clock.
        for n in range(1, RELOADS + 1):
            saved = WORK / "long_run.xml.new"
            saved.write_text(SCENE + "<!--" + "x" * (n % 2) + "-->\n")
            saved.replace(scene)  # as an editor saves: never seen half written
            wait_for(lambda: n in figures(out) or program.poll() is not None, f"reload {n}")
            if program.poll() is not None:
                sys.exit("long run: the preview ended: " + (WORK / "preview.err").read_text())
        flat("kestrine-preview", figures(out), FROM, RELOADS)
    finally:
        if program:
            end(program)
        end(screen)


def run_capture():
    out = WORK / "capture.txt"
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["KESTRINE_RESOURCE_LOG"] = "1"
    (WORK / "long_run.xml").write_text(SCENE)
    with open(out, "w") as said, open(WORK / "capture.err", "w") as err:
        program = group([str(CAPTURE), "long_run.xml", "--out", "frames", "--size", "64x48",
                         "--frames", f"0:{FRAMES - 1}"], cwd=WORK, env=env, stdout=said,
                        stderr=err, stdin=subprocess.DEVNULL)
    try:
        status = program.wait(timeout=600)
    except subprocess.TimeoutExpired:
        sys.exit("long run: the capture still runs after 600 s")
    finally:
        end(program)
    if status != 0:
        sys.exit("long run: the capture failed: " + (WORK / "capture.err").read_text()[-2000:])
    flat("kestrine-capture", figures(out), FROM, FRAMES - 1)


def main():
    subprocess.run(["rm", "-rf", str(WORK)], check=True)
    WORK.mkdir(parents=True)
    started = time.monotonic()
    run_preview()
    run_capture()
    print(f"long run: flat, in {time.monotonic() - started:.0f} s")


main()
