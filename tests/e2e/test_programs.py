"""The delivered programs: they need nothing but Windows' own DLLs and carry
their version record (kxcheck's usage is in test_kxcheck)."""
import os
import re
import subprocess
import unittest

from kxtest import BIN

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "comctl32.dll", "comdlg32.dll", "ws2_32.dll", "wininet.dll", "winmm.dll", "msvcrt.dll", "shlwapi.dll",
    "uuid.dll", "version.dll", "mpr.dll", "secur32.dll", "crypt32.dll",
}
PROGRAMS = ["kxcheck.exe", "KestrixScreenSaver.scr", "kestrix.exe"]


class Programs(unittest.TestCase):
    def test_only_system_dlls_are_imported(self):
        found = [p for p in PROGRAMS if os.path.exists(os.path.join(BIN, p))]
        self.assertIn("kxcheck.exe", found)
        for program in found:
            dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", os.path.join(BIN, program)],
                                  capture_output=True, text=True, check=True).stdout
            dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)}
            self.assertTrue(dlls, program)
            self.assertLessEqual(dlls, SYSTEM_DLLS, program)

    def test_version_record(self):
        with open(os.path.join(BIN, "kxcheck.exe"), "rb") as f:
            data = f.read()
        for text in ("ProductName", "Kestrix", "ProductVersion", "LegalCopyright"):
            self.assertIn(text.encode("utf-16-le"), data)


if __name__ == "__main__":
    unittest.main()
