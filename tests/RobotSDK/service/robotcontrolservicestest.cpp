#include <array>
#include <cmath>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "robotKinematics.h"
#include "robotmoveservice.h"
#include "robotutilservice.h"
#include "servicetests.h"

namespace {

using namespace kezu_robot_namespace;
using namespace servicetests;
using SdkWayPoint = kezu_robot_namespace::wayPoint_S;

// What the receivers saw, and on which threads: pushes count under their command type (3, 7,
// 11), events under kEvent + their type.
struct Receivers {
    static constexpr int kEvent = 100;

    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, int> seen;
    SdkWayPoint lastWaypoint{};
    std::set<std::thread::id> threads;
    std::function<void(const RobotEventInfo &)> onEvent;  // runs outside the lock

    static Receivers &of(void *arg) { return *static_cast<Receivers *>(arg); }
    void registerWith(RobotControlServices &s) {
        s.robotServiceRegisterRobotEventInfoCallbackService(
            [](const RobotEventInfo *info, void *arg) {
                std::unique_lock<std::mutex> lock(of(arg).mutex);
                const auto hook = of(arg).onEvent;
                lock.unlock();
                if (hook) hook(*info);
                of(arg).note(kEvent + info->eventType);
            },
            this);
        s.robotServiceRegisterRealTimeJointStatusCallbackService(
            [](const JointStatus *, int, void *arg) { of(arg).note(3); }, this);
        s.robotServiceRegisterRealTimeRoadPointCallbackService(
            [](const SdkWayPoint *point, void *arg) { of(arg).note(7, point); }, this);
        s.robotServiceRegisterRealTimeEndSpeedCallbackService(
            [](double, void *arg) { of(arg).note(11); }, this);
    }
    void note(int key, const SdkWayPoint *point = nullptr) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            threads.insert(std::this_thread::get_id());
            ++seen[key];
            if (point) lastWaypoint = *point;
        }
        changed.notify_all();
    }
    bool waitFor(int key, int count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kBound, [&] { return seen[key] >= count; });
    }
    int count(int key) {
        std::lock_guard<std::mutex> lock(mutex);
        return seen[key];
    }
};

class EngineTest : public kezu_test::LoggedInServicesTest {
protected:
    void beforeLogin(RobotControlServices &services) override { receivers.registerWith(services); }

    // Returns once every package the counterpart had sent before now has been handled: the
    // reply of a later request follows them on the link.
    void drainLink() {
        RobotState state;
        ASSERT_EQ(0, services().getRobotCurrentStateService(state));
    }

    Receivers receivers;
};

TEST_F(EngineTest, RequestWhileTheLinkIsDownGives10004WithoutSending) {
    RobotControlServices neverConnected;
    JointParam joints{};
    EXPECT_EQ(ErrCode_SocketDisconnect, neverConnected.getCurrentJointAngle(joints));
    ASSERT_EQ(0, services().logoutService());
    controller().clearReceived();
    EXPECT_EQ(ErrCode_SocketDisconnect, services().getCurrentJointAngle(joints));
    EXPECT_EQ(ErrCode_SocketDisconnect, services().collisionRecover());
    EXPECT_TRUE(controller().received().empty());
}

// A stale reply (late, or sent a second time) carries code 4; the next request of its type
// must get its own reply, not the stale one.
TEST_F(EngineTest, StaleRepliesAreDroppedByTheNextRequestOfTheirType) {
    const struct {
        milliseconds delay;
        bool twice;
        int firstResult;
    } cases[] = {{milliseconds(1000), false, ErrCode_RequestTimeout},
                 {milliseconds(0), true, ErrCode_RealRobotNoExist}};
    for (const auto &c : cases) {
        const int marker = Receivers::kEvent + RobotEvent_robotStartupPhase;
        const int markers = receivers.count(marker);
        kezu_sim::ReplyFault fault(c.delay, false, 4);
        fault.twice = c.twice;
        fault.eventBefore = kezu_sim::ControllerEvent{RobotEvent_robotStartupPhase, 0, "marker"};
        controller().setReplyFault(Cmd::CommunicationType_GetRobotJointAngle, fault);
        JointParam joints{};
        EXPECT_EQ(c.firstResult, services().getCurrentJointAngle(joints)) << c.twice;
        controller().clearReplyFaults();
        ASSERT_TRUE(receivers.waitFor(marker, markers + 1));
        drainLink();
        EXPECT_EQ(0, services().getCurrentJointAngle(joints)) << c.twice;
    }
}

TEST_F(EngineTest, PushesReachTheReceiversOnTheReceiveThread) {
    const double joints[ARM_DOF] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
    controller().setJoints({0.1, 0.2, 0.3, 0.4, 0.5, 0.6});
    ASSERT_EQ(0, services().setRealTimeJointStatusPush(true));
    ASSERT_EQ(0, services().setRealTimeJointAnglePush(true));
    ASSERT_EQ(0, services().setRealTimeEndSpeedPush(true));
    controller().sendEvent(RobotEvent_collision, 1, "push test");
    for (const int key : {3, 7, 11, Receivers::kEvent + RobotEvent_collision}) {
        ASSERT_TRUE(receivers.waitFor(key, 1)) << key;
    }
    std::lock_guard<std::mutex> lock(receivers.mutex);
    EXPECT_EQ(1u, receivers.threads.size());
    EXPECT_EQ(0u, receivers.threads.count(std::this_thread::get_id()));
    SdkWayPoint expected{};
    ASSERT_EQ(0, RobotUtilService::robotFk(joints, ARM_DOF, expected));
    EXPECT_DOUBLE_EQ(expected.cartPos.position.x, receivers.lastWaypoint.cartPos.position.x);
    EXPECT_DOUBLE_EQ(expected.orientation.w, receivers.lastWaypoint.orientation.w);
}

TEST_F(EngineTest, RequestFromACallbackTimesOutAndLogoutFromACallbackWorks) {
    std::promise<int> requestResult;
    std::unique_lock<std::mutex> lock(receivers.mutex);
    receivers.onEvent = [&](const RobotEventInfo &info) {
        JointParam joints{};
        if (info.eventType == RobotEvent_collision) {
            requestResult.set_value(services().getCurrentJointAngle(joints));
        } else if (info.eventType == RobotEvent_softEmergency) {
            services().logoutService();
        }
    };
    lock.unlock();
    controller().sendEvent(RobotEvent_collision, 0, "request inside");
    auto result = requestResult.get_future();
    ASSERT_EQ(std::future_status::ready, result.wait_for(kBound));
    EXPECT_EQ(ErrCode_RequestTimeout, result.get());
    drainLink();  // the link still serves requests afterwards

    controller().sendEvent(RobotEvent_softEmergency, 0, "logout inside");
    ASSERT_TRUE(controller().waitForOpenConnections(0, kBound));
    ASSERT_TRUE(receivers.waitFor(Receivers::kEvent + RobotEvent_softEmergency, 1));
    EXPECT_FALSE(services().getCurrentConnectStatus());
}

// Each event wait answered by an event the controller sends between the request and its
// reply: the reply is still delivered and the wait returns at once with the event's result.
TEST_F(EngineTest, EventBeforeTheReplyEndsTheEventWaitAtOnce) {
    ROBOT_SERVICE_STATE state = ROBOT_SERVICE_READY;
    auto handshake = [&] { return services().robotHandShakeService(true); };
    const struct {
        int command, event, code, result;
        std::function<int()> wait;
    } cases[] = {
        // clang-format off
        {Cmd::CommunicationType_RobotStartup, RobotEvent_robotStartupDoneResult, 5, 0, [&] { return services().robotStartupService({}, 6, true, false, 10, state, true); }},
        {Cmd::CommunicationType_RobotHandShake, RobotEvent_RobotHandShakeFailed, 0, ErrCode_ResponseReturnError, handshake},
        {Cmd::CommunicationType_RobotHandShake, RobotEvent_RobotHandShakeSucc, 0, 0, handshake},
        {Cmd::CommunicationType_RobotShutdown, RobotEvent_robotShutdownDone, 0, 0, [&] { return services().robotShutdownService(true); }},
        // clang-format on
    };
    for (const auto &c : cases) {
        kezu_sim::ReplyFault fault;
        fault.eventBefore = kezu_sim::ControllerEvent{c.event, c.code, "before the reply"};
        fault.withholdEvents = true;
        controller().setReplyFault(c.command, fault);
        EXPECT_EQ(c.result, c.wait()) << c.event;
    }
    EXPECT_EQ(ROBOT_SETVICE_FAULT_POWER, state);
}

// Holds the receive thread of a lost link after the link is down and before its waits are
// ended: the window in which another thread may log in again.
class HeldLinkLoss : public RobotControlServices {
public:
    void holdNextLoss() { hold_ = true; }
    bool waitHeld() {
        return waitUntil([this] { return held_.load(); });
    }
    void release() { released_ = true; }

protected:
    void linkLost() override {
        if (hold_.exchange(false)) {
            held_ = true;
            waitUntil([this] { return released_.load(); });
        }
        RobotControlServices::linkLost();
    }

private:
    std::atomic<bool> hold_{false}, held_{false}, released_{false};
};

// An event that came before the request does not answer it; with the controller silent,
// only the loss of the link ends the wait, and promptly, also when another login follows
// before the old link's receive thread has ended its waits. A reply wait ends the same way.
TEST_F(EngineTest, WaitsEndWith10004WhenTheirLinkGoes) {
    const struct {
        int commandType, earlierEvent;
        std::function<int(RobotControlServices &)> wait;
    } waits[] = {
        // clang-format off
        {Cmd::CommunicationType_RobotStartup, RobotEvent_robotStartupDoneResult, [](RobotControlServices &s) { ROBOT_SERVICE_STATE state; return s.robotStartupService({}, 6, true, false, 10, state, true); }},
        {Cmd::CommunicationType_RobotShutdown, RobotEvent_robotShutdownDone, [](RobotControlServices &s) { return s.robotShutdownService(true); }},
        {Cmd::CommunicationType_RobotHandShake, RobotEvent_RobotHandShakeSucc, [](RobotControlServices &s) { return s.robotHandShakeService(true); }},
        {Cmd::CommunicationType_GetRobotJointAngle, RobotEvent_robotStartupPhase, [](RobotControlServices &s) { JointParam joints; return s.getCurrentJointAngle(joints); }},
        {Cmd::CommunicationType_RobotMove, RobotEvent_atTrackTargetPos, [](RobotControlServices &s) { SdkWayPoint target{}; target.jointpos[0] = 1.0; return RobotMoveService(&s).robotJointMove(target, true); }},
        // clang-format on
    };
    enum Loss { kPeerClose, kLogout, kPeerCloseThenLogin };
    kezu_sim::ControllerConfig slowMoves = kezu_test::quickControllerConfig();
    slowMoves.travelScale = 30;
    for (const Loss loss : {kPeerClose, kLogout, kPeerCloseThenLogin}) {
        for (const auto &c : waits) {
            auto held = std::make_unique<HeldLinkLoss>();
            HeldLinkLoss &engine = *held;
            kezu_test::LoggedInServices session(slowMoves, nullptr, std::move(held));
            ASSERT_EQ(0, session.loginResult());
            kezu_sim::KezuController &controller = session.controller();
            kezu_sim::ReplyFault silent;
            silent.withholdEvents = true;
            silent.drop = c.commandType == Cmd::CommunicationType_GetRobotJointAngle;
            controller.setReplyFault(c.commandType, silent);
            controller.sendEvent(c.earlierEvent, 0, "too early");
            RobotState state;
            ASSERT_EQ(0, engine.getRobotCurrentStateService(state));
            auto result = inBackground([&] { return c.wait(engine); });
            ASSERT_TRUE(controller.waitForPackages(c.commandType, 1, kBound));
            ASSERT_EQ(0, engine.getRobotCurrentStateService(state));  // past its reply
            if (loss == kLogout) {
                engine.logoutService();
            } else {
                if (loss == kPeerCloseThenLogin) engine.holdNextLoss();
                controller.closeConnectionsNow();
            }
            if (loss == kPeerCloseThenLogin) {
                ASSERT_TRUE(engine.waitHeld());
                EXPECT_EQ(0, engine.loginService("127.0.0.1", controller.port(), "kezu", "1"));
                engine.release();
                // Events on the new link while the old thread posts its link-loss event.
                controller.sendEvent(RobotEvent_robotStartupPhase, 0, "new link");
                EXPECT_EQ(0, engine.getRobotCurrentStateService(state));
            }
            EXPECT_EQ(ErrCode_SocketDisconnect, ended(result)) << c.commandType << " " << loss;
        }
    }
}

// Only a reply wakes a reply wait: any other wake-up of its condition waits on.
class SlotProbe : public RobotControlServices {
public:
    void wakeReplyWaiter(int type) {
        CommunicationResponse &slot = m_robotCommandResponseSet[type];
        pthread_mutex_lock(&slot.m_mutex);
        pthread_cond_broadcast(&slot.m_conditon);
        pthread_mutex_unlock(&slot.m_mutex);
    }
};

TEST(ReplyWait, SpuriousWakeUpsWaitOnForTheReply) {
    kezu_sim::KezuController controller(kezu_test::quickControllerConfig());
    ASSERT_TRUE(controller.start());
    SlotProbe services;
    ASSERT_EQ(0, services.loginService("127.0.0.1", controller.port(), "kezu", "123456"));
    controller.setReplyFault(Cmd::CommunicationType_GetRobotJointAngle,
                             kezu_sim::ReplyFault(milliseconds(300)));
    std::atomic<bool> done(false);
    auto result = inBackground([&] {
        JointParam joints{};
        const int r = services.getCurrentJointAngle(joints);
        done = true;
        return r;
    });
    ASSERT_TRUE(controller.waitForPackages(Cmd::CommunicationType_GetRobotJointAngle, 1, kBound));
    while (!done) {
        services.wakeReplyWaiter(Cmd::CommunicationType_GetRobotJointAngle);
        std::this_thread::yield();
    }
    EXPECT_EQ(0, result.get());
    services.logoutService();
}

// The DH lengths are process-wide, so this runs in a child process of its own: a login whose
// controller reports a length that is not finite fails with 10010 and installs nothing; then two
// logins at once install one model's lengths; a later login of a third model keeps them.
void loginsInstallTheLengthsOnce() {
    TraceCapture capture;
    auto installedA3 = [] {
        std::array<double, 6> dh{};
        getDhPara(dh[0], dh[1], dh[2], dh[3], dh[4], dh[5]);
        return dh[0];
    };
    auto login = [](int type, double a3) {
        return std::async(std::launch::async, [=] {
            kezu_sim::ControllerConfig config = kezu_test::quickControllerConfig();
            config.robotType = type;
            config.dh[0] = a3;
            return std::make_unique<kezu_test::LoggedInServices>(config);
        });
    };
    auto near = [](double value, double expected) { return std::abs(value - expected) < 1e-6; };
    auto count = [&capture](const char *text) {
        const Strings lines = capture.messages();
        return std::count_if(lines.begin(), lines.end(), [text](const std::string &line) {
            return line.find(text) != std::string::npos;
        });
    };
    const auto refused = login(kezu_qj, 1e308).get();
    const bool keptDefault = refused->loginResult() == ErrCode_ResolveResponseFailed &&
                             installedA3() == 0.408 && getRobotType() == kezu_qx &&
                             count("sdk log: set dhparam failed, lengths not finite.") == 1;
    auto a = login(kezu_qx, 0.41), b = login(kezu_qj, 0.55);
    const auto first = a.get(), second = b.get();
    const double a3 = installedA3();
    const auto third = login(kezu_qz, 0.66).get();
    const bool ok = keptDefault && first->loginResult() == 0 && second->loginResult() == 0 &&
                    third->loginResult() == 0 && (near(a3, 0.41) || near(a3, 0.55)) &&
                    installedA3() == a3 && count("sdk log: set dhparam success.") == 1;
    std::exit(ok ? 0 : 1);
}

TEST(LoginDhLengths, TheFirstLoginOfTheProcessInstallsThemOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loginsInstallTheLengthsOnce(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
