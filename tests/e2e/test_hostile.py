"""kxcheck against a hostile server and damaged files in its data folder: no
command smuggled in, no marks lost, no terminal commands printed, nothing that
hangs or grows without bound."""
import os
import time
import unittest

from kxtest import ScriptedServer, crc, data_folder, kxcheck, kxcheck_at, rows
from kxdata import account_file


def message(subject, body=b"hi\r\n"):
    if isinstance(subject, str):
        subject = subject.encode("latin-1")
    return b"From: a@x\r\nSubject: " + subject + b"\r\nMessage-ID: <" + subject.replace(b"\x1b", b"") + b"@x>\r\n\r\n" + body


class HostileServer(unittest.TestCase):
    def check(self, scripts, *args, user="user", password="pass"):
        with ScriptedServer(scripts) as srv:
            start = time.monotonic()
            r = kxcheck_at(srv.port, "--no-apop", *args, user=user, password=password)
            return r, [c for _, _, c in srv.transcript()], time.monotonic() - start

    def test_attacks(self):
        three = [message("one"), message("two"), message("three")]
        big = message("big", (b"x" * 999998 + b"\r\n") * 38)  # a TOP answer of 38 MB
        rows_ = [
            # what, server, password, exit status, subjects printed, commands never sent, stderr says
            ("injection through the password", {"messages": three}, "pass\r\nDELE 1", 1, None, ["DELE 1"],
             b"line break"),
            ("every TOP refused", {"messages": three, "rules": {"TOP": ["S:-ERR [SYS/TEMP] try again later"]}},
             "pass", 1, None, [], b"kxcheck: -ERR [SYS/TEMP] try again later\n"),
            ("LIST with bare LF", {"messages": three, "rules": {"LIST": ["RAW:+OK 3\n1 50\n2 50\n3 52\n.\n"]}},
             "pass", 0, [b"one", b"two", b"three"], [], b""),
            ("escape sequences in a subject", {"messages": [message("\x1b]0;owned\x07\x1b[2J hi")]}, "pass", 0,
             [b" ]0;owned  [2J hi"], [], b""),
            ("a 38 MB message between two small ones", {"messages": [three[0], big, three[2]]}, "pass", 0,
             [b"one", b"three"], [], b""),
            ("an error answer that reads like success",
             {"messages": three, "rules": {"LIST": ["RAW:+OK 3\r\n1 50\r\n", "CLOSE"]}}, "pass", 1, None, [],
             b"kxcheck: +OK 3  1 50\n"),
        ]
        for what, server, password, status, subjects, never, says in rows_:
            with self.subTest(what):
                r, sent, seconds = self.check([server], "--lines", "99", password=password)
                self.assertEqual(r.returncode, status, r.stderr)
                self.assertLess(seconds, 60)
                for command in never:
                    self.assertNotIn(command, sent)
                self.assertIn(says, r.stderr)
                for stream in (r.stdout, r.stderr):
                    self.assertFalse([b for b in stream if b < 0x20 and b not in b"\t\n"], stream[:300])
                if subjects is not None:
                    self.assertEqual([row[7] for row in rows(r.stdout)], subjects)
                # No login attempt is repeated for an argument that can never be sent.
                self.assertLessEqual(sent.count("USER user"), 1)


class DamagedFiles(unittest.TestCase):
    """An account of a data folder whose marks file is damaged: the check
    takes its time linear in the file, and a file it cannot read stays."""

    def account(self, marks, server):
        path, win = data_folder(self, {"kestrix.dat": account_file([("A", "user", "pass", "127.0.0.1", server.port,
                                                                      60, 5)])})
        name = os.path.join(path, "%x.msg" % crc(b"A"))
        with open(name, "wb") as f:
            f.write(marks)
        return path, win, name

    def test_damaged_marks_files(self):
        rows_ = [
            # what, marks file, the file stays as it was
            ("8 MB without line ends", b"\0" * (8 << 20), False),
            ("past the size limit", b"MessageCrc32=1\r\nMessageReaded=yes\r\n" * ((65 << 20) // 34), True),
        ]
        for what, marks, stays in rows_:
            with self.subTest(what), ScriptedServer([{"messages": [message("one")]}]) as srv:
                path, win, name = self.account(marks, srv)
                stale = os.path.join(path, "kestrix.dat.tmp%d-0" % 0x7FFFFFF0)
                open(stale, "wb").close()
                start = time.monotonic()
                r = kxcheck("--account", "A", "--data", win, "--no-apop", "--log")
                self.assertEqual(r.returncode, 0, r.stderr[-2000:])
                self.assertLess(time.monotonic() - start, 60)
                self.assertEqual(len(rows(r.stdout)), 1)
                self.assertEqual(os.path.getsize(name) == len(marks), stays)
                self.assertFalse(os.path.exists(stale))


if __name__ == "__main__":
    unittest.main()
