"""The checker in the notification area: its icon in Wine's system tray, the
summary it leaves for the screen saver, the double click, the tray menu with
its account items, the shell's restart, RUN MAILER, and new messages without
a mail system."""
import os
import unittest

import checker
import gui
from gui import wait_equal, wait_until
from kxtest import ScriptedServer

CALLBACK = "WM_USER+100"
CHECK_ALL_ON_DOUBLE_CLICK = {"LeftMouseButtonDoubleClickAction": 1}
RUN_MAILER, NEW_MESSAGE, DROP_TRAY_ICON = 1020, 40055, 49003


def mailbox(n):
    return {"messages": ["Subject: %d\r\nMessage-ID: <%d@tray>\r\n\r\nbody" % (i, i) for i in range(n)]}


def read(path):
    """What the file holds by now, blanks and line end left out."""
    try:
        with open(path, "rb") as f:
            return f.read().strip()
    except OSError:
        return None


def checks(server):
    """How many checks the server saw through to their QUIT."""
    return server.commands().count("QUIT")


class TrayTest(unittest.TestCase):
    def setUp(self):
        self.a = ScriptedServer([mailbox(2)])
        self.b = ScriptedServer([mailbox(1)])
        self.addCleanup(self.a.stop)
        self.addCleanup(self.b.stop)
        self.accounts = [("A", "user", "pass", "127.0.0.1", self.a.port, 3600, 120),
                         ("B", "user", "pass", "127.0.0.1", self.b.port, 3600, 120)]

    def start(self, settings=None, exe="kestrix.exe", prepare=lambda session: None):
        """The checker on both accounts, once their first checks are done;
        `prepare` sets the session up before it starts."""
        self.session = gui.Session(self)
        prepare(self.session)
        _, app, main = checker.start(self, self.accounts, settings=settings, exe=exe, session=self.session)
        wait_until(lambda: checks(self.a) and checks(self.b), what="the first checks")
        return self.session.inspector, app, main

    def mail_info(self):
        return self.session.inspector.reg_get(checker.SSAVER, "MailInfo")

    def file(self, name):
        """A file beside the session's prefix, which goes with it."""
        return os.path.join(self.session.prefix.path, name)

    def test_icon_summary_menu_and_run_mailer(self):
        def mail_client(session):
            mailer = "cmd /c echo ran> " + gui.windows_path(self.file("mailer-ran"))
            session.inspector.reg_set(checker.SETTINGS, "MailClient", "REG_SZ", mailer)
        inspector, app, main = self.start(exe="kestrix_testhooks.exe", prepare=mail_client)
        wait_until(lambda: len(inspector.tray_icons()) == 1, what="the tray icon")
        wait_equal(self.mail_info, "3 new messages\nA: 2\nB: 1")
        inspector.reg_delete(checker.SSAVER, "MailInfo")
        wait_until(self.mail_info, timeout=5, what="MailInfo written again")

        # The double click hides the window and shows it again.
        for visible in (False, True):
            main.post(CALLBACK, 0, "WM_LBUTTONDBLCLK")
            wait_until(lambda: main.refresh()["visible"] == visible, what="visible=%s" % visible)

        # The menu has an item per account; an item checks its account only.
        wait_until(lambda: main.refresh()["foreground"], what="the window in front")

        def open_menu():
            # A focus change that X delivers late closes a menu at once: then it is opened again.
            main.post(CALLBACK, 0, "WM_RBUTTONDOWN")
            return inspector.wait_window(cls="#32768", pid=app.pid, timeout=5)
        popup = wait_until(open_menu, what="the tray menu")
        items = popup.menu()
        self.assertEqual([(i["text"], i["default"], i["grayed"]) for i in items],
                         [("Open Kestrix", True, False), ("Check", False, False), ("Settings", False, False),
                          ("Run Mail Client", False, False), ("Notification On", False, False), ("", False, False),
                          ("Exit", False, False)])
        check_menu = gui.Window.menu_item(items, "Check")
        self.assertEqual([i["text"] for i in check_menu["items"]], ["All", "", "A", "B"])
        popup.click_menu_item(check_menu)
        submenu = wait_until(lambda: [w for w in inspector.windows(cls="#32768", pid=app.pid, visible=True)
                                      if w != popup], what="the Check submenu")[0]
        submenu.click_menu_item(gui.Window.menu_item(submenu.menu(), "B"))
        wait_until(lambda: checks(self.b) == 2, what="B checked again")
        self.assertEqual(checks(self.a), 1)

        # A shell that lost the icon and says it restarted gets it back.
        main.command(DROP_TRAY_ICON)
        wait_until(lambda: not inspector.tray_icons(), what="the icon to be lost")
        inspector.broadcast("registered:TaskbarCreated")
        wait_until(lambda: len(inspector.tray_icons()) == 1, what="the icon back")

        # RUN MAILER starts the client and everything is read.
        main.command(RUN_MAILER)
        wait_equal(lambda: read(self.file("mailer-ran")), b"ran", what="the mail client")
        wait_equal(self.mail_info, "0 new messages", timeout=5)

        main.command(checker.EXIT)
        self.assertEqual(app.wait_exit(5), 0)
        wait_until(lambda: not inspector.tray_icons(), what="no tray icon after Exit")
        self.assertIsNone(self.mail_info())

    def test_double_click_checks_all_and_mail_without_a_mail_system(self):
        def no_mail_system(session):
            # No Simple MAPI, and no program for mail links.
            session.inspector.reg_set(r"HKCU\Software\Wine\DllOverrides", "mapi32", "REG_SZ", "")
            for key in (r"\shell\open\command", r"\shell\open", r"\shell", ""):
                session.inspector.reg_delete(r"HKLM\Software\Classes\mailto" + key)
        inspector, app, main = self.start(settings=CHECK_ALL_ON_DOUBLE_CLICK, prepare=no_mail_system)
        marker = self.file("mail-link")

        main.post(CALLBACK, 0, "WM_LBUTTONDBLCLK")
        wait_until(lambda: checks(self.a) == 2 and checks(self.b) == 2, what="every account checked")
        self.assertTrue(main.refresh()["visible"])

        main.command(NEW_MESSAGE)
        box = inspector.wait_window(title="MAPI error", pid=app.pid)
        box.child(cls="Static", text="Unable to load mail system support.")
        box.child(id=1).click()
        box.wait_gone()

        # A program for mail links takes the message instead.
        handler = r"HKLM\Software\Classes\mailto"  # Wine reads no per-user classes
        inspector.reg_set(handler, "URL Protocol", "REG_SZ", "")
        inspector.reg_set(handler + r"\shell\open\command", "", "REG_SZ",
                          "cmd /c echo %1> " + gui.windows_path(marker))
        main.command(NEW_MESSAGE)
        wait_equal(lambda: read(marker), b"mailto:", what="the mail link handler")
        self.assertFalse(inspector.windows(title="MAPI error", pid=app.pid))
        main.command(checker.EXIT)
        self.assertEqual(app.wait_exit(5), 0)


if __name__ == "__main__":
    unittest.main()
