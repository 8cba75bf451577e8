#include <algorithm>

#include "dhparameters.h"
#include "robotKinematics.h"
#include "kinematicsmath.h"

using kinematics_detail::JointTrig;

void getJacobiLib(double Jacobi[6][6], double *j) {
    if (Jacobi == nullptr || j == nullptr) {
        return;
    }
    const JointTrig t(j);
    // One set of lengths whole, even while a login installs another.
    const kinematics_detail::DhLengths dh = kinematics_detail::dhLengths();
    const double a2 = dh.a2, a3 = dh.a3, d2 = dh.d2, d5 = dh.d5, d6 = dh.d6;
    // Wrist-chain terms shared by the position rows.
    const double wrist = d5 * t.c234 + d6 * t.s234 * t.s5;
    const double forearm = wrist + a3 * t.c23;
    const double arm = forearm + a2 * t.c2;
    const double lateral = d6 * t.c5 + d2;
    const double planeReach = a2 * t.s2 + a3 * t.s23 + d5 * t.s234 - d6 * t.c234 * t.s5;

    const double rows[6][6] = {
        {-t.s1 * planeReach - lateral * t.c1, arm * t.c1, -forearm * t.c1, wrist * t.c1,
         (t.s1 * t.s5 - t.c234 * t.c1 * t.c5) * d6, 0.0},
        {lateral * t.s1 - planeReach * t.c1, -arm * t.s1, forearm * t.s1, -wrist * t.s1,
         (t.c1 * t.s5 + t.c234 * t.s1 * t.c5) * d6, 0.0},
        {0.0, -planeReach, d5 * t.s234 + a3 * t.s23 - d6 * t.c234 * t.s5,
         -d5 * t.s234 + d6 * t.c234 * t.s5, d6 * t.s234 * t.c5, 0.0},
        {0.0, t.s1, -t.s1, t.s1, -t.s234 * t.c1, t.c5 * t.s1 + t.c234 * t.c1 * t.s5},
        {0.0, t.c1, -t.c1, t.c1, t.s234 * t.s1, t.c1 * t.c5 - t.c234 * t.s1 * t.s5},
        {-1.0, 0.0, 0.0, 0.0, -t.c234, -t.s234 * t.s5},
    };
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 6; ++c) {
            Jacobi[r][c] = rows[r][c];
        }
    }
}

bool dampedLeastSquare(double Jacobi[6][6], double *diff, double *diffAngle) {
    if (Jacobi == nullptr || diff == nullptr || diffAngle == nullptr) {
        return false;
    }
    constexpr double kDamping = 1000.0;
    double damped[36];
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 6; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 6; ++k) {
                sum += Jacobi[r][k] * Jacobi[c][k];
            }
            damped[r * 6 + c] = sum + (r == c ? kDamping : 0.0);
        }
    }
    if (!positiveDefiniteMatrixInverse(damped, 6)) {
        return false;
    }
    double weighted[6];
    for (int r = 0; r < 6; ++r) {
        weighted[r] = 0.0;
        for (int c = 0; c < 6; ++c) {
            weighted[r] += damped[r * 6 + c] * diff[c];
        }
    }
    double step[6];
    for (int joint = 0; joint < 6; ++joint) {
        step[joint] = 0.0;
        for (int r = 0; r < 6; ++r) {
            step[joint] += Jacobi[r][joint] * weighted[r];
        }
    }
    if (!kinematics_detail::allFinite(step, 6)) {
        return false;
    }
    std::copy(step, step + 6, diffAngle);
    return true;
}
