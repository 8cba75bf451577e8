#include <vector>

#include "kinematicstestutil.h"
#include "pathInterpolation.h"

namespace {

using kintest::kPi;
using kintest::posGap;

std::vector<wayPoint_S> path(std::initializer_list<Pos> points) {
    std::vector<wayPoint_S> wps(points.size());
    std::transform(points.begin(), points.end(), wps.begin(),
                   [](const Pos &p) { return kintest::waypoint(p); });
    return wps;
}

// Circles of known centre and radius; the sweep follows P1 -> P2 -> P3 either way round, and the
// frame's z is the normal oriented along the sweep. Degenerate inputs leave the outputs alone.
TEST(ArcThroughPoints, CentreRadiusFrameAndSweepOrFailureCodes) {
    double t[16] = {}, radius = 0, distance = 0;
    const auto arc = [&](std::initializer_list<Pos> points) {
        return cartesianTrackArcParaLib(path(points), t, radius, distance);
    };
    const struct {
        Pos centre, u, v, n;
        double r, a1, a2, a3, sweep;
    } cases[] = {
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 1, 0, 90, 180, 180},     // distance pi
        {{1, 2, 3}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}, 1, 0, -90, -270, 270},  // distance 3pi/2
        {{1, 2, 3}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}, 2, 0, 100, 200, 200},
    };
    for (const auto &c : cases) {
        auto at = [&](double deg) {
            const double co = c.r * std::cos(deg * kPi / 180), si = c.r * std::sin(deg * kPi / 180);
            return Pos{c.centre.x + co * c.u.x + si * c.v.x, c.centre.y + co * c.u.y + si * c.v.y,
                       c.centre.z + co * c.u.z + si * c.v.z};
        };
        ASSERT_EQ(0, arc({at(c.a1), at(c.a2), at(c.a3)}));
        EXPECT_NEAR(c.r, radius, 1e-9) << c.a3;
        EXPECT_NEAR(c.r * c.sweep * kPi / 180, distance, 1e-9);
        EXPECT_LT(posGap(c.centre, {t[3], t[7], t[11]}) + posGap(c.n, {t[2], t[6], t[10]}), 1e-9);
    }
    radius = distance = -7;
    EXPECT_EQ(-1, arc({{1, 0, 0}, {1.0003, 0, 0}, {0, 1, 0}}));  // within sqrt(2e-7)
    EXPECT_EQ(-1, arc({{1, 0, 0}, {0, 1, 0}}));
    EXPECT_EQ(-1, arc({{1, 0, 0}, {0, std::nan(""), 0}, {-1, 0, 0}}));
    EXPECT_EQ(-1, arc({{1, 0, 0}, {0, 1, 0}, {-HUGE_VAL, 0, 0}}));
    EXPECT_EQ(-1, arc({{1e160, 0, 0}, {0, 1e160, 0}, {-1e160, 0, 0}}));  // squares overflow
    EXPECT_EQ(-2, arc({{0, 0, 0}, {1, 1, 1}, {3, 3, 3}}));
    EXPECT_EQ(-3, arc({{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}}));
    EXPECT_TRUE(radius == -7.0 && distance == -7.0);
}

struct Blend {
    double node_s[8] = {}, radius[4] = {};
    Pos arcY[4] = {}, arcZ[4] = {};
    char run(const std::vector<wayPoint_S> &wps, float blendR) {
        return cartesianTrackMovepParaLib(wps, blendR, node_s, radius, arcY, arcZ);
    }
};

TEST(BlendedPath, ArcsAndPathLengthsAtRightAngleAndStraightCorners) {
    Blend o;
    const double r = 0.25, arc = r * kPi / 2;  // theta = pi/4, radius = blendR
    ASSERT_EQ(0, o.run(path({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}}), 0.25f));
    const double expected[5] = {2 - r, 2 - r + arc, 3 - 3 * r + arc, 3 - 3 * r + 2 * arc,
                                5 - 4 * r + 2 * arc};
    EXPECT_LT(kintest::maxDiff(expected, o.node_s, 5), 1e-12);
    EXPECT_NEAR(r, o.radius[1], 1e-12);
    EXPECT_LT(
        posGap({0, 0, 1}, o.arcZ[1]) + posGap({0, 1, 0}, o.arcY[1]) + posGap({-1, 0, 0}, o.arcY[2]),
        1e-12);
}

// Straight on, no arc fits (its radius would be infinite): a zero-length blend on the corner
// point, radius 0, a unit normal across the path, and every node a true path length. A turn
// still large enough to round keeps its arc of about 2 blendR.
TEST(BlendedPath, StraightOnCornersGetAZeroLengthBlendOnThePoint) {
    const double q = 0.25 * kPi / 2, d = std::atan(1e-3), bend = 0.25 / std::tan(d / 2) * d;
    const double l1 = std::sqrt(0.541 * 0.541 + 0.079 * 0.079 + 0.721 * 0.721),
                 l2 = std::sqrt(2.20392);
    const struct {
        std::vector<wayPoint_S> wps;
        double node_s[5], radius[2];
    } cases[] = {
        // clang-format off
        {path({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}), {1, 1, 2}, {0}},
        {path({{0, 0, 0}, {1, 0, 0}, {2, 1e-9, 0}}), {1, 1, 2}, {0}},
        {path({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}}),
         {1, 1, 1.75, 1.75 + q, 2.5 + q}, {0, 0.25}},
        {path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 2, 0}}),
         {0.75, 0.75 + q, 1.5 + q, 1.5 + q, 2.5 + q}, {0.25, 0}},
        // Rounding puts this cosine just below -1 ...
        {path({{-0.659, 0.004, 0.964}, {-0.118, 0.083, 1.685},
               {0.03889000000000001, 0.10591, 1.89409}}), {l1, l1, 1.29 * l1}, {0}},
        // ... and this one just above, with a cross product of exactly zero.
        {path({{0.973, -0.785, 0.162}, {0.241, 0.17499999999999993, 1.026},
               {-1.2229999999999999, 2.0949999999999998, 2.754}}), {l2, l2, 3 * l2}, {0}},
        {path({{0, 0, 0}, {1, 0, 0}, {2, 1e-3, 0}}),
         {0.75, 0.75 + bend, 0.5 + bend + std::hypot(1, 1e-3)}, {0.25 / std::tan(d / 2)}},
        // clang-format on
    };
    for (const auto &c : cases) {
        Blend o;
        ASSERT_EQ(0, o.run(c.wps, 0.25f));
        const std::size_t corners = c.wps.size() - 2;
        for (std::size_t i = 0; i < corners; ++i) {
            EXPECT_NEAR(c.radius[i], o.radius[i], 1e-9 * (1 + c.radius[i])) << c.node_s[0];
            EXPECT_NEAR(1.0, posGap({0, 0, 0}, o.arcZ[i]), 1e-12) << c.node_s[0];
            const Pos &z = o.arcZ[i], &y = o.arcY[i];
            EXPECT_NEAR(0.0, z.x * y.x + z.y * y.y + z.z * y.z, 1e-12);
        }
        EXPECT_LT(kintest::maxDiff(c.node_s, o.node_s, 2 * static_cast<int>(corners) + 1), 1e-9)
            << c.node_s[0];
    }
}

// Too short a segment (-2) reports the two lengths and the corner in arcYVect[0]; reversals
// (-4) include corners under one degree and cosines that round just above one.
TEST(BlendedPath, FailuresReturnTheirCodes) {
    const auto rounded = path({{-0.109, 0.443, -0.542},
                               {0.782, 1.246, -1.4809999999999999},
                               {-0.0020799999999999985, 0.5393600000000001, -0.65468}});
    const struct {
        std::vector<wayPoint_S> wps;
        float blendR;
        char code;
        Pos diag;
    } cases[] = {
        {path({{0, 0, 0}, {1, 0, 0}, {1, 0.15, 0}}), 0.16f, -2, {1.0, 0.15, 0}},
        {path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1.1, 1, 0}}), 0.15f, -2, {1.0, 0.1, 1}},
        {path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}), -0.1f, -2, {1.0, 1.0, 0}},
        {path({{0, 0, 0}, {1, 0, 0}}), 0.1f, -2, {}},
        {path({{0, 0, 0}, {1e155, 0, 0}, {1e155, 1e155, 0}}), 0.1f, -2, {}},  // lengths overflow
        {path({{0, 0, 0}, {1, 0, 0}, {0, 0.03, 0}}), 0.01f, -4, {}},
        {rounded, 0.01f, -4, {}},
    };
    for (const auto &c : cases) {
        Blend o;
        EXPECT_EQ(c.code, o.run(c.wps, c.blendR)) << c.blendR;
        EXPECT_TRUE(c.diag.x == 0.0 || posGap(c.diag, o.arcY[0]) < 1e-15) << c.blendR;
    }
    Blend o;
    const auto wps = path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    EXPECT_EQ(-2, cartesianTrackMovepParaLib(wps, 0.1f, nullptr, o.radius, o.arcY, o.arcZ));
    EXPECT_EQ(-2, cartesianTrackMovepParaLib(wps, 0.1f, o.node_s, o.radius, o.arcY, nullptr));
}

std::vector<wayPoint_S> joints(int n) {
    std::vector<wayPoint_S> wps(static_cast<std::size_t>(n), wayPoint_S{});
    for (int m = 0; m < 6 * n; ++m) {
        const int k = m / 6, i = m % 6;
        wps[k].jointpos[i] = std::sin(0.7 * k + i) * (i + 1) * 0.3 + 0.05 * k * k;
    }
    return wps;
}

// 10 steps, a pool of exactly 10 N + 12 doubles and no more written. Size cases (waypoints, time,
// frequency, pool, result): pool below 10 N + 12, (N - 1) steps against the pool, step counts
// out of range; under one step the output is empty.
TEST(BSpline, PassesThroughEveryWaypointAfterTheFirstWithinItsSizes) {
    std::vector<double> pool(1000, 123.0);
    std::vector<wayPoint_S> road;
    const auto wps = joints(5);
    ASSERT_EQ(0, uBSpline3InterpLib(wps, &road, 1.0f, true, 1000, pool.data() + 1, 62));
    EXPECT_TRUE(pool[0] == 123.0 && pool[63] == 123.0);
    ASSERT_EQ(40u, road.size());
    for (int k = 1; k < 5; ++k) {  // indices 9, 19, 29, 39
        EXPECT_LT(kintest::maxDiff(wps[k].jointpos, road[10 * k - 1].jointpos, 6), 1e-12) << k;
    }
    const double cases[][5] = {{4, 1, 1000, 1000, 1},   {5, 1, 1000, 61, 1}, {5, 1, 100, 399, 1},
                               {5, 1, 100, 400, 0},     {5, 1, 0, 1000, 1},  {5, -1e30, 1, 1000, 1},
                               {5, 0.05, 1000, 1000, 0}};
    for (const auto &c : cases) {
        road.assign(3, wayPoint_S{});
        EXPECT_EQ(c[4], uBSpline3InterpLib(
                            joints(static_cast<int>(c[0])), &road, static_cast<float>(c[1]), true,
                            static_cast<unsigned>(c[2]), pool.data(), static_cast<int>(c[3])))
            << c[0] << " " << c[3];
    }
    EXPECT_TRUE(road.empty());
    // A NaN joint, or joints large enough for the samples to overflow, leave no spline.
    auto nanJoint = joints(5), overflowing = joints(5);
    nanJoint[2].jointpos[3] = std::nan("");
    for (int k = 0; k < 5; ++k) {
        overflowing[k].jointpos[0] = k % 2 ? -1.7e308 : 1.7e308;
    }
    for (const auto &wps : {nanJoint, overflowing}) {
        road.assign(3, wayPoint_S{});
        EXPECT_EQ(3, uBSpline3InterpLib(wps, &road, 1.0f, true, 1000, pool.data(), 1000));
        EXPECT_EQ(3u, road.size());
    }
    EXPECT_EQ(1, uBSpline3InterpLib(joints(5), &road, 1.0f, true, 1000, nullptr, 1000));
    EXPECT_EQ(2, uBSpline3InterpLib(joints(5), nullptr, 1.0f, true, 1000, pool.data(), 1000));
}

// Opposite quaternions (q and -q, one rotation) or a sine too small to divide by give that
// rotation as a unit quaternion, whatever h.
TEST(Slerp, InterpolatesAboveTheThresholdAndSpinsBelowIt) {
    const double c = std::cos(kPi / 8), s = std::sin(kPi / 8);
    const Ori start{1, 0, 0, 0}, end{c * c - s * s, 0, 0, 2 * s * c}, spin{c, s, 0, 0};
    const Ori minus{-1, 0, 0, 0}, far{std::cos(0.9 * kPi), 0, std::sin(0.9 * kPi), 0},
        halfFar{std::cos(0.45 * kPi), 0, std::sin(0.45 * kPi), 0};
    const Ori nearlyMinus{-std::cos(1e-12), std::sin(1e-12), 0, 0};
    // A small angle spins the start about the axis: (cos(h angle), sin(h angle) z) (x) s.
    const double cw = std::cos(0.005), sw = std::sin(0.005);
    double axis[3] = {0, 0, 1};
    const struct {
        Ori from, to;
        double angle, h, minDeg, *axis;
        Ori expected;
    } cases[] = {
        {start, end, kPi / 4, 0.0, 1.0, nullptr, start},
        {start, end, kPi / 4, 0.5, 1.0, nullptr, {c, 0, 0, s}},
        {start, end, kPi / 4, 1.0, 1.0, nullptr, end},
        {start, end, kPi / 4, 0.5, 46.0, nullptr, end},  // 45 degrees is below 46
        {start, end, 0.0, 0.5, -1.0, nullptr, end},      // a zero sine never divides
        {spin, end, 0.01, 0.5, 1.0, axis, {cw * c, cw * s, sw * s, sw * c}},
        {start, minus, kPi, 0.5, 1.0, nullptr, start},  // sin(pi) is 1.2e-16
        {start, minus, kPi, 0.9, 1.0, nullptr, start},
        {start, {-2, 0, 0, 0}, kPi, 0.3, 1.0, nullptr, start},
        {start, nearlyMinus, kPi - 1e-12, 0.5, 1.0, nullptr, nearlyMinus},
        {start, far, 0.9 * kPi, 0.5, 1.0, nullptr, halfFar},
    };
    for (const auto &t : cases) {
        Ori res{9, 9, 9, 9};
        sphericalInterpolationLib(res, t.from, t.to, t.angle, t.h, t.minDeg, t.axis);
        EXPECT_LT(kintest::rotGap(t.expected, res), 1e-12) << t.angle << ' ' << t.h;
    }
}

}  // namespace
