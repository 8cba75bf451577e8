#include <vector>

#include "kinematicstestutil.h"

namespace {

using Matrix = std::vector<double>;

Matrix multiply(Matrix a, Matrix b, int n) {
    Matrix c(n * n, 0.0);
    matrixMultiplication(c.data(), a.data(), b.data(), n, n, n, true, true);
    return c;
}

void expectIdentity(const Matrix &m, int n, double tol) {
    for (int i = 0; i < n * n; ++i) {
        EXPECT_NEAR(m[i], i % (n + 1) == 0 ? 1.0 : 0.0, tol) << i;
    }
}

TEST(PositiveDefiniteInverse, InvertsFromTheLowerTriangle) {
    const Matrix a = {4, 1, 2, 1, 3, 0.5, 2, 0.5, 5};
    Matrix inv = {4, 99, 99, 1, 3, 99, 2, 0.5, 5};  // the upper triangle is not read
    ASSERT_TRUE(positiveDefiniteMatrixInverse(inv.data(), 3));
    expectIdentity(multiply(a, inv, 3), 3, 1e-14);
}

TEST(PositiveDefiniteInverse, FailsOnAVanishingPivotOrBadArguments) {
    Matrix zero(9, 0.0);
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero.data(), 3));
    Matrix tiny = {0x1p-53, 0, 0, 1};  // 1.0 + |w| == 1.0 in double precision
    EXPECT_FALSE(positiveDefiniteMatrixInverse(tiny.data(), 2));
    Matrix small = {0x1p-52, 0, 0, 1};
    EXPECT_TRUE(positiveDefiniteMatrixInverse(small.data(), 2));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(nullptr, 3));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero.data(), 0));
}

TEST(MatrixMultiplication, TransposesAccumulatesAndMayOverwriteAFactor) {
    double left[6] = {1, 2, 3, 4, 5, 6};   // 2 x 3
    double leftT[6] = {1, 4, 2, 5, 3, 6};  // the same, stored transposed
    double right[6] = {7, 8, 9, 10, 11, 12};
    const double expected[4] = {58, 64, 139, 154};
    double p[4] = {1, 1, 1, 1}, q[4];
    ASSERT_TRUE(matrixMultiplication(p, left, right, 2, 3, 2, false, true));
    ASSERT_TRUE(matrixMultiplication(q, leftT, right, 2, 3, 2, true, false));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p[i], expected[i] + 1);
        EXPECT_EQ(q[i], expected[i]);
    }
    double m[4] = {1, 2, 3, 4};
    ASSERT_TRUE(matrixMultiplication(m, m, m, 2, 2, 2, true, true));
    EXPECT_EQ(m[3], 22.0);
    EXPECT_FALSE(matrixMultiplication(m, nullptr, right, 2, 2, 2, true, true));
    EXPECT_EQ(m[3], 22.0);
}

TEST(ArrayInvChasing, SolvesTridiagonalSystemsInBothLayouts) {
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int dim = 2; dim <= 12; ++dim) {
        Matrix rows(3 * dim), full(dim * dim, 0.0), x(dim), y(dim, 0.0);
        for (double &v : rows) {
            v = value(rng);
        }
        for (double &v : x) {
            v = value(rng);
        }
        for (int i = 0; i < dim; ++i) {
            rows[dim + i] += 4.0;  // diagonally dominant
            for (int j = std::max(0, i - 1); j <= std::min(dim - 1, i + 1); ++j) {
                full[i * dim + j] = rows[(j - i + 1) * dim + i];
                y[i] += full[i * dim + j] * x[j];
            }
        }
        Matrix a(dim), b(dim);
        ASSERT_TRUE(arrayInvChasing(a.data(), rows.data(), y.data(), dim, false));
        ASSERT_TRUE(arrayInvChasing(b.data(), full.data(), y.data(), dim, true));
        EXPECT_LT(kintest::maxDiff(a.data(), x.data(), dim), 1e-12) << dim;
        EXPECT_LT(kintest::maxDiff(b.data(), x.data(), dim), 1e-12) << dim;
    }
    double out[1] = {7};
    EXPECT_FALSE(arrayInvChasing(out, out, out, 1, false));
    EXPECT_EQ(out[0], 7.0);
}

TEST(VectorAlgebra, CrossAndQuaternionProductsFollowTheHandedness) {
    Pos r;
    vectorCrossProduct(r, {0, 3, 0}, {2, 0, 0}, false);
    EXPECT_EQ(r.z, -6.0);
    vectorCrossProduct(r, {0, 3, 0}, {2, 0, 0}, true);
    EXPECT_EQ(r.z, -1.0);
    const double h = std::sqrt(0.5);
    Ori right = {h, h, 0, 0}, left = {h, h, 0, 0};  // quarter turns about x, then y
    QuaternionMultply(right, {h, 0, h, 0}, true);
    QuaternionMultply(left, {h, 0, h, 0}, false);
    EXPECT_NEAR(right.w, 0.5, 1e-15);
    EXPECT_NEAR(right.x, 0.5, 1e-15);
    EXPECT_NEAR(right.y, 0.5, 1e-15);
    EXPECT_NEAR(right.z, 0.5, 1e-15);
    EXPECT_NEAR(left.z, -0.5, 1e-15);
    EXPECT_NEAR(left.y, 0.5, 1e-15);
}

}  // namespace
