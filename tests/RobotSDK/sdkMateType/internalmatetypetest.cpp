#include "internalMateType.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

static_assert(INTERFACE_BOARD_ERROR_BUFFER_SIZE == 16 && INTERFACE_BOARD_IO_BUFFER_SIZE == 32,
              "board buffer sizes");
static_assert(sizeof(TcpParam) == 16 && sizeof(RobotTcpParam) == 32 &&
                  offsetof(RobotTcpParam, paramManual) == 16,
              "tcp parameters");
static_assert(offsetof(CoordCalibrateByToolEndPoint, methods) == 4 &&
                  offsetof(CoordCalibrateByToolEndPoint, wayPointArray) == 8,
              "CoordCalibrateByToolEndPoint");
static_assert(sizeof(RobotCollisionCurrent) == 49 &&
                  offsetof(RobotCollisionCurrent, CollisionClass) == 48,
              "RobotCollisionCurrent");
static_assert(sizeof(RobotDhPara) == 48 && offsetof(RobotDhPara, D6) == 40, "RobotDhPara");
static_assert(sizeof(joint_cart_U) == 48 && sizeof(cartesian_Ori_U) == 32, "unions");
static_assert(sizeof(RobotControlServerErrorCode) == 4 && sizeof(arrival_ahead_state) == 4,
              "enums are 32 bits");

// The profile keeps its members in this order (arrivalAhead before blendRadius).
static_assert(
    offsetof(RobotMoveProfile, moveMode) == 0 &&
        offsetof(RobotMoveProfile, moveMode) < offsetof(RobotMoveProfile, subMoveMode) &&
        offsetof(RobotMoveProfile, subMoveMode) < offsetof(RobotMoveProfile, teachMode) &&
        offsetof(RobotMoveProfile, teachMode) < offsetof(RobotMoveProfile, enableIterIk) &&
        offsetof(RobotMoveProfile, enableIterIk) < offsetof(RobotMoveProfile, toolTrack) &&
        offsetof(RobotMoveProfile, toolTrack) < offsetof(RobotMoveProfile, toolInEndPosition) &&
        offsetof(RobotMoveProfile, toolInEndPosition) <
            offsetof(RobotMoveProfile, toolInEndOrientation) &&
        offsetof(RobotMoveProfile, toolInEndOrientation) <
            offsetof(RobotMoveProfile, relativeMove) &&
        offsetof(RobotMoveProfile, relativeMove) < offsetof(RobotMoveProfile, maxVelc) &&
        offsetof(RobotMoveProfile, maxVelc) < offsetof(RobotMoveProfile, maxAcc) &&
        offsetof(RobotMoveProfile, maxAcc) < offsetof(RobotMoveProfile, arrivalAhead) &&
        offsetof(RobotMoveProfile, arrivalAhead) < offsetof(RobotMoveProfile, blendRadius) &&
        offsetof(RobotMoveProfile, blendRadius) < offsetof(RobotMoveProfile, circularLoopTimes),
    "RobotMoveProfile member order");

TEST(CollisionCurrent, FourValuesPerJointThenTheClass) {
    RobotCollisionCurrent current;
    for (int joint = 0; joint < kezu_robot_namespace::ARM_DOF; ++joint) {
        for (int k = 0; k < 4; ++k) {
            current.JointCollisionCurrent[joint][k] = static_cast<uint16>(joint * 4 + k);
        }
    }
    current.CollisionClass = 9;
    unsigned char bytes[sizeof(current)];
    std::memcpy(bytes, &current, sizeof(current));
    for (int i = 0; i < 24; ++i) {
        uint16 value;
        std::memcpy(&value, bytes + 2 * i, sizeof(value));
        EXPECT_EQ(value, i);
    }
    EXPECT_EQ(bytes[48], 9);
}

TEST(MoveProfileUnions, LimitViewsShareStorage) {
    joint_cart_U limits;
    limits.jointPara[0] = 0.25;
    limits.jointPara[1] = 0.5;
    EXPECT_EQ(limits.cartPara[0], 0.25);
    EXPECT_EQ(limits.cartPara[1], 0.5);

    cartesian_Ori_U ori;
    ori.orientation = kezu_robot_namespace::Ori{1.0, 0.0, 0.0, 0.0};
    EXPECT_EQ(ori.quaternionVector[0], 1.0);
}

struct CodeRow {
    int actual;
    int expected;
};

class ControllerCodes : public ::testing::TestWithParam<CodeRow> {};

TEST_P(ControllerCodes, HaveTheirWireValue) { EXPECT_EQ(GetParam().actual, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(ReplyAndArrival, ControllerCodes,
                         ::testing::Values(CodeRow{RobotResponseCode_SUCC, 0},
                                           CodeRow{RobotResponseCode_RequestFormatError, 1},
                                           CodeRow{RobotResponseCode_ProcessRequesFailed, 2},
                                           CodeRow{RobotResponseCode_ConnectBreak, 3},
                                           CodeRow{RobotResponseCode_RealRobotNoExist, 4},
                                           CodeRow{arrival_ahead_none, 0},
                                           CodeRow{arrival_ahead_distance, 1},
                                           CodeRow{arrival_ahead_time, 2},
                                           CodeRow{arrival_ahead_done, 3}));
