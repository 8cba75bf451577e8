"""robot_startup's fixed arguments, seen by a function preloaded in front of the module."""
import os
import shutil
import subprocess

from conftest import HERE, WORKDIR, child, wait_child

SCRIPT = r"""
import ctypes
from conftest import Controller, lib, open_context
sim = Controller()
try:
    h = open_context(sim.port)
    dynamics = {"payload": 2.5, "position": (0.0, 0.0, 0.1), "inertia": (0.0,) * 6}
    result = lib.robot_startup(h, 6 + 256, dynamics)
    seen = (ctypes.c_int * 5)()
    spy = ctypes.CDLL(sys.argv[1])
    spy.startup_spy_seen.restype = ctypes.c_double
    payload = spy.startup_spy_seen(seen)
    print("result:", result, h, list(seen), payload, flush=True)
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
    rc, results, err = wait_child(child(SCRIPT, spy, env={"LD_PRELOAD": preload}))
    assert rc == 0, err[-2000:]
    result, handle, seen = results[0].split(" ", 2)
    # Only the class's low 8 bits reach the SDK; pose reading on, static detection off.
    assert (result, seen) == ("0", "[%s, 6, 1, 0, 6000] 2.5" % handle)
