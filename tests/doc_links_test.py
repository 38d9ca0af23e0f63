#!/usr/bin/env python3
"""Every relative link and picture in README.md and docs/*.md points at a file that exists, and
every #anchor at a heading of the page it names (as GitHub makes them). Links to other sites
are not followed. The checker is first run on pages made to break it, so that a pattern that
stopped matching cannot pass by finding nothing.

usage: doc_links_test.py SOURCE_DIR"""
import pathlib
import re
import sys
import tempfile
import urllib.parse

FENCE = re.compile(r"^```.*?^```[^\n]*$", re.M | re.S)
CODE = re.compile(r"`+[^`\n]*`+")
LINK = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)|(?:src|href)=\"([^\"]+)\"")
SCHEME = re.compile(r"^[a-z][a-z0-9+.-]*:", re.I)


def slug(heading):
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading.strip().lower())
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def anchors(page):
    seen, out = {}, set()
    for line in FENCE.sub("", page.read_text(encoding="utf-8")).splitlines():
        heading = re.match(r"#{1,6}\s+(.*?)\s*#*\s*$", line)
        if heading:
            base = slug(heading.group(1))
            n = seen.get(base, 0)
            seen[base] = n + 1
            out.add(base if n == 0 else f"{base}-{n}")
    return out


def problems(pages):
    """'page: what is wrong' for each broken link, and how many links were looked at."""
    found, links = [], 0
    for page in pages:
        text = CODE.sub("", FENCE.sub("", page.read_text(encoding="utf-8")))
        for match in LINK.finditer(text):
            target = match.group(1) or match.group(2)
            if SCHEME.match(target):
                continue
            links += 1
            path, _, anchor = urllib.parse.unquote(target).partition("#")
            where = (page.parent / path).resolve() if path else page
            if path.startswith("/"):
                found.append(f"{page}: {target} is absolute; links are relative to the page")
            elif not where.exists():
                found.append(f"{page}: {target}: {where} does not exist")
            elif anchor and where.suffix == ".md" and anchor not in anchors(where):
                found.append(f"{page}: {target}: {where.name} has no heading #{anchor}")
    return found, links


# Pages that each break the checker one way, and how many problems it must see in them.
CASES = [
    ("[a](there.md) ![p](pic.png) [b](there.md#a-heading) [c](#top)", 0),
    ("[a](missing.md)", 1),
    ("![p](missing.png)", 1),
    ('<img src="missing.png">', 1),
    ("[b](there.md#no-such-heading)", 1),
    ("[c](#nowhere)", 1),
    ("[d](/abs.md)", 1),
    ("[e](https://example.org/missing.md) [f](mailto:a@b.c)", 0),
    ("```sh\n[g](missing.md)\n```\n`[h](missing.md)`", 0),
    ("[i](dir%20name/x.md)", 1),
]


def self_test():
    wrong = []
    with tempfile.TemporaryDirectory() as folder:
        root = pathlib.Path(folder)
        (root / "there.md").write_text("# A heading\n")
        (root / "pic.png").write_bytes(b"")
        for text, expected in CASES:
            page = root / "page.md"
            page.write_text(f"# Top\n\n{text}\n")
            got, _ = problems([page])
            if len(got) != expected:
                wrong.append(f"the checker saw {len(got)} problems, not {expected}, in {text!r}: {got}")
    return wrong


def main():
    root = pathlib.Path(sys.argv[1])
    wrong = self_test()
    pages = [root / "README.md"] + sorted((root / "docs").glob("*.md"))
    found, links = problems(pages)
    wrong += found
    if links < 20:
        wrong.append(f"only {links} relative links in {len(pages)} pages: is the pattern still matching?")
    for w in wrong:
        print(w)
    if not wrong:
        print(f"doc_links: {links} relative links and pictures in {len(pages)} pages all resolve")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
