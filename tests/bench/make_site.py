#!/usr/bin/env python3
"""Writes a generated CD-ROM site for the check benchmark:

    make_site.py DIR [--launcher kelmora.exe]

5,000 pages (index.htm and 4,999 in 50 folders) with 40 links each, and images, for
20,000 files in all. Every page can be reached from index.htm, so a crawler starting
there sees the whole site. A few links are broken, so that there is something to find.
"""

import argparse
import os

PAGES = 5000
FILES = 20000
FOLDERS = 50
PER_FOLDER = 100
LINKS = 40


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("dir")
    parser.add_argument("--launcher", help="a kelmora.exe to put in the root, with autorun.inf")
    args = parser.parse_args()

    pages = ["index.htm"] + ["f%02d/p%03d.htm" % (i // PER_FOLDER, i % PER_FOLDER)
                             for i in range(PAGES - 1)]
    extra = 2 if args.launcher else 0
    images = ["f%02d/img/i%04d.gif" % (i % FOLDERS, i) for i in range(FILES - PAGES - extra)]
    for folder in range(FOLDERS):
        os.makedirs(os.path.join(args.dir, "f%02d" % folder, "img"), exist_ok=True)
    gif = b"GIF89a\x01\x00\x01\x00\x00\x00\x00;"
    for image in images:
        with open(os.path.join(args.dir, image), "wb") as out:
            out.write(gif)

    def relative(source, target):
        return os.path.relpath(target, os.path.dirname(source) or ".")

    for n, page in enumerate(pages):
        links = []
        # The next pages, so that every page is reached; the first folder pages from the root.
        if n == 0:
            targets = [pages[1 + f * PER_FOLDER] for f in range(FOLDERS) if 1 + f * PER_FOLDER < PAGES]
        else:
            targets = [pages[(n + k) % PAGES] for k in range(1, 21)]
        for t in targets[:20]:
            links.append('<a href="%s">page</a>' % relative(page, t))
        for k in range(LINKS - len(links) - 5):
            image = images[(n * 7 + k) % len(images)]
            links.append('<img src="%s" alt="">' % relative(page, image))
        for k in range(4):
            t = pages[(n * 13 + k) % PAGES]
            links.append('<a href="%s#s%d">section</a>' % (relative(page, t), k))
        links.append('<a href="%s">%s</a>' % ("missing-%d.htm" % n if n % 100 == 7 else "#s0", "x"))
        body = "\n".join("<p>Paragraph %d of page %d. %s</p>" % (i, n, link)
                         for i, link in enumerate(links))
        anchors = "".join('<h2 id="s%d">Section %d</h2>' % (k, k) for k in range(4))
        with open(os.path.join(args.dir, page), "w") as out:
            out.write("<html><head><title>Page %d</title></head><body>\n%s\n%s\n</body></html>\n"
                      % (n, anchors, body))
    if args.launcher:
        with open(args.launcher, "rb") as src, open(os.path.join(args.dir, "kelmora.exe"), "wb") as out:
            out.write(src.read())
        with open(os.path.join(args.dir, "autorun.inf"), "wb") as out:
            out.write(b"[autorun]\r\nopen=kelmora.exe\r\n")
    count = sum(len(files) for _, _, files in os.walk(args.dir))
    print("make_site: %d pages, %d files in %s" % (len(pages), count, args.dir))


if __name__ == "__main__":
    main()
