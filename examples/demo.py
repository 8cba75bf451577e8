#!/usr/bin/python3
"""A walk through the SDK's Python module against one controller.

    PYTHONPATH=build /usr/bin/python3 examples/demo.py --host 127.0.0.1 --port 8899

Logs in, prints what the controller reports and the model's DH lengths, sets the move
profile, moves the arm (blocking joint and line moves, one short track move), reads and
writes board and tool IO, checks forward against inverse kinematics, prints every robot event
the callback receives, logs out and cleans up. One line per step, with its values and the
time it took. Exits 0 when every step did what it should.
"""
import argparse
import ctypes
import math
import os
import sys
import tempfile
import threading
import time

import libpykezuqx as lib

# Track kind of a Cartesian path through waypoints with blends.
CARTESIAN_MOVEP = 3
USER_DO = 5
USER_DI = 4
TOOL_POWER_24V = 2
TOOL_IO_0, TOOL_IO_OUT = 0, 1
EVENT_NAMES = {19: "start-up phase", 20: "start-up done", 21: "shutdown done",
               27: "link lost", 35: "handshake ok", 36: "handshake failed"}
DYNAMICS = {"payload": 0.0, "position": (0.0, 0.0, 0.0),
            "inertia": (0.0, 0.0, 0.0, 0.0, 0.0, 0.0)}

HOME = (0.0, 0.0, 0.0, 0.0, 0.0, 0.0)
JOINT_TARGETS = [(0.2, -0.1, 0.3, 0.1, 0.2, 0.0),
                 (-0.2, 0.1, -0.2, 0.2, -0.1, 0.3)]
LINE_TARGETS = [(-0.15, 0.1, -0.2, 0.2, -0.1, 0.3),
                (-0.15, 0.15, -0.15, 0.2, -0.1, 0.3)]
TRACK = [(-0.1, 0.15, -0.15, 0.2, -0.1, 0.3),
         (-0.05, 0.1, -0.1, 0.2, -0.1, 0.3),
         (0.0, 0.05, -0.05, 0.2, -0.1, 0.3)]

print_lock = threading.Lock()


def say(text):
    with print_lock:
        print(text, flush=True)


def fmt(values, digits=4):
    return "(" + ", ".join("%.*f" % (digits, v) for v in values) + ")"


class Failed(Exception):
    pass


class Steps:
    """Runs and prints the steps; the first failing one ends the demo."""

    def __init__(self):
        self.count = 0

    def run(self, name, action):
        self.count += 1
        start = time.monotonic()
        try:
            ok, text = action()
        except Failed as failure:
            ok, text = False, str(failure)
        took = (time.monotonic() - start) * 1000.0
        say("[%2d] %-24s %-8s %s  (%.1f ms)" % (self.count, name, "ok" if ok else "FAILED",
                                                 text, took))
        if not ok:
            raise Failed(name)


def expect_code(result, what):
    if result != 0:
        raise Failed("%s returned %r" % (what, result))


def value(result, what):
    if result is None:
        raise Failed("%s returned None" % what)
    return result


def printed_by(call, *args):
    """The call's result and what the library wrote to standard output meanwhile (the
    board-output setter traces there; the step's line shows that trace)."""
    libc = ctypes.CDLL(None)
    sys.stdout.flush()
    with print_lock, tempfile.TemporaryFile() as capture:
        saved = os.dup(1)
        os.dup2(capture.fileno(), 1)
        try:
            result = call(*args)
        finally:
            libc.fflush(None)
            os.dup2(saved, 1)
            os.close(saved)
        capture.seek(0)
        return result, capture.read().decode(errors="replace").strip()


def on_event(event):
    name = EVENT_NAMES.get(event["type"], "event")
    say("     robot event          type=%d (%s) code=%d content=%r"
        % (event["type"], name, event["code"], event["content"]))


def dh_lengths(h):
    """A3, A4, D1, D2, D5, D6 as the model's forward kinematics shows them."""
    def flange(joints):
        return value(lib.forward_kin(h, joints), "forward_kin")["pos"]
    right = math.pi / 2
    zero = flange(HOME)
    d1 = flange((0.0, right, 0.0, 0.0, 0.0, 0.0))[2]
    a3 = flange((0.0, 0.0, right, 0.0, 0.0, 0.0))[2] - d1
    a4 = flange((0.0, 0.0, 0.0, right, 0.0, 0.0))[2] - d1 - a3
    d5 = zero[2] - d1 - a3 - a4
    d2 = -flange((0.0, 0.0, 0.0, 0.0, right, 0.0))[1]
    d6 = -zero[1] - d2
    return {"A3": a3, "A4": a4, "D1": d1, "D2": d2, "D5": d5, "D6": d6}


def demo(h, host, port, steps):
    def login():
        expect_code(lib.login(h, host, port), "login")
        return True, "%s:%d, login status %d" % (host, port, lib.get_login_status(h))
    steps.run("login", login)

    def device():
        diagnosis = value(lib.get_diagnosis_info(h), "get_diagnosis_info")
        return True, ("state %d, work mode %d, real robot %d, online %d, arm %.1f V %.2f A, "
                      "controller %d C, max acc %d"
                      % (value(lib.get_robot_state(h), "get_robot_state"),
                         value(lib.get_work_mode(h), "get_work_mode"),
                         value(lib.is_have_real_robot(h), "is_have_real_robot"),
                         lib.is_online_mode(h), diagnosis["armPowerVoltage"],
                         diagnosis["armPowerCurrent"], diagnosis["contorllerTemp"],
                         diagnosis["robotMaxAcc"]))
    steps.run("device information", device)

    def dh():
        return True, " ".join("%s=%.4f m" % item for item in dh_lengths(h).items())
    steps.run("DH lengths", dh)

    def startup():
        value(lib.robot_startup(h, 6, DYNAMICS), "robot_startup")
        return True, "collision class 6, no payload"
    steps.run("robot start-up", startup)

    def profile():
        expect_code(lib.init_global_move_profile(h), "init_global_move_profile")
        expect_code(lib.set_joint_maxacc(h, (1.5,) * 6), "set_joint_maxacc")
        expect_code(lib.set_joint_maxvelc(h, (1.0,) * 6), "set_joint_maxvelc")
        expect_code(lib.set_end_max_line_acc(h, 0.5), "set_end_max_line_acc")
        expect_code(lib.set_end_max_line_velc(h, 0.2), "set_end_max_line_velc")
        expect_code(lib.set_end_max_angle_acc(h, 0.5), "set_end_max_angle_acc")
        expect_code(lib.set_end_max_angle_velc(h, 0.2), "set_end_max_angle_velc")
        return True, ("joint acc %s velc %s rad/s, line %.2f m/s2 %.2f m/s, angle %.2f %.2f"
                      % (fmt(lib.get_joint_maxacc(h), 1), fmt(lib.get_joint_maxvelc(h), 1),
                         lib.get_end_max_line_acc(h), lib.get_end_max_line_velc(h),
                         lib.get_end_max_angle_acc(h), lib.get_end_max_angle_velc(h)))
    steps.run("move profile", profile)

    def move(kind, target):
        def action():
            expect_code(getattr(lib, kind)(h, target), kind)
            here = value(lib.get_current_waypoint(h), "get_current_waypoint")
            gap = max(abs(a - b) for a, b in zip(here["joint"], target))
            return gap < 1e-3, "to %s, at %s, pos %s" % (fmt(target, 2), fmt(here["joint"]),
                                                          fmt(here["pos"]))
        return action
    steps.run("joint move", move("move_joint", HOME))
    for target in JOINT_TARGETS:
        steps.run("joint move", move("move_joint", target))
    for target in LINE_TARGETS:
        steps.run("line move", move("move_line", target))

    def track():
        expect_code(lib.remove_all_waypoint(h), "remove_all_waypoint")
        for point in TRACK:
            expect_code(lib.add_waypoint(h, point), "add_waypoint")
        expect_code(lib.set_blend_radius(h, 0.02), "set_blend_radius")
        expect_code(lib.set_circular_loop_times(h, 1), "set_circular_loop_times")
        expect_code(lib.move_track(h, CARTESIAN_MOVEP), "move_track")
        here = value(lib.get_current_waypoint(h), "get_current_waypoint")
        gap = max(abs(a - b) for a, b in zip(here["joint"], TRACK[-1]))
        return gap < 1e-3, "%d waypoints, blend 0.02 m, ends at %s" % (len(TRACK),
                                                                        fmt(here["joint"]))
    steps.run("track move", track)

    def board_io():
        outputs = value(lib.get_board_io_config(h, USER_DO), "get_board_io_config")
        inputs = value(lib.get_board_io_config(h, USER_DI), "get_board_io_config")
        out, inp = outputs[0]["name"], inputs[0]["name"]
        result, trace = printed_by(lib.set_board_io_status, h, USER_DO, out, 1.0)
        expect_code(result, "set_board_io_status")
        written = value(lib.get_board_io_status(h, USER_DO, out), "get_board_io_status")
        read = value(lib.get_board_io_status(h, USER_DI, inp), "get_board_io_status")
        return written == 1.0, ("%d user outputs, %d inputs; %s := 1 reads %.0f, %s reads %.0f; "
                                "library trace %r" % (len(outputs), len(inputs), out, written,
                                                      inp, read, trace))
    steps.run("board IO", board_io)

    def tool_io():
        expect_code(lib.set_tool_power_type(h, TOOL_POWER_24V), "set_tool_power_type")
        power = value(lib.get_tool_power_type(h), "get_tool_power_type")
        volts = value(lib.get_tool_power_voltage(h), "get_tool_power_voltage")
        expect_code(lib.set_tool_io_type(h, TOOL_IO_0, TOOL_IO_OUT), "set_tool_io_type")
        expect_code(lib.set_tool_do_status(h, "T_DI/O_00", 1), "set_tool_do_status")
        status = value(lib.get_tool_io_status(h, "T_DI/O_00"), "get_tool_io_status")
        return power == TOOL_POWER_24V and status == 1.0, (
            "power type %d at %.1f V, T_DI/O_00 output := 1 reads %.0f" % (power, volts, status))
    steps.run("tool IO", tool_io)

    def kinematics():
        joints = JOINT_TARGETS[0]
        fk = value(lib.forward_kin(h, joints), "forward_kin")
        ik = value(lib.inverse_kin(h, HOME, fk["pos"], fk["ori"]), "inverse_kin")
        back = value(lib.forward_kin(h, ik["joint"]), "forward_kin")
        pos_gap = max(abs(a - b) for a, b in zip(back["pos"], fk["pos"]))
        # q and -q are one rotation
        ori_gap = min(max(abs(a - b) for a, b in zip(back["ori"], fk["ori"])),
                      max(abs(a + b) for a, b in zip(back["ori"], fk["ori"])))
        joint_gap = max(abs(a - b) for a, b in zip(ik["joint"], joints))
        return pos_gap < 1e-6 and ori_gap < 1e-6, (
            "fk%s = pos %s ori %s; ik gives %s (joint gap %.1e), pose gap %.1e m %.1e"
            % (fmt(joints, 2), fmt(fk["pos"]), fmt(fk["ori"]), fmt(ik["joint"]), joint_gap,
               pos_gap, ori_gap))
    steps.run("forward + inverse kin", kinematics)

    def shutdown():
        expect_code(lib.robot_shutdown(h), "robot_shutdown")
        return True, "arm powered down"
    steps.run("robot shutdown", shutdown)

    def logout():
        expect_code(lib.logout(h), "logout")
        return lib.get_login_status(h) == 0, "login status %d" % lib.get_login_status(h)
    steps.run("logout", logout)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8899)
    args = parser.parse_args()

    steps = Steps()
    status = 0
    expect_code(lib.initialize(), "initialize")
    h = lib.create_context()
    try:
        steps.run("create context", lambda: (h is not None, "handle %r" % h))
        steps.run("event callback", lambda: (
            lib.set_robot_event_callback(h, on_event) == 0, "robot events print below"))
        demo(h, args.host, args.port, steps)
    except Failed as failure:
        say("demo stopped at: %s" % failure)
        status = 1
    finally:
        if h is not None:
            lib.logout(h)
            lib.destory_context(h)
        # Also ends the event thread once the events still queued are printed.
        lib.uninitialize()
    say("demo %s after %d steps" % ("passed" if status == 0 else "FAILED", steps.count))
    return status


if __name__ == "__main__":
    sys.exit(main())
