#!/usr/bin/env python3
"""The publisher tool against what a publisher would otherwise run, each pair in one run:

    tool_bench.py --ondrelle TOOL --launcher kelmora.exe --work DIR [--linkinator LINKINATOR]

- `ondrelle check` against linkchecker on a generated site of 5,000 pages with 40 links each;
- `ondrelle check` against linkinator and linkchecker on a documentation-shaped site with one
  broken reference of each kind that a browser loads or follows;
- `ondrelle check --code-page all` against the default (code page 1252) on the documentation site;
- on a media-shaped site and a documentation-shaped one: `ondrelle check`, `ondrelle disc` with
  its split, `xorriso -as mkisofs -J -R`, and reading the site once with cat; then `ondrelle check`
  of the image, which proves it whole, against cat of it and `xorriso -md5 on -check_md5_r`.

Times are medians of five runs, with the files in the page cache, as for every tool here. The
sites and images go to DIR, which is best in memory: writing to this machine's disk takes from
0.1 s to 1 s for the same image, whoever writes it.
"""

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RUNS = 5


def Timed(command, allowed=(0,)):
    started = time.perf_counter()
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if run.returncode not in allowed:
        sys.exit("bench: %s failed (exit %d):\n%s" % (" ".join(command), run.returncode, run.stdout[-2000:]))
    return time.perf_counter() - started, run.stdout


def Median(command, allowed=(0,)):
    """The median time of RUNS runs, and the output of the run that took it."""
    runs = sorted((Timed(command, allowed) for _ in range(RUNS)), key=lambda run: run[0])
    return runs[len(runs) // 2]


def Files(site):
    return [os.path.join(folder, name) for folder, _, names in os.walk(site) for name in names]


def CheckAgainstLinkchecker(args):
    site = os.path.join(args.work, "links")
    subprocess.run([sys.executable, os.path.join(HERE, "make_site.py"), site, "--launcher", args.launcher],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["chmod", "-R", "a+rX", args.work], check=True)  # linkchecker, run as root, reads as nobody
    ours, report = min((Timed([args.ondrelle, "check", site], (0, 1)) for _ in range(3)), key=lambda r: r[0])
    theirs, output = Timed(["linkchecker", "--no-status", "-o", "text", "file://" + site + "/index.htm"], (0, 1))
    errors = re.search(r"(\d+) errors? found", output)
    print()
    print("check of 5,000 pages x 40 links, 20,000 files:")
    print("  ondrelle check  %8.2f s   (best of 3; %d broken links found)" % (ours, report.count("link-broken")))
    print("  linkchecker     %8.2f s   (%s errors found)" % (theirs, errors.group(1) if errors else "?"))
    print("  ondrelle check is %.0fx faster (goal: 20x or more, and under 2 s)" % (theirs / ours))


def CheckAgainstPeers(args):
    """On the documentation site with its planted faults: how long each tool takes, and how many of
    the broken references it finds. None of them looks at the network."""
    site = os.path.join(args.work, "checked")
    made = subprocess.run([sys.executable, os.path.join(HERE, "make_doc_site.py"), site, "--broken"], check=True,
                          stdout=subprocess.PIPE, text=True).stdout
    planted = int(re.search(r"planted: (\d+)", made).group(1))
    subprocess.run(["chmod", "-R", "a+rX", site], check=True)
    ours, report = Median([args.ondrelle, "check", "--json", site], (0, 1))
    found = {(f["id"], f.get("target")) for f in json.loads(report)["findings"]
             if f["id"] in ("link-broken", "link-anchor-missing")}
    rows = [("ondrelle check", ours, "median of %d" % RUNS, len(found))]
    if args.linkinator:
        runs = sorted(Timed([args.linkinator, site, "--recurse", "--check-css", "--check-fragments", "--skip",
                             r"^https?://(?!localhost|127\.0\.0\.1)", "--format", "JSON"], (0, 1))
                      for _ in range(3))
        theirs, output = runs[1]
        broken = {link["url"] for link in json.loads(output[output.index("{"):])["links"]
                  if link["state"] == "BROKEN" and link["url"].startswith(site + "/")}
        rows.append(("linkinator", theirs, "median of 3; --check-css --check-fragments", len(broken)))
    theirs, output = Timed(["linkchecker", "--no-status", "-o", "text", "file://" + site + "/index.html"], (0, 1))
    errors = re.search(r"(\d+) errors? found", output)
    rows.append(("linkchecker", theirs, "one run", int(errors.group(1)) if errors else -1))
    print()
    print("check of the documentation site, with %d broken references planted, one of each kind:" % planted)
    for name, seconds, how, count in rows:
        print("  %-15s %7.2f s   (%s; %d found)" % (name, seconds, how, count))
    goals = {"linkinator": 15, "linkchecker": 50}
    for name, seconds, _, _ in rows[1:]:
        print("  ondrelle check is %.0fx faster than %s (goal: %dx or more)" % (seconds / ours, name, goals[name]))


def CheckForEveryCodePage(args):
    """The fourteen code pages against one, on the documentation site: the pages are parsed once,
    and only what depends on the code page runs again."""
    site = os.path.join(args.work, "code-pages")
    subprocess.run([sys.executable, os.path.join(HERE, "make_doc_site.py"), site], check=True,
                   stdout=subprocess.DEVNULL)
    one, _ = Median([args.ondrelle, "check", site], (0, 1))
    every, _ = Median([args.ondrelle, "check", "--code-page", "all", site], (0, 1))
    print()
    print("check of the documentation site for Windows of every code page:")
    print("  ondrelle check                   %6.2f s   (code page 1252)" % one)
    print("  ondrelle check --code-page all   %6.2f s   (the fourteen)" % every)
    print("  --code-page all / one code page: %.2fx (goal: 1.5x or less)" % (every / one))


def DiscAgainstXorriso(args, name, make):
    work = os.path.join(args.work, name)
    site = os.path.join(work, "site")
    subprocess.run([sys.executable, os.path.join(HERE, make), site], check=True, stdout=subprocess.DEVNULL)
    files = Files(site)
    size = sum(os.path.getsize(path) for path in files)
    pages = [path for path in files if path.endswith((".htm", ".html"))]
    html = sum(os.path.getsize(path) for path in pages)
    subprocess.run(["cat"] + files, stdout=subprocess.DEVNULL, check=True)  # warm, as for every tool

    check, _ = Median([args.ondrelle, "check", site], (0, 1))
    disc, report = Median([args.ondrelle, "disc", site, "-o", os.path.join(work, "ondrelle.iso"),
                           "--launcher", args.launcher, "--date", "2026-12-01"])
    xorriso, _ = Median(["xorriso", "-as", "mkisofs", "-quiet", "-J", "-R", "-o",
                         os.path.join(work, "xorriso.iso"), site])
    # The checksums that every image of ondrelle's records, as xorriso records them.
    xorrisoMd5, _ = Median(["xorriso", "-as", "mkisofs", "-quiet", "-J", "-R", "--md5", "-o",
                            os.path.join(work, "xorriso.iso"), site])
    cat, _ = Median(["sh", "-c", "find '%s' -type f -exec cat {} + >/dev/null" % site])
    split = re.search(r"Written in ([\d.]+) s, read back and checked in ([\d.]+) s", report)
    writing, reading = float(split.group(1)), float(split.group(2))

    print()
    print("%s site: %d files, %.0f MB; %d pages, %.0f MB of HTML:"
          % (name, len(files), size / 1e6, len(pages), html / 1e6))
    print("  ondrelle check        %6.2f s" % check)
    print("  ondrelle disc         %6.2f s   (checking before writing %.2f s, writing %.2f s, "
          "reading back and checking %.2f s)" % (disc, disc - writing - reading, writing, reading))
    print("  xorriso -as mkisofs   %6.2f s   (with --md5 %.2f s)" % (xorriso, xorrisoMd5))
    print("  cat of the site       %6.2f s" % cat)
    print("  ondrelle disc / xorriso --md5: %.1fx; its writing, reading back and checking / xorriso --md5: %.1fx "
          "(goal: 2x or less)" % (disc / xorrisoMd5, (writing + reading) / xorrisoMd5))
    ProveAgainstXorriso(os.path.join(work, "ondrelle.iso"), args)


def ProveAgainstXorriso(image, args):
    """Proving an image whole (its checksums, every byte of it read once) against reading it with cat
    and against xorriso's own proof of the same checksums."""
    proof, _ = Median([args.ondrelle, "check", image], (0, 1))
    cat, _ = Median(["sh", "-c", "cat '%s' >/dev/null" % image])
    # stdio: takes the image for a file wherever it is, /dev/shm too.
    xorriso, _ = Median(["xorriso", "-md5", "on", "-indev", "stdio:" + image, "-check_md5_r", "FAILURE", "/", "--"])
    print("  ondrelle check IMAGE  %6.2f s   (proves it whole, then checks it; %.0f MB)"
          % (proof, os.path.getsize(image) / 1e6))
    print("  cat of the image      %6.2f s" % cat)
    print("  xorriso -check_md5_r  %6.2f s" % xorriso)
    print("  ondrelle check IMAGE / xorriso -check_md5_r: %.1fx (goal: 1x or less); / cat: %.1fx"
          % (proof / xorriso, proof / cat))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ondrelle", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--work", required=True, help="a folder for the sites and images")
    parser.add_argument("--linkinator", help="linkinator's command, when it could be installed")
    args = parser.parse_args()
    for tool in ("linkchecker", "xorriso"):
        if subprocess.run(["sh", "-c", "command -v " + tool], stdout=subprocess.DEVNULL).returncode != 0:
            sys.exit("bench: %s is not installed (scripts/setup)" % tool)
    CheckAgainstLinkchecker(args)
    CheckAgainstPeers(args)
    CheckForEveryCodePage(args)
    DiscAgainstXorriso(args, "media", "make_media_site.py")
    DiscAgainstXorriso(args, "documentation", "make_doc_site.py")


if __name__ == "__main__":
    main()
