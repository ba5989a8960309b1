"""The simulated pump and the SiLA server as child processes, for the end-to-end tests.

Every wait has a deadline and every child is ended at the close, so a broken server fails a
test instead of hanging the run. The programs come from the environment: DOSETTA_CLI and
FLUXO_SIM (CTest passes the built ones).
"""

import datetime
import json
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time

import grpc

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE_FDL = os.path.join(HERE, "..", "..", "src", "sila", "features", "SiLAService.sila.xml")

# How long the server's link waits for an answer before it takes the pump as silent.
ANSWER_WINDOW_MS = 80

_STAMPED = re.compile(r"^(\d\d):(\d\d):(\d\d)\.(\d\d\d) (rx|tx|--) (.*)$")


def program(variable):
    path = os.environ.get(variable)
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError(f"{variable} must name the built program (got {path!r})")
    return path


def _read_line(stream, deadline):
    """One line from a pipe before the deadline; None on time-out or end of file."""
    line = b""
    fd = stream.fileno()
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            return None
        ch = os.read(fd, 1)
        if not ch:
            return None
        line += ch
    return line.decode(errors="replace").rstrip("\n")


def wait_for(predicate, timeout, step=0.02):
    """Polls until predicate() is true or the time is up; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


def _stop(process, grace=5.0):
    if process is not None and process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(5)


def _close_pipes(process, readers=()):
    # The readers end at the pipes' end of file, which the exit brings.
    for reader in readers:
        reader.join(2)
    for pipe in (process.stdin, process.stdout, process.stderr):
        if pipe:
            try:
                pipe.close()
            except OSError:
                pass


class Frame:
    """One line of the simulator's log: time (seconds since midnight, local clock), direction
    and the frame's body between STX and ETX."""

    def __init__(self, seconds, direction, body, line):
        self.seconds = seconds
        self.direction = direction
        self.body = body
        self.line = line

    def is_query(self):
        # The address is two digits; a query's body goes on with '?'.
        return self.body[2:3] == "?"

    def __repr__(self):
        return self.line


class Simulator:
    """fluxo-sim on a pseudo-terminal with its frame log. The server opens the link, which
    follows the device across a hang-up."""

    def __init__(self, folder, speed=20, extra=()):
        self.link = os.path.join(folder, "pump")
        self.lines = []
        self.lock = threading.Lock()
        self.process = subprocess.Popen(
            [program("FLUXO_SIM"), "--address", "1", "--log", "--link", self.link,
             "--speed", str(speed), *extra],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.device = _read_line(self.process.stdout, time.monotonic() + 10)
        if not self.device:
            _stop(self.process)
            _close_pipes(self.process)
            raise RuntimeError("fluxo-sim named no device")
        self.reader = threading.Thread(target=self._collect, daemon=True)
        self.reader.start()
        self.readers = [self.reader]

    def _collect(self):
        for raw in self.process.stderr:
            with self.lock:
                self.lines.append(raw.decode(errors="replace").rstrip("\n"))

    def control(self, command):
        self.process.stdin.write((command + "\n").encode())
        self.process.stdin.flush()

    def frames(self, direction="rx", since=0):
        with self.lock:
            lines = self.lines[since:]
        out = []
        for line in lines:
            m = _STAMPED.match(line.strip())
            if not m or m.group(5) != direction:
                continue
            rest = m.group(6)
            start = rest.find("<STX>")
            end = rest.find("<ETX>", start)
            body = rest[start + 5:end] if 0 <= start < end else ""
            seconds = int(m.group(1)) * 3600 + int(m.group(2)) * 60 + int(m.group(3)) + \
                int(m.group(4)) / 1000
            out.append(Frame(seconds, direction, body, line))
        return out

    def commands(self, since=0):
        """Frames received that are not queries: settings, starts and stops."""
        return [f for f in self.frames(since=since) if f.body and not f.is_query()]

    def mark(self):
        with self.lock:
            return len(self.lines)

    def late_before_stop(self, since=0):
        """A setting or start that the simulator took in less than half the link's answer window
        before the Stop that followed it, and the milliseconds between the two; None without one.
        The server writes nothing while it waits for an answer, and wrote that frame a whole
        window before the Stop: it lay unread for half a window at least, the simulator starved
        of time at that very exchange. A silent pump takes it in a whole window before."""
        frames = self.frames(since=since)
        for before, stop in zip(frames, frames[1:]):
            if not stop.body.endswith("KY0") or not before.body or before.is_query() or \
                    before.body.endswith("KY0"):
                continue
            gap = round((stop.seconds - before.seconds) * 1000)
            if gap < ANSWER_WINDOW_MS / 2:
                return before, gap
        return None

    def close(self):
        if self.process.stdin:
            try:
                self.process.stdin.close()
            except OSError:
                pass
        _stop(self.process)
        _close_pipes(self.process, self.readers)


def now_seconds():
    """The local time of day in seconds, on the clock the simulator stamps its log with."""
    t = datetime.datetime.now()
    return t.hour * 3600 + t.minute * 60 + t.second + t.microsecond / 1e6


class Server:
    """dosetta-cli sila serving the simulator's pump, with settings of its own."""

    def __init__(self, sim, config_home, insecure=True, allow_control=True, allow_config=False,
                 extra=(), discovery=False, env=None, command=None):
        """command: dosetta-cli's arguments instead of the sila command's, for serve."""
        args = [program("DOSETTA_CLI"), "--port", sim.link, "--address", "1", "sila",
                "--listen", "127.0.0.1:0"]
        if insecure:
            args.append("--insecure")
        if allow_control:
            args.append("--allow-control")
        if allow_config:
            args.append("--allow-config")
        if not discovery:
            args.append("--no-discovery")
        args += list(extra)
        if command is not None:
            args = [program("DOSETTA_CLI"), *command]
        # The journal of this rig alone, read back with journal_entries().
        self.journal = os.path.join(config_home, "journal.sqlite")
        extra_env = env or {}
        env = dict(os.environ, XDG_CONFIG_HOME=config_home,
                   XDG_RUNTIME_DIR=os.path.join(config_home, "run"), DOSETTA_JOURNAL=self.journal)
        env.update(extra_env)
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        self.args = args
        self.output = []
        self.process = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        first = _read_line(self.process.stdout, time.monotonic() + 15)
        if first is None:
            _stop(self.process)
            err = self.process.stderr.read().decode(errors="replace")
            _close_pipes(self.process)
            raise RuntimeError(f"the server wrote no first line: {err.strip()}")
        self.first_line = first
        # The first line names where it listens; the port is the number after the last colon.
        m = re.search(r":(\d+)\b(?!.*:\d)", first)
        if not m:
            _stop(self.process)
            _close_pipes(self.process)
            raise RuntimeError(f"no port in the server's first line: {first!r}")
        self.port = int(m.group(1))
        self.errors = []
        self.readers = [threading.Thread(target=self._drain, args=(pipe, into), daemon=True)
                        for pipe, into in ((self.process.stdout, self.output),
                                           (self.process.stderr, self.errors))]
        for reader in self.readers:
            reader.start()

    def journal_entries(self, kind):
        """The journal's entries of one kind, as dosetta-cli journal --json lists them."""
        listed = subprocess.run([program("DOSETTA_CLI"), "--json", "journal", "--file",
                                 self.journal, "--kind", kind],
                                capture_output=True, timeout=15, check=False)
        return [json.loads(line) for line in listed.stdout.decode().splitlines() if line.strip()]

    @staticmethod
    def _drain(stream, into):
        for raw in stream:
            into.append(raw.decode(errors="replace").rstrip("\n"))

    @property
    def target(self):
        return f"127.0.0.1:{self.port}"

    def channel(self, credentials=None, options=()):
        if credentials is None:
            ch = grpc.insecure_channel(self.target, options=list(options))
        else:
            ch = grpc.secure_channel(self.target, credentials, options=list(options))
        grpc.channel_ready_future(ch).result(timeout=10)
        return ch

    def stop(self):
        """SIGTERM and the exit code (None when it had to be killed)."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                code = self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
                code = None
        else:
            code = self.process.returncode
        _close_pipes(self.process, self.readers)
        return code


class Rig:
    """A temporary folder, the simulator and one server; close() ends both."""

    def __init__(self, speed=20, sim_extra=(), **server_options):
        self.folder = tempfile.mkdtemp(prefix="sila-test-")
        self.config = os.path.join(self.folder, "config")
        os.makedirs(self.config)
        self.sim = Simulator(self.folder, speed=speed, extra=sim_extra)
        self.server = None
        try:
            self.server = Server(self.sim, self.config, **server_options)
        except Exception:
            self.close()
            raise

    def restart(self, **server_options):
        if self.server:
            self.server.stop()
        self.server = Server(self.sim, self.config, **server_options)
        return self.server

    def close(self):
        if self.server:
            self.server.stop()
        self.sim.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def service_fdl():
    with open(SERVICE_FDL, encoding="utf-8") as f:
        return f.read()
