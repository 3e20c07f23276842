#!/usr/bin/env python3
"""End-to-end runs of the real kelmora.exe under Wine, each in a site of its own.

Every run goes through C:\\e2e\\runner.exe (a job object with a time limit, the message box
answered by WM_COMMAND) with the relay trace on, and is judged by what the shell was asked
(the trace), what the stand-in browser was given (its log), the help.htm left in the
temporary directory, and how the process ended. Prints one line per scenario; exit code 1
when any failed.
"""

import argparse
import fcntl
import os
import re
import shutil
import struct
import subprocess
import sys
import time

IE_FULL = r"C:\Program Files\Internet Explorer\Iexplore.exe"
HANDLER = r"C:\e2e\recorder.exe"
QUESTION = ("This CD was designed to be displayed by Microsoft Internet Explorer,\n"
            "which was not found on your computer.  Other Web browsers may not\n"
            "display this CD correctly.  Try your default Web browser?")
QUESTION_CAPTION = "Internet Explorer Not Found"
MESSAGE_A = (b"Note, Ondrelle (<b>kelmora.exe</b>) is a stand-alone utility. It is not an "
             b"application that needs to be installed on your computer. This help is being "
             b"displayed because the file <b>autorun.inf</b> was not found (see below).")
MESSAGE_B = (b"This help is being displayed because the file <b>autorun.inf</b> is incorrect "
             b"(<a href=\"#autorun\">see below</a>).")
MESSAGE_D = (b"This help is being displayed because neither the file <b>index.htm</b> nor "
             b"<b>index.html</b> was found (<a href=\"#HowTo\">see below</a>).")


def MessageC(token):
    return b"This help is being displayed because the file <b>" + token + b"</b> was not found."


def ErrorFragment(number):
    # The support address is the program's own choice; it must appear twice, alike.
    return re.compile(
        rb'<font color="#FF0000"><b>Error #' + str(number).encode() +
        rb": Can't AutoPlay CD\.</b></font> Please report this error to Brindlecote "
        rb'\(<a href="mailto:([^"<>]+)">\1</a>\)\.')


AUTORUN = b"[autorun]\r\nopen=kelmora.exe\r\n"
AUTORUN_IE = b"[autorun]\r\nopen=kelmora.exe -i\r\n"
PAGE = b"<html><body><p>A page.</p></body></html>\r\n"


# --- The relay trace -------------------------------------------------------------------

CALL = re.compile(r"^([0-9a-f]{4}):[0-9a-f]{4}:Call (\w+)\.(\w+)\((.*)\) ret=([0-9a-f]{8})$")
RET = re.compile(r"^([0-9a-f]{4}):[0-9a-f]{4}:Ret  (\w+)\.(\w+)\(\) retval=([0-9a-f]{8}) "
                 r"ret=([0-9a-f]{8})$")
ARG = re.compile(r'([0-9a-f]{8})(?: "((?:[^"\\]|\\.)*)")?(?:,|$)')


def Unescape(text):
    """Undoes the escaping of Wine's debugstr_a."""
    out = bytearray()
    at = 0
    while at < len(text):
        if text[at] == "\\" and at + 1 < len(text):
            nxt = text[at + 1]
            if nxt == "x":
                out.append(int(text[at + 2:at + 4], 16))
                at += 4
                continue
            out += {"n": b"\n", "r": b"\r", "t": b"\t"}.get(nxt, nxt.encode("latin-1"))
            at += 2
        else:
            out += text[at].encode("latin-1")
            at += 1
    return out.decode("latin-1")


class Call:
    def __init__(self, name, args):
        self.name = name          # "ShellExecuteA"
        self.args = args          # ints, or strings for string arguments
        self.result = None

    def __repr__(self):
        return "%s%r=%s" % (self.name, tuple(self.args), self.result)


def ImageRange(exe):
    """Where the exe lies in memory: the calls it makes return there."""
    with open(exe, "rb") as image:
        data = image.read(4096)
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    base = struct.unpack_from("<I", data, optional + 28)[0]
    size = struct.unpack_from("<I", data, optional + 56)[0]
    return range(base, base + size)


def ParseTrace(text, pid, image):
    """The traced calls that the exe itself made in process pid, in order; calls that
    Windows makes on its own behalf (DestroyWindow of the IME window, say) are left out."""
    calls = []
    open_calls = []
    for line in text.splitlines():
        match = CALL.match(line)
        if match and match.group(1) == pid and int(match.group(5), 16) in image:
            args = []
            for arg in ARG.finditer(match.group(4)):
                args.append(Unescape(arg.group(2)) if arg.group(2) is not None
                            else int(arg.group(1), 16))
            calls.append(Call(match.group(3), args))
            open_calls.append(calls[-1])
            continue
        match = RET.match(line)
        if match and match.group(1) == pid and int(match.group(5), 16) in image:
            for call in reversed(open_calls):
                if call.name == match.group(3):
                    call.result = int(match.group(4), 16)
                    open_calls.remove(call)
                    break
    return calls


# --- The Wine session -------------------------------------------------------------------

class Session:
    def __init__(self, args):
        self.repo = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
        self.wine_run = os.path.join(self.repo, "tests", "wine-run")
        self.prefix = os.path.abspath(args.prefix)
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.root = os.path.join(self.drive_c, "e2e")
        self.disc = os.path.join(self.root, "disc")
        self.exe = args.exe
        self.image = ImageRange(args.exe)
        self.xvfb = None
        self.display = None
        self.env = dict(os.environ)
        self.env.pop("DISPLAY", None)
        self.env["ONDRELLE_WINEPREFIX"] = self.prefix
        self.env["WINEPREFIX"] = self.prefix
        self.env.pop("ONDRELLE_WINE_DISPLAY", None)
        # Under CPU emulation every run takes several times as long.
        self.time_scale = int(subprocess.check_output(
            [os.path.join(self.repo, "tests", "wine-time-scale")]).decode().strip())

    def Prepare(self, recorder, runner):
        subprocess.run([os.path.join(self.repo, "tests", "e2e", "wine-e2e-prefix"), self.prefix,
                        self.disc, recorder, runner], check=True, env=self.env)

    def StartDisplay(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            number = reader.readline().strip()
        if not number.isdigit():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def EndSession(self):
        """Ends every Wine process of the prefix: the next run starts a fresh session."""
        for flag in ("-k", "-w"):
            subprocess.run(["wineserver", flag], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def Close(self):
        self.EndSession()
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    def Windows(self, path):
        """The C:\\ path of a file under drive_c."""
        rel = os.path.relpath(path, self.drive_c)
        return "C:\\" + rel.replace("/", "\\")

    def Run(self, command, cwd, tmp, log, out_dir, answer=None, display=True,
            timeout_ms=10000, locale=None):
        timeout_ms *= self.time_scale
        env = dict(self.env)
        env["WINEDEBUG"] = "+relay,+pid"
        if locale:
            env["LC_ALL"] = locale  # Wine takes the ANSI code page from it
        if display:
            env["DISPLAY"] = self.display
        runner = [self.wine_run, r"C:\e2e\runner.exe", "--env", "TMP=" + tmp, "--env",
                  "TEMP=" + tmp, "--env", "ONDRELLE_E2E_LOG=" + log, "--cwd", cwd,
                  "--timeout", str(timeout_ms), "--grace", str(5000 * self.time_scale)]
        if answer:
            runner += ["--answer", answer]
        out_path = os.path.join(out_dir, "runner.out")
        trace_path = os.path.join(out_dir, "wine.trace")
        # Files, not pipes: Wine's processes would hold pipes open.
        with open(out_path, "wb") as out, open(trace_path, "wb") as trace:
            subprocess.run(runner + [command], env=env, stdin=subprocess.DEVNULL, stdout=out,
                           stderr=trace, timeout=timeout_ms / 1000 + 60)
        report = {}
        with open(out_path, encoding="latin-1") as out:
            for line in out:
                key, _, value = line.rstrip("\r\n").partition("=")
                report[key] = value
        with open(trace_path, encoding="latin-1") as trace:
            calls = ParseTrace(trace.read(), report.get("pid", "?"), self.image)
        return report, calls


# --- Scenarios --------------------------------------------------------------------------

class Scenario:
    """One run: a site of its own under C:\\e2e\\<name>, its own temp directory and log."""

    def __init__(self, session, name):
        self.session = session
        self.name = name
        self.dir = os.path.join(session.root, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        self.tmp = os.path.join(self.dir, "tmp")
        os.makedirs(self.tmp)
        self.log = os.path.join(self.dir, "opened.log")
        self.failures = []
        self.report = {}
        self.calls = []
        # The Windows code page of the run's texts (the stand-in browser's log), and the
        # Unix locale that gives it.
        self.encoding = "latin-1"
        self.locale = None

    def Site(self, files, folder="Site"):
        """Writes the site's files beside a copy of kelmora.exe; folder None is drive D:."""
        site = os.path.join(self.dir, folder) if folder else self.session.disc
        if not folder:
            for entry in os.listdir(site):
                path = os.path.join(site, entry)
                shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        os.makedirs(site, exist_ok=True)
        for rel, data in files.items():
            path = os.path.join(site, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as handle:
                handle.write(data)
        shutil.copyfile(self.session.exe, os.path.join(site, "kelmora.exe"))
        return site

    def Run(self, command, cwd, answer=None, display=True, tmp=None):
        self.report, self.calls = self.session.Run(
            command, cwd, tmp or self.session.Windows(self.tmp), self.session.Windows(self.log),
            self.dir, answer, display, locale=self.locale)

    def Expect(self, condition, text):
        if not condition:
            self.failures.append(text)
        return condition

    # What every run must show.
    def ExpectEndedByItself(self):
        report = self.report
        self.Expect(report.get("exit") == "0x00000000",
                    "did not exit with 0 by itself: %s" % {k: report[k] for k in report
                                                           if k in ("exit", "crash", "hang")})
        self.Expect(report.get("leftover") == "0",
                    "processes left running: %s" % report.get("leftover.names"))

    def Named(self, name):
        return [call for call in self.calls if call.name == name]

    def LaunchWindow(self):
        made = self.Named("CreateWindowExA")
        return made[0].result if made else None

    def ExpectWindow(self, made):
        created = self.Named("CreateWindowExA")
        if not made:
            self.Expect(not created, "a window was made: %r" % created)
            return
        if not self.Expect(len(created) == 1, "expected one CreateWindowExA, got %r" % created):
            return
        args = created[0].args
        # WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE, zero size, no parent or menu, our instance.
        self.Expect(args == [0x80, "AppWindow", "Ondrelle", 0x90000000, 0, 0, 0, 0, 0, 0,
                             self.session.image.start, 0],
                    "launch window made as %r" % args)
        window = created[0].result
        if not window:
            return
        # One WM_USER starts the launch, and the launch ends by destroying the window.
        posted = self.Named("PostMessageA")
        self.Expect([c.args for c in posted] == [[window, 0x400, 0, 0]],
                    "posted %r, expected WM_USER once" % posted)
        destroyed = self.Named("DestroyWindow")
        self.Expect([c.args for c in destroyed] == [[window]],
                    "destroyed %r, expected the launch window once" % destroyed)
        # The launch happens while the window lives; the help page comes after it.
        launch = [c for c in self.Named("ShellExecuteA") if c.args[0] == window]
        order = [c.name for c in self.calls if c.name != "MessageBoxA"]
        expected = ["CreateWindowExA", "PostMessageA"] + ["ShellExecuteA"] * len(launch)
        self.Expect(order[:len(expected) + 1] == expected + ["DestroyWindow"],
                    "calls in the order %r" % order)

    def ExpectShell(self, requests):
        """requests: (owner, file, parameters, result) per ShellExecuteA, in order."""
        made = [(c.args[0], c.args[1], c.args[2], c.args[3], c.args[4], c.args[5], c.result)
                for c in self.Named("ShellExecuteA")]
        wanted = [(owner, "open", file, params, 0, 1, result)
                  for owner, file, params, result in requests]
        self.Expect(made == wanted, "shell asked %r, expected %r" % (made, wanted))

    def ExpectQuestion(self, answered):
        boxes = self.Named("MessageBoxA")
        self.Expect(len(boxes) == 1 and boxes[0].args[1:] == [QUESTION, QUESTION_CAPTION, 0x131]
                    and boxes[0].args[0] == self.LaunchWindow(),
                    "message box %r" % boxes)
        if answered:
            report = self.report
            self.Expect(report.get("dialog.caption") == QUESTION_CAPTION,
                        "dialog caption %r" % report.get("dialog.caption"))
            self.Expect(report.get("dialog.text") == QUESTION.replace("\n", "\\n"),
                        "dialog text %r" % report.get("dialog.text"))
            self.Expect(report.get("dialog.buttons") == "1:OK,2:Cancel",
                        "dialog buttons %r" % report.get("dialog.buttons"))
            self.Expect(report.get("dialog.default") == "2",
                        "default button %r" % report.get("dialog.default"))

    def ExpectNoQuestion(self):
        self.Expect(not self.Named("MessageBoxA") and "dialog.caption" not in self.report,
                    "unexpected message box %r" % self.Named("MessageBoxA"))

    def ExpectBeeps(self, count):
        beeps = self.Named("MessageBeep")
        self.Expect(len(beeps) == count and all(b.args == [0x10] for b in beeps),
                    "beeps %r, expected %d of MB_ICONHAND" % (beeps, count))

    def ExpectOpened(self, programs_and_documents):
        """The stand-in browser's log: (program, document) per start, in order. Each command
        line must be the program and then the document as its one quoted argument."""
        lines = []
        if os.path.exists(self.log):
            with open(self.log, "rb") as log:
                lines = log.read().decode(self.encoding).splitlines()
        got = []
        for line in lines:
            module, _, command = line.partition("\t")
            match = re.match(r'^("[^"]*"|\S+) (.*)$', command)
            got.append((module.lower(), match.group(2) if match else "<%s>" % command))
        wanted = [(program.lower(), '"%s"' % document)
                  for program, document in programs_and_documents]
        self.Expect(got == wanted, "opened %r, expected %r" % (got, wanted))

    def HelpPath(self):
        return os.path.join(self.tmp, "help.htm")

    def ExpectHelp(self, message):
        """help.htm: the template with the placeholder replaced by message (bytes, or a
        compiled pattern for the error fragment), and nothing else changed."""
        path = self.HelpPath()
        if message is None:
            self.Expect(not os.path.exists(path), "a help page was written")
            return
        if not self.Expect(os.path.exists(path), "no help page in the temp directory"):
            return
        with open(path, "rb") as page:
            written = page.read()
        head, _, tail = TEMPLATE.partition(b"[ErrMsg]")
        ok = written.startswith(head) and written.endswith(tail) and \
            len(written) >= len(head) + len(tail)
        middle = written[len(head):len(written) - len(tail)] if ok else b""
        if isinstance(message, bytes):
            ok = ok and middle == message
        else:
            ok = ok and message.fullmatch(middle) is not None
        self.Expect(ok, "help.htm is not the template with %r in place of [ErrMsg] (got %r...)"
                    % (message if isinstance(message, bytes) else message.pattern,
                       middle[:160] if middle else written[:80]))


def Page(scenario, site):
    """The page path the start page search gives: lower-cased."""
    return (scenario.session.Windows(site) + "\\index.htm").lower()


def DefaultBrowser(s):
    site = s.Site({"index.htm": PAGE, "page2.htm": PAGE, "autorun.inf": AUTORUN})
    s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site))
    page = Page(s, site)
    s.ExpectWindow(made=True)
    s.ExpectShell([(s.LaunchWindow(), page, 0, 33)])
    s.ExpectNoQuestion()
    s.ExpectOpened([(HANDLER, page)])
    s.ExpectHelp(None)
    s.ExpectBeeps(0)


def ArgumentsIgnored(s):
    # As DefaultBrowser, with a command line that would mean something if it were read.
    site = s.Site({"index.htm": PAGE, "page2.htm": PAGE, "autorun.inf": AUTORUN})
    s.Run(s.session.Windows(site) + '\\kelmora.exe -i page2.htm "third token" -x /?',
          s.session.Windows(site))
    page = Page(s, site)
    s.ExpectWindow(made=True)
    s.ExpectShell([(s.LaunchWindow(), page, 0, 33)])
    s.ExpectNoQuestion()
    s.ExpectOpened([(HANDLER, page)])
    s.ExpectHelp(None)


def InternetExplorer(s):
    # A blank in the page path: the quotes keep it one argument.
    site = s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN_IE}, folder="My Site")
    s.Run('"%s\\kelmora.exe"' % s.session.Windows(site), s.session.Windows(site))
    page = Page(s, site)
    s.ExpectWindow(made=True)
    s.ExpectShell([(s.LaunchWindow(), IE_FULL, '"%s"' % page, 33)])
    s.ExpectNoQuestion()
    s.ExpectOpened([(IE_FULL, page)])
    s.ExpectHelp(None)


def IELongestPath(s):
    # A named page of 259 characters, the most pagePath holds: quoted whole for Internet
    # Explorer, never cut.
    site_dir = os.path.join(s.dir, "Site")
    token = "p" * (259 - len(s.session.Windows(site_dir) + "\\") - len(".htm")) + ".htm"
    autorun = b"[autorun]\r\nopen=kelmora.exe -i " + token.encode() + b"\r\n"
    site = s.Site({"index.htm": PAGE, token: PAGE, "autorun.inf": autorun})
    s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site))
    page = s.session.Windows(site) + "\\" + token
    s.Expect(len(page) == 259, "the page path has %d characters, not 259" % len(page))
    s.ExpectWindow(made=True)
    s.ExpectShell([(s.LaunchWindow(), IE_FULL, '"%s"' % page, 33)])
    s.ExpectOpened([(IE_FULL, page)])
    s.ExpectHelp(None)


def IEPath(session):
    return os.path.join(session.drive_c, "Program Files", "Internet Explorer", "iexplore.exe")


def WithoutIE(session):
    """Internet Explorer missing for the duration of a with block."""
    class Missing:
        def __enter__(self):
            os.rename(IEPath(session), IEPath(session) + ".away")

        def __exit__(self, *exc):
            os.rename(IEPath(session) + ".away", IEPath(session))
    return Missing()


def IEByBareName(s):
    # The full path is gone, but the shell finds Iexplore.exe by its own rules.
    site = s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN_IE})
    # Not in system32: there Wine prefers its own built-in iexplore to any file.
    system_ie = os.path.join(s.session.drive_c, "windows", "iexplore.exe")
    with WithoutIE(s.session):
        shutil.copyfile(IEPath(s.session) + ".away", system_ie)
        try:
            s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site))
        finally:
            os.remove(system_ie)
    page = Page(s, site)
    s.ExpectShell([(s.LaunchWindow(), "Iexplore.exe", '"%s"' % page, 33)])
    s.ExpectNoQuestion()
    s.ExpectOpened([(r"C:\windows\iexplore.exe", page)])
    s.ExpectHelp(None)


def IEMissingOK(s):
    site = s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN_IE})
    with WithoutIE(s.session):
        s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site), answer="ok")
    page = Page(s, site)
    window = s.LaunchWindow()
    s.ExpectWindow(made=True)
    s.ExpectShell([(window, "Iexplore.exe", '"%s"' % page, 2), (window, page, 0, 33)])
    s.ExpectQuestion(answered=True)
    s.Expect(s.report.get("answered") == "1", "the question was not answered with OK")
    s.ExpectOpened([(HANDLER, page)])
    s.ExpectHelp(None)
    s.ExpectBeeps(0)


def IEMissingCancel(s):
    site = s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN_IE})
    with WithoutIE(s.session):
        s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site), answer="cancel")
    page = Page(s, site)
    s.ExpectWindow(made=True)
    s.ExpectShell([(s.LaunchWindow(), "Iexplore.exe", '"%s"' % page, 2)])
    s.ExpectQuestion(answered=True)
    s.Expect(s.report.get("answered") == "2", "the question was not answered with Cancel")
    s.ExpectOpened([])
    s.ExpectHelp(None)
    s.ExpectBeeps(0)


def IENotAProgram(s):
    # Any refusal but "not found" asks nothing and shows the help page with its number.
    site = s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN_IE})
    with WithoutIE(s.session):
        with open(IEPath(s.session), "wb") as fake:
            fake.write(b"not a program\r\n")
        try:
            s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site))
        finally:
            os.remove(IEPath(s.session))
    page = Page(s, site)
    help_page = s.session.Windows(s.HelpPath())
    s.ExpectWindow(made=True)
    s.ExpectShell([(s.LaunchWindow(), IE_FULL, '"%s"' % page, 11), (0, help_page, 0, 33)])
    s.ExpectNoQuestion()
    s.ExpectOpened([(HANDLER, help_page)])
    s.ExpectHelp(ErrorFragment(11))
    s.ExpectBeeps(0)


def BrowserRefused(s):
    # The association names a program that is not there: the page fails with 2, the help
    # page then too, and the beep is all that is left.
    site = s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN})
    handler = os.path.join(s.session.root, "recorder.exe")
    os.rename(handler, handler + ".away")
    try:
        s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site))
    finally:
        os.rename(handler + ".away", handler)
    page = Page(s, site)
    s.ExpectWindow(made=True)
    s.ExpectShell([(s.LaunchWindow(), page, 0, 2), (0, s.session.Windows(s.HelpPath()), 0, 2)])
    s.ExpectNoQuestion()
    s.ExpectOpened([])
    s.ExpectHelp(ErrorFragment(2))
    s.ExpectBeeps(1)


def HelpScenario(autorun, message, with_index=True, token=None):
    def Check(s):
        files = {"index.htm": PAGE} if with_index else {"page.htm": PAGE}
        if autorun is not None:
            files["autorun.inf"] = autorun
        site = s.Site(files)
        s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site))
        help_page = s.session.Windows(s.HelpPath())
        s.ExpectWindow(made=False)
        s.ExpectShell([(0, help_page, 0, 33)])
        s.ExpectNoQuestion()
        s.ExpectOpened([(HANDLER, help_page)])
        s.ExpectHelp(message)
        s.ExpectBeeps(0)
    return Check


def HelpUnwritable(s):
    site = s.Site({"index.htm": PAGE})
    s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site),
          tmp=s.session.Windows(os.path.join(s.dir, "missing")))
    s.ExpectWindow(made=False)
    s.ExpectShell([])
    s.ExpectOpened([])
    s.Expect(not os.path.exists(os.path.join(s.dir, "missing")), "the temp directory appeared")
    s.ExpectBeeps(1)


def LongTemp(s, length):
    """A temp directory whose path, backslash included, has length characters."""
    base = s.session.Windows(s.dir) + "\\"
    path = os.path.join(s.dir, "t" * (length - 1 - len(base)))
    os.makedirs(path)
    return path


def HelpPathTooLong(s):
    # 252 characters and "help.htm" need 261 bytes: no help page, not even a cut one.
    tmp = LongTemp(s, 252)
    site = s.Site({"index.htm": PAGE})
    s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site),
          tmp=s.session.Windows(tmp))
    s.ExpectShell([])
    s.Expect(not os.listdir(tmp) and sorted(os.listdir(s.dir)) ==
             sorted(["Site", "tmp", os.path.basename(tmp), "runner.out", "wine.trace"]),
             "files written: %r, %r" % (os.listdir(tmp), os.listdir(s.dir)))
    s.ExpectBeeps(1)


def HelpPathLongest(s):
    # 251 characters: help.htm fits exactly (259 characters). Wine's shell refuses documents
    # of 256 characters or more, so the page is written and the opening may fail.
    tmp = LongTemp(s, 251)
    site = s.Site({"index.htm": PAGE})
    s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site),
          tmp=s.session.Windows(tmp))
    help_page = s.session.Windows(os.path.join(tmp, "help.htm"))
    shell = s.Named("ShellExecuteA")
    s.Expect(len(help_page) == 259 and len(shell) == 1 and shell[0].args[2] == help_page,
             "shell asked %r for a help page at %s" % (shell, help_page))
    s.tmp = tmp
    s.ExpectHelp(MESSAGE_A)
    s.ExpectBeeps(0 if shell and shell[0].result > 32 else 1)


def DriveRoot(s):
    # As AutoPlay runs it: D:\kelmora.exe on a CD-ROM drive, the root as working directory.
    s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN, "Docs/index.htm": PAGE}, folder=None)
    s.Run(r"D:\kelmora.exe", "D:\\")
    s.Expect(s.report.get("cwd.drive_type") == "5",
             "drive D: is of type %r, not a CD-ROM (5)" % s.report.get("cwd.drive_type"))
    s.ExpectWindow(made=True)
    s.ExpectShell([(s.LaunchWindow(), r"d:\index.htm", 0, 33)])
    s.ExpectOpened([(HANDLER, r"d:\index.htm")])
    s.ExpectHelp(None)


def DriveRootSubdirectory(s):
    # No index file in the root: the smallest lower-cased path of the subdirectories wins.
    s.Site({"autorun.inf": AUTORUN, "Web/index.htm": PAGE, "web2/index.htm": PAGE,
            "Docs/index.html": PAGE}, folder=None)
    s.Run(r"D:\kelmora.exe", "D:\\")
    s.ExpectShell([(s.LaunchWindow(), r"d:\docs\index.html", 0, 33)])
    s.ExpectOpened([(HANDLER, r"d:\docs\index.html")])


def NoDisplay(s):
    # No window can be made: the page is opened anyway, with no owner, and the run ends.
    site = s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN})
    s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site), display=False)
    page = Page(s, site)
    created = s.Named("CreateWindowExA")
    s.Expect(len(created) == 1 and created[0].result == 0,
             "CreateWindowExA without a display: %r" % created)
    s.ExpectShell([(0, page, 0, 33)])
    s.ExpectOpened([(HANDLER, page)])
    s.ExpectHelp(None)


def NoDisplayIEMissing(s):
    # The question cannot be shown either (MessageBoxA gives 0, or -1 under Wine): that is no
    # Cancel, so the default browser opens the page.
    site = s.Site({"index.htm": PAGE, "autorun.inf": AUTORUN_IE})
    with WithoutIE(s.session):
        s.Run(s.session.Windows(site) + "\\kelmora.exe", s.session.Windows(site), display=False)
    page = Page(s, site)
    s.ExpectShell([(0, "Iexplore.exe", '"%s"' % page, 2), (0, page, 0, 33)])
    boxes = s.Named("MessageBoxA")
    s.Expect(len(boxes) == 1 and boxes[0].result != 2, "message box %r" % boxes)
    s.ExpectOpened([(HANDLER, page)])
    s.ExpectHelp(None)


SCENARIOS = [
    ("default-browser", DefaultBrowser, True),
    ("arguments-ignored", ArgumentsIgnored, True),
    ("ie", InternetExplorer, True),
    ("ie-longest-path", IELongestPath, True),
    ("ie-bare-name", IEByBareName, True),
    ("ie-missing-ok", IEMissingOK, True),
    ("ie-missing-cancel", IEMissingCancel, True),
    ("ie-not-a-program", IENotAProgram, True),
    ("browser-refused", BrowserRefused, True),
    ("missing-autorun", HelpScenario(None, MESSAGE_A), True),
    ("incorrect-autorun", HelpScenario(b"[autorun]\r\nopen=kelmora.exe -x\r\n", MESSAGE_B), True),
    ("missing-page", HelpScenario(b'[autorun]\r\nopen=kelmora.exe "no such page.htm"\r\n',
                                  MessageC(b"no such page.htm")), True),
    ("no-start-page", HelpScenario(AUTORUN, MESSAGE_D, with_index=False), True),
    ("help-unwritable", HelpUnwritable, True),
    ("help-path-too-long", HelpPathTooLong, True),
    ("help-path-longest", HelpPathLongest, True),
    ("drive-root", DriveRoot, True),
    ("drive-root-subdirectory", DriveRootSubdirectory, True),
    ("no-display", NoDisplay, False),
    ("no-display-ie-missing", NoDisplayIEMissing, False),
]


def ToolSuite(description, extra_arguments, cases, play, what, switches=()):
    """The end-to-end runs of the native publisher tool against the real kelmora.exe: parses
    the common arguments (and extra_arguments and switches, (flag, help) pairs), skips (77) when
    the tool is not built, and plays each case in a Scenario of its own on one Wine session.
    play(args, session, scenario, case) returns the text of its ok line. The exit status."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--tool", required=True, help="the native ondrelle")
    for flag, text in extra_arguments:
        parser.add_argument(flag, required=True, help=text)
    for flag, text in switches:
        parser.add_argument(flag, action="store_true", help=text)
    for flag in ("--exe", "--recorder", "--runner", "--template", "--prefix"):
        parser.add_argument(flag, required=True)
    args = parser.parse_args()
    if not os.access(args.tool, os.X_OK):
        print("skipped: %s is not built (build the native preset first)" % args.tool)
        return 77

    global TEMPLATE
    with open(args.template, "rb") as template:
        TEMPLATE = template.read()
    started = time.monotonic()
    session = Session(args)
    lock = open(session.prefix + ".e2e-run.lock", "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    session.Prepare(args.recorder, args.runner)
    failed = 0
    try:
        session.EndSession()
        session.StartDisplay()
        for case in cases:
            s = Scenario(session, what + "-" + case[0])
            shown = ""
            try:
                shown = play(args, session, s, case)
            except Exception as error:  # a broken harness is a failure too
                s.failures.append("harness: %r" % error)
            if s.failures:
                failed += 1
                print("FAIL %s" % case[0])
                for failure in s.failures:
                    print("     - " + failure)
            else:
                print("ok   %-20s %s" % (case[0], shown))
            sys.stdout.flush()
    finally:
        session.Close()
    print("%d %ss, %d failed, %.1f s" % (len(cases), what, failed, time.monotonic() - started))
    lock.close()
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True, help="kelmora.exe to test")
    parser.add_argument("--recorder", required=True)
    parser.add_argument("--runner", required=True)
    parser.add_argument("--template", required=True, help="res/help.htm")
    parser.add_argument("--prefix", required=True, help="the Wine prefix for these runs")
    parser.add_argument("--out", help="directory for the help page of message B")
    parser.add_argument("--only", nargs="*", help="scenario names to run")
    args = parser.parse_args()

    global TEMPLATE
    with open(args.template, "rb") as template:
        TEMPLATE = template.read()
    names = [name for name, _, _ in SCENARIOS]
    for name in args.only or []:
        if name not in names:
            parser.error("no scenario %s (have: %s)" % (name, ", ".join(names)))

    started = time.monotonic()
    session = Session(args)
    # One run at a time on this prefix, setup included: the scenarios move Internet
    # Explorer and the stand-in browser about.
    os.makedirs(os.path.dirname(session.prefix), exist_ok=True)
    lock = open(session.prefix + ".e2e-run.lock", "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    session.Prepare(args.recorder, args.runner)
    failed = 0
    count = 0
    try:
        session.EndSession()
        session.StartDisplay()
        displayed = True
        for name, check, with_display in SCENARIOS:
            if args.only and name not in args.only:
                continue
            if displayed and not with_display:
                # The desktop of a session with a display would serve a run without one.
                session.EndSession()
                displayed = False
            scenario = Scenario(session, name)
            began = time.monotonic()
            try:
                check(scenario)
                if scenario.report:
                    scenario.ExpectEndedByItself()
            except Exception as error:  # a broken harness is a failure too, not a crash
                scenario.failures.append("harness: %r" % error)
            count += 1
            seconds = time.monotonic() - began
            if scenario.failures:
                failed += 1
                print("FAIL %-24s %5.1f s" % (name, seconds))
                for failure in scenario.failures:
                    print("     - " + failure)
            else:
                print("ok   %-24s %5.1f s  (%s ms in the job)"
                      % (name, seconds, scenario.report.get("elapsed_ms", "?")))
            sys.stdout.flush()
            if name == "incorrect-autorun" and args.out and os.path.exists(scenario.HelpPath()):
                os.makedirs(args.out, exist_ok=True)
                shutil.copyfile(scenario.HelpPath(), os.path.join(args.out, "help-message-b.htm"))
    finally:
        session.Close()
    print("%d scenarios, %d failed, %.1f s" % (count, failed, time.monotonic() - started))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
