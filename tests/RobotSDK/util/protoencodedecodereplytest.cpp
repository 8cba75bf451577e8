#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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

template <class Info>
void setInfo(Info *info, int code) {
    info->set_errorcode(code);
    info->set_errormsg(code == 0 ? "" : "failed");
}

communication::ProtoCommunicationGeneralData generalData(std::vector<int> ints,
                                                         std::vector<bool> bools, int code = -1) {
    communication::ProtoCommunicationGeneralData message;
    PED::makeProtoCommunicationGeneralData(message, ints, bools);
    if (code >= 0) {
        setInfo(message.add_errorinfo(), code);
    }
    return message;
}

// ---- every resolver refuses what cannot be a complete body

struct ResolverCase {
    const char *name;
    std::function<bool(const char *, int)> resolve;
};

void PrintTo(const ResolverCase &c, std::ostream *os) { *os << c.name; }

template <class... Out>
ResolverCase resolver(const char *name, bool (*fn)(const char *, int, Out &...)) {
    return {name, [fn](const char *b, int s) {
                std::tuple<Out...> outs{};
                return std::apply([&](Out &...o) { return fn(b, s, o...); }, outs);
            }};
}

const std::vector<ResolverCase> kResolvers{
    resolver("commonFormat", &PED::resolveResponse_commonFormat),
    resolver("robotEvent", &PED::resolveResponse_robotEvent),
    resolver("endSpeed", &PED::resolveResponse_robotEndSpeed),
    {"jointStatus",
     [](const char *b, int s) {
         JointStatus st[6];
         int code = 0;
         return PED::resolveResponse_jointStatus(b, s, st, 6, code);
     }},
    resolver("robotDiagnosis", &PED::resolveResponse_robotDiagnosis),
    resolver("dhParam", &PED::resolveResponse_DhParam),
    resolver("jointAngle", &PED::resolveResponse_jointAngle),
    resolver("diagnosisInfo", &PED::resolveResponse_robotDiagnosisInfo),
    resolver("devInfo", &PED::resolveResponse_devInfo),
    resolver("tcpParam", &PED::resolveResponse_tcpParam),
    resolver("toolDynamics", &PED::resolveResponse_getToolDynamicsParam),
    resolver("toolKinematics", &PED::resolveResponse_getToolKinematicsParam),
    resolver("dynIdentify", &PED::resolveResponse_getDynIdentifyResults),
    resolver("gravity", &PED::resolveResponse_gravityComponent),
    resolver("collision", &PED::resolveResponse_collisionCurrent),
    resolver("workMode", &PED::resolveResponse_robotWorkMode),
    resolver("robotState", &PED::resolveResponse_robotState),
    resolver("realRobot", &PED::resolveResponse_isRealRobotExist),
    resolver("safetyConfig", &PED::resolveResponse_safetyConfig),
    resolver("safetyStatus", &PED::resolveResponse_safetyStatus),
    resolver("digitalIo", &PED::resolveResponse_robotDiagnosisIOData),
    resolver("analogIo", &PED::resolveResponse_robotAnalogIOData),
    resolver("toolIo", &PED::resolveResponse_robotToolIoStatus),
    resolver("ethernetName", &PED::resolveResponse_ethernetDeviceName),
};

class EveryResolver : public ::testing::TestWithParam<ResolverCase> {
protected:
    void SetUp() override { ::testing::internal::CaptureStderr(); }
    void TearDown() override { ::testing::internal::GetCapturedStderr(); }
    bool resolve(const std::string &body) {
        return GetParam().resolve(body.data(), static_cast<int>(body.size()));
    }
};

TEST_P(EveryResolver, ZeroByteBodyFails) {
    EXPECT_FALSE(resolve(""));
    EXPECT_FALSE(GetParam().resolve(nullptr, 0));
}

TEST_P(EveryResolver, TruncatedOrGarbageBodyFails) {
    EXPECT_FALSE(resolve(std::string("\x0a\x10\x08", 3)));  // length runs past the end
    EXPECT_FALSE(resolve(std::string(10, '\xff') + "\x01"));
}

TEST_P(EveryResolver, NegativeSizeOrNullBufferFails) {
    const std::string body = bytesOf(generalData({1}, {true}, 0));
    EXPECT_FALSE(GetParam().resolve(body.data(), -1));
    EXPECT_FALSE(GetParam().resolve(nullptr, 8));
}

INSTANTIATE_TEST_SUITE_P(All, EveryResolver, ::testing::ValuesIn(kResolvers),
                         [](const ::testing::TestParamInfo<ResolverCase> &info) {
                             return std::string(info.param.name);
                         });

// The protobuf runtime may log its own reason first; the codec's line ends the output.
TEST(ResolverFailureLine, CommonReplyAndGeneralDataWriteTheirLinesToStandardError) {
    CommunicationCommonResultResponse r;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(PED::resolveResponse_commonFormat("", 0, r));
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                ::testing::EndsWith("ERROR: resolveResponse_commonFormat Parse fail.\n"));
    double speed = 0;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(PED::resolveResponse_robotEndSpeed("", 0, speed));
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                ::testing::EndsWith("ERROR: ProtoCommunicationGeneralDataMessageParse fail.\n"));
}

TEST(CommonReply, CarriesCodeAndMessage) {
    communication::ProtoRobotCommonResponse reply;
    setInfo(&reply, 4);
    const Received body(reply);
    CommunicationCommonResultResponse r;
    ASSERT_TRUE(PED::resolveResponse_commonFormat(body.data(), body.size(), r));
    EXPECT_EQ(r.m_errorCode, 4);
    EXPECT_EQ(r.m_errorMsg, "failed");
}

// ---- the link-loss event built into a caller's buffer

class EventBody : public ::testing::Test {
protected:
    void SetUp() override {
        communication::ProtoCommunicationRobotEvent message;
        PED::robotEventTypeConversion(event, message);
        exactSize = static_cast<int>(message.ByteSizeLong());
    }
    const RobotEventInfo event{RobotEvent_socketDisconnected, -3, std::string("lost\0tail", 9)};
    int exactSize = 0;
};

TEST_F(EventBody, OneByteShortLeavesBufferAndSizeUntouched) {
    std::vector<char> buffer(exactSize, 'x');
    int size = exactSize - 1;
    EXPECT_FALSE(PED::getResponse_Event(buffer.data(), &size, event));
    EXPECT_EQ(size, exactSize - 1);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(exactSize, 'x'));
    size = -1;
    EXPECT_FALSE(PED::getResponse_Event(buffer.data(), &size, event));
}

TEST_F(EventBody, ExactCapacityRoundTripsThroughTheResolver) {
    std::vector<char> buffer(exactSize + 8, 'x');
    int size = exactSize;
    ASSERT_TRUE(PED::getResponse_Event(buffer.data(), &size, event));
    EXPECT_EQ(size, exactSize);
    EXPECT_EQ(buffer[exactSize], 'x');  // nothing written past the body
    RobotEventInfo back;
    ASSERT_TRUE(PED::resolveResponse_robotEvent(buffer.data(), size, back));
    EXPECT_EQ(back.eventType, RobotEvent_socketDisconnected);
    EXPECT_EQ(back.eventCode, -3);
    EXPECT_EQ(back.eventContent, event.eventContent);
}

// ---- general data replies

TEST(GeneralDataReply, EndSpeedIsScaledByOneThousand) {
    const Received body(generalData({1500}, {}));
    double speed = 0;
    ASSERT_TRUE(PED::resolveResponse_robotEndSpeed(body.data(), body.size(), speed));
    EXPECT_DOUBLE_EQ(speed, 1.5);
}

TEST(GeneralDataReply, MissingValueFailsAndLeavesOutputs) {
    const Received noInts(generalData({}, {true}, 2));
    double speed = 7;
    EXPECT_FALSE(PED::resolveResponse_robotEndSpeed(noInts.data(), noInts.size(), speed));
    EXPECT_EQ(speed, 7);
    RobotState state = RobotPaused;
    int code = 0;
    EXPECT_FALSE(PED::resolveResponse_robotState(noInts.data(), noInts.size(), state, code));
    EXPECT_EQ(state, RobotPaused);
    const Received noBools(generalData({1}, {}, 0));
    bool exists = true;
    EXPECT_FALSE(
        PED::resolveResponse_isRealRobotExist(noBools.data(), noBools.size(), exists, code));
    EXPECT_TRUE(exists);
}

TEST(GeneralDataReply, ValuesAndCodeComeFromEntryZero) {
    const Received body(generalData({1, 0}, {false, true}, 3));
    int code = -1;
    RobotWorkMode mode = RobotModeSimulator;
    ASSERT_TRUE(PED::resolveResponse_robotWorkMode(body.data(), body.size(), mode, code));
    EXPECT_EQ(mode, RobotModeReal);
    EXPECT_EQ(code, 3);
    bool exists = true;
    ASSERT_TRUE(PED::resolveResponse_isRealRobotExist(body.data(), body.size(), exists, code));
    EXPECT_FALSE(exists);

    const Received noCode(generalData({2}, {}));
    code = 99;
    RobotState state = RobotStopped;
    ASSERT_TRUE(PED::resolveResponse_robotState(noCode.data(), noCode.size(), state, code));
    EXPECT_EQ(state, RobotPaused);
    EXPECT_EQ(code, 99);  // no errorInfo: the caller's value stays
}

// ---- joint angle and joint status

TEST(JointReply, AnglesWithoutErrorInfoAreWrittenButTheResultIsFalse) {
    common::ProtoJointAngleResponse reply;
    common::ProtoJointAngle *a = reply.mutable_jointangle();
    for (auto set : {&common::ProtoJointAngle::set_joint1, &common::ProtoJointAngle::set_joint2,
                     &common::ProtoJointAngle::set_joint3, &common::ProtoJointAngle::set_joint4,
                     &common::ProtoJointAngle::set_joint5}) {
        (a->*set)(0.1);
    }
    a->set_joint6(0.6);
    JointParam angles{};
    int code = 42;
    const Received without(reply);
    EXPECT_FALSE(PED::resolveResponse_jointAngle(without.data(), without.size(), angles, code));
    EXPECT_EQ(angles.jointPos[5], 0.6);
    EXPECT_EQ(code, 42);

    setInfo(reply.add_errorinfo(), 3);
    const Received with(reply);
    EXPECT_TRUE(PED::resolveResponse_jointAngle(with.data(), with.size(), angles, code));
    EXPECT_EQ(code, 3);
}

struct JointStatusCase {
    int entries;
    int len;
    int filled;
};

void PrintTo(const JointStatusCase &c, std::ostream *os) {
    *os << c.entries << " entries into " << c.len;
}

class JointStatusReply : public ::testing::TestWithParam<JointStatusCase> {};

TEST_P(JointStatusReply, FillsAtMostLenRecordsAndLeavesTheRest) {
    common::ProtoRobotAllJointStatusResponse reply;
    reply.set_jointcount(99);  // ignored
    for (int i = 0; i < GetParam().entries; ++i) {
        JointStatus source{i + 1, 0, 0, 0, 0, 0, 0, 0, 0};
        PED::jointStatusTypeConversion(source, *reply.add_jointstatus());
        reply.mutable_jointstatus(i)->set_jointerrornum(0x10002);  // low 16 bits: 2
    }
    const Received body(reply);
    std::vector<JointStatus> out(8);
    std::memset(out.data(), 0xAB, out.size() * sizeof(JointStatus));
    int code = 5;
    ASSERT_TRUE(PED::resolveResponse_jointStatus(body.data(), body.size(), out.data(),
                                                 GetParam().len, code));
    EXPECT_EQ(code, 5);
    for (int i = 0; i < 8; ++i) {
        const bool filled = i < GetParam().filled;
        // Packed records: compare copies, not references into them.
        const int current = out[i].jointCurrentI;
        const int errorNum = out[i].jointErrorNum;
        EXPECT_EQ(current, filled ? i + 1 : static_cast<int>(0xABABABAB)) << i;
        EXPECT_EQ(errorNum, filled ? 2 : 0xABAB) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, JointStatusReply,
                         ::testing::Values(JointStatusCase{7, 6, 6}, JointStatusCase{4, 6, 4},
                                           JointStatusCase{6, 0, 0}, JointStatusCase{6, -1, 0},
                                           JointStatusCase{0, 6, 0}));

// ---- replies with a single required errorInfo

TEST(CodedReply, DeviceInformationIsReadOnlyOnCodeZeroWithAnEntry) {
    common::ProtoResponseRobotDevInfo reply;
    setInfo(reply.mutable_errorinfo(), 5);
    RobotDevInfo info;
    std::memset(&info, 0x5A, sizeof(info));
    int code = 0;
    const Received failing(reply);
    ASSERT_TRUE(PED::resolveResponse_devInfo(failing.data(), failing.size(), info, code));
    EXPECT_EQ(code, 5);
    EXPECT_EQ(info.type, 0x5A);

    setInfo(reply.mutable_errorinfo(), 0);  // code 0, empty list
    const Received empty(reply);
    ASSERT_TRUE(PED::resolveResponse_devInfo(empty.data(), empty.size(), info, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(info.type, 0x5A);
}

TEST(CodedReply, ToolDynamicsWithoutParametersIsFalseWithCodeZero) {
    common::ToolParam reply;
    setInfo(reply.mutable_errorinfo(), 0);
    ToolDynamicsParam tool{1, 2, 3, 4, {5, 6, 7, 8, 9, 10}};
    int code = 9;
    const Received empty(reply);
    EXPECT_FALSE(PED::resolveResponse_getToolDynamicsParam(empty.data(), empty.size(), tool, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(tool.payload, 4);

    setInfo(reply.mutable_errorinfo(), 2);  // a failing code is a successful resolution
    const Received failing(reply);
    EXPECT_TRUE(
        PED::resolveResponse_getToolDynamicsParam(failing.data(), failing.size(), tool, code));
    EXPECT_EQ(code, 2);
}

TEST(CodedReply, LoginReplyWithNonZeroCodeLeavesModelAndLengths) {
    common::ProtoResponseRobotDhParam reply;
    reply.set_robottype(3);
    common::DhParam *dh = reply.mutable_dhparam();
    for (auto set :
         {&common::DhParam::set_a3, &common::DhParam::set_a4, &common::DhParam::set_d1,
          &common::DhParam::set_d2, &common::DhParam::set_d5, &common::DhParam::set_d6}) {
        (dh->*set)(0.5);
    }
    setInfo(reply.mutable_errorinfo(), 1);
    int type = -1;
    RobotDhPara lengths{9, 9, 9, 9, 9, 9};
    int code = 0;
    const Received failing(reply);
    ASSERT_TRUE(PED::resolveResponse_DhParam(failing.data(), failing.size(), type, lengths, code));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(lengths.D6, 9);

    setInfo(reply.mutable_errorinfo(), 0);
    const Received ok(reply);
    ASSERT_TRUE(PED::resolveResponse_DhParam(ok.data(), ok.size(), type, lengths, code));
    EXPECT_EQ(type, 3);
    EXPECT_EQ(lengths.A3, 0.5);
    EXPECT_EQ(lengths.D6, 0.5);
}

TEST(CodedReply, CollisionReadsOnlyEntryZeroClass) {
    common::ProtoResponseRobotCollisionCurrent reply;
    reply.add_collisioncurrent()->set_collisionclass(0x105);
    reply.add_collisioncurrent()->set_collisionclass(7);
    setInfo(reply.mutable_errorinfo(), 0);
    RobotCollisionCurrent current{};
    current.JointCollisionCurrent[5][3] = 77;
    int code = 1;
    const Received body(reply);
    ASSERT_TRUE(PED::resolveResponse_collisionCurrent(body.data(), body.size(), current, code));
    EXPECT_EQ(current.CollisionClass, 5);
    EXPECT_EQ(current.JointCollisionCurrent[5][3], 77);
    EXPECT_EQ(code, 0);
}

// ---- replies with a repeated errorInfo

TEST(ListReply, DynamicsIdentificationKeepsVectorOnFailingCode) {
    communication::ProtoCommunicationDynIdentifyResults reply;
    reply.set_temp(1);
    reply.add_param(10);
    setInfo(reply.add_errorinfo(), 2);
    std::vector<int> params{1, 2};
    int code = 0;
    const Received failing(reply);
    ASSERT_TRUE(
        PED::resolveResponse_getDynIdentifyResults(failing.data(), failing.size(), params, code));
    EXPECT_EQ(code, 2);
    EXPECT_EQ(params, (std::vector<int>{1, 2}));

    reply.mutable_errorinfo(0)->set_errorcode(0);
    reply.add_param(20);
    reply.add_param(-30);
    const Received ok(reply);
    ASSERT_TRUE(PED::resolveResponse_getDynIdentifyResults(ok.data(), ok.size(), params, code));
    EXPECT_EQ(params, (std::vector<int>{10, 20, -30}));
}

TEST(ListReply, DiagnosisInfoResetsCodeAndReadsEntryZero) {
    communication::ProtoCommunicationRobotDiagnosisInfo reply;
    reply.set_num(0);
    RobotDiagnosis source{};
    source.toolIoError = 12;
    PED::robotDiagnosisTypeConversion(source, *reply.add_robotdiagnosis());
    RobotDiagnosis out{};
    int code = 8;
    const Received body(reply);
    ASSERT_TRUE(PED::resolveResponse_robotDiagnosisInfo(body.data(), body.size(), out, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out.toolIoError, 12);
}

TEST(ListReply, IoReplyThatFailsToParseEmptiesTheVector) {
    std::vector<RobotDiagnosisIODesc> digital{{1, 1, 1}};
    std::vector<RobotAnalogIODesc> analog(2);
    int code = 0;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(PED::resolveResponse_robotDiagnosisIOData("\x08", 1, digital, code));
    EXPECT_FALSE(PED::resolveResponse_robotAnalogIOData("\x08", 1, analog, code));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(digital.empty());
    EXPECT_TRUE(analog.empty());
    EXPECT_THAT(err,
                ::testing::HasSubstr("ERROR:resolveRequest_robotDiagnosisIOData Parse fail.\n"));
    EXPECT_THAT(err, ::testing::HasSubstr("ERROR:resolveRequest_robotAnalogIOData Parse fail.\n"));
}

TEST(ListReply, IoReplyKeepsItemOrderAndNarrowsToBytes) {
    communication::ProtoCommunicationRobotAnalogIOData reply;
    reply.set_type(7);
    for (int i = 0; i < 3; ++i) {
        communication::ProtoRobotAnalogIODesc *d = reply.add_iodesc();
        d->set_addr(256 + i);
        d->set_type(i);
        d->set_value(0.5f * i);
    }
    setInfo(reply.add_errorinfo(), 1);
    std::vector<RobotAnalogIODesc> analog;
    int code = 0;
    const Received body(reply);
    ASSERT_TRUE(PED::resolveResponse_robotAnalogIOData(body.data(), body.size(), analog, code));
    ASSERT_EQ(analog.size(), 3u);
    EXPECT_EQ(analog[2].addr, 2);
    EXPECT_EQ(analog[2].value, 1.0f);
    EXPECT_EQ(code, 1);
}

TEST(ListReply, ToolIoStatusTakesErrorStatusFromTheReplyCode) {
    communication::ProtoCommunicationToolAllIOStatusInfoResponse reply;
    communication::toolAllIOStatus *s = reply.mutable_tooliostatus();
    s->set_powertype(OUT_24V);
    s->set_systemvoltage(24.25);
    s->set_systemtemperature(36.5);
    s->set_errorstatus(1);  // not read
    for (int i = 0; i < 5; ++i) {
        communication::ToolDigitalStatus *d = s->add_digitaliostatus();
        d->set_iotype(i % 2);
        d->set_iodata(0x100 + i);
    }
    s->add_aidata(1.25);
    setInfo(reply.mutable_errorinfo(), 0x1FF);
    RobotToolAllIOStatus out{};
    out.aiData[1] = 9.0f;
    int code = 0;
    const Received body(reply);
    ASSERT_TRUE(PED::resolveResponse_robotToolIoStatus(body.data(), body.size(), out, code));
    EXPECT_EQ(static_cast<int>(out.powerType), static_cast<int>(OUT_24V));
    EXPECT_EQ(static_cast<float>(out.systemVoltage), 24.25f);
    EXPECT_EQ(static_cast<float>(out.systemTemperature), 36.5f);
    EXPECT_EQ(out.errorStatus, 0xFF);
    EXPECT_EQ(out.digitalIoStatus[3].ioData, 3);
    EXPECT_EQ(static_cast<int>(out.digitalIoStatus[3].ioType), static_cast<int>(IO_OUT));
    EXPECT_EQ(static_cast<float>(out.aiData[0]), 1.25f);
    EXPECT_EQ(static_cast<float>(out.aiData[1]), 9.0f);
    EXPECT_EQ(code, 0x1FF);
}

}  // namespace
