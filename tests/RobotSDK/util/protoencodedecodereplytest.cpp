#include <gmock/gmock.h>
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

template <class Info>
void setInfo(Info *info, int code) {
    info->set_errorcode(code);
    info->set_errormsg(code == 0 ? "" : "failed");
}

common::ProtoJointAngle *fillAngles(common::ProtoJointAngleResponse &reply) {
    common::ProtoJointAngle *a = reply.mutable_jointangle();
    a->set_joint1(0.1);
    a->set_joint2(0.2);
    a->set_joint3(0.3);
    a->set_joint4(0.4);
    a->set_joint5(0.5);
    a->set_joint6(0.6);
    return a;
}

void fillJointStatus(common::ProtoJointStatus *s, int marker) {
    s->set_jointcurrenti(marker);
    s->set_jointspeedmoto(-marker);
    s->set_jointposj(0.5f);
    s->set_jointcurvol(48.0f);
    s->set_jointcurtemp(30.0f);
    s->set_jointtagcurrenti(marker * 2);
    s->set_jointtagspeedmoto(1.0f);
    s->set_jointtagposj(0.25f);
    s->set_jointerrornum(0x10002);  // narrowed to 16 bits: 2
}

std::string generalData(std::vector<int> ints, std::vector<bool> bools, int code = -1) {
    communication::ProtoCommunicationGeneralData message;
    PED::makeProtoCommunicationGeneralData(message, ints, bools);
    if (code >= 0) {
        setInfo(message.add_errorinfo(), code);
    }
    return bytesOf(message);
}

// ---- every resolver fails on malformed bytes and on an empty body, and on negative sizes

struct ResolverCase {
    const char *name;
    std::function<bool(const char *, int)> resolve;
};

void PrintTo(const ResolverCase &c, std::ostream *os) { *os << c.name; }

template <class Out>
ResolverCase withCode(const char *name, bool (*fn)(const char *, int, Out &, int &)) {
    return {name, [fn](const char *b, int s) {
                Out out{};
                int code = 0;
                return fn(b, s, out, code);
            }};
}

std::vector<ResolverCase> allResolvers() {
    return {
        {"commonFormat",
         [](const char *b, int s) {
             CommunicationCommonResultResponse r;
             return PED::resolveResponse_commonFormat(b, s, r);
         }},
        {"robotEvent",
         [](const char *b, int s) {
             RobotEventInfo e;
             return PED::resolveResponse_robotEvent(b, s, e);
         }},
        {"endSpeed",
         [](const char *b, int s) {
             double v = 0;
             return PED::resolveResponse_robotEndSpeed(b, s, v);
         }},
        {"jointStatus",
         [](const char *b, int s) {
             JointStatus st[6];
             int code = 0;
             return PED::resolveResponse_jointStatus(b, s, st, 6, code);
         }},
        {"robotDiagnosis",
         [](const char *b, int s) {
             RobotDiagnosis d{};
             return PED::resolveResponse_robotDiagnosis(b, s, d);
         }},
        {"dhParam",
         [](const char *b, int s) {
             int type = 0, code = 0;
             RobotDhPara dh{};
             return PED::resolveResponse_DhParam(b, s, type, dh, code);
         }},
        withCode("jointAngle", &PED::resolveResponse_jointAngle),
        withCode("diagnosisInfo", &PED::resolveResponse_robotDiagnosisInfo),
        withCode("devInfo", &PED::resolveResponse_devInfo),
        withCode("tcpParam", &PED::resolveResponse_tcpParam),
        withCode("toolDynamics", &PED::resolveResponse_getToolDynamicsParam),
        withCode("toolKinematics", &PED::resolveResponse_getToolKinematicsParam),
        withCode("dynIdentify", &PED::resolveResponse_getDynIdentifyResults),
        withCode("gravity", &PED::resolveResponse_gravityComponent),
        withCode("collision", &PED::resolveResponse_collisionCurrent),
        withCode("workMode", &PED::resolveResponse_robotWorkMode),
        withCode("robotState", &PED::resolveResponse_robotState),
        withCode("realRobot", &PED::resolveResponse_isRealRobotExist),
        withCode("safetyConfig", &PED::resolveResponse_safetyConfig),
        withCode("safetyStatus", &PED::resolveResponse_safetyStatus),
        withCode("digitalIo", &PED::resolveResponse_robotDiagnosisIOData),
        withCode("analogIo", &PED::resolveResponse_robotAnalogIOData),
        withCode("toolIo", &PED::resolveResponse_robotToolIoStatus),
        withCode("ethernetName", &PED::resolveResponse_ethernetDeviceName),
    };
}

class EveryResolver : public ::testing::TestWithParam<ResolverCase> {
protected:
    void SetUp() override { ::testing::internal::CaptureStderr(); }
    void TearDown() override { ::testing::internal::GetCapturedStderr(); }
};

TEST_P(EveryResolver, ZeroByteBodyFails) {
    EXPECT_FALSE(GetParam().resolve("", 0));
    EXPECT_FALSE(GetParam().resolve(nullptr, 0));
}

TEST_P(EveryResolver, TruncatedOrGarbageBodyFails) {
    const std::string truncated("\x0a\x10\x08", 3);  // length runs past the end
    EXPECT_FALSE(GetParam().resolve(truncated.data(), static_cast<int>(truncated.size())));
    const std::string garbage("\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x01", 11);
    EXPECT_FALSE(GetParam().resolve(garbage.data(), static_cast<int>(garbage.size())));
}

TEST_P(EveryResolver, NegativeSizeOrNullBufferFails) {
    const std::string body = generalData({1}, {true}, 0);
    EXPECT_FALSE(GetParam().resolve(body.data(), -1));
    EXPECT_FALSE(GetParam().resolve(nullptr, 8));
}

INSTANTIATE_TEST_SUITE_P(All, EveryResolver, ::testing::ValuesIn(allResolvers()),
                         [](const ::testing::TestParamInfo<ResolverCase> &info) {
                             return std::string(info.param.name);
                         });

// ---- failure lines

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

// ---- common reply and event

TEST(CommonReply, CarriesCodeAndMessage) {
    communication::ProtoRobotCommonResponse reply;
    reply.set_errorcode(4);
    reply.set_errormsg("no real robot");
    const std::string body = bytesOf(reply);
    CommunicationCommonResultResponse r;
    ASSERT_TRUE(PED::resolveResponse_commonFormat(body.data(), static_cast<int>(body.size()), r));
    EXPECT_EQ(r.m_errorCode, 4);
    EXPECT_EQ(r.m_errorMsg, "no real robot");
}

class EventBody : public ::testing::Test {
protected:
    void SetUp() override {
        event.eventType = RobotEvent_socketDisconnected;
        event.eventCode = -3;
        event.eventContent = std::string("link lost\0tail", 14);
        communication::ProtoCommunicationRobotEvent message;
        PED::robotEventTypeConversion(event, message);
        exactSize = static_cast<int>(message.ByteSizeLong());
    }
    RobotEventInfo event;
    int exactSize = 0;
};

TEST_F(EventBody, OneByteShortLeavesBufferAndSizeUntouched) {
    std::vector<char> buffer(exactSize, 'x');
    int size = exactSize - 1;
    EXPECT_FALSE(PED::getResponse_Event(buffer.data(), &size, event));
    EXPECT_EQ(size, exactSize - 1);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(exactSize, 'x'));
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

TEST_F(EventBody, NegativeCapacityFails) {
    char buffer[64];
    int size = -1;
    EXPECT_FALSE(PED::getResponse_Event(buffer, &size, event));
    EXPECT_EQ(size, -1);
}

// ---- general data replies

TEST(GeneralDataReply, EndSpeedIsScaledByOneThousand) {
    const std::string body = generalData({1500}, {});
    double speed = 0;
    ASSERT_TRUE(
        PED::resolveResponse_robotEndSpeed(body.data(), static_cast<int>(body.size()), speed));
    EXPECT_DOUBLE_EQ(speed, 1.5);
}

TEST(GeneralDataReply, MissingValueFailsAndLeavesOutputs) {
    const std::string noInts = generalData({}, {true}, 2);
    double speed = 7;
    EXPECT_FALSE(
        PED::resolveResponse_robotEndSpeed(noInts.data(), static_cast<int>(noInts.size()), speed));
    EXPECT_EQ(speed, 7);
    RobotState state = RobotPaused;
    int code = 0;
    EXPECT_FALSE(PED::resolveResponse_robotState(noInts.data(), static_cast<int>(noInts.size()),
                                                 state, code));
    EXPECT_EQ(state, RobotPaused);

    const std::string noBools = generalData({1}, {}, 0);
    bool exists = true;
    EXPECT_FALSE(PED::resolveResponse_isRealRobotExist(
        noBools.data(), static_cast<int>(noBools.size()), exists, code));
    EXPECT_TRUE(exists);
}

TEST(GeneralDataReply, ValuesAndCodeComeFromEntryZero) {
    const std::string body = generalData({1, 0}, {false, true}, 3);
    int code = -1;
    RobotWorkMode mode = RobotModeSimulator;
    ASSERT_TRUE(
        PED::resolveResponse_robotWorkMode(body.data(), static_cast<int>(body.size()), mode, code));
    EXPECT_EQ(mode, RobotModeReal);
    EXPECT_EQ(code, 3);
    bool exists = true;
    ASSERT_TRUE(PED::resolveResponse_isRealRobotExist(body.data(), static_cast<int>(body.size()),
                                                      exists, code));
    EXPECT_FALSE(exists);

    const std::string noCode = generalData({2}, {});
    code = 99;
    RobotState state = RobotStopped;
    ASSERT_TRUE(PED::resolveResponse_robotState(noCode.data(), static_cast<int>(noCode.size()),
                                                state, code));
    EXPECT_EQ(state, RobotPaused);
    EXPECT_EQ(code, 99);  // no errorInfo: the caller's value stays
}

// ---- joint angle and joint status

TEST(JointReply, AnglesWithoutErrorInfoAreWrittenButTheResultIsFalse) {
    common::ProtoJointAngleResponse reply;
    fillAngles(reply);
    std::string body = bytesOf(reply);
    JointParam angles{};
    int code = 42;
    EXPECT_FALSE(
        PED::resolveResponse_jointAngle(body.data(), static_cast<int>(body.size()), angles, code));
    EXPECT_EQ(angles.jointPos[0], 0.1);
    EXPECT_EQ(angles.jointPos[5], 0.6);
    EXPECT_EQ(code, 42);

    setInfo(reply.add_errorinfo(), 3);
    body = bytesOf(reply);
    EXPECT_TRUE(
        PED::resolveResponse_jointAngle(body.data(), static_cast<int>(body.size()), angles, code));
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
        fillJointStatus(reply.add_jointstatus(), i + 1);
    }
    const std::string body = bytesOf(reply);
    std::vector<JointStatus> out(8);
    std::memset(out.data(), 0xAB, out.size() * sizeof(JointStatus));
    int code = 5;
    ASSERT_TRUE(PED::resolveResponse_jointStatus(body.data(), static_cast<int>(body.size()),
                                                 out.data(), GetParam().len, code));
    EXPECT_EQ(code, 5);
    for (int i = 0; i < 8; ++i) {
        if (i < GetParam().filled) {
            EXPECT_EQ(out[i].jointCurrentI, i + 1);
            EXPECT_EQ(out[i].jointTagCurrentI, 2 * (i + 1));
            EXPECT_EQ(out[i].jointErrorNum, 2);
        } else {
            EXPECT_EQ(out[i].jointErrorNum, 0xABAB) << "record " << i << " was written";
        }
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
    std::string body = bytesOf(reply);
    RobotDevInfo info;
    std::memset(&info, 0x5A, sizeof(info));
    int code = 0;
    ASSERT_TRUE(
        PED::resolveResponse_devInfo(body.data(), static_cast<int>(body.size()), info, code));
    EXPECT_EQ(code, 5);
    EXPECT_EQ(info.type, 0x5A);

    setInfo(reply.mutable_errorinfo(), 0);  // code 0, empty list
    body = bytesOf(reply);
    ASSERT_TRUE(
        PED::resolveResponse_devInfo(body.data(), static_cast<int>(body.size()), info, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(info.type, 0x5A);
}

TEST(CodedReply, ToolDynamicsWithoutParametersIsFalseWithCodeZero) {
    common::ToolParam reply;
    setInfo(reply.mutable_errorinfo(), 0);
    std::string body = bytesOf(reply);
    ToolDynamicsParam tool{1, 2, 3, 4, {5, 6, 7, 8, 9, 10}};
    int code = 9;
    EXPECT_FALSE(PED::resolveResponse_getToolDynamicsParam(
        body.data(), static_cast<int>(body.size()), tool, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(tool.payload, 4);

    setInfo(reply.mutable_errorinfo(), 2);  // a failing code is a successful resolution
    body = bytesOf(reply);
    EXPECT_TRUE(PED::resolveResponse_getToolDynamicsParam(
        body.data(), static_cast<int>(body.size()), tool, code));
    EXPECT_EQ(code, 2);
}

TEST(CodedReply, ToolKinematicsReadsEntryZero) {
    common::ToolParam reply;
    setInfo(reply.mutable_errorinfo(), 0);
    PED::toolParamTypeConversion(ToolKinematicsParam{{1, 2, 3}, {0, 0, 1, 0}}, reply);
    setInfo(reply.mutable_errorinfo(), 0);
    const std::string body = bytesOf(reply);
    ToolKinematicsParam tool{};
    int code = 9;
    ASSERT_TRUE(PED::resolveResponse_getToolKinematicsParam(
        body.data(), static_cast<int>(body.size()), tool, code));
    EXPECT_EQ(tool.toolInEndPosition.z, 3);
    EXPECT_EQ(tool.toolInEndOrientation.y, 1);
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
    std::string body = bytesOf(reply);
    int type = -1;
    RobotDhPara lengths{9, 9, 9, 9, 9, 9};
    int code = 0;
    ASSERT_TRUE(PED::resolveResponse_DhParam(body.data(), static_cast<int>(body.size()), type,
                                             lengths, code));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(lengths.D6, 9);

    setInfo(reply.mutable_errorinfo(), 0);
    body = bytesOf(reply);
    ASSERT_TRUE(PED::resolveResponse_DhParam(body.data(), static_cast<int>(body.size()), type,
                                             lengths, code));
    EXPECT_EQ(type, 3);
    EXPECT_EQ(lengths.A3, 0.5);
    EXPECT_EQ(lengths.D6, 0.5);
}

TEST(CodedReply, TcpGravityCollisionSafetyReadEntryZeroOnCodeZero) {
    common::ProtoResponseRobotCollisionCurrent collision;
    collision.add_collisioncurrent()->set_collisionclass(0x105);
    collision.add_collisioncurrent()->set_collisionclass(7);
    setInfo(collision.mutable_errorinfo(), 0);
    std::string body = bytesOf(collision);
    RobotCollisionCurrent current{};
    current.JointCollisionCurrent[5][3] = 77;
    int code = 1;
    ASSERT_TRUE(PED::resolveResponse_collisionCurrent(body.data(), static_cast<int>(body.size()),
                                                      current, code));
    EXPECT_EQ(current.CollisionClass, 5);
    EXPECT_EQ(current.JointCollisionCurrent[5][3], 77);

    common::ProtoResponseRobotGravityComponent gravity;
    communication::RobotGravityComponent *g = gravity.add_gravitycomponent();
    g->set_x(1);
    g->set_y(2);
    g->set_z(-9.8f);
    setInfo(gravity.mutable_errorinfo(), 0);
    body = bytesOf(gravity);
    RobotGravityComponent component{};
    ASSERT_TRUE(PED::resolveResponse_gravityComponent(body.data(), static_cast<int>(body.size()),
                                                      component, code));
    EXPECT_FLOAT_EQ(component.z, -9.8f);

    common::ProtoResponseOrpeSafetyStatus status;
    setInfo(status.mutable_errorinfo(), 3);
    body = bytesOf(status);
    OrpeSafetyStatus safety{};
    safety.orpePause = 9;
    ASSERT_TRUE(PED::resolveResponse_safetyStatus(body.data(), static_cast<int>(body.size()),
                                                  safety, code));
    EXPECT_EQ(code, 3);
    EXPECT_EQ(safety.orpePause, 9);
}

// ---- replies with a repeated errorInfo

TEST(ListReply, DynamicsIdentificationKeepsVectorOnFailingCode) {
    communication::ProtoCommunicationDynIdentifyResults reply;
    reply.set_temp(1);
    reply.add_param(10);
    setInfo(reply.add_errorinfo(), 2);
    std::string body = bytesOf(reply);
    std::vector<int> params{1, 2};
    int code = 0;
    ASSERT_TRUE(PED::resolveResponse_getDynIdentifyResults(
        body.data(), static_cast<int>(body.size()), params, code));
    EXPECT_EQ(code, 2);
    EXPECT_EQ(params, (std::vector<int>{1, 2}));

    reply.clear_errorinfo();
    reply.add_param(20);
    reply.add_param(-30);
    setInfo(reply.add_errorinfo(), 0);
    body = bytesOf(reply);
    ASSERT_TRUE(PED::resolveResponse_getDynIdentifyResults(
        body.data(), static_cast<int>(body.size()), params, code));
    EXPECT_EQ(params, (std::vector<int>{10, 20, -30}));
}

TEST(ListReply, DiagnosisInfoResetsCodeAndReadsEntryZero) {
    communication::ProtoCommunicationRobotDiagnosisInfo reply;
    reply.set_num(0);
    RobotDiagnosis source{};
    source.toolIoError = 12;
    PED::robotDiagnosisTypeConversion(source, *reply.add_robotdiagnosis());
    const std::string body = bytesOf(reply);
    RobotDiagnosis out{};
    int code = 8;
    ASSERT_TRUE(PED::resolveResponse_robotDiagnosisInfo(body.data(), static_cast<int>(body.size()),
                                                        out, code));
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
    EXPECT_NE(err.find("ERROR:resolveRequest_robotDiagnosisIOData Parse fail.\n"),
              std::string::npos);
    EXPECT_NE(err.find("ERROR:resolveRequest_robotAnalogIOData Parse fail.\n"), std::string::npos);
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
    const std::string body = bytesOf(reply);
    std::vector<RobotAnalogIODesc> analog;
    int code = 0;
    ASSERT_TRUE(PED::resolveResponse_robotAnalogIOData(body.data(), static_cast<int>(body.size()),
                                                       analog, code));
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
    const std::string body = bytesOf(reply);
    RobotToolAllIOStatus out{};
    out.aiData[1] = 9.0f;
    int code = 0;
    ASSERT_TRUE(PED::resolveResponse_robotToolIoStatus(body.data(), static_cast<int>(body.size()),
                                                       out, code));
    EXPECT_EQ(out.powerType, OUT_24V);
    EXPECT_EQ(out.systemVoltage, 24.25f);
    EXPECT_EQ(out.systemTemperature, 36.5f);
    EXPECT_EQ(out.errorStatus, 0xFF);
    EXPECT_EQ(out.digitalIoStatus[3].ioData, 3);
    EXPECT_EQ(out.digitalIoStatus[3].ioType, IO_OUT);
    EXPECT_EQ(out.aiData[0], 1.25f);
    EXPECT_EQ(out.aiData[1], 9.0f);
    EXPECT_EQ(code, 0x1FF);
}

TEST(ListReply, EthernetNameIsCopiedWhole) {
    communication::ProtoCommunicationEthernetDeviceNameResponse reply;
    reply.set_name(std::string(40, 'e'));
    setInfo(reply.mutable_errorinfo(), 0);
    const std::string body = bytesOf(reply);
    std::string name;
    int code = 1;
    ASSERT_TRUE(PED::resolveResponse_ethernetDeviceName(body.data(), static_cast<int>(body.size()),
                                                        name, code));
    EXPECT_EQ(name, std::string(40, 'e'));
    EXPECT_EQ(code, 0);
}

}  // namespace
