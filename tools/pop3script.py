#!/usr/bin/env python3
"""A scripted POP3 server for fault tests.

Each accepted connection follows a script of its own (the n-th connection the
n-th script; past the last, the last one again). A script is either

* a list of steps, run in order:
    "S:text"      send text and CRLF ("\\r\\n" inside text stays as given)
    "RAW:text"    send text as it is
    "R" / "R:X"   read one command line and record it (X: expected prefix,
                  only documented; the transcript is what tests check)
    "DRAIN"       read whatever bytes come next (a TLS client's hello), unrecorded
    "UNDER:text"  send text as it is beneath TLS, on the connection itself
    "BIG:n"       send n bytes of filler lines, no end mark
    "TRICKLE:n:r" send n bytes of filler lines at r bytes a second, no end mark
    "SLEEP:ms"    pause
    "HANG"        answer nothing more; wait until the peer or the server ends
    "CLOSE"       close the connection (also what happens after the last step)
  or
* a dict: a working POP3 responder for a small mailbox with faults on demand:
    {"greeting": "+OK ready <1.2@host>",      # default has an APOP stamp
     "user": "u", "password": "p",             # checked by USER/PASS and APOP
     "messages": ["From: a\\r\\n\\r\\nbody", ...],
     "uids": ["a1", ...],                      # UIDL ids; default: MD5 of each message
     "pipelining": True, "uidl": True,         # what CAPA lists; False leaves it out
     "rules": {"TOP 2": ["CLOSE"], "LIST": ["S:-ERR busy"]},
     "tls": "/folder/with/cert.pem+key.pem",  # CAPA lists STLS, STLS secures
     "implicit": True}                          # TLS from the first byte
  A rule's key is matched against the start of the command line (case-blind);
  its steps run instead of the normal answer. {"CAPA": ["S:-ERR"]} makes a
  server that does not know CAPA; with "uidl": False it refuses UIDL too.
  Commands that came over TLS are recorded as the others.

Every command received is recorded with its connection number (from 1) and
the time in seconds since the server started. A command that had come before
the server sent the answer to an earlier one (so the client sent it without
waiting for that answer) is also recorded as pipelined.

Use from Python (tests/e2e):
    with ScriptedServer([[...], {...}]) as srv: ... srv.port, srv.transcript()
From other programs (Windows tests under Wine), run
    pop3script.py --control -- PROGRAM ARGS...
which serves a control port whose number is in KX_SCRIPT_CONTROL while the
program runs, and exits with the program's status. Control lines:
    SERVE <json list of scripts>   ->  PORT <n>
    SERVE {"host": "127.0.0.2", "scripts": [...]}   (another loopback address)
    TRANSCRIPT <n>                 ->  <conn>\\t<seconds>\\t<command> ... then "."
    PIPELINED <n>                  ->  the same for the pipelined commands only
    STOP <n>                       ->  OK
"""
import hashlib
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import time


class ScriptedServer:
    def __init__(self, scripts, host="127.0.0.1"):
        self.scripts = scripts if scripts else [["CLOSE"]]
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((host, 0))
        self.sock.listen(16)
        self.port = self.sock.getsockname()[1]
        self.start = time.monotonic()
        self.lock = threading.Lock()
        self.records = []
        self.pipelined_records = []
        self.accepted = []  # time.monotonic() of each connection's accept
        self.connections = 0
        self.stopping = threading.Event()
        self.clients = []
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        self.stopping.set()
        try:
            # Wakes the accepting thread, so the port really stops listening.
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self.sock.close()
        except OSError:
            pass
        with self.lock:
            clients = list(self.clients)
        for c in clients:
            try:
                c.shutdown(socket.SHUT_RDWR)
                c.close()
            except OSError:
                pass

    def transcript(self):
        """[(connection, seconds, command line)] in the order received."""
        with self.lock:
            return list(self.records)

    def commands(self, connection=None):
        return [c for n, _, c in self.transcript() if connection in (None, n)]

    def pipelined(self):
        """The records of the commands that arrived pipelined, as transcript()."""
        with self.lock:
            return list(self.pipelined_records)

    def _accept(self):
        while not self.stopping.is_set():
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            with self.lock:
                self.connections += 1
                number = self.connections
                self.clients.append(conn)
                self.accepted.append(time.monotonic())
            script = self.scripts[min(number, len(self.scripts)) - 1]
            threading.Thread(target=self._serve, args=(conn, number, script), daemon=True).start()

    def _serve(self, conn, number, script):
        session = _Session(self, conn, number)
        try:
            if isinstance(script, dict):
                session.respond(script)
            else:
                session.run(script)
        except (OSError, _Closed):
            pass
        finally:
            for c in {conn, session.conn, session.raw}:
                try:
                    c.close()
                except OSError:
                    pass


class _Closed(Exception):
    pass


class _Session:
    def __init__(self, server, conn, number):
        self.server, self.conn, self.number = server, conn, number
        self.buffer = b""
        self.ahead = 0  # lines of the buffer that came before the last answer went out
        self.raw = conn  # the connection beneath TLS

    def record(self, line, pipelined):
        entry = (self.number, round(time.monotonic() - self.server.start, 3), line)
        with self.server.lock:
            self.server.records.append(entry)
            if pipelined:
                self.server.pipelined_records.append(entry)

    def read_line(self):
        pipelined = self.ahead > 0
        self.ahead = max(0, self.ahead - 1)
        while b"\n" not in self.buffer:
            data = self.conn.recv(65536)
            if not data:
                raise _Closed()
            self.buffer += data
        line, _, self.buffer = self.buffer.partition(b"\n")
        text = line.rstrip(b"\r").decode("latin-1")
        self.record(text, pipelined)
        return text

    def look_ahead(self):
        """Takes in what the client has sent so far, without waiting."""
        self.conn.setblocking(False)
        try:
            while True:
                data = self.conn.recv(65536)
                if not data:
                    break
                self.buffer += data
        except OSError:
            pass
        finally:
            self.conn.setblocking(True)
        self.ahead = self.buffer.count(b"\n")

    def send(self, data):
        self.look_ahead()
        self.conn.sendall(data if isinstance(data, bytes) else data.encode("latin-1"))

    def run(self, steps):
        """Returns False when the connection is over."""
        for step in steps:
            kind, _, arg = step.partition(":")
            if kind == "S":
                self.send(arg + "\r\n")
            elif kind == "RAW":
                self.send(arg)
            elif kind == "R":
                self.read_line()
            elif kind == "DRAIN":
                if not self.buffer and not self.conn.recv(65536):
                    raise _Closed()
                self.buffer = b""
            elif kind == "UNDER":
                self.raw.sendall(arg.encode("latin-1"))
            elif kind == "BIG":
                self.send_filler(int(arg))
            elif kind == "TRICKLE":
                count, _, rate = arg.partition(":")
                self.trickle(int(count), float(rate))
            elif kind == "SLEEP":
                time.sleep(int(arg) / 1000)
            elif kind == "HANG":
                self.hang()
                return False
            elif kind == "CLOSE":
                return False
            else:
                raise ValueError("unknown step " + step)
        return True

    def send_filler(self, count):
        line = b"X" * 76 + b"\r\n"
        while count > 0:
            chunk = line * min(1024, count // len(line) + 1)
            self.send(chunk[:count])
            count -= min(count, len(chunk))

    def trickle(self, count, rate):
        # Ten pieces a second, or one byte at a time when that is slower.
        piece = max(1, int(rate / 10))
        filler = (b"X" * 76 + b"\r\n") * (count // 78 + 1)
        start, sent = time.monotonic(), 0
        while sent < count and not self.server.stopping.is_set():
            n = min(piece, count - sent)
            self.send(filler[sent:sent + n])
            sent += n
            time.sleep(max(0.0, start + sent / rate - time.monotonic()))

    def hang(self):
        self.conn.settimeout(0.2)
        while not self.server.stopping.is_set():
            try:
                if not self.conn.recv(65536):
                    return
            except socket.timeout:
                continue

    def start_tls(self, folder):
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem"))
        self.raw = socket.socket(fileno=os.dup(self.conn.fileno()))
        self.conn = ctx.wrap_socket(self.conn, server_side=True)
        self.buffer = b""  # nothing that came before is read as protected
        self.ahead = 0

    def respond(self, cfg):
        tls = cfg.get("tls")
        if tls and cfg.get("implicit"):
            self.start_tls(tls)
        stamp = "<%d.%d@kxtest>" % (os.getpid(), self.number)
        greeting = cfg.get("greeting", "+OK POP3 ready " + stamp)
        self.send(greeting + "\r\n")
        stamp = greeting[greeting.find("<"):greeting.find(">") + 1] if "<" in greeting else ""
        user, password = cfg.get("user", "user"), cfg.get("password", "pass")
        messages = [m.encode("latin-1") if isinstance(m, str) else m for m in cfg.get("messages", [])]
        uids = cfg.get("uids") or [hashlib.md5(m).hexdigest() for m in messages]
        capabilities = ["TOP", "USER"] + [name for name in ("PIPELINING", "UIDL") if cfg.get(name.lower(), True)]
        if tls and not cfg.get("implicit"):
            capabilities.append("STLS")
        deleted = set()
        rules = {k.upper(): v for k, v in cfg.get("rules", {}).items()}
        given_user = None
        while True:
            line = self.read_line()
            upper = line.upper()
            rule = next((k for k in rules if upper.startswith(k)), None)
            if rule is not None:
                if not self.run(rules[rule]):
                    return
                continue
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            if verb == "USER":
                given_user = arg
                self.send("+OK\r\n")
            elif verb == "PASS":
                self.send("+OK logged in\r\n" if given_user == user and arg == password else "-ERR auth\r\n")
            elif verb == "APOP":
                name, _, digest = arg.partition(" ")
                good = hashlib.md5((stamp + password).encode("latin-1")).hexdigest()
                self.send("+OK logged in\r\n" if name == user and digest == good and stamp else "-ERR auth\r\n")
            elif verb == "STAT":
                self.send("+OK %d %d\r\n" % (len(messages), sum(len(m) for m in messages)))
            elif verb == "CAPA":
                self.send("+OK\r\n" + "".join(c + "\r\n" for c in capabilities) + ".\r\n")
            elif verb == "LIST":
                out = ["+OK %d messages" % len(messages)]
                out += ["%d %d" % (i + 1, len(m)) for i, m in enumerate(messages) if i not in deleted]
                self.send("\r\n".join(out) + "\r\n.\r\n")
            elif verb == "UIDL" and "UIDL" in capabilities:
                out = ["+OK"] + ["%d %s" % (i + 1, u) for i, u in enumerate(uids) if i not in deleted]
                self.send("\r\n".join(out) + "\r\n.\r\n")
            elif verb == "TOP":
                parts = arg.split()
                try:
                    index, lines = int(parts[0]) - 1, int(parts[1])
                    msg = messages[index]
                except (ValueError, IndexError):
                    self.send("-ERR no such message\r\n")
                    continue
                self.send(b"+OK\r\n" + _top(msg, lines) + b".\r\n")
            elif verb == "DELE":
                try:
                    deleted.add(int(arg) - 1)
                    self.send("+OK deleted\r\n")
                except ValueError:
                    self.send("-ERR\r\n")
            elif verb == "STLS" and tls and not cfg.get("implicit"):
                self.send("+OK Begin TLS\r\n")
                self.start_tls(tls)
            elif verb == "NOOP":
                self.send("+OK\r\n")
            elif verb == "QUIT":
                self.send("+OK bye\r\n")
                return
            else:
                self.send("-ERR unknown command\r\n")


def _top(message, count):
    """Header, blank line and `count` body lines, CRLF ended and byte-stuffed."""
    lines = message.replace(b"\r\n", b"\n").split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    out, body, seen = [], False, 0
    for line in lines:
        if body:
            if seen >= count:
                break
            seen += 1
        elif line == b"":
            body = True
        out.append(b"." + line if line.startswith(b".") else line)
    return b"".join(l + b"\r\n" for l in out)


def _control(argv):
    servers = {}
    lock = threading.Lock()
    ctl = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    ctl.bind(("127.0.0.1", 0))
    ctl.listen(8)

    def handle(conn):
        f = conn.makefile("rwb")
        for raw in f:
            verb, _, arg = raw.decode("latin-1").strip().partition(" ")
            if verb == "SERVE":
                spec = json.loads(arg)
                if isinstance(spec, dict):  # {"host": "127.0.0.2", "scripts": [...]}
                    srv = ScriptedServer(spec["scripts"], spec.get("host", "127.0.0.1"))
                else:
                    srv = ScriptedServer(spec)
                with lock:
                    servers[srv.port] = srv
                f.write(b"PORT %d\n" % srv.port)
            elif verb in ("TRANSCRIPT", "PIPELINED"):
                with lock:
                    srv = servers.get(int(arg))
                records = (srv.transcript() if verb == "TRANSCRIPT" else srv.pipelined()) if srv else []
                for n, t, c in records:
                    f.write(("%d\t%.3f\t%s\n" % (n, t, c)).encode("latin-1"))
                f.write(b".\n")
            elif verb == "STOP":
                with lock:
                    srv = servers.pop(int(arg), None)
                if srv:
                    srv.stop()
                f.write(b"OK\n")
            else:
                f.write(b"ERR\n")
            f.flush()
        conn.close()

    def accept():
        while True:
            try:
                conn, _ = ctl.accept()
            except OSError:
                return
            threading.Thread(target=handle, args=(conn,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    env = dict(os.environ, KX_SCRIPT_CONTROL=str(ctl.getsockname()[1]))
    status = subprocess.call(argv, env=env)
    ctl.close()
    return status


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--control" and sys.argv[2] == "--":
        sys.exit(_control(sys.argv[3:]))
    print(__doc__)
    sys.exit(2)
