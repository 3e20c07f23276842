#!/usr/bin/env python3
"""ondrelle disc --sign with a throw-away authority, and what ondrelle check says of the
launcher's signature: osslsigncode verifies the image's kelmora.exe, the time stamp is in it,
the site and the launcher given stay as they were, the password is nowhere but in its file; the
check's findings for each kind of launcher; and the certificates that must stop disc. Each case
prints one line; exit code 1 when any failed, 77 when a tool or the launcher is missing.
"""

import argparse
import hashlib
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import throwaway_ca  # noqa: E402

FAILED = []


def Expect(name, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else ": " + detail))
    if not ok:
        FAILED.append(name)


def Digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Tool:
    def __init__(self, args, work, authority):
        self.args = args
        self.work = work
        self.temporary = os.path.join(work, "tmp")
        os.makedirs(self.temporary)
        # osslsigncode as the tool runs it, with its arguments recorded.
        bin = os.path.join(work, "bin")
        os.makedirs(bin)
        self.arguments = os.path.join(work, "arguments")
        wrapper = os.path.join(bin, "osslsigncode")
        with open(wrapper, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\nexec "%s" "$@"\n'
                    % (self.arguments, shutil.which("osslsigncode")))
        os.chmod(wrapper, 0o755)
        self.env = dict(os.environ, SSL_CERT_FILE=authority.root, TMPDIR=self.temporary,
                        PATH=bin + os.pathsep + os.environ["PATH"])
        self.env.pop("ONDRELLE_SIGN_PASSWORD", None)

    def Run(self, *arguments, env=None):
        run = subprocess.run([self.args.ondrelle] + list(arguments), capture_output=True, text=True,
                             env=dict(self.env, **(env or {})), timeout=120)
        return run.returncode, run.stdout, run.stderr

    def Disc(self, site, image, *options, env=None):
        return self.Run("disc", site, "-o", image, "--launcher", self.args.launcher, "--date", "2026-12-01",
                        *options, env=env)

    def Check(self, path):
        status, out, err = self.Run("check", "--json", path)
        return json.loads(out) if out else {"findings": [], "error": err}


def Ids(report):
    return sorted({f["id"] for f in report["findings"] if f["id"] in
                   ("launcher-unsigned", "launcher-signed", "signature-mismatch", "signature-untrusted",
                    "signature-expires", "signature-unread")})


def Extract(image, name, to):
    with open(to, "wb") as f:
        subprocess.run(["bsdtar", "-xOf", image, name], stdout=f, check=True)
    return to


def TestSigned(tool, authority, site, work):
    """The signed, time-stamped image: its launcher verifies, and nothing else changed."""
    before = {path: Digest(os.path.join(site, path)) for path in os.listdir(site)}
    launcher = Digest(tool.args.launcher)
    image = os.path.join(work, "signed.iso")
    with throwaway_ca.TimeStampServer(authority) as tsa:
        status, out, err = tool.Disc(site, image, "--label", "Spring Catalogue", "--sign", authority.pfx,
                                     "--sign-password-file", authority.password, "--sign-url",
                                     "https://publishing.example", "--timestamp", tsa.url)
    Expect("disc --sign --timestamp writes the image", status == 0 and os.path.isfile(image), out + err)
    if status != 0:
        return image
    signed = Extract(image, "kelmora.exe", os.path.join(work, "kelmora.exe"))
    verify = subprocess.run(["osslsigncode", "verify", "-in", signed, "-CAfile", authority.root,
                             "-TSA-CAfile", authority.root], capture_output=True, text=True).stdout
    Expect("the image's kelmora.exe verifies against the authority", "Signature verification: ok" in verify,
           verify)
    Expect("it is time-stamped, with the description and the address",
           "Timestamp Server Signature verification: ok" in verify and "Spring Catalogue" in verify
           and "https://publishing.example" in verify, verify)
    Expect("the site and the launcher given are as they were",
           before == {path: Digest(os.path.join(site, path)) for path in os.listdir(site)}
           and launcher == Digest(tool.args.launcher))
    report = tool.Check(image)
    signature = report.get("signature") or {}
    Expect("check IMAGE names the signer, the time stamp and the expiry",
           Ids(report) == ["launcher-signed"] and signature.get("signer") == throwaway_ca.SIGNER
           and signature.get("timestamp") and signature.get("expires") and signature.get("verified"),
           json.dumps(report.get("signature")) + " " + str(Ids(report)))
    password = throwaway_ca.PASSWORD
    with open(tool.arguments) as f:
        arguments = f.read()
    with open(image, "rb") as f:
        inImage = password.encode() in f.read()
    left = [os.path.join(folder, name) for folder, _, names in os.walk(tool.temporary) for name in names]
    Expect("the password is in no argument, report, image or file left behind",
           password not in arguments and password not in out + err + json.dumps(report) and not inImage
           and not left, "left behind: %s" % left)
    return image


def TestFindings(tool, authority, site, work, signed):
    """The check's finding for each kind of launcher that AutoPlay starts."""
    unsigned = os.path.join(work, "unsigned.iso")
    tool.Disc(site, unsigned)
    plain, again = os.path.join(work, "plain.iso"), os.path.join(work, "again.iso")
    for image in (plain, again):
        tool.Disc(site, image, "--sign", authority.pfx, env={"ONDRELLE_SIGN_PASSWORD": throwaway_ca.PASSWORD})
    Expect("a signed image without a time stamp is reproducible", Digest(plain) == Digest(again))
    # A site with its own signed launcher, changed by one byte after signing.
    changed = os.path.join(work, "changed")
    os.makedirs(changed)
    shutil.copy(os.path.join(site, "index.htm"), changed)
    with open(os.path.join(changed, "autorun.inf"), "w") as f:
        f.write("[autorun]\r\nopen=kelmora.exe\r\n")
    launcher = bytearray(open(os.path.join(work, "kelmora.exe"), "rb").read())
    launcher[0x1000] ^= 1
    open(os.path.join(changed, "kelmora.exe"), "wb").write(launcher)
    for name, path, ids in (("unsigned", unsigned, ["launcher-unsigned"]),
                            ("signed and time-stamped", signed, ["launcher-signed"]),
                            ("signed without a time stamp", plain, ["launcher-signed", "signature-expires"]),
                            ("signed, then changed by one byte", changed, ["signature-mismatch"])):
        report = tool.Check(path)
        Expect("check of a launcher %s: %s" % (name, ", ".join(ids)), Ids(report) == ids,
               "%s %s" % (Ids(report), report.get("error", "")))


def TestRefused(tool, authority, site, work):
    """Certificates that cannot sign stop disc before anything is written."""
    wrong = os.path.join(work, "wrong-password")
    with open(wrong, "w") as f:
        f.write("not the password\n")
    image = os.path.join(work, "refused.iso")
    for name, certificate, password, says in (
            ("a wrong password", authority.pfx, wrong, "the password does not open"),
            ("a file that is not PKCS#12", authority.not_pkcs12, authority.password, "is not a PKCS#12 file"),
            ("an expired certificate", authority.expired, authority.password, "expired on 2021-01-01")):
        status, out, err = tool.Disc(site, image, "--sign", certificate, "--sign-password-file", password)
        Expect("disc --sign with %s stops, says so, writes nothing" % name,
               status == 2 and says in err and not os.path.exists(image), "%d %s%s" % (status, out, err))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ondrelle", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    for tool, package in (("osslsigncode", "osslsigncode"), ("openssl", "openssl"),
                          ("bsdtar", "libarchive-tools")):
        if not shutil.which(tool):
            print("%s (%s) is missing" % (tool, package))
            return 77
    if not os.path.isfile(args.launcher):
        print("%s is not built: build the win32 preset first" % args.launcher)
        return 77
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(os.path.join(args.work, "ca"))
    authority = throwaway_ca.Authority(os.path.join(args.work, "ca"))
    tool = Tool(args, args.work, authority)
    site = os.path.join(args.work, "site")
    os.makedirs(site)
    with open(os.path.join(site, "index.htm"), "w") as f:
        f.write("<!doctype html><title>Catalogue</title><p>Spring titles.</p>\n")
    signed = TestSigned(tool, authority, site, args.work)
    TestFindings(tool, authority, site, args.work, signed)
    TestRefused(tool, authority, site, args.work)
    shutil.rmtree(args.work, ignore_errors=True)
    return 1 if FAILED else 0


if __name__ == "__main__":
    sys.exit(main())
