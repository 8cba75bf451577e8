#include "../../yrl_alg/kinematicstestutil.h"
#include "ikfunc.h"

namespace {

using Quarters = std::array<int, 6>;
class ArmIkHalfTurnJoints : public ::testing::TestWithParam<Quarters> {};  // on kezu_qx

// A joint at exactly +-pi leaves a vanishing sine whose sign picks pi or -pi; the wrong pick
// puts the nearest solution a full turn away from the commanded configuration.
TEST_P(ArmIkHalfTurnJoints, ReturnsTheConfigurationThatMadeThePose) {
    wayPoint_S wp = {};
    for (int j = 0; j < 6; ++j) {
        wp.jointpos[j] = GetParam()[j] * kintest::kPi / 4;
    }
    const wayPoint_S made = wp;
    ASSERT_TRUE(Ikfunc::ArmFk(wp) && Ikfunc::ArmIk(wp, nullptr, false, false));
    EXPECT_LT(kintest::maxDiff(wp.jointpos, made.jointpos, 6), 1e-9);
}

// SDK joints in quarter turns.
INSTANTIATE_TEST_SUITE_P(
    Grid, ArmIkHalfTurnJoints,
    ::testing::Values(Quarters{-3, 4, -2, -2, -3, -3}, Quarters{-1, 4, -3, -1, -3, -3},
                      Quarters{3, 4, -3, -1, -3, -3}, Quarters{-2, 4, -2, -1, -3, -3},
                      Quarters{0, 4, -2, -1, -3, -3}, Quarters{-2, 4, -2, 0, -3, -3}));

}  // namespace
