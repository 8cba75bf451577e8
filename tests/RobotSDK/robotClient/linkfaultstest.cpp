#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <ostream>
#include <random>
#include <thread>

#include "controllerframing.h"
#include "kezucontroller.h"
#include "loggedinservices.h"
#include "processprobe.h"
#include "recordingclient.h"
#include "serviceinterface.h"

namespace {

using namespace std::chrono_literals;
using namespace kezu_test;
using Clock = std::chrono::steady_clock;

const auto package = kezu_sim::PackageFraming::encode;
// Far below the 3 s send time-out, so a prompt return is a wake-up, not a time-out.
const auto PROMPT = 1000ms;
// Bound of the cases that move many packages or bytes, with room for the sanitizers.
const auto SLOW_WAIT = 60000ms;
const std::string LARGEST_BODY(RobotCommunicationClient::MAX_SEND_LENGTH_FIELD - 12, 'p');

// Many small packages, each cut in two segments at a random byte, to a receiver that takes
// its time: the receive queue fills with small segments and flow control holds bytes back.
void floodWithSlowReceiver() {
    LinkedClient link;
    link.peer.noDelay();
    link.client->setOnDelivery([](const Delivery &) { std::this_thread::sleep_for(20us); });
    const int count = 20000;
    std::thread writer([&] {
        std::mt19937 random(7);
        for (int i = 0; i < count; ++i) {
            const std::string bytes = package(30 + i % 7, std::to_string(i));
            const size_t cut = 1 + random() % (bytes.size() - 1);
            if (!link.peer.send(bytes.substr(0, cut)) || !link.peer.send(bytes.substr(cut))) return;
        }
    });
    const bool all = link.client->waitFor(-1, count, SLOW_WAIT);
    link.client->disconnectRobotServer();  // ends a writer that a stalled link blocks
    writer.join();
    ASSERT_TRUE(all) << link.client->deliveries().size() << " of " << count << " arrived";
    const std::vector<Delivery> got = link.client->deliveries();
    for (int i = 0; i < count; ++i) ASSERT_EQ(got[i].body, std::to_string(i)) << "package " << i;
}

// Resynchronising through a long run of bytes that holds no package: a body refused for its
// length, or plain noise. The package after it still arrives.
void resynchroniseThrough(const std::string &noise) {
    LinkedClient link;
    std::thread writer([&] { link.peer.send(noise + package(31, "good")); });
    const bool arrived = link.client->waitFor(31, 1, SLOW_WAIT);
    link.client->disconnectRobotServer();
    writer.join();
    EXPECT_TRUE(arrived);
    EXPECT_EQ(link.client->deliveries().size(), 1u);
}

void overlongLengthWithItsBody() {
    const int32_t length = RobotCommunicationClient::RECV_BUFFER_SIZE + 1;
    resynchroniseThrough(kezu_sim::PackageFraming::encodeWithLength(
        length, 30, std::string(static_cast<size_t>(length) - 12, 'b')));
}

void randomBytes() {
    std::mt19937 random(11);
    std::string noise(1 << 20, '\0');
    for (char &c : noise) c = static_cast<char>(random() % 0xEE);  // never a marker's first byte
    resynchroniseThrough(noise);
}

// A package cut short by the send time-out would swallow the next ones: the link ends.
void partialSendEndsTheLink() {
    LinkedClient link;
    bool sent = true;  // queues on both sides take a few packages before one blocks
    for (int i = 0; i < 16 && sent; ++i) sent = link.client->sendPackage(4, LARGEST_BODY);
    EXPECT_FALSE(sent);
    const Delivery loss = link.client->await(EVENT_TYPE, 0, WAIT);
    EXPECT_TRUE(isLinkLoss(loss));
    EXPECT_EQ(loss.socketFd, -1);
    EXPECT_FALSE(link.client->getCurrentConnectStatus());
    EXPECT_FALSE(link.client->sendPackage(5, ""));
    // The peer gets what was sent, then the end of the stream, not a whole last package.
    std::string received;
    for (std::string part; !(part = link.peer.read(1 << 20, WAIT)).empty();) received += part;
    EXPECT_NE(received.size() % package(4, LARGEST_BODY).size(), 0u);
}

// Eight senders behind a peer that reads nothing, then the link goes: by logout or by
// destruction. Both return at once, and so does every sender.
void blockedSendersAndEnd(bool destroy) {
    LinkedClient link;
    RecordingClient *client = link.client.get();
    std::atomic<int> entered{0};
    std::vector<std::thread> senders;
    for (int i = 0; i < 8; ++i) {
        senders.emplace_back([&] {
            ++entered;
            // One call each when destroying: afterwards there is no client left to call.
            while (client->sendPackage(4, LARGEST_BODY) && !destroy) continue;
        });
    }
    ASSERT_TRUE(eventually([&] { return entered == 8; }, WAIT));
    std::this_thread::sleep_for(200ms);  // into the blocking send; no condition shows it
    const auto start = Clock::now();
    if (destroy) {
        link.client.reset();
    } else {
        EXPECT_EQ(client->disconnectRobotServer(), 0);
    }
    EXPECT_LT(Clock::now() - start, PROMPT);
    for (auto &sender : senders) sender.join();
    EXPECT_LT(Clock::now() - start, PROMPT);
}

// Runs the call on n threads released together; returns the results.
std::vector<int> together(int n, const std::function<int()> &call) {
    std::promise<void> go;
    std::shared_future<void> started = go.get_future().share();
    std::vector<std::future<int>> results;
    for (int i = 0; i < n; ++i) {
        results.push_back(std::async(std::launch::async, [&, started] {
            started.wait();
            return call();
        }));
    }
    go.set_value();
    std::vector<int> out;
    for (auto &result : results) out.push_back(result.get());
    return out;
}

void concurrentConnectAndDisconnect() {
    kezu_sim::KezuController controller;
    ASSERT_TRUE(controller.start());
    RecordingClient client;
    client.setServerPort(controller.port());
    size_t files = 0;
    for (int round = 0; round < 15; ++round) {
        const std::vector<int> connects = together(6, [&] { return client.connectRobotServer(); });
        ASSERT_EQ(std::count(connects.begin(), connects.end(), 0), 1) << "round " << round;
        ASSERT_TRUE(controller.waitForOpenConnections(1, WAIT));
        together(6, [&] { return client.disconnectRobotServer(); });
        ASSERT_FALSE(client.getCurrentConnectStatus());
        ASSERT_TRUE(controller.waitForOpenConnections(0, WAIT));
        files = round == 0 ? openFiles() : files;  // once the first round opened the trace log
    }
    // Both mixed, in any order; what is left afterwards is one link or none.
    together(6, [&] {
        for (int i = 0; i < 30; ++i) {
            i % 2 ? client.disconnectRobotServer() : client.connectRobotServer();
        }
        return 0;
    });
    EXPECT_TRUE(controller.waitForOpenConnections(client.getCurrentConnectStatus() ? 1 : 0, WAIT));
    client.disconnectRobotServer();
    EXPECT_TRUE(controller.waitForOpenConnections(0, WAIT));
    EXPECT_TRUE(eventually([&] { return openFiles() <= files; }, WAIT)) << openFiles();
}

// The link-loss callback logs in again, as users do; each new link serves, and the old
// receive threads do not pile up.
void reconnectFromTheLinkLossCallback() {
    kezu_sim::KezuController controller;
    ASSERT_TRUE(controller.start());
    RecordingClient client;
    client.setServerPort(controller.port());
    ASSERT_EQ(client.connectRobotServer(), 0);
    std::mutex mutex;
    std::vector<int> results;
    client.setOnDelivery([&](const Delivery &delivery) {
        if (!isLinkLoss(delivery)) return;
        const int result = client.connectRobotServer();
        std::lock_guard<std::mutex> lock(mutex);
        results.push_back(result);
    });
    ASSERT_TRUE(controller.waitForOpenConnections(1, WAIT));
    const size_t before = threadCount();
    for (size_t cycle = 1; cycle <= 5; ++cycle) {
        ASSERT_TRUE(controller.waitForOpenConnections(1, WAIT));
        controller.closeConnectionsNow();
        ASSERT_TRUE(client.waitFor(EVENT_TYPE, cycle, WAIT));
        ASSERT_TRUE(controller.waitForOpenConnections(1, WAIT));
        ASSERT_TRUE(client.sendPackage(34, ""));
        ASSERT_TRUE(client.waitFor(34, cycle, WAIT));
    }
    EXPECT_EQ(results, std::vector<int>(5, 0));
    EXPECT_TRUE(client.getCurrentConnectStatus());
    // One ended thread may wait for the next connect or logout to be joined.
    EXPECT_TRUE(eventually([&] { return threadCount() <= before + 1; }, WAIT)) << threadCount();
}

void onSignal(int) {}

// The peer's accept queue is full, so the connect waits for a retried handshake while
// signals keep interrupting the wait; it still succeeds once there is room.
void signalsDuringConnectAreRetried() {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = onSignal;
    sigaction(SIGUSR1, &action, &previous);
    RawPeer peer;  // backlog 4: five connections fill its queue
    std::vector<int> fillers;
    for (int i = 0; i < 6; ++i) fillers.push_back(startConnect(peer.port()));
    RecordingClient client;
    client.setServerPort(peer.port());
    std::atomic<bool> done{false};
    std::promise<int> result;
    std::thread connector([&] {
        result.set_value(client.connectRobotServer());
        done = true;
    });
    for (int i = 0; i < 20 && !done; ++i) {
        pthread_kill(connector.native_handle(), SIGUSR1);
        std::this_thread::sleep_for(10ms);
    }
    for (int i = 0; i < 6 && peer.accept(100ms); ++i) {
        peer.closeConnection();  // room in the queue for the retried handshake
    }
    connector.join();
    EXPECT_EQ(result.get_future().get(), 0);
    for (int fd : fillers) close(fd);
    sigaction(SIGUSR1, &previous, nullptr);
}

// Starts the counterpart and logs the facade in to it, joint-status pushes on or off.
void logIn(kezu_sim::KezuController &controller, ServiceInterface &facade, bool pushes) {
    ASSERT_TRUE(controller.start());
    ASSERT_EQ(0, facade.robotServiceLogin("127.0.0.1", controller.port(), "kezu", "1"));
    ASSERT_EQ(0, facade.robotServiceInitGlobalMoveProfile());
    ASSERT_EQ(0, facade.robotServiceSetRealTimeJointStatusPush(pushes));
}

// A blocking move is acknowledged, then a package cut after 14 bytes that claims the length,
// then the arrival. The claim holds the arrival back until the claim has come or the stream
// stalls: with pushes on, a claim of 200 bytes fills within moments; without them the receive
// time-out ends it. A megabyte would take about 100 s of pushes: the move still waits while
// they flow, and a package of a megabyte from the controller fills the claim and lets the
// arrival out.
void cutPackageBeforeArrival(int32_t claim, bool pushes) {
    kezu_sim::ControllerConfig config = quickControllerConfig();
    config.pushIntervalMs = 100;
    config.travelScale = 1000;  // the arrival that ends the move is the test's own
    kezu_sim::KezuController controller(config);
    ServiceInterface facade;
    ASSERT_NO_FATAL_FAILURE(logIn(controller, facade, pushes));
    ASSERT_EQ(0, facade.robotServiceSetRealTimeRoadPointPush(pushes));
    auto move = std::async(std::launch::async, [&] {
        double joints[6] = {0.01, 0, 0, 0, 0, 0};
        return facade.robotServiceJointMove(joints, true);
    });
    // Queued behind the acknowledgement, which the counterpart queues on receipt.
    ASSERT_TRUE(
        controller.waitForPackages(kezu_robot_namespace::RobotEvent_atTrackTargetPos, 1, WAIT));
    controller.sendRaw(
        kezu_sim::PackageFraming::encodeWithLength(claim, EVENT_TYPE, "").substr(0, 14));
    controller.sendEvent(kezu_robot_namespace::RobotEvent_atTrackTargetPos, 0, "at target");
    if (claim > 100000) {
        // Pushes keep coming, so the stream never stalls: only the claim's bytes end the wait.
        EXPECT_EQ(move.wait_for(2500ms), std::future_status::timeout) << "the claim was guessed";
        controller.sendRaw(package(60, std::string(static_cast<size_t>(claim), 'f')));
    }
    if (move.wait_for(claim > 100000 ? SLOW_WAIT : WAIT) != std::future_status::ready) {
        ADD_FAILURE() << "the move still blocks";
        facade.robotServiceLogout();
    }
    EXPECT_EQ(move.get(), 0);
}

// Keeps the text of the first event of the type the test watches.
struct WatchedEvent {
    int type;
    std::promise<std::string> text;
};

void keepEvent(const kezu_robot_namespace::RobotEventInfo *info, void *arg) {
    auto *watched = static_cast<WatchedEvent *>(arg);
    if (info->eventType == watched->type) {
        watched->type = -1;
        watched->text.set_value(info->eventContent);
    }
}

// A blocking move on a controller whose pushes flow, while the test sends events.
struct MoveUnderWay {
    MoveUnderWay(const std::string &endMarker, int watchedType) : watched{watchedType, {}} {
        kezu_sim::ControllerConfig config = quickControllerConfig();
        config.travelScale = 1000;  // the arrival that ends the move is the test's own
        config.endMarker = endMarker;
        controller = std::make_unique<kezu_sim::KezuController>(config);
    }

    ~MoveUnderWay() {
        if (move.valid() && move.wait_for(0ms) != std::future_status::ready) {
            facade.robotServiceLogout();  // a move still waiting ends with its link
        }
    }

    // False once a failure is added: the move was not started.
    bool start() {
        logIn(*controller, facade, true);
        if (::testing::Test::HasFatalFailure()) return false;
        EXPECT_EQ(0, facade.robotServiceRegisterRobotEventInfoCallback(keepEvent, &watched));
        move = std::async(std::launch::async, [this] {
            double joints[6] = {0.01, 0, 0, 0, 0, 0};
            return facade.robotServiceJointMove(joints, true);
        });
        return controller->waitForPackages(CommunicationMateType::CommunicationType_RobotMove, 1,
                                           WAIT);
    }

    // The watched event's text as delivered, or "" when it was not.
    std::string watchedText() {
        std::future<std::string> text = watched.text.get_future();
        return text.wait_for(WAIT) == std::future_status::ready ? text.get() : "";
    }

    // The move's result; a move still waiting is ended by logging out.
    int result() {
        if (move.wait_for(WAIT) != std::future_status::ready) {
            ADD_FAILURE() << "the move still blocks";
            facade.robotServiceLogout();
        }
        return move.get();
    }

    std::unique_ptr<kezu_sim::KezuController> controller;
    WatchedEvent watched;  // outlives the facade's receive thread
    ServiceInterface facade;
    std::future<int> move;
};

// During a blocking move with seconds of travel left, an event whose text quotes a whole
// arrival package, as a log line quoting traffic does: the event arrives whole and the move
// goes on until its own arrival.
void quotedArrivalInAnEvent(const std::string &endMarker) {
    MoveUnderWay run(endMarker, kezu_robot_namespace::RobotEvent_staticCollisionStatusChanged);
    ASSERT_TRUE(run.start());
    const std::string text =
        "seen: " +
        package(EVENT_TYPE,
                kezu_sim::ControllerState::eventBody(
                    {kezu_robot_namespace::RobotEvent_atTrackTargetPos, 0, "at target"})) +
        " end";
    run.controller->sendEvent(kezu_robot_namespace::RobotEvent_staticCollisionStatusChanged, 0,
                              text);
    EXPECT_EQ(run.watchedText(), text) << "the event was not delivered whole";
    EXPECT_EQ(run.move.wait_for(300ms), std::future_status::timeout);
    run.controller->sendEvent(kezu_robot_namespace::RobotEvent_atTrackTargetPos, 0, "at target");
    EXPECT_EQ(run.result(), 0);
}

// During a blocking move, a controller error whose text quotes the head of a package longer
// than what follows, as a dump cut short does: the error arrives whole and ends the move.
void quotedHeadInAControllerError(const std::string &before, const std::string &after) {
    MoveUnderWay run("\xFF\xFF\xFF\xFF", kezu_robot_namespace::RobotEvent_robotControllerError);
    ASSERT_TRUE(run.start());
    const std::string head = std::string("\xEE\xCC\xFF\xFF\x40\0\0\0\x02\0\0\0", 12);
    const std::string text = before + head + after;
    run.controller->sendEvent(kezu_robot_namespace::RobotEvent_robotControllerError, 1, text);
    EXPECT_EQ(run.watchedText(), text) << "the error was not delivered whole";
    EXPECT_EQ(run.result(), kezu_robot_namespace::ErrCode_MotionInterruptedByEvent);
}

// A controller that ends its packages otherwise, also with the first bytes of a start marker:
// the login, a read, a blocking move with its arrival and the pushes all get through.
void otherEndMarkers(const std::string &endMarker) {
    kezu_sim::ControllerConfig config = quickControllerConfig();
    config.endMarker = endMarker;
    kezu_sim::KezuController controller(config);
    ServiceInterface facade;
    ASSERT_NO_FATAL_FAILURE(logIn(controller, facade, true));
    kezu_robot_namespace::RobotWorkMode mode = kezu_robot_namespace::RobotModeReal;
    EXPECT_EQ(0, facade.robotServiceGetRobotWorkMode(mode));
    double joints[6] = {0.05, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, facade.robotServiceJointMove(joints, true));
    EXPECT_NEAR(controller.joints()[0], 0.05, 1e-9);
}

struct Case {
    const char *name;
    void (*run)();
};

const Case CASES[] = {
    {"FloodWithSlowReceiverDeliversEveryPackage", floodWithSlowReceiver},
    {"OverlongLengthWithItsBodyIsSkipped", overlongLengthWithItsBody},
    {"RandomBytesAreSkipped", randomBytes},
    {"PartialSendEndsTheLinkWithOneEvent", partialSendEndsTheLink},
    {"BlockedSendersDoNotHoldUpLogout", [] { blockedSendersAndEnd(false); }},
    {"BlockedSendersDoNotHoldUpDestruction", [] { blockedSendersAndEnd(true); }},
    {"ConcurrentConnectAndDisconnectLeaveOneLinkOrNone", concurrentConnectAndDisconnect},
    {"ReconnectFromTheLinkLossCallbackWorks", reconnectFromTheLinkLossCallback},
    {"SignalsDuringConnectAreRetried", signalsDuringConnectAreRetried},
    {"CutPackageAmidPushesLeavesAMoveItsArrival", [] { cutPackageBeforeArrival(200, true); }},
    {"CutPackageThenSilenceLeavesAMoveItsArrival", [] { cutPackageBeforeArrival(200, false); }},
    {"MegabyteClaimAmidPushesHoldsTheArrivalUntilTheClaimHasCome",
     [] { cutPackageBeforeArrival(1000000, true); }},
    {"QuotedArrivalInAnEventLeavesTheMoveGoing",
     [] { quotedArrivalInAnEvent("\xFF\xFF\xFF\xFF"); }},
    {"QuotedArrivalInAnEventOfZeroEndMarkersLeavesTheMoveGoing",
     [] { quotedArrivalInAnEvent(std::string(4, '\0')); }},
    {"ControllerErrorEndingWithAQuotedHeadEndsTheMove",
     [] { quotedHeadInAControllerError("last package: ", ""); }},
    {"ControllerErrorQuotingAHeadMidTextEndsTheMove",
     [] { quotedHeadInAControllerError("package ", " cut short"); }},
    {"ZeroEndMarkersServeALoginAndABlockingMove", [] { otherEndMarkers(std::string(4, '\0')); }},
    {"EndMarker123456EEServesALoginAndABlockingMove", [] { otherEndMarkers("\x12\x34\x56\xEE"); }},
    {"EndMarkerFFFFEECCServesALoginAndABlockingMove", [] { otherEndMarkers("\xFF\xFF\xEE\xCC"); }},
    {"EndMarker00EECCFFServesALoginAndABlockingMove",
     [] { otherEndMarkers(std::string("\0\xEE\xCC\xFF", 4)); }},
    {"EndMarkerFFFFFFEEServesALoginAndABlockingMove", [] { otherEndMarkers("\xFF\xFF\xFF\xEE"); }},
};

void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

class LinkFault : public ::testing::TestWithParam<Case> {};

TEST_P(LinkFault, IsSurvived) { GetParam().run(); }

INSTANTIATE_TEST_SUITE_P(Cases, LinkFault, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             return std::string(info.param.name);
                         });

}  // namespace
