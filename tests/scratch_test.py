#!/usr/bin/env python3
"""Every test of a build folder has a scratch folder of its own inside it: TEST_TMPDIR (gtest's
TempDir()) and TMPDIR (Python's tempfile, mktemp) name the same existing folder under
BUILD_DIR/tmp/, so that two build folders running their tests at once share none. This test's
own environment shows that ctest applies them.

usage: scratch_test.py CTEST BUILD_DIR"""
import json
import os
import subprocess
import sys
import tempfile


def problems(tests, build):
    found = []
    for t in tests:
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        env = dict(e.split("=", 1) for e in props.get("ENVIRONMENT", []))
        scratch = env.get("TEST_TMPDIR", "")
        tmpdir = [m for m in props.get("ENVIRONMENT_MODIFICATION", []) if m.startswith("TMPDIR=")]
        if not scratch.startswith(build + "/tmp/") or not os.path.isdir(scratch):
            found.append(f"{t['name']}: TEST_TMPDIR is {scratch or 'not set'}")
        elif tmpdir != [f"TMPDIR=set:{scratch}"]:
            found.append(f"{t['name']}: TMPDIR is {tmpdir or 'not set'}, not {scratch}")
    return found


def main():
    ctest, build = sys.argv[1], os.path.realpath(sys.argv[2])
    listing = subprocess.run([ctest, "--show-only=json-v1"], cwd=build, capture_output=True,
                             text=True, check=True)
    tests = json.loads(listing.stdout)["tests"]
    found = problems(tests, build)
    mine = os.path.join(build, "tmp", "scratch")
    if os.environ.get("TEST_TMPDIR") != mine or tempfile.gettempdir() != mine:
        found.append(f"this test runs with TEST_TMPDIR={os.environ.get('TEST_TMPDIR')} and "
                     f"TMPDIR={tempfile.gettempdir()}, not {mine}")
    # The check must catch a test without its folder.
    if not problems([{"name": "planted", "properties": []}], build):
        found.append("the check missed a test without a scratch folder")
    for p in found:
        print(p)
    if not found:
        print(f"scratch: each of {len(tests)} tests has its own folder under {build}/tmp")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
