#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pathInterpolation.h"

namespace {

const double kPi = 3.141592653589793;

wayPoint_S at(double x, double y, double z) {
    wayPoint_S wp{};
    wp.cartPos.position = Pos{x, y, z};
    wp.orientation = Ori{1.0, 0.0, 0.0, 0.0};
    return wp;
}

std::vector<wayPoint_S> path(std::initializer_list<Pos> points) {
    std::vector<wayPoint_S> wps;
    for (const Pos &p : points) {
        wps.push_back(at(p.x, p.y, p.z));
    }
    return wps;
}

void expectPos(const Pos &expected, const Pos &actual, double tol = 1e-12) {
    EXPECT_NEAR(expected.x, actual.x, tol);
    EXPECT_NEAR(expected.y, actual.y, tol);
    EXPECT_NEAR(expected.z, actual.z, tol);
}

Pos column(const double *t, int c) { return Pos{t[c], t[4 + c], t[8 + c]}; }

double dot(const Pos &a, const Pos &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// ---- Arc through three points ----

struct ArcCase {
    const char *name;
    Pos p1, p2, p3;
    double distance;
};

class ArcThroughPoints : public ::testing::TestWithParam<ArcCase> {};

TEST_P(ArcThroughPoints, UnitCircleAboutOrigin) {
    const ArcCase &c = GetParam();
    double trans[16] = {};
    double radius = 0.0;
    double distance = 0.0;
    ASSERT_EQ(0, cartesianTrackArcParaLib(path({c.p1, c.p2, c.p3}), trans, radius, distance));
    EXPECT_NEAR(1.0, radius, 1e-12);
    EXPECT_NEAR(c.distance, distance, 1e-12);
    expectPos(Pos{1, 0, 0}, column(trans, 0));
    expectPos(Pos{0, 1, 0}, column(trans, 1));
    expectPos(Pos{0, 0, 1}, column(trans, 2));
    expectPos(Pos{0, 0, 0}, column(trans, 3));
    EXPECT_EQ(0.0, trans[12]);
    EXPECT_EQ(0.0, trans[13]);
    EXPECT_EQ(0.0, trans[14]);
    EXPECT_EQ(1.0, trans[15]);
}

INSTANTIATE_TEST_SUITE_P(
    Sweeps, ArcThroughPoints,
    ::testing::Values(
        ArcCase{"HalfTurn", {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, kPi},
        ArcCase{"ThreeQuarters", {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, 1.5 * kPi},
        ArcCase{
            "QuarterTurn", {1, 0, 0}, {std::sqrt(0.5), std::sqrt(0.5), 0}, {0, 1, 0}, 0.5 * kPi}),
    [](const ::testing::TestParamInfo<ArcCase> &info) { return info.param.name; });

// A circle of radius 2 about (1, 2, 3) in a tilted plane; the sweep must follow P1 -> P2 -> P3
// whichever way round the three points lie.
TEST(ArcTilted, SweepFollowsTheMiddlePoint) {
    const Pos centre{1, 2, 3};
    const Pos u{1 / std::sqrt(2.0), 1 / std::sqrt(2.0), 0};
    const Pos v{-1 / std::sqrt(6.0), 1 / std::sqrt(6.0), 2 / std::sqrt(6.0)};
    auto onCircle = [&](double deg) {
        const double a = deg * kPi / 180.0;
        return Pos{centre.x + 2 * (std::cos(a) * u.x + std::sin(a) * v.x),
                   centre.y + 2 * (std::cos(a) * u.y + std::sin(a) * v.y),
                   centre.z + 2 * (std::cos(a) * u.z + std::sin(a) * v.z)};
    };
    const struct {
        double a1, a2, a3, sweepDeg;
    } cases[] = {{0, 100, 200, 200}, {0, 30, 300, 300}, {0, -100, -200, 200}, {40, 60, 10, 330}};
    for (const auto &c : cases) {
        double trans[16] = {};
        double radius = 0.0;
        double distance = 0.0;
        ASSERT_EQ(0,
                  cartesianTrackArcParaLib(path({onCircle(c.a1), onCircle(c.a2), onCircle(c.a3)}),
                                           trans, radius, distance));
        EXPECT_NEAR(2.0, radius, 1e-9);
        EXPECT_NEAR(2.0 * c.sweepDeg * kPi / 180.0, distance, 1e-9) << c.a2 << " " << c.a3;
        expectPos(centre, column(trans, 3), 1e-9);
        const Pos x = column(trans, 0), y = column(trans, 1), z = column(trans, 2);
        EXPECT_NEAR(1.0, dot(x, x), 1e-12);
        EXPECT_NEAR(1.0, dot(y, y), 1e-12);
        EXPECT_NEAR(1.0, dot(z, z), 1e-12);
        EXPECT_NEAR(0.0, dot(x, y), 1e-12);
        EXPECT_NEAR(0.0, dot(x, z), 1e-12);
    }
}

TEST(ArcFailure, DegenerateInputsReturnTheirCodes) {
    const struct {
        const char *what;
        std::vector<wayPoint_S> wps;
        char code;
    } cases[] = {
        {"p2 equals p1", path({{1, 0, 0}, {1, 0, 0}, {0, 1, 0}}), -1},
        {"p3 equals p2", path({{1, 0, 0}, {0, 1, 0}, {0, 1, 0}}), -1},
        {"within the limit", path({{1, 0, 0}, {1.0003, 0, 0}, {0, 1, 0}}), -1},
        {"all equal", path({{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}}), -3},
        {"collinear", path({{0, 0, 0}, {1, 1, 1}, {3, 3, 3}}), -2},
        {"collinear, p3 between", path({{0, 0, 0}, {2, 0, 0}, {1, 0, 0}}), -2},
        {"two points only", path({{1, 0, 0}, {0, 1, 0}}), -1},
        {"no points", {}, -1},
    };
    for (const auto &c : cases) {
        double trans[16] = {};
        double radius = -7.0;
        double distance = -7.0;
        EXPECT_EQ(c.code, cartesianTrackArcParaLib(c.wps, trans, radius, distance)) << c.what;
        EXPECT_EQ(-7.0, radius) << c.what;
        EXPECT_EQ(-7.0, distance) << c.what;
    }
    double radius = 0.0;
    double distance = 0.0;
    EXPECT_EQ(-1, cartesianTrackArcParaLib(path({{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}}), nullptr,
                                           radius, distance));
}

// ---- Blended multi-segment path ----

struct BlendOutputs {
    double node_s[16] = {};
    double radius[8] = {};
    Pos arcY[8] = {};
    Pos arcZ[8] = {};
    char run(const std::vector<wayPoint_S> &wps, float blendR) {
        return cartesianTrackMovepParaLib(wps, blendR, node_s, radius, arcY, arcZ);
    }
};

TEST(BlendedPath, RightAngleCornerGivesQuarterArc) {
    BlendOutputs o;
    const float r = 0.1f;
    ASSERT_EQ(0, o.run(path({{0, 0, 0}, {1, 0, 0}, {1, 0.15, 0}}), r));
    EXPECT_NEAR(r, o.radius[0], 1e-12);
    EXPECT_NEAR(1.0 - r, o.node_s[0], 1e-12);
    EXPECT_NEAR(r * kPi / 2.0, o.node_s[1] - o.node_s[0], 1e-12);
    EXPECT_NEAR(o.node_s[1] + 0.15 - r, o.node_s[2], 1e-12);
    expectPos(Pos{1, 0, 0}, o.arcY[0]);
    expectPos(Pos{0, 1, 0}, o.arcY[1]);
    expectPos(Pos{0, 0, 1}, o.arcZ[0]);
}

TEST(BlendedPath, SeveralCornersAccumulateThePathLength) {
    BlendOutputs o;
    const double r = 0.25;
    // Square-ish path: 2 along x, 1 along y, 2 back along -x.
    ASSERT_EQ(0, o.run(path({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}}), static_cast<float>(r)));
    const double arc = r * kPi / 2.0;
    const double expected[5] = {2 - r, 2 - r + arc, 2 - r + arc + 1 - 2 * r,
                                2 - r + arc + 1 - 2 * r + arc,
                                2 - r + arc + 1 - 2 * r + arc + 2 - r};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(expected[i], o.node_s[i], 1e-12) << i;
    }
    expectPos(Pos{0, 0, 1}, o.arcZ[0]);
    expectPos(Pos{0, 0, 1}, o.arcZ[1]);
    expectPos(Pos{-1, 0, 0}, o.arcY[2]);
}

TEST(BlendedPath, ObtuseCornerRadius) {
    BlendOutputs o;
    // 120 degree inner angle: theta = 60 degrees, radius = tan(60) * blendR.
    ASSERT_EQ(0, o.run(path({{0, 0, 0}, {1, 0, 0}, {1.5, std::sqrt(0.75), 0}}), 0.2f));
    const double r = static_cast<double>(0.2f);
    EXPECT_NEAR(std::tan(kPi / 3.0) * r, o.radius[0], 1e-12);
    EXPECT_NEAR(o.radius[0] * (kPi - 2.0 * kPi / 3.0), o.node_s[1] - o.node_s[0], 1e-12);
}

TEST(BlendedPath, TooShortSegmentReportsLengthsAndCorner) {
    const struct {
        const char *what;
        std::vector<wayPoint_S> wps;
        float blendR;
        Pos diag;
    } cases[] = {
        {"single corner", path({{0, 0, 0}, {1, 0, 0}, {1, 0.15, 0}}), 0.16f, {1.0, 0.15, 0}},
        {"first of two, middle needs both blends",
         path({{0, 0, 0}, {1, 0, 0}, {1, 0.3, 0}, {2, 0.3, 0}}),
         0.16f,
         {1.0, 0.3, 0}},
        {"last of two", path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1.1, 1, 0}}), 0.15f, {1.0, 0.1, 1}},
        {"negative blend", path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}), -0.1f, {1.0, 1.0, 0}},
        {"zero-length segment", path({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}}), 0.0f, {1.0, 0.0, 0}},
    };
    for (const auto &c : cases) {
        BlendOutputs o;
        EXPECT_EQ(-2, o.run(c.wps, c.blendR)) << c.what;
        expectPos(c.diag, o.arcY[0], 1e-15);
    }
}

TEST(BlendedPath, MiddleSegmentFitsBothBlendsExactly) {
    BlendOutputs o;
    // 0.5 between the corners holds two blends of 0.25 with nothing to spare.
    EXPECT_EQ(0, o.run(path({{0, 0, 0}, {1, 0, 0}, {1, 0.5, 0}, {2, 0.5, 0}}), 0.25f));
}

TEST(BlendedPath, EarlierCornersStayWrittenWhenALaterOneFails) {
    BlendOutputs o;
    ASSERT_EQ(-2, o.run(path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1.1, 1, 0}}), 0.15f));
    EXPECT_NEAR(0.15, o.radius[0], 1e-7);
    expectPos(Pos{0, 0, 1}, o.arcZ[0]);
}

TEST(BlendedPath, ReversalIsRejected) {
    const std::vector<wayPoint_S> reversals[] = {
        path({{0, 0, 0}, {1, 0, 0}, {0.5, 0, 0}}),
        // Rounding puts the cosine of this reversal just above 1.
        path({{-0.109, 0.443, -0.542},
              {0.782, 1.246, -1.4809999999999999},
              {-0.0020799999999999985, 0.5393600000000001, -0.65468}}),
        // Nearly reversed: half inner angle under one degree.
        path({{0, 0, 0}, {1, 0, 0}, {0, 0.03, 0}}),
    };
    for (const auto &wps : reversals) {
        BlendOutputs o;
        EXPECT_EQ(-4, o.run(wps, 0.01f));
    }
}

TEST(BlendedPath, StraightContinuationHasNoArcLength) {
    // Rounding puts the cosine of this straight corner just below -1.
    const auto wps = path(
        {{-0.659, 0.004, 0.964}, {-0.118, 0.083, 1.685}, {0.03889000000000001, 0.10591, 1.89409}});
    BlendOutputs o;
    const float r = 0.05f;
    ASSERT_EQ(0, o.run(wps, r));
    const double l1 = std::sqrt(0.541 * 0.541 + 0.079 * 0.079 + 0.721 * 0.721);
    EXPECT_NEAR(l1 - r, o.node_s[0], 1e-12);
    EXPECT_EQ(o.node_s[0], o.node_s[1]);
    EXPECT_NEAR(l1 + 0.29 * l1 - 2.0 * r, o.node_s[2], 1e-12);
}

TEST(BlendedPath, MissingInputsFail) {
    BlendOutputs o;
    EXPECT_EQ(-2, o.run(path({{0, 0, 0}, {1, 0, 0}}), 0.1f));
    const auto wps = path({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    EXPECT_EQ(-2, cartesianTrackMovepParaLib(wps, 0.1f, nullptr, o.radius, o.arcY, o.arcZ));
    EXPECT_EQ(-2, cartesianTrackMovepParaLib(wps, 0.1f, o.node_s, nullptr, o.arcY, o.arcZ));
    EXPECT_EQ(-2, cartesianTrackMovepParaLib(wps, 0.1f, o.node_s, o.radius, nullptr, o.arcZ));
    EXPECT_EQ(-2, cartesianTrackMovepParaLib(wps, 0.1f, o.node_s, o.radius, o.arcY, nullptr));
}

// ---- Cubic B-spline through joint waypoints ----

class BSpline : public ::testing::Test {
protected:
    static std::vector<wayPoint_S> joints(int n) {
        std::vector<wayPoint_S> wps;
        for (int k = 0; k < n; ++k) {
            wayPoint_S wp{};
            for (int i = 0; i < 6; ++i) {
                wp.jointpos[i] = std::sin(0.7 * k + i) * (i + 1) * 0.3 + 0.05 * k * k;
            }
            wps.push_back(wp);
        }
        return wps;
    }
    std::vector<double> pool = std::vector<double>(1000, 0.0);
    std::vector<wayPoint_S> road;
};

TEST_F(BSpline, PassesThroughEveryWaypointAfterTheFirst) {
    for (int n : {5, 6, 9}) {
        const auto wps = joints(n);
        // steps = 1.0 * 10000 / 1000 = 10
        ASSERT_EQ(0, uBSpline3InterpLib(wps, &road, 1.0f, true, 1000, pool.data(), 1000)) << n;
        ASSERT_EQ(static_cast<std::size_t>((n - 1) * 10), road.size());
        for (int k = 1; k < n; ++k) {
            const wayPoint_S &p = road[static_cast<std::size_t>(10 * k - 1)];
            for (int i = 0; i < 6; ++i) {
                EXPECT_NEAR(wps[k].jointpos[i], p.jointpos[i], 1e-12) << n << " " << k << " " << i;
            }
        }
    }
}

TEST_F(BSpline, CurveIsContinuousBetweenSegments) {
    const auto wps = joints(8);
    ASSERT_EQ(0, uBSpline3InterpLib(wps, &road, 2.0f, false, 200, pool.data(), 1000));
    ASSERT_EQ(7u * 100u, road.size());
    // Consecutive samples 1/100 of a segment apart: no jump at segment borders either.
    double largest = 0.0;
    for (std::size_t s = 1; s < road.size(); ++s) {
        for (int i = 0; i < 6; ++i) {
            largest = std::fmax(largest, std::fabs(road[s].jointpos[i] - road[s - 1].jointpos[i]));
        }
    }
    EXPECT_LT(largest, 0.05);
    // The first sample lies one step past waypoint 0.
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(wps[0].jointpos[i], road[0].jointpos[i], 0.05);
    }
}

TEST_F(BSpline, BasesJoinWithMatchingValueAndSlope) {
    const int16_t(*order[])[4] = {uBSplines3Interp12T1, uBSplines3Interp12T2, uBSplines3Interp12T,
                                  uBSplines3Interp12TNM1, uBSplines3Interp12TN};
    for (auto b : order) {
        for (int m = 0; m < 4; ++m) {
            int sum = 0;
            for (int j = 0; j < 4; ++j) {
                sum += b[m][j];
            }
            EXPECT_EQ(m == 0 ? 12 : 0, sum) << "partition of unity, row " << m;
        }
    }
    // End of one segment (t = 1) against the start of the next (t = 0), whose control points
    // are shifted by one: value, slope and curvature agree.
    for (int s = 0; s + 1 < 5; ++s) {
        const auto cur = order[s];
        const auto next = order[s + 1];
        for (int j = 0; j < 5; ++j) {
            const bool inCur = j < 4;
            const int value = inCur ? cur[0][j] + cur[1][j] + cur[2][j] + cur[3][j] : 0;
            const int slope = inCur ? cur[1][j] + 2 * cur[2][j] + 3 * cur[3][j] : 0;
            const int curve = inCur ? 2 * cur[2][j] + 6 * cur[3][j] : 0;
            EXPECT_EQ(value, j == 0 ? 0 : next[0][j - 1]) << s << " " << j;
            EXPECT_EQ(slope, j == 0 ? 0 : next[1][j - 1]) << s << " " << j;
            EXPECT_EQ(curve, j == 0 ? 0 : 2 * next[2][j - 1]) << s << " " << j;
        }
    }
}

TEST_F(BSpline, FractionalStepCountGivesEmptyOutput) {
    road.assign(3, wayPoint_S{});
    EXPECT_EQ(0, uBSpline3InterpLib(joints(5), &road, 0.05f, true, 1000, pool.data(), 1000));
    EXPECT_TRUE(road.empty());
}

TEST_F(BSpline, RejectsBadSizes) {
    const struct {
        const char *what;
        int n;
        float dtn;
        unsigned freq;
        int poolSize;
        char code;
    } cases[] = {
        {"four waypoints", 4, 1.0f, 1000, 1000, 1},
        {"pool one short of 10N + 12", 5, 1.0f, 1000, 61, 1},
        {"pool exactly 10N + 12", 5, 0.1f, 1000, 62, 0},
        {"output longer than the pool", 5, 1.0f, 100, 399, 1},
        {"output as long as the pool", 5, 1.0f, 100, 400, 0},
        {"zero frequency", 5, 1.0f, 0, 1000, 1},
        {"negative step count", 5, -1.0f, 1000, 1000, 1},
        {"huge step count", 5, 1e30f, 1, 1000, 1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.code, uBSpline3InterpLib(joints(c.n), &road, c.dtn, true, c.freq, pool.data(),
                                             c.poolSize))
            << c.what;
    }
    EXPECT_EQ(1, uBSpline3InterpLib(joints(5), &road, 1.0f, true, 1000, nullptr, 1000));
    EXPECT_EQ(2, uBSpline3InterpLib(joints(5), nullptr, 1.0f, true, 1000, pool.data(), 1000));
}

TEST_F(BSpline, WorksInsideThePoolOnly) {
    const int n = 6;
    std::vector<double> guarded(10 * n + 12 + 2, 123.0);
    ASSERT_EQ(
        0, uBSpline3InterpLib(joints(n), &road, 1.0f, true, 1000, guarded.data() + 1, 10 * n + 12));
    EXPECT_EQ(123.0, guarded.front());
    EXPECT_EQ(123.0, guarded.back());
}

// ---- Spherical interpolation ----

class Slerp : public ::testing::Test {
protected:
    const Ori start{1, 0, 0, 0};
    const Ori end{std::cos(kPi / 4), 0, 0, std::sin(kPi / 4)};  // 90 degrees about z
    const double angle = kPi / 4;                               // between them as 4-vectors
    Ori res{9, 9, 9, 9};
};

void expectOri(const Ori &e, const Ori &a, double tol = 1e-12) {
    EXPECT_NEAR(e.w, a.w, tol);
    EXPECT_NEAR(e.x, a.x, tol);
    EXPECT_NEAR(e.y, a.y, tol);
    EXPECT_NEAR(e.z, a.z, tol);
}

TEST_F(Slerp, EndsReturnStartAndEnd) {
    sphericalInterpolationLib(res, start, end, angle, 0.0, 1.0, nullptr);
    expectOri(start, res);
    sphericalInterpolationLib(res, start, end, angle, 1.0, 1.0, nullptr);
    expectOri(end, res);
}

TEST_F(Slerp, HalfwayIsHalfTheRotation) {
    sphericalInterpolationLib(res, start, end, angle, 0.5, 1.0, nullptr);
    expectOri(Ori{std::cos(kPi / 8), 0, 0, std::sin(kPi / 8)}, res);
}

TEST_F(Slerp, BelowThresholdWithoutAxisReturnsEnd) {
    sphericalInterpolationLib(res, start, end, 0.0, 0.5, 1.0, nullptr);
    expectOri(end, res, 0.0);
    // Above the threshold in radians but below it in degrees.
    sphericalInterpolationLib(res, start, end, angle, 0.5, 46.0, nullptr);
    expectOri(end, res, 0.0);
}

TEST_F(Slerp, SmallAngleSpinsStartAboutTheAxis) {
    const Ori s{std::cos(0.3), std::sin(0.3), 0, 0};  // a start that does not commute with z
    double axis[3] = {0, 0, 1};
    const double a = 0.01;  // below one degree
    sphericalInterpolationLib(res, s, end, a, 0.5, 1.0, axis);
    const Ori q{std::cos(0.005), 0, 0, std::sin(0.005)};
    // q (x) s, Hamilton product with q on the left.
    const Ori expected{q.w * s.w - q.z * s.z, q.w * s.x + q.x * s.w - q.z * s.y,
                       q.w * s.y + q.z * s.x, q.w * s.z + q.z * s.w};
    expectOri(expected, res);
}

TEST_F(Slerp, TinyAngleWithAxisReturnsEnd) {
    double axis[3] = {0, 0, 1};
    sphericalInterpolationLib(res, start, end, 3e-5, 0.5, 1.0, axis);
    expectOri(end, res, 0.0);
}

TEST_F(Slerp, ZeroAngleWithNegativeThresholdStaysFinite) {
    sphericalInterpolationLib(res, start, end, 0.0, 0.5, -1.0, nullptr);
    expectOri(end, res, 0.0);
}

}  // namespace
