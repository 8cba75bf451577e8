#include <array>
#include <cmath>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "loggedinservices.h"
#include "robotKinematics.h"
#include "robotutilservice.h"
#include "tracecapture.h"

namespace {

using namespace kezu_robot_namespace;
using SdkWayPoint = kezu_robot_namespace::wayPoint_S;
using std::chrono::milliseconds;
using CMT = CommunicationMateType;

constexpr milliseconds kBound(5000);

// What the receivers saw, and on which threads.
struct Receivers {
    static constexpr int kEvent = 100;  // events count under kEvent + type, pushes under theirs

    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, int> seen;
    SdkWayPoint lastWaypoint{};
    std::set<std::thread::id> threads;
    std::function<void(const RobotEventInfo &)> onEvent;  // runs outside the lock

    void registerWith(RobotControlServices &services) {
        services.robotServiceRegisterRobotEventInfoCallbackService(&Receivers::event, this);
        services.robotServiceRegisterRealTimeJointStatusCallbackService(&Receivers::joint, this);
        services.robotServiceRegisterRealTimeRoadPointCallbackService(&Receivers::waypoint, this);
        services.robotServiceRegisterRealTimeEndSpeedCallbackService(&Receivers::speed, this);
    }
    bool waitFor(int key, int count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kBound, [&] { return seen[key] >= count; });
    }
    int count(int key) {
        std::lock_guard<std::mutex> lock(mutex);
        return seen[key];
    }
    void note(int key) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            threads.insert(std::this_thread::get_id());
            ++seen[key];
        }
        changed.notify_all();
    }

    static void event(const RobotEventInfo *info, void *arg) {
        auto *self = static_cast<Receivers *>(arg);
        std::unique_lock<std::mutex> lock(self->mutex);
        const auto hook = self->onEvent;
        lock.unlock();
        if (hook) {
            hook(*info);
        }
        self->note(kEvent + info->eventType);
    }
    static void joint(const JointStatus *, int, void *arg) {
        static_cast<Receivers *>(arg)->note(CMT::CommunicationType_RealTimeJointStatus);
    }
    static void waypoint(const SdkWayPoint *point, void *arg) {
        auto *self = static_cast<Receivers *>(arg);
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->lastWaypoint = *point;
        }
        self->note(CMT::CommunicationType_RealTimeRobotJointAngle);
    }
    static void speed(double, void *arg) {
        static_cast<Receivers *>(arg)->note(CMT::CommunicationType_RealTimeRobotEndSpeed);
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

    kezu_sim::ReplyFault faultWithEventBefore(int eventType, int code) {
        kezu_sim::ReplyFault fault;
        fault.eventBefore = kezu_sim::ControllerEvent{eventType, code, "before the reply"};
        fault.withholdEvents = true;
        return fault;
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
    struct Case {
        const char *name;
        milliseconds delay;
        bool twice;
        int firstResult;
    };
    const Case cases[] = {{"late", milliseconds(1000), false, ErrCode_RequestTimeout},
                          {"twice", milliseconds(0), true, ErrCode_RealRobotNoExist}};
    for (const Case &c : cases) {
        const int marker = Receivers::kEvent + RobotEvent_robotStartupPhase;
        const int markers = receivers.count(marker);
        kezu_sim::ReplyFault fault(c.delay, false, 4);
        fault.twice = c.twice;
        fault.eventBefore = kezu_sim::ControllerEvent{RobotEvent_robotStartupPhase, 0, "marker"};
        controller().setReplyFault(CMT::CommunicationType_GetRobotJointAngle, fault);
        JointParam joints{};
        EXPECT_EQ(c.firstResult, services().getCurrentJointAngle(joints)) << c.name;
        controller().clearReplyFaults();
        ASSERT_TRUE(receivers.waitFor(marker, markers + 1));
        drainLink();
        EXPECT_EQ(0, services().getCurrentJointAngle(joints)) << c.name;
    }
}

TEST_F(EngineTest, PushesReachTheReceiversOnTheReceiveThread) {
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
    const double joints[ARM_DOF] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
    ASSERT_EQ(0, RobotUtilService::robotFk(joints, ARM_DOF, expected));
    EXPECT_DOUBLE_EQ(expected.cartPos.position.x, receivers.lastWaypoint.cartPos.position.x);
    EXPECT_DOUBLE_EQ(expected.orientation.w, receivers.lastWaypoint.orientation.w);
}

TEST_F(EngineTest, StopEventsSetTheAbnormalStopFlag) {
    struct Case {
        int type;
        int code;
        bool stops;
    };
    const Case cases[] = {{RobotEvent_robotControllerStateChaned, 0, true},
                          {RobotEvent_robotControllerStateChaned, 3, false},
                          {RobotEvent_robotControllerError, 7, true},
                          {RobotEvent_atTrackTargetPos, 0, false}};
    for (const Case &c : cases) {
        services().setRobotMoveAbnormalStopFlag(false);
        const int before = receivers.count(Receivers::kEvent + c.type);
        controller().sendEvent(c.type, c.code, "stop test");
        ASSERT_TRUE(receivers.waitFor(Receivers::kEvent + c.type, before + 1));
        EXPECT_EQ(c.stops, services().getRobotMoveAbnormalStopFlag()) << c.type << "/" << c.code;
    }
    EXPECT_TRUE(services().getRobotMoveAtTrackTargetSignalFlag());
}

TEST_F(EngineTest, RequestFromACallbackTimesOutAndLogoutFromACallbackWorks) {
    std::promise<int> requestResult;
    std::unique_lock<std::mutex> lock(receivers.mutex);
    receivers.onEvent = [&](const RobotEventInfo &info) {
        if (info.eventType == RobotEvent_collision) {
            JointParam joints{};
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
    controller().setReplyFault(CMT::CommunicationType_RobotStartup,
                               faultWithEventBefore(RobotEvent_robotStartupDoneResult, 5));
    ROBOT_SERVICE_STATE state = ROBOT_SERVICE_READY;
    EXPECT_EQ(0, services().robotStartupService(RobotTcpParam{}, 6, true, false, 10, state, true));
    EXPECT_EQ(ROBOT_SETVICE_FAULT_POWER, state);

    controller().setReplyFault(CMT::CommunicationType_RobotHandShake,
                               faultWithEventBefore(RobotEvent_RobotHandShakeFailed, 0));
    EXPECT_EQ(ErrCode_ResponseReturnError, services().robotHandShakeService(true));
    controller().setReplyFault(CMT::CommunicationType_RobotHandShake,
                               faultWithEventBefore(RobotEvent_RobotHandShakeSucc, 0));
    EXPECT_EQ(0, services().robotHandShakeService(true));

    controller().setReplyFault(CMT::CommunicationType_RobotShutdown,
                               faultWithEventBefore(RobotEvent_robotShutdownDone, 0));
    EXPECT_EQ(0, services().robotShutdownService(true));
}

// An event that came before the request does not answer it; with the controller silent,
// only the loss of the link ends the wait, and promptly. A reply wait ends the same way.
TEST_F(EngineTest, EventWaitsEndWith10004WhenTheLinkGoes) {
    struct Case {
        const char *name;
        int commandType;
        int earlierEvent;
        std::function<int(RobotControlServices &)> wait;
    };
    const Case waits[] = {
        {"startup", CMT::CommunicationType_RobotStartup, RobotEvent_robotStartupDoneResult,
         [](RobotControlServices &s) {
             ROBOT_SERVICE_STATE state;
             return s.robotStartupService(RobotTcpParam{}, 6, true, false, 10, state, true);
         }},
        {"shutdown", CMT::CommunicationType_RobotShutdown, RobotEvent_robotShutdownDone,
         [](RobotControlServices &s) { return s.robotShutdownService(true); }},
        {"handshake", CMT::CommunicationType_RobotHandShake, RobotEvent_RobotHandShakeSucc,
         [](RobotControlServices &s) { return s.robotHandShakeService(true); }},
        {"reply", CMT::CommunicationType_GetRobotJointAngle, RobotEvent_robotStartupPhase,
         [](RobotControlServices &s) {
             JointParam joints;
             return s.getCurrentJointAngle(joints);
         }},
    };
    for (const bool byLogout : {false, true}) {
        for (const Case &c : waits) {
            kezu_test::LoggedInServices session(kezu_test::quickControllerConfig());
            ASSERT_EQ(0, session.loginResult());
            kezu_sim::ReplyFault silent;
            silent.withholdEvents = true;
            silent.drop = c.commandType == CMT::CommunicationType_GetRobotJointAngle;
            session.controller().setReplyFault(c.commandType, silent);
            session.controller().sendEvent(c.earlierEvent, 0, "too early");
            RobotState state;
            ASSERT_EQ(0, session.services().getRobotCurrentStateService(state));
            auto result =
                std::async(std::launch::async, [&] { return c.wait(session.services()); });
            ASSERT_TRUE(session.controller().waitForPackages(c.commandType, 1, kBound));
            if (byLogout) {
                session.services().logoutService();
            } else {
                session.controller().closeConnectionsNow();
            }
            ASSERT_EQ(std::future_status::ready, result.wait_for(kBound)) << c.name;
            EXPECT_EQ(ErrCode_SocketDisconnect, result.get()) << c.name << " logout " << byLogout;
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
    controller.setReplyFault(CMT::CommunicationType_GetRobotJointAngle,
                             kezu_sim::ReplyFault(milliseconds(300)));
    std::atomic<bool> done(false);
    auto result = std::async(std::launch::async, [&] {
        JointParam joints{};
        const int r = services.getCurrentJointAngle(joints);
        done = true;
        return r;
    });
    ASSERT_TRUE(controller.waitForPackages(CMT::CommunicationType_GetRobotJointAngle, 1, kBound));
    while (!done) {
        services.wakeReplyWaiter(CMT::CommunicationType_GetRobotJointAngle);
        std::this_thread::yield();
    }
    EXPECT_EQ(0, result.get());
    services.logoutService();
}

// The DH lengths are process-wide, so these run in a child process of their own.
std::array<double, 6> installedDh() {
    std::array<double, 6> dh{};
    getDhPara(dh[0], dh[1], dh[2], dh[3], dh[4], dh[5]);
    return dh;
}

kezu_sim::ControllerConfig modelConfig(int robotType, double a3) {
    kezu_sim::ControllerConfig config = kezu_test::quickControllerConfig();
    config.robotType = robotType;
    config.dh[0] = a3;
    return config;
}

// The lengths may travel as floats.
bool near(double value, double expected) { return std::abs(value - expected) < 1e-6; }

int dhLinesLogged(const TraceCapture &capture) {
    int lines = 0;
    for (const std::string &message : capture.messages()) {
        lines += message.find("sdk log: set dhparam success.") != std::string::npos ? 1 : 0;
    }
    return lines;
}

// Two logins at once install one model's lengths; a later login of a third model keeps them.
void loginsInstallTheLengthsOnce() {
    TraceCapture capture;
    auto login = [](int type, double a3) {
        return std::async(std::launch::async, [=] {
            return std::make_unique<kezu_test::LoggedInServices>(modelConfig(type, a3));
        });
    };
    auto a = login(kezu_qx, 0.41), b = login(kezu_qj, 0.55);
    const auto first = a.get(), second = b.get();
    const double a3 = installedDh()[0];
    const auto third = login(kezu_qz, 0.66).get();
    const bool ok = first->loginResult() == 0 && second->loginResult() == 0 &&
                    third->loginResult() == 0 && (near(a3, 0.41) || near(a3, 0.55)) &&
                    installedDh()[0] == a3 && dhLinesLogged(capture) == 1;
    std::exit(ok ? 0 : 1);
}

TEST(LoginDhLengths, TheFirstLoginOfTheProcessInstallsThemOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loginsInstallTheLengthsOnce(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
