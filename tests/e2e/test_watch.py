"""kxcheck --watch: every account of a data folder on its own worker under
the check monitor, reported line by line, against scripted servers."""
import os
import subprocess
import tempfile
import time
import unittest

from kxtest import BIN, WINE_RUN, ScriptedServer, data_folder, unique
from test_accounts import account_file

MAILBOX = {"messages": ["Subject: one\r\nMessage-ID: <1@w>\r\n\r\nx", "Subject: two\r\nMessage-ID: <2@w>\r\n\r\ny"]}
SLOW = dict(MAILBOX, rules={"LIST": ["SLEEP:500", "S:+OK\r\n1 40\r\n2 40\r\n."]})


def reports(stdout):
    """[(name, state text, message count, unread count)] from the "state" lines."""
    rows = [line.split("\t") for line in stdout.decode("latin-1").splitlines()]
    return [(r[1], r[2], int(r[3]), int(r[4])) for r in rows if r[0] == "state" and len(r) == 5]


def timed_watch(*args):
    """Runs kxcheck; returns (status, stdout, stderr, seconds from its first
    report to its exit), so that Wine's start-up under load does not count.
    The output goes to files: a pipe may stay open after the program ended."""
    cmd = [WINE_RUN, os.path.join(BIN, "kxcheck.exe")] + list(args)
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        p = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        first = None
        while first is None and p.poll() is None:
            if os.fstat(out.fileno()).st_size:
                first = time.monotonic()
            time.sleep(0.02)
        code = p.wait(timeout=120)
        end = time.monotonic()
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read(), end - (first or end)


class Watch(unittest.TestCase):
    def test_turns_silent_restart_and_clean_end(self):
        # The silent server has an address of its own, so its account does
        # not queue behind the other two.
        with ScriptedServer([SLOW]) as shared, ScriptedServer([["HANG"], MAILBOX], "127.0.0.2") as silent:
            names = [unique("watch-a"), unique("watch-b"), unique("watch-silent")]
            data, data_arg = data_folder(self, {"kestrix.dat": account_file(b"KX10", [
                (names[0], "user", "pass", "127.0.0.1", shared.port, 3600, 120),
                (names[1], "user", "pass", "127.0.0.1", shared.port, 3600, 120),
                (names[2], "user", "pass", "127.0.0.2", silent.port, 3600, 1),
            ])})
            code, out, err, took = timed_watch("--data", data_arg, "--watch", "10", "--log")
            shared_log = shared.transcript()
        self.assertEqual(code, 0, err)
        got = reports(out)
        by = lambda name: [state for n, state, _, _ in got if n == name]
        for name in names[:2]:
            self.assertEqual(by(name)[-1], "not started", got)  # stopped at the end of the watch
            self.assertIn("sleeping", by(name))
        self.assertIn((names[0], "sleeping", 2, 2), got)
        # The two accounts of one server never talked to it at the same time.
        for prev, cur in zip(shared_log, shared_log[1:]):
            if prev[0] != cur[0]:
                self.assertEqual(prev[2], "QUIT", shared_log)
        # The silent server's worker was stopped after its second and started again.
        silent_states = by(names[2])
        self.assertIn("not started", silent_states[:-1], (got, err[-4000:]))
        i = silent_states.index("not started")
        self.assertEqual(silent_states[i + 1], "connecting")
        self.assertIn("sleeping", silent_states[i:])
        # Ending the watch stops every worker at once, not after the silent
        # account's next time-out or an interval.
        self.assertLess(took, 10 + 6)
        # The read marks are written at the end, one file per account.
        self.assertEqual(len([f for f in os.listdir(data) if f.endswith(".msg")]), 3)


if __name__ == "__main__":
    unittest.main()
