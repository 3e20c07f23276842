#!/usr/bin/env python3
"""Shows a help page that kelmora.exe wrote (message B: autorun.inf incorrect) in headless
Chromium and checks it as a reader meets it: the message is the first text, every anchor is
there, and clicking "see below" scrolls to step 3. Saves a screenshot of the top of the page.

    help_browser.py --page help-message-b.htm --screenshot help-page.png

Talks to Chromium over --remote-debugging-pipe (JSON messages ended by NUL on fds 3 and 4).
Exit code 0 when all checks pass, 1 when one fails, 77 when no Chromium is installed.
"""

import argparse
import base64
import fcntl
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-extensions", "--disable-default-apps", "--mute-audio",
         "--window-size=1024,768", "--remote-debugging-pipe"]
FRAGMENT_TEXT = "This help is being displayed because the file autorun.inf is incorrect (see below)."
ANCHORS = ["Top", "Intro", "HowTo", "autorun", "License"]


def High(fd):
    moved = fcntl.fcntl(fd, fcntl.F_DUPFD, 10)
    os.close(fd)
    return moved


class Browser:
    def __init__(self, binary, profile):
        to_chrome_r, self.to_chrome = os.pipe()
        self.from_chrome, from_chrome_w = os.pipe()
        # Chromium's ends out of the way of 3 and 4, where they must end up.
        to_chrome_r, from_chrome_w = [High(fd) for fd in (to_chrome_r, from_chrome_w)]

        self.log = open(os.path.join(profile, "chromium.log"), "wb")
        # Chromium wants its ends of the pipes as fds 3 and 4; a shell puts them there.
        move = 'exec "$0" "$@" 3<&%d 4>&%d %d<&- %d>&-' % (to_chrome_r, from_chrome_w,
                                                           to_chrome_r, from_chrome_w)
        self.process = subprocess.Popen(
            ["bash", "-c", move, binary] + FLAGS + ["--user-data-dir=" + profile, "about:blank"],
            pass_fds=(to_chrome_r, from_chrome_w), stdin=subprocess.DEVNULL,
            stdout=self.log, stderr=self.log)
        os.close(to_chrome_r)
        os.close(from_chrome_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []

    def _Read(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.from_chrome], [], [], left)[0]:
                raise TimeoutError("Chromium did not answer in time")
            chunk = os.read(self.from_chrome, 65536)
            if not chunk:
                raise EOFError("Chromium closed its pipe")
            self.buffer += chunk
        message, _, self.buffer = self.buffer.partition(b"\0")
        return json.loads(message)

    def Send(self, method, params=None, session=None, timeout=20):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_chrome, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            answer = self._Read(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            self.events.append(answer)

    def WaitEvent(self, method, timeout=20):
        deadline = time.monotonic() + timeout
        while True:
            for event in self.events:
                if event.get("method") == method:
                    self.events.remove(event)
                    return event
            self.events.append(self._Read(deadline))

    def Close(self):
        try:
            self.Send("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_chrome)
        os.close(self.from_chrome)
        self.log.close()


def Check(browser, page, screenshot):
    failures = []

    def Expect(condition, text):
        if not condition:
            failures.append(text)

    target = browser.Send("Target.createTarget", {"url": "about:blank"})["targetId"]
    session = browser.Send("Target.attachToTarget", {"targetId": target, "flatten": True})[
        "sessionId"]

    def Eval(expression):
        result = browser.Send("Runtime.evaluate", {"expression": expression,
                                                   "returnByValue": True}, session)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    browser.Send("Page.enable", session=session)
    browser.Send("Emulation.setDeviceMetricsOverride",
                 {"width": 1024, "height": 768, "deviceScaleFactor": 1, "mobile": False},
                 session)
    browser.Send("Page.navigate", {"url": "file://" + os.path.abspath(page)}, session)
    browser.WaitEvent("Page.loadEventFired")

    title = Eval("document.title")
    Expect(title == "Ondrelle Help", "title %r" % title)

    # The first text a reader meets is the message.
    first = Eval("""(() => {
        const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
        let text = '';
        while (walker.nextNode() && text.length < 200) text += walker.currentNode.data;
        return text.replace(/\\s+/g, ' ').trim();
    })()""")
    Expect(first.startswith(FRAGMENT_TEXT), "the page begins with %r" % first[:120])
    shown = Eval("document.body.innerText.replace(/\\s+/g, ' ').trim()")
    Expect(shown.startswith(FRAGMENT_TEXT), "the page shows first %r" % shown[:120])

    counts = Eval("""(%s).map(name =>
        document.querySelectorAll('a[name="' + name + '"], [id="' + name + '"]').length)"""
                  % json.dumps(ANCHORS))
    for name, count in zip(ANCHORS, counts):
        Expect(count == 1, "anchor %s is there %d times" % (name, count))
    dangling = Eval("""[...document.querySelectorAll('a[href^="#"]')]
        .map(a => a.getAttribute('href').slice(1))
        .filter(name => !document.querySelector('a[name="' + name + '"], [id="' + name + '"]'))""")
    Expect(not dangling, "links to missing anchors: %r" % dangling)

    shot = browser.Send("Page.captureScreenshot", {"format": "png"}, session)
    os.makedirs(os.path.dirname(os.path.abspath(screenshot)), exist_ok=True)
    with open(screenshot, "wb") as image:
        image.write(base64.b64decode(shot["data"]))

    # A real click on "see below", as a reader would make it.
    box = Eval("""(() => {
        const link = [...document.querySelectorAll('a')].find(a => a.textContent === 'see below');
        if (!link) return null;
        const r = link.getBoundingClientRect();
        return {x: r.left + r.width / 2, y: r.top + r.height / 2, href: link.getAttribute('href')};
    })()""")
    Expect(box is not None, "no \"see below\" link")
    if box:
        Expect(box["href"] == "#autorun", "\"see below\" links to %r" % box["href"])
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            browser.Send("Input.dispatchMouseEvent",
                         {"type": kind, "x": box["x"], "y": box["y"], "button": "left",
                          "clickCount": 1}, session)
        deadline = time.monotonic() + 5
        where = None
        while time.monotonic() < deadline:
            where = Eval("""(() => {
                const a = document.querySelector('a[name="autorun"]');
                if (!a) return {hash: location.hash, scrollY: window.scrollY, missing: true};
                const r = a.getBoundingClientRect();
                return {hash: location.hash, top: r.top, scrollY: window.scrollY,
                        bottom: window.scrollY + window.innerHeight >=
                                document.documentElement.scrollHeight - 1,
                        inView: r.top >= 0 && r.bottom <= window.innerHeight,
                        text: a.textContent};
            })()""")
            if where["hash"] == "#autorun" and where["scrollY"] > 0:
                break
            time.sleep(0.1)
        Expect(where["hash"] == "#autorun", "after the click the page is at %r" % where["hash"])
        # The anchor stands at the top, unless the page ends before it can.
        if where.get("missing"):
            return failures
        Expect(where["scrollY"] > 0 and where["inView"] and
               (abs(where["top"]) <= 2 or where["bottom"]),
               "after the click the autorun anchor is not at the top: %r" % where)
        Expect("3" in where["text"], "the autorun anchor labels %r, not step 3" % where["text"])
        shot = browser.Send("Page.captureScreenshot", {"format": "png"}, session)
        root, ext = os.path.splitext(screenshot)
        with open(root + "-step3" + ext, "wb") as image:
            image.write(base64.b64decode(shot["data"]))
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--page", required=True)
    parser.add_argument("--screenshot", required=True)
    parser.add_argument("--chromium", default="chromium")
    args = parser.parse_args()

    binary = shutil.which(args.chromium)
    if not binary:
        print("no %s installed: skipped" % args.chromium)
        return 77
    if not os.path.exists(args.page):
        print("FAIL no help page at %s" % args.page)
        return 1
    profile = tempfile.mkdtemp(prefix="ondrelle-chromium.")
    browser = Browser(binary, profile)
    try:
        failures = Check(browser, args.page, args.screenshot)
    except Exception as error:
        failures = ["browser: %r" % error]
        with open(os.path.join(profile, "chromium.log"), "rb") as log:
            sys.stdout.write(log.read().decode("utf-8", "replace")[-2000:])
    finally:
        browser.Close()
        shutil.rmtree(profile, ignore_errors=True)
    for failure in failures:
        print("FAIL " + failure)
    print("screenshot: %s" % os.path.abspath(args.screenshot))
    print("help page in Chromium: %s" % ("FAILED" if failures else "ok"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
