"""The messages pane of kestrix.exe against a scripted server: its rows and
columns, marks and the counts they change, deletion on the server with and
without the question, Save As, the sort by subject and what the account
keeps of it, marking read after a delay, the log viewer, and the tips at
start."""
import os
import stat
import time
import unittest

import checker
import gui
from gui import wait_equal, wait_until
from kxtest import ScriptedServer

ACCOUNTS = checker.PRODUCT + r"\Accounts"
WITHOUT_CONFIRMATION = 0x40000447
SUBJECT_KIND = 0x40000414
CHECK, CHECK_ALL, SAVE_AS, SHOW_LOG = 1006, 40011, 40056, 40052
NEW_MESSAGES = 4  # the accounts list's column
DELETED_IMAGE = 0  # a row's image while its message is marked deleted


def mail(n, subject, date_day=1):
    return ("From: Sender %d <s%d@example.org>\r\nSubject: %s\r\nDate: Mon, %d Jan 2024 10:00:00 +0000\r\n"
            "Message-ID: <%d@kx.test>\r\n\r\nbody %d\r\nsecond line\r\n" % (n, n, subject, date_day, n, n))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def account(name, port):
    return (name, "user", "pass", "127.0.0.1", port, 3600, 120)


def start(test, accounts, settings=None, options=None):
    """A checker on `accounts`, with per-account registry `options` ({name: {value: number}})."""
    session = gui.Session(test)
    for name, values in (options or {}).items():
        for value, number in values.items():
            session.inspector.reg_set(ACCOUNTS + "\\" + name, value, "REG_DWORD", number)
    return checker.start(test, accounts, settings=settings, session=session)


def click_title(pane, text, at):
    """A click on a column title, `at` of the way across it: clicks at two
    places never make a double click, however late the program sees them."""
    rect = next(item["rect"] for item in pane.header() if item["text"] == text)
    pane.child(cls="SysHeader32").mouse(int(rect[0] + at * (rect[2] - rect[0])), (rect[1] + rect[3]) // 2)


def new_messages(accounts, row=0):
    return accounts.rows()[row][NEW_MESSAGES]


class MessagesList(unittest.TestCase):
    def test_rows_marks_deletion_without_question_delayed_read_and_save_as(self):
        messages = [mail(1, "first", 1), mail(2, "second", 2), mail(3, "third", 3)]
        with ScriptedServer([{"messages": messages}]) as server:
            session, app, main = start(self, [account("work", server.port)],
                                       settings={"DontCalcDeleted": 1, "MarkMsgDelay": 2},
                                       options={"work": {"MsgDeletion": WITHOUT_CONFIRMATION}})
            accounts, pane = main.child(id=1012), main.child(id=1051)
            wait_equal(lambda: len(pane.rows()), 3)
            self.assertEqual([h["text"] for h in pane.header()],
                             ["From", "Subject", "Priority", "Date", "Attach", "Size"])
            self.assertEqual([r[1] for r in pane.rows()], ["first", "second", "third"])  # by date
            self.assertEqual(new_messages(accounts), "3")

            # A focused unread message is read after MarkMsgDelay seconds. Timed
            # before any check refreshes the list: a refresh keeps a focused row,
            # whose timer would then have started before the test's own focus.
            pane.select_row(0)
            focused = time.monotonic()
            wait_equal(lambda: new_messages(accounts), "2", timeout=10)
            self.assertGreater(time.monotonic() - focused, 1.5)

            # Deleted counts as read here: the count drops at once, before the delay.
            pane.select_row(1)
            pane.keys("ctrl+d")
            wait_equal(lambda: new_messages(accounts), "1", timeout=1.5)

            # The next check deletes exactly that message on the server.
            main.command(CHECK)
            wait_until(lambda: any(c == "QUIT" for n, _, c in server.transcript() if n == 2), what="the second check")
            self.assertEqual([c for n, _, c in server.transcript() if c.startswith("DELE")], ["DELE 2"])
            wait_equal(lambda: [r[1] for r in pane.rows()], ["first", "third"])

            self.save_as(session, main, pane)

    def save_as(self, session, main, pane):
        # On drive C: (the prefix's own folder): Wine's file dialog finds no path on Z:.
        folder = os.path.join(session.prefix.path, "drive_c", "saved")
        os.makedirs(folder)
        target, locked = os.path.join(folder, "first.eml"), os.path.join(folder, "locked.eml")
        with open(locked, "wb") as f:
            f.write(b"keep me")
        os.chmod(locked, stat.S_IRUSR)
        pane.select_row(0)

        def save(path, replace=False):
            main.command(SAVE_AS)
            dialog = session.inspector.wait_window(title="Save As")
            name = dialog.child(cls="Edit")
            name.set_text("C:\\saved\\" + os.path.basename(path))
            name.keys("enter")
            if replace:
                question = wait_until(lambda: [w for w in session.inspector.windows(visible=True, cls="#32770")
                                               if w.info["owner"] == dialog.hwnd], what="the replace question")
                question[0].child(id=6).click()  # Yes

        save(target)
        wait_until(lambda: os.path.exists(target), what="the saved file")
        expected = mail(1, "first", 1).replace("\r\n\r\n", "\r\n", 1).encode("latin-1")
        wait_equal(lambda: read(target), expected)

        save(locked, replace=True)
        error = session.inspector.wait_window(title="Kestrix", cls="#32770")
        self.assertTrue(error.child(cls="Static", text="Access denied.", timeout=5))
        error.child(id=1).click()
        self.assertEqual(read(locked), b"keep me")

    def test_sort_by_subject_groups_replies_and_the_account_keeps_it(self):
        subjects = ["RE: x", "b", "FWD: x", "a", "x", "z"]
        messages = [mail(n + 1, s, n + 1) for n, s in enumerate(subjects)]
        with ScriptedServer([{"messages": messages}]) as server:
            session, app, main = start(self, [account("work", server.port)])
            pane = main.child(id=1051)
            wait_equal(lambda: len(pane.rows()), 6)
            click_title(pane, "Subject", 0.3)
            wait_until(lambda: pane.rows()[0][1] == "a", what="the rows sorted by subject")
            order = [r[1] for r in pane.rows()]
            self.assertEqual(order[:2], ["a", "b"])
            self.assertEqual(sorted(order[2:5]), ["FWD: x", "RE: x", "x"])
            self.assertEqual(order[5], "z")
            # The first click kept the account's order (ascending); the next turns it round.
            click_title(pane, "Subject", 0.7)
            wait_until(lambda: pane.rows()[0][1] == "z", what="the rows sorted the other way")
            main.command(checker.EXIT)
            self.assertEqual(app.wait_exit(10), 0)
            key = ACCOUNTS + r"\work"
            self.assertEqual(session.inspector.reg_get(key, "SortKind"), SUBJECT_KIND)
            self.assertEqual(session.inspector.reg_get(key, "SortOrder"), 2)

    def test_log_viewer_follows_a_check_past_the_log_memory(self):
        messages = [mail(n, "m%d" % n) for n in range(1, 161)]
        with ScriptedServer([{"messages": messages}]) as server:
            session, app, main = start(self, [account("work", server.port)])
            pane = main.child(id=1051)
            wait_equal(lambda: pane.list_view(rows=False)["count"], 160, timeout=60)
            main.command(SHOW_LOG)
            log = session.inspector.wait_window(title="Log").child(id=1161)
            wait_equal(lambda: log.list_view(rows=False)["count"], 300)

            # A check writes more lines than the log keeps; its last ones are there.
            def checks():
                return sum("disconnect from mail server: account=work" in r[0] for r in log.rows())
            before = checks()
            main.command(CHECK)
            wait_until(lambda: checks() > before, timeout=10, what="the new check's line in the viewer")


class Confirmation(unittest.TestCase):
    def test_one_question_at_a_time_cancel_deletes_nothing_and_exit_ends_it(self):
        mailboxes = [{"messages": [mail(1, "one"), mail(2, "two")]},
                     {"messages": [mail(3, "three"), mail(4, "four")]}]
        with ScriptedServer([mailboxes[0]]) as first, ScriptedServer([mailboxes[1]], "127.0.0.2") as second:
            names = ["first", "second"]
            accounts_data = [account("first", first.port), ("second", "user", "pass", "127.0.0.2", second.port,
                                                            3600, 120)]
            session, app, main = start(self, accounts_data)
            accounts, pane = main.child(id=1012), main.child(id=1051)
            for row, subjects in enumerate([["one", "two"], ["three", "four"]]):
                wait_equal(lambda: new_messages(accounts, row), "2")
                accounts.select_row(row)
                wait_equal(lambda: [r[1] for r in pane.rows()], subjects)
                pane.keys("ctrl+a", "ctrl+d")
                # Keys come after posted messages: the marks must be there before the next selection.
                wait_until(lambda: all(r["image"] == DELETED_IMAGE for r in pane.list_view()["rows"]),
                           what="the deleted marks")
            main.command(CHECK_ALL)

            asked = []
            for _ in names:
                dialog = session.inspector.wait_window(title="Confirmation")
                ok = dialog.child(id=1)
                self.assertTrue(ok.text().startswith("OK("))
                wait_until(lambda: ok.text() != "OK(30)", what="the countdown")
                self.assertEqual(len(dialog.child(id=1147).rows()), 2)
                self.assertEqual(len(session.inspector.windows(title="Confirmation", visible=True)), 1)
                asked.append(dialog.child(id=1120).text())
                dialog.child(id=2).click()
                dialog.wait_gone()
            self.assertEqual(sorted(asked), sorted("Delete all marked messages for account '%s' ?\r\n" % n
                                                   for n in names))
            for server in (first, second):
                wait_until(lambda: "QUIT" in server.commands(2), what="the end of each check")
                self.assertNotIn("DELE", " ".join(server.commands()))

            # Exit while a question is open: the question goes, the program ends.
            accounts.select_row(0)
            main.command(CHECK)
            session.inspector.wait_window(title="Confirmation")
            main.command(checker.EXIT)
            warning = session.inspector.wait_window(title="Warning")
            warning.child(id=6).click()  # Yes: exit with messages marked
            clicked = time.monotonic()
            self.assertEqual(app.wait_exit(10), 0)
            self.assertLess(time.monotonic() - clicked, 5)
            self.assertNotIn("DELE", " ".join(first.commands()))


class Viewers(unittest.TestCase):
    def test_tips_at_start(self):
        tips = ["First tip.", "Second tip.", "Third tip."]
        session = gui.Session(self)
        session.inspector.reg_set(checker.SETTINGS, "HideStart", "REG_DWORD", 0)
        session.inspector.reg_set(checker.SETTINGS, "ShowTips", "REG_DWORD", 1)
        app = session.start("kestrix.exe", files={"kestrix.dat": checker.account_file([account("work", 1)]),
                                                  "tips.txt": "\r\n".join(tips).encode()})
        dialog = session.inspector.wait_window(title="Useful Tips")
        text = dialog.child(id=1098)
        first = tips.index(text.text())
        for step in (1, 2, 3):
            dialog.child(id=1165).click()
            text.wait_text(tips[(first + step) % 3])
        dialog.child(id=1166).click()  # no more tips at start
        dialog.child(id=1).click()
        main = app.main_window(checker.TITLE)
        main.command(checker.EXIT)
        self.assertEqual(app.wait_exit(10), 0)
        self.assertEqual(session.inspector.reg_get(checker.SETTINGS, "ShowTips"), 0)


if __name__ == "__main__":
    unittest.main()
