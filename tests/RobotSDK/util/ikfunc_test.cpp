#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numeric>
#include <vector>

#include "armikreference.h"
#include "../../yrl_alg/kinematicstestutil.h"
#include "ikfunc.h"

static std::atomic<long> gAllocations{0};

// Counts every allocation of this test program, so a test can see that a call allocates nothing.
// GCC pairs the replaced operators with malloc and free and flags them as mismatched.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void *operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

class IkfuncPrivateAccess {
public:
    static bool toQuaternion(const double *R, Ori &q) {
        return Ikfunc::OriMatrixToQuaternion(R, q);
    }
};

namespace {

using kintest::Joints;
using kintest::maxDiff;
using kintest::rotate;
using kintest::waypoint;

wayPoint_S targetOf(const Joints &q) {
    wayPoint_S wp = {{}, {}, {q[0], q[1], q[2], q[3], q[4], q[5]}};
    Ikfunc::ArmFk(wp);
    return wp;
}

class ArmIkPerModel : public kintest::PerModelTest {};

// SDK joints are the negated library joints; snapped angles near +-pi/2 may move a solution by
// a few 1e-4 rad, other solutions lie far apart. Neither direction allocates.
TEST_P(ArmIkPerModel, ReturnsTheJointsThatProducedThePoseOnlyVerifiedSolutionsAndNoAllocation) {
    std::mt19937 rng(500 + GetParam());
    for (int i = 0; i < 300; ++i) {
        Joints q = kintest::randomGenericJoints(rng);
        std::transform(q.begin(), q.end(), q.begin(), [](double v) { return -v; });
        double table[6][8];
        const long before = gAllocations.load();
        wayPoint_S wp = targetOf(q);
        const int n = Ikfunc::ComputeIk_new(wp, table);
        const bool solved = Ikfunc::ArmIk(wp, nullptr, false, false);
        EXPECT_EQ(gAllocations.load(), before) << i;
        ASSERT_TRUE(solved) << i;
        EXPECT_LT(maxDiff(wp.jointpos, q.data(), 6), 1e-3) << i;
        for (int k = 0; k < n; ++k) {
            const wayPoint_S reached = targetOf(kintest::column(table, k));
            EXPECT_LT(kintest::posGap(reached.cartPos.position, wp.cartPos.position) +
                          kintest::rotGap(reached.orientation, wp.orientation),
                      1e-4);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, ArmIkPerModel, ::testing::ValuesIn(kintest::kAllModels));

using Rng = std::mt19937_64;

double uniform(Rng &rng, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(rng);
}
// Either sign, from 0.5 down to 2^-40: on both sides of the solver's thresholds.
double small(Rng &rng) { return std::ldexp(uniform(rng, -0.5, 0.5), -int(rng() % 40)); }

// A pose made from random library joints with some pinned (pin), then moved (move).
const struct PoseFamily {
    const char *name;
    void (*pin)(Joints &q, Rng &rng);
    void (*move)(Pos &p, Ori &o, Rng &rng);
} kPoseFamilies[] = {
    {"generic", nullptr, nullptr},
    {"singular wrist", [](Joints &q, Rng &r) { q[4] = (int(r() % 3) - 1) * kintest::kPi; },
     nullptr},
    {"nearly singular wrist", [](Joints &q, Rng &r) { q[4] = small(r); }, nullptr},
    {"straight elbow", [](Joints &q, Rng &r) { q[2] = int(r() % 2) * kintest::kPi; }, nullptr},
    {"nearly straight elbow", [](Joints &q, Rng &r) { q[2] = small(r); }, nullptr},
    {"stretched arm",
     [](Joints &q, Rng &r) {
         q[1] = int(r() % 4) * kintest::kPi / 2;
         q[2] = q[3] = q[4] = 0;
     },
     nullptr},
    {"quarter turns",
     [](Joints &q, Rng &r) {
         for (double &v : q) {
             v = (int(r() % 9) - 4) * kintest::kPi / 4;
         }
     },
     nullptr},
    {"at or beyond full reach", nullptr,
     [](Pos &p, Ori &, Rng &r) {
         const double s = 1 + std::fabs(small(r)) * 0.2;
         p = {p.x * s, p.y * s, p.z * s};
     }},
    {"near the base axis", nullptr,
     [](Pos &p, Ori &, Rng &r) {
         p = {p.x * uniform(r, 0, 0.1), p.y * uniform(r, 0, 0.1), p.z};
     }},
    {"any pose, rotation not normalised", nullptr,
     [](Pos &p, Ori &o, Rng &r) {
         p = {uniform(r, -1, 1), uniform(r, -1, 1), uniform(r, -1, 1)};
         o = {uniform(r, -2, 2), uniform(r, -2, 2), uniform(r, -2, 2), uniform(r, -2, 2)};
     }},
    {"not finite or no rotation", nullptr,
     [](Pos &p, Ori &o, Rng &r) {
         const double bad[] = {std::nan(""), HUGE_VAL, 0.0};
         (r() % 2 ? p.y : o.x) = bad[r() % 3];
         o = r() % 4 ? o : Ori{0, 0, 0, 0};
     }},
};

// ComputeIk_new and ArmIk give bit for bit what the plain composition gives, for every branch
// of the solver and references of every kind: the waypoint's own joints, which a singular
// wrist keeps, or an explicit one (random, near, on quarter turns, not finite).
TEST_P(ArmIkPerModel, MatchesThePlainCompositionBitForBit) {
    Rng rng(900 + GetParam());
    for (const PoseFamily &family : kPoseFamilies) {
        int mismatches = 0;
        for (int i = 0; i < 9100; ++i) {  // 100100 poses per model
            Joints q;
            std::generate(q.begin(), q.end(),
                          [&] { return uniform(rng, -kintest::kPi, kintest::kPi); });
            if (family.pin != nullptr) {
                family.pin(q, rng);
            }
            wayPoint_S wp = targetOf(q);
            if (family.move != nullptr) {
                family.move(wp.cartPos.position, wp.orientation, rng);
            }
            double ref[6];
            for (int j = 0; j < 6; ++j) {
                const double choices[] = {wp.jointpos[j] + small(rng), uniform(rng, -5, 5),
                                          (int(rng() % 5) - 2) * kintest::kPi / 2, std::nan("")};
                ref[j] = choices[i % 4 == 3 ? j % 4 : i % 4];
            }
            const double *reference = i % 5 == 0 ? nullptr : ref;
            if (i % 7 == 0) {
                std::copy(ref, ref + 3, wp.jointpos);
            }
            double got[6][8], want[6][8];
            wayPoint_S a = wp, b = wp;
            const int n = Ikfunc::ComputeIk_new(a, got);
            const int m = kinref::computeIk(b, want);
            bool same = n == m;
            for (int j = 0; same && j < 6; ++j) {
                same = std::memcmp(got[j], want[j], sizeof(double) * n) == 0;
            }
            const int k = kinref::nearest(want, m, reference ? reference : b.jointpos);
            for (int j = 0; k >= 0 && j < 6; ++j) {
                b.jointpos[j] = want[j][k];
            }
            same = same && Ikfunc::ArmIk(a, reference, false, false) == (k >= 0) &&
                   std::memcmp(&a, &b, sizeof a) == 0;
            mismatches += same ? 0 : 1;
        }
        EXPECT_EQ(mismatches, 0) << family.name;
    }
}

class ArmIk : public kintest::ModelTest {
protected:
    const Joints generic{-0.3, -0.2, -1.6, -0.3, -0.8, -0.2};  // eight solutions
    const wayPoint_S target = targetOf(generic);
    double table[6][8];

    void SetUp() override {
        wayPoint_S wp = target;
        ASSERT_EQ(Ikfunc::ComputeIk_new(wp, table), 8);
    }
    double distance(const double *ref, int k) const {  // as the choice measures it
        const Joints c = kintest::column(table, k);
        return std::inner_product(c.begin(), c.end(), ref, 0.0, std::plus<>(),
                                  [](double a, double b) { return std::fabs(a - b); });
    }
    void expectChoice(const double *ref, int k) const {
        wayPoint_S wp = target;
        ASSERT_TRUE(Ikfunc::ArmIk(wp, ref, false, false));
        EXPECT_EQ(maxDiff(wp.jointpos, kintest::column(table, k).data(), 6), 0.0) << k;
    }
};

TEST_F(ArmIk, ChoosesTheNearestSolutionByPlainDifferencesKeepingTheEarlierOfATie) {
    // A full turn above solution 3: unwrapped, the nearest has the largest joint sum. Columns 0
    // and 1 differ in joints 2..4 only: start halfway, then nudge joint 3 to an exact tie.
    double ref[6], tie[6];
    for (int j = 0; j < 6; ++j) {
        ref[j] = table[j][3] + 2 * kintest::kPi;
        tie[j] = (table[j][0] + table[j][1]) / 2;
    }
    int nearest = 0;
    for (int k = 1; k < 8; ++k) {
        nearest = distance(ref, k) < distance(ref, nearest) ? k : nearest;
    }
    ASSERT_NE(nearest, 3);
    expectChoice(ref, nearest);
    for (int guard = 0; guard < 1000 && distance(tie, 0) != distance(tie, 1); ++guard) {
        const bool up = (distance(tie, 0) > distance(tie, 1)) == (table[2][0] > tie[2]);
        tie[2] = std::nextafter(tie[2], up ? 10.0 : -10.0);
    }
    ASSERT_EQ(distance(tie, 0), distance(tie, 1));
    expectChoice(tie, 0);
}

TEST_F(ArmIk, FailsWithoutTouchingTheWaypointWhenNoSolutionQualifies) {
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 20000.0}) {  // no distance below 10000
        const double ref[6] = {0, 0, 0, bad, 0, 0};
        wayPoint_S wp = target;
        EXPECT_FALSE(Ikfunc::ArmIk(wp, ref, false, false)) << bad;
        EXPECT_EQ(std::memcmp(&wp, &target, sizeof wp), 0);
    }
    wayPoint_S zeroOri = waypoint({0.3, -0.2, 0.5}, {0, 0, 0, 0});  // NaN distances
    EXPECT_FALSE(Ikfunc::ArmIk(zeroOri, nullptr, false, false));
    EXPECT_EQ(Ikfunc::ComputeIk_new(zeroOri, table), 0);
    EXPECT_FALSE(Ikfunc::ArmFk(zeroOri.cartPos.position, zeroOri.orientation, nullptr));
    kintest::Pose p = kintest::forwardPose(generic.data());
    EXPECT_EQ(ComputeIkLib(nullptr, p.rot, p.trans, table), 0);
}

// A joint at exactly +-pi leaves a vanishing sine whose sign picks pi or -pi; the wrong pick
// puts the nearest solution a full turn away from the commanded configuration.
TEST(ArmIkHalfTurnJoints, ReturnsTheConfigurationThatMadeThePose) {
    const int quarters[][6] = {{-3, 4, -2, -2, -3, -3}, {-1, 4, -3, -1, -3, -3},
                               {3, 4, -3, -1, -3, -3},  {-2, 4, -2, -1, -3, -3},
                               {0, 4, -2, -1, -3, -3},  {-2, 4, -2, 0, -3, -3}};  // SDK joints
    for (const auto &q : quarters) {
        wayPoint_S wp = {};
        std::transform(q, q + 6, wp.jointpos, [](int n) { return n * kintest::kPi / 4; });
        const wayPoint_S made = wp;
        ASSERT_TRUE(Ikfunc::ArmFk(wp) && Ikfunc::ArmIk(wp, nullptr, false, false)) << q[0];
        EXPECT_LT(maxDiff(wp.jointpos, made.jointpos, 6), 1e-9) << q[0] << ' ' << q[3];
    }
}

using DhLengths = kintest::ModelTest;

// Lengths go in as single-precision differences from the model's row, so a2 is the row's value
// plus the difference rounded to single precision, not A3 itself. A set with a length that is
// not finite once narrowed is refused whole: the model and lengths stay as they were.
TEST_F(DhLengths, SetDhParametersInstallsOnlyFiniteLengths) {
    const double nan = std::nan(""), inf = HUGE_VAL;
    const struct {
        double lengths[6];
        bool installed;
    } cases[] = {
        {{0.6, 0.57, 0.16, 0.19, 0.12, 0.1}, true},
        {{0.6, 0.57, 1e38, 0.19, 0.12, 0.1}, true},  // finite in single precision
        {{1e308, 0.57, 0.16, 0.19, 0.12, 0.1}, false},
        {{0.6, -3.5e38, 0.16, 0.19, 0.12, 0.1}, false},
        {{0.6, 0.57, 0.16, nan, 0.12, 0.1}, false},
        {{0.6, 0.57, 0.16, 0.19, inf, 0.1}, false},
        {{0.6, 0.57, 0.16, 0.19, 0.12, -inf}, false},
    };
    const double qx[6] = {0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094};
    const double qvb[6] = {0.595, 0.58, 0.15, 0.1885, 0.125, 0.1015};
    for (const auto &c : cases) {
        setDhParaLen(kezu_qx);
        const double *l = c.lengths;
        EXPECT_EQ(c.installed,
                  Ikfunc::setDhParameters(kezu_qv_b, l[0], l[1], l[2], l[3], l[4], l[5]));
        double got[6];
        getDhPara(got[0], got[1], got[2], got[3], got[4], got[5]);
        for (int k = 0; k < 6; ++k) {
            const volatile float difference = static_cast<float>(l[k] - qvb[k]);
            EXPECT_EQ(got[k], c.installed ? qvb[k] + difference : qx[k]) << k << ' ' << l[k];
        }
        EXPECT_EQ(c.installed ? kezu_qv_b : kezu_qx, getRobotType());
    }
}

TEST(QuaternionMatrix, TraceRoundedBelowMinusOneGivesAZeroScalar) {
    const double halfXY[9] = {0, 1, 0, 1, 0, 0, 0, 0, -1 - 1e-12};
    Ori q = {};
    ASSERT_TRUE(IkfuncPrivateAccess::toQuaternion(halfXY, q));
    EXPECT_LT(kintest::rotGap(q, {0, std::sqrt(0.5), std::sqrt(0.5), 0}), 1e-9);
    EXPECT_EQ(q.w, 0.0);
}

class Frames : public ::testing::Test {
protected:
    std::mt19937 rng{71};
    const Pos tcp = {0.02, 0.01, 0.12};
    double found[3] = {7, 7, 7};
    Ori result = {1, 0, 0, 0};

    Ori randomOri() { return kintest::randomUnitQuaternion(rng); }
    // A flange waypoint with orientation q whose tool centre sits on the tip moved by d.
    wayPoint_S holding(const Ori &q, const Pos &d = {}) {
        return waypoint(kintest::flangeFor(q, tcp, {0.4 + d.x, 0.1 + d.y, 0.2 + d.z}), q);
    }
    std::vector<wayPoint_S> aroundTip(int n) {
        std::vector<wayPoint_S> poses(static_cast<std::size_t>(n));
        std::generate(poses.begin(), poses.end(), [this] { return holding(randomOri()); });
        return poses;
    }
};

// Modes 0..2 teach the tip at a point, on the first named tool axis and in the first named
// plane; modes 3..5 point the first, then the second named tool axis along base -Z.
TEST_F(Frames, ToolCalibrationRecoversCentrePointAndOrientationInEveryMode) {
    for (int run = 0; run < 21; ++run) {  // three of each
        const int mode = run / 3 - 1;
        const Ori toolInFlange = randomOri(), start = randomOri();
        const Pos unit[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // named tool axes, flange frame:
        const Pos t[2] = {rotate(toolInFlange, unit[(mode + 3) % 3]),
                          rotate(toolInFlange, unit[(mode + 4) % 3])};
        std::vector<wayPoint_S> ori;
        if (mode >= 0 && mode < 3) {  // tip offsets along the named axes, in base coordinates
            const Pos a = rotate(start, t[0]), b = rotate(start, t[1]);
            ori = {holding(start), holding(randomOri(), {0.05 * a.x, 0.05 * a.y, 0.05 * a.z}),
                   holding(randomOri(), {0.03 * a.x + 0.04 * b.x, 0.03 * a.y + 0.04 * b.y,
                                         0.03 * a.z + 0.04 * b.z})};
        }
        for (int i = 0; mode >= 3 && i < 2; ++i) {  // the named axis onto -Z, then about z
            Ori spun;
            Ikfunc::endOrientation2ToolOrientation({1 - t[i].z, -t[i].y, t[i].x, 0},
                                                   {std::cos(0.3 + i), 0, 0, std::sin(0.3 + i)},
                                                   spun);
            ori.push_back(holding(spun));
        }
        result = {1, 0, 0, 0};
        ASSERT_TRUE(Ikfunc::api_tool_coord_calib(aroundTip(5).data(), 5,
                                                 mode < 0 ? nullptr : ori.data(),
                                                 static_cast<char>(mode), found, result));
        EXPECT_LT(kintest::posGap(Pos{found[0], found[1], found[2]}, tcp), 1e-10) << mode;
        EXPECT_LT(kintest::rotGap(result, mode < 0 ? Ori{1, 0, 0, 0} : toolInFlange), 1e-9)
            << mode;  // untouched without orientation poses
    }
}

TEST_F(Frames, ToolCalibrationFailsOnDegenerateInput) {
    const auto poses = aroundTip(4);
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(poses.data(), 3, nullptr, -1, found, result));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(nullptr, 4, nullptr, -1, found, result));
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), 4, false, found, 2, nullptr, &result));
    EXPECT_EQ(found[0], 7.0);
    // One orientation for every pose leaves the normal matrix singular; a zero quaternion fails.
    const std::vector<wayPoint_S> same(4, holding(randomOri()));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(same.data(), 4, nullptr, -1, found, result));
}

}  // namespace
