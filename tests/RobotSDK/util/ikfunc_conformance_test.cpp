#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "ikfunc.h"
#include "robotKinematics.h"

namespace {

constexpr double kQuarter = 0.78539816339744830962;  // pi / 4

class ArmIkHalfTurnJoints : public ::testing::TestWithParam<std::array<int, 6>> {
protected:
    void SetUp() override { setDhParaLen(kezu_qx); }
};

// A joint at exactly +-pi leaves a vanishing sine whose sign decides between pi and -pi; the
// choice must be the one that reproduces the commanded configuration, or the nearest solution
// lies a full turn away.
TEST_P(ArmIkHalfTurnJoints, ReturnsTheConfigurationThatMadeThePose) {
    wayPoint_S wp = {};
    for (int j = 0; j < 6; ++j) {
        wp.jointpos[j] = GetParam()[j] * kQuarter;
    }
    double q[6];
    std::copy(wp.jointpos, wp.jointpos + 6, q);
    ASSERT_TRUE(Ikfunc::ArmFk(wp));
    ASSERT_TRUE(Ikfunc::ArmIk(wp, nullptr, false, false));
    for (int j = 0; j < 6; ++j) {
        EXPECT_NEAR(wp.jointpos[j], q[j], 1e-9) << "joint " << j + 1;
    }
}

// SDK joints in quarter turns.
INSTANTIATE_TEST_SUITE_P(Grid, ArmIkHalfTurnJoints,
                         ::testing::Values(std::array<int, 6>{-3, 4, -2, -2, -3, -3},
                                           std::array<int, 6>{-1, 4, -3, -1, -3, -3},
                                           std::array<int, 6>{3, 4, -3, -1, -3, -3},
                                           std::array<int, 6>{-2, 4, -2, -1, -3, -3},
                                           std::array<int, 6>{0, 4, -2, -1, -3, -3},
                                           std::array<int, 6>{-2, 4, -2, 0, -3, -3}));

}  // namespace
