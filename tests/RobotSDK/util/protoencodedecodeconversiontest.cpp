#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "protoencodedecode.h"

using namespace kezu_robot_namespace;
namespace common = kezu::robot::common;
namespace communication = kezu::robot::communication;
using PED = ProtoEncodeDecode;

namespace {

// Writes a record, sends the message through its bytes with the full required-field check
// and reads it back; a required field the writer forgets makes the parse fail.
template <class Message, class Record, class Convert>
Record throughWire(const Record &in, Record out, Convert convert) {
    Message message;
    convert(in, message);
    Message received;
    EXPECT_TRUE(received.ParseFromString(message.SerializePartialAsString()))
        << message.InitializationErrorString();
    convert(received, out);
    return out;
}

template <class Record>
bool sameBytes(const Record &a, const Record &b) {
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

wayPoint_S sampleWayPoint() {
    return wayPoint_S{{{1.5, -2.5, 3.25}}, {0.5, -0.5, 0.5, -0.5}, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6}};
}

void expectSameWayPoint(const wayPoint_S &a, const wayPoint_S &b) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.cartPos.positionVector[i], b.cartPos.positionVector[i]);
    }
    EXPECT_EQ(a.orientation.w, b.orientation.w);
    EXPECT_EQ(a.orientation.x, b.orientation.x);
    EXPECT_EQ(a.orientation.y, b.orientation.y);
    EXPECT_EQ(a.orientation.z, b.orientation.z);
    for (int i = 0; i < ARM_DOF; ++i) {
        EXPECT_EQ(a.jointpos[i], b.jointpos[i]);
    }
}

RobotMoveProfile sampleProfile() {
    RobotMoveProfile p{};
    p.moveMode = MODEL;
    p.subMoveMode = CARTESIAN_UBSPLINEINTP;
    p.teachMode = MOV_Y;
    p.enableIterIk = true;
    p.toolTrack = true;
    p.toolInEndPosition.position = {0.01, 0.02, 0.03};
    p.toolInEndOrientation = {0, 1, 0, 0};
    p.relativeMove.ena = true;
    p.relativeMove.relativePosition[0] = 0.1f;
    p.relativeMove.relativePosition[1] = -0.2f;
    p.relativeMove.relativePosition[2] = 0.3f;
    p.relativeMove.relativeOrientation.orientation = {0.5, 0.5, 0.5, 0.5};
    for (int i = 0; i < ARM_DOF; ++i) {
        p.maxVelc.jointPara[i] = 0.5 + i;
        p.maxAcc.jointPara[i] = 1.5 + i;
    }
    p.arrivalAhead.arrivalAheadStat = arrival_ahead_distance;
    p.arrivalAhead.arrivalAheadThr = 0.004;
    p.blendRadius = 0.05f;
    p.circularLoopTimes = -2;
    return p;
}

const auto roadPoint = [](const auto &from, auto &to) { PED::roadPointTypeConversion(from, to); };

// ---------------------------------------------------------------- round trips

TEST(RecordRoundTrip, WayPointKeepsAllThirteenDoubles) {
    const wayPoint_S in = sampleWayPoint();
    const wayPoint_S out = throughWire<common::ProtoRoadPoint>(in, wayPoint_S{}, roadPoint);
    expectSameWayPoint(in, out);
}

TEST(RecordRoundTrip, MoveProfileKeepsEveryMember) {
    const RobotMoveProfile in = sampleProfile();
    const RobotMoveProfile out =
        throughWire<common::RobotMoveProfile>(in, RobotMoveProfile{}, [](const auto &a, auto &b) {
            if constexpr (std::is_same_v<std::decay_t<decltype(a)>, RobotMoveProfile>) {
                PED::KezuRobotMoveProfileType2ProtoType(a, b);
            } else {
                PED::ProtoRobotMoveProfileType2KezuType(a, b);
            }
        });
    EXPECT_EQ(out.moveMode, in.moveMode);
    EXPECT_EQ(out.subMoveMode, in.subMoveMode);
    EXPECT_EQ(out.teachMode, in.teachMode);
    EXPECT_EQ(out.enableIterIk, in.enableIterIk);
    EXPECT_EQ(out.toolTrack, in.toolTrack);
    EXPECT_TRUE(sameBytes(out.toolInEndPosition, in.toolInEndPosition));
    EXPECT_TRUE(sameBytes(out.toolInEndOrientation, in.toolInEndOrientation));
    EXPECT_EQ(out.relativeMove.ena, in.relativeMove.ena);
    EXPECT_TRUE(sameBytes(out.relativeMove.relativePosition, in.relativeMove.relativePosition));
    EXPECT_TRUE(
        sameBytes(out.relativeMove.relativeOrientation, in.relativeMove.relativeOrientation));
    EXPECT_TRUE(sameBytes(out.maxVelc, in.maxVelc));
    EXPECT_TRUE(sameBytes(out.maxAcc, in.maxAcc));
    EXPECT_EQ(out.arrivalAhead.arrivalAheadStat, in.arrivalAhead.arrivalAheadStat);
    EXPECT_EQ(out.arrivalAhead.arrivalAheadThr, in.arrivalAhead.arrivalAheadThr);
    EXPECT_EQ(out.blendRadius, in.blendRadius);
    EXPECT_EQ(out.circularLoopTimes, in.circularLoopTimes);
}

TEST(RecordRoundTrip, MoveRequestReadingReplacesTheWaypointList) {
    common::RobotMove message;
    const std::vector<wayPoint_S> points{sampleWayPoint(), wayPoint_S{}};
    ASSERT_TRUE(PED::RobotMovePatamTypeConversion(sampleProfile(), points, message));
    message.mutable_roadpointvector(1)->clear_jointpos();  // a reader failure still appends
    RobotMoveProfile profile{};
    std::vector<wayPoint_S> back(5);
    ASSERT_TRUE(PED::RobotMovePatamTypeConversion(message, profile, back));
    ASSERT_EQ(back.size(), 2u);
    expectSameWayPoint(back[0], points[0]);
    EXPECT_EQ(profile.subMoveMode, CARTESIAN_UBSPLINEINTP);
}

// Records without gaps compare byte for byte after a trip through their messages.
TEST(RecordRoundTrip, PackedAndPlainRecordsComeBackByteForByte) {
    const auto convert = [](const auto &a, auto &b) {
        using A = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<A, RobotTcpParam> ||
                      std::is_same_v<A, communication::RobotTcpParam>) {
            PED::robotTcpParamTypeConversion(a, b);
        } else if constexpr (std::is_same_v<A, JointStatus> ||
                             std::is_same_v<A, common::ProtoJointStatus>) {
            PED::jointStatusTypeConversion(a, b);
        } else if constexpr (std::is_same_v<A, RobotDiagnosis> ||
                             std::is_same_v<A, communication::RobotDiagnosis>) {
            PED::robotDiagnosisTypeConversion(a, b);
        } else if constexpr (std::is_same_v<A, RobotGravityComponent> ||
                             std::is_same_v<A, communication::RobotGravityComponent>) {
            PED::robotGravityComponentTypeConversion(a, b);
        } else if constexpr (std::is_same_v<A, RobotSafetyConfig> ||
                             std::is_same_v<A, common::ProtoRobotSafetyConfig>) {
            PED::RobotSafetyConfigTypeConversion(a, b);
        } else if constexpr (std::is_same_v<A, OrpeSafetyStatus> ||
                             std::is_same_v<A, common::ProtoOrpeSafetyStatus>) {
            PED::OrpeSafetyStatusTypeConversion(a, b);
        } else {
            PED::RobotDiagnosisIODescTypeConversion(a, b);
        }
    };

    const RobotTcpParam tcp{{0.1f, 0.2f, 0.3f, 1.5f}, {-0.1f, -0.2f, -0.3f, 2.5f}};
    EXPECT_TRUE(
        sameBytes(tcp, throughWire<communication::RobotTcpParam>(tcp, RobotTcpParam{}, convert)));

    const JointStatus joint{-1200, 3000, 0.5f, 48.2f, 35.5f, -7, 1.25f, -0.75f, 65535};
    EXPECT_TRUE(
        sameBytes(joint, throughWire<common::ProtoJointStatus>(joint, JointStatus{}, convert)));

    RobotDiagnosis diagnosis{};
    diagnosis.armCanbusStatus = 0xFF;
    diagnosis.armPowerCurrent = 1.5f;
    diagnosis.armPowerVoltage = 47.5f;
    diagnosis.contorllerTemp = -5;
    diagnosis.contorllerHumidity = 200;
    diagnosis.brakeStuats = true;
    diagnosis.robotEndSpeed = 0.25f;
    diagnosis.robotMaxAcc = -100;
    diagnosis.jointCollisionDetect = 0x3F;
    diagnosis.toolIoError = 250;
    diagnosis.robotMountingPoseWarning = true;
    diagnosis.macTargetPosBufferSize = 65535;
    diagnosis.macTargetPosDataSize = 1234;
    diagnosis.macDataInterruptWarning = 1;
    const RobotDiagnosis diagnosisBack =
        throughWire<communication::RobotDiagnosis>(diagnosis, RobotDiagnosis{}, convert);
    EXPECT_TRUE(sameBytes(diagnosis, diagnosisBack));
    EXPECT_EQ(diagnosisBack.contorllerTemp, -5);

    const RobotGravityComponent gravity{0.5f, -0.5f, -9.81f};
    EXPECT_TRUE(sameBytes(gravity, throughWire<communication::RobotGravityComponent>(
                                       gravity, RobotGravityComponent{}, convert)));

    const RobotSafetyConfig safety{{1, 2, 3, 4, 5, 65535}, 0xFFFFFFFFu, 2, 3, 4, 5, 6};
    EXPECT_TRUE(sameBytes(
        safety, throughWire<common::ProtoRobotSafetyConfig>(safety, RobotSafetyConfig{}, convert)));

    OrpeSafetyStatus orpe{};
    orpe.orpePause = 1;
    orpe.orpeStop = 2;
    for (int i = 0; i < 16; ++i) {
        orpe.orpeError[i] = static_cast<uint8>(0xF0 + i);
    }
    orpe.systemEmergencyStop = 3;
    orpe.reducedModeError = 4;
    orpe.safetyguardResetSucc = 5;
    EXPECT_TRUE(sameBytes(
        orpe, throughWire<common::ProtoOrpeSafetyStatus>(orpe, OrpeSafetyStatus{}, convert)));

    const RobotDiagnosisIODesc io{7, 1, 2};
    EXPECT_TRUE(sameBytes(io, throughWire<communication::ProtoRobotDiagnosisIODesc>(
                                  io, RobotDiagnosisIODesc{}, convert)));
}

TEST(RecordRoundTrip, AnalogItemEventAndCollisionClass) {
    const auto convert = [](const auto &a, auto &b) {
        using A = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<A, RobotAnalogIODesc> ||
                      std::is_same_v<A, communication::ProtoRobotAnalogIODesc>) {
            PED::RobotAnalogIODescTypeConversion(a, b);
        } else if constexpr (std::is_same_v<A, RobotEventInfo> ||
                             std::is_same_v<A, communication::ProtoCommunicationRobotEvent>) {
            PED::robotEventTypeConversion(a, b);
        } else {
            PED::robotCollisionCurrentTypeConversion(a, b);
        }
    };
    RobotAnalogIODesc analog{};
    analog.addr = 9;
    analog.type = 3;
    analog.value = -2.75f;
    const RobotAnalogIODesc analogBack =
        throughWire<communication::ProtoRobotAnalogIODesc>(analog, RobotAnalogIODesc{}, convert);
    EXPECT_EQ(analogBack.addr, 9);
    EXPECT_EQ(analogBack.type, 3);
    EXPECT_EQ(analogBack.value, -2.75f);

    RobotEventInfo event;
    event.eventType = RobotEvent_MaxUser;
    event.eventCode = -1;
    event.eventContent = "collision on joint 3";
    const RobotEventInfo eventBack =
        throughWire<communication::ProtoCommunicationRobotEvent>(event, RobotEventInfo{}, convert);
    EXPECT_EQ(eventBack.eventType, RobotEvent_MaxUser);
    EXPECT_EQ(eventBack.eventCode, -1);
    EXPECT_EQ(eventBack.eventContent, event.eventContent);

    RobotCollisionCurrent collision{};
    collision.CollisionClass = 6;
    collision.JointCollisionCurrent[0][0] = 11;
    RobotCollisionCurrent target{};
    target.JointCollisionCurrent[2][1] = 22;
    const RobotCollisionCurrent back =
        throughWire<communication::RobotCollisionCurrent>(collision, target, convert);
    EXPECT_EQ(back.CollisionClass, 6);
    EXPECT_EQ(back.JointCollisionCurrent[0][0], 0);  // the table never travels
    EXPECT_EQ(back.JointCollisionCurrent[2][1], 22);
}

TEST(RecordRoundTrip, ToolParametersReplaceEarlierContent) {
    common::ToolParam message;
    const ToolKinematicsParam kinematics{{0.1, 0.2, 0.3}, {0, 0, 0, 1}};
    const ToolDynamicsParam dynamics{0.01, 0.02, 0.03, 2.5, {1, 2, 3, 4, 5, 6}};
    PED::toolParamTypeConversion(kinematics, message);
    message.mutable_errorinfo()->set_errorcode(3);
    PED::toolParamTypeConversion(dynamics, message);
    EXPECT_FALSE(message.has_errorinfo());
    EXPECT_EQ(message.toolkinematicsparam_size(), 0);
    ASSERT_EQ(message.tooldynamicsparam_size(), 1);

    ToolDynamicsParam dynamicsBack{};
    ASSERT_TRUE(PED::toolParamTypeConversion(message, dynamicsBack));
    EXPECT_TRUE(sameBytes(dynamics, dynamicsBack));

    PED::toolParamTypeConversion(kinematics, message);
    ToolKinematicsParam kinematicsBack{};
    ASSERT_TRUE(PED::toolParamTypeConversion(message, kinematicsBack));
    EXPECT_TRUE(sameBytes(kinematics, kinematicsBack));
    EXPECT_FALSE(PED::toolParamTypeConversion(message, dynamicsBack));  // list now empty
}

// ---------------------------------------------------------------- road point reader

struct RoadPointCase {
    const char *name;
    bool withPositionEntry;
    int vectorEntries;
    int jointEntries;
    bool result;
    double expectedX;  // record x after reading
    bool jointsWritten;
};

void PrintTo(const RoadPointCase &c, std::ostream *os) { *os << c.name; }

class RoadPointReader : public ::testing::TestWithParam<RoadPointCase> {};

TEST_P(RoadPointReader, PicksAViewAndChecksTheJointCount) {
    const RoadPointCase &c = GetParam();
    common::ProtoRoadPoint message;
    common::cartesianPos_U *cart = message.mutable_cartpos();
    if (c.withPositionEntry) {
        common::Pos *p = cart->add_position();
        p->set_x(10);
        p->set_y(20);
        p->set_z(30);
    }
    for (int i = 0; i < c.vectorEntries; ++i) {
        cart->add_positionvector(i + 1);
    }
    common::Ori *o = message.mutable_orientation();
    o->set_w(0.5);
    o->set_x(0.5);
    o->set_y(0.5);
    o->set_z(0.5);
    for (int i = 0; i < c.jointEntries; ++i) {
        message.add_jointpos(-1.0 - i);
    }
    wayPoint_S w{{{-7, -8, -9}}, {1, 0, 0, 0}, {9, 9, 9, 9, 9, 9}};
    EXPECT_EQ(PED::roadPointTypeConversion(message, w), c.result);
    EXPECT_EQ(w.cartPos.position.x, c.expectedX);
    EXPECT_EQ(w.orientation.w, 0.5);  // written whatever the position held
    EXPECT_EQ(w.jointpos[5], c.jointsWritten ? -6.0 : 9.0);
    if (c.expectedX == 1) {
        EXPECT_EQ(w.cartPos.position.y, 2);
        EXPECT_EQ(w.cartPos.position.z, 3);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, RoadPointReader,
    ::testing::Values(RoadPointCase{"bothViewsPreferPosition", true, 3, 6, true, 10, true},
                      RoadPointCase{"vectorOnly", false, 3, 6, true, 1, true},
                      RoadPointCase{"twoVectorEntries", false, 2, 6, false, -7, true},
                      RoadPointCase{"fiveJoints", true, 0, 5, false, 10, false},
                      RoadPointCase{"sevenJoints", false, 4, 7, false, 1, false}),
    [](const ::testing::TestParamInfo<RoadPointCase> &info) { return info.param.name; });

// ---------------------------------------------------------------- limits and orientation

TEST(LimitReader, ShortListIsPaddedWithZerosAndLongListIsCut) {
    common::joint_cart_U message;
    message.add_cartpara(99);  // never read
    for (double v : {1.0, 2.0, 3.0}) {
        message.add_jointpara(v);
    }
    joint_cart_U limits;
    std::memset(&limits, 0x7F, sizeof(limits));
    PED::jointCartUTypeConversion(message, limits);
    const double expected[ARM_DOF] = {1, 2, 3, 0, 0, 0};
    EXPECT_EQ(std::memcmp(limits.jointPara, expected, sizeof(expected)), 0);

    for (int i = 0; i < 5; ++i) {
        message.add_jointpara(10 + i);
    }
    PED::jointCartUTypeConversion(message, limits);
    EXPECT_EQ(limits.jointPara[5], 12);
}

TEST(OrientationReader, VectorEntriesOverwriteTheQuaternionEntry) {
    common::cartesianOri_U message;
    common::Ori *o = message.add_orientation();
    o->set_w(1);
    o->set_x(0);
    o->set_y(0);
    o->set_z(0);
    message.add_quaternionvector(0.5);
    message.add_quaternionvector(0.5);
    cartesian_Ori_U ori{{9, 9, 9, 9}};
    PED::cartesianOriUTypeConversion(message, ori);
    EXPECT_EQ(ori.orientation.w, 0.5);
    EXPECT_EQ(ori.orientation.x, 0.5);
    EXPECT_EQ(ori.orientation.y, 0);
    EXPECT_EQ(ori.orientation.z, 0);

    cartesian_Ori_U untouched{{9, 8, 7, 6}};
    PED::cartesianOriUTypeConversion(common::cartesianOri_U(), untouched);
    EXPECT_EQ(untouched.orientation.z, 6);
}

TEST(ProfileReader, RelativePositionNeedsExactlyThreeEntries) {
    common::RobotMoveProfile message;
    PED::KezuRobotMoveProfileType2ProtoType(sampleProfile(), message);
    message.mutable_relativemove()->mutable_relativeposition()->RemoveLast();
    RobotMoveProfile profile = sampleProfile();
    profile.relativeMove.relativePosition[0] = 7;
    PED::ProtoRobotMoveProfileType2KezuType(message, profile);
    EXPECT_EQ(profile.relativeMove.relativePosition[0], 7);
    EXPECT_EQ(profile.relativeMove.relativePosition[2], 0.3f);
}

// ---------------------------------------------------------------- narrowing

TEST(Narrowing, WideWireValuesKeepTheirLowBits) {
    communication::RobotDiagnosis message;
    PED::robotDiagnosisTypeConversion(RobotDiagnosis{}, message);
    message.set_toolioerror(300);
    message.set_contorllertemp(-129);
    message.set_mactargetposdatasize(0x12345);
    RobotDiagnosis diagnosis{};
    PED::robotDiagnosisTypeConversion(message, diagnosis);
    EXPECT_EQ(diagnosis.toolIoError, 44);
    EXPECT_EQ(diagnosis.contorllerTemp, 127);
    EXPECT_EQ(diagnosis.macTargetPosDataSize, 0x2345);
}

TEST(Narrowing, SafetyListsAreCutToTheRecordArrays) {
    common::ProtoRobotSafetyConfig config;
    PED::RobotSafetyConfigTypeConversion(RobotSafetyConfig{}, config);
    config.clear_robotreducedconfigjointspeed();
    config.add_robotreducedconfigjointspeed(70000);  // low 16 bits: 4464
    RobotSafetyConfig record{{1, 2, 3, 4, 5, 6}, 0, 0, 0, 0, 0, 0};
    PED::RobotSafetyConfigTypeConversion(config, record);
    EXPECT_EQ(record.robotReducedConfigJointSpeed[0], 4464);
    EXPECT_EQ(record.robotReducedConfigJointSpeed[1], 2);  // shorter list fills only its entries

    common::ProtoOrpeSafetyStatus status;
    PED::OrpeSafetyStatusTypeConversion(OrpeSafetyStatus{}, status);
    for (int i = 0; i < 4; ++i) {
        status.add_orpeerror(0x1FF);  // 20 entries in all
    }
    OrpeSafetyStatus orpe{};
    PED::OrpeSafetyStatusTypeConversion(status, orpe);
    EXPECT_EQ(orpe.orpeError[15], 0);
    status.set_orpeerror(15, 0x1FF);
    PED::OrpeSafetyStatusTypeConversion(status, orpe);
    EXPECT_EQ(orpe.orpeError[15], 0xFF);
}

// ---------------------------------------------------------------- device information

class DeviceInformation : public ::testing::Test {
protected:
    void SetUp() override {
        message.set_type(0x1FF);
        message.set_revision(std::string(20, 'r'));
        message.set_manuid("maker");
        message.set_jointtype(std::string(15, 't'));
        for (int i = 0; i < 9; ++i) {
            communication::JointVersion *v = message.add_jointver();
            v->set_hwversion(std::string(8, static_cast<char>('a' + i)));
            v->set_swversion(std::string(16, static_cast<char>('A' + i)));
            message.add_jointproductid(std::string(3, static_cast<char>('0' + i)));
        }
        message.set_desc(std::string("0123456789ABCDEFGHIJ"));
        message.set_slavedevversion(std::string(15, 's'));
        message.set_extendioboardversion(std::string(11, 'x'));
        std::memset(&info, 0x5A, sizeof(info));
    }
    communication::YrlRobotDevInfo message;
    RobotDevInfo info;
};

TEST_F(DeviceInformation, TextsAreCutToTheirLimits) {
    PED::RobotDevInfoTypeConversion(message, info);
    EXPECT_EQ(info.type, 0xFF);
    EXPECT_EQ(std::string(info.revision), std::string(15, 'r'));
    EXPECT_EQ(std::string(info.manu_id), "maker");
    EXPECT_EQ(std::string(info.joint_type), std::string(15, 't'));
    EXPECT_EQ(std::string(info.desc), "0123456789A");
    EXPECT_EQ(std::string(info.slave_version), std::string(15, 's'));
    EXPECT_EQ(std::string(info.extio_version), std::string(11, 'x'));
    EXPECT_EQ(std::string(info.joint_ver[0].hw_version), std::string(7, 'a'));
    EXPECT_EQ(std::string(info.joint_ver[7].sw_version), std::string(15, 'H'));
    EXPECT_EQ(std::string(info.jointProductID[7].productID), "777");
}

TEST_F(DeviceInformation, LongExtensionVersionIsCutAtElevenAndMissingEntriesStayZero) {
    message.set_extendioboardversion(std::string(15, 'y'));
    message.clear_jointver();
    message.mutable_jointproductid()->DeleteSubrange(2, 7);
    PED::RobotDevInfoTypeConversion(message, info);
    EXPECT_EQ(std::string(info.extio_version), std::string(11, 'y'));
    const JointVersion zeroVersion{};
    EXPECT_TRUE(sameBytes(info.joint_ver[0], zeroVersion));
    EXPECT_EQ(std::string(info.jointProductID[1].productID), "111");
    EXPECT_EQ(info.jointProductID[2].productID[0], '\0');
    EXPECT_EQ(info.desc[63], '\0');
}

}  // namespace
