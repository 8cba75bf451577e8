#ifndef SERVICEINTERFACE_H
#define SERVICEINTERFACE_H

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KezuRobotMetaType.h"

// Held by pointer only, so that a user of the facade sees nothing but the public records.
class RobotControlServices;
class RobotMoveService;
class RobotIoService;

// Sleeps for the given time; an interrupted wait is not resumed.
void setTimer(int seconds, int mSeconds);

// Prints both records, one value a line, and tells whether they are equal.
bool robotSafetyConfigIsEqual(const kezu_robot_namespace::RobotSafetyConfig &safetyConfig1,
                              const kezu_robot_namespace::RobotSafetyConfig &safetyConfig2);

// One controller connection with its services, push callbacks and every SDK operation.
// Results are RobotErrorCode values unless a method says otherwise.
class ServiceInterface {
public:
    using Pos = kezu_robot_namespace::Pos;
    using Ori = kezu_robot_namespace::Ori;
    using Rpy = kezu_robot_namespace::Rpy;
    using wayPoint_S = kezu_robot_namespace::wayPoint_S;
    using JointParam = kezu_robot_namespace::JointParam;
    using JointVelcAccParam = kezu_robot_namespace::JointVelcAccParam;
    using MoveRelative = kezu_robot_namespace::MoveRelative;
    using ToolInEndDesc = kezu_robot_namespace::ToolInEndDesc;
    using ToolKinematicsParam = kezu_robot_namespace::ToolKinematicsParam;
    using ToolDynamicsParam = kezu_robot_namespace::ToolDynamicsParam;
    using RobotJointOffset = kezu_robot_namespace::RobotJointOffset;
    using CoordCalibrateByJointAngleAndTool =
        kezu_robot_namespace::CoordCalibrateByJointAngleAndTool;
    using JointStatus = kezu_robot_namespace::JointStatus;
    using RobotDiagnosis = kezu_robot_namespace::RobotDiagnosis;
    using RobotSafetyConfig = kezu_robot_namespace::RobotSafetyConfig;
    using OrpeSafetyStatus = kezu_robot_namespace::OrpeSafetyStatus;
    using RobotGravityComponent = kezu_robot_namespace::RobotGravityComponent;
    using RobotDevInfo = kezu_robot_namespace::RobotDevInfo;
    using RobotIoDesc = kezu_robot_namespace::RobotIoDesc;
    using RobotEventInfo = kezu_robot_namespace::RobotEventInfo;
    using RobotErrorCode = kezu_robot_namespace::RobotErrorCode;
    using RobotIoType = kezu_robot_namespace::RobotIoType;
    using ToolIOType = kezu_robot_namespace::ToolIOType;
    using ToolPowerType = kezu_robot_namespace::ToolPowerType;
    using IO_STATUS = kezu_robot_namespace::IO_STATUS;
    using ToolDigitalIOAddr = kezu_robot_namespace::ToolDigitalIOAddr;
    using RobotWorkMode = kezu_robot_namespace::RobotWorkMode;
    using RobotMoveControlCommand = kezu_robot_namespace::RobotMoveControlCommand;
    using RobotControlCommand = kezu_robot_namespace::RobotControlCommand;
    using Robot_Dyn_identify_traj = kezu_robot_namespace::Robot_Dyn_identify_traj;
    using ROBOT_SERVICE_STATE = kezu_robot_namespace::ROBOT_SERVICE_STATE;
    using RobotState = kezu_robot_namespace::RobotState;
    using move_track = kezu_robot_namespace::move_track;
    using teach_mode = kezu_robot_namespace::teach_mode;
    using ToolKinematicsOriCalibrateMathod = kezu_robot_namespace::ToolKinematicsOriCalibrateMathod;
    using update_board_firmware_cmd = kezu_robot_namespace::update_board_firmware_cmd;

    // Creates the services and registers the push receivers; connects to nothing.
    ServiceInterface();
    // Closes the connection and ends its receive thread before anything else is released,
    // and waits for calls still running on other threads to return (closing the link ends
    // their waits). Not to be run from inside one of the object's own callbacks.
    ~ServiceInterface();
    ServiceInterface(const ServiceInterface &) = delete;
    ServiceInterface &operator=(const ServiceInterface &) = delete;

    /* Connection, pushes and callbacks */

    int robotServiceLogin(const char *host, int port, const char *userName, const char *possword);
    void robotServiceGetConnectStatus(bool &connectStatus);
    int robotServiceLogout();
    int robotServiceRobotHandShake(bool isBlock);

    int robotServiceSetRealTimeJointStatusPush(bool enable);
    int robotServiceSetRealTimeRoadPointPush(bool enable);
    int robotServiceSetRealTimeEndSpeedPush(bool enable);

    // A null callback stops the push and empties the slot. Registering waits for a running
    // callback of the same slot (unless made from inside it).
    int robotServiceRegisterRealTimeJointStatusCallback(RealTimeJointStatusCallback ptr, void *arg);
    int robotServiceRegisterRealTimeRoadPointCallback(RealTimeRoadPointCallback ptr, void *arg);
    int robotServiceRegisterRealTimeEndSpeedCallback(RealTimeEndSpeedCallback ptr, void *arg);
    int robotServiceRegisterRobotEventInfoCallback(RobotEventCallback ptr, void *arg);

    // Receivers run on the connection's receive thread; arg is the facade.
    static void recvRealTimeJointStatusPushCallback(const JointStatus *jointStatus, int size,
                                                    void *arg);
    static void recvRealTimeWaypointPushCallback(const wayPoint_S *waypoint, void *arg);
    static void recvRealTimeEndSpeedPushCallback(double speed, void *arg);
    static void recvRobotEventPushCallback(const RobotEventInfo *info, void *arg);

    /* Move profile and global waypoint list (process-wide, shared by every facade) */

    int robotServiceInitGlobalMoveProfile();
    int robotServiceSetGlobalMoveJointMaxAcc(const JointVelcAccParam &moveMaxAcc);
    int robotServiceSetGlobalMoveJointMaxVelc(const JointVelcAccParam &moveMaxVelc);
    void robotServiceGetGlobalMoveJointMaxAcc(JointVelcAccParam &moveMaxAcc);
    void robotServiceGetGlobalMoveJointMaxVelc(JointVelcAccParam &moveMaxVelc);
    int robotServiceSetGlobalMoveEndMaxLineAcc(double moveMaxAcc);
    int robotServiceSetGlobalMoveEndMaxLineVelc(double moveMaxVelc);
    void robotServiceGetGlobalMoveEndMaxLineAcc(double &moveMaxAcc);
    void robotServiceGetGlobalMoveEndMaxLineVelc(double &moveMaxVelc);
    int robotServiceSetGlobalMoveEndMaxAngleAcc(double moveMaxAcc);
    int robotServiceSetGlobalMoveEndMaxAngleVelc(double moveMaxVelc);
    void robotServiceGetGlobalMoveEndMaxAngleAcc(double &moveMaxAcc);
    void robotServiceGetGlobalMoveEndMaxAngleVelc(double &moveMaxVelc);

    void robotServiceClearGlobalWayPointVector();
    int robotServiceAddGlobalWayPoint(const wayPoint_S &wayPoint);
    // Six joint angles in radians; the pose comes from forward kinematics.
    int robotServiceAddGlobalWayPoint(const double *jointAngle);
    void robotServiceGetGlobalWayPointVector(std::vector<wayPoint_S> &wayPointVector);
    float robotServiceGetGlobalBlendRadius();
    int robotServiceSetGlobalBlendRadius(float value);
    double robotServiceGetTrackPlaybackCycle();
    int robotServiceSetTrackPlaybackCycle(double second);
    int robotServiceGetGlobalCircularLoopTimes();
    void robotServiceSetGlobalCircularLoopTimes(int times);

    int robotServiceSetMoveRelativeParam(const MoveRelative &relativeMoveOnBase);
    int robotServiceSetMoveRelativeParam(const MoveRelative &relativeMoveOnUserCoord,
                                         const CoordCalibrateByJointAngleAndTool &userCoord);
    int robotServiceSetNoArrivalAhead();
    int robotServiceSetArrivalAheadDistanceMode(double distance);
    int robotServiceSetArrivalAheadTimeMode(double second);
    int robotServiceSetTeachCoordinateSystem(const CoordCalibrateByJointAngleAndTool &coordSystem);
    int robotServiceSetNoneToolKinematicsParam();
    int robotServiceSetToolKinematicsParam(const ToolKinematicsParam &toolKinematicsParam);
    int robotServiceGetToolKinematicsParam(ToolKinematicsParam &toolKinematicsParam);

    /* Motion; IsBolck blocks until the arm arrives */

    int robotServiceJointMove(wayPoint_S &wayPoint, bool IsBolck);
    int robotServiceJointMove(double *jointAngle, bool IsBolck);
    int robotServiceFollowModeJointMove(double *jointAngle);
    // The waypoint's pose is recomputed from its own joint angles first and comes back so.
    int robotServiceLineMove(wayPoint_S &wayPoint, bool IsBolck);
    int robotServiceLineMove(double *jointAngle, bool IsBolck);
    int robotServiceRotateMove(const CoordCalibrateByJointAngleAndTool &userCoord,
                               const double *rotateAxisOnUserCoord, double rotateAngle,
                               bool IsBolck);
    int robotServiceTrackMove(move_track subMoveMode, bool IsBolck);
    int robotServiceTeachStart(teach_mode mode, bool direction);
    int robotServiceTeachStop();

    int robotMoveLineToTargetPositionByRelative(
        const CoordCalibrateByJointAngleAndTool &coordSystem,
        const MoveRelative &relativeMoveOnUserCoord, bool IsBolck);
    int robotMoveJointToTargetPositionByRelative(
        const CoordCalibrateByJointAngleAndTool &coordSystem,
        const MoveRelative &relativeMoveOnUserCoord, bool IsBolck);
    int getJointAngleByTargetPositionKeepCurrentOri(
        const CoordCalibrateByJointAngleAndTool &coordSystem, const Pos &toolEndPositionOnUserCoord,
        const ToolInEndDesc &toolInEndDesc, double *jointAngle);
    int robotMoveLineToTargetPosition(const CoordCalibrateByJointAngleAndTool &coordSystem,
                                      const Pos &toolEndPositionOnUserCoord,
                                      const ToolInEndDesc &toolInEndDesc, bool IsBolck);
    int robotMoveJointToTargetPosition(const CoordCalibrateByJointAngleAndTool &coordSystem,
                                       const Pos &toolEndPositionOnUserCoord,
                                       const ToolInEndDesc &toolInEndDesc, bool IsBolck);

    int rootServiceRobotMoveControl(RobotMoveControlCommand cmd);
    int robotMoveFastStop();

    // At most 5000 waypoints; more give 10002 and nothing is sent.
    int robotServiceOfflineTrackWaypointAppend(const std::vector<wayPoint_S> &wayPointVector);
    // One line of six joint angles per waypoint, separated by commas, blanks, tabs or
    // semicolons; blank lines are skipped, and so is what follows the sixth angle unless it is
    // another number. The whole file is read and checked before anything is sent: a path that
    // is not a readable regular file (missing, a directory, a FIFO, a device) or any line that
    // is not six angles, or holds a seventh number, gives 10002, an empty file 10001. A UTF-8
    // byte-order mark at the start makes line 1 not six angles.
    int robotServiceOfflineTrackWaypointAppend(const char *fileName);
    int robotServiceOfflineTrackWaypointClear();
    int robotServiceOfflineTrackMoveStartup(bool IsBolck);
    int robotServiceOfflineTrackMoveStop();

    int robotServiceEnterTcp2CanbusMode();
    int robotServiceLeaveTcp2CanbusMode();
    int robotServiceSetRobotPosData2Canbus(double *jointAngle);

    int startupOfflineExcitTrajService(const char *trackFile, Robot_Dyn_identify_traj type,
                                       int subtype, bool isBolck);
    int getDynIdentifyResultsService(std::vector<int> &paramVector);

    /* Kinematics and error texts */

    int robotServiceRobotFk(const double *jointAngle, int size, wayPoint_S &wayPoint);
    int robotServiceRobotIk(const double *startPointJointAngle, const Pos &position, const Ori &ori,
                            wayPoint_S &wayPoint);
    int robotServiceToolCalibration(const std::vector<wayPoint_S> &wayPointPosVector,
                                    char poseCalibMethod, ToolInEndDesc &toolInEndDesc);
    int robotServiceToolCalibration(const std::vector<wayPoint_S> &wayPointPosCalibVector,
                                    const std::vector<wayPoint_S> &wayPointOriCalibVector,
                                    ToolKinematicsOriCalibrateMathod poseCalibMethod,
                                    ToolInEndDesc &toolInEndDesc);
    int robotServiceCheckUserCoordinate(const CoordCalibrateByJointAngleAndTool &coordSystem);

    static int baseToUserCoordinate(const Pos &flangeCenterPositionOnBase,
                                    const Ori &flangeCenterOrientationOnBase,
                                    const CoordCalibrateByJointAngleAndTool &userCoord,
                                    const ToolInEndDesc &toolInEndDesc,
                                    Pos &toolEndPositionOnUserCoord,
                                    Ori &toolEndOrientationOnUserCoord);
    static int baseToBaseAdditionalTool(const Pos &flangeCenterPositionOnBase,
                                        const Ori &flangeCenterOrientationOnBase,
                                        const ToolInEndDesc &toolInEndDesc,
                                        Pos &toolEndPositionOnBase, Ori &toolEndOrientationOnBase);
    static int userToBaseCoordinate(const Pos &toolEndPositionOnUserCoord,
                                    const Ori &toolEndOrientationOnUserCoord,
                                    const CoordCalibrateByJointAngleAndTool &userCoord,
                                    const ToolInEndDesc &toolInEndDesc,
                                    Pos &flangeCenterPositionOnBase,
                                    Ori &flangeCenterOrientationOnBase);
    static int userCoordPointToBasePoint(const Pos &userCoordPoint,
                                         const CoordCalibrateByJointAngleAndTool &userCoordSystem,
                                         Pos &basePoint);
    static int endOrientation2ToolOrientation(Ori &tcpOriInEnd, const Ori &endOri, Ori &toolOri);
    static int toolOrientation2EndOrientation(Ori &tcpOriInEnd, const Ori &toolOri, Ori &endOri);
    static int getTargetWaypointByPosition(const wayPoint_S &sourceWayPointOnBaseCoord,
                                           const CoordCalibrateByJointAngleAndTool &userCoordSystem,
                                           const Pos &toolEndPosition,
                                           const ToolInEndDesc &toolInEndDesc,
                                           wayPoint_S &targetWayPointOnBaseCoord);
    int quaternionToRPY(const Ori &ori, Rpy &rpy);
    int RPYToQuaternion(const Rpy &rpy, Ori &ori);
    // The code's text; empty for a code without one.
    std::string getErrDescByCode(RobotErrorCode code);

    /* Control, state and device */

    int rootServiceRobotControl(RobotControlCommand cmd);
    int robotServicePowerControl(bool value);
    int robotServiceReleaseBrake();
    // Inertia of the tool dynamics is not sent.
    int rootServiceRobotStartup(const ToolDynamicsParam &toolDynamicsParam, uint8 collisionClass,
                                bool readPose, bool staticCollisionDetect, int boardBaxAcc,
                                ROBOT_SERVICE_STATE &result, bool IsBolck);
    int rootServiceRobotShutdown(bool IsBolck);
    int robotServiceSetNoneToolDynamicsParam();
    int robotServiceSetToolDynamicsParam(const ToolDynamicsParam &toolDynamicsParam);
    // Position and payload come back float-rounded, the inertia as zero.
    int robotServiceGetToolDynamicsParam(ToolDynamicsParam &toolDynamicsParam);
    int robotServiceGetRobotWorkMode(RobotWorkMode &mode);
    int robotServiceSetRobotWorkMode(RobotWorkMode mode);
    int robotServiceGetRobotGravityComponent(RobotGravityComponent &gravityComponent);
    // The grade reads 0 when the request fails.
    int robotServiceGetRobotCollisionCurrentService(int &collisionGrade);
    int robotServiceSetRobotCollisionClass(int grade);
    int robotServiceGetRobotDevInfoService(RobotDevInfo &devInfo);
    // Does nothing; returns 0.
    int robotServiceSetRobotMaxACC(int maxAcc);
    int robotServiceCollisionRecover();
    int robotServiceGetRobotCurrentState(RobotState &state);
    // Sends nothing; value is true, result 0.
    int robotServiceGetMacCommunicationStatus(bool &value);
    int robotServiceGetIsRealRobotExist(bool &value);
    int robotServiceGetRobotJointStatus(JointStatus *jointStatus, int size);
    int robotServiceGetRobotDiagnosisInfo(RobotDiagnosis &robotDiagnosisInfo);
    int robotServiceGetJointAngleInfo(JointParam &jointParam);
    int robotServiceGetCurrentWaypointInfo(wayPoint_S &wayPoint);
    int robotServiceSetRobotAtOriginPose();
    int robotServiceSetRobotJointOffset(RobotJointOffset &jointOffset);
    int robotServiceUpdateRobotBoardFirmware(update_board_firmware_cmd cmd, const void *data,
                                             uint16 length);
    int robotServiceGetBoardFirmwareUpdateResultService(bool &value);
    int robotServiceGetRobotEthernetDeviceName(std::string &ethernetDeviceName);

    /* Safety */

    int robotServiceGetRobotSafetyConfig(RobotSafetyConfig &safetyConfig);
    // Boards older than generation 3 take no safety configuration: 0, nothing sent. Otherwise
    // the record is written and read back until equal, at most 6 times (10001 when it never is).
    int robotServiceSetRobotSafetyConfig(const RobotSafetyConfig &safetyConfig);
    int robotServiceGetOrpeSafetyStatus(OrpeSafetyStatus &safetyStatus);
    int robotServiceSetRobotOrpePause(uint8 data);
    int robotServiceSetRobotOrpeStop(uint8 data);
    int robotServiceSetRobotOrpeError(uint8 *data, int len);
    int robotServiceClearSystemEmergencyStop(uint8 data);
    int robotServiceClearReducedModeError(uint8 data);
    int robotServiceRobotSafetyguardResetSucc(uint8 data);

    /* Board and tool IO */

    int robotServiceGetBoardIOConfig(const std::vector<RobotIoType> &ioType,
                                     std::vector<RobotIoDesc> &configVector);
    int robotServiceGetBoardIOStatus(std::vector<RobotIoType> ioType,
                                     std::vector<RobotIoDesc> &statusVector);
    int robotServiceSetBoardIOStatus(RobotIoType type, std::string name, double value);
    int robotServiceSetBoardIOStatus(RobotIoType type, int addr, double value);
    int robotServiceGetBoardIOStatus(RobotIoType type, std::string name, double &value);
    int robotServiceGetBoardIOStatus(RobotIoType type, int addr, double &value);
    // Controller input "CI00"; false when it cannot be read.
    int robotServiceIsOnlineMode(bool &isOnlineMode);
    // Controller input "CI01"; true when it cannot be read.
    int robotServiceIsOnlineMasterMode(bool &isOnlineMasterMode);

    int robotServiceSetToolPowerVoltageType(ToolPowerType type);
    int robotServiceGetToolPowerVoltageType(ToolPowerType &type);
    int robotServiceSetToolDigitalIOType(ToolDigitalIOAddr addr, ToolIOType type);
    int robotServiceGetToolPowerVoltageStatus(double &value);
    int robotServiceSetToolPowerTypeAndDigitalIOType(ToolPowerType type, ToolIOType io0,
                                                     ToolIOType io1, ToolIOType io2,
                                                     ToolIOType io3);
    int robotServiceGetAllToolDigitalIOStatus(std::vector<RobotIoDesc> &statusVector);
    int robotServiceGetAllToolAIStatus(std::vector<RobotIoDesc> &statusVector);
    int robotServiceGetToolIoStatus(std::string name, double &value);
    int robotServiceSetToolDOStatus(ToolDigitalIOAddr addr, IO_STATUS value);
    int robotServiceSetToolDOStatus(std::string name, IO_STATUS value);

private:
    class CallGuard;
    // Held while a user callback runs. Recursive, so that a callback that registers its own
    // slot replaces it instead of deadlocking.
    using SlotMutex = std::recursive_mutex;

    std::unique_ptr<RobotControlServices> m_robotBaseService;
    std::unique_ptr<RobotIoService> m_robotIoService;
    std::unique_ptr<RobotMoveService> m_robotMoveService;

    void *m_realTimeJointStatusCallbackArg;
    RealTimeJointStatusCallback m_realTimeJointStatusCallback;
    SlotMutex m_realTimeJointStatusCallbackChangeMutex;

    void *m_realTimeRoadPointCallbackArg;
    RealTimeRoadPointCallback m_realTimeRoadPointCallback;
    SlotMutex m_realTimeRoadPointCallbackChangeMutex;

    void *m_robotEventCallbackArg;
    RobotEventCallback m_robotEventCallback;
    SlotMutex m_robotEventCallbackChangeMutex;

    void *m_robotEndSpeedCallbackArg;
    RealTimeEndSpeedCallback m_robotEndSpeedCallback;
    SlotMutex m_robotEndSpeedCallbackChangeMutex;

    // Calls in flight on other threads; the destructor waits for them after closing the link.
    std::mutex m_callsMutex;
    std::condition_variable m_callsDone;
    int m_callsRunning;
};

#endif
