#include "pykezuqxcompat.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "globalutil.h"
#include "pykezuqxblocking.h"
#include "pykezuqxconvert.h"
#include "pykezuqxevent.h"
#include "rsrobotcontrol.h"

using namespace kezu_robot_namespace;
using kezu_robot_logtrace::W_ERROR;

// Each method parses its arguments, calls one rs_* function and turns the result into a
// Python value. Every rs_* call runs without the interpreter lock (arguments are converted
// before, results built after), so other Python threads, a stop button among them, and the
// robot-event thread run while a call talks to the controller or a move blocks.

namespace {

enum { kBoardIoTypeLast = RobotBoardUserAO, kBoardMaxAcc = 6000 };

template <typename Call>
auto withoutGil(Call call) -> decltype(call()) {
    PyThreadState *state = PyEval_SaveThread();
    auto result = call();
    PyEval_RestoreThread(state);
    return result;
}

// Python 3 refuses a result returned while an error is set, so the parser's error is cleared.
PyObject *parametersError() {
    W_ERROR("parameters error");
    PyErr_Clear();
    Py_RETURN_NONE;
}

PyObject *failedWith(const char *message) {
    W_ERROR("%s", message);
    Py_RETURN_NONE;
}

PyObject *none() { Py_RETURN_NONE; }

PyObject *code(int rc) { return PyInt_FromLong(rc); }

// The code of a call that can block for long, or null when a signal handler raised during it.
PyObject *blockingCode(RSHD rshd, BlockingKind kind, const std::function<int()> &call) {
    int rc = 0;
    return run_blocking(rshd, kind, call, rc) ? code(rc) : nullptr;
}

bool parseHandle(PyObject *args, RSHD &rshd) {
    short handle = 0;
    if (!PyArg_ParseTuple(args, "h", &handle)) {
        return false;
    }
    rshd = static_cast<RSHD>(handle);
    return true;
}

struct Joints {
    short handle = 0;
    double radian[ARM_DOF] = {};
    RSHD rshd() const { return static_cast<RSHD>(handle); }
};

bool parseJoints(PyObject *args, Joints &joints) {
    double *j = joints.radian;
    return PyArg_ParseTuple(args, "h(dddddd)", &joints.handle, &j[0], &j[1], &j[2], &j[3], &j[4],
                            &j[5]) != 0;
}

PyObject *handleCode(PyObject *args, int (*call)(RSHD)) {
    RSHD rshd = 0;
    if (!parseHandle(args, rshd)) {
        return parametersError();
    }
    return code(withoutGil([&] { return call(rshd); }));
}

PyObject *handleBlockingCode(PyObject *args, int (*call)(RSHD), BlockingKind kind) {
    RSHD rshd = 0;
    if (!parseHandle(args, rshd)) {
        return parametersError();
    }
    return blockingCode(rshd, kind, [&] { return call(rshd); });
}

PyObject *handleDoubleCode(PyObject *args, int (*call)(RSHD, double)) {
    short handle = 0;
    double value = 0.0;
    if (!PyArg_ParseTuple(args, "hd", &handle, &value)) {
        return parametersError();
    }
    return code(withoutGil([&] { return call(static_cast<RSHD>(handle), value); }));
}

// "hi" methods; a value outside [low, high] logs the message and gives None.
template <typename Value>
PyObject *handleIntCode(PyObject *args, int (*call)(RSHD, Value), int low = INT_MIN,
                        int high = INT_MAX, const char *outOfRange = nullptr) {
    short handle = 0;
    int value = 0;
    if (!PyArg_ParseTuple(args, "hi", &handle, &value)) {
        return parametersError();
    }
    if (value < low || value > high) {
        return failedWith(outOfRange);
    }
    return code(
        withoutGil([&] { return call(static_cast<RSHD>(handle), static_cast<Value>(value)); }));
}

PyObject *jointsCode(PyObject *args, int (*call)(RSHD, double *)) {
    Joints joints;
    if (!parseJoints(args, joints)) {
        return parametersError();
    }
    return code(withoutGil([&] { return call(joints.rshd(), joints.radian); }));
}

PyObject *moveCode(PyObject *args, int (*move)(RSHD, double *, bool)) {
    Joints joints;
    if (!parseJoints(args, joints)) {
        return parametersError();
    }
    return blockingCode(joints.rshd(), BlockingKind::Move,
                        [&] { return move(joints.rshd(), joints.radian, true); });
}

PyObject *jointLimitsCode(PyObject *args, int (*call)(RSHD, const JointVelcAccParam *)) {
    Joints joints;
    if (!parseJoints(args, joints)) {
        return parametersError();
    }
    JointVelcAccParam limits;
    std::copy(joints.radian, joints.radian + ARM_DOF, limits.jointPara);
    return code(withoutGil([&] { return call(joints.rshd(), &limits); }));
}

// Reads one value by handle: the value when the call gives 0, else None.
template <typename T, typename Make>
PyObject *readValue(PyObject *args, int (*call)(RSHD, T *), Make make) {
    RSHD rshd = 0;
    if (!parseHandle(args, rshd)) {
        return parametersError();
    }
    T value{};
    if (withoutGil([&] { return call(rshd, &value); }) != 0) {
        return none();
    }
    return make(value);
}

PyObject *readDouble(PyObject *args, int (*call)(RSHD, double *)) {
    return readValue(args, call, [](double value) { return PyFloat_FromDouble(value); });
}

PyObject *readFlag(PyObject *args, int (*call)(RSHD, bool *)) {
    return readValue(args, call, [](bool value) { return PyInt_FromLong(value ? 1 : 0); });
}

template <typename Enum>
PyObject *readEnum(PyObject *args, int (*call)(RSHD, Enum *)) {
    return readValue(args, call, [](Enum value) { return PyInt_FromLong(value); });
}

PyObject *readJointLimits(PyObject *args, int (*call)(RSHD, JointVelcAccParam *)) {
    return readValue(args, call, [](const JointVelcAccParam &value) {
        return make_float_list(value.jointPara, ARM_DOF);
    });
}

// The online-mode reads answer a fixed value when the call fails.
PyObject *flagOr(PyObject *args, int (*call)(RSHD, bool *), int onFailure) {
    RSHD rshd = 0;
    if (!parseHandle(args, rshd)) {
        return parametersError();
    }
    bool value = false;
    if (withoutGil([&] { return call(rshd, &value); }) != 0) {
        return PyInt_FromLong(onFailure);
    }
    return PyInt_FromLong(value ? 1 : 0);
}

// A method taking a handle and one converted dictionary.
template <typename Record>
PyObject *dictCode(PyObject *args, bool (*convert)(PyObject *, Record &),
                   int (*call)(RSHD, const Record *)) {
    short handle = 0;
    PyObject *dict = nullptr;
    if (!PyArg_ParseTuple(args, "hO!", &handle, &PyDict_Type, &dict)) {
        return parametersError();
    }
    Record record{};
    if (!convert(dict, record)) {
        return parametersError();
    }
    return code(withoutGil([&] { return call(static_cast<RSHD>(handle), &record); }));
}

PyObject *trackCode(PyObject *args, bool checkValue) {
    short handle = 0;
    int track = 0;
    if (!PyArg_ParseTuple(args, "hi", &handle, &track)) {
        return parametersError();
    }
    if (checkValue && track <= 0) {
        return failedWith("invalid parameters!");
    }
    return blockingCode(static_cast<RSHD>(handle), BlockingKind::Move, [&] {
        return rs_move_track(static_cast<RSHD>(handle), static_cast<move_track>(track), true);
    });
}

MoveRelative relativeOffset(const float offset[3]) {
    MoveRelative relative{};
    relative.ena = true;
    std::copy(offset, offset + 3, relative.relativePosition);
    return relative;
}

// A position and orientation given as "(ddd)(dddd)" after the handle.
struct PoseArgs {
    short handle = 0;
    Pos pos{};
    Ori ori{};
    RSHD rshd() const { return static_cast<RSHD>(handle); }
};

// base_to_user and user_to_base: the frame is marked before the conversion.
PyObject *frameConversion(PyObject *args, coordinate_refer mark, const char *failure,
                          int (*convert)(RSHD, const Pos *, const Ori *, const CoordCalibrate *,
                                         const ToolInEndDesc *, Pos *, Ori *)) {
    PoseArgs in;
    PyObject *frameDict = nullptr;
    PyObject *toolDict = nullptr;
    if (!PyArg_ParseTuple(args, "h(ddd)(dddd)O!O!", &in.handle, &in.pos.x, &in.pos.y, &in.pos.z,
                          &in.ori.w, &in.ori.x, &in.ori.y, &in.ori.z, &PyDict_Type, &frameDict,
                          &PyDict_Type, &toolDict)) {
        return parametersError();
    }
    CoordCalibrate frame{};
    ToolInEndDesc tool{};
    if (!parse_coord_calibrate_param(frameDict, frame) || !parse_tool_desc_param(toolDict, tool)) {
        return parametersError();
    }
    frame.coordType = mark;
    Pos pos{};
    Ori ori{};
    if (withoutGil(
            [&] { return convert(in.rshd(), &in.pos, &in.ori, &frame, &tool, &pos, &ori); }) != 0) {
        return failedWith(failure);
    }
    return make_return_pos_and_ori(&pos, &ori);
}

}  // namespace

/* Contexts and connection */

static PyObject *pykezuqx_create_context(PyObject *, PyObject *) {
    RSHD rshd = 0;
    if (withoutGil([&] { return rs_create_context(&rshd); }) != 0) {
        return none();
    }
    return PyInt_FromLong(rshd);
}

static PyObject *pykezuqx_destory_context(PyObject *, PyObject *args) {
    RSHD rshd = 0;
    if (!parseHandle(args, rshd)) {
        return parametersError();
    }
    // Once the context is gone no event of it can come, and its callable would be kept for
    // nothing.
    if (withoutGil([&] { return rs_destory_context(rshd); }) == 0) {
        drop_robot_event_callback(rshd);
    }
    return PyInt_FromLong(0);
}

static PyObject *pykezuqx_login(PyObject *, PyObject *args) {
    short handle = 0;
    const char *address = nullptr;
    int port = 0;
    if (!PyArg_ParseTuple(args, "hsi", &handle, &address, &port)) {
        return parametersError();
    }
    return code(withoutGil([&] { return rs_login(static_cast<RSHD>(handle), address, port); }));
}

static PyObject *pykezuqx_logout(PyObject *, PyObject *args) { return handleCode(args, rs_logout); }

static PyObject *pykezuqx_get_login_status(PyObject *, PyObject *args) {
    return readFlag(args, rs_get_login_status);
}

/* Global move profile */

static PyObject *pykezuqx_init_global_move_profile(PyObject *, PyObject *args) {
    return handleCode(args, rs_init_global_move_profile);
}

static PyObject *pykezuqx_set_global_joint_maxacc(PyObject *, PyObject *args) {
    return jointLimitsCode(args, rs_set_global_joint_maxacc);
}

// Unlike its neighbours this one logs nothing on a parse failure.
static PyObject *pykezuqx_set_global_joint_maxvelc(PyObject *, PyObject *args) {
    Joints joints;
    if (!parseJoints(args, joints)) {
        PyErr_Clear();
        return none();
    }
    JointVelcAccParam limits;
    std::copy(joints.radian, joints.radian + ARM_DOF, limits.jointPara);
    return code(withoutGil([&] { return rs_set_global_joint_maxvelc(joints.rshd(), &limits); }));
}

static PyObject *pykezuqx_get_global_joint_maxacc(PyObject *, PyObject *args) {
    return readJointLimits(args, rs_get_global_joint_maxacc);
}

static PyObject *pykezuqx_get_global_joint_maxvelc(PyObject *, PyObject *args) {
    return readJointLimits(args, rs_get_global_joint_maxvelc);
}

static PyObject *pykezuqx_set_global_end_max_line_acc(PyObject *, PyObject *args) {
    return handleDoubleCode(args, rs_set_global_end_max_line_acc);
}

static PyObject *pykezuqx_set_global_end_max_line_velc(PyObject *, PyObject *args) {
    return handleDoubleCode(args, rs_set_global_end_max_line_velc);
}

static PyObject *pykezuqx_get_global_end_max_line_acc(PyObject *, PyObject *args) {
    return readDouble(args, rs_get_global_end_max_line_acc);
}

static PyObject *pykezuqx_get_global_end_max_line_velc(PyObject *, PyObject *args) {
    return readDouble(args, rs_get_global_end_max_line_velc);
}

static PyObject *pykezuqx_set_global_end_max_angle_acc(PyObject *, PyObject *args) {
    return handleDoubleCode(args, rs_set_global_end_max_angle_acc);
}

static PyObject *pykezuqx_set_global_end_max_angle_velc(PyObject *, PyObject *args) {
    return handleDoubleCode(args, rs_set_global_end_max_angle_velc);
}

static PyObject *pykezuqx_get_global_end_max_angle_acc(PyObject *, PyObject *args) {
    return readDouble(args, rs_get_global_end_max_angle_acc);
}

static PyObject *pykezuqx_get_global_end_max_angle_velc(PyObject *, PyObject *args) {
    return readDouble(args, rs_get_global_end_max_angle_velc);
}

/* Moves and waypoints */

static PyObject *pykezuqx_move_joint(PyObject *, PyObject *args) {
    return moveCode(args, rs_move_joint);
}

static PyObject *pykezuqx_move_line(PyObject *, PyObject *args) {
    return moveCode(args, rs_move_line);
}

static PyObject *pykezuqx_move_rotate(PyObject *, PyObject *args) {
    short handle = 0;
    PyObject *frameDict = nullptr;
    Move_Rotate_Axis axis{};
    double angle = 0.0;
    double *a = axis.rotateAxis;
    if (!PyArg_ParseTuple(args, "hO!(ddd)d", &handle, &PyDict_Type, &frameDict, &a[0], &a[1], &a[2],
                          &angle)) {
        return parametersError();
    }
    CoordCalibrate frame{};
    if (!parse_coord_calibrate_param(frameDict, frame)) {
        return failedWith("move rotate parameters error!");
    }
    return blockingCode(static_cast<RSHD>(handle), BlockingKind::Move, [&] {
        return rs_move_rotate(static_cast<RSHD>(handle), &frame, &axis, angle, true);
    });
}

static PyObject *pykezuqx_remove_all_waypoint(PyObject *, PyObject *args) {
    return handleCode(args, rs_remove_all_waypoint);
}

static PyObject *pykezuqx_add_waypoint(PyObject *, PyObject *args) {
    return jointsCode(args, rs_add_waypoint);
}

static PyObject *pykezuqx_set_blend_radius(PyObject *, PyObject *args) {
    return handleDoubleCode(args, rs_set_blend_radius);
}

static PyObject *pykezuqx_set_circular_loop_times(PyObject *, PyObject *args) {
    return handleIntCode(args, rs_set_circular_loop_times);
}

static PyObject *pykezuqx_set_user_coord(PyObject *, PyObject *args) {
    return dictCode(args, parse_coord_calibrate_param, rs_set_user_coord);
}

static PyObject *pykezuqx_set_base_coord(PyObject *, PyObject *args) {
    return handleCode(args, rs_set_base_coord);
}

static PyObject *pykezuqx_check_user_coord(PyObject *, PyObject *args) {
    return dictCode(args, parse_coord_calibrate_param, rs_check_user_coord);
}

static PyObject *pykezuqx_set_relative_offset_on_base(PyObject *, PyObject *args) {
    short handle = 0;
    float offset[3] = {};
    if (!PyArg_ParseTuple(args, "h(fff)", &handle, &offset[0], &offset[1], &offset[2])) {
        return parametersError();
    }
    const MoveRelative relative = relativeOffset(offset);
    return code(withoutGil(
        [&] { return rs_set_relative_offset_on_base(static_cast<RSHD>(handle), &relative); }));
}

static PyObject *pykezuqx_set_relative_offset_on_user(PyObject *, PyObject *args) {
    short handle = 0;
    float offset[3] = {};
    PyObject *frameDict = nullptr;
    if (!PyArg_ParseTuple(args, "h(fff)O!", &handle, &offset[0], &offset[1], &offset[2],
                          &PyDict_Type, &frameDict)) {
        return parametersError();
    }
    CoordCalibrate frame{};
    if (!parse_coord_calibrate_param(frameDict, frame)) {
        return parametersError();
    }
    frame.coordType = WorldCoordinate;
    const MoveRelative relative = relativeOffset(offset);
    return code(withoutGil([&] {
        return rs_set_relative_offset_on_user(static_cast<RSHD>(handle), &relative, &frame);
    }));
}

static PyObject *pykezuqx_set_no_arrival_ahead(PyObject *, PyObject *args) {
    return handleCode(args, rs_set_no_arrival_ahead);
}

static PyObject *pykezuqx_set_arrival_ahead_distance(PyObject *, PyObject *args) {
    return handleDoubleCode(args, rs_set_arrival_ahead_distance);
}

static PyObject *pykezuqx_set_arrival_ahead_time(PyObject *, PyObject *args) {
    return handleDoubleCode(args, rs_set_arrival_ahead_time);
}

static PyObject *pykezuqx_move_track(PyObject *, PyObject *args) { return trackCode(args, true); }

static PyObject *pykezuqx_move_line_to(PyObject *, PyObject *args) {
    return trackCode(args, false);
}

static PyObject *pykezuqx_move_joint_to(PyObject *, PyObject *args) {
    return trackCode(args, false);
}

/* Offline tracks, CAN bus and dynamics identification */

static PyObject *pykezuqx_clear_offline_track(PyObject *, PyObject *args) {
    return handleCode(args, rs_clear_offline_track);
}

static PyObject *pykezuqx_append_offline_track_waypoint(PyObject *, PyObject *args) {
    short handle = 0;
    PyObject *track = nullptr;
    if (!PyArg_ParseTuple(args, "hO!", &handle, &PyTuple_Type, &track)) {
        return parametersError();
    }
    JointParam *raw = nullptr;
    int count = 0;
    if (!parse_offline_track_waypoints(track, &raw, &count)) {
        return parametersError();
    }
    std::unique_ptr<JointParam[]> waypoints(raw);
    return code(withoutGil([&] {
        return rs_append_offline_track_waypoint(static_cast<RSHD>(handle), waypoints.get(), count);
    }));
}

static PyObject *pykezuqx_append_offline_track_file(PyObject *, PyObject *args) {
    short handle = 0;
    const char *file = nullptr;
    if (!PyArg_ParseTuple(args, "hs", &handle, &file)) {
        return parametersError();
    }
    return code(
        withoutGil([&] { return rs_append_offline_track_file(static_cast<RSHD>(handle), file); }));
}

static PyObject *pykezuqx_startup_offline_track(PyObject *, PyObject *args) {
    return handleBlockingCode(args, rs_startup_offline_track, BlockingKind::Move);
}

static PyObject *pykezuqx_stop_offline_track(PyObject *, PyObject *args) {
    return handleCode(args, rs_stop_offline_track);
}

static PyObject *pykezuqx_enter_tcp2canbus_mode(PyObject *, PyObject *args) {
    return handleCode(args, rs_enter_tcp2canbus_mode);
}

static PyObject *pykezuqx_leave_tcp2canbus_mode(PyObject *, PyObject *args) {
    return handleCode(args, rs_leave_tcp2canbus_mode);
}

static PyObject *pykezuqx_set_waypoint_to_canbus(PyObject *, PyObject *args) {
    return jointsCode(args, rs_set_waypoint_to_canbus);
}

static PyObject *pykezuqx_startup_excit_traj_track(PyObject *, PyObject *args) {
    short handle = 0;
    const char *file = nullptr;
    int type = 0;
    int subtype = 0;
    if (!PyArg_ParseTuple(args, "hsii", &handle, &file, &type, &subtype)) {
        return parametersError();
    }
    return blockingCode(static_cast<RSHD>(handle), BlockingKind::Move, [&] {
        return rs_startup_excit_traj_track(static_cast<RSHD>(handle), file, static_cast<char>(type),
                                           static_cast<char>(subtype));
    });
}

static PyObject *pykezuqx_get_dynidentify_results(PyObject *, PyObject *args) {
    RSHD rshd = 0;
    if (!parseHandle(args, rshd)) {
        return parametersError();
    }
    std::vector<int> results;
    if (withoutGil([&] { return rs_get_dynidentify_results(rshd, results); })) {
        return none();
    }
    return make_int_list(results.data(), static_cast<int>(results.size()));
}

/* Kinematics */

static PyObject *pykezuqx_forward_kin(PyObject *, PyObject *args) {
    Joints joints;
    if (!parseJoints(args, joints)) {
        return parametersError();
    }
    wayPoint_S waypoint{};
    if (withoutGil([&] { return rs_forward_kin(joints.rshd(), joints.radian, &waypoint); }) != 0) {
        return parametersError();
    }
    return make_return_waypoint(waypoint);
}

static PyObject *pykezuqx_inverse_kin(PyObject *, PyObject *args) {
    Joints ref;
    Pos pos{};
    Ori ori{};
    double *j = ref.radian;
    if (!PyArg_ParseTuple(args, "h(dddddd)(ddd)(dddd)", &ref.handle, &j[0], &j[1], &j[2], &j[3],
                          &j[4], &j[5], &pos.x, &pos.y, &pos.z, &ori.w, &ori.x, &ori.y, &ori.z)) {
        return parametersError();
    }
    wayPoint_S waypoint{};
    if (withoutGil([&] { return rs_inverse_kin(ref.rshd(), ref.radian, &pos, &ori, &waypoint); }) !=
        0) {
        return parametersError();
    }
    return make_return_waypoint(waypoint);
}

static PyObject *pykezuqx_base_to_user(PyObject *, PyObject *args) {
    return frameConversion(args, WorldCoordinate, "base to user failed", rs_base_to_user);
}

static PyObject *pykezuqx_user_to_base(PyObject *, PyObject *args) {
    return frameConversion(args, BaseCoordinate, "user to base failed", rs_user_to_base);
}

static PyObject *pykezuqx_base_to_base_additional_tool(PyObject *, PyObject *args) {
    PoseArgs in;
    PyObject *toolDict = nullptr;
    if (!PyArg_ParseTuple(args, "h(ddd)(dddd)O!", &in.handle, &in.pos.x, &in.pos.y, &in.pos.z,
                          &in.ori.w, &in.ori.x, &in.ori.y, &in.ori.z, &PyDict_Type, &toolDict)) {
        return parametersError();
    }
    ToolInEndDesc tool{};
    if (!parse_tool_desc_param(toolDict, tool)) {
        return parametersError();
    }
    Pos pos{};
    Ori ori{};
    if (withoutGil([&] {
            return rs_base_to_base_additional_tool(in.rshd(), &in.pos, &in.ori, &tool, &pos, &ori);
        }) != 0) {
        return failedWith("base to base failed!");
    }
    return make_return_pos_and_ori(&pos, &ori);
}

static PyObject *pykezuqx_rpy_to_quaternion(PyObject *, PyObject *args) {
    short handle = 0;
    Rpy rpy{};
    if (!PyArg_ParseTuple(args, "h(ddd)", &handle, &rpy.rx, &rpy.ry, &rpy.rz)) {
        return parametersError();
    }
    Ori ori{};
    if (withoutGil([&] { return rs_rpy_to_quaternion(static_cast<RSHD>(handle), &rpy, &ori); }) !=
        0) {
        return failedWith("rpy to quaternion failed!");
    }
    const double quaternion[4] = {ori.w, ori.x, ori.y, ori.z};
    return make_float_list(quaternion, 4);
}

static PyObject *pykezuqx_quaternion_to_rpy(PyObject *, PyObject *args) {
    short handle = 0;
    Ori ori{};
    if (!PyArg_ParseTuple(args, "h(dddd)", &handle, &ori.w, &ori.x, &ori.y, &ori.z)) {
        return parametersError();
    }
    Rpy rpy{};
    if (withoutGil([&] { return rs_quaternion_to_rpy(static_cast<RSHD>(handle), &ori, &rpy); }) !=
        0) {
        return failedWith("quaternion to rpy failed!");
    }
    const double angles[3] = {rpy.rx, rpy.ry, rpy.rz};
    return make_float_list(angles, 3);
}

/* Tool parameters, start-up and move control */

static PyObject *pykezuqx_set_tool_end_param(PyObject *, PyObject *args) {
    return dictCode(args, parse_tool_desc_param, rs_set_tool_end_param);
}

static PyObject *pykezuqx_set_none_tool_dynamics_param(PyObject *, PyObject *args) {
    return handleCode(args, rs_set_none_tool_dynamics_param);
}

static PyObject *pykezuqx_set_tool_dynamics_param(PyObject *, PyObject *args) {
    return dictCode(args, parse_tool_dynamics_param, rs_set_tool_dynamics_param);
}

static PyObject *pykezuqx_get_tool_dynamics_param(PyObject *, PyObject *args) {
    return readValue(args, rs_get_tool_dynamics_param, [](const ToolDynamicsParam &value) {
        return make_return_tool_dynamics_param(&value);
    });
}

static PyObject *pykezuqx_set_none_tool_kinematics_param(PyObject *, PyObject *args) {
    return handleCode(args, rs_set_none_tool_kinematics_param);
}

static PyObject *pykezuqx_set_tool_kinematics_param(PyObject *, PyObject *args) {
    return dictCode(args, parse_tool_desc_param, rs_set_tool_kinematics_param);
}

static PyObject *pykezuqx_get_tool_kinematics_param(PyObject *, PyObject *args) {
    return readValue(args, rs_get_tool_kinematics_param, [](const ToolKinematicsParam &value) {
        return make_return_tool_kinematics_param(&value);
    });
}

static PyObject *pykezuqx_robot_startup(PyObject *, PyObject *args) {
    short handle = 0;
    int collisionClass = 0;
    PyObject *dynamicsDict = nullptr;
    if (!PyArg_ParseTuple(args, "hiO!", &handle, &collisionClass, &PyDict_Type, &dynamicsDict)) {
        return parametersError();
    }
    ToolDynamicsParam dynamics{};
    if (!parse_tool_dynamics_param(dynamicsDict, dynamics)) {
        return parametersError();
    }
    ROBOT_SERVICE_STATE state = ROBOT_SERVICE_READY;
    const auto startup = [&] {
        return rs_robot_startup(static_cast<RSHD>(handle), &dynamics,
                                static_cast<uint8>(collisionClass), true, false, kBoardMaxAcc,
                                &state);
    };
    int rc = 0;
    if (!run_blocking(static_cast<RSHD>(handle), BlockingKind::Wait, startup, rc)) {
        return nullptr;
    }
    return rc != 0 ? none() : PyInt_FromLong(0);
}

static PyObject *pykezuqx_robot_shutdown(PyObject *, PyObject *args) {
    return handleBlockingCode(args, rs_robot_shutdown, BlockingKind::Wait);
}

static PyObject *pykezuqx_move_stop(PyObject *, PyObject *args) {
    return handleCode(args, rs_move_stop);
}

static PyObject *pykezuqx_move_pause(PyObject *, PyObject *args) {
    return handleCode(args, rs_move_pause);
}

static PyObject *pykezuqx_move_continue(PyObject *, PyObject *args) {
    return handleCode(args, rs_move_continue);
}

static PyObject *pykezuqx_collision_recover(PyObject *, PyObject *args) {
    return handleCode(args, rs_collision_recover);
}

/* Robot state */

static PyObject *pykezuqx_get_robot_state(PyObject *, PyObject *args) {
    return readEnum(args, rs_get_robot_state);
}

static PyObject *pykezuqx_set_work_mode(PyObject *, PyObject *args) {
    return handleIntCode(args, rs_set_work_mode, RobotModeSimulator, RobotModeReal,
                         "invalid parameter!");
}

static PyObject *pykezuqx_get_work_mode(PyObject *, PyObject *args) {
    return readEnum(args, rs_get_work_mode);
}

static PyObject *pykezuqx_set_collision_class(PyObject *, PyObject *args) {
    short handle = 0;
    int grade = 0;
    if (!PyArg_ParseTuple(args, "hi", &handle, &grade)) {
        return parametersError();
    }
    if (withoutGil([&] { return rs_set_collision_class(static_cast<RSHD>(handle), grade); }) != 0) {
        return none();
    }
    return PyInt_FromLong(grade);
}

static PyObject *pykezuqx_is_have_real_robot(PyObject *, PyObject *args) {
    return readFlag(args, rs_is_have_real_robot);
}

static PyObject *pykezuqx_is_online_mode(PyObject *, PyObject *args) {
    return flagOr(args, rs_is_online_mode, 0);
}

static PyObject *pykezuqx_is_online_master_mode(PyObject *, PyObject *args) {
    return flagOr(args, rs_is_online_master_mode, 1);
}

static PyObject *pykezuqx_get_joint_status(PyObject *, PyObject *args) {
    RSHD rshd = 0;
    if (!parseHandle(args, rshd)) {
        return parametersError();
    }
    JointStatus status[ARM_DOF] = {};
    if (withoutGil([&] { return rs_get_joint_status(rshd, status); }) != 0) {
        return failedWith("get joint status failed!");
    }
    return make_return_joint_status(status, ARM_DOF);
}

static PyObject *pykezuqx_get_current_waypoint(PyObject *, PyObject *args) {
    RSHD rshd = 0;
    if (!parseHandle(args, rshd)) {
        return parametersError();
    }
    wayPoint_S waypoint{};
    if (withoutGil([&] { return rs_get_current_waypoint(rshd, &waypoint); }) != 0) {
        return failedWith("rs_get_current_waypoint failed!");
    }
    return make_return_waypoint(waypoint);
}

static PyObject *pykezuqx_get_diagnosis_info(PyObject *, PyObject *args) {
    return readValue(args, rs_get_diagnosis_info,
                     [](const RobotDiagnosis &value) { return make_return_diagnosis(value); });
}

/* Interface-board and tool IO */

static PyObject *pykezuqx_get_board_io_config(PyObject *, PyObject *args) {
    short handle = 0;
    int type = 0;
    if (!PyArg_ParseTuple(args, "hi", &handle, &type)) {
        return parametersError();
    }
    if (type < RobotBoardControllerDI || type > kBoardIoTypeLast) {
        return failedWith("io type parameters error!");
    }
    std::vector<RobotIoDesc> config;
    if (withoutGil([&] {
            return rs_get_board_io_config(static_cast<RSHD>(handle), static_cast<RobotIoType>(type),
                                          &config);
        }) != 0 ||
        config.empty()) {
        return failedWith("rs_get_board_io_config failed!");
    }
    return make_return_io_config(config);
}

static PyObject *pykezuqx_set_board_io_status(PyObject *, PyObject *args) {
    short handle = 0;
    int type = 0;
    const char *name = nullptr;
    double value = 0.0;
    if (!PyArg_ParseTuple(args, "hisd", &handle, &type, &name, &value)) {
        return parametersError();
    }
    return code(withoutGil([&] {
        return rs_set_board_io_status_by_name(static_cast<RSHD>(handle),
                                              static_cast<RobotIoType>(type), name, value);
    }));
}

static PyObject *pykezuqx_get_board_io_status(PyObject *, PyObject *args) {
    short handle = 0;
    int type = 0;
    const char *name = nullptr;
    if (!PyArg_ParseTuple(args, "his", &handle, &type, &name)) {
        return parametersError();
    }
    double value = 0.0;
    if (withoutGil([&] {
            return rs_get_board_io_status_by_name(static_cast<RSHD>(handle),
                                                  static_cast<RobotIoType>(type), name, &value);
        }) != 0) {
        return none();
    }
    return PyFloat_FromDouble(value);
}

static PyObject *pykezuqx_set_tool_power_type(PyObject *, PyObject *args) {
    return handleIntCode(args, rs_set_tool_power_type, OUT_0V, OUT_24V, "invalid parameters!");
}

static PyObject *pykezuqx_get_tool_power_type(PyObject *, PyObject *args) {
    return readEnum(args, rs_get_tool_power_type);
}

static PyObject *pykezuqx_set_tool_io_type(PyObject *, PyObject *args) {
    short handle = 0;
    int addr = 0;
    int type = 0;
    if (!PyArg_ParseTuple(args, "hii", &handle, &addr, &type)) {
        return parametersError();
    }
    return code(withoutGil([&] {
        return rs_set_tool_io_type(static_cast<RSHD>(handle), static_cast<ToolDigitalIOAddr>(addr),
                                   static_cast<ToolIOType>(type));
    }));
}

static PyObject *pykezuqx_get_tool_power_voltage(PyObject *, PyObject *args) {
    return readDouble(args, rs_get_tool_power_voltage);
}

static PyObject *pykezuqx_get_tool_io_status(PyObject *, PyObject *args) {
    short handle = 0;
    const char *name = nullptr;
    if (!PyArg_ParseTuple(args, "hs", &handle, &name)) {
        return parametersError();
    }
    double value = 0.0;
    if (withoutGil(
            [&] { return rs_get_tool_io_status(static_cast<RSHD>(handle), name, &value); }) != 0) {
        return none();
    }
    return PyFloat_FromDouble(value);
}

static PyObject *pykezuqx_set_tool_do_status(PyObject *, PyObject *args) {
    short handle = 0;
    const char *name = nullptr;
    int status = 0;
    if (!PyArg_ParseTuple(args, "hsi", &handle, &name, &status)) {
        return parametersError();
    }
    return code(withoutGil([&] {
        return rs_set_tool_do_status(static_cast<RSHD>(handle), name,
                                     static_cast<IO_STATUS>(status));
    }));
}

// Each method's doc string: its call with the arguments in order, then what it does, what it
// returns and what it returns on failure.
#define KEZU_METHOD(name, function, doc) \
    { name, function, METH_VARARGS, doc }

static PyMethodDef pykezuqx_methods[] = {
    KEZU_METHOD("initialize", pykezuqx_initialize,
                "initialize() -> int\n"
                "\n"
                "Starts the thread that hands robot events to the callables of\n"
                "set_robot_event_callback. Call it once, before create_context. Returns 0\n"
                "(also when the thread runs already), or 1004 when the thread cannot be\n"
                "created; the module then works without events."),
    KEZU_METHOD("uninitialize", pykezuqx_uninitialize,
                "uninitialize() -> int\n"
                "\n"
                "Destroys every context (closing its link) and stops the robot-event\n"
                "thread, dropping the registered callables. Returns 0."),
    KEZU_METHOD("create_context", pykezuqx_create_context,
                "create_context() -> int or None\n"
                "\n"
                "Creates a context, the state of one controller connection, and returns\n"
                "its handle (handles count up from 0 and are not reused). Returns None\n"
                "when 32 contexts are live."),
    KEZU_METHOD("destory_context", pykezuqx_destory_context,
                "destory_context(handle) -> int\n"
                "\n"
                "Closes the context's link and destroys the context. Returns 0, also for\n"
                "a handle that names no context."),
    KEZU_METHOD("login", pykezuqx_login,
                "login(handle, address, port) -> int\n"
                "\n"
                "Connects to the controller at address (IPv4 text, such as\n"
                "\"192.168.1.10\") and port (int) and logs in. Blocks while connecting (at\n"
                "most 3 s) and for the reply (at most 0.8 s). Returns 0, 10003 when the\n"
                "connection cannot be made, 1002 for an unknown handle, or another result\n"
                "code."),
    KEZU_METHOD("logout", pykezuqx_logout,
                "logout(handle) -> int\n"
                "\n"
                "Closes the context's link to the controller; a blocking move of the\n"
                "context then returns 10004. Returns 0 or a result code."),
    KEZU_METHOD("get_login_status", pykezuqx_get_login_status,
                "get_login_status(handle) -> int or None\n"
                "\n"
                "1 while the context is logged in, 0 when it is not. None for an unknown\n"
                "handle."),
    KEZU_METHOD("init_global_move_profile", pykezuqx_init_global_move_profile,
                "init_global_move_profile(handle) -> int\n"
                "\n"
                "Resets the move settings to their defaults: joint limits 0.4363 rad/s\n"
                "and rad/s^2, end limits 0.03 m/s and m/s^2 and 1.7453 rad/s and rad/s^2,\n"
                "blend radius 0.02 m, no relative offset, no arrival ahead, an empty\n"
                "waypoint list; the tool stays. The settings are shared by every context\n"
                "of the process. Returns 0, or 1002 for an unknown handle."),
    KEZU_METHOD("set_joint_maxacc", pykezuqx_set_global_joint_maxacc,
                "set_joint_maxacc(handle, (a1, a2, a3, a4, a5, a6)) -> int\n"
                "\n"
                "Sets the acceleration limit of each joint for joint moves, rad/s^2, each\n"
                "above 0 and at most 83.776 (shared by every context). Returns 0, 10002\n"
                "when a value is out of range (nothing changes), or 1002."),
    KEZU_METHOD("set_joint_maxvelc", pykezuqx_set_global_joint_maxvelc,
                "set_joint_maxvelc(handle, (v1, v2, v3, v4, v5, v6)) -> int\n"
                "\n"
                "Sets the speed limit of each joint for joint moves, rad/s, each above 0\n"
                "and at most 8.7268 (shared by every context). Returns 0, 10002 when a\n"
                "value is out of range (nothing changes), or 1002. Unlike the other\n"
                "methods it logs nothing for arguments it cannot read."),
    KEZU_METHOD("get_joint_maxacc", pykezuqx_get_global_joint_maxacc,
                "get_joint_maxacc(handle) -> list or None\n"
                "\n"
                "The six joint acceleration limits, rad/s^2. None for an unknown handle."),
    KEZU_METHOD("get_joint_maxvelc", pykezuqx_get_global_joint_maxvelc,
                "get_joint_maxvelc(handle) -> list or None\n"
                "\n"
                "The six joint speed limits, rad/s. None for an unknown handle."),
    KEZU_METHOD("set_end_max_line_acc", pykezuqx_set_global_end_max_line_acc,
                "set_end_max_line_acc(handle, acc) -> int\n"
                "\n"
                "Sets the tool end's linear acceleration limit for line and Cartesian\n"
                "track moves, m/s^2, above 0 and at most 5.01. Returns 0, 10002 when out\n"
                "of range, or 1002."),
    KEZU_METHOD("set_end_max_line_velc", pykezuqx_set_global_end_max_line_velc,
                "set_end_max_line_velc(handle, velc) -> int\n"
                "\n"
                "Sets the tool end's linear speed limit for line and Cartesian track\n"
                "moves, m/s, above 0 and at most 5.01. Returns 0, 10002 when out of\n"
                "range, or 1002."),
    KEZU_METHOD("get_end_max_line_acc", pykezuqx_get_global_end_max_line_acc,
                "get_end_max_line_acc(handle) -> float or None\n"
                "\n"
                "The tool end's linear acceleration limit, m/s^2. None for an unknown\n"
                "handle."),
    KEZU_METHOD("get_end_max_line_velc", pykezuqx_get_global_end_max_line_velc,
                "get_end_max_line_velc(handle) -> float or None\n"
                "\n"
                "The tool end's linear speed limit, m/s. None for an unknown handle."),
    KEZU_METHOD("set_end_max_angle_acc", pykezuqx_set_global_end_max_angle_acc,
                "set_end_max_angle_acc(handle, acc) -> int\n"
                "\n"
                "Sets the tool end's angular acceleration limit for line and Cartesian\n"
                "track moves, rad/s^2, above 0 and at most 3.1418. Returns 0, 10002 when\n"
                "out of range, or 1002."),
    KEZU_METHOD("set_end_max_angle_velc", pykezuqx_set_global_end_max_angle_velc,
                "set_end_max_angle_velc(handle, velc) -> int\n"
                "\n"
                "Sets the tool end's angular speed limit for line and Cartesian track\n"
                "moves, rad/s, above 0 and at most 3.1418. Returns 0, 10002 when out of\n"
                "range, or 1002."),
    KEZU_METHOD("get_end_max_angle_acc", pykezuqx_get_global_end_max_angle_acc,
                "get_end_max_angle_acc(handle) -> float or None\n"
                "\n"
                "The tool end's angular acceleration limit, rad/s^2. None for an unknown\n"
                "handle."),
    KEZU_METHOD("get_end_max_angle_velc", pykezuqx_get_global_end_max_angle_velc,
                "get_end_max_angle_velc(handle) -> float or None\n"
                "\n"
                "The tool end's angular speed limit, rad/s. None for an unknown handle."),
    KEZU_METHOD("move_joint", pykezuqx_move_joint,
                "move_joint(handle, joints) -> int\n"
                "\n"
                "Moves the arm in joint space to joints, six angles in radians, with the\n"
                "joint limits. Blocks until the arm arrives. Returns 0 on arrival, 10021\n"
                "when the move is stopped (move_stop, a stop or an error on the\n"
                "controller), 10004 when the link is lost or the context logs out\n"
                "meanwhile, or another result code when the request fails."),
    KEZU_METHOD("move_line", pykezuqx_move_line,
                "move_line(handle, joints) -> int\n"
                "\n"
                "Moves the tool in a straight line to the pose that joints (six angles,\n"
                "radians) give, with the end limits. Blocks until the arm arrives.\n"
                "Returns 0 on arrival, 10021 when the move is stopped (move_stop, a stop\n"
                "or an error on the controller), 10004 when the link is lost or the\n"
                "context logs out meanwhile, or another result code when the request\n"
                "fails."),
    KEZU_METHOD("move_rotate", pykezuqx_move_rotate,
                "move_rotate(handle, user_coord, axis, angle) -> int\n"
                "\n"
                "Rotates the tool end about axis (x, y, z) by angle radians from where it\n"
                "is. axis is taken in the frame that user_coord describes: coord_type 0\n"
                "the base frame, 2 the user frame (1 gives 10002). Blocks until the arm\n"
                "arrives. Returns 0 on arrival, 10021 when the move is stopped\n"
                "(move_stop, a stop or an error on the controller), 10004 when the link\n"
                "is lost or the context logs out meanwhile, or another result code when\n"
                "the request fails. None, with \"move rotate parameters error!\" logged,\n"
                "when user_coord does not convert."),
    KEZU_METHOD("remove_all_waypoint", pykezuqx_remove_all_waypoint,
                "remove_all_waypoint(handle) -> int\n"
                "\n"
                "Empties the waypoint list of track moves (shared by every context).\n"
                "Returns 0, or 1002 for an unknown handle."),
    KEZU_METHOD("add_waypoint", pykezuqx_add_waypoint,
                "add_waypoint(handle, joints) -> int\n"
                "\n"
                "Appends the pose of joints (six angles, radians) to the waypoint list of\n"
                "track moves (shared by every context). The list holds at most 5000\n"
                "points; beyond that a point is not added and 10022 is returned.\n"
                "Returns 0 or a result code."),
    KEZU_METHOD("set_blend_radius", pykezuqx_set_blend_radius,
                "set_blend_radius(handle, radius) -> int\n"
                "\n"
                "Sets the blend radius of track moves, metres, above 0.001 and at most\n"
                "0.05. Returns 0, 1003 when out of range (nothing changes), or 1002."),
    KEZU_METHOD("set_circular_loop_times", pykezuqx_set_circular_loop_times,
                "set_circular_loop_times(handle, times) -> int\n"
                "\n"
                "Sets the loop count sent with the following moves (circular track moves\n"
                "use it), 1 to 1000. Returns 0, 1003 when out of range, or 1002."),
    KEZU_METHOD("set_user_coord", pykezuqx_set_user_coord,
                "set_user_coord(handle, user_coord) -> int\n"
                "\n"
                "Keeps user_coord as the context's user frame (the rs_* moves to a target\n"
                "position use it; no method of this module does). Returns 0 or 1002; None\n"
                "when user_coord does not convert."),
    KEZU_METHOD("set_base_coord", pykezuqx_set_base_coord,
                "set_base_coord(handle) -> int\n"
                "\n"
                "Resets the context's user frame to the base frame. Returns 0 or 1002."),
    KEZU_METHOD("check_user_coord", pykezuqx_check_user_coord,
                "check_user_coord(handle, user_coord) -> int\n"
                "\n"
                "Checks, without the controller, that the three points of user_coord make\n"
                "a frame by its calibrate_method; coord_type must be 2. Returns 0, 10015\n"
                "when the points make no frame, 10002 when coord_type is not 2, or 1002;\n"
                "None when user_coord does not convert."),
    KEZU_METHOD("set_relative_offset_on_base", pykezuqx_set_relative_offset_on_base,
                "set_relative_offset_on_base(handle, (x, y, z)) -> int\n"
                "\n"
                "Offsets the targets of the following moves by (x, y, z) metres in the\n"
                "base frame (single precision; shared by every context) until\n"
                "init_global_move_profile. Returns 0 or a result code."),
    KEZU_METHOD("set_relative_offset_on_user", pykezuqx_set_relative_offset_on_user,
                "set_relative_offset_on_user(handle, (x, y, z), user_coord) -> int\n"
                "\n"
                "As set_relative_offset_on_base, with the offset given in the user frame\n"
                "user_coord (its coord_type is taken as 2). Returns 0, a result code of\n"
                "the conversion to the base frame, or 1002; None when user_coord does not\n"
                "convert."),
    KEZU_METHOD("set_no_arrival_ahead", pykezuqx_set_no_arrival_ahead,
                "set_no_arrival_ahead(handle) -> int\n"
                "\n"
                "Moves report their arrival at the target itself (the default). Returns 0\n"
                "or a result code."),
    KEZU_METHOD("set_arrival_ahead_distance", pykezuqx_set_arrival_ahead_distance,
                "set_arrival_ahead_distance(handle, distance) -> int\n"
                "\n"
                "The controller reports a move's arrival when the arm is distance metres\n"
                "from the target, so a blocking move returns that early. Returns 0 or a\n"
                "result code."),
    KEZU_METHOD("set_arrival_ahead_time", pykezuqx_set_arrival_ahead_time,
                "set_arrival_ahead_time(handle, seconds) -> int\n"
                "\n"
                "The controller reports a move's arrival this many seconds before the arm\n"
                "reaches the target, so a blocking move returns that early. Returns 0 or\n"
                "a result code."),
    KEZU_METHOD("move_track", pykezuqx_move_track,
                "move_track(handle, track) -> int\n"
                "\n"
                "Moves through the waypoint list (add_waypoint; at least 3 points) as\n"
                "track kind track: 1 TRACKING, 2 ARC_CIR, 3 CARTESIAN_MOVEP, 4\n"
                "CARTESIAN_CUBICSPLINE, 5 CARTESIAN_UBSPLINEINTP, 6 JIONT_CUBICSPLINE, 7\n"
                "JOINT_UBSPLINEINTP. Blocks until the arm arrives. Returns 0 on arrival,\n"
                "10021 when the move is stopped (move_stop, a stop or an error on the\n"
                "controller), 10004 when the link is lost or the context logs out\n"
                "meanwhile, or another result code when the request fails. 10022 with\n"
                "fewer than 3 waypoints, 10002 for a kind above 7; None, with \"invalid\n"
                "parameters!\" logged, for a kind of 0 or less."),
    KEZU_METHOD("move_line_to", pykezuqx_move_line_to,
                "move_line_to(handle, track) -> int\n"
                "\n"
                "The same track move as move_track (not a move to a target position),\n"
                "without its check of track: 0 is sent as no track kind."),
    KEZU_METHOD("move_joint_to", pykezuqx_move_joint_to,
                "move_joint_to(handle, track) -> int\n"
                "\n"
                "The same track move as move_track (not a move to a target position),\n"
                "without its check of track: 0 is sent as no track kind."),
    KEZU_METHOD("clear_offline_track", pykezuqx_clear_offline_track,
                "clear_offline_track(handle) -> int\n"
                "\n"
                "Empties the controller's offline track. Returns 0 or a result code."),
    KEZU_METHOD("append_offline_track_waypoint", pykezuqx_append_offline_track_waypoint,
                "append_offline_track_waypoint(handle, waypoints) -> int\n"
                "\n"
                "Appends waypoints, a tuple of tuples of six joint angles (radians), to\n"
                "the controller's offline track. Returns 0, 1003 for more than 3000\n"
                "points (nothing sent), or a result code; None for an empty tuple or a\n"
                "point that is not six numbers."),
    KEZU_METHOD("append_offline_track_file", pykezuqx_append_offline_track_file,
                "append_offline_track_file(handle, filename) -> int\n"
                "\n"
                "Reads the file filename on this computer, one point per line as six\n"
                "joint angles in radians separated by commas, blanks, tabs or semicolons\n"
                "(blank lines skipped; what follows the sixth angle is ignored unless it\n"
                "is another number), and appends the points to the controller's offline\n"
                "track in batches of 2000. Returns 0; 10002 when the file cannot be read\n"
                "or a line does not begin with six angles or holds a seventh number\n"
                "(nothing sent), also for a file that starts with a UTF-8 byte-order\n"
                "mark (\"line 1 is not six joint angles\"); 10001 for a file without\n"
                "points; or a result code."),
    KEZU_METHOD("startup_offline_track", pykezuqx_startup_offline_track,
                "startup_offline_track(handle) -> int\n"
                "\n"
                "Plays the controller's offline track. Blocks until the arm arrives.\n"
                "Returns 0 on arrival, 10021 when the move is stopped (move_stop, a stop\n"
                "or an error on the controller), 10004 when the link is lost or the\n"
                "context logs out meanwhile, or another result code when the request\n"
                "fails."),
    KEZU_METHOD("stop_offline_track", pykezuqx_stop_offline_track,
                "stop_offline_track(handle) -> int\n"
                "\n"
                "Stops the offline track that is playing. Returns 0 or a result code."),
    KEZU_METHOD("enter_tcp2canbus_mode", pykezuqx_enter_tcp2canbus_mode,
                "enter_tcp2canbus_mode(handle) -> int\n"
                "\n"
                "Switches the controller to passing set_waypoint_to_canbus targets to the\n"
                "joints directly. Returns 0 or a result code."),
    KEZU_METHOD("leave_tcp2canbus_mode", pykezuqx_leave_tcp2canbus_mode,
                "leave_tcp2canbus_mode(handle) -> int\n"
                "\n"
                "Ends the mode of enter_tcp2canbus_mode. Returns 0 or a result code."),
    KEZU_METHOD("set_waypoint_to_canbus", pykezuqx_set_waypoint_to_canbus,
                "set_waypoint_to_canbus(handle, joints) -> int\n"
                "\n"
                "Sends joints (six angles, radians) as the next target in the mode of\n"
                "enter_tcp2canbus_mode; does not wait for the arm. Returns 0 or a result\n"
                "code."),
    KEZU_METHOD("startup_excit_traj_track", pykezuqx_startup_excit_traj_track,
                "startup_excit_traj_track(handle, track_file, type, subtype) -> int\n"
                "\n"
                "Runs the controller's dynamics-identification trajectory track_file (a\n"
                "name sent to the controller); type 0 none, 1 robot, 2 tool, 3 abort the\n"
                "tool run; subtype is passed on. Each is cut to one byte. Blocks until\n"
                "the arm arrives. Returns 0 on arrival, 10021 when the move is stopped\n"
                "(move_stop, a stop or an error on the controller), 10004 when the link\n"
                "is lost or the context logs out meanwhile, or another result code when\n"
                "the request fails."),
    KEZU_METHOD("get_dynidentify_results", pykezuqx_get_dynidentify_results,
                "get_dynidentify_results(handle) -> list or None\n"
                "\n"
                "The results of the dynamics identification, as the controller reports\n"
                "them (ints). None on failure."),
    KEZU_METHOD("forward_kin", pykezuqx_forward_kin,
                "forward_kin(handle, joints) -> dict or None\n"
                "\n"
                "Computes locally the flange pose of joints (six angles, radians) for the\n"
                "robot model of the process's first login (the default model before it)\n"
                "and returns a waypoint dict. The handle must name a context; no login is\n"
                "needed. None on failure (\"parameters error\" is logged)."),
    KEZU_METHOD("inverse_kin", pykezuqx_inverse_kin,
                "inverse_kin(handle, ref_joints, pos, ori) -> dict or None\n"
                "\n"
                "Computes locally the joint angles that put the flange at pos (x, y, z,\n"
                "metres) with orientation ori (w, x, y, z) in the base frame: the\n"
                "solution nearest ref_joints (six angles, radians), as a waypoint dict.\n"
                "None when the pose is out of reach (\"parameters error\" is logged)."),
    KEZU_METHOD("base_to_user", pykezuqx_base_to_user,
                "base_to_user(handle, pos, ori, user_coord, tool) -> dict or None\n"
                "\n"
                "Converts the flange pose pos (x, y, z, metres), ori (w, x, y, z) in the\n"
                "base frame into the pose of the tool end in the user frame user_coord\n"
                "(its coord_type is taken as 2), as a pose dict. None when a dict does\n"
                "not convert (\"parameters error\") or the conversion fails (\"base to user\n"
                "failed\")."),
    KEZU_METHOD("user_to_base", pykezuqx_user_to_base,
                "user_to_base(handle, pos, ori, user_coord, tool) -> dict or None\n"
                "\n"
                "Marks user_coord as the base frame before converting, so its points do\n"
                "not enter the result: pos (x, y, z, metres) and ori (w, x, y, z) are\n"
                "read as the tool-end pose in the base frame, and the result is the\n"
                "flange pose in the base frame that puts the tool end there, as a pose\n"
                "dict. None when a dict does not convert (\"parameters error\") or the\n"
                "conversion fails (\"user to base failed\")."),
    KEZU_METHOD("base_to_base_additional_tool", pykezuqx_base_to_base_additional_tool,
                "base_to_base_additional_tool(handle, pos, ori, tool) -> dict or None\n"
                "\n"
                "The pose of the tool end in the base frame for the flange pose pos (x,\n"
                "y, z, metres), ori (w, x, y, z) in the base frame, as a pose dict. None\n"
                "when tool does not convert (\"parameters error\") or the conversion fails\n"
                "(\"base to base failed!\")."),
    KEZU_METHOD("rpy_to_quaternion", pykezuqx_rpy_to_quaternion,
                "rpy_to_quaternion(handle, (rx, ry, rz)) -> list or None\n"
                "\n"
                "The quaternion [w, x, y, z] of roll rx, pitch ry and yaw rz in radians,\n"
                "computed in single precision. The handle must name a context. None on\n"
                "failure (\"rpy to quaternion failed!\" is logged)."),
    KEZU_METHOD("quaternion_to_rpy", pykezuqx_quaternion_to_rpy,
                "quaternion_to_rpy(handle, (w, x, y, z)) -> list or None\n"
                "\n"
                "Roll, pitch and yaw [rx, ry, rz] in radians of the quaternion, computed\n"
                "in single precision. The handle must name a context. None on failure\n"
                "(\"quaternion to rpy failed!\" is logged)."),
    KEZU_METHOD("set_tool_end_param", pykezuqx_set_tool_end_param,
                "set_tool_end_param(handle, tool) -> int\n"
                "\n"
                "The same as set_tool_kinematics_param."),
    KEZU_METHOD("set_none_tool_dynamics_param", pykezuqx_set_none_tool_dynamics_param,
                "set_none_tool_dynamics_param(handle) -> int\n"
                "\n"
                "Tells the controller that no tool is mounted: payload and centre of mass\n"
                "zero. Returns 0 or a result code."),
    KEZU_METHOD("set_tool_dynamics_param", pykezuqx_set_tool_dynamics_param,
                "set_tool_dynamics_param(handle, dynamics) -> int\n"
                "\n"
                "Sends the tool's payload and centre of mass (position: x, y, z, metres,\n"
                "in the flange frame) from the dynamics dict to the controller; the\n"
                "inertia must be given but is not sent. Returns 0 or a result code; None\n"
                "when dynamics does not convert."),
    KEZU_METHOD("get_tool_dynamics_param", pykezuqx_get_tool_dynamics_param,
                "get_tool_dynamics_param(handle) -> dict or None\n"
                "\n"
                "The controller's tool payload and centre of mass as {\"position\": [x, y,\n"
                "z], \"payload\": float, \"inertia\": [six zeros]} (the controller keeps no\n"
                "inertia). None on failure."),
    KEZU_METHOD("set_none_tool_kinematics_param", pykezuqx_set_none_tool_kinematics_param,
                "set_none_tool_kinematics_param(handle) -> int\n"
                "\n"
                "No tool: the following moves place the flange itself (shared by every\n"
                "context). Returns 0 or a result code."),
    KEZU_METHOD("set_tool_kinematics_param", pykezuqx_set_tool_kinematics_param,
                "set_tool_kinematics_param(handle, tool) -> int\n"
                "\n"
                "Sets the tool frame (the tool dict: pos metres and ori in the flange\n"
                "frame) that the following moves carry (shared by every context). Returns\n"
                "0 or a result code; None when tool does not convert."),
    KEZU_METHOD("get_tool_kinematics_param", pykezuqx_get_tool_kinematics_param,
                "get_tool_kinematics_param(handle) -> dict or None\n"
                "\n"
                "The tool frame as a pose dict (lists: pass tuple(...) to give them\n"
                "back). None for an unknown handle."),
    KEZU_METHOD("robot_startup", pykezuqx_robot_startup,
                "robot_startup(handle, collision_class, dynamics) -> int or None\n"
                "\n"
                "Starts the arm (power, brakes) with the tool dynamics dict and the\n"
                "collision class (its low 8 bits are sent), pose reading on, static\n"
                "collision detection off and board acceleration 6000. Blocks until the\n"
                "controller reports the start-up done, at most 60 s from the request.\n"
                "Returns 0; None when the start-up fails or the report does not come, or\n"
                "when dynamics does not convert."),
    KEZU_METHOD("robot_shutdown", pykezuqx_robot_shutdown,
                "robot_shutdown(handle) -> int\n"
                "\n"
                "Shuts the arm down. Blocks until the controller reports the shutdown\n"
                "done, at most 30 s from the request. Returns 0, 10001 when the report\n"
                "does not come, 10004 when the link is lost, or another result code."),
    KEZU_METHOD("move_stop", pykezuqx_move_stop,
                "move_stop(handle) -> int\n"
                "\n"
                "Stops the arm's move; a blocking move waiting in another thread then\n"
                "returns 10021. Returns 0 or a result code."),
    KEZU_METHOD("move_pause", pykezuqx_move_pause,
                "move_pause(handle) -> int\n"
                "\n"
                "Pauses the arm's move; move_continue resumes it. Returns 0 or a result\n"
                "code."),
    KEZU_METHOD("move_continue", pykezuqx_move_continue,
                "move_continue(handle) -> int\n"
                "\n"
                "Resumes a move paused by move_pause. Returns 0 or a result code."),
    KEZU_METHOD("collision_recover", pykezuqx_collision_recover,
                "collision_recover(handle) -> int\n"
                "\n"
                "Clears the controller's collision stop so that the arm can move again.\n"
                "Returns 0 or a result code."),
    KEZU_METHOD("get_robot_state", pykezuqx_get_robot_state,
                "get_robot_state(handle) -> int or None\n"
                "\n"
                "The arm's state: 0 stopped, 1 running, 2 paused, 3 resumed. None on\n"
                "failure."),
    KEZU_METHOD("set_work_mode", pykezuqx_set_work_mode,
                "set_work_mode(handle, mode) -> int\n"
                "\n"
                "Sets the controller's work mode: 0 simulator, 1 real arm. Returns 0 or a\n"
                "result code; None, with \"invalid parameter!\" logged, for any other mode."),
    KEZU_METHOD("get_work_mode", pykezuqx_get_work_mode,
                "get_work_mode(handle) -> int or None\n"
                "\n"
                "The controller's work mode: 0 simulator, 1 real arm. None on failure."),
    KEZU_METHOD("set_collision_class", pykezuqx_set_collision_class,
                "set_collision_class(handle, collision_class) -> int or None\n"
                "\n"
                "Sets the collision sensitivity class. Returns the class on success, None\n"
                "on failure."),
    KEZU_METHOD("is_have_real_robot", pykezuqx_is_have_real_robot,
                "is_have_real_robot(handle) -> int or None\n"
                "\n"
                "1 when a real arm is connected to the controller, else 0. None on\n"
                "failure."),
    KEZU_METHOD("is_online_mode", pykezuqx_is_online_mode,
                "is_online_mode(handle) -> int\n"
                "\n"
                "1 when the controller input CI00 (online mode) is on, else 0; also 0\n"
                "when the read fails."),
    KEZU_METHOD("is_online_master_mode", pykezuqx_is_online_master_mode,
                "is_online_master_mode(handle) -> int\n"
                "\n"
                "1 when the controller input CI01 (online master mode) is on, else 0; 1\n"
                "when the read fails."),
    KEZU_METHOD("get_joint_status", pykezuqx_get_joint_status,
                "get_joint_status(handle) -> dict or None\n"
                "\n"
                "Each joint's state as the controller reports it: {\"joint1\": {\"current\":\n"
                "int, \"voltage\": float, \"temperature\": float}, ... \"joint6\": ...}. None\n"
                "on failure (\"get joint status failed!\" is logged)."),
    KEZU_METHOD("get_current_waypoint", pykezuqx_get_current_waypoint,
                "get_current_waypoint(handle) -> dict or None\n"
                "\n"
                "The arm's joint angles read from the controller, with their flange pose,\n"
                "as a waypoint dict. None on failure (\"rs_get_current_waypoint failed!\"\n"
                "is logged)."),
    KEZU_METHOD("get_diagnosis_info", pykezuqx_get_diagnosis_info,
                "get_diagnosis_info(handle) -> dict or None\n"
                "\n"
                "The controller's diagnosis record as a dict of its 29 fields, keyed by\n"
                "their names in RobotDiagnosis (flags as 0 or 1). None on failure."),
    KEZU_METHOD("get_board_io_config", pykezuqx_get_board_io_config,
                "get_board_io_config(handle, type) -> list or None\n"
                "\n"
                "The interface board's IO points of one kind, without asking the\n"
                "controller: type 0 controller DI, 1 controller DO, 4 user DI, 5 user DO,\n"
                "6 user AI, 7 user AO (2 and 3 have no points). Each point is {\"id\": str,\n"
                "\"name\": str, \"addr\": int, \"type\": int, \"value\": -1.0}. None, with an\n"
                "error logged, for a type outside 0 to 7 or a kind without points."),
    KEZU_METHOD("set_board_io_status", pykezuqx_set_board_io_status,
                "set_board_io_status(handle, type, name, value) -> int\n"
                "\n"
                "Sets the board output called name of kind type: 1 controller DO or 5\n"
                "user DO (on when value is above 0.5), 7 user AO (value as given). A\n"
                "write also prints a trace line to standard output. Returns 0, 10002 when\n"
                "name is not an output of that kind, or a result code."),
    KEZU_METHOD("get_board_io_status", pykezuqx_get_board_io_status,
                "get_board_io_status(handle, type, name) -> float or None\n"
                "\n"
                "Reads the board IO point called name of kind type (0-7 as in\n"
                "get_board_io_config): a digital point reads 0.0 or 1.0, an analog point\n"
                "its value. None when name is not a point of that kind or the read fails."),
    KEZU_METHOD("set_tool_power_type", pykezuqx_set_tool_power_type,
                "set_tool_power_type(handle, type) -> int\n"
                "\n"
                "Sets the tool's supply voltage: 0 off (0 V), 1 12 V, 2 24 V. Returns 0\n"
                "or a result code; None, with \"invalid parameters!\" logged, for another\n"
                "type."),
    KEZU_METHOD("get_tool_power_type", pykezuqx_get_tool_power_type,
                "get_tool_power_type(handle) -> int or None\n"
                "\n"
                "The tool's supply voltage setting: 0 off, 1 12 V, 2 24 V. None on\n"
                "failure."),
    KEZU_METHOD("set_tool_io_type", pykezuqx_set_tool_io_type,
                "set_tool_io_type(handle, addr, type) -> int\n"
                "\n"
                "Makes tool digital IO addr (0 to 3) an input (type 0) or an output (type\n"
                "1). Returns 0, 10002 for an address outside 0 to 3, or a result code."),
    KEZU_METHOD("get_tool_power_voltage", pykezuqx_get_tool_power_voltage,
                "get_tool_power_voltage(handle) -> float or None\n"
                "\n"
                "The tool's supply voltage, volts. None on failure."),
    KEZU_METHOD("get_tool_io_status", pykezuqx_get_tool_io_status,
                "get_tool_io_status(handle, name) -> float or None\n"
                "\n"
                "Reads the tool IO point called name: \"T_DI/O_00\" to \"T_DI/O_03\"\n"
                "(digital, 0.0 or 1.0) or \"T_AI_00\", \"T_AI_01\" (analog inputs). None for\n"
                "another name or when the read fails."),
    KEZU_METHOD("set_tool_do_status", pykezuqx_set_tool_do_status,
                "set_tool_do_status(handle, name, status) -> int\n"
                "\n"
                "Switches the tool digital output called name (\"T_DI/O_00\" to\n"
                "\"T_DI/O_03\") off (status 0) or on (1). Returns 0, 10002 for another\n"
                "name, or a result code."),
    KEZU_METHOD("set_robot_event_callback", pykezuqx_set_robot_event_callback,
                "set_robot_event_callback(handle, callable) -> int\n"
                "\n"
                "Calls callable(event) on the module's event thread (see initialize) for\n"
                "each robot event of the context, with event = {\"type\": int, \"code\": int,\n"
                "\"content\": str}; arrival (22) and controller-state (25) events are not\n"
                "passed on. A new callable replaces the context's earlier one. Returns 0,\n"
                "or 1002 for an unknown handle (the callable is not kept); raises\n"
                "TypeError when callable cannot be called; returns 0 for arguments it\n"
                "cannot read."),
    {nullptr, nullptr, 0, nullptr},
};

#undef KEZU_METHOD

static const char kModuleDoc[] =
    "Client of a six-axis robot arm's controller, over TCP.\n"
    "\n"
    "A script calls initialize(), then h = create_context() and\n"
    "login(h, address, port), works with the handle h, and ends with\n"
    "logout(h), destory_context(h) and uninitialize(). help() of each method\n"
    "gives its arguments and results.\n"
    "\n"
    "Units: lengths in metres, angles in radians, quaternions scalar first\n"
    "(w, x, y, z), times in seconds. Groups of numbers inside a dict, and the\n"
    "waypoints of an offline track, are given as tuples (a list there is\n"
    "refused); a group that is an argument of its own may be a tuple or a\n"
    "list. Groups are returned as lists.\n"
    "\n"
    "Results: a method that returns int gives a result code, 0 on success\n"
    "(1002: the handle names no context; 1003: an argument out of range;\n"
    "10001-10024: the SDK's codes, listed in the README). A method that\n"
    "returns a value returns None when it fails. As a rule a method returns\n"
    "None for arguments it cannot read and logs \"parameters error\". Why a\n"
    "call failed is written to the trace log (./log/robottrace.log with the\n"
    "sample ./config/tracelog.properties in the working directory).\n"
    "\n"
    "Blocking: a request waits at most 0.8 s for its reply (then 10007; the\n"
    "controller may still carry it out). Moves block until the arm arrives,\n"
    "is stopped (10021) or the link is lost (10004); move_stop from another\n"
    "thread stops them, and so does Ctrl-C while the main thread waits in one:\n"
    "the move is stopped, then KeyboardInterrupt is raised.\n"
    "\n"
    "Dicts taken:\n"
    "  tool: {\"pos\": (x, y, z), \"ori\": (w, x, y, z)}, the tool end in the\n"
    "    flange frame.\n"
    "  dynamics: {\"payload\": float, \"position\": (x, y, z),\n"
    "    \"inertia\": (xx, xy, xz, yy, yz, zz)}, position in the flange frame.\n"
    "  user_coord: {\"coord_type\": 0 base, 1 flange or 2 user frame,\n"
    "    \"calibrate_method\": 0-7,\n"
    "    \"calibrate_points\": {\"point1\": joints, \"point2\": joints,\n"
    "                         \"point3\": joints},\n"
    "    \"tool_desc\": tool}: a user frame taught by three arm postures\n"
    "    (six joint angles each) with the tool end on its points.\n"
    "    calibrate_method says what the points are: 0 origin, +x, +y;\n"
    "    1 origin, +y, +z; 2 origin, +z, +x; 3 origin, +x, xy plane;\n"
    "    4 origin, +x, xz plane; 5 origin, +y, yz plane; 6 origin, +y,\n"
    "    yx plane; 7 origin, +z, zx plane (a plane point in its first\n"
    "    quadrant).\n"
    "Dicts returned:\n"
    "  waypoint: {\"joint\": [six angles], \"ori\": [w, x, y, z],\n"
    "    \"pos\": [x, y, z]}, the flange pose in the base frame.\n"
    "  pose: {\"ori\": [w, x, y, z], \"pos\": [x, y, z]}.";

extern "C" void initlibpykezuqx() {
    PyEval_InitThreads();
    PyObject *module = Py_InitModule4("libpykezuqx", pykezuqx_methods, kModuleDoc, nullptr, 1013);
    // The version of the C++ package built from the same tree.
    if (module != nullptr) {
        PyModule_AddStringConstant(module, "__version__", KEZUQX_VERSION);
    }
}

// Python 3's entry point: the module that initlibpykezuqx registered.
extern "C" PyMODINIT_FUNC PyInit_libpykezuqx() {
    initlibpykezuqx();
    return pycompat_take_initialised_module();
}
