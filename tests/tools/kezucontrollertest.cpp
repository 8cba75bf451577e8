#include <google/protobuf/text_format.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "kezucontroller.h"
#include "processprobe.h"
#include "recordingclient.h"
#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"

namespace {

using namespace std::chrono_literals;
using namespace kezu_test;
namespace common = kezu::robot::common;
namespace comm = kezu::robot::communication;
namespace gp = google::protobuf;

// A message written as protobuf text, every single field left unset given its zero value.
template <class M>
M filled(const std::string &text) {
    M message;
    gp::TextFormat::Parser parser;
    parser.AllowPartialMessage(true);
    EXPECT_TRUE(parser.ParseFromString(text, &message)) << text;
    kezu_sim::fillRequiredFields(&message);
    return message;
}

template <class M>
std::string body(const std::string &text = "") {
    return filled<M>(text).SerializePartialAsString();
}

std::string generalInt(int value) {
    return body<comm::ProtoCommunicationGeneralData>("type: 1 property1: " + std::to_string(value) +
                                                     " property2: " + std::to_string(value != 0));
}

// A move to one point; the SDK also sends the flange position that the joints reach.
std::string moveTo(double joint, std::optional<double> flangeX = std::nullopt) {
    const std::string j = " jointpos: " + std::to_string(joint);
    const std::string cart =
        flangeX ? " cartPos { position { x: " + std::to_string(*flangeX) + " } }" : "";
    return body<common::RobotMove>("roadPointVector {" + cart + j + j + j + j + j + j + " }");
}

// The message a reply must parse as.
template <class M>
const gp::Message *const as = &M::default_instance();

// One row per request type: a valid request body and the message its reply must parse as.
struct Row {
    int type;
    std::string body = "";
    const gp::Message *reply = as<comm::ProtoRobotCommonResponse>;
};

std::vector<Row> requestTable() {
    const gp::Message *data = as<comm::ProtoCommunicationGeneralData>;
    const gp::Message *digital = as<comm::ProtoCommunicationRobotDiagnosisIOData>;
    const gp::Message *analog = as<comm::ProtoCommunicationRobotAnalogIOData>;
    // Digital IO records; unset addresses, values and types are 0.
    auto io = [](const std::string &records) {
        return body<comm::ProtoCommunicationRobotDiagnosisIOData>("type: 0 " + records);
    };
    common::ToolParam tool = filled<common::ToolParam>("toolDynamicsParam {}");
    tool.clear_errorinfo();  // sent without its error field, as the SDK does
    const std::string io3 = io("ioDesc {addr: 3}"), io0 = io("ioDesc {}"),
                      ai = body<comm::ProtoCommunicationRobotAnalogIOData>("ioDesc {}"),
                      safe = body<comm::protoSafeCommunicationParam>();
    // clang-format off
    return {
        {0, body<comm::ProtoRequestLogin>("userName: 'user' passwd: 'secret'"),
         as<common::ProtoResponseRobotDhParam>},
        {4}, {5}, {6, "", as<common::ProtoRobotAllJointStatusResponse>}, {8}, {9},
        {10, "", as<common::ProtoJointAngleResponse>}, {12}, {13},
        {15, "", as<comm::ProtoCommunicationRobotDiagnosisInfo>},
        {16, body<comm::ProtoCommunicationRobotStartupProfile>()}, {17},
        {18, generalInt(1)}, {19}, {20, generalInt(1)}, {21}, {22, moveTo(0.01)},
        {23, body<common::RobotTeachMove>()}, {24}, {25, generalInt(2)}, {26, "", data},
        {27, body<comm::RobotTcpParam>()}, {28, "", as<common::ProtoResponseRobotTcpParam>},
        {29, tool.SerializePartialAsString()}, {30, "", as<common::ToolParam>},
        {33, generalInt(0)}, {34, "", data},
        {35, "", as<common::ProtoResponseRobotGravityComponent>},
        {36, "", as<common::ProtoResponseRobotCollisionCurrent>}, {37, "", data},
        {38, "", as<common::ProtoResponseRobotDevInfo>}, {40, generalInt(6)},
        {41, "", digital}, {42, "", digital}, {43, "", analog}, {44, "", analog},
        {46, io3, digital}, {47, io3, digital}, {48, ai, analog}, {49, ai, analog},
        {50, io("ioDesc {addr: 3 value: 1}")}, {51, ai}, {52, io0, digital},
        {53, io("ioDesc {value: 2}")},
        {54, io("ioDesc {value: 2 type: 2} ioDesc {} ioDesc {addr: 1 value: 1 type: 1} "
                "ioDesc {addr: 2} ioDesc {addr: 3 value: 1 type: 1}")},
        {55, io("ioDesc {addr: 1 value: 1}")}, {56, io0, digital}, {57, "", digital},
        {58, "", analog}, {59, io("ioDesc {addr: 1 value: 1}")}, {60},
        {61, "", as<common::ProtoResponseRobotSafetyConfig>},
        {62, body<common::ProtoResponseRobotSafetyConfig>(
                 "safetyConfig {robotReducedConfigJointSpeed: 10}")},
        {63, "", as<common::ProtoResponseOrpeSafetyStatus>},
        {64, safe}, {65, safe}, {66, safe}, {67, safe}, {68, safe}, {69, safe},
        {72}, {71, moveTo(0.02)}, {73}, {74}, {75}, {76}, {77, moveTo(0.0)},
        {78, body<comm::ProtoCommunicationOfflineExcitTraj>("trackFile: 'excit.txt'")},
        {79, "", as<comm::ProtoCommunicationDynIdentifyResults>}, {80},
        {81, "", as<comm::ProtoCommunicationToolAllIOStatusInfoResponse>},
        {82, body<comm::ProtoCommunicationRobotBoardFirmware>()}, {83, "", data},
        {84, "", as<comm::ProtoCommunicationEthernetDeviceNameResponse>}, {85},
        {86, body<common::RobotJointOffset>()}};
    // clang-format on
}

// The counterpart started in process and one client linked to it.
class CommandTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(controller.start());
        client.setServerPort(controller.port());
        ASSERT_EQ(client.connectRobotServer(), 0);
        ASSERT_TRUE(controller.waitForOpenConnections(1, WAIT));
    }

    // Sends one request and returns its reply; fails the test when none comes.
    Delivery exchange(int32_t type, const std::string &body = std::string()) {
        const size_t before = client.deliveries(type).size();
        EXPECT_TRUE(client.sendPackage(type, body));
        return client.await(type, before, WAIT);
    }

    int commonCode(const Delivery &reply) {
        comm::ProtoRobotCommonResponse response;
        EXPECT_TRUE(response.ParseFromString(reply.body));
        return response.errorcode();
    }

    kezu_sim::KezuController controller;
    RecordingClient client;
};

TEST_F(CommandTable, EveryRequestTypeGetsOneReplyOfItsTypeThatParses) {
    // Types that are not requests first: they are read but never answered.
    const std::vector<int> notRequests = {1, 3, 7, 11, 14, 31, 32, 39, 45, 70, 87, 88, -1};
    for (int type : notRequests) ASSERT_TRUE(client.sendPackage(type, ""));
    const std::vector<Row> table = requestTable();
    for (const Row &row : table) {
        SCOPED_TRACE("command type " + std::to_string(row.type));
        const Delivery delivery = exchange(row.type, row.body);
        std::unique_ptr<gp::Message> message(row.reply->New());
        ASSERT_TRUE(message->ParseFromString(delivery.body)) << message->GetTypeName();
        if (row.reply == as<comm::ProtoRobotCommonResponse>) {
            EXPECT_EQ(commonCode(delivery), 0);
        }
    }
    std::this_thread::sleep_for(300ms);  // late duplicates would show up meanwhile
    for (const Row &row : table) {
        EXPECT_EQ(client.deliveries(row.type).size(), 1u) << "type " << row.type;
    }
    EXPECT_EQ(controller.received().size(), table.size() + notRequests.size());
}

using Faults = CommandTable;

TEST_F(Faults, ReplyFaultsDelayDropOrFailOnlyTheirType) {
    controller.setReplyFault(83, {300ms, false, 0});
    controller.setReplyFault(37, {0ms, true, 0});
    controller.setReplyFault(33, {0ms, false, 3});
    ASSERT_TRUE(client.sendPackage(83, "") && client.sendPackage(37, ""));
    EXPECT_EQ(commonCode(exchange(33, generalInt(1))), 3);
    comm::ProtoCommunicationGeneralData mode;  // the failed request changed nothing
    ASSERT_TRUE(mode.ParseFromString(exchange(34).body));
    EXPECT_EQ(mode.property1(0), 0);
    EXPECT_TRUE(client.deliveries(83).empty());
    EXPECT_TRUE(client.waitFor(83, 1, WAIT));
    EXPECT_FALSE(client.waitFor(37, 1, 200ms));
    controller.clearReplyFaults();
    exchange(37);
}

// Each fault on type 34 and what the client then sees, in order of arrival.
TEST_F(Faults, EventBeforeEmptyAndTwiceShapeTheReplyOfTheirType) {
    const std::string normal = exchange(34).body;
    kezu_sim::ReplyFault eventFirst, empty, twice;
    eventFirst.eventBefore = kezu_sim::ControllerEvent{26, 7, "before the reply"};
    empty.emptyBody = true;
    twice.twice = true;
    const std::pair<kezu_sim::ReplyFault, std::string> cases[] = {
        {eventFirst, "event 26 7 before the reply,reply,"},
        {empty, "empty,"},
        {twice, "reply,reply,"}};
    for (size_t i = 0; i < 3; ++i) {
        controller.setReplyFault(34, cases[i].first);
        const size_t before = client.deliveries().size();
        ASSERT_TRUE(client.sendPackage(34, "") && client.sendPackage(83, ""));
        // The 83 reply follows everything type 34 caused, so the record is then complete.
        ASSERT_TRUE(client.waitFor(83, i + 1, WAIT));
        const std::vector<Delivery> all = client.deliveries();
        std::string seen;
        for (size_t k = before; k + 1 < all.size(); ++k) {
            comm::ProtoCommunicationRobotEvent event;
            if (all[k].commandType == EVENT_TYPE && event.ParseFromString(all[k].body)) {
                seen += "event " + std::to_string(event.eventtype()) + " " +
                        std::to_string(event.eventcode()) + " " + event.eventcontent() + ",";
            } else {
                seen += all[k].commandType != 34 ? "other,"
                        : all[k].body.empty()    ? "empty,"
                        : all[k].body == normal  ? "reply,"
                                                 : "changed,";
            }
        }
        EXPECT_EQ(seen, cases[i].second);
    }
    controller.clearReplyFaults();
    EXPECT_EQ(exchange(34).body, normal);  // the type answers normally again
}

TEST_F(Faults, InjectedEventArrivesAndCloseOnNextMoveAnswersTheMoveThenCloses) {
    controller.sendEvent(26, 5, "controller error");
    comm::ProtoCommunicationRobotEvent event;
    ASSERT_TRUE(event.ParseFromString(client.await(EVENT_TYPE, 0, WAIT).body));
    EXPECT_EQ(std::make_tuple(event.eventtype(), event.eventcode(), event.eventcontent()),
              std::make_tuple(26, 5, std::string("controller error")));
    controller.closeOnNextMove();
    exchange(26);  // other requests are not affected
    EXPECT_EQ(commonCode(exchange(22, moveTo(0.1))), 0);
    EXPECT_EQ(client.await(EVENT_TYPE, 1, WAIT).socketFd, -1);  // no arrival event first
    EXPECT_TRUE(controller.waitForOpenConnections(0, WAIT));
}

// What the engine will wait for: events after startup, handshake, moves, stop and shutdown,
// pushes while enabled, and settings read back as they were set.
TEST_F(CommandTable, EventsPushesAndSettingsFollowTheRequests) {
    size_t seen = 0;
    auto expectEvent = [&](int request, const std::string &body, int type, int code) {
        EXPECT_EQ(commonCode(exchange(request, body)), 0);
        comm::ProtoCommunicationRobotEvent event;
        ASSERT_TRUE(event.ParseFromString(client.await(EVENT_TYPE, seen++, WAIT).body));
        EXPECT_EQ(std::make_pair(event.eventtype(), event.eventcode()), std::make_pair(type, code))
            << "after request " << request;
    };
    expectEvent(16, body<comm::ProtoCommunicationRobotStartupProfile>(), 20, 2);
    expectEvent(80, "", 35, 0);
    expectEvent(22, moveTo(0.05), 22, 0);
    expectEvent(25, generalInt(0), 25, 0);
    expectEvent(17, "", 21, 0);
    exchange(8);
    EXPECT_TRUE(client.waitFor(7, 2, WAIT));  // joint angle pushes at the push rate
    common::ProtoJointAngleResponse angles;
    ASSERT_TRUE(angles.ParseFromString(client.deliveries(7).back().body));
    EXPECT_NEAR(angles.jointangle().joint6(), 0.05, 1e-9);  // where the move ended
    const std::string tcp = body<comm::RobotTcpParam>("paramAutorun {positionZ: 0.25 payload: 2}");
    exchange(27, tcp);
    common::ProtoResponseRobotTcpParam tcpRead;
    ASSERT_TRUE(tcpRead.ParseFromString(exchange(28).body));
    EXPECT_EQ(tcpRead.tcpparam(0).paramautorun().payload(), 2);
}

// The travel time, at travel scale 5, is the larger of the largest joint step and the position
// step, from the first move on: before it, and after preset joints, the pose is not known.
TEST(CounterpartTravel, EveryMoveTakesItsStepTimesTheTravelScale) {
    kezu_sim::ControllerConfig config;
    config.travelScale = 5;
    kezu_sim::ControllerState arm(config);
    kezu_sim::Session session;
    const struct {
        const char *what;
        std::string move;
        double seconds;
        bool presetFirst = false;
    } rows[] = {{"first move: 0.05 rad, flange 1 m from the origin", moveTo(0.05, 1.0), 0.25},
                {"0.05 rad, flange 0.1 m on", moveTo(0.1, 1.1), 0.5},
                {"joints alone", moveTo(0.2), 0.5},
                {"after preset joints: 0.05 rad, flange 1 m on", moveTo(0.35, 2.1), 0.25, true}};
    kezu_sim::Clock::time_point now{};  // every time is given, none is waited for
    for (const auto &row : rows) {
        if (row.presetFirst) arm.setJoints({0.3, 0.3, 0.3, 0.3, 0.3, 0.3});
        ASSERT_TRUE(arm.handle(22, row.move, session, 0, now).moveStarted) << row.what;
        const auto arrival = arm.arrivalTime(session);
        ASSERT_TRUE(arrival) << row.what;
        EXPECT_NEAR(std::chrono::duration<double>(*arrival - now).count(), row.seconds, 1e-9)
            << row.what;
        now = *arrival;
        EXPECT_TRUE(arm.finishMotion(session, now)) << row.what;
    }
}

// A stop leaves the arm where it then was, and the next move is timed by its own step from
// there: also when the stopped move was the first, begun from a pose not yet known.
TEST(CounterpartTravel, AMoveAfterAStopIsTimedFromWhereTheArmStopped) {
    kezu_sim::ControllerConfig config;
    config.travelScale = 2;
    const struct {
        const char *what;
        int type;
        std::string body;
        bool arrivedBefore = false;
    } rows[] = {{"stop command, first move", 25, generalInt(0)},
                {"fast stop, first move", 85, ""},
                {"offline-track stop, first move", 74, ""},
                {"stop command, after an arrival", 25, generalInt(0), true}};
    for (const auto &row : rows) {
        kezu_sim::ControllerState arm(config);
        kezu_sim::Session session;
        kezu_sim::Clock::time_point now{};  // every time is given, none is waited for
        if (row.arrivedBefore) {
            ASSERT_TRUE(arm.handle(22, moveTo(0.0, 1.0), session, 0, now).moveStarted);
            ASSERT_TRUE(arm.finishMotion(session, now)) << row.what;
        }
        // 0.6 rad, flange 0.6 m on: 1.2 s, stopped after a quarter at 0.15 rad, flange 1.15 m.
        ASSERT_TRUE(arm.handle(22, moveTo(0.6, 1.6), session, 0, now).moveStarted);
        now += 300ms;
        arm.handle(row.type, row.body, session, 0, now);
        EXPECT_NEAR(0.15, arm.joints()[0], 1e-9) << row.what;
        ASSERT_TRUE(arm.handle(22, moveTo(0.2, 1.2), session, 0, now).moveStarted);
        const auto arrival = arm.arrivalTime(session);
        ASSERT_TRUE(arrival) << row.what;
        EXPECT_NEAR(0.1, std::chrono::duration<double>(*arrival - now).count(), 1e-9) << row.what;
    }
}

// The counterpart and a raw connection to it.
struct RawToCounterpart {
    RawToCounterpart() {
        EXPECT_TRUE(controller.start());
        EXPECT_TRUE(raw.connectTo(controller.port()));
        EXPECT_TRUE(controller.waitForOpenConnections(1, WAIT));
    }
    kezu_sim::KezuController controller;
    RawPeer raw;
};

TEST(RawFaults, InjectedBytesArriveAsGivenAndReceivedPackagesAreRecorded) {
    RawToCounterpart link;
    link.controller.sendGarbageBeforeNextPackage("\x01\x02");
    link.controller.sendBadLengthPackage(5, 2, "");
    link.controller.sendRaw("raw");
    const std::string badLength = kezu_sim::PackageFraming::encodeWithLength(5, 2, "");
    EXPECT_EQ(link.raw.read(25, WAIT), "\x01\x02" + badLength + "raw");
    const std::string request = kezu_sim::PackageFraming::encode(9, "\x08\x06");
    ASSERT_TRUE(link.raw.send("zz" + request));
    ASSERT_TRUE(link.controller.waitForPackages(9, 1, WAIT));
    ASSERT_EQ(link.controller.received().size(), 1u);
    EXPECT_EQ(link.controller.received()[0].raw, request);
    EXPECT_EQ(link.controller.received()[0].body, "\x08\x06");
}

TEST(CounterpartRecord, KeepsTheLatestPackagesButCountsAll) {
    RawToCounterpart link;
    const size_t total = kezu_sim::KezuController::MAX_RECORDED_PACKAGES + 5;
    std::string bytes;
    for (size_t i = 0; i < total; ++i) {
        bytes += kezu_sim::PackageFraming::encode(1, std::to_string(i));  // never answered
    }
    // A body of 3 MiB that comes in many pieces, and is recorded whole.
    const std::string large(3 << 20, 'L');
    ASSERT_TRUE(link.raw.send(bytes + kezu_sim::PackageFraming::encode(45, large)));
    ASSERT_TRUE(link.controller.waitForPackages(45, 1, WAIT));
    EXPECT_TRUE(link.controller.waitForPackages(1, total, 0ms));
    const std::vector<kezu_sim::ReceivedPackage> kept = link.controller.received();
    ASSERT_EQ(kept.size(), kezu_sim::KezuController::MAX_RECORDED_PACKAGES);
    EXPECT_EQ(kept.front().body, "6");
    EXPECT_TRUE(kept.back().body == large);
    link.controller.clearReceived();
    EXPECT_TRUE(link.controller.received().empty());
    EXPECT_FALSE(link.controller.waitForPackages(1, 1, 0ms));
}

TEST(CounterpartResources, LoginLogoutCyclesKeepDescriptorsAndThreadsFlat) {
    kezu_sim::KezuController controller;
    ASSERT_TRUE(controller.start());
    RecordingClient client;
    client.setServerPort(controller.port());
    const std::string login = body<comm::ProtoRequestLogin>("userName: 'user' passwd: 'x'");
    auto cycles = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const size_t replies = client.deliveries(0).size();
            ASSERT_EQ(client.connectRobotServer(), 0);
            ASSERT_TRUE(client.sendPackage(0, login));
            ASSERT_TRUE(client.waitFor(0, replies + 1, WAIT));
            client.disconnectRobotServer();
        }
        ASSERT_TRUE(controller.waitForOpenConnections(0, WAIT));
    };
    cycles(10);  // the trace log and the first connection's allocations
    // Descriptors and threads of this process: the counterpart runs in it.
    const size_t files = openFiles(), threads = threadCount();
    cycles(1000);
    EXPECT_TRUE(eventually([&] { return openFiles() <= files && threadCount() <= threads; }, WAIT))
        << openFiles() << " files, " << threadCount() << " threads";
    EXPECT_EQ(controller.acceptedConnections(), 1010u);
}

// Their handshakes complete in the listen queue at once, before any is accepted; a short
// queue would drop the rest and have them retried a second later.
TEST(CounterpartResources, TwoHundredSimultaneousConnectsAreAllEstablished) {
    kezu_sim::KezuController controller;
    ASSERT_TRUE(controller.start());
    std::vector<pollfd> sockets;
    for (int i = 0; i < 200; ++i) sockets.push_back({startConnect(controller.port()), POLLOUT, 0});
    size_t established = 0;
    for (pollfd &entry : sockets) {
        int error = -1;
        socklen_t length = sizeof(error);
        if (poll(&entry, 1, 500) == 1) getsockopt(entry.fd, SOL_SOCKET, SO_ERROR, &error, &length);
        established += error == 0 ? 1 : 0;
    }
    EXPECT_EQ(established, sockets.size());
    EXPECT_TRUE(controller.waitForOpenConnections(200, WAIT));
    for (const pollfd &entry : sockets) close(entry.fd);
    EXPECT_TRUE(controller.waitForOpenConnections(0, WAIT));
}

TEST(SimProgram, PrintsItsPortFirstServesAndEndsOnInterrupt) {
    // Tests run in the build folder, where the program is built; the shell prints its number.
    std::unique_ptr<FILE, int (*)(FILE *)> output(
        popen("echo $$; exec tools/kezu_controller_sim --port 0 --model 4", "r"), pclose);
    ASSERT_TRUE(output);
    char pid[32] = {0}, line[64] = {0};
    ASSERT_NE(fgets(pid, sizeof(pid), output.get()), nullptr);
    const pid_t child = atoi(pid);
    ASSERT_GT(child, 0);
    const int port = fgets(line, sizeof(line), output.get()) != nullptr ? atoi(line) : 0;
    RecordingClient client;
    client.setServerPort(port);
    const bool served = port > 0 && client.connectRobotServer() == 0 && client.sendPackage(0, "") &&
                        client.waitFor(0, 1, WAIT);
    kill(child, SIGINT);
    int status = -1;
    if (!eventually([&] { return waitpid(child, &status, WNOHANG) != 0; }, WAIT)) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    ASSERT_TRUE(served) << "port line: " << line;
    common::ProtoResponseRobotDhParam reply;  // an unreadable login still gets its reply
    ASSERT_TRUE(reply.ParseFromString(client.deliveries(0).at(0).body));
    EXPECT_EQ(reply.robottype(), 4);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(client.waitFor(EVENT_TYPE, 1, WAIT));
}

TEST(SimProgram, HelpPrintsTheWholeUsageOnStandardOutputAndExitsZero) {
    // A program that took the flag for a run would serve until the bound ends it.
    std::unique_ptr<FILE, int (*)(FILE *)> output(
        popen("timeout 10 tools/kezu_controller_sim --help 2>/dev/null", "r"), pclose);
    ASSERT_TRUE(output);
    std::string text;
    char chunk[256];
    while (fgets(chunk, sizeof(chunk), output.get()) != nullptr) text += chunk;
    const int status = pclose(output.release());
    EXPECT_EQ(text.rfind("usage: ", 0), 0u) << text;
    EXPECT_NE(text.find("--brake-ms N "), std::string::npos) << text;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}

}  // namespace
