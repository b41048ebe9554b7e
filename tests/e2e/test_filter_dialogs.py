"""The "Email Filters" dialog of kestrix.exe as a user meets it: the pages in
their order, what OK and Cancel leave in the filter files and the registry,
the Power page's order, what the size editor refuses, and Help by page."""
import os
import unittest

import checker
import test_filters as filter_files
from gui import wait_equal, wait_until

NOWHERE = ("work", "user", "secret", "127.0.0.1", 1, 300, 120)
FILTER = 40029
FILTER_KEY = checker.PRODUCT + r"\Filter"
TABS = ["Power", "Friends", "From", "Subject", "To/Cc", "Spammers", "Size", "Virus"]
POWER, FRIENDS, FROM, SUBJECT, TOCC, SPAMMERS, SIZE, VIRUS = range(8)
# Controls of the pages and editors.
OK, CANCEL, HELP = 1, 2, 1066
LIST, ADD, MOVE_UP = 1200, 1201, 1205
WORD_TEXT = 1211
LARGER, LARGER_KB, SMALLER, SMALLER_KB = 1216, 1217, 1219, 1220
LONG_AGO = 1_000_000_000  # 2001: a time no write of today can leave

POWER_DAT = b"FilterName=Alpha\r\nFromEnabled=yes\r\nFrom=a\r\nFilterName=Beta\r\nSubjectEnabled=yes\r\nSubject=b\r\n"


def power_names(path):
    with open(path, "rb") as f:
        return [line[len(b"FilterName="):].strip() for line in f if line.startswith(b"FilterName=")]


class FilterDialogs(unittest.TestCase):
    def start(self, files, settings=None):
        self.session, self.app, self.main = checker.start(self, [NOWHERE], files=files, settings=settings)
        for name in files:
            os.utime(self.app.path(name), (LONG_AGO, LONG_AGO))

    def open_sheet(self):
        self.main.command(FILTER)
        sheet = self.session.inspector.wait_window(title="Email Filters", pid=self.app.pid)
        return sheet, sheet.child(cls="SysTabControl32")

    def on_page(self, sheet, control):
        """A control of the page shown now (every page has its own)."""
        return sheet.child(id=control, visible=True)

    def editor(self, title):
        return self.session.inspector.wait_window(title=title, pid=self.app.pid)

    def file_state(self, name):
        with open(self.app.path(name), "rb") as f:
            return f.read(), os.stat(self.app.path(name)).st_mtime

    def test_ok_with_nothing_changed_writes_only_the_switches(self):
        files = {"from.dat": filter_files.list_file(filter_files.word_record("lottery")),
                 "power.dat": POWER_DAT, "friends.dat": b"ann@example.org\r\n", "spammers.dat": b"x@spam.example\r\n",
                 "size.dat": filter_files.list_file(), "virus.dat": POWER_DAT}
        self.start(files)
        before = {name: self.file_state(name) for name in files}
        sheet, tabs = self.open_sheet()
        self.assertEqual(tabs.tabs()["items"], TABS)
        for n in range(len(TABS)):  # every page shown once, the Power page first
            tabs.select_tab(n)
            self.on_page(sheet, LIST)
        self.assertIsNone(self.session.inspector.reg_get(FILTER_KEY, "CheckFriends"))
        sheet.child(id=OK).click()
        sheet.wait_gone()
        self.assertEqual(self.session.inspector.reg_get(FILTER_KEY, "CheckFriends"), 1)
        self.assertEqual(self.session.inspector.reg_get(FILTER_KEY, "CheckSpammers"), 1)
        self.assertEqual({name: self.file_state(name) for name in files}, before)

    def add_lottery(self, sheet, tabs):
        tabs.select_tab(FROM)
        self.on_page(sheet, ADD).click()
        editor = self.editor("Filter Edit")
        editor.child(id=WORD_TEXT).set_text("lottery")
        editor.child(id=OK).click()
        editor.wait_gone()
        wait_equal(self.on_page(sheet, LIST).rows, [["", "lottery", "no"]])

    def test_a_word_added_on_the_from_page_reaches_from_dat_only_on_ok(self):
        self.start({"from.dat": filter_files.list_file()})
        before = self.file_state("from.dat")
        sheet, tabs = self.open_sheet()
        self.add_lottery(sheet, tabs)
        sheet.child(id=CANCEL).click()
        sheet.wait_gone()
        self.assertEqual(self.file_state("from.dat"), before)

        sheet, tabs = self.open_sheet()
        self.add_lottery(sheet, tabs)
        sheet.child(id=OK).click()
        sheet.wait_gone()
        self.assertEqual(self.file_state("from.dat")[0],
                         filter_files.list_file(filter_files.word_record("lottery")))

    def test_power_order_size_limits_and_help_by_page(self):
        self.start({"power.dat": POWER_DAT}, settings={"WriteLog": 1})
        sheet, tabs = self.open_sheet()
        self.on_page(sheet, LIST).select_row(1)
        self.on_page(sheet, MOVE_UP).click()
        wait_equal(lambda: [row[1] for row in self.on_page(sheet, LIST).rows()], ["Beta", "Alpha"])
        sheet.child(id=OK).click()
        sheet.wait_gone()
        self.assertEqual(power_names(self.app.path("power.dat")), [b"Beta", b"Alpha"])

        sheet, tabs = self.open_sheet()
        tabs.select_tab(SIZE)
        self.on_page(sheet, ADD).click()
        editor = self.editor("Filter Edit")
        ok = editor.child(id=OK)
        refused = lambda: not ok.refresh()["enabled"]  # noqa: E731
        self.assertTrue(refused(), "nothing ticked")
        editor.child(id=SMALLER).check()
        editor.child(id=SMALLER_KB).set_text("0")
        wait_until(refused, what="'Smaller than' 0 alone to be refused")
        editor.child(id=LARGER).check()
        editor.child(id=LARGER_KB).set_text("2097152")
        wait_until(refused, what="2097152 KB to be refused")
        editor.child(id=LARGER_KB).set_text("2097151")
        wait_until(lambda: not refused(), what="2097151 KB to be taken")
        editor.child(id=CANCEL).click()
        editor.wait_gone()

        tabs.select_tab(SUBJECT)
        sheet.child(id=HELP).click()
        checker.wait_logged(self.app, b"Help topic requested: ::/email_filtration.htm#subject_filter")
        sheet.child(id=CANCEL).click()
        sheet.wait_gone()


if __name__ == "__main__":
    unittest.main()
