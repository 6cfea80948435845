#!/usr/bin/env python3
"""Checks the links between the user documents: every `[text](#anchor)` and `[text](file.md#anchor)` in the
given Markdown files must lead to a heading that exists, with anchors formed as GitHub forms them.
    docs_links.py FILE.md...
Prints FILE:LINE for each broken link and exits 1 when there is one."""
import os
import re
import sys

LINK = re.compile(r"\]\(([^()\s]*)\)")
FENCE = re.compile(r"^(`{3,}|~{3,})")


def slug(heading):
    text = re.sub(r"`", "", heading.strip().lower())
    text = "".join(c for c in text if c.isalnum() or c in " -_")
    return text.replace(" ", "-")


def lines_outside_fences(path):
    """(line number, text) of the lines that are not inside a fenced block."""
    fence = None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = FENCE.match(line)
            if fence is None and m:
                fence = m.group(1)
                continue
            if fence is not None:
                if line.strip() and set(line.strip()) == {fence[0]} and len(line.strip()) >= len(fence):
                    fence = None
                continue
            yield number, line


def anchors(path):
    found, counts = set(), {}
    for _, line in lines_outside_fences(path):
        m = re.match(r"^#{1,6} (.*)$", line)
        if not m:
            continue
        base = slug(m.group(1))
        n = counts.get(base, 0)
        counts[base] = n + 1
        found.add(base if n == 0 else f"{base}-{n}")
    return found


def main(paths):
    cache = {}
    broken = 0
    for path in paths:
        for number, line in lines_outside_fences(path):
            for target in LINK.findall(line):
                if re.match(r"^[a-z]+:", target):
                    continue
                file_part, _, anchor = target.partition("#")
                linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) if file_part else path
                if not os.path.exists(linked):
                    print(f"{path}:{number}: no file {file_part}")
                    broken += 1
                    continue
                if not anchor or not linked.endswith(".md"):
                    continue
                if linked not in cache:
                    cache[linked] = anchors(linked)
                if anchor not in cache[linked]:
                    print(f"{path}:{number}: no heading for #{anchor} in {os.path.basename(linked)}")
                    broken += 1
    print(f"docs_links: {broken} broken links")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
