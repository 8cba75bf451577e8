#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pathInterpolation.h"

namespace {

const double kPi = 3.141592653589793;

std::vector<wayPoint_S> path(std::initializer_list<Pos> points) {
    std::vector<wayPoint_S> wps;
    for (const Pos &p : points) {
        wayPoint_S wp{};
        wp.cartPos.position = p;
        wps.push_back(wp);
    }
    return wps;
}

void expectPos(const Pos &e, const Pos &a, double tol = 1e-12) {
    EXPECT_NEAR(e.x, a.x, tol);
    EXPECT_NEAR(e.y, a.y, tol);
    EXPECT_NEAR(e.z, a.z, tol);
}

Pos column(const double *t, int c) { return Pos{t[c], t[4 + c], t[8 + c]}; }

// Circles of known centre and radius; the sweep must follow P1 -> P2 -> P3 either way round.
TEST(ArcThroughPoints, CentreRadiusFrameAndSweep) {
    const Pos u{1 / std::sqrt(2.0), 1 / std::sqrt(2.0), 0};
    const Pos v{-1 / std::sqrt(6.0), 1 / std::sqrt(6.0), 2 / std::sqrt(6.0)};
    const struct {
        Pos centre, u, v;
        double r, a1, a2, a3, sweep;
    } cases[] = {
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1, 0, 90, 180, 180},  // distance pi
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1, 0, 90, 270, 270},  // distance 3pi/2
        {{1, 2, 3}, u, v, 2, 0, 100, 200, 200},
        {{1, 2, 3}, u, v, 2, 0, -100, -200, 200},
        {{1, 2, 3}, u, v, 2, 40, 60, 10, 330},
    };
    for (const auto &c : cases) {
        auto at = [&](double deg) {
            const double co = c.r * std::cos(deg * kPi / 180), si = c.r * std::sin(deg * kPi / 180);
            return Pos{c.centre.x + co * c.u.x + si * c.v.x, c.centre.y + co * c.u.y + si * c.v.y,
                       c.centre.z + co * c.u.z + si * c.v.z};
        };
        double t[16] = {};
        double radius = 0, distance = 0;
        ASSERT_EQ(
            0, cartesianTrackArcParaLib(path({at(c.a1), at(c.a2), at(c.a3)}), t, radius, distance));
        SCOPED_TRACE(c.a3);
        EXPECT_NEAR(c.r, radius, 1e-9);
        EXPECT_NEAR(c.r * c.sweep * kPi / 180, distance, 1e-9);
        expectPos(c.centre, column(t, 3), 1e-9);
        const Pos x = at(c.a1), z = column(t, 2);
        expectPos(Pos{(x.x - c.centre.x) / c.r, (x.y - c.centre.y) / c.r, (x.z - c.centre.z) / c.r},
                  column(t, 0), 1e-9);
        // z is the normal, oriented along the sweep: y = z x x points towards increasing angle.
        const double turn = (c.a2 > c.a1) == (c.a2 - c.a1 < 180) ? 1.0 : -1.0;
        const Pos n{c.u.y * c.v.z - c.u.z * c.v.y, c.u.z * c.v.x - c.u.x * c.v.z,
                    c.u.x * c.v.y - c.u.y * c.v.x};
        expectPos(Pos{turn * n.x, turn * n.y, turn * n.z}, z, 1e-9);
        EXPECT_EQ(1.0, t[15]);
        EXPECT_EQ(0.0, t[12] + t[13] + t[14]);
    }
}

TEST(ArcThroughPoints, DegenerateInputsReturnTheirCodes) {
    const struct {
        std::vector<wayPoint_S> wps;
        char code;
    } cases[] = {
        {path({{1, 0, 0}, {1, 0, 0}, {0, 1, 0}}), -1},
        {path({{1, 0, 0}, {0, 1, 0}, {0, 1, 0}}), -1},
        {path({{1, 0, 0}, {1.0003, 0, 0}, {0, 1, 0}}), -1},  // within sqrt(2e-7)
        {path({{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}}), -3},
        {path({{0, 0, 0}, {1, 1, 1}, {3, 3, 3}}), -2},
        {path({{0, 0, 0}, {2, 0, 0}, {1, 0, 0}}), -2},
        {path({{1, 0, 0}, {0, 1, 0}}), -1},
    };
    for (const auto &c : cases) {
        double t[16] = {}, radius = -7, distance = -7;
        EXPECT_EQ(c.code, cartesianTrackArcParaLib(c.wps, t, radius, distance));
        EXPECT_TRUE(radius == -7.0 && distance == -7.0);
    }
    double radius = 0, distance = 0;
    EXPECT_EQ(-1, cartesianTrackArcParaLib(path({{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}}), nullptr,
                                           radius, distance));
}

struct Blend {
    double node_s[8] = {};
    double radius[4] = {};
    Pos arcY[4] = {};
    Pos arcZ[4] = {};
    char run(const std::vector<wayPoint_S> &wps, float blendR) {
        return cartesianTrackMovepParaLib(wps, blendR, node_s, radius, arcY, arcZ);
    }
};

TEST(BlendedPath, ArcsAndPathLengthsAtRightAngleCorners) {
    Blend o;
    const double r = 0.25;
    ASSERT_EQ(0, o.run(path({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}}), 0.25f));
    const double arc = r * kPi / 2;  // theta = pi/4, radius = blendR
    const double expected[5] = {2 - r, 2 - r + arc, 3 - 3 * r + arc, 3 - 3 * r + 2 * arc,
                                5 - 4 * r + 2 * arc};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(expected[i], o.node_s[i], 1e-12) << i;
    }
    EXPECT_NEAR(r, o.radius[1], 1e-12);
    expectPos(Pos{0, 0, 1}, o.arcZ[1]);
    expectPos(Pos{0, 1, 0}, o.arcY[1]);
    expectPos(Pos{-1, 0, 0}, o.arcY[2]);
}

TEST(BlendedPath, StraightContinuationHasNoArcLength) {
    // Rounding puts the cosine of this straight corner just below -1.
    Blend o;
    ASSERT_EQ(0, o.run(path({{-0.659, 0.004, 0.964},
                             {-0.118, 0.083, 1.685},
                             {0.03889000000000001, 0.10591, 1.89409}}),
                       0.05f));
    const double l1 = std::sqrt(0.541 * 0.541 + 0.079 * 0.079 + 0.721 * 0.721);
    EXPECT_EQ(o.node_s[0], o.node_s[1]);
    EXPECT_NEAR(1.29 * l1 - 2.0 * 0.05f, o.node_s[2], 1e-12);
}

TEST(BlendedPath, TooShortSegmentReportsLengthsAndCorner) {
    const struct {
        std::vector<wayPoint_S> wps;
        float blendR;
        Pos diag;
    } cases[] = {
        {path({{0, 0, 0}, {1, 0, 0}, {1, 0.15, 0}}), 0.16f, {1.0, 0.15, 0}},
        {path({{0, 0, 0}, {1, 0, 0}, {1, 0.3, 0}, {2, 0.3, 0}}), 0.16f, {1.0, 0.3, 0}},
        {path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1.1, 1, 0}}), 0.15f, {1.0, 0.1, 1}},
        {path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}), -0.1f, {1.0, 1.0, 0}},
        {path({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}}), 0.0f, {1.0, 0.0, 0}},
    };
    for (const auto &c : cases) {
        Blend o;
        EXPECT_EQ(-2, o.run(c.wps, c.blendR));
        expectPos(c.diag, o.arcY[0], 1e-15);
    }
    Blend o;
    EXPECT_EQ(0, o.run(path({{0, 0, 0}, {1, 0, 0}, {1, 0.15, 0}}), 0.1f));
    EXPECT_EQ(0, o.run(path({{0, 0, 0}, {1, 0, 0}, {1, 0.5, 0}, {2, 0.5, 0}}), 0.25f));
}

TEST(BlendedPath, ReversalsAndMissingInputsFail) {
    Blend o;
    EXPECT_EQ(-4, o.run(path({{0, 0, 0}, {1, 0, 0}, {0.5, 0, 0}}), 0.01f));
    // Rounding puts the cosine of this reversal just above 1.
    EXPECT_EQ(-4, o.run(path({{-0.109, 0.443, -0.542},
                              {0.782, 1.246, -1.4809999999999999},
                              {-0.0020799999999999985, 0.5393600000000001, -0.65468}}),
                        0.01f));
    EXPECT_EQ(-4, o.run(path({{0, 0, 0}, {1, 0, 0}, {0, 0.03, 0}}), 0.01f));  // under 1 degree
    EXPECT_EQ(-2, o.run(path({{0, 0, 0}, {1, 0, 0}}), 0.1f));
    const auto wps = path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    EXPECT_EQ(-2, cartesianTrackMovepParaLib(wps, 0.1f, nullptr, o.radius, o.arcY, o.arcZ));
    EXPECT_EQ(-2, cartesianTrackMovepParaLib(wps, 0.1f, o.node_s, o.radius, o.arcY, nullptr));
}

class BSpline : public ::testing::Test {
protected:
    static std::vector<wayPoint_S> joints(int n) {
        std::vector<wayPoint_S> wps(static_cast<std::size_t>(n), wayPoint_S{});
        for (int k = 0; k < n; ++k) {
            for (int i = 0; i < 6; ++i) {
                wps[k].jointpos[i] = std::sin(0.7 * k + i) * (i + 1) * 0.3 + 0.05 * k * k;
            }
        }
        return wps;
    }
    std::vector<double> pool = std::vector<double>(1000, 123.0);
    std::vector<wayPoint_S> road;
};

TEST_F(BSpline, PassesThroughEveryWaypointAfterTheFirst) {
    for (int n : {5, 6, 9}) {
        const auto wps = joints(n);
        // steps = 1.0 * 10000 / 1000 = 10; the pool is exactly 10 N + 12 doubles.
        ASSERT_EQ(0,
                  uBSpline3InterpLib(wps, &road, 1.0f, true, 1000, pool.data() + 1, 10 * n + 12));
        EXPECT_EQ(123.0, pool[static_cast<std::size_t>(10 * n + 13)]);
        ASSERT_EQ(static_cast<std::size_t>((n - 1) * 10), road.size());
        for (int k = 1; k < n; ++k) {
            for (int i = 0; i < 6; ++i) {
                EXPECT_NEAR(wps[k].jointpos[i], road[10 * k - 1].jointpos[i], 1e-12) << n << k;
            }
        }
    }
    EXPECT_EQ(123.0, pool[0]);
}

// Each basis sums to twelve at every t, and the end of one segment (t = 1) meets the start of
// the next (t = 0, control points shifted by one) in value, slope and curvature.
TEST_F(BSpline, BasesJoinSmoothly) {
    const int16_t(*order[])[4] = {uBSplines3Interp12T1, uBSplines3Interp12T2, uBSplines3Interp12T,
                                  uBSplines3Interp12TNM1, uBSplines3Interp12TN};
    for (int s = 0; s < 5; ++s) {
        const auto b = order[s];
        for (int m = 0; m < 4; ++m) {
            EXPECT_EQ(m == 0 ? 12 : 0, b[m][0] + b[m][1] + b[m][2] + b[m][3]) << s << m;
        }
        for (int j = 0; s < 4 && j < 5; ++j) {
            const auto n = order[s + 1];
            const bool in = j < 4;
            EXPECT_EQ(in ? b[0][j] + b[1][j] + b[2][j] + b[3][j] : 0, j ? n[0][j - 1] : 0);
            EXPECT_EQ(in ? b[1][j] + 2 * b[2][j] + 3 * b[3][j] : 0, j ? n[1][j - 1] : 0);
            EXPECT_EQ(in ? 2 * b[2][j] + 6 * b[3][j] : 0, j ? 2 * n[2][j - 1] : 0) << s << j;
        }
    }
}

TEST_F(BSpline, SizeChecks) {
    const struct {
        int n;
        float dtn;
        unsigned freq;
        int poolSize;
        char code;
    } cases[] = {
        {4, 1.0f, 1000, 1000, 1}, {5, 1.0f, 1000, 61, 1},  // pool below 10 N + 12
        {5, 1.0f, 100, 399, 1},   {5, 1.0f, 100, 400, 0},  // (N - 1) steps against the pool
        {5, 1.0f, 0, 1000, 1},    {5, -1.0f, 1000, 1000, 1}, {5, 1e30f, 1, 1000, 1},
        {5, -1e30f, 1, 1000, 1},  {5, 0.05f, 1000, 1000, 0},  // under one step: empty output
    };
    for (const auto &c : cases) {
        road.assign(3, wayPoint_S{});
        EXPECT_EQ(c.code, uBSpline3InterpLib(joints(c.n), &road, c.dtn, true, c.freq, pool.data(),
                                             c.poolSize))
            << c.n << " " << c.poolSize;
    }
    EXPECT_TRUE(road.empty());
    EXPECT_EQ(1, uBSpline3InterpLib(joints(5), &road, 1.0f, true, 1000, nullptr, 1000));
    EXPECT_EQ(2, uBSpline3InterpLib(joints(5), nullptr, 1.0f, true, 1000, pool.data(), 1000));
}

void expectOri(const Ori &e, const Ori &a, double tol = 1e-12) {
    EXPECT_NEAR(e.w, a.w, tol);
    EXPECT_NEAR(e.x, a.x, tol);
    EXPECT_NEAR(e.y, a.y, tol);
    EXPECT_NEAR(e.z, a.z, tol);
}

TEST(Slerp, InterpolatesAboveTheThresholdOnly) {
    const Ori start{1, 0, 0, 0}, end{std::cos(kPi / 4), 0, 0, std::sin(kPi / 4)};
    const double angle = kPi / 4;  // between the two as 4-vectors
    Ori res{9, 9, 9, 9};
    sphericalInterpolationLib(res, start, end, angle, 0.0, 1.0, nullptr);
    expectOri(start, res);
    sphericalInterpolationLib(res, start, end, angle, 1.0, 1.0, nullptr);
    expectOri(end, res);
    sphericalInterpolationLib(res, start, end, angle, 0.5, 1.0, nullptr);
    expectOri(Ori{std::cos(kPi / 8), 0, 0, std::sin(kPi / 8)}, res);
    for (double minDeg : {46.0, -1.0}) {  // 45 degrees is below 46; a zero sine never divides
        sphericalInterpolationLib(res, start, end, minDeg > 0 ? angle : 0.0, 0.5, minDeg, nullptr);
        expectOri(end, res, 0.0);
    }
}

TEST(Slerp, SmallAngleSpinsStartAboutTheAxis) {
    const Ori s{std::cos(0.3), std::sin(0.3), 0, 0}, end{0, 0, 0, 1};
    double axis[3] = {0, 0, 1};
    Ori res{};
    sphericalInterpolationLib(res, s, end, 0.01, 0.5, 1.0, axis);
    const double qw = std::cos(0.005), qz = std::sin(0.005);
    // q (x) s with q = (cos(h angle), sin(h angle) axis) on the left.
    expectOri(Ori{qw * s.w, qw * s.x, qz * s.x, qz * s.w}, res);
    sphericalInterpolationLib(res, s, end, 3e-5, 0.5, 1.0, axis);  // below 0.002 degrees
    expectOri(end, res, 0.0);
}

}  // namespace
