#!/usr/bin/env python3
"""ondrelle disc end to end, natively: the image read back by a second reader (isoinfo), and the
ways a run can go wrong. Each case prints one line; exit code 1 when any failed, 77 when a tool
it needs is missing."""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

DATE = "1750000000"
FAILED = []


def Check(name, condition, detail=""):
    print("%s %s%s" % ("ok  " if condition else "FAIL", name, "" if condition else ": " + detail))
    if not condition:
        FAILED.append(name)


def Write(path, data=b"x"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


def Disc(args, site, image, *more, env=None, timeout=120):
    command = [args.ondrelle, "disc", site, "-o", image, "--launcher", args.launcher,
               "--date", DATE] + list(more)
    return subprocess.run(command, capture_output=True, timeout=timeout, env=env)


def Isoinfo(image, *flags):
    # isoinfo knows no UTF-8; the names of these sites are all Latin-1.
    return subprocess.run([os.fsencode(a) if isinstance(a, bytes) else a for a in
                           ["isoinfo", "-i", image] + list(flags)], capture_output=True, check=True).stdout


def JolietVolumeId(image):
    with open(image, "rb") as disc:
        for sector in range(16, 32):
            disc.seek(sector * 2048)
            descriptor = disc.read(2048)
            if descriptor[0] == 255:
                break
            if descriptor[0] == 2 and descriptor[88:91] in (b"%/@", b"%/C", b"%/E"):
                return descriptor[40:72].decode("utf-16-be").rstrip()
    return None


def SiteFiles(site):
    files = {}
    for folder, _, names in os.walk(site):
        for name in names:
            path = os.path.join(folder, name)
            files["/" + os.path.relpath(path, site)] = open(path, "rb").read()
    return files


def ImageAsRead(args, site, image):
    """The Joliet names and contents, and the ISO 9660 names, as isoinfo reads them."""
    listing = Isoinfo(image, "-J", "-j", "iso8859-1", "-f").decode("latin-1").splitlines()
    joliet = {}
    for path in listing:
        data = Isoinfo(image, "-J", "-j", "iso8859-1", "-x", path.encode("latin-1"))
        if data or not os.path.isdir(os.path.join(site, path.lstrip("/"))):
            joliet[path] = data
    iso_names = Isoinfo(image, "-f").decode("ascii").splitlines()
    return joliet, iso_names


def TestImage(args, work):
    site = os.path.join(work, "site")
    Write(os.path.join(site, "index.htm"), b"<html><body><a href='Pages/Caf\xc3\xa9 Menu.htm'>x</a></body></html>")
    Write(os.path.join(site, "Pages", "Caf\u00e9 Menu.htm"), b"<p>menu</p>")
    Write(os.path.join(site, "Pages", "a" * 60 + ".htm"), b"<p>long</p>")
    Write(os.path.join(site, "images", "Logo.GIF"), os.urandom(5000))
    Write(os.path.join(site, ".git", "HEAD"), b"ref: refs/heads/main\n")
    Write(os.path.join(site, "Thumbs.db"), b"junk")
    image = os.path.join(work, "out", "test.iso")
    os.makedirs(os.path.dirname(image))
    run = Disc(args, site, image, "--label", "Ondrelle Test Disc 2026")
    Check("disc writes the image", run.returncode == 0 and os.path.isfile(image),
          run.stderr.decode(errors="replace"))
    if run.returncode != 0:
        return
    expected = {path: data for path, data in SiteFiles(site).items()
                if not path.startswith("/.git/") and path != "/Thumbs.db"}
    expected["/kelmora.exe"] = open(args.launcher, "rb").read()
    expected["/autorun.inf"] = (b'[autorun]\r\nopen=kelmora.exe\r\nicon=kelmora.exe\r\n'
                                b'label=Ondrelle Test Disc 2026\r\n')
    joliet, iso_names = ImageAsRead(args, site, image)
    Check("Joliet names and contents are the site's, with the launcher and autorun.inf",
          joliet == expected, "names %s, expected %s" % (sorted(joliet), sorted(expected)))
    level1 = re.compile(r"^(/[A-Z0-9_]{1,8}(\.[A-Z0-9_]{0,3};1)?)+$")
    bad = [name for name in iso_names if not level1.match(name)]
    Check("ISO 9660 names follow level 1", iso_names and not bad, "not level 1: %s" % bad)
    volume = re.search(rb"Volume id: (.*)", Isoinfo(image, "-d"))
    Check("ISO 9660 volume id", volume and volume.group(1).strip() == b"ONDRELLE_TEST_DISC_2026",
          repr(volume and volume.group(1)))
    Check("Joliet volume id", JolietVolumeId(image) == "Ondrelle Test Di", repr(JolietVolumeId(image)))
    left_out = b".git" in run.stdout + run.stderr and b"Thumbs.db" in run.stdout + run.stderr
    Check("the left-out files are named once", left_out, (run.stdout + run.stderr).decode())

    time.sleep(1.1)  # a clock that leaked into the image would now differ
    again = os.path.join(work, "out", "again.iso")
    Disc(args, site, again, "--label", "Ondrelle Test Disc 2026")
    Check("the same site and date give the same bytes",
          open(image, "rb").read() == open(again, "rb").read())
    # A copy made in the other order has its inodes in the other order too.
    copy = os.path.join(work, "copy")
    for path, data in sorted(SiteFiles(site).items(), reverse=True):
        Write(copy + path, data)
    copied = os.path.join(work, "out", "copy.iso")
    Disc(args, copy, copied, "--label", "Ondrelle Test Disc 2026")
    Check("a copy of the site, made in another order, gives the same bytes",
          open(image, "rb").read() == open(copied, "rb").read())

    inside = Disc(args, site, os.path.join(site, "disc.iso"))
    Check("an image inside the site is refused",
          inside.returncode == 2 and not os.path.exists(os.path.join(site, "disc.iso")),
          inside.stderr.decode(errors="replace"))


# The names that real sites hold. Each goes onto the disc exactly as written, in the Joliet tree that Windows
# reads and in the Rock Ridge tree; the ISO 9660 names keep to level 1 whatever the name.
NAMES = [
    "README", "Makefile", "CNAME",  # no extension
    "jquery.min.js", "archive.tar.gz",  # several dots
    ".nojekyll",  # a leading dot
    "My Page.htm", "two  spaces.txt",
    "n" * 60 + ".htm",  # exactly 64 characters, Joliet's limit
    "Caf\u00e9 Men\u00fc.htm", "\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac.htm",
    "\u65e5\u672c\u8a9e.txt", "\U0001f600.txt",  # Latin-1, beyond it, beyond 16 bits
    "#hash.htm", "100%.htm", "a&b.htm", "c++.htm", "it's.htm", "[x].htm", "@home.htm", "~tilde.htm",
    "longname_one.htm", "longname_two.htm",  # one 8.3 name for both
    "a/b/c/d/e/f/g/h/i/j/deep.htm",  # more than 8 folder levels
    "empty.txt",
]


def Tree(root):
    """Every folder (with a trailing /) and file under root, with the file's bytes."""
    tree = {}
    for folder, folders, names in os.walk(root):
        relative = os.path.relpath(folder, root)
        for name in folders:
            tree[os.path.normpath(os.path.join(relative, name)) + "/"] = None
        for name in names:
            with open(os.path.join(folder, name), "rb") as data:
                tree[os.path.normpath(os.path.join(relative, name))] = data.read()
    return tree


def TestNames(args, work):
    site = os.path.join(work, "names")
    for name in NAMES:
        Write(os.path.join(site, name), b"" if name == "empty.txt" else name.encode())
    Write(os.path.join(site, "index.htm"), b"<p>names</p>")
    os.makedirs(os.path.join(site, "empty folder"))
    for n in range(5000):  # a folder of 5,000 files, all alike in their first eight characters
        Write(os.path.join(site, "many", "documentation_page_%04d.html" % n), b"%d" % n)
    image = os.path.join(work, "names.iso")
    run = Disc(args, site, image)
    Check("disc writes every name", run.returncode == 0, (run.stdout + run.stderr).decode(errors="replace"))
    if run.returncode != 0:
        return
    expected = Tree(site)
    expected["kelmora.exe"] = open(args.launcher, "rb").read()
    expected["autorun.inf"] = b"[autorun]\r\nopen=kelmora.exe\r\nicon=kelmora.exe\r\nlabel=names\r\n"
    # 7-Zip reads the Joliet tree, libarchive the Rock Ridge one; neither shares code with the writer.
    for reader, command in (("7-Zip (Joliet)", ["7zz", "x", "-y", "-bd", "-o{out}", image]),
                            ("bsdtar (Rock Ridge)", ["bsdtar", "-x", "-C", "{out}", "-f", image])):
        out = os.path.join(work, "names-" + command[0])
        os.makedirs(out)
        extracted = subprocess.run([a.format(out=out) for a in command], capture_output=True)
        got = Tree(out) if extracted.returncode == 0 else {}
        missing = sorted(set(expected) - set(got))[:5]
        extra = sorted(set(got) - set(expected))[:5]
        changed = sorted(p for p in set(got) & set(expected) if got[p] != expected[p])[:5]
        Check("%s reads every name, size and byte" % reader, got == expected,
              "%s; missing %s, extra %s, changed %s" % (extracted.stderr.decode(errors="replace")[-300:],
                                                       missing, extra, changed))
    # The checksums are xorriso's own: it proves every file and the session by them.
    proved = subprocess.run(["xorriso", "-md5", "on", "-indev", image, "-check_md5_r", "FAILURE", "/", "--"],
                            capture_output=True)
    said = (proved.stdout + proved.stderr).decode(errors="replace")
    Check("xorriso -check_md5_r accepts the image's checksums",
          proved.returncode == 0 and "File contents and their MD5 checksums match." in said, said[-300:])
    level1 = re.compile(r"^(/[A-Z0-9_]{1,8}(\.[A-Z0-9_]{0,3};1)?)+$")
    iso_names = Isoinfo(image, "-f").decode("ascii").splitlines()
    bad = [name for name in iso_names if not level1.match(name)][:5]
    Check("ISO 9660 names stay level 1 and distinct", len(set(iso_names)) == len(expected) and not bad,
          "%d names for %d entries; not level 1: %s" % (len(set(iso_names)), len(expected), bad))


def Leftovers(folder):
    return [name for name in os.listdir(folder) if name != "site"]


def TestInterrupted(args, work):
    site = os.path.join(work, "big")
    os.makedirs(site)
    Write(os.path.join(site, "index.htm"), b"<p>big</p>")
    with open(os.path.join(site, "data.bin"), "wb") as big:
        big.truncate(3 << 30)  # sparse: quick to make, slow enough to write
    out = os.path.join(work, "big-out")
    os.makedirs(out)
    image = os.path.join(out, "big.iso")
    for name, sig in (("killed", signal.SIGKILL), ("interrupted", signal.SIGTERM)):
        process = subprocess.Popen([args.ondrelle, "disc", site, "-o", image, "--launcher",
                                    args.launcher, "--date", DATE],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and process.poll() is None:
            partial = [n for n in os.listdir(out) if n != "big.iso"]
            if partial and os.path.getsize(os.path.join(out, partial[0])) > (64 << 20):
                break
            time.sleep(0.02)
        was_running = process.poll() is None
        process.send_signal(sig)
        process.wait()
        Check("a run %s in the middle leaves no image" % name,
              was_running and not os.path.exists(image),
              "still running: %s, image: %s" % (was_running, os.path.exists(image)))
        if sig == signal.SIGTERM:
            Check("an interrupted run removes its temporary file", os.listdir(out) == [],
                  str(os.listdir(out)))
        for leftover in os.listdir(out):
            os.remove(os.path.join(out, leftover))


def TestFullDisk(args, work):
    site = os.path.join(work, "full")
    Write(os.path.join(site, "index.htm"), b"<p>full</p>")
    Write(os.path.join(site, "noise.bin"), os.urandom(3 << 20))
    out = os.path.join(work, "small-disk")
    os.makedirs(out)
    script = ('mount -t tmpfs -o size=1m tmpfs "$1" && shift && "$@"; status=$?; '
              'ls -A "$OUT"; exit $status')
    run = subprocess.run(["unshare", "--user", "--map-root-user", "--mount", "sh", "-c", script,
                          "sh", out, args.ondrelle, "disc", site, "-o", os.path.join(out, "x.iso"),
                          "--launcher", args.launcher, "--date", DATE],
                         capture_output=True, timeout=60, env=dict(os.environ, OUT=out))
    error = run.stderr.decode(errors="replace")
    Check("a full disk fails clearly and leaves nothing",
          run.returncode == 1 and "No space left on device" in error and run.stdout.strip() == b"",
          "exit %d, stderr %r, left %r" % (run.returncode, error, run.stdout))


def TestFifo(args, work):
    site = os.path.join(work, "fifo")
    Write(os.path.join(site, "index.htm"), b"<p>fifo</p>")
    os.mkfifo(os.path.join(site, "pipe"))
    image = os.path.join(work, "fifo.iso")
    try:
        run = Disc(args, site, image, timeout=30)
        reported = run.returncode == 1 and b"special-file" in run.stdout + run.stderr
        Check("a FIFO is reported and does not block", reported and not os.path.exists(image),
              (run.stdout + run.stderr).decode(errors="replace"))
    except subprocess.TimeoutExpired:
        Check("a FIFO is reported and does not block", False, "the run blocked")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ondrelle", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    for tool, package in (("isoinfo", "genisoimage"), ("7zz", "7zip"), ("bsdtar", "libarchive-tools"),
                          ("xorriso", "xorriso")):
        if not shutil.which(tool):
            print("%s (%s) is missing" % (tool, package))
            return 77
    if not os.path.isfile(args.launcher):
        print("%s is not built: build the win32 preset first" % args.launcher)
        return 77
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    for test in (TestImage, TestNames, TestInterrupted, TestFullDisk, TestFifo):
        test(args, os.path.join(args.work))
    shutil.rmtree(args.work, ignore_errors=True)
    return 1 if FAILED else 0


if __name__ == "__main__":
    sys.exit(main())
