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

#define KEZU_METHOD(name, function) \
    { name, function, METH_VARARGS, nullptr }

static PyMethodDef pykezuqx_methods[] = {
    KEZU_METHOD("initialize", pykezuqx_initialize),
    KEZU_METHOD("uninitialize", pykezuqx_uninitialize),
    KEZU_METHOD("create_context", pykezuqx_create_context),
    KEZU_METHOD("destory_context", pykezuqx_destory_context),
    KEZU_METHOD("login", pykezuqx_login),
    KEZU_METHOD("logout", pykezuqx_logout),
    KEZU_METHOD("get_login_status", pykezuqx_get_login_status),
    KEZU_METHOD("init_global_move_profile", pykezuqx_init_global_move_profile),
    KEZU_METHOD("set_joint_maxacc", pykezuqx_set_global_joint_maxacc),
    KEZU_METHOD("set_joint_maxvelc", pykezuqx_set_global_joint_maxvelc),
    KEZU_METHOD("get_joint_maxacc", pykezuqx_get_global_joint_maxacc),
    KEZU_METHOD("get_joint_maxvelc", pykezuqx_get_global_joint_maxvelc),
    KEZU_METHOD("set_end_max_line_acc", pykezuqx_set_global_end_max_line_acc),
    KEZU_METHOD("set_end_max_line_velc", pykezuqx_set_global_end_max_line_velc),
    KEZU_METHOD("get_end_max_line_acc", pykezuqx_get_global_end_max_line_acc),
    KEZU_METHOD("get_end_max_line_velc", pykezuqx_get_global_end_max_line_velc),
    KEZU_METHOD("set_end_max_angle_acc", pykezuqx_set_global_end_max_angle_acc),
    KEZU_METHOD("set_end_max_angle_velc", pykezuqx_set_global_end_max_angle_velc),
    KEZU_METHOD("get_end_max_angle_acc", pykezuqx_get_global_end_max_angle_acc),
    KEZU_METHOD("get_end_max_angle_velc", pykezuqx_get_global_end_max_angle_velc),
    KEZU_METHOD("move_joint", pykezuqx_move_joint),
    KEZU_METHOD("move_line", pykezuqx_move_line),
    KEZU_METHOD("move_rotate", pykezuqx_move_rotate),
    KEZU_METHOD("remove_all_waypoint", pykezuqx_remove_all_waypoint),
    KEZU_METHOD("add_waypoint", pykezuqx_add_waypoint),
    KEZU_METHOD("set_blend_radius", pykezuqx_set_blend_radius),
    KEZU_METHOD("set_circular_loop_times", pykezuqx_set_circular_loop_times),
    KEZU_METHOD("set_user_coord", pykezuqx_set_user_coord),
    KEZU_METHOD("set_base_coord", pykezuqx_set_base_coord),
    KEZU_METHOD("check_user_coord", pykezuqx_check_user_coord),
    KEZU_METHOD("set_relative_offset_on_base", pykezuqx_set_relative_offset_on_base),
    KEZU_METHOD("set_relative_offset_on_user", pykezuqx_set_relative_offset_on_user),
    KEZU_METHOD("set_no_arrival_ahead", pykezuqx_set_no_arrival_ahead),
    KEZU_METHOD("set_arrival_ahead_distance", pykezuqx_set_arrival_ahead_distance),
    KEZU_METHOD("set_arrival_ahead_time", pykezuqx_set_arrival_ahead_time),
    KEZU_METHOD("move_track", pykezuqx_move_track),
    KEZU_METHOD("move_line_to", pykezuqx_move_line_to),
    KEZU_METHOD("move_joint_to", pykezuqx_move_joint_to),
    KEZU_METHOD("clear_offline_track", pykezuqx_clear_offline_track),
    KEZU_METHOD("append_offline_track_waypoint", pykezuqx_append_offline_track_waypoint),
    KEZU_METHOD("append_offline_track_file", pykezuqx_append_offline_track_file),
    KEZU_METHOD("startup_offline_track", pykezuqx_startup_offline_track),
    KEZU_METHOD("stop_offline_track", pykezuqx_stop_offline_track),
    KEZU_METHOD("enter_tcp2canbus_mode", pykezuqx_enter_tcp2canbus_mode),
    KEZU_METHOD("leave_tcp2canbus_mode", pykezuqx_leave_tcp2canbus_mode),
    KEZU_METHOD("set_waypoint_to_canbus", pykezuqx_set_waypoint_to_canbus),
    KEZU_METHOD("startup_excit_traj_track", pykezuqx_startup_excit_traj_track),
    KEZU_METHOD("get_dynidentify_results", pykezuqx_get_dynidentify_results),
    KEZU_METHOD("forward_kin", pykezuqx_forward_kin),
    KEZU_METHOD("inverse_kin", pykezuqx_inverse_kin),
    KEZU_METHOD("base_to_user", pykezuqx_base_to_user),
    KEZU_METHOD("user_to_base", pykezuqx_user_to_base),
    KEZU_METHOD("base_to_base_additional_tool", pykezuqx_base_to_base_additional_tool),
    KEZU_METHOD("rpy_to_quaternion", pykezuqx_rpy_to_quaternion),
    KEZU_METHOD("quaternion_to_rpy", pykezuqx_quaternion_to_rpy),
    KEZU_METHOD("set_tool_end_param", pykezuqx_set_tool_end_param),
    KEZU_METHOD("set_none_tool_dynamics_param", pykezuqx_set_none_tool_dynamics_param),
    KEZU_METHOD("set_tool_dynamics_param", pykezuqx_set_tool_dynamics_param),
    KEZU_METHOD("get_tool_dynamics_param", pykezuqx_get_tool_dynamics_param),
    KEZU_METHOD("set_none_tool_kinematics_param", pykezuqx_set_none_tool_kinematics_param),
    KEZU_METHOD("set_tool_kinematics_param", pykezuqx_set_tool_kinematics_param),
    KEZU_METHOD("get_tool_kinematics_param", pykezuqx_get_tool_kinematics_param),
    KEZU_METHOD("robot_startup", pykezuqx_robot_startup),
    KEZU_METHOD("robot_shutdown", pykezuqx_robot_shutdown),
    KEZU_METHOD("move_stop", pykezuqx_move_stop),
    KEZU_METHOD("move_pause", pykezuqx_move_pause),
    KEZU_METHOD("move_continue", pykezuqx_move_continue),
    KEZU_METHOD("collision_recover", pykezuqx_collision_recover),
    KEZU_METHOD("get_robot_state", pykezuqx_get_robot_state),
    KEZU_METHOD("set_work_mode", pykezuqx_set_work_mode),
    KEZU_METHOD("get_work_mode", pykezuqx_get_work_mode),
    KEZU_METHOD("set_collision_class", pykezuqx_set_collision_class),
    KEZU_METHOD("is_have_real_robot", pykezuqx_is_have_real_robot),
    KEZU_METHOD("is_online_mode", pykezuqx_is_online_mode),
    KEZU_METHOD("is_online_master_mode", pykezuqx_is_online_master_mode),
    KEZU_METHOD("get_joint_status", pykezuqx_get_joint_status),
    KEZU_METHOD("get_current_waypoint", pykezuqx_get_current_waypoint),
    KEZU_METHOD("get_diagnosis_info", pykezuqx_get_diagnosis_info),
    KEZU_METHOD("get_board_io_config", pykezuqx_get_board_io_config),
    KEZU_METHOD("set_board_io_status", pykezuqx_set_board_io_status),
    KEZU_METHOD("get_board_io_status", pykezuqx_get_board_io_status),
    KEZU_METHOD("set_tool_power_type", pykezuqx_set_tool_power_type),
    KEZU_METHOD("get_tool_power_type", pykezuqx_get_tool_power_type),
    KEZU_METHOD("set_tool_io_type", pykezuqx_set_tool_io_type),
    KEZU_METHOD("get_tool_power_voltage", pykezuqx_get_tool_power_voltage),
    KEZU_METHOD("get_tool_io_status", pykezuqx_get_tool_io_status),
    KEZU_METHOD("set_tool_do_status", pykezuqx_set_tool_do_status),
    KEZU_METHOD("set_robot_event_callback", pykezuqx_set_robot_event_callback),
    {nullptr, nullptr, 0, nullptr},
};

#undef KEZU_METHOD

extern "C" void initlibpykezuqx() {
    PyEval_InitThreads();
    Py_InitModule4("libpykezuqx", pykezuqx_methods, "initlibpykezuqx module.", nullptr, 1013);
}

// Python 3's entry point: the module that initlibpykezuqx registered.
extern "C" PyMODINIT_FUNC PyInit_libpykezuqx() {
    initlibpykezuqx();
    return pycompat_take_initialised_module();
}
