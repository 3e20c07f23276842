#!/usr/bin/env python3
"""scripts/check-includes passes on the tree, and fails, naming FILE:LINE, on an include planted in a
copy of it that points up or sideways. Exit code 1 when any case went otherwise."""

import os
import shutil
import subprocess
import sys
import tempfile

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
# The file that gets the include, and the header it includes: None passes.
CASES = [
    (None, None),
    ("src/launcher/support/text.cpp", "run_launcher.h"),          # the launcher: a room above
    ("src/launcher/app/run_launcher.cpp", "disc_tree.h"),         # the launcher: the publisher's
    ("src/platform/code_page.cpp", "byte_buffer.h"),              # the platform: the launcher's
    ("src/publisher/base/scratch_folder.cpp", "findings.h"),      # the publisher: a room above
    ("src/publisher/links/links.cpp", "autoplay.h"),              # the publisher: a room beside
]

failed = 0
for path, header in CASES:
    with tempfile.TemporaryDirectory() as copy:
        for folder in ("src", "res", "scripts"):
            shutil.copytree(os.path.join(TOP, folder), os.path.join(copy, folder))
        if path:
            with open(os.path.join(copy, path), "a", encoding="utf-8") as source:
                source.write('#include "%s"\n' % header)
        run = subprocess.run([sys.executable, os.path.join(copy, "scripts", "check-includes")],
                             capture_output=True, text=True)
        expected = 0 if path is None else 1
        named = path is None or path + ":" in run.stdout
        ok = run.returncode == expected and named
        print("%s %s %s" % ("ok  " if ok else "FAIL", path or "the tree", header or "") + ("" if ok else ": " + run.stdout))
        failed += not ok
sys.exit(1 if failed else 0)
