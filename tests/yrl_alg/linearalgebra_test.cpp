#include <vector>

#include "kinematicstestutil.h"

namespace {

TEST(PositiveDefiniteInverse, InvertsFromTheLowerTriangleAndFailsOnAVanishingPivot) {
    double a[9] = {4, 1, 2, 1, 3, 0.5, 2, 0.5, 5}, id[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    double inv[9] = {4, 99, 99, 1, 3, 99, 2, 0.5, 5};  // the upper triangle is not read
    ASSERT_TRUE(positiveDefiniteMatrixInverse(inv, 3));
    ASSERT_TRUE(matrixMultiplication(id, a, inv, 3, 3, 3, false, true));  // accumulates
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(id[i], i % 4 == 0 ? 2.0 : 1.0, 1e-14) << i;
    }
    double zero[9] = {}, tiny[4] = {0x1p-53, 0, 0, 1}, small[4] = {0x1p-52, 0, 0, 1};
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero, 3));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(tiny, 2));  // 1.0 + |w| == 1.0
    EXPECT_TRUE(positiveDefiniteMatrixInverse(small, 2));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(nullptr, 3));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero, 0));
    EXPECT_FALSE(matrixMultiplication(zero, nullptr, a, 3, 3, 3, true, true));
}

TEST(ArrayInvChasing, SolvesTridiagonalSystemsInBothLayouts) {
    const int dim = 7;
    std::vector<double> rows(3 * dim), full(dim * dim, 0.0), x(dim), y(dim, 0.0), a(dim), b(dim);
    for (int i = 0; i < 3 * dim; ++i) {
        rows[i] = std::sin(1.3 * i) + (i / dim == 1 ? 4.0 : 0.0);  // diagonally dominant
    }
    for (int i = 0; i < dim; ++i) {
        x[i] = std::cos(0.7 * i);
    }
    for (int i = 0; i < dim; ++i) {
        for (int j = std::max(0, i - 1); j <= std::min(dim - 1, i + 1); ++j) {
            full[i * dim + j] = rows[(j - i + 1) * dim + i];
            y[i] += full[i * dim + j] * x[j];
        }
    }
    ASSERT_TRUE(arrayInvChasing(a.data(), rows.data(), y.data(), dim, false));
    ASSERT_TRUE(arrayInvChasing(b.data(), full.data(), y.data(), dim, true));
    EXPECT_LT(kintest::maxDiff(a.data(), x.data(), dim), 1e-12);
    EXPECT_LT(kintest::maxDiff(b.data(), x.data(), dim), 1e-12);
    double out[1] = {7};
    EXPECT_FALSE(arrayInvChasing(out, out, out, 1, false));
    EXPECT_EQ(out[0], 7.0);
}

}  // namespace
