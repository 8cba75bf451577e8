#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "robotKinematics.h"

namespace {

std::vector<double> multiply(const std::vector<double> &a, const std::vector<double> &b, int n) {
    std::vector<double> c(n * n, 0.0);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < n; ++k) {
                c[i * n + j] += a[i * n + k] * b[k * n + j];
            }
        }
    }
    return c;
}

void expectIdentity(const std::vector<double> &m, int n, double tol) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            EXPECT_NEAR(m[i * n + j], i == j ? 1.0 : 0.0, tol) << i << ',' << j;
        }
    }
}

// ---------------------------------------------------------------- positive definite inverse

TEST(PositiveDefiniteInverse, InvertsTheKnownThreeByThree) {
    const std::vector<double> a = {4, 1, 2, 1, 3, 0.5, 2, 0.5, 5};
    std::vector<double> inv = a;
    ASSERT_TRUE(positiveDefiniteMatrixInverse(inv.data(), 3));
    expectIdentity(multiply(a, inv, 3), 3, 1e-14);
    expectIdentity(multiply(inv, a, 3), 3, 1e-14);
}

TEST(PositiveDefiniteInverse, InvertsRandomSymmetricPositiveDefiniteMatrices) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int n = 1; n <= 8; ++n) {
        for (int trial = 0; trial < 20; ++trial) {
            // B B^T + I is symmetric positive definite.
            std::vector<double> b(n * n);
            for (double &v : b) {
                v = value(rng);
            }
            std::vector<double> a(n * n, 0.0);
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) {
                    for (int k = 0; k < n; ++k) {
                        a[i * n + j] += b[i * n + k] * b[j * n + k];
                    }
                }
                a[i * n + i] += 1.0;
            }
            std::vector<double> inv = a;
            ASSERT_TRUE(positiveDefiniteMatrixInverse(inv.data(), n));
            expectIdentity(multiply(a, inv, n), n, 1e-10);
        }
    }
}

TEST(PositiveDefiniteInverse, ReadsOnlyTheLowerTriangle) {
    std::vector<double> a = {4, 99, 99, 1, 3, 99, 2, 0.5, 5};
    ASSERT_TRUE(positiveDefiniteMatrixInverse(a.data(), 3));
    expectIdentity(multiply({4, 1, 2, 1, 3, 0.5, 2, 0.5, 5}, a, 3), 3, 1e-14);
}

TEST(PositiveDefiniteInverse, FailsOnVanishingPivotOrBadArguments) {
    std::vector<double> zero(9, 0.0);
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero.data(), 3));
    std::vector<double> tiny = {1e-17, 0, 0, 1};
    EXPECT_FALSE(positiveDefiniteMatrixInverse(tiny.data(), 2));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(nullptr, 3));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero.data(), 0));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero.data(), -2));
}

// ---------------------------------------------------------------- matrix product

TEST(MatrixMultiplication, MultipliesRectangularFactors) {
    const double left[6] = {1, 2, 3, 4, 5, 6};      // 2 x 3
    const double right[6] = {7, 8, 9, 10, 11, 12};  // 3 x 2
    double product[4] = {100, 100, 100, 100};
    ASSERT_TRUE(matrixMultiplication(product, left, right, 2, 3, 2, true, true));
    const double expected[4] = {58, 64, 139, 154};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(product[i], expected[i]);
    }
}

TEST(MatrixMultiplication, TransposesTheStoredLeftFactor) {
    const double leftStored[6] = {1, 4, 2, 5, 3, 6};  // 3 x 2, the transpose of {1 2 3; 4 5 6}
    const double right[6] = {7, 8, 9, 10, 11, 12};
    double product[4];
    ASSERT_TRUE(matrixMultiplication(product, leftStored, right, 2, 3, 2, true, false));
    const double expected[4] = {58, 64, 139, 154};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(product[i], expected[i]);
    }
}

TEST(MatrixMultiplication, AccumulatesAndAllowsTheProductToBeAFactor) {
    double m[4] = {1, 2, 3, 4};
    const double id[4] = {1, 0, 0, 1};
    ASSERT_TRUE(matrixMultiplication(m, m, m, 2, 2, 2, false, true));  // m += m * m
    const double expected[4] = {1 + 7, 2 + 10, 3 + 15, 4 + 22};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m[i], expected[i]);
    }
    double r[4] = {1, 2, 3, 4};
    ASSERT_TRUE(matrixMultiplication(r, id, r, 2, 2, 2, true, true));
    EXPECT_EQ(r[3], 4.0);
}

TEST(MatrixMultiplication, NullFactorLeavesProductUntouched) {
    double product[4] = {9, 9, 9, 9};
    const double f[4] = {1, 2, 3, 4};
    EXPECT_FALSE(matrixMultiplication(product, nullptr, f, 2, 2, 2, true, true));
    EXPECT_FALSE(matrixMultiplication(product, f, nullptr, 2, 2, 2, true, true));
    EXPECT_FALSE(matrixMultiplication(nullptr, f, f, 2, 2, 2, true, true));
    EXPECT_EQ(product[0], 9.0);
}

// ---------------------------------------------------------------- cross product

TEST(VectorCrossProduct, FollowsTheRightHandRuleAndNormalises) {
    Pos r;
    vectorCrossProduct(r, {1, 0, 0}, {0, 1, 0}, false);
    EXPECT_EQ(r.x, 0.0);
    EXPECT_EQ(r.y, 0.0);
    EXPECT_EQ(r.z, 1.0);
    vectorCrossProduct(r, {0, 3, 0}, {2, 0, 0}, false);
    EXPECT_EQ(r.z, -6.0);
    vectorCrossProduct(r, {0, 3, 0}, {2, 0, 0}, true);
    EXPECT_EQ(r.z, -1.0);
    vectorCrossProduct(r, {1, 2, 3}, {2, 4, 6}, true);  // parallel: no guard against zero
    EXPECT_TRUE(std::isnan(r.x));
}

// ---------------------------------------------------------------- tridiagonal solver

// y = T x for a tridiagonal T given as three rows.
std::vector<double> applyTridiagonal(const std::vector<double> &rows,
                                     const std::vector<double> &x) {
    const int n = static_cast<int>(x.size());
    std::vector<double> y(n);
    for (int i = 0; i < n; ++i) {
        y[i] = rows[n + i] * x[i];
        if (i > 0) {
            y[i] += rows[i] * x[i - 1];
        }
        if (i + 1 < n) {
            y[i] += rows[2 * n + i] * x[i + 1];
        }
    }
    return y;
}

std::vector<double> toFull(const std::vector<double> &rows, int n) {
    std::vector<double> full(n * n, 0.0);
    for (int i = 0; i < n; ++i) {
        full[i * n + i] = rows[n + i];
        if (i > 0) {
            full[i * n + i - 1] = rows[i];
        }
        if (i + 1 < n) {
            full[i * n + i + 1] = rows[2 * n + i];
        }
    }
    return full;
}

TEST(ArrayInvChasing, SolvesDiagonallyDominantSystemsInBothLayouts) {
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int dim = 2; dim <= 12; ++dim) {
        std::vector<double> rows(3 * dim);
        for (double &v : rows) {
            v = value(rng);
        }
        for (int i = 0; i < dim; ++i) {
            rows[dim + i] = 4.0 + value(rng);
        }
        std::vector<double> x(dim);
        for (double &v : x) {
            v = value(rng);
        }
        const std::vector<double> y = applyTridiagonal(rows, x);
        std::vector<double> solved(dim, 0.0);
        ASSERT_TRUE(arrayInvChasing(solved.data(), rows.data(), y.data(), dim, false));
        for (int i = 0; i < dim; ++i) {
            EXPECT_NEAR(solved[i], x[i], 1e-12) << "rows, dim " << dim;
        }
        const std::vector<double> full = toFull(rows, dim);
        std::vector<double> solvedFull(dim, 0.0);
        ASSERT_TRUE(arrayInvChasing(solvedFull.data(), full.data(), y.data(), dim, true));
        for (int i = 0; i < dim; ++i) {
            EXPECT_NEAR(solvedFull[i], x[i], 1e-12) << "full, dim " << dim;
        }
    }
}

TEST(ArrayInvChasing, SolvesTwoByTwoDirectly) {
    // 2x + y = 5, x + 3y = 10  ->  x = 1, y = 3.  Row layout: a = {-, 1}, b = {2, 3}, c = {1, -}.
    const double rows[6] = {123.0, 1.0, 2.0, 3.0, 1.0, 456.0};
    const double y[2] = {5.0, 10.0};
    double x[2];
    ASSERT_TRUE(arrayInvChasing(x, rows, y, 2, false));
    EXPECT_NEAR(x[0], 1.0, 1e-15);
    EXPECT_NEAR(x[1], 3.0, 1e-15);
}

TEST(ArrayInvChasing, RejectsTooSmallDimensionOrNullArrays) {
    const double a[3] = {1, 1, 1};
    const double y[1] = {1};
    double x[1] = {7};
    EXPECT_FALSE(arrayInvChasing(x, a, y, 1, false));
    EXPECT_FALSE(arrayInvChasing(x, a, y, 0, true));
    EXPECT_FALSE(arrayInvChasing(nullptr, a, y, 2, false));
    EXPECT_EQ(x[0], 7.0);
}

// ---------------------------------------------------------------- quaternion product

Ori hamilton(const Ori &q, const Ori &p) {
    return {q.w * p.w - q.x * p.x - q.y * p.y - q.z * p.z,
            q.w * p.x + q.x * p.w + q.y * p.z - q.z * p.y,
            q.w * p.y - q.x * p.z + q.y * p.w + q.z * p.x,
            q.w * p.z + q.x * p.y - q.y * p.x + q.z * p.w};
}

void expectOriNear(const Ori &a, const Ori &b, double tol) {
    EXPECT_NEAR(a.w, b.w, tol);
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

TEST(QuaternionProduct, MultipliesOnTheChosenSide) {
    std::mt19937 rng(29);
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    for (int i = 0; i < 200; ++i) {
        const Ori e = {value(rng), value(rng), value(rng), value(rng)};
        const Ori l = {value(rng), value(rng), value(rng), value(rng)};
        Ori right = e;
        QuaternionMultply(right, l, true);
        expectOriNear(right, hamilton(e, l), 1e-14);
        Ori left = e;
        QuaternionMultply(left, l, false);
        expectOriNear(left, hamilton(l, e), 1e-14);
    }
}

TEST(QuaternionProduct, SidesDifferForNonCommutingRotations) {
    const double h = std::sqrt(0.5);
    const Ori aboutX = {h, h, 0, 0};
    const Ori aboutY = {h, 0, h, 0};
    Ori right = aboutX;
    Ori left = aboutX;
    QuaternionMultply(right, aboutY, true);
    QuaternionMultply(left, aboutY, false);
    EXPECT_NEAR(right.z, 0.5, 1e-15);
    EXPECT_NEAR(left.z, -0.5, 1e-15);
}

}  // namespace
