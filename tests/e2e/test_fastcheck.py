"""Checks that cost only what is new: kxcheck against scripted servers that
list PIPELINING and UIDL, one of them or neither, or do not know CAPA. What
kxcheck prints and deletes is the same for all of them; the transcripts show
the TOPs of a check pipelined and, in --watch, no TOP for a message that the
account already has."""
import os
import subprocess
import tempfile
import unittest

from kxtest import BIN, WINE_RUN, ScriptedServer, data_folder, kxcheck_at, unique
from test_accounts import account_file
from test_filters import FILES, MAILBOX as FILTERED
from test_kxcheck import MAILBOX as SAMPLES
from test_watch import reports

FEATURES = {
    "both": {},
    "PIPELINING only": {"uidl": False},
    "UIDL only": {"pipelining": False},
    "neither": {"pipelining": False, "uidl": False},
    "no CAPA": {"rules": {"CAPA": ["S:-ERR unknown command"]}},
}


def crlf(text):
    return (text if isinstance(text, bytes) else text.encode("latin-1")).replace(b"\n", b"\r\n")


def bulk(n, lines=30):
    return crlf("From: s%d@example.org\nSubject: bulk %d\nDate: Mon, 2 Jun 2003 10:%02d:00 +0000\n"
                "Message-ID: <b%d@kx.test>\n\n%s" % (n, n, n % 60, n, "".join(
                    ".dot %d of message %d\n" % (i, n) if i % 7 == 3 else "line %d of message %d\n" % (i, n)
                    for i in range(lines))))


# Every message has a date: without one, its time would be that of the check.
MAILBOX = ([crlf(m) for m in SAMPLES] + [crlf("Date: Sun, 1 Jun 2003 09:00:00 +0000\n" + m) for m, _, _ in FILTERED] +
           [bulk(n) for n in range(60)])


def with_rules(features, rules):
    config = dict(features)
    config["rules"] = dict(features.get("rules", {}), **rules)
    return config


class OneCheck(unittest.TestCase):
    def test_the_same_lines_and_deletions_with_and_without_the_extensions(self):
        _, data = data_folder(self, FILES)
        refused = {"TOP %d " % n: ["S:-ERR no such message"] for n in (3, 12, 40)}
        seen = {}
        for name, features in FEATURES.items():
            with self.subTest(name):
                config = with_rules(features, refused)
                with ScriptedServer([dict(config, messages=MAILBOX)]) as srv:
                    r = kxcheck_at(srv.port, "--data", data, "--deletion", "auto", "--lines", "20")
                    commands, pipelined = srv.commands(), [c for _, _, c in srv.pipelined()]
                self.assertEqual(r.returncode, 0, r.stderr)
                seen[name] = (r.stdout, [c for c in commands if c.startswith("DELE")])
                self.assertEqual(commands[1], "CAPA")
                self.assertNotIn("UIDL", commands, "a single check keeps no headers")
                tops = [c for c in commands if c.startswith("TOP")]
                self.assertEqual(tops, ["TOP %d 20" % n for n in range(1, len(MAILBOX) + 1)])
                if name in ("both", "PIPELINING only"):
                    self.assertGreater(len([c for c in pipelined if c.startswith("TOP")]), len(tops) // 2)
                else:
                    self.assertEqual(pipelined, [])
                    self.assertEqual(commands[2:], ["LIST"] + sorted(tops + seen[name][1], key=lambda c: (
                        int(c.split()[1]), c.startswith("DELE"))) + ["QUIT"], "the plain dialogue")
        plain = seen["no CAPA"]
        self.assertEqual(len(plain[0].splitlines()), len(MAILBOX) - 3 - len(plain[1]))
        self.assertGreater(len(plain[1]), 3)
        for name, got in seen.items():
            self.assertEqual(got, plain, name)


# The mailbox of each connection: unchanged, then one message deleted, one
# added and one replaced (a new unique id), then unchanged again.
WATCHED = [bulk(n, 10) for n in range(8)]
CHANGED = [m for i, m in enumerate(WATCHED) if i != 2] + [bulk(50, 10)]
CHANGED[4] = bulk(5, 11)


class Watch(unittest.TestCase):
    def test_later_checks_fetch_only_new_headers_and_report_the_same(self):
        scripts = [WATCHED, WATCHED, CHANGED, CHANGED]
        runs = {}
        for name in ("both", "neither"):
            srv = ScriptedServer([dict(FEATURES[name], messages=m) for m in scripts])
            self.addCleanup(srv.stop)
            account = unique("fast-" + name.replace(" ", ""))
            folder, data = data_folder(self, {"kestrix.dat": account_file(b"KX10", [
                (account, "user", "pass", "127.0.0.1", srv.port, 1, 60)])})
            runs[name] = (srv, account, folder, data)
        # Both watches at once: on a loaded machine each gets its checks in.
        procs = {}
        for name, (_, _, _, data) in runs.items():
            out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
            self.addCleanup(out.close)
            self.addCleanup(err.close)
            cmd = [WINE_RUN, os.path.join(BIN, "kxcheck.exe"), "--data", data, "--watch", "15"]
            procs[name] = (subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err), out, err)
        got = {}
        for name, (proc, out, err) in procs.items():
            self.assertEqual(proc.wait(timeout=180), 0)
            out.seek(0)
            err.seek(0)
            srv, account, folder, _ = runs[name]
            states = [(state, count, unread) for n, state, count, unread in reports(out.read()) if n == account]
            checks = [s for s in states if s[0] == "sleeping"]
            self.assertGreaterEqual(len(checks), len(scripts), (name, states, err.read()[-2000:]))
            marks = [f for f in os.listdir(folder) if f.endswith(".msg")]
            with open(os.path.join(folder, marks[0]), "rb") as f:
                got[name] = (checks[:len(scripts)], f.read())
            if name == "both":
                tops = [[c for c in srv.commands(n) if c.startswith("TOP")] for n in range(1, len(scripts) + 1)]
                self.assertEqual(tops, [["TOP %d 99" % n for n in range(1, 9)], [], ["TOP 5 99", "TOP 8 99"], []])
                self.assertTrue(any(c.startswith("TOP") for _, _, c in srv.pipelined()))
        self.assertEqual(got["both"], got["neither"])
        self.assertEqual(got["both"][0], [("sleeping", 8, 8)] * len(scripts))


if __name__ == "__main__":
    unittest.main()
