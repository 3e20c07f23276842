#!/usr/bin/env python3
"""Writes a media-shaped site, a catalogue of pictures and sound with a page in ten:

    make_media_site.py DIR

210 MB in 5,000 files: 4,500 media files of 46 KB and 500 pages of text with 40 links.
"""

import os
import random
import sys

WORDS = "the disc holds a catalogue of every title with pictures and notes for readers".split()


def main():
    root = sys.argv[1]
    rng = random.Random(1)
    for f in range(5000):
        folder = os.path.join(root, "f%02d" % (f // 100))
        os.makedirs(folder, exist_ok=True)
        if f % 10 == 0:
            links = "".join("<li><a href='../f%02d/p%03d.htm'>%s</a></li>" % (
                rng.randrange(50), rng.randrange(10) * 10, " ".join(rng.choices(WORDS, k=4)))
                for _ in range(40))
            text = "".join("<p>%s</p>" % " ".join(rng.choices(WORDS, k=60)) for _ in range(12))
            name = "p%03d.htm" % (f % 100)
            data = ("<html><body><h1>Page %d</h1>%s<ul>%s</ul></body></html>" % (f, text, links)).encode()
        else:
            name, data = "b%03d.bin" % (f % 100), rng.randbytes(46000)
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    with open(os.path.join(root, "index.htm"), "w") as out:
        out.write("<a href='f00/p000.htm'>start</a>")


if __name__ == "__main__":
    main()
