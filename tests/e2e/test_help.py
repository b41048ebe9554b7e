"""The help file beside kestrix.exe, read back with a CHM reader: every topic
and anchor that the program opens is in it, and so is every target of its own
contents, index and links."""
import glob
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from kxtest import BIN, SOURCE

# The settings sheet asks for one topic per tab with help.
SETTINGS_TOPICS = ["settings.htm#system", "settings.htm#sound", "settings.htm#visual", "settings.htm#customize"]
# Where the program's code names help topics.
CODE_FOLDERS = ["ui", "filter", "framework", "notify", "mail", "core"]
TOPIC_IN_CODE = re.compile(r'"::/([\w.-]+\.htm)(#[\w-]+)?"')
HREF = re.compile(r'\bhref="([^"]+)"', re.I)
LOCAL = re.compile(r'<param\s+name="Local"\s+value="([^"]+)"', re.I)


def topics_in_code():
    found = set()
    for folder in CODE_FOLDERS:
        for path in glob.glob(os.path.join(SOURCE, folder, "*.*")):
            if path.endswith((".cpp", ".h")):
                with open(path, encoding="latin-1") as f:
                    found.update(page + anchor for page, anchor in TOPIC_IN_CODE.findall(f.read()))
    return found


def anchors(html):
    return set(re.findall(r'\b(?:name|id)="([^"]+)"', html, re.I))


class HelpFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.chm = os.path.join(BIN, "kestrix.chm")
        cls.folder = tempfile.mkdtemp(prefix="kx-help-")
        done = subprocess.run(["extract_chmLib", cls.chm, cls.folder], capture_output=True, timeout=120)
        if done.returncode != 0:
            raise AssertionError("extract_chmLib failed: %s" % done.stderr.decode(errors="replace"))
        cls.files = {}
        for path in glob.glob(os.path.join(cls.folder, "*")):
            if path.endswith((".htm", ".hhc", ".hhk", ".css")):
                with open(path, encoding="latin-1") as f:
                    cls.files[os.path.basename(path)] = f.read()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def missing(self, references, base):
        """The references (page, page#anchor or #anchor, as `base` writes them)
        whose page or anchor the compiled file lacks."""
        lost = []
        for ref in references:
            if re.match(r"^[a-z]+:", ref, re.I):  # mailto:, http: and the like leave the help
                continue
            page, _, anchor = ref.partition("#")
            page = page or base
            if page not in self.files:
                lost.append(ref)
            elif anchor and anchor not in anchors(self.files[page]):
                lost.append(ref)
        return lost

    def test_every_topic_the_program_opens_is_there(self):
        asked = topics_in_code() | set(SETTINGS_TOPICS)
        # The filter pages' topics are in the code; finding none means the scan is broken.
        self.assertGreaterEqual(len(asked - set(SETTINGS_TOPICS)), 5, asked)
        self.assertEqual(self.missing(sorted(asked), None), [])

    def test_contents_index_and_links_lead_somewhere(self):
        for name in ("contents.hhc", "index.hhk"):
            entries = LOCAL.findall(self.files[name])
            self.assertGreater(len(entries), 10, name)
            self.assertEqual(self.missing(entries, None), [], name)
        pages = [name for name in self.files if name.endswith(".htm")]
        self.assertGreater(len(pages), 10)
        for page in pages:
            self.assertEqual(self.missing(HREF.findall(self.files[page]), page), [], page)

    def test_every_page_is_in_the_contents(self):
        listed = {ref.partition("#")[0] for ref in LOCAL.findall(self.files["contents.hhc"])}
        self.assertEqual(sorted(name for name in self.files if name.endswith(".htm") and name not in listed), [])


if __name__ == "__main__":
    unittest.main()
