#include "ikfunctestutil.h"

// Reaches the private helpers of Ikfunc.
class IkfuncPrivateAccess {
public:
    static bool toQuaternion(const double *R, Ori &q) {
        return Ikfunc::OriMatrixToQuaternion(R, q);
    }
};

namespace {

TEST(QuaternionMatrix, ConvertsBothWaysWithNonNegativeScalar) {
    // Trace pushed just below -1 by rounding: a zero scalar part, logged, still a result.
    const double halfXY[9] = {0, 1, 0, 1, 0, 0, 0, 0, -1 - 1e-12};
    Ori q = {};
    ASSERT_TRUE(IkfuncPrivateAccess::toQuaternion(halfXY, q));
    EXPECT_LT(iktest::quaternionGap(q, {0, std::sqrt(0.5), std::sqrt(0.5), 0}), 1e-9);
    EXPECT_EQ(q.w, 0.0);
    std::mt19937 rng(43);
    for (int i = 0; i < 500; ++i) {
        const Ori in = iktest::randomUnitQuaternion(rng);
        double R[9], back[9];
        Ikfunc::QuaternionToOriMatrix({2 * in.w, 2 * in.x, 2 * in.y, 2 * in.z}, R);  // normalised
        ASSERT_TRUE(IkfuncPrivateAccess::toQuaternion(R, q));
        EXPECT_GE(q.w, 0.0);
        Ikfunc::QuaternionToOriMatrix(q, back);
        EXPECT_LT(kintest::maxDiff(R, back, 9), 1e-7);
        EXPECT_LT(iktest::quaternionGap(in, q), 1e-7);
    }
}

}  // namespace
