"""KestrixSetup as a user meets it, in a fresh Wine prefix: a silent install
puts the programs, the shortcuts and the Apps & Features entry in place and
the installed checker runs; an update over it keeps the data files byte for
byte, and first ends a running checker through its own Exit, so that it saves
its read marks; a silent uninstall removes the program and leaves the data,
unless it is asked to remove that too."""
import glob
import os
import unittest
import zipfile

import checker
import gui
from gui import wait_until
from kxtest import BIN, SOURCE, crc

DIST = os.environ.get("KX_DIST", os.path.join(SOURCE, "build", "dist"))
PROGRAMS = ["kestrix.exe", "kxcheck.exe", "KestrixScreenSaver.scr", "kestrix.chm", "tips.txt", "kestrix.wav"]
UNINSTALL = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrix"
# A server that refuses at once: the checker runs, nothing is fetched.
NOWHERE = ("work", "user", "secret", "127.0.0.1", 1, 300, 120)
MARKS = "%x.msg" % crc(b"work")
ABOUT = 10
# Read marks of two messages of an earlier run; the checker writes them back at exit.
OLD_MARKS = b"MessageCrc32=1a2b3c\r\nMessageReaded=yes\r\nMessageCrc32=4d5e\r\nMessageReaded=no\r\n"
DATA = {
    "kestrix.dat": checker.account_file([NOWHERE]),
    "from.dat": b"KX10\x01\x00\x00\x00\x0e\x00\x00\x00l\x00o\x00t\x00t\x00e\x00r\x00y\x00\x00\x00\x00\x00\x00\x00",
    "friends.dat": b"anna@example.com\r\n",
    "power.dat": b"FilterName=news\r\nEnabled=yes\r\n",
    "kestrix.log": b"07.12.2026 10.00.00 an earlier run\n",
    MARKS: OLD_MARKS,
}


def version():
    if os.environ.get("KX_VERSION"):
        return os.environ["KX_VERSION"]
    with open(os.path.join(SOURCE, "resources", "version.h")) as f:
        return next(line.split('"')[1] for line in f if line.startswith("#define KX_VERSION_STR"))


def contents(folder):
    """{name: bytes} of the files in folder, but for the output files of the
    programs the test started there."""
    found = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if os.path.isfile(path) and not name.endswith(".exe.log"):
            with open(path, "rb") as f:
                found[name] = f.read()
    return found


class Installer(unittest.TestCase):
    def setUp(self):
        self.setup = os.path.join(DIST, "KestrixSetup-%s.exe" % version())
        self.assertTrue(os.path.exists(self.setup), "no %s: run make dist" % self.setup)
        self.session = gui.Session(self)
        # Shortcuts would otherwise become menu entries of the Linux desktop.
        self.session.prefix.env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
        for name in ("HideStart", "ShowTips"):
            self.session.inspector.reg_set(checker.SETTINGS, name, "REG_DWORD", 0)
        self.reg = self.session.inspector

    def unix(self, path):
        """The prefix's file for a Windows path on drive C."""
        self.assertTrue(path.lower().startswith("c:\\"), path)
        return os.path.join(self.session.prefix.path, "drive_c", *path[3:].split("\\"))

    def install(self):
        setup = self.session.start(self.setup, args=["/S"])
        self.assertEqual(setup.wait_exit(300), 0)

    def start_checker(self):
        """The installed checker and its main window (found by its title alone:
        the process runs from drive C, which the session's pid lookup does not
        expect, and it is the only checker of this prefix)."""
        app = self.session.start("kestrix.exe", folder=self.folder)
        return app, self.reg.wait_window(title=checker.TITLE, timeout=60)

    def shortcuts(self):
        found = {}
        for place, name in (("Programs", "Kestrix.lnk"), ("Programs/StartUp", "kestrix.lnk")):
            pattern = os.path.join(self.session.prefix.path, "drive_c", "users", "*", "AppData", "Roaming",
                                   "Microsoft", "Windows", "Start Menu", place, name)
            paths = glob.glob(pattern)
            found[place] = paths[0] if paths else None
        return found

    def test_install_update_while_running_and_uninstall(self):
        self.install()
        location = self.reg.reg_get(UNINSTALL, "InstallLocation")
        self.assertTrue(location.lower().endswith(r"\appdata\local\programs\kestrix"), location)
        self.folder = self.unix(location)
        self.check_installed(location)

        # The installed checker runs, and Exit ends it.
        with open(os.path.join(self.folder, "kestrix.dat"), "wb") as f:
            f.write(DATA["kestrix.dat"])
        app, main = self.start_checker()
        main.command(checker.EXIT)
        self.assertEqual(app.wait_exit(30), 0)

        # An update keeps every data file as it was and replaces the program's own.
        for name, data in DATA.items():
            with open(os.path.join(self.folder, name), "wb") as f:
                f.write(data)
        with open(os.path.join(self.folder, "tips.txt"), "wb") as f:
            f.write(b"tips of an earlier version\r\n")
        data_before = {n: d for n, d in contents(self.folder).items() if n not in PROGRAMS + ["uninstall.exe"]}
        self.install()
        after = contents(self.folder)
        self.assertEqual({n: after.get(n) for n in data_before}, data_before)
        with open(os.path.join(BIN, "tips.txt"), "rb") as f:
            self.assertEqual(after["tips.txt"], f.read())
        self.assertIsNotNone(self.shortcuts()["Programs/StartUp"], "the update dropped the start-up shortcut")

        # A checker that cannot end (a dialog of it is open) is never killed:
        # a silent setup gives up and changes nothing.
        app, main = self.start_checker()
        main.command(ABOUT)
        about = self.reg.wait_window(title="About", timeout=30)
        setup = self.session.start(self.setup, args=["/S"])
        self.assertNotEqual(setup.wait_exit(300), 0)
        self.assertTrue(app.running())
        self.assertEqual(contents(self.folder), after)
        about.child(id=1).click()
        about.wait_gone()

        # Once it can, an update while the checker runs ends it the way Exit
        # does: it writes its read marks (the earlier run's, which it holds).
        os.remove(os.path.join(self.folder, MARKS))
        self.install()
        self.assertEqual(app.wait_exit(30), 0)
        with open(os.path.join(self.folder, MARKS), "rb") as f:
            self.assertEqual(f.read(), OLD_MARKS)
        self.assertIsNone(self.reg.reg_get(checker.SSAVER, "MailInfo"))

        # A silent uninstall removes the program and keeps the data.
        data_before = {n: d for n, d in contents(self.folder).items() if n not in PROGRAMS + ["uninstall.exe"]}
        self.uninstall()
        self.assertEqual(contents(self.folder), data_before)
        self.assertEqual(self.shortcuts(), {"Programs": None, "Programs/StartUp": None})
        self.assertIsNotNone(self.reg.reg_get(checker.SETTINGS, "WinStartup"))

        # Asked to, it removes the data and the settings too, but not a file of the user's own.
        self.install()
        with open(os.path.join(self.folder, "notes.txt"), "wb") as f:
            f.write(b"mine")
        self.uninstall("/REMOVEDATA")
        self.assertEqual(contents(self.folder), {"notes.txt": b"mine"})
        self.assertIsNone(self.reg.reg_key(checker.PRODUCT))

    def uninstall(self, *args):
        uninstall = self.session.start(os.path.join(self.folder, "uninstall.exe"), args=["/S", *args],
                                       folder=self.folder)
        self.assertEqual(uninstall.wait_exit(120), 0)
        # The uninstaller goes on from a copy of itself in the temporary folder.
        wait_until(lambda: self.reg.reg_key(UNINSTALL) is None and not os.path.exists(
            os.path.join(self.folder, "uninstall.exe")), 120, "the uninstaller to finish")
        wait_until(lambda: not [p for p in self.reg.processes()
                                if "~nsu" in p["path"].lower() or p["name"].lower().startswith("un_")],
                   120, "the uninstaller's copy to end")

    def check_installed(self, location):
        installed = contents(self.folder)
        self.assertEqual(sorted(installed), sorted(PROGRAMS + ["uninstall.exe"]))
        for name in PROGRAMS:
            with open(os.path.join(BIN, name), "rb") as f:
                built = f.read()
            if name.endswith((".exe", ".scr")):
                # Shipped without the debug information the build carries.
                self.assertIn(b".debug_info", built, name)
                self.assertNotIn(b".debug_info", installed[name], name)
                self.assertLess(len(installed[name]), len(built), name)
            else:
                self.assertEqual(installed[name], built, name)
        # The portable archive holds the same files in a folder of its own.
        with zipfile.ZipFile(os.path.join(DIST, "kestrix-%s.zip" % version())) as archive:
            packed = {n: archive.read(n) for n in archive.namelist() if not n.endswith("/")}
        self.assertEqual(packed, {"Kestrix/" + n: installed[n] for n in PROGRAMS})

        entry = self.reg.reg_key(UNINSTALL)["values"]
        self.assertEqual(entry["DisplayName"]["data"], "Kestrix")
        self.assertEqual(entry["DisplayVersion"]["data"], version())
        self.assertEqual(entry["Publisher"]["data"], "Kestrix, Inc.")
        self.assertEqual(entry["UninstallString"]["data"], '"%s\\uninstall.exe"' % location)
        self.assertEqual(entry["QuietUninstallString"]["data"], '"%s\\uninstall.exe" /S' % location)
        self.assertEqual(entry["DisplayIcon"]["data"], "%s\\kestrix.exe,0" % location)

        target = ("%s\\kestrix.exe" % location).lower()
        for place, path in self.shortcuts().items():
            self.assertIsNotNone(path, place)
            with open(path, "rb") as f:
                link = f.read().lower()
            self.assertTrue(target.encode() in link or target.encode("utf-16-le") in link, place)
        # The settings' start-up option shows the shortcut that is there.
        self.assertEqual(self.reg.reg_get(checker.SETTINGS, "WinStartup"), 1)


if __name__ == "__main__":
    unittest.main()
