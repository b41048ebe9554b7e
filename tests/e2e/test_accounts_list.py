"""The accounts list of kestrix.exe on live workers against scripted servers:
rows and their states, Stop, Check, Disable, View Errors, Up, Down, sorting,
dragging, Remove, the Columns dialog and an account added while the program
runs, what reaches kestrix.dat and the registry; and a stress run of commands
on failing accounts."""
import os
import struct
import unittest

import checker
import gui
from gui import wait_equal, wait_until
from kxtest import ScriptedServer, crc

TITLES = ["Account", "Server", "User", "Total msgs", "New messages", "State", "Last check", "Mailbox size"]
ACCOUNTS_KEY = checker.PRODUCT + r"\Accounts"
COLUMNS_KEY = checker.PRODUCT + r"\CustomizeControls\CustomizeAccountsList\Columns"
CHECK, CHECK_ALL, STOP, DISABLE, UP, DOWN = 1006, 40011, 40051, 40028, 40014, 40015
REMOVE, EDIT, VIEW_ERRORS, ACCOUNT_COLUMNS, ADD_ACCOUNT = 1004, 1005, 40019, 40038, 49002
IDOK, IDYES, IDNO, TEXT = 1, 6, 7, 0xFFFF
MESSAGES = ["From: a@example.com\r\nSubject: one\r\n\r\nbody\r\n",
            "From: b@example.com\r\nSubject: two\r\n\r\nbody\r\n"]


def account_names(path):
    """The names in a kestrix.dat, in file order."""
    with open(path, "rb") as f:
        data = f.read()
    names, pos = [], 8

    def field():
        nonlocal pos
        size = struct.unpack_from("<I", data, pos)[0]
        pos += 4 + size
        return data[pos - size:pos]
    for _ in range(struct.unpack_from("<I", data, 4)[0]):
        names.append(field().decode("utf-16-le"))
        field()  # the account URL
        pos += 12  # port, interval, time-out
    return names


def server(test, scripts, host="127.0.0.1"):
    srv = ScriptedServer(scripts, host)
    test.addCleanup(srv.stop)
    return srv


class AccountsList(unittest.TestCase):
    def names(self):
        return [row[0] for row in self.list.rows()]

    def cell(self, name, title):
        return next(row for row in self.list.rows() if row[0] == name)[TITLES.index(title)]

    def select(self, name):
        self.list.select_row(self.names().index(name))

    @staticmethod
    def buttons(main, *commands):
        enabled = {b["command"]: b["enabled"] for b in main.child(cls="ToolbarWindow32").toolbar()}
        return [enabled[command] for command in commands]

    def box(self, title):
        return self.session.inspector.wait_window(title=title, pid=self.app.pid, timeout=10)

    def test_rows_commands_order_and_what_is_saved(self):
        good = server(self, [["HANG"], {"user": "u", "password": "p", "messages": MESSAGES}])
        # Accounts of one server name check one after another: three names.
        refused = server(self, [{"user": "u", "password": "right"}], "127.0.0.2")
        hanging = server(self, [["HANG"]], "127.0.0.3")
        accounts = [("good", "u", "p", "127.0.0.1", good.port, 300, 120),
                    ("refused", "u", "wrong", "127.0.0.2", refused.port, 300, 120),
                    ("hanging", "u", "p", "127.0.0.3", hanging.port, 300, 120)]
        marks = "%x.msg" % crc(b"refused")
        self.session, self.app, main = checker.start(self, accounts, files={marks: b""},
                                                     exe="kestrix_testhooks.exe")
        reg = self.session.inspector
        reg.reg_set(ACCOUNTS_KEY + r"\refused", "MsgLinesNum", "REG_DWORD", 99)
        self.list = main.child(id=1012)
        self.assertEqual([item["text"] for item in self.list.header()], TITLES)
        rows = wait_until(lambda: len(self.list.rows()) == 3 and self.list.rows(), what="three rows")
        self.assertEqual([row[:5] for row in rows],
                         [["good", "127.0.0.1", "u", "0", "0"], ["refused", "127.0.0.2", "u", "0", "0"],
                          ["hanging", "127.0.0.3", "u", "0", "0"]])

        # Stop during a hanging check: sleeping at once, and no new connection.
        wait_until(lambda: good.connections == 1, what="the first check")
        self.select("good")
        self.assertEqual(self.buttons(main, CHECK, STOP), [False, True])
        main.command(STOP)
        wait_equal(lambda: self.cell("good", "State"), "sleeping", timeout=3)

        # Disable: the state, the menu item's text, Check greyed.
        wait_until(lambda: hanging.connections == 1, what="the hanging check")
        self.select("hanging")
        main.command(DISABLE)
        wait_equal(lambda: self.cell("hanging", "State"), "disabled")
        accounts_menu = gui.Window.menu_item(main.menu(), "Accounts")["items"]
        self.assertTrue(gui.Window.menu_item(accounts_menu, "Enable")["enabled"])
        self.assertTrue(gui.Window.menu_item(accounts_menu, "Check")["grayed"])
        self.assertEqual(self.buttons(main, CHECK, STOP), [False, False])

        # Up, Down, sorts by name, by server and by name again (descending),
        # and a drag.
        main.command(UP)
        wait_equal(self.names, ["good", "hanging", "refused"])
        self.select("good")
        main.command(DOWN)
        wait_equal(self.names, ["hanging", "good", "refused"])
        for title, order in [("Account", ["good", "hanging", "refused"]), ("Server", ["good", "refused", "hanging"]),
                             ("Account", ["refused", "hanging", "good"])]:
            self.list.click_column(title)
            wait_equal(self.names, order)
        self.list.drag_row(0, 2)
        wait_equal(self.names, ["hanging", "good", "refused"])
        self.assertEqual(self.list.list_view(rows=False)["selected"], 2, "the dragged row stays selected")

        # A refused password: failed, and View Errors shows the server's answer.
        wait_equal(lambda: self.cell("refused", "State"), "failed", timeout=90)
        self.select("refused")
        main.command(VIEW_ERRORS)
        box = self.box("View Errors")
        self.assertEqual(box.child(id=TEXT).text(), "-ERR auth")
        box.close()
        box.wait_gone()

        # Nothing connected to the stopped account meanwhile; Check (Enter in
        # the list) connects at once.
        self.assertEqual(good.connections, 1)
        self.select("good")
        self.list.keys("enter")
        wait_until(lambda: good.connections == 2, timeout=5, what="Check to connect")
        wait_until(lambda: self.cell("good", "State") == "sleeping" and self.cell("good", "Total msgs") == "2",
                   what="the good check")
        row = next(row for row in self.list.rows() if row[0] == "good")
        self.assertEqual(row[TITLES.index("New messages")], "2")
        self.assertRegex(row[TITLES.index("Last check")], r"^\d\d:\d\d:\d\d$")
        self.assertTrue(row[TITLES.index("Mailbox size")].endswith("Bytes"), row)

        # Remove: the account file at once, the options key goes, the read marks stay.
        self.select("refused")
        main.command(REMOVE)
        self.box("Warning").child(id=IDYES).click()
        wait_equal(self.names, ["hanging", "good"])
        self.assertEqual(account_names(self.app.path("kestrix.dat")), ["hanging", "good"])
        self.assertIsNone(reg.reg_key(ACCOUNTS_KEY + r"\refused"))
        self.assertTrue(os.path.exists(self.app.path(marks)))

        # The Columns dialog: Server hidden, and the layout stored.
        self.assertIsNone(reg.reg_key(COLUMNS_KEY))
        main.command(ACCOUNT_COLUMNS)
        dialog = self.box("Columns")
        dialog.child(id=20000).select_row(1)
        dialog.child(id=20004).click()
        dialog.child(id=1).click()
        dialog.wait_gone()
        self.assertEqual([item["text"] for item in self.list.header()], TITLES[:1] + TITLES[2:])
        self.assertEqual(reg.reg_get(COLUMNS_KEY + r"\Server", "Show"), 0)
        self.assertEqual(self.names(), ["hanging", "good"])

        # An account added while the program runs hangs in its check; Exit stops it.
        main.command(ADD_ACCOUNT)
        wait_equal(self.names, ["hanging", "good", "hanging added"])
        wait_until(lambda: hanging.connections >= 2, what="the added account's check")
        main.command(checker.EXIT)
        self.assertEqual(self.app.wait_exit(5), 0)
        self.assertEqual(account_names(self.app.path("kestrix.dat")), ["hanging", "good", "hanging added"])
        self.assertEqual(reg.reg_get(ACCOUNTS_KEY + r"\hanging", "DisableChecking"), 1)

    def test_commands_on_failing_accounts_leave_the_program_running(self):
        failing = server(self, [["S:-ERR unavailable", "CLOSE"]])
        accounts = [("acc%d" % i, "u", "p", "127.0.0.1", failing.port, 1, 120) for i in range(10)]
        self.session, self.app, main = checker.start(self, accounts)
        self.list = main.child(id=1012)
        wait_until(lambda: len(self.list.rows()) == 10, what="ten rows")
        count = 10

        def answer(title, button=None):
            box = self.box(title)
            if button:
                box.child(id=button).click()
            else:
                box.close()
            box.wait_gone()

        for i in range(100):
            self.list.select_row(i % count)
            step = i % 6
            if step == 0:
                main.command(VIEW_ERRORS)
                answer("View Errors")
            elif step == 1:
                main.command(REMOVE)
                remove = count > 5 and i % 12 == 1
                answer("Warning", IDYES if remove else IDNO)
                if remove:
                    count -= 1
                    wait_until(lambda: len(self.list.rows()) == count, what="the row to go")
            elif step == 5:
                # Edit opens its dialog; OK applies the account unchanged.
                main.command(EDIT)
                answer("Account Edit", IDOK)
            else:
                main.command([CHECK, STOP, DISABLE][step - 2], send=True)
        self.assertTrue(self.app.running())
        main.command(CHECK_ALL, send=True)
        main.command(checker.EXIT)
        self.assertEqual(self.app.wait_exit(5), 0)
        self.assertEqual(len(account_names(self.app.path("kestrix.dat"))), count)


if __name__ == "__main__":
    unittest.main()
