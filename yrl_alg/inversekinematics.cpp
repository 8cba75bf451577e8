#include <cmath>

#include "robotKinematics.h"
#include "kinematicsmath.h"

using kinematics_detail::angleOf;
using kinematics_detail::DhLengths;
using kinematics_detail::kHalfPi;
using kinematics_detail::kPi;
using kinematics_detail::kTwoPi;
using kinematics_detail::PendingAngle;
using kinematics_detail::SolvedTrig;

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

// A shoulder angle with the cosine of the wrist angle it implies.
struct Shoulder {
    double j1, c1, s1, C5;
};

// One joint 3 of a wrist choice, its joint 2 normalised but not yet taken.
struct Elbow {
    double j3;
    PendingAngle j2;
};

// The elbow solutions of one wrist choice (one J5).
struct WristChoice {
    double S, C, K;  // planar target of joints 2 and 3, and the elbow cosine
    bool reached;
    double j3, B;
    int count = 0;
    Elbow elbows[2];

    void addElbow(double j3Value, double sin2, double cos2) {
        const double squared = sin2 * sin2 + cos2 * cos2;
        if (squared > 1.0001) {
            return;
        }
        elbows[count++] = {j3Value, PendingAngle(sin2, cos2, squared)};
    }
};

// One evaluation of the closed form: the negated target and the table being filled.
class IkSolver {
public:
    IkSolver(const DhLengths &dh, const double *ref, const double *R, const double *p,
             double (*out)[8], SolvedTrig *trig)
        : dh_(dh), ref_(ref), R_(R), p_(p), out_(out), trig_(trig) {}

    int count() const { return n_; }

    Shoulder shoulder(double j1) const {
        const double c1 = std::cos(j1);
        const double s1 = std::sin(j1);
        return {j1, c1, s1, R_[5] * c1 + R_[2] * s1};
    }

    int shoulderCandidates(double j1[2]) const;
    void regularPair(const Shoulder &sh, double elbowLimit);
    void singular(const Shoulder &sh, double j5);

private:
    void reach(const Shoulder &sh, double S234, double C234, double elbowLimit,
               WristChoice &wrist) const;
    void bend(WristChoice &wrist) const;
    void append(const Shoulder &sh, const double *s5, double j2, double j3, double j4, double j5,
                double j6) {
        if (n_ >= kMaxSolutions) {
            return;
        }
        const double q[6] = {sh.j1, j2, j3, j4, j5, j6};
        for (int joint = 0; joint < 6; ++joint) {
            out_[joint][n_] = q[joint];
        }
        if (trig_ != nullptr) {
            trig_->s1[n_] = sh.s1;
            trig_->c1[n_] = sh.c1;
            trig_->hasS5[n_] = s5 != nullptr;
            trig_->s5[n_] = s5 != nullptr ? *s5 : 0.0;
        }
        ++n_;
    }

    const DhLengths &dh_;
    const double *ref_;
    const double *R_;
    const double *p_;
    double (*out_)[8];
    SolvedTrig *trig_;
    int n_ = 0;
};

// Shoulder candidates of the wrist centre; returns their count (0..2).
int IkSolver::shoulderCandidates(double j1[2]) const {
    const double *R = R_;
    const double *p = p_;
    const double wx = p[0] - dh_.d6 * R[2];
    const double wy = p[1] - dh_.d6 * R[5];
    const double r = std::sqrt(wx * wx + wy * wy);
    if (dh_.d2 - 0.0125 > r) {
        return 0;
    }
    const PendingAngle toward(wx / r, wy / r);
    const double t = dh_.d2 / r;
    if (t > 0.9999999998) {
        j1[0] = toward.angle();
        return 1;
    }
    const double spread = std::acos(t);
    const double alpha = toward.angle();
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

// The two wrist angles +-acos(C5). Every wrist term of -J5 (sin J5, u, v, S234, C234) is the
// exact negation of that of +J5, so their angles come in pairs from one arc tangent each. The
// work runs in phases over both wrist choices (elbow cosines, arc cosines, sines, divisions,
// then the arc tangents), so that independent chains overlap instead of waiting on each other;
// the solutions are appended in the order of the closed form.
void IkSolver::regularPair(const Shoulder &sh, double elbowLimit) {
    const double *R = R_;
    double j5 = std::acos(sh.C5);
    // sin of the rounded angle, not sqrt(1 - C5^2): the two differ in the last bits, enough to
    // flip the sign of a vanishing joint 2 sine and turn J2 = pi into -pi (so is sin J3 below).
    const double s5 = std::sin(j5);
    double u = (R[3] * sh.c1 + R[0] * sh.s1) / s5;
    double v = (R[4] * sh.c1 + R[1] * sh.s1) / s5;
    const double uvLen = std::sqrt(u * u + v * v);
    u /= uvLen;
    v /= uvLen;
    const double S234 = R[8] * s5 - R[6] * sh.C5 * u - R[7] * sh.C5 * v;
    const double C234 = R[7] * u - R[6] * v;
    const PendingAngle wrist6(v, u);
    const PendingAngle wrist234(S234, C234);

    WristChoice wrists[2];
    reach(sh, S234, C234, elbowLimit, wrists[0]);
    reach(sh, -S234, -C234, elbowLimit, wrists[1]);
    for (WristChoice &w : wrists) {
        if (w.reached) {
            w.j3 = std::fabs(w.K) > 0.9999999999995 ? (w.K > 0.0 ? 0.0 : kPi) : std::acos(w.K);
        }
    }
    for (WristChoice &w : wrists) {
        if (w.reached) {
            w.B = dh_.a3 * std::sin(w.j3);
        }
    }
    for (WristChoice &w : wrists) {
        if (w.reached) {
            bend(w);
        }
    }

    double j6[2];
    double j234[2];
    wrist6.angles(j6[0], j6[1]);
    wrist234.angles(j234[0], j234[1]);
    for (int w = 0; w < 2; ++w) {
        for (int e = 0; e < wrists[w].count; ++e) {
            const Elbow &elbow = wrists[w].elbows[e];
            const double j2 = elbow.j2.angle();
            append(sh, w == 0 ? &s5 : nullptr, j2, elbow.j3, wrapToPi(j234[w] - j2 + elbow.j3), j5,
                   j6[w]);
        }
        j5 = -j5;
    }
}

void IkSolver::reach(const Shoulder &sh, double S234, double C234, double elbowLimit,
                     WristChoice &wrist) const {
    const double *R = R_;
    const double *p = p_;
    const DhLengths &dh = dh_;
    wrist.S =
        -p[0] * sh.c1 + p[1] * sh.s1 + dh.d6 * R[2] * sh.c1 - dh.d6 * R[5] * sh.s1 - dh.d5 * S234;
    wrist.C = p[2] - dh.d1 - dh.d6 * R[8] - dh.d5 * C234;
    wrist.K = (wrist.S * wrist.S + wrist.C * wrist.C - dh.a2 * dh.a2 - dh.a3 * dh.a3) /
              (2.0 * dh.a2 * dh.a3);
    wrist.reached = !(std::fabs(wrist.K) > elbowLimit);
}

// Joint 2 of each joint 3: the elbow pair +-J3 shares A and D and B changes sign exactly; an
// elbow snapped straight has one joint 3.
void IkSolver::bend(WristChoice &wrist) const {
    const double S = wrist.S;
    const double C = wrist.C;
    const double A = dh_.a2 + dh_.a3 * wrist.K;
    const double B = wrist.B;
    const double D = A * A + B * B;
    wrist.addElbow(wrist.j3, (A * S + B * C) / D, (A * C - B * S) / D);
    if (!(std::fabs(wrist.K) > 0.9999999999995)) {
        wrist.addElbow(-wrist.j3, (A * S - B * C) / D, (A * C + B * S) / D);
    }
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
        append(sh, nullptr, j2, 0.0, 0.0, j5, j6234 - sigma * j2);
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
    append(sh, nullptr, j2, j3, j234 - j2 + j3, j5, j6234 - sigma * j234);
}

}  // namespace

int kinematics_detail::solveInverse(const DhLengths &dh, const double *ref, double *R06,
                                    double *positions, double jointResults[6][8],
                                    SolvedTrig *trig) {
    for (int k = 0; k < 6; ++k) {
        R06[k] = -R06[k];
    }
    positions[0] = -positions[0];
    positions[1] = -positions[1];
    if (!solvablePose(R06, positions)) {
        return 0;
    }

    IkSolver solver(dh, ref, R06, positions, jointResults, trig);
    double j1[2];
    const int candidates = solver.shoulderCandidates(j1);
    Shoulder shoulders[2];
    for (int i = 0; i < candidates; ++i) {
        shoulders[i] = solver.shoulder(j1[i]);
    }
    bool regular[2] = {false, false};
    for (int i = 0; i < candidates; ++i) {
        const Shoulder &sh = shoulders[i];
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
                solver.regularPair(shoulders[i], kRelaxedElbowLimit);
            }
        }
    }
    return solver.count();
}

int ComputeIkLib(double *jointpos, double *R06, double *positions, double jointResults[6][8]) {
    if (jointpos == nullptr || R06 == nullptr || positions == nullptr || jointResults == nullptr) {
        return 0;
    }
    return kinematics_detail::solveInverse(kinematics_detail::dhLengths(), jointpos, R06, positions,
                                           jointResults, nullptr);
}
