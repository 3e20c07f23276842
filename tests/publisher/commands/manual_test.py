#!/usr/bin/env python3
"""The manual page and the bash completion say what the tool does: the page renders without a
warning, its findings are the tool's (kIds) and README.md's with their severities, and its options and
the completion's are those of `ondrelle --help`. Exit code 1 when any check failed."""

import argparse
import os
import re
import subprocess
import sys

FAILED = []
SEVERITIES = {"Error": "error", "Warning": "warning", "Note": "note"}
# The man page's subsection of options for each command ("" for ondrelle itself).
OPTION_SECTIONS = {"": "General options", "check": "Options of check", "disc": "Options of disc"}


def Check(name, condition, detail=""):
    print("%s %s%s" % ("ok  " if condition else "FAIL", name, "" if condition else ": " + detail))
    if not condition:
        FAILED.append(name)


def Compare(name, got, expected):
    Check(name, got == expected, "missing %s, extra %s" % (
        sorted(set(expected) - set(got)) or "none", sorted(set(got) - set(expected)) or "none")
        if isinstance(got, set) else "%r, not %r" % (got, expected))


def Sections(page, macro):
    """Title -> lines of each .SH (or .SS) section of the page."""
    sections, lines = {}, None
    for line in page.splitlines():
        if line.startswith(macro + " "):
            lines = sections.setdefault(line[len(macro) + 1:].strip('"'), [])
        elif lines is not None:
            lines.append(line)
    return sections


def Tagged(lines):
    """The first line after each .TP, as it reads: font macros and escapes gone."""
    tags = []
    for before, line in zip(lines, lines[1:]):
        if before == ".TP":
            tags.append(re.sub(r"\\f[BIRP]", "", re.sub(r"^\.[BI]R?\s*", "", line)).replace("\\-", "-"))
    return tags


def HelpOptions(tool, command):
    """The options that `ondrelle [command] --help` lists, each form of each."""
    text = subprocess.run([tool] + ([command] if command else []) + ["--help"], capture_output=True,
                          text=True, check=True).stdout
    options = text.split("\nOptions:\n", 1)[1].split("\n\n", 1)[0]
    return {form for line in options.splitlines()
            for form in line.split()[0].split(",") if form.startswith("-")}


def HelpCommands(tool):
    text = subprocess.run([tool, "--help"], capture_output=True, text=True, check=True).stdout
    return {line.split()[0] for line in text.split("\nSubcommands:\n", 1)[1].splitlines() if line.strip()}


def Completed(completion, *words):
    """What the completion offers for the last of `words`."""
    script = 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _ondrelle; ' \
             'printf "%s\\n" "${COMPREPLY[@]}"'
    run = subprocess.run(["bash", "-c", script, "bash", completion, "ondrelle"] + list(words),
                         capture_output=True, text=True, check=True)
    return set(run.stdout.split())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    for flag in ("--tool", "--manual", "--completion", "--sources", "--readme"):
        parser.add_argument(flag, required=True)
    args = parser.parse_args()
    with open(args.manual, encoding="utf-8") as manual:
        page = manual.read()
    sections = Sections(page, ".SH")

    groff = subprocess.run(["groff", "-man", "-ww", "-z", args.manual], capture_output=True, text=True)
    Check("groff -man -ww renders the page without a warning", groff.returncode == 0 and not groff.stderr,
          groff.stderr)
    Compare("the page's sections", [title for title in Sections(page, ".SH")],
            ["NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "OPTIONS", "FINDINGS", "EXIT STATUS",
             "ENVIRONMENT", "FILES", "EXAMPLES", "SEE ALSO"])

    tool_findings = {}
    for folder, _, names in os.walk(args.sources):
        for name in (name for name in names if name.endswith(".cpp")):
            with open(os.path.join(folder, name), encoding="utf-8") as source:
                text = source.read()
            if "kIds[]" in text:
                tool_findings = {id: SEVERITIES[severity] for id, severity in
                                 re.findall(r'\{"([a-z0-9-]+)", Severity::(\w+)\}', text)}
    manual_findings = {}
    for title, lines in Sections("\n".join(sections["FINDINGS"]), ".SS").items():
        for id in Tagged(lines):
            manual_findings[id] = title.lower().rstrip("s")
    with open(args.readme, encoding="utf-8") as readme:
        readme_findings = dict(re.findall(r"^\| `([a-z0-9-]+)` \| (error|warning|note) \|", readme.read(),
                                          re.MULTILINE))
    Check("the tool's findings (kIds) are found", len(tool_findings) > 20, "%d read" % len(tool_findings))
    for id, severity in tool_findings.items():
        Check("the page and README.md have %s as %s" % (id, severity),
              manual_findings.get(id) == severity and readme_findings.get(id) == severity,
              "the page says %r, README.md %r" % (manual_findings.get(id), readme_findings.get(id)))
    Compare("the page has no finding the tool lacks", set(manual_findings) - set(tool_findings), set())
    Compare("README.md has no finding the tool lacks", set(readme_findings) - set(tool_findings), set())

    options = Sections("\n".join(sections["OPTIONS"]), ".SS")
    Compare("the page's kinds of options", set(options), set(OPTION_SECTIONS.values()))
    Compare("the commands the completion offers", Completed(args.completion, ""), HelpCommands(args.tool))
    for command, title in OPTION_SECTIONS.items():
        shown = "ondrelle " + (command + " " if command else "") + "--help"
        expected = HelpOptions(args.tool, command)
        # -h and --help are listed once, among the general options.
        manual = {form for tag in Tagged(options.get(title, [])) for form in re.findall(r"--?[a-z-]+", tag)}
        if command:
            manual |= {"-h", "--help"}
        Compare("the page's %s are those of %s" % (title.lower(), shown), manual, expected)
        words = [command, "SITE"] if command else []
        Compare("the completion's options are those of " + shown,
                Completed(args.completion, *words, "-"), expected)
    return 1 if FAILED else 0


if __name__ == "__main__":
    sys.exit(main())
