#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kinematicstestutil.h"

namespace {

using kintest::Mat3;
using kintest::Vec3;

wayPoint_S pointAt(double x, double y, double z) {
    wayPoint_S wp = {};
    wp.cartPos.position = {x, y, z};
    wp.orientation = {1, 0, 0, 0};
    return wp;
}

struct UserFrameResult {
    bool ok;
    double eetrans[3];
    double eerot[9];
    double porg[3];
    double dot;
};

UserFrameResult calibrate(const wayPoint_S (&pts)[3], int method) {
    UserFrameResult r = {};
    r.dot = -7.0;
    r.ok =
        userCoordinateCalibLib(pts, static_cast<char>(method), r.eetrans, r.eerot, r.porg, r.dot);
    return r;
}

Vec3 toUser(const UserFrameResult &f, const Pos &p) {
    Mat3 R;
    std::copy(f.eerot, f.eerot + 9, R.begin());
    const Vec3 v = kintest::matVec(R, {p.x, p.y, p.z});
    return {v[0] + f.eetrans[0], v[1] + f.eetrans[1], v[2] + f.eetrans[2]};
}

void expectOrthonormalRightHanded(const double *R) {
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            double d = 0.0;
            for (int k = 0; k < 3; ++k) {
                d += R[3 * a + k] * R[3 * b + k];
            }
            EXPECT_NEAR(d, a == b ? 1.0 : 0.0, 1e-12) << a << ',' << b;
        }
    }
    const double det = R[0] * (R[4] * R[8] - R[5] * R[7]) - R[1] * (R[3] * R[8] - R[5] * R[6]) +
                       R[2] * (R[3] * R[7] - R[4] * R[6]);
    EXPECT_NEAR(det, 1.0, 1e-12);
}

// ---------------------------------------------------------------- user frame

TEST(UserFrameCalibration, AxisPointsAtUnitDistancesGiveTheIdentity) {
    const wayPoint_S pts[3] = {pointAt(0, 0, 0), pointAt(1, 0, 0), pointAt(0, 1, 0)};
    const UserFrameResult f = calibrate(pts, 0);
    ASSERT_TRUE(f.ok);
    const double id[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(f.eerot[k], id[k]);
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.eetrans[k], 0.0);
        EXPECT_EQ(f.porg[k], 0.0);
    }
    EXPECT_EQ(f.dot, 0.0);
}

TEST(UserFrameCalibration, ShiftedAndTurnedFrameOfMethodZero) {
    const wayPoint_S pts[3] = {pointAt(1, 2, 3), pointAt(1, 3, 3), pointAt(0, 2, 3)};
    const UserFrameResult f = calibrate(pts, 0);
    ASSERT_TRUE(f.ok);
    const double rows[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    const double bInW[3] = {-2, 1, -3};
    const double wInB[3] = {1, 2, 3};
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(f.eerot[k], rows[k]) << k;
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.eetrans[k], bInW[k]);
        EXPECT_EQ(f.porg[k], wInB[k]);
    }
}

TEST(UserFrameCalibration, MethodThreeMatchesMethodZeroOnlyForAPointOnTheAxis) {
    const wayPoint_S onAxis[3] = {pointAt(0.1, 0.2, 0.3), pointAt(0.5, 0.2, 0.3),
                                  pointAt(0.1, 0.9, 0.3)};
    const UserFrameResult f0 = calibrate(onAxis, 0);
    const UserFrameResult f3 = calibrate(onAxis, 3);
    ASSERT_TRUE(f0.ok && f3.ok);
    EXPECT_LT(kintest::maxDiff(f0.eerot, f3.eerot, 9), 1e-15);
    EXPECT_NEAR(f0.dot, 0.0, 1e-15);

    const wayPoint_S inQuadrant[3] = {pointAt(0.1, 0.2, 0.3), pointAt(0.5, 0.2, 0.3),
                                      pointAt(0.4, 0.9, 0.3)};
    const UserFrameResult g0 = calibrate(inQuadrant, 0);
    const UserFrameResult g3 = calibrate(inQuadrant, 3);
    ASSERT_TRUE(g0.ok && g3.ok);
    expectOrthonormalRightHanded(g3.eerot);
    EXPECT_GT(g0.dot, 0.1);  // the second axis is not made orthogonal to the first
    EXPECT_GT(kintest::maxDiff(g0.eerot, g3.eerot, 9), 0.1);
}

// For methods 3..8: the axis that p2 lies on, the coordinate of p3 that is zero and the one
// that is positive (first quadrant of the named plane).
struct PlaneMethod {
    int method;
    int axis;
    int zeroCoord;
    int positiveCoord;
};

class UserFramePlaneMethods : public ::testing::TestWithParam<PlaneMethod> {};

TEST_P(UserFramePlaneMethods, BuildAnOrthonormalFrameThroughTheTaughtPoints) {
    const PlaneMethod &m = GetParam();
    std::mt19937 rng(31 + m.method);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int i = 0; i < 200; ++i) {
        const wayPoint_S pts[3] = {pointAt(value(rng), value(rng), value(rng)),
                                   pointAt(value(rng), value(rng), value(rng)),
                                   pointAt(value(rng), value(rng), value(rng))};
        const UserFrameResult f = calibrate(pts, m.method);
        ASSERT_TRUE(f.ok);
        expectOrthonormalRightHanded(f.eerot);
        const Vec3 origin = toUser(f, pts[0].cartPos.position);
        const Vec3 second = toUser(f, pts[1].cartPos.position);
        const Vec3 third = toUser(f, pts[2].cartPos.position);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(origin[k], 0.0, 1e-12);
            if (k != m.axis) {
                EXPECT_NEAR(second[k], 0.0, 1e-12);
            }
        }
        EXPECT_GT(second[m.axis], 0.0);
        EXPECT_NEAR(third[m.zeroCoord], 0.0, 1e-12);
        EXPECT_GT(third[m.positiveCoord], 0.0);
        EXPECT_EQ(f.porg[0], pts[0].cartPos.position.x);
    }
}

INSTANTIATE_TEST_SUITE_P(Methods3To8, UserFramePlaneMethods,
                         ::testing::Values(PlaneMethod{3, 0, 2, 1}, PlaneMethod{4, 0, 1, 2},
                                           PlaneMethod{5, 1, 0, 2}, PlaneMethod{6, 1, 2, 0},
                                           PlaneMethod{7, 2, 1, 0}, PlaneMethod{8, 2, 0, 1}));

TEST(UserFrameCalibration, AxisMethodsPlaceTheThirdPointOnTheNextAxis) {
    // Third point on the second named axis: methods 0..2 give orthonormal frames.
    const wayPoint_S pts[3][3] = {
        {pointAt(0, 0, 0), pointAt(2, 0, 0), pointAt(0, 3, 0)},   // X then Y
        {pointAt(0, 0, 0), pointAt(0, 2, 0), pointAt(0, 0, 3)},   // Y then Z
        {pointAt(0, 0, 0), pointAt(0, 0, 2), pointAt(3, 0, 0)}};  // Z then X
    for (int method = 0; method < 3; ++method) {
        const UserFrameResult f = calibrate(pts[method], method);
        ASSERT_TRUE(f.ok);
        for (int k = 0; k < 9; ++k) {
            EXPECT_EQ(f.eerot[k], k % 4 == 0 ? 1.0 : 0.0) << "method " << method;
        }
    }
}

TEST(UserFrameCalibration, UnknownMethodFailsAfterWritingTheOrigin) {
    const wayPoint_S pts[3] = {pointAt(1, 2, 3), pointAt(1, 3, 3), pointAt(0, 2, 3)};
    for (int method : {-1, 9, 100}) {
        double eetrans[3] = {7, 7, 7}, eerot[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7}, porg[3] = {};
        double dot = 7.0;
        EXPECT_FALSE(
            userCoordinateCalibLib(pts, static_cast<char>(method), eetrans, eerot, porg, dot));
        EXPECT_EQ(porg[2], 3.0);
        EXPECT_EQ(eetrans[0], 7.0);
        EXPECT_EQ(eerot[0], 7.0);
        EXPECT_EQ(dot, 7.0);
    }
    double out[9], dot;
    EXPECT_FALSE(userCoordinateCalibLib(nullptr, 0, out, out, out, dot));
    EXPECT_FALSE(userCoordinateCalibLib(pts, 0, out, nullptr, out, dot));
}

// ---------------------------------------------------------------- tool calibration

struct FlangePose {
    Mat3 R;
    Vec3 p;
};

// A flange pose with rotation R whose tool centre `tcp` sits on `tip`.
FlangePose holding(const Mat3 &R, const Vec3 &tcp, const Vec3 &tip) {
    const Vec3 r = kintest::matVec(R, tcp);
    return {R, {tip[0] - r[0], tip[1] - r[1], tip[2] - r[2]}};
}

class ToolCalibration : public ::testing::Test {
protected:
    std::mt19937 rng{37};
    Vec3 tcp{0.012, -0.034, 0.156};
    Vec3 tip{0.45, -0.2, 0.3};

    void fill(const std::vector<FlangePose> &poses) {
        rot.clear();
        pos.clear();
        for (const FlangePose &f : poses) {
            rot.insert(rot.end(), f.R.begin(), f.R.end());
            pos.insert(pos.end(), f.p.begin(), f.p.end());
        }
    }

    std::vector<FlangePose> aroundTip(int n) {
        std::vector<FlangePose> poses;
        for (int i = 0; i < n; ++i) {
            poses.push_back(holding(kintest::randomRotation(rng), tcp, tip));
        }
        return poses;
    }

    bool run(int mode, bool check = false, double thr = 0.0) {
        return toolCoordinateCalibLib(rot.data(), pos.data(), static_cast<int>(rot.size() / 9),
                                      static_cast<char>(mode), poseRot, posePos, check, thr,
                                      eetrans, toolPoseRot);
    }

    void setOrientationPose(int i, const FlangePose &f) {
        std::copy(f.R.begin(), f.R.end(), poseRot[i]);
        std::copy(f.p.begin(), f.p.end(), posePos[i]);
    }

    std::vector<double> rot, pos;
    double poseRot[3][9] = {};
    double posePos[3][3] = {};
    double eetrans[3] = {};
    double toolPoseRot[9] = {};
};

TEST_F(ToolCalibration, RecoversTheToolCentrePointFromPosesAroundOneTip) {
    for (int n = 4; n <= 12; ++n) {
        fill(aroundTip(n));
        ASSERT_TRUE(run(-1)) << n;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(eetrans[k], tcp[k], 1e-10) << n;
        }
    }
}

TEST_F(ToolCalibration, OverwritesPosesWithTheirDifferenceToTheFirst) {
    const std::vector<FlangePose> poses = aroundTip(4);
    fill(poses);
    ASSERT_TRUE(run(-1));
    EXPECT_EQ(rot[0], poses[0].R[0]);
    EXPECT_EQ(rot[9], poses[1].R[0] - poses[0].R[0]);
    EXPECT_EQ(pos[3], poses[1].p[0] - poses[0].p[0]);
}

TEST_F(ToolCalibration, FailsWithOneOrientationOrTooFewPoses) {
    const Mat3 R = kintest::randomRotation(rng);
    fill({holding(R, tcp, tip), holding(R, tcp, tip), holding(R, tcp, tip),
          holding(R, tcp, {0.1, 0.1, 0.1})});
    eetrans[0] = 9.0;
    EXPECT_FALSE(run(-1));
    EXPECT_EQ(eetrans[0], 9.0);

    fill(aroundTip(3));
    EXPECT_FALSE(run(-1));
    EXPECT_FALSE(toolCoordinateCalibLib(nullptr, pos.data(), 4, -1, poseRot, posePos, false, 0,
                                        eetrans, toolPoseRot));
}

TEST_F(ToolCalibration, DeterminantCheckRejectsPoorlySpreadPoses) {
    // Small rotations about the tip: a valid but poorly conditioned set.
    std::vector<FlangePose> poses;
    const Mat3 base = kintest::randomRotation(rng);
    for (int i = 0; i < 4; ++i) {
        const Mat3 tilt = kintest::axisAngle(kintest::normalised({1.0, i * 0.5, 0.3}), 0.05);
        poses.push_back(holding(kintest::matMul(base, tilt), tcp, tip));
    }
    fill(poses);
    EXPECT_FALSE(run(-1, true, 0.01));
    fill(poses);
    EXPECT_TRUE(run(-1, false, 0.01));
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(eetrans[k], tcp[k], 1e-8);
    }
    fill(aroundTip(6));
    EXPECT_TRUE(run(-1, true, 0.01));
}

class ToolOrientationModes : public ToolCalibration, public ::testing::WithParamInterface<int> {
protected:
    Mat3 toolInFlange;

    void SetUp() override { toolInFlange = kintest::randomRotation(rng); }

    Vec3 toolAxis(int axis) const { return kintest::column(toolInFlange, axis % 3); }

    // Three poses: tip at a point, on the mode's first tool axis, in its first plane.
    void teachThreePoints(int mode, double spacing) {
        const FlangePose first = holding(kintest::randomRotation(rng), tcp, tip);
        const Mat3 toolInBase = kintest::matMul(first.R, toolInFlange);
        const Vec3 ax = kintest::column(toolInBase, mode);
        const Vec3 ay = kintest::column(toolInBase, (mode + 1) % 3);
        Vec3 onAxis, inPlane;
        for (int k = 0; k < 3; ++k) {
            onAxis[k] = tip[k] + spacing * ax[k];
            inPlane[k] = tip[k] + 0.6 * spacing * ax[k] + 0.8 * spacing * ay[k];
        }
        setOrientationPose(0, first);
        setOrientationPose(1, holding(kintest::randomRotation(rng), tcp, onAxis));
        setOrientationPose(2, holding(kintest::randomRotation(rng), tcp, inPlane));
    }

    // Two poses: the mode's first tool axis, then its second, pointing along base -Z.
    void teachDownwardAxes(int mode) {
        const Vec3 down = {0, 0, -1};
        for (int i = 0; i < 2; ++i) {
            const Vec3 axis = toolAxis(mode - 3 + i);
            // R^T * down must equal the tool axis in flange coordinates.
            const Mat3 Rt = kintest::rotationTaking(axis, down);
            const Mat3 spin = kintest::axisAngle({0, 0, 1}, 0.3 + i);
            setOrientationPose(i, holding(kintest::matMul(spin, Rt), tcp, tip));
        }
    }
};

TEST_P(ToolOrientationModes, RecoverTheToolOrientationInTheFlangeFrame) {
    const int mode = GetParam();
    for (int trial = 0; trial < 20; ++trial) {
        SetUp();
        fill(aroundTip(5));
        if (mode <= 2) {
            teachThreePoints(mode, 0.05);
        } else {
            teachDownwardAxes(mode);
        }
        ASSERT_TRUE(run(mode));
        for (int k = 0; k < 9; ++k) {
            EXPECT_NEAR(toolPoseRot[k], toolInFlange[k], 1e-9) << "mode " << mode;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes0To5, ToolOrientationModes, ::testing::Range(0, 6));

TEST_F(ToolCalibration, TipPointsCloserThanOneCentimetreFailAfterThePosition) {
    fill(aroundTip(4));
    const FlangePose first = holding(kintest::randomRotation(rng), tcp, tip);
    setOrientationPose(0, first);
    setOrientationPose(
        1, holding(kintest::randomRotation(rng), tcp, {tip[0] + 0.005, tip[1], tip[2]}));
    setOrientationPose(2,
                       holding(kintest::randomRotation(rng), tcp, {tip[0], tip[1] + 0.02, tip[2]}));
    EXPECT_FALSE(run(0));
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(eetrans[k], tcp[k], 1e-10);
    }
}

}  // namespace
