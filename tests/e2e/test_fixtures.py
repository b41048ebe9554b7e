"""The test fixtures themselves: the private Dovecot answers APOP and
USER/PASS, and the scripted server follows its script and keeps a transcript."""
import hashlib
import poplib
import socket
import unittest

from kxtest import Dovecot, ScriptedServer

MESSAGE = b"From: a@example.org\r\nSubject: hello\r\n\r\n.dotted line\r\nsecond\r\n"


class DovecotFixture(unittest.TestCase):
    def test_apop_and_user_pass(self):
        with Dovecot({"apopuser": ("pa:ss@word", [MESSAGE]), "plain": ("x", [])}) as d:
            p = poplib.POP3("127.0.0.1", d.port, timeout=10)
            self.assertIn(b"<", p.getwelcome())
            p.apop("apopuser", "pa:ss@word")
            self.assertEqual(p.stat()[0], 1)
            _, lines, _ = p.top(1, 1)
            self.assertIn(b".dotted line", lines)  # poplib unstuffs the dot
            p.quit()
            p = poplib.POP3("127.0.0.1", d.port, timeout=10)
            p.user("plain")
            p.pass_("x")
            self.assertEqual(p.stat(), (0, 0))
            p.quit()


class ScriptedServerFixture(unittest.TestCase):
    def test_script_and_transcript(self):
        script = ["S:+OK hi <1.2@x>", "R:APOP", "S:-ERR no", "R:QUIT", "S:+OK", "CLOSE"]
        with ScriptedServer([script, {"messages": [MESSAGE], "rules": {"TOP 1": ["CLOSE"]}}]) as srv:
            with socket.create_connection(("127.0.0.1", srv.port)) as s:
                f = s.makefile("rwb")
                self.assertTrue(f.readline().startswith(b"+OK hi"))
                f.write(b"APOP u d\r\n"); f.flush()
                self.assertTrue(f.readline().startswith(b"-ERR"))
                f.write(b"QUIT\r\n"); f.flush()
                self.assertEqual(f.readline(), b"+OK\r\n")
                self.assertEqual(f.readline(), b"")
            p = poplib.POP3("127.0.0.1", srv.port, timeout=10)
            stamp = p.getwelcome()[p.getwelcome().index(b"<"):].decode()
            p._shortcmd("APOP user " + hashlib.md5((stamp + "pass").encode()).hexdigest())
            self.assertEqual(p.list()[1], [b"1 %d" % len(MESSAGE)])
            with self.assertRaises((poplib.error_proto, OSError, EOFError)):
                p.top(1, 0)
            self.assertEqual(srv.commands(1), ["APOP u d", "QUIT"])
            self.assertEqual([c for n, _, c in srv.transcript() if n == 2][1:], ["LIST", "TOP 1 0"])


if __name__ == "__main__":
    unittest.main()
