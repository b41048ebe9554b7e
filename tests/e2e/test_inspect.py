"""The inspection tool and gui.py against their own small target program
(tools/kxinspect/target): everything the checker's window tests will read and
do, from another process of a private Wine prefix."""
import hashlib
import os
import struct
import unittest

import gui
from gui import Window, wait_until

TITLE = "kxinspect target"
TARGET_KEY = r"HKCU\Software\kxinspect\target"
STATUS = 1100


class InspectTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = gui.Session()
        cls.addClassCleanup(cls.session.close)
        cls.inspector = cls.session.inspector

    def start_target(self):
        """A target of its own for each test, so no test sees another's changes."""
        program = self.session.start("kxinspect_target.exe")
        self.addCleanup(program.kill)
        main = program.main_window(TITLE)
        status = main.child(id=STATUS)
        status.wait_text("select 1")  # the end of its start-up
        return program, main, status

    def test_reads_windows_lists_toolbar_tabs_combo_and_menus(self):
        program, main, _ = self.start_target()
        self.assertIn(main, self.inspector.windows(title_prefix="kxinspect t", cls="#32770", pid=program.pid))
        self.assertNotIn(main, self.inspector.windows(title=TITLE[:-1]))

        # Columns inserted as Name, Count, State and shown as Name, State, Count.
        list_view = main.child(id=1012)
        lv = list_view.list_view()
        self.assertEqual(lv["columns"], ["Name", "State", "Count"])
        self.assertEqual((lv["count"], lv["selected"], lv["focused"]), (3, 1, 1))
        self.assertEqual([(r["cells"], r["image"], r["checked"], r["param"], r["selected"]) for r in lv["rows"]],
                         [(["alpha", "sleeping", "3"], 0, False, 100, False),
                          (["beta", "failed", "0"], 1, False, 101, True),
                          (["gamma", "checking", "12"], 0, True, 102, False)])
        header = list_view.header()
        self.assertEqual([(h["index"], h["text"]) for h in header], [(0, "Name"), (2, "State"), (1, "Count")])

        toolbar = main.child(cls="ToolbarWindow32")
        self.assertEqual([(b["command"], b["text"], b["separator"], b["enabled"], b["checked"])
                          for b in toolbar.toolbar()],
                         [(1006, "&Check", False, True, False), (0, "", True, False, False),
                          (40051, "Stop", False, False, False), (40070, "Pin", False, True, True)])
        self.assertEqual(main.child(id=1020).tabs(), {"items": ["System", "Sound", "Log"], "selected": 0})
        self.assertEqual(main.child(id=1021).combo(),
                         {"items": ["Auto", "Western", "Cyrillic"], "selected": 0, "text": "Auto"})

        menu = main.menu()
        self.assertEqual([item["text"] for item in menu], ["&File", "&View", "&Help"])
        flags = ("id", "enabled", "grayed", "checked", "radio", "default")
        for path, expected in [(("File", "Options..."), (40059, True, False, False, False, True)),
                               (("File", "Exit"), (40013, True, False, False, False, False)),
                               (("View", "Toolbar"), (40060, True, False, True, False, False)),
                               (("View", "Greyed"), (40061, False, True, False, False, False)),
                               (("View", "Encoding", "Auto-Select"), (40067, True, False, True, False, False)),
                               (("View", "Encoding", "Western European (Windows)"),
                                (40066, True, False, True, True, False))]:
            item = Window.menu_item(menu, *path)
            self.assertEqual(tuple(item[f] for f in flags), expected, path)
        self.assertTrue(Window.menu_item(menu, "File")["items"][1]["separator"])

        shot = os.path.join(program.folder, "main.bmp")
        main.screenshot(shot)
        with open(shot, "rb") as f:
            header = f.read(26)
        magic, width, height = struct.unpack("<2s16xii", header)  # top-down rows: a negative height
        left, top, right, bottom = main.info["rect"]
        self.assertEqual((magic, width, -height), (b"BM", right - left, bottom - top))

    def test_actions_reach_the_program_as_the_user_gives_them(self):
        _, main, status = self.start_target()
        list_view, tabs, combo = main.child(id=1012), main.child(id=1020), main.child(id=1021)
        button, box, edit = main.child(id=1030), main.child(id=1031), main.child(id=1032)
        toolbar = main.child(cls="ToolbarWindow32")
        x1, y1, x2, y2 = list_view.row(2)["rect"]
        # Each row's status differs from the one before it, so each wait sees its own action.
        cases = [
            ("posted command", lambda: main.command(40011), "command 40011"),
            ("accelerator with Ctrl", lambda: main.keys("ctrl+m"), "accel 40011"),
            ("accelerator from a focused list", lambda: list_view.keys("ctrl+d"), "accel 40033"),
            ("accelerator with Alt", lambda: list_view.keys("alt+enter"), "accel 40023"),
            ("button", button.click, "button"),
            ("check box", lambda: box.check(True), "check 1"),
            ("edit text", lambda: edit.set_text("hello"), "edit hello"),
            ("combo choice", lambda: combo.select_combo(text="Cyrillic"), "combo 2"),
            ("tab click", lambda: tabs.select_tab(2), "tab 2"),
            ("toolbar button", lambda: toolbar.click_button(1006), "command 1006"),
            ("row selection", lambda: list_view.select_row(0), "select 0"),
            ("check box of a row", lambda: list_view.check_row(0, True), "checked 0 1"),
            ("column header", lambda: list_view.click_column("Count"), "column 1"),
            ("row drag", lambda: list_view.drag_row(0, 2), "drag 0"),
            ("double click on a row", lambda: list_view.mouse((x1 + x2) // 2, (y1 + y2) // 2, double=True),
             "double 2"),
            ("tray callback", lambda: main.post("WM_USER+100", 0, "WM_LBUTTONDBLCLK"), "tray 515"),
            ("shell restart", lambda: self.inspector.broadcast("registered:TaskbarCreated"), "taskbar created"),
            ("end of session", lambda: main.send("WM_ENDSESSION", 1, 0), "end session"),
        ]
        for name, action, expected in cases:
            with self.subTest(name):
                action()
                status.wait_text(expected)
        lv = list_view.list_view(rows=False)
        self.assertEqual((lv["selected"], lv["focused"]), (2, 2))  # the double click's row
        self.assertEqual(box.refresh()["checked"], 1)
        self.assertEqual((combo.combo()["selected"], tabs.tabs()["selected"]), (2, 2))
        self.assertEqual(self.inspector.reg_get(TARGET_KEY, "EndSession"), 1)

    def test_menu_by_the_mouse_and_a_modal_dialog(self):
        program, main, status = self.start_target()
        file_menu = Window.menu_item(main.menu(), "File")
        # Keys reach an open menu without closing it: Escape closes it, another leaves the menu bar.
        main.click_menu_item(file_menu)
        self.inspector.wait_window(cls="#32768", pid=program.pid).keys("esc", "esc")
        self.inspector.wait_no_window(cls="#32768", pid=program.pid)
        main.click_menu_item(file_menu)
        popup = self.inspector.wait_window(cls="#32768", pid=program.pid)
        items = popup.menu()
        self.assertEqual([(i["text"], i["default"]) for i in items],
                         [("&Options...", True), ("", False), ("E&xit", False)])
        popup.click_menu_item(items[0])
        dialog = self.inspector.wait_window(title="Options", pid=program.pid)
        self.assertEqual(dialog.info["owner"], main.hwnd)
        self.assertFalse(main.refresh()["enabled"])
        dialog.child(id=1040).set_text("Zoë")
        dialog.child(id=1).click()
        dialog.wait_gone()
        status.wait_text("options ok")
        self.assertEqual(self.inspector.reg_get(TARGET_KEY, "Name"), "Zoë")

    def test_exit_codes_and_tray_icons(self):
        # The other tests' targets are gone by now, and their icons with them.
        wait_until(lambda: not self.inspector.tray_icons(), what="an empty tray")
        for name, end, code in [("Exit", lambda main: main.command(40013), 3),
                                ("close box", lambda main: main.close(), 0)]:
            with self.subTest(name):
                program, main, _ = self.start_target()
                wait_until(lambda: len(self.inspector.tray_icons()) == 1, what="the tray icon")
                end(main)
                self.assertEqual(program.wait_exit(), code)
                wait_until(lambda: not self.inspector.tray_icons(), what="the icon to go")

    def test_registry_values_round_trip(self):
        key = r"HKCU\Software\kxinspect\round trip"
        for kind, data, expected in [("REG_SZ", ["Zoë, \"quoted\" \\ tab\t"], "Zoë, \"quoted\" \\ tab\t"),
                                     ("REG_SZ", [""], ""),
                                     ("REG_DWORD", ["0xFFFFFFFF"], 0xFFFFFFFF),
                                     ("REG_QWORD", ["4294967296"], 4294967296),
                                     ("REG_BINARY", ["00ff10"], "00ff10"),
                                     ("REG_MULTI_SZ", ["a", "b c"], ["a", "b c"])]:
            with self.subTest(kind):
                self.inspector.reg_set(key + r"\sub", "v", kind, *data)
                self.assertEqual(self.inspector.reg_get(key + r"\sub", "v"), expected)
        self.assertEqual(self.inspector.reg_key(key)["keys"], ["sub"])
        self.assertTrue(self.inspector.reg_delete(key + r"\sub", "v"))
        self.assertIsNone(self.inspector.reg_get(key + r"\sub", "v"))
        self.assertTrue(self.inspector.reg_delete(key))
        self.assertIsNone(self.inspector.reg_key(key))
        self.assertFalse(self.inspector.reg_delete(key))

    def test_private_prefix_leaves_the_template_alone(self):
        template = os.path.join(gui.template_prefix(), "user.reg")

        def digest():
            with open(template, "rb") as f:
                return hashlib.sha256(f.read()).hexdigest()
        before = digest()
        other = gui.Session()
        try:
            other.inspector.reg_set(r"HKCU\Software\kxinspect\private", "v", "REG_SZ", "x")
            self.assertIsNone(self.inspector.reg_get(r"HKCU\Software\kxinspect\private", "v"))
        finally:
            other.close()  # its wineserver saves the registry as it ends
        self.assertEqual(digest(), before)
        self.assertFalse(os.path.exists(other.prefix.path))


if __name__ == "__main__":
    unittest.main()
