#include "kinematicstestutil.h"

namespace {

// The inverse reads the lower triangle only and fails once a pivot no longer changes 1.0.
TEST(LinearAlgebra, FailsSafelyOnVanishingPivotsAndMissingArguments) {
    double a[9] = {4, 1, 2, 1, 3, 0.5, 2, 0.5, 5}, id[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    double inv[9] = {4, 99, 99, 1, 3, 99, 2, 0.5, 5};
    ASSERT_TRUE(positiveDefiniteMatrixInverse(inv, 3));
    ASSERT_TRUE(matrixMultiplication(id, a, inv, 3, 3, 3, false, true));  // accumulates
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(id[i], i % 4 == 0 ? 2.0 : 1.0, 1e-14) << i;
    }
    double zero[9] = {}, tiny[4] = {0x1p-53, 0, 0, 1}, small[4] = {0x1p-52, 0, 0, 1};
    EXPECT_FALSE(positiveDefiniteMatrixInverse(tiny, 2));
    EXPECT_TRUE(positiveDefiniteMatrixInverse(small, 2));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(nullptr, 3));
    EXPECT_FALSE(positiveDefiniteMatrixInverse(zero, 0));
    EXPECT_FALSE(matrixMultiplication(zero, nullptr, a, 3, 3, 3, true, true));
    EXPECT_FALSE(arrayInvChasing(zero, zero, zero, 1, false));
    EXPECT_FALSE(arrayInvChasing(zero, nullptr, zero, 3, true));
}

}  // namespace
