#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "protoencodedecode.h"
#include "wirebytes.h"

using namespace kezu_robot_namespace;
namespace common = kezu::robot::common;
namespace communication = kezu::robot::communication;
using PED = ProtoEncodeDecode;

namespace {

// Expected bytes of a road point, written field by field.
WireBytes roadPointBytes(const wayPoint_S &w) {
    const Pos &p = w.cartPos.position;
    WireBytes cart;  // the position as an entry, then as a list
    cart.nested(1, WireBytes().fixed64(1, p.x).fixed64(2, p.y).fixed64(3, p.z))
        .fixed64(2, p.x)
        .fixed64(2, p.y)
        .fixed64(2, p.z);
    const Ori &o = w.orientation;
    WireBytes point;
    point.nested(1, cart).nested(
        2, WireBytes().fixed64(1, o.w).fixed64(2, o.x).fixed64(3, o.y).fixed64(4, o.z));
    for (double v : w.jointpos) {
        point.fixed64(3, v);
    }
    return point;
}

// General data carries one value, type 1 (field 4) and no errorInfo; the twin IO messages
// number their fields in opposite orders; a road point carries its position twice.
TEST(RequestBody, IsByteExact) {
    communication::ProtoCommunicationGeneralData empty;
    PED::makeProtoCommunicationGeneralData(empty, {}, {});
    const std::vector<RobotDiagnosisIODesc> digital{{3, 1, 7}, {4, 0, 2}};
    const std::vector<RobotAnalogIODesc> analog{{2, 1.5f, 3}};
    wayPoint_S point = sampleWayPoint(1.0);  // the builder takes it by plain reference
    using W = WireBytes;
    // clang-format off
    const std::tuple<const char *, std::string, WireBytes> cases[] = {
        {"robotControl", built(PED::getRequest_robotControl, RobotBrake).str(),
         W().varint(1, 1).varint(4, 1)},
        {"powerOff", built(PED::getRequest_setRobotPowerStatus, false).str(),
         W().varint(2, 0).varint(4, 1)},
        {"negativeMaxAcc", built(PED::getRequest_setRobotBoardMaxAcc, -1).str(),
         W().varint(1, 0xFFFFFFFFFFFFFFFFull).varint(4, 1)},
        {"collisionGrade", built(PED::getRequest_setRobotCollision, 300).str(),
         W().varint(1, 300).varint(4, 1)},
        {"emptyLists", built([&](char **p, int *s) {
             return PED::ProtoCommunicationGeneralDataMessageSerialize(empty, p, s); }).str(),
         W().varint(4, 1)},
        {"digitalIoTypeFirst", built(PED::getRequest_robotDiagnosisIOData, digital).str(),
         W().varint(1, 0).nested(3, W().varint(1, 3).varint(2, 7).varint(3, 1))
             .nested(3, W().varint(1, 4).varint(2, 2).varint(3, 0))},
        {"analogIoTypeLast", built(PED::getRequest_robotAnalogIOData, analog).str(),
         W().nested(1, W().varint(1, 2).varint(2, 3).fixed32(3, 1.5f)).varint(3, 0)},
        {"roadPoint", built(PED::getRequest_roadpoint, point).str(), roadPointBytes(point)},
        {"safeIoParamsAfterReservedZero",
         built(PED::getRequest_safeIoParamAbout, std::vector<int>{5, 0, 9}).str(),
         W().varint(1, 0).varint(2, 5).varint(2, 0).varint(2, 9)}};
    // clang-format on
    for (const auto &[name, body, expected] : cases) {
        EXPECT_EQ(body, expected.str()) << name;
    }
}

// A move carries the profile, then one road point per waypoint in order; a teach move the frame
// type, three points and one method.
TEST(MoveRequest, CarriesProfileAndRoadPointsInOrder) {
    const std::vector<wayPoint_S> points{sampleWayPoint(1), sampleWayPoint(2), sampleWayPoint(3)};
    common::RobotMove move;
    ASSERT_TRUE(move.ParseFromString(  // every required field is present
        built(PED::getRequest_robotMove, sampleProfile(), points).str()));
    ASSERT_EQ(move.roadpointvector_size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bytesOf(move.roadpointvector(i)), roadPointBytes(points[i]).str());
    }
    EXPECT_EQ(move.move_profile().submovemode(),
              kezu::robot::movecondition::CARTESIAN_UBSPLINEINTP);
    const CoordCalibrateByToolEndPoint frame{
        WorldCoordinate,
        Origin_AnyPointOnPositiveZAxis_AnyPointOnFirstQuadrantOfZOYPlane,
        {points[0], points[1], points[2]}};
    common::RobotTeachMove teach;
    ASSERT_TRUE(
        teach.ParseFromString(built(PED::getRequest_robotTeachMove, sampleProfile(), frame).str()));
    ASSERT_EQ(teach.calibrateroadpointvector_size(), 3);
    EXPECT_EQ(bytesOf(teach.calibrateroadpointvector(2)), roadPointBytes(points[2]).str());
    EXPECT_TRUE(teach.coordinatesystemtype() == 2 && teach.calibratemathod_size() == 1 &&
                teach.calibratemathod(0) == 8);
}

// Stores an integer the way a C caller would, without forming an out-of-range enum value.
template <class Enum>
void setRaw(Enum &member, int value) {
    std::memcpy(&member, &value, sizeof(member));
}

// An out-of-range mode never reaches the generated setter (it would stop the process).
TEST(MoveRequest, OutOfRangeEnumIsRefusedWithNoBody) {
    RobotMoveProfile spoiled[] = {sampleProfile(), sampleProfile(), sampleProfile()};
    setRaw(spoiled[0].moveMode, 4);
    setRaw(spoiled[1].subMoveMode, -1);
    setRaw(spoiled[2].teachMode, 13);
    for (const RobotMoveProfile &profile : spoiled) {
        ::testing::internal::CaptureStdout();
        const Body move =
            built(PED::getRequest_robotMove, profile, std::vector<wayPoint_S>{sampleWayPoint(0)});
        const Body teach =
            built(PED::getRequest_robotTeachMove, profile, CoordCalibrateByToolEndPoint{});
        ::testing::internal::GetCapturedStdout();
        EXPECT_TRUE(move.refused() && teach.refused()) << &profile - spoiled;
    }
}

TEST(ToolParamRequest, BodiesAreBuiltWithoutTheirRequiredErrorInfo) {
    const ToolDynamicsParam dynamics{0.1, 0.2, 0.3, 4.5, {1, 2, 3, 4, 5, 6}};
    const ToolKinematicsParam kinematics{{0.1, 0.2, 0.3}, {0, 1, 0, 0}};
    common::ToolParam expected;
    PED::toolParamTypeConversion(dynamics, expected);
    EXPECT_EQ(built(PED::getRequest_setToolDynamicsParam, dynamics).str(), bytesOf(expected));
    PED::toolParamTypeConversion(kinematics, expected);
    EXPECT_EQ(built(PED::getRequest_setToolKinematicsParam, kinematics).str(), bytesOf(expected));
    EXPECT_FALSE(expected.has_errorinfo());
}

// The safety record travels inside a reply message whose required errorInfo must be present.
TEST(PlainRequest, SafetyConfigAndFirmwareParseAndFirmwareIsRefusedWithoutContent) {
    const RobotSafetyConfig config{{1, 2, 3, 4, 5, 6}, 7, 0, 0, 0, 0, 0};
    common::ProtoResponseRobotSafetyConfig safety;
    ASSERT_TRUE(safety.ParseFromString(built(PED::getRequest_setSafetyConfig, config).str()));
    EXPECT_EQ(safety.safetyconfig_size(), 1);
    const std::string content("\0\xff\0A", 4);
    communication::ProtoCommunicationRobotBoardFirmware back;
    ASSERT_TRUE(
        back.ParseFromString(built(PED::getRequest_firmwareUpgrade,
                                   update_slave_board_firmware_trans_data, content.data(), 4)
                                 .str()));
    EXPECT_TRUE(back.command() == 5 && back.firmwarecontent() == content);
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(built(PED::getRequest_firmwareUpgrade, 1, nullptr, 16).refused());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "getRequest_firmwareUpgrade Serialize fail.\n");
}

}  // namespace
