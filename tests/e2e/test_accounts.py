"""kxcheck --account: accounts from a kestrix.dat written here (scrambled and
the older plain format), options from the Wine prefix's registry, read marks
carried over through the account's read-marks file."""
import hashlib
import os
import struct
import time
import unittest

from kxtest import BIN, WINE_RUN, ScriptedServer, crc, data_folder, kxcheck, rows, run, unique

PREFIX = os.path.join(os.path.dirname(os.path.abspath(BIN)), "wineprefix")
ACCOUNTS = "HKEY_CURRENT_USER\\SOFTWARE\\Kestrix, Inc.\\Kestrix\\Accounts"
KEY = bytes([0xD5, 0x62, 0x9E, 0x3B])  # 0x3B9E62D5, little-endian
ACP = "cp1252"  # the prefix's ANSI code page; AccountsTest asks the prefix


def text_field(text):
    data = text.encode("utf-16-le")
    return struct.pack("<I", len(data)) + data


def url_field(url, scramble):
    raw = url.encode(ACP)
    if scramble:
        raw = bytes(b ^ KEY[i % 4] for i, b in enumerate(raw))
    # Bytes the code page leaves undefined keep their value.
    return text_field("".join(bytes([b]).decode(ACP, errors="ignore") or chr(b) for b in raw))


def account_file(magic, accounts):
    """accounts: (name, user, password, server, port, interval, timeout)."""
    out = magic + struct.pack("<I", len(accounts))
    for name, user, password, server, port, interval, timeout in accounts:
        url = "pop3://" + (user + ":" + password + "@" if user else "") + server + "/"
        out += text_field(name) + url_field(url, magic == b"KX10") + struct.pack("<III", port, interval, timeout)
    return out


def message(n):
    return "From: s%d@example.org\r\nSubject: number %d\r\nMessage-ID: <m%d@kx.test>\r\n\r\n%s" % (
        n, n, n, "\r\n".join("line %d" % i for i in range(12)))


def message_crc(n):
    return "%x" % crc(b"<m%d@kx.test>" % n)


def wine_tool(*args):
    return run([WINE_RUN] + list(args), env=dict(os.environ, WINEPREFIX=PREFIX))


def prefix_code_page():
    r = wine_tool("reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage", "/v", "ACP")
    for line in r.stdout.decode("latin-1").splitlines():
        if line.split()[:1] == ["ACP"]:
            return "cp" + line.split()[-1]
    return "cp1252"


class AccountsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        global ACP
        ACP = prefix_code_page()
        cls.letters = "".join(c for c in "\u00fc\u00c6\u00e9\u0436\u0161\u00f1" if len(c.encode(ACP, "ignore")) == 1)

    def setUp(self):
        self.dir, self.data_arg = data_folder(self)

    def write(self, name, data):
        with open(os.path.join(self.dir, name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def options(self, name, values):
        """Imported by Wine's own reg tool, so the key name keeps its national letters."""
        self.addCleanup(wine_tool, "reg", "delete", ACCOUNTS + "\\" + name, "/f")
        lines = ["Windows Registry Editor Version 5.00", "", "[%s\\%s]" % (ACCOUNTS, name)]
        lines += ['"%s"=dword:%08x' % value for value in values.items()]
        self.write("options.reg", b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le"))
        r = wine_tool("reg", "import", self.data_arg + "\\options.reg")
        self.assertEqual(r.returncode, 0, r.stderr)

    def account(self, name, *args):
        return kxcheck("--account", name, "--data", self.data_arg, "--log", *args)

    def test_scrambled_file_options_and_read_marks(self):
        self.assertTrue(self.letters, ACP)
        name = "M%sller %d" % (self.letters, os.getpid())
        password = "pa:ss@w/ord@"
        self.options(name, {"MsgLinesNum": 3, "SecureAuth": 0})
        # An earlier run read message 2.
        marks = "%x.msg" % crc(name.encode(ACP))
        self.write(marks, ("MessageCrc32=%s\r\nMessageReaded=yes\r\nMessageCrc32=abc\r\nMessageReaded=yes\r\n"
                           % message_crc(2)).encode())
        msgs = [message(1), message(2), message(3)]
        with ScriptedServer([{"user": "bob@example.org", "password": password, "messages": msgs}]) as srv:
            self.write("kestrix.dat", account_file(b"KX10", [
                ("First", "x", "y", "nowhere.invalid", 1, 2, 3),
                (name, "bob@example.org", password, "127.0.0.1", srv.port, 777, 55),
                ("Last", "z", "z", "nowhere.invalid", 4, 5, 6)]))
            before = self.read("kestrix.dat")
            r = self.account(name)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(srv.commands(), ["USER bob@example.org", "PASS " + password, "CAPA", "LIST",
                                              "TOP 1 3", "TOP 2 3", "TOP 3 3", "QUIT"])
        log = r.stderr.decode(ACP)
        self.assertIn("Account %s: server=127.0.0.1 port=%d user=bob@example.org interval=777 timeout=55 "
                      "lines=3 apop=no marks=2" % (name, srv.port), log)
        self.assertNotIn(password, log.replace("PASS " + password, ""))
        self.assertEqual([row[:2] for row in rows(r.stdout)],
                         [[message_crc(n).encode(), b"R" if n == 2 else b"-"] for n in (1, 2, 3)])
        # The marks file now holds this check's messages; the account file is untouched.
        self.assertEqual(self.read(marks).decode(), "".join(
            "MessageCrc32=%s\r\nMessageReaded=%s\r\n" % (message_crc(n), "yes" if n == 2 else "no")
            for n in (1, 2, 3)))
        self.assertEqual(self.read("kestrix.dat"), before)

    def test_old_plain_file(self):
        name = "old-%d" % os.getpid()
        greeting = "+OK ready <7.7@kx>"
        with ScriptedServer([{"greeting": greeting, "user": "old", "password": "p@ss:1",
                              "messages": [message(1)]}]) as srv:
            self.write("kestrix.dat", account_file(b"KX00", [
                (name, "old", "p@ss:1", "127.0.0.1", srv.port, 60, 30),
                ("bare", "", "", "127.0.0.1", srv.port, 61, 31)]))
            before = self.read("kestrix.dat")
            r = self.account(name)
            self.assertEqual(r.returncode, 0, r.stderr)
            digest = hashlib.md5(b"<7.7@kx>p@ss:1").hexdigest()
            # No registry key: the defaults (APOP first, 99 lines).
            self.assertEqual(srv.commands(), ["APOP old " + digest, "CAPA", "LIST", "TOP 1 99", "QUIT"])
            self.assertIn(b"interval=60 timeout=30 lines=99 apop=yes marks=0", r.stderr)
        self.assertEqual(len(rows(r.stdout)), 1)
        # Only a save by the checker rewrites the old format.
        self.assertEqual(self.read("kestrix.dat"), before)

    def test_silent_or_trickling_server_fails_after_the_accounts_time_out(self):
        """From the connection to kxcheck's exit: the two seconds of the account's
        time-out, and not much more, whether the server says nothing or one byte
        a second."""
        trickle = {"messages": [message(1)], "rules": {"TOP": ["S:+OK", "TRICKLE:100000:1"]}}
        for script, says in [(["HANG"], b"kxcheck: the server was silent for 2 seconds\n"),
                             (trickle, b"kxcheck: The mail server sent only ")]:
            with self.subTest(says), ScriptedServer([script]) as srv:
                name = unique("silent")
                self.write("kestrix.dat", account_file(b"KX10", [(name, "user", "pass", "127.0.0.1", srv.port, 60, 2)]))
                r = self.account(name)
                done = time.monotonic()
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn(says, r.stderr)
                self.assertTrue(srv.accepted, r.stderr)
                took = done - srv.accepted[0]
                self.assertGreaterEqual(took, 2)
                self.assertLess(took, 10)


if __name__ == "__main__":
    unittest.main()
