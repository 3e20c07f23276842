#!/usr/bin/env python3
"""The publisher's whole path end to end: ondrelle disc writes the image, the image is inserted
as CD-ROM drive D: (mounted with fuseiso, or extracted with libisofs where FUSE is missing),
and the program that the image's autorun.inf names runs under Wine from D:\\, as AutoPlay runs
it. The page the shell is asked to open must be the expected one, and what ondrelle check
predicts from the image. Exit code 77 (skipped) when the native tool is not built.
"""

import argparse
import fcntl
import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scenarios  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
DATE = "2026-12-01"

# name, site folder or files, disc options, the page the shell must be asked to open
CASES = [
    ("demo-site", os.path.join(REPO, "examples", "site"), [], r"d:\index.htm"),
    ("page-in-subfolder", {"index.htm": scenarios.PAGE, "Docs/Start.htm": scenarios.PAGE},
     ["--page", r"Docs\Start.htm"], r"D:\Docs\Start.htm"),
]


def Tool(args, *arguments):
    run = subprocess.run([args.tool] + list(arguments), stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=120)
    return run.returncode, run.stdout.decode(errors="replace"), run.stderr.decode(errors="replace")


def Play(args, session, s, site, options, expected, work):
    image = os.path.join(work, s.name + ".iso")
    status, out, err = Tool(args, "disc", site, "-o", image, "--launcher", args.exe, "--date", DATE,
                            *options)
    if not s.Expect(status == 0, "ondrelle disc failed (%d): %s%s" % (status, out, err)):
        return
    status, out, err = Tool(args, "check", "--json", image)
    if not s.Expect(status == 0, "ondrelle check of the image failed (%d): %s%s" % (status, out, err)):
        return
    report = json.loads(out)
    inserted = subprocess.run([os.path.join(HERE, "insert-image"), image, session.disc,
                               args.extractor], capture_output=True, check=True).stdout.decode()
    try:
        s.Run("D:\\" + report["autoplay"]["open"], "D:\\")
        s.ExpectOpened([(scenarios.HANDLER, expected)])
        s.Expect(report["outcome"].get("page") == expected,
                 "ondrelle check predicted %r" % report["outcome"])
        s.ExpectHelp(None)
        s.ExpectEndedByItself()
    finally:
        session.EndSession()  # nothing of Wine's may hold the drive open
        subprocess.run([os.path.join(HERE, "insert-image"), "--eject", session.disc], check=True)
    return inserted.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True, help="the native ondrelle")
    parser.add_argument("--extractor", required=True, help="the native extract_image")
    parser.add_argument("--exe", required=True)
    parser.add_argument("--recorder", required=True)
    parser.add_argument("--runner", required=True)
    parser.add_argument("--template", required=True)
    parser.add_argument("--prefix", required=True)
    args = parser.parse_args()
    if not os.access(args.tool, os.X_OK):
        print("skipped: %s is not built (build the native preset first)" % args.tool)
        return 77

    with open(args.template, "rb") as template:
        scenarios.TEMPLATE = template.read()
    started = time.monotonic()
    session = scenarios.Session(args)
    lock = open(session.prefix + ".e2e-run.lock", "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    session.Prepare(args.recorder, args.runner)
    failed = 0
    try:
        session.EndSession()
        session.StartDisplay()
        with tempfile.TemporaryDirectory() as work:
            for name, site, options, expected in CASES:
                s = scenarios.Scenario(session, "image-" + name)
                how = None
                try:
                    if isinstance(site, dict):
                        site = s.Site(site, folder="Site")
                        os.remove(os.path.join(site, "kelmora.exe"))  # ondrelle disc adds it
                    how = Play(args, session, s, site, options, expected, work)
                except Exception as error:  # a broken harness is a failure too
                    s.failures.append("harness: %r" % error)
                if s.failures:
                    failed += 1
                    print("FAIL %s" % name)
                    for failure in s.failures:
                        print("     - " + failure)
                else:
                    print("ok   %-18s %s, opened %s" % (name, how, expected))
                sys.stdout.flush()
    finally:
        session.Close()
    print("%d images, %d failed, %.1f s" % (len(CASES), failed, time.monotonic() - started))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
