"""kxcheck over TLS: against Dovecot with a certificate made here (TLS from the
first byte and STLS), the certificate refused unless the system trusts it or
its fingerprint is given; against the scripted server for what must never
happen (credentials before TLS) and for servers that break the handshake."""
import os
import random
import shutil
import tempfile
import time
import unittest

from kxtest import Dovecot, ScriptedServer, data_folder, kxcheck, kxcheck_at, rows, run, unique
from dovecot import make_certificate
from test_accounts import ACCOUNTS, account_file, message, wine_tool
from test_kxcheck import MAILBOX

PASSWORD = "pa:ss@word"
CREDENTIALS = ("USER", "PASS", "APOP")


def colons(fingerprint):
    return ":".join(fingerprint[i:i + 2] for i in range(0, 64, 2)).upper()


class AgainstDovecot(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dovecot = Dovecot({"apop": (PASSWORD, MAILBOX)}, tls=True)
        cls.dovecot.start()
        cls.addClassCleanup(cls.dovecot.stop)
        plain = kxcheck_at(cls.dovecot.port, user="apop", password=PASSWORD)
        assert plain.returncode == 0, plain.stderr
        cls.plain = plain.stdout

    def check(self, mode, *args):
        d = self.dovecot
        port = d.tls_port if mode == "--tls" else d.port
        return kxcheck_at(port, mode, *args, user="apop", password=PASSWORD)

    def logins(self):
        return self.dovecot.log().count("Login: user=<apop>")

    def test_certificate_refused_unless_its_fingerprint_is_given(self):
        good = self.dovecot.fingerprint
        wrong = "%064x" % (int(good, 16) ^ 1)
        for mode in ("--tls", "--starttls"):
            for trust, ok in [(None, False), (good, True), (colons(good), True), (wrong, False)]:
                with self.subTest(mode=mode, trust=trust):
                    before = self.logins()
                    r = self.check(mode, *(["--trust", trust] if trust else []))
                    if ok:
                        self.assertEqual(r.returncode, 0, r.stderr)
                        self.assertEqual(r.stdout, self.plain)
                        self.assertEqual(self.logins(), before + 1)
                        continue
                    self.assertEqual((r.returncode, r.stdout), (1, b""), r.stderr)
                    err = r.stderr.decode()
                    # The self-signed certificate, named as viewers show it and as --trust takes it.
                    self.assertIn("not trusted (unknown issuer)", err)
                    self.assertIn(colons(good), err)
                    self.assertIn("--trust " + good, err)
                    self.assertEqual(self.logins(), before, "no login after a refused certificate")
        self.assertNotIn("auth failed", self.dovecot.log())

    def test_stored_account_options(self):
        folder, arg = data_folder(self)
        d = self.dovecot
        for mode, port in [(1, d.port), (2, d.tls_port)]:
            with self.subTest(mode=mode):
                name = unique("secure%d" % mode)
                with open(os.path.join(folder, "kestrix.dat"), "wb") as f:
                    f.write(account_file(b"KX10", [(name, "apop", PASSWORD, "127.0.0.1", port, 60, 30)]))
                key = "%s\\%s" % (ACCOUNTS, name)
                self.addCleanup(wine_tool, "reg", "delete", key, "/f")
                wine_tool("reg", "add", key, "/v", "SecureConnection", "/t", "REG_DWORD", "/d", str(mode), "/f")
                r = kxcheck("--account", name, "--data", arg, "--log")
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn(colons(d.fingerprint).encode(), r.stderr)
                wine_tool("reg", "add", key, "/v", "TrustedCertificate", "/t", "REG_SZ", "/d", colons(d.fingerprint), "/f")
                r = kxcheck("--account", name, "--data", arg)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(len(rows(r.stdout)), len(MAILBOX))


def certificate_folder(test, copies=1):
    """A folder with a self-signed certificate (repeated `copies` times as its
    own chain) and key; returns it and the certificate's fingerprint."""
    folder = tempfile.mkdtemp(prefix="kx-cert-")
    test.addCleanup(shutil.rmtree, folder, True)
    fingerprint = make_certificate(folder)
    if copies > 1:
        path = os.path.join(folder, "cert.pem")
        with open(path) as f:
            pem = f.read()
        with open(path, "w") as f:
            f.write(pem * copies)
    return folder, fingerprint


class AgainstAScriptedServer(unittest.TestCase):
    def check(self, scripts, *args):
        with ScriptedServer(scripts) as srv:
            start = time.monotonic()
            r = kxcheck_at(srv.port, *args)
            return r, srv.commands(), time.monotonic() - start

    def test_no_credentials_without_a_secured_connection(self):
        folder, fingerprint = certificate_folder(self)
        mailbox = {"messages": [message(1)]}
        capa_without = {"CAPA": ["S:+OK\r\nUIDL\r\nTOP\r\n."]}
        for what, script, args, commands, says in [
                ("CAPA unknown", dict(mailbox), ["--starttls"], ["CAPA", "QUIT"], "The server does not offer STLS."),
                ("STLS not listed", dict(mailbox, rules=capa_without), ["--starttls", "--no-apop"], ["CAPA", "QUIT"],
                 "The server does not offer STLS."),
                ("STLS refused", dict(mailbox, rules={"CAPA": ["S:+OK\r\nSTLS\r\n."], "STLS": ["S:-ERR not today"]}),
                 ["--starttls"], ["CAPA", "STLS", "QUIT"], "The server refused STLS: -ERR not today"),
                ("certificate refused after STLS", dict(mailbox, tls=folder), ["--starttls"], ["CAPA", "STLS"],
                 fingerprint),
                ("certificate refused at once", dict(mailbox, tls=folder, implicit=True), ["--tls"], [], fingerprint),
                ("trusted after STLS", dict(mailbox, tls=folder), ["--starttls", "--trust", fingerprint, "--no-apop"],
                 ["CAPA", "STLS", "USER user", "PASS pass", "CAPA", "LIST", "TOP 1 99", "QUIT"], None)]:
            with self.subTest(what):
                # One connection only: a refusal of this kind is not tried again.
                r, sent, _ = self.check([script, {"messages": []}], *args)
                self.assertEqual(sent, commands)
                if says is None:
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(len(rows(r.stdout)), 1)
                    continue
                self.assertEqual((r.returncode, r.stdout), (1, b""), r.stderr)
                self.assertIn(says.encode(), r.stderr)

    def test_broken_handshakes_fail_at_once(self):
        """Each fails long before the two minutes of the time-out."""
        garbage = "".join(chr(b) for b in random.Random(19).randbytes(300))
        folder, fingerprint = certificate_folder(self)
        for what, script, says in [
                ("closed", ["DRAIN", "CLOSE"], "closed the connection during the handshake"),
                ("plain text", ["S:+OK POP3 server ready", "HANG"], "the server does not answer in TLS"),
                ("random bytes after a record header", ["DRAIN", "RAW:\x16\x03\x03\x01\x00" + garbage, "HANG"],
                 "could not be made: "),
                ("oversized record", ["DRAIN", "RAW:\x16\x03\x03\xff\xff", "HANG"],
                 "record larger than allowed"),
                ("oversized record after the handshake",
                 {"tls": folder, "implicit": True, "rules": {"USER": ["UNDER:\x17\x03\x03\x50\x00", "HANG"]}},
                 "failed: the server sent a record larger than allowed")]:
            with self.subTest(what):
                r, sent, took = self.check([script], "--tls", "--trust", fingerprint, "--no-apop")
                self.assertEqual((r.returncode, r.stdout), (1, b""), r.stderr)
                self.assertIn(says.encode(), r.stderr)
                self.assertLess(took, 30)
                self.assertNotIn("PASS pass", sent)

    def test_certificate_chain_of_megabytes(self):
        folder, fingerprint = certificate_folder(self, copies=2500)
        self.assertGreater(os.path.getsize(os.path.join(folder, "cert.pem")), 2 << 20)
        r, sent, took = self.check([{"tls": folder, "implicit": True}], "--tls", "--trust", fingerprint)
        self.assertEqual((r.returncode, r.stdout, sent), (1, b"", []), r.stderr)
        self.assertIn(b"the server's handshake is larger than 256 KB", r.stderr)
        self.assertLess(took, 30)

    def test_silent_handshake_ends_with_the_accounts_time_out(self):
        folder, arg = data_folder(self)
        with ScriptedServer([["DRAIN", "HANG"]]) as srv:
            name = unique("hush")
            with open(os.path.join(folder, "kestrix.dat"), "wb") as f:
                f.write(account_file(b"KX10", [(name, "user", "pass", "127.0.0.1", srv.port, 60, 2)]))
            r = kxcheck("--account", name, "--data", arg, "--tls", "--port", srv.port)
            took = time.monotonic() - srv.accepted[0]
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn(b"kxcheck: the server was silent for 2 seconds\n", r.stderr)
        self.assertGreaterEqual(took, 2)
        self.assertLess(took, 10)


if __name__ == "__main__":
    unittest.main()
