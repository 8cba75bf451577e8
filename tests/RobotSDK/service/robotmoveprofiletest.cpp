#include <algorithm>
#include <cmath>
#include <functional>
#include <future>
#include <iterator>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "robotmoveservice.h"

namespace {

namespace kz = kezu_robot_namespace;
using M = RobotMoveService;
using Joints = kz::JointVelcAccParam;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

class MoveProfile : public ::testing::Test {
protected:
    void SetUp() override { M::initClassProfile(); }
    void TearDown() override { M::initClassProfile(); }

    static RobotMoveProfile profile(kz::move_mode mode) {
        RobotMoveProfile p;
        M::initCurrnetMoveProfile(mode, kz::NO_TRACK, kz::NO_TEACH, p);
        return p;
    }
};

// A bounded setting seen as one double. Joint limits set all six joints (joint < 0), or one
// of them with the others valid.
struct Setting {
    std::function<int(double, int)> set;
    std::function<double()> get;
};
Setting joints(int (*set)(const Joints &), void (*get)(Joints &)) {
    return {[set](double v, int joint) {
                Joints j = {{0.5, 0.5, 0.5, 0.5, 0.5, 0.5}};
                for (int k = 0; k < 6; ++k) j.jointPara[k] = joint < 0 || k == joint ? v : 0.5;
                return set(j);
            },
            [get] {
                Joints j;
                get(j);
                EXPECT_TRUE(std::equal(j.jointPara + 1, j.jointPara + 6, j.jointPara));
                return j.jointPara[0];
            }};
}
Setting single(int (*set)(double), void (*get)(double &)) {
    return {[set](double v, int) { return set(v); },
            [get] {
                double v = 0;
                get(v);
                return v;
            }};
}

TEST_F(MoveProfile, BoundedSettingsTakeTheirBoundsAndRefuseZeroAboveAndNaN) {
    const Setting blend = {[](double v, int) { return M::setBlendRadius(float(v)); },
                           [] { return double(M::getBlendRadius()); }};
    const float nearest = 0.0501f;  // 0.05009999871253967, just below the double bound
    const double jointAcc = 83.77597862865302, jointVelc = 8.726820792896847,
                 angle = 3.141767186514992;
    const struct {
        Setting setting;
        std::vector<double> good, bad;
    } cases[] = {
        // clang-format off
        {joints(M::setMoveJointMaxAcc, M::getMoveJointMaxAcc), {jointAcc, 1e-9}, {0, -1, std::nextafter(jointAcc, 99), kNaN}},
        {joints(M::setMoveJointMaxVelc, M::getMoveJointMaxVelc), {jointVelc}, {0, std::nextafter(jointVelc, 9), kNaN}},
        {single(M::setMoveEndMaxLineAcc, M::getMoveEndMaxLineAcc), {5.01}, {0, 5.0100001, kNaN}},
        {single(M::setMoveEndMaxLineVelc, M::getMoveEndMaxLineVelc), {5.01}, {-1, 5.02, kNaN}},
        {single(M::setMoveEndMaxAngleAcc, M::getMoveEndMaxAngleAcc), {angle}, {0, std::nextafter(angle, 4), kNaN}},
        {single(M::setMoveEndMaxAngleVelc, M::getMoveEndMaxAngleVelc), {angle}, {0, 3.1418, kNaN}},
        {blend, {0.05f, nearest, 0.03f}, {0, std::nextafter(nearest, 1.0f), -0.01f, kNaN}},
        // clang-format on
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto &[set, get] = cases[i].setting;
        for (double v : cases[i].good) {
            EXPECT_EQ(0, set(v, -1)) << i << " " << v;
            EXPECT_EQ(v, get()) << i;
        }
        const double kept = get();
        for (double v : cases[i].bad) {
            for (int joint = 0; joint < 6; ++joint) {
                EXPECT_EQ(kz::ErrCode_ParamError, set(v, joint)) << i << " " << v << " " << joint;
                EXPECT_EQ(kept, get()) << i;
            }
        }
    }
}

TEST_F(MoveProfile, WaypointListHoldsAtMost5000AndCopiesOutReplacing) {
    kz::wayPoint_S wp = {};
    for (int i = 0; i < 5000; ++i) {
        wp.jointpos[0] = i;
        ASSERT_EQ(0, M::addWayPoint(wp)) << i;
    }
    EXPECT_EQ(kz::ErrCode_MotionWaypointVetorSizeError, M::addWayPoint(wp));
    std::vector<kz::wayPoint_S> out(7, kz::wayPoint_S{});
    M::getWayPointVector(out);
    ASSERT_EQ(5000u, out.size());
    EXPECT_EQ(4999.0, out.back().jointpos[0]);
}

// Two threads of two connections share the settings: both add waypoints, one switches the
// joint limits while the other builds joint-move profiles and copies the list.
TEST_F(MoveProfile, ThreadsAddingWaypointsAndSwitchingLimitsSeeWholeStates) {
    const int rounds = 2000;
    auto switching = std::async(std::launch::async, [] {
        for (int i = 0; i < rounds; ++i) {
            const double v = i % 2 ? 0.1 : 0.2;
            M::addWayPoint(kz::wayPoint_S{});
            M::setMoveJointMaxVelc(Joints{{v, v, v, v, v, v}});
        }
    });
    auto moving = std::async(std::launch::async, [] {
        int mixed = 0;
        std::vector<kz::wayPoint_S> list;
        for (int i = 0; i < rounds; ++i) {
            M::addWayPoint(kz::wayPoint_S{});
            const RobotMoveProfile p = profile(kz::MODEJ);
            mixed +=
                !std::equal(p.maxVelc.jointPara + 1, p.maxVelc.jointPara + 6, p.maxVelc.jointPara);
            if (i % 100 == 0) M::getWayPointVector(list);
        }
        return mixed;
    });
    switching.get();
    EXPECT_EQ(0, moving.get());
    std::vector<kz::wayPoint_S> list;
    M::getWayPointVector(list);
    EXPECT_EQ(2u * rounds, list.size());
}

TEST_F(MoveProfile, ResetRestoresDefaultsButKeepsTheToolAndLaterServicesChangeNothing) {
    M first(nullptr);
    const kz::ToolInEndDesc tool = {{0.1, 0.2, 0.3}, {0, 1, 0, 0}};
    M::setMoveProfileToolParam(tool);
    M::setMoveEndMaxLineVelc(1.0);
    M::setArrivalAheadTimeMode(0.5);
    M::setMoveProfileRelativeParam(kz::MoveRelative{true, {1, 2, 3}});
    M another(nullptr);
    EXPECT_EQ(1.0, profile(kz::MODEL).maxVelc.cartPara[0]);

    M::initMoveProfile();
    const RobotMoveProfile p = profile(kz::MODEL);
    EXPECT_EQ(0.03, p.maxVelc.cartPara[0]);
    EXPECT_EQ(0.02f, p.blendRadius);
    EXPECT_EQ(0.1, M::getTrackPlaybackCycle());
    EXPECT_TRUE(p.toolTrack);
    EXPECT_EQ(0.2, p.toolInEndPosition.position.y);
    EXPECT_FALSE(p.relativeMove.ena);
    EXPECT_EQ(arrival_ahead_none, p.arrivalAhead.arrivalAheadStat);
}

TEST_F(MoveProfile, RelativeOffsetInAnEndFrameFailsButKeepsTheNewEnableFlag) {
    ASSERT_EQ(0, M::setMoveProfileRelativeParam(kz::MoveRelative{true, {0.1f, 0.2f, 0.3f}}));
    kz::CoordCalibrateByJointAngleAndTool endFrame = {};
    endFrame.coordType = kz::EndCoordinate;
    ASSERT_EQ(0, M::setMoveProfileRelativeParam(kz::MoveRelative{false, {9, 9, 9}}, endFrame));
    EXPECT_FALSE(profile(kz::MODEL).relativeMove.ena);
    EXPECT_EQ(kz::ErrCode_ParamError,
              M::setMoveProfileRelativeParam(kz::MoveRelative{true, {9, 9, 9}}, endFrame));
    const RobotMoveProfile p = profile(kz::MODEL);
    EXPECT_TRUE(p.relativeMove.ena);
    EXPECT_EQ(0.1f, p.relativeMove.relativePosition[0]);
    EXPECT_EQ(0.3f, p.relativeMove.relativePosition[2]);
}

}  // namespace
