#ifndef ROBOTUTILSERVICE_H
#define ROBOTUTILSERVICE_H

#include <string>
#include <vector>

#include "KezuRobotMetaType.h"
#include "internalMateType.h"
#include "robotCommon.h"

// Field-by-field copies between the SDK waypoint and the kinematics waypoint (same layout,
// same joint signs). Each zero-fills the whole target first.
void KezuWayPointToikFunRoadPint(const kezu_robot_namespace::wayPoint_S &src, wayPoint_S &target);
void ikFunRoadPintToKezuWayPoint(const wayPoint_S &src, kezu_robot_namespace::wayPoint_S &target);

// The kinematics under the SDK's records: forward and inverse kinematics, tool and user frame
// calibration, frame conversions, RPY and quaternions. Results are RobotErrorCode values.
class RobotUtilService {
public:
    using SdkPos = kezu_robot_namespace::Pos;
    using SdkOri = kezu_robot_namespace::Ori;
    using SdkWayPoint = kezu_robot_namespace::wayPoint_S;
    using SdkWayPointVector = std::vector<kezu_robot_namespace::wayPoint_S>;
    using UserCoord = kezu_robot_namespace::CoordCalibrateByJointAngleAndTool;
    using ToolDesc = kezu_robot_namespace::ToolInEndDesc;

    static int robotFk(const double *jointAngle, int size, SdkWayPoint &wayPoint);
    static int robotIk(const double *startPointJointAngle, const SdkPos &position,
                       const SdkOri &ori, SdkWayPoint &wayPoint);

    static int toolCalibration(
        const SdkWayPointVector &wayPointPosCalibVector,
        const SdkWayPointVector &wayPointOriCalibVector,
        kezu_robot_namespace::ToolKinematicsOriCalibrateMathod poseCalibMethod,
        ToolDesc &toolInEndDesc);
    static int toolCalibration(const SdkWayPointVector &wayPointPosCalibVector,
                               char poseCalibMethod, ToolDesc &toolInEndDesc);

    static int coordinateSystemCalibration(const UserCoord &coordCalibrate, double *bInWPos,
                                           double *bInWOri, double *wInBPos);
    static int checkCoordinateSystemCalibration(const UserCoord &coordCalibrate);
    // The three postures as tool-end poses; a tool that is not finite is ErrCode_ParamError.
    static int CoordCalibrateTypeConvert(const UserCoord &source,
                                         CoordCalibrateByToolEndPoint &target);

    // The pose conversions below, through toolOrientation2EndOrientation, refuse a non-finite
    // position and a zero or non-finite quaternion of the pose or tool with ErrCode_ParamError,
    // and so does a user frame whose tool is not finite (a zeroed tool is taken: only its offset
    // enters the frame). A result that overflows gives their conversion failure code
    // (ErrCode_ParamError where they have none). Outputs are written only on success. Except:
    // user2BaseCoordinate refuses a zero or non-finite pose quaternion with
    // ErrCode_UserToBaseConvertFailed.
    static int base2UserCoordinate(const SdkPos &flangeCenterPositionOnBase,
                                   const SdkOri &flangeCenterOrientationOnBase,
                                   const UserCoord &userCoordSystem, const ToolDesc &toolInEndDesc,
                                   SdkPos &toolEndPositionOnUserCoord,
                                   SdkOri &toolEndOrientationOnUserCoord);
    static int base2BaseAdditionalTool(const SdkWayPoint &flangeCenterPointOnBase,
                                       const ToolDesc &toolInEndDesc,
                                       SdkWayPoint &toolEndPointOnBase);
    static int user2BaseCoordinate(const SdkPos &toolEndPositionOnUserCoord,
                                   const SdkOri &toolEndOrientationOnUserCoord,
                                   const UserCoord &userCoord, const ToolDesc &toolInEndDesc,
                                   SdkPos &flangeCenterPositionOnBase,
                                   SdkOri &flangeCenterOrientationOnBase);
    static int userCoordPoint2BasePoint(const SdkPos &userCoordPoint,
                                        const UserCoord &userCoordSystem, SdkPos &basePoint);
    static int offsetVectorUserCoord2Base(const double *vectorOnUserCoord,
                                          const UserCoord &userCoordSystem,
                                          double *vectorOnBaseCoord);

    static int endPosition2BasePosition(const SdkWayPoint &flangeCenterPointOnBase,
                                        const SdkPos &endPosition, SdkPos &basePosition);
    static int endOrientation2ToolOrientation(SdkOri &tcpOriInEnd, const SdkOri &endOri,
                                              SdkOri &toolOri);
    static int toolOrientation2EndOrientation(SdkOri &tcpOriInEnd, const SdkOri &toolOri,
                                              SdkOri &endOri);

    static void initWayPoint(SdkWayPoint &wayPoint);
    static void initOrientation(SdkOri &orientation);
    // A zero or non-finite quaternion, or an angle not finite in single precision:
    // ErrCode_ParamError, output untouched.
    static int quaternionToRPY(const SdkOri &ori, kezu_robot_namespace::Rpy &rpy);
    static int RPYToQuaternion(const kezu_robot_namespace::Rpy &rpy, SdkOri &ori);

    // One line of an offline-track file: six joint angles, each but the last followed by one
    // separator character or by blanks alone; anything after the sixth is ignored. True only
    // when all six were read (an overflowing number fails); otherwise the waypoint holds the
    // angles read before the failure, the rest 0, with their forward-kinematics pose.
    static bool jointStringToWaypoint(const std::string &jointString, SdkWayPoint &waypoint);
    // A line of an offline-track file as the file reader takes it: read as above, but true only
    // when no further number follows the sixth angle behind blanks, commas and semicolons, or
    // behind one separator of another kind; anything else after it, a comment say, is ignored.
    static bool offlineTrackLineToWaypoint(const std::string &line, SdkWayPoint &waypoint);

    // False, installing nothing, when a length would not be finite.
    static bool setRobotDhParam(int robotType, const RobotDhPara &robotDhPara);

private:
    RobotUtilService();

    static int coordinateSystemCalibration(const CoordCalibrateByToolEndPoint &coordCalibrate,
                                           double *bInWPos, double *bInWOri, double *wInBPos);
    static int base2UserCoordinatePrivate(const SdkWayPoint &flangeCenterPointOnBase,
                                          const CoordCalibrateByToolEndPoint &userCoordSystem,
                                          const ToolDesc &toolInEndDesc,
                                          SdkWayPoint &toolEndPointOnUserCoord);
    static int user2BaseCoordinatePrivate(const SdkWayPoint &toolEndPointOnUserCoord,
                                          const CoordCalibrateByToolEndPoint &userCoordSystem,
                                          const ToolDesc &toolInEndDesc,
                                          SdkWayPoint &flangeCenterPointOnBase);
};

#endif
