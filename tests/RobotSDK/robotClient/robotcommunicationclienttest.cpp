#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "KezuRobotMetaType.h"
#include "rawpeer.h"
#include "recordingclient.h"
#include "robotcommunication.pb.h"

namespace {

using namespace std::chrono_literals;
using kezu_test::Delivery;
using kezu_test::RawPeer;
using kezu_test::RecordingClient;
using Clock = std::chrono::steady_clock;

const auto WAIT = 5000ms;
const int32_t EVENT_TYPE = 2;
const int FAILED = kezu_robot_namespace::ErrCode_Failed;
const std::string TRAILER("\0\0\0\0\xFF\xFF\xFF\xFF", 8);

std::string int32Bytes(int32_t value) {
    return std::string(reinterpret_cast<const char *>(&value), sizeof(value));
}

// A package as the controller writes it, with any length field and trailer.
std::string package(int32_t type, const std::string &body, int32_t length = -1,
                    const std::string &trailer = TRAILER) {
    const int32_t field = length == -1 ? static_cast<int32_t>(body.size()) + 12 : length;
    return "\xEE\xCC\xFF\xFF" + int32Bytes(field) + int32Bytes(type) + body + trailer;
}

// The single link-loss event delivered so far, checked for its fixed contents.
Delivery onlyDisconnectEvent(const RecordingClient &client) {
    EXPECT_TRUE(client.waitFor(EVENT_TYPE, 1, WAIT));
    EXPECT_FALSE(client.waitFor(EVENT_TYPE, 2, 300ms));  // one event, not one per pass
    const Delivery delivery = client.deliveries(EVENT_TYPE).at(0);
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
    void SetUp() override {
        client->setServerPort(peer.port());
        ASSERT_EQ(client->connectRobotServer(), 0);
        ASSERT_TRUE(peer.accept(WAIT));
    }

    // Sends the bytes and waits for the package of the type that ends them.
    Delivery receive(const std::string &bytes, int32_t lastType) {
        EXPECT_TRUE(peer.send(bytes));
        EXPECT_TRUE(client->waitFor(lastType, 1, WAIT));
        const std::vector<Delivery> got = client->deliveries(lastType);
        return got.empty() ? Delivery{-1, -1, "", 0} : got[0];
    }

    RawPeer peer;
    std::unique_ptr<RecordingClient> client = std::make_unique<RecordingClient>();
};

// ---- Writer -------------------------------------------------------------------------------

TEST_F(ClientLink, WritesMarkersLengthTypeBodyAndZeroCheckField) {
    const std::string body("\x01\x00\xEE\xCC\xFF\xFF", 6);
    ASSERT_TRUE(client->sendPackage(17, ""));
    ASSERT_TRUE(client->sendPackage(22, body));
    EXPECT_EQ(peer.read(20 + 26, WAIT), package(17, "") + package(22, body));
}

TEST_F(ClientLink, WriterSendsTheLargestPackageAndRefusesOneByteMore) {
    const std::string body(RobotCommunicationClient::MAX_SEND_LENGTH_FIELD - 12, 'b');
    EXPECT_FALSE(client->sendPackage(22, body + "x"));
    std::thread reader([&] { EXPECT_EQ(peer.read(body.size() + 20, WAIT), package(5, body)); });
    EXPECT_TRUE(client->sendPackage(5, body));  // the refused one left no byte before it
    reader.join();
}

TEST_F(ClientLink, ConcurrentSendersNeverInterleavePackages) {
    const int threads = 4, perThread = 40;
    auto bodyOf = [](int type) { return std::string(3000 + type, static_cast<char>('a' + type)); };
    std::vector<std::thread> senders;
    size_t total = 0;
    for (int t = 0; t < threads; ++t) {
        total += perThread * (bodyOf(t).size() + 20);
        senders.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                client->sendPackage(t, bodyOf(t));
            }
        });
    }
    const std::string received = peer.read(total, WAIT);
    for (auto &sender : senders) {
        sender.join();
    }
    ASSERT_EQ(received.size(), total);
    for (size_t offset = 0; offset < received.size();) {
        int32_t type = 0;
        memcpy(&type, received.data() + offset + 8, 4);
        ASSERT_TRUE(type >= 0 && type < threads) << "at " << offset;
        const std::string expected = package(type, bodyOf(type));
        ASSERT_EQ(received.substr(offset, expected.size()), expected);
        offset += expected.size();
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

// ---- Reader -------------------------------------------------------------------------------

TEST_F(ClientLink, EmptyBodyIsHandedOverWithContentLengthFour) {
    const Delivery delivery = receive(package(13, ""), 13);
    EXPECT_EQ(delivery.contentLength, 4);
    EXPECT_NE(delivery.socketFd, -1);
}

TEST_F(ClientLink, GarbageBeforePackageIsSkipped) {
    EXPECT_EQ(receive("\x01\xEE" + package(28, "payload"), 28).body, "payload");
    EXPECT_EQ(client->deliveries().size(), 1u);
}

TEST_F(ClientLink, SplitStartMarkerIsAwaitedNotSkipped) {
    const std::string bytes = package(10, "angles");
    ASSERT_TRUE(peer.send(bytes.substr(0, 2)));
    std::this_thread::sleep_for(200ms);  // the gap under test: a marker cut in two on the link
    EXPECT_EQ(receive(bytes.substr(2), 10).body, "angles");
}

TEST_F(ClientLink, CheckFieldAndEndMarkerAreIgnoredAndOrderIsKept) {
    std::string bytes = package(6, "abc", -1, std::string("\x12\x34\x56\x78\x00\x11\x22\x33", 8));
    for (int i = 0; i < 50; ++i) {
        bytes += package(40 + i % 3, std::to_string(i));
    }
    receive(bytes, 6);
    ASSERT_TRUE(client->waitFor(-1, 51, WAIT));
    const std::vector<Delivery> got = client->deliveries();
    EXPECT_EQ(got[0].body, "abc");
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(got[i + 1].commandType, 40 + i % 3);
        EXPECT_EQ(got[i + 1].body, std::to_string(i));
    }
}

class LargeBody : public ClientLink, public ::testing::WithParamInterface<size_t> {};

TEST_P(LargeBody, ArrivesWhole) {
    std::string body(GetParam(), '\0');
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(i * 31 + 7);
    }
    std::thread writer([&] { EXPECT_TRUE(peer.send(package(15, body))); });
    ASSERT_TRUE(client->waitFor(15, 1, WAIT));
    writer.join();
    EXPECT_TRUE(client->deliveries(15).at(0).body == body);
}

// Larger than the socket queue, and a length field that fills the whole receive buffer.
INSTANTIATE_TEST_SUITE_P(Sizes, LargeBody,
                         ::testing::Values(700 * 1024,
                                           RobotCommunicationClient::RECV_BUFFER_SIZE - 12));

TEST_F(ClientLink, PackageStalledBeyondReceiveTimeoutIsDroppedAndReadingGoesOn) {
    ASSERT_TRUE(peer.send(package(43, std::string(100, 's')).substr(0, 50)));
    std::this_thread::sleep_for(2500ms);  // longer than the 2 s receive time-out
    EXPECT_EQ(receive(package(44, "next"), 44).body, "next");
    EXPECT_TRUE(client->deliveries(43).empty());
}

class RefusedLengthField : public ClientLink, public ::testing::WithParamInterface<int32_t> {};

TEST_P(RefusedLengthField, IsSkippedAndTheNextPackageStillArrives) {
    EXPECT_EQ(receive(package(30, "bad", GetParam()) + package(31, "good"), 31).body, "good");
    EXPECT_TRUE(client->deliveries(30).empty());
}

INSTANTIATE_TEST_SUITE_P(TooShortOrTooLong, RefusedLengthField,
                         ::testing::Values(0, 4, 8, 11, -2, INT32_MIN,
                                           RobotCommunicationClient::RECV_BUFFER_SIZE + 1,
                                           INT32_MAX));

// ---- Link lifecycle -----------------------------------------------------------------------

TEST_F(ClientLink, PeerCloseGivesOneDisconnectEventAndLinkDownThenReconnectWorks) {
    peer.closeConnection();
    EXPECT_EQ(onlyDisconnectEvent(*client).socketFd, -1);
    EXPECT_FALSE(client->getCurrentConnectStatus());
    ASSERT_EQ(client->connectRobotServer(), 0);
    ASSERT_TRUE(peer.accept(WAIT));
    EXPECT_EQ(receive(package(26, "again"), 26).body, "again");
}

class PeerCloseAfterBytes : public ClientLink,
                            public ::testing::WithParamInterface<const char *> {};

// Fewer bytes than a start marker can never complete one once the peer has gone.
TEST_P(PeerCloseAfterBytes, StillEndsTheLinkWithOneEvent) {
    ASSERT_TRUE(peer.send(GetParam()));
    peer.closeConnection();
    EXPECT_EQ(onlyDisconnectEvent(*client).socketFd, -1);
    EXPECT_FALSE(client->getCurrentConnectStatus());
}

INSTANTIATE_TEST_SUITE_P(ShortTails, PeerCloseAfterBytes,
                         ::testing::Values("\xEE", "\xEE\xCC\xFF", "xyz", "ab\xEE\xCC"));

TEST_F(ClientLink, SecondConnectIsRefusedAndFirstLinkStays) {
    EXPECT_EQ(client->connectRobotServer(), FAILED);
    EXPECT_FALSE(peer.connectionPending(200ms));
    EXPECT_TRUE(client->getCurrentConnectStatus());
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
    const auto start = Clock::now();
    EXPECT_EQ(client->disconnectRobotServer(), 0);
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_FALSE(client->getCurrentConnectStatus());
    EXPECT_EQ(peer.read(1, WAIT), "");  // the peer sees the close
    EXPECT_TRUE(client->deliveries().empty());
}

TEST_F(ClientLink, LogoutFromInsideACallbackEndsTheLink) {
    client->setOnDelivery([&](const Delivery &) { client->disconnectRobotServer(); });
    receive(package(42, "bye"), 42);  // the wait ends only once the callback has returned
    EXPECT_FALSE(client->getCurrentConnectStatus());
    EXPECT_EQ(peer.read(1, WAIT), "");
}

TEST_F(ClientLink, ConnectFromInsideACallbackIsRefused) {
    int result = -1;
    client->setOnDelivery([&](const Delivery &) { result = client->connectRobotServer(); });
    peer.closeConnection();
    ASSERT_TRUE(client->waitFor(EVENT_TYPE, 1, WAIT));
    EXPECT_EQ(result, FAILED);
    EXPECT_FALSE(peer.connectionPending(200ms));
    client->setOnDelivery(nullptr);
    EXPECT_EQ(client->connectRobotServer(), 0);  // from an ordinary thread it is allowed
}

TEST_F(ClientLink, DestroyingAConnectedClientIsPrompt) {
    const auto start = Clock::now();
    client.reset();
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_EQ(peer.read(1, WAIT), "");
}

// Holds descriptors open until the number handed out next is at least the given one.
struct DescriptorFiller {
    explicit DescriptorFiller(int next) {
        for (int fd = 0; fd >= 0 && fd < next - 1;) {
            fd = open("/dev/null", O_RDONLY);
            fds.push_back(fd);
        }
    }
    ~DescriptorFiller() {
        for (int fd : fds) {
            close(fd);
        }
    }
    bool reached() const { return !fds.empty() && fds.back() >= 0; }
    std::vector<int> fds;
};

// Descriptors numbered beyond what a select set can hold, as in a process with many files.
TEST(ClientHighDescriptor, ReceivesAndSeesPeerClose) {
    DescriptorFiller filler(1100);
    if (!filler.reached()) {
        GTEST_SKIP() << "descriptor limit too low";
    }
    RawPeer peer;
    RecordingClient client;
    client.setServerPort(peer.port());
    ASSERT_EQ(client.connectRobotServer(), 0);
    ASSERT_TRUE(peer.accept(WAIT));
    ASSERT_TRUE(peer.send(package(12, "high")));
    ASSERT_TRUE(client.waitFor(12, 1, WAIT));
    EXPECT_EQ(client.deliveries(12).at(0).body, "high");
    peer.closeConnection();
    EXPECT_EQ(onlyDisconnectEvent(client).socketFd, -1);
}

// ---- Connect failures ---------------------------------------------------------------------

class ConnectFailure : public ::testing::TestWithParam<const char *> {};

// A null address text stands for a port nobody listens on.
TEST_P(ConnectFailure, LeavesClientIdleWithoutConnecting) {
    auto peer = std::make_unique<RawPeer>();
    RecordingClient client;
    client.setServerPort(peer->port());
    if (GetParam() == nullptr) {
        peer.reset();
    } else {
        client.setServerIP(GetParam());
    }
    EXPECT_EQ(client.connectRobotServer(), FAILED);
    EXPECT_FALSE(client.getCurrentConnectStatus());
    EXPECT_FALSE(peer && peer->connectionPending(200ms));
}

INSTANTIATE_TEST_SUITE_P(AddressTexts, ConnectFailure,
                         ::testing::Values("", "localhost", "127.0.0.256", "1.2.3", "::1",
                                           "127.0.0.1 ", static_cast<const char *>(nullptr)));

class PortOutOfRange : public ::testing::TestWithParam<int> {};

// Offsets that a cut to 16 bits would turn into the listening peer's own port.
TEST_P(PortOutOfRange, IsRefusedInsteadOfCutToAnotherPort) {
    RawPeer peer;
    RecordingClient client;
    client.setServerPort(peer.port() + GetParam());
    EXPECT_EQ(client.connectRobotServer(), FAILED);
    EXPECT_FALSE(peer.connectionPending(200ms));
}

INSTANTIATE_TEST_SUITE_P(Offsets, PortOutOfRange, ::testing::Values(65536, -65536, 131072));

}  // namespace
