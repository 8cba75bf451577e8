"""Dictionaries and tuples in, dictionaries and lists out."""
import copy

import pytest

from conftest import DYNAMICS, FRAME, JOINTS, TOOL, child, lib, wait_child


def frame_with(path, value):
    """FRAME with the entry at path replaced by value, or removed when value is None."""
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
    (frame_with(["calibrate_method"], 7), None),  # the last method accepted
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
def test_user_frame_conversion(robot, trace, frame, message):
    assert lib.set_user_coord(robot, frame) == (None if message else 0)
    assert message is None or trace.has("ERROR", message)
    assert trace.has("ERROR", "parameters error") == bool(message)


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


def test_offline_track_conversion(robot, trace):
    assert lib.append_offline_track_waypoint(robot, ()) is None
    assert not trace.has("ERROR", "offline track waypoint parameters invalid!")
    assert lib.append_offline_track_waypoint(robot, (JOINTS, JOINTS[:5])) is None
    assert trace.has("ERROR", "offline track waypoint parameters invalid!")
    assert lib.append_offline_track_waypoint(robot, [JOINTS]) is None
    assert lib.clear_offline_track(robot) == 0
    assert lib.append_offline_track_waypoint(robot, (JOINTS,)) == 0


def test_frame_conversions_mark_the_frame_whatever_type_the_dict_says(robot):
    fk = lib.forward_kin(robot, JOINTS)
    pos, ori = tuple(fk["pos"]), tuple(fk["ori"])
    for convert in (lib.base_to_user, lib.user_to_base):
        results = [convert(robot, pos, ori, frame_with(["coord_type"], kind), TOOL)
                   for kind in (0, 1, 2)]
        assert results[0] is not None and results == [results[0]] * 3, convert


# A number whose conversion replaces an entry that is being read (the tuple itself, or the
# dictionary holding it) and lets new objects take the freed memory.
REPLACED_WHILE_READ = r"""
import copy
from conftest import DYNAMICS, FRAME, TOOL, Controller, lib, open_context

class Evil:
    def __init__(self, holder, key):
        self.holder, self.key = holder, key

    def __float__(self):
        global churn
        self.holder[self.key] = None
        churn = [(str(i), {}, i) for i in range(100)]
        return 1.0

def poisoned(record, tuple_path, replaced_path):
    record = copy.deepcopy(record)
    def parent(path):
        target = record
        for key in path[:-1]:
            target = target[key]
        return target
    group = parent(tuple_path)
    evil = Evil(parent(replaced_path), replaced_path[-1])
    group[tuple_path[-1]] = (evil,) + group[tuple_path[-1]][1:]
    return record

sim = Controller()
try:
    h = open_context(sim.port)
    for name, record, tuple_path, replaced_path in [
            ("set_tool_kinematics_param", TOOL, ["pos"], ["pos"]),
            ("set_tool_dynamics_param", DYNAMICS, ["position"], ["position"]),
            ("set_user_coord", FRAME, ["calibrate_points", "point1"], ["calibrate_points"]),
            ("set_user_coord", FRAME, ["tool_desc", "pos"], ["tool_desc"])]:
        print("result:", name, getattr(lib, name)(h, poisoned(record, tuple_path, replaced_path)))
    print("result: read back", lib.get_tool_kinematics_param(h)["pos"])
    lib.uninitialize()
finally:
    sim.stop()
"""


def test_an_entry_replaced_while_it_is_read_is_read_whole():
    rc, results, err = wait_child(child(REPLACED_WHILE_READ))
    assert rc == 0, err[-2000:]
    assert results == [
        "set_tool_kinematics_param 0", "set_tool_dynamics_param 0", "set_user_coord 0",
        "set_user_coord 0", "read back %s" % ([1.0] + list(TOOL["pos"][1:]))]
