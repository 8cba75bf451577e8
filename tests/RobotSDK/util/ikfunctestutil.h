#ifndef IKFUNCTESTUTIL_H
#define IKFUNCTESTUTIL_H

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ikfunc.h"
#include "robotKinematics.h"

namespace iktest {

constexpr double kPi = 3.14159265358979323846;

inline Ori randomUnitQuaternion(std::mt19937 &rng) {
    std::normal_distribution<double> g(0.0, 1.0);
    Ori q = {g(rng), g(rng), g(rng), g(rng)};
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

// Quaternions q and -q are the same rotation.
inline double quaternionGap(const Ori &a, const Ori &b) {
    const double same =
        std::fabs(a.w - b.w) + std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
    const double flipped =
        std::fabs(a.w + b.w) + std::fabs(a.x + b.x) + std::fabs(a.y + b.y) + std::fabs(a.z + b.z);
    return std::fmin(same, flipped);
}

inline double positionGap(const Pos &a, const Pos &b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

inline wayPoint_S waypoint(const Pos &p, const Ori &o) {
    wayPoint_S wp = {};
    wp.cartPos.position = p;
    wp.orientation = o;
    return wp;
}

inline wayPoint_S pointAt(double x, double y, double z) {
    return waypoint({x, y, z}, {1, 0, 0, 0});
}

}  // namespace iktest

#endif
