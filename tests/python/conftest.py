"""Shared fixtures and data: the module, the controller counterpart program, the trace log."""
import faulthandler
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
BUILD = os.environ.get("KEZU_BUILD_DIR", os.path.join(ROOT, "build"))
SIM = os.path.join(BUILD, "tools", "kezu_controller_sim")
TEST_TIME_LIMIT = 120  # seconds; a hang ends the run with every thread's traceback

# The working directory changes below; keep relative import paths pointing where they did.
sys.path[:] = [os.path.abspath(p) if p else p for p in sys.path]
import libpykezuqx as lib  # noqa: E402

# The trace log reads ./config on first use and writes ./log: a scratch folder per run keeps
# the log the tests read to this run.
WORKDIR = tempfile.mkdtemp(prefix="kezu-pytest-")
shutil.copytree(os.path.join(ROOT, "config"), os.path.join(WORKDIR, "config"))
os.chdir(WORKDIR)
LOG_PATH = os.path.join(WORKDIR, "log", "robottrace.log")

JOINTS = (0.1, 0.2, -0.3, 0.1, 0.2, 0.0)
JOINTS2 = (0.15, 0.25, -0.25, 0.1, 0.2, 0.05)
TOOL = {"pos": (0.0, 0.0, 0.1), "ori": (1.0, 0.0, 0.0, 0.0)}
DYNAMICS = {"payload": 1.5, "position": (0.0, 0.0, 0.05),
            "inertia": (0.01, 0.0, 0.0, 0.01, 0.0, 0.01)}
FRAME = {"coord_type": 2, "calibrate_method": 0,
         "calibrate_points": {"point1": (0.0, 0.0, 1.5, 0.0, 1.5, 0.0),
                              "point2": (0.3, 0.0, 1.5, 0.0, 1.5, 0.0),
                              "point3": (0.0, 0.3, 1.2, 0.0, 1.5, 0.0)},
         "tool_desc": {"pos": (0.0, 0.0, 0.0), "ori": (1.0, 0.0, 0.0, 0.0)}}


def child(script, *args, env=None):
    """script in a child interpreter that imports conftest as the tests do; argv[1:] are args."""
    env = dict(os.environ, PYTHONPATH=os.path.dirname(lib.__file__), **(env or {}))
    return subprocess.Popen([sys.executable, "-c", "import sys; sys.path.insert(0, %r)\n%s"
                             % (HERE, script), *map(str, args)], env=env, cwd=WORKDIR,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def wait_child(proc, timeout=60):
    """The child's return code ("hung" when it outlives timeout and is killed), the lines it
    printed after "result: " (the SDK's console log shares its output) and its errors."""
    try:
        out, err = proc.communicate(timeout=timeout)
        rc = proc.returncode
    except subprocess.TimeoutExpired:
        proc.kill()
        (out, err), rc = proc.communicate(), "hung"
    return rc, [line[8:] for line in out.splitlines() if line.startswith("result: ")], err


def wait_until(predicate, timeout=5.0):
    """Polls predicate until it holds or timeout seconds pass; returns its last value."""
    deadline = time.monotonic() + timeout
    while not predicate() and time.monotonic() < deadline:
        time.sleep(0.01)
    return predicate()


class TraceLog:
    """Lines the SDK wrote to its trace log after a mark."""

    def __init__(self):
        self.start = os.path.getsize(LOG_PATH) if os.path.exists(LOG_PATH) else 0

    def lines(self):
        if not os.path.exists(LOG_PATH):
            return []
        with open(LOG_PATH, "rb") as log:
            log.seek(self.start)
            return log.read().decode("utf-8", "replace").splitlines()

    def has(self, level, message):
        pattern = re.compile(r"\b%s\s+%s$" % (level, re.escape(message)))
        return any(pattern.search(line) for line in self.lines())

    def count(self, message):
        return sum(1 for line in self.lines() if line.endswith(" " + message))


class Controller:
    """The controller counterpart program on a loopback port picked by the system."""

    def __init__(self, travel_scale=0.05, brake_ms=0):
        self.proc = subprocess.Popen(
            [SIM, "--port", "0", "--travel-scale", str(travel_scale), "--push-ms", "100",
             "--brake-ms", str(brake_ms)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        ready, _, _ = select.select([self.proc.stdout], [], [], 10)
        line = self.proc.stdout.readline() if ready else ""
        if not line.strip().isdigit():
            self.stop()
            raise RuntimeError("controller counterpart did not start")
        self.port = int(line)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=10)
        self.proc.stdout.close()


class Recorder:
    """A callable for robot events that keeps what it receives, then runs action."""

    def __init__(self, action=None):
        self.events, self.threads = [], set()
        self.lock = threading.Lock()
        self.action = action

    def __call__(self, event):
        with self.lock:
            self.events.append(event)
            self.threads.add(threading.get_ident())
        if self.action is not None:
            self.action(event)

    def types(self):
        with self.lock:
            return [event["type"] for event in self.events]

    def wait_for_type(self, event_type, timeout=5.0):
        return wait_until(lambda: event_type in self.types(), timeout)


@pytest.fixture(autouse=True)
def time_limit():
    faulthandler.dump_traceback_later(TEST_TIME_LIMIT, exit=True)
    yield
    faulthandler.cancel_dump_traceback_later()


@pytest.fixture
def trace():
    return TraceLog()


@pytest.fixture(scope="module")
def controller():
    sim = Controller()
    yield sim
    sim.stop()


@pytest.fixture
def own_controller():
    """A counterpart of the test's own, for tests that stop it or need slow moves."""
    made = []
    yield lambda **options: made.append(Controller(**options)) or made[-1]
    for sim in made:
        sim.stop()


def open_context(port):
    handle = lib.create_context()
    assert handle is not None
    assert lib.login(handle, "127.0.0.1", port) == 0
    return handle


def close_context(handle):
    lib.logout(handle)
    lib.destory_context(handle)


@pytest.fixture
def robot(controller):
    """A context logged in to the shared counterpart, with the event thread running."""
    assert lib.initialize() == 0
    handle = open_context(controller.port)
    yield handle
    close_context(handle)


@pytest.fixture(scope="session", autouse=True)
def stop_event_thread():
    yield
    lib.uninitialize()
