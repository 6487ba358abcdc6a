#!/usr/bin/python3
"""Checks that every relative link in README.md and docs/*.md reaches a file or
folder of the repository and that each #anchor into a Markdown file names one
of its headings, as GitHub writes a heading's anchor.

Usage: check_links.py [ROOT]   (the repository's root by default)
"""
import re
import sys
from pathlib import Path
from urllib.parse import unquote

FENCE = re.compile(r"^```.*?^```", re.M | re.S)
CODE_SPAN = re.compile(r"`[^`\n]*`")
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
HEADING = re.compile(r"^#{1,6}\s+(.+?)\s*#*\s*$", re.M)
EXTERNAL = re.compile(r"^[a-z][a-z0-9+.-]*:", re.I)

# GitHub's anchors, as a reader finds them in the page: the rule's subtle cases.
SLUGS = [
    ("What `scripts/test` runs", "what-scriptstest-runs"),
    ("The host's floating-point mode", "the-hosts-floating-point-mode"),
    ("Patching it as a musician does: inputs that move", "patching-it-as-a-musician-does-inputs-that-move"),
    ("tessel-render: takes and charts", "tessel-render-takes-and-charts"),
    ("Module.sep under Wine", "modulesep-under-wine"),
    ("A [linked](x.md) heading", "a-linked-heading"),
]


def prose(text):
    """The text a reader sees as prose: no fenced blocks, no code spans."""
    return CODE_SPAN.sub("", FENCE.sub("", text))


def slug(heading):
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading).replace("`", "").strip().lower()
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def anchors(path):
    """Every heading's anchor, a repeated one numbered as GitHub numbers it."""
    seen = {}
    for heading in HEADING.findall(FENCE.sub("", path.read_text(encoding="utf-8"))):
        base = slug(heading)
        count = seen.get(base, 0)
        seen[base] = count + 1
        yield base if count == 0 else f"{base}-{count}"


def broken_links(page, root):
    """Each link of the page that reaches nothing, as 'page:line: link: why'."""
    text = page.read_text(encoding="utf-8")
    hidden = prose(text)
    for match in LINK.finditer(hidden):
        target = match.group(1)
        if EXTERNAL.match(target):
            continue
        where = f"{page.relative_to(root)}:{hidden.count(chr(10), 0, match.start()) + 1}: {target}"
        path, _, anchor = target.partition("#")
        file = (page.parent / unquote(path)).resolve() if path else page
        if not file.exists():
            yield f"{where}: no such file"
        elif root.resolve() not in file.parents and file != root.resolve():
            yield f"{where}: outside the repository"
        elif anchor and file.suffix == ".md" and anchor not in set(anchors(file)):
            yield f"{where}: no heading with the anchor #{anchor}"


def main():
    wrong = [f"slug of {heading!r} is {slug(heading)!r}, not {want!r}" for heading, want in SLUGS
             if slug(heading) != want]
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
    pages = [root / "README.md", *sorted((root / "docs").glob("*.md"))]
    links = sum(len(LINK.findall(prose(page.read_text(encoding="utf-8")))) for page in pages)
    for page in pages:
        wrong += broken_links(page, root)
    for line in wrong:
        print(line)
    print(f"links: {links} in {len(pages)} pages, {len(wrong)} broken")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
