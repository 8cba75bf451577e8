#include "pykezuqxconvert.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "globalutil.h"

using namespace kezu_robot_namespace;
using kezu_robot_logtrace::W_ERROR;

namespace {

// Groups of numbers must be tuples of exactly `count` items. A list, or an item the
// interpreter cannot read as a float, does not fit (and leaves no Python error behind).
bool readNumber(PyObject *number, double &out) {
    const double value = PyFloat_AsDouble(number);
    if (value == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    out = value;
    return true;
}

// The items may be borrowed: a tuple that is held cannot drop them.
bool readNumbers(PyObject *group, Py_ssize_t count, double *out) {
    if (group == nullptr || !PyTuple_Check(group) || PyTuple_Size(group) != count) {
        return false;
    }
    for (Py_ssize_t i = 0; i < count; ++i) {
        if (!readNumber(PyTuple_GetItem(group, i), out[i])) {
            return false;
        }
    }
    return true;
}

// The enum-valued keys: an int within [low, high] or nothing.
bool readEnum(PyObject *item, long low, long high, long &value) {
    value = PyInt_AsLong(item);
    if (value == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    return value >= low && value <= high;
}

struct Decref {
    void operator()(PyObject *object) const { Py_DECREF(object); }
};
using PyRef = std::unique_ptr<PyObject, Decref>;

// An item of a dictionary, null when the key is missing or the value is no dictionary. The
// reference is our own: reading a number can run Python code that replaces the entry.
PyRef item(PyObject *dict, const char *key) {
    PyObject *value = PyDict_Check(dict) ? PyDict_GetItemString(dict, key) : nullptr;
    Py_XINCREF(value);
    return PyRef(value);
}

bool readPos(PyObject *group, Pos &pos) {
    double values[3];
    if (!readNumbers(group, 3, values)) {
        return false;
    }
    pos = {values[0], values[1], values[2]};
    return true;
}

bool readOri(PyObject *group, Ori &ori) {
    double values[4];
    if (!readNumbers(group, 4, values)) {
        return false;
    }
    ori = {values[0], values[1], values[2], values[3]};
    return true;
}

bool readCalibratePoints(PyObject *points, CoordCalibrate &user_coord) {
    static const char *const kNames[3] = {"point1", "point2", "point3"};
    for (int i = 0; i < 3; ++i) {
        const PyRef point = item(points, kNames[i]);
        if (!readNumbers(point.get(), ARM_DOF, user_coord.wayPointArray[i].jointPos)) {
            W_ERROR("calibrate_points.%s invalid!", kNames[i]);
            return false;
        }
    }
    return true;
}

// Reads the item under key with `read`. A missing item logs `missing`, one that `read` refuses
// logs `invalid` (when given; `read` may log for itself).
template <typename Read>
bool readItem(PyObject *dict, const char *key, const char *missing, const char *invalid,
              Read read) {
    const PyRef value = item(dict, key);
    if (value == nullptr) {
        W_ERROR("%s", missing);
        return false;
    }
    if (!read(value.get())) {
        if (invalid != nullptr) {
            W_ERROR("%s", invalid);
        }
        return false;
    }
    return true;
}

bool readCalibrateTool(PyObject *tool, CoordCalibrate &user_coord) {
    ToolInEndDesc &desc = user_coord.toolDesc;
    return readItem(tool, "pos", "calibrate_points.tool_desc.pos invalid!",
                    "calibrate_points.tool_desc.pos invalid!",
                    [&](PyObject *pos) { return readPos(pos, desc.toolInEndPosition); }) &&
           readItem(tool, "ori", "calibrate_points.tool_desc.ori invalid!",
                    "calibrate_points.tool_desc.ori invalid!",
                    [&](PyObject *ori) { return readOri(ori, desc.toolInEndOrientation); });
}

// A key of the result dictionaries, made (interned) on first use and kept for the module's
// life: making and hashing the key strings on every call was a large share of a cheap call.
class ResultKey {
public:
    explicit ResultKey(const char *text) : m_text(text) {}

    // Under the interpreter lock; null, with the error set, when it cannot be made.
    PyObject *get() {
        if (m_key == nullptr) {
            m_key = PyUnicode_InternFromString(m_text);
        }
        return m_key;
    }

private:
    const char *m_text;
    PyObject *m_key = nullptr;
};

// The ResultKey of one place in the code, made when that place first runs.
#define RESULT_KEY(text)                  \
    ([]() -> ResultKey & {                \
        static ResultKey resultKey(text); \
        return resultKey;                 \
    }())

// Inserts a new value under key and drops the builder's reference to it.
bool put(PyObject *dict, PyObject *key, PyObject *value) {
    if (value == nullptr) {
        return false;
    }
    const int rc = key != nullptr ? PyDict_SetItem(dict, key, value) : -1;
    Py_DECREF(value);
    return rc == 0;
}

struct Entry {
    ResultKey &key;
    PyObject *value;
};

// A dictionary of the entries in their order; every entry's reference is consumed, also when
// building fails.
PyObject *makeDict(std::initializer_list<Entry> entries) {
    PyObject *dict = PyDict_New();
    bool ok = dict != nullptr;
    for (const Entry &entry : entries) {
        if (ok) {
            ok = put(dict, entry.key.get(), entry.value);
        } else {
            Py_XDECREF(entry.value);
        }
    }
    if (!ok) {
        Py_XDECREF(dict);
        return nullptr;
    }
    return dict;
}

// A list of make(value) for each value, or null when an item cannot be made.
template <typename T, typename Make>
PyObject *makeList(const T *values, int count, Make make) {
    PyObject *list = PyList_New(count);
    for (int i = 0; list != nullptr && i < count; ++i) {
        PyObject *item = make(values[i]);
        if (item == nullptr) {
            Py_CLEAR(list);
            break;
        }
        PyList_SET_ITEM(list, i, item);
    }
    return list;
}

// "joint1", "joint2", ...: the key of the joint of index i, made once as a ResultKey is.
PyObject *jointKey(int i) {
    static std::vector<PyObject *> keys;  // under the interpreter lock
    while (static_cast<int>(keys.size()) <= i) {
        char text[32];
        snprintf(text, sizeof text, "joint%zu", keys.size() + 1);
        PyObject *key = PyUnicode_InternFromString(text);
        if (key == nullptr) {
            return nullptr;
        }
        keys.push_back(key);
    }
    return keys[i];
}

PyObject *boundedString(const char *text, std::size_t capacity) {
    return PyString_FromStringAndSize(text, static_cast<Py_ssize_t>(strnlen(text, capacity)));
}

}  // namespace

bool parse_coord_calibrate_param(PyObject *pDict, CoordCalibrate &user_coord) {
    user_coord.coordType = WorldCoordinate;
    long value = 0;
    return readItem(pDict, "coord_type", "no found coord_type param!",
                    "user_coord.coord_type invalid",
                    [&](PyObject *type) {
                        if (!readEnum(type, BaseCoordinate, WorldCoordinate, value)) {
                            return false;
                        }
                        user_coord.coordType = static_cast<coordinate_refer>(value);
                        return true;
                    }) &&
           // The last method is not offered to scripts.
           readItem(
               pDict, "calibrate_method", "no found calibrate_method param!",
               "user_coord.method invalid",
               [&](PyObject *method) {
                   if (!readEnum(method, 0,
                                 Origin_AnyPointOnPositiveZAxis_AnyPointOnFirstQuadrantOfZOXPlane,
                                 value)) {
                       return false;
                   }
                   user_coord.methods = static_cast<CoordCalibrateMathod>(value);
                   return true;
               }) &&
           readItem(pDict, "calibrate_points", "no found calibrate_points param!", nullptr,
                    [&](PyObject *points) { return readCalibratePoints(points, user_coord); }) &&
           readItem(pDict, "tool_desc", "no found tool_desc param!", nullptr,
                    [&](PyObject *tool) { return readCalibrateTool(tool, user_coord); });
}

bool parse_tool_desc_param(PyObject *pDict, ToolInEndDesc &tool_desc) {
    return readItem(pDict, "pos", "no found tool desc pos param!",
                    "tool desc pos parameters invalid!",
                    [&](PyObject *pos) { return readPos(pos, tool_desc.toolInEndPosition); }) &&
           readItem(pDict, "ori", "no found tool desc oir param!",
                    "tool desc ori parameters invalid!",
                    [&](PyObject *ori) { return readOri(ori, tool_desc.toolInEndOrientation); });
}

bool parse_tool_dynamics_param(PyObject *pDict, ToolDynamicsParam &tool_dynamics) {
    return readItem(
               pDict, "payload", "no found payload param!", "payload parameters invalid!",
               [&](PyObject *payload) { return readNumber(payload, tool_dynamics.payload); }) &&
           readItem(pDict, "position", "no found tool position param!",
                    "tool position parameters invalid!",
                    [&](PyObject *position) {
                        double xyz[3];
                        if (!readNumbers(position, 3, xyz)) {
                            return false;
                        }
                        tool_dynamics.positionX = xyz[0];
                        tool_dynamics.positionY = xyz[1];
                        tool_dynamics.positionZ = xyz[2];
                        return true;
                    }) &&
           readItem(pDict, "inertia", "no found tool inertia param!",
                    "tool inertia parameters invalid!", [&](PyObject *inertia) {
                        double v[6];
                        if (!readNumbers(inertia, 6, v)) {
                            return false;
                        }
                        tool_dynamics.toolInertia = {v[0], v[1], v[2], v[3], v[4], v[5]};
                        return true;
                    });
}

bool parse_offline_track_waypoints(PyObject *pTuple, JointParam **pWaypoints,
                                   int *pWaypoint_count) {
    *pWaypoints = nullptr;
    *pWaypoint_count = 0;
    const Py_ssize_t size = PyTuple_Check(pTuple) ? PyTuple_Size(pTuple) : 0;
    // The procedural layer refuses long tracks by count; beyond an int there is no count.
    if (size < 1 || size > INT32_MAX) {
        return false;
    }
    std::unique_ptr<JointParam[]> waypoints(new JointParam[size]);
    for (Py_ssize_t i = 0; i < size; ++i) {
        if (!readNumbers(PyTuple_GetItem(pTuple, i), ARM_DOF, waypoints[i].jointPos)) {
            W_ERROR("offline track waypoint parameters invalid!");
            return false;
        }
    }
    *pWaypoints = waypoints.release();
    *pWaypoint_count = static_cast<int>(size);
    return true;
}

PyObject *make_float_list(const double *values, int count) {
    return makeList(values, count, [](double value) { return PyFloat_FromDouble(value); });
}

PyObject *make_int_list(const int *values, int count) {
    return makeList(values, count, [](int value) { return PyInt_FromLong(value); });
}

PyObject *make_return_io_config(const std::vector<RobotIoDesc> &config) {
    return makeList(config.data(), static_cast<int>(config.size()), make_return_io_desc);
}

PyObject *make_return_waypoint(const wayPoint_S &waypoint) {
    const Ori &o = waypoint.orientation;
    const double ori[4] = {o.w, o.x, o.y, o.z};
    return makeDict({{RESULT_KEY("joint"), make_float_list(waypoint.jointpos, ARM_DOF)},
                     {RESULT_KEY("ori"), make_float_list(ori, 4)},
                     {RESULT_KEY("pos"), make_float_list(waypoint.cartPos.positionVector, 3)}});
}

PyObject *make_return_pos_and_ori(const Pos *pos, const Ori *ori) {
    const double quaternion[4] = {ori->w, ori->x, ori->y, ori->z};
    const double position[3] = {pos->x, pos->y, pos->z};
    return makeDict({{RESULT_KEY("ori"), make_float_list(quaternion, 4)},
                     {RESULT_KEY("pos"), make_float_list(position, 3)}});
}

PyObject *make_return_tool_kinematics_param(const ToolInEndDesc *tool_kinematics) {
    return make_return_pos_and_ori(&tool_kinematics->toolInEndPosition,
                                   &tool_kinematics->toolInEndOrientation);
}

PyObject *make_return_tool_dynamics_param(const ToolDynamicsParam *tool_dynamics) {
    const double position[3] = {tool_dynamics->positionX, tool_dynamics->positionY,
                                tool_dynamics->positionZ};
    const ToolInertia &in = tool_dynamics->toolInertia;
    const double inertia[6] = {in.xx, in.xy, in.xz, in.yy, in.yz, in.zz};
    return makeDict({{RESULT_KEY("position"), make_float_list(position, 3)},
                     {RESULT_KEY("payload"), PyFloat_FromDouble(tool_dynamics->payload)},
                     {RESULT_KEY("inertia"), make_float_list(inertia, 6)}});
}

PyObject *make_return_joint_status(const JointStatus *jointStatus, int size) {
    PyObject *dict = PyDict_New();
    for (int i = 0; dict != nullptr && i < size; ++i) {
        const JointStatus joint = jointStatus[i];  // packed: read by value
        PyObject *status =
            makeDict({{RESULT_KEY("current"), PyInt_FromLong(joint.jointCurrentI)},
                      {RESULT_KEY("voltage"), PyFloat_FromDouble(joint.jointCurVol)},
                      {RESULT_KEY("temperature"), PyFloat_FromDouble(joint.jointCurTemp)}});
        if (!put(dict, jointKey(i), status)) {
            Py_CLEAR(dict);
        }
    }
    return dict;
}

PyObject *make_return_robot_event(const RobotEventInfo *eventInfo) {
    const std::string &content = eventInfo->eventContent;
    return makeDict(
        {{RESULT_KEY("type"), PyInt_FromLong(eventInfo->eventType)},
         {RESULT_KEY("code"), PyInt_FromLong(eventInfo->eventCode)},
         {RESULT_KEY("content"),
          PyString_FromStringAndSize(content.data(), static_cast<Py_ssize_t>(content.size()))}});
}

PyObject *make_return_io_desc(const RobotIoDesc &ioDesc) {
    return makeDict({{RESULT_KEY("id"), boundedString(ioDesc.ioId, sizeof ioDesc.ioId)},
                     {RESULT_KEY("name"), boundedString(ioDesc.ioName, sizeof ioDesc.ioName)},
                     {RESULT_KEY("addr"), PyInt_FromLong(ioDesc.ioAddr)},
                     {RESULT_KEY("type"), PyInt_FromLong(ioDesc.ioType)},
                     {RESULT_KEY("value"), PyFloat_FromDouble(ioDesc.ioValue)}});
}

PyObject *make_return_diagnosis(const RobotDiagnosis &d) {
    // Flags are ints 0 or 1, as everywhere in the module.
    return makeDict({
        {RESULT_KEY("armCanbusStatus"), PyInt_FromLong(d.armCanbusStatus)},
        {RESULT_KEY("armPowerCurrent"), PyFloat_FromDouble(d.armPowerCurrent)},
        {RESULT_KEY("armPowerVoltage"), PyFloat_FromDouble(d.armPowerVoltage)},
        {RESULT_KEY("armPowerStatus"), PyInt_FromLong(d.armPowerStatus)},
        {RESULT_KEY("contorllerTemp"), PyInt_FromLong(d.contorllerTemp)},
        {RESULT_KEY("contorllerHumidity"), PyInt_FromLong(d.contorllerHumidity)},
        {RESULT_KEY("remoteHalt"), PyInt_FromLong(d.remoteHalt)},
        {RESULT_KEY("softEmergency"), PyInt_FromLong(d.softEmergency)},
        {RESULT_KEY("remoteEmergency"), PyInt_FromLong(d.remoteEmergency)},
        {RESULT_KEY("robotCollision"), PyInt_FromLong(d.robotCollision)},
        {RESULT_KEY("forceControlMode"), PyInt_FromLong(d.forceControlMode)},
        {RESULT_KEY("brakeStuats"), PyInt_FromLong(d.brakeStuats)},
        {RESULT_KEY("robotEndSpeed"), PyFloat_FromDouble(d.robotEndSpeed)},
        {RESULT_KEY("robotMaxAcc"), PyInt_FromLong(d.robotMaxAcc)},
        {RESULT_KEY("orpeStatus"), PyInt_FromLong(d.orpeStatus)},
        {RESULT_KEY("enableReadPose"), PyInt_FromLong(d.enableReadPose)},
        {RESULT_KEY("robotMountingPoseChanged"), PyInt_FromLong(d.robotMountingPoseChanged)},
        {RESULT_KEY("encoderErrorStatus"), PyInt_FromLong(d.encoderErrorStatus)},
        {RESULT_KEY("staticCollisionDetect"), PyInt_FromLong(d.staticCollisionDetect)},
        {RESULT_KEY("jointCollisionDetect"), PyInt_FromLong(d.jointCollisionDetect)},
        {RESULT_KEY("encoderLinesError"), PyInt_FromLong(d.encoderLinesError)},
        {RESULT_KEY("jointErrorStatus"), PyInt_FromLong(d.jointErrorStatus)},
        {RESULT_KEY("singularityOverSpeedAlarm"), PyInt_FromLong(d.singularityOverSpeedAlarm)},
        {RESULT_KEY("robotCurrentAlarm"), PyInt_FromLong(d.robotCurrentAlarm)},
        {RESULT_KEY("toolIoError"), PyInt_FromLong(d.toolIoError)},
        {RESULT_KEY("robotMountingPoseWarning"), PyInt_FromLong(d.robotMountingPoseWarning)},
        {RESULT_KEY("macTargetPosBufferSize"), PyInt_FromLong(d.macTargetPosBufferSize)},
        {RESULT_KEY("macTargetPosDataSize"), PyInt_FromLong(d.macTargetPosDataSize)},
        {RESULT_KEY("macDataInterruptWarning"), PyInt_FromLong(d.macDataInterruptWarning)},
    });
}
