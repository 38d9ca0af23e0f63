#!/usr/bin/env python3
"""The web player in headless Chromium, against the native player and kestrine-capture.

usage: web_test.py SOURCE_ROOT WORK_DIR PLAYER CAPTURE"""
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
from browser import DEADLINE, Browser, Server  # noqa: E402
from pictures import capture, rgb, same_picture  # noqa: E402

ROOT, WORK, PLAYER, CAPTURE = (pathlib.Path(a).resolve() for a in sys.argv[1:5])
SIZE = (640, 360)
# The held frames compared with the capture: a static camera, a moving one, a static one.
TIMES = (6, 23, 35)

# A scene with what an author gets wrong: a texture that is not DXT, one whose size WebGL
# refuses, a fragment shader with a syntax error, a mesh file that is missing. Two seconds long.
BROKEN = """<scene>
    <window x="320" y="240" title="broken" />
    <texture name="dx10" filename="textures/dx10.dds" />
    <texture name="odd" filename="textures/odd.dds" />
    <shader name="plain" vertex="shaders/lit.vert" fragment="shaders/plain.frag" />
    <shader name="broken" vertex="shaders/lit.vert" fragment="shaders/broken.frag" />
    <mesh name="cube" filename="meshes/cube.obj" />
    <mesh name="lost" filename="meshes/lost.obj" />
    <camera start="0" end="2" eye_x="0" eye_y="2" eye_z="5"
            look_x="0" look_y="0" look_z="0" up_x="0" up_y="1" up_z="0" />
    <group>
        <models>
            <model name="cube" shader="plain" texture="dx10" R="1" G="0.5" B="0.2" />
            <model name="cube" shader="broken" texture="odd" R="1" G="1" B="1" />
            <model name="lost" shader="plain" texture="" R="1" G="1" B="1" />
        </models>
    </group>
</scene>
"""


def dds_header(fourcc, width, height):
    """A DDS file's 128 bytes of magic and header: one level of width x height."""
    h = bytearray(128)
    h[0:4] = b"DDS "
    h[4:8] = (124).to_bytes(4, "little")
    h[12:16] = height.to_bytes(4, "little")
    h[16:20] = width.to_bytes(4, "little")
    h[28:32] = (1).to_bytes(4, "little")
    h[76:80] = (32).to_bytes(4, "little")
    h[80:84] = (4).to_bytes(4, "little")  # the four-character code is set
    h[84:88] = fourcc
    return bytes(h)


def make_broken_scene(folder):
    shutil.rmtree(folder, ignore_errors=True)
    for sub in ("textures", "shaders", "meshes", "Music"):
        (folder / sub).mkdir(parents=True)
    (folder / "broken.xml").write_text(BROKEN)
    (folder / "textures/dx10.dds").write_bytes(dds_header(b"DX10", 4, 4) + bytes(16))
    shutil.copy(ROOT / "tests/data/dds/dxt5_30x18_top.dds", folder / "textures/odd.dds")
    for f in ("shaders/lit.vert", "shaders/plain.frag", "meshes/cube.obj",
              "Music/evil-2005.ogg"):
        shutil.copy(ROOT / "demo" / f, folder / f)
    shutil.copy(ROOT / "tests/data/shaders/broken.frag", folder / "shaders/broken.frag")


def web_site(scene_dir, out, scene):
    env = dict(os.environ, KESTRINE_WEB_BUILD=str(WORK / "emscripten"))
    subprocess.run([ROOT / "scripts/web", scene_dir, out, scene], env=env, check=True,
                   stdout=subprocess.DEVNULL)


def play_natively(folder, scene, until_first_frame_time):
    """The native player's standard output and error on a scene: up to its first "ms/frame"
    line, or until it ends by itself."""
    env = dict(os.environ, SDL_AUDIODRIVER="dummy")
    p = subprocess.Popen([PLAYER, scene], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                         start_new_session=True)
    try:
        if not until_first_frame_time:
            out, err = p.communicate(timeout=DEADLINE)
            return out, err
        out = ""
        end = time.monotonic() + DEADLINE
        while "ms/frame" not in out:
            line = p.stdout.readline()
            if not line or time.monotonic() > end:
                raise AssertionError(f"the native player gave no frame-time line: {out}")
            out += line
        return out, ""
    finally:
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        p.communicate()


def up_to_frame_time(lines):
    cut = next((i for i, line in enumerate(lines) if line.endswith("ms/frame")), len(lines))
    return lines[:cut]


def without_driver_logs(lines):
    """Drops the compile and link logs, which are the GL driver's and differ between drivers:
    whatever follows a "Compiling shader" or "Linking program" line until the loader's next own
    line."""
    ours = ("Compiling shader : ", "Linking program", "shader carregado", "Loading OBJ file ")
    kept, in_log = [], False
    for line in lines:
        if line.startswith(ours):
            kept.append(line)
            in_log = line.startswith(("Compiling shader : ", "Linking program"))
        elif not in_log:
            kept.append(line)
    return kept


class WebPlayer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        WORK.mkdir(parents=True, exist_ok=True)
        make_broken_scene(WORK / "broken-scene")
        web_site(ROOT / "demo", WORK / "site/demo", "demo.xml")
        web_site(WORK / "broken-scene", WORK / "site/broken", "broken.xml")
        cls.server = Server(WORK / "site")

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def setUp(self):
        self.browser = Browser()
        self.addCleanup(self.browser.close)

    def start(self, page):
        b = self.browser
        b.open(self.server.url + page, *SIZE)
        self.assertEqual(b.wait_for("['ready', 'failed'].includes(window.kestrine?.state) && "
                                    "window.kestrine.state", "start button"), "ready")
        b.evaluate("document.getElementById('play').click()", gesture=True)

    def console(self, level):
        return [text for lv, text in self.browser.console if lv == level]

    def test_demo_plays_with_the_native_players_trace(self):
        self.start("demo/")
        self.browser.wait_for("window.kestrine.state === 'playing'", "playing state")
        end = time.monotonic() + DEADLINE
        while not any(t.endswith("ms/frame") for t in self.console("log")):
            self.assertLess(time.monotonic(), end, "no frame-time line in the console")
            time.sleep(0.05)
        native, _ = play_natively(ROOT / "demo", "demo.xml", True)
        self.assertEqual(without_driver_logs(up_to_frame_time(self.console("log"))),
                         without_driver_logs(up_to_frame_time(native.splitlines())))
        self.assertEqual(self.console("error"), [])
        # F enters full screen, a double click on the canvas leaves it.
        self.browser.press("f")
        self.browser.wait_for("!!document.fullscreenElement", "full screen")
        self.browser.double_click(SIZE[0] // 2, SIZE[1] // 2)
        self.browser.wait_for("!document.fullscreenElement", "window again")

    def test_held_frames_are_the_captures(self):
        captures = WORK / "captures"
        shutil.rmtree(captures, ignore_errors=True)
        for t in TIMES:
            capture(CAPTURE, ROOT / "demo", captures, t * 60, SIZE)
        # The demo without its pillars, at the last time.
        without = WORK / "without-pillars"
        shutil.rmtree(without, ignore_errors=True)
        shutil.copytree(ROOT / "demo", without)
        xml = (without / "demo.xml").read_text()
        start = xml.index('<model name="pillars"')
        (without / "demo.xml").write_text(xml[:start] + xml[xml.index("/>", start) + 2:])
        capture(CAPTURE, without, without, TIMES[-1] * 60, SIZE)

        web = {}
        for t in TIMES:
            self.browser.open(f"{self.server.url}demo/?t={t}&fps=60", *SIZE)
            self.assertEqual(self.browser.wait_for(
                "window.kestrine.state === 'held' && window.kestrine.frame", "held frame"),
                t * 60)
            width, height, web[t] = self.browser.canvas_rgb()
            self.assertEqual((width, height), SIZE)
            ok, how = same_picture(web[t], rgb(captures / f"frame_{t * 60:06d}.png"))
            print(f"t={t}: {how}")
            self.assertTrue(ok, f"t={t}: {how}")
        # The tolerance catches a frame one camera cut away, and a missing model.
        ok, how = same_picture(web[TIMES[1]], rgb(captures / f"frame_{TIMES[2] * 60:06d}.png"))
        print(f"t={TIMES[1]} against t={TIMES[2]}: {how}")
        self.assertFalse(ok, how)
        ok, how = same_picture(web[TIMES[2]], rgb(without / f"frame_{TIMES[2] * 60:06d}.png"))
        print(f"t={TIMES[2]} against the demo without its pillars: {how}")
        self.assertFalse(ok, how)
        self.assertEqual(self.console("error"), [])

    def test_broken_scene_says_what_the_native_player_says_and_plays(self):
        self.start("broken/")
        self.browser.wait_for("window.kestrine.state === 'ended'", "end card")
        out, err = play_natively(WORK / "broken-scene", "broken.xml", False)
        # The browser refuses the odd-sized texture, which the native player shows.
        odd = 'broken.xml:4: error: texture "odd": "textures/odd.dds" cannot be read as a ' \
              'texture, so its models are drawn without one'
        native = err.splitlines()
        native.insert(1, odd)
        self.assertEqual(self.console("error"), native)
        self.assertEqual(without_driver_logs(up_to_frame_time(self.console("log"))),
                         without_driver_logs(up_to_frame_time(out.splitlines())))
        self.assertTrue(any("textures/odd.dds: 30x18 is not a multiple of 4" in w
                            for w in self.console("warning")), self.console("warning"))
        # Replay plays the scene again from its start.
        self.browser.evaluate("document.getElementById('replay').click()", gesture=True)
        self.browser.wait_for("window.kestrine.state === 'playing'", "replay")
        self.browser.wait_for("window.kestrine.state === 'ended'", "second end card")

    def test_without_webgl_the_page_says_so(self):
        self.browser.close()
        self.browser = Browser("--disable-webgl")
        self.addCleanup(self.browser.close)
        self.browser.open(self.server.url + "demo/", *SIZE)
        self.browser.wait_for("window.kestrine?.state === 'failed'", "failure")
        self.assertIn("needs WebGL 2", self.browser.evaluate(
            "document.getElementById('why').textContent"))
        self.assertFalse(self.browser.evaluate("document.getElementById('message').hidden"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
