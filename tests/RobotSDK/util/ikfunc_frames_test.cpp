#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "ikfunctestutil.h"

namespace {

using iktest::pointAt;
using iktest::waypoint;
using MoveConditionClass::BaseCoordinate;
using MoveConditionClass::EndCoordinate;
using MoveConditionClass::WorldCoordinate;

// ---------------------------------------------------------------- user frame

TEST(UserCoordinateCalib, MatchesTheLibraryAndRejectsMissingOutputs) {
    const wayPoint_S pts[3] = {pointAt(1, 2, 3), pointAt(1, 3, 3), pointAt(0, 2, 3)};
    double pos[3], ori[9], org[3];
    ASSERT_TRUE(Ikfunc::userCoordinateCalib(pts, 0, pos, ori, org));
    EXPECT_EQ(ori[1], 1.0);
    EXPECT_EQ(pos[0], -2.0);
    EXPECT_EQ(org[2], 3.0);
    double apiPos[3], apiOri[9], apiOrg[3];
    ASSERT_TRUE(Ikfunc::api_user_coord_calib(pts, 0, apiPos, apiOri, apiOrg));
    EXPECT_EQ(std::memcmp(ori, apiOri, sizeof ori), 0);

    EXPECT_FALSE(Ikfunc::userCoordinateCalib(pts, 0, nullptr, ori, org));
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(pts, 0, pos, nullptr, org));
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(pts, 0, pos, ori, nullptr));
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(nullptr, 0, pos, ori, org));
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(pts, -1, pos, ori, org));
    EXPECT_FALSE(Ikfunc::api_user_coord_calib(pts, 9, pos, ori, org));
}

// ---------------------------------------------------------------- tool calibration

class ToolCoordinateCalib : public ::testing::Test {
protected:
    std::mt19937 rng{71};
    const double tcp[3] = {0.02, 0.01, 0.12};
    const Pos tip = {0.4, 0.1, 0.2};

    // A flange waypoint with orientation q whose tool centre sits on `at`.
    wayPoint_S holding(const Ori &q, const Pos &at) const {
        wayPoint_S wp = waypoint(at, q);
        double R[9];
        Ikfunc::QuaternionToOriMatrix(q, R);
        for (int r = 0; r < 3; ++r) {
            wp.cartPos.positionVector[r] -=
                R[3 * r] * tcp[0] + R[3 * r + 1] * tcp[1] + R[3 * r + 2] * tcp[2];
        }
        return wp;
    }

    std::vector<wayPoint_S> aroundTip(int n) {
        std::vector<wayPoint_S> poses;
        for (int i = 0; i < n; ++i) {
            poses.push_back(holding(iktest::randomUnitQuaternion(rng), tip));
        }
        return poses;
    }

    // Mode 0: tip at a point, on the tool's +X, in its XY plane; returns the tool orientation.
    Ori teachXy(std::vector<wayPoint_S> &ori) {
        const Ori toolInFlange = iktest::randomUnitQuaternion(rng);
        const Ori first = iktest::randomUnitQuaternion(rng);
        Ori toolInBase;
        Ikfunc::endOrientation2ToolOrientation(toolInFlange, first, toolInBase);
        double T[9];
        Ikfunc::QuaternionToOriMatrix(toolInBase, T);
        const Pos onX = {tip.x + 0.05 * T[0], tip.y + 0.05 * T[3], tip.z + 0.05 * T[6]};
        const Pos inXy = {tip.x + 0.03 * T[0] + 0.04 * T[1], tip.y + 0.03 * T[3] + 0.04 * T[4],
                          tip.z + 0.03 * T[6] + 0.04 * T[7]};
        ori = {holding(first, tip), holding(iktest::randomUnitQuaternion(rng), onX),
               holding(iktest::randomUnitQuaternion(rng), inXy)};
        return toolInFlange;
    }

    void expectTcp(const double *found) const {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(found[k], tcp[k], 1e-10);
        }
    }
};

TEST_F(ToolCoordinateCalib, PositionOnlyLeavesTheOrientationAsGiven) {
    const std::vector<wayPoint_S> poses = aroundTip(6);
    double found[3] = {};
    Ori ori = {1, 0, 0, 0};
    ASSERT_TRUE(Ikfunc::api_tool_coord_calib(poses.data(), 6, nullptr, -1, found, ori));
    expectTcp(found);
    EXPECT_EQ(ori.w, 1.0);
    EXPECT_EQ(ori.x, 0.0);

    // A mode without orientation points is calibrated as position only.
    ori = {0.5, 0.5, 0.5, 0.5};
    ASSERT_TRUE(Ikfunc::api_tool_coord_calib(poses.data(), 6, nullptr, 0, found, ori));
    EXPECT_EQ(ori.w, 0.5);

    Ori direct = {0.5, 0.5, 0.5, 0.5};
    ASSERT_TRUE(Ikfunc::toolCoordinateCalib(poses.data(), 6, true, found, -1, nullptr, &direct));
    EXPECT_EQ(direct.w, 0.5);
}

TEST_F(ToolCoordinateCalib, RecoversTheToolOrientationFromThreePoints) {
    for (int trial = 0; trial < 20; ++trial) {
        const std::vector<wayPoint_S> poses = aroundTip(5);
        std::vector<wayPoint_S> ori;
        const Ori expected = teachXy(ori);
        double found[3] = {};
        Ori result = {1, 0, 0, 0};
        ASSERT_TRUE(Ikfunc::api_tool_coord_calib(poses.data(), 5, ori.data(), 0, found, result));
        expectTcp(found);
        EXPECT_LT(iktest::quaternionGap(result, expected), 1e-9);
        EXPECT_GE(result.w, 0.0);
    }
}

TEST_F(ToolCoordinateCalib, RejectsTooFewPosesAndMissingArguments) {
    const std::vector<wayPoint_S> poses = aroundTip(4);
    double found[3] = {7, 7, 7};
    Ori ori = {1, 0, 0, 0};
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(poses.data(), 3, nullptr, -1, found, ori));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(nullptr, 4, nullptr, -1, found, ori));
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), 3, false, found, -1, nullptr, &ori));
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), 4, false, nullptr, -1, nullptr, &ori));
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), -4, false, found, -1, nullptr, &ori));
    // An orientation mode needs its orientation points.
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), 4, false, found, 2, nullptr, &ori));
    EXPECT_EQ(found[0], 7.0);
}

TEST_F(ToolCoordinateCalib, OneOrientationForAllPosesFails) {
    const Ori q = iktest::randomUnitQuaternion(rng);
    const std::vector<wayPoint_S> poses = {holding(q, tip), holding(q, tip), holding(q, tip),
                                           holding(q, {0.1, 0.2, 0.3})};
    double found[3];
    Ori ori = {1, 0, 0, 0};
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(poses.data(), 4, nullptr, -1, found, ori));
}

TEST_F(ToolCoordinateCalib, CheckedCalibrationRejectsPosesWithLittleRotation) {
    std::vector<wayPoint_S> poses;
    for (int i = 0; i < 4; ++i) {
        const double a = 0.02 * i;
        poses.push_back(holding({std::cos(a), std::sin(a), 0.0, 0.0}, tip));
    }
    poses[3] = holding({std::cos(0.03), 0.0, std::sin(0.03), 0.0}, tip);
    double found[3];
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), 4, true, found, -1, nullptr, nullptr));
    EXPECT_TRUE(Ikfunc::toolCoordinateCalib(poses.data(), 4, false, found, -1, nullptr, nullptr));
}

// ---------------------------------------------------------------- frame conversions

class FrameConversion : public ::testing::Test {
protected:
    std::mt19937 rng{73};
    std::uniform_real_distribution<double> value{-0.6, 0.6};

    Pos randomPos() { return {value(rng), value(rng), value(rng)}; }

    wayPoint_S randomFlange() {
        wayPoint_S wp = waypoint(randomPos(), iktest::randomUnitQuaternion(rng));
        for (int j = 0; j < 6; ++j) {
            wp.jointpos[j] = 0.1 * (j + 1);
        }
        return wp;
    }

    static void expectSamePose(const wayPoint_S &a, const wayPoint_S &b, double tol) {
        EXPECT_LT(iktest::positionGap(a.cartPos.position, b.cartPos.position), tol);
        EXPECT_LT(iktest::quaternionGap(a.orientation, b.orientation), tol);
    }
};

TEST_F(FrameConversion, DisplayInTheBaseFrameAddsTheToolOrNothing) {
    const wayPoint_S flange = randomFlange();
    const double tcp[3] = {0.01, 0.02, 0.1};
    const Ori tcpOri = iktest::randomUnitQuaternion(rng);
    wayPoint_S shown = {};
    ASSERT_TRUE(
        Ikfunc::waypointDisplay(shown, flange, BaseCoordinate, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(std::memcmp(&shown, &flange, sizeof shown), 0);

    ASSERT_TRUE(Ikfunc::waypointDisplay(shown, flange, BaseCoordinate, tcp, &tcpOri, nullptr, 0));
    wayPoint_S expected = flange;
    Ikfunc::endPosition2ToolPosition(expected, tcp, nullptr);
    Ikfunc::endOrientation2ToolOrientation(tcpOri, flange.orientation, expected.orientation);
    expectSamePose(shown, expected, 1e-15);
    EXPECT_EQ(shown.jointpos[5], flange.jointpos[5]);
}

TEST_F(FrameConversion, DisplayInTheFlangeFrameIsTheToolItself) {
    const wayPoint_S flange = randomFlange();
    const double tcp[3] = {0.01, 0.02, 0.1};
    const Ori tcpOri = {0.5, 0.5, -0.5, 0.5};
    wayPoint_S shown = {};
    ASSERT_TRUE(Ikfunc::waypointDisplay(shown, flange, EndCoordinate, tcp, &tcpOri, nullptr, 0));
    EXPECT_EQ(shown.cartPos.position.z, 0.1);
    EXPECT_EQ(shown.orientation.z, 0.5);
    EXPECT_EQ(shown.jointpos[0], flange.jointpos[0]);
    EXPECT_FALSE(Ikfunc::waypointDisplay(shown, flange, EndCoordinate, tcp, nullptr, nullptr, 0));
}

TEST_F(FrameConversion, UserFrameNeedsValidPointsAndMethod) {
    const wayPoint_S flange = randomFlange();
    const wayPoint_S plane[3] = {pointAt(0, 0, 0), pointAt(1, 0, 0), pointAt(0, 1, 0)};
    wayPoint_S shown = {};
    EXPECT_FALSE(
        Ikfunc::waypointDisplay(shown, flange, WorldCoordinate, nullptr, nullptr, plane, 9));
    EXPECT_FALSE(
        Ikfunc::waypointDisplay(shown, flange, WorldCoordinate, nullptr, nullptr, nullptr, 0));
    // Identity user frame: the pose is unchanged.
    ASSERT_TRUE(
        Ikfunc::waypointDisplay(shown, flange, WorldCoordinate, nullptr, nullptr, plane, 0));
    expectSamePose(shown, flange, 1e-15);
}

TEST_F(FrameConversion, ConvertRejectsTheFlangeFrameAndAZeroQuaternion) {
    const wayPoint_S plane[3] = {pointAt(0, 0, 0), pointAt(1, 0, 0), pointAt(0, 1, 0)};
    wayPoint_S target = pointAt(9, 9, 9);
    const wayPoint_S source = randomFlange();
    EXPECT_FALSE(Ikfunc::robotCoordConvert(target, source, plane, 0, nullptr, nullptr,
                                           BaseCoordinate, EndCoordinate));
    EXPECT_FALSE(Ikfunc::robotCoordConvert(target, source, plane, 0, nullptr, nullptr,
                                           EndCoordinate, WorldCoordinate));
    wayPoint_S zero = source;
    zero.orientation = {0, 0, 0, 0};
    EXPECT_FALSE(Ikfunc::robotCoordConvert(target, zero, plane, 0, nullptr, nullptr, BaseCoordinate,
                                           WorldCoordinate));
    EXPECT_FALSE(Ikfunc::robotCoordConvert(target, source, plane, 9, nullptr, nullptr,
                                           BaseCoordinate, WorldCoordinate));
    EXPECT_FALSE(Ikfunc::robotCoordConvert(target, source, nullptr, 0, nullptr, nullptr,
                                           BaseCoordinate, WorldCoordinate));
    EXPECT_EQ(target.cartPos.position.x, 9.0);
}

TEST_F(FrameConversion, SameFrameRemovesTheToolAndNormalises) {
    const wayPoint_S flange = randomFlange();
    const double tcp[3] = {0.03, -0.01, 0.15};
    const Ori tcpOri = iktest::randomUnitQuaternion(rng);
    wayPoint_S tool = {};
    ASSERT_TRUE(Ikfunc::waypointDisplay(tool, flange, BaseCoordinate, tcp, &tcpOri, nullptr, 0));
    tool.orientation = {2 * tool.orientation.w, 2 * tool.orientation.x, 2 * tool.orientation.y,
                        2 * tool.orientation.z};
    wayPoint_S back = {};
    ASSERT_TRUE(Ikfunc::robotCoordConvert(back, tool, nullptr, 0, tcp, &tcpOri, BaseCoordinate,
                                          BaseCoordinate));
    expectSamePose(back, flange, 1e-14);
    EXPECT_NEAR(Ikfunc::NORM(back.orientation.w, back.orientation.x, back.orientation.y,
                             back.orientation.z),
                1.0, 1e-15);
    EXPECT_EQ(back.jointpos[2], flange.jointpos[2]);
}

// User frames that are orthonormal: methods 3..8 with any points, 0..2 with the third point
// on the second axis.
struct FrameCase {
    int method;
    bool thirdOnAxis;
};

class OrthonormalUserFrames : public FrameConversion,
                              public ::testing::WithParamInterface<FrameCase> {
protected:
    void makePlane(wayPoint_S (&plane)[3]) {
        const Pos o = randomPos();
        Pos a = randomPos(), b = randomPos();
        if (GetParam().thirdOnAxis) {
            // Make b - o perpendicular to a - o.
            const double ax = a.x - o.x, ay = a.y - o.y, az = a.z - o.z;
            double bx = b.x - o.x, by = b.y - o.y, bz = b.z - o.z;
            const double k = (ax * bx + ay * by + az * bz) / (ax * ax + ay * ay + az * az);
            bx -= k * ax;
            by -= k * ay;
            bz -= k * az;
            b = {o.x + bx, o.y + by, o.z + bz};
        }
        plane[0] = waypoint(o, {1, 0, 0, 0});
        plane[1] = waypoint(a, {1, 0, 0, 0});
        plane[2] = waypoint(b, {1, 0, 0, 0});
    }
};

TEST_P(OrthonormalUserFrames, ToolPoseInTheUserFrameConvertsBackToTheFlange) {
    const char method = static_cast<char>(GetParam().method);
    for (int i = 0; i < 100; ++i) {
        wayPoint_S plane[3];
        makePlane(plane);
        const wayPoint_S flange = randomFlange();
        const double tcp[3] = {value(rng) / 4, value(rng) / 4, value(rng) / 2};
        const Ori tcpOri = iktest::randomUnitQuaternion(rng);

        wayPoint_S inUser = {};
        ASSERT_TRUE(
            Ikfunc::waypointDisplay(inUser, flange, WorldCoordinate, tcp, &tcpOri, plane, method));
        wayPoint_S back = {};
        ASSERT_TRUE(Ikfunc::robotCoordConvert(back, inUser, plane, method, tcp, &tcpOri,
                                              BaseCoordinate, WorldCoordinate));
        expectSamePose(back, flange, 1e-12);

        // Base to user with the tool removed is the flange pose in the user frame.
        wayPoint_S toolInBase = {};
        ASSERT_TRUE(
            Ikfunc::waypointDisplay(toolInBase, flange, BaseCoordinate, tcp, &tcpOri, nullptr, 0));
        wayPoint_S flangeInUser = {}, expected = {};
        ASSERT_TRUE(Ikfunc::robotCoordConvert(flangeInUser, toolInBase, plane, method, tcp, &tcpOri,
                                              WorldCoordinate, BaseCoordinate));
        ASSERT_TRUE(Ikfunc::waypointDisplay(expected, flange, WorldCoordinate, nullptr, nullptr,
                                            plane, method));
        expectSamePose(flangeInUser, expected, 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, OrthonormalUserFrames,
                         ::testing::Values(FrameCase{0, true}, FrameCase{1, true},
                                           FrameCase{2, true}, FrameCase{3, false},
                                           FrameCase{4, false}, FrameCase{5, false},
                                           FrameCase{6, false}, FrameCase{7, false},
                                           FrameCase{8, false}));

TEST_F(FrameConversion, UserToBaseWritesOnlyThePose) {
    const wayPoint_S plane[3] = {pointAt(0.1, 0, 0), pointAt(1, 0, 0), pointAt(0, 1, 0)};
    const wayPoint_S source = randomFlange();
    wayPoint_S target = {};
    target.jointpos[4] = 42.0;
    ASSERT_TRUE(Ikfunc::robotCoordConvert(target, source, plane, 3, nullptr, nullptr,
                                          BaseCoordinate, WorldCoordinate));
    EXPECT_EQ(target.jointpos[4], 42.0);
    EXPECT_NEAR(target.cartPos.position.x, source.cartPos.position.x + 0.1, 1e-15);
}

}  // namespace
