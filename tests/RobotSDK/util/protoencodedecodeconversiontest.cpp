#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protoencodedecode.h"

using namespace kezu_robot_namespace;
namespace common = kezu::robot::common;
namespace communication = kezu::robot::communication;
using PED = ProtoEncodeDecode;

namespace {

// Writes a record, sends the message through its bytes with the full required-field check
// and reads it into `out`; a required field the writer forgets makes the parse fail.
template <class Message, class Record, class W, class R>
Record throughWire(const Record &in, Record out, W (*write)(const Record &, Message &),
                   R (*read)(const Message &, Record &)) {
    Message message;
    write(in, message);
    Message received;
    EXPECT_TRUE(received.ParseFromString(message.SerializePartialAsString()))
        << message.InitializationErrorString();
    read(received, out);
    return out;
}

template <class Record>
bool sameBytes(const Record &a, const Record &b) {
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

const wayPoint_S kWayPoint{{{1.5, -2.5, 3.25}}, {0.5, -0.5, 0.5, -0.5}, {.1, .2, .3, .4, .5, .6}};

RobotMoveProfile sampleProfile() {
    RobotMoveProfile p{};
    p.moveMode = MODEL;
    p.subMoveMode = CARTESIAN_UBSPLINEINTP;
    p.teachMode = MOV_Y;
    p.enableIterIk = true;
    p.toolInEndPosition.position = {0.01, 0.02, 0.03};
    p.toolInEndOrientation = {0, 1, 0, 0};
    p.relativeMove.ena = true;
    p.relativeMove.relativePosition[2] = 0.3f;
    p.relativeMove.relativeOrientation.orientation = {0.5, 0.5, 0.5, 0.5};
    for (int i = 0; i < ARM_DOF; ++i) {
        p.maxVelc.jointPara[i] = 0.5 + i;
        p.maxAcc.jointPara[i] = 1.5 + i;
    }
    p.arrivalAhead = {arrival_ahead_distance, 0.004};
    p.blendRadius = 0.05f;
    p.circularLoopTimes = -2;
    return p;
}

// ---------------------------------------------------------------- round trips

TEST(RecordRoundTrip, WayPointKeepsAllThirteenDoubles) {
    const wayPoint_S out = throughWire<common::ProtoRoadPoint>(
        kWayPoint, wayPoint_S{}, &PED::roadPointTypeConversion, &PED::roadPointTypeConversion);
    EXPECT_TRUE(sameBytes(out, kWayPoint));
}

TEST(RecordRoundTrip, MoveProfileKeepsEveryMember) {
    const RobotMoveProfile in = sampleProfile();
    RobotMoveProfile out{};
    out = throughWire<common::RobotMoveProfile>(in, out, &PED::KezuRobotMoveProfileType2ProtoType,
                                                &PED::ProtoRobotMoveProfileType2KezuType);
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

TEST(RecordRoundTrip, MoveReadingReplacesTheWaypointListEvenWithBadPoints) {
    common::RobotMove message;
    ASSERT_TRUE(
        PED::RobotMovePatamTypeConversion(sampleProfile(), {kWayPoint, wayPoint_S{}}, message));
    message.mutable_roadpointvector(1)->clear_jointpos();
    RobotMoveProfile profile{};
    std::vector<wayPoint_S> back(5);
    ASSERT_TRUE(PED::RobotMovePatamTypeConversion(message, profile, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_TRUE(sameBytes(back[0], kWayPoint));
    EXPECT_EQ(profile.subMoveMode, CARTESIAN_UBSPLINEINTP);
}

// Records without gaps compare byte for byte after a trip through their messages.
TEST(RecordRoundTrip, GaplessRecordsComeBackByteForByte) {
    const RobotTcpParam tcp{{0.1f, 0.2f, 0.3f, 1.5f}, {-0.1f, -0.2f, -0.3f, 2.5f}};
    EXPECT_TRUE(sameBytes(tcp, throughWire<communication::RobotTcpParam>(
                                   tcp, RobotTcpParam{}, &PED::robotTcpParamTypeConversion,
                                   &PED::robotTcpParamTypeConversion)));

    const JointStatus joint{-1200, 3000, 0.5f, 48.2f, 35.5f, -7, 1.25f, -0.75f, 65535};
    EXPECT_TRUE(sameBytes(joint, throughWire<common::ProtoJointStatus>(
                                     joint, JointStatus{}, &PED::jointStatusTypeConversion,
                                     &PED::jointStatusTypeConversion)));

    RobotDiagnosis diagnosis{};
    diagnosis.armCanbusStatus = 0xFF;
    diagnosis.armPowerCurrent = 1.5f;
    diagnosis.contorllerTemp = -5;
    diagnosis.contorllerHumidity = 200;
    diagnosis.brakeStuats = true;
    diagnosis.robotMaxAcc = -100;
    diagnosis.toolIoError = 250;
    diagnosis.macTargetPosBufferSize = 65535;
    diagnosis.macDataInterruptWarning = 1;
    EXPECT_TRUE(sameBytes(
        diagnosis, throughWire<communication::RobotDiagnosis>(diagnosis, RobotDiagnosis{},
                                                              &PED::robotDiagnosisTypeConversion,
                                                              &PED::robotDiagnosisTypeConversion)));

    const RobotGravityComponent gravity{0.5f, -0.5f, -9.81f};
    EXPECT_TRUE(sameBytes(
        gravity, throughWire<communication::RobotGravityComponent>(
                     gravity, RobotGravityComponent{}, &PED::robotGravityComponentTypeConversion,
                     &PED::robotGravityComponentTypeConversion)));

    const RobotSafetyConfig safety{{1, 2, 3, 4, 5, 65535}, 0xFFFFFFFFu, 2, 3, 4, 5, 6};
    EXPECT_TRUE(
        sameBytes(safety, throughWire<common::ProtoRobotSafetyConfig>(
                              safety, RobotSafetyConfig{}, &PED::RobotSafetyConfigTypeConversion,
                              &PED::RobotSafetyConfigTypeConversion)));

    const OrpeSafetyStatus orpe{1, 2, {0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF},
                                3, 4, 5};
    EXPECT_TRUE(sameBytes(orpe, throughWire<common::ProtoOrpeSafetyStatus>(
                                    orpe, OrpeSafetyStatus{}, &PED::OrpeSafetyStatusTypeConversion,
                                    &PED::OrpeSafetyStatusTypeConversion)));

    const RobotDiagnosisIODesc io{7, 1, 2};
    EXPECT_TRUE(
        sameBytes(io, throughWire<communication::ProtoRobotDiagnosisIODesc>(
                          io, RobotDiagnosisIODesc{}, &PED::RobotDiagnosisIODescTypeConversion,
                          &PED::RobotDiagnosisIODescTypeConversion)));
}

TEST(RecordRoundTrip, AnalogItemEventAndCollisionClass) {
    RobotAnalogIODesc analog{};
    analog.addr = 9;
    analog.type = 3;
    analog.value = -2.75f;
    const RobotAnalogIODesc analogBack = throughWire<communication::ProtoRobotAnalogIODesc>(
        analog, RobotAnalogIODesc{}, &PED::RobotAnalogIODescTypeConversion,
        &PED::RobotAnalogIODescTypeConversion);
    EXPECT_EQ(analogBack.addr, 9);
    EXPECT_EQ(analogBack.type, 3);
    EXPECT_EQ(analogBack.value, -2.75f);

    const RobotEventInfo event{RobotEvent_MaxUser, -1, "collision on joint 3"};
    const RobotEventInfo eventBack = throughWire<communication::ProtoCommunicationRobotEvent>(
        event, RobotEventInfo{}, &PED::robotEventTypeConversion, &PED::robotEventTypeConversion);
    EXPECT_EQ(eventBack.eventType, RobotEvent_MaxUser);
    EXPECT_EQ(eventBack.eventCode, -1);
    EXPECT_EQ(eventBack.eventContent, event.eventContent);

    RobotCollisionCurrent collision{};
    collision.CollisionClass = 6;
    collision.JointCollisionCurrent[0][0] = 11;
    RobotCollisionCurrent target{};
    target.JointCollisionCurrent[2][1] = 22;
    const RobotCollisionCurrent back = throughWire<communication::RobotCollisionCurrent>(
        collision, target, &PED::robotCollisionCurrentTypeConversion,
        &PED::robotCollisionCurrentTypeConversion);
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
    bool positionEntry;
    int vectorEntries;
    int jointEntries;
    bool result;
    double x;  // record x after reading; 1 means the vector view was read
    bool jointsWritten;
};

void PrintTo(const RoadPointCase &c, std::ostream *os) { *os << c.name; }

class RoadPointReader : public ::testing::TestWithParam<RoadPointCase> {};

TEST_P(RoadPointReader, PicksAViewAndChecksTheJointCount) {
    const RoadPointCase &c = GetParam();
    wayPoint_S source = kWayPoint;
    source.cartPos.position = {10, 20, 30};
    common::ProtoRoadPoint message;
    PED::roadPointTypeConversion(source, message);
    common::cartesianPos_U *cart = message.mutable_cartpos();
    if (!c.positionEntry) {
        cart->clear_position();
    }
    cart->clear_positionvector();
    for (int i = 0; i < c.vectorEntries; ++i) {
        cart->add_positionvector(i + 1);
    }
    message.clear_jointpos();
    for (int i = 0; i < c.jointEntries; ++i) {
        message.add_jointpos(-1.0 - i);
    }
    wayPoint_S w{{{-7, -8, -9}}, {1, 0, 0, 0}, {9, 9, 9, 9, 9, 9}};
    EXPECT_EQ(PED::roadPointTypeConversion(message, w), c.result);
    EXPECT_EQ(w.cartPos.position.x, c.x);
    EXPECT_EQ(w.cartPos.position.z, c.x == -7 ? -9 : 3 * c.x);     // z travels with x
    EXPECT_TRUE(sameBytes(w.orientation, kWayPoint.orientation));  // written in every case
    EXPECT_EQ(w.jointpos[5], c.jointsWritten ? -6.0 : 9.0);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, RoadPointReader,
    ::testing::Values(RoadPointCase{"bothViewsPreferPosition", true, 3, 6, true, 10, true},
                      RoadPointCase{"vectorOnly", false, 3, 6, true, 1, true},
                      RoadPointCase{"twoVectorEntries", false, 2, 6, false, -7, true},
                      RoadPointCase{"fiveJoints", true, 0, 5, false, 10, false},
                      RoadPointCase{"sevenJoints", false, 4, 7, false, 1, false}),
    [](const ::testing::TestParamInfo<RoadPointCase> &info) { return info.param.name; });

// ---------------------------------------------------------------- partial lists

TEST(PartialList, ShortLimitListIsPaddedWithZerosAndLongOneIsCut) {
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

TEST(PartialList, QuaternionVectorOverwritesTheOrientationEntry) {
    common::cartesianOri_U message;
    PED::cartesianOriUTypeConversion(cartesian_Ori_U{{1, 0, 0, 0}}, message);
    message.mutable_quaternionvector()->Truncate(2);
    message.set_quaternionvector(0, 0.5);
    message.set_quaternionvector(1, 0.5);
    cartesian_Ori_U ori{{9, 9, 9, 9}};
    PED::cartesianOriUTypeConversion(message, ori);
    EXPECT_TRUE(sameBytes(ori, cartesian_Ori_U{{0.5, 0.5, 0, 0}}));

    cartesian_Ori_U untouched{{9, 8, 7, 6}};
    PED::cartesianOriUTypeConversion(common::cartesianOri_U(), untouched);
    EXPECT_TRUE(sameBytes(untouched, cartesian_Ori_U{{9, 8, 7, 6}}));
}

TEST(PartialList, RelativePositionNeedsExactlyThreeEntries) {
    common::RobotMoveProfile message;
    PED::KezuRobotMoveProfileType2ProtoType(sampleProfile(), message);
    message.mutable_relativemove()->mutable_relativeposition()->RemoveLast();
    RobotMoveProfile profile = sampleProfile();
    profile.relativeMove.relativePosition[0] = 7;
    PED::ProtoRobotMoveProfileType2KezuType(message, profile);
    EXPECT_EQ(profile.relativeMove.relativePosition[0], 7);
}

TEST(PartialList, SafetyListsFillOnlyTheirEntriesAndAreCut) {
    common::ProtoRobotSafetyConfig config;
    PED::RobotSafetyConfigTypeConversion(RobotSafetyConfig{}, config);
    config.mutable_robotreducedconfigjointspeed()->Truncate(1);
    config.set_robotreducedconfigjointspeed(0, 70000);  // low 16 bits: 4464
    RobotSafetyConfig record{{1, 2, 3, 4, 5, 6}, 0, 0, 0, 0, 0, 0};
    PED::RobotSafetyConfigTypeConversion(config, record);
    EXPECT_EQ(record.robotReducedConfigJointSpeed[0], 4464);
    EXPECT_EQ(record.robotReducedConfigJointSpeed[1], 2);

    common::ProtoOrpeSafetyStatus status;
    PED::OrpeSafetyStatusTypeConversion(OrpeSafetyStatus{}, status);
    status.set_orpeerror(15, 0x1FF);
    status.add_orpeerror(1);  // a 17th entry has no place
    OrpeSafetyStatus orpe{};
    PED::OrpeSafetyStatusTypeConversion(status, orpe);
    EXPECT_EQ(orpe.orpeError[15], 0xFF);
    EXPECT_EQ(orpe.systemEmergencyStop, 0);
}

TEST(PartialList, WideDiagnosisValuesKeepTheirLowBits) {
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

// ---------------------------------------------------------------- device information

class DeviceInformation : public ::testing::Test {
protected:
    void SetUp() override {
        message.set_type(0x1FF);
        message.set_revision(std::string(20, 'r'));
        message.set_manuid("maker");
        for (int i = 0; i < 9; ++i) {
            communication::JointVersion *v = message.add_jointver();
            v->set_hwversion(std::string(8, static_cast<char>('a' + i)));
            v->set_swversion(std::string(16, static_cast<char>('A' + i)));
            message.add_jointproductid(std::string(3, static_cast<char>('0' + i)));
        }
        message.set_desc("0123456789ABCDEFGHIJ");
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
    EXPECT_TRUE(sameBytes(info.joint_ver[0], JointVersion{}));
    EXPECT_EQ(std::string(info.jointProductID[1].productID), "111");
    EXPECT_EQ(info.jointProductID[2].productID[0], '\0');
    EXPECT_EQ(info.joint_type[0], '\0');
}

}  // namespace
