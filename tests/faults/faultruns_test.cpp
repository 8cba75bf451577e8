// A facade against a controller that misbehaves: the link closes under a blocking move, bytes
// arrive as garbage, in pieces or with wrong length fields, the controller never answers,
// answers too late or restarts. Every call must end, with its documented code, while replies
// of other command types keep arriving; nothing may leak over many sessions.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "controllerframing.h"
#include "controllerstate.h"
#include "kezucontroller.h"
#include "loggedinservices.h"
#include "processprobe.h"
#include "rawpeer.h"
#include "serviceinterface.h"

namespace kz = kezu_robot_namespace;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

enum Command { kMove = 22, kSetWorkMode = 33, kGetWorkMode = 34, kGetDeviceInfo = 38 };
constexpr int kMarkerEvent = kz::RobotEvent_User;

// Generous bounds: they only turn a hang into a failure.
constexpr auto kCallBound = 5s;
// A reply wait is 0.8 s; a call that gives up must do so close to it.
constexpr auto kReplyWaitSlack = 1500ms;

// Every robot event the facade hands to its user.
class EventLog {
public:
    static void record(const kz::RobotEventInfo *event, void *arg) {
        auto *log = static_cast<EventLog *>(arg);
        std::lock_guard<std::mutex> lock(log->m_mutex);
        log->m_types.push_back(event->eventType);
        log->m_changed.notify_all();
    }
    bool waitFor(int type, size_t count = 1, std::chrono::milliseconds bound = 5000ms) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, bound, [&] { return countLocked(type) >= count; });
    }
    size_t count(int type) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return countLocked(type);
    }

private:
    size_t countLocked(int type) const {
        size_t n = 0;
        for (int t : m_types) n += t == type ? 1 : 0;
        return n;
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_types;
};

// True when the call ends within the bound; otherwise a failure, and unblock makes the call end
// so that the test does not wait on it for good.
template <typename T>
bool endsWithin(std::future<T> &call, const std::function<void()> &unblock) {
    if (call.wait_for(kCallBound) == std::future_status::ready) return true;
    ADD_FAILURE() << "call still running after " << kCallBound.count() << " s";
    unblock();
    return false;
}

kz::JointParam jointParam(const kezu_sim::Joints &joints) {
    kz::JointParam param{};
    std::copy(joints.begin(), joints.end(), param.jointPos);
    return param;
}

class FaultRun : public ::testing::Test {
protected:
    void SetUp() override {
        facade_.reset(new ServiceInterface);
        ASSERT_EQ(0,
                  facade_->robotServiceRegisterRobotEventInfoCallback(&EventLog::record, &events_));
        ASSERT_EQ(0, facade_->robotServiceInitGlobalMoveProfile());
        startController(kezu_test::quickControllerConfig());
        ASSERT_EQ(0, login());
        controller_->setJoints({0.1, -0.2, 0.3, -0.4, 0.5, -0.6});
    }
    void TearDown() override {
        facade_.reset();
        controller_.reset();
    }

    void startController(const kezu_sim::ControllerConfig &config) {
        controller_.reset(new kezu_sim::KezuController(config));
        ASSERT_TRUE(controller_->start());
    }
    int login() {
        return facade_->robotServiceLogin("127.0.0.1", controller_->port(), "kezu", "1");
    }
    // Leaves the current counterpart cleanly, so that it reports no link loss.
    void restartWith(const kezu_sim::ControllerConfig &config) {
        ASSERT_EQ(0, facade_->robotServiceLogout());
        startController(config);
        ASSERT_EQ(0, login());
    }

    // Calls that outlive the bound fail the test; the link is then closed so that they end.
    template <typename T>
    bool endsInTime(std::future<T> &call) {
        return endsWithin(call, [this] { controller_->closeConnectionsNow(); });
    }
    template <typename F>
    int bounded(F call) {
        auto result = std::async(std::launch::async, call);
        endsInTime(result);
        return result.get();
    }

    // A joint-angle read that must return what the controller holds.
    void expectJointAnglesRead() {
        kz::JointParam read{};
        ASSERT_EQ(0, facade_->robotServiceGetJointAngleInfo(read));
        const kezu_sim::Joints held = controller_->joints();
        for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(held[i], read.jointPos[i]) << "joint " << i;
    }

    // A target a short travel away from where the simulated arm stands.
    kezu_sim::Joints nearby() {
        kezu_sim::Joints joints = controller_->joints();
        joints[0] += 0.01;
        return joints;
    }

    int blockingMove(const kezu_sim::Joints &target) {
        kz::JointParam joints = jointParam(target);
        return facade_->robotServiceJointMove(joints.jointPos, true);
    }

    EventLog events_;
    std::unique_ptr<kezu_sim::KezuController> controller_;
    std::unique_ptr<ServiceInterface> facade_;
};

/* Link closed under a blocking move */

TEST_F(FaultRun, PeerCloseDuringBlockingMoveEndsItWith10004AndALoginAfterWorks) {
    using Fault = std::function<void(kezu_sim::KezuController &)>;
    const Fault nothing = [](kezu_sim::KezuController &) {};
    // Armed before the move is sent, or done once the controller has it.
    const struct {
        const char *name;
        Fault before;
        Fault during;
    } cases[] = {
        {"right after the move is acknowledged",
         [](kezu_sim::KezuController &c) { c.closeOnNextMove(); }, nothing},
        {"while the arm travels", nothing,
         [](kezu_sim::KezuController &c) {
             ASSERT_TRUE(c.waitForPackages(kMove, 1, 3000ms));
             c.closeConnectionsNow();
         }},
    };
    kezu_sim::ControllerConfig slow = kezu_test::quickControllerConfig();
    slow.travelScale = 30;  // 1 rad takes 30 s: the move is still under way when the link goes
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        restartWith(slow);
        ASSERT_FALSE(HasFatalFailure());
        const size_t lossesBefore = events_.count(kz::RobotEvent_socketDisconnected);
        c.before(*controller_);
        auto move = std::async(std::launch::async, [&] {
            return blockingMove({1, 1, 1, 1, 1, 1});
        });
        c.during(*controller_);
        ASSERT_TRUE(endsInTime(move));
        EXPECT_EQ(kz::ErrCode_SocketDisconnect, move.get());
        EXPECT_TRUE(events_.waitFor(kz::RobotEvent_socketDisconnected, lossesBefore + 1));

        kz::RobotWorkMode mode;
        const auto before = Clock::now();
        EXPECT_EQ(kz::ErrCode_SocketDisconnect, facade_->robotServiceGetRobotWorkMode(mode));
        EXPECT_LT(Clock::now() - before, 300ms) << "a request on a lost link sends nothing";

        ASSERT_EQ(0, login());
        // The slow arm would take long to arrive: the acknowledged request shows the link works.
        expectJointAnglesRead();
        kz::JointParam joints = jointParam(nearby());
        EXPECT_EQ(0, facade_->robotServiceJointMove(joints.jointPos, false));
        EXPECT_EQ(lossesBefore + 1, events_.count(kz::RobotEvent_socketDisconnected));
    }
}

/* Bytes that are not packages */

TEST_F(FaultRun, GarbageBeforeARequestsReplyIsSkipped) {
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char &c : noise) c = static_cast<char>(random() % 0xEE);  // never a start marker byte
    const std::string cases[] = {
        std::string("\x00", 1),
        "\xEE",
        "\xEE\xCC\xFF",                      // a start marker cut short, then the real one
        "\xEE\xEE\xCC\xCC\xFF",              // marker bytes out of order
        "\xFF\xFF\xFF\xFF\x00\x00\x00\x00",  // the trailer of a package that never began
        noise,
        std::string(70000, '\xFF'),  // more than one read of the reader
    };
    for (const std::string &garbage : cases) {
        SCOPED_TRACE(garbage.size());
        controller_->sendGarbageBeforeNextPackage(garbage);
        expectJointAnglesRead();
    }
    kz::RobotWorkMode mode;
    EXPECT_EQ(0, facade_->robotServiceGetRobotWorkMode(mode));
}

// A reply that arrives in pieces, split inside each of its fields, is read whole.
TEST_F(FaultRun, ReplySplitAcrossManySegmentsIsReadWhole) {
    kezu_sim::ControllerState twin((kezu_sim::ControllerConfig()));
    twin.setJoints({0.7, 0.6, 0.5, 0.4, 0.3, 0.2});
    kezu_sim::Session session;
    const kezu_sim::Outcome outcome = twin.handle(10, "", session, 0, Clock::now());
    ASSERT_TRUE(outcome.reply);
    const std::string package = kezu_sim::PackageFraming::encode(10, outcome.body);
    const size_t cuts[] = {2, 6, 10, 13, package.size() - 6, package.size()};

    controller_->setReplyFault(10, kezu_sim::ReplyFault(0ms, true));
    auto read = std::async(std::launch::async, [&] {
        kz::JointParam joints{};
        const int result = facade_->robotServiceGetJointAngleInfo(joints);
        return std::make_pair(result, joints);
    });
    ASSERT_TRUE(controller_->waitForPackages(10, 1, 3000ms));
    size_t from = 0;
    for (size_t cut : cuts) {
        controller_->sendRaw(package.substr(from, cut - from));
        from = cut;
        std::this_thread::sleep_for(20ms);  // the pause between the pieces is the fault itself
    }
    ASSERT_TRUE(endsInTime(read));
    const auto got = read.get();
    ASSERT_EQ(0, got.first);
    for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(twin.joints()[i], got.second.jointPos[i]);
    controller_->clearReplyFaults();
    expectJointAnglesRead();
}

// A length field out of range, or in range but wrong: the package is refused (the pushes bring
// the bytes a wrong one claims, so its missing end marker shows) and no reply after it is lost;
// nor does a short package of another type leave a reply for a later request of that type.
TEST_F(FaultRun, PackageWithAWrongLengthFieldCostsNoReply) {
    kz::RobotDevInfo info{};
    ASSERT_EQ(0, facade_->robotServiceGetRobotDevInfoService(info));
    ASSERT_EQ(0, facade_->robotServiceSetRealTimeJointStatusPush(true));
    for (int32_t length :
         {0, 4, 11, -1, INT32_MIN, 1048577, 16 * 1024 * 1024, INT32_MAX, 12, 16, 120, 400}) {
        SCOPED_TRACE(length);
        controller_->sendBadLengthPackage(length, kGetDeviceInfo, std::string(30, 'b'));
        expectJointAnglesRead();
        kz::RobotDevInfo again{};
        ASSERT_EQ(0, facade_->robotServiceGetRobotDevInfoService(again));
        EXPECT_EQ(std::string(info.revision, sizeof(info.revision)),
                  std::string(again.revision, sizeof(again.revision)));
    }
}

/* Controllers that do not answer, or answer late */

TEST(HungController, CallsEndWith10007AndLogoutReturnsPromptly) {
    kezu_test::RawPeer peer;
    ServiceInterface facade;
    auto login = std::async(std::launch::async, [&] {
        return facade.robotServiceLogin("127.0.0.1", peer.port(), "k", "1");
    });
    ASSERT_TRUE(peer.accept(3000ms));
    ASSERT_TRUE(endsWithin(login, [&] { peer.closeConnection(); }));
    EXPECT_EQ(kz::ErrCode_RequestTimeout, login.get());
    bool connected = false;
    facade.robotServiceGetConnectStatus(connected);
    EXPECT_TRUE(connected);

    auto read = [&] {
        kz::JointParam joints{};
        return facade.robotServiceGetJointAngleInfo(joints);
    };
    auto move = [&] {
        double joints[6] = {0.1, 0, 0, 0, 0, 0};
        return facade.robotServiceJointMove(joints, true);
    };
    for (const std::function<int()> &call :
         {std::function<int()>(read), std::function<int()>(move)}) {
        const auto start = Clock::now();
        auto result = std::async(std::launch::async, call);
        ASSERT_TRUE(endsWithin(result, [&] { peer.closeConnection(); }));
        EXPECT_EQ(kz::ErrCode_RequestTimeout, result.get());
        EXPECT_LT(Clock::now() - start, kReplyWaitSlack);
    }
    const auto start = Clock::now();
    EXPECT_EQ(0, facade.robotServiceLogout());
    EXPECT_LT(Clock::now() - start, 1000ms);
}

TEST_F(FaultRun, LateReplyTimesOutWithoutHoldingUpOtherTypesAndIsNeverTakenForALaterOne) {
    kezu_sim::ReplyFault late(1500ms);
    late.eventBefore = kezu_sim::ControllerEvent{kMarkerEvent, 0, "late reply follows"};
    controller_->setReplyFault(kGetWorkMode, late);

    std::atomic<bool> waiting{true};
    std::atomic<int> otherReads{0};
    auto others = std::async(std::launch::async, [&] {
        while (waiting) {
            kz::JointParam joints{};
            if (facade_->robotServiceGetJointAngleInfo(joints) != 0) return false;
            ++otherReads;
        }
        return true;
    });
    kz::RobotWorkMode mode = kz::RobotModeSimulator;
    const auto start = Clock::now();
    EXPECT_EQ(kz::ErrCode_RequestTimeout, facade_->robotServiceGetRobotWorkMode(mode));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 700ms);
    EXPECT_LT(waited, kReplyWaitSlack);
    waiting = false;
    ASSERT_TRUE(endsInTime(others));
    EXPECT_TRUE(others.get()) << "a reply of another type was lost";
    EXPECT_GT(otherReads.load(), 2);

    controller_->clearReplyFaults();
    ASSERT_EQ(0, facade_->robotServiceSetRobotWorkMode(kz::RobotModeReal));
    // The late reply follows its marker on the link; once a later reply of another type is in,
    // the late one sits in its slot and the next request of its type must not take it.
    ASSERT_TRUE(events_.waitFor(kMarkerEvent));
    expectJointAnglesRead();
    ASSERT_EQ(0, facade_->robotServiceGetRobotWorkMode(mode));
    EXPECT_EQ(kz::RobotModeReal, mode);
}

/* Controller restart */

TEST_F(FaultRun, ControllerRestartReports27ThenRequestsGive10004UntilANewLogin) {
    kezu_sim::ControllerConfig slow = kezu_test::quickControllerConfig();
    slow.travelScale = 30;
    restartWith(slow);
    ASSERT_FALSE(HasFatalFailure());
    auto move = std::async(std::launch::async, [&] { return blockingMove({1, 1, 1, 1, 1, 1}); });
    ASSERT_TRUE(controller_->waitForPackages(kMove, 1, 3000ms));
    kz::RobotWorkMode mode;
    auto reads = std::async(std::launch::async, [&] {
        int result = 0;
        while (result == 0) result = facade_->robotServiceGetRobotWorkMode(mode);
        return result;
    });
    controller_->stop();

    ASSERT_TRUE(endsInTime(move));
    EXPECT_EQ(kz::ErrCode_SocketDisconnect, move.get());
    ASSERT_TRUE(endsInTime(reads));
    EXPECT_EQ(kz::ErrCode_SocketDisconnect, reads.get());
    EXPECT_TRUE(events_.waitFor(kz::RobotEvent_socketDisconnected));
    EXPECT_EQ(kz::ErrCode_SocketDisconnect, facade_->robotServiceGetRobotWorkMode(mode));
    bool connected = true;
    facade_->robotServiceGetConnectStatus(connected);
    EXPECT_FALSE(connected);

    startController(kezu_test::quickControllerConfig());
    ASSERT_EQ(0, login());
    EXPECT_EQ(0, facade_->robotServiceGetRobotWorkMode(mode));
    EXPECT_EQ(0, bounded([&] { return blockingMove(nearby()); }));
    EXPECT_EQ(1u, events_.count(kz::RobotEvent_socketDisconnected));
}

/* Resources over many sessions */

TEST_F(FaultRun, ThousandLoginLogoutCyclesKeepThreadsAndDescriptorsFlat) {
    ASSERT_EQ(0, facade_->robotServiceLogout());
    auto cycle = [&] {
        ASSERT_EQ(0, login());
        ASSERT_EQ(0, facade_->robotServiceLogout());
    };
    for (int i = 0; i < 20; ++i) cycle();
    ASSERT_TRUE(controller_->waitForOpenConnections(0, 3000ms));
    const size_t threads = kezu_test::threadCount();
    const size_t files = kezu_test::openFiles();
    for (int i = 0; i < 1000 && !HasFatalFailure(); ++i) cycle();
    ASSERT_TRUE(controller_->waitForOpenConnections(0, 3000ms));
    // The counterpart reaps a connection (thread and descriptor) after its close; allow it the
    // time. A leak would show as hundreds, not as one still being reaped.
    EXPECT_TRUE(kezu_test::eventually([&] { return kezu_test::threadCount() <= threads; }, 5000ms))
        << kezu_test::threadCount() << " threads, " << threads << " before";
    EXPECT_TRUE(kezu_test::eventually([&] { return kezu_test::openFiles() <= files; }, 5000ms))
        << kezu_test::openFiles() << " descriptors, " << files << " before";
    EXPECT_EQ(0u, events_.count(kz::RobotEvent_socketDisconnected));
}

}  // namespace
