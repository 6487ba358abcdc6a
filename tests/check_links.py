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


def blank(code):
    return re.sub(r"[^\n]", " ", code.group())


def prose(text):
    """The text with fenced blocks and code spans blanked out, each line where it was."""
    return CODE_SPAN.sub(blank, FENCE.sub(blank, text))


def slug(heading):
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading).strip().lower()
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def anchors(path):
    """Every heading's anchor, a repeated one numbered as GitHub numbers it."""
    seen = {}
    for heading in HEADING.findall(FENCE.sub("", path.read_text(encoding="utf-8"))):
        base = slug(heading)
        count = seen.get(base, 0)
        seen[base] = count + 1
        yield base if count == 0 else f"{base}-{count}"


def links(page):
    """Each link of the page outside code, with its line."""
    hidden = prose(page.read_text(encoding="utf-8"))
    for match in LINK.finditer(hidden):
        yield hidden.count("\n", 0, match.start()) + 1, match.group(1)


def fault(page, target, root):
    """Why a relative link reaches nothing, or None where it reaches its file and heading."""
    path, _, anchor = target.partition("#")
    file = (page.parent / unquote(path)).resolve() if path else page
    if root not in file.parents and file != root:
        return "outside the repository"
    if not file.exists():
        return "no such file"
    if anchor and file.suffix == ".md" and anchor not in set(anchors(file)):
        return f"no heading with the anchor #{anchor}"
    return None


def main():
    wrong = [f"slug of {heading!r} is {slug(heading)!r}, not {want!r}" for heading, want in SLUGS
             if slug(heading) != want]
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent).resolve()
    pages = [root / "README.md", *sorted((root / "docs").glob("*.md"))]
    checked = 0
    for page in pages:
        for line, target in links(page):
            if EXTERNAL.match(target):
                continue
            checked += 1
            why = fault(page, target, root)
            if why:
                wrong.append(f"{page.relative_to(root)}:{line}: {target}: {why}")
    for line in wrong:
        print(line)
    print(f"links: {checked} relative links in {len(pages)} pages, {len(wrong)} broken")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
