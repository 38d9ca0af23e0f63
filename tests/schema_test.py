#!/usr/bin/env python3
"""The scene schema against xmllint: the bundled demo and the README's scene validate; every
misspelt name and half-read number of the checker's table fails.

usage: schema_test.py SCHEMA DEMO_XML README_MD CASES_TSV"""
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
    schema, demo, readme, cases = sys.argv[1:5]
    readme_scene = re.search(r"```xml\n(.*?)```", pathlib.Path(readme).read_text(), re.S).group(1)
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        for name, text in [("the bundled demo", pathlib.Path(demo).read_text()),
                           ("the README's scene", readme_scene),
                           ("an empty scene", "<scene>\n</scene>\n")]:
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
        print(f"schema: the demo and the README's scene validate; {len(rows)} mistakes fail")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
