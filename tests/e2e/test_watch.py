"""kxcheck --watch: every account of a data folder on its own worker under
the check monitor, reported line by line, against scripted servers."""
import os
import shutil
import tempfile
import time
import unittest

from kxtest import ScriptedServer, kxcheck
from test_accounts import account_file

MAILBOX = {"messages": ["Subject: one\r\nMessage-ID: <1@w>\r\n\r\nx", "Subject: two\r\nMessage-ID: <2@w>\r\n\r\ny"]}
SLOW = dict(MAILBOX, rules={"LIST": ["SLEEP:500", "S:+OK\r\n1 40\r\n2 40\r\n."]})


def reports(stdout):
    """[(name, state text, message count, unread count)] from the "state" lines."""
    out = []
    for line in stdout.decode("latin-1").splitlines():
        fields = line.split("\t")
        if fields[0] == "state" and len(fields) == 5:
            out.append((fields[1], fields[2], int(fields[3]), int(fields[4])))
    return out


class Watch(unittest.TestCase):
    def setUp(self):
        self.data = tempfile.mkdtemp(prefix="kx-watch-")
        self.data_arg = "Z:" + self.data.replace("/", "\\")

    def tearDown(self):
        shutil.rmtree(self.data, ignore_errors=True)

    def write_accounts(self, accounts):
        with open(os.path.join(self.data, "kestrix.dat"), "wb") as f:
            f.write(account_file(b"KX10", accounts))

    def test_turns_silent_restart_and_clean_end(self):
        # The silent server has an address of its own, so its account does
        # not queue behind the other two.
        with ScriptedServer([SLOW]) as shared, ScriptedServer([["HANG"], MAILBOX], "127.0.0.2") as silent:
            self.write_accounts([
                ("watch-a", "user", "pass", "127.0.0.1", shared.port, 3600, 120),
                ("watch-b", "user", "pass", "127.0.0.1", shared.port, 3600, 120),
                ("watch-silent", "user", "pass", "127.0.0.2", silent.port, 3600, 2),
            ])
            start = time.monotonic()
            r = kxcheck("--data", self.data_arg, "--watch", "6")
            took = time.monotonic() - start
            shared_log = shared.transcript()
        self.assertEqual(r.returncode, 0, r.stderr)
        got = reports(r.stdout)
        by = lambda name: [state for n, state, _, _ in got if n == name]
        for name in ("watch-a", "watch-b"):
            self.assertEqual(by(name)[-1], "not started", got)  # stopped at the end of the watch
            self.assertIn("sleeping", by(name))
        self.assertIn(("watch-a", "sleeping", 2, 2), got)
        # The two accounts of one server never talked to it at the same time.
        for prev, cur in zip(shared_log, shared_log[1:]):
            if prev[0] != cur[0]:
                self.assertEqual(prev[2], "QUIT", shared_log)
        # The silent server's worker was stopped after its two seconds and started again.
        silent_states = by("watch-silent")
        i = silent_states.index("not started")
        self.assertEqual(silent_states[i + 1], "connecting")
        self.assertIn("sleeping", silent_states[i:])
        # Ending the watch stops every worker at once.
        self.assertLess(took, 6 + 3)
        # The read marks are written at the end, one file per account.
        self.assertEqual(len([f for f in os.listdir(self.data) if f.endswith(".msg")]), 3)

    def test_a_short_interval_checks_again_and_again(self):
        with ScriptedServer([MAILBOX]) as srv:
            self.write_accounts([("watch-idle", "user", "pass", "127.0.0.1", srv.port, 1, 120)])
            r = kxcheck("--data", self.data_arg, "--watch", "2")
            self.assertEqual(r.returncode, 0, r.stderr)
            checked = srv.transcript()
        self.assertGreaterEqual(len([c for _, _, c in checked if c == "LIST"]), 2)

    def test_watch_needs_a_data_folder_and_seconds(self):
        # An empty data folder has nothing to watch.
        for args in (["--watch", "3"], ["--data", self.data_arg, "--watch", "x"], ["--data", self.data_arg, "--watch", "1"]):
            self.assertEqual(kxcheck(*args).returncode, 2, args)


if __name__ == "__main__":
    unittest.main()
