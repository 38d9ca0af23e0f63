#!/usr/bin/env python3
"""The player page as a phone has it: without S3TC, upright at 390x844 with touch; and a link
that starts at a time.

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
PHONE = (390, 844)
BOX = (390, 292)  # the demo's 1024x768 at the phone's width
# Hides the extension from the page, as on a phone's GPU, before the page's scripts run.
NO_S3TC = """for (const C of [WebGLRenderingContext, WebGL2RenderingContext]) {
    const get = C.prototype.getExtension, all = C.prototype.getSupportedExtensions;
    C.prototype.getExtension = function (name) {
        return name === "WEBGL_compressed_texture_s3tc" ? null : get.call(this, name); };
    C.prototype.getSupportedExtensions = function () {
        return all.call(this).filter(n => n !== "WEBGL_compressed_texture_s3tc"); };
}"""


def zip_demo(path, edit=lambda xml: xml):
    with zipfile.ZipFile(path, "w") as z:
        for f in sorted((ROOT / "demo").rglob("*")):
            if f.is_file():
                name = f.relative_to(ROOT / "demo").as_posix()
                data = f.read_bytes()
                z.writestr(name, edit(data.decode()).encode() if name == "demo.xml" else data)


class Phone(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # A page of its own: the other web tests write into the page's folder.
        shutil.rmtree(WORK, ignore_errors=True)
        shutil.copytree(PAGE, WORK / "page")
        zip_demo(WORK / "page/demo.zip")
        zip_demo(WORK / "page/nowindow.zip", lambda xml: xml.replace("<window ", "<!-- ", 1)
                 .replace('title="Kestrine demo" />', "-->", 1))
        cls.captures = WORK / "captures"
        k = round(T * 60)
        capture(CAPTURE, ROOT / "demo", cls.captures / "wide", k, (640, 360))
        capture(CAPTURE, ROOT / "demo", cls.captures / "box", k, BOX)
        cls.server = Server(WORK / "page")

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def setUp(self):
        self.b = Browser()
        self.addCleanup(self.b.close)

    def phone(self):
        self.b.page("Emulation.setDeviceMetricsOverride", width=PHONE[0], height=PHONE[1],
                    deviceScaleFactor=1, mobile=True)
        self.b.page("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)

    def state(self, *states):
        return self.b.wait_for(f"{list(states)}.includes(window.kestrine?.state) && "
                               "window.kestrine.state", " or ".join(states))

    def assert_frame(self, picture, which):
        ok, how = same_picture(picture, rgb(self.captures / which / f"frame_{round(T * 60):06d}.png"))
        self.assertTrue(ok, how)

    def test_without_s3tc_the_textures_are_decoded(self):
        self.b.page("Page.addScriptToEvaluateOnNewDocument", source=NO_S3TC)
        self.b.open(f"{self.server.url}?scene=demo.zip&t={T}&fps=60", 640, 360)
        self.assertEqual(self.state("held", "failed"), "held", self.b.console[-5:])
        self.assertFalse(self.b.evaluate("!!document.createElement('canvas')"
                                         ".getContext('webgl2').getExtension("
                                         "'WEBGL_compressed_texture_s3tc')"))
        self.assert_frame(self.b.canvas_rgb()[2], "wide")
        decoded = [t for _, t in self.b.console if "decoded to RGBA8" in t]
        self.assertEqual(len(decoded), 1, self.b.console)
        self.assertIn("1398096 bytes", decoded[0])

    def test_upright_phone_letterboxes_the_scene_unless_told_to_fill(self):
        self.phone()
        for query, size in ((f"scene=demo.zip&t={T}", BOX), ("scene=demo.zip&fit=fill", PHONE),
                            ("scene=nowindow.zip", PHONE)):
            self.b.page("Page.navigate", url=f"{self.server.url}?{query}")
            self.state("held", "ready")
            self.assertEqual(self.b.evaluate("['width', 'height'].map(k => document.getElementById('canvas')[k])"), list(size), query)
        shot = WORK / "phone.png"
        self.b.page("Page.navigate", url=f"{self.server.url}?scene=demo.zip&t={T}")
        self.state("held")
        self.b.screenshot(shot)
        page = rgb(shot)
        row = PHONE[0] * 3
        top = (PHONE[1] - BOX[1]) // 2
        black = page[:top * row] + page[(top + BOX[1]) * row:]
        self.assertEqual(black, bytes(len(black)))
        self.assert_frame(page[top * row:(top + BOX[1]) * row], "box")

    def tap(self):
        x, y = PHONE[0] // 2, PHONE[1] // 2
        self.b.page("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": x, "y": y}])
        self.b.page("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def test_taps_start_pause_and_play_double_tap_goes_full_screen(self):
        self.phone()
        self.b.page("Page.navigate", url=f"{self.server.url}?scene=demo.zip")
        self.state("ready")
        self.tap()
        self.state("playing")
        self.b.wait_for("window.kestrine.time > 0.5", "the scene playing")
        self.tap()
        self.state("paused")
        # Pausing settles the music's position once; from there the time holds.
        times = self.b.evaluate("""new Promise(done => {
            const times = [];
            const look = () => {
                times.push(window.kestrine.time);
                if (times.length < 12) requestAnimationFrame(look); else done(times);
            };
            look();
        })""")
        self.assertEqual(len(set(times[2:])), 1, times)
        self.tap()
        self.state("playing")
        self.tap()
        self.tap()
        self.b.wait_for("!!document.fullscreenElement", "full screen")
        self.assertEqual(self.b.evaluate("window.kestrine.state"), "playing")

    def test_embedded_page_shows_the_canvas_a_control_and_the_poster_until_a_frame(self):
        shutil.copy(ROOT / "docs/demo-23s.png", WORK / "page/poster.png")
        self.b.open(f"{self.server.url}?scene=demo.zip&embed=1&poster=poster.png", 640, 360)
        self.state("ready")
        shown = """[...document.querySelectorAll('body > :not(script)')]
            .filter(e => getComputedStyle(e).display !== 'none').map(e => e.id)"""
        self.assertEqual(self.b.evaluate(shown), ["canvas", "poster", "control"])
        self.b.wait_for("document.getElementById('poster').complete", "the poster")
        self.b.evaluate("document.getElementById('control').click()", gesture=True)
        self.state("playing")
        self.b.wait_for("document.getElementById('poster').hidden", "the poster gone")
        self.assertEqual(self.b.evaluate(shown), ["canvas", "control"])
        self.assertEqual(self.b.evaluate("document.getElementById('control').textContent"),
                         "Pause")

    def test_start_plays_from_that_time_with_the_music(self):
        self.b.open(f"{self.server.url}?scene=demo.zip&start=30", 640, 360)
        self.state("ready")
        self.b.evaluate("document.getElementById('play').click()", gesture=True)
        first = self.b.wait_for("window.kestrine.firstTime", "a first frame")
        self.assertTrue(30 <= first < 31, first)
        self.b.wait_for("window.kestrine.music.currentTime > 30.5", "the music playing")
        seen = self.b.evaluate("""new Promise(done => {
            const seen = [];
            const look = now => {
                seen.push([now, window.kestrine.time, window.kestrine.music.currentTime]);
                if (seen.length < 20) requestAnimationFrame(look); else done(seen);
            };
            requestAnimationFrame(look);
        })""")
        frame = max(b[0] - a[0] for a, b in zip(seen, seen[1:])) / 1000
        for _, time, music in seen[1:]:
            self.assertLessEqual(abs(time - music), frame + 0.002, seen)
        # Past the end, the end card.
        self.b.open(f"{self.server.url}?scene=demo.zip&start=100", 640, 360)
        self.state("ready")
        self.b.evaluate("document.getElementById('play').click()", gesture=True)
        self.state("ended")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
