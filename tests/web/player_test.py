#!/usr/bin/env python3
"""The player page (scripts/web --player) in headless Chromium: the demo given as ?scene=, a
picked folder, a picked zip and a dropped folder, against kestrine-capture; what it refuses; the
clock that waits for the music; screenshots from the command line.

usage: player_test.py SOURCE_ROOT PAGE_DIR WORK_DIR CAPTURE"""
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.dont_write_bytecode = True  # nothing written into the source tree
from browser import DEADLINE, Browser, Server  # noqa: E402
from pictures import capture, rgb, same_picture  # noqa: E402

ROOT, PAGE, WORK, CAPTURE = (pathlib.Path(a).resolve() for a in sys.argv[1:5])
SIZE = (640, 360)
LIMIT = 250_000_000  # bytes unpacked, the page's
# Held frames, each given another way: whole seconds, and one between two.
HELD = {"scene": 20.5, "folder": 23, "zip": 6, "drop": 35}


def zip_of(path, entries):
    """A zip of (name, bytes) pairs, compressed."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(zipfile.ZipInfo(name), data, zipfile.ZIP_DEFLATED)


def demo_entries(top):
    for f in sorted((ROOT / "demo").rglob("*")):
        if f.is_file():
            yield top + f.relative_to(ROOT / "demo").as_posix(), f.read_bytes()


def make_zips():
    """The demo zipped with its folder and without; and what the page is to refuse."""
    zip_of(PAGE / "demo.zip", demo_entries("demo/"))
    zip_of(WORK / "demo-flat.zip", demo_entries(""))
    whole = (PAGE / "demo.zip").read_bytes()
    (PAGE / "cut.zip").write_bytes(whole[:len(whole) // 2])
    (PAGE / "text.zip").write_text("<scene></scene>\n")
    scene = (ROOT / "demo/demo.xml").read_bytes()
    zip_of(PAGE / "up.zip", [("demo.xml", scene), ("../x", b"outside")])
    zip_of(PAGE / "absolute.zip", [("demo.xml", scene), ("/etc/x", b"outside")])
    zip_of(PAGE / "noxml.zip", [("scene/readme.txt", b"no scene")])
    zip_of(PAGE / "twoxml.zip", [("a.xml", scene), ("b.xml", scene)])
    # Zeros that squeeze into a few hundred kilobytes.
    with zipfile.ZipFile(PAGE / "big.zip", "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("demo.xml", scene)
        with z.open("zeros.bin", "w", force_zip64=True) as f:
            chunk = bytes(1 << 20)
            for _ in range(LIMIT // len(chunk) + 1):
                f.write(chunk)


# What each bad input makes the page say.
REFUSED = {
    "nothere.zip": "nothere.zip could not be downloaded: HTTP 404",
    "cut.zip": "cut.zip is cut short or damaged",
    "text.zip": "text.zip is not a zip file.",
    "up.zip": 'up.zip: the entry "../x" would be written outside the scene\'s folder',
    "absolute.zip": 'absolute.zip: the entry "/etc/x" would be written outside the scene\'s folder',
    "noxml.zip": "noxml.zip has no .xml scene file in its top folder.",
    "twoxml.zip": "twoxml.zip has 2 .xml files in its top folder (a.xml, b.xml) and no demo.xml",
    "big.zip": "big.zip unpacks to 251 MB, past this page's limit of 250 MB, so nothing was "
               "unpacked.",
}


class PlayerPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        WORK.mkdir(parents=True, exist_ok=True)
        make_zips()
        cls.captures = WORK / "captures"
        shutil.rmtree(cls.captures, ignore_errors=True)
        for t in HELD.values():
            capture(CAPTURE, ROOT / "demo", cls.captures, round(t * 60), SIZE)
        cls.server = Server(PAGE)

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def setUp(self):
        self.browser = Browser()
        self.addCleanup(self.browser.close)

    def state(self, *states):
        return self.browser.wait_for(f"{list(states)}.includes(window.kestrine?.state) && "
                                     "window.kestrine.state", " or ".join(states))

    def assert_capture(self, picture, t):
        ok, how = same_picture(picture, rgb(self.captures / f"frame_{round(t * 60):06d}.png"))
        print(f"t={t}: {how}")
        self.assertTrue(ok, f"t={t}: {how}")

    def assert_held(self, t):
        self.assertEqual(self.state("held", "failed"), "held", self.browser.console[-10:])
        self.assertEqual(self.browser.evaluate("window.kestrine.frame"), round(t * 60))
        width, height, picture = self.browser.canvas_rgb()
        self.assertEqual((width, height), SIZE)
        self.assert_capture(picture, t)

    def test_held_frames_of_each_way_in_are_the_captures(self):
        b = self.browser
        b.open(f"{self.server.url}?scene=demo.zip&t={HELD['scene']}&fps=60", *SIZE)
        self.assert_held(HELD["scene"])
        for way, give in (("folder", lambda: b.set_files("#folder-input", [ROOT / "demo"])),
                          ("zip", lambda: b.set_files("#zip-input", [WORK / "demo-flat.zip"])),
                          ("drop", lambda: b.drop([ROOT / "demo"], *(s // 2 for s in SIZE)))):
            b.open(f"{self.server.url}?t={HELD[way]}", *SIZE)
            self.state("choosing")
            give()
            self.assert_held(HELD[way])
        self.assertEqual(b.uncaught, [])

    def test_a_scene_file_beginning_with_a_dash_plays(self):
        # The player reads it as a file, not as an option.
        zip_of(PAGE / "dash.zip", (("-intro.xml" if n == "demo.xml" else n, data)
                                   for n, data in demo_entries("")))
        self.browser.open(f"{self.server.url}?scene=dash.zip&file=-intro.xml&t={HELD['scene']}"
                          "&fps=60", *SIZE)
        self.assert_held(HELD["scene"])

    def test_bad_input_is_refused_in_words_with_nothing_written(self):
        b = self.browser
        for name, words in REFUSED.items():
            b.open(f"{self.server.url}?scene={name}", *SIZE)
            self.assertEqual(self.state("failed", "ready"), "failed", name)
            self.assertIn(words, b.evaluate("document.getElementById('why').textContent"))
            self.assertFalse(b.evaluate("document.getElementById('message').hidden"))
            # The player is there, and nothing was unpacked into its file system.
            b.wait_for("typeof window.Module?.FS?.analyzePath === 'function'",
                       "the player's file system")
            self.assertEqual(b.evaluate("['/x', '/etc/x', '/scene'].filter(p => "
                                        "Module.FS.analyzePath(p).exists)"), [], name)
        self.assertEqual(b.uncaught, [])

    def test_the_clock_waits_for_late_music_then_follows_it(self):
        b = self.browser
        b.open(f"{self.server.url}?scene=demo.zip", *SIZE)
        self.assertEqual(self.state("ready", "failed"), "ready")
        # The music starts only when the test says so.
        b.evaluate("""(() => {
            const play = HTMLMediaElement.prototype.play;
            HTMLMediaElement.prototype.play = function () {
                return new Promise((resolve, reject) => {
                    window.startMusic = () => play.call(this).then(resolve, reject);
                });
            };
        })()""")
        b.evaluate("document.getElementById('play').click()", gesture=True)
        self.state("playing")
        # Frames go by; the scene stays at 0 and the music has not started.
        sampled = """new Promise(done => {
            const seen = [];
            const look = now => {
                seen.push([now, window.kestrine.time, window.kestrine.music.currentTime]);
                if (seen.length < 30) requestAnimationFrame(look); else done(seen);
            };
            requestAnimationFrame(look);
        })"""
        waiting = b.evaluate(sampled)
        self.assertEqual({time for _, time, _ in waiting}, {0})
        self.assertTrue(b.evaluate("window.kestrine.music.paused"))
        b.evaluate("window.startMusic()", gesture=True)
        b.wait_for("window.kestrine.music.currentTime > 1", "the music playing")
        following = b.evaluate(sampled)
        apart = max(abs(time - audio) for _, time, audio in following[1:])
        frames = sorted(b - a for (a, *_), (b, *_) in zip(following, following[1:]))
        print(f"scene time and music at most {apart * 1000:.1f} ms apart; frames "
              f"{frames[len(frames) // 2]:.1f} ms (median), {frames[-1]:.1f} ms at most")
        # The page sets its time as its frame starts and the music is read after that frame's
        # drawing, which may take longer than the frame before it: either frame bounds the gap.
        stamps = [now for now, *_ in following] + [following[-1][0]]
        for i in range(1, len(following)):
            _, time, audio = following[i]
            frame = max(stamps[i] - stamps[i - 1], stamps[i + 1] - stamps[i]) / 1000
            self.assertLessEqual(abs(time - audio), frame + 0.002, following)
        times = [time for _, time, _ in following]
        self.assertEqual(times, sorted(times))
        self.assertGreater(times[-1], times[0])
        self.assertEqual(b.uncaught, [])

    def test_command_line_screenshot_shows_the_held_frame(self):
        """The web guide's screenshot command, ten times, two at once."""
        t = HELD["scene"]
        url = f"{self.server.url}?scene=demo.zip&t={t}&fps=60"
        shots = pathlib.Path(tempfile.mkdtemp(prefix="kestrine-shots-", dir=WORK))
        for pair in range(5):
            runs = []
            try:
                for i in (2 * pair, 2 * pair + 1):
                    runs.append(subprocess.Popen(
                        ["chromium", "--headless=new", "--no-sandbox", "--use-angle=swiftshader",
                         "--enable-unsafe-swiftshader", "--window-size=%d,%d" % SIZE,
                         f"--user-data-dir={shots}/profile-{i}", f"--screenshot={shots}/{i}.png",
                         url], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL, start_new_session=True))
                for run in runs:
                    run.wait(timeout=DEADLINE)
            finally:
                for run in runs:
                    try:
                        os.killpg(run.pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                    run.wait()
        for i in range(10):
            with self.subTest(run=i):
                self.assert_capture(rgb(shots / f"{i}.png"), t)
        shutil.rmtree(shots)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
