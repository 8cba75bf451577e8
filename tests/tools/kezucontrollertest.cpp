#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "controllertestsupport.h"
#include "rawpeer.h"
#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"

namespace {

using namespace kezu_test;
namespace common = kezu::robot::common;
namespace comm = kezu::robot::communication;
using Clock = std::chrono::steady_clock;

template <class M>
M parsed(const Delivery &delivery) {
    M message;
    EXPECT_TRUE(message.ParseFromString(delivery.body)) << message.GetTypeName();
    return message;
}

int commonCode(const Delivery &delivery) {
    return parsed<comm::ProtoRobotCommonResponse>(delivery).errorcode();
}

std::string moveTo(const kezu_sim::Joints &joints, double x = 0.3) {
    common::RobotMove move;
    common::ProtoRoadPoint *point = move.add_roadpointvector();
    for (double joint : joints) {
        point->add_jointpos(joint);
    }
    common::Pos *pos = point->mutable_cartpos()->add_position();
    pos->set_x(x);
    pos->set_y(0.1);
    pos->set_z(0.2);
    kezu_sim::fillRequiredFields(&move);
    return move.SerializeAsString();
}

// ---- Login --------------------------------------------------------------------------------

// The model and lengths a login reports: the defaults, or what the controller was given.
struct LoginCase {
    bool configured;
    int model;
    std::array<double, 6> dh;  // A3, A4, D1, D2, D5, D6
};

kezu_sim::ControllerConfig loginConfig(const LoginCase &row) {
    kezu_sim::ControllerConfig config;
    if (row.configured) {
        config.robotType = row.model;
        config.dh = row.dh;
    }
    return config;
}

class Login : public ControllerSession, public ::testing::WithParamInterface<LoginCase> {
protected:
    Login() : ControllerSession(loginConfig(GetParam())) {}
};

TEST_P(Login, ReportsModelAndLengths) {
    comm::ProtoRequestLogin login;
    login.set_username("u");
    login.set_passwd("p");
    const auto reply =
        parsed<common::ProtoResponseRobotDhParam>(exchange(0, login.SerializeAsString()));
    const common::DhParam &dh = reply.dhparam();
    EXPECT_EQ(reply.robottype(), GetParam().model);
    EXPECT_EQ((std::array<double, 6>{dh.a3(), dh.a4(), dh.d1(), dh.d2(), dh.d5(), dh.d6()}),
              GetParam().dh);
    EXPECT_EQ(reply.errorinfo().errorcode(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    DefaultAndConfigured, Login,
    ::testing::Values(LoginCase{false, 0, {0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094}},
                      LoginCase{true, 3, {0.595, 0.58, 0.15, 0.1885, 0.125, 0.1015}}),
    [](const ::testing::TestParamInfo<LoginCase> &info) {
        return std::string(info.param.configured ? "Configured" : "Default");
    });

// ---- Pushes and events --------------------------------------------------------------------

using Pushes = ControllerSession;

TEST_F(Pushes, FlowOnlyBetweenEnableAndDisable) {
    EXPECT_FALSE(client.waitFor(3, 1, 150ms));
    for (int enable : {4, 8, 12}) {
        EXPECT_EQ(commonCode(exchange(enable)), 0);
    }
    ASSERT_TRUE(client.waitFor(3, 5, CONTROLLER_WAIT));
    ASSERT_TRUE(client.waitFor(7, 5, CONTROLLER_WAIT));
    ASSERT_TRUE(client.waitFor(11, 5, CONTROLLER_WAIT));
    parsed<common::ProtoRobotAllJointStatusResponse>(client.deliveries(3).at(0));
    parsed<common::ProtoJointAngleResponse>(client.deliveries(7).at(0));
    EXPECT_EQ(
        parsed<comm::ProtoCommunicationGeneralData>(client.deliveries(11).at(0)).property1_size(),
        1);
    for (int disable : {5, 9, 13}) {
        EXPECT_EQ(commonCode(exchange(disable)), 0);
    }
    const size_t status = client.deliveries(3).size();
    const size_t angles = client.deliveries(7).size();
    const size_t speed = client.deliveries(11).size();
    EXPECT_FALSE(client.waitFor(-1, client.deliveries().size() + 1, 200ms));
    EXPECT_EQ(client.deliveries(3).size(), status);
    EXPECT_EQ(client.deliveries(7).size(), angles);
    EXPECT_EQ(client.deliveries(11).size(), speed);
}

TEST_F(Pushes, EachConnectionHasItsOwnSubscription) {
    RecordingClient other;
    other.setServerPort(controller.port());
    ASSERT_EQ(other.connectRobotServer(), 0);
    ASSERT_TRUE(controller.waitForOpenConnections(2, CONTROLLER_WAIT));
    EXPECT_EQ(commonCode(exchange(8)), 0);
    ASSERT_TRUE(client.waitFor(7, 3, CONTROLLER_WAIT));
    EXPECT_TRUE(other.deliveries().empty());
}

using RobotEvents = ControllerSession;

TEST_F(RobotEvents, StartupShutdownAndHandshakeAreFollowedByTheirEvents) {
    comm::ProtoCommunicationRobotStartupProfile startup;
    kezu_sim::fillRequiredFields(&startup);
    EXPECT_EQ(commonCode(exchange(16, startup.SerializeAsString())), 0);
    ASSERT_TRUE(waitForEvent(20, 1, CONTROLLER_WAIT));
    EXPECT_EQ(eventCodes(20), std::vector<int>{2});
    EXPECT_EQ(commonCode(exchange(17)), 0);
    ASSERT_TRUE(waitForEvent(21, 1, CONTROLLER_WAIT));
    EXPECT_EQ(commonCode(exchange(80)), 0);
    ASSERT_TRUE(waitForEvent(35, 1, CONTROLLER_WAIT));
}

TEST_F(RobotEvents, EventComesAfterItsReplyOnTheLink) {
    exchange(80);
    ASSERT_TRUE(waitForEvent(35, 1, CONTROLLER_WAIT));
    const std::vector<Delivery> all = client.deliveries();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].commandType, 80);
    EXPECT_EQ(all[1].commandType, EVENT_PACKAGE);
}

TEST_F(RobotEvents, InjectedEventReachesEveryConnection) {
    RecordingClient other;
    other.setServerPort(controller.port());
    ASSERT_EQ(other.connectRobotServer(), 0);
    ASSERT_TRUE(controller.waitForOpenConnections(2, CONTROLLER_WAIT));
    controller.sendEvent(26, 5, "controller error");
    EXPECT_TRUE(waitForEvent(26, 1, CONTROLLER_WAIT));
    EXPECT_TRUE(other.waitFor(EVENT_PACKAGE, 1, CONTROLLER_WAIT));
}

// ---- Moves --------------------------------------------------------------------------------

kezu_sim::ControllerConfig slowMoves() {
    kezu_sim::ControllerConfig config;
    config.travelScale = 0.5;  // a step of 0.4 rad takes 0.2 s
    return config;
}

class Moves : public ControllerSession {
protected:
    Moves() : ControllerSession(slowMoves()) {}
};

TEST_F(Moves, ArrivalEventComesAfterTravelTimeAndTargetIsKept) {
    const kezu_sim::Joints target = {0.4, -0.2, 0.1, 0.0, 0.3, -0.4};
    const auto start = Clock::now();
    EXPECT_EQ(commonCode(exchange(22, moveTo(target, 0.45))), 0);
    ASSERT_TRUE(waitForEvent(22, 1, CONTROLLER_WAIT));
    EXPECT_GE(Clock::now() - start, 180ms);
    EXPECT_EQ(eventCodes(22), std::vector<int>{0});
    EXPECT_EQ(controller.joints(), target);
    EXPECT_EQ(controller.pose().position[0], 0.45);
    const auto angles = parsed<common::ProtoJointAngleResponse>(exchange(10));
    EXPECT_EQ(angles.jointangle().joint1(), 0.4);
    EXPECT_EQ(angles.jointangle().joint6(), -0.4);
}

TEST_F(Moves, StopEndsTheMoveWithEventTwentyFiveAndNoArrival) {
    EXPECT_EQ(commonCode(exchange(22, moveTo({2.0, 2.0, 2.0, 2.0, 2.0, 2.0}))), 0);
    std::this_thread::sleep_for(100ms);  // part of the way
    EXPECT_EQ(commonCode(exchange(25, generalInt(0))), 0);
    ASSERT_TRUE(waitForEvent(25, 1, CONTROLLER_WAIT));
    EXPECT_EQ(eventCodes(25), std::vector<int>{0});
    EXPECT_FALSE(waitForEvent(22, 1, 300ms));
    const double joint = controller.joints()[0];
    EXPECT_GT(joint, 0.0);
    EXPECT_LT(joint, 2.0);
}

TEST_F(Moves, PausedMoveArrivesOnlyAfterContinue) {
    EXPECT_EQ(commonCode(exchange(22, moveTo({0.4, 0, 0, 0, 0, 0}))), 0);
    EXPECT_EQ(commonCode(exchange(25, generalInt(1))), 0);
    EXPECT_FALSE(waitForEvent(22, 1, 400ms));
    EXPECT_EQ(commonCode(exchange(25, generalInt(2))), 0);
    EXPECT_TRUE(waitForEvent(22, 1, CONTROLLER_WAIT));
}

TEST_F(Moves, OfflineTrackRunsToItsLastWaypoint) {
    EXPECT_EQ(commonCode(exchange(73)), 2);  // nothing appended yet
    EXPECT_EQ(commonCode(exchange(71, moveTo({0.1, 0, 0, 0, 0, 0}))), 0);
    EXPECT_EQ(commonCode(exchange(71, moveTo({0.2, 0.1, 0, 0, 0, 0}))), 0);
    EXPECT_EQ(commonCode(exchange(73)), 0);
    ASSERT_TRUE(waitForEvent(22, 1, CONTROLLER_WAIT));
    EXPECT_EQ(controller.joints()[1], 0.1);
}

// ---- Settings and IO ----------------------------------------------------------------------

using ControllerSettings = ControllerSession;

TEST_F(ControllerSettings, BoardOutputsReadBackWhatWasSet) {
    EXPECT_EQ(commonCode(exchange(50, digitalIo({{33, 1, 0}}))), 0);
    const auto one =
        parsed<comm::ProtoCommunicationRobotDiagnosisIOData>(exchange(47, digitalIo({{33, 0, 0}})));
    ASSERT_EQ(one.iodesc_size(), 1);
    EXPECT_EQ(one.iodesc(0).value(), 1u);
    const auto all = parsed<comm::ProtoCommunicationRobotDiagnosisIOData>(exchange(42));
    ASSERT_EQ(all.iodesc_size(), kezu_sim::ControllerState::BOARD_DO_COUNT);
    EXPECT_EQ(all.iodesc(33).value(), 1u);
    EXPECT_EQ(all.iodesc(32).value(), 0u);

    EXPECT_EQ(commonCode(exchange(51, analogIo(2, 3.5f))), 0);
    const auto analog =
        parsed<comm::ProtoCommunicationRobotAnalogIOData>(exchange(49, analogIo(2, 0)));
    ASSERT_EQ(analog.iodesc_size(), 1);
    EXPECT_EQ(analog.iodesc(0).value(), 3.5f);
}

TEST_F(ControllerSettings, BoardAddressesOutsideTheListAreRefused) {
    EXPECT_EQ(commonCode(exchange(50, digitalIo({{48, 1, 0}}))), 2);
    EXPECT_EQ(commonCode(exchange(51, analogIo(4, 1.0f))), 2);
    const auto reply =
        parsed<comm::ProtoCommunicationRobotDiagnosisIOData>(exchange(46, digitalIo({{52, 0, 0}})));
    EXPECT_EQ(reply.iodesc_size(), 0);
    EXPECT_EQ(replyCode(reply), std::optional<int>(2));
}

TEST_F(ControllerSettings, BoardInputSetByTheTestIsReported) {
    controller.setBoardDI(51, 1);
    const auto all = parsed<comm::ProtoCommunicationRobotDiagnosisIOData>(exchange(41));
    ASSERT_EQ(all.iodesc_size(), kezu_sim::ControllerState::BOARD_DI_COUNT);
    EXPECT_EQ(all.iodesc(51).value(), 1u);
}

TEST_F(ControllerSettings, ToolIoFollowsTypeAndOutputRequests) {
    EXPECT_EQ(commonCode(exchange(53, digitalIo({{0, 2, 0}}))), 0);
    const auto volts =
        parsed<comm::ProtoCommunicationRobotDiagnosisIOData>(exchange(56, digitalIo({{0, 0, 0}})));
    EXPECT_EQ(volts.iodesc(0).value(), 24u);
    EXPECT_EQ(commonCode(exchange(55, digitalIo({{2, 1, 0}}))), 0);
    EXPECT_EQ(commonCode(exchange(59, digitalIo({{2, 1, 0}}))), 0);
    const auto tool = parsed<comm::ProtoCommunicationRobotDiagnosisIOData>(exchange(57));
    ASSERT_EQ(tool.iodesc_size(), 4);
    EXPECT_EQ(tool.iodesc(2).type(), 1u);
    EXPECT_EQ(tool.iodesc(2).value(), 1u);
    EXPECT_EQ(tool.iodesc(1).value(), 0u);
    const auto all = parsed<comm::ProtoCommunicationToolAllIOStatusInfoResponse>(exchange(81));
    EXPECT_EQ(all.tooliostatus().powertype(), 2u);
    EXPECT_EQ(all.tooliostatus().digitaliostatus(2).iodata(), 1u);
    EXPECT_EQ(commonCode(exchange(59, digitalIo({{4, 1, 0}}))), 2);
}

TEST_F(ControllerSettings, ParametersReadBackWhatWasSet) {
    common::ToolParam tool;
    common::ToolDynamicsParam *dynamics = tool.add_tooldynamicsparam();
    kezu_sim::fillRequiredFields(dynamics);
    dynamics->set_payload(2.5);
    dynamics->mutable_toolinertia()->set_zz(0.125);
    EXPECT_EQ(commonCode(exchange(29, tool.SerializePartialAsString())), 0);
    const auto toolReply = parsed<common::ToolParam>(exchange(30));
    EXPECT_EQ(toolReply.tooldynamicsparam(0).payload(), 2.5);
    EXPECT_EQ(toolReply.tooldynamicsparam(0).toolinertia().zz(), 0.125);

    comm::RobotTcpParam tcp;
    kezu_sim::fillRequiredFields(&tcp);
    tcp.mutable_parammanual()->set_payload(1.75f);
    EXPECT_EQ(commonCode(exchange(27, tcp.SerializeAsString())), 0);
    EXPECT_EQ(parsed<common::ProtoResponseRobotTcpParam>(exchange(28))
                  .tcpparam(0)
                  .parammanual()
                  .payload(),
              1.75f);

    common::ProtoResponseRobotSafetyConfig safety;
    common::ProtoRobotSafetyConfig *config = safety.add_safetyconfig();
    for (int i = 0; i < 6; ++i) {
        config->add_robotreducedconfigjointspeed(10 * (i + 1));
    }
    kezu_sim::fillRequiredFields(&safety);
    config->set_robotreducedconfigtcpspeed(250);
    EXPECT_EQ(commonCode(exchange(62, safety.SerializeAsString())), 0);
    const auto safetyReply = parsed<common::ProtoResponseRobotSafetyConfig>(exchange(61));
    EXPECT_EQ(safetyReply.safetyconfig(0).robotreducedconfigtcpspeed(), 250);
    EXPECT_EQ(safetyReply.safetyconfig(0).robotreducedconfigjointspeed(5), 60);

    EXPECT_EQ(commonCode(exchange(33, generalInt(1))), 0);
    EXPECT_EQ(parsed<comm::ProtoCommunicationGeneralData>(exchange(34)).property1(0), 1);
}

// ---- Faults -------------------------------------------------------------------------------

using Faults = ControllerSession;

TEST_F(Faults, DelayedReplyComesLate) {
    controller.setReplyFault(34, {300ms, false, 0});
    ASSERT_TRUE(client.sendPackage(34, ""));
    EXPECT_FALSE(client.waitFor(34, 1, 150ms));
    EXPECT_TRUE(client.waitFor(34, 1, CONTROLLER_WAIT));
}

TEST_F(Faults, DroppedReplyNeverComesButOthersDo) {
    controller.setReplyFault(34, {0ms, true, 0});
    ASSERT_TRUE(client.sendPackage(34, ""));
    exchange(26);
    EXPECT_FALSE(client.waitFor(34, 1, 200ms));
    controller.clearReplyFaults();
    exchange(34);
}

TEST_F(Faults, ErrorCodeIsAnsweredAndChangesNothing) {
    controller.setReplyFault(33, {0ms, false, 3});
    EXPECT_EQ(commonCode(exchange(33, generalInt(1))), 3);
    EXPECT_EQ(parsed<comm::ProtoCommunicationGeneralData>(exchange(34)).property1(0), 0);
    controller.setReplyFault(28, {0ms, false, 4});
    EXPECT_EQ(replyCode(parsed<common::ProtoResponseRobotTcpParam>(exchange(28))),
              std::optional<int>(4));
}

TEST_F(Faults, CloseNowDropsTheLink) {
    controller.closeConnectionsNow();
    ASSERT_TRUE(client.waitFor(EVENT_PACKAGE, 1, CONTROLLER_WAIT));
    EXPECT_EQ(client.deliveries(EVENT_PACKAGE).at(0).socketFd, -1);
    EXPECT_TRUE(controller.waitForOpenConnections(0, CONTROLLER_WAIT));
}

TEST_F(Faults, CloseOnNextMoveAnswersTheMoveThenCloses) {
    exchange(26);  // other requests are not affected
    controller.closeOnNextMove();
    EXPECT_EQ(commonCode(exchange(22, moveTo({0.1, 0, 0, 0, 0, 0}))), 0);
    ASSERT_TRUE(client.waitFor(EVENT_PACKAGE, 1, CONTROLLER_WAIT));
    EXPECT_EQ(client.deliveries(EVENT_PACKAGE).at(0).socketFd, -1);
    EXPECT_TRUE(eventCodes(22).empty());
}

// Faults that need the exact bytes: a raw client socket.
class RawFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(controller.start());
        fd = connectLoopback(controller.port());
        ASSERT_NE(fd, -1);
        ASSERT_TRUE(controller.waitForOpenConnections(1, CONTROLLER_WAIT));
    }
    void TearDown() override {
        if (fd != -1) {
            close(fd);
        }
    }
    std::string readBytes(size_t count) {
        std::string out;
        char buffer[256];
        timeval timeout{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        while (out.size() < count) {
            const ssize_t n = recv(fd, buffer, std::min(sizeof(buffer), count - out.size()), 0);
            if (n <= 0) {
                break;
            }
            out.append(buffer, static_cast<size_t>(n));
        }
        return out;
    }

    kezu_sim::KezuController controller;
    int fd = -1;
};

TEST_F(RawFaults, GarbageGoesBeforeTheNextPackageOnly) {
    controller.sendGarbageBeforeNextPackage(std::string("\x01\x02", 2));
    const std::string request = kezu_sim::PackageFraming::encode(17, "");
    ASSERT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    const std::string reply = readBytes(2 + 4);
    EXPECT_EQ(reply, std::string("\x01\x02\xEE\xCC\xFF\xFF", 6));
}

TEST_F(RawFaults, BadLengthPackageCarriesTheGivenLengthField) {
    controller.sendBadLengthPackage(5, 2, "");
    EXPECT_EQ(readBytes(20), kezu_sim::PackageFraming::encodeWithLength(5, 2, ""));
}

TEST_F(RawFaults, ReceivedPackagesAreRecordedByteForByte) {
    const std::string first = kezu_sim::PackageFraming::encode(9, "");
    const std::string second = kezu_sim::PackageFraming::encode(40, "\x08\x06");
    const std::string both = std::string("zz") + first + second;
    ASSERT_EQ(send(fd, both.data(), both.size(), 0), static_cast<ssize_t>(both.size()));
    ASSERT_TRUE(controller.waitForPackages(40, 1, CONTROLLER_WAIT));
    const auto received = controller.received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].raw, first);
    EXPECT_EQ(received[0].commandType, 9);
    EXPECT_TRUE(received[0].body.empty());
    EXPECT_EQ(received[1].raw, second);
    EXPECT_EQ(received[1].body, "\x08\x06");
    EXPECT_EQ(received[1].connection, 1);
}

// ---- Framing on the controller side -------------------------------------------------------

TEST(ControllerFraming, SkipsGarbageAndRefusedLengthsThenReadsAPackage) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const std::string bytes = std::string("\xEE\xCC\x00", 3) +
                              kezu_sim::PackageFraming::encodeWithLength(3, 7, "") +
                              kezu_sim::PackageFraming::encode(12, "body");
    ASSERT_EQ(write(pair[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(pair[1]);
    kezu_sim::ReceivedPackage package;
    ASSERT_EQ(kezu_sim::PackageFraming::read(pair[0], package), kezu_sim::PackageFraming::Package);
    EXPECT_EQ(package.commandType, 12);
    EXPECT_EQ(package.body, "body");
    EXPECT_EQ(kezu_sim::PackageFraming::read(pair[0], package), kezu_sim::PackageFraming::Closed);
    close(pair[0]);
}

TEST(ControllerLifecycle, StopEndsEveryConnection) {
    kezu_sim::KezuController controller;
    ASSERT_TRUE(controller.start());
    RecordingClient first;
    RecordingClient second;
    for (RecordingClient *client : {&first, &second}) {
        client->setServerPort(controller.port());
        ASSERT_EQ(client->connectRobotServer(), 0);
    }
    ASSERT_TRUE(controller.waitForOpenConnections(2, CONTROLLER_WAIT));
    controller.stop();
    EXPECT_TRUE(first.waitFor(EVENT_PACKAGE, 1, CONTROLLER_WAIT));
    EXPECT_TRUE(second.waitFor(EVENT_PACKAGE, 1, CONTROLLER_WAIT));
    EXPECT_EQ(controller.openConnections(), 0u);
    EXPECT_EQ(controller.acceptedConnections(), 2u);
}

TEST(ControllerLifecycle, RefusesAnAddressItCannotParse) {
    kezu_sim::ControllerConfig config;
    config.address = "not an address";
    kezu_sim::KezuController controller(config);
    EXPECT_FALSE(controller.start());
}

}  // namespace
