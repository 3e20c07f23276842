#!/usr/bin/env python3
"""ondrelle check's dry run against the real kelmora.exe under Wine.

Each site is written to the folder that the e2e prefix maps as CD-ROM drive D:. The native
tool checks that folder; then the program it says AutoPlay starts runs under Wine from D:\\,
and what the shell was asked to open (the page, or help.htm with its fragment) must be what
the tool predicted. Sites with names in other scripts run in a locale whose ANSI code page
holds them (and some in one that does not), with the tool told that code page.
Exit code 77 (skipped) when the native tool is not built.
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

# The Unix locale in which Wine's ANSI code page is each one (measured); 1252 under a UTF-8
# locale, since Wine shows UTF-8 names in 1252 only then.
LOCALES = {1252: "C.UTF-8", 932: "ja_JP.UTF-8", 936: "zh_CN.UTF-8", 949: "ko_KR.UTF-8",
           950: "zh_TW.UTF-8", 1250: "pl_PL.UTF-8", 1251: "ru_RU.UTF-8", 1253: "el_GR.UTF-8",
           1254: "tr_TR.UTF-8"}


def Folder(name, page="index.htm"):
    return {"autorun.inf": AUTORUN, name + "/" + page: PAGE}


# name, files (besides D:\kelmora.exe), expected outcome kind[, code page (1252)]
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
    # The second byte of a character is 'A' in ア, 'H' in 人, '\\' in ソ.
    ("katakana", Folder("\u30a2\u30d7\u30ea"), "page", 932),
    ("katakana-html", Folder("\u30a2\u30d7\u30ea", "index.html"), "page", 932),
    ("kanji", Folder("\u65e5\u672c"), "page", 932),
    ("katakana-backslash", Folder("\u30bd\u30d5\u30c8"), "page", 932),
    ("program-backslash", {"autorun.inf": b"[autorun]\r\nopen=\x83\x5c\x83\x74\x83\x67.exe\r\n",
                           "\u30bd\u30d5\u30c8.exe": EXE, "index.htm": PAGE}, "page", 932),
    ("big5", Folder("\u4eba\u7269"), "page", 950),
    ("gbk", Folder("\u4e2d\u6587"), "page", 936),
    ("korean", Folder("\ud55c\uad6d\uc5b4"), "page", 949),
    ("cyrillic", Folder("\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b"), "page", 1251),
    ("greek", Folder("\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac"), "page", 1253),
    ("polish", Folder("\u0141\u00f3d\u017a"), "page", 1250),
    ("turkish", Folder("\u0130stanbul"), "page", 1254),
    # Names that the code page cannot hold: '?', or Windows' best fit ("Lodz").
    ("kanji-western", Folder("\u65e5\u672c"), "help", 1252),
    ("best-fit-western", Folder("\u0141\u00f3d\u017a"), "help", 1252),
    ("katakana-in-big5", Folder("\u30a2\u30d7\u30ea"), "help", 950),
]


def Check(tool, disc, code_page):
    run = subprocess.run([tool, "check", "--json", "--code-page", str(code_page), disc], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=120)
    if run.returncode not in (0, 1):
        raise RuntimeError("ondrelle check failed: %s" % run.stderr.decode(errors="replace"))
    return json.loads(run.stdout)


def Compare(s, report, kind, code_page):
    outcome = report["outcome"]
    s.Expect(report["outcomes"] == [dict(code_page=code_page, **outcome)],
             "outcomes %r for the one code page %d" % (report["outcomes"], code_page))
    if not s.Expect(outcome["kind"] == kind, "the tool predicted %r, not a %s" % (outcome, kind)):
        return
    if kind == "page":
        program = scenarios.IE_FULL if outcome["browser"] == "ie" else scenarios.HANDLER
        s.ExpectOpened([(program, outcome["page"])])
        s.ExpectHelp(None)
    else:
        s.ExpectOpened([(scenarios.HANDLER, s.session.Windows(s.HelpPath()))])
        s.ExpectHelp(outcome["fragment"].encode(s.encoding))


def Play(args, session, s, case):
    name, files, kind = case[:3]
    code_page = case[3] if len(case) > 3 else 1252
    s.encoding, s.locale = "cp%d" % code_page, LOCALES[code_page]
    with open(args.exe, "rb") as exe:
        launcher = exe.read()
    s.Site({path: launcher if data is EXE else data for path, data in files.items()}, folder=None)
    report = Check(args.tool, session.disc, code_page)
    s.Expect(report["autoplay"]["launcher"], "the tool did not find the launcher")
    s.Run(report["autoplay"]["program"], "D:\\")
    Compare(s, report, kind, code_page)
    s.ExpectEndedByItself()
    return json.dumps(report["outcome"], ensure_ascii=False)[:110]


def main():
    return scenarios.ToolSuite(__doc__, [], CASES, Play, "site")


if __name__ == "__main__":
    sys.exit(main())
