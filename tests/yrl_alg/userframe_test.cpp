#include "kinematicstestutil.h"

namespace {

using kintest::waypoint;

struct Frame {
    bool ok;
    double trans[3] = {7, 7, 7}, rot[9] = {}, org[3] = {}, dot = 7;

    Frame(wayPoint_S *pts, int method) {
        ok = userCoordinateCalibLib(pts, static_cast<char>(method), trans, rot, org, dot);
    }
    double coord(const wayPoint_S &p, int axis) const {  // user coordinates of a base point
        const double *v = p.cartPos.positionVector;
        return rot[3 * axis] * v[0] + rot[3 * axis + 1] * v[1] + rot[3 * axis + 2] * v[2] +
               trans[axis];
    }
};

// Methods 0..2 keep the third point as given (the axes need not be orthogonal); methods 3..8 put
// p2 on the named axis, p3 in the first quadrant of the named plane, and are right-handed.
TEST(UserFrame, MethodsBuildFramesThroughThePoints) {
    wayPoint_S pts[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.5, 0.2, 0.3}),
                         waypoint({0.4, 0.9, 0.3})};
    const Frame f0(pts, 0), unknown(pts, 9);
    EXPECT_TRUE(f0.ok && f0.dot == f0.rot[3] &&
                std::fabs(f0.dot - 0.3 / std::hypot(0.3, 0.7)) < 1e-15);
    EXPECT_FALSE(unknown.ok || Frame(nullptr, 0).ok);
    EXPECT_TRUE(unknown.org[2] == 0.3 && unknown.trans[0] == 7.0 && unknown.dot == 7.0);
    const int cases[][4] = {{3, 0, 2, 1}, {4, 0, 1, 2}, {5, 1, 0, 2},
                            {6, 1, 2, 0}, {7, 2, 1, 0}, {8, 2, 0, 1}};  // method, axis, 0, +
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> v(-1.0, 1.0);
    for (const auto &c : cases) {
        for (int i = 0; i < 20; ++i) {
            for (wayPoint_S &p : pts) {
                p = waypoint({v(rng), v(rng), v(rng)});
            }
            const Frame f(pts, c[0]);
            ASSERT_TRUE(f.ok);
            const double *R = f.rot;
            EXPECT_NEAR(R[0] * (R[4] * R[8] - R[5] * R[7]) - R[1] * (R[3] * R[8] - R[5] * R[6]) +
                            R[2] * (R[3] * R[7] - R[4] * R[6]),
                        1.0, 1e-12);
            for (int a = 0; a < 3; ++a) {
                EXPECT_NEAR(std::hypot(R[3 * a], R[3 * a + 1], R[3 * a + 2]), 1.0, 1e-12);
                EXPECT_NEAR(f.coord(pts[0], a), 0.0, 1e-12);
                EXPECT_TRUE(a == c[1] ? f.coord(pts[1], a) > 0
                                      : std::fabs(f.coord(pts[1], a)) < 1e-12);
            }
            EXPECT_NEAR(f.coord(pts[2], c[2]), 0.0, 1e-12) << c[0];
            EXPECT_GT(f.coord(pts[2], c[3]), 0.0) << c[0];
        }
    }
}

}  // namespace
