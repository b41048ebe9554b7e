"""kxcheck against the real POP3 server (Dovecot) and against the scripted
faulty one: the lines it prints, its exit status and the commands it sends."""
import hashlib
import unittest

from kxtest import Dovecot, ScriptedServer, crc, data_folder, kxcheck, kxcheck_at, rows

PLAIN = (b"From: Ann Example <ann@example.org>\nTo: bob@example.org\nSubject: Lunch\n"
         b"Date: Tue, 1 Jul 2003 10:52:37 +0200\nMessage-ID: <lunch-1@example.org>\nX-Priority: 1\n\n"
         b"Shall we?\n..a line that starts with a dot\n")
KOI8 = (b"From: =?koi8-r?B?5M3J1NLJyg==?= <dima@example.ru>\nTo: bob@example.org\n"
        b"Subject: =?koi8-r?Q?=F0=D2=C9=D7=C5=D4?=\nDate: Wed, 2 Jul 2003 08:00:00 +0400\n"
        b"Message-ID: <koi@example.ru>\n\nbody\n")
MULTIPART = (b"From: Reports <reports@example.com>\nTo: bob@example.org\nSubject: Monthly report\n"
             b"Date: Thu, 3 Jul 2003 09:15:00 GMT\nMessage-ID: <rep@example.com>\nMIME-Version: 1.0\n"
             b"Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\nContent-Type: text/plain\n\nSee both.\n"
             b"--b1\nContent-Type: application/pdf; name=\"report.pdf\"\n"
             b"Content-Disposition: attachment; filename=\"report.pdf\"\n\nJVBERi0xLjQK\n"
             b"--b1\nContent-Type: text/csv\nContent-Disposition: attachment; filename=\"data.csv\"\n\na,b\n--b1--\n")
NO_ID = b"From: x@example.org\nSubject: no id\nDate: Fri, 4 Jul 2003 00:00:00 +0000\n\nhi\n"

MAILBOX = [PLAIN, KOI8, MULTIPART, NO_ID]


class AgainstDovecot(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dovecot = Dovecot({"apop": ("pa:ss@word", MAILBOX), "plain": ("secret", [PLAIN])})
        cls.dovecot.start()
        cls.addClassCleanup(cls.dovecot.stop)

    def test_prints_every_message_as_the_checker_sees_it(self):
        r = kxcheck_at(self.dovecot.port, "--log", user="apop", password="pa:ss@word")
        self.assertEqual(r.returncode, 0, r.stderr)
        # Dovecot took the APOP login: no second attempt with USER.
        self.assertIn(b"Request for server 127.0.0.1: APOP apop ", r.stderr)
        self.assertNotIn(b"Request for server 127.0.0.1: USER", r.stderr)
        out = rows(r.stdout)
        self.assertEqual(len(out), 4)
        for row in out:
            self.assertEqual(len(row), 11, row)
        plain, koi, multi, noid = out
        self.assertEqual(plain[0], b"%x" % crc(b"<lunch-1@example.org>"))
        self.assertEqual(plain[1:5], [b"-", b"1", str(len(PLAIN) + PLAIN.count(b"\n")).encode(),
                                      str(len(PLAIN) + PLAIN.count(b"\n")).encode() + b" Bytes"])
        self.assertEqual(plain[5], b"2003-07-01 08:52:37")
        self.assertEqual(plain[6:9], [b"Ann Example <ann@example.org>", b"Lunch", b"bob@example.org"])
        self.assertEqual(plain[9:], [b"", b""])
        # KOI8-R recoded to the Cyrillic code page: "Dmitriy" and "Privet".
        self.assertEqual(koi[6], "Дмитрий <dima@example.ru>".encode("cp1251"))
        self.assertEqual(koi[7], "Привет".encode("cp1251"))
        self.assertEqual(koi[5], b"2003-07-02 04:00:00")
        self.assertEqual(multi[9], b"report.pdf|data.csv")
        self.assertEqual(noid[7], b"no id")

    def test_user_pass_line_count_and_log(self):
        r = kxcheck_at(self.dovecot.port, "--no-apop", "--lines", "0", "--log", user="plain", password="secret")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(len(rows(r.stdout)), 1)
        log = r.stderr.decode("latin-1")
        self.assertIn("Request for server 127.0.0.1: PASS\n", log)
        self.assertIn("Request for server 127.0.0.1: TOP 1 0\n", log)
        self.assertNotIn("secret", log)
        self.assertRegex(log, r"\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d Connect to mail_server: account=")

    def test_usage_and_exit_status_2(self):
        r = kxcheck("--help")
        self.assertEqual(r.returncode, 0)
        self.assertIn(b"usage: kxcheck --server HOST", r.stdout)
        _, empty = data_folder(self)
        login = ["--server", "h", "--user", "u", "--password", "p"]
        for args, says in [([], b"usage:"), (["--server", "h"], b"usage:"), (login + ["--port", "x"], b"usage:"),
                           (login + ["--deletion", "sometimes"], b"usage:"), (["--watch", "3"], b"usage:"),
                           (["--data", empty, "--watch", "x"], b"usage:"),
                           (["--data", empty, "--watch", "1"], b"kxcheck: no accounts in "),
                           (["--data", empty, "--account", "nobody"], b'kxcheck: no account "nobody" in ')]:
            with self.subTest(args):
                r = kxcheck(*args)
                self.assertEqual((r.returncode, r.stdout), (2, b""))
                self.assertIn(says, r.stderr)


class AgainstAScriptedServer(unittest.TestCase):
    def check(self, scripts, *args):
        with ScriptedServer(scripts) as srv:
            return kxcheck_at(srv.port, *args), srv.transcript()

    def test_command_sequence_digest_and_line_count(self):
        greeting = "+OK ready <42.1@kx>"
        msg = "From: a@x\r\nSubject: s\r\nMessage-ID: <m@x>\r\n\r\n" + "\r\n".join("l%d" % i for i in range(20))
        r, t = self.check([{"greeting": greeting, "messages": [msg]}], "--lines", "7")
        self.assertEqual(r.returncode, 0, r.stderr)
        digest = hashlib.md5(b"<42.1@kx>pass").hexdigest()
        self.assertEqual([c for _, _, c in t], ["APOP user " + digest, "CAPA", "LIST", "TOP 1 7", "QUIT"])


if __name__ == "__main__":
    unittest.main()
