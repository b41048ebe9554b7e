"""Shared helpers of the end-to-end tests: where the programs are, how to run
them under Wine, the server fixtures of tools/, and kxcheck's output."""
import os
import shutil
import subprocess
import sys
import tempfile
import zlib

SOURCE = os.environ.get("KX_SOURCE", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BIN = os.environ.get("KX_BIN", os.path.join(SOURCE, "build", "win", "bin"))
WINE_RUN = os.environ.get("KX_WINE_RUN", os.path.join(SOURCE, "tools", "wine-run"))
sys.path.insert(0, os.path.join(SOURCE, "tools"))

from dovecot import Dovecot  # noqa: E402,F401
from pop3script import ScriptedServer  # noqa: E402,F401


def run(cmd, timeout=120, env=None, check=False):
    """Runs cmd to its end; returns the CompletedProcess with stdout and stderr
    as bytes. The output goes to files, not pipes: a process that Wine starts
    on the way (its server, its services) may hold them open long after the
    program ended, and a reader of a pipe would wait for it."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err, env=env)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise
        out.seek(0)
        err.seek(0)
        done = subprocess.CompletedProcess(cmd, code, out.read(), err.read())
    if check:
        done.check_returncode()
    return done


def run_program(name, *args, timeout=120, env=None):
    """Runs build/win/bin/<name> under Wine (the programs print ANSI bytes)."""
    return run([WINE_RUN, os.path.join(BIN, name)] + [str(a) for a in args], timeout=timeout, env=env)


def unique(name):
    """A name of this test process's own, for registry keys shared by the Wine prefix."""
    return "%s-%d" % (name, os.getpid())


def kxcheck(*args, **kw):
    return run_program("kxcheck.exe", *args, **kw)


def kxcheck_at(port, *args, user="user", password="pass"):
    """One check of the mailbox on 127.0.0.1:port."""
    return kxcheck("--server", "127.0.0.1", "--port", port, "--user", user, "--password", password, *args)


def bulk_messages(count):
    """`count` messages of about four kilobytes each, for timing a check."""
    body = b"".join(b"line %d of a message that fills about four kilobytes with text\n" % i for i in range(60))
    return [b"From: s%d@example.org\nSubject: message %d\nMessage-ID: <%d@bulk>\n\n" % (i, i, i) + body
            for i in range(count)]


def rows(stdout):
    """kxcheck's message lines, each as its list of fields."""
    return [line.split(b"\t") for line in stdout.split(b"\n") if line]


def crc(data):
    """The identity CRC: the published table, register from 0, no final inversion."""
    return zlib.crc32(data, 0xFFFFFFFF) ^ 0xFFFFFFFF


def data_folder(test, files=None):
    """A folder of `files` ({name: bytes}) that goes when `test` ends: its path,
    and the same path as the programs see it under Wine."""
    path = tempfile.mkdtemp(prefix="kx-data-")
    test.addCleanup(shutil.rmtree, path, True)
    for name, data in (files or {}).items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)
    return path, "Z:" + path.replace("/", "\\")
