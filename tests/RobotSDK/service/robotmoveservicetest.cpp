#include <cmath>
#include <iterator>
#include <memory>
#include <thread>

#include "../../yrl_alg/kinematicstestutil.h"
#include "robotcommon.pb.h"
#include "moveledger.h"
#include "pthreadlock.h"
#include "robotmoveservice.h"
#include "robotutilservice.h"
#include "servicetests.h"

namespace {

using namespace servicetests;
namespace common = kezu::robot::common;
using M = RobotMoveService;

// Away from the stretched-wrist singularity of the zero posture.
const kezu_sim::Joints kStart = {0.3, -0.5, 1.1, -0.4, 0.6, 0.2};

class MoveServiceTest : public kezu_test::LoggedInServicesTest {
protected:
    void SetUp() override {
        M::initClassProfile();
        LoggedInServicesTest::SetUp();
        move_.reset(new M(&services()));
        controller().setJoints(kStart);
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
        std::copy(here_.jointpos, here_.jointpos + 6, joints);
        joints[0] += delta;
        kz::wayPoint_S wp;
        EXPECT_EQ(0, RobotUtilService::robotFk(joints, 6, wp));
        return wp;
    }

    // The last package of a type as the controller received it.
    template <class Message>
    Message last(int type) {
        const std::vector<kezu_sim::ReceivedPackage> packages = controller().received(type);
        Message message;
        EXPECT_TRUE(!packages.empty() && message.ParseFromString(packages.back().body)) << type;
        return message;
    }

    bool logged(const std::string &line) const { return servicetests::logged(trace_, line); }

    std::unique_ptr<M> move_;
    kz::wayPoint_S here_ = {};
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

    std::future<int> blockingMove() {
        return inBackground([this] {
            kz::wayPoint_S target = away(1.0);
            return move_->robotJointMove(target, true);
        });
    }
    // A blocking joint move that has reached the controller.
    std::future<int> blockingMoveUnderWay() {
        controller().clearReceived();
        std::future<int> result = blockingMove();
        EXPECT_TRUE(controller().waitForPackages(Cmd::CommunicationType_RobotMove, 1, kBound));
        return result;
    }
};

// What each kind of move sends, read back from the controller's record. Limits: J the joint
// limits (25 degrees), C the Cartesian ones (0.03 m/s, 100 degrees/s), 0 none at all.
TEST_F(MoveServiceTest, EachMoveSendsItsProfile) {
    for (double d : {0.01, 0.02, 0.03}) ASSERT_EQ(0, M::addWayPoint(away(d)));
    const kz::CoordCalibrateByJointAngleAndTool base = {};
    const double axis[3] = {0.0, 0.0, 1.0};
    kz::wayPoint_S wp = away(0.1);
    using Call = std::function<int()>;
    auto ahead = [](Call call) -> Call {
        return [call] {
            M::setArrivalAheadDistanceMode(0.01);
            const int ret = call();
            M::setNoArrivalAhead();
            return ret;
        };
    };
    auto track = [&](kz::move_track t) -> Call {
        return [&, t] { return move_->robotTrackMove(t, false); };
    };
    auto teach = [&](kz::teach_mode t, bool ori) -> Call {
        return [&, t, ori] { return move_->robotTeachStart(t, ori); };
    };
    const Call joint = [&] { return move_->robotJointMove(wp, false); };
    const Call line = [&] { return move_->robotLineMove(wp, false); };
    const struct {
        Call call;
        int type, mode, track, teach;
        char limits;
        float radius;
        int loops, points;
    } rows[] = {
        // clang-format off
        {joint, 22, kz::MODEJ, kz::NO_TRACK, kz::NO_TEACH, 'J', 0.02f, 0, 1},
        {ahead(joint), 22, kz::MODEJ, kz::TRACKING, kz::NO_TEACH, 'J', 0.02f, 0, 1},
        {[&] { return move_->robotFollowModeJointMove(wp); }, 22, kz::MODEJ, kz::TRACKING, kz::NO_TEACH, 'J', 0.02f, 0, 1},
        {line, 22, kz::MODEL, kz::NO_TRACK, kz::NO_TEACH, 'C', 0.02f, 0, 1},
        {ahead(line), 22, kz::MODEL, kz::NO_TRACK, kz::NO_TEACH, 'C', 0.02f, 0, 1},
        {[&] { return move_->robotLineRotateMove(base, axis, 0.3, false); }, 22, kz::MODEL, kz::NO_TRACK, kz::ROT_Y, 'C', 0.02f, 0, 1},
        {track(kz::JOINT_UBSPLINEINTP), 22, kz::MODEP, kz::JOINT_UBSPLINEINTP, kz::NO_TEACH, 'J', 0.1f, 0, 3},
        {track(kz::JIONT_CUBICSPLINE), 22, kz::MODEP, kz::JIONT_CUBICSPLINE, kz::NO_TEACH, 'J', 0.02f, 0, 3},
        {track(kz::CARTESIAN_MOVEP), 22, kz::MODEP, kz::CARTESIAN_MOVEP, kz::NO_TEACH, 'C', 0.02f, 0, 3},
        {track(kz::TRACKING), 22, kz::MODEP, kz::TRACKING, kz::NO_TEACH, 'J', 0.02f, 0, 3},
        {[&] { return move_->offlineTrackWaypointAppend({wp, wp}); }, 71, 0, 0, 0, '0', 0, 0, 2},
        {[&] { return move_->setRobotPosData2Canbus(wp); }, 77, 0, 0, 0, '0', 0, 0, 1},
        {teach(kz::MOV_Z, true), 23, kz::MODEL, kz::TRACKING, kz::MOV_Z, 'C', 0.02f, 1, 0},
        {teach(kz::JOINT3, false), 23, kz::MODEJ, kz::TRACKING, kz::JOINT3, 'J', 0.02f, 0, 0},
        // clang-format on
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto &row = rows[i];
        ASSERT_EQ(0, row.call()) << i;
        common::RobotMove move;
        if (row.type == Cmd::CommunicationType_RobotTeachMoveStart) {
            *move.mutable_move_profile() = last<common::RobotTeachMove>(row.type).move_profile();
        } else {
            move = last<common::RobotMove>(row.type);
        }
        const common::RobotMoveProfile &p = move.move_profile();
        EXPECT_EQ(row.mode, p.movemode()) << i;
        EXPECT_EQ(row.track, p.submovemode()) << i;
        EXPECT_EQ(row.teach, p.teachmode()) << i;
        EXPECT_EQ(row.radius, p.blendradius()) << i;
        EXPECT_EQ(row.loops, p.circularlooptimes()) << i;
        EXPECT_EQ(row.limits == '0' ? 0.0 : 1.0, p.toolinendorientation().w()) << i;
        EXPECT_EQ(row.points, move.roadpointvector_size()) << i;
        const double joint25 = row.limits == '0' ? 0.0 : 0.4363323129985824;
        const double cart[2] = {0.03, 1.7453292519943295};
        for (int j = 0; j < 6 && p.maxvelc().jointpara_size() == 6; ++j) {
            const double expected = row.limits == 'C' && j < 2 ? cart[j] : joint25;
            EXPECT_EQ(expected, p.maxvelc().jointpara(j)) << i << " " << j;
            EXPECT_EQ(expected, p.maxacc().jointpara(j)) << i << " " << j;
        }
        move_->robotTeachStop();
    }
    // The rotation travels as angle and axis in the orientation of the current waypoint.
    ASSERT_EQ(0, move_->robotLineRotateMove(base, axis, 0.3, false));
    const common::RobotMove rotate = last<common::RobotMove>(22);
    EXPECT_EQ(0.3, rotate.roadpointvector(0).orientation().w());
    EXPECT_EQ(1.0, rotate.roadpointvector(0).orientation().z());
    EXPECT_NEAR(here_.jointpos[1], rotate.roadpointvector(0).jointpos(1), 1e-9);
}

TEST_F(MoveServiceTest, RefusalsSendNothing) {
    M::addWayPoint(here_);
    M::addWayPoint(here_);
    kz::CoordCalibrateByJointAngleAndTool base = {}, bad = {};
    bad.coordType = static_cast<kz::coordinate_refer>(5);  // fixed to int: a defined value
    const kz::ToolInEndDesc tool = {};
    const kz::MoveRelative up = {true, {0.0f, 0.0f, 0.01f}};
    const double axis[3] = {0, 0, 1};
    const kz::Pos &at = here_.cartPos.position;
    const struct {
        std::function<int()> call;
        int result;
        const char *line;
    } cases[] = {
        // clang-format off
        {[&] { return move_->robotTrackMove(static_cast<kz::move_track>(8), true); }, kz::ErrCode_ParamError, "sdk log: robotTrackMove track mode error. mode:8"},
        {[&] { return move_->robotTeachStart(static_cast<kz::teach_mode>(13), true); }, kz::ErrCode_ParamError, "sdk log: robotTeachStart teach mode error. mode:13"},
        {[&] { return move_->robotTrackMove(kz::CARTESIAN_MOVEP, true); }, kz::ErrCode_MotionWaypointVetorSizeError, "sdk log: Number of waypoints less than 3."},
        {[&] { return move_->robotMoveToTargetPositionByRelative(kz::MODEP, base, tool, up, true); }, kz::ErrCode_ParamError, "sdk log: robotMoveToTargetPosition move mode error."},
        {[&] { return move_->robotMoveToTargetPositionByRelative(kz::MODEL, bad, tool, up, true); }, kz::ErrCode_ParamError, nullptr},
        {[&] { return move_->robotMoveToTargetPositionByPosition(kz::MODEJ, bad, at, tool, true); }, kz::ErrCode_ParamError, nullptr},
        {[&] { return move_->robotLineRotateMove(bad, axis, 0.1, true); }, kz::ErrCode_ParamError, nullptr},
        {[&] { return move_->startupOfflineExcitTraj(nullptr, kz::Dyn_identify_traj_robot, 0, true); }, kz::ErrCode_ParamError, "sdk log: startupOfflineExcitTraj track file is NULL."},
        // clang-format on
    };
    const auto noClass = static_cast<M::RobotMoveClass>(3);
    RobotMoveProfile profile;
    M::initDefaultMoveProfile(profile);
    EXPECT_EQ(kz::ErrCode_Failed, move_->moveBaseService(noClass, profile, {}, false));
    EXPECT_EQ(kz::ErrCode_Failed, move_->moveBaseService(noClass, profile, {}, true));
    EXPECT_TRUE(logged("sdk log:Move class not exist.") &&
                logged("sdk log: Move class not exist."));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].result, cases[i].call()) << i;
        EXPECT_TRUE(cases[i].line == nullptr || logged(cases[i].line)) << i;
    }
    for (int type : {22, 23, 78}) EXPECT_TRUE(controller().received(type).empty()) << type;
}

// A track move sends a copy of the list taken under the settings lock, while another thread
// of another connection keeps adding to it.
TEST_F(MoveServiceTest, TrackMovesSendTheListAsItWasWhileAnotherThreadAdds) {
    for (int i = 0; i < 3; ++i) ASSERT_EQ(0, M::addWayPoint(here_));
    std::future<int> adding = inBackground([this] {
        int added = 0;
        while (added < 100 && M::addWayPoint(here_) == 0) ++added;
        return added;
    });
    for (int i = 0; i < 10; ++i) EXPECT_EQ(0, move_->robotTrackMove(kz::JOINT_UBSPLINEINTP, false));
    EXPECT_EQ(100, ended(adding));
    int previous = 0;
    for (const auto &package : controller().received(Cmd::CommunicationType_RobotMove)) {
        common::RobotMove move;
        ASSERT_TRUE(move.ParseFromString(package.body));
        EXPECT_LE(previous, move.roadpointvector_size());
        previous = move.roadpointvector_size();
    }
}

// A script stops the arm and at once starts a blocking move: the stop's own event, which the
// controller sends after its reply, must not be taken for a stop of that move.
TEST_F(MoveServiceTest, StopThenMoveEndsOnItsArrival) {
    const std::function<int()> stops[] = {
        [&] { return move_->robotMoveControl(kz::RobotMoveStop); },
        [&] { return move_->robotMoveFastStop(); },
        [&] { return move_->offlineTrackMoveStop(); },
    };
    int interrupted = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(0, stops[round % std::size(stops)]()) << round;
        kz::wayPoint_S target = away(round % 2 ? 0.02 : 0.0);
        const int result = move_->robotJointMove(target, true);
        interrupted += result == kz::ErrCode_MotionInterruptedByEvent;
        ASSERT_TRUE(result == 0 || result == kz::ErrCode_MotionInterruptedByEvent) << result;
    }
    EXPECT_EQ(0, interrupted);
}

TEST_F(MoveServiceTest, BlockingMovesReturnOnArrival) {
    kz::wayPoint_S target = away(0.5);
    EXPECT_EQ(0, move_->robotJointMove(target, true));
    EXPECT_NEAR(target.jointpos[0], controller().joints()[0], 1e-9);
    EXPECT_TRUE(logged("sdk log: User blocking call motion interface."));
    for (double d : {0.1, 0.2, 0.3}) M::addWayPoint(away(d));
    EXPECT_EQ(0, move_->robotTrackMove(kz::CARTESIAN_CUBICSPLINE, true));
    ASSERT_EQ(0, move_->offlineTrackWaypointAppend({away(0.2), away(0.3)}));
    EXPECT_EQ(0, move_->offlineTrackMoveStartupService(true));
    EXPECT_EQ(0, move_->startupOfflineExcitTraj("excit.traj", kz::Dyn_identify_traj_tool, 3, true));
    EXPECT_EQ(1u, controller().received(Cmd::CommunicationType_StartupOfflineExcitTraj).size());
}

TEST_F(SlowMoveTest, ArrivalBeforeTheReplyEndsTheMoveWithoutWaiting) {
    kezu_sim::ReplyFault fault(milliseconds(200));
    fault.eventBefore = kezu_sim::ControllerEvent{22, 0, "at target position"};
    controller().setReplyFault(Cmd::CommunicationType_RobotMove, fault);
    kz::wayPoint_S target = away(1.0);
    EXPECT_EQ(0, move_->robotJointMove(target, true));
    EXPECT_TRUE(logged("sdk log: atTrackTargetPos singal before the response appears"));
}

// Two moves wait on one link, the second sent after the first. Stops end both with 10021, a
// lost link both with 10004; a state event with a code ends neither. An arrival is the later
// move's: it ends that one with 0 and the earlier one, whose target the arm left, with 10021.
TEST_F(SlowMoveTest, StopsAndLinkLossEndEveryWaitAndAnArrivalOnlyItsOwn) {
    const int stopped = kz::ErrCode_MotionInterruptedByEvent, lost = kz::ErrCode_SocketDisconnect;
    struct {
        std::function<void()> act;
        int first, second;
    } const cases[] = {
        {[&] { controller().sendEvent(26, 1, "controller error"); }, stopped, stopped},
        {[&] { controller().sendEvent(25, 0, "robot stopped"); }, stopped, stopped},
        {[&] { EXPECT_EQ(0, move_->robotMoveFastStop()); }, stopped, stopped},
        {[&] { EXPECT_EQ(0, move_->robotMoveControl(kz::RobotMoveStop)); }, stopped, stopped},
        {[&] { controller().sendEvent(25, 3, "state changed"); }, -1, -1},
        {[&] { controller().sendEvent(22, 0, "at target position"); }, stopped, 0},
        {[&] { controller().closeConnectionsNow(); }, lost, lost},
        {[&] { services().logoutService(); }, lost, lost},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        if (!services().getCurrentConnectStatus()) {
            ASSERT_EQ(0, services().loginService("127.0.0.1", controller().port(), "u", "p"));
        }
        std::future<int> first = blockingMoveUnderWay(), second = blockingMoveUnderWay();
        cases[i].act();
        if (cases[i].first == -1) {
            EXPECT_EQ(std::future_status::timeout, second.wait_for(milliseconds(300))) << i;
            EXPECT_EQ(std::future_status::timeout, first.wait_for(milliseconds(0))) << i;
            controller().sendEvent(22, 0, "at target position");
            EXPECT_EQ(stopped, ended(first)) << i;
            EXPECT_EQ(0, ended(second)) << i;
        } else {
            EXPECT_EQ(cases[i].first, ended(first)) << i;
            EXPECT_EQ(cases[i].second, ended(second)) << i;
        }
    }
}

// A stop is asked for while no move runs, and its stop event is held back until a blocking
// move is under way. That event ends no move numbered after the stop; anything else that stops
// the arm still ends it with 10021. A stop the controller refused is owed no event, nor is one
// sent while a pause's reply is overdue: the reply it took may be the pause's.
TEST_F(SlowMoveTest, AStopsOwnEventEndsNoMoveNumberedAfterIt) {
    const int stopped = kz::ErrCode_MotionInterruptedByEvent;
    const int refused = kz::ErrCode_ResponseReturnError;
    auto event = [this](int type) {
        return [this, type] { controller().sendEvent(type, 0, "e"); };
    };
    auto stop = [this] { EXPECT_EQ(0, move_->robotMoveControl(kz::RobotMoveStop)); };
    auto refusedStop = [this, refused] {
        controller().setReplyFault(Cmd::CommunicationType_RobotMoveControl,
                                   kezu_sim::ReplyFault(milliseconds(0), false, 2));
        EXPECT_EQ(refused, move_->robotMoveControl(kz::RobotMoveStop));
    };
    auto afterTheWait = [] {
        std::this_thread::sleep_for(MoveLedger::STOP_EVENT_WAIT + milliseconds(200));
    };
    struct {
        const char *name;
        std::vector<std::function<void()>> act;
        int result;              // 0: the move waits on until the test's arrival
        milliseconds stopReply;  // the move starts once the stop went out, before its reply
        int stopCode = 0;        // the controller's answer to the stop before the move
        // A pause right before the stop, its reply this late: the stop, sent once the pause gave
        // up, takes it (0.7 s after the stop went out, before the stop's own refusal).
        milliseconds pauseReply{0};
    } const cases[] = {
        {"TheStopsEvent", {event(25)}, 0, milliseconds(0)},
        {"TheEventOfAStopStillAwaitingItsReply", {event(25)}, 0, milliseconds(300)},
        {"AControllerStopRightAfterTheStopsEvent",
         {event(25), event(25)},
         stopped,
         milliseconds(0)},
        {"AControllerErrorIsNeverOwed", {event(26)}, stopped, milliseconds(0)},
        {"AStopDuringTheMoveWhoseEventComesFirst", {stop, event(25)}, stopped, milliseconds(0)},
        {"AStopWhoseEventNeverComes", {afterTheWait, event(25)}, stopped, milliseconds(0)},
        {"ARefusedStopIsOwedNothing", {event(25)}, stopped, milliseconds(0), 2},
        {"TheStopsLateEventAfterARefusedStopDuringTheMove",
         {refusedStop, event(25)},
         0,
         milliseconds(0)},
        {"AStopThatMayHaveTakenALatePausesReplyIsOwedNothing",
         {event(25)},
         stopped,
         milliseconds(1000),
         2,
         milliseconds(1500)},
    };
    for (const auto &c : cases) {
        const bool afterALatePause = c.pauseReply.count() > 0;
        if (afterALatePause) {
            controller().setReplyFault(Cmd::CommunicationType_RobotMoveControl,
                                       kezu_sim::ReplyFault(c.pauseReply));
            EXPECT_EQ(kz::ErrCode_RequestTimeout, move_->robotMoveControl(kz::RobotMovePause))
                << c.name;
        }
        kezu_sim::ReplyFault withheld(c.stopReply, false, c.stopCode);
        withheld.withholdEvents = true;
        controller().setReplyFault(Cmd::CommunicationType_RobotMoveControl, withheld);
        controller().clearReceived();
        const int stopResult = c.stopCode == 0 || afterALatePause ? 0 : refused;
        std::future<int> stopping =
            inBackground([this] { return move_->robotMoveControl(kz::RobotMoveStop); });
        if (c.stopReply.count() == 0 || afterALatePause) {
            EXPECT_EQ(stopResult, ended(stopping)) << c.name;
        }
        ASSERT_TRUE(
            controller().waitForPackages(Cmd::CommunicationType_RobotMoveControl, 1, kBound));
        std::future<int> move = blockingMoveUnderWay();
        for (const auto &act : c.act) act();
        if (c.result == 0) {
            EXPECT_EQ(std::future_status::timeout, move.wait_for(milliseconds(300))) << c.name;
            controller().sendEvent(22, 0, "at target position");
        }
        EXPECT_EQ(c.result, ended(move)) << c.name;
        if (move.valid()) {  // still waiting: end it, so the next row starts with none
            controller().sendEvent(26, 1, "controller error");
            move.wait();
        }
        if (stopping.valid()) {
            EXPECT_EQ(stopResult, ended(stopping)) << c.name;
        }
    }
}

// A stopped event ends a blocking move with 10021 whenever no stop of the program's can still
// be owed it. A stop that went out while a reply of its kind was unanswered may have taken that
// reply for its own: it is owed nothing, and from then on neither are the stops before it. An
// arrival shows that the stops sent before its move were carried out. Each row starts on a
// fresh link, so that no late reply of the row before reaches it.
TEST_F(SlowMoveTest, AStoppedEventEndsTheMoveWhenNoStopCanStillBeOwedIt) {
    using Step = std::function<void()>;
    const int timedOut = kz::ErrCode_RequestTimeout;
    std::future<int> move;
    // The reply comes this late, with the controller's code; the arm sends no event for it.
    auto late = [](int ms, int code = 0) {
        kezu_sim::ReplyFault fault(milliseconds(ms), false, code);
        fault.withholdEvents = true;
        return fault;
    };
    auto control = [this](kz::RobotMoveControlCommand command, kezu_sim::ReplyFault fault,
                          int result) -> Step {
        return [this, command, fault, result] {
            controller().setReplyFault(Cmd::CommunicationType_RobotMoveControl, fault);
            EXPECT_EQ(result, move_->robotMoveControl(command)) << command;
        };
    };
    const Step moveOut = [&] { move = blockingMoveUnderWay(); };
    const Step shortMove = [&] {
        kz::wayPoint_S target = away(0.02);
        EXPECT_EQ(0, move_->robotJointMove(target, true));
    };
    const Step controllerStop = [&] { controller().sendEvent(25, 0, "robot stopped"); };
    // A stop refused 1.5 s late, and a blocking move that goes out while it waits.
    const Step stopRefusedLateAsAMoveGoesOut = [&] {
        controller().setReplyFault(Cmd::CommunicationType_RobotMoveControl, late(1500, 2));
        controller().clearReceived();
        std::future<int> stopping =
            inBackground([this] { return move_->robotMoveControl(kz::RobotMoveStop); });
        ASSERT_TRUE(
            controller().waitForPackages(Cmd::CommunicationType_RobotMoveControl, 1, kBound));
        move = blockingMoveUnderWay();
        EXPECT_EQ(timedOut, ended(stopping));
    };
    const auto stop = kz::RobotMoveStop, pause = kz::RobotMovePause;
    const struct {
        const char *name;
        std::vector<Step> steps;
    } cases[] = {
        // The continue takes the pause's late reply, the refused stop the continue's.
        {"AChainOfLateReplies",
         {control(pause, late(1500), timedOut), control(kz::RobotMoveContinue, late(1200), 0),
          control(stop, late(1000, 2), 0), moveOut, controllerStop}},
        {"AStopRefusedLateThenAStopCarriedOut",
         {stopRefusedLateAsAMoveGoesOut, control(stop, {}, 0)}},
        {"AStopWithoutItsEventThenALatePauseThenAStop",
         {control(stop, late(0), 0), moveOut, control(pause, late(1500), timedOut),
          control(stop, {}, 0)}},
        {"AnArrivalAfterAStopWithoutItsEvent",
         {control(stop, late(0), 0), shortMove, moveOut, controllerStop}},
        // The pause stays unanswered for the rest of the link.
        {"APauseNeverAnswered",
         {control(pause, kezu_sim::ReplyFault(milliseconds(0), true), timedOut),
          control(stop, late(0), 0), control(stop, late(0), 0), moveOut, controllerStop}},
    };
    for (const auto &c : cases) {
        services().logoutService();
        ASSERT_EQ(0, services().loginService("127.0.0.1", controller().port(), "u", "p"));
        for (const Step &step : c.steps) step();
        EXPECT_EQ(kz::ErrCode_MotionInterruptedByEvent, ended(move)) << c.name;
        if (move.valid()) {  // still waiting: end it, so the next row starts with none
            controller().sendEvent(26, 1, "controller error");
            move.wait();
        }
        controller().clearReplyFaults();
    }
}

// The controller stops the arm while the program's stop still waits behind a pause for its
// turn on the link: no stop of the program's can owe that event, so it ends the move.
TEST_F(SlowMoveTest, AControllerStopBeforeTheProgramsStopGoesOutEndsTheMove) {
    kezu_sim::ReplyFault slow(milliseconds(300));
    slow.withholdEvents = true;  // the arm stands already: the stop causes no event
    controller().setReplyFault(Cmd::CommunicationType_RobotMoveControl, slow);
    std::future<int> move = blockingMoveUnderWay();
    std::future<int> pause =
        inBackground([this] { return move_->robotMoveControl(kz::RobotMovePause); });
    ASSERT_TRUE(controller().waitForPackages(Cmd::CommunicationType_RobotMoveControl, 1, kBound));
    std::future<int> stop =
        inBackground([this] { return move_->robotMoveControl(kz::RobotMoveStop); });
    // Time for the stop to queue behind the pause; the move must end either way.
    std::this_thread::sleep_for(milliseconds(100));
    controller().sendEvent(25, 0, "robot stopped");
    EXPECT_EQ(kz::ErrCode_MotionInterruptedByEvent, ended(move));
    if (move.valid()) {  // still waiting: end it, so the test ends
        controller().sendEvent(26, 1, "controller error");
    }
    EXPECT_EQ(0, ended(pause));
    EXPECT_EQ(0, ended(stop));
}

// Events read while a move's request is still being built, before its package goes out, are
// not about that move: the controller has not seen it yet. The move waits for its own arrival.
TEST_F(SlowMoveTest, EventsBeforeAMovesPackageGoesOutAreNotItsOwn) {
    struct {
        int type, code;
    } const cases[] = {{22, 0}, {25, 0}, {26, 1}};
    RobotMoveProfile profile;
    M::initDefaultMoveProfile(profile);
    profile.moveMode = kz::MODEJ;
    pthread_mutex_t &mutex = *services().getRobotMoveAtTrackTargetPosMutexPtr();
    auto end = [&](MoveLedger::Id id) {
        PthreadLock lock(mutex);
        return services().moveEndLocked(id);
    };
    for (const auto &c : cases) {
        services().setRobotMoveAtTrackTargetSignalFlag(false);
        services().setRobotMoveAbnormalStopFlag(false);
        MoveLedger::Id id = 0;
        const int sent = services().sendMove(
            [&] {
                controller().sendEvent(c.type, c.code, "e");
                EXPECT_TRUE(waitUntil([&] {
                    return services().getRobotMoveAtTrackTargetSignalFlag() ||
                           services().getRobotMoveAbnormalStopFlag();
                }));
                return move_->moveProfileAndWaypointsFormatCommunication(
                    Cmd::CommunicationType_RobotMove, profile, {away(1.0)});
            },
            true, id);
        ASSERT_EQ(0, sent) << c.type;
        EXPECT_EQ(MoveLedger::End::Waiting, end(id)) << c.type;
        controller().sendEvent(22, 0, "at target position");
        EXPECT_TRUE(waitUntil([&] { return end(id) == MoveLedger::End::Arrived; })) << c.type;
        PthreadLock lock(mutex);
        services().forgetMoveLocked(id);
    }
}

// A later move that the controller refuses, with any code (4: no real robot), takes the arm
// nowhere: the earlier move still ends with its arrival, also one that comes while the refused
// request is under way. A later move whose reply never came may have been carried out: the
// arrival is no longer the earlier one's.
TEST_F(SlowMoveTest, ALaterMoveReplacesTheEarlierUnlessRefused) {
    struct {
        const char *name;
        kezu_sim::ReplyFault fault;
        int second, first;
    } const cases[] = {
        {"Refused", kezu_sim::ReplyFault(milliseconds(0), false, 2),
         kz::ErrCode_ResponseReturnError, 0},
        {"RefusedWhileTheArrivalComes", kezu_sim::ReplyFault(milliseconds(300), false, 2),
         kz::ErrCode_ResponseReturnError, 0},
        {"RefusedWithNoRealRobot", kezu_sim::ReplyFault(milliseconds(0), false, 4),
         kz::ErrCode_RealRobotNoExist, 0},
        {"TimedOut", kezu_sim::ReplyFault(milliseconds(0), true), kz::ErrCode_RequestTimeout,
         kz::ErrCode_MotionInterruptedByEvent},
    };
    for (const auto &c : cases) {
        std::future<int> first = blockingMoveUnderWay();
        controller().setReplyFault(Cmd::CommunicationType_RobotMove, c.fault);
        std::future<int> second = blockingMove();
        const bool arrivalDuringTheRequest = c.fault.delay.count() > 0;
        if (arrivalDuringTheRequest) {
            ASSERT_TRUE(controller().waitForPackages(Cmd::CommunicationType_RobotMove, 2, kBound));
            controller().sendEvent(22, 0, "at target position");
        }
        EXPECT_EQ(c.second, ended(second)) << c.name;
        controller().clearReplyFaults();
        if (!arrivalDuringTheRequest) {
            controller().sendEvent(22, 0, "at target position");
        }
        EXPECT_EQ(c.first, ended(first)) << c.name;
    }
}

TEST_F(SlowMoveTest, FailingRequestReturnsItsCodeAtOnce) {
    const std::pair<kezu_sim::ReplyFault, int> cases[] = {
        {kezu_sim::ReplyFault(milliseconds(0), false, 2), kz::ErrCode_ResponseReturnError},
        {kezu_sim::ReplyFault(milliseconds(0), false, 4), kz::ErrCode_RealRobotNoExist},
        {kezu_sim::ReplyFault(milliseconds(0), true), kz::ErrCode_RequestTimeout}};
    for (const auto &[fault, code] : cases) {
        controller().setReplyFault(Cmd::CommunicationType_RobotMove, fault);
        std::future<int> result = blockingMove();
        EXPECT_EQ(code, ended(result));
    }
    EXPECT_TRUE(logged("sdk log: robotMoveInterface return false, because server return false."));
}

TEST_F(SlowMoveTest, TeachMoveJogsOneJointUntilStopped) {
    ASSERT_EQ(0, move_->robotTeachStart(kz::JOINT3, true));
    kz::JointParam now = {};
    ASSERT_TRUE(waitUntil([&] {
        return services().getCurrentJointAngle(now) == 0 &&
               now.jointPos[2] > here_.jointpos[2] + 0.001;
    }));
    ASSERT_EQ(0, move_->robotTeachStop());
    const kezu_sim::Joints stopped = controller().joints();
    EXPECT_LT(stopped[2], here_.jointpos[2] + 0.5);
    EXPECT_EQ(here_.jointpos[1], stopped[1]);
}

TEST_F(MoveServiceTest, CartesianJogMovesTheToolAlongItsAxis) {
    const double z = controller().pose().position[2];
    ASSERT_EQ(0, move_->robotTeachStart(kz::MOV_Z, false));
    EXPECT_TRUE(waitUntil([&] { return controller().pose().position[2] <= z - 0.49; }));
    EXPECT_NEAR(z - 0.5, controller().pose().position[2], 1e-9);
}

// Targets keep the current orientation and move the flange by the offset in the frame given;
// a position target in the base frame without a tool is the flange position itself.
TEST_F(MoveServiceTest, TargetsUseTheirFrame) {
    const kz::ToolInEndDesc tool = {{0, 0, 0}, {1, 0, 0, 0}};
    const kz::MoveRelative offset = {true, {0.01f, -0.02f, 0.03f}};
    const kz::Pos d = {offset.relativePosition[0], offset.relativePosition[1],
                       offset.relativePosition[2]};
    const kz::Pos &from = here_.cartPos.position, turned = kintest::rotate(here_.orientation, d);
    const kz::Pos inBase = {from.x + d.x, from.y + d.y, from.z + d.z};
    const kz::Pos inEnd = {from.x + turned.x, from.y + turned.y, from.z + turned.z};
    kz::CoordCalibrateByJointAngleAndTool base = {}, end = {};
    end.coordType = kz::EndCoordinate;
    const std::pair<std::function<int()>, kz::Pos> cases[] = {
        // clang-format off
        {[&] { return move_->robotMoveToTargetPositionByRelative(kz::MODEL, base, tool, offset, true); }, inBase},
        {[&] { return move_->robotMoveToTargetPositionByRelative(kz::MODEJ, end, tool, offset, true); }, inEnd},
        {[&] { return move_->robotMoveToTargetPositionByPosition(kz::MODEL, base, inEnd, tool, true); }, inEnd},
        // clang-format on
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        controller().setJoints(kStart);
        ASSERT_EQ(0, cases[i].first()) << i;
        const common::ProtoRoadPoint p = last<common::RobotMove>(22).roadpointvector(0);
        ASSERT_EQ(1, p.cartpos().position_size());
        EXPECT_NEAR(cases[i].second.x, p.cartpos().position(0).x(), 1e-6) << i;
        EXPECT_NEAR(cases[i].second.y, p.cartpos().position(0).y(), 1e-6) << i;
        EXPECT_NEAR(cases[i].second.z, p.cartpos().position(0).z(), 1e-6) << i;
        EXPECT_NEAR(here_.orientation.w, p.orientation().w(), 1e-9) << i;
    }
}

}  // namespace
