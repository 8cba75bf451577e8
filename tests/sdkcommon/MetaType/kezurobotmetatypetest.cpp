#include "KezuRobotMetaType.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>

using namespace kezu_robot_namespace;

// Layouts that cross the exported interfaces; they must hold on every target.
static_assert(sizeof(uint8) == 1 && sizeof(uint16) == 2 && sizeof(uint32) == 4, "integer widths");
static_assert(ARM_DOF == 6 && InterfaceCallSuccCode == 0, "constants");

static_assert(sizeof(Pos) == 24 && sizeof(Ori) == 32 && sizeof(Rpy) == 24, "geometry sizes");
static_assert(sizeof(cartesianPos_U) == 24, "cartesianPos_U");
static_assert(sizeof(wayPoint_S) == 104, "wayPoint_S");
static_assert(offsetof(wayPoint_S, cartPos) == 0 && offsetof(wayPoint_S, orientation) == 24 &&
                  offsetof(wayPoint_S, jointpos) == 56,
              "wayPoint_S offsets");
static_assert(sizeof(JointParam) == 48 && sizeof(JointVelcAccParam) == 48, "joint arrays");
static_assert(sizeof(MoveRelative) == 16 && offsetof(MoveRelative, relativePosition) == 4,
              "MoveRelative");
static_assert(sizeof(ToolInEndDesc) == 56 && offsetof(ToolInEndDesc, toolInEndOrientation) == 24,
              "ToolInEndDesc");
static_assert(std::is_same<ToolKinematicsParam, ToolInEndDesc>::value, "ToolKinematicsParam");
static_assert(sizeof(ToolInertia) == 48, "ToolInertia");
static_assert(sizeof(ToolDynamicsParam) == 80 && offsetof(ToolDynamicsParam, payload) == 24 &&
                  offsetof(ToolDynamicsParam, toolInertia) == 32,
              "ToolDynamicsParam");
static_assert(sizeof(RobotJointOffset) == 48, "RobotJointOffset");
static_assert(sizeof(CoordCalibrateByJointAngleAndTool) == 208 &&
                  offsetof(CoordCalibrateByJointAngleAndTool, methods) == 4 &&
                  offsetof(CoordCalibrateByJointAngleAndTool, wayPointArray) == 8 &&
                  offsetof(CoordCalibrateByJointAngleAndTool, toolDesc) == 152,
              "CoordCalibrateByJointAngleAndTool");

static_assert(sizeof(JointStatus) == 34, "JointStatus");
static_assert(offsetof(JointStatus, jointSpeedMoto) == 4 && offsetof(JointStatus, jointPosJ) == 8 &&
                  offsetof(JointStatus, jointCurVol) == 12 &&
                  offsetof(JointStatus, jointCurTemp) == 16 &&
                  offsetof(JointStatus, jointTagCurrentI) == 20 &&
                  offsetof(JointStatus, jointTagSpeedMoto) == 24 &&
                  offsetof(JointStatus, jointTagPosJ) == 28 &&
                  offsetof(JointStatus, jointErrorNum) == 32,
              "JointStatus offsets");
static_assert(sizeof(JointStatus[ARM_DOF]) == 204, "six joint records");

static_assert(sizeof(RobotDiagnosis) == 43, "RobotDiagnosis");
static_assert(offsetof(RobotDiagnosis, armPowerCurrent) == 1 &&
                  offsetof(RobotDiagnosis, armPowerVoltage) == 5 &&
                  offsetof(RobotDiagnosis, armPowerStatus) == 9 &&
                  offsetof(RobotDiagnosis, contorllerTemp) == 10 &&
                  offsetof(RobotDiagnosis, contorllerHumidity) == 11 &&
                  offsetof(RobotDiagnosis, remoteHalt) == 12 &&
                  offsetof(RobotDiagnosis, brakeStuats) == 17 &&
                  offsetof(RobotDiagnosis, robotEndSpeed) == 18 &&
                  offsetof(RobotDiagnosis, robotMaxAcc) == 22 &&
                  offsetof(RobotDiagnosis, orpeStatus) == 26 &&
                  offsetof(RobotDiagnosis, jointCollisionDetect) == 31 &&
                  offsetof(RobotDiagnosis, robotCurrentAlarm) == 35 &&
                  offsetof(RobotDiagnosis, toolIoError) == 36 &&
                  offsetof(RobotDiagnosis, robotMountingPoseWarning) == 37 &&
                  offsetof(RobotDiagnosis, macTargetPosBufferSize) == 38 &&
                  offsetof(RobotDiagnosis, macTargetPosDataSize) == 40 &&
                  offsetof(RobotDiagnosis, macDataInterruptWarning) == 42,
              "RobotDiagnosis offsets");
static_assert(std::is_signed<decltype(RobotDiagnosis::contorllerTemp)>::value,
              "signed temperature");

static_assert(sizeof(RobotSafetyConfig) == 30 &&
                  offsetof(RobotSafetyConfig, robotReducedConfigTcpSpeed) == 12 &&
                  offsetof(RobotSafetyConfig, robotReducedConfigTcpForce) == 16 &&
                  offsetof(RobotSafetyConfig, robotReducedConfigMomentum) == 20 &&
                  offsetof(RobotSafetyConfig, robotReducedConfigPower) == 24 &&
                  offsetof(RobotSafetyConfig, robotSafeguradResetConfig) == 28 &&
                  offsetof(RobotSafetyConfig, robotOperationalModeConfig) == 29,
              "RobotSafetyConfig");
static_assert(sizeof(OrpeSafetyStatus) == 21 && offsetof(OrpeSafetyStatus, orpeError) == 2 &&
                  offsetof(OrpeSafetyStatus, systemEmergencyStop) == 18 &&
                  offsetof(OrpeSafetyStatus, safetyguardResetSucc) == 20,
              "OrpeSafetyStatus");
static_assert(sizeof(RobotGravityComponent) == 12, "RobotGravityComponent");
static_assert(sizeof(JointVersion) == 24 && sizeof(JointProductID) == 16, "device parts");
static_assert(sizeof(RobotDevInfo) == 465 && offsetof(RobotDevInfo, revision) == 1 &&
                  offsetof(RobotDevInfo, manu_id) == 17 &&
                  offsetof(RobotDevInfo, joint_type) == 33 &&
                  offsetof(RobotDevInfo, joint_ver) == 49 && offsetof(RobotDevInfo, desc) == 241 &&
                  offsetof(RobotDevInfo, jointProductID) == 305 &&
                  offsetof(RobotDevInfo, slave_version) == 433 &&
                  offsetof(RobotDevInfo, extio_version) == 449,
              "RobotDevInfo");

static_assert(sizeof(RobotDiagnosisIODesc) == 3 && offsetof(RobotDiagnosisIODesc, type) == 2,
              "RobotDiagnosisIODesc");
static_assert(sizeof(RobotAnalogIODesc) == 12 && offsetof(RobotAnalogIODesc, value) == 4 &&
                  offsetof(RobotAnalogIODesc, type) == 8,
              "RobotAnalogIODesc");
static_assert(sizeof(RobotIoDesc) == 80 && offsetof(RobotIoDesc, ioType) == 32 &&
                  offsetof(RobotIoDesc, ioName) == 36 && offsetof(RobotIoDesc, ioAddr) == 68 &&
                  offsetof(RobotIoDesc, ioValue) == 72,
              "RobotIoDesc");
static_assert(sizeof(ToolDigitalStatus) == 5 && offsetof(ToolDigitalStatus, ioData) == 4,
              "ToolDigitalStatus");
static_assert(sizeof(RobotToolAllIOStatus) == 41 &&
                  offsetof(RobotToolAllIOStatus, systemVoltage) == 4 &&
                  offsetof(RobotToolAllIOStatus, digitalIoStatus) == 8 &&
                  offsetof(RobotToolAllIOStatus, aiData) == 28 &&
                  offsetof(RobotToolAllIOStatus, systemTemperature) == 36 &&
                  offsetof(RobotToolAllIOStatus, errorStatus) == 40,
              "RobotToolAllIOStatus");

static_assert(sizeof(RobotEventType) == 4 && sizeof(RobotErrorCode) == 4 &&
                  sizeof(ToolKinematicsOriCalibrateMathod) == 4 &&
                  sizeof(update_board_firmware_cmd) == 4 && sizeof(RobotIoType) == 4,
              "enums are 32 bits");
// Result codes and event numbers are returned to and compared by callers.
static_assert(ErrnoSucc == 0 && ErrCode_Base == 10000 && ErrCode_Failed == 10001 &&
                  ErrCode_RequestTimeout == 10007 && ErrCode_ResponseInfoIsNULL == 10009 &&
                  ErrCode_MotionInterruptedByEvent == 10021 &&
                  ErrCode_ResponseReturnError == 10023 && ErrCode_RealRobotNoExist == 10024 &&
                  ErrCode_Count == 26,
              "result codes");
static_assert(RobotEvent_atTrackTargetPos == 22 && RobotEvent_robotControllerError == 26 &&
                  RobotEvent_socketDisconnected == 27 && RobotEvent_RobotErrorInfoNotify == 37 &&
                  RobotEvent_exceptEvent == 100 && robot_event_unknown == 101 &&
                  RobotEvent_User == 1000 && RobotEvent_MaxUser == 65535,
              "event numbers");
static_assert(update_master_board_firmware_trans_start == 1 &&
                  update_slave_board_firmware_trans_end == 6 && ROBOT_SETVICE_FAULT_NO_ROBOT == 7 &&
                  ClearRobotCurrentAlarm == 15 && RobotToolAO == 11,
              "command values");
static_assert(std::is_signed<std::underlying_type<ToolKinematicsOriCalibrateMathod>::type>::value,
              "signed calibration method");

static_assert(
    std::is_same<RealTimeJointStatusCallback, void (*)(const JointStatus *, int, void *)>::value &&
        std::is_same<RealTimeRoadPointCallback, void (*)(const wayPoint_S *, void *)>::value &&
        std::is_same<RealTimeEndSpeedCallback, void (*)(double, void *)>::value &&
        std::is_same<RobotEventCallback, void (*)(const RobotEventInfo *, void *)>::value,
    "callback signatures");

namespace {

template <typename Value, typename Record>
Value readAt(const Record *records, std::size_t byteOffset) {
    Value value;
    std::memcpy(&value, reinterpret_cast<const unsigned char *>(records) + byteOffset,
                sizeof(value));
    return value;
}

}  // namespace

TEST(PackedRecords, SixJointStatusRecordsLieBackToBack) {
    JointStatus joints[ARM_DOF];
    std::memset(joints, 0, sizeof(joints));
    for (int i = 0; i < ARM_DOF; ++i) {
        joints[i].jointCurrentI = 100 + i;
        joints[i].jointTagPosJ = 0.5f * static_cast<float>(i);
        joints[i].jointErrorNum = static_cast<uint16>(0xA000 + i);
    }
    EXPECT_EQ(readAt<uint16>(joints, 32), 0xA000);
    EXPECT_EQ(readAt<int>(joints, 34), 101);
    for (int i = 0; i < ARM_DOF; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(readAt<int>(joints, 34 * i), 100 + i);
        EXPECT_EQ(readAt<float>(joints, 34 * i + 28), 0.5f * static_cast<float>(i));
        EXPECT_EQ(readAt<uint16>(joints, 34 * i + 32), 0xA000 + i);
    }
    EXPECT_EQ(reinterpret_cast<const unsigned char *>(&joints[5]) + 34,
              reinterpret_cast<const unsigned char *>(joints) + 204);
}

TEST(PackedRecords, DiagnosisFirstAndLastMembersAtTheEdges) {
    RobotDiagnosis diagnosis;
    std::memset(&diagnosis, 0, sizeof(diagnosis));
    diagnosis.armCanbusStatus = 7;
    diagnosis.armPowerCurrent = 1.25f;
    diagnosis.macDataInterruptWarning = 0x5A;
    EXPECT_EQ(readAt<uint8>(&diagnosis, 0), 7);
    EXPECT_EQ(readAt<float>(&diagnosis, 1), 1.25f);
    EXPECT_EQ(readAt<uint8>(&diagnosis, sizeof(diagnosis) - 1), 0x5A);
}

TEST(PackedRecords, ToolIoStatusItemsAreFiveBytesEach) {
    RobotToolAllIOStatus status;
    std::memset(&status, 0, sizeof(status));
    for (int i = 0; i < 4; ++i) {
        status.digitalIoStatus[i].ioType = (i % 2) ? IO_OUT : IO_IN;
        status.digitalIoStatus[i].ioData = static_cast<uint8>(10 + i);
    }
    status.errorStatus = 0xEE;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(readAt<int>(&status, 8 + 5 * i), (i % 2) ? IO_OUT : IO_IN);
        EXPECT_EQ(readAt<uint8>(&status, 8 + 5 * i + 4), 10 + i);
    }
    EXPECT_EQ(readAt<uint8>(&status, 40), 0xEE);
}

TEST(Unions, CartesianPositionViewsShareStorage) {
    cartesianPos_U position;
    position.position = Pos{1.0, 2.0, 3.0};
    EXPECT_EQ(position.positionVector[0], 1.0);
    EXPECT_EQ(position.positionVector[1], 2.0);
    EXPECT_EQ(position.positionVector[2], 3.0);
}

TEST(CalibrationMethods, InvalidOrdersBelowEveryValidMethod) {
    EXPECT_EQ(static_cast<int>(ToolKinematicsOriCalibrateMathod_Invalid), -1);
    for (int m = ToolKinematicsOriCalibrateMathod_xOxy; m < ToolKinematicsOriCalibrateMathodCount;
         ++m) {
        SCOPED_TRACE(m);
        EXPECT_LT(ToolKinematicsOriCalibrateMathod_Invalid,
                  static_cast<ToolKinematicsOriCalibrateMathod>(m));
    }
    EXPECT_EQ(ToolKinematicsOriCalibrateMathodCount, 6);
    EXPECT_EQ(CoordTypeCount, 9);
}

struct EnumValue {
    int actual;
    int expected;
    const char *name;
};

class EnumValues : public ::testing::TestWithParam<EnumValue> {};

TEST_P(EnumValues, MatchTheWireValue) { EXPECT_EQ(GetParam().actual, GetParam().expected); }

// The move-condition enums convert one to one to the message enums, so their values are fixed.
INSTANTIATE_TEST_SUITE_P(
    MoveCondition, EnumValues,
    ::testing::Values(
        EnumValue{RobotStopped, 0, "RobotStopped"}, EnumValue{RobotRunning, 1, "RobotRunning"},
        EnumValue{RobotPaused, 2, "RobotPaused"}, EnumValue{RobotResumed, 3, "RobotResumed"},
        EnumValue{NO_MOVEMODE, 0, "NO_MOVEMODE"}, EnumValue{MODEJ, 1, "MODEJ"},
        EnumValue{MODEL, 2, "MODEL"}, EnumValue{MODEP, 3, "MODEP"},
        EnumValue{NO_TRACK, 0, "NO_TRACK"}, EnumValue{TRACKING, 1, "TRACKING"},
        EnumValue{ARC_CIR, 2, "ARC_CIR"}, EnumValue{CARTESIAN_MOVEP, 3, "CARTESIAN_MOVEP"},
        EnumValue{CARTESIAN_CUBICSPLINE, 4, "CARTESIAN_CUBICSPLINE"},
        EnumValue{CARTESIAN_UBSPLINEINTP, 5, "CARTESIAN_UBSPLINEINTP"},
        EnumValue{JIONT_CUBICSPLINE, 6, "JIONT_CUBICSPLINE"},
        EnumValue{JOINT_UBSPLINEINTP, 7, "JOINT_UBSPLINEINTP"},
        EnumValue{BaseCoordinate, 0, "BaseCoordinate"},
        EnumValue{EndCoordinate, 1, "EndCoordinate"},
        EnumValue{WorldCoordinate, 2, "WorldCoordinate"}, EnumValue{NO_TEACH, 0, "NO_TEACH"},
        EnumValue{JOINT1, 1, "JOINT1"}, EnumValue{JOINT6, 6, "JOINT6"},
        EnumValue{MOV_X, 7, "MOV_X"}, EnumValue{MOV_Z, 9, "MOV_Z"}, EnumValue{ROT_X, 10, "ROT_X"},
        EnumValue{ROT_Z, 12, "ROT_Z"}),
    [](const ::testing::TestParamInfo<EnumValue> &info) { return std::string(info.param.name); });

TEST(RobotEventInfoCopy, DefaultHasEmptyContent) {
    RobotEventInfo info;
    EXPECT_TRUE(info.eventContent.empty());
}

TEST(RobotEventInfoCopy, CopyEqualsOriginalAndOwnsItsText) {
    auto original = std::make_unique<RobotEventInfo>();
    original->eventType = RobotEvent_robotControllerError;
    original->eventCode = 42;
    original->eventContent = std::string(200, 'x') + " controller fault";

    RobotEventInfo copy(*original);
    EXPECT_EQ(copy.eventType, RobotEvent_robotControllerError);
    EXPECT_EQ(copy.eventCode, 42);
    EXPECT_EQ(copy.eventContent, original->eventContent);
    EXPECT_NE(copy.eventContent.data(), original->eventContent.data());

    original->eventContent[0] = 'y';
    EXPECT_EQ(copy.eventContent[0], 'x');
    original.reset();
    EXPECT_EQ(copy.eventContent, std::string(200, 'x') + " controller fault");
}
