#!/usr/bin/env python3
"""The publisher's whole path end to end: ondrelle disc writes the image, the image is inserted
as CD-ROM drive D: (mounted with fuseiso, or extracted with libisofs where FUSE is missing),
and the program that the image's autorun.inf names runs under Wine from D:\\, as AutoPlay runs
it. The page the shell is asked to open must be the expected one, and what ondrelle check
predicts from the image. With --installed, the tool adds the kelmora.exe it finds itself, which
must be --exe. Exit code 77 (skipped) when the native tool is not built.
"""

import filecmp
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scenarios  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "publisher", "signing"))
import throwaway_ca  # noqa: E402

DATE = "2026-12-01"
SIGNED = "--sign"  # the case's options: signed with a throw-away authority's certificate

# name, site folder or files, disc options, the page the shell must be asked to open
CASES = [
    ("demo-site", os.path.join(REPO, "examples", "site"), [], r"d:\index.htm"),
    ("page-in-subfolder", {"index.htm": scenarios.PAGE, "Docs/Start.htm": scenarios.PAGE},
     ["--page", r"Docs\Start.htm"], r"D:\Docs\Start.htm"),
    # Windows 95 to XP ignore the signature; under Wine the signed launcher plays as the other.
    ("signed-launcher", os.path.join(REPO, "examples", "site"), [SIGNED], r"d:\index.htm"),
]


def Tool(args, *arguments):
    run = subprocess.run([args.tool] + list(arguments), stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=120)
    return run.returncode, run.stdout.decode(errors="replace"), run.stderr.decode(errors="replace")


def Play(args, session, s, site, options, expected, work):
    image = os.path.join(work, s.name + ".iso")
    launcher = [] if args.installed else ["--launcher", args.exe]
    signed = SIGNED in options
    if signed:
        os.makedirs(os.path.join(work, "ca"))
        authority = throwaway_ca.Authority(os.path.join(work, "ca"))
        options = ["--sign", authority.pfx, "--sign-password-file", authority.password]
    status, out, err = Tool(args, "disc", site, "-o", image, *launcher, "--date", DATE, *options)
    if not s.Expect(status == 0, "ondrelle disc failed (%d): %s%s" % (status, out, err)):
        return
    status, out, err = Tool(args, "check", "--json", image)
    if not s.Expect(status == 0, "ondrelle check of the image failed (%d): %s%s" % (status, out, err)):
        return
    report = json.loads(out)
    inserted = subprocess.run([os.path.join(HERE, "insert-image"), image, session.disc,
                               args.extractor], capture_output=True, check=True).stdout.decode()
    try:
        onDisc = os.path.join(session.disc, "kelmora.exe")
        if signed:
            s.Expect(os.path.getsize(onDisc) > os.path.getsize(args.exe), "the image's kelmora.exe is not signed")
        else:
            s.Expect(filecmp.cmp(onDisc, args.exe, shallow=False), "the image's kelmora.exe is not " + args.exe)
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


def PlayCase(args, session, s, case):
    name, site, options, expected = case
    if isinstance(site, dict):
        site = s.Site(site, folder="Site")
        os.remove(os.path.join(site, "kelmora.exe"))  # ondrelle disc adds it
    with tempfile.TemporaryDirectory() as work:
        how = Play(args, session, s, site, options, expected, work)
    return "%s, opened %s" % (how, expected)


def main():
    return scenarios.ToolSuite(__doc__, [("--extractor", "the native extract_image")], CASES,
                               PlayCase, "image",
                               [("--installed", "the tool finds its own kelmora.exe: --exe")])


if __name__ == "__main__":
    sys.exit(main())
