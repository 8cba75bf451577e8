#ifndef KEZUROBOTMETATYPE_H
#define KEZUROBOTMETATYPE_H

#include <cstdint>
#include <string>

// Records, enums and result codes shared by every layer of the SDK. They cross the exported
// interfaces by pointer, so member order and widths must not change.

typedef std::uint8_t uint8;
typedef std::uint16_t uint16;
typedef std::uint32_t uint32;

namespace kezu_robot_namespace {

enum { ARM_DOF = 6 };

enum { InterfaceCallSuccCode = 0 };

/* Geometry and motion */

struct Pos {
    double x;
    double y;
    double z;
};

// Quaternion, scalar first.
struct Ori {
    double w;
    double x;
    double y;
    double z;
};

struct Rpy {
    double rx;
    double ry;
    double rz;
};

union cartesianPos_U {
    Pos position;
    double positionVector[3];
};

struct wayPoint_S {
    cartesianPos_U cartPos;
    Ori orientation;
    double jointpos[ARM_DOF];
};

struct JointParam {
    double jointPos[ARM_DOF];
};

struct JointVelcAccParam {
    double jointPara[ARM_DOF];
};

struct MoveRelative {
    bool ena;
    float relativePosition[3];
};

// The tool frame expressed in the flange frame.
struct ToolInEndDesc {
    Pos toolInEndPosition;
    Ori toolInEndOrientation;
};

typedef ToolInEndDesc ToolKinematicsParam;

struct ToolInertia {
    double xx;
    double xy;
    double xz;
    double yy;
    double yz;
    double zz;
};

struct ToolDynamicsParam {
    double positionX;
    double positionY;
    double positionZ;
    double payload;
    ToolInertia toolInertia;
};

struct RobotJointOffset {
    double jointOffset[ARM_DOF];
};

/* Enums */

// Enums that the controller fills have a fixed type, so a value outside the list is still
// a valid value and is carried as it is.
enum RobotEventType : int {
    RobotEvent_armCanbusError = 0,
    RobotEvent_remoteHalt = 1,
    RobotEvent_remoteEmergencyStop = 2,
    RobotEvent_jointError = 3,
    RobotEvent_forceControl = 4,
    RobotEvent_exitForceControl = 5,
    RobotEvent_softEmergency = 6,
    RobotEvent_exitSoftEmergency = 7,
    RobotEvent_collision = 8,
    RobotEvent_collisionStatusChanged = 9,
    RobotEvent_tcpParametersSucc = 10,
    RobotEvent_powerChanged = 11,
    RobotEvent_ArmPowerOff = 12,
    RobotEvent_mountingPoseChanged = 13,
    RobotEvent_encoderError = 14,
    RobotEvent_encoderLinesError = 15,
    RobotEvent_singularityOverspeed = 16,
    RobotEvent_currentAlarm = 17,
    RobotEvent_toolioError = 18,
    RobotEvent_robotStartupPhase = 19,
    RobotEvent_robotStartupDoneResult = 20,
    RobotEvent_robotShutdownDone = 21,
    RobotEvent_atTrackTargetPos = 22,
    RobotSetPowerOnDone = 23,
    RobotReleaseBrakeDone = 24,
    RobotEvent_robotControllerStateChaned = 25,
    RobotEvent_robotControllerError = 26,
    RobotEvent_socketDisconnected = 27,
    RobotEvent_robotControlException = 28,
    RobotEvent_trackPlayInterrupte = 29,
    RobotEvent_staticCollisionStatusChanged = 30,
    RobotEvent_MountingPoseWarning = 31,
    RobotEvent_MacDataInterruptWarning = 32,
    RobotEvent_ToolIoError = 33,
    RobotEvent_InterfacBoardSafeIoEvent = 34,
    RobotEvent_RobotHandShakeSucc = 35,
    RobotEvent_RobotHandShakeFailed = 36,
    RobotEvent_RobotErrorInfoNotify = 37,
    RobotEvent_exceptEvent = 100,
    robot_event_unknown = 101,
    RobotEvent_User = 1000,
    RobotEvent_MaxUser = 65535
};

// Results of the SDK's operations. ErrCode_Base is a base and ErrCode_Count a count.
enum RobotErrorCode {
    ErrnoSucc = 0,
    ErrCode_Base = 10000,
    ErrCode_Failed,
    ErrCode_ParamError,
    ErrCode_ConnectSocketFailed,
    ErrCode_SocketDisconnect,
    ErrCode_CreateRequestFailed,
    ErrCode_RequestRelatedVariableError,
    ErrCode_RequestTimeout,
    ErrCode_SendRequestFailed,
    ErrCode_ResponseInfoIsNULL,
    ErrCode_ResolveResponseFailed,
    ErrCode_FkFailed,
    ErrCode_IkFailed,
    ErrCode_ToolCalibrateError,
    ErrCode_ToolCalibrateParamError,
    ErrCode_CoordinateSystemCalibrateError,
    ErrCode_BaseToUserConvertFailed,
    ErrCode_UserToBaseConvertFailed,
    ErrCode_MotionRelatedVariableError,
    ErrCode_MotionRequestFailed,
    ErrCode_CreateMotionRequestFailed,
    ErrCode_MotionInterruptedByEvent,
    ErrCode_MotionWaypointVetorSizeError,
    ErrCode_ResponseReturnError,
    ErrCode_RealRobotNoExist,
    ErrCode_Count = 26
};

enum RobotIoType {
    RobotBoardControllerDI = 0,
    RobotBoardControllerDO = 1,
    RobotBoardControllerAI = 2,
    RobotBoardControllerAO = 3,
    RobotBoardUserDI = 4,
    RobotBoardUserDO = 5,
    RobotBoardUserAI = 6,
    RobotBoardUserAO = 7,
    RobotToolDI = 8,
    RobotToolDO = 9,
    RobotToolAI = 10,
    RobotToolAO = 11
};

enum ToolIOType : int { IO_IN = 0, IO_OUT = 1 };

enum ToolPowerType : int { OUT_0V = 0, OUT_12V = 1, OUT_24V = 2 };

enum IO_STATUS { IO_STATUS_INVALID = 0, IO_STATUS_VALID = 1 };

enum ToolDigitalIOAddr {
    TOOL_DIGITAL_IO_0 = 0,
    TOOL_DIGITAL_IO_1 = 1,
    TOOL_DIGITAL_IO_2 = 2,
    TOOL_DIGITAL_IO_3 = 3
};

enum RobotWorkMode : int { RobotModeSimulator = 0, RobotModeReal = 1 };

enum RobotMoveControlCommand { RobotMoveStop = 0, RobotMovePause = 1, RobotMoveContinue = 2 };

enum RobotControlCommand {
    RobotRelease = 0,
    RobotBrake = 1,
    OverspeedWarning = 2,
    OverspeedRecover = 3,
    DisableForceControl = 4,
    EnableForceControl = 5,
    OrpeOpen = 6,
    OrpeClose = 7,
    EnableReadPose = 8,
    DisableReadPose = 9,
    MountingPoseChanged = 10,
    MountingPoseUnChanged = 11,
    EnableStaticCollisionDetect = 12,
    DisableStaticCollisionDetect = 13,
    ClearSingularityOverSpeedAlarm = 14,
    ClearRobotCurrentAlarm = 15
};

enum Robot_Dyn_identify_traj {
    Dyn_identify_traj_none = 0,
    Dyn_identify_traj_robot = 1,
    Dyn_identify_traj_tool = 2,
    Dyn_identify_traj_tool_abort = 3
};

enum ROBOT_SERVICE_STATE {
    ROBOT_SERVICE_READY = 0,
    ROBOT_SERVICE_STARTING = 1,
    ROBOT_SERVICE_WORKING = 2,
    ROBOT_SERVICE_CLOSING = 3,
    ROBOT_SERVICE_CLOSED = 4,
    ROBOT_SETVICE_FAULT_POWER = 5,
    ROBOT_SETVICE_FAULT_BRAKE = 6,
    ROBOT_SETVICE_FAULT_NO_ROBOT = 7
};

// The next five enums carry exactly the values of the move-condition messages' enums.
enum RobotState : int { RobotStopped = 0, RobotRunning = 1, RobotPaused = 2, RobotResumed = 3 };

enum move_mode { NO_MOVEMODE = 0, MODEJ = 1, MODEL = 2, MODEP = 3 };

enum move_track {
    NO_TRACK = 0,
    TRACKING = 1,
    ARC_CIR = 2,
    CARTESIAN_MOVEP = 3,
    CARTESIAN_CUBICSPLINE = 4,
    CARTESIAN_UBSPLINEINTP = 5,
    JIONT_CUBICSPLINE = 6,
    JOINT_UBSPLINEINTP = 7
};

enum coordinate_refer { BaseCoordinate = 0, EndCoordinate = 1, WorldCoordinate = 2 };

enum teach_mode {
    NO_TEACH = 0,
    JOINT1 = 1,
    JOINT2 = 2,
    JOINT3 = 3,
    JOINT4 = 4,
    JOINT5 = 5,
    JOINT6 = 6,
    MOV_X = 7,
    MOV_Y = 8,
    MOV_Z = 9,
    ROT_X = 10,
    ROT_Y = 11,
    ROT_Z = 12
};

// Each name lists the three taught points: the origin, a point on the first axis, and a point
// on the second axis or in the first quadrant of the plane.
enum CoordCalibrateMathod {
    Origin_AnyPointOnPositiveXAxis_AnyPointOnPositiveYAxis = 0,
    Origin_AnyPointOnPositiveYAxis_AnyPointOnPositiveZAxis = 1,
    Origin_AnyPointOnPositiveZAxis_AnyPointOnPositiveXAxis = 2,
    Origin_AnyPointOnPositiveXAxis_AnyPointOnFirstQuadrantOfXOYPlane = 3,
    Origin_AnyPointOnPositiveXAxis_AnyPointOnFirstQuadrantOfXOZPlane = 4,
    Origin_AnyPointOnPositiveYAxis_AnyPointOnFirstQuadrantOfYOZPlane = 5,
    Origin_AnyPointOnPositiveYAxis_AnyPointOnFirstQuadrantOfYOXPlane = 6,
    Origin_AnyPointOnPositiveZAxis_AnyPointOnFirstQuadrantOfZOXPlane = 7,
    Origin_AnyPointOnPositiveZAxis_AnyPointOnFirstQuadrantOfZOYPlane = 8,
    CoordTypeCount = 9
};

enum ToolKinematicsOriCalibrateMathod {
    ToolKinematicsOriCalibrateMathod_Invalid = -1,
    ToolKinematicsOriCalibrateMathod_xOxy = 0,
    ToolKinematicsOriCalibrateMathod_yOyz = 1,
    ToolKinematicsOriCalibrateMathod_zOzx = 2,
    ToolKinematicsOriCalibrateMathod_TxRBz_TxyPBzAndTyABnz = 3,
    ToolKinematicsOriCalibrateMathod_TyRBz_TyzPBzAndTzABnz = 4,
    ToolKinematicsOriCalibrateMathod_TzRBz_TzxPBzAndTxABnz = 5,
    ToolKinematicsOriCalibrateMathodCount = 6
};

enum update_board_firmware_cmd {
    update_master_board_firmware_trans_start = 1,
    update_master_board_firmware_trans_data = 2,
    update_master_board_firmware_trans_end = 3,
    update_slave_board_firmware_trans_start = 4,
    update_slave_board_firmware_trans_data = 5,
    update_slave_board_firmware_trans_end = 6
};

// A user frame from three robot postures (joint angles, not waypoints) and the tool used.
struct CoordCalibrateByJointAngleAndTool {
    coordinate_refer coordType;
    CoordCalibrateMathod methods;
    JointParam wayPointArray[3];
    ToolInEndDesc toolDesc;
};

/* Status records; the packed ones mirror the controller's byte layout. */

#pragma pack(push, 1)

struct JointStatus {
    int jointCurrentI;
    int jointSpeedMoto;
    float jointPosJ;
    float jointCurVol;
    float jointCurTemp;
    int jointTagCurrentI;
    float jointTagSpeedMoto;
    float jointTagPosJ;
    uint16 jointErrorNum;
};

struct RobotDiagnosis {
    uint8 armCanbusStatus;
    float armPowerCurrent;
    float armPowerVoltage;
    bool armPowerStatus;
    std::int8_t contorllerTemp;
    uint8 contorllerHumidity;
    bool remoteHalt;
    bool softEmergency;
    bool remoteEmergency;
    bool robotCollision;
    bool forceControlMode;
    bool brakeStuats;
    float robotEndSpeed;
    int robotMaxAcc;
    bool orpeStatus;
    bool enableReadPose;
    bool robotMountingPoseChanged;
    bool encoderErrorStatus;
    bool staticCollisionDetect;
    uint8 jointCollisionDetect;
    bool encoderLinesError;
    bool jointErrorStatus;
    bool singularityOverSpeedAlarm;
    bool robotCurrentAlarm;
    uint8 toolIoError;
    bool robotMountingPoseWarning;
    uint16 macTargetPosBufferSize;
    uint16 macTargetPosDataSize;
    uint8 macDataInterruptWarning;
};

struct RobotSafetyConfig {
    uint16 robotReducedConfigJointSpeed[ARM_DOF];
    uint32 robotReducedConfigTcpSpeed;
    uint32 robotReducedConfigTcpForce;
    uint32 robotReducedConfigMomentum;
    uint32 robotReducedConfigPower;
    uint8 robotSafeguradResetConfig;
    uint8 robotOperationalModeConfig;
};

#pragma pack(pop)

struct OrpeSafetyStatus {
    uint8 orpePause;
    uint8 orpeStop;
    uint8 orpeError[16];
    uint8 systemEmergencyStop;
    uint8 reducedModeError;
    uint8 safetyguardResetSucc;
};

struct RobotGravityComponent {
    float x;
    float y;
    float z;
};

struct JointVersion {
    char hw_version[8];
    char sw_version[16];
};

struct JointProductID {
    char productID[16];
};

// Texts are NUL-terminated within their arrays.
struct RobotDevInfo {
    uint8 type;
    char revision[16];
    char manu_id[16];
    char joint_type[16];
    JointVersion joint_ver[8];
    char desc[64];
    JointProductID jointProductID[8];
    char slave_version[16];
    char extio_version[16];
};

/* IO records */

struct RobotDiagnosisIODesc {
    uint8 addr;
    uint8 value;
    uint8 type;
};

struct RobotAnalogIODesc {
    uint8 addr;
    float value;
    uint8 type;
};

struct RobotIoDesc {
    char ioId[32];
    RobotIoType ioType;
    char ioName[32];
    int ioAddr;
    double ioValue;
};

#pragma pack(push, 1)

struct ToolDigitalStatus {
    ToolIOType ioType;
    uint8 ioData;
};

struct RobotToolAllIOStatus {
    ToolPowerType powerType;
    float systemVoltage;
    ToolDigitalStatus digitalIoStatus[4];
    float aiData[2];
    float systemTemperature;
    uint8 errorStatus;
};

#pragma pack(pop)

/* Robot event */

// Producers set every member before use; a default-constructed record leaves the type and
// code unset. A receiver that keeps an event beyond the callback keeps a copy.
struct RobotEventInfo {
    RobotEventType eventType;
    int eventCode;
    std::string eventContent;
};

}  // namespace kezu_robot_namespace

// The records handed to callbacks are valid only during the call.
typedef void (*RealTimeJointStatusCallback)(const kezu_robot_namespace::JointStatus *jointStatus,
                                            int size, void *arg);
typedef void (*RealTimeRoadPointCallback)(const kezu_robot_namespace::wayPoint_S *wayPoint,
                                          void *arg);
typedef void (*RealTimeEndSpeedCallback)(double speed, void *arg);
typedef void (*RobotEventCallback)(const kezu_robot_namespace::RobotEventInfo *eventInfo,
                                   void *arg);

#endif
