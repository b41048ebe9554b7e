#!/usr/bin/env python3
"""What a check costs against Dovecot on loopback, beside a plain poplib loop
that sends LIST and one TOP per message: a figure to report, not a test.

    tools/bench/pop3_bench.py [--messages 1000] [--big 10000] [--runs 3]
                              [--kxcheck PATH] [--lines 99]

For a mailbox of --messages messages of about 4 KB it prints, in seconds
(medians of --runs):
  - Wine's process start: `kxcheck --help`;
  - the poplib loop (APOP, LIST, TOP n for every message, QUIT);
  - one `kxcheck` check, with and without Wine's start;
  - in `kxcheck --watch`, the first check and a later one of the unchanged
    mailbox, from "connecting" to "sleeping" as the watch reports them.
Then for a mailbox of --big messages the most memory (resident set) that the
kxcheck process used, for one check and for a watch of two checks.
--kxcheck names another build's program to compare (default: this tree's).
"""
import argparse
import os
import poplib
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from dovecot import Dovecot  # noqa: E402
from test_accounts import account_file  # noqa: E402

WINE_RUN = os.path.join(SOURCE, "tools", "wine-run")


def message(n):
    head = ("From: Sender %d <s%d@example.org>\nTo: bench@example.org\nSubject: message %d of the benchmark\n"
            "Date: Mon, 2 Jun 2003 10:%02d:%02d +0000\nMessage-ID: <%d@bench.kx>\n\n" % (n, n, n, n % 60, n % 60, n))
    line = "line %%d of a message that fills about four kilobytes with text, number %d\n" % n
    body = "".join(line % i for i in range(52))
    return (head + body).encode()


def run(cmd, **kw):
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.monotonic()
        code = subprocess.call(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err, **kw)
        took = time.monotonic() - start
        out.seek(0)
        err.seek(0)
        return code, took, out.read(), err.read()


class PeakMemory:
    """The most memory of the process running `exe`, sampled: resident in
    all (`peak`, Wine's shared libraries included) and private (`private`:
    anonymous resident pages, what Windows counts as the private working set)."""

    def __init__(self, exe):
        self.exe, self.peak, self.private, self.done = os.path.basename(exe).encode(), 0, 0, threading.Event()
        self.thread = threading.Thread(target=self.sample, daemon=True)
        self.thread.start()

    def sample(self):
        while not self.done.is_set():
            for pid in os.listdir("/proc"):
                if not pid.isdigit():
                    continue
                try:
                    with open("/proc/%s/cmdline" % pid, "rb") as f:
                        if self.exe not in f.read():
                            continue
                    with open("/proc/%s/status" % pid) as f:
                        for line in f:
                            if line.startswith(("VmHWM:", "VmRSS:")):
                                self.peak = max(self.peak, int(line.split()[1]) * 1024)
                            elif line.startswith("RssAnon:"):
                                self.private = max(self.private, int(line.split()[1]) * 1024)
                except OSError:
                    continue
            time.sleep(0.05)

    def stop(self):
        self.done.set()
        self.thread.join()
        return self


def watch(kxcheck, port, checks, interval):
    """[(check number, seconds from connecting to sleeping)] of a watch that
    lasts long enough for `checks` checks, and its peak memory."""
    folder = tempfile.mkdtemp(prefix="kx-bench-")
    name = "bench-%d" % os.getpid()
    with open(os.path.join(folder, "kestrix.dat"), "wb") as f:
        f.write(account_file(b"KX10", [(name, "bench", "bench", "127.0.0.1", port, interval, 120)]))
    seconds = interval * checks + 30
    memory = PeakMemory(kxcheck)
    proc = subprocess.Popen([WINE_RUN, kxcheck, "--data", "Z:" + folder.replace("/", "\\"),
                             "--watch", str(seconds)], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    times, began, done = [], None, threading.Event()

    def read():
        nonlocal began
        for raw in proc.stdout:
            now = time.monotonic()
            fields = raw.decode("latin-1").rstrip("\n").split("\t")
            if len(fields) < 3 or fields[0] != "state":
                continue
            if fields[2] == "connecting":
                began = now
            elif fields[2] == "sleeping" and began is not None:
                times.append(now - began)
                began = None
                if len(times) >= checks:
                    done.set()
                    return

    threading.Thread(target=read, daemon=True).start()
    done.wait(seconds + 60)
    proc.terminate()
    proc.wait()
    return times, memory.stop()


def poplib_loop(port, lines):
    start = time.monotonic()
    p = poplib.POP3("127.0.0.1", port)
    p.apop("bench", "bench")
    for n in range(1, len(p.list()[1]) + 1):
        p.top(n, lines)
    p.quit()
    return time.monotonic() - start


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--messages", type=int, default=1000)
    ap.add_argument("--big", type=int, default=10000)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--lines", type=int, default=99)
    ap.add_argument("--kxcheck", default=os.path.join(SOURCE, "build", "win", "bin", "kxcheck.exe"))
    a = ap.parse_args()
    kx = os.path.abspath(a.kxcheck)
    med = statistics.median

    with Dovecot({"bench": ("bench", [message(n) for n in range(a.messages)])}) as d:
        args = [WINE_RUN, kx, "--server", "127.0.0.1", "--port", str(d.port), "--user", "bench",
                "--password", "bench", "--lines", str(a.lines)]
        run(args)  # warm the prefix and the server's index
        start = med(run([WINE_RUN, kx, "--help"])[1] for _ in range(a.runs))
        loop = med(poplib_loop(d.port, a.lines) for _ in range(a.runs))
        checks = []
        for _ in range(a.runs):
            code, took, out, err = run(args)
            if code != 0 or out.count(b"\n") != a.messages:
                sys.exit("kxcheck failed: %d %s" % (code, err[-500:]))
            checks.append(took)
        one = med(checks)
        times, _ = watch(kx, d.port, 3, 2)
    print("%d messages of about %d bytes, TOP %d" % (a.messages, len(message(1)), a.lines))
    print("  Wine process start (kxcheck --help) %.3f s" % start)
    print("  poplib loop                         %.3f s" % loop)
    print("  kxcheck, one check                  %.3f s, %.3f s net of the start (%.2f x the loop)"
          % (one, one - start, (one - start) / loop))
    if len(times) >= 2:
        later = med(times[1:])
        print("  kxcheck --watch, first check        %.3f s" % times[0])
        print("  kxcheck --watch, later checks       %.3f s (%.2f x the loop)" % (later, later / loop))
    else:
        print("  kxcheck --watch: fewer than two checks reported: %r" % times)

    if a.big:
        with Dovecot({"bench": ("bench", [message(n) for n in range(a.big)])}) as d:
            args = [WINE_RUN, kx, "--server", "127.0.0.1", "--port", str(d.port), "--user", "bench",
                    "--password", "bench", "--lines", str(a.lines)]
            memory = PeakMemory(kx)
            code, took, out, err = run(args)
            one = memory.stop()
            if code != 0:
                sys.exit("kxcheck failed: %s" % err[-500:])
            times, watched = watch(kx, d.port, 2, 2)
        mb = 2 ** 20
        print("%d messages: one check %.2f s, at most %.1f MB (%.1f MB private); a watch of two checks (%s s) "
              "at most %.1f MB (%.1f MB private)" % (a.big, took, one.peak / mb, one.private / mb,
                                                     ", ".join("%.2f" % t for t in times), watched.peak / mb,
                                                     watched.private / mb))


if __name__ == "__main__":
    main()
