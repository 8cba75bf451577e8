"""Every method of the module against the controller counterpart, and argument errors."""
import math
import os
import random
import re

import pytest

from conftest import BUILD, DYNAMICS, FRAME, JOINTS, JOINTS2, TOOL, child, lib, wait_child

EVENT_METHODS = {"initialize", "uninitialize", "set_robot_event_callback"}  # test_events.py
LIFECYCLE = {"create_context", "destory_context", "login", "logout"}
HALF = math.sqrt(0.5)


def is_code(value):
    return isinstance(value, int) and not isinstance(value, bool)


def floats(value, count):
    return isinstance(value, list) and len(value) == count and all(
        isinstance(item, float) for item in value)


def close(actual, expected, tolerance=1e-6):
    return all(abs(a - b) <= tolerance for a, b in zip(actual, expected))


def is_pose(value):
    return list(value) == ["ori", "pos"] and floats(value["ori"], 4) and floats(value["pos"], 3)


def is_waypoint(value, joints=None, tolerance=1e-6):
    return (list(value) == ["joint", "ori", "pos"] and floats(value["joint"], 6)
            and is_pose({"ori": value["ori"], "pos": value["pos"]})
            and (joints is None or close(value["joint"], joints, tolerance)))


def is_joint_status(value):
    return list(value) == ["joint%d" % i for i in range(1, 7)] and all(
        list(joint) == ["current", "voltage", "temperature"] and is_code(joint["current"])
        and isinstance(joint["voltage"], float) and isinstance(joint["temperature"], float)
        for joint in value.values())


def is_board_io_config(value):
    return [io["name"] for io in value[:2]] == ["CI00", "CI01"] and len(value) == 30 and all(
        list(io) == ["id", "name", "addr", "type", "value"] and io["id"] == io["name"]
        and io["type"] == 0 and io["value"] == -1.0 for io in value)


def is_diagnosis(value):
    return (len(value) == 29 and value["robotMaxAcc"] == 6000 and value["contorllerTemp"] == 35
            and value["contorllerHumidity"] == 40 and value["brakeStuats"] in (0, 1)
            and isinstance(value["armPowerVoltage"], float))


def track_file():
    with open("track.txt", "w") as track:
        track.write("0.1,0.2,-0.3,0.1,0.2,0.0\n0.12,0.22,-0.28,0.1,0.2,0.0\n")
    return "track.txt"


def method_table(h):
    """(name, arguments after the handle, expected value or check) in table order."""
    fk = lib.forward_kin(h, JOINTS)
    pos, ori = tuple(fk["pos"]), tuple(fk["ori"])
    return [
        ("get_login_status", (), 1), ("init_global_move_profile", (), 0),
        ("set_joint_maxacc", ((2.0,) * 6,), 0), ("set_joint_maxvelc", ((1.5,) * 6,), 0),
        ("get_joint_maxacc", (), [2.0] * 6), ("get_joint_maxvelc", (), [1.5] * 6),
        ("set_end_max_line_acc", (1.0,), 0), ("set_end_max_line_velc", (0.5,), 0),
        ("get_end_max_line_acc", (), 1.0), ("get_end_max_line_velc", (), 0.5),
        ("set_end_max_angle_acc", (1.0,), 0), ("set_end_max_angle_velc", (0.5,), 0),
        ("get_end_max_angle_acc", (), 1.0), ("get_end_max_angle_velc", (), 0.5),
        ("move_joint", (JOINTS,), 0), ("move_line", (JOINTS2,), 0),
        ("move_rotate", (FRAME, (0.0, 0.0, 1.0), 0.05), is_code), ("remove_all_waypoint", (), 0),
        ("add_waypoint", (JOINTS,), 0), ("add_waypoint", (JOINTS2,), 0),
        ("add_waypoint", ((0.2, 0.3, -0.2, 0.1, 0.2, 0.1),), 0), ("set_blend_radius", (0.02,), 0),
        ("set_circular_loop_times", (2,), 0), ("set_user_coord", (FRAME,), 0),
        ("set_base_coord", (), 0), ("check_user_coord", (FRAME,), is_code),
        ("set_relative_offset_on_base", ((0.0, 0.0, 0.01),), 0),
        ("set_relative_offset_on_user", ((0.0, 0.0, 0.01), FRAME), 0),
        ("set_no_arrival_ahead", (), 0), ("set_arrival_ahead_distance", (0.01,), 0),
        ("set_arrival_ahead_time", (0.1,), 0), ("move_track", (7,), 0),
        ("move_line_to", (3,), 0), ("move_joint_to", (6,), 0), ("clear_offline_track", (), 0),
        ("append_offline_track_waypoint", ((JOINTS, JOINTS2),), 0),
        ("append_offline_track_file", (track_file(),), 0),
        ("startup_offline_track", (), 0), ("stop_offline_track", (), 0),
        ("enter_tcp2canbus_mode", (), 0), ("leave_tcp2canbus_mode", (), 0),
        ("set_waypoint_to_canbus", (JOINTS,), is_code),
        ("startup_excit_traj_track", ("excit.txt", 1, 0), is_code),
        ("get_dynidentify_results", (), lambda v: isinstance(v, list) and all(map(is_code, v))),
        ("forward_kin", (JOINTS,), lambda v: is_waypoint(v, JOINTS)),
        ("inverse_kin", (JOINTS2, pos, ori), lambda v: is_waypoint(v, JOINTS, 1e-4)),
        ("base_to_user", (pos, ori, FRAME, TOOL), is_pose),
        ("user_to_base", (pos, ori, FRAME, TOOL), is_pose),
        ("base_to_base_additional_tool", (pos, ori, TOOL), is_pose),
        ("rpy_to_quaternion", ((0.0, 0.0, math.pi / 2),),
         lambda v: floats(v, 4) and close(v, (HALF, 0.0, 0.0, HALF), 1e-5)),
        ("quaternion_to_rpy", ((HALF, 0.0, 0.0, HALF),),
         lambda v: floats(v, 3) and close(v, (0.0, 0.0, math.pi / 2), 1e-5)),
        ("set_tool_end_param", (TOOL,), 0), ("set_none_tool_dynamics_param", (), 0),
        ("set_tool_dynamics_param", (DYNAMICS,), 0),
        ("get_tool_dynamics_param", (), lambda v: list(v) == ["position", "payload", "inertia"]
         and v["payload"] == 1.5 and close(v["position"], (0.0, 0.0, 0.05))
         and floats(v["inertia"], 6)),
        ("set_none_tool_kinematics_param", (), 0), ("set_tool_kinematics_param", (TOOL,), 0),
        ("get_tool_kinematics_param", (), {"ori": [1.0, 0.0, 0.0, 0.0], "pos": [0.0, 0.0, 0.1]}),
        ("robot_startup", (6, DYNAMICS), 0), ("robot_shutdown", (), 0), ("move_stop", (), 0),
        ("move_pause", (), 0), ("move_continue", (), 0), ("collision_recover", (), 0),
        ("get_robot_state", (), lambda v: v in (0, 1, 2, 3)), ("set_work_mode", (0,), 0),
        ("get_work_mode", (), 0), ("set_collision_class", (3,), 3), ("is_have_real_robot", (), 0),
        ("is_online_mode", (), lambda v: v in (0, 1)),
        ("is_online_master_mode", (), lambda v: v in (0, 1)),
        ("get_joint_status", (), is_joint_status), ("get_current_waypoint", (), is_waypoint),
        ("get_diagnosis_info", (), is_diagnosis), ("get_board_io_config", (0,), is_board_io_config),
        ("get_board_io_config", (5,), lambda v: isinstance(v, list) and len(v) > 0),
        ("set_board_io_status", (5, "U_DO_00", 1.0), 0),
        ("get_board_io_status", (5, "U_DO_00"), 1.0), ("set_tool_power_type", (2,), 0),
        ("get_tool_power_type", (), 2), ("set_tool_io_type", (0, 1), 0),
        ("get_tool_power_voltage", (), 24.0),
        ("get_tool_io_status", ("T_DI/O_00",), lambda v: isinstance(v, float)),
        ("set_tool_do_status", ("T_DI/O_00", 1), 0),
    ]


def all_methods():
    return sorted(name for name in dir(lib) if callable(getattr(lib, name))
                  and not name.startswith("_"))


def test_every_method_gives_its_result_against_the_counterpart(robot):
    table = method_table(robot)
    assert len(all_methods()) == 88
    assert {row[0] for row in table} | EVENT_METHODS | LIFECYCLE == set(all_methods())
    failures = []
    for name, args, expected in table:
        result = getattr(lib, name)(robot, *args)
        if result is None or not (expected(result) if callable(expected) else
                                  type(result) is type(expected) and result == expected):
            failures.append((name, result))
    assert failures == []


def test_module_and_every_method_document_themselves():
    # Each doc string opens with its own call and result, so a row cannot carry its
    # neighbour's text.
    undocumented = [name for name in all_methods() if not re.match(
        r"%s\(.*\) -> .+\n\n\S" % name, getattr(lib, name).__doc__ or "")]
    assert undocumented == []
    assert all(name + "(" in lib.__doc__ for name in ("initialize", "create_context", "login"))
    with open(os.path.join(BUILD, "kezuqxConfigVersion.cmake")) as package_version:
        assert 'set(PACKAGE_VERSION "%s")' % lib.__version__ in package_version.read()


def test_script_in_the_usual_order(controller):
    assert lib.initialize() == 0
    h = lib.create_context()
    assert lib.login(h, "127.0.0.1", controller.port) == 0
    assert lib.get_login_status(h) == 1
    assert lib.move_joint(h, JOINTS) == 0
    assert is_waypoint(lib.get_current_waypoint(h), JOINTS, 1e-3)
    assert (lib.logout(h), lib.get_login_status(h)) == (0, 0)
    assert (lib.destory_context(h), lib.get_login_status(h)) == (0, None)
    assert lib.uninitialize() == 0


def test_login_refused_is_a_code():
    h = lib.create_context()
    try:  # nothing listens on port 1
        assert lib.login(h, "127.0.0.1", 1) not in (0, None)
    finally:
        lib.destory_context(h)


def test_unknown_handles(trace):
    unknown = 32000
    for call, expected in [(lib.destory_context, 0), (lib.logout, 1002),
                           (lib.get_robot_state, None), (lib.get_login_status, None),
                           (lib.is_online_mode, 0), (lib.is_online_master_mode, 1),
                           (lambda h: lib.move_line_to(h, 0), 1002),
                           (lib.get_diagnosis_info, None), (lib.get_dynidentify_results, None)]:
        assert call(unknown) == expected, call
    assert lib.get_joint_status(unknown) is None
    assert trace.has("ERROR", "get joint status failed!")
    assert lib.get_current_waypoint(unknown) is None
    assert trace.has("ERROR", "rs_get_current_waypoint failed!")
    assert lib.forward_kin(unknown, JOINTS) is None
    assert trace.has("ERROR", "parameters error")


def test_33rd_context_is_refused():
    handles = []
    try:
        while len(handles) < 40 and (h := lib.create_context()) is not None:
            handles.append(h)
        assert len(handles) == 32
        lib.destory_context(handles.pop())
        handles.append(lib.create_context())
        assert handles[-1] is not None and handles[-1] > max(handles[:-1])
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
    assert lib.remove_all_waypoint(robot) == 0
    assert all(lib.add_waypoint(robot, JOINTS) == 0 for _ in range(5000))
    assert lib.add_waypoint(robot, JOINTS) == 10022  # the full list takes no more
    assert lib.remove_all_waypoint(robot) == 0


# In a child interpreter, as reading a directory once ended the process.
UNREADABLE_TRACK_FILES = r"""
from conftest import lib, open_context
h = open_context(int(sys.argv[1]))
for path in ("missing.txt", "."):
    print("result:", path, lib.append_offline_track_file(h, path))
lib.uninitialize()
"""


def test_a_directory_as_offline_track_file_is_refused_as_a_missing_file_is(controller):
    rc, results, err = wait_child(child(UNREADABLE_TRACK_FILES, controller.port))
    assert rc == 0, err[-2000:]
    assert results == ["missing.txt 10002", ". 10002"]
    assert err.count("ERROR sdk log: file not exist.") == 2


# Wrong types in every argument position a method reads: None (0 from destory_context) and
# "parameters error" logged, never an exception or a crash.
BAD_ARGUMENTS = [
    (), (None,), ("1",), (1.5,), (40000,), (-40000,), ((1, 2),), ([0],), (0, None),
    (0, "x"), (0, (1.0, 2.0)), (0, [1.0] * 5), (0, {}), (0, ()), (0, 1, None),
    (0, "x", "y"), (0, (0.0,) * 6, None), (0, 1, "x", None), (0, None, 1), (0, {}, {}),
]
NO_ARGUMENTS = {"initialize", "uninitialize", "create_context"}


def call_catching(name, args):
    try:
        return getattr(lib, name)(*args)
    except Exception as error:  # noqa: BLE001 - any exception is the failure being looked for
        return error


def test_wrong_argument_types_give_none_and_log(trace):
    names = set(all_methods()) - NO_ARGUMENTS - {"set_robot_event_callback"}
    refused = [(name, args, result) for name in sorted(names) for args in BAD_ARGUMENTS
               if (name, args) != ("append_offline_track_file", (0, "x"))  # well-formed
               and (result := call_catching(name, args)) is not None
               and not (name == "destory_context" and result == 0)]
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
    blocking = {"move_joint", "move_line", "move_rotate", "move_track", "move_line_to",
                "move_joint_to", "robot_startup", "robot_shutdown", "startup_offline_track",
                "startup_excit_traj_track", "set_robot_event_callback"}
    names = sorted(set(all_methods()) - NO_ARGUMENTS - LIFECYCLE - blocking)
    for _ in range(3000):
        name = rng.choice(names)
        args = tuple(rng.choice(values) for _ in range(rng.randint(0, 5)))
        result = call_catching(name, args)
        assert not isinstance(result, Exception), (name, args, result)
    assert lib.get_login_status(robot) == 1
