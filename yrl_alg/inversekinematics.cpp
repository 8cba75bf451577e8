#include <cmath>

#include "robotKinematics.h"
#include "kinematicsmath.h"

using kinematics_detail::angleOf;
using kinematics_detail::anglesOfPair;
using kinematics_detail::DhLengths;
using kinematics_detail::kHalfPi;
using kinematics_detail::kPi;
using kinematics_detail::kTwoPi;

double antiSinCos(double sA, double cA) { return angleOf(sA, cA); }

namespace {

constexpr int kMaxSolutions = 8;
constexpr double kElbowLimit = 1.0001;
constexpr double kRelaxedElbowLimit = 1.046;

double wrapToPi(double angle) {
    while (angle <= -kPi) {
        angle += kTwoPi;
    }
    while (angle > kPi) {
        angle -= kTwoPi;
    }
    return angle;
}

// A pose the closed form can take: finite, with a rotation that is not all zero.
bool solvablePose(const double *R, const double *p) {
    bool nonZero = false;
    for (int k = 0; k < 9; ++k) {
        if (!std::isfinite(R[k])) {
            return false;
        }
        nonZero = nonZero || R[k] != 0.0;
    }
    return nonZero && std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// One evaluation of the closed form: the negated target and the table being filled.
class IkSolver {
public:
    IkSolver(const DhLengths &dh, const double *ref, const double *R, const double *p,
             double (*out)[8])
        : dh_(dh), ref_(ref), R_(R), p_(p), out_(out) {}

    int count() const { return n_; }

    // A shoulder angle with the cosine of the wrist angle it implies.
    struct Shoulder {
        double j1, c1, s1, C5;
    };

    Shoulder shoulder(double j1) const {
        const double c1 = std::cos(j1);
        const double s1 = std::sin(j1);
        return {j1, c1, s1, R_[5] * c1 + R_[2] * s1};
    }

    void regularPair(const Shoulder &sh, double elbowLimit);
    void singular(const Shoulder &sh, double j5);

private:
    void wrist(const Shoulder &sh, double j5, double j6, double j234, double S234, double C234,
               double elbowLimit);
    void elbow(const Shoulder &sh, double j5, double j6, double j234, double j3, double sin2,
               double cos2);
    void append(double j1, double j2, double j3, double j4, double j5, double j6) {
        if (n_ >= kMaxSolutions) {
            return;
        }
        const double q[6] = {j1, j2, j3, j4, j5, j6};
        for (int joint = 0; joint < 6; ++joint) {
            out_[joint][n_] = q[joint];
        }
        ++n_;
    }

    const DhLengths &dh_;
    const double *ref_;
    const double *R_;
    const double *p_;
    double (*out_)[8];
    int n_ = 0;
};

// The two wrist angles +-acos(C5). Every wrist term of -J5 (sin J5, u, v, S234, C234) is the
// exact negation of that of +J5, so their angles come in pairs from one arc tangent each.
void IkSolver::regularPair(const Shoulder &sh, double elbowLimit) {
    const double *R = R_;
    const double j5 = std::acos(sh.C5);
    // sin of the rounded angle, not sqrt(1 - C5^2): the two differ in the last bits, enough to
    // flip the sign of a vanishing joint 2 sine and turn J2 = pi into -pi (so is sin J3 below).
    const double s5 = std::sin(j5);
    double u = (R[3] * sh.c1 + R[0] * sh.s1) / s5;
    double v = (R[4] * sh.c1 + R[1] * sh.s1) / s5;
    const double uvLen = std::sqrt(u * u + v * v);
    u /= uvLen;
    v /= uvLen;
    double j6[2];
    anglesOfPair(v, u, j6[0], j6[1]);

    const double S234 = R[8] * s5 - R[6] * sh.C5 * u - R[7] * sh.C5 * v;
    const double C234 = R[7] * u - R[6] * v;
    double j234[2];
    anglesOfPair(S234, C234, j234[0], j234[1]);

    wrist(sh, j5, j6[0], j234[0], S234, C234, elbowLimit);
    wrist(sh, -j5, j6[1], j234[1], -S234, -C234, elbowLimit);
}

void IkSolver::wrist(const Shoulder &sh, double j5, double j6, double j234, double S234,
                     double C234, double elbowLimit) {
    const double *R = R_;
    const double *p = p_;
    const DhLengths &dh = dh_;
    const double S =
        -p[0] * sh.c1 + p[1] * sh.s1 + dh.d6 * R[2] * sh.c1 - dh.d6 * R[5] * sh.s1 - dh.d5 * S234;
    const double C = p[2] - dh.d1 - dh.d6 * R[8] - dh.d5 * C234;
    const double K = (S * S + C * C - dh.a2 * dh.a2 - dh.a3 * dh.a3) / (2.0 * dh.a2 * dh.a3);
    if (std::fabs(K) > elbowLimit) {
        return;
    }
    const double A = dh.a2 + dh.a3 * K;
    if (std::fabs(K) > 0.9999999999995) {
        const double j3 = K > 0.0 ? 0.0 : kPi;
        const double B = dh.a3 * std::sin(j3);
        const double D = A * A + B * B;
        elbow(sh, j5, j6, j234, j3, (A * S + B * C) / D, (A * C - B * S) / D);
        return;
    }
    // The elbow pair +-J3 shares A and D; B changes sign exactly.
    const double j3 = std::acos(K);
    const double B = dh.a3 * std::sin(j3);
    const double D = A * A + B * B;
    const double sinUp = (A * S + B * C) / D;
    const double cosUp = (A * C - B * S) / D;
    const double sinDown = (A * S - B * C) / D;
    const double cosDown = (A * C + B * S) / D;
    elbow(sh, j5, j6, j234, j3, sinUp, cosUp);
    elbow(sh, j5, j6, j234, -j3, sinDown, cosDown);
}

void IkSolver::elbow(const Shoulder &sh, double j5, double j6, double j234, double j3, double sin2,
                     double cos2) {
    if (sin2 * sin2 + cos2 * cos2 > 1.0001) {
        return;
    }
    const double j2 = angleOf(sin2, cos2);
    append(sh.j1, j2, j3, wrapToPi(j234 - j2 + j3), j5, j6);
}

// J5 = 0 or pi: joints 2, 3, 4 and 6 are parallel, so the reference fills the freedom.
void IkSolver::singular(const Shoulder &sh, double j5) {
    const double *R = R_;
    const double *p = p_;
    const DhLengths &dh = dh_;
    const double j6234 = angleOf(-R[6], R[7]);
    const double sigma = sh.C5 > 0.0 ? 1.0 : -1.0;
    const double S = (dh.d6 * R[2] - p[0]) * sh.c1 + (p[1] - dh.d6 * R[5]) * sh.s1;
    const double C = p[2] - dh.d1 - dh.d6 * R[8];
    const double L = dh.a2 + dh.a3 + dh.d5;

    const bool stretchedS = std::fabs(std::fabs(S) - L) < 0.0001;
    if (stretchedS || std::fabs(std::fabs(C) - L) < 0.0001) {
        double j2;
        if (stretchedS) {
            j2 = S > 0.0 ? kHalfPi : -kHalfPi;
        } else {
            j2 = C > 0.0 ? 0.0 : kPi;
        }
        append(sh.j1, j2, 0.0, 0.0, j5, j6234 - sigma * j2);
        return;
    }

    const double j2 = ref_[1];
    const double rho = std::sqrt(S * S + C * C);
    const double phi = angleOf(S / rho, C / rho);
    const double K =
        (dh.d5 * dh.d5 + rho * rho - dh.a2 * dh.a2 - dh.a3 * dh.a3) / (2.0 * dh.a2 * dh.a3);
    const double M = -dh.d5 * rho / (dh.a2 * dh.a3);
    double j3;
    double j234;
    if (std::fabs(K) > 1.0 - M + 0.0001) {
        return;
    }
    if (std::fabs(K) > 1.0 - M - 0.0001) {
        j3 = K > 0.0 ? 0.0 : kPi;
        j234 = wrapToPi(j3 + phi);
    } else {
        const double c = std::cos(ref_[2]);
        bool fromAcos = true;
        if (K + M <= c && c <= K - M) {
            j3 = ref_[2];
            fromAcos = false;
        } else if (K + M > c && std::fabs(K + M) <= 1.0) {
            j3 = std::acos(K + M);
        } else if (c > K - M && std::fabs(K - M) <= 1.0) {
            j3 = std::acos(K - M);
        } else {
            return;
        }
        if (fromAcos && std::fabs(j3 - ref_[2]) > std::fabs(j3 + ref_[2])) {
            j3 = -j3;
        }
        j234 = angleOf((S - dh.a2 * std::sin(j2) - dh.a3 * std::sin(j2 - j3)) / dh.d5,
                       (C - dh.a2 * std::cos(j2) - dh.a3 * std::cos(j2 - j3)) / dh.d5);
    }
    append(sh.j1, j2, j3, j234 - j2 + j3, j5, j6234 - sigma * j234);
}

// Shoulder candidates of the wrist centre; returns their count (0..2).
int shoulderCandidates(const DhLengths &dh, const double *R, const double *p, double j1[2]) {
    const double wx = p[0] - dh.d6 * R[2];
    const double wy = p[1] - dh.d6 * R[5];
    const double r = std::sqrt(wx * wx + wy * wy);
    if (dh.d2 - 0.0125 > r) {
        return 0;
    }
    const double alpha = angleOf(wx / r, wy / r);
    const double t = dh.d2 / r;
    if (t > 0.9999999998) {
        j1[0] = alpha;
        return 1;
    }
    const double spread = std::acos(t);
    j1[0] = alpha + spread;
    j1[1] = alpha - spread;
    if (j1[0] > kPi) {
        j1[0] -= kTwoPi;
    }
    if (j1[1] <= -kPi) {
        j1[1] += kTwoPi;
    }
    return 2;
}

}  // namespace

int ComputeIkLib(double *jointpos, double *R06, double *positions, double jointResults[6][8]) {
    if (jointpos == nullptr || R06 == nullptr || positions == nullptr || jointResults == nullptr) {
        return 0;
    }
    for (int k = 0; k < 6; ++k) {
        R06[k] = -R06[k];
    }
    positions[0] = -positions[0];
    positions[1] = -positions[1];
    if (!solvablePose(R06, positions)) {
        return 0;
    }

    // One set of lengths for the whole solve, whatever a concurrent install does.
    const DhLengths dh = kinematics_detail::dhLengths();
    double j1[2];
    const int candidates = shoulderCandidates(dh, R06, positions, j1);
    IkSolver solver(dh, jointpos, R06, positions, jointResults);
    bool regular[2] = {false, false};
    for (int i = 0; i < candidates; ++i) {
        const IkSolver::Shoulder sh = solver.shoulder(j1[i]);
        const double absC5 = std::fabs(sh.C5);
        if (absC5 > 1.0001) {
            continue;
        }
        if (absC5 > 0.99999994) {
            solver.singular(sh, sh.C5 > 0.0 ? 0.0 : kPi);
            continue;
        }
        regular[i] = true;
        solver.regularPair(sh, kElbowLimit);
    }
    if (solver.count() == 0) {
        // Just beyond full reach: allow the elbow cosine past 1 and snap the elbow straight.
        for (int i = 0; i < candidates; ++i) {
            if (regular[i]) {
                solver.regularPair(solver.shoulder(j1[i]), kRelaxedElbowLimit);
            }
        }
    }
    return solver.count();
}
