"""A throw-away certificate authority for the signing tests, made with openssl: a root, a
code-signing certificate of "Example Publishing Ltd" and an expired one, each as PKCS#12 with a
password, and a time-stamp authority (RFC 3161, `openssl ts`) behind an HTTP server on loopback.
"""

import http.server
import os
import subprocess
import threading

PASSWORD = "correct horse 7"
SIGNER = "Example Publishing Ltd"

EXTENSIONS = """
[root]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[code]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
[tsa]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = critical,timeStamping
"""

AUTHORITY = """
[ca]
default_ca = ca_default
[ca_default]
database = {work}/index
serial = {work}/serial
new_certs_dir = {work}
certificate = {work}/root.crt
private_key = {work}/root.key
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[tsa]
default_tsa = tsa_default
[tsa_default]
serial = {work}/tsa-serial
signer_cert = {work}/tsa.crt
signer_key = {work}/tsa.key
certs = {work}/tsa.crt
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
accuracy = secs:1
ess_cert_id_alg = sha1
"""


def OpenSsl(*arguments):
    subprocess.run(["openssl"] + list(arguments), check=True, capture_output=True)


class Authority:
    """Everything in `work`: root.crt, code.pfx, expired.pfx, password (a file) and not-pkcs12.pfx."""

    def __init__(self, work):
        self.work = work
        self.root = os.path.join(work, "root.crt")
        self.pfx = os.path.join(work, "code.pfx")
        self.expired = os.path.join(work, "expired.pfx")
        self.password = os.path.join(work, "password")
        self.not_pkcs12 = os.path.join(work, "not-pkcs12.pfx")
        extensions = os.path.join(work, "extensions.cnf")
        config = os.path.join(work, "authority.cnf")
        with open(extensions, "w") as f:
            f.write(EXTENSIONS)
        with open(config, "w") as f:
            f.write(AUTHORITY.format(work=work))
        open(os.path.join(work, "index"), "w").close()
        for serial in ("serial", "tsa-serial"):
            with open(os.path.join(work, serial), "w") as f:
                f.write("01\n")
        with open(self.password, "w") as f:
            f.write(PASSWORD + "\n")
        OpenSsl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Throwaway Root",
                "-keyout", os.path.join(work, "root.key"), "-out", self.root, "-days", "30",
                "-config", extensions, "-extensions", "root")
        self.config = config
        self._Issue("code", SIGNER, "code", self.pfx)
        self._Issue("expired", "Old Publishing Ltd", "code", self.expired, ("20200101000000Z", "20210101000000Z"))
        self._Issue("tsa", "Throwaway Time Stamps", "tsa")
        with open(self.not_pkcs12, "w") as f:
            f.write("-----BEGIN CERTIFICATE-----\nnot one\n-----END CERTIFICATE-----\n")

    def _Issue(self, name, subject, extension, pfx=None, dates=None):
        key, csr, crt = (os.path.join(self.work, name + end) for end in (".key", ".csr", ".crt"))
        OpenSsl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + subject, "-keyout", key, "-out", csr)
        days = ["-startdate", dates[0], "-enddate", dates[1]] if dates else ["-days", "20"]
        OpenSsl("ca", "-batch", "-notext", "-config", self.config, "-in", csr, "-out", crt,
                "-extfile", os.path.join(self.work, "extensions.cnf"), "-extensions", extension, *days)
        if pfx:
            OpenSsl("pkcs12", "-export", "-out", pfx, "-inkey", key, "-in", crt, "-certfile", self.root,
                    "-passout", "pass:" + PASSWORD)


class TimeStampServer:
    """`openssl ts -reply` on 127.0.0.1, for as long as the `with` lasts; `url` is its address."""

    def __init__(self, authority):
        config = authority.config

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                query = self.rfile.read(int(self.headers["Content-Length"]))
                reply = subprocess.run(["openssl", "ts", "-reply", "-config", config,
                                        "-queryfile", "/dev/stdin"], input=query, capture_output=True).stdout
                self.send_response(200 if reply else 500)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)

            def log_message(self, *arguments):
                pass

        self.server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
        self.url = "http://127.0.0.1:%d" % self.server.server_address[1]

    def __enter__(self):
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exception):
        self.server.shutdown()
        self.server.server_close()
