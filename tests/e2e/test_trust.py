"""kestrix.exe meets a server certificate that it does not trust: the question
comes at the failure, without a credential sent; Trust stores the fingerprint
for the account and checks again; View Errors asks again after a Cancel."""
import unittest

import checker
import gui
from gui import wait_until
from kxtest import ScriptedServer
from test_tls import certificate_folder, colons

ACCOUNTS = checker.PRODUCT + r"\Accounts"
QUESTION = "Untrusted certificate"
VIEW_ERRORS = 40019
CERT_DETAILS = 1322


class Trust(unittest.TestCase):
    def test_the_question_at_the_failure_and_from_view_errors(self):
        folder, fingerprint = certificate_folder(self)
        mailbox = {"messages": ["From: a@example.org\r\nSubject: hello\r\n\r\nbody"], "tls": folder, "implicit": True}
        with ScriptedServer([mailbox]) as srv:
            session = gui.Session(self)
            key = ACCOUNTS + r"\secure"
            session.inspector.reg_set(key, "SecureConnection", "REG_DWORD", 2)
            session, app, main = checker.start(
                self, [("secure", "user", "pass", "127.0.0.1", srv.port, 3600, 120)], session=session)

            question = session.inspector.wait_window(title=QUESTION, timeout=60)
            details = question.child(id=CERT_DETAILS).text()
            self.assertIn("127.0.0.1:%d" % srv.port, details)
            self.assertIn(colons(fingerprint), details)
            self.assertEqual(srv.commands(), [])
            question.child(id=2).click()  # Cancel: not asked again for this certificate
            question.wait_gone()
            self.assertIsNone(session.inspector.reg_get(key, "TrustedCertificate"))

            main.child(cls="SysListView32").select_row(0)
            main.command(VIEW_ERRORS)
            question = session.inspector.wait_window(title=QUESTION)
            question.child(id=1).click()  # Trust
            wait_until(lambda: session.inspector.reg_get(key, "TrustedCertificate") == fingerprint,
                       what="the fingerprint to be stored")
            wait_until(lambda: "QUIT" in srv.commands(), timeout=60, what="the check again")
            self.assertEqual(srv.commands(),
                             ["APOP user " + srv.commands()[0].split()[-1], "CAPA", "LIST", "UIDL", "TOP 1 99", "QUIT"])


if __name__ == "__main__":
    unittest.main()
