#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <typeinfo>
#include <vector>

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

const wayPoint_S kWayPoint = sampleWayPoint(1.5);

#define ROUND_TRIP(Message, record, convert) \
    expectRoundTrip<Message>(record, &PED::convert, &PED::convert)

TEST(RecordRoundTrip, EveryRecordSurvivesItsMessage) {
    ROUND_TRIP(common::ProtoRoadPoint, kWayPoint, roadPointTypeConversion);
    expectRoundTrip<common::RobotMoveProfile>(sampleProfile(),
                                              &PED::KezuRobotMoveProfileType2ProtoType,
                                              &PED::ProtoRobotMoveProfileType2KezuType);
    ROUND_TRIP(communication::RobotTcpParam,
               (RobotTcpParam{{0.1f, 0.2f, 0.3f, 1.5f}, {-0.1f, -0.2f, -0.3f, 2.5f}}),
               robotTcpParamTypeConversion);
    ROUND_TRIP(common::ProtoJointStatus,
               (JointStatus{-1200, 3000, 0.5f, 48.2f, 35.5f, -7, 1.25f, -0.75f, 65535}),
               jointStatusTypeConversion);
    // Neighbouring flags differ, so two swapped members show as well as a lost one.
    const RobotDiagnosis diagnosis{0xFF,  1.5f, 48.5f, true, -5,    200,  true,  false, true, false,
                                   true,  true, 2.5f,  -100, false, true, false, true,  true, 7,
                                   false, true, false, true, 250,   true, 65535, 1234,  1};
    ROUND_TRIP(communication::RobotDiagnosis, diagnosis, robotDiagnosisTypeConversion);
    ROUND_TRIP(communication::RobotGravityComponent, (RobotGravityComponent{0.5f, -0.5f, -9.81f}),
               robotGravityComponentTypeConversion);
    ROUND_TRIP(common::ProtoRobotSafetyConfig,
               (RobotSafetyConfig{{1, 2, 3, 4, 5, 65535}, 0xFFFFFFFFu, 2, 3, 4, 5, 6}),
               RobotSafetyConfigTypeConversion);
    ROUND_TRIP(
        common::ProtoOrpeSafetyStatus,
        (OrpeSafetyStatus{1, 2, {0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}, 3, 4, 5}),
        OrpeSafetyStatusTypeConversion);
    ROUND_TRIP(communication::ProtoRobotDiagnosisIODesc, (RobotDiagnosisIODesc{7, 1, 2}),
               RobotDiagnosisIODescTypeConversion);
    ROUND_TRIP(communication::ProtoRobotAnalogIODesc, (RobotAnalogIODesc{9, -2.75f, 3}),
               RobotAnalogIODescTypeConversion);
    ROUND_TRIP(communication::ProtoCommunicationRobotEvent,
               (RobotEventInfo{RobotEvent_MaxUser, -1, std::string("joint\0 3", 8)}),
               robotEventTypeConversion);
    RobotCollisionCurrent collision{{}, 6};
    for (int i = 0; i < ARM_DOF * 4; ++i) {
        collision.JointCollisionCurrent[i / 4][i % 4] = static_cast<uint16>(100 + i);
    }
    ROUND_TRIP(communication::RobotCollisionCurrent, collision,
               robotCollisionCurrentTypeConversion);
}
#undef ROUND_TRIP

TEST(RecordRoundTrip, ToolParametersReplaceEarlierContent) {
    const ToolKinematicsParam kinematics{{0.1, 0.2, 0.3}, {0, 0, 0, 1}};
    const ToolDynamicsParam dynamics{0.01, 0.02, 0.03, 2.5, {1, 2, 3, 4, 5, 6}};
    ToolKinematicsParam kinematicsBack{};
    ToolDynamicsParam dynamicsBack{};
    common::ToolParam message;
    PED::toolParamTypeConversion(kinematics, message);
    PED::toolParamTypeConversion(dynamics, message);
    EXPECT_FALSE(PED::toolParamTypeConversion(message, kinematicsBack));  // list now empty
    EXPECT_TRUE(PED::toolParamTypeConversion(message, dynamicsBack) &&
                sameBytes(dynamics, dynamicsBack));
    PED::toolParamTypeConversion(kinematics, message);
    EXPECT_FALSE(PED::toolParamTypeConversion(message, dynamicsBack));
    EXPECT_TRUE(PED::toolParamTypeConversion(message, kinematicsBack) &&
                sameBytes(kinematics, kinematicsBack));
}

TEST(RoadPointReader, PicksAViewAndChecksTheJointCount) {
    const double kVector[] = {1, 2, 3, 4}, kJoints[] = {-1, -2, -3, -4, -5, -6, -7};
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
        cart->mutable_positionvector()->Add(kVector, kVector + vectors);
        message.clear_jointpos();
        message.mutable_jointpos()->Add(kJoints, kJoints + joints);
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

// The relative orientation's quaternion list overwrites its entry from the front; a relative
// position list that is not three long is not read.
TEST(PartialList, RelativeMoveReadsWhatItsListsHold) {
    common::RobotMoveProfile message;
    PED::KezuRobotMoveProfileType2ProtoType(sampleProfile(), message);
    message.mutable_relativemove()->mutable_relativeposition()->RemoveLast();
    google::protobuf::RepeatedField<double> *quaternion =
        message.mutable_relativemove()->mutable_relativeorientation()->mutable_quaternionvector();
    quaternion->Truncate(2);
    quaternion->Set(0, 0.25);
    RobotMoveProfile profile{};
    profile.relativeMove.relativePosition[0] = 7;
    PED::ProtoRobotMoveProfileType2KezuType(message, profile);
    EXPECT_EQ(profile.relativeMove.relativePosition[0], 7);
    EXPECT_TRUE(sameBytes(profile.relativeMove.relativeOrientation,
                          cartesian_Ori_U{{0.25, 0.5, 0.5, 0.5}}));
    cartesian_Ori_U untouched{{9, 8, 7, 6}};
    PED::cartesianOriUTypeConversion(common::cartesianOri_U(), untouched);
    EXPECT_TRUE(sameBytes(untouched, cartesian_Ori_U{{9, 8, 7, 6}}));
}

TEST(PartialList, WideDiagnosisValuesKeepTheirLowBits) {
    communication::RobotDiagnosis message;
    PED::robotDiagnosisTypeConversion(RobotDiagnosis{}, message);
    message.set_toolioerror(300);
    message.set_contorllertemp(-129);
    message.set_mactargetposdatasize(0x12345);
    RobotDiagnosis diagnosis{};
    PED::robotDiagnosisTypeConversion(message, diagnosis);
    EXPECT_TRUE(diagnosis.toolIoError == 44 && diagnosis.contorllerTemp == 127 &&
                diagnosis.macTargetPosDataSize == 0x2345);
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
        using Texts = std::vector<std::string>;
        EXPECT_EQ(
            (Texts{info.revision, info.desc, info.extio_version, info.joint_ver[0].hw_version}),
            (Texts{std::string(15, 'r'), "0123456789A", std::string(11, 'x'), "abcdefg"}));
        EXPECT_TRUE(sameBytes(info.joint_ver[1], JointVersion{}));
        EXPECT_EQ(info.jointProductID[1].productID[0], '\0');
        EXPECT_EQ(info.joint_type[0], '\0');
    }
}

}  // namespace
