#!/usr/bin/env python3
"""The scene schema against xmllint: the bundled demo and the example scene of each page given
(its first XML block) validate; every misspelt name and half-read number of the checker's table
fails.

usage: schema_test.py SCHEMA DEMO_XML CASES_TSV PAGE.md..."""
import pathlib
import re
import subprocess
import sys
import tempfile


def validates(schema, text, folder):
    path = pathlib.Path(folder) / "scene.xml"
    path.write_text(text)
    run = subprocess.run(["xmllint", "--noout", "--schema", schema, str(path)],
                         capture_output=True, text=True)
    return run.returncode == 0, run.stderr


def main():
    schema, demo, cases, *pages = sys.argv[1:]
    scenes = [("the bundled demo", pathlib.Path(demo).read_text()),
              ("an empty scene", "<scene>\n</scene>\n")]
    problems = []
    for page in pages:
        found = re.search(r"```xml\n(.*?)```", pathlib.Path(page).read_text(), re.S)
        if found:
            scenes.append((f"the scene of {page}", found.group(1)))
        else:
            problems.append(f"{page} has no XML example")
    with tempfile.TemporaryDirectory() as folder:
        for name, text in scenes:
            ok, why = validates(schema, text, folder)
            if not ok:
                problems.append(f"{name} does not validate:\n{why}")
        rows = pathlib.Path(cases).read_text().splitlines()[1:]
        for row in rows:
            fragment = row.split("\t")[0]
            ok, _ = validates(schema, f"<scene>\n{fragment}\n</scene>\n", folder)
            if ok:
                problems.append(f"validates, but the player would not read it as written: {fragment}")
    for p in problems:
        print(p)
    if not problems:
        print(f"schema: the demo and {len(pages)} pages' scenes validate; {len(rows)} mistakes fail")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
