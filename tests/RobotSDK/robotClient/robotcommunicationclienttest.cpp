#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <ostream>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "KezuRobotMetaType.h"
#include "controllerframing.h"
#include "processprobe.h"
#include "recordingclient.h"
#include "tracecapture.h"

namespace {

using namespace std::chrono_literals;
using namespace kezu_test;
using Clock = std::chrono::steady_clock;

const int FAILED = kezu_robot_namespace::ErrCode_Failed;
const auto package = kezu_sim::PackageFraming::encode;

// The first 14 bytes of a package that claims the length: marker, length, type, two more.
std::string cut(int32_t length) {
    return kezu_sim::PackageFraming::encodeWithLength(length, 9, "").substr(0, 14);
}

// A package of type 9 cut after 20 bytes of its body, claiming the length.
std::string cutAfterTwentyBytes(int32_t length) {
    return kezu_sim::PackageFraming::encodeWithLength(length, 9, std::string(20, 'c'))
        .substr(0, 32);
}

// The single link-loss event delivered so far.
Delivery onlyDisconnectEvent(const RecordingClient &client) {
    const Delivery delivery = client.await(EVENT_TYPE, 0, WAIT);
    EXPECT_FALSE(client.waitFor(EVENT_TYPE, 2, 300ms));  // one event, not one per pass
    EXPECT_TRUE(isLinkLoss(delivery));
    return delivery;
}

// A client linked to a raw peer that the test drives byte by byte.
class ClientLink : public ::testing::Test, protected LinkedClient {
protected:
    // Links get descriptors beyond a select set's reach, as in a process with many files.
    static void SetUpTestSuite() {
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        for (int fd = 0; limit.rlim_cur > 1200 && fd >= 0 && fd < 1100;) {
            fd = open("/dev/null", O_RDONLY);
        }
    }

    // Sends the bytes and waits for the package of the type that ends them.
    Delivery receive(const std::string &bytes, int32_t lastType) {
        EXPECT_TRUE(peer.send(bytes));
        return client->await(lastType, 0, WAIT);
    }
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
    bool sent = true;  // the peer's reset ends the second send at the latest
    for (int i = 0; i < 3 && sent; ++i) sent = client->sendPackage(4, std::string(100000, 'z'));
    EXPECT_FALSE(sent);
    release.set_value();
    EXPECT_TRUE(client->waitFor(EVENT_TYPE, 1, WAIT));
}

// A cut package whose claim holds a whole one and a second cut package, in one receive: both
// are refused at the stall; then garbage, a start marker cut in two on the link and a package
// with an empty body: the two whole packages are handed over.
TEST_F(ClientLink, CutPackagesGarbageAndSplitMarkerLeaveTheWholePackages) {
    ASSERT_TRUE(peer.send(cut(5000) + package(43, "inside") + package(44, "tail").substr(0, 10)));
    EXPECT_EQ(client->await(43, 0, WAIT).body, "inside");
    const std::string bytes = "\x01\xEE" + package(13, "");
    ASSERT_TRUE(peer.send(bytes.substr(0, 4)));
    std::this_thread::sleep_for(200ms);  // the gap under test
    const Delivery delivery = receive(bytes.substr(4), 13);
    EXPECT_EQ(delivery.contentLength, 4);
    EXPECT_NE(delivery.socketFd, -1);
    EXPECT_EQ(client->deliveries().size(), 2u);
}

// The stream stalls for the receive time-out, or the peer closes, inside a start marker, a
// length field or a body: the stage it stopped in logs its line and those of all later stages,
// and a refused package names the cause. What comes after a stall is read afresh.
struct StallCase {
    const char *name;
    std::string bytes;
    bool close;
    std::vector<std::string> lines;
    bool continued = false;  // the bytes begin the package that comes after the stall
};

const char *const HEADER_LINE = "sdk communication log: Recv Header error.";
const char *const LENGTH_LINE = "sdk communication log: Recv lengthBlock error.";
const char *const TEXT_LINE = "sdk communication log:  Recv text block error.";

// clang-format off
const StallCase STALLS[] = {
    {"InsideAStartMarker", "\xEE\xCC", false, {HEADER_LINE, LENGTH_LINE, TEXT_LINE}},
    {"InsideALengthField", cut(30).substr(0, 6), false, {LENGTH_LINE, TEXT_LINE}},
    {"InsideABody", cut(30), false,
     {TEXT_LINE, "sdk communication log: Refused package length 30 cut by a stall."}},
    // The rest of the start marker comes after the stall: the package is read whole.
    {"AfterOneByteOfAStartMarker", package(21, "after").substr(0, 1), false,
     {HEADER_LINE, LENGTH_LINE, TEXT_LINE}, true},
    {"AfterThreeBytesOfAStartMarker", package(21, "after").substr(0, 3), false,
     {HEADER_LINE, LENGTH_LINE, TEXT_LINE}, true},
    {"ClosedInsideABody", cut(30), true,
     {TEXT_LINE, "sdk communication log: Refused package length 30 cut by the peer's close."}},
    // A refused length covers its head alone: what follows it is garbage and a stage again.
    {"InsideAStartMarkerAfterARefusedLength",
     cut(5).substr(0, 8) + "garbage" + "\xEE\xCC",
     false,
     {"sdk communication log: Refused package length 5.", HEADER_LINE, HEADER_LINE, LENGTH_LINE,
      TEXT_LINE}},
};
// clang-format on

void PrintTo(const StallCase &c, std::ostream *out) { *out << c.name; }

class Stall : public ClientLink, public ::testing::WithParamInterface<StallCase> {};

TEST_P(Stall, LogsItsStageAndTheLaterOnesThenReadsAfresh) {
    TraceCapture trace;
    auto readerLines = [&trace] {
        std::vector<std::string> lines;
        for (const std::string &line : trace.messages()) {
            if (line.find(" Recv ") != std::string::npos ||
                line.find("Refused") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    };
    ASSERT_TRUE(peer.send(GetParam().bytes));
    if (GetParam().close) peer.closeConnection();
    const std::vector<std::string> &expected = GetParam().lines;
    // The last line comes once the time-out has passed; nothing follows it, also not when the
    // first bytes of a start marker wait on through another time-out.
    EXPECT_TRUE(eventually([&] { return readerLines().size() >= expected.size(); }, WAIT));
    std::this_thread::sleep_for(GetParam().continued ? 2500ms : 100ms);
    EXPECT_EQ(readerLines(), expected);
    if (!GetParam().close) {
        const std::string after = package(21, "after");
        const size_t begun = GetParam().continued ? GetParam().bytes.size() : 0;
        EXPECT_EQ(receive(after.substr(begun), 21).body, "after");
        EXPECT_EQ(client->deliveries().size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Stall, ::testing::ValuesIn(STALLS),
                         [](const ::testing::TestParamInfo<StallCase> &info) {
                             return std::string(info.param.name);
                         });

// Leading bytes, then whole packages that the reader must still find in order. A package whose
// claim ends where a package inside it ends, or, unless it ends in the controller's trailer,
// holds the start of a package running past its end, is refused and logged once; the packages
// among the bytes it claimed still arrive. A package whose body quotes whole packages or the
// head of a longer one arrives whole, however the receives part the lead.
struct LeadCase {
    const char *name;
    std::string lead;
    std::string leadDelivers;  // what of the lead is handed over
    long refused;
    std::vector<size_t> splits = {};  // where the lead is parted into receives of its own
};

std::string withTrailer(std::string bytes, const char *trailer) {
    return bytes.replace(bytes.size() - 8, 8, trailer, 8);
}

const std::string ARRIVAL = package(22, "at target");
const std::string QUOTE = "log: " + ARRIVAL;
const std::string TWO_QUOTES = QUOTE + package(23, "stopped");
const std::string JOINTS = package(3, "joints");
// The head of an event package claiming 64 bytes, as a dump cut short shows it.
const std::string QUOTED_HEAD =
    kezu_sim::PackageFraming::encodeWithLength(64, EVENT_TYPE, "").substr(0, 12);
// A negative number in a body: nine FF bytes.
const std::string NEGATIVE = "neg:" + std::string(9, '\xFF') + "\x01 tail";

// Its claim ends inside the next body, past the end of an arrival quoted there.
const std::string PAST_A_QUOTE = cut(55) + package(30, "log: " + ARRIVAL + " and more text");

// clang-format off
const LeadCase LEADS[] = {
    {"CheckFieldIgnored", withTrailer(package(6, "abc"), "\x12\x34\x56\x78\xFF\xFF\xFF\xFF"),
     "6:abc,", 0},
    {"EndMarkersOfZeros", withTrailer(package(6, "abc"), "\0\0\0\0\0\0\0\0") +
                              withTrailer(package(7, ""), "\0\0\0\0\0\0\0\0"),
     "6:abc,7:,", 0},
    {"ClaimsMoreThanItHolds", cut(200), "", 1},
    // Its claim ends inside the next package, short of that one's end marker.
    {"ClaimEndsInsideTheNextPackage", cut(20), "", 1},
    // Its claim ends on the end marker of the second package after it.
    {"ClaimEndsOnALaterEndMarker", cut(14 + 21 + 21 - 8), "", 1},
    {"NestedCutPackages", cut(200) + cut(100), "", 2},
    {"GarbageThenCutPackage", "xyz\xEE\xCC" + cut(200), "", 1},
    // Its claim ends on the end marker of the arrival right after it.
    {"ClaimEndsOnTheNextArrivalsEndMarker", cut(static_cast<int32_t>(6 + ARRIVAL.size())) + ARRIVAL,
     "22:at target,", 1},
    // Its claim ends one, or three, bytes into the start marker of the package after it: by its
    // bytes it is a package whose end marker ends so, handed out whole, and the package it cuts
    // into is lost, as by its length alone.
    {"ClaimEndsOneByteIntoTheNextStartMarker", cutAfterTwentyBytes(25) + package(39, "lost"),
     "9:" + std::string(13, 'c') + ",", 0},
    {"ClaimEndsThreeBytesIntoTheNextStartMarker", cutAfterTwentyBytes(27) + package(39, "lost"),
     "9:" + std::string(15, 'c') + ",", 0},
    // The last package starting inside the claim ends before it: by its bytes the claim is a
    // package whose body quotes that one, handed out whole; the package it cuts into is lost.
    {"ClaimEndsPastAPackageQuotedInTheNextBody", PAST_A_QUOTE,
     "9:" + PAST_A_QUOTE.substr(12, 43) + ",", 0},
    // Once the whole start marker, or the whole head, is inside, the claim ends inside it.
    {"ClaimEndsRightAfterTheNextStartMarker", cutAfterTwentyBytes(28), "", 1},
    {"ClaimEndsRightAfterTheNextPackagesHead", cutAfterTwentyBytes(32), "", 1},
    // Its claim ends on FF FF FF FF inside a later package's body.
    {"ClaimEndsOnFFBytesInsideALaterBody",
     cut(static_cast<int32_t>(26 + JOINTS.size())) + JOINTS + package(3, NEGATIVE),
     "3:joints,3:" + NEGATIVE + ",", 1},
    {"BodyQuotesAPackage", package(30, QUOTE + " seen"), "30:" + QUOTE + " seen,", 0},
    {"BodyQuotesTwoPackages", package(30, TWO_QUOTES + "."), "30:" + TWO_QUOTES + ".,", 0},
    {"BodyEndsWithAQuotedPackage", package(30, QUOTE), "30:" + QUOTE + ",", 0},
    {"BodyQuotesAPackageEndMarkerOfZeros", withTrailer(package(30, QUOTE), "\0\0\0\0\0\0\0\0"),
     "30:" + QUOTE + ",", 0},
    {"BodyQuotesAPackageSplitAfterIt", package(30, QUOTE + " seen"), "30:" + QUOTE + " seen,", 0,
     {12 + QUOTE.size()}},
    {"BodyQuotesTwoPackagesSplitAfterThem", package(30, TWO_QUOTES + "."),
     "30:" + TWO_QUOTES + ".,", 0, {12 + TWO_QUOTES.size()}},
    {"BodyEndsWithAQuotedPackageSplitAfterIt", package(30, QUOTE), "30:" + QUOTE + ",", 0,
     {12 + QUOTE.size()}},
    // A receive of whole packages inside a claim is no sign that the claim lies.
    {"BodyQuotesTwoArrivalsPartedAroundThem", package(30, "x" + ARRIVAL + ARRIVAL + "y"),
     "30:x" + ARRIVAL + ARRIVAL + "y,", 0, {13, 13 + 2 * ARRIVAL.size()}},
    {"BodyEndsWithAQuotedHead", package(26, "dump: " + QUOTED_HEAD), "26:dump: " + QUOTED_HEAD + ",",
     0},
    {"BodyQuotesAHeadMidText", package(26, "dump: " + QUOTED_HEAD + " cut short"),
     "26:dump: " + QUOTED_HEAD + " cut short,", 0},
};
// clang-format on

void PrintTo(const LeadCase &c, std::ostream *out) { *out << c.name; }

class Lead : public ClientLink, public ::testing::WithParamInterface<LeadCase> {};

TEST_P(Lead, LeavesTheWholePackagesInOrder) {
    TraceCapture trace;
    std::string bytes = GetParam().lead, expected = GetParam().leadDelivers, order;
    for (int i = 0; i < 30; ++i) {
        bytes += package(40 + i % 3, std::to_string(i));
        expected += std::to_string(40 + i % 3) + ":" + std::to_string(i) + ",";
    }
    size_t sent = 0;
    if (!GetParam().splits.empty()) peer.noDelay();
    for (size_t split : GetParam().splits) {
        ASSERT_TRUE(peer.send(bytes.substr(sent, split - sent)));
        sent = split;
        std::this_thread::sleep_for(100ms);  // each part is received alone
    }
    ASSERT_TRUE(peer.send(bytes.substr(sent)));
    client->await(42, 9, WAIT);
    for (const Delivery &delivery : client->deliveries()) {
        order += std::to_string(delivery.commandType) + ":" + delivery.body + ",";
    }
    EXPECT_EQ(order, expected);
    const std::vector<std::string> lines = trace.messages();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string &line) {
                                return line.find("Refused package") != std::string::npos;
                            }),
              GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(Cases, Lead, ::testing::ValuesIn(LEADS),
                         [](const ::testing::TestParamInfo<LeadCase> &info) {
                             return std::string(info.param.name);
                         });

// A large body, alone or behind a lead-in in the same stream (then it does not start at the
// front of what the client has received so far): a whole package, or a cut one that claims
// the largest length, so that the large one is found only after the claim is refused.
struct LargeCase {
    std::string leadIn;
    size_t leadPackages;
    size_t body;
};

class LargeBody : public ClientLink, public ::testing::WithParamInterface<LargeCase> {};

TEST_P(LargeBody, ArrivesWhole) {
    std::string body(GetParam().body, '\0');
    // Neighbours differ, so the body holds no marker.
    std::generate(body.begin(), body.end(),
                  [n = 7]() mutable { return static_cast<char>(n += 31); });
    const std::string bytes = GetParam().leadIn + package(15, body);
    std::thread writer([&] { EXPECT_TRUE(peer.send(bytes)); });
    EXPECT_TRUE(client->await(15, 0, WAIT).body == body);
    writer.join();
    EXPECT_EQ(client->deliveries(14).size(), GetParam().leadPackages);
}

// Larger than the socket queue, and a length field that fills the whole receive buffer.
const size_t LARGEST = RobotCommunicationClient::RECV_BUFFER_SIZE - 12;
INSTANTIATE_TEST_SUITE_P(
    Sizes, LargeBody,
    ::testing::Values(LargeCase{"", 0, 700 * 1024}, LargeCase{"", 0, LARGEST},
                      LargeCase{package(14, std::string(5000, 'l')), 1, LARGEST},
                      LargeCase{cut(RobotCommunicationClient::RECV_BUFFER_SIZE), 0, LARGEST}));

// Every byte in a segment of its own: each field arrives cut at every point.
TEST_F(ClientLink, PackagesSentByteByByteArriveWhole) {
    peer.noDelay();
    // The cut package's claim ends on the start marker of the last one.
    const std::string bytes =
        package(16, "first") + "\xEE" + cut(30) + package(17, "") + package(18, "x");
    for (char byte : bytes) {
        ASSERT_TRUE(peer.send(std::string(1, byte)));
    }
    EXPECT_EQ(client->await(18, 0, WAIT).body, "x");
    ASSERT_EQ(client->deliveries().size(), 3u);
    EXPECT_EQ(client->deliveries()[0].body, "first");
    EXPECT_EQ(client->deliveries()[1].contentLength, 4);
}

// The receive time-out counts from the last byte, not from the start of the package.
TEST_F(ClientLink, PackageWhoseGapsStayUnderTheTimeOutArrives) {
    const std::string bytes = package(19, "slow");
    ASSERT_TRUE(peer.send(bytes.substr(0, 6)));
    std::this_thread::sleep_for(1400ms);  // the gaps under test
    ASSERT_TRUE(peer.send(bytes.substr(6, 10)));
    std::this_thread::sleep_for(1400ms);
    EXPECT_EQ(receive(bytes.substr(16), 19).body, "slow");
}

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

// A second link, from another thread or from the live link's callback (whose thread would go
// on reading beside a new one), is refused; after a link loss the callback may connect (see
// the link fault cases).
TEST_F(ClientLink, ConnectWhileLinkedIsRefusedAndTheLinkStays) {
    int fromCallback = -1;
    client->setOnDelivery([&](const Delivery &) { fromCallback = client->connectRobotServer(); });
    EXPECT_EQ(client->connectRobotServer(), FAILED);
    receive(package(44, ""), 44);
    EXPECT_EQ(fromCallback, FAILED);
    EXPECT_FALSE(peer.connectionPending(200ms));
    EXPECT_EQ(receive(package(45, "still"), 45).body, "still");
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

TEST_F(ClientLink, DestroyingAConnectedClientIsPrompt) {
    const auto start = Clock::now();
    client.reset();
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_EQ(peer.read(1, WAIT), "");
}

TEST_F(ClientLink, LogoutFromInsideACallbackEndsTheLink) {
    client->setOnDelivery([&](const Delivery &) { client->disconnectRobotServer(); });
    receive(package(42, "bye"), 42);  // the wait ends only once the callback has returned
    EXPECT_FALSE(client->getCurrentConnectStatus());
    EXPECT_EQ(peer.read(1, WAIT), "");
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

// The blocking package reader a derived class may call on a descriptor of its own.
class BlockingReader : public RobotCommunicationClient {
public:
    void responseProcess(int, const char *, int) override {}
    using RobotCommunicationClient::recvRobotCommunicationPackage;
};

TEST(BlockingReader, SkipsGarbageAndRefusedLengthsAndReportsPeerClose) {
    int fds[2];
    ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
    timeval bound{5, 0};
    setsockopt(fds[0], SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof(bound));
    std::string refused = package(7, "");
    refused[4] = 11;  // below the smallest length field
    const std::string bytes = "\x01\xEE\xCC" + package(7, "abc") + refused + package(9, "xy");
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(fds[1], bytes.data(), bytes.size()));
    close(fds[1]);
    BlockingReader reader;
    std::vector<char> buffer(64);
    auto next = [&] { return reader.recvRobotCommunicationPackage(fds[0], buffer.data(), 64); };
    ASSERT_EQ(15, next());  // type, body, check field, end marker
    EXPECT_EQ(7, buffer[0]);
    EXPECT_EQ("abc", std::string(buffer.data() + 4, 3));
    EXPECT_GE(8, next());  // the refused package yields nothing usable
    int ret = next();
    while (ret > 0 && ret <= 8) ret = next();  // what is left of the refused package
    ASSERT_EQ(14, ret);
    EXPECT_EQ(9, buffer[0]);
    EXPECT_EQ(0, next());
    close(fds[0]);
}
