"""The "Settings" dialog of kestrix.exe as a user meets it: its tabs, what
OK and Cancel leave in the registry, the start-up shortcut in the user's
Startup folder, a log file chosen on the Log tab, help by tab, and the tray
following a changed setting without a restart."""
import os
import unittest

import checker
import gui
from gui import wait_until
from kxtest import ScriptedServer

SETTINGS_COMMAND = 1010
TABS = ["System", "Sound", "Visual effects", "Customize", "Log"]
SYSTEM, SOUND, VISUAL, CUSTOMIZE, LOG = range(5)
OK, CANCEL, HELP = 1, 2, 3
WIN_STARTUP, PLAY_SOUND, SOUND_FILE = 1022, 1032, 1037
DOUBLE_CLICK_CHECKS_ALL = 1062
WRITE_LOG, LOG_FILE = 1162, 1163
CALLBACK = "WM_USER+100"
ACCOUNTS = checker.PRODUCT + r"\Accounts"


def mailbox():
    return {"messages": ["Subject: hello\r\nMessage-ID: <1@settings>\r\n\r\nbody"]}


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def below(folder, *names):
    """The path of names under folder, each matched without regard to case
    (Wine spells its user folders as Windows does); None when one is missing."""
    for name in names:
        try:
            match = next(e for e in os.listdir(folder) if e.lower() == name.lower())
        except (OSError, StopIteration):
            return None
        folder = os.path.join(folder, match)
    return folder


class SettingsSheet(unittest.TestCase):
    def setUp(self):
        self.server = ScriptedServer([mailbox()])
        self.addCleanup(self.server.stop)
        account = ("A", "user", "pass", "127.0.0.1", self.server.port, 3600, 120)
        self.session, self.app, self.main = checker.start(self, [account])
        self.inspector = self.session.inspector
        wait_until(lambda: self.checks() == 1, what="the first check")

    def checks(self):
        return self.server.commands().count("QUIT")

    def open_sheet(self, tab=SYSTEM):
        self.main.command(SETTINGS_COMMAND)
        sheet = self.inspector.wait_window(title="Settings", pid=self.app.pid)
        tabs = sheet.child(cls="SysTabControl32")
        if tab != SYSTEM:
            tabs.select_tab(tab)
        return sheet, tabs

    def close(self, sheet, button):
        sheet.child(id=button).click()
        sheet.wait_gone()

    def control(self, sheet, id):
        """A control of the tab shown now (tabs share some ids)."""
        return sheet.child(id=id, visible=True)

    def startup_shortcuts(self):
        users = os.path.join(self.session.prefix.path, "drive_c", "users")
        found = []
        for user in os.listdir(users):
            folder = below(os.path.join(users, user), "AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                           "Programs", "Startup")
            if folder:
                found += [os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(".lnk")]
        return found

    def test_tabs_ok_cancel_startup_log_and_tray(self):
        before = self.inspector.reg_key(checker.SETTINGS)
        sheet, tabs = self.open_sheet(SOUND)
        self.assertEqual(tabs.tabs()["items"], TABS)
        self.control(sheet, PLAY_SOUND).check()
        self.close(sheet, CANCEL)
        self.assertEqual(self.inspector.reg_key(checker.SETTINGS), before, "Cancel wrote nothing")

        # OK stores at once, the account's sound as well.
        sheet, _ = self.open_sheet(SOUND)
        self.control(sheet, PLAY_SOUND).check()
        self.control(sheet, SOUND_FILE).set_text(r"C:\sounds\ding.wav")
        self.close(sheet, OK)
        self.assertEqual(self.inspector.reg_get(checker.SETTINGS, "PlaySound"), 1)
        self.assertEqual(self.inspector.reg_get(ACCOUNTS + r"\A", "SoundFile"), r"C:\sounds\ding.wav")

        # The start-up shortcut: one, to this program, also after a second
        # OK; none once the box is cleared.
        for ticked, count in ((True, 1), (True, 1), (False, 0)):
            sheet, _ = self.open_sheet()
            self.control(sheet, WIN_STARTUP).check(ticked)
            self.close(sheet, OK)
            shortcuts = self.startup_shortcuts()
            self.assertEqual([os.path.basename(s) for s in shortcuts], ["kestrix.lnk"] * count)
            self.assertEqual(self.inspector.reg_get(checker.SETTINGS, "WinStartup"), int(ticked))
            if count:
                with open(shortcuts[0], "rb") as f:
                    link = f.read().lower()
                target = self.app.windows_path.lower()
                self.assertTrue(target.encode() in link or target.encode("utf-16-le") in link,
                                "the shortcut names %s" % target)

        # A log file chosen on the Log tab gets the lines from then on.
        log = os.path.join(self.session.prefix.path, "chosen.log")
        sheet, _ = self.open_sheet(LOG)
        self.control(sheet, WRITE_LOG).check()
        self.control(sheet, LOG_FILE).set_text(gui.windows_path(log))
        self.close(sheet, OK)
        self.assertEqual(self.inspector.reg_get(checker.SETTINGS, "WriteLog"), 1)
        self.assertEqual(self.inspector.reg_get(checker.SETTINGS, "LogFile"), gui.windows_path(log))
        sheet, _ = self.open_sheet(VISUAL)
        sheet.child(id=HELP).click()
        wait_until(lambda: b"Help topic requested: ::/settings.htm#visual" in read(log),
                   what="the help request in the chosen log file")

        # The tray's double click follows the new choice at once.
        tabs = sheet.child(cls="SysTabControl32")
        tabs.select_tab(CUSTOMIZE)
        self.control(sheet, DOUBLE_CLICK_CHECKS_ALL).check()
        self.close(sheet, OK)
        self.main.post(CALLBACK, 0, "WM_LBUTTONDBLCLK")
        wait_until(lambda: self.checks() == 2, what="the double click to check the account")
        self.assertTrue(self.main.refresh()["visible"])

        self.main.command(checker.EXIT)
        self.assertEqual(self.app.wait_exit(5), 0)


if __name__ == "__main__":
    unittest.main()
