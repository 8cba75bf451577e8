#ifndef KINEMATICSTESTUTIL_H
#define KINEMATICSTESTUTIL_H

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "robotKinematics.h"

namespace kintest {

constexpr double kPi = 3.14159265358979323846;

constexpr kezu_robot_type kAllModels[] = {kezu_qx,   kezu_qj, kezu_qv_a,
                                          kezu_qv_b, kezu_qz, kezu_qxs};

using Joints = std::array<double, 6>;

// Every suite that selects another model puts kezu_qx back, so suites do not leak lengths.
class KinematicsModelTest : public ::testing::Test {
protected:
    void TearDown() override { setDhParaLen(kezu_qx); }
};

class KinematicsModelParamTest : public ::testing::TestWithParam<kezu_robot_type> {
protected:
    void SetUp() override { setDhParaLen(GetParam()); }
    void TearDown() override { setDhParaLen(kezu_qx); }
};

// Distance of the wrist centre from the base axis minus the lateral offset d2: near zero the
// two shoulder solutions merge and the shoulder angle is snapped.
inline double shoulderMargin(const double *q) {
    double t[3], R[9];
    ComputeFk_QMV(q, t, R);
    return std::hypot(t[0] - d6 * R[2], t[1] - d6 * R[5]) - d2;
}

// Library joint vectors strictly inside (-pi, pi), with the wrist away from its singular angles
// and the wrist centre away from the shoulder's singular cylinder.
inline Joints randomGenericJoints(std::mt19937 &rng) {
    std::uniform_real_distribution<double> angle(-kPi + 0.01, kPi - 0.01);
    Joints q;
    do {
        for (double &v : q) {
            v = angle(rng);
        }
    } while (std::fabs(std::sin(q[4])) < 0.02 || std::fabs(shoulderMargin(q.data())) < 1e-3);
    return q;
}

inline double angleGap(double a, double b) { return std::fabs(std::remainder(a - b, 2.0 * kPi)); }

// Largest joint gap between column k of a [joint][solution] table and q.
inline double columnGap(const double table[6][8], int k, const double *q) {
    double gap = 0.0;
    for (int j = 0; j < 6; ++j) {
        gap = std::fmax(gap, angleGap(table[j][k], q[j]));
    }
    return gap;
}

inline bool tableContains(const double table[6][8], int n, const double *q, double tol) {
    for (int k = 0; k < n; ++k) {
        if (columnGap(table, k, q) < tol) {
            return true;
        }
    }
    return false;
}

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

inline Joints column(const double table[6][8], int k) {
    Joints q;
    for (int j = 0; j < 6; ++j) {
        q[j] = table[j][k];
    }
    return q;
}

using Mat3 = std::array<double, 9>;
using Vec3 = std::array<double, 3>;

inline Mat3 matMul(const Mat3 &a, const Mat3 &b) {
    Mat3 c{};
    for (int r = 0; r < 3; ++r) {
        for (int col = 0; col < 3; ++col) {
            for (int k = 0; k < 3; ++k) {
                c[3 * r + col] += a[3 * r + k] * b[3 * k + col];
            }
        }
    }
    return c;
}

inline Mat3 transposed(const Mat3 &m) {
    return {m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]};
}

inline Vec3 matVec(const Mat3 &m, const Vec3 &v) {
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

// Rotation by `angle` about the unit `axis` (Rodrigues).
inline Mat3 axisAngle(const Vec3 &axis, double angle) {
    const double c = std::cos(angle), s = std::sin(angle), v = 1.0 - c;
    const double x = axis[0], y = axis[1], z = axis[2];
    return {c + x * x * v,     x * y * v - z * s, x * z * v + y * s,
            y * x * v + z * s, c + y * y * v,     y * z * v - x * s,
            z * x * v - y * s, z * y * v + x * s, c + z * z * v};
}

inline Vec3 normalised(const Vec3 &v) {
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / n, v[1] / n, v[2] / n};
}

inline Mat3 randomRotation(std::mt19937 &rng) {
    std::normal_distribution<double> g(0.0, 1.0);
    std::uniform_real_distribution<double> angle(-kPi, kPi);
    return axisAngle(normalised({g(rng), g(rng), g(rng)}), angle(rng));
}

// A rotation taking unit vector u onto unit vector v (u != -v).
inline Mat3 rotationTaking(const Vec3 &u, const Vec3 &v) {
    const Vec3 cross = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                        u[0] * v[1] - u[1] * v[0]};
    const double sinA = std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
    const double cosA = u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
    if (sinA < 1e-12) {
        return {1, 0, 0, 0, 1, 0, 0, 0, 1};
    }
    return axisAngle(normalised(cross), std::atan2(sinA, cosA));
}

inline Vec3 column(const Mat3 &m, int c) { return {m[c], m[3 + c], m[6 + c]}; }

}  // namespace kintest

#endif
