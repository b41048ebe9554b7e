"""What the screen-saver tests need around the program: a private X display
and Wine prefix (so no other test's windows or registry writes get into the
pictures), the summary value in that prefix's registry, screenshots and a
look at their pixels."""
import os
import re
import shutil
import subprocess
import time

import kxtest

SUMMARY_KEY = r"HKCU\SOFTWARE\Kestrix, Inc.\Kestrix\SSaver"
SAVER_TITLE = "Kestrix Email Screen Saver"
DIALOG_TITLE = "Configure Screen Saver"
TEXT = (255, 255, 185)
BLACK = (0, 0, 0)
# The desktop colour of the private prefix: none of Wine's defaults, so a
# saver that does not paint with the system colour shows.
DESKTOP = (40, 90, 130)


def wait_for(what, predicate, timeout=20, step=0.2):
    """Polls predicate until it returns something true; returns that, or
    raises AssertionError naming what did not happen."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(step)


class Screen:
    """A screenshot as RGB rows."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def row(self, y):
        return self.data[y * self.width * 3:(y + 1) * self.width * 3]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def columns(self, y, colour):
        """The x of every pixel of row y in exactly this colour."""
        row, needle, found, i = self.row(y), bytes(colour), [], 0
        while True:
            i = row.find(needle, i)
            if i < 0:
                return found
            if i % 3 == 0:
                found.append(i // 3)
                i += 3
            else:
                i += 1

    def bands(self, colour):
        """Runs of consecutive rows that hold the colour, as
        (top, bottom, leftmost x, rightmost x), top to bottom."""
        bands, current = [], None
        for y in range(self.height):
            xs = self.columns(y, colour)
            if xs:
                if current is None:
                    current = [y, y, xs[0], xs[-1]]
                else:
                    current[1] = y
                    current[2] = min(current[2], xs[0])
                    current[3] = max(current[3], xs[-1])
            elif current is not None:
                bands.append(tuple(current))
                current = None
        if current is not None:
            bands.append(tuple(current))
        return bands

    def shape(self, colour, band):
        """The pixels of the colour in the rows of a band, relative to their
        bounding box: the same line drawn anywhere gives the same shape."""
        points = [(x, y) for y in range(band[0], band[1] + 1) for x in self.columns(y, colour)]
        if not points:
            return frozenset()
        left = min(x for x, _ in points)
        top = min(y for _, y in points)
        return frozenset((x - left, y - top) for x, y in points)

    def strays(self, allowed, inside=None):
        """Pixels (up to a few) in none of the allowed colours, optionally
        only those within the rectangle (left, top, right, bottom)."""
        left, top, right, bottom = inside or (0, 0, self.width, self.height)
        allowed = [bytes(c) for c in allowed]
        found = []
        for y in range(top, bottom):
            row = self.row(y)
            if any(row[left * 3:right * 3] == c * (right - left) for c in allowed):
                continue
            for x in range(left, right):
                if row[x * 3:x * 3 + 3] not in allowed:
                    found.append((x, y, self.pixel(x, y)))
                    if len(found) >= 5:
                        return found
        return found


class SaverSession:
    """A private Xvfb display and Wine prefix for the saver's runs. The
    prefix survives between test runs (it takes a while to make); its Wine
    server is ended with the session, which harms nobody since only these
    tests use it."""

    def __init__(self, width=800, height=600):
        self.width, self.height = width, height
        build = os.environ.get("KX_BUILD", os.path.join(kxtest.SOURCE, "build", "win"))
        self.root = os.path.join(build, "saver-e2e")
        self.shots = os.path.join(build, "screenshots")
        os.makedirs(self.root, exist_ok=True)
        os.makedirs(self.shots, exist_ok=True)
        self.saver = os.path.join(kxtest.BIN, "KestrixScreenSaver.scr")
        self.xvfb = None
        self.env = dict(os.environ, WINEPREFIX=os.path.join(self.root, "wineprefix"))

    def __enter__(self):
        self._start_display()
        try:
            self.wine("reg", "add", r"HKCU\Control Panel\Colors", "/v", "Background",
                      "/d", " ".join(map(str, DESKTOP)), "/f")
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=30)
        if self.xvfb:
            self.xvfb.kill()
            self.xvfb.wait(timeout=10)

    def _start_display(self):
        for n in range(170, 230):
            if os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
                continue
            xvfb = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % (self.width, self.height),
                                     "-nolisten", "tcp", "-br"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                wait_for("Xvfb :%d" % n, lambda: os.path.exists("/tmp/.X11-unix/X%d" % n) or xvfb.poll() is not None,
                         timeout=10, step=0.05)
            except AssertionError:
                xvfb.kill()
                xvfb.wait()
                continue
            if xvfb.poll() is None:
                self.xvfb = xvfb
                self.env["DISPLAY"] = ":%d" % n
                return
        raise RuntimeError("no private Xvfb display could be started")

    def wine(self, *args, timeout=120):
        """Runs a Windows command (reg, regedit...) in the private prefix."""
        done = subprocess.run([kxtest.WINE_RUN] + list(args), env=self.env, capture_output=True, timeout=timeout)
        if done.returncode != 0:
            raise AssertionError("%s failed: %s %s" % (" ".join(args), done.stdout, done.stderr))
        return done

    def set_summary(self, text=None, binary=None):
        """Stores the summary as the checker does (REG_SZ with its zero), or
        as raw bytes without one; with neither, removes it."""
        subprocess.run([kxtest.WINE_RUN, "reg", "delete", SUMMARY_KEY, "/v", "MailInfo", "/f"], env=self.env,
                       capture_output=True, timeout=120)
        if text is not None:
            self.wine("reg", "add", SUMMARY_KEY, "/v", "MailInfo", "/t", "REG_SZ", "/d", text, "/f")
        elif binary is not None:
            self.wine("reg", "add", SUMMARY_KEY, "/v", "MailInfo", "/t", "REG_BINARY", "/d", binary.hex(), "/f")

    def start(self, *args):
        return subprocess.Popen([kxtest.WINE_RUN, self.saver] + list(args), env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @staticmethod
    def stop(proc):
        """Ends a run that is still going; the specific process, nothing else."""
        if proc.poll() is None:
            proc.kill()
        proc.wait(timeout=30)

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True, timeout=30)

    def window(self, title):
        """The X window id of the top-level window with this title, or None."""
        done = self.xdotool("search", "--name", "^%s$" % title)
        ids = done.stdout.split()
        return ids[0].decode() if ids else None

    def screenshot(self, name=None):
        """Returns the whole screen's pixels; with a name, also saves it as
        <build>/screenshots/<name>.png."""
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.env["DISPLAY"]],
                             capture_output=True, timeout=30, check=True).stdout
        if name:
            path = os.path.join(self.shots, name + ".png")
            subprocess.run(["convert", "xwd:-", "png:" + path], input=xwd, timeout=30, check=True)
        ppm = subprocess.run(["convert", "xwd:-", "-depth", "8", "ppm:-"], input=xwd, capture_output=True,
                             timeout=30, check=True).stdout
        # P6 header: magic, width, height, maximum (with comments between),
        # then one blank before the pixels.
        gap = rb"(?:\s|#[^\n]*\n)+"
        header = re.match(rb"P6" + gap + rb"(\d+)" + gap + rb"(\d+)" + gap + rb"\d+\s", ppm)
        width, height = int(header.group(1)), int(header.group(2))
        return Screen(width, height, ppm[header.end():header.end() + width * height * 3])


def have_xdotool():
    return shutil.which("xdotool") is not None
