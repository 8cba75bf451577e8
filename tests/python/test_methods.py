"""Every method of the module against the controller counterpart, and argument errors."""
import math
import os
import random

import pytest

from conftest import lib, open_context, close_context

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

# Methods tested in test_events.py.
EVENT_METHODS = {"initialize", "uninitialize", "set_robot_event_callback"}
LIFECYCLE = {"create_context", "destory_context", "login", "logout"}


def is_code(value):
    return isinstance(value, int) and not isinstance(value, bool)


def floats(value, count):
    return isinstance(value, list) and len(value) == count and all(
        isinstance(item, float) for item in value)


def close(actual, expected, tolerance=1e-6):
    return all(abs(a - b) <= tolerance for a, b in zip(actual, expected))


def is_waypoint(value):
    return (isinstance(value, dict) and list(value) == ["joint", "ori", "pos"]
            and floats(value["joint"], 6) and floats(value["ori"], 4) and floats(value["pos"], 3))


def is_pose(value):
    return isinstance(value, dict) and list(value) == ["ori", "pos"] and floats(
        value["ori"], 4) and floats(value["pos"], 3)


def equals(expected):
    return lambda value: value == expected


def track_file():
    path = os.path.abspath("track.txt")
    with open(path, "w") as track:
        track.write("0.1,0.2,-0.3,0.1,0.2,0.0\n0.12,0.22,-0.28,0.1,0.2,0.0\n")
    return path


def method_table(h):
    """(name, arguments, check of the result) in the order of the method table."""
    fk = lib.forward_kin(h, JOINTS)
    pos, ori = tuple(fk["pos"]), tuple(fk["ori"])
    return [
        ("get_login_status", (h,), equals(1)),
        ("init_global_move_profile", (h,), equals(0)),
        ("set_joint_maxacc", (h, (2.0,) * 6), equals(0)),
        ("set_joint_maxvelc", (h, (1.5,) * 6), equals(0)),
        ("get_joint_maxacc", (h,), lambda v: floats(v, 6) and close(v, (2.0,) * 6)),
        ("get_joint_maxvelc", (h,), lambda v: floats(v, 6) and close(v, (1.5,) * 6)),
        ("set_end_max_line_acc", (h, 1.0), equals(0)),
        ("set_end_max_line_velc", (h, 0.5), equals(0)),
        ("get_end_max_line_acc", (h,), equals(1.0)),
        ("get_end_max_line_velc", (h,), equals(0.5)),
        ("set_end_max_angle_acc", (h, 1.0), equals(0)),
        ("set_end_max_angle_velc", (h, 0.5), equals(0)),
        ("get_end_max_angle_acc", (h,), equals(1.0)),
        ("get_end_max_angle_velc", (h,), equals(0.5)),
        ("move_joint", (h, JOINTS), equals(0)),
        ("move_line", (h, JOINTS2), equals(0)),
        ("move_rotate", (h, FRAME, (0.0, 0.0, 1.0), 0.05), is_code),
        ("remove_all_waypoint", (h,), equals(0)),
        ("add_waypoint", (h, JOINTS), equals(0)),
        ("add_waypoint", (h, JOINTS2), equals(0)),
        ("add_waypoint", (h, (0.2, 0.3, -0.2, 0.1, 0.2, 0.1)), equals(0)),
        ("set_blend_radius", (h, 0.02), equals(0)),
        ("set_circular_loop_times", (h, 2), equals(0)),
        ("set_user_coord", (h, FRAME), equals(0)),
        ("set_base_coord", (h,), equals(0)),
        ("check_user_coord", (h, FRAME), is_code),
        ("set_relative_offset_on_base", (h, (0.0, 0.0, 0.01)), equals(0)),
        ("set_relative_offset_on_user", (h, (0.0, 0.0, 0.01), FRAME), equals(0)),
        ("set_no_arrival_ahead", (h,), equals(0)),
        ("set_arrival_ahead_distance", (h, 0.01), equals(0)),
        ("set_arrival_ahead_time", (h, 0.1), equals(0)),
        ("move_track", (h, 7), equals(0)),
        ("move_line_to", (h, 3), equals(0)),
        ("move_joint_to", (h, 6), equals(0)),
        ("clear_offline_track", (h,), equals(0)),
        ("append_offline_track_waypoint", (h, (JOINTS, JOINTS2)), equals(0)),
        ("append_offline_track_file", (h, track_file()), equals(0)),
        ("startup_offline_track", (h,), equals(0)),
        ("stop_offline_track", (h,), equals(0)),
        ("enter_tcp2canbus_mode", (h,), equals(0)),
        ("leave_tcp2canbus_mode", (h,), equals(0)),
        ("set_waypoint_to_canbus", (h, JOINTS), is_code),
        ("startup_excit_traj_track", (h, "excit.txt", 1, 0), is_code),
        ("get_dynidentify_results", (h,), lambda v: isinstance(v, list) and all(
            is_code(item) for item in v)),
        ("forward_kin", (h, JOINTS), lambda v: is_waypoint(v) and close(v["joint"], JOINTS)),
        ("inverse_kin", (h, JOINTS2, pos, ori),
         lambda v: is_waypoint(v) and close(v["joint"], JOINTS, 1e-4)),
        ("base_to_user", (h, pos, ori, FRAME, TOOL), is_pose),
        ("user_to_base", (h, pos, ori, FRAME, TOOL), is_pose),
        ("base_to_base_additional_tool", (h, pos, ori, TOOL), is_pose),
        ("rpy_to_quaternion", (h, (0.0, 0.0, math.pi / 2)),
         lambda v: floats(v, 4) and close(v, (math.sqrt(0.5), 0.0, 0.0, math.sqrt(0.5)), 1e-5)),
        ("quaternion_to_rpy", (h, (math.sqrt(0.5), 0.0, 0.0, math.sqrt(0.5))),
         lambda v: floats(v, 3) and close(v, (0.0, 0.0, math.pi / 2), 1e-5)),
        ("set_tool_end_param", (h, TOOL), equals(0)),
        ("set_none_tool_dynamics_param", (h,), equals(0)),
        ("set_tool_dynamics_param", (h, DYNAMICS), equals(0)),
        ("get_tool_dynamics_param", (h,), lambda v: list(v) == ["position", "payload", "inertia"]
         and v["payload"] == 1.5 and close(v["position"], (0.0, 0.0, 0.05)) and floats(
             v["inertia"], 6)),
        ("set_none_tool_kinematics_param", (h,), equals(0)),
        ("set_tool_kinematics_param", (h, TOOL), equals(0)),
        ("get_tool_kinematics_param", (h,), equals(
            {"ori": [1.0, 0.0, 0.0, 0.0], "pos": [0.0, 0.0, 0.1]})),
        ("robot_startup", (h, 6, DYNAMICS), equals(0)),
        ("robot_shutdown", (h,), equals(0)),
        ("move_stop", (h,), equals(0)),
        ("move_pause", (h,), equals(0)),
        ("move_continue", (h,), equals(0)),
        ("collision_recover", (h,), equals(0)),
        ("get_robot_state", (h,), lambda v: v in (0, 1, 2, 3)),
        ("set_work_mode", (h, 0), equals(0)),
        ("get_work_mode", (h,), equals(0)),
        ("set_collision_class", (h, 3), equals(3)),
        ("is_have_real_robot", (h,), equals(0)),
        ("is_online_mode", (h,), lambda v: v in (0, 1)),
        ("is_online_master_mode", (h,), lambda v: v in (0, 1)),
        ("get_joint_status", (h,), lambda v: list(v) == ["joint%d" % i for i in range(1, 7)]),
        ("get_current_waypoint", (h,), is_waypoint),
        ("get_diagnosis_info", (h,), lambda v: isinstance(v, dict) and v["robotMaxAcc"] == 6000
         and len(v) == 29),
        ("get_board_io_config", (h, 5), lambda v: isinstance(v, list) and len(v) > 0),
        ("set_board_io_status", (h, 5, "U_DO_00", 1.0), equals(0)),
        ("get_board_io_status", (h, 5, "U_DO_00"), equals(1.0)),
        ("set_tool_power_type", (h, 2), equals(0)),
        ("get_tool_power_type", (h,), equals(2)),
        ("set_tool_io_type", (h, 0, 1), equals(0)),
        ("get_tool_power_voltage", (h,), equals(24.0)),
        ("get_tool_io_status", (h, "T_DI/O_00"), lambda v: isinstance(v, float)),
        ("set_tool_do_status", (h, "T_DI/O_00", 1), equals(0)),
    ]


def all_methods():
    return sorted(name for name in dir(lib) if callable(getattr(lib, name))
                  and not name.startswith("_"))


def test_module_has_the_88_methods_and_the_tables_cover_them(robot):
    table = {row[0] for row in method_table(robot)}
    assert len(all_methods()) == 88
    assert table | EVENT_METHODS | LIFECYCLE == set(all_methods())


def test_every_method_gives_its_result_against_the_counterpart(robot):
    failures = []
    for name, args, check in method_table(robot):
        result = getattr(lib, name)(*args)
        if not check(result):
            failures.append((name, result))
    assert failures == []


def test_script_in_the_usual_order(controller):
    assert lib.initialize() == 0
    h = lib.create_context()
    assert lib.login(h, "127.0.0.1", controller.port) == 0
    assert lib.get_login_status(h) == 1
    assert lib.move_joint(h, JOINTS) == 0
    assert close(lib.get_current_waypoint(h)["joint"], JOINTS, 1e-3)
    assert lib.logout(h) == 0
    assert lib.get_login_status(h) == 0
    assert lib.destory_context(h) == 0
    assert lib.get_login_status(h) is None
    assert lib.uninitialize() == 0


def test_login_refused_without_a_controller_is_a_code(controller):
    h = lib.create_context()
    try:
        # The counterpart listens on one port; one below it is (almost surely) closed.
        assert lib.login(h, "127.0.0.1", 1) not in (0, None)
    finally:
        lib.destory_context(h)


def test_unknown_handles(trace):
    unknown = 32000
    assert lib.destory_context(unknown) == 0
    assert lib.logout(unknown) == 1002
    assert lib.get_robot_state(unknown) is None
    assert lib.get_login_status(unknown) is None
    assert lib.is_online_mode(unknown) == 0
    assert lib.is_online_master_mode(unknown) == 1
    assert lib.move_line_to(unknown, 0) == 1002
    assert lib.get_diagnosis_info(unknown) is None
    assert lib.get_joint_status(unknown) is None
    assert trace.has("ERROR", "get joint status failed!")
    assert lib.get_current_waypoint(unknown) is None
    assert trace.has("ERROR", "rs_get_current_waypoint failed!")
    assert lib.forward_kin(unknown, JOINTS) is None
    assert trace.has("ERROR", "parameters error")
    assert lib.get_dynidentify_results(unknown) is None


def test_33rd_context_is_refused():
    handles = []
    try:
        while len(handles) < 40:
            h = lib.create_context()
            if h is None:
                break
            handles.append(h)
        assert len(handles) == 32
        lib.destory_context(handles.pop())
        again = lib.create_context()
        assert again is not None and again > max(handles)
        handles.append(again)
    finally:
        for h in handles:
            lib.destory_context(h)


@pytest.mark.parametrize("call, message", [
    (lambda h: lib.move_track(h, 0), "invalid parameters!"),
    (lambda h: lib.set_work_mode(h, 2), "invalid parameter!"),
    (lambda h: lib.set_tool_power_type(h, 3), "invalid parameters!"),
    (lambda h: lib.set_tool_power_type(h, -1), "invalid parameters!"),
    (lambda h: lib.get_board_io_config(h, 8), "io type parameters error!"),
    (lambda h: lib.get_board_io_config(h, -1), "io type parameters error!"),
    (lambda h: lib.move_rotate(h, {}, (0.0, 0.0, 1.0), 0.1), "move rotate parameters error!"),
])
def test_out_of_range_values_log_and_give_none(robot, trace, call, message):
    assert call(robot) is None
    assert trace.has("ERROR", message)


def test_range_checks_of_the_procedural_layer_pass_through(robot):
    assert lib.set_blend_radius(robot, 0.001) == 1003
    assert lib.set_blend_radius(robot, 0.05) == 0
    assert lib.set_circular_loop_times(robot, 0) == 1003
    assert lib.set_circular_loop_times(robot, 1000) == 0
    assert lib.append_offline_track_waypoint(robot, (JOINTS,) * 3001) == 1003


# Wrong types for every argument position a method reads; each must give None (0 for the
# event registration) and log "parameters error", never raise or crash.
BAD_ARGUMENTS = [
    (), (None,), ("1",), (1.5,), (40000,), (-40000,), ((1, 2),), ([0],), (0, None),
    (0, "x"), (0, (1.0, 2.0)), (0, [1.0] * 5), (0, {}), (0, ()), (0, 1, None),
    (0, "x", "y"), (0, (0.0,) * 6, None), (0, 1, "x", None), (0, None, 1), (0, {}, {}),
]

NO_ARGUMENTS = {"initialize", "uninitialize", "create_context"}
# Rows of BAD_ARGUMENTS that happen to be well-formed for a method.
WELL_FORMED = [("append_offline_track_file", (0, "x"))]


def bad_call_result(name, args):
    try:
        return getattr(lib, name)(*args)
    except Exception as error:  # noqa: BLE001 - any exception is the failure being looked for
        return error


def test_wrong_argument_types_give_none_and_log(trace):
    refused = []
    for name in all_methods():
        if name in NO_ARGUMENTS or name == "set_robot_event_callback":
            continue
        for args in BAD_ARGUMENTS:
            if (name, args) in WELL_FORMED:
                continue
            result = bad_call_result(name, args)
            if result is not None and not (name == "destory_context" and result == 0):
                refused.append((name, args, result))
    assert refused == []
    assert trace.count("parameters error") > 0
    assert lib.set_robot_event_callback("x", print) == 0
    assert lib.set_robot_event_callback() == 0


def test_parse_failures_log_parameters_error_except_set_joint_maxvelc(trace):
    assert lib.set_joint_maxacc(0, (1.0,)) is None
    assert trace.count("parameters error") == 1
    assert lib.set_joint_maxvelc(0, (1.0,)) is None
    assert trace.count("parameters error") == 1
    assert lib.login(0, "127.0.0.1", "80") is None
    assert lib.logout(40000) is None
    assert trace.count("parameters error") == 3


def test_random_wrong_calls_never_crash(robot):
    rng = random.Random(7)
    values = [None, "x", 1, -1, 1.5, (), (1.0,) * 6, [1.0] * 6, {}, DYNAMICS, TOOL, FRAME,
              (JOINTS,), 2 ** 40, robot, "\udcff"]
    names = [n for n in all_methods() if n not in NO_ARGUMENTS and n not in (
        "move_joint", "move_line", "move_rotate", "move_track", "move_line_to", "move_joint_to",
        "robot_startup", "robot_shutdown", "startup_offline_track", "startup_excit_traj_track",
        "set_robot_event_callback", "login", "logout", "destory_context")]
    for _ in range(3000):
        name = rng.choice(names)
        args = tuple(rng.choice(values) for _ in range(rng.randint(0, 5)))
        result = bad_call_result(name, args)
        assert not isinstance(result, Exception), (name, args, result)
    assert lib.get_login_status(robot) == 1
