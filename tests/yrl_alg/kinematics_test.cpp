#include <atomic>
#include <cstring>
#include <thread>

#include "kinematicstestutil.h"

namespace {

using kintest::Joints;
using kintest::Pose;

class KinematicsPerModel : public kintest::PerModelTest {};

// Rows 3..5 are the angular rate: the skew matrix dR/dq R^T at (2, 1), (0, 2) and (1, 0).
TEST_P(KinematicsPerModel, JacobianMatchesFiniteDifferencesOfForwardKinematics) {
    std::mt19937 rng(200 + GetParam());
    const double h = 1e-6;
    for (int i = 0; i < 30; ++i) {
        Joints q = kintest::randomGenericJoints(rng);
        double J[6][6];
        getJacobiLib(J, q.data());
        const Pose base = kintest::forwardPose(q.data());
        for (int joint = 0; joint < 6; ++joint) {
            Joints plus = q, minus = q;
            plus[joint] += h;
            minus[joint] -= h;
            const Pose pp = kintest::forwardPose(plus.data()),
                       pm = kintest::forwardPose(minus.data());
            for (int r = 0; r < 6; ++r) {
                double d = r < 3 ? pp.trans[r] - pm.trans[r] : 0.0;
                for (int k = 0, a = 3 * ((r + 2) % 3), b = 3 * ((r + 1) % 3); r >= 3 && k < 3;
                     ++k) {
                    d += (pp.rot[a + k] - pm.rot[a + k]) * base.rot[b + k];
                }
                EXPECT_NEAR(J[r][joint], d / (2 * h), 1e-7) << r << ',' << joint;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, KinematicsPerModel, ::testing::ValuesIn(kintest::kAllModels));

// a2, a3, d1, d2, d4, d5, d6 and the model.
const double kRows[][8] = {
    {0.408, 0.376, 0.0985, 0.1215, -0.019, 0.1025, 0.094, kezu_qx},
    {0.495, 0.375, 0.15, 0.166, -0.019, 0.1025, 0.94, kezu_qj},
    {0.595, 0.48, 0.15, 0.1885, 0.0, 0.125, 0.1015, kezu_qv_a},
    {0.595, 0.58, 0.15, 0.1885, 0.0, 0.125, 0.1015, kezu_qv_b},
    {0.252, 0.246, 0.1375, 0.112, -0.016, 0.1025, 0.094, kezu_qz},
    {0.245, 0.215, 0.1215, 0.1215, -0.019, 0.1025, 0.094, kezu_qxs},
};

void expectRow(const double *row) {
    double got[8];
    getDhPara(got[0], got[1], got[2], got[3], got[5], got[6], &got[4]);
    got[3] += got[4];  // with D4 requested, D2 excludes the d4 term
    got[7] = getRobotType();
    EXPECT_LT(kintest::maxDiff(got, row, 8), 1e-15) << row[7];
}

using DhParameters = kintest::ModelTest;

TEST_F(DhParameters, EveryModelSelectsItsRowAndUnknownOnesFallBackToTheFirst) {
    const int unknown[] = {7, -1, 6, 1000, 6, 7};
    for (int i = 0; i < 6; ++i) {
        const auto type = static_cast<kezu_robot_type>(kRows[i][7]);
        setDhParaLen(type == kezu_qz ? kezu_qj : kezu_qz);
        EXPECT_TRUE(setDhParaLen(type));
        expectRow(kRows[i]);
        EXPECT_FALSE(setDhParaLen(static_cast<kezu_robot_type>(unknown[i])));
        expectRow(kRows[0]);
    }
}

// dd[3] moves d2 and d4 together; the unused elements are never read.
TEST_F(DhParameters, CorrectionsAddInSinglePrecisionAndD4MovesD2Along) {
    float da[6] = {1e3f, 1e3f, 0.01f, -0.02f, 1e3f, 1e3f},
          dd[6] = {0.001f, 0.002f, 1e3f, 0.001f, 0.003f, -0.004f};
    modifyDhParaLen(da, dd);
    const double d2 = 0.1215 + (double{0.002f} + double{0.001f});
    const double row[8] = {0.408 + 0.01f,   0.376 - 0.02f,   0.0985 + 0.001f, d2,
                           -0.019 + 0.001f, 0.1025 + 0.003f, 0.094 - 0.004f,  kezu_qx};
    expectRow(row);
}

// Forward and inverse kinematics on one thread while another switches the model: each result
// is that of one model's lengths whole, never a mix of the two sets.
TEST_F(DhParameters, ComputationsDuringAnInstallUseOneSetWhole) {
    struct Result {
        double fk[12];
        struct {
            double table[6][8];
            int n;
        } ik;
    };
    auto compute = [](Result &r) {
        const double q[6] = {0.3, -0.5, 1.1, -0.4, 0.7, 0.2};
        double ref[6] = {}, rot[9] = {1, 0, 0, 0, 0, -1, 0, 1, 0}, pos[3] = {0.3, -0.2, 0.5};
        std::memset(&r, 0, sizeof r);
        ComputeFk_QMV(q, r.fk, r.fk + 3);
        r.ik.n = ComputeIkLib(ref, rot, pos, r.ik.table);
    };
    auto either = [](const void *got, const void *a, const void *b, std::size_t size) {
        return std::memcmp(got, a, size) == 0 || std::memcmp(got, b, size) == 0;
    };
    Result sets[2], r;
    const kezu_robot_type models[2] = {kezu_qx, kezu_qv_b};
    for (int m = 0; m < 2; ++m) {
        setDhParaLen(models[m]);
        compute(sets[m]);
    }
    std::atomic<bool> done(false);
    std::thread writer([&] {
        for (int i = 0; !done; ++i) {
            setDhParaLen(models[i % 2]);
        }
    });
    int mixed = 0;
    for (int i = 0; i < 3000; ++i) {
        compute(r);
        mixed += !either(r.fk, sets[0].fk, sets[1].fk, sizeof r.fk);
        mixed += !either(&r.ik, &sets[0].ik, &sets[1].ik, sizeof r.ik);
    }
    done = true;
    writer.join();
    EXPECT_EQ(mixed, 0);
}

// No solution for a wrist centre closer than d2 - 0.0125 to the base axis, a position or rotation
// that is not finite, or an all-zero rotation; just outside the axis there is one.
TEST(InverseKinematics, PosesWithoutASolution) {
    const double nan = std::nan(""), inf = HUGE_VAL;
    const struct {
        double rot[9], pos[3];
        bool solvable;
    } cases[] = {
        {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {0.1215 - 0.0124, 0, 0.5}, true},
        {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {0.1215 - 0.0126, 0, 0.5}, false},
        {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {0.3, nan, 0.5}, false},
        {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {inf, -0.2, 0.5}, false},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0}, {0.3, -0.2, 0.5}, false},
        {{1, 0, 0, 0, 1, nan, 0, 0, 1}, {0.3, -0.2, 0.5}, false},
    };
    for (int i = 0; i < 6; ++i) {
        auto c = cases[i];  // the solver negates parts of the pose in place
        double ref[6] = {}, table[6][8];
        EXPECT_EQ(c.solvable, ComputeIkLib(ref, c.rot, c.pos, table) > 0) << i;
    }
}

// The inverse reads the lower triangle only and fails once a pivot no longer changes 1.0 or is
// NaN; the damped step, J^T (J J^T + 1000 I)^-1 diff, fails on a NaN in J.
TEST(LinearAlgebra, FailsSafelyOnVanishingPivotsAndMissingArguments) {
    double a[9] = {4, 1, 2, 1, 3, 0.5, 2, 0.5, 5}, id[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    double inv[9] = {4, 99, 99, 1, 3, 99, 2, 0.5, 5};
    const double twice[9] = {2, 1, 1, 1, 2, 1, 1, 1, 2};  // the product added to the ones
    ASSERT_TRUE(positiveDefiniteMatrixInverse(inv, 3));
    ASSERT_TRUE(matrixMultiplication(id, a, inv, 3, 3, 3, false, true));
    EXPECT_LT(kintest::maxDiff(id, twice, 9), 1e-14);
    double zero[9] = {}, tiny[4] = {0x1p-53, 0, 0, 1}, small[4] = {0x1p-52, 0, 0, 1};
    double nanDiagonal[4] = {1, 0, 0, std::nan("")};
    EXPECT_FALSE(positiveDefiniteMatrixInverse(tiny, 2));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(nanDiagonal, 2));
    EXPECT_TRUE(positiveDefiniteMatrixInverse(small, 2));
    double J[6][6] = {}, diff[6] = {1001, 0, 0, 0, 0, -2002}, step[6] = {};
    for (int k = 0; k < 6; ++k) {
        J[k][k] = 1;
    }
    ASSERT_TRUE(dampedLeastSquare(J, diff, step));
    EXPECT_LT(std::fabs(step[0] - 1) + std::fabs(step[5] + 2), 1e-12);
    const double before = step[5];
    J[2][3] = std::nan("");
    EXPECT_FALSE(dampedLeastSquare(J, diff, step));
    EXPECT_EQ(step[5], before);
    EXPECT_FALSE(positiveDefiniteMatrixInverse(nullptr, 3));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero, 0));
    EXPECT_FALSE(matrixMultiplication(zero, nullptr, a, 3, 3, 3, true, true));
    EXPECT_FALSE(arrayInvChasing(zero, zero, zero, 1, false));
    EXPECT_FALSE(arrayInvChasing(zero, nullptr, zero, 3, true));
}

// Rows (a, b, c) of a 3x3 tridiagonal system; a zero or non-finite pivot (first diagonal,
// eliminated middle or last diagonal) or a NaN right-hand side fails and leaves the output alone.
TEST(LinearAlgebra, TridiagonalSolveOrFailOnAZeroOrNonFinitePivot) {
    const double nan = std::nan(""), inf = HUGE_VAL;
    const struct {
        double rows[3][3];
        bool solvable;
        double y0 = 1;  // the first right-hand side
    } cases[] = {
        {{{0, 4, 1}, {1, 4, 1}, {1, 4, 0}}, true},
        {{{0, 2, -1}, {-1, 2, -1}, {-1, 2, 0}}, true},
        {{{0, 1e-300, 0}, {0, 1, 0}, {0, 1, 0}}, true},      // tiny, not zero
        {{{0, 1e-300, 1e10}, {1, 4, 1}, {1, 4, 0}}, false},  // the next pivot overflows
        {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, false},
        {{{0, 0, 1}, {1, 4, 1}, {1, 4, 0}}, false},
        {{{0, 1, 1}, {1, 1, 1}, {1, 4, 0}}, false},
        {{{0, 1, 1}, {1, 2, 1}, {1, 1, 0}}, false},
        {{{0, nan, 1}, {1, 4, 1}, {1, 4, 0}}, false},
        {{{0, 4, 1}, {inf, 4, 1}, {1, 4, 0}}, false},
        {{{0, 4, 1}, {1, 4, 1}, {1, 4, 0}}, false, nan},
    };
    for (const auto &c : cases) {
        double a[9], full[9] = {}, y[3] = {c.y0, -2, 3};
        for (int i = 0; i < 3; ++i) {
            for (int k = 0; k < 3; ++k) {
                a[3 * k + i] = c.rows[i][k];  // three rows of a, b, c
                if (i + k >= 1 && i + k <= 3) {
                    full[3 * i + i + k - 1] = c.rows[i][k];
                }
            }
        }
        for (double *A : {a, full}) {
            double x[3] = {7, 7, 7};
            ASSERT_EQ(c.solvable, arrayInvChasing(x, A, y, 3, A == full)) << c.rows[0][1];
            for (int i = 0; c.solvable && i < 3; ++i) {
                const double lhs = (i > 0 ? c.rows[i][0] * x[i - 1] : 0) + c.rows[i][1] * x[i] +
                                   (i < 2 ? c.rows[i][2] * x[i + 1] : 0);
                EXPECT_NEAR(y[i], lhs, 1e-12);
            }
            EXPECT_EQ(!c.solvable, x[0] == 7 && x[1] == 7 && x[2] == 7);
        }
    }
}

}  // namespace
