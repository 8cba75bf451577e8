"""The scripts a new user runs first, asked for their usage."""
import os
import shutil
import subprocess

from conftest import ROOT


def test_demo_help_prints_its_usage_and_exits_without_running(tmp_path):
    # A copy alone in a scratch tree: a script that took the flag for a run fails at its first
    # step there instead of building and running the demo.
    os.mkdir(tmp_path / "scripts")
    script = shutil.copy(os.path.join(ROOT, "scripts", "demo.sh"), tmp_path / "scripts")
    done = subprocess.run(["bash", script, "--help"], capture_output=True, text=True, timeout=30)
    assert (done.returncode, done.stdout.startswith("usage: ")) == (0, True), done
    assert os.listdir(tmp_path) == ["scripts"]
