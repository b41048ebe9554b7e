"""Driving Windows programs' windows from the end-to-end tests.

A `Session` gives a test its own Wine prefix (so the registry values a program
writes, e.g. under HKEY_CURRENT_USER\\SOFTWARE\\Kestrix, Inc.\\Kestrix, meet no
other test running in parallel), the inspection tool kxinspect.exe running in
it as a server, and the programs the test starts there, each from a private
folder holding a copy of the program and the test's data files.

    import gui
    from gui import wait_equal, wait_until

    class MainWindow(unittest.TestCase):
        def test_exit(self):
            session = gui.Session(self)                  # ends with the test
            app = session.start("kestrix.exe", files={"kestrix.dat": data})
            main = app.main_window("Kestrix Email Checker")
            accounts = main.child(id=1012)
            wait_equal(accounts.rows, [["work", ...]])      # polls until equal
            self.assertEqual([i["text"] for i in main.menu()], ["&File", "&View", ...])
            accounts.keys("ctrl+d")                        # real key input to that control
            main.command(40013)                            # File > Exit, posted
            self.assertEqual(app.wait_exit(5), 0)
            self.assertIsNone(session.inspector.reg_get(SSAVER_KEY, "MailInfo"))

What there is (every call waits for the tool's answer; failures raise
InspectError, time-outs AssertionError; wait_until(fn) and wait_equal(fn, x)
poll):
- Session: start(exe, files, args, folder) -> Program; inspector; prefix; close().
- Program: pid, folder, path(name), main_window(title), windows(), running(),
  wait_exit(timeout) -> exit code, kill().
- Inspector: windows(...) / wait_window(...) / wait_no_window(...) by title,
  title_prefix, cls, cls_prefix, pid, visible; window(hwnd); processes(name);
  broadcast(msg, w, l); reg_get(key, value) -> data or None, reg_key(key),
  reg_set(key, value, type, data), reg_delete(key, value); screenshot(path);
  tray_icons() (the icons of Wine's "Wine System Tray" window).
- Window: info, hwnd, cls, id, pid, refresh(), exists(), text(), wait_text(t), child(...),
  children(all), wait_gone(); list views: list_view(), rows(), row(n),
  select_row(n), check_row(n, on), header(); toolbar(); tabs(), select_tab(n);
  combo(), select_combo(index|text); list_box(), select_list_box(...); menu()
  (menu bar, or the popup of a "#32768" window) and menu_item(items, *texts);
  actions: command(id), click(), set_text(t), check(on), keys("ctrl+m", ...),
  focus(), mouse(x, y, button, double, screen), drag(...), send/post(msg, w, l),
  close(), screenshot(path); by the mouse: click_button(command) on a
  toolbar, click_column(text) and drag_row(a, b) on a list view,
  click_menu_item(item) on a menu bar or popup menu window.
Messages and parameters may be numbers or names: "WM_USER+100",
"WM_LBUTTONDBLCLK", "WM_ENDSESSION", "registered:TaskbarCreated".

Keys are real keyboard input (SendInput): the target's window comes to the
foreground and the control takes the focus first, so accelerators see their
modifiers. Clicks of tabs, mouse(), drag() and the click_... helpers are real
mouse input too; click() and command() are posted messages and never wait for
a modal dialog they open. menu() reads the menu as it stands: a program that
sets its items' states when a popup opens (WM_INITMENUPOPUP) shows them in the
popup window after click_menu_item() on the menu bar has opened it.
List view texts are in display order (a list whose columns were reordered
reads as the user sees it); reading every row costs about 1.5 ms a cell, so
big lists are better read by count (list_view(rows=False)) or row(n).
`kxinspect.exe --help` lists the tool's commands for use by hand.

Each Session also has a private X display (Xvfb), so tests side by side share
no pointer or screen; KX_GUI_DISPLAY=shared uses $DISPLAY instead, to watch.
A Session costs about a second to start and one to close; a program's first
window takes a few tenths more.

Private prefixes are clones of one template prefix (made once per build tree,
under a lock, in <build>/gui-template): hard links for everything, copies for
the registry files and .ini files. Wine saves a registry file that has more
than one link by writing into it, which would change the template and every
other clone; a file of its own it replaces by renaming a new one over it.
"""
import ctypes
import fcntl
import json
import os
import queue
import shutil
import signal
import subprocess
import tempfile
import threading
import time

from kxtest import BIN, SOURCE, WINE_RUN

BUILD = os.environ.get("KX_BUILD", os.path.join(SOURCE, "build", "win"))
TEMPLATE = os.path.join(BUILD, "gui-template")
CLONES = os.path.join(BUILD, "gui-prefixes")
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
TEMPLATE_SETTINGS = [
    # A program that crashes ends instead of waiting behind the debugger's dialog.
    (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
    # Without a window manager (Xvfb), Wine waits 2 s for one to confirm that
    # a hidden window is withdrawn: every hide, and the removal of the last
    # tray icon, would stall for that long. Unmanaged windows are not waited for.
    (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"),
]
# Files Wine may rewrite in place: each clone gets copies of its own.
OWN_COPIES = (".reg", ".ini", ".update-timestamp")


class InspectError(Exception):
    """The tool's refusal: a command that failed, with its reason."""


def wait_until(predicate, timeout=20, what="the condition", interval=0.05):
    """Polls `predicate` until it returns something true and returns that.
    InspectError counts as "not yet" (the window may not exist yet); at the
    time-out AssertionError names `what` and the last result."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            last = predicate()
            if last:
                return last
        except InspectError as e:
            last = e
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %ss waiting for %s (last: %r)" % (timeout, what, last))
        time.sleep(interval)


def wait_equal(read, expected, timeout=20, what=None):
    """Polls `read()` until it equals `expected`; at the time-out the
    AssertionError shows what it read last, e.g.
    wait_equal(accounts.rows, [["work", "sleeping"]])."""
    seen = []

    def equal():
        seen[:] = [read()]
        return seen[0] == expected
    try:
        wait_until(equal, timeout, what or repr(expected))
    except AssertionError:
        raise AssertionError("timed out after %ss waiting for %r; last read %r"
                             % (timeout, expected, seen[0] if seen else None)) from None


def _centre(rect):
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _wine_inf_stamp():
    """What Wine writes to .update-timestamp: its wine.inf's time. A template
    of another Wine would be updated by every clone's first program."""
    wine = shutil.which("wine") or "/usr/bin/wine"
    for inf in ("/usr/share/wine/wine.inf",
                os.path.join(os.path.dirname(os.path.dirname(os.path.realpath(wine))), "share", "wine", "wine.inf")):
        if os.path.exists(inf):
            return str(int(os.stat(inf).st_mtime))
    return None


def _template_ready():
    """Made completely, for this Wine, with today's settings."""
    try:
        with open(os.path.join(TEMPLATE, ".kx-ready")) as f:
            if f.read() != repr(TEMPLATE_SETTINGS):
                return False
        with open(os.path.join(TEMPLATE, ".update-timestamp")) as f:
            stamp = f.read().strip()
    except OSError:
        return False
    expected = _wine_inf_stamp()
    return expected is None or stamp == expected


def template_prefix(use=None):
    """The template prefix, made (or remade for another Wine) under a lock,
    which is held while `use(path)` runs."""
    os.makedirs(BUILD, exist_ok=True)
    with open(TEMPLATE + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not _template_ready():
            shutil.rmtree(TEMPLATE, ignore_errors=True)
            env = dict(os.environ, WINEPREFIX=TEMPLATE, **WINE_ENV)
            boot = subprocess.run(["wineboot", "-i"], env=env, capture_output=True, timeout=600)
            if not os.path.exists(os.path.join(TEMPLATE, "system.reg")):
                raise AssertionError("wineboot made no prefix: " + boot.stderr.decode(errors="replace")[-2000:])
            for key, value, kind, data in TEMPLATE_SETTINGS:
                subprocess.run(["wine", "reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f"], env=env,
                               capture_output=True, timeout=300, check=True)
            subprocess.run(["wineserver", "-w"], env=env, timeout=300)
            with open(os.path.join(TEMPLATE, ".kx-ready"), "w") as f:
                f.write(repr(TEMPLATE_SETTINGS))
        if use:
            use(TEMPLATE)
    return TEMPLATE


class Prefix:
    """A private Wine prefix cloned from the template, with its own wineserver,
    which close() stops before the prefix is removed."""

    def __init__(self, display):
        os.makedirs(CLONES, exist_ok=True)
        self._remove_orphans()
        self.path = tempfile.mkdtemp(prefix="%d-" % os.getpid(), dir=CLONES)
        os.rmdir(self.path)
        started = time.monotonic()
        template_prefix(self._clone)
        self.clone_seconds = time.monotonic() - started
        self.env = dict(os.environ, WINEPREFIX=self.path, DISPLAY=display, **WINE_ENV)

    def _clone(self, template):
        subprocess.run(["cp", "-al", template, self.path], check=True, timeout=300)
        for folder, _, files in os.walk(self.path):
            for name in files:
                if name.endswith(OWN_COPIES):
                    own = os.path.join(folder, name)
                    shutil.copy2(own, own + ".copy")
                    os.replace(own + ".copy", own)

    @staticmethod
    def _remove_orphans():
        """Clones left by test runs that were killed (named by their pid), with
        whatever still runs in them."""
        for name in os.listdir(CLONES):
            pid, path = name.split("-", 1)[0], os.path.join(CLONES, name)
            if pid.isdigit() and not os.path.exists("/proc/" + pid):
                subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=path), capture_output=True,
                               timeout=60)
                shutil.rmtree(path, ignore_errors=True)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
        subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True, timeout=60)
        shutil.rmtree(self.path, ignore_errors=True)


def _word(value):
    text = str(value)
    for raw, escaped in (("\\", "\\\\"), ('"', '\\"'), ("\n", "\\n"), ("\r", "\\r"), ("\t", "\\t")):
        text = text.replace(raw, escaped)
    return '"%s"' % text


class Inspector:
    """kxinspect.exe --server in a prefix: one command line in, one JSON line out."""

    def __init__(self, env):
        # stderr is not piped: processes the tool starts (Wine's desktop) keep it open.
        self.process = subprocess.Popen([WINE_RUN, os.path.join(BIN, "kxinspect.exe"), "--server"], env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._answers = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        with self.process.stdout:
            for line in self.process.stdout:
                self._answers.put(line)
        self._answers.put(None)

    def call(self, verb, *words, wait=60, **options):
        """Runs one command; options become --name=value (True: --name). Returns
        the answer's fields; raises InspectError when the tool refuses."""
        line = [verb] + list(words)
        for name, value in options.items():
            if value is None or value is False:
                continue
            name = "--" + name.rstrip("_").replace("_", "-")
            line.append(name if value is True else "%s=%s" % (name, value))
        self.process.stdin.write((" ".join(_word(w) for w in line) + "\n").encode())
        self.process.stdin.flush()
        try:
            answer = self._answers.get(timeout=wait + (options.get("timeout") or 0) / 1000)
        except queue.Empty:
            raise AssertionError("kxinspect did not answer %s in time" % verb) from None
        if answer is None:
            raise AssertionError("kxinspect ended")
        result = json.loads(answer)
        if not result.pop("ok"):
            raise InspectError("%s: %s" % (" ".join(map(str, line)), result["error"]))
        return result

    def close(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.close()
                self.process.wait(timeout=30)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait(timeout=30)

    # ---- windows ----

    def window(self, hwnd):
        return Window(self, self.call("window", hwnd)["window"] or {"hwnd": hwnd})

    @staticmethod
    def _filter(filters):
        """title, title_prefix, cls, cls_prefix, pid, visible as the tool's options."""
        names = {"cls": "class_", "cls_prefix": "class_prefix"}
        return {names.get(name, name): value for name, value in filters.items()}

    def windows(self, visible=False, **filters):
        """Top-level windows by title, title_prefix, cls, cls_prefix, pid."""
        found = self.call("windows", visible=visible, **self._filter(filters))["windows"]
        return [Window(self, info) for info in found]

    def wait_window(self, visible=True, timeout=20, **filters):
        """The first (visible) top-level window that matches, once there is one."""
        info = self.call("wait-window", visible=visible, timeout=int(timeout * 1000), **self._filter(filters))
        return Window(self, info["window"])

    def wait_no_window(self, visible=True, timeout=20, **filters):
        self.call("wait-window", gone=True, visible=visible, timeout=int(timeout * 1000), **self._filter(filters))

    def processes(self, name=None):
        return self.call("processes", name=name)["processes"]

    def broadcast(self, message, wparam=0, lparam=0, post=True):
        return self.call("send", "broadcast", message, wparam, lparam, post=post).get("result")

    def tray_icons(self):
        """The icons Wine's own notification area shows (one child window each)."""
        return [icon for tray in self.windows(title="Wine System Tray", visible=True)
                for icon in tray.children() if icon.info["visible"]]

    def screenshot(self, path):
        self.call("screenshot", windows_path(path))

    # ---- registry of the prefix ----

    def reg_get(self, key, value):
        """The value's data (str, int, list of str, or hex str), or None."""
        answer = self.call("reg-get", key, value)
        return answer["value"]["data"] if answer["exists"] else None

    def reg_key(self, key):
        """{"keys": [...], "values": {name: {"type", "data", "bytes"}}}, or None."""
        answer = self.call("reg-get", key)
        return answer if answer.pop("exists") else None

    def reg_set(self, key, value, kind, *data):
        self.call("reg-set", key, value, kind, *data)

    def reg_delete(self, key, value=None):
        return self.call("reg-delete", key, *([] if value is None else [value]))["deleted"]


class Window:
    """One window of another program. `info` is what the tool said when the
    window was found; refresh() asks again."""

    def __init__(self, inspector, info):
        self.inspector = inspector
        self.info = info
        self.hwnd = info["hwnd"]

    def __repr__(self):
        return "<Window %s %s %r>" % (self.hwnd, self.info.get("class"), self.info.get("text"))

    def __eq__(self, other):
        return isinstance(other, Window) and other.hwnd == self.hwnd

    def __hash__(self):
        return self.hwnd

    cls = property(lambda self: self.info["class"])
    id = property(lambda self: self.info["id"])
    pid = property(lambda self: self.info["pid"])

    def _call(self, verb, *words, **options):
        return self.inspector.call(verb, self.hwnd, *words, **options)

    def refresh(self):
        """The window's fields now, or None when it is gone."""
        info = self._call("window")["window"]
        if info:
            self.info = info
        return info

    def exists(self):
        return self.refresh() is not None

    def wait_gone(self, timeout=20):
        wait_until(lambda: not self.exists(), timeout, "%r to go" % self)

    def text(self):
        return self._call("text")["text"]

    def wait_text(self, expected, timeout=20):
        """Waits until the window's text is `expected` (a status line, a label)."""
        wait_equal(self.text, expected, timeout)

    def child(self, id=None, cls=None, text=None, index=0, visible=False, timeout=20):
        """The index-th descendant with that control id, class and text; waits for it."""
        info = self._call("child", id=id, class_=cls, text=text, index=index, visible=visible,
                          timeout=int(timeout * 1000))["window"]
        return Window(self.inspector, info)

    def children(self, all=False):
        return [Window(self.inspector, info) for info in self._call("children", all=all)["children"]]

    # ---- controls ----

    def list_view(self, row=None, rows=True):
        """count, columns, order, selected, focused and rows: [{cells, selected,
        focused, image, param, checked (None without check boxes)}]."""
        return self._call("lv", row=row, no_rows=not rows)

    def rows(self):
        return [row["cells"] for row in self.list_view()["rows"]]

    def row(self, n):
        """One row with its rectangle (client coordinates) as well."""
        return self.list_view(row=n)["rows"][0]

    def select_row(self, n, add=False, focus=True):
        self._call("lv-select", n, add=add, no_focus=not focus)

    def check_row(self, n, on=True):
        self._call("lv-check", n, "on" if on else "off")

    def header(self):
        """Items in display order: index, text, width, sort ("up", "down", None), rect."""
        return self._call("header")["items"]

    def click_column(self, text):
        """A click on the list view's column header with that text."""
        answer = self._call("header")
        item = next(i for i in answer["items"] if i["text"] == text)
        Window(self.inspector, {"hwnd": answer["header"]}).mouse(*_centre(item["rect"]))

    def drag_row(self, source, target):
        """Drags a list view row by the mouse and drops it on another row."""
        self.drag(*_centre(self.row(source)["rect"]), *_centre(self.row(target)["rect"]))

    def toolbar(self):
        """Buttons: command, text, separator, enabled, checked, pressed, hidden,
        dropdown, state, style, image, rect."""
        return self._call("tb")["buttons"]

    def click_button(self, command):
        """A mouse click on the toolbar button of that command."""
        self.mouse(*_centre(next(b for b in self.toolbar() if b["command"] == command)["rect"]))

    def tabs(self):
        return self._call("tabs")

    def select_tab(self, n):
        self._call("tab-select", n)

    def combo(self):
        return self._call("combo")

    def select_combo(self, index=None, text=None):
        self._call("combo-select", *([] if index is None else [index]), text=text)

    def list_box(self):
        return self._call("listbox")

    def select_list_box(self, index=None, text=None):
        self._call("listbox-select", *([] if index is None else [index]), text=text)

    def menu(self):
        """The menu bar (or a popup menu window's menu): items with text, id,
        separator, enabled, grayed, checked, radio, default and their items."""
        return self._call("menu")["items"]

    def click_menu_item(self, item):
        """A mouse click on an item of this window's menu bar, or of this popup
        menu window, as menu() gave it (items shown on the screen have a rect)."""
        if not item.get("rect"):
            raise InspectError("the menu item %r is not on the screen" % item["text"])
        self.mouse(*_centre(item["rect"]), screen=True)

    @staticmethod
    def menu_item(items, *texts):
        """The item reached through the texts (without "&" and the key after
        a tab), e.g. menu_item(main.menu(), "View", "Encoding", "Auto-Select")."""
        item = None
        for text in texts:
            matches = [i for i in items if i["text"].split("\t")[0].replace("&", "") == text]
            if not matches:
                raise KeyError(text)
            item = matches[0]
            items = item.get("items", [])
        return item

    # ---- actions ----

    def command(self, id, code=0, send=False):
        return self._call("command", id, code=code, send=send).get("result")

    def click(self, force=False):
        self._call("click", force=force)

    def set_text(self, text):
        self._call("set-text", text)

    def check(self, on=True):
        self._call("check", "on" if on else "off")

    def keys(self, *chords):
        self._call("keys", *chords)

    def focus(self):
        self._call("focus")

    def mouse(self, x=None, y=None, button="left", double=False, screen=False):
        """A click at a client point (default: the centre), or a screen point."""
        return self._call("mouse", *([] if x is None else [x, y]), button=button, double=double, screen=screen)

    def drag(self, x1, y1, x2, y2, button="left"):
        self._call("drag", x1, y1, x2, y2, button=button)

    def send(self, message, wparam=0, lparam=0, timeout=None):
        return self._call("send", message, wparam, lparam, timeout=timeout)["result"]

    def post(self, message, wparam=0, lparam=0):
        self._call("send", message, wparam, lparam, post=True)

    def close(self):
        self._call("close")

    def screenshot(self, path):
        self.inspector.call("screenshot", windows_path(path), self.hwnd)


class Program:
    """A Windows program started by a Session from its own folder."""

    def __init__(self, session, exe, folder, args):
        self.session = session
        self.folder = folder
        self.exe = os.path.basename(exe)
        self.windows_path = windows_path(os.path.join(folder, self.exe))
        before = self._pids()
        self.log = open(os.path.join(folder, self.exe + ".log"), "wb")
        self.process = subprocess.Popen([WINE_RUN, os.path.join(folder, self.exe)] + [str(a) for a in args],
                                        cwd=folder, env=session.prefix.env, stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self._before = before
        self._pid = None

    def _pids(self):
        return {p["pid"] for p in self.session.inspector.processes(self.exe)
                if p["path"].lower() == self.windows_path.lower()}

    @property
    def pid(self):
        """The Windows process id (waits for the process to appear)."""
        if self._pid is None:
            def started():
                new = self._pids() - self._before
                if not new and self.process.poll() is not None:
                    raise AssertionError("%s ended with %s before it was seen" % (self.exe, self.process.returncode))
                return min(new) if new else None
            self._pid = wait_until(started, 60, "%s to start" % self.exe)
        return self._pid

    def path(self, name):
        return os.path.join(self.folder, name)

    def windows(self, visible=True):
        return self.session.inspector.windows(pid=self.pid, visible=visible)

    def main_window(self, title=None, visible=True, timeout=60):
        """The program's first (visible) top-level window (with that title)."""
        return self.session.inspector.wait_window(title=title, pid=self.pid, visible=visible, timeout=timeout)

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=20):
        """The exit code; AssertionError when the program still runs after `timeout`."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("%s still runs after %ss" % (self.exe, timeout)) from None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=60)
        self.log.close()


def _end_with_parent():
    """In a child before exec: ends it when the test's process goes, however."""
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class Display:
    """A private X server, so that tests running side by side share no
    pointer, no screen area and no screenshots. KX_GUI_DISPLAY=shared uses
    $DISPLAY instead (to watch a test at work)."""

    def __init__(self):
        self.server = None
        if os.environ.get("KX_GUI_DISPLAY") == "shared":
            self.name = os.environ["DISPLAY"]
            return
        read, write = os.pipe()
        try:
            # Xvfb picks a free display number itself and writes it to the pipe.
            self.server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                                            "-nolisten", "tcp"], pass_fds=(write,), stdin=subprocess.DEVNULL,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                           preexec_fn=_end_with_parent)
            os.close(write)
            write = None
            number = b""
            while not number.endswith(b"\n"):
                chunk = os.read(read, 16)
                if not chunk:
                    raise AssertionError("Xvfb did not start")
                number += chunk
            self.name = ":" + number.decode().strip()
        finally:
            os.close(read)
            if write is not None:
                os.close(write)

    def close(self):
        if self.server:
            self.server.terminate()
            self.server.wait(timeout=30)


class Session:
    """A private prefix and display, the inspection tool in them, and the
    programs started there. Given a TestCase, it ends with the test;
    otherwise call close()."""

    def __init__(self, test=None):
        self.programs = []
        self.display = Display()
        try:
            self.prefix = Prefix(self.display.name)
        except BaseException:
            self.display.close()
            raise
        try:
            self.inspector = Inspector(self.prefix.env)
            self.inspector.call("ping", wait=120)
        except BaseException:
            self.prefix.close()
            self.display.close()
            raise
        if test is not None:
            test.addCleanup(self.close)

    def start(self, exe, files=None, args=(), folder=None):
        """Starts `exe` (a name in build/win/bin, or a path) from a new folder
        holding a copy of it and `files` ({name: bytes}); or, with `folder`,
        from that folder again (a second instance)."""
        source = exe if os.path.isabs(exe) else os.path.join(BIN, exe)
        if folder is None:
            # Inside the prefix's folder, so that it goes with the prefix, also after a crash.
            folder = tempfile.mkdtemp(prefix="program-", dir=self.prefix.path)
            shutil.copy2(source, folder)
            for name, data in (files or {}).items():
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(data)
        program = Program(self, source, folder, args)
        self.programs.append(program)
        return program

    def close(self):
        for program in self.programs:
            program.kill()
        self.inspector.close()
        self.prefix.close()
        self.display.close()
