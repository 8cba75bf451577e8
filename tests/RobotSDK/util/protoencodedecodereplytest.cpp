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

struct ResolverCase {
    const char *name;
    const char *line;  // the failure line that ends standard error; null where wording is free
    std::function<bool(const char *, int)> resolve;
    bool partial = false;  // required fields may be missing: zero bytes are a reply
};

ResolverCase partially(ResolverCase c) {
    c.partial = true;
    return c;
}

template <class... Out>
ResolverCase resolver(const char *name, const char *line, bool (*fn)(const char *, int, Out &...)) {
    return {name, line, [fn](const char *b, int s) {
                std::tuple<Out...> outs{};
                return std::apply([&](Out &...o) { return fn(b, s, o...); }, outs);
            }};
}

#define RESOLVER(name, line) resolver(#name, line, &PED::resolveResponse_##name)
#define PLAIN(name) RESOLVER(name, "resolveResponse_" #name " Parse fail.")
#define GENERAL(name) RESOLVER(name, "ERROR: ProtoCommunicationGeneralDataMessageParse fail.")
// clang-format off
const ResolverCase kResolvers[]{
    partially(RESOLVER(commonFormat, "ERROR: resolveResponse_commonFormat Parse fail.")),
    RESOLVER(robotEvent, "ERROR:resolveResponse_robotEvent Parse fail."),
    RESOLVER(robotDiagnosisIOData, "ERROR:resolveRequest_robotDiagnosisIOData Parse fail."),
    RESOLVER(robotAnalogIOData, "ERROR:resolveRequest_robotAnalogIOData Parse fail."),
    RESOLVER(ethernetDeviceName, "ERROR:resolveResponse_ethernetDeviceName Parse fail."),
    RESOLVER(robotToolIoStatus, nullptr),
    GENERAL(robotEndSpeed), GENERAL(robotWorkMode), GENERAL(robotState), GENERAL(isRealRobotExist),
    PLAIN(robotDiagnosis), PLAIN(DhParam), PLAIN(jointAngle), PLAIN(robotDiagnosisInfo),
    PLAIN(devInfo), PLAIN(tcpParam), PLAIN(getToolDynamicsParam), PLAIN(getToolKinematicsParam),
    PLAIN(getDynIdentifyResults), PLAIN(gravityComponent), PLAIN(collisionCurrent),
    PLAIN(safetyConfig), PLAIN(safetyStatus),
    {"jointStatus", nullptr, [](const char *b, int s) {
         JointStatus st[6]; int code = 0;
         return PED::resolveResponse_jointStatus(b, s, st, 6, code); }}};
// clang-format on
#undef GENERAL
#undef PLAIN
#undef RESOLVER

// Operators grep the console for these lines (the runtime may log its reason first). Zero bytes
// lack the required fields (but a partial reading takes them); a negative size or null buffer
// would read outside the caller's memory.
TEST(EveryResolver, MalformedBodiesFailWithTheirLineOnStandardError) {
    const std::string valid = bytesOf(generalData({1}, {true}, 0));
    const std::pair<const char *, int> spoiled[] = {
        {"", 0}, {nullptr, 0}, {"\x0a\x10\x08", 3}, {valid.data(), -1}, {nullptr, 8}};
    for (const ResolverCase &c : kResolvers) {
        const auto &probe = spoiled[c.partial ? 2 : 0];  // zero bytes, or else cut bytes
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(c.resolve(probe.first, probe.second)) << c.name;
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.name;
        EXPECT_THAT(err, ::testing::EndsWith(std::string(c.line ? c.line : " fail.") + "\n"))
            << c.name;
        ::testing::internal::CaptureStderr();
        for (const auto &[body, size] : spoiled) {
            EXPECT_EQ(c.partial && size == 0, c.resolve(body, size)) << c.name << " " << size;
        }
        ::testing::internal::GetCapturedStderr();
    }
}

TEST(EventBody, OneByteShortIsRefusedUntouchedExactSizeRoundTrips) {
    const RobotEventInfo event{RobotEvent_socketDisconnected, -3, std::string("lost\0tail", 9)};
    communication::ProtoCommunicationRobotEvent message;
    PED::robotEventTypeConversion(event, message);
    const int exact = static_cast<int>(message.ByteSizeLong());
    std::vector<char> buffer(exact + 8, 'x');
    for (int short_ : {exact - 1, -1}) {
        int size = short_;
        EXPECT_FALSE(PED::getResponse_Event(buffer.data(), &size, event));
        EXPECT_EQ(size, short_);
    }
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(exact + 8, 'x'));
    int size = exact;
    ASSERT_TRUE(PED::getResponse_Event(buffer.data(), &size, event));
    EXPECT_TRUE(size == exact && buffer[exact] == 'x');  // nothing written past the body
    RobotEventInfo back;
    ASSERT_TRUE(PED::resolveResponse_robotEvent(buffer.data(), size, back));
    EXPECT_EQ(back.eventContent, event.eventContent);
}

// Each value comes from entry 0 of its list; without that entry the reply resolves to nothing.
// A newer controller may send values this SDK does not list; they must arrive intact (the
// sanitised build would otherwise stop on loading them).
TEST(GeneralDataReply, ValueAndCodeComeFromEntryZeroAndValuesOutsideEnumsStay) {
    double speed = 0;
    ASSERT_TRUE(resolveFrom(generalData({1500, 7}, {}), PED::resolveResponse_robotEndSpeed, speed));
    EXPECT_DOUBLE_EQ(speed, 1.5);  // sent scaled by 1000
    EXPECT_FALSE(
        resolveFrom(generalData({}, {true}, 2), PED::resolveResponse_robotEndSpeed, speed));
    EXPECT_EQ(speed, 1.5);
    int code = -1;
    bool exists = true;
    const auto bools = generalData({1}, {false, true}, 3);
    ASSERT_TRUE(resolveFrom(bools, PED::resolveResponse_isRealRobotExist, exists, code));
    EXPECT_TRUE(!exists && code == 3);
    RobotState state = RobotStopped;
    ASSERT_TRUE(resolveFrom(generalData({7}, {}), PED::resolveResponse_robotState, state, code));
    EXPECT_EQ(static_cast<int>(state), 7);
    EXPECT_EQ(code, 3);  // no errorInfo: the caller's value stays
    RobotWorkMode mode = RobotModeReal;
    ASSERT_TRUE(resolveFrom(generalData({-2}, {}), PED::resolveResponse_robotWorkMode, mode, code));
    EXPECT_EQ(static_cast<int>(mode), -2);
    communication::ProtoCommunicationRobotEvent event;
    PED::robotEventTypeConversion(RobotEventInfo{}, event);
    for (int type : {-1, 70000}) {
        event.set_eventtype(type);
        RobotEventInfo info;
        ASSERT_TRUE(resolveFrom(event, PED::resolveResponse_robotEvent, info));
        EXPECT_EQ(static_cast<int>(info.eventType), type);
    }
    communication::ProtoRobotCommonResponse common;
    setInfo(&common, 4);
    CommunicationCommonResultResponse r;
    ASSERT_TRUE(resolveFrom(common, PED::resolveResponse_commonFormat, r));
    EXPECT_TRUE(r.m_errorCode == 4 && r.m_errorMsg == "failed");
}

// Sets every double field of a message, so a test needs no list of setters.
void fillDoubles(google::protobuf::Message &message, double first, double step) {
    const google::protobuf::Descriptor *d = message.GetDescriptor();
    for (int i = 0; i < d->field_count(); ++i) {
        message.GetReflection()->SetDouble(&message, d->field(i), first + step * i);
    }
}

TEST(JointReply, AnglesWithoutErrorInfoAreWrittenButTheResultIsFalse) {
    common::ProtoJointAngleResponse reply;  // the repeated errorInfo may be empty
    fillDoubles(*reply.mutable_jointangle(), 0.1, 0.1);
    JointParam angles{};
    int code = 42;
    EXPECT_FALSE(resolveFrom(reply, PED::resolveResponse_jointAngle, angles, code));
    EXPECT_TRUE(angles.jointPos[5] == 0.1 + 0.1 * 5 && code == 42);
    setInfo(reply.add_errorinfo(), 3);
    EXPECT_TRUE(resolveFrom(reply, PED::resolveResponse_jointAngle, angles, code) && code == 3);
}

TEST(JointReply, StatusFillsAtMostLenRecordsAndLeavesTheRest) {
    const std::tuple<int, int, int> cases[] = {{7, 6, 6}, {4, 6, 4}, {6, 0, 0}, {6, -1, 0}};
    for (const auto &[entries, len, filled] : cases) {
        common::ProtoRobotAllJointStatusResponse reply;
        reply.set_jointcount(99);  // ignored
        for (int i = 0; i < entries; ++i) {
            JointStatus status{i + 1, 0, 0, 0, 0, 0, 0, 0, 0};
            PED::jointStatusTypeConversion(status, *reply.add_jointstatus());
            reply.mutable_jointstatus(i)->set_jointerrornum(0x10002);  // low 16 bits: 2
        }
        std::vector<JointStatus> out(8);
        std::memset(out.data(), 0xAB, out.size() * sizeof(JointStatus));
        int code = 5;
        ASSERT_TRUE(resolveFrom(reply, PED::resolveResponse_jointStatus, out.data(), len, code));
        EXPECT_EQ(code, 5);  // the reply carries none
        for (int i = 0; i < 8; ++i) {
            // Packed records: compare copies, not references into them.
            const int current = out[i].jointCurrentI, errorNum = out[i].jointErrorNum;
            EXPECT_TRUE(i < filled ? current == i + 1 && errorNum == 2
                                   : current == static_cast<int>(0xABABABAB) && errorNum == 0xABAB)
                << entries << " into " << len << ", record " << i;
        }
    }
}

TEST(CodedReply, DeviceInformationMayHaveNoEntry) {
    common::ProtoResponseRobotDevInfo reply;
    setInfo(reply.mutable_errorinfo(), 0);
    RobotDevInfo info;
    std::memset(&info, 0x5A, sizeof(info));
    int code = 7;
    ASSERT_TRUE(resolveFrom(reply, PED::resolveResponse_devInfo, info, code));
    EXPECT_TRUE(code == 0 && info.type == 0x5A);
}

TEST(CodedReply, ToolDynamicsWithoutParametersIsFalseWithCodeZero) {
    common::ToolParam reply;
    setInfo(reply.mutable_errorinfo(), 0);
    ToolDynamicsParam tool{1, 2, 3, 4, {5, 6, 7, 8, 9, 10}};
    int code = 9;
    EXPECT_FALSE(resolveFrom(reply, PED::resolveResponse_getToolDynamicsParam, tool, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(tool.payload, 4);
    setInfo(reply.mutable_errorinfo(), 2);  // a failing code is a successful resolution
    EXPECT_TRUE(resolveFrom(reply, PED::resolveResponse_getToolDynamicsParam, tool, code));
    EXPECT_EQ(code, 2);
}

TEST(CodedReply, LoginReplyWithNonZeroCodeLeavesModelAndLengths) {
    common::ProtoResponseRobotDhParam reply;
    reply.set_robottype(3);
    fillDoubles(*reply.mutable_dhparam(), 0.5, 0.5);
    int type = -1;
    RobotDhPara lengths{9, 9, 9, 9, 9, 9};
    int code = 0;
    for (int replyCode : {1, 0}) {
        setInfo(reply.mutable_errorinfo(), replyCode);
        ASSERT_TRUE(resolveFrom(reply, PED::resolveResponse_DhParam, type, lengths, code));
        EXPECT_EQ(code, replyCode);
        EXPECT_TRUE(sameBytes(lengths, replyCode ? RobotDhPara{9, 9, 9, 9, 9, 9}
                                                 : RobotDhPara{0.5, 1, 1.5, 2, 2.5, 3}));
        EXPECT_EQ(type, replyCode ? -1 : 3);
    }
}

TEST(ListReply, DynamicsIdentificationKeepsVectorOnFailingCode) {
    communication::ProtoCommunicationDynIdentifyResults reply;
    reply.set_temp(1);
    const std::vector<int> sent{10, 20, -30};
    reply.mutable_param()->Add(sent.begin(), sent.end());
    std::vector<int> params{1, 2};
    int code = 0;
    for (const auto &[replyCode, expected] : {std::pair{2, params}, std::pair{0, sent}}) {
        setInfo(reply.add_errorinfo(), replyCode);
        ASSERT_TRUE(resolveFrom(reply, PED::resolveResponse_getDynIdentifyResults, params, code));
        EXPECT_TRUE(code == replyCode && params == expected) << replyCode;
        reply.clear_errorinfo();
    }
}

TEST(ListReply, IoReplyThatFailsToParseEmptiesTheVector) {
    std::vector<RobotDiagnosisIODesc> digital{{1, 1, 1}};
    std::vector<RobotAnalogIODesc> analog(2);
    int code = 0;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(PED::resolveResponse_robotDiagnosisIOData("\x08", 1, digital, code));
    EXPECT_FALSE(PED::resolveResponse_robotAnalogIOData("\x08", 1, analog, code));
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(digital.empty() && analog.empty());
}

// Power and IO types outside their enums are carried unchanged.
TEST(ListReply, ToolIoStatusTakesErrorStatusFromTheReplyCode) {
    communication::ProtoCommunicationToolAllIOStatusInfoResponse reply;
    communication::toolAllIOStatus *s = reply.mutable_tooliostatus();
    s->set_powertype(9);
    s->set_systemvoltage(24.25);
    s->set_systemtemperature(36.5);
    s->set_errorstatus(1);  // not read
    s->add_digitaliostatus()->set_iodata(0x103);
    s->mutable_digitaliostatus(0)->set_iotype(5);
    s->add_aidata(1.25);
    setInfo(reply.mutable_errorinfo(), 0x1FF);
    RobotToolAllIOStatus out{};
    out.aiData[1] = 9.0f;
    int code = 0;
    ASSERT_TRUE(resolveFrom(reply, PED::resolveResponse_robotToolIoStatus, out, code));
    const int power = out.powerType, ioType = out.digitalIoStatus[0].ioType;  // packed: copies
    EXPECT_TRUE(power == 9 && ioType == 5 && out.errorStatus == 0xFF && code == 0x1FF);
    EXPECT_EQ(out.digitalIoStatus[0].ioData, 3);
    EXPECT_TRUE(out.aiData[0] == 1.25f && out.aiData[1] == 9.0f);
}

}  // namespace
