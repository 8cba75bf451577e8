#ifndef KINEMATICSTESTUTIL_H
#define KINEMATICSTESTUTIL_H

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "robotKinematics.h"

namespace kintest {

constexpr double kPi = 3.14159265358979323846;
constexpr kezu_robot_type kAllModels[] = {kezu_qx,   kezu_qj, kezu_qv_a,
                                          kezu_qv_b, kezu_qz, kezu_qxs};
using Joints = std::array<double, 6>;

// Suites that select another model put kezu_qx back.
class PerModelTest : public ::testing::TestWithParam<kezu_robot_type> {
protected:
    void SetUp() override { setDhParaLen(GetParam()); }
    void TearDown() override { setDhParaLen(kezu_qx); }
};
struct ModelTest : ::testing::Test {
    void TearDown() override { setDhParaLen(kezu_qx); }
};

struct Pose {
    double trans[3];
    double rot[9];
};

inline Pose forwardPose(const double *q) {
    Pose p;
    ComputeFk_QMV(q, p.trans, p.rot);
    return p;
}

inline double maxDiff(const double *a, const double *b, int count) {
    double m = 0.0;
    for (int i = 0; i < count; ++i) {
        m = std::fmax(m, std::fabs(a[i] - b[i]));
    }
    return m;
}

// Library joints inside (-pi, pi), away from the singular wrist (sin q5 = 0) and from the
// shoulder's singular cylinder (wrist centre at distance d2 from the base axis).
inline Joints randomGenericJoints(std::mt19937 &rng) {
    std::uniform_real_distribution<double> angle(-kPi + 0.01, kPi - 0.01);
    for (Joints q;;) {
        std::generate(q.begin(), q.end(), [&] { return angle(rng); });
        const Pose p = forwardPose(q.data());
        const double margin = std::hypot(p.trans[0] - d6 * p.rot[2], p.trans[1] - d6 * p.rot[5]);
        if (std::fabs(std::sin(q[4])) > 0.02 && std::fabs(margin - d2) > 1e-3) {
            return q;
        }
    }
}

inline Joints column(const double table[6][8], int k) {
    return {table[0][k], table[1][k], table[2][k], table[3][k], table[4][k], table[5][k]};
}

// Index of the first column within `tol` of q (angles compared modulo 2 pi), or -1.
inline int findColumn(const double table[6][8], int n, const double *q, double tol) {
    for (int k = 0; k < n; ++k) {
        double gap = 0.0;
        for (int j = 0; j < 6; ++j) {
            gap = std::fmax(gap, std::fabs(std::remainder(table[j][k] - q[j], 2 * kPi)));
        }
        if (gap < tol) {
            return k;
        }
    }
    return -1;
}

}  // namespace kintest

#endif
