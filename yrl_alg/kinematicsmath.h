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

// The angle of a sine and a cosine that need not be normalised, in (-pi, pi]; within 1.75e-5
// of a zero cosine it is taken as +-pi/2. The normalisation is done at construction and the arc
// tangent on request, so a caller can normalise several pairs before it takes their angles and
// their square roots and divisions overlap. The normalisation stays: rounding decides near-ties
// between solutions, and callers expect the same choice every time.
class PendingAngle {
public:
    PendingAngle() = default;
    PendingAngle(double sA, double cA) : PendingAngle(sA, cA, sA * sA + cA * cA) {}
    // squaredLength: sA * sA + cA * cA, when the caller has it already.
    PendingAngle(double sA, double cA, double squaredLength) {
        const double len = std::sqrt(squaredLength);
        s_ = sA / len;
        c_ = cA / len;
        tangent_ = s_ / c_;
    }

    double angle() const {
        if (nearZeroCosine()) {
            return s_ > 0.0 ? kHalfPi : -kHalfPi;
        }
        return quadrant(std::atan(tangent_), c_);
    }

    // angle() of this pair and of (-s, -c) from one arc tangent: the negated pair has the same
    // length and the same tangent, so both come out bit for bit as angle() would give them.
    void angles(double &angle, double &opposite) const {
        if (nearZeroCosine()) {
            angle = s_ > 0.0 ? kHalfPi : -kHalfPi;
            opposite = -s_ > 0.0 ? kHalfPi : -kHalfPi;
            return;
        }
        const double t = std::atan(tangent_);
        angle = quadrant(t, c_);
        opposite = quadrant(t, -c_);
    }

private:
    bool nearZeroCosine() const { return std::fabs(c_) < 1.75e-5; }
    static double quadrant(double t, double c) {
        if (c < 0.0) {
            return t > 0.0 ? t - kPi : t + kPi;
        }
        return t;
    }

    double s_ = 0.0;
    double c_ = 1.0;
    double tangent_ = 0.0;
};

inline double angleOf(double sA, double cA) { return PendingAngle(sA, cA).angle(); }

// Sines and cosines the inverse solver took of each solution's own joints: of the shoulder, and of
// the wrist where it is +acos(C5). Forward kinematics of the solution takes the same values, so a
// check of the solution need not take them again.
struct SolvedTrig {
    double s1[8], c1[8];
    double s5[8];
    bool hasS5[8];
};

// ComputeIkLib with the lengths given, optionally reporting the sines and cosines it took.
int solveInverse(const DhLengths &dh, const double *ref, double *R06, double *positions,
                 double jointResults[6][8], SolvedTrig *trig);

// Whether every one of count values is finite; results that are not must not pass as success.
inline bool allFinite(const double *values, int count) {
    for (int k = 0; k < count; ++k) {
        if (!std::isfinite(values[k])) {
            return false;
        }
    }
    return true;
}

inline bool isFinite(const Pos &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace kinematics_detail

#endif
