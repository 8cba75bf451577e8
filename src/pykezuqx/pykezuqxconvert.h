#ifndef PYKEZUQXCONVERT_H
#define PYKEZUQXCONVERT_H

#include "pykezuqxcompat.h"

#include <vector>

#include "KezuRobotMetaType.h"
#include "rsdef.h"

// Conversions between the Python values of the module's methods and the SDK records.
// Input converters fill the caller's record and return false (after logging why) when the
// value does not fit; members stored before the failure keep their new values. Output builders
// return a new dictionary owned by the caller, or null with the Python error set when the
// interpreter runs out of memory.

bool parse_coord_calibrate_param(PyObject *pDict, CoordCalibrate &user_coord);
bool parse_tool_desc_param(PyObject *pDict, kezu_robot_namespace::ToolInEndDesc &tool_desc);
bool parse_tool_dynamics_param(PyObject *pDict,
                               kezu_robot_namespace::ToolDynamicsParam &tool_dynamics);
// On success *pWaypoints is a new array (free it with delete[]) of *pWaypoint_count points;
// on failure both are reset to null and 0.
bool parse_offline_track_waypoints(PyObject *pTuple, kezu_robot_namespace::JointParam **pWaypoints,
                                   int *pWaypoint_count);

PyObject *make_return_waypoint(const kezu_robot_namespace::wayPoint_S &waypoint);
PyObject *make_return_pos_and_ori(const kezu_robot_namespace::Pos *pos,
                                  const kezu_robot_namespace::Ori *ori);
PyObject *make_return_tool_kinematics_param(
    const kezu_robot_namespace::ToolInEndDesc *tool_kinematics);
PyObject *make_return_tool_dynamics_param(
    const kezu_robot_namespace::ToolDynamicsParam *tool_dynamics);
PyObject *make_return_joint_status(const kezu_robot_namespace::JointStatus *jointStatus, int size);
PyObject *make_return_robot_event(const kezu_robot_namespace::RobotEventInfo *eventInfo);
PyObject *make_return_io_desc(const kezu_robot_namespace::RobotIoDesc &ioDesc);
// A list of IO description dictionaries in the order of the configuration.
PyObject *make_return_io_config(const std::vector<kezu_robot_namespace::RobotIoDesc> &config);
PyObject *make_return_diagnosis(const kezu_robot_namespace::RobotDiagnosis &diagnosis);

// A list of the numbers as floats (or ints), or null when the interpreter runs out of memory.
PyObject *make_float_list(const double *values, int count);
PyObject *make_int_list(const int *values, int count);

#endif
