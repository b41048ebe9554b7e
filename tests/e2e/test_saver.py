"""KestrixScreenSaver.scr under Wine on a private Xvfb display: what it draws
from the checker's summary, what it leaves alone, how it ends, and the
configure dialog. The screenshots stay in <build>/screenshots/."""
import os
import subprocess
import time
import unittest

import kxtest
from saver_screen import BLACK, DESKTOP, DIALOG_TITLE, SAVER_TITLE, TEXT, SaverSession, have_xdotool, wait_for

THREE_LINES = "12 new messages\nwork: 11\nmail: home: 1"
TWO_LINES = "7 new messages\nab: 7"


class ScreenSaverTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = SaverSession()
        cls.session.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.session.__exit__(None, None, None)

    def start(self, *args):
        proc = self.session.start(*args)
        self.addCleanup(self.session.stop, proc)
        return proc

    def start_full_screen(self):
        """Starts "/s" and returns once the saver covers the screen."""
        proc = self.start("/s")
        pixels = self.session.width * self.session.height

        def covered():
            self.assertIsNone(proc.poll(), "the saver ended on its own")
            shot = self.session.screenshot()
            return shot.data.count(bytes(DESKTOP)) > pixels // 2
        wait_for("the saver's window", covered, timeout=60)
        return proc

    def text_when(self, name, lines):
        """Waits for a screenshot that shows the given number of text lines
        and returns it with its bands."""
        def ready():
            shot = self.session.screenshot(name)
            bands = shot.bands(TEXT)
            return (shot, bands) if len(bands) == lines else None
        return wait_for("%d lines of text" % lines, ready, timeout=30)

    def last_line_when(self, name, lines):
        """The shape of the last line once two screenshots in a row show it
        the same and clear of the screen's right and bottom edges, where a
        jump of the text could clip it."""
        previous = []

        def ready():
            shot, bands = self.text_when(name, lines)
            last = bands[-1]
            if last[3] >= shot.width - 10 or last[1] >= shot.height - 10:
                return None
            shape = shot.shape(TEXT, last)
            stable = previous and previous[-1] == shape
            previous.append(shape)
            return shape if stable else None
        return wait_for("a whole last line", ready, timeout=60)

    def test_three_lines_start_at_one_x_on_the_desktop_colour(self):
        self.session.set_summary(THREE_LINES)
        self.start_full_screen()
        shot, bands = self.text_when("saver-three-lines", 3)

        lefts = [b[2] for b in bands]
        # Glyphs differ in their left bearing by a pixel or two; centred or
        # right-aligned lines of these widths would differ by hundreds.
        self.assertLessEqual(max(lefts) - min(lefts), 6, bands)
        top, bottom = bands[0][0], bands[-1][1]
        left, right = min(lefts), max(b[3] for b in bands)
        w, h = shot.width, shot.height
        around = [(1, 1, w - 1, max(1, top - 4)), (1, min(h - 1, bottom + 6), w - 1, h - 1),
                  (min(w - 1, right + 4), top, w - 1, bottom), (1, top, max(1, left - 3), bottom)]
        for region in around:
            self.assertEqual(shot.strays([DESKTOP], region), [], region)

    def test_nothing_drawn_without_a_usable_summary(self):
        cases = [
            ("absent", {}),
            ("empty", {"binary": b""}),
            # With its zero this is one byte more than the saver reads.
            ("oversized", {"text": "x" * 8192}),
        ]
        for name, value in cases:
            with self.subTest(name):
                self.session.set_summary(**value)
                proc = self.start_full_screen()
                time.sleep(1.0)  # twenty ticks in which nothing may appear
                shot = self.session.screenshot("saver-no-summary-" + name)
                w, h = shot.width, shot.height
                self.assertEqual(shot.strays([DESKTOP], (1, 1, w - 1, h - 1)), [])
                frame = [(0, 0, w, 1), (0, h - 1, w, h), (0, 0, 1, h), (w - 1, 0, w, h)]
                for edge in frame:
                    self.assertEqual(shot.strays([BLACK], edge), [], edge)
                self.assertIsNone(proc.poll())
                self.session.stop(proc)

    def test_summary_without_terminating_zero_is_drawn_whole(self):
        shapes = {}
        for name, value in [("terminated", {"text": TWO_LINES}),
                            ("unterminated", {"binary": TWO_LINES.encode("ascii")})]:
            self.session.set_summary(**value)
            proc = self.start_full_screen()
            shapes[name] = self.last_line_when("saver-summary-" + name, 2)
            self.session.stop(proc)
        self.assertTrue(shapes["terminated"])
        self.assertEqual(shapes["unterminated"], shapes["terminated"])

    def test_preview_runs_until_its_host_window_closes(self):
        # Wine does not show what another process draws into a child window,
        # so only the preview's life is checked here, not its picture.
        self.session.set_summary(THREE_LINES)
        done = self.session.wine(os.path.join(kxtest.BIN, "SaverPreviewHost.exe"),
                                 "Z:" + self.session.saver.replace("/", "\\"), "3", timeout=120)
        self.assertEqual(done.stdout.decode().splitlines()[:2],
                         ["saver running when the host closed", "saver ended: 0"])

    @unittest.skipUnless(have_xdotool(), "xdotool is not installed")
    def test_full_screen_run_ends_on_key_and_mouse(self):
        self.session.set_summary(THREE_LINES)
        actions = [
            ("key", lambda window: self.session.xdotool("key", "--window", window, "shift")),
            ("mouse", lambda window: self.session.xdotool("mousemove_relative", "--", "40", "-30")),
        ]
        for name, act in actions:
            with self.subTest(name):
                proc = self.start_full_screen()
                window = wait_for("the saver's window", lambda: self.session.window(SAVER_TITLE))
                act(window)
                self.assertEqual(proc.wait(timeout=30), 0)

    @unittest.skipUnless(have_xdotool(), "xdotool is not installed")
    def test_configure_dialog_ends_on_enter_and_exit_not_on_escape(self):
        def open_dialog(name):
            proc = self.start("/c")
            window = wait_for("the configure dialog", lambda: self.session.window(DIALOG_TITLE), timeout=60)
            self.session.screenshot(name)
            return proc, window

        def still_open(proc):
            with self.assertRaises(subprocess.TimeoutExpired):
                proc.wait(timeout=1.5)

        def click(window, x_units, y_units):
            # Dialog units to pixels from the dialog's size (151 x 58 units).
            geometry = self.session.xdotool("getwindowgeometry", "--shell", window).stdout.decode()
            size = dict(line.split("=") for line in geometry.split())
            x = int(x_units * int(size["WIDTH"]) / 151)
            y = int(y_units * int(size["HEIGHT"]) / 58)
            self.session.xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")

        proc, window = open_dialog("saver-configure")
        self.session.xdotool("key", "--window", window, "Escape")
        still_open(proc)
        click(window, 20, 50)  # beside the button
        still_open(proc)
        self.session.xdotool("key", "--window", window, "Return")
        self.assertEqual(proc.wait(timeout=30), 0)

        closings = [
            ("alt-x", lambda window: self.session.xdotool("key", "--window", window, "alt+x")),
            ("click-exit", lambda window: click(window, 75, 43)),
        ]
        for name, close in closings:
            with self.subTest(name):
                proc, window = open_dialog("saver-configure-" + name)
                close(window)
                self.assertEqual(proc.wait(timeout=30), 0)


if __name__ == "__main__":
    unittest.main()
