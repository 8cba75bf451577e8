#include "kinematicstestutil.h"

namespace {

using kintest::Joints;
using kintest::kPi;
using kintest::Pose;

int solve(Joints ref, Pose target, double table[6][8]) {  // the library alters its arguments
    return ComputeIkLib(ref.data(), target.rot, target.trans, table);
}

using Kinematics = kintest::ModelTest;

class KinematicsPerModel : public kintest::PerModelTest {};

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
            const Pose pp = kintest::forwardPose(plus.data());
            const Pose pm = kintest::forwardPose(minus.data());
            const auto W = [&](int r, int c) {  // dR/dq * R^T: the angular rate's skew matrix
                double w = 0.0;
                for (int k = 0; k < 3; ++k) {
                    w += (pp.rot[3 * r + k] - pm.rot[3 * r + k]) / (2 * h) * base.rot[3 * c + k];
                }
                return w;
            };
            const double expected[6] = {(pp.trans[0] - pm.trans[0]) / (2 * h),
                                        (pp.trans[1] - pm.trans[1]) / (2 * h),
                                        (pp.trans[2] - pm.trans[2]) / (2 * h),
                                        W(2, 1),
                                        W(0, 2),
                                        W(1, 0)};
            for (int r = 0; r < 6; ++r) {
                EXPECT_NEAR(J[r][joint], expected[r], 1e-7) << r << ',' << joint;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, KinematicsPerModel, ::testing::ValuesIn(kintest::kAllModels));

TEST_F(Kinematics, SingularWristTakesJointsFromTheReference) {
    double table[6][8];
    const Joints zero = {};  // stretched along C
    ASSERT_EQ(solve(zero, kintest::forwardPose(zero.data()), table), 1);
    EXPECT_EQ(kintest::findColumn(table, 1, zero.data(), 1e-12), 0);
    Pose p = kintest::forwardPose(zero.data());
    EXPECT_EQ(ComputeIkLib(nullptr, p.rot, p.trans, table), 0);
    for (double j5 : {0.0, kPi}) {
        const Joints q = {0.3, 0.5, 0.7, -0.4, j5, 0.9};
        const int n = solve(q, kintest::forwardPose(q.data()), table);
        EXPECT_GE(kintest::findColumn(table, n, q.data(), 1e-9), 0) << j5;
    }
    // A wrist centre closer than d2 - 0.0125 to the base axis has no solution.
    Pose onAxis = kintest::forwardPose(zero.data());
    onAxis.trans[0] = d6 * onAxis.rot[2];
    onAxis.trans[1] = d6 * onAxis.rot[5] + d2 - 0.0126;
    EXPECT_EQ(solve(zero, onAxis, table), 0);
}

}  // namespace
