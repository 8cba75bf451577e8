#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <typeinfo>

#include "protoencodedecode.h"
#include "wirebytes.h"

using namespace kezu_robot_namespace;
namespace common = kezu::robot::common;
namespace communication = kezu::robot::communication;
using PED = ProtoEncodeDecode;

namespace {

// Writes a record, parses the bytes with the full required-field check, reads them into a
// zeroed record and writes that again: a member lost either way changes the second message.
template <class Message, class Record, class W, class R>
void expectRoundTrip(const Record &in, W (*write)(const Record &, Message &),
                     R (*read)(const Message &, Record &)) {
    Message sent, received, again;
    write(in, sent);
    ASSERT_TRUE(received.ParseFromString(bytesOf(sent))) << sent.InitializationErrorString();
    Record out{};
    read(received, out);
    write(out, again);
    EXPECT_EQ(bytesOf(again), bytesOf(sent)) << typeid(Record).name();
}

template <class Record>
bool sameBytes(const Record &a, const Record &b) {
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

const wayPoint_S kWayPoint = sampleWayPoint(1.5);

TEST(RecordRoundTrip, EveryRecordSurvivesItsMessage) {
    expectRoundTrip<common::ProtoRoadPoint>(kWayPoint, &PED::roadPointTypeConversion,
                                            &PED::roadPointTypeConversion);
    expectRoundTrip<common::RobotMoveProfile>(sampleProfile(),
                                              &PED::KezuRobotMoveProfileType2ProtoType,
                                              &PED::ProtoRobotMoveProfileType2KezuType);
    expectRoundTrip<communication::RobotTcpParam>(
        RobotTcpParam{{0.1f, 0.2f, 0.3f, 1.5f}, {-0.1f, -0.2f, -0.3f, 2.5f}},
        &PED::robotTcpParamTypeConversion, &PED::robotTcpParamTypeConversion);
    expectRoundTrip<common::ProtoJointStatus>(
        JointStatus{-1200, 3000, 0.5f, 48.2f, 35.5f, -7, 1.25f, -0.75f, 65535},
        &PED::jointStatusTypeConversion, &PED::jointStatusTypeConversion);
    RobotDiagnosis diagnosis{};
    diagnosis.armCanbusStatus = 0xFF;
    diagnosis.armPowerCurrent = 1.5f;
    diagnosis.contorllerTemp = -5;
    diagnosis.contorllerHumidity = 200;
    diagnosis.macDataInterruptWarning = 1;
    diagnosis.brakeStuats = true;
    diagnosis.robotMaxAcc = -100;
    diagnosis.toolIoError = 250;
    diagnosis.macTargetPosBufferSize = 65535;
    expectRoundTrip<communication::RobotDiagnosis>(diagnosis, &PED::robotDiagnosisTypeConversion,
                                                   &PED::robotDiagnosisTypeConversion);
    expectRoundTrip<communication::RobotGravityComponent>(
        RobotGravityComponent{0.5f, -0.5f, -9.81f}, &PED::robotGravityComponentTypeConversion,
        &PED::robotGravityComponentTypeConversion);
    expectRoundTrip<common::ProtoRobotSafetyConfig>(
        RobotSafetyConfig{{1, 2, 3, 4, 5, 65535}, 0xFFFFFFFFu, 2, 3, 4, 5, 6},
        &PED::RobotSafetyConfigTypeConversion, &PED::RobotSafetyConfigTypeConversion);
    expectRoundTrip<common::ProtoOrpeSafetyStatus>(
        OrpeSafetyStatus{1, 2, {0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}, 3, 4, 5},
        &PED::OrpeSafetyStatusTypeConversion, &PED::OrpeSafetyStatusTypeConversion);
    expectRoundTrip<communication::ProtoRobotDiagnosisIODesc>(
        RobotDiagnosisIODesc{7, 1, 2}, &PED::RobotDiagnosisIODescTypeConversion,
        &PED::RobotDiagnosisIODescTypeConversion);
    RobotAnalogIODesc analog{};
    analog.addr = 9;
    analog.type = 3;
    analog.value = -2.75f;
    expectRoundTrip<communication::ProtoRobotAnalogIODesc>(
        analog, &PED::RobotAnalogIODescTypeConversion, &PED::RobotAnalogIODescTypeConversion);
    expectRoundTrip<communication::ProtoCommunicationRobotEvent>(
        RobotEventInfo{RobotEvent_MaxUser, -1, std::string("joint\0 3", 8)},
        &PED::robotEventTypeConversion, &PED::robotEventTypeConversion);
    RobotCollisionCurrent collision{};
    collision.CollisionClass = 6;
    expectRoundTrip<communication::RobotCollisionCurrent>(
        collision, &PED::robotCollisionCurrentTypeConversion,
        &PED::robotCollisionCurrentTypeConversion);
}

TEST(RecordRoundTrip, ToolParametersReplaceEarlierContent) {
    common::ToolParam message;
    const ToolKinematicsParam kinematics{{0.1, 0.2, 0.3}, {0, 0, 0, 1}};
    const ToolDynamicsParam dynamics{0.01, 0.02, 0.03, 2.5, {1, 2, 3, 4, 5, 6}};
    PED::toolParamTypeConversion(kinematics, message);
    PED::toolParamTypeConversion(dynamics, message);
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

TEST(SchemaParse, ProfileWithMoveModeOutsideEnumFails) {
    common::RobotMoveProfile message;
    PED::KezuRobotMoveProfileType2ProtoType(sampleProfile(), message);
    std::string bytes = bytesOf(message);
    ASSERT_TRUE(common::RobotMoveProfile().ParseFromString(bytes));
    // moveMode is field 1, varint: tag 0x08 then MODEL (2).
    ASSERT_EQ(bytes.substr(0, 2), std::string("\x08\x02", 2));
    bytes[1] = 4;
    EXPECT_FALSE(common::RobotMoveProfile().ParseFromString(bytes));
}

TEST(RoadPointReader, PicksAViewAndChecksTheJointCount) {
    // name, position entry, vector entries, joint entries, result, x after reading (1: the
    // vector view was read), joints written
    const std::tuple<const char *, bool, int, int, bool, double, bool> cases[] = {
        {"bothViewsPreferPosition", true, 3, 6, true, 10, true},
        {"vectorOnly", false, 3, 6, true, 1, true},
        {"twoVectorEntries", false, 2, 6, false, -7, true},
        {"fiveJoints", true, 0, 5, false, 10, false},
        {"sevenJoints", false, 4, 7, false, 1, false}};
    for (const auto &[name, positionEntry, vectors, joints, result, x, jointsWritten] : cases) {
        SCOPED_TRACE(name);
        wayPoint_S source = kWayPoint;
        source.cartPos.position = {10, 20, 30};
        common::ProtoRoadPoint message;
        PED::roadPointTypeConversion(source, message);
        common::cartesianPos_U *cart = message.mutable_cartpos();
        if (!positionEntry) {
            cart->clear_position();
        }
        cart->clear_positionvector();
        for (int i = 0; i < vectors; ++i) {
            cart->add_positionvector(i + 1);
        }
        message.clear_jointpos();
        for (int i = 0; i < joints; ++i) {
            message.add_jointpos(-1.0 - i);
        }
        wayPoint_S w{{{-7, -8, -9}}, {1, 0, 0, 0}, {9, 9, 9, 9, 9, 9}};
        EXPECT_EQ(PED::roadPointTypeConversion(message, w), result);
        EXPECT_EQ(w.cartPos.position.x, x);
        EXPECT_EQ(w.cartPos.position.z, x == -7 ? -9 : 3 * x);         // z travels with x
        EXPECT_TRUE(sameBytes(w.orientation, kWayPoint.orientation));  // written in every case
        EXPECT_EQ(w.jointpos[5], jointsWritten ? -6.0 : 9.0);
    }
}

TEST(PartialList, ShortLimitListIsPaddedWithZerosAndLongOneIsCut) {
    common::joint_cart_U message;
    message.add_cartpara(99);  // never read
    const double values[] = {1, 2, 3, 10, 11, 12, 13, 14};
    message.mutable_jointpara()->Add(values, values + 3);
    joint_cart_U limits;
    std::memset(&limits, 0x7F, sizeof(limits));
    PED::jointCartUTypeConversion(message, limits);
    const double expected[ARM_DOF] = {1, 2, 3, 0, 0, 0};
    EXPECT_EQ(std::memcmp(limits.jointPara, expected, sizeof(expected)), 0);
    message.mutable_jointpara()->Add(values + 3, values + 8);
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

TEST(DeviceInformation, TextsAreCutToTheirLimitsAndMissingEntriesStayZero) {
    communication::YrlRobotDevInfo message;
    message.set_type(0x1FF);
    message.set_revision(std::string(20, 'r'));
    message.add_jointver()->set_hwversion("abcdefgh");
    message.add_jointproductid("000");
    message.set_desc("0123456789ABCDEFGHIJ");
    for (size_t length : {11, 15}) {
        message.set_extendioboardversion(std::string(length, 'x'));
        RobotDevInfo info;
        std::memset(&info, 0x5A, sizeof(info));
        PED::RobotDevInfoTypeConversion(message, info);
        EXPECT_EQ(info.type, 0xFF);
        EXPECT_EQ(std::string(info.revision), std::string(15, 'r'));
        EXPECT_EQ(std::string(info.desc), "0123456789A");
        EXPECT_EQ(std::string(info.extio_version), std::string(11, 'x'));
        EXPECT_EQ(std::string(info.joint_ver[0].hw_version), "abcdefg");
        EXPECT_TRUE(sameBytes(info.joint_ver[1], JointVersion{}));
        EXPECT_EQ(info.jointProductID[1].productID[0], '\0');
        EXPECT_EQ(info.joint_type[0], '\0');
    }
}

}  // namespace
