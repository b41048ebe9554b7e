"""kestrix.exe as a user meets it: one window with its menus and toolbar, one
instance, hiding instead of closing, what Exit and the end of the session
save, and the last guard of a command handler."""
import os
import unittest

import checker
import gui
from gui import wait_until

# An account whose server refuses at once: the program runs, nothing is fetched.
NOWHERE = ("work", "user", "secret", "127.0.0.1", 1, 300, 120)
MENUS = ["File", "View", "Accounts", "Messages", "Tools", "Help"]


def toolbar_commands(window):
    return [b["command"] for b in window.child(cls="ToolbarWindow32").toolbar()]


class Checker(unittest.TestCase):
    def test_one_window_one_instance(self):
        session, app, main = checker.start(self, [NOWHERE])
        self.assertEqual([item["text"] for item in main.menu()], MENUS)
        self.assertEqual(len(session.inspector.windows(title=checker.TITLE, visible=True)), 1)
        second = session.start("kestrix.exe", folder=app.folder)
        self.assertEqual(second.wait_exit(5), 0)
        self.assertTrue(app.running())
        self.assertTrue(main.refresh()["visible"])

    def test_minimise_and_close_hide_the_window(self):
        session, app, main = checker.start(self, [NOWHERE])
        for hide in [lambda: main.post("WM_SYSCOMMAND", 0xF020), lambda: main.post("WM_CLOSE")]:
            hide()
            wait_until(lambda: not main.refresh()["visible"], what="the window to hide")
            self.assertTrue(app.running())
            main.command(checker.OPEN)
            wait_until(lambda: main.refresh()["visible"], what="the window to come back")

    def test_toolbar_layout_survives_a_restart_and_reset_brings_it_back(self):
        session, app, main = checker.start(self, [NOWHERE])
        self.assertEqual(len(toolbar_commands(main)), 14)
        self.assertIsNotNone(session.inspector.reg_get(checker.TOOLBAR, "Original"))
        self.assertIsNone(session.inspector.reg_get(checker.TOOLBAR, "Current"))

        def customize(act):
            main.command(checker.CUSTOMIZE_TOOLBAR)
            dialog = session.inspector.wait_window(title="Customize Toolbar")
            act(dialog)
            dialog.child(id=2).click()  # Close saves the layout
            dialog.wait_gone()

        def remove_first(dialog):
            dialog.child(id=203).select_list_box(index=0)
            dialog.child(id=204).click()

        customize(remove_first)
        wait_until(lambda: session.inspector.reg_get(checker.TOOLBAR, "Current"), what="the layout to be saved")
        changed = toolbar_commands(main)
        self.assertEqual(len(changed), 13)
        main.command(checker.EXIT)
        self.assertEqual(app.wait_exit(5), 0)

        again = session.start("kestrix.exe", folder=app.folder)
        main = again.main_window(checker.TITLE)
        self.assertEqual(toolbar_commands(main), changed)
        customize(lambda dialog: dialog.child(id=202).click())
        wait_until(lambda: len(toolbar_commands(main)) == 14, what="the built-in layout")

    def test_exit_saves_the_layout_and_the_read_marks_and_leaves_no_summary(self):
        session, app, main = checker.start(self, [NOWHERE])
        session.inspector.reg_set(checker.SSAVER, "MailInfo", "REG_SZ", "stale")
        main.command(checker.EXIT)
        self.assertEqual(app.wait_exit(5), 0)
        reg = session.inspector
        for value in ["AccountListHeight", "MessagesListHeight", "MsgPreviewHeight"]:
            self.assertIsNotNone(reg.reg_get(checker.SPLITTER, value), value)
        self.assertIsNotNone(reg.reg_get(checker.SETTINGS, "MainWindowPlacement"))
        self.assertIsNone(reg.reg_get(checker.SSAVER, "MailInfo"))
        marks = [name for name in os.listdir(app.folder) if name.endswith(".msg")]
        self.assertEqual(len(marks), 1, os.listdir(app.folder))

    def test_end_of_session_saves_a_setting_changed_just_before(self):
        session, app, main = checker.start(self, [NOWHERE])
        main.command(checker.CHARSET_CP1251, send=True)  # carried out before the session ends
        main.send("WM_ENDSESSION", 1, 0)
        self.assertEqual(session.inspector.reg_get(checker.SETTINGS, "ViewCharset"), checker.CHARSET_CP1251)

    def test_a_failing_command_handler_is_logged_and_the_program_goes_on(self):
        session, app, main = checker.start(self, [NOWHERE], settings={"WriteLog": 1}, exe="kestrix_testhooks.exe")
        main.command(49001)
        checker.wait_logged(app, b"Unexpected Error. MainWindow,", "the guard's log line")
        main.command(checker.HIDE)
        wait_until(lambda: not main.refresh()["visible"], what="the window to answer the next command")
        self.assertTrue(app.running())


if __name__ == "__main__":
    unittest.main()
