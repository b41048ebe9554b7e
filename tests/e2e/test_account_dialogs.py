"""The account windows of kestrix.exe as a user meets them: the first-run
choice, the accounts wizard in its long form (typed accounts, one after
another; accounts imported from the mail client's registry key) and its short
form (New), and "Account Edit" with what it refuses; what reaches kestrix.dat
and whether the accounts made log in."""
import struct
import subprocess
import unittest

import checker
import gui
from gui import wait_equal, wait_until
from kxdata import ACP, SCRAMBLE
from kxtest import Dovecot

NEW, EDIT, IMPORT = 1001, 1005, 1119
# The sheet's own buttons.
BACK, NEXT, FINISH, CANCEL = 0x3023, 0x3024, 0x3025, 2
# First-run choice.
SETUP, LAUNCH = 1, 2
# Controls of the pages and the dialog.
CREATE_NEW, IMPORT_EXISTING, IMPORT_LIST, ANOTHER_YES, ANOTHER_NO = 1001, 1119, 1169, 1170, 1171
NAME, USER, PASSWORD, SERVER, PORT = 1013, 1014, 1015, 1016, 1017
NOTE, OK = 1340, 1
IMPORT_KEY = r"HKCU\Software\Microsoft\Internet Account Manager\Accounts"
MESSAGES = ["From: a@example.com\r\nSubject: one\r\n\r\nbody\r\n",
            "From: b@example.com\r\nSubject: two\r\n\r\nbody\r\n"]
FILL_IN = "Fill in every field."


def accounts_in_file(path):
    """(name, account address, port) of each record of a kestrix.dat, in order."""
    with open(path, "rb") as f:
        data = f.read()
    pos = 8

    def field():
        nonlocal pos
        size = struct.unpack_from("<I", data, pos)[0]
        pos += 4 + size
        return data[pos - size:pos].decode("utf-16-le")
    found = []
    for _ in range(struct.unpack_from("<I", data, 4)[0]):
        name = field()
        raw = field().encode(ACP, errors="surrogateescape")
        port = struct.unpack_from("<I", data, pos)[0]
        found.append((name, bytes(b ^ SCRAMBLE[i % 4] for i, b in enumerate(raw)).decode(ACP), port))
        pos += 12  # port, interval, time-out
    return found


class Wizard:
    """The "Accounts Wizard" sheet: its buttons and the controls of the page shown."""

    def __init__(self, session, app):
        self.sheet = session.inspector.wait_window(title="Accounts Wizard", pid=app.pid)

    def control(self, id):
        return self.sheet.child(id=id, visible=True)

    def enabled(self, button):
        return self.sheet.child(id=button).refresh()["enabled"] and self.sheet.child(id=button).info["visible"]

    def press(self, button):
        wait_until(lambda: self.enabled(button), what="button %#x to be enabled" % button)
        self.sheet.child(id=button).click()

    def wait_page(self, id):
        """Waits until the page with control `id` is the one shown."""
        wait_until(lambda: self.sheet.child(id=id, visible=True, timeout=1), what="the page of control %d" % id)

    def type(self, id, text):
        self.control(id).set_text(text)

    def note(self):
        return self.control(NOTE).text()

    def account(self, name, server, user, password):
        """From the name page to the another page."""
        self.wait_page(NAME)
        self.type(NAME, name)
        self.press(NEXT)
        self.wait_page(SERVER)
        self.type(SERVER, server)
        self.press(NEXT)
        self.wait_page(USER)
        self.type(USER, user)
        self.type(PASSWORD, password)
        self.press(NEXT)
        self.wait_page(ANOTHER_YES)


class AccountDialogs(unittest.TestCase):
    def start(self, session):
        for name, value in {"HideStart": 0, "ShowTips": 0}.items():
            session.inspector.reg_set(checker.SETTINGS, name, "REG_DWORD", value)
        app = session.start("kestrix.exe")
        first_run = session.inspector.wait_window(cls="#32770", pid=app.pid, visible=True, timeout=60)
        self.assertEqual([c.id for c in first_run.children() if c.id in (SETUP, LAUNCH)], [SETUP, LAUNCH])
        return app, first_run

    def names(self, accounts):
        return [row[0] for row in accounts.rows()]

    def test_first_run_wizard_makes_two_accounts_that_log_in_after_their_port_is_edited(self):
        dovecot = Dovecot({"alice": ("alpha pw", MESSAGES), "bob": ("b:p@ss", MESSAGES[:1])})
        dovecot.start()
        self.addCleanup(dovecot.stop)
        session = gui.Session(self)
        app, first_run = self.start(session)
        first_run.child(id=SETUP).click()

        wizard = Wizard(session, app)
        # Nothing to import in a fresh prefix: "Create new account" is chosen.
        self.assertEqual(wizard.control(CREATE_NEW).info["checked"], 1)
        self.assertEqual(wizard.control(IMPORT_EXISTING).info["checked"], 0)
        wizard.press(NEXT)
        wizard.wait_page(NAME)
        self.assertFalse(wizard.enabled(NEXT), "an empty name")
        wizard.account("Alpha", "127.0.0.1", "alice", "alpha pw")
        self.assertEqual(wizard.control(ANOTHER_YES).info["checked"], 1)
        wizard.press(NEXT)
        wizard.wait_page(CREATE_NEW)
        wizard.press(NEXT)
        wizard.wait_page(NAME)
        wizard.type(NAME, "ALPHA")
        wait_until(lambda: not wizard.enabled(NEXT), what="a taken name to be refused")
        self.assertEqual(wizard.note(), "Another account already has this name.")
        wizard.type(NAME, "Al\\pha")
        wait_equal(wizard.note, 'An account name cannot contain "\\".')
        wizard.account("Beta", "127.0.0.1", "bob", "b:p@ss")
        # Back to the login page and on again: still one record for Beta.
        wizard.press(BACK)
        wizard.wait_page(USER)
        self.assertEqual(wizard.control(USER).text(), "bob")
        wizard.press(NEXT)
        wizard.wait_page(ANOTHER_NO)
        wizard.control(ANOTHER_NO).check()
        wizard.press(FINISH)
        wizard.sheet.wait_gone()

        main = app.main_window(checker.TITLE)
        accounts = main.child(id=1012)
        wait_equal(lambda: self.names(accounts), ["Alpha", "Beta"])
        self.assertEqual(accounts_in_file(app.path("kestrix.dat")),
                         [("Alpha", "pop3://alice:alpha pw@127.0.0.1/", 110),
                          ("Beta", "pop3://bob:b:p@ss@127.0.0.1/", 110)])

        # The wizard gives no port: both use 110, where nothing answers. Only
        # the port is edited, and the next checks reach Dovecot.
        accounts.select_row(0)
        main.command(EDIT)
        dialog = session.inspector.wait_window(title="Account Edit", pid=app.pid)
        ok = dialog.child(id=OK)
        self.assertTrue(ok.refresh()["enabled"])
        # The rules themselves are the input unit tests' table; here one of each kind
        # shows that the dialog follows them and says why.
        refused = [(PASSWORD, "", FILL_IN),
                   (PORT, "70000", "The port number must be between 1 and 65535."),
                   (NAME, "beta", "Another account already has this name.")]
        shown = {NAME: "Alpha", PASSWORD: "alpha pw", PORT: "110"}
        for control, text, reason in refused:
            box = dialog.child(id=control)
            box.set_text(text)
            wait_until(lambda: not ok.refresh()["enabled"], what="OK to be disabled for %d=%r" % (control, text))
            self.assertEqual(dialog.child(id=NOTE).text(), reason)
            box.set_text(shown[control])
            wait_until(lambda: ok.refresh()["enabled"], what="OK again after %d" % control)
        self.assertEqual(dialog.child(id=NOTE).text(), "")
        dialog.child(id=PORT).set_text(str(dovecot.port))
        ok.click()
        dialog.wait_gone()

        accounts.select_row(1)
        main.command(EDIT)
        dialog = session.inspector.wait_window(title="Account Edit", pid=app.pid)
        dialog.child(id=PORT).set_text(str(dovecot.port))
        dialog.child(id=OK).click()
        dialog.wait_gone()

        def state(row):
            return [row[0], row[3], row[5]]
        wait_equal(lambda: [state(row) for row in accounts.rows()],
                   [["Alpha", "2", "sleeping"], ["Beta", "1", "sleeping"]], timeout=60)
        self.assertEqual([port for _, _, port in accounts_in_file(app.path("kestrix.dat"))], [dovecot.port] * 2)
        main.command(checker.EXIT)
        self.assertEqual(app.wait_exit(10), 0)

    def test_launch_then_import_and_new(self):
        session = gui.Session(self)
        # The mail client's accounts: one POP3 account and one without a POP3 server.
        values = [("00000001", "Account Name", "Work"), ("00000001", "POP3 Server", "127.0.0.1"),
                  ("00000001", "POP3 User Name", "ann"), ("00000002", "Account Name", "News"),
                  ("00000002", "NNTP Server", "news.example")]
        for key, name, data in values:
            subprocess.run(["wine", "reg", "add", IMPORT_KEY + "\\" + key, "/v", name, "/d", data, "/f"],
                           env=session.prefix.env, capture_output=True, timeout=120, check=True)
        app, first_run = self.start(session)
        first_run.child(id=LAUNCH).click()
        main = app.main_window(checker.TITLE)
        accounts = main.child(id=1012)
        self.assertEqual(accounts.rows(), [])

        main.command(IMPORT)
        wizard = Wizard(session, app)
        self.assertEqual(wizard.control(IMPORT_EXISTING).info["checked"], 1)
        wizard.press(NEXT)
        wizard.wait_page(IMPORT_LIST)
        listed = wizard.control(IMPORT_LIST)
        self.assertEqual([h["text"] for h in listed.header()], ["Account", "Server", "User"])
        self.assertEqual(listed.rows(), [["Work", "127.0.0.1", "ann"]])
        self.assertFalse(wizard.enabled(NEXT), "no row chosen")
        listed.select_row(0)
        wizard.press(NEXT)
        wizard.wait_page(NAME)
        self.assertEqual(wizard.control(NAME).text(), "Work")
        wizard.press(NEXT)
        wizard.wait_page(SERVER)
        self.assertEqual(wizard.control(SERVER).text(), "127.0.0.1")
        wizard.press(NEXT)
        wizard.wait_page(USER)
        self.assertEqual([wizard.control(USER).text(), wizard.control(PASSWORD).text()], ["ann", ""])
        self.assertFalse(wizard.enabled(NEXT), "the password is still to be typed")
        wizard.type(PASSWORD, "line\r\nDELE 1")
        wait_equal(wizard.note, "A user name or password cannot contain line breaks.")
        wizard.type(PASSWORD, "pw")
        wizard.press(NEXT)
        wizard.wait_page(ANOTHER_NO)
        wizard.control(ANOTHER_NO).check()
        wizard.press(FINISH)
        wizard.sheet.wait_gone()
        wait_equal(lambda: self.names(accounts), ["Work"])
        # The monitor runs: the new account's worker tries port 110 at once.
        wait_until(lambda: accounts.rows()[0][5] in ("connecting", "checking", "failed"),
                   what="the imported account's first check")

        # New: the short form, whose login page is the last.
        main.command(NEW)
        wizard = Wizard(session, app)
        wizard.wait_page(NAME)
        self.assertFalse(wizard.enabled(BACK))
        wizard.type(NAME, "work")
        wait_equal(wizard.note, "Another account already has this name.")
        wizard.type(NAME, "Second")
        wizard.press(NEXT)
        wizard.wait_page(SERVER)
        wizard.type(SERVER, "127.0.0.1")
        wizard.press(NEXT)
        wizard.wait_page(USER)
        wizard.type(PASSWORD, "pw")
        self.assertFalse(wizard.enabled(FINISH), "a password but no user")
        wizard.type(USER, "sam")
        wizard.press(FINISH)
        wizard.sheet.wait_gone()
        wait_equal(lambda: self.names(accounts), ["Work", "Second"])
        self.assertEqual(accounts_in_file(app.path("kestrix.dat")),
                         [("Work", "pop3://ann:pw@127.0.0.1/", 110), ("Second", "pop3://sam:pw@127.0.0.1/", 110)])
        main.command(checker.EXIT)
        self.assertEqual(app.wait_exit(10), 0)


if __name__ == "__main__":
    unittest.main()
