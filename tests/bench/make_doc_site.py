#!/usr/bin/env python3
"""Writes a documentation-shaped site, as Sphinx, DocBook and Doxygen make them:

    make_doc_site.py DIR [--pages 531] [--broken]

Most of the bytes are in pages of 20 KB to 2 MB: headings and definitions with ids, code
with many small elements, a sidebar that links to dozens of pages, cross references to
anchors in other pages, in folders up to three levels deep. Beside them: stylesheets that
import each other and load fonts and pictures, scripts, pictures with srcset, page sources
as text, and some names without an extension. Every reference resolves, unless --broken
plants one broken reference of each kind that a browser fetches or follows.
"""

import argparse
import os
import random

SECTIONS = ["library", "library", "library", "reference", "tutorial", "howto", "c-api", "c-api/objects",
            "whatsnew", "faq", "using", "extending/embedding", "reference/grammar/rules"]
WORDS = ("the module returns a new object for each call and raises an error when the file "
         "descriptor is closed before reading data from the stream buffer").split()


def Text(rng, words):
    return " ".join(rng.choice(WORDS) for _ in range(words))


def PageSize(rng):
    """20 KB to 2 MB, most of them small, a few very large ones (indexes, references)."""
    return int(min(2_000_000, max(20_000, rng.lognormvariate(10.75, 0.9))))


def Relative(source, target):
    return os.path.relpath(target, os.path.dirname(source) or ".").replace(os.sep, "/")


def WriteFile(root, path, data):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode())


def Static(root, rng):
    """The theme: stylesheets, fonts, pictures and scripts that every page loads."""
    files = {}
    fonts = ["_static/fonts/Lato-%s.woff2" % style for style in ("Regular", "Bold", "Italic")]
    for font in fonts:
        files[font] = rng.randbytes(60_000)
    pictures = ["_static/images/%s.png" % name for name in ("toggle", "bullet", "external", "search", "logo")]
    for picture in pictures:
        files[picture] = rng.randbytes(2_000)
    files["_static/basic.css"] = "".join(
        "div.section%d { margin: %dpx; background: url(images/bullet.png) no-repeat; }\n" % (n, n)
        for n in range(400))
    faces = "".join('@font-face { font-family: Lato; src: url("fonts/%s") format("woff2"); }\n'
                    % os.path.basename(font) for font in fonts)
    rules = "".join(".rule%d { color: #%06x; }\n/* %s */\n" % (n, n * 997 % 0xFFFFFF, Text(rng, 12))
                    for n in range(1500))
    files["_static/theme.css"] = ('@import url("basic.css");\n' + faces +
                                  "a.external { background: url('images/external.png') right; }\n"
                                  "div.logo { background-image: url(images/logo.png); }\n" + rules)
    files["_static/pygments.css"] = "".join(".highlight .k%d { color: #%06x }\n" % (n, n * 31)
                                            for n in range(300))
    for script in ("jquery.js", "underscore.js", "doctools.js", "searchtools.js", "sidebar.js"):
        files["_static/" + script] = "".join("function f%d(a) { return a + %d; } // %s\n"
                                             % (n, n, Text(rng, 10)) for n in range(900))
    files["_static/opensearch.xml"] = "<OpenSearchDescription/>"
    files["_static/favicon.ico"] = rng.randbytes(1_150)
    files["_static/fonts/LICENSE"] = "SIL Open Font License\n" * 40  # no extension
    for path, data in files.items():
        WriteFile(root, path, data)
    return pictures


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("dir")
    parser.add_argument("--pages", type=int, default=531)
    parser.add_argument("--broken", action="store_true")
    args = parser.parse_args()
    rng = random.Random(1)
    root = args.dir

    pages = ["index.html", "genindex.html", "search.html"]
    for n in range(args.pages - len(pages)):
        pages.append("%s/page%03d.html" % (rng.choice(SECTIONS), n))
    sizes = {page: PageSize(rng) for page in pages}
    sizes["genindex.html"] = 2_000_000
    anchors = {page: ["sect-%d" % k for k in range(1 + sizes[page] // 4_000)] for page in pages}
    Static(root, rng)
    if args.broken:
        WriteFile(root, "_static/extra.css", EXTRA_CSS)
    figures = ["_images/figure%03d.png" % n for n in range(120)]
    for figure in figures:
        WriteFile(root, figure, rng.randbytes(rng.randrange(5_000, 60_000)))
        WriteFile(root, figure.replace(".png", "@2x.png"), rng.randbytes(rng.randrange(10_000, 120_000)))

    for number, page in enumerate(pages):
        def To(target):
            return Relative(page, target)

        head = ['<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">',
                "<title>Page %d &#8212; Documentation</title>" % number,
                '<link rel="stylesheet" href="%s">' % To("_static/pygments.css"),
                '<link rel="stylesheet" type="text/css" href="%s?v=2">' % To("_static/theme.css"),
                '<link rel="icon" href="%s">' % To("_static/favicon.ico"),
                '<link rel="search" type="application/opensearchdescription+xml" href="%s">'
                % To("_static/opensearch.xml"),
                '<link rel="canonical" href="file:///usr/share/doc/documentation/html/%s">' % page,
                '<link rel="next" href="%s">' % To(pages[(number + 1) % len(pages)])]
        head += ['<script src="%s"></script>' % To("_static/" + script)
                 for script in ("jquery.js", "underscore.js", "doctools.js", "searchtools.js", "sidebar.js")]
        head.append("<style>@media only screen { table.full-width-table { width: 100%; } }</style></head>")
        sidebar = ['<body><div class="sphinxsidebar"><ul>']
        for k in range(60):
            target = pages[(number + k * 7 + 1) % len(pages)]
            sidebar.append('<li class="toctree-l1"><a class="reference internal" href="%s">%s</a></li>'
                           % (To(target), Text(rng, 3)))
        sidebar.append('</ul><a href="%s" rel="nofollow">Show Source</a></div><div class="body">'
                       % To("_sources/" + page.replace(".html", ".rst.txt")))
        body, size, section = [], sum(map(len, head + sidebar)), 0
        while size < sizes[page] or section < len(anchors[page]):
            anchor = anchors[page][section] if section < len(anchors[page]) else "more-%d" % section
            target = rng.choice(pages)
            parts = ['<section id="%s"><h2>%s<a class="headerlink" href="#%s">&para;</a></h2>'
                     % (anchor, Text(rng, 4), anchor),
                     "<p>%s <a class=\"reference internal\" href=\"%s#%s\"><code>%s</code></a> %s</p>"
                     % (Text(rng, 30), To(target), rng.choice(anchors[target]), Text(rng, 1), Text(rng, 30)),
                     '<dl class="py function"><dt class="sig" id="%s.f%d"><span class="sig-name">f%d</span>'
                     '<span class="sig-paren">(</span><em>arg</em><span class="sig-paren">)</span></dt>'
                     "<dd><p>%s</p></dd></dl>" % (anchor, section, section, Text(rng, 40)),
                     '<div class="highlight"><pre>' + "".join(
                         '<span class="k%d">%s</span> ' % (rng.randrange(300), rng.choice(WORDS))
                         for _ in range(120)) + "</pre></div>"]
            if section % 4 == 0:
                figure = rng.choice(figures)
                parts.append('<figure><img src="%s" srcset="%s 2x" alt="figure"></figure>'
                             % (To(figure), To(figure.replace(".png", "@2x.png"))))
            if section % 9 == 0:
                parts.append('<p style="background: url(%s) no-repeat">%s</p>'
                             % (To("_static/images/toggle.png"), Text(rng, 10)))
            parts.append("</section>")
            body += parts
            size += sum(map(len, parts))
            section += 1
        if args.broken and number < len(BROKEN):
            body.append(BROKEN[number].format(gone=To("_static/gone%d" % number), figure=To(figures[0]),
                                              index=To("index.html"), extra=To("_static/extra.css")))
        body.append('<a href="https://www.example.org/%d">external</a></div></body></html>\n' % (number % 50))
        WriteFile(root, page, "\n".join(head + sidebar + body))
        WriteFile(root, "_sources/" + page.replace(".html", ".rst.txt"), Text(rng, sizes[page] // 40))
    for name, text in (("README", "Documentation, as HTML.\n"), ("LICENSE", "Licensed to everybody.\n" * 30),
                       (".buildinfo", "config: 1\n"), ("objects.inv", "inventory\n")):
        WriteFile(root, name, text)
    count = sum(len(files) for _, _, files in os.walk(root))
    total = sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(root) for f in files)
    print("make_doc_site: %d pages, %d files, %.0f MB in %s" % (len(pages), count, total / 1e6, root))
    if args.broken:
        print("planted: %d broken references" % PLANTED)


# One broken reference of each kind that a browser fetches or follows, one kind a page.
BROKEN = [
    '<a href="{gone}.html">a page</a>',
    '<a href="{index}#no-such-anchor">an anchor</a>',
    '<img src="{gone}.png" alt="">',
    '<img src="{figure}" srcset="{gone}@2x.png 2x" alt="">',
    '<script src="{gone}.js"></script>',
    '<link rel="stylesheet" href="{gone}.css">',
    '<iframe src="{gone}.html"></iframe>',
    '<video src="{gone}.mp4" poster="{figure}"></video>',
    '<video src="{figure}" poster="{gone}.jpg"></video>',
    '<audio><source src="{gone}.ogg"></audio>',
    '<video><track src="{gone}.vtt"></video>',
    '<object data="{gone}.svg"></object>',
    '<svg><image href="{gone}.png"/></svg>',
    '<svg><use xlink:href="{gone}.svg#icon"/></svg>',
    '<picture><source srcset="{gone}.webp"><img src="{figure}" alt=""></picture>',
    '<p style="background: url({gone}.png)">style</p>',
    '<style>div.x {{ background: url({gone}.png); }}</style>',
    '<style>@import url({gone}.css);</style>',
    '<input type="image" src="{gone}.gif">',
    '<meta http-equiv="refresh" content="600; url={gone}.html">',
    # extra.css: a background, a font and an import that are not there
    '<link rel="stylesheet" href="{extra}">',
]
PLANTED = len(BROKEN) - 1 + 3  # extra.css holds three, and its link is sound
EXTRA_CSS = ('@import "gone-imported.css";\n@font-face {{ font-family: Gone; src: url(fonts/gone.woff2); }}\n'
             '.gone {{ background: url("images/gone.png"); }}\n').replace("{{", "{").replace("}}", "}")


if __name__ == "__main__":
    main()
