#include "ikfunctestutil.h"

// Reaches the private helpers of Ikfunc.
class IkfuncPrivateAccess {
public:
    static bool toQuaternion(const double *R, Ori &q) {
        return Ikfunc::OriMatrixToQuaternion(R, q);
    }
};

namespace {

TEST(QuaternionMatrix, TraceRoundedBelowMinusOneGivesAZeroScalar) {
    const double halfXY[9] = {0, 1, 0, 1, 0, 0, 0, 0, -1 - 1e-12};
    Ori q = {};
    ASSERT_TRUE(IkfuncPrivateAccess::toQuaternion(halfXY, q));
    EXPECT_LT(iktest::quaternionGap(q, {0, std::sqrt(0.5), std::sqrt(0.5), 0}), 1e-9);
    EXPECT_EQ(q.w, 0.0);
}

}  // namespace
