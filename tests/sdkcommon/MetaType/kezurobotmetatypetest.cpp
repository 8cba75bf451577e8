#include "KezuRobotMetaType.h"

#include "robotmovecondition.pb.h"

#include <cstddef>
#include <type_traits>

using namespace kezu_robot_namespace;

// Layouts that cross the exported interfaces; they must hold on every target.
#define AT(T, m, o) (offsetof(T, m) == (o))

static_assert(sizeof(Pos) == 24 && sizeof(Ori) == 32 && sizeof(Rpy) == 24 &&
              sizeof(cartesianPos_U) == 24 && std::is_union<cartesianPos_U>::value);
static_assert(sizeof(wayPoint_S) == 104 && AT(wayPoint_S, cartPos, 0) &&
              AT(wayPoint_S, orientation, 24) && AT(wayPoint_S, jointpos, 56));
static_assert(sizeof(JointParam) == 48 && sizeof(JointVelcAccParam) == 48 &&
              sizeof(ToolInertia) == 48 && sizeof(RobotJointOffset) == 48);
static_assert(sizeof(MoveRelative) == 16 && AT(MoveRelative, ena, 0) &&
              AT(MoveRelative, relativePosition, 4));
static_assert(sizeof(ToolInEndDesc) == 56 && AT(ToolInEndDesc, toolInEndPosition, 0) &&
              AT(ToolInEndDesc, toolInEndOrientation, 24) &&
              std::is_same<ToolKinematicsParam, ToolInEndDesc>::value);
static_assert(sizeof(ToolDynamicsParam) == 80 && AT(ToolDynamicsParam, payload, 24) &&
              AT(ToolDynamicsParam, toolInertia, 32));
using Calib = CoordCalibrateByJointAngleAndTool;
static_assert(sizeof(Calib) == 208 && AT(Calib, coordType, 0) && AT(Calib, methods, 4) &&
              AT(Calib, wayPointArray, 8) && AT(Calib, toolDesc, 152));

using JS = JointStatus;
static_assert(sizeof(JS) == 34 && sizeof(JS[ARM_DOF]) == 204 && AT(JS, jointCurrentI, 0) &&
              AT(JS, jointSpeedMoto, 4) && AT(JS, jointPosJ, 8) && AT(JS, jointCurVol, 12) &&
              AT(JS, jointCurTemp, 16) && AT(JS, jointTagCurrentI, 20) &&
              AT(JS, jointTagSpeedMoto, 24) && AT(JS, jointTagPosJ, 28) &&
              AT(JS, jointErrorNum, 32));
using Diag = RobotDiagnosis;
static_assert(sizeof(Diag) == 43 && AT(Diag, armCanbusStatus, 0) && AT(Diag, armPowerCurrent, 1) &&
              AT(Diag, armPowerVoltage, 5) && AT(Diag, armPowerStatus, 9) &&
              AT(Diag, contorllerTemp, 10) && AT(Diag, contorllerHumidity, 11) &&
              AT(Diag, remoteHalt, 12) && AT(Diag, softEmergency, 13) &&
              AT(Diag, remoteEmergency, 14) && AT(Diag, robotCollision, 15) &&
              AT(Diag, forceControlMode, 16) && AT(Diag, brakeStuats, 17) &&
              AT(Diag, robotEndSpeed, 18) && AT(Diag, robotMaxAcc, 22) &&
              AT(Diag, orpeStatus, 26) && AT(Diag, enableReadPose, 27) &&
              AT(Diag, robotMountingPoseChanged, 28) && AT(Diag, encoderErrorStatus, 29) &&
              AT(Diag, staticCollisionDetect, 30) && AT(Diag, jointCollisionDetect, 31) &&
              AT(Diag, encoderLinesError, 32) && AT(Diag, jointErrorStatus, 33) &&
              AT(Diag, singularityOverSpeedAlarm, 34) && AT(Diag, robotCurrentAlarm, 35) &&
              AT(Diag, toolIoError, 36) && AT(Diag, robotMountingPoseWarning, 37) &&
              AT(Diag, macTargetPosBufferSize, 38) && AT(Diag, macTargetPosDataSize, 40) &&
              AT(Diag, macDataInterruptWarning, 42) &&
              std::is_signed<decltype(Diag::contorllerTemp)>::value);
using Safety = RobotSafetyConfig;
static_assert(sizeof(Safety) == 30 && AT(Safety, robotReducedConfigJointSpeed, 0) &&
              AT(Safety, robotReducedConfigTcpSpeed, 12) &&
              AT(Safety, robotReducedConfigTcpForce, 16) &&
              AT(Safety, robotReducedConfigMomentum, 20) &&
              AT(Safety, robotReducedConfigPower, 24) &&
              AT(Safety, robotSafeguradResetConfig, 28) &&
              AT(Safety, robotOperationalModeConfig, 29));
using Orpe = OrpeSafetyStatus;
static_assert(sizeof(Orpe) == 21 && AT(Orpe, orpePause, 0) && AT(Orpe, orpeStop, 1) &&
              AT(Orpe, orpeError, 2) && AT(Orpe, systemEmergencyStop, 18) &&
              AT(Orpe, reducedModeError, 19) && AT(Orpe, safetyguardResetSucc, 20));
using Dev = RobotDevInfo;
static_assert(sizeof(RobotGravityComponent) == 12 && sizeof(JointVersion) == 24 &&
              AT(JointVersion, sw_version, 8) && sizeof(JointProductID) == 16 &&
              sizeof(Dev) == 465 && AT(Dev, type, 0) && AT(Dev, revision, 1) &&
              AT(Dev, manu_id, 17) && AT(Dev, joint_type, 33) && AT(Dev, joint_ver, 49) &&
              AT(Dev, desc, 241) && AT(Dev, jointProductID, 305) && AT(Dev, slave_version, 433) &&
              AT(Dev, extio_version, 449));

static_assert(sizeof(RobotDiagnosisIODesc) == 3 && AT(RobotDiagnosisIODesc, addr, 0) &&
              AT(RobotDiagnosisIODesc, value, 1) && AT(RobotDiagnosisIODesc, type, 2));
static_assert(sizeof(RobotAnalogIODesc) == 12 && AT(RobotAnalogIODesc, addr, 0) &&
              AT(RobotAnalogIODesc, value, 4) && AT(RobotAnalogIODesc, type, 8));
static_assert(sizeof(RobotIoDesc) == 80 && AT(RobotIoDesc, ioId, 0) &&
              AT(RobotIoDesc, ioType, 32) && AT(RobotIoDesc, ioName, 36) &&
              AT(RobotIoDesc, ioAddr, 68) && AT(RobotIoDesc, ioValue, 72));
using ToolIo = RobotToolAllIOStatus;
static_assert(sizeof(ToolDigitalStatus) == 5 && AT(ToolDigitalStatus, ioType, 0) &&
              AT(ToolDigitalStatus, ioData, 4) && sizeof(ToolIo) == 41 &&
              AT(ToolIo, powerType, 0) && AT(ToolIo, systemVoltage, 4) &&
              AT(ToolIo, digitalIoStatus, 8) && AT(ToolIo, aiData, 28) &&
              AT(ToolIo, systemTemperature, 36) && AT(ToolIo, errorStatus, 40));

// 32-bit and signed everywhere; values read from the link (event type, work mode, robot
// state, tool power and IO kinds) must be defined values whatever the controller sends.
template <typename... E>
constexpr bool allInt = (std::is_same<std::underlying_type_t<E>, int>::value && ...);
static_assert(allInt<RobotEventType, RobotErrorCode, RobotIoType, ToolIOType, ToolPowerType,
                     IO_STATUS, ToolDigitalIOAddr, RobotWorkMode, RobotMoveControlCommand,
                     RobotControlCommand, Robot_Dyn_identify_traj, ROBOT_SERVICE_STATE, RobotState,
                     move_mode, move_track, coordinate_refer, teach_mode, CoordCalibrateMathod,
                     ToolKinematicsOriCalibrateMathod, update_board_firmware_cmd>);
static_assert(ToolKinematicsOriCalibrateMathod_Invalid == -1 &&
              ToolKinematicsOriCalibrateMathod_Invalid < ToolKinematicsOriCalibrateMathod_xOxy);
// Result codes are returned to and compared by callers; the list counts on from the base.
static_assert(ErrCode_Failed == 10001 && ErrCode_ResponseInfoIsNULL == 10009 &&
              ErrCode_MotionInterruptedByEvent == 10021 && ErrCode_RealRobotNoExist == 10024);

// The move-condition enums are converted to the message enums by value.
#define SAME(e) (static_cast<int>(e) == static_cast<int>(kezu::robot::movecondition::e))
static_assert(SAME(RobotStopped) && SAME(RobotRunning) && SAME(RobotPaused) && SAME(RobotResumed) &&
              SAME(NO_MOVEMODE) && SAME(MODEJ) && SAME(MODEL) && SAME(MODEP) && SAME(NO_TRACK) &&
              SAME(TRACKING) && SAME(ARC_CIR) && SAME(CARTESIAN_MOVEP) &&
              SAME(CARTESIAN_CUBICSPLINE) && SAME(CARTESIAN_UBSPLINEINTP) &&
              SAME(JIONT_CUBICSPLINE) && SAME(JOINT_UBSPLINEINTP) && SAME(BaseCoordinate) &&
              SAME(EndCoordinate) && SAME(WorldCoordinate) && SAME(NO_TEACH) && SAME(JOINT1) &&
              SAME(JOINT2) && SAME(JOINT3) && SAME(JOINT4) && SAME(JOINT5) && SAME(JOINT6) &&
              SAME(MOV_X) && SAME(MOV_Y) && SAME(MOV_Z) && SAME(ROT_X) && SAME(ROT_Y) &&
              SAME(ROT_Z));

static_assert(
    std::is_same<RealTimeJointStatusCallback, void (*)(const JointStatus *, int, void *)>::value &&
    std::is_same<RealTimeRoadPointCallback, void (*)(const wayPoint_S *, void *)>::value &&
    std::is_same<RealTimeEndSpeedCallback, void (*)(double, void *)>::value &&
    std::is_same<RobotEventCallback, void (*)(const RobotEventInfo *, void *)>::value);
