#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "KezuRobotMetaType.h"
#include "controllerframing.h"
#include "rawpeer.h"
#include "recordingclient.h"
#include "robotcommunication.pb.h"

namespace {

using namespace std::chrono_literals;
using kezu_test::Delivery;
using kezu_test::RawPeer;
using kezu_test::RecordingClient;

const auto WAIT = 5000ms;
const int32_t EVENT_TYPE = 2;
const int FAILED = kezu_robot_namespace::ErrCode_Failed;
const auto package = kezu_sim::PackageFraming::encode;

// The single link-loss event delivered so far, checked for its fixed contents.
Delivery onlyDisconnectEvent(const RecordingClient &client) {
    const Delivery delivery = client.await(EVENT_TYPE, 0, WAIT);
    EXPECT_FALSE(client.waitFor(EVENT_TYPE, 2, 300ms));  // one event, not one per pass
    kezu::robot::communication::ProtoCommunicationRobotEvent event;
    EXPECT_TRUE(event.ParseFromString(delivery.body));
    EXPECT_EQ(event.eventtype(), kezu_robot_namespace::RobotEvent_socketDisconnected);
    EXPECT_EQ(event.eventcode(), 0);
    EXPECT_EQ(event.eventcontent(), "Server disconnected.");
    return delivery;
}

// A client linked to a raw peer that the test drives byte by byte.
class ClientLink : public ::testing::Test {
protected:
    // Links get descriptors beyond a select set's reach, as in a process with many files.
    static void SetUpTestSuite() {
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        for (int fd = 0; limit.rlim_cur > 1200 && fd >= 0 && fd < 1100;) {
            fd = open("/dev/null", O_RDONLY);
        }
    }

    void SetUp() override {
        client->setServerPort(peer.port());
        ASSERT_EQ(client->connectRobotServer(), 0);
        ASSERT_TRUE(peer.accept(WAIT));
    }

    // Sends the bytes and waits for the package of the type that ends them.
    Delivery receive(const std::string &bytes, int32_t lastType) {
        EXPECT_TRUE(peer.send(bytes));
        return client->await(lastType, 0, WAIT);
    }

    RawPeer peer;
    std::unique_ptr<RecordingClient> client = std::make_unique<RecordingClient>();
};

// An empty body makes a 20-byte package; the largest one goes out, one byte more is refused.
TEST_F(ClientLink, WritesWholePackagesUpToTheLargest) {
    const std::string body(RobotCommunicationClient::MAX_SEND_LENGTH_FIELD - 12, 'b');
    const std::string expected = package(17, "") + package(5, body);
    std::thread reader([&] { EXPECT_EQ(peer.read(20 + body.size() + 20, WAIT), expected); });
    EXPECT_TRUE(client->sendPackage(17, ""));
    EXPECT_FALSE(client->sendPackage(22, body + "x"));  // leaves no byte behind
    EXPECT_TRUE(client->sendPackage(5, body));
    reader.join();
}

// Packages larger than one send call from several threads arrive whole, one after another.
TEST_F(ClientLink, ConcurrentSendersNeverInterleavePackages) {
    auto bodyOf = [](int type) { return std::string(3000 + type, static_cast<char>('a' + type)); };
    std::vector<std::thread> senders;
    for (int type = 0; type < 4; ++type) {
        senders.emplace_back([&, type] {
            for (int i = 0; i < 40; ++i) client->sendPackage(type, bodyOf(type));
        });
    }
    const std::string received = peer.read(40 * (4 * 3020 + 6), WAIT);
    for (auto &sender : senders) sender.join();
    for (size_t at = 0; at < received.size();) {
        const int type = received[at + 8];
        ASSERT_TRUE(type >= 0 && type < 4) << "at " << at;
        ASSERT_EQ(received.substr(at, 3020 + type), package(type, bodyOf(type))) << "at " << at;
        at += 3020 + type;
    }
}

TEST_F(ClientLink, SendAfterPeerClosedFailsInsteadOfEndingTheProcess) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    // The receive thread waits in a callback, so the socket is still open when sending.
    client->setOnDelivery([released](const Delivery &) { released.wait_for(WAIT); });
    ASSERT_TRUE(peer.send(package(50, "")));
    peer.closeConnection();
    bool sent = true;
    for (int i = 0; i < 3 && sent; ++i) {  // the peer's reset ends the second send at the latest
        sent = client->sendPackage(4, std::string(100000, 'z'));
    }
    EXPECT_FALSE(sent);
    release.set_value();
    EXPECT_TRUE(client->waitFor(EVENT_TYPE, 1, WAIT));
}

// A package stalled beyond the 2 s receive time-out, garbage, a start marker cut in two on the
// link, then a package with an empty body: only the last is handed over.
TEST_F(ClientLink, StallGarbageAndSplitMarkerLeaveOnlyTheEmptyBodyPackage) {
    ASSERT_TRUE(peer.send(package(43, std::string(100, 's')).substr(0, 50)));
    std::this_thread::sleep_for(2500ms);
    const std::string bytes = "\x01\xEE" + package(13, "");
    ASSERT_TRUE(peer.send(bytes.substr(0, 4)));
    std::this_thread::sleep_for(200ms);  // the gap under test
    const Delivery delivery = receive(bytes.substr(4), 13);
    EXPECT_EQ(delivery.contentLength, 4);
    EXPECT_NE(delivery.socketFd, -1);
    EXPECT_EQ(client->deliveries().size(), 1u);
}

TEST_F(ClientLink, CheckFieldAndEndMarkerAreIgnoredAndOrderIsKept) {
    std::string bytes = package(6, "abc");
    bytes.replace(bytes.size() - 8, 8, "\x12\x34\x56\x78\x99\x11\x22\x33");
    std::string expected = "6:abc,", order;
    for (int i = 0; i < 50; ++i) {
        bytes += package(40 + i % 3, std::to_string(i));
        expected += std::to_string(40 + i % 3) + ":" + std::to_string(i) + ",";
    }
    ASSERT_TRUE(peer.send(bytes));
    client->await(-1, 50, WAIT);
    for (const Delivery &delivery : client->deliveries()) {
        order += std::to_string(delivery.commandType) + ":" + delivery.body + ",";
    }
    EXPECT_EQ(order, expected);
}

class LargeBody : public ClientLink, public ::testing::WithParamInterface<size_t> {};

TEST_P(LargeBody, ArrivesWhole) {
    std::string body(GetParam(), '\0');
    std::generate(body.begin(), body.end(),
                  [n = 7]() mutable { return static_cast<char>(n += 31); });
    std::thread writer([&] { EXPECT_TRUE(peer.send(package(15, body))); });
    EXPECT_TRUE(client->await(15, 0, WAIT).body == body);
    writer.join();
}

// Larger than the socket queue, and a length field that fills the whole receive buffer.
INSTANTIATE_TEST_SUITE_P(Sizes, LargeBody,
                         ::testing::Values(700 * 1024,
                                           RobotCommunicationClient::RECV_BUFFER_SIZE - 12));

class RefusedLengthField : public ClientLink, public ::testing::WithParamInterface<int32_t> {};

TEST_P(RefusedLengthField, IsSkippedAndTheNextPackageStillArrives) {
    EXPECT_EQ(receive(kezu_sim::PackageFraming::encodeWithLength(GetParam(), 30, "bad") +
                          package(31, "good"),
                      31)
                  .body,
              "good");
    EXPECT_TRUE(client->deliveries(30).empty());
}

INSTANTIATE_TEST_SUITE_P(TooShortOrTooLong, RefusedLengthField,
                         ::testing::Values(0, 4, 8, 11, -2, INT32_MIN,
                                           RobotCommunicationClient::RECV_BUFFER_SIZE + 1,
                                           INT32_MAX));

class PeerClose : public ClientLink, public ::testing::WithParamInterface<const char *> {};

// Fewer bytes than a start marker can never complete one once the peer has gone.
TEST_P(PeerClose, GivesOneDisconnectEventAndLinkDownThenReconnectWorks) {
    ASSERT_TRUE(peer.send(GetParam()));
    peer.closeConnection();
    EXPECT_EQ(onlyDisconnectEvent(*client).socketFd, -1);
    EXPECT_FALSE(client->getCurrentConnectStatus());
    ASSERT_EQ(client->connectRobotServer(), 0);
    ASSERT_TRUE(peer.accept(WAIT));
    EXPECT_EQ(receive(package(26, "again"), 26).body, "again");
}

INSTANTIATE_TEST_SUITE_P(AfterBytes, PeerClose,
                         ::testing::Values("", "\xEE", "\xEE\xCC\xFF", "xyz", "ab\xEE\xCC"));

TEST_F(ClientLink, SecondConnectIsRefusedAndFirstLinkStays) {
    EXPECT_EQ(client->connectRobotServer(), FAILED);
    EXPECT_FALSE(peer.connectionPending(200ms));
    EXPECT_EQ(receive(package(34, "still"), 34).body, "still");
}

TEST_F(ClientLink, UrgentDataPostsOneEventAndLinkStaysUp) {
    ASSERT_TRUE(peer.sendUrgent('!'));
    EXPECT_NE(onlyDisconnectEvent(*client).socketFd, -1);
    EXPECT_EQ(receive(package(37, "after"), 37).body, "after");
}

TEST_F(ClientLink, LogoutInTheMiddleOfAPackageIsPromptAndPostsNoEvent) {
    ASSERT_TRUE(peer.send(package(41, std::string(5000, 'm')).substr(0, 3000)));
    std::this_thread::sleep_for(100ms);  // let the receive thread block inside the package
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->disconnectRobotServer(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(client->getCurrentConnectStatus());
    EXPECT_EQ(peer.read(1, WAIT), "");  // the peer sees the close
    EXPECT_TRUE(client->deliveries().empty());
}

TEST_F(ClientLink, DestroyingAConnectedClientIsPrompt) {
    const auto start = std::chrono::steady_clock::now();
    client.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(peer.read(1, WAIT), "");
}

TEST_F(ClientLink, LogoutFromInsideACallbackEndsTheLink) {
    client->setOnDelivery([&](const Delivery &) { client->disconnectRobotServer(); });
    receive(package(42, "bye"), 42);  // the wait ends only once the callback has returned
    EXPECT_FALSE(client->getCurrentConnectStatus());
    EXPECT_EQ(peer.read(1, WAIT), "");
}

// The live link's own thread would go on reading beside a new one; after a link loss the
// callback may connect (see the link fault cases).
TEST_F(ClientLink, ConnectFromTheCallbackOfALiveLinkIsRefused) {
    int result = -1;
    client->setOnDelivery([&](const Delivery &) { result = client->connectRobotServer(); });
    receive(package(44, ""), 44);
    EXPECT_EQ(result, FAILED);
    EXPECT_FALSE(peer.connectionPending(200ms));
    EXPECT_EQ(receive(package(45, "still"), 45).body, "still");
}

class ConnectFailure : public ::testing::TestWithParam<std::pair<const char *, int>> {};

// Port offsets are those a cut to 16 bits would turn into the listening peer's own port.
TEST_P(ConnectFailure, LeavesClientIdleWithoutConnecting) {
    auto peer = std::make_unique<RawPeer>();
    RecordingClient client;
    client.setServerPort(peer->port() + GetParam().second);
    if (GetParam().first != nullptr) {
        client.setServerIP(GetParam().first);
    } else if (GetParam().second == 0) {
        peer.reset();
    }
    EXPECT_EQ(client.connectRobotServer(), FAILED);
    EXPECT_FALSE(client.getCurrentConnectStatus());
    EXPECT_FALSE(peer && peer->connectionPending(200ms));
}

// clang-format off
const std::pair<const char *, int> BAD_TARGETS[] = {
    {"", 0}, {"localhost", 0}, {"127.0.0.256", 0}, {"1.2.3", 0}, {"::1", 0}, {"127.0.0.1 ", 0},
    {nullptr, 0}, {nullptr, 65536}, {nullptr, -65536}, {nullptr, 131072}};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Targets, ConnectFailure, ::testing::ValuesIn(BAD_TARGETS));

}  // namespace
