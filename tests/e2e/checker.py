"""What the window tests of kestrix.exe share: the account file they give it,
the registry places they look at, and a checker started in a private session
with the settings a test needs."""
import os

import gui
from kxdata import account_file  # noqa: F401 (tools/ is on the path through kxtest)

PRODUCT = r"HKCU\SOFTWARE\Kestrix, Inc.\Kestrix"
SETTINGS = PRODUCT + r"\Settings"
SSAVER = PRODUCT + r"\SSaver"
SPLITTER = PRODUCT + r"\CustomizeControls\Splitter"
TOOLBAR = PRODUCT + r"\CustomizeControls\Toolbar"
TITLE = "Kestrix Email Checker"

# Commands of the main window.
EXIT, OPEN, HIDE, CUSTOMIZE_TOOLBAR = 40013, 40001, 1000, 40059
CHARSET_CP1251 = 40064


def start(test, accounts=(), files=None, settings=None, exe="kestrix.exe", session=None):
    """A checker in a session of its own (or `session`), shown at start and
    without tips unless `settings` ({value: number}) say otherwise; returns
    (session, program, main window)."""
    session = session or gui.Session(test)
    values = {"HideStart": 0, "ShowTips": 0}
    values.update(settings or {})
    for name, value in values.items():
        session.inspector.reg_set(SETTINGS, name, "REG_DWORD", value)
    data = dict(files or {})
    if accounts:
        data["kestrix.dat"] = account_file(list(accounts))
    program = session.start(exe, files=data)
    window = program.main_window(TITLE) if not values["HideStart"] else None
    return session, program, window


def wait_logged(program, text, what=None):
    """Waits until the log file of a checker started with "WriteLog" holds
    `text` (bytes)."""
    log = program.path("kestrix.log")

    def logged():
        if not os.path.exists(log):
            return False
        with open(log, "rb") as f:
            return text in f.read()
    gui.wait_until(logged, what=what or repr(text))
