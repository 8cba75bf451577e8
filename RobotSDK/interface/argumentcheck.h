#ifndef ARGUMENTCHECK_H
#define ARGUMENTCHECK_H

#include <cstddef>

#include "KezuRobotMetaType.h"
#include "rawvalue.h"

// What the facade checks before it sends or stores a caller's numbers: a NaN or an infinity
// would reach the controller as a target, and an enum value outside its enum as a command.
// Ranges stay the controller's to judge.
namespace argument_check {

namespace kezu = kezu_robot_namespace;

bool finite(double value);
// A missing array counts as finite here: the operation's own check refuses it.
bool finite(const double *values, std::size_t count);
bool finite(const kezu::Pos &pos);
bool finite(const kezu::Ori &ori);
bool finite(const kezu::wayPoint_S &wayPoint);
bool finite(const kezu::JointVelcAccParam &limits);
bool finite(const kezu::ToolInEndDesc &tool);
bool finite(const kezu::CoordCalibrateByJointAngleAndTool &frame);
bool finite(const kezu::MoveRelative &relative);
bool finite(const kezu::RobotJointOffset &offset);

// Finite and within the range of the float the controller takes it as.
bool fitsFloat(double value);

template <typename... Values>
bool allFinite(const Values &...values) {
    return (finite(values) && ...);
}

template <typename Enum>
bool inEnum(const Enum &value, Enum first, Enum last) {
    const int raw = rawValue(value);
    return raw >= static_cast<int>(first) && raw <= static_cast<int>(last);
}

// A log line naming the refused operation; both give 10002.
int refuseNonFinite(const char *operation);
int refuseOutsideEnum(const char *operation);

}  // namespace argument_check

#endif
