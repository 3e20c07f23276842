#!/usr/bin/env python3
"""ondrelle check's dry run against the real kelmora.exe under Wine.

Each site is written to the folder that the e2e prefix maps as CD-ROM drive D:. The native
tool checks that folder; then the program it says AutoPlay starts runs under Wine from D:\\,
and what the shell was asked to open (the page, or help.htm with its fragment) must be what
the tool predicted. Exit code 77 (skipped) when the native tool is not built.
"""

import json
import os
import subprocess
import sys

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


def Play(args, session, s, case):
    name, files, kind = case
    with open(args.exe, "rb") as exe:
        launcher = exe.read()
    s.Site({path: launcher if data is EXE else data for path, data in files.items()}, folder=None)
    report = Check(args.tool, session.disc)
    s.Expect(report["autoplay"]["launcher"], "the tool did not find the launcher")
    s.Run(report["autoplay"]["program"], "D:\\")
    Compare(s, report, kind)
    s.ExpectEndedByItself()
    return json.dumps(report["outcome"], ensure_ascii=False)[:110]


def main():
    # Wine shows UTF-8 names in 1252 only under a UTF-8 locale.
    os.environ["LC_ALL"] = "C.UTF-8"
    return scenarios.ToolSuite(__doc__, [], CASES, Play, "site")


if __name__ == "__main__":
    sys.exit(main())
