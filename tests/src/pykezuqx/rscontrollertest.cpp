// The procedural interface against the controller counterpart: pass-through, the local work
// of the layer, and contexts used and destroyed from several threads.
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "rstestsupport.h"

using namespace kezu_robot_namespace;

namespace {

const ToolDynamicsParam kTool = {0.0, 0.0, 0.03, 1.7, {}};

// Counts calls of a callback and lets a test wait for them with a bound. With `reenter` set,
// the callback looks its own context up until the lookup fails, so it is inside the table's
// lookups while that context is destroyed.
struct CallCounter {
    std::mutex mutex;
    std::condition_variable changed;
    int calls = 0;
    RSHD reenterHandle = 0;
    std::atomic<bool> reenter{false};
    std::promise<void> reentering;
    int lastResult = 0;

    bool waitFor(int count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kBound, [&] { return calls >= count; });
    }

    static void onJointStatus(const JointStatus *, int, void *arg) {
        CallCounter *self = static_cast<CallCounter *>(arg);
        if (self->reenter.exchange(false)) {
            self->reentering.set_value();
            auto deadline = std::chrono::steady_clock::now() + kBound;
            bool connected = false;
            int r = 0;
            while (r == 0 && std::chrono::steady_clock::now() < deadline) {
                r = rs_get_login_status(self->reenterHandle, &connected);
            }
            self->lastResult = r;
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->calls;
        self->changed.notify_all();
    }
};

}  // namespace

TEST_F(RsControllerTest, LoginStatusFollowsLoginAndLogout) {
    RSHD other = create();
    bool status = true;
    EXPECT_EQ(0, rs_get_login_status(other, &status));
    EXPECT_FALSE(status);
    ASSERT_EQ(0, rs_login(other, "127.0.0.1", controller->port()));
    EXPECT_EQ(0, rs_get_login_status(other, &status));
    EXPECT_TRUE(status);
    EXPECT_EQ(0, rs_logout(other));
    EXPECT_EQ(0, rs_get_login_status(other, &status));
    EXPECT_FALSE(status);
}

TEST_F(RsControllerTest, SettingsReachTheControllerAndReadBack) {
    ASSERT_EQ(0, rs_set_tool_dynamics_param(handle, &kTool));
    ToolDynamicsParam back;
    ASSERT_EQ(0, rs_get_tool_dynamics_param(handle, &back));
    EXPECT_EQ(1.7f, back.payload);

    ASSERT_EQ(0, rs_set_work_mode(handle, RobotModeReal));
    RobotWorkMode mode = RobotModeSimulator;
    ASSERT_EQ(0, rs_get_work_mode(handle, &mode));
    EXPECT_EQ(RobotModeReal, mode);

    ASSERT_EQ(0, rs_set_board_io_status_by_addr(handle, RobotBoardUserDO, 32, 1.0));
    double value = -1;
    ASSERT_EQ(0, rs_get_board_io_status_by_addr(handle, RobotBoardUserDO, 32, &value));
    EXPECT_EQ(1.0, value);

    ASSERT_EQ(0, rs_set_tool_power_type(handle, OUT_12V));
    ToolPowerType power = OUT_0V;
    ASSERT_EQ(0, rs_get_tool_power_type(handle, &power));
    EXPECT_EQ(OUT_12V, power);
}

TEST_F(RsControllerTest, EndSpeedComesFromTheDiagnosis) {
    RobotDiagnosis diagnosis;
    ASSERT_EQ(0, rs_get_diagnosis_info(handle, &diagnosis));
    float speed = -1.0f;
    ASSERT_EQ(0, rs_get_robot_end_speed(handle, &speed));
    const float expected = diagnosis.robotEndSpeed;  // packed member: copied, not bound
    EXPECT_EQ(expected, speed);

    controller->setReplyFault(kGetDiagnosis, {std::chrono::milliseconds(0), false, 1});
    speed = -7.0f;
    EXPECT_NE(0, rs_get_robot_end_speed(handle, &speed));
    EXPECT_EQ(-7.0f, speed);
}

TEST_F(RsControllerTest, OfflineTrackOfThreeThousandPointsIsSentAndMoreAreNot) {
    std::vector<JointParam> points(3001);
    for (size_t i = 0; i < points.size(); ++i) {
        for (int j = 0; j < 6; ++j) points[i].jointPos[j] = 0.0001 * i;
    }
    EXPECT_EQ(1003, rs_append_offline_track_waypoint(handle, points.data(), 3001));
    EXPECT_EQ(1003, rs_append_offline_track_waypoint(handle, points.data(), -5));
    EXPECT_EQ(1003, rs_append_offline_track_waypoint(handle, nullptr, 1));
    EXPECT_TRUE(controller->received(kOfflineTrackAppend).empty());

    EXPECT_EQ(0, rs_append_offline_track_waypoint(handle, points.data(), 3000));
    EXPECT_TRUE(controller->waitForPackages(kOfflineTrackAppend, 1, kBound));
}

// A point that a full list has no room for is refused, not dropped unreported.
TEST_F(RsControllerTest, WaypointListTakesFiveThousandPointsAndRefusesTheNext) {
    double joints[6] = {0.1, 0.2, 0.3, 0.0, 0.1, 0.0};
    ASSERT_EQ(0, rs_remove_all_waypoint(handle));
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(0, rs_add_waypoint(handle, joints)) << i;
    EXPECT_EQ(ErrCode_MotionWaypointVetorSizeError, rs_add_waypoint(handle, joints));
    EXPECT_EQ(0, rs_remove_all_waypoint(handle));
    EXPECT_EQ(0, rs_add_waypoint(handle, joints));
    rs_remove_all_waypoint(handle);
}

// The layer has no checks of its own: what the facade refuses is refused here too, unsent.
TEST_F(RsControllerTest, NonFiniteNumbersAndValuesOutsideTheirEnumAreNotSent) {
    double joints[6] = {0.1, std::nan(""), 0.1, 0, 0, 0};
    const JointParam track[2] = {{{0, 0, 0, 0, 0, 0}}, {{0, 0, HUGE_VAL, 0, 0, 0}}};
    wayPoint_S pose;
    const struct {
        int result;
        std::function<int()> call;
    } rows[] = {
        {ErrCode_ParamError, [&] { return rs_move_joint(handle, joints, true); }},
        {ErrCode_ParamError, [&] { return rs_add_waypoint(handle, joints); }},
        {ErrCode_ParamError, [&] { return rs_append_offline_track_waypoint(handle, track, 2); }},
        {ErrCode_ParamError, [&] { return rs_set_work_mode(handle, RobotWorkMode(99)); }},
        {ErrCode_ParamError,
         [&] { return rs_set_tool_do_status(handle, "T_DI/O_00", IO_STATUS(7)); }},
        {ErrCode_ParamError, [&] { return rs_set_tool_power_type(handle, ToolPowerType(77)); }},
        {ErrCode_FkFailed, [&] { return rs_forward_kin(handle, joints, &pose); }},
    };
    controller->clearReceived();
    for (const auto &row : rows) EXPECT_EQ(row.result, row.call());
    EXPECT_TRUE(controller->received().empty());
}

TEST_F(RsControllerTest, JointStatusCallbackRunsAndStopsWhenCleared) {
    CallCounter counter;
    ASSERT_EQ(0,
              rs_setcallback_realtime_joint_status(handle, &CallCounter::onJointStatus, &counter));
    EXPECT_TRUE(counter.waitFor(3));
    ASSERT_EQ(0, rs_setcallback_realtime_joint_status(handle, nullptr, nullptr));
    int after = 0;
    {
        std::lock_guard<std::mutex> lock(counter.mutex);
        after = counter.calls;
    }
    // A request round trip after clearing lets any push already in flight be handled.
    RobotState state;
    ASSERT_EQ(0, rs_get_robot_state(handle, &state));
    std::lock_guard<std::mutex> lock(counter.mutex);
    EXPECT_EQ(after, counter.calls);
}

// Two contexts, each driven by its own thread: one moves the arm, the other reads and writes.
TEST_F(RsControllerTest, TwoThreadsDriveTwoContextsAtOnce) {
    RSHD second = create();
    ASSERT_EQ(0, rs_login(second, "127.0.0.1", controller->port()));

    auto mover = std::async(std::launch::async, [&] {
        int failures = 0;
        for (int i = 0; i < 6; ++i) {
            double target[6] = {0.05 * (i % 2), 0.0, 0.05, 0.0, 0.0, 0.0};
            failures += rs_move_joint(handle, target, true) != 0;
        }
        return failures;
    });
    auto worker = std::async(std::launch::async, [&] {
        int failures = 0;
        for (int i = 0; i < 40; ++i) {
            RobotState state;
            wayPoint_S waypoint;
            double joints[6] = {0.01 * i, 0, 0, 0, 0, 0};
            failures += rs_get_robot_state(second, &state) != 0;
            failures += rs_set_tool_dynamics_param(second, &kTool) != 0;
            failures += rs_forward_kin(second, joints, &waypoint) != 0;
        }
        return failures;
    });
    ASSERT_EQ(std::future_status::ready, mover.wait_for(kBound * 3));
    ASSERT_EQ(std::future_status::ready, worker.wait_for(kBound * 3));
    EXPECT_EQ(0, mover.get());
    EXPECT_EQ(0, worker.get());
}

// The destroy returns at once, the move ends with the link instead of running on, and the
// handle is gone.
TEST_F(RsControllerTest, DestroyWhileABlockingMoveRunsEndsTheMove) {
    rs_uninitialize();
    controller->stop();
    config.travelScale = 60.0;  // a minute per radian: the move outlives the test's bound
    startController();
    ASSERT_EQ(0, rs_create_context(&handle));
    ASSERT_EQ(0, rs_login(handle, "127.0.0.1", controller->port()));

    auto move = std::async(std::launch::async, [&] {
        double target[6] = {1.0, 0, 0, 0, 0, 0};
        return rs_move_joint(handle, target, true);
    });
    ASSERT_TRUE(controller->waitForPackages(kMoveRequest, 1, kBound));
    EXPECT_EQ(0, rs_destory_context(handle));
    ASSERT_EQ(std::future_status::ready, move.wait_for(kBound));
    EXPECT_NE(0, move.get());
    RobotState state;
    EXPECT_EQ(1002, rs_get_robot_state(handle, &state));
    EXPECT_TRUE(controller->waitForOpenConnections(0, kBound));
}

// Calls keep coming on other threads while the context goes: each either finds it or gets
// 1002, and none touches a released facade.
TEST_F(RsControllerTest, DestroyRacingCallsOnTheSameContext) {
    std::vector<std::promise<void>> started(3);
    std::vector<std::future<void>> running;
    for (auto &s : started) running.push_back(s.get_future());
    std::vector<std::future<int>> callers;
    for (int t = 0; t < 3; ++t) {
        callers.push_back(std::async(std::launch::async, [&, t] {
            int calls = 0;
            for (;;) {
                RobotState state;
                wayPoint_S waypoint;
                double joints[6] = {0.1 * t, 0, 0, 0, 0, 0};
                int r = t == 0 ? rs_get_robot_state(handle, &state)
                               : rs_forward_kin(handle, joints, &waypoint);
                if (r == 1002) return calls;
                if (calls++ == 0) started[t].set_value();
            }
        }));
    }
    for (auto &r : running) ASSERT_EQ(std::future_status::ready, r.wait_for(kBound));
    EXPECT_EQ(0, rs_destory_context(handle));
    for (auto &caller : callers) {
        ASSERT_EQ(std::future_status::ready, caller.wait_for(kBound));
        EXPECT_GT(caller.get(), 0);
    }
}

// A callback on the receive thread that keeps looking its own context up must neither stop
// the destroy that joins that thread nor be the one left to release the context.
TEST_F(RsControllerTest, DestroyWhileACallbackCallsBackIn) {
    CallCounter counter;
    counter.reenterHandle = handle;
    std::future<void> reentering = counter.reentering.get_future();
    ASSERT_EQ(0,
              rs_setcallback_realtime_joint_status(handle, &CallCounter::onJointStatus, &counter));
    counter.reenter = true;
    ASSERT_EQ(std::future_status::ready, reentering.wait_for(kBound));
    auto destroy = std::async(std::launch::async, [&] { return rs_destory_context(handle); });
    ASSERT_EQ(std::future_status::ready, destroy.wait_for(kBound));
    EXPECT_EQ(0, destroy.get());
    EXPECT_EQ(1002, counter.lastResult);
}

// The target is taken in the context's user frame, on the base once the frame is reset; the
// orientation stays as it is. The arm's waypoint after a blocking joint move is that of its angles.
TEST_F(RsControllerTest, MovesToATargetTakeItInTheContextsFrame) {
    using MoveTo = int (*)(RSHD, const Pos *, const ToolInEndDesc *, bool);
    ToolInEndDesc tool;
    std::memset(&tool, 0, sizeof tool);
    tool.toolInEndOrientation.w = 1;
    CoordCalibrate degenerate;  // three equal points: a frame without axes
    std::memset(&degenerate, 0, sizeof degenerate);
    degenerate.coordType = WorldCoordinate;

    for (MoveTo moveTo : {&rs_move_line_to, &rs_move_joint_to}) {
        double start[6] = {0.1, -0.3, 1.2, 0.2, 1.4, 0.0};
        ASSERT_EQ(0, rs_move_joint(handle, start, true));
        wayPoint_S before, computed;
        ASSERT_EQ(0, rs_get_current_waypoint(handle, &before));
        ASSERT_EQ(0, rs_forward_kin(handle, start, &computed));
        EXPECT_NEAR(computed.cartPos.position.x, before.cartPos.position.x, 1e-6);
        EXPECT_NEAR(computed.cartPos.position.z, before.cartPos.position.z, 1e-6);
        Pos target = before.cartPos.position;
        target.z += 0.02;

        ASSERT_EQ(0, rs_set_user_coord(handle, &degenerate));
        controller->clearReceived();
        EXPECT_NE(0, moveTo(handle, &target, &tool, true));
        EXPECT_TRUE(controller->received(kMoveRequest).empty());

        ASSERT_EQ(0, rs_set_base_coord(handle));
        ASSERT_EQ(0, moveTo(handle, &target, &tool, true));
        wayPoint_S after;
        ASSERT_EQ(0, rs_get_current_waypoint(handle, &after));
        EXPECT_NEAR(target.x, after.cartPos.position.x, 1e-6);
        EXPECT_NEAR(target.z, after.cartPos.position.z, 1e-6);
        EXPECT_NEAR(before.orientation.w, after.orientation.w, 1e-6);
    }
}
