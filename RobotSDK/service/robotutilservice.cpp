#include "robotutilservice.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <istream>
#include <sstream>
#include <string>

#include "globalutil.h"
#include "ikfunc.h"
#include "rawvalue.h"

using kezu_robot_logtrace::W_ERROR;
namespace kezu = kezu_robot_namespace;

namespace {

const double kPi = 3.141592653589793;

::Pos toIk(const kezu::Pos &p) { return ::Pos{p.x, p.y, p.z}; }
kezu::Pos toSdk(const ::Pos &p) { return kezu::Pos{p.x, p.y, p.z}; }
::Ori toIk(const kezu::Ori &o) { return ::Ori{o.w, o.x, o.y, o.z}; }
kezu::Ori toSdk(const ::Ori &o) { return kezu::Ori{o.w, o.x, o.y, o.z}; }

const ::Ori kIdentity{1.0, 0.0, 0.0, 0.0};

bool isBlank(int c) { return c != std::char_traits<char>::eof() && std::isspace(c) != 0; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the stream's next characters begin a number as its floating-point extraction reads
// one: a digit, or a point before a digit, after an optional sign.
bool numberFollows(std::istream &in) {
    std::streambuf &text = *in.rdbuf();
    char ahead[3];
    const std::streamsize got = text.sgetn(ahead, sizeof(ahead));
    for (std::streamsize i = 0; i < got; ++i) {
        text.sungetc();
    }
    std::streamsize at = got > 0 && (ahead[0] == '+' || ahead[0] == '-') ? 1 : 0;
    if (at < got && ahead[at] == '.') {
        ++at;
    }
    return at < got && isDigit(ahead[at]);
}

// Consumes the separator after a joint angle of an offline-track line: a character directly
// after the number, or else the character after the blanks, unless that begins the next
// number (blanks alone separate then, so a sign is never taken for a separator).
void skipSeparator(std::istream &in) {
    if (isBlank(in.peek())) {
        in >> std::ws;
        if (numberFollows(in)) {
            return;
        }
    }
    in.get();
}

// Whether the rest of a line begins another number behind blanks, commas and semicolons, or
// behind one separator of another kind, as the angles before it may be separated.
bool numberAfterSeparators(std::istream &in) {
    while (isBlank(in.peek()) || in.peek() == ',' || in.peek() == ';') {
        in.get();
    }
    if (numberFollows(in)) {
        return true;
    }
    in.get();
    return numberFollows(in >> std::ws);
}

// Up to six angles of an offline-track line into the zeroed waypoint, with their pose; true
// when all six were read.
bool readJointString(std::istream &in, kezu::wayPoint_S &waypoint) {
    std::memset(&waypoint, 0, sizeof(waypoint));
    double joints[kezu::ARM_DOF] = {0.0};
    int read = 0;
    while (read < kezu::ARM_DOF) {
        // A failed extraction may still store a value (overflow); only a clean read counts.
        double angle = 0.0;
        if (!(in >> angle)) {
            break;
        }
        joints[read++] = angle;
        if (read < kezu::ARM_DOF) {
            skipSeparator(in);
        }
    }
    RobotUtilService::robotFk(joints, kezu::ARM_DOF, waypoint);
    return read == kezu::ARM_DOF;
}

// The tool of an SDK tool description as the kinematics takes it.
struct IkTool {
    explicit IkTool(const kezu::ToolInEndDesc &desc)
        : position{desc.toolInEndPosition.x, desc.toolInEndPosition.y, desc.toolInEndPosition.z},
          orientation(toIk(desc.toolInEndOrientation)) {}
    double position[3];
    ::Ori orientation;
};

// What the frame conversions can take; anything else is refused as a parameter error before
// it can come back as a non-finite result.
bool isFinite(const kezu::Pos &position) { return Ikfunc::isFinitePosition(toIk(position)); }

bool isUsable(const kezu::Ori &q) { return Ikfunc::isUsableQuaternion(toIk(q)); }

bool isFinite(const kezu::Ori &q) {
    return std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z);
}

bool isUsablePose(const kezu::Pos &position, const kezu::Ori &orientation) {
    return isFinite(position) && isUsable(orientation);
}

bool isUsableTool(const kezu::ToolInEndDesc &tool) {
    return isUsablePose(tool.toolInEndPosition, tool.toolInEndOrientation);
}

// The base frame as a user-frame description: converting into it adds the tool alone.
CoordCalibrateByToolEndPoint baseFrame() {
    CoordCalibrateByToolEndPoint frame;
    std::memset(&frame, 0, sizeof(frame));
    frame.coordType = kezu::BaseCoordinate;
    frame.methods = kezu::Origin_AnyPointOnPositiveXAxis_AnyPointOnPositiveYAxis;
    return frame;
}

// The three points of a user frame as kinematics waypoints.
struct IkPlane {
    explicit IkPlane(const CoordCalibrateByToolEndPoint &frame) {
        for (int i = 0; i < 3; ++i) {
            KezuWayPointToikFunRoadPint(frame.wayPointArray[i], points[i]);
        }
    }
    wayPoint_S points[3];
};

// Copied as bytes for the same reason rawValue reads them so.
template <typename E>
void copyRaw(E &to, const E &from) {
    std::memcpy(&to, &from, sizeof(E));
}

// Calibration methods cross as signed char; a value that does not fit could alias a valid
// method, so anything outside the nine methods goes on as -1, which the kinematics rejects.
char ikMethod(int methods) {
    return (methods >= 0 && methods < kezu::CoordTypeCount) ? static_cast<char>(methods) : -1;
}

// Frame selector for the base-to-user direction: everything but base and flange is a user frame.
MoveConditionClass::coordinate_refer ikDisplayCoord(int coordType) {
    if (coordType == kezu::BaseCoordinate) {
        return MoveConditionClass::BaseCoordinate;
    }
    if (coordType == kezu::EndCoordinate) {
        return MoveConditionClass::EndCoordinate;
    }
    return MoveConditionClass::WorldCoordinate;
}

// A waypoint with the zero joint vector carrying the given pose.
kezu::wayPoint_S poseWayPoint(const kezu::Pos &position, const kezu::Ori &orientation) {
    kezu::wayPoint_S wp;
    RobotUtilService::initWayPoint(wp);
    wp.cartPos.position = position;
    wp.orientation = orientation;
    return wp;
}

// A pose with the zero joint vector, converted by `convert` with the user frame given as
// three postures; on success the converted position and orientation are written.
template <typename Convert>
int convertThroughFrame(const kezu::Pos &position, const kezu::Ori &orientation,
                        const kezu::CoordCalibrateByJointAngleAndTool &userCoord, Convert convert,
                        kezu::Pos &outPosition, kezu::Ori &outOrientation) {
    const kezu::wayPoint_S source = poseWayPoint(position, orientation);
    CoordCalibrateByToolEndPoint frame;
    int ret = RobotUtilService::CoordCalibrateTypeConvert(userCoord, frame);
    if (ret != kezu::ErrnoSucc) {
        return ret;
    }
    kezu::wayPoint_S result;
    ret = convert(source, frame, result);
    if (ret != kezu::ErrnoSucc) {
        return ret;
    }
    outPosition = result.cartPos.position;
    outOrientation = result.orientation;
    return kezu::ErrnoSucc;
}

bool validOriCalibration(std::size_t posCount, std::size_t oriCount, int method) {
    if (posCount < 4) {
        return false;
    }
    if (oriCount == 0) {
        return true;
    }
    if (oriCount == 2) {
        return method >= kezu::ToolKinematicsOriCalibrateMathod_TxRBz_TxyPBzAndTyABnz &&
               method <= kezu::ToolKinematicsOriCalibrateMathod_TzRBz_TzxPBzAndTxABnz;
    }
    if (oriCount == 3) {
        return method >= kezu::ToolKinematicsOriCalibrateMathod_xOxy &&
               method <= kezu::ToolKinematicsOriCalibrateMathod_zOzx;
    }
    return false;
}

std::vector<wayPoint_S> toIk(const std::vector<kezu::wayPoint_S> &wps) {
    std::vector<wayPoint_S> out(wps.size());
    for (std::size_t i = 0; i < wps.size(); ++i) {
        KezuWayPointToikFunRoadPint(wps[i], out[i]);
    }
    return out;
}

}  // namespace

void KezuWayPointToikFunRoadPint(const kezu::wayPoint_S &src, wayPoint_S &target) {
    std::memset(&target, 0, sizeof(target));
    target.cartPos.position = toIk(src.cartPos.position);
    target.orientation = toIk(src.orientation);
    for (int i = 0; i < kezu::ARM_DOF; ++i) {
        target.jointpos[i] = src.jointpos[i];
    }
}

void ikFunRoadPintToKezuWayPoint(const wayPoint_S &src, kezu::wayPoint_S &target) {
    std::memset(&target, 0, sizeof(target));
    target.cartPos.position = toSdk(src.cartPos.position);
    target.orientation = toSdk(src.orientation);
    for (int i = 0; i < kezu::ARM_DOF; ++i) {
        target.jointpos[i] = src.jointpos[i];
    }
}

int RobotUtilService::robotFk(const double *jointAngle, int size, SdkWayPoint &wayPoint) {
    wayPoint_S scratch;
    std::memset(&scratch, 0, sizeof(scratch));
    if (size != kezu::ARM_DOF || jointAngle == nullptr) {
        return kezu::ErrCode_ParamError;
    }
    // A pose of angles that are not numbers would pass for a computed one.
    if (!std::all_of(jointAngle, jointAngle + kezu::ARM_DOF,
                     [](double angle) { return std::isfinite(angle); })) {
        W_ERROR("sdk log: call robotFk error.");
        return kezu::ErrCode_FkFailed;
    }
    for (int i = 0; i < kezu::ARM_DOF; ++i) {
        scratch.jointpos[i] = jointAngle[i];
    }
    if (!Ikfunc::ArmFk(scratch)) {
        W_ERROR("sdk log: call robotFk error.");
        return kezu::ErrCode_FkFailed;
    }
    ikFunRoadPintToKezuWayPoint(scratch, wayPoint);
    return kezu::ErrnoSucc;
}

int RobotUtilService::robotIk(const double *startPointJointAngle, const SdkPos &position,
                              const SdkOri &ori, SdkWayPoint &wayPoint) {
    // No reference joints to read: a parameter error rather than a crash.
    if (startPointJointAngle == nullptr) {
        return kezu::ErrCode_ParamError;
    }
    wayPoint_S scratch;
    std::memset(&scratch, 0, sizeof(scratch));
    scratch.cartPos.position = toIk(position);
    scratch.orientation = toIk(ori);
    for (int i = 0; i < kezu::ARM_DOF; ++i) {
        scratch.jointpos[i] = startPointJointAngle[i];
    }
    if (!Ikfunc::ArmIk(scratch, nullptr, false, false)) {
        W_ERROR("sdk log: call robotIk error.");
        return kezu::ErrCode_IkFailed;
    }
    ikFunRoadPintToKezuWayPoint(scratch, wayPoint);
    return kezu::ErrnoSucc;
}

int RobotUtilService::toolCalibration(const SdkWayPointVector &wayPointPosCalibVector,
                                      const SdkWayPointVector &wayPointOriCalibVector,
                                      kezu::ToolKinematicsOriCalibrateMathod poseCalibMethod,
                                      ToolDesc &toolInEndDesc) {
    if (!validOriCalibration(wayPointPosCalibVector.size(), wayPointOriCalibVector.size(),
                             poseCalibMethod)) {
        W_ERROR("sdk log: toolCalibration\u3000error, param error.");
        return kezu::ErrCode_ToolCalibrateParamError;
    }
    const std::vector<wayPoint_S> positions = toIk(wayPointPosCalibVector);
    const std::vector<wayPoint_S> orientations = toIk(wayPointOriCalibVector);
    const bool withOri = !orientations.empty();
    const char method = withOri ? static_cast<char>(poseCalibMethod)
                                : static_cast<char>(kezu::ToolKinematicsOriCalibrateMathod_Invalid);
    double toolPos[3] = {0.0, 0.0, 0.0};
    ::Ori toolOri = kIdentity;
    if (!Ikfunc::api_tool_coord_calib(positions.data(), static_cast<unsigned>(positions.size()),
                                      withOri ? orientations.data() : nullptr, method, toolPos,
                                      toolOri)) {
        W_ERROR("sdk log: Call ikfun api_tool_coord_calib failed.");
        return kezu::ErrCode_ToolCalibrateError;
    }
    toolInEndDesc.toolInEndPosition = kezu::Pos{toolPos[0], toolPos[1], toolPos[2]};
    toolInEndDesc.toolInEndOrientation = toSdk(toolOri);
    return kezu::ErrnoSucc;
}

int RobotUtilService::toolCalibration(const SdkWayPointVector &wayPointPosCalibVector,
                                      char /*poseCalibMethod*/, ToolDesc &toolInEndDesc) {
    const int ret = toolCalibration(wayPointPosCalibVector, SdkWayPointVector(),
                                    kezu::ToolKinematicsOriCalibrateMathod_Invalid, toolInEndDesc);
    if (ret != kezu::ErrnoSucc) {
        W_ERROR("sdk log: call toolCalibration error.");
        return kezu::ErrCode_ToolCalibrateError;
    }
    toolInEndDesc.toolInEndOrientation = toSdk(kIdentity);
    return kezu::ErrnoSucc;
}

int RobotUtilService::CoordCalibrateTypeConvert(const UserCoord &source,
                                                CoordCalibrateByToolEndPoint &target) {
    // Only the tool's offset enters the points, so a zeroed tool (the records' "no tool") is
    // taken; a non-finite one would leave non-finite points.
    if (!isFinite(source.toolDesc.toolInEndPosition) ||
        !isFinite(source.toolDesc.toolInEndOrientation)) {
        return kezu::ErrCode_ParamError;
    }
    copyRaw(target.coordType, source.coordType);
    copyRaw(target.methods, source.methods);
    for (int i = 0; i < 3; ++i) {
        SdkWayPoint &wp = target.wayPointArray[i];
        int ret = robotFk(source.wayPointArray[i].jointPos, kezu::ARM_DOF, wp);
        if (ret != kezu::ErrnoSucc) {
            W_ERROR("sdk log: CoordCalibrateTypeConvert Fk failed.");
            return ret;
        }
        ret = base2UserCoordinatePrivate(wp, baseFrame(), source.toolDesc, wp);
        if (ret != kezu::ErrnoSucc) {
            W_ERROR("sdk log: CoordCalibrateTypeConvert baseToUserCoordinate error.");
            return ret;
        }
    }
    return kezu::ErrnoSucc;
}

int RobotUtilService::coordinateSystemCalibration(const UserCoord &coordCalibrate, double *bInWPos,
                                                  double *bInWOri, double *wInBPos) {
    CoordCalibrateByToolEndPoint frame;
    const int ret = CoordCalibrateTypeConvert(coordCalibrate, frame);
    if (ret != kezu::ErrnoSucc) {
        return ret;
    }
    return coordinateSystemCalibration(frame, bInWPos, bInWOri, wInBPos);
}

int RobotUtilService::coordinateSystemCalibration(
    const CoordCalibrateByToolEndPoint &coordCalibrate, double *bInWPos, double *bInWOri,
    double *wInBPos) {
    if (rawValue(coordCalibrate.coordType) != kezu::WorldCoordinate) {
        W_ERROR(
            "sdk log: Coordinate system calibration\u3000param error, "
            "coordType!=WorldCoordinate.");
        return kezu::ErrCode_ParamError;
    }
    const IkPlane plane(coordCalibrate);
    if (!Ikfunc::api_user_coord_calib(plane.points, ikMethod(rawValue(coordCalibrate.methods)),
                                      bInWPos, bInWOri, wInBPos)) {
        W_ERROR("sdk log: call ikFun api_user_coord_calib failed.");
        return kezu::ErrCode_CoordinateSystemCalibrateError;
    }
    return kezu::ErrnoSucc;
}

int RobotUtilService::checkCoordinateSystemCalibration(const UserCoord &coordCalibrate) {
    double bInWPos[3] = {0.0};
    double bInWOri[9] = {0.0};
    double wInBPos[3] = {0.0};
    return coordinateSystemCalibration(coordCalibrate, bInWPos, bInWOri, wInBPos);
}

int RobotUtilService::base2UserCoordinatePrivate(
    const SdkWayPoint &flangeCenterPointOnBase, const CoordCalibrateByToolEndPoint &userCoordSystem,
    const ToolDesc &toolInEndDesc, SdkWayPoint &toolEndPointOnUserCoord) {
    wayPoint_S flange;
    KezuWayPointToikFunRoadPint(flangeCenterPointOnBase, flange);
    const IkTool tool(toolInEndDesc);
    const IkPlane plane(userCoordSystem);
    wayPoint_S result;
    std::memset(&result, 0, sizeof(result));
    if (!Ikfunc::waypointDisplay(
            result, flange, ikDisplayCoord(rawValue(userCoordSystem.coordType)), tool.position,
            &tool.orientation, plane.points, ikMethod(rawValue(userCoordSystem.methods)))) {
        return kezu::ErrCode_BaseToUserConvertFailed;
    }
    ikFunRoadPintToKezuWayPoint(result, toolEndPointOnUserCoord);
    return kezu::ErrnoSucc;
}

int RobotUtilService::base2UserCoordinate(const SdkPos &flangeCenterPositionOnBase,
                                          const SdkOri &flangeCenterOrientationOnBase,
                                          const UserCoord &userCoordSystem,
                                          const ToolDesc &toolInEndDesc,
                                          SdkPos &toolEndPositionOnUserCoord,
                                          SdkOri &toolEndOrientationOnUserCoord) {
    if (!isUsablePose(flangeCenterPositionOnBase, flangeCenterOrientationOnBase) ||
        !isUsableTool(toolInEndDesc)) {
        return kezu::ErrCode_ParamError;
    }
    return convertThroughFrame(
        flangeCenterPositionOnBase, flangeCenterOrientationOnBase, userCoordSystem,
        [&toolInEndDesc](const SdkWayPoint &in, const CoordCalibrateByToolEndPoint &frame,
                         SdkWayPoint &out) {
            return base2UserCoordinatePrivate(in, frame, toolInEndDesc, out);
        },
        toolEndPositionOnUserCoord, toolEndOrientationOnUserCoord);
}

int RobotUtilService::base2BaseAdditionalTool(const SdkWayPoint &flangeCenterPointOnBase,
                                              const ToolDesc &toolInEndDesc,
                                              SdkWayPoint &toolEndPointOnBase) {
    if (!isUsablePose(flangeCenterPointOnBase.cartPos.position,
                      flangeCenterPointOnBase.orientation) ||
        !isUsableTool(toolInEndDesc)) {
        return kezu::ErrCode_ParamError;
    }
    return base2UserCoordinatePrivate(flangeCenterPointOnBase, baseFrame(), toolInEndDesc,
                                      toolEndPointOnBase);
}

int RobotUtilService::user2BaseCoordinatePrivate(
    const SdkWayPoint &toolEndPointOnUserCoord, const CoordCalibrateByToolEndPoint &userCoordSystem,
    const ToolDesc &toolInEndDesc, SdkWayPoint &flangeCenterPointOnBase) {
    // Only base and user frames can be converted from; checked here so that no other value
    // is cast into the kinematics' selector.
    const int coordType = rawValue(userCoordSystem.coordType);
    if (coordType != kezu::BaseCoordinate && coordType != kezu::WorldCoordinate) {
        return kezu::ErrCode_UserToBaseConvertFailed;
    }
    wayPoint_S toolEnd;
    KezuWayPointToikFunRoadPint(toolEndPointOnUserCoord, toolEnd);
    const IkTool tool(toolInEndDesc);
    const IkPlane plane(userCoordSystem);
    wayPoint_S result;
    std::memset(&result, 0, sizeof(result));
    if (!Ikfunc::robotCoordConvert(result, toolEnd, plane.points,
                                   ikMethod(rawValue(userCoordSystem.methods)), tool.position,
                                   &tool.orientation, MoveConditionClass::BaseCoordinate,
                                   ikDisplayCoord(coordType))) {
        return kezu::ErrCode_UserToBaseConvertFailed;
    }
    ikFunRoadPintToKezuWayPoint(result, flangeCenterPointOnBase);
    return kezu::ErrnoSucc;
}

int RobotUtilService::user2BaseCoordinate(const SdkPos &toolEndPositionOnUserCoord,
                                          const SdkOri &toolEndOrientationOnUserCoord,
                                          const UserCoord &userCoord, const ToolDesc &toolInEndDesc,
                                          SdkPos &flangeCenterPositionOnBase,
                                          SdkOri &flangeCenterOrientationOnBase) {
    if (!isFinite(toolEndPositionOnUserCoord) || !isUsableTool(toolInEndDesc)) {
        return kezu::ErrCode_ParamError;
    }
    // A pose quaternion the conversion cannot normalise is its own failure, not a parameter
    // error.
    if (!isUsable(toolEndOrientationOnUserCoord)) {
        return kezu::ErrCode_UserToBaseConvertFailed;
    }
    return convertThroughFrame(
        toolEndPositionOnUserCoord, toolEndOrientationOnUserCoord, userCoord,
        [&toolInEndDesc](const SdkWayPoint &in, const CoordCalibrateByToolEndPoint &frame,
                         SdkWayPoint &out) {
            return user2BaseCoordinatePrivate(in, frame, toolInEndDesc, out);
        },
        flangeCenterPositionOnBase, flangeCenterOrientationOnBase);
}

int RobotUtilService::userCoordPoint2BasePoint(const SdkPos &userCoordPoint,
                                               const UserCoord &userCoordSystem,
                                               SdkPos &basePoint) {
    if (!isFinite(userCoordPoint)) {
        return kezu::ErrCode_ParamError;
    }
    if (rawValue(userCoordSystem.coordType) == kezu::BaseCoordinate) {
        basePoint = userCoordPoint;
        return kezu::ErrnoSucc;
    }
    if (rawValue(userCoordSystem.coordType) != kezu::WorldCoordinate) {
        W_ERROR("sdk log: Interface service error: param error.");
        return kezu::ErrCode_ParamError;
    }
    ToolDesc noTool;
    noTool.toolInEndPosition = kezu::Pos{0.0, 0.0, 0.0};
    noTool.toolInEndOrientation = toSdk(kIdentity);
    SdkPos position;
    SdkOri orientation;
    const int ret = user2BaseCoordinate(userCoordPoint, toSdk(kIdentity), userCoordSystem, noTool,
                                        position, orientation);
    if (ret != kezu::ErrnoSucc) {
        W_ERROR("sdk log: userCoordPoint2BasePoint call userToBaseCoordinate failed.");
        return ret;
    }
    basePoint = position;
    return kezu::ErrnoSucc;
}

int RobotUtilService::offsetVectorUserCoord2Base(const double *vectorOnUserCoord,
                                                 const UserCoord &userCoordSystem,
                                                 double *vectorOnBaseCoord) {
    if (vectorOnUserCoord == nullptr || vectorOnBaseCoord == nullptr ||
        !isFinite(kezu::Pos{vectorOnUserCoord[0], vectorOnUserCoord[1], vectorOnUserCoord[2]})) {
        return kezu::ErrCode_ParamError;
    }
    if (rawValue(userCoordSystem.coordType) == kezu::BaseCoordinate) {
        for (int i = 0; i < 3; ++i) {
            vectorOnBaseCoord[i] = vectorOnUserCoord[i];
        }
        return kezu::ErrnoSucc;
    }
    if (rawValue(userCoordSystem.coordType) != kezu::WorldCoordinate) {
        return kezu::ErrCode_ParamError;
    }
    SdkPos origin;
    int ret = userCoordPoint2BasePoint(kezu::Pos{0.0, 0.0, 0.0}, userCoordSystem, origin);
    if (ret != kezu::ErrnoSucc) {
        return ret;
    }
    SdkPos tip;
    ret = userCoordPoint2BasePoint(
        kezu::Pos{vectorOnUserCoord[0], vectorOnUserCoord[1], vectorOnUserCoord[2]},
        userCoordSystem, tip);
    if (ret != kezu::ErrnoSucc) {
        W_ERROR("sdk log: offsetVectorUserCoord2Base call userToBaseCoordinate failed.");
        return ret;
    }
    vectorOnBaseCoord[0] = tip.x - origin.x;
    vectorOnBaseCoord[1] = tip.y - origin.y;
    vectorOnBaseCoord[2] = tip.z - origin.z;
    return kezu::ErrnoSucc;
}

int RobotUtilService::endPosition2BasePosition(const SdkWayPoint &flangeCenterPointOnBase,
                                               const SdkPos &endPosition, SdkPos &basePosition) {
    if (!isUsablePose(flangeCenterPointOnBase.cartPos.position,
                      flangeCenterPointOnBase.orientation) ||
        !isFinite(endPosition)) {
        return kezu::ErrCode_ParamError;
    }
    wayPoint_S flange;
    KezuWayPointToikFunRoadPint(flangeCenterPointOnBase, flange);
    const double offset[3] = {endPosition.x, endPosition.y, endPosition.z};
    double position[3] = {0.0, 0.0, 0.0};
    Ikfunc::endPosition2ToolPosition(flange, offset, position);
    const kezu::Pos result{position[0], position[1], position[2]};
    if (!isFinite(result)) {
        return kezu::ErrCode_ParamError;  // finite, but far enough out to overflow
    }
    basePosition = result;
    return kezu::ErrnoSucc;
}

int RobotUtilService::endOrientation2ToolOrientation(SdkOri &tcpOriInEnd, const SdkOri &endOri,
                                                     SdkOri &toolOri) {
    if (!isUsable(tcpOriInEnd) || !isUsable(endOri)) {
        return kezu::ErrCode_ParamError;
    }
    ::Ori result = kIdentity;
    Ikfunc::endOrientation2ToolOrientation(toIk(tcpOriInEnd), toIk(endOri), result);
    toolOri = toSdk(result);
    return kezu::ErrnoSucc;
}

int RobotUtilService::toolOrientation2EndOrientation(SdkOri &tcpOriInEnd, const SdkOri &toolOri,
                                                     SdkOri &endOri) {
    if (!isUsable(tcpOriInEnd) || !isUsable(toolOri)) {
        return kezu::ErrCode_ParamError;
    }
    ::Ori result = kIdentity;
    Ikfunc::toolOrientation2EndOrientation(toIk(tcpOriInEnd), toIk(toolOri), result);
    endOri = toSdk(result);
    return kezu::ErrnoSucc;
}

void RobotUtilService::initWayPoint(SdkWayPoint &wayPoint) {
    for (int i = 0; i < kezu::ARM_DOF; ++i) {
        wayPoint.jointpos[i] = 0.0;
    }
    robotFk(wayPoint.jointpos, kezu::ARM_DOF, wayPoint);
}

void RobotUtilService::initOrientation(SdkOri &orientation) { orientation = toSdk(kIdentity); }

int RobotUtilService::quaternionToRPY(const SdkOri &ori, kezu::Rpy &rpy) {
    if (!isUsable(ori)) {
        return kezu::ErrCode_ParamError;
    }
    float yawPitchRoll[3] = {0.0f, 0.0f, 0.0f};
    Ikfunc::quaternionToRPY(toIk(ori), yawPitchRoll);
    rpy.rx = yawPitchRoll[2] / 180.0 * kPi;
    rpy.ry = yawPitchRoll[1] / 180.0 * kPi;
    rpy.rz = yawPitchRoll[0] / 180.0 * kPi;
    return kezu::ErrnoSucc;
}

int RobotUtilService::RPYToQuaternion(const kezu::Rpy &rpy, SdkOri &ori) {
    const float rollPitchYaw[3] = {static_cast<float>(rpy.rx), static_cast<float>(rpy.ry),
                                   static_cast<float>(rpy.rz)};
    // Angles are taken in single precision: one beyond its range is as unusable as a NaN.
    if (!std::all_of(rollPitchYaw, rollPitchYaw + 3, [](float a) { return std::isfinite(a); })) {
        return kezu::ErrCode_ParamError;
    }
    ::Ori result = kIdentity;
    Ikfunc::RPYToQuaternion(result, rollPitchYaw);
    ori = toSdk(result);
    return kezu::ErrnoSucc;
}

bool RobotUtilService::jointStringToWaypoint(const std::string &jointString,
                                             SdkWayPoint &waypoint) {
    std::istringstream in(jointString);
    return readJointString(in, waypoint);
}

bool RobotUtilService::offlineTrackLineToWaypoint(const std::string &line, SdkWayPoint &waypoint) {
    // A comment or a trailing separator after the sixth angle is ignored, but a seventh number
    // (a leading time column, say) would move the arm through shifted joints.
    std::istringstream in(line);
    return readJointString(in, waypoint) && !numberAfterSeparators(in);
}

bool RobotUtilService::setRobotDhParam(int robotType, const RobotDhPara &robotDhPara) {
    return Ikfunc::setDhParameters(static_cast<kezu_robot_type>(robotType), robotDhPara.A3,
                                   robotDhPara.A4, robotDhPara.D1, robotDhPara.D2, robotDhPara.D5,
                                   robotDhPara.D6);
}
