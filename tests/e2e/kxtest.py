"""Shared helpers of the end-to-end tests: where the programs are, how to run
them under Wine, and the server fixtures of tools/."""
import os
import subprocess
import sys

SOURCE = os.environ.get("KX_SOURCE", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BIN = os.environ.get("KX_BIN", os.path.join(SOURCE, "build", "win", "bin"))
WINE_RUN = os.environ.get("KX_WINE_RUN", os.path.join(SOURCE, "tools", "wine-run"))
sys.path.insert(0, os.path.join(SOURCE, "tools"))

from dovecot import Dovecot  # noqa: E402,F401
from pop3script import ScriptedServer  # noqa: E402,F401


def run_program(name, *args, timeout=120, env=None):
    """Runs build/win/bin/<name> under Wine; returns the CompletedProcess with
    stdout and stderr as bytes (the programs print ANSI bytes)."""
    cmd = [WINE_RUN, os.path.join(BIN, name)] + [str(a) for a in args]
    return subprocess.run(cmd, capture_output=True, timeout=timeout, env=env)


def kxcheck(*args, **kw):
    return run_program("kxcheck.exe", *args, **kw)
