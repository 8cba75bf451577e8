"""Dictionaries and tuples in, dictionaries and lists out."""
import copy

import pytest

from conftest import lib
from test_methods import DYNAMICS, FRAME, JOINTS, TOOL


def frame_with(path, value):
    frame = copy.deepcopy(FRAME)
    target = frame
    for key in path[:-1]:
        target = target[key]
    if value is None:
        del target[path[-1]]
    else:
        target[path[-1]] = value
    return frame


def without(record, key):
    return {k: v for k, v in record.items() if k != key}


@pytest.mark.parametrize("frame, message", [
    (frame_with(["coord_type"], None), "no found coord_type param!"),
    (frame_with(["coord_type"], 3), "user_coord.coord_type invalid"),
    (frame_with(["coord_type"], "2"), "user_coord.coord_type invalid"),
    (frame_with(["calibrate_method"], None), "no found calibrate_method param!"),
    (frame_with(["calibrate_method"], 8), "user_coord.method invalid"),
    (frame_with(["calibrate_method"], -1), "user_coord.method invalid"),
    (frame_with(["calibrate_points"], None), "no found calibrate_points param!"),
    (frame_with(["calibrate_points", "point1"], None), "calibrate_points.point1 invalid!"),
    (frame_with(["calibrate_points", "point2"], list(JOINTS)), "calibrate_points.point2 invalid!"),
    (frame_with(["calibrate_points", "point3"], JOINTS[:5]), "calibrate_points.point3 invalid!"),
    (frame_with(["calibrate_points", "point3"], ("a",) * 6), "calibrate_points.point3 invalid!"),
    (frame_with(["calibrate_points"], (JOINTS,) * 3), "calibrate_points.point1 invalid!"),
    (frame_with(["tool_desc"], None), "no found tool_desc param!"),
    (frame_with(["tool_desc", "pos"], [0.0, 0.0, 0.0]), "calibrate_points.tool_desc.pos invalid!"),
    (frame_with(["tool_desc", "ori"], (1.0, 0.0, 0.0)), "calibrate_points.tool_desc.ori invalid!"),
])
def test_user_frame_that_does_not_convert(robot, trace, frame, message):
    assert lib.set_user_coord(robot, frame) is None
    assert trace.has("ERROR", message)
    assert trace.has("ERROR", "parameters error")


def test_user_frame_method_7_is_the_last_accepted(robot):
    assert lib.set_user_coord(robot, frame_with(["calibrate_method"], 7)) == 0


@pytest.mark.parametrize("tool, message", [
    (without(TOOL, "pos"), "no found tool desc pos param!"),
    (dict(TOOL, pos=[0.1, 0.2, 0.3]), "tool desc pos parameters invalid!"),
    (dict(TOOL, pos=(0.1, 0.2)), "tool desc pos parameters invalid!"),
    (dict(TOOL, pos=(0.1, None, 0.3)), "tool desc pos parameters invalid!"),
    (without(TOOL, "ori"), "no found tool desc oir param!"),
    (dict(TOOL, ori=(1.0, 0.0, 0.0, 0.0, 0.0)), "tool desc ori parameters invalid!"),
])
def test_tool_that_does_not_convert(robot, trace, tool, message):
    assert lib.set_tool_kinematics_param(robot, tool) is None
    assert trace.has("ERROR", message)


@pytest.mark.parametrize("dynamics, message", [
    (without(DYNAMICS, "payload"), "no found payload param!"),
    (dict(DYNAMICS, payload="heavy"), "payload parameters invalid!"),
    (without(DYNAMICS, "position"), "no found tool position param!"),
    (dict(DYNAMICS, position=[0.0, 0.0, 0.0]), "tool position parameters invalid!"),
    (without(DYNAMICS, "inertia"), "no found tool inertia param!"),
    (dict(DYNAMICS, inertia=(0.0,) * 5), "tool inertia parameters invalid!"),
])
def test_tool_dynamics_that_do_not_convert(robot, trace, dynamics, message):
    assert lib.set_tool_dynamics_param(robot, dynamics) is None
    assert lib.robot_startup(robot, 6, dynamics) is None
    assert trace.has("ERROR", message)


def test_tool_orientation_is_read_scalar_first(robot):
    assert lib.set_tool_kinematics_param(robot, {"pos": (1, 2, 3), "ori": (1, 0, 0, 0.5)}) == 0
    assert lib.get_tool_kinematics_param(robot) == {
        "ori": [1.0, 0.0, 0.0, 0.5], "pos": [1.0, 2.0, 3.0]}


def test_a_returned_tool_cannot_be_passed_back(robot, trace):
    assert lib.set_tool_kinematics_param(robot, TOOL) == 0
    returned = lib.get_tool_kinematics_param(robot)
    assert lib.set_tool_kinematics_param(robot, returned) is None
    assert trace.has("ERROR", "tool desc pos parameters invalid!")


def test_offline_track_conversion(robot, trace):
    assert lib.append_offline_track_waypoint(robot, ()) is None
    assert not trace.has("ERROR", "offline track waypoint parameters invalid!")
    assert lib.append_offline_track_waypoint(robot, (JOINTS, JOINTS[:5])) is None
    assert trace.has("ERROR", "offline track waypoint parameters invalid!")
    assert lib.append_offline_track_waypoint(robot, [JOINTS]) is None
    assert lib.clear_offline_track(robot) == 0
    assert lib.append_offline_track_waypoint(robot, (JOINTS,)) == 0


def test_frame_marks_before_frame_conversions(robot):
    fk = lib.forward_kin(robot, JOINTS)
    pos, ori = tuple(fk["pos"]), tuple(fk["ori"])
    # The frame dict says base; base_to_user still converts into the taught frame.
    base_frame = frame_with(["coord_type"], 0)
    on_user = lib.base_to_user(robot, pos, ori, base_frame, TOOL)
    back = lib.user_to_base(robot, tuple(on_user["pos"]), tuple(on_user["ori"]), FRAME, TOOL)
    assert on_user is not None and back is not None
    assert all(isinstance(v, float) for v in on_user["pos"] + back["pos"])


def test_joint_status_layout(robot):
    status = lib.get_joint_status(robot)
    assert list(status) == ["joint%d" % i for i in range(1, 7)]
    for joint in status.values():
        assert list(joint) == ["current", "voltage", "temperature"]
        assert isinstance(joint["current"], int)
        assert isinstance(joint["voltage"], float) and isinstance(joint["temperature"], float)


def test_board_io_descriptions(robot):
    config = lib.get_board_io_config(robot, 0)
    assert [io["name"] for io in config[:2]] == ["CI00", "CI01"]
    assert len(config) == 30
    for io in config:
        assert list(io) == ["id", "name", "addr", "type", "value"]
        assert io["id"] == io["name"] and io["type"] == 0 and io["value"] == -1.0


def test_diagnosis_dictionary(robot):
    diagnosis = lib.get_diagnosis_info(robot)
    assert diagnosis["robotMaxAcc"] == 6000
    assert diagnosis["contorllerTemp"] == 35
    assert diagnosis["contorllerHumidity"] == 40
    assert isinstance(diagnosis["armPowerVoltage"], float)
    assert diagnosis["brakeStuats"] in (0, 1)
