#!/usr/bin/env python3
"""The player page as a phone has it: without S3TC, upright at 390x844 with touch; an
embedded link that starts at a time.

usage: phone_test.py SOURCE_ROOT PAGE_DIR WORK_DIR CAPTURE"""
import pathlib
import shutil
import sys
import unittest
import zipfile

sys.dont_write_bytecode = True  # nothing written into the source tree
from browser import Browser, Server  # noqa: E402
from pictures import capture, rgb, same_picture  # noqa: E402

ROOT, PAGE, WORK, CAPTURE = (pathlib.Path(a).resolve() for a in sys.argv[1:5])
T = 20.5
PHONE, BOX = (390, 844), (390, 292)  # BOX: the demo's 1024x768 at the phone's width
# Hides the extension, as on most phones' GPUs, before the page's own scripts run.
NO_S3TC = """for (const C of [WebGLRenderingContext, WebGL2RenderingContext]) {
    const get = C.prototype.getExtension, all = C.prototype.getSupportedExtensions;
    const s3tc = "WEBGL_compressed_texture_s3tc";
    C.prototype.getExtension = function (n) { return n === s3tc ? null : get.call(this, n); };
    C.prototype.getSupportedExtensions = function () {
        return all.call(this).filter(n => n !== s3tc); };
}"""
# Scene time and music at each of 20 frames, with the frame's time stamp.
SAMPLES = """new Promise(done => {
    const seen = [];
    const look = now => {
        seen.push([now, window.kestrine.time, window.kestrine.music.currentTime]);
        if (seen.length < 20) requestAnimationFrame(look); else done(seen);
    };
    requestAnimationFrame(look);
})"""


def zip_demo(path, edit=lambda xml: xml):
    with zipfile.ZipFile(path, "w") as z:
        for f in sorted((ROOT / "demo").rglob("*")):
            name = f.relative_to(ROOT / "demo").as_posix()
            if f.is_file():
                z.writestr(name, edit(f.read_text()) if name == "demo.xml" else f.read_bytes())


class Phone(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # A page of its own: the other web tests write into the page's folder.
        shutil.rmtree(WORK, ignore_errors=True)
        (WORK / "page").mkdir(parents=True)
        for f in ("index.html", "kestrine.js", "kestrine.wasm"):
            shutil.copy(PAGE / f, WORK / "page")
        zip_demo(WORK / "page/demo.zip")
        zip_demo(WORK / "page/nowindow.zip", lambda xml: xml.replace("<window ", "<!-- ", 1)
                 .replace('title="Kestrine demo" />', "-->", 1))
        shutil.copy(ROOT / "docs/demo-23s.png", WORK / "page/poster.png")
        cls.frames = {}
        for size in ((640, 360), BOX):
            capture(CAPTURE, ROOT / "demo", WORK / "captures", round(T * 60), size)
            cls.frames[size] = rgb(WORK / f"captures/frame_{round(T * 60):06d}.png")
        cls.server = Server(WORK / "page")

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def setUp(self):
        self.b = Browser()
        self.addCleanup(self.b.close)

    def go(self, query, phone=False):
        if phone:
            self.b.page("Emulation.setDeviceMetricsOverride", width=PHONE[0], height=PHONE[1],
                        deviceScaleFactor=1, mobile=True)
            self.b.page("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
            self.b.page("Page.navigate", url=f"{self.server.url}?{query}")
        else:
            self.b.open(f"{self.server.url}?{query}", 640, 360)

    def state(self, *states):
        return self.b.wait_for(f"{list(states)}.includes(window.kestrine?.state) && "
                               "window.kestrine.state", " or ".join(states))

    def assert_frame(self, picture, size):
        ok, how = same_picture(picture, self.frames[size])
        self.assertTrue(ok, how)

    def test_without_s3tc_the_textures_are_decoded(self):
        self.b.page("Page.addScriptToEvaluateOnNewDocument", source=NO_S3TC)
        self.go(f"scene=demo.zip&t={T}&fps=60")
        self.assertEqual(self.state("held", "failed"), "held", self.b.console[-5:])
        self.assert_frame(self.b.canvas_rgb()[2], (640, 360))
        decoded = [t for _, t in self.b.console if "decoded to RGBA8" in t]
        self.assertEqual(len(decoded), 1, self.b.console)
        self.assertIn("1398096 bytes", decoded[0])

    def test_upright_phone_letterboxes_the_scene_unless_told_to_fill(self):
        for query, size in (("scene=demo.zip&fit=fill", PHONE), ("scene=nowindow.zip", PHONE),
                            (f"scene=demo.zip&t={T}", BOX)):
            self.go(query, phone=True)
            self.state("held", "ready")
            self.assertEqual(self.b.evaluate("[canvas.width, canvas.height]"), list(size), query)
        self.b.screenshot(WORK / "phone.png")
        page, row, top = rgb(WORK / "phone.png"), PHONE[0] * 3, (PHONE[1] - BOX[1]) // 2
        black = page[:top * row] + page[(top + BOX[1]) * row:]
        self.assertEqual(black, bytes(len(black)))
        self.assert_frame(page[top * row:(top + BOX[1]) * row], BOX)

    def tap(self, taps=1):
        touch = {"x": PHONE[0] // 2, "y": PHONE[1] // 2}
        self.b.page_at_once(*[("Input.dispatchTouchEvent", {"type": t, "touchPoints": p})
                              for _ in range(taps)
                              for t, p in (("touchStart", [touch]), ("touchEnd", []))])

    def test_taps_start_pause_and_play_double_tap_goes_full_screen(self):
        self.go("scene=demo.zip", phone=True)
        self.state("ready")
        self.tap()
        self.state("playing")
        self.b.wait_for("window.kestrine.time > 0.5", "the scene playing")
        self.tap()
        self.state("paused")
        # Pausing settles the music's position once; from there the time holds.
        times = [time for _, time, _ in self.b.evaluate(SAMPLES)]
        self.assertEqual(len(set(times[2:])), 1, times)
        self.tap()
        self.state("playing")
        self.tap(2)
        self.b.wait_for("!!document.fullscreenElement", "full screen")
        self.assertEqual(self.b.evaluate("window.kestrine.state"), "playing")

    def start(self, query):
        self.go(f"scene=demo.zip&{query}")
        self.state("ready")
        self.b.evaluate("document.getElementById('control').click()", gesture=True)

    def test_embedded_link_starts_at_its_time_with_the_music_after_its_poster(self):
        self.start("embed=1&start=100")
        self.state("ended")
        self.start("embed=1&start=30&poster=poster.png")
        first = self.b.wait_for("window.kestrine.firstTime", "a first frame")
        self.assertTrue(30 <= first < 31, first)
        self.b.wait_for("window.kestrine.music.currentTime > 30.5", "the music playing")
        seen = self.b.evaluate(SAMPLES)
        frame = max(b[0] - a[0] for a, b in zip(seen, seen[1:])) / 1000
        for _, time, music in seen[1:]:
            self.assertLessEqual(abs(time - music), frame + 0.002, seen)
        # The canvas and the control only; the poster is gone with the first frame.
        self.assertEqual(self.b.evaluate("""[...document.querySelectorAll('body > :not(script)')]
            .filter(e => getComputedStyle(e).display !== 'none').map(e => e.id)"""),
                         ["canvas", "control"])
        self.assertEqual(self.b.evaluate("control.textContent"), "Pause")

if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
