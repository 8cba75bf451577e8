#ifndef JOINTTRIG_H
#define JOINTTRIG_H

#include <cmath>

namespace kinematics_detail {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kTwoPi = 2.0 * kPi;

// Sines and cosines of one library joint vector; the elbow enters as q2 - q3 and the wrist
// sum as q2 - q3 + q4.
struct JointTrig {
    double s1, c1, s2, c2, s23, c23, s234, c234, s5, c5, s6, c6;

    explicit JointTrig(const double *q)
        : s1(std::sin(q[0])),
          c1(std::cos(q[0])),
          s2(std::sin(q[1])),
          c2(std::cos(q[1])),
          s23(std::sin(q[1] - q[2])),
          c23(std::cos(q[1] - q[2])),
          s234(std::sin(q[1] - q[2] + q[3])),
          c234(std::cos(q[1] - q[2] + q[3])),
          s5(std::sin(q[4])),
          c5(std::cos(q[4])),
          s6(std::sin(q[5])),
          c6(std::cos(q[5])) {}
};

}  // namespace kinematics_detail

#endif
