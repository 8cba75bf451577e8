#include "kinematicstestutil.h"

namespace {

wayPoint_S at(double x, double y, double z) {
    wayPoint_S wp = {};
    wp.cartPos.position = {x, y, z};
    return wp;
}

struct Frame {
    bool ok;
    double trans[3], rot[9], org[3], dot;

    Frame(wayPoint_S *pts, int method) : trans{7, 7, 7}, rot{}, org{}, dot(7) {
        ok = userCoordinateCalibLib(pts, static_cast<char>(method), trans, rot, org, dot);
    }
    // User coordinates of a base point.
    double coord(const wayPoint_S &p, int axis) const {
        const double *v = p.cartPos.positionVector;
        return rot[3 * axis] * v[0] + rot[3 * axis + 1] * v[1] + rot[3 * axis + 2] * v[2] +
               trans[axis];
    }
};

TEST(UserFrame, KnownFramesOfMethodZero) {
    wayPoint_S unit[3] = {at(0, 0, 0), at(1, 0, 0), at(0, 1, 0)};
    const Frame f(unit, 0);
    ASSERT_TRUE(f.ok);
    const double id[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1}, zero[3] = {};
    EXPECT_EQ(kintest::maxDiff(f.rot, id, 9), 0.0);
    EXPECT_EQ(kintest::maxDiff(f.trans, zero, 3), 0.0);

    wayPoint_S turned[3] = {at(1, 2, 3), at(1, 3, 3), at(0, 2, 3)};
    const Frame g(turned, 0);
    ASSERT_TRUE(g.ok);
    const double rows[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1}, bInW[3] = {-2, 1, -3}, wInB[3] = {1, 2, 3};
    EXPECT_EQ(kintest::maxDiff(g.rot, rows, 9), 0.0);
    EXPECT_EQ(kintest::maxDiff(g.trans, bInW, 3), 0.0);
    EXPECT_EQ(kintest::maxDiff(g.org, wInB, 3), 0.0);
}

TEST(UserFrame, AxisMethodsKeepTheThirdPointAsTheSecondAxis) {
    wayPoint_S pts[3] = {at(0.1, 0.2, 0.3), at(0.5, 0.2, 0.3), at(0.4, 0.9, 0.3)};
    const Frame f0(pts, 0), f3(pts, 3);
    ASSERT_TRUE(f0.ok && f3.ok);
    EXPECT_NEAR(f0.dot, 0.3 / std::hypot(0.3, 0.7), 1e-15);  // not made orthogonal
    EXPECT_NEAR(f0.rot[3], 0.3 / std::hypot(0.3, 0.7), 1e-15);
    EXPECT_NEAR(f3.rot[3], 0.0, 1e-15);
    wayPoint_S onAxis[3] = {pts[0], pts[1], at(0.1, 0.9, 0.3)};
    EXPECT_LT(kintest::maxDiff(Frame(onAxis, 0).rot, Frame(onAxis, 3).rot, 9), 1e-15);
}

// Methods 3..8: p2 lies on the named axis, p3 in the first quadrant of the named plane, and the
// frame is orthonormal and right-handed.
TEST(UserFrame, PlaneMethodsBuildRightHandedFramesThroughThePoints) {
    const struct {
        int method, axis, zero, positive;
    } cases[] = {{3, 0, 2, 1}, {4, 0, 1, 2}, {5, 1, 0, 2},
                 {6, 1, 2, 0}, {7, 2, 1, 0}, {8, 2, 0, 1}};
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> v(-1.0, 1.0);
    for (const auto &c : cases) {
        for (int i = 0; i < 100; ++i) {
            wayPoint_S pts[3] = {at(v(rng), v(rng), v(rng)), at(v(rng), v(rng), v(rng)),
                                 at(v(rng), v(rng), v(rng))};
            const Frame f(pts, c.method);
            ASSERT_TRUE(f.ok);
            const double *R = f.rot;
            const double det = R[0] * (R[4] * R[8] - R[5] * R[7]) -
                               R[1] * (R[3] * R[8] - R[5] * R[6]) +
                               R[2] * (R[3] * R[7] - R[4] * R[6]);
            EXPECT_NEAR(det, 1.0, 1e-12);
            for (int a = 0; a < 3; ++a) {
                EXPECT_NEAR(std::hypot(R[3 * a], R[3 * a + 1], R[3 * a + 2]), 1.0, 1e-12);
                EXPECT_NEAR(f.coord(pts[0], a), 0.0, 1e-12);
                if (a != c.axis) {
                    EXPECT_NEAR(f.coord(pts[1], a), 0.0, 1e-12);
                }
            }
            EXPECT_GT(f.coord(pts[1], c.axis), 0.0);
            EXPECT_NEAR(f.coord(pts[2], c.zero), 0.0, 1e-12) << c.method;
            EXPECT_GT(f.coord(pts[2], c.positive), 0.0) << c.method;
        }
    }
}

TEST(UserFrame, UnknownMethodFailsAfterWritingOnlyTheOrigin) {
    wayPoint_S pts[3] = {at(1, 2, 3), at(1, 3, 3), at(0, 2, 3)};
    for (int method : {-1, 9, 100}) {
        const Frame f(pts, method);
        EXPECT_FALSE(f.ok);
        EXPECT_EQ(f.org[2], 3.0);
        EXPECT_EQ(f.trans[0], 7.0);
        EXPECT_EQ(f.rot[0], 0.0);
        EXPECT_EQ(f.dot, 7.0);
    }
    EXPECT_FALSE(Frame(nullptr, 0).ok);
}

}  // namespace
