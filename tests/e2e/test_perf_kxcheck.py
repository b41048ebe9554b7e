"""How long kxcheck takes for a mailbox of a thousand messages against
Dovecot, beside a plain poplib loop sending the same commands. Runs alone
(RUN_SERIAL), so that other tests do not share the two cores."""
import poplib
import time
import unittest

from kxtest import Dovecot, kxcheck_at


class Performance(unittest.TestCase):
    def test_a_thousand_messages_in_under_two_seconds(self):
        body = b"".join(b"line %d of a message that fills about four kilobytes with text\n" % i
                        for i in range(60))
        msgs = [b"From: s%d@example.org\nSubject: message %d\nMessage-ID: <%d@bulk>\n\n" % (i, i, i) + body
                for i in range(1000)]
        with Dovecot({"bulk": ("bulk", msgs)}) as d:
            kxcheck_at(d.port, user="bulk", password="bulk")  # warm
            start = time.monotonic()
            r = kxcheck_at(d.port, user="bulk", password="bulk")
            ours = time.monotonic() - start
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(r.stdout.count(b"\n"), 1000)
            start = time.monotonic()
            p = poplib.POP3("127.0.0.1", d.port)
            p.apop("bulk", "bulk")
            for n in range(1, len(p.list()[1]) + 1):
                p.top(n, 99)
            p.quit()
            theirs = time.monotonic() - start
        print("\n1000 messages: kxcheck %.2f s (under Wine, process start included), poplib loop %.2f s"
              % (ours, theirs))
        self.assertLess(ours, 2.0)


if __name__ == "__main__":
    unittest.main()
