#ifndef IKFUNCTESTUTIL_H
#define IKFUNCTESTUTIL_H

#include "../../yrl_alg/kinematicstestutil.h"
#include "ikfunc.h"

namespace iktest {

inline Ori randomUnitQuaternion(std::mt19937 &rng) {
    std::normal_distribution<double> g(0.0, 1.0);
    const Ori q = {g(rng), g(rng), g(rng), g(rng)};
    const double n = Ikfunc::NORM(q.w, q.x, q.y, q.z);
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

// q and -q are the same rotation.
inline double quaternionGap(const Ori &a, const Ori &b) {
    const double s = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z < 0 ? -1.0 : 1.0;
    return std::fabs(a.w - s * b.w) + std::fabs(a.x - s * b.x) + std::fabs(a.y - s * b.y) +
           std::fabs(a.z - s * b.z);
}

inline wayPoint_S waypoint(const Pos &p, const Ori &o) {
    wayPoint_S wp = {};
    wp.cartPos.position = p;
    wp.orientation = o;
    return wp;
}

}  // namespace iktest

#endif
