"""KestrixScreenSaver.scr under Wine, in a Wine prefix and on an X display of
its own (its desktop colour and summary value get into no other test, and no
other test's window gets into its screenshots): what it draws, what it leaves
alone, how it ends. Screenshots are kept in <build>/screenshots/."""
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


def wait_for(what, predicate, timeout=30):
    deadline = time.monotonic() + timeout
    while not (result := predicate()):
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.2)
    return result


def stop(proc):
    if proc.poll() is None:
        proc.kill()
    proc.wait(timeout=30)


class Screen:
    def __init__(self, ppm):
        gap = rb"(?:\s|#[^\n]*\n)+"
        self.width, self.height = map(int, re.match(rb"P6" + gap + rb"(\d+)" + gap + rb"(\d+)", ppm).groups())
        self.data = ppm[-self.width * self.height * 3:]  # the pixels end the file

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
        build = os.environ.get("KX_BUILD", os.path.join(kxtest.SOURCE, "build", "win"))
        cls.shots = os.path.join(build, "screenshots")
        os.makedirs(cls.shots, exist_ok=True)
        # Xvfb picks a free display number itself and tells it through the pipe.
        read, write = os.pipe()
        cls.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten",
                                     "tcp"], pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(stop, cls.xvfb)
        os.close(write)
        with os.fdopen(read) as f:
            display = f.readline().strip()
        assert display, "Xvfb did not start"
        cls.env = dict(os.environ, DISPLAY=":" + display,
                       WINEPREFIX=os.path.join(build, "saver-e2e", "wineprefix"))
        kxtest.run(["wineserver", "-k"], env=cls.env, timeout=30)  # one left from a run that broke off
        cls.wine("reg", "add", r"HKCU\Control Panel\Colors", "/v", "Background", "/d", "40 90 130", "/f")

    @classmethod
    def tearDownClass(cls):
        kxtest.run(["wineserver", "-k"], env=cls.env, timeout=30)

    @classmethod
    def wine(cls, *args, check=True):
        # The first call makes the prefix, which takes long on a busy machine.
        return kxtest.run([kxtest.WINE_RUN] + list(args), env=cls.env, timeout=600, check=check)

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True, timeout=30)

    def window(self, title):
        ids = self.xdotool("search", "--name", "^%s$" % title).stdout.split()
        return ids[0].decode() if ids else None

    def set_summary(self, kind=None, data=""):
        """REG_SZ as the checker stores it (with its zero), REG_BINARY raw bytes (in hex), or none at all."""
        self.wine("reg", "delete", SUMMARY_KEY, "/v", "MailInfo", "/f", check=False)
        if kind:
            self.wine("reg", "add", SUMMARY_KEY, "/v", "MailInfo", "/t", kind, "/d", data, "/f")

    def screenshot(self, name=None):
        # A window that comes or goes while the screen is read fails xwd now and then.
        xwd = wait_for("a screenshot", lambda: subprocess.run(["xwd", "-root", "-silent"], env=self.env,
                                                              capture_output=True, timeout=30).stdout)
        if name:
            subprocess.run(["convert", "xwd:-", "png:" + os.path.join(self.shots, name + ".png")], input=xwd,
                           timeout=30, check=True)
        return Screen(subprocess.run(["convert", "xwd:-", "-depth", "8", "ppm:-"], input=xwd, capture_output=True,
                                     timeout=30, check=True).stdout)

    def start(self, *args):
        proc = subprocess.Popen([kxtest.WINE_RUN, os.path.join(kxtest.BIN, "KestrixScreenSaver.scr")] + list(args),
                                env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(stop, proc)
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

    def test_three_lines_at_one_x_on_the_desktop_colour_with_or_without_the_zero(self):
        lines = {}
        for name, kind, data in [("terminated", "REG_SZ", THREE_LINES),
                                 ("unterminated", "REG_BINARY", THREE_LINES.encode().hex())]:
            self.set_summary(kind, data)
            proc = self.start_full_screen()
            seen = []

            def whole_text():
                # The text jumps now and then: take it once it is clear of the edges and the same twice running.
                shot, bands = self.text_when("saver-three-lines-" + name, 3)
                if max(b[3] for b in bands) >= shot.width - 10 or bands[-1][1] >= shot.height - 10:
                    return None
                seen.append((shot, bands, [shot.shape(TEXT, band) for band in bands]))
                return len(seen) > 1 and seen[-1][2] == seen[-2][2] and seen[-1]
            shot, bands, lines[name] = wait_for("the whole text", whole_text, timeout=60)
            lefts = [b[2] for b in bands]
            # Glyphs differ in their left bearing by a pixel or two; centred lines would differ by hundreds.
            self.assertLessEqual(max(lefts) - min(lefts), 6, bands)
            top, bottom, left, right = bands[0][0], bands[-1][1], min(lefts), max(b[3] for b in bands)
            w, h = shot.width, shot.height
            for box in [(1, 1, w - 1, max(1, top - 4)), (1, min(h - 1, bottom + 6), w - 1, h - 1),
                        (min(w - 1, right + 4), top, w - 1, bottom), (1, top, max(1, left - 3), bottom)]:
                self.assertTrue(shot.plain(DESKTOP, *box), box)
            window = wait_for("the saver's window", lambda: self.window("Kestrix Email Screen Saver"))
            self.xdotool("key", "--window", window, "shift")  # any key ends the run
            self.assertEqual(proc.wait(timeout=30), 0)
        self.assertEqual(lines["unterminated"], lines["terminated"])

    def test_nothing_drawn_without_a_usable_summary(self):
        # 8192 characters with the zero are one byte more than the saver reads.
        for name, value in [("absent", ()), ("empty", ("REG_BINARY", "")), ("oversized", ("REG_SZ", "x" * 8192))]:
            with self.subTest(name):
                self.set_summary(*value)
                proc = self.start_full_screen()
                time.sleep(1.0)  # twenty ticks in which nothing may appear
                shot = self.screenshot("saver-no-summary-" + name)
                self.assertTrue(shot.plain(DESKTOP, 1, 1, shot.width - 1, shot.height - 1))
                self.assertIsNone(proc.poll())
                stop(proc)

    def test_configure_dialog_ends_on_enter_and_exit_not_on_escape(self):
        for name, key in [("enter", "Return"), ("alt-x", "alt+x")]:
            with self.subTest(name):
                proc = self.start("/c")
                window = wait_for("the configure dialog", lambda: self.window("Configure Screen Saver"), timeout=60)
                self.screenshot("saver-configure-" + name)
                if name == "enter":
                    self.xdotool("key", "--window", window, "Escape")
                    with self.assertRaises(subprocess.TimeoutExpired):
                        proc.wait(timeout=1.5)
                self.xdotool("key", "--window", window, key)
                self.assertEqual(proc.wait(timeout=30), 0)


if __name__ == "__main__":
    unittest.main()
