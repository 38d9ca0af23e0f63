#!/usr/bin/env python3
"""scripts/web's posters and single files: the held frame through the page, against
kestrine-capture.

usage: script_test.py SOURCE_ROOT WORK_DIR CAPTURE"""
import os
import pathlib
import shutil
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
from browser import Browser  # noqa: E402
from pictures import capture, rgb, same_picture  # noqa: E402

ROOT, WORK, CAPTURE = (pathlib.Path(a).resolve() for a in sys.argv[1:4])
T = 20.5


def web(*args):
    env = dict(os.environ, KESTRINE_WEB_BUILD=str(WORK.parent / "emscripten"))
    return subprocess.run([ROOT / "scripts/web", *map(str, args)], env=env, capture_output=True,
                          text=True)


class Script(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)
        cls.frame = {}
        for size in ((1024, 768), (640, 360)):
            capture(CAPTURE, ROOT / "demo", WORK / "captures", round(T * 60), size)
            cls.frame[size] = rgb(WORK / f"captures/frame_{round(T * 60):06d}.png")

    def test_posters_are_the_captures_frame_at_the_scenes_size(self):
        for run in range(5):
            with self.subTest(run=run):
                r = web("--poster", T, ROOT / "demo", WORK / f"poster-{run}.png")
                self.assertEqual(r.returncode, 0, r.stderr)
                ok, how = same_picture(rgb(WORK / f"poster-{run}.png"), self.frame[(1024, 768)])
                self.assertTrue(ok, how)
        # A scene the player refuses makes no poster of the page's message.
        broken = WORK / "broken"
        shutil.copytree(ROOT / "demo", broken)
        (broken / "demo.xml").write_text("<scene><group>\n")
        r = web("--poster", T, broken, WORK / "broken.png")
        self.assertEqual(r.returncode, 1)
        self.assertIn(f"{broken}/demo.xml: no poster: demo.xml:1: error: the element <group>",
                      r.stderr)
        self.assertFalse((WORK / "broken.png").exists())

    def test_single_file_plays_from_file_url_and_refuses_large_scenes(self):
        r = web("--single", ROOT / "demo", WORK / "demo.html")
        self.assertEqual(r.returncode, 0, r.stderr)
        b = Browser()
        self.addCleanup(b.close)
        b.open(f"file://{WORK}/demo.html?t={T}&fps=60", 640, 360)
        self.assertEqual(b.wait_for("['held', 'failed'].includes(window.kestrine?.state) && "
                                    "window.kestrine.state", "held frame"), "held", b.console)
        ok, how = same_picture(b.canvas_rgb()[2], self.frame[(640, 360)])
        self.assertTrue(ok, how)
        # One byte past the limit, in a file that takes no room on disk.
        big = WORK / "big"
        shutil.copytree(ROOT / "demo", big)
        size = sum(f.stat().st_size for f in big.rglob("*") if f.is_file())
        with open(big / "filler.bin", "wb") as f:
            f.truncate(15_000_001 - size)
        r = web("--single", big, WORK / "big.html")
        self.assertEqual(r.returncode, 1)
        self.assertIn(f"{big} holds 15.0 MB, past the 15 MB a single file may hold", r.stderr)
        self.assertFalse((WORK / "big.html").exists())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
