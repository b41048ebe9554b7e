"""How long kxcheck takes for a mailbox of a thousand messages against
Dovecot, beside a plain poplib loop sending the same commands. Runs alone
(RUN_SERIAL), so that other tests do not share the two cores; the bound is on
the processor time kxcheck uses, which other work on the machine (another
build, say) does not stretch as it stretches the time on the clock."""
import poplib
import resource
import time
import unittest

from kxtest import Dovecot, bulk_messages, kxcheck_at


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


class Performance(unittest.TestCase):
    def test_a_thousand_messages_in_under_two_seconds(self):
        msgs = bulk_messages(1000)
        with Dovecot({"bulk": ("bulk", msgs)}) as d:
            kxcheck_at(d.port, user="bulk", password="bulk")  # warm
            start, used = time.monotonic(), cpu_of_children()
            r = kxcheck_at(d.port, user="bulk", password="bulk")
            ours, ours_cpu = time.monotonic() - start, cpu_of_children() - used
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(r.stdout.count(b"\n"), 1000)
            start = time.monotonic()
            p = poplib.POP3("127.0.0.1", d.port)
            p.apop("bulk", "bulk")
            for n in range(1, len(p.list()[1]) + 1):
                p.top(n, 99)
            p.quit()
            theirs = time.monotonic() - start
        print("\n1000 messages: kxcheck %.2f s, %.2f s of processor time (under Wine, process start included), "
              "poplib loop %.2f s" % (ours, ours_cpu, theirs))
        self.assertLess(ours_cpu, 2.0)


if __name__ == "__main__":
    unittest.main()
