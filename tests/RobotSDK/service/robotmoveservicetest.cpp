#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "loggedinservices.h"
#include "robotcommon.pb.h"
#include "robotmoveservice.h"
#include "robotutilservice.h"
#include "tracecapture.h"

namespace {

namespace kz = kezu_robot_namespace;
namespace common = kezu::robot::common;
using M = RobotMoveService;
using Cmd = CommunicationMateType;
using kezu_test::LoggedInServicesTest;
using std::chrono::milliseconds;

const double kDeg25 = 0.4363323129985824;
const milliseconds kBound(3000);  // far above any wait these tests expect to end

bool contains(const std::vector<std::string> &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class MoveServiceTest : public LoggedInServicesTest {
protected:
    void SetUp() override {
        M::initClassProfile();
        LoggedInServicesTest::SetUp();
        move_.reset(new M(&services()));
        // Away from the stretched-wrist singularity of the zero posture.
        controller().setJoints({0.3, -0.5, 1.1, -0.4, 0.6, 0.2});
        std::memset(&here_, 0, sizeof(here_));
        ASSERT_EQ(0, move_->getCurrnetRoadPoint(here_));
    }
    void TearDown() override {
        move_.reset();
        LoggedInServicesTest::TearDown();
        M::initClassProfile();
    }

    // The current waypoint with joint 1 turned by delta.
    kz::wayPoint_S away(double delta) const {
        double joints[6];
        std::copy(std::begin(here_.jointpos), std::end(here_.jointpos), joints);
        joints[0] += delta;
        kz::wayPoint_S wp;
        EXPECT_EQ(0, RobotUtilService::robotFk(joints, 6, wp));
        return wp;
    }

    common::RobotMove lastMove(int type) {
        const std::vector<kezu_sim::ReceivedPackage> packages = controller().received(type);
        common::RobotMove move;
        EXPECT_FALSE(packages.empty()) << type;
        if (!packages.empty()) {
            EXPECT_TRUE(move.ParseFromString(packages.back().body)) << type;
        }
        return move;
    }

    common::RobotTeachMove lastTeach() {
        const std::vector<kezu_sim::ReceivedPackage> packages =
            controller().received(Cmd::CommunicationType_RobotTeachMoveStart);
        common::RobotTeachMove teach;
        EXPECT_FALSE(packages.empty());
        if (!packages.empty()) {
            EXPECT_TRUE(teach.ParseFromString(packages.back().body));
        }
        return teach;
    }

    // Runs a call on its own thread, so that the test can act while it blocks.
    std::future<int> inBackground(std::function<int()> call) {
        return std::async(std::launch::async, std::move(call));
    }

    void addWaypoints(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(0, M::addWayPoint(away(0.01 * (i + 1))));
        }
    }

    std::unique_ptr<M> move_;
    kz::wayPoint_S here_;
    TraceCapture trace_;
};

// Moves take 20 s per radian: long enough for the test to act while one blocks.
class SlowMoveTest : public MoveServiceTest {
protected:
    kezu_sim::ControllerConfig config() const override {
        kezu_sim::ControllerConfig c = kezu_test::quickControllerConfig();
        c.travelScale = 20.0;
        return c;
    }

    // A blocking joint move that has reached the controller.
    std::future<int> blockingMoveUnderWay() {
        std::future<int> result = inBackground([this] {
            kz::wayPoint_S target = away(1.0);
            return move_->robotJointMove(target, true);
        });
        EXPECT_TRUE(controller().waitForPackages(Cmd::CommunicationType_RobotMove, 1, kBound));
        return result;
    }

    static bool stillWaiting(std::future<int> &result) {
        return result.wait_for(milliseconds(300)) == std::future_status::timeout;
    }
};

// What each kind of move sends, read back from the controller's record.
TEST_F(MoveServiceTest, EachMoveSendsItsProfile) {
    addWaypoints(3);
    enum Limits { Joint, Cart, Default, Zero };
    struct Row {
        const char *name;
        std::function<int()> call;
        int type;
        int mode, track, teach;
        Limits limits;
        float radius;
        int points;
    };
    const kz::CoordCalibrateByJointAngleAndTool base = {};
    const double axis[3] = {0.0, 0.0, 1.0};
    const Row rows[] = {
        {"joint",
         [&] {
             kz::wayPoint_S wp = away(0.1);
             return move_->robotJointMove(wp, false);
         },
         22, kz::MODEJ, kz::NO_TRACK, kz::NO_TEACH, Joint, 0.02f, 1},
        {"joint ahead",
         [&] {
             M::setArrivalAheadTimeMode(0.2);
             kz::wayPoint_S wp = away(0.1);
             const int ret = move_->robotJointMove(wp, false);
             M::setNoArrivalAhead();
             return ret;
         },
         22, kz::MODEJ, kz::TRACKING, kz::NO_TEACH, Joint, 0.02f, 1},
        {"follow",
         [&] {
             kz::wayPoint_S wp = away(0.1);
             return move_->robotFollowModeJointMove(wp);
         },
         22, kz::MODEJ, kz::TRACKING, kz::NO_TEACH, Joint, 0.02f, 1},
        {"line",
         [&] {
             kz::wayPoint_S wp = away(0.1);
             return move_->robotLineMove(wp, false);
         },
         22, kz::MODEL, kz::NO_TRACK, kz::NO_TEACH, Cart, 0.02f, 1},
        {"line ahead",
         [&] {
             M::setArrivalAheadDistanceMode(0.01);
             kz::wayPoint_S wp = away(0.1);
             const int ret = move_->robotLineMove(wp, false);
             M::setNoArrivalAhead();
             return ret;
         },
         22, kz::MODEL, kz::NO_TRACK, kz::NO_TEACH, Cart, 0.02f, 1},
        {"rotate", [&] { return move_->robotLineRotateMove(base, axis, 0.3, false); }, 22,
         kz::MODEL, kz::NO_TRACK, kz::ROT_Y, Cart, 0.02f, 1},
        {"track b-spline", [&] { return move_->robotTrackMove(kz::JOINT_UBSPLINEINTP, false); }, 22,
         kz::MODEP, kz::JOINT_UBSPLINEINTP, kz::NO_TEACH, Joint, 0.1f, 3},
        {"track movep", [&] { return move_->robotTrackMove(kz::CARTESIAN_MOVEP, false); }, 22,
         kz::MODEP, kz::CARTESIAN_MOVEP, kz::NO_TEACH, Cart, 0.02f, 3},
        {"track tracking", [&] { return move_->robotTrackMove(kz::TRACKING, false); }, 22,
         kz::MODEP, kz::TRACKING, kz::NO_TEACH, Default, 0.02f, 3},
        {"offline append",
         [&] {
             return move_->offlineTrackWaypointAppend({away(0.1), away(0.2)});
         },
         71, kz::NO_MOVEMODE, kz::NO_TRACK, kz::NO_TEACH, Zero, 0.0f, 2},
        {"canbus", [&] { return move_->setRobotPosData2Canbus(away(0.1)); }, 77, kz::NO_MOVEMODE,
         kz::NO_TRACK, kz::NO_TEACH, Zero, 0.0f, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        controller().clearReceived();
        ASSERT_EQ(0, row.call());
        const common::RobotMove move = lastMove(row.type);
        const common::RobotMoveProfile &p = move.move_profile();
        EXPECT_EQ(row.mode, p.movemode());
        EXPECT_EQ(row.track, p.submovemode());
        EXPECT_EQ(row.teach, p.teachmode());
        EXPECT_EQ(row.radius, p.blendradius());
        EXPECT_EQ(row.limits == Zero ? 0.0 : 1.0, p.toolinendorientation().w());
        EXPECT_EQ(row.points, move.roadpointvector_size());
        ASSERT_EQ(6, p.maxvelc().jointpara_size());
        for (int i = 0; i < 6; ++i) {
            double velc = row.limits == Zero ? 0.0 : kDeg25;
            double acc = velc;
            if (row.limits == Cart && i < 2) {
                velc = i == 0 ? 0.03 : 1.7453292519943295;
                acc = velc;
            }
            EXPECT_EQ(velc, p.maxvelc().jointpara(i)) << i;
            EXPECT_EQ(acc, p.maxacc().jointpara(i)) << i;
        }
    }
}

TEST_F(MoveServiceTest, ArrivalAheadAndRotationReachTheMessage) {
    M::setArrivalAheadTimeMode(0.25);
    kz::wayPoint_S wp = away(0.1);
    ASSERT_EQ(0, move_->robotJointMove(wp, false));
    const common::RobotMove joint = lastMove(22);
    const common::arrivalAhead_t &ahead = joint.move_profile().arrivalahead();
    EXPECT_EQ(arrival_ahead_time, ahead.arrivalaheadstat());
    EXPECT_EQ(0.25, ahead.arrivalaheadthr());

    M::setNoArrivalAhead();
    const kz::CoordCalibrateByJointAngleAndTool base = {};
    const double axis[3] = {0.0, 1.0, 0.0};
    ASSERT_EQ(0, move_->robotLineRotateMove(base, axis, 0.3, false));
    const common::RobotMove rotate = lastMove(22);
    const common::ProtoRoadPoint &point = rotate.roadpointvector(0);
    EXPECT_EQ(0.3, point.orientation().w());
    EXPECT_EQ(1.0, point.orientation().y());
    EXPECT_DOUBLE_EQ(here_.jointpos[1], point.jointpos(1));
}

TEST_F(MoveServiceTest, TeachStartCarriesModeAndDirection) {
    struct {
        kz::teach_mode teach;
        bool direction;
        int mode;
        int loops;
    } const cases[] = {{kz::MOV_Z, true, kz::MODEL, 1},
                       {kz::JOINT3, false, kz::MODEJ, 0},
                       {kz::ROT_X, false, kz::MODEL, 0},
                       {kz::NO_TEACH, true, kz::MODEJ, 1}};
    for (const auto &c : cases) {
        ASSERT_EQ(0, move_->robotTeachStart(c.teach, c.direction)) << c.teach;
        const common::RobotTeachMove teach = lastTeach();
        EXPECT_EQ(c.mode, teach.move_profile().movemode()) << c.teach;
        EXPECT_EQ(kz::TRACKING, teach.move_profile().submovemode()) << c.teach;
        EXPECT_EQ(c.teach, teach.move_profile().teachmode());
        EXPECT_EQ(c.loops, teach.move_profile().circularlooptimes()) << c.teach;
        EXPECT_EQ(kz::BaseCoordinate, teach.coordinatesystemtype());
        ASSERT_EQ(0, move_->robotTeachStop());
    }
}

// Bad arguments are refused before anything reaches the controller.
TEST_F(MoveServiceTest, RefusalsSendNothing) {
    addWaypoints(2);
    kz::CoordCalibrateByJointAngleAndTool frame = {};
    std::memset(&frame.coordType, 5, 1);  // a frame type outside the enum
    const kz::ToolInEndDesc tool = {};
    const kz::MoveRelative up = {true, {0.0f, 0.0f, 0.01f}};
    kz::CoordCalibrateByJointAngleAndTool base = {};
    struct {
        const char *name;
        std::function<int()> call;
        int result;
        const char *line;
    } const cases[] = {
        {"track mode", [&] { return move_->robotTrackMove(static_cast<kz::move_track>(8), true); },
         kz::ErrCode_ParamError, "sdk log: robotTrackMove track mode error. mode:8"},
        {"teach mode",
         [&] { return move_->robotTeachStart(static_cast<kz::teach_mode>(13), true); },
         kz::ErrCode_ParamError, "sdk log: robotTeachStart teach mode error. mode:13"},
        {"short track", [&] { return move_->robotTrackMove(kz::CARTESIAN_MOVEP, true); },
         kz::ErrCode_MotionWaypointVetorSizeError, "sdk log: Number of waypoints less than 3."},
        {"target mode",
         [&] {
             return move_->robotMoveToTargetPositionByRelative(kz::MODEP, base, tool, up, true);
         },
         kz::ErrCode_ParamError, "sdk log: robotMoveToTargetPosition move mode error."},
        {"target frame",
         [&] {
             return move_->robotMoveToTargetPositionByRelative(kz::MODEL, frame, tool, up, true);
         },
         kz::ErrCode_ParamError, nullptr},
        {"rotate frame",
         [&] {
             const double axis[3] = {0, 0, 1};
             return move_->robotLineRotateMove(frame, axis, 0.1, true);
         },
         kz::ErrCode_ParamError, nullptr},
        {"excitation file",
         [&] {
             return move_->startupOfflineExcitTraj(nullptr, kz::Dyn_identify_traj_robot, 0, true);
         },
         kz::ErrCode_ParamError, "sdk log: startupOfflineExcitTraj track file is NULL."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.result, c.call()) << c.name;
        if (c.line != nullptr) {
            EXPECT_TRUE(contains(trace_.messages(), c.line)) << c.name;
        }
    }
    for (int type : {22, 23, 78}) {
        EXPECT_TRUE(controller().received(type).empty()) << type;
    }
}

TEST_F(MoveServiceTest, BlockingMovesReturnOnArrival) {
    kz::wayPoint_S target = away(0.5);
    EXPECT_EQ(0, move_->robotJointMove(target, true));
    const kezu_sim::Joints joints = controller().joints();
    EXPECT_NEAR(target.jointpos[0], joints[0], 1e-9);
    EXPECT_TRUE(contains(trace_.messages(), "sdk log: User blocking call motion interface."));

    addWaypoints(3);
    EXPECT_EQ(0, move_->robotTrackMove(kz::JIONT_CUBICSPLINE, true));
    ASSERT_EQ(0, move_->offlineTrackWaypointClear());
    ASSERT_EQ(0, move_->offlineTrackWaypointAppend({away(0.2), away(0.3)}));
    EXPECT_EQ(0, move_->offlineTrackMoveStartupService(true));
    EXPECT_EQ(1u, controller().received(Cmd::CommunicationType_OfflineTrackMoveStartup).size());
    EXPECT_EQ(0, move_->startupOfflineExcitTraj("excit.traj", kz::Dyn_identify_traj_tool, 3, true));
    EXPECT_EQ(1u, controller().received(Cmd::CommunicationType_StartupOfflineExcitTraj).size());
}

TEST_F(SlowMoveTest, ArrivalBeforeTheReplyEndsTheMoveWithoutWaiting) {
    kezu_sim::ReplyFault fault(milliseconds(200));
    fault.eventBefore = kezu_sim::ControllerEvent{22, 0, "at target position"};
    controller().setReplyFault(Cmd::CommunicationType_RobotMove, fault);
    kz::wayPoint_S target = away(1.0);
    EXPECT_EQ(0, move_->robotJointMove(target, true));
    EXPECT_TRUE(contains(trace_.messages(),
                         "sdk log: atTrackTargetPos singal before the response appears"));
}

TEST_F(SlowMoveTest, StopEventsEndTheWaitWith10021) {
    const std::vector<std::function<void()>> stops = {
        [this] { controller().sendEvent(26, 1, "controller error"); },
        [this] { controller().sendEvent(25, 0, "robot stopped"); },
        [this] { EXPECT_EQ(0, move_->robotMoveFastStop()); },
        [this] { EXPECT_EQ(0, move_->robotMoveControl(kz::RobotMoveStop)); },
    };
    for (size_t i = 0; i < stops.size(); ++i) {
        controller().clearReceived();
        std::future<int> result = blockingMoveUnderWay();
        stops[i]();
        ASSERT_EQ(std::future_status::ready, result.wait_for(kBound)) << i;
        EXPECT_EQ(kz::ErrCode_MotionInterruptedByEvent, result.get()) << i;
    }
}

TEST_F(SlowMoveTest, StateEventWithACodeKeepsTheMoveWaiting) {
    std::future<int> result = blockingMoveUnderWay();
    controller().sendEvent(25, 3, "state changed");
    EXPECT_TRUE(stillWaiting(result));
    controller().sendEvent(22, 0, "at target position");
    ASSERT_EQ(std::future_status::ready, result.wait_for(kBound));
    EXPECT_EQ(0, result.get());
}

TEST_F(SlowMoveTest, FailingRequestReturnsItsCodeAtOnce) {
    struct {
        kezu_sim::ReplyFault fault;
        int result;
    } const cases[] = {
        {kezu_sim::ReplyFault(milliseconds(0), false, 2), kz::ErrCode_ResponseReturnError},
        {kezu_sim::ReplyFault(milliseconds(0), false, 4), kz::ErrCode_RealRobotNoExist},
        {kezu_sim::ReplyFault(milliseconds(0), true), kz::ErrCode_RequestTimeout}};
    for (const auto &c : cases) {
        controller().setReplyFault(Cmd::CommunicationType_RobotMove, c.fault);
        std::future<int> result = inBackground([this] {
            kz::wayPoint_S target = away(1.0);
            return move_->robotJointMove(target, true);
        });
        ASSERT_EQ(std::future_status::ready, result.wait_for(kBound));
        EXPECT_EQ(c.result, result.get());
    }
    EXPECT_TRUE(contains(trace_.messages(),
                         "sdk log: robotMoveInterface return false, because server return false."));
}

TEST_F(SlowMoveTest, LostLinkEndsTheWaitWith10004) {
    const std::vector<std::function<void()>> losses = {
        [this] { controller().closeConnectionsNow(); },
        [this] { services().logoutService(); },
    };
    for (size_t i = 0; i < losses.size(); ++i) {
        if (!services().getCurrentConnectStatus()) {
            ASSERT_EQ(0, services().loginService("127.0.0.1", controller().port(), "u", "p"));
        }
        controller().clearReceived();
        std::future<int> result = blockingMoveUnderWay();
        losses[i]();
        ASSERT_EQ(std::future_status::ready, result.wait_for(kBound)) << i;
        EXPECT_EQ(kz::ErrCode_SocketDisconnect, result.get()) << i;
    }
}

TEST_F(SlowMoveTest, NonBlockingCallsNeverWait) {
    kz::wayPoint_S target = away(1.0);
    EXPECT_EQ(0, move_->robotFollowModeJointMove(target));
    EXPECT_EQ(0, move_->robotJointMove(target, false));
    EXPECT_EQ(0, move_->robotLineMove(target, false));
    EXPECT_TRUE(contains(trace_.messages(), "sdk log: User non-blocking call motion interface."));
}

TEST_F(SlowMoveTest, TeachMoveJogsOneJointUntilStopped) {
    ASSERT_EQ(0, move_->robotTeachStart(kz::JOINT3, true));
    kz::JointParam now = {};
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    do {
        ASSERT_EQ(0, services().getCurrentJointAngle(now));
    } while (now.jointPos[2] <= here_.jointpos[2] + 0.001 &&
             std::chrono::steady_clock::now() < deadline);
    ASSERT_EQ(0, move_->robotTeachStop());
    const kezu_sim::Joints stopped = controller().joints();
    EXPECT_GT(stopped[2], here_.jointpos[2]);
    EXPECT_LT(stopped[2], here_.jointpos[2] + 0.5);
    EXPECT_EQ(here_.jointpos[1], stopped[1]);
    ASSERT_EQ(0, services().getCurrentJointAngle(now));
    EXPECT_EQ(stopped[2], now.jointPos[2]);
}

TEST_F(MoveServiceTest, CartesianJogMovesTheToolAlongItsAxis) {
    const double z = controller().pose().position[2];
    ASSERT_EQ(0, move_->robotTeachStart(kz::MOV_Z, false));
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (controller().pose().position[2] > z - 0.49 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_NEAR(z - 0.5, controller().pose().position[2], 1e-9);
}

// Targets keep the current orientation and move the flange by the offset in the frame given.
TEST_F(MoveServiceTest, RelativeTargetsUseTheirFrame) {
    const kz::ToolInEndDesc tool = {};
    const kz::MoveRelative offset = {true, {0.01f, -0.02f, 0.03f}};
    struct {
        kz::coordinate_refer frame;
        kz::move_mode mode;
    } const cases[] = {{kz::BaseCoordinate, kz::MODEL}, {kz::EndCoordinate, kz::MODEJ}};
    for (const auto &c : cases) {
        kz::CoordCalibrateByJointAngleAndTool frame = {};
        frame.coordType = c.frame;
        ASSERT_EQ(0, move_->robotMoveToTargetPositionByRelative(c.mode, frame, tool, offset, true));
        const common::RobotMove move = lastMove(22);
        EXPECT_EQ(c.mode, move.move_profile().movemode());
        const common::ProtoRoadPoint &p = move.roadpointvector(0);
        const kz::Ori &q = here_.orientation;
        double d[3] = {offset.relativePosition[0], offset.relativePosition[1],
                       offset.relativePosition[2]};
        if (c.frame == kz::EndCoordinate) {
            // The offset turned by the flange orientation.
            const double t[3] = {2 * (q.y * d[2] - q.z * d[1]), 2 * (q.z * d[0] - q.x * d[2]),
                                 2 * (q.x * d[1] - q.y * d[0])};
            const double r[3] = {d[0] + q.w * t[0] + (q.y * t[2] - q.z * t[1]),
                                 d[1] + q.w * t[1] + (q.z * t[0] - q.x * t[2]),
                                 d[2] + q.w * t[2] + (q.x * t[1] - q.y * t[0])};
            std::copy(r, r + 3, d);
        }
        const kz::Pos &from = here_.cartPos.position;
        ASSERT_EQ(1, p.cartpos().position_size());
        EXPECT_NEAR(from.x + d[0], p.cartpos().position(0).x(), 1e-6) << c.frame;
        EXPECT_NEAR(from.y + d[1], p.cartpos().position(0).y(), 1e-6) << c.frame;
        EXPECT_NEAR(from.z + d[2], p.cartpos().position(0).z(), 1e-6) << c.frame;
        EXPECT_NEAR(std::fabs(q.w), std::fabs(p.orientation().w()), 1e-6) << c.frame;
        controller().setJoints({here_.jointpos[0], here_.jointpos[1], here_.jointpos[2],
                                here_.jointpos[3], here_.jointpos[4], here_.jointpos[5]});
    }
}

// Two connections, each with its own blocking move, end on their own arrival.
TEST_F(MoveServiceTest, BlockingMovesOnTwoConnectionsEndIndependently) {
    kezu_test::LoggedInServices other;
    ASSERT_EQ(0, other.loginResult());
    M otherMove(&other.services());
    std::future<int> first = inBackground([this] {
        kz::wayPoint_S target = away(0.4);
        return move_->robotJointMove(target, true);
    });
    std::future<int> second = inBackground([this, &otherMove] {
        kz::wayPoint_S target = away(0.2);
        return otherMove.robotLineMove(target, true);
    });
    ASSERT_EQ(std::future_status::ready, first.wait_for(kBound));
    ASSERT_EQ(std::future_status::ready, second.wait_for(kBound));
    EXPECT_EQ(0, first.get());
    EXPECT_EQ(0, second.get());
}

}  // namespace
