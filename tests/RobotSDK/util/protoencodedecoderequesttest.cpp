#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "protoencodedecode.h"
#include "wirebytes.h"

using namespace kezu_robot_namespace;
namespace common = kezu::robot::common;
namespace communication = kezu::robot::communication;
using PED = ProtoEncodeDecode;

namespace {

wayPoint_S sampleWayPoint(double base) {
    wayPoint_S w{};
    w.cartPos.position = {base + 0.1, base + 0.2, base + 0.3};
    w.orientation = {0.5, 0.5, -0.5, 0.5};
    for (int i = 0; i < ARM_DOF; ++i) {
        w.jointpos[i] = base + i;
    }
    return w;
}

RobotMoveProfile sampleProfile() {
    RobotMoveProfile p{};
    p.moveMode = MODEP;
    p.subMoveMode = JIONT_CUBICSPLINE;
    p.teachMode = ROT_Z;
    p.toolInEndOrientation.w = 1;
    p.relativeMove.relativeOrientation.orientation.w = 1;
    for (int i = 0; i < ARM_DOF; ++i) {
        p.maxVelc.jointPara[i] = 1.0 + i;
        p.maxAcc.jointPara[i] = 2.0 + i;
    }
    p.blendRadius = 0.02f;
    p.circularLoopTimes = 3;
    p.arrivalAhead.arrivalAheadStat = arrival_ahead_time;
    p.arrivalAhead.arrivalAheadThr = 0.25;
    return p;
}

// ---- general data: one value, type 1, no errorInfo

struct GeneralDataCase {
    const char *name;
    std::function<bool(char **, int *)> builder;
    WireBytes expected;
};

void PrintTo(const GeneralDataCase &c, std::ostream *os) { *os << c.name; }

class GeneralDataRequest : public ::testing::TestWithParam<GeneralDataCase> {};

TEST_P(GeneralDataRequest, CarriesItsOneValueAndTypeOne) {
    Body body;
    ASSERT_TRUE(build(body, GetParam().builder));
    EXPECT_EQ(body.str(), GetParam().expected.str());
}

INSTANTIATE_TEST_SUITE_P(
    SixBuilders, GeneralDataRequest,
    ::testing::Values(
        GeneralDataCase{
            "robotControl",
            [](char **p, int *s) { return PED::getRequest_robotControl(p, s, RobotBrake); },
            WireBytes().varint(1, 1).varint(4, 1)},
        GeneralDataCase{
            "powerOn",
            [](char **p, int *s) { return PED::getRequest_setRobotPowerStatus(p, s, true); },
            WireBytes().varint(2, 1).varint(4, 1)},
        GeneralDataCase{
            "powerOff",
            [](char **p, int *s) { return PED::getRequest_setRobotPowerStatus(p, s, false); },
            WireBytes().varint(2, 0).varint(4, 1)},
        GeneralDataCase{
            "workMode",
            [](char **p, int *s) { return PED::getRequest_setRobotWorkMode(p, s, RobotModeReal); },
            WireBytes().varint(1, 1).varint(4, 1)},
        GeneralDataCase{"moveControl",
                        [](char **p, int *s) {
                            return PED::getRequest_robotMoveControl(p, s, RobotMoveContinue);
                        },
                        WireBytes().varint(1, 2).varint(4, 1)},
        GeneralDataCase{
            "negativeMaxAcc",
            [](char **p, int *s) { return PED::getRequest_setRobotBoardMaxAcc(p, s, -1); },
            WireBytes().varint(1, 0xFFFFFFFFFFFFFFFFull).varint(4, 1)},
        GeneralDataCase{
            "collisionGrade",
            [](char **p, int *s) { return PED::getRequest_setRobotCollision(p, s, 300); },
            WireBytes().varint(1, 300).varint(4, 1)}),
    [](const ::testing::TestParamInfo<GeneralDataCase> &info) { return info.param.name; });

TEST(GeneralDataRequest, EmptyListsGiveTypeOnly) {
    communication::ProtoCommunicationGeneralData message;
    PED::makeProtoCommunicationGeneralData(message, {}, {});
    Body body;
    ASSERT_TRUE(build(body, [&](char **p, int *s) {
        return PED::ProtoCommunicationGeneralDataMessageSerialize(message, p, s);
    }));
    EXPECT_EQ(body.str(), WireBytes().varint(4, 1).str());
}

// ---- the twin IO messages number their fields in opposite orders

TEST(IoDataRequest, DigitalBodyPutsTypeFirstAndItemsLast) {
    Body body;
    ASSERT_TRUE(build(body, [](char **p, int *s) {
        return PED::getRequest_robotDiagnosisIOData(p, s, {{3, 1, 7}, {4, 0, 2}});
    }));
    WireBytes expected;
    expected.varint(1, 0)
        .nested(3, WireBytes().varint(1, 3).varint(2, 7).varint(3, 1))
        .nested(3, WireBytes().varint(1, 4).varint(2, 2).varint(3, 0));
    EXPECT_EQ(body.str(), expected.str());
}

TEST(IoDataRequest, AnalogBodyPutsItemsFirstAndTypeLast) {
    RobotAnalogIODesc item{};
    item.addr = 2;
    item.type = 3;
    item.value = 1.5f;
    Body body;
    ASSERT_TRUE(build(
        body, [&](char **p, int *s) { return PED::getRequest_robotAnalogIOData(p, s, {item}); }));
    WireBytes expected;
    expected.nested(1, WireBytes().varint(1, 2).varint(2, 3).fixed32(3, 1.5f)).varint(3, 0);
    EXPECT_EQ(body.str(), expected.str());
}

// ---- bodies with nested records

WireBytes roadPointBytes(const wayPoint_S &w) {
    WireBytes pos;
    pos.fixed64(1, w.cartPos.position.x)
        .fixed64(2, w.cartPos.position.y)
        .fixed64(3, w.cartPos.position.z);
    WireBytes cart;
    cart.nested(1, pos);
    for (double v : w.cartPos.positionVector) {
        cart.fixed64(2, v);
    }
    WireBytes ori;
    ori.fixed64(1, w.orientation.w)
        .fixed64(2, w.orientation.x)
        .fixed64(3, w.orientation.y)
        .fixed64(4, w.orientation.z);
    WireBytes point;
    point.nested(1, cart).nested(2, ori);
    for (double v : w.jointpos) {
        point.fixed64(3, v);
    }
    return point;
}

TEST(RoadPointRequest, CarriesThePositionInBothViews) {
    wayPoint_S w = sampleWayPoint(1.0);
    Body body;
    ASSERT_TRUE(build(body, [&](char **p, int *s) { return PED::getRequest_roadpoint(p, s, w); }));
    EXPECT_EQ(body.str(), roadPointBytes(w).str());
}

TEST(MoveRequest, CarriesProfileThenOneRoadPointPerWaypointInOrder) {
    std::vector<wayPoint_S> points{sampleWayPoint(1), sampleWayPoint(2), sampleWayPoint(3)};
    Body body;
    ASSERT_TRUE(build(body, [&](char **p, int *s) {
        return PED::getRequest_robotMove(p, s, sampleProfile(), points);
    }));
    common::RobotMove back;
    ASSERT_TRUE(back.ParseFromString(body.str()));  // every required field is present
    ASSERT_EQ(back.roadpointvector_size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bytesOf(back.roadpointvector(i)), roadPointBytes(points[i]).str());
    }
    EXPECT_EQ(back.move_profile().submovemode(), kezu::robot::movecondition::JIONT_CUBICSPLINE);
    EXPECT_FLOAT_EQ(back.move_profile().blendradius(), 0.02f);
}

TEST(MoveRequest, TeachMoveCarriesFrameTypeThreePointsAndOneMethod) {
    CoordCalibrateByToolEndPoint frame{};
    frame.coordType = WorldCoordinate;
    frame.methods = Origin_AnyPointOnPositiveZAxis_AnyPointOnFirstQuadrantOfZOYPlane;
    for (int i = 0; i < 3; ++i) {
        frame.wayPointArray[i] = sampleWayPoint(10.0 * i);
    }
    Body body;
    ASSERT_TRUE(build(body, [&](char **p, int *s) {
        return PED::getRequest_robotTeachMove(p, s, sampleProfile(), frame);
    }));
    common::RobotTeachMove back;
    ASSERT_TRUE(back.ParseFromString(body.str()));
    EXPECT_EQ(back.coordinatesystemtype(), 2);
    ASSERT_EQ(back.calibrateroadpointvector_size(), 3);
    EXPECT_EQ(bytesOf(back.calibrateroadpointvector(2)),
              roadPointBytes(frame.wayPointArray[2]).str());
    ASSERT_EQ(back.calibratemathod_size(), 1);
    EXPECT_EQ(back.calibratemathod(0), 8);
}

// Stores an integer the way a C caller would, without forming an out-of-range enum value.
template <class Enum>
void setRaw(Enum &member, int value) {
    std::memcpy(&member, &value, sizeof(member));
}

struct BadProfileCase {
    const char *name;
    void (*spoil)(RobotMoveProfile &);
};

void PrintTo(const BadProfileCase &c, std::ostream *os) { *os << c.name; }

class MoveRequestRefusal : public ::testing::TestWithParam<BadProfileCase> {};

// An out-of-range mode must never reach the generated setter; the body is refused instead.
TEST_P(MoveRequestRefusal, OutOfRangeEnumFailsWithNoBody) {
    RobotMoveProfile profile = sampleProfile();
    GetParam().spoil(profile);
    CoordCalibrateByToolEndPoint frame{};
    Body move;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(build(move, [&](char **p, int *s) {
        return PED::getRequest_robotMove(p, s, profile, {sampleWayPoint(0)});
    }));
    Body teach;
    EXPECT_FALSE(build(teach, [&](char **p, int *s) {
        return PED::getRequest_robotTeachMove(p, s, profile, frame);
    }));
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(move.data, nullptr);
    EXPECT_EQ(move.size, 0);
    EXPECT_EQ(teach.data, nullptr);
    EXPECT_EQ(teach.size, 0);
    EXPECT_NE(out.find("getRequest_robotMove Serialize fail.\n"), std::string::npos);
    EXPECT_NE(out.find("getRequest_robotTeachMove Serialize fail.\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    EachEnum, MoveRequestRefusal,
    ::testing::Values(
        BadProfileCase{"moveMode4", [](RobotMoveProfile &p) { setRaw(p.moveMode, 4); }},
        BadProfileCase{"trackMinus1", [](RobotMoveProfile &p) { setRaw(p.subMoveMode, -1); }},
        BadProfileCase{"teach13", [](RobotMoveProfile &p) { setRaw(p.teachMode, 13); }}),
    [](const ::testing::TestParamInfo<BadProfileCase> &info) { return info.param.name; });

// ---- the tool parameter bodies leave out their required errorInfo and are still built

TEST(ToolParamRequest, BodiesCarryOneEntryAndNoErrorInfo) {
    const ToolDynamicsParam dynamics{0.1, 0.2, 0.3, 4.5, {1, 2, 3, 4, 5, 6}};
    Body body;
    ASSERT_TRUE(build(body, [&](char **p, int *s) {
        return PED::getRequest_setToolDynamicsParam(p, s, dynamics);
    }));
    common::ToolParam expected;
    PED::toolParamTypeConversion(dynamics, expected);
    EXPECT_EQ(body.str(), bytesOf(expected));
    EXPECT_FALSE(expected.has_errorinfo());
    EXPECT_EQ(expected.tooldynamicsparam_size(), 1);

    const ToolKinematicsParam kinematics{{0.1, 0.2, 0.3}, {0, 1, 0, 0}};
    ASSERT_TRUE(build(body, [&](char **p, int *s) {
        return PED::getRequest_setToolKinematicsParam(p, s, kinematics);
    }));
    expected.Clear();
    PED::toolParamTypeConversion(kinematics, expected);
    EXPECT_EQ(body.str(), bytesOf(expected));
    EXPECT_EQ(expected.toolkinematicsparam_size(), 1);
}

// ---- the remaining bodies

TEST(PlainRequest, SafetyConfigCarriesOneEntryAndZeroErrorInfo) {
    RobotSafetyConfig config{};
    config.robotReducedConfigJointSpeed[5] = 65535;
    config.robotReducedConfigPower = 400;
    config.robotOperationalModeConfig = 2;
    Body body;
    ASSERT_TRUE(build(
        body, [&](char **p, int *s) { return PED::getRequest_setSafetyConfig(p, s, config); }));
    common::ProtoResponseRobotSafetyConfig back;
    ASSERT_TRUE(back.ParseFromString(body.str()));
    ASSERT_EQ(back.safetyconfig_size(), 1);
    EXPECT_EQ(back.safetyconfig(0).robotreducedconfigjointspeed(5), 65535);
    EXPECT_EQ(back.safetyconfig(0).robotoperationalmodeconfig(), 2);
    EXPECT_EQ(back.errorinfo().errorcode(), 0);
    EXPECT_EQ(back.errorinfo().errormsg(), "");
}

TEST(PlainRequest, SafeIoParamsKeepOrderAfterReservedZero) {
    Body body;
    ASSERT_TRUE(build(body, [](char **p, int *s) {
        return PED::getRequest_safeIoParamAbout(p, s, {5, 0, 9});
    }));
    EXPECT_EQ(body.str(), WireBytes().varint(1, 0).varint(2, 5).varint(2, 0).varint(2, 9).str());
}

TEST(PlainRequest, FirmwareCarriesBinaryContentWithZeros) {
    const char content[] = {'\x00', '\xff', '\x00', 'A'};
    Body body;
    ASSERT_TRUE(build(body, [&](char **p, int *s) {
        return PED::getRequest_firmwareUpgrade(p, s, update_slave_board_firmware_trans_data,
                                               content, 4);
    }));
    communication::ProtoCommunicationRobotBoardFirmware back;
    ASSERT_TRUE(back.ParseFromString(body.str()));
    EXPECT_EQ(back.command(), 5);
    EXPECT_EQ(back.firmwarecontentsize(), 4);
    EXPECT_EQ(back.firmwarecontent(), std::string(content, 4));
}

TEST(PlainRequest, FirmwareWithoutContentIsRefused) {
    Body body;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(build(body, [](char **p, int *s) {
        return PED::getRequest_firmwareUpgrade(p, s, 1, nullptr, 16);
    }));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "getRequest_firmwareUpgrade Serialize fail.\n");
    EXPECT_EQ(body.data, nullptr);
    EXPECT_EQ(body.size, 0);
}

TEST(PlainRequest, NullOutputsFailWithoutCrashing) {
    int size = 7;
    EXPECT_FALSE(PED::getRequest_login(nullptr, &size, "a", "b"));
    EXPECT_EQ(size, 0);
    char *ptr = reinterpret_cast<char *>(1);
    EXPECT_FALSE(PED::getRequest_robotControl(&ptr, nullptr, RobotRelease));
    EXPECT_EQ(ptr, nullptr);
}

}  // namespace
