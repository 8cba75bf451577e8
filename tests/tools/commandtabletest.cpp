#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controllertestsupport.h"
#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"

namespace {

using namespace kezu_test;
namespace common = kezu::robot::common;
namespace comm = kezu::robot::communication;
namespace gp = google::protobuf;

using ReplyFactory = std::function<std::unique_ptr<gp::Message>()>;

template <class M>
ReplyFactory reply() {
    return [] { return std::unique_ptr<gp::Message>(new M()); };
}

template <class M>
std::string complete(M message) {
    kezu_sim::fillRequiredFields(&message);
    return message.SerializeAsString();
}

std::string generalBool(bool value) {
    comm::ProtoCommunicationGeneralData data;
    data.set_type(1);
    data.add_property2(value);
    return data.SerializeAsString();
}

std::string moveTo(double joint) {
    common::RobotMove move;
    common::ProtoRoadPoint *point = move.add_roadpointvector();
    for (int i = 0; i < 6; ++i) {
        point->add_jointpos(joint);
    }
    return complete(move);
}

std::string safeParam() {
    comm::protoSafeCommunicationParam param;
    param.set_paramreserved(0);
    param.add_param(1);
    return param.SerializeAsString();
}

// One row per request type: a valid request body and the message its reply must parse as.
struct Row {
    int type;
    std::string body;
    ReplyFactory reply;
};

std::vector<Row> requestTable() {
    const ReplyFactory commonReply = reply<comm::ProtoRobotCommonResponse>();
    const ReplyFactory generalData = reply<comm::ProtoCommunicationGeneralData>();
    const ReplyFactory digital = reply<comm::ProtoCommunicationRobotDiagnosisIOData>();
    const ReplyFactory analog = reply<comm::ProtoCommunicationRobotAnalogIOData>();
    comm::ProtoRequestLogin login;
    login.set_username("user");
    login.set_passwd("secret");
    common::ToolParam toolParam;  // sent without its error field, as the SDK does
    kezu_sim::fillRequiredFields(toolParam.add_tooldynamicsparam());
    common::ProtoResponseRobotSafetyConfig safety;
    safety.add_safetyconfig()->add_robotreducedconfigjointspeed(10);
    comm::ProtoCommunicationOfflineExcitTraj excit;
    excit.set_trackfile("excit.txt");

    return {
        {0, login.SerializeAsString(), reply<common::ProtoResponseRobotDhParam>()},
        {4, "", commonReply},
        {5, "", commonReply},
        {6, "", reply<common::ProtoRobotAllJointStatusResponse>()},
        {8, "", commonReply},
        {9, "", commonReply},
        {10, "", reply<common::ProtoJointAngleResponse>()},
        {12, "", commonReply},
        {13, "", commonReply},
        {15, "", reply<comm::ProtoCommunicationRobotDiagnosisInfo>()},
        {16, complete(comm::ProtoCommunicationRobotStartupProfile()), commonReply},
        {17, "", commonReply},
        {18, generalInt(1), commonReply},
        {19, "", commonReply},
        {20, generalBool(true), commonReply},
        {21, "", commonReply},
        {22, moveTo(0.01), commonReply},
        {23, complete(common::RobotTeachMove()), commonReply},
        {24, "", commonReply},
        {25, generalInt(2), commonReply},
        {26, "", generalData},
        {27, complete(comm::RobotTcpParam()), commonReply},
        {28, "", reply<common::ProtoResponseRobotTcpParam>()},
        {29, toolParam.SerializePartialAsString(), commonReply},
        {30, "", reply<common::ToolParam>()},
        {33, generalInt(0), commonReply},
        {34, "", generalData},
        {35, "", reply<common::ProtoResponseRobotGravityComponent>()},
        {36, "", reply<common::ProtoResponseRobotCollisionCurrent>()},
        {37, "", generalData},
        {38, "", reply<common::ProtoResponseRobotDevInfo>()},
        {40, generalInt(6), commonReply},
        {41, "", digital},
        {42, "", digital},
        {43, "", analog},
        {44, "", analog},
        {46, digitalIo({{3, 0, 0}}), digital},
        {47, digitalIo({{3, 0, 0}}), digital},
        {48, analogIo(1, 0.0f), analog},
        {49, analogIo(1, 0.0f), analog},
        {50, digitalIo({{3, 1, 0}}), commonReply},
        {51, analogIo(1, 2.5f), commonReply},
        {52, digitalIo({{0, 0, 0}}), digital},
        {53, digitalIo({{0, 2, 0}}), commonReply},
        {54, digitalIo({{0, 2, 2}, {0, 0, 0}, {1, 1, 1}, {2, 0, 0}, {3, 1, 1}}), commonReply},
        {55, digitalIo({{1, 1, 0}}), commonReply},
        {56, digitalIo({{0, 0, 0}}), digital},
        {57, "", digital},
        {58, "", analog},
        {59, digitalIo({{1, 1, 0}}), commonReply},
        {60, "", commonReply},
        {61, "", reply<common::ProtoResponseRobotSafetyConfig>()},
        {62, complete(safety), commonReply},
        {63, "", reply<common::ProtoResponseOrpeSafetyStatus>()},
        {64, safeParam(), commonReply},
        {65, safeParam(), commonReply},
        {66, safeParam(), commonReply},
        {67, safeParam(), commonReply},
        {68, safeParam(), commonReply},
        {69, safeParam(), commonReply},
        {72, "", commonReply},
        {71, moveTo(0.02), commonReply},
        {73, "", commonReply},
        {74, "", commonReply},
        {75, "", commonReply},
        {76, "", commonReply},
        {77, moveTo(0.0), commonReply},
        {78, complete(excit), commonReply},
        {79, "", reply<comm::ProtoCommunicationDynIdentifyResults>()},
        {80, "", commonReply},
        {81, "", reply<comm::ProtoCommunicationToolAllIOStatusInfoResponse>()},
        {82, complete(comm::ProtoCommunicationRobotBoardFirmware()), commonReply},
        {83, "", generalData},
        {84, "", reply<comm::ProtoCommunicationEthernetDeviceNameResponse>()},
        {85, "", commonReply},
        {86, complete(common::RobotJointOffset()), commonReply},
    };
}

using CommandTable = ControllerSession;

TEST_F(CommandTable, EveryRequestTypeGetsOneReplyOfItsTypeThatParses) {
    const std::vector<Row> table = requestTable();
    std::map<int, int> requested;
    for (const Row &row : table) {
        SCOPED_TRACE("command type " + std::to_string(row.type));
        requested[row.type]++;
        const Delivery delivery = exchange(row.type, row.body);
        std::unique_ptr<gp::Message> message = row.reply();
        ASSERT_TRUE(message->ParseFromString(delivery.body)) << message->GetTypeName();
        EXPECT_EQ(replyCode(*message), std::optional<int>(0));
    }
    // Every type of the table is here once: 76 request types.
    EXPECT_EQ(requested.size(), 76u);
    std::this_thread::sleep_for(300ms);  // late duplicates would show up meanwhile
    for (const auto &entry : requested) {
        EXPECT_EQ(client.deliveries(entry.first).size(), 1u) << "type " << entry.first;
    }
}

TEST_F(CommandTable, TypesThatAreNotRequestsGetNoReply) {
    for (int type : {1, 2, 3, 7, 11, 14, 31, 32, 39, 45, 70, 87, 88, -1}) {
        ASSERT_TRUE(client.sendPackage(type, ""));
    }
    // A request sent after them is answered, so they have all been read by then.
    exchange(26);
    for (int type : {1, 3, 7, 11, 14, 31, 32, 39, 45, 70, 87, 88, -1}) {
        EXPECT_TRUE(client.deliveries(type).empty()) << "type " << type;
    }
    EXPECT_TRUE(client.deliveries(EVENT_PACKAGE).empty());
    EXPECT_EQ(controller.received().size(), 15u);
}

TEST_F(CommandTable, UnparseableRequestBodyIsAnsweredWithFormatError) {
    for (int type : {0, 16, 22, 27, 46, 51, 62, 86}) {
        SCOPED_TRACE("command type " + std::to_string(type));
        const Delivery delivery = exchange(type, std::string("\xFF\xFF\xFF", 3));
        std::unique_ptr<gp::Message> message;
        if (type == 0) {
            message.reset(new common::ProtoResponseRobotDhParam());
        } else if (type == 46) {
            message.reset(new comm::ProtoCommunicationRobotDiagnosisIOData());
        } else {
            message.reset(new comm::ProtoRobotCommonResponse());
        }
        ASSERT_TRUE(message->ParseFromString(delivery.body));
        EXPECT_EQ(replyCode(*message), std::optional<int>(1));
    }
}

}  // namespace
