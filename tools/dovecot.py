#!/usr/bin/env python3
"""A private Dovecot POP3 server for tests and the demo.

    with Dovecot({"alice": ("secret", [b"From: ...\\r\\n\\r\\nbody\\r\\n", ...])}) as d:
        d.port   # loopback port, APOP and USER/PASS enabled

Each user gets a passwd-file entry with a {PLAIN} password (so APOP can work)
and a Maildir filled from the message texts given. Everything lives in a
temporary folder that is removed when the server stops.

With tls=True the server also speaks TLS: STLS on d.port and TLS from the
first byte on d.tls_port, with a self-signed certificate for "localhost" made
with openssl (d.fingerprint: its SHA-256, lowercase hex). Run as a program it
serves the demo mailbox until interrupted:  dovecot.py --demo [--port N]
"""
import base64
import hashlib
import os
import pwd
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import time

CONFIG = """\
base_dir = {root}/run
state_dir = {root}/state
instance_name = kxtest-{port}
login_greeting = Dovecot ready {marker}
protocols = pop3
listen = 127.0.0.1
ssl = {ssl}
{ssl_files}
disable_plaintext_auth = no
auth_mechanisms = plain apop
default_login_user = dovenull
default_internal_user = dovecot
first_valid_uid = 1
log_path = {root}/dovecot.log
info_log_path = {root}/dovecot.log
mail_location = maildir:~/Maildir
pop3_uidl_format = %08Xu%08Xv
service pop3-login {{
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {port}
  }}
  inet_listener pop3s {{
    address = 127.0.0.1
    port = {tls_port}
    ssl = yes
  }}
}}
service anvil {{
  chroot =
}}
service imap-login {{
  inet_listener imap {{
    port = 0
  }}
  inet_listener imaps {{
    port = 0
  }}
}}
passdb {{
  driver = passwd-file
  args = username_format=%u {root}/passwd
}}
userdb {{
  driver = passwd-file
  args = username_format=%u {root}/passwd
}}
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_certificate(folder, name="localhost", days=2):
    """A self-signed RSA certificate for `name` in folder/cert.pem with its key
    in folder/key.pem; returns the SHA-256 of the certificate (lowercase hex)."""
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", str(days), "-subj", "/CN=" + name, "-addext", "subjectAltName=DNS:" + name],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(cert) as f:
        return hashlib.sha256(ssl.PEM_cert_to_DER_cert(f.read())).hexdigest()


class Dovecot:
    def __init__(self, users, port=None, tls=False):
        """users: {name: (password, [message bytes, ...])}"""
        self.users = users
        self.tls = tls
        self.tls_port = 0
        self.fingerprint = None
        self.chosen = port is None  # another test may take a free port first: then choose again
        self.port = port or free_port()
        self.root = tempfile.mkdtemp(prefix="kx-dovecot-")
        self.proc = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def _owner(self):
        if os.getuid() != 0:
            return os.getuid(), os.getgid()
        entry = pwd.getpwnam("dovenull")
        return entry.pw_uid, entry.pw_gid

    def start(self):
        uid, gid = self._owner()
        os.chmod(self.root, 0o755)
        lines = []
        for name, (password, messages) in self.users.items():
            home = os.path.join(self.root, "home", name)
            self.fill_maildir(home, messages)
            # Base64 keeps ":" in passwords from splitting the passwd-file line;
            # the scheme stays plaintext-equivalent, which APOP needs.
            secret = base64.b64encode(password.encode("latin-1")).decode()
            lines.append("%s:{PLAIN.BASE64}%s:%d:%d::%s::" % (name, secret, uid, gid, home))
        with open(os.path.join(self.root, "passwd"), "w") as f:
            f.write("\n".join(lines) + "\n")
        for sub in ("run", "state"):
            os.makedirs(os.path.join(self.root, sub), exist_ok=True)
        if self.tls:
            self.fingerprint = make_certificate(self.root)
            os.chmod(os.path.join(self.root, "key.pem"), 0o644)
        if os.getuid() == 0:
            for dirpath, dirnames, filenames in os.walk(os.path.join(self.root, "home")):
                os.chown(dirpath, uid, gid)
                for name in filenames:
                    os.chown(os.path.join(dirpath, name), uid, gid)
        for attempt in range(5):
            if self.serve():
                return
            if not self.chosen or attempt == 4:
                break
            self.port = free_port()
        log = self.log()
        self.stop()
        raise RuntimeError("dovecot did not answer on port %d: %s" % (self.port, log))

    def serve(self):
        """Starts dovecot on self.port; False when it ended or did not answer."""
        conf = os.path.join(self.root, "dovecot.conf")
        ssl_files = ""
        if self.tls:
            self.tls_port = free_port()
            ssl_files = "ssl_cert = <{0}/cert.pem\nssl_key = <{0}/key.pem".format(self.root)
        with open(conf, "w") as f:
            f.write(CONFIG.format(root=self.root, port=self.port, marker=self.marker(), tls_port=self.tls_port,
                                  ssl="yes" if self.tls else "no", ssl_files=ssl_files))
        self.proc = subprocess.Popen(["dovecot", "-F", "-c", conf],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and self.proc.poll() is None:
            try:
                # The greeting names this instance: another test's server may
                # have taken the port first.
                with socket.create_connection(("127.0.0.1", self.port), timeout=1) as s:
                    greeting = s.recv(512)
                    if greeting.startswith(b"+OK") and self.marker().encode() in greeting:
                        return True
                    break
            except OSError:
                time.sleep(0.05)
        self.halt()
        return False

    def marker(self):
        return os.path.basename(self.root)

    def fill_maildir(self, home, messages):
        maildir = os.path.join(home, "Maildir")
        for sub in ("cur", "new", "tmp"):
            os.makedirs(os.path.join(maildir, sub), exist_ok=True)
        for i, msg in enumerate(messages):
            if isinstance(msg, str):
                msg = msg.encode("latin-1")
            msg = msg.replace(b"\r\n", b"\n")
            name = "%d.M%dP%d.kxtest,S=%d:2," % (1000000000 + i, i, os.getpid(), len(msg))
            with open(os.path.join(maildir, "cur", name), "wb") as f:
                f.write(msg)

    def log(self):
        try:
            with open(os.path.join(self.root, "dovecot.log")) as f:
                return f.read()
        except OSError:
            return ""

    def halt(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None

    def stop(self):
        self.halt()
        shutil.rmtree(self.root, ignore_errors=True)


DEMO_MESSAGES = [
    b"From: Ann Example <ann@example.org>\nTo: demo@localhost\nSubject: Welcome to Kestrix\n"
    b"Date: Tue, 1 Jul 2003 10:52:37 +0200\nMessage-ID: <demo-1@example.org>\n\n"
    b"Kestrix shows the header and the first lines of every message\nwithout downloading it.\n",
    b"From: =?koi8-r?B?5M3J1NLJyg==?= <dima@example.ru>\nTo: demo@localhost\n"
    b"Subject: =?koi8-r?Q?=F0=D2=C9=D7=C5=D4?=\nDate: Wed, 2 Jul 2003 08:00:00 +0400\n"
    b"Content-Type: text/plain; charset=koi8-r\n\n\xf0\xd2\xc9\xd7\xc5\xd4!\n",
    b"From: Reports <reports@example.com>\nTo: demo@localhost\nSubject: Monthly report\n"
    b"Date: Thu, 3 Jul 2003 09:15:00 GMT\nMIME-Version: 1.0\n"
    b"Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\nContent-Type: text/plain\n\n"
    b"The report is attached.\n--b1\nContent-Type: application/pdf; name=\"report.pdf\"\n"
    b"Content-Disposition: attachment; filename=\"report.pdf\"\n\nJVBERi0xLjQK\n--b1--\n",
]


if __name__ == "__main__":
    if "--demo" not in sys.argv:
        print(__doc__)
        sys.exit(2)
    port = int(sys.argv[sys.argv.index("--port") + 1]) if "--port" in sys.argv else None
    with Dovecot({"demo": ("demo", DEMO_MESSAGES)}, port) as d:
        print(d.port, flush=True)
        try:
            signal.sigwait([signal.SIGINT, signal.SIGTERM])
        except KeyboardInterrupt:
            pass
