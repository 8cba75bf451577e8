#ifndef ARMIKREFERENCE_H
#define ARMIKREFERENCE_H

#include <cmath>

#include "ikfunc.h"
#include "robotKinematics.h"

// Ikfunc's inverse kinematics composed plainly of the library's solver and ArmFk: every solution
// checked by the full forward kinematics, the misses replaced by the last solution, then the
// nearest survivor to the reference (SDK signs, as Ikfunc).
namespace kinref {

inline int computeIk(const wayPoint_S &wp, double table[6][8]) {
    double ref[6], rot[9], pos[3];
    for (int j = 0; j < 6; ++j) {
        ref[j] = -wp.jointpos[j];
    }
    Ikfunc::posOri2homoArr(wp.cartPos, wp.orientation, rot, pos);
    int n = ComputeIkLib(ref, rot, pos, table);
    for (int j = 0; j < 6; ++j) {
        for (int k = 0; k < n; ++k) {
            table[j][k] = -table[j][k];
        }
    }
    for (int k = 0; k < n;) {
        const double q[6] = {table[0][k], table[1][k], table[2][k],
                             table[3][k], table[4][k], table[5][k]};
        Pos at;
        Ori ori;
        Ikfunc::ArmFk(at, ori, q);
        const Pos &to = wp.cartPos.position;
        const double dx = at.x - to.x, dy = at.y - to.y, dz = at.z - to.z;
        if (std::sqrt(dx * dx + dy * dy + dz * dz) <= 0.0001) {
            ++k;
            continue;
        }
        --n;
        for (int j = 0; j < 6; ++j) {
            table[j][k] = table[j][n];
        }
    }
    return n;
}

// The nearest solution by the sum of plain joint differences, the earlier of a tie; -1 when
// none is nearer than 10000.
inline int nearest(const double table[6][8], int n, const double *ref) {
    int best = -1;
    double bestSum = 10000.0;
    for (int k = 0; k < n; ++k) {
        double sum = 0.0;
        for (int j = 0; j < 6; ++j) {
            sum += std::fabs(table[j][k] - ref[j]);
        }
        if (sum < bestSum) {
            best = k;
            bestSum = sum;
        }
    }
    return best;
}

inline bool armIk(wayPoint_S &wp, const double *reference) {
    double table[6][8];
    const int best = nearest(table, computeIk(wp, table), reference ? reference : wp.jointpos);
    for (int j = 0; best >= 0 && j < 6; ++j) {
        wp.jointpos[j] = table[j][best];
    }
    return best >= 0;
}

}  // namespace kinref

#endif
