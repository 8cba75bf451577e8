#ifndef KINEMATICSMATH_H
#define KINEMATICSMATH_H

#include <cmath>

#include "dhparameters.h"
#include "robotCommon.h"

namespace kinematics_detail {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kTwoPi = 2.0 * kPi;

// Sines and cosines of one library joint vector; the elbow enters as q2 - q3 and the wrist
// sum as q2 - q3 + q4.
struct JointTrig {
    double s1, c1, s2, c2, s23, c23, s234, c234, s5, c5, s6, c6;

    JointTrig() = default;
    explicit JointTrig(const double *q) {
        setShoulder(q[0]);
        setArm(q);
        setWrist(q[4]);
        s6 = std::sin(q[5]);
        c6 = std::cos(q[5]);
    }
    void setShoulder(double q1) {
        s1 = std::sin(q1);
        c1 = std::cos(q1);
    }
    void setArm(const double *q) {
        s2 = std::sin(q[1]);
        c2 = std::cos(q[1]);
        s23 = std::sin(q[1] - q[2]);
        c23 = std::cos(q[1] - q[2]);
        s234 = std::sin(q[1] - q[2] + q[3]);
        c234 = std::cos(q[1] - q[2] + q[3]);
    }
    void setWrist(double q5) {
        s5 = std::sin(q5);
        c5 = std::cos(q5);
    }
};

// Flange position of the forward kinematics; joint 6 does not move it.
inline void flangePosition(const DhLengths &dh, const JointTrig &t, double *eetrans) {
    eetrans[0] = dh.a2 * t.c1 * t.s2 + dh.a3 * t.c1 * t.s23 + dh.d5 * t.c1 * t.s234 - dh.d2 * t.s1 -
                 dh.d6 * (t.c5 * t.s1 + t.c234 * t.c1 * t.s5);
    eetrans[1] = -dh.a2 * t.s1 * t.s2 - dh.a3 * t.s1 * t.s23 - dh.d5 * t.s1 * t.s234 -
                 dh.d2 * t.c1 - dh.d6 * (t.c1 * t.c5 - t.c234 * t.s1 * t.s5);
    eetrans[2] = dh.d1 + dh.a2 * t.c2 + dh.a3 * t.c23 + dh.d5 * t.c234 + dh.d6 * t.s234 * t.s5;
}

// Angle in (-pi, pi] of a sine and cosine that need not be normalised; within 1.75e-5 of a
// zero cosine the angle is taken as +-pi/2.
inline double angleOf(double sA, double cA) {
    const double len = std::sqrt(sA * sA + cA * cA);
    sA /= len;
    cA /= len;
    if (std::fabs(cA) < 1.75e-5) {
        return sA > 0.0 ? kHalfPi : -kHalfPi;
    }
    const double t = std::atan(sA / cA);
    if (cA < 0.0) {
        return t > 0.0 ? t - kPi : t + kPi;
    }
    return t;
}

// angleOf(s, c) and angleOf(-s, -c) from one normalisation and one arc tangent: the negated
// pair has the same length and the same tangent, so both come out bit for bit as angleOf's.
// The normalisation stays: rounding decides near-ties between solutions, and callers expect the
// same choice every time.
inline void anglesOfPair(double s, double c, double &angle, double &opposite) {
    const double len = std::sqrt(s * s + c * c);
    s /= len;
    c /= len;
    if (std::fabs(c) < 1.75e-5) {
        angle = s > 0.0 ? kHalfPi : -kHalfPi;
        opposite = -s > 0.0 ? kHalfPi : -kHalfPi;
        return;
    }
    const double t = std::atan(s / c);
    const double shifted = t > 0.0 ? t - kPi : t + kPi;
    angle = c < 0.0 ? shifted : t;
    opposite = -c < 0.0 ? shifted : t;
}

}  // namespace kinematics_detail

#endif
