#!/usr/bin/env python3
"""ondrelle check's dry run against the real kelmora.exe under Wine.

Each site is written to the folder that the e2e prefix maps as CD-ROM drive D:. The native
tool checks that folder; then the program it says AutoPlay starts runs under Wine from D:\\,
and what the shell was asked to open (the page, or help.htm with its fragment) must be what
the tool predicted. Exit code 77 (skipped) when the native tool is not built.
"""

import argparse
import fcntl
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scenarios  # noqa: E402

AUTORUN = b"[autorun]\r\nopen=kelmora.exe\r\n"
PAGE = scenarios.PAGE
EXE = object()  # stands for a copy of kelmora.exe

# name, files (besides D:\kelmora.exe), expected outcome kind
CASES = [
    ("root-index", {"autorun.inf": AUTORUN, "index.htm": PAGE, "Docs/index.htm": PAGE}, "page"),
    ("page-token-ie", {"autorun.inf": b"[autorun]\r\nopen=kelmora.exe Pages\\Intro.htm -i\r\n",
                       "pages/intro.htm": PAGE}, "page"),
    ("ansi-folder", {"autorun.inf": AUTORUN, "\u00c9t\u00e9/index.htm": PAGE}, "page"),
    ("subfolder-launcher", {"autorun.inf": b"[autorun]\r\nopen=bin\\kelmora.exe\r\n", "bin/kelmora.exe": EXE,
                            "bin/autorun.inf": b"[autorun]\r\nopen=kelmora.exe Page.htm\r\n",
                            "bin/page.htm": PAGE}, "page"),
    ("message-a", {"autorun.inf": b"[autorun]\r\nopen=bin\\kelmora.exe\r\n", "bin/kelmora.exe": EXE,
                   "index.htm": PAGE}, "help"),
    ("message-b-bom", {"autorun.inf": b"\xef\xbb\xbf" + AUTORUN, "index.htm": PAGE}, "help"),
    ("message-c", {"autorun.inf": b"[autorun]\r\nopen=kelmora.exe idnex.htm\r\n", "index.htm": PAGE}, "help"),
    ("message-d", {"autorun.inf": AUTORUN, "a/b/index.htm": PAGE}, "help"),
]


def Check(tool, disc):
    run = subprocess.run([tool, "check", "--json", disc], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=120)
    if run.returncode not in (0, 1):
        raise RuntimeError("ondrelle check failed: %s" % run.stderr.decode(errors="replace"))
    return json.loads(run.stdout)


def Compare(s, report, kind):
    outcome = report["outcome"]
    if not s.Expect(outcome["kind"] == kind, "the tool predicted %r, not a %s" % (outcome, kind)):
        return
    if kind == "page":
        program = scenarios.IE_FULL if outcome["browser"] == "ie" else scenarios.HANDLER
        s.ExpectOpened([(program, outcome["page"])])
        s.ExpectHelp(None)
    else:
        s.ExpectOpened([(scenarios.HANDLER, s.session.Windows(s.HelpPath()))])
        s.ExpectHelp(outcome["fragment"].encode("cp1252"))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True, help="the native ondrelle")
    parser.add_argument("--exe", required=True)
    parser.add_argument("--recorder", required=True)
    parser.add_argument("--runner", required=True)
    parser.add_argument("--template", required=True)
    parser.add_argument("--prefix", required=True)
    args = parser.parse_args()
    if not os.access(args.tool, os.X_OK):
        print("skipped: %s is not built (build the native preset first)" % args.tool)
        return 77

    # Wine shows UTF-8 names in 1252 only under a UTF-8 locale.
    os.environ["LC_ALL"] = "C.UTF-8"
    with open(args.template, "rb") as template:
        scenarios.TEMPLATE = template.read()
    with open(args.exe, "rb") as exe:
        launcher = exe.read()
    started = time.monotonic()
    session = scenarios.Session(args)
    lock = open(session.prefix + ".e2e-run.lock", "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    session.Prepare(args.recorder, args.runner)
    failed = 0
    try:
        session.EndSession()
        session.StartDisplay()
        for name, files, kind in CASES:
            s = scenarios.Scenario(session, "check-" + name)
            try:
                s.Site({path: launcher if data is EXE else data for path, data in files.items()}, folder=None)
                report = Check(args.tool, session.disc)
                s.Expect(report["autoplay"]["launcher"], "the tool did not find the launcher")
                s.Run(report["autoplay"]["program"], "D:\\")
                Compare(s, report, kind)
                s.ExpectEndedByItself()
            except Exception as error:  # a broken harness is a failure too
                s.failures.append("harness: %r" % error)
            if s.failures:
                failed += 1
                print("FAIL %s" % name)
                for failure in s.failures:
                    print("     - " + failure)
            else:
                print("ok   %-20s %s" % (name, json.dumps(report["outcome"], ensure_ascii=False)[:110]))
            sys.stdout.flush()
    finally:
        session.Close()
    print("%d sites, %d failed, %.1f s" % (len(CASES), failed, time.monotonic() - started))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
