"""robot_startup's fixed arguments, seen by a function preloaded in front of the module."""
import os
import shutil
import subprocess
import sys

from conftest import BUILD, WORKDIR

HERE = os.path.dirname(os.path.abspath(__file__))

SCRIPT = r"""
import ctypes, sys
sys.path.insert(0, sys.argv[1])
from conftest import Controller, lib, open_context
sim = Controller()
try:
    h = open_context(sim.port)
    dynamics = {"payload": 2.5, "position": (0.0, 0.0, 0.1), "inertia": (0.0,) * 6}
    result = lib.robot_startup(h, 6 + 256, dynamics)
    seen = (ctypes.c_int * 5)()
    spy = ctypes.CDLL(sys.argv[2])
    spy.startup_spy_seen.restype = ctypes.c_double
    payload = spy.startup_spy_seen(seen)
    print("startup:", result, h, list(seen), payload, flush=True)
    lib.uninitialize()
finally:
    sim.stop()
"""


def test_robot_startup_sends_its_class_pose_reading_detection_and_acceleration():
    compiler = shutil.which("cc") or shutil.which("gcc")
    assert compiler, "a C compiler builds the preloaded spy"
    spy = os.path.join(WORKDIR, "startup_spy.so")
    subprocess.run([compiler, "-shared", "-fPIC", "-o", spy, os.path.join(HERE, "startup_spy.c"),
                    "-ldl"], check=True, timeout=60)
    # After any sanitizer runtime already preloaded, which must stay first.
    preload = (os.environ.get("LD_PRELOAD", "") + " " + spy).strip()
    env = dict(os.environ, LD_PRELOAD=preload, PYTHONPATH=BUILD)
    out = subprocess.run([sys.executable, "-c", SCRIPT, HERE, spy], env=env, cwd=WORKDIR,
                         capture_output=True, text=True, timeout=60)
    assert out.returncode == 0, out.stderr[-2000:]
    line = [line for line in out.stdout.splitlines() if line.startswith("startup:")][0]
    result, handle, seen = line.split(" ", 3)[1:]
    # Only the class's low 8 bits reach the SDK; pose reading on, static detection off.
    assert (result, seen) == ("0", "[%s, 6, 1, 0, 6000] 2.5" % handle)
