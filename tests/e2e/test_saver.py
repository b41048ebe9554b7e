"""KestrixScreenSaver.scr under Wine on the display of tools/with-display, in a
Wine prefix of its own (its desktop colour and summary value get into no other
test): what it draws, what it leaves alone, how it ends. Screenshots are kept
in <build>/screenshots/."""
import os
import re
import subprocess
import time
import unittest

import kxtest

SUMMARY_KEY = r"HKCU\SOFTWARE\Kestrix, Inc.\Kestrix\SSaver"
TEXT = (255, 255, 185)
DESKTOP = (40, 90, 130)  # none of Wine's defaults, so a saver ignoring the system colour shows
THREE_LINES = "12 new messages\nwork: 11\nmail: home: 1"
TWO_LINES = "7 new messages\nab: 7"


def wait_for(what, predicate, timeout=30):
    deadline = time.monotonic() + timeout
    while not (result := predicate()):
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.2)
    return result


class Screen:
    def __init__(self, ppm):
        gap = rb"(?:\s|#[^\n]*\n)+"
        header = re.match(rb"P6" + gap + rb"(\d+)" + gap + rb"(\d+)" + gap + rb"\d+\s", ppm)
        self.width, self.height = int(header.group(1)), int(header.group(2))
        self.data = ppm[header.end():header.end() + self.width * self.height * 3]

    def row(self, y, left=0, right=None):
        return self.data[(y * self.width + left) * 3:(y * self.width + (self.width if right is None else right)) * 3]

    def columns(self, y, colour):
        row, needle = self.row(y), bytes(colour)
        return [i // 3 for i in range(0, len(row), 3) if row[i:i + 3] == needle] if needle in row else []

    def bands(self, colour):
        """Runs of rows holding the colour, as (top, bottom, left x, right x)."""
        bands = []
        for y in range(self.height):
            xs = self.columns(y, colour)
            if xs and bands and bands[-1][1] == y - 1:
                top, _, left, right = bands[-1]
                bands[-1] = (top, y, min(left, xs[0]), max(right, xs[-1]))
            elif xs:
                bands.append((y, y, xs[0], xs[-1]))
        return bands

    def shape(self, colour, band):
        """The band's pixels of the colour relative to their box: equal wherever the line is drawn."""
        points = [(x, y) for y in range(band[0], band[1] + 1) for x in self.columns(y, colour)]
        return frozenset((x - band[2], y - band[0]) for x, y in points)

    def plain(self, colour, left, top, right, bottom):
        line = bytes(colour) * (right - left)
        return all(self.row(y, left, right) == line for y in range(top, bottom))


class ScreenSaverTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        assert os.environ.get("DISPLAY"), "run under tools/with-display"
        build = os.environ.get("KX_BUILD", os.path.join(kxtest.SOURCE, "build", "win"))
        cls.shots = os.path.join(build, "screenshots")
        os.makedirs(cls.shots, exist_ok=True)
        cls.env = dict(os.environ, WINEPREFIX=os.path.join(build, "saver-e2e", "wineprefix"))
        cls.wine("reg", "add", r"HKCU\Control Panel\Colors", "/v", "Background", "/d", "40 90 130", "/f")

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["wineserver", "-k"], env=cls.env, capture_output=True, timeout=30)

    @classmethod
    def wine(cls, *args, check=True):
        return subprocess.run([kxtest.WINE_RUN] + list(args), env=cls.env, capture_output=True, timeout=120,
                              check=check)

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True, timeout=30)

    def window(self, title):
        ids = self.xdotool("search", "--name", "^%s$" % title).stdout.split()
        return ids[0].decode() if ids else None

    def set_summary(self, text=None, binary=None):
        """As the checker stores it (REG_SZ with its zero), as raw bytes, or none at all."""
        self.wine("reg", "delete", SUMMARY_KEY, "/v", "MailInfo", "/f", check=False)
        if text is not None:
            self.wine("reg", "add", SUMMARY_KEY, "/v", "MailInfo", "/t", "REG_SZ", "/d", text, "/f")
        elif binary is not None:
            self.wine("reg", "add", SUMMARY_KEY, "/v", "MailInfo", "/t", "REG_BINARY", "/d", binary.hex(), "/f")

    def screenshot(self, name=None):
        xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, timeout=30, check=True).stdout
        if name:
            subprocess.run(["convert", "xwd:-", "png:" + os.path.join(self.shots, name + ".png")], input=xwd,
                           timeout=30, check=True)
        return Screen(subprocess.run(["convert", "xwd:-", "-depth", "8", "ppm:-"], input=xwd, capture_output=True,
                                     timeout=30, check=True).stdout)

    def start(self, *args):
        proc = subprocess.Popen([kxtest.WINE_RUN, os.path.join(kxtest.BIN, "KestrixScreenSaver.scr")] + list(args),
                                env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def stop():
            if proc.poll() is None:
                proc.kill()
            proc.wait(timeout=30)
        self.addCleanup(stop)
        return proc

    def start_full_screen(self):
        proc = self.start("/s")

        def covered():
            self.assertIsNone(proc.poll(), "the saver ended on its own")
            shot = self.screenshot()
            return shot.data.count(bytes(DESKTOP)) > shot.width * shot.height // 2
        wait_for("the saver's window", covered, timeout=60)
        return proc

    def text_when(self, name, lines):
        def ready():
            shot = self.screenshot(name)
            bands = shot.bands(TEXT)
            return (shot, bands) if len(bands) == lines else None
        return wait_for("%d lines of text" % lines, ready)

    def test_three_lines_start_at_one_x_on_the_desktop_colour(self):
        self.set_summary(THREE_LINES)
        self.start_full_screen()
        shot, bands = self.text_when("saver-three-lines", 3)
        lefts = [b[2] for b in bands]
        # Glyphs differ in their left bearing by a pixel or two; centred lines would differ by hundreds.
        self.assertLessEqual(max(lefts) - min(lefts), 6, bands)
        top, bottom, left, right = bands[0][0], bands[-1][1], min(lefts), max(b[3] for b in bands)
        w, h = shot.width, shot.height
        for box in [(1, 1, w - 1, max(1, top - 4)), (1, min(h - 1, bottom + 6), w - 1, h - 1),
                    (min(w - 1, right + 4), top, w - 1, bottom), (1, top, max(1, left - 3), bottom)]:
            self.assertTrue(shot.plain(DESKTOP, *box), box)

    def test_nothing_drawn_without_a_usable_summary(self):
        # 8192 characters with the zero are one byte more than the saver reads.
        for name, value in [("absent", {}), ("empty", {"binary": b""}), ("oversized", {"text": "x" * 8192})]:
            with self.subTest(name):
                self.set_summary(**value)
                proc = self.start_full_screen()
                time.sleep(1.0)  # twenty ticks in which nothing may appear
                shot = self.screenshot("saver-no-summary-" + name)
                self.assertTrue(shot.plain(DESKTOP, 1, 1, shot.width - 1, shot.height - 1))
                self.assertIsNone(proc.poll())
                proc.kill()
                proc.wait(timeout=30)

    def test_summary_without_terminating_zero_is_drawn_whole(self):
        shapes = {}
        for name, value in [("terminated", {"text": TWO_LINES}), ("unterminated", {"binary": TWO_LINES.encode()})]:
            self.set_summary(**value)
            proc = self.start_full_screen()
            seen = []

            def whole_last_line():
                # The text moves: take the last line once it is clear of the edges and the same twice running.
                shot, bands = self.text_when("saver-summary-" + name, 2)
                last = bands[-1]
                if last[3] >= shot.width - 10 or last[1] >= shot.height - 10:
                    return None
                seen.append(shot.shape(TEXT, last))
                return len(seen) > 1 and seen[-1] == seen[-2] and seen[-1]
            shapes[name] = wait_for("a whole last line", whole_last_line, timeout=60)
            proc.kill()
            proc.wait(timeout=30)
        self.assertEqual(shapes["unterminated"], shapes["terminated"])

    def test_full_screen_run_ends_on_a_key(self):
        self.set_summary(THREE_LINES)
        proc = self.start_full_screen()
        window = wait_for("the saver's window", lambda: self.window("Kestrix Email Screen Saver"))
        self.xdotool("key", "--window", window, "shift")
        self.assertEqual(proc.wait(timeout=30), 0)

    def test_configure_dialog_ends_on_enter_and_exit_not_on_escape(self):
        def click_exit(window):
            # The button's middle in dialog units (75, 43) of the 151 x 58 unit dialog.
            geometry = self.xdotool("getwindowgeometry", "--shell", window).stdout.decode()
            size = dict(line.split("=") for line in geometry.split())
            x, y = 75 * int(size["WIDTH"]) // 151, 43 * int(size["HEIGHT"]) // 58
            self.xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")

        closings = [("enter", lambda window: self.xdotool("key", "--window", window, "Return")),
                    ("alt-x", lambda window: self.xdotool("key", "--window", window, "alt+x")),
                    ("click-exit", click_exit)]
        for name, close in closings:
            with self.subTest(name):
                proc = self.start("/c")
                window = wait_for("the configure dialog", lambda: self.window("Configure Screen Saver"), timeout=60)
                self.screenshot("saver-configure-" + name)
                if name == "enter":
                    self.xdotool("key", "--window", window, "Escape")
                    with self.assertRaises(subprocess.TimeoutExpired):
                        proc.wait(timeout=1.5)
                close(window)
                self.assertEqual(proc.wait(timeout=30), 0)


if __name__ == "__main__":
    unittest.main()
