#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "KezuRobotMetaType.h"
#include "rawpeer.h"
#include "recordingclient.h"
#include "robotcommunication.pb.h"
#include "robotcommunicationclient.h"

namespace {

using namespace std::chrono_literals;
using kezu_test::Delivery;
using kezu_test::RawPeer;
using kezu_test::RecordingClient;

const auto WAIT = 5000ms;
const int32_t EVENT_TYPE = 2;

std::string int32Bytes(int32_t value) {
    return std::string(reinterpret_cast<const char *>(&value), sizeof(value));
}

// A package as the controller writes it, with any length field and trailer.
std::string package(int32_t type, const std::string &body, std::optional<int32_t> length = {},
                    const std::string &trailer = std::string("\0\0\0\0\xFF\xFF\xFF\xFF", 8)) {
    const int32_t lengthField = length ? *length : static_cast<int32_t>(body.size()) + 12;
    return std::string("\xEE\xCC\xFF\xFF", 4) + int32Bytes(lengthField) + int32Bytes(type) + body +
           trailer;
}

kezu::robot::communication::ProtoCommunicationRobotEvent parseEvent(const Delivery &delivery) {
    kezu::robot::communication::ProtoCommunicationRobotEvent event;
    EXPECT_TRUE(event.ParseFromString(delivery.body));
    return event;
}

// A client linked to a raw peer that the test drives byte by byte.
class ClientLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(peer.port(), 0);
        client.setServerPort(peer.port());
        ASSERT_EQ(client.connectRobotServer(), 0);
        ASSERT_TRUE(peer.accept(WAIT));
    }

    // True when nothing more of the type arrives within a short settling time.
    bool noMore(int32_t type, size_t count) { return !client.waitFor(type, count + 1, 300ms); }

    RawPeer peer;
    RecordingClient client;
};

// ---- Writer -------------------------------------------------------------------------------

TEST_F(ClientLink, EmptyBodyIsWrittenAsTwentyBytes) {
    ASSERT_TRUE(client.sendPackage(17, ""));
    EXPECT_EQ(peer.read(20, WAIT), package(17, ""));
}

TEST_F(ClientLink, BodyIsWrittenBetweenTypeAndZeroCheckField) {
    const std::string body("\x01\x00\xEE\xCC\xFF\xFF", 6);
    ASSERT_TRUE(client.sendPackage(22, body));
    EXPECT_EQ(peer.read(26, WAIT), package(22, body));
}

TEST_F(ClientLink, WriterRefusesPackageAboveLimitAndSendsNothing) {
    const int largest = RobotCommunicationClient::MAX_SEND_LENGTH_FIELD - 12;
    EXPECT_FALSE(client.sendPackage(22, std::string(largest + 1, 'x')));
    ASSERT_TRUE(client.sendPackage(9, ""));
    // The refused package left no byte on the link: the next one comes first.
    EXPECT_EQ(peer.read(20, WAIT), package(9, ""));
}

TEST_F(ClientLink, WriterSendsLargestAllowedPackage) {
    const std::string body(RobotCommunicationClient::MAX_SEND_LENGTH_FIELD - 12, 'b');
    std::thread reader([&] { EXPECT_EQ(peer.read(body.size() + 20, WAIT), package(5, body)); });
    EXPECT_TRUE(client.sendPackage(5, body));
    reader.join();
}

TEST_F(ClientLink, ConcurrentSendersNeverInterleavePackages) {
    const int threads = 4;
    const int perThread = 40;
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                client.sendPackage(t, std::string(3000 + t, static_cast<char>('a' + t)));
            }
        });
    }
    std::string stream;
    for (int t = 0; t < threads; ++t) {
        stream += std::string(perThread * (3000 + t + 20), '\0');
    }
    const std::string received = peer.read(stream.size(), WAIT);
    for (auto &sender : senders) {
        sender.join();
    }
    ASSERT_EQ(received.size(), stream.size());
    size_t offset = 0;
    while (offset < received.size()) {
        int32_t type = 0;
        memcpy(&type, received.data() + offset + 8, 4);
        ASSERT_GE(type, 0);
        ASSERT_LT(type, threads);
        const std::string body(3000 + type, static_cast<char>('a' + type));
        ASSERT_EQ(received.substr(offset, body.size() + 20), package(type, body));
        offset += body.size() + 20;
    }
}

TEST_F(ClientLink, SendAfterPeerClosedFailsInsteadOfEndingTheProcess) {
    peer.closeConnection();
    ASSERT_TRUE(client.waitFor(EVENT_TYPE, 1, WAIT));
    EXPECT_FALSE(client.sendPackage(4, std::string(100000, 'z')));
}

// ---- Reader -------------------------------------------------------------------------------

TEST_F(ClientLink, EmptyBodyIsHandedOverWithContentLengthFour) {
    ASSERT_TRUE(peer.send(package(13, "")));
    ASSERT_TRUE(client.waitFor(13, 1, WAIT));
    const Delivery delivery = client.deliveries(13).at(0);
    EXPECT_EQ(delivery.contentLength, 4);
    EXPECT_TRUE(delivery.body.empty());
    EXPECT_NE(delivery.socketFd, -1);
}

TEST_F(ClientLink, GarbageBeforePackageIsSkipped) {
    ASSERT_TRUE(peer.send(std::string("\x01\xEE", 2) + package(28, "payload")));
    ASSERT_TRUE(client.waitFor(28, 1, WAIT));
    EXPECT_EQ(client.deliveries(28).at(0).body, "payload");
    EXPECT_EQ(client.deliveries().size(), 1u);
}

TEST_F(ClientLink, SplitStartMarkerIsAwaitedNotSkipped) {
    const std::string bytes = package(10, "angles");
    ASSERT_TRUE(peer.send(bytes.substr(0, 2)));
    std::this_thread::sleep_for(200ms);  // the gap under test: a marker cut in two on the link
    ASSERT_TRUE(peer.send(bytes.substr(2)));
    ASSERT_TRUE(client.waitFor(10, 1, WAIT));
    EXPECT_EQ(client.deliveries(10).at(0).body, "angles");
}

TEST_F(ClientLink, CheckFieldAndEndMarkerAreIgnored) {
    ASSERT_TRUE(
        peer.send(package(6, "abc", {}, std::string("\x12\x34\x56\x78\x00\x11\x22\x33", 8))));
    ASSERT_TRUE(peer.send(package(8, "def")));
    ASSERT_TRUE(client.waitFor(8, 1, WAIT));
    ASSERT_EQ(client.deliveries(6).size(), 1u);
    EXPECT_EQ(client.deliveries(6).at(0).body, "abc");
}

TEST_F(ClientLink, PackagesSentBackToBackAreDeliveredInOrder) {
    std::string bytes;
    for (int i = 0; i < 100; ++i) {
        bytes += package(40 + i % 3, std::to_string(i));
    }
    ASSERT_TRUE(peer.send(bytes));
    ASSERT_TRUE(client.waitFor(-1, 100, WAIT));
    const std::vector<Delivery> deliveries = client.deliveries();
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(deliveries[i].commandType, 40 + i % 3);
        EXPECT_EQ(deliveries[i].body, std::to_string(i));
    }
}

TEST_F(ClientLink, BodyLargerThanSocketQueueIsReceived) {
    std::string body(700 * 1024, '\0');
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(i * 31 + 7);
    }
    std::thread writer([&] { EXPECT_TRUE(peer.send(package(15, body))); });
    ASSERT_TRUE(client.waitFor(15, 1, WAIT));
    writer.join();
    EXPECT_TRUE(client.deliveries(15).at(0).body == body);
}

TEST_F(ClientLink, LengthFieldFillingTheWholeBufferIsAccepted) {
    const std::string body(RobotCommunicationClient::RECV_BUFFER_SIZE - 12, 'q');
    std::thread writer([&] { EXPECT_TRUE(peer.send(package(19, body))); });
    ASSERT_TRUE(client.waitFor(19, 1, WAIT));
    writer.join();
    EXPECT_EQ(client.deliveries(19).at(0).contentLength, static_cast<int>(body.size()) + 4);
}

TEST_F(ClientLink, PackageStalledBeyondReceiveTimeoutIsDroppedAndReadingGoesOn) {
    ASSERT_TRUE(peer.send(package(43, std::string(100, 's')).substr(0, 50)));
    std::this_thread::sleep_for(2500ms);  // longer than the 2 s receive time-out
    ASSERT_TRUE(peer.send(package(44, "next")));
    ASSERT_TRUE(client.waitFor(44, 1, WAIT));
    EXPECT_TRUE(client.deliveries(43).empty());
    EXPECT_TRUE(client.getCurrentConnectStatus());
}

class RefusedLengthField : public ClientLink, public ::testing::WithParamInterface<int32_t> {};

TEST_P(RefusedLengthField, IsSkippedAndTheNextPackageStillArrives) {
    ASSERT_TRUE(peer.send(package(30, "bad", GetParam()) + package(31, "good")));
    ASSERT_TRUE(client.waitFor(31, 1, WAIT));
    EXPECT_TRUE(client.deliveries(30).empty());
    EXPECT_EQ(client.deliveries(31).at(0).body, "good");
    EXPECT_TRUE(client.getCurrentConnectStatus());
}

INSTANTIATE_TEST_SUITE_P(TooShortOrTooLong, RefusedLengthField,
                         ::testing::Values(0, 4, 8, 11, -1, INT32_MIN,
                                           RobotCommunicationClient::RECV_BUFFER_SIZE + 1,
                                           INT32_MAX));

// ---- Link lifecycle -----------------------------------------------------------------------

TEST_F(ClientLink, PeerCloseGivesExactlyOneDisconnectEventAndLinkDown) {
    peer.closeConnection();
    ASSERT_TRUE(client.waitFor(EVENT_TYPE, 1, WAIT));
    EXPECT_TRUE(noMore(EVENT_TYPE, 1));
    const Delivery delivery = client.deliveries(EVENT_TYPE).at(0);
    EXPECT_EQ(delivery.socketFd, -1);
    const auto event = parseEvent(delivery);
    EXPECT_EQ(event.eventtype(), kezu_robot_namespace::RobotEvent_socketDisconnected);
    EXPECT_EQ(event.eventcode(), 0);
    EXPECT_EQ(event.eventcontent(), "Server disconnected.");
    EXPECT_FALSE(client.getCurrentConnectStatus());
}

TEST_F(ClientLink, ReconnectAfterPeerCloseWorks) {
    peer.closeConnection();
    ASSERT_TRUE(client.waitFor(EVENT_TYPE, 1, WAIT));
    ASSERT_EQ(client.connectRobotServer(), 0);
    ASSERT_TRUE(peer.accept(WAIT));
    ASSERT_TRUE(peer.send(package(26, "again")));
    EXPECT_TRUE(client.waitFor(26, 1, WAIT));
}

TEST_F(ClientLink, SecondConnectIsRefusedAndFirstLinkStays) {
    EXPECT_EQ(client.connectRobotServer(), kezu_robot_namespace::ErrCode_Failed);
    EXPECT_FALSE(peer.connectionPending(200ms));
    EXPECT_TRUE(client.getCurrentConnectStatus());
    ASSERT_TRUE(peer.send(package(34, "still")));
    EXPECT_TRUE(client.waitFor(34, 1, WAIT));
}

TEST_F(ClientLink, UrgentDataPostsOneEventAndLinkStaysUp) {
    ASSERT_TRUE(peer.sendUrgent('!'));
    ASSERT_TRUE(client.waitFor(EVENT_TYPE, 1, WAIT));
    EXPECT_TRUE(noMore(EVENT_TYPE, 1));
    const Delivery delivery = client.deliveries(EVENT_TYPE).at(0);
    EXPECT_NE(delivery.socketFd, -1);
    EXPECT_EQ(parseEvent(delivery).eventtype(),
              kezu_robot_namespace::RobotEvent_socketDisconnected);
    EXPECT_TRUE(client.getCurrentConnectStatus());
    ASSERT_TRUE(peer.send(package(37, "after")));
    EXPECT_TRUE(client.waitFor(37, 1, WAIT));
}

TEST_F(ClientLink, LogoutIsPromptAndPostsNoEvent) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.disconnectRobotServer(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(client.getCurrentConnectStatus());
    EXPECT_EQ(peer.read(1, WAIT), "");  // the peer sees the close
    EXPECT_TRUE(client.deliveries().empty());
}

TEST_F(ClientLink, LogoutInTheMiddleOfAPackageIsPrompt) {
    ASSERT_TRUE(peer.send(package(41, std::string(5000, 'm')).substr(0, 3000)));
    std::this_thread::sleep_for(100ms);  // let the receive thread block inside the package
    const auto start = std::chrono::steady_clock::now();
    client.disconnectRobotServer();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_TRUE(client.deliveries().empty());
}

TEST_F(ClientLink, LogoutFromInsideACallbackEndsTheLink) {
    std::atomic<bool> returned{false};
    client.setOnDelivery([&](const Delivery &) {
        client.disconnectRobotServer();
        returned = true;
    });
    ASSERT_TRUE(peer.send(package(42, "bye")));
    ASSERT_TRUE(client.waitFor(42, 1, WAIT));
    for (int i = 0; i < 500 && !returned; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(returned);
    EXPECT_FALSE(client.getCurrentConnectStatus());
    EXPECT_EQ(peer.read(1, WAIT), "");
}

TEST_F(ClientLink, ConnectFromInsideACallbackIsRefused) {
    std::atomic<int> result{-1};
    client.setOnDelivery([&](const Delivery &delivery) {
        if (delivery.commandType == EVENT_TYPE) {
            result = client.connectRobotServer();
        }
    });
    peer.closeConnection();
    ASSERT_TRUE(client.waitFor(EVENT_TYPE, 1, WAIT));
    for (int i = 0; i < 500 && result == -1; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(result, kezu_robot_namespace::ErrCode_Failed);
    EXPECT_FALSE(peer.connectionPending(200ms));
    client.setOnDelivery(nullptr);
    // From an ordinary thread the same reconnect is allowed.
    EXPECT_EQ(client.connectRobotServer(), 0);
}

TEST(ClientLinkDestruction, DestroyingAConnectedClientIsPrompt) {
    RawPeer peer;
    auto client = std::make_unique<RecordingClient>();
    client->setServerPort(peer.port());
    ASSERT_EQ(client->connectRobotServer(), 0);
    ASSERT_TRUE(peer.accept(WAIT));
    const auto start = std::chrono::steady_clock::now();
    client.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(peer.read(1, WAIT), "");
}

// ---- Connect failures ---------------------------------------------------------------------

class ConnectFailure : public ::testing::TestWithParam<const char *> {};

TEST_P(ConnectFailure, UnparseableAddressIsRefusedWithoutConnecting) {
    RawPeer peer;
    RecordingClient client;
    client.setServerIP(GetParam());
    client.setServerPort(peer.port());
    EXPECT_EQ(client.connectRobotServer(), kezu_robot_namespace::ErrCode_Failed);
    EXPECT_FALSE(client.getCurrentConnectStatus());
    EXPECT_FALSE(peer.connectionPending(200ms));
}

INSTANTIATE_TEST_SUITE_P(AddressTexts, ConnectFailure,
                         ::testing::Values("", "localhost", "127.0.0.256", "1.2.3", "::1",
                                           "127.0.0.1 "));

TEST(ConnectFailureNoListener, RefusedConnectLeavesClientIdle) {
    uint16_t port = 0;
    {
        RawPeer closed;
        port = closed.port();
    }
    RecordingClient client;
    client.setServerPort(port);
    EXPECT_EQ(client.connectRobotServer(), kezu_robot_namespace::ErrCode_Failed);
    EXPECT_FALSE(client.getCurrentConnectStatus());
    EXPECT_EQ(client.disconnectRobotServer(), 0);
}

}  // namespace
