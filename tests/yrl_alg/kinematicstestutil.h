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
struct ModelTest : ::testing::Test {
    void TearDown() override { setDhParaLen(kezu_qx); }
};
struct PerModelTest : ModelTest, ::testing::WithParamInterface<kezu_robot_type> {
    void SetUp() override { setDhParaLen(GetParam()); }
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

// Gaps between points and between rotations (q and -q alike) of library or SDK records.
template <class P>
double posGap(const P &a, const P &b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}
template <class Q>
double rotGap(const Q &a, const Q &b) {
    const double s = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z < 0 ? -1.0 : 1.0;
    return std::hypot(std::hypot(a.w - s * b.w, a.x - s * b.x), a.y - s * b.y, a.z - s * b.z);
}

// v rotated by the unit quaternion q: v + 2 w (u x v) + 2 u x (u x v), u the vector part of q.
template <class Q, class P>
P rotate(const Q &q, const P &v) {
    const double tx = 2 * (q.y * v.z - q.z * v.y), ty = 2 * (q.z * v.x - q.x * v.z),
                 tz = 2 * (q.x * v.y - q.y * v.x);
    return P{v.x + q.w * tx + q.y * tz - q.z * ty, v.y + q.w * ty + q.z * tx - q.x * tz,
             v.z + q.w * tz + q.x * ty - q.y * tx};
}

// The flange position of orientation q that puts the tool centre `tcp` at `tip`.
template <class Q, class P>
P flangeFor(const Q &q, const P &tcp, const P &tip) {
    const P r = rotate(q, tcp);
    return P{tip.x - r.x, tip.y - r.y, tip.z - r.z};
}

inline wayPoint_S waypoint(const Pos &p, const Ori &o = {1, 0, 0, 0}) { return {{p}, o, {}}; }

inline Ori randomUnitQuaternion(std::mt19937 &rng) {
    std::normal_distribution<double> g(0.0, 1.0);
    const Ori q = {g(rng), g(rng), g(rng), g(rng)};
    const double n = std::hypot(std::hypot(q.w, q.x), q.y, q.z);
    return {q.w / n, q.x / n, q.y / n, q.z / n};
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

}  // namespace kintest

#endif
