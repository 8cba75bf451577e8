#include "argumentcheck.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "globalutil.h"

namespace argument_check {

namespace {

int refuse(const char *operation, const char *what) {
    kezu_robot_logtrace::W_ERROR("sdk log: %s refused: %s.", operation, what);
    return kezu::ErrCode_ParamError;
}

}  // namespace

bool finite(double value) { return std::isfinite(value); }

bool finite(const double *values, std::size_t count) {
    return values == nullptr ||
           std::all_of(values, values + count, [](double value) { return finite(value); });
}

bool finite(const kezu::Pos &pos) { return allFinite(pos.x, pos.y, pos.z); }

bool finite(const kezu::Ori &ori) { return allFinite(ori.w, ori.x, ori.y, ori.z); }

bool finite(const kezu::wayPoint_S &wayPoint) {
    return allFinite(wayPoint.cartPos.position, wayPoint.orientation) &&
           finite(wayPoint.jointpos, kezu::ARM_DOF);
}

bool finite(const kezu::JointVelcAccParam &limits) {
    return finite(limits.jointPara, kezu::ARM_DOF);
}

bool finite(const kezu::ToolInEndDesc &tool) {
    return allFinite(tool.toolInEndPosition, tool.toolInEndOrientation);
}

bool finite(const kezu::CoordCalibrateByJointAngleAndTool &frame) {
    for (const kezu::JointParam &point : frame.wayPointArray) {
        if (!finite(point.jointPos, kezu::ARM_DOF)) {
            return false;
        }
    }
    return finite(frame.toolDesc);
}

bool finite(const kezu::MoveRelative &relative) {
    return allFinite(relative.relativePosition[0], relative.relativePosition[1],
                     relative.relativePosition[2]);
}

bool finite(const kezu::RobotJointOffset &offset) {
    return finite(offset.jointOffset, kezu::ARM_DOF);
}

bool fitsFloat(double value) {
    // NaN fails the comparison.
    return std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max());
}

int refuseNonFinite(const char *operation) { return refuse(operation, "a number is not finite"); }

int refuseOutsideEnum(const char *operation) {
    return refuse(operation, "a value is outside its enum");
}

}  // namespace argument_check
