"""What TLS costs a check: a thousand messages checked by kxcheck over TLS and
in the clear against the same Dovecot in the same run, and Python's poplib
sending the same commands both ways, which shows what the server's own TLS
costs. Runs alone (RUN_SERIAL); each figure is the best of three runs, and
kxcheck's are also given net of Wine's process start (kxcheck --help)."""
import poplib
import ssl
import time
import unittest

from kxtest import Dovecot, bulk_messages, kxcheck, kxcheck_at

RUNS = 3


def best(action):
    times = []
    for _ in range(RUNS):
        start = time.monotonic()
        action()
        times.append(time.monotonic() - start)
    return min(times)


class Performance(unittest.TestCase):
    def test_a_thousand_messages_over_tls(self):
        msgs = bulk_messages(1000)
        with Dovecot({"bulk": ("bulk", msgs)}, tls=True) as d:
            trust = ["--trust", d.fingerprint]

            def ours(*args):
                r = kxcheck_at(*args, user="bulk", password="bulk")
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.stdout.count(b"\n"), 1000)

            def theirs(pop):
                pop.apop("bulk", "bulk")
                for n in range(1, len(pop.list()[1]) + 1):
                    pop.top(n, 99)
                pop.quit()

            context = ssl.create_default_context()
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
            ours(d.tls_port, "--tls", *trust)  # warm
            start = best(lambda: kxcheck("--help"))
            plain = best(lambda: ours(d.port))
            tls = best(lambda: ours(d.tls_port, "--tls", *trust))
            stls = best(lambda: ours(d.port, "--starttls", *trust))
            pop_plain = best(lambda: theirs(poplib.POP3("127.0.0.1", d.port)))
            pop_tls = best(lambda: theirs(poplib.POP3_SSL("127.0.0.1", d.tls_port, context=context)))
        print("\n1000 messages, best of %d: kxcheck plain %.2f s, TLS %.2f s (%.2fx), STLS %.2f s; "
              "net of the process start (%.2f s): plain %.2f s, TLS %.2f s (%.2fx); "
              "poplib plain %.2f s, TLS %.2f s (%.2fx)"
              % (RUNS, plain, tls, tls / plain, stls, start, plain - start, tls - start,
                 (tls - start) / max(plain - start, 0.01), pop_plain, pop_tls, pop_tls / pop_plain))
        # Against the same server, TLS may cost no more than it costs the server.
        self.assertLess(tls / plain, max(1.3, 1.1 * pop_tls / pop_plain))


if __name__ == "__main__":
    unittest.main()
