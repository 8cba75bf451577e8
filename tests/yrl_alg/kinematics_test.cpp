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

}  // namespace
