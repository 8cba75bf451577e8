#include "pathInterpolation.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <limits>

#include "kinematicsmath.h"
#include "robotKinematics.h"

using kinematics_detail::allFinite;
using kinematics_detail::isFinite;

const int16_t uBSplines3Interp12T[4][4] = {
    {2, 8, 2, 0}, {-6, 0, 6, 0}, {6, -12, 6, 0}, {-2, 6, -6, 2}};
const int16_t uBSplines3Interp12T1[4][4] = {
    {12, 0, 0, 0}, {-36, 36, 0, 0}, {36, -54, 18, 0}, {-12, 21, -11, 2}};
const int16_t uBSplines3Interp12T2[4][4] = {
    {3, 7, 2, 0}, {-9, 3, 6, 0}, {9, -15, 6, 0}, {-3, 7, -6, 2}};
const int16_t uBSplines3Interp12TNM1[4][4] = {
    {2, 8, 2, 0}, {-6, 0, 6, 0}, {6, -12, 6, 0}, {-2, 6, -7, 3}};
const int16_t uBSplines3Interp12TN[4][4] = {
    {2, 7, 3, 0}, {-6, -3, 9, 0}, {6, -15, 9, 0}, {-2, 11, -21, 12}};

namespace {

const double kPi = 3.141592653589793;
// Squared distance below which two arc points count as one.
const double kArcCoincidentSq = 2e-7;
// (d12 . d13)^2 above this share of |d12|^2 |d13|^2 means the arc points are collinear.
const double kArcCollinearRatio = 0.99999695;
const double kOneDegree = 0.017453292519943295;
// Below this angle (0.002 degrees) a spin about the axis is not worth doing.
const double kMinSpinAngle = 3.490658503988659e-5;
// A sine below this cannot divide the interpolation weights meaningfully.
const double kTinySine = 1e-9;

Pos sub(const Pos &a, const Pos &b) { return Pos{a.x - b.x, a.y - b.y, a.z - b.z}; }

Pos mid(const Pos &a, const Pos &b) {
    return Pos{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0, (a.z + b.z) / 2.0};
}

Pos scaled(const Pos &a, double f) { return Pos{a.x * f, a.y * f, a.z * f}; }

double dot(const Pos &a, const Pos &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double length(const Pos &a) { return std::sqrt(dot(a, a)); }

// q scaled to unit length; a zero quaternion stays as it is.
Ori unitOrAsIs(const Ori &q) {
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return n > 0.0 ? Ori{q.w / n, q.x / n, q.y / n, q.z / n} : q;
}

Pos cross(const Pos &a, const Pos &b, bool norm) {
    Pos res{0.0, 0.0, 0.0};
    vectorCrossProduct(res, a, b, norm);
    return res;
}

// Centre of the circle through p1, p2, p3: the plane of the points (normal n) cut with the two
// perpendicular bisector planes, solved by the adjugate over the determinant.
Pos circleCentre(const Pos &p1, const Pos &p2, const Pos &p3, const Pos &n) {
    const Pos d12 = sub(p2, p1);
    const Pos d23 = sub(p3, p2);
    const Pos r0 = n;
    const Pos r1 = d12;
    const Pos r2 = d23;
    const double rhs[3] = {dot(n, p3), dot(d12, mid(p1, p2)), dot(d23, mid(p2, p3))};
    // Columns of the adjugate are the cross products of the row pairs.
    const Pos c0 = cross(r1, r2, false);
    const Pos c1 = cross(r2, r0, false);
    const Pos c2 = cross(r0, r1, false);
    const double det = dot(r0, c0);
    return Pos{(c0.x * rhs[0] + c1.x * rhs[1] + c2.x * rhs[2]) / det,
               (c0.y * rhs[0] + c1.y * rhs[1] + c2.y * rhs[2]) / det,
               (c0.z * rhs[0] + c1.z * rhs[1] + c2.z * rhs[2]) / det};
}

// Sweep angle in (0, 2pi] of a point at (x, y) in the circle frame.
double sweepAngle(double x, double y) {
    double angle = std::atan(y / x);
    if (x < 0.0) {
        angle += (angle > 0.0) ? -kPi : kPi;
    }
    if (angle <= 0.0) {
        angle += 2.0 * kPi;
    }
    return angle;
}

void writeColumn(double *transArray, int col, const Pos &v) {
    transArray[col] = v.x;
    transArray[4 + col] = v.y;
    transArray[8 + col] = v.z;
}

}  // namespace

char cartesianTrackArcParaLib(std::vector<wayPoint_S> waypoint_ptr, double *transArray,
                              double &radius, double &distance) {
    if (waypoint_ptr.size() < 3 || transArray == nullptr) {
        return -1;
    }
    const Pos p1 = waypoint_ptr[0].cartPos.position;
    const Pos p2 = waypoint_ptr[1].cartPos.position;
    const Pos p3 = waypoint_ptr[2].cartPos.position;
    if (!isFinite(p1) || !isFinite(p2) || !isFinite(p3)) {
        return -1;
    }
    const Pos d12 = sub(p2, p1);
    const Pos d13 = sub(p3, p1);
    const Pos d23 = sub(p3, p2);
    const double l12 = dot(d12, d12);
    const double l13 = dot(d13, d13);
    const double l23 = dot(d23, d23);
    if (std::fmax(l12, std::fmax(l13, l23)) < kArcCoincidentSq) {
        return -3;
    }
    if (std::fmin(l12, std::fmin(l13, l23)) < kArcCoincidentSq) {
        return -1;
    }
    const double d = dot(d12, d13);
    if (d * d > kArcCollinearRatio * l12 * l13) {
        return -2;
    }

    const Pos n = cross(d13, d23, false);
    const Pos centre = circleCentre(p1, p2, p3, n);
    const double r = length(sub(p1, centre));

    const Pos xAxis = scaled(sub(p1, centre), 1.0 / r);
    const Pos zAxis = scaled(n, 1.0 / length(n));
    const Pos yAxis = cross(zAxis, xAxis, false);
    double frame[16] = {};
    writeColumn(frame, 0, xAxis);
    writeColumn(frame, 1, yAxis);
    writeColumn(frame, 2, zAxis);
    writeColumn(frame, 3, centre);
    frame[15] = 1.0;

    const Pos c3 = sub(p3, centre);
    const double arc = sweepAngle(dot(xAxis, c3), dot(yAxis, c3)) * r;
    // Points so far out that the products overflow give no circle.
    if (!allFinite(frame, 16) || !std::isfinite(r) || !std::isfinite(arc)) {
        return -1;
    }
    std::copy(frame, frame + 16, transArray);
    radius = r;
    distance = arc;
    return 0;
}

namespace {

// Whether the segments around corner i of a path with `corners` corners are long enough for
// their blends: a segment between two corners carries two blends, the end segments one.
bool blendFits(double blendR, double line1, double line2, std::size_t i, std::size_t corners) {
    const double need1 = (i == 0) ? blendR : 2.0 * blendR;
    const double need2 = (i + 1 == corners) ? blendR : 2.0 * blendR;
    // A zero-length segment leaves the corner direction undefined whatever the blend; one whose
    // length overflows gives no path lengths.
    const auto usable = [](double line) { return line > 0.0 && std::isfinite(line); };
    return usable(line1) && usable(line2) && need1 <= line1 && need2 <= line2;
}

// Half of the inner angle at a corner; rounding may push the cosine just past +-1.
double halfInnerAngle(double cosine) {
    return std::acos(std::fmax(-1.0, std::fmin(1.0, cosine))) / 2.0;
}

// Sine of the turn below which a corner counts as straight on: the plane normal is then
// rounding noise.
const double kStraightOnSine = 1e-12;

// Whether the path goes straight on at a corner, so that no arc (its radius would be infinite)
// and no plane normal can be formed; a cosine rounded to -1 already leaves theta at pi/2.
bool straightOn(double cosine, const Pos &dVec1, const Pos &dVec2, double line1, double line2) {
    return cosine <= -1.0 || length(cross(dVec1, dVec2, false)) <= kStraightOnSine * line1 * line2;
}

// A unit vector perpendicular to v (non-zero): v crossed with the axis it leans on least.
Pos perpendicularUnit(const Pos &v) {
    const double ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
    Pos axis{0.0, 0.0, 1.0};
    if (ax <= ay && ax <= az) {
        axis = Pos{1.0, 0.0, 0.0};
    } else if (ay <= az) {
        axis = Pos{0.0, 1.0, 0.0};
    }
    return cross(v, axis, true);
}

}  // namespace

char cartesianTrackMovepParaLib(std::vector<wayPoint_S> wp, float blendR, double *node_s,
                                double *radius, Pos *arcYVect, Pos *arcZVect) {
    if (wp.size() < 3 || node_s == nullptr || radius == nullptr || arcYVect == nullptr ||
        arcZVect == nullptr) {
        return -2;
    }
    const double blend = blendR;
    const std::size_t corners = wp.size() - 2;
    Pos dVec1 = sub(wp[1].cartPos.position, wp[0].cartPos.position);
    double line1 = length(dVec1);
    // Path length where the current segment starts, and the blend taken from its start.
    double segmentStart = 0.0;
    double blendBefore = 0.0;
    for (std::size_t i = 0; i < corners; ++i) {
        const Pos dVec2 = sub(wp[i + 2].cartPos.position, wp[i + 1].cartPos.position);
        const double line2 = length(dVec2);
        if (!(blend >= 0.0) || !blendFits(blend, line1, line2, i, corners)) {
            arcYVect[0] = Pos{line1, line2, static_cast<double>(i)};
            return -2;
        }
        const double cosine = -dot(dVec1, dVec2) / (line1 * line2);
        const double theta = halfInnerAngle(cosine);
        if (theta < kOneDegree) {
            return -4;
        }
        // Straight on: a zero-length blend on the corner point itself, so that every node
        // stays a true path length.
        const bool straight = straightOn(cosine, dVec1, dVec2, line1, line2);
        const double blendHere = straight ? 0.0 : blend;
        arcYVect[i] = scaled(dVec1, 1.0 / line1);
        arcZVect[i] = straight ? perpendicularUnit(dVec1) : cross(dVec1, dVec2, true);
        radius[i] = straight ? 0.0 : std::tan(theta) * blend;
        node_s[2 * i] = segmentStart + line1 - (blendBefore + blendHere);
        node_s[2 * i + 1] = node_s[2 * i] + radius[i] * (kPi - 2.0 * theta);
        segmentStart = node_s[2 * i + 1];
        blendBefore = blendHere;
        dVec1 = dVec2;
        line1 = line2;
    }
    const std::size_t k = corners;
    arcYVect[k] = scaled(dVec1, 1.0 / line1);
    node_s[2 * k] = segmentStart + line1 - blendBefore;
    return 0;
}

namespace {

using SplineBasis = int16_t[4][4];

// Basis of segment k of a spline through n waypoints; the segment's first control point is k.
const SplineBasis &segmentBasis(int k, int n) {
    if (k == 0) {
        return uBSplines3Interp12T1;
    }
    if (k == 1) {
        return uBSplines3Interp12T2;
    }
    if (k == n - 2) {
        return uBSplines3Interp12TN;
    }
    if (k == n - 3) {
        return uBSplines3Interp12TNM1;
    }
    return uBSplines3Interp12T;
}

// Samples per segment, truncated towards zero; negative when dtn and controlFreq give no
// usable count.
long long splineSteps(float dtn, unsigned int controlFreq) {
    if (controlFreq == 0) {
        return -1;
    }
    const double steps = dtn * 10000.0 / controlFreq;
    if (!(std::fabs(steps) < static_cast<double>(std::numeric_limits<int>::max()))) {
        return -1;
    }
    return static_cast<int>(steps);
}

// A sample weighs four control points with weights of sum 12 (the bases are twelvefold and
// non-negative), so control points up to this bound cannot make a sample overflow.
const double kMaxControlPoint = DBL_MAX / 16.0;

// Fills the control points of every joint: the tridiagonal system of the interpolation
// conditions, solved once per joint. Control points are stored divided by twelve, matching
// the twelvefold bases. False for a non-finite joint or joints large enough to overflow.
bool splineControlPoints(const std::vector<wayPoint_S> &wps, double *pool) {
    const int n = static_cast<int>(wps.size());
    double *a = pool;
    double *b = pool + n;
    double *c = pool + 2 * n;
    double *pn = pool + 3 * n;
    for (int j = 0; j < n; ++j) {
        a[j] = 2.0;
        b[j] = 8.0;
        c[j] = 2.0;
    }
    a[0] = 0.0;
    b[0] = 12.0;
    c[0] = 0.0;
    a[1] = 3.0;
    b[1] = 7.0;
    b[n - 2] = 7.0;
    c[n - 2] = 3.0;
    a[n - 1] = 0.0;
    b[n - 1] = 12.0;
    c[n - 1] = 0.0;
    for (int i = 0; i < 6; ++i) {
        double *ctrl = pool + 4 * n + i * (n + 2);
        for (int j = 0; j < n; ++j) {
            pn[j] = wps[static_cast<std::size_t>(j)].jointpos[i];
        }
        ctrl[0] = pn[0] / 12.0;
        ctrl[n + 1] = pn[n - 1] / 12.0;
        if (!arrayInvChasing(ctrl + 1, pool, pn, n, false) ||
            !std::all_of(ctrl, ctrl + n + 2,
                         [](double c) { return std::fabs(c) <= kMaxControlPoint; })) {
            return false;
        }
    }
    return true;
}

}  // namespace

char uBSpline3InterpLib(std::vector<wayPoint_S> waypointVec, std::vector<wayPoint_S> *point_road,
                        float dtn, bool /*jointMove*/, unsigned int controlFreq,
                        double *ubsplinesPool, int poolSize) {
    const long long n = static_cast<long long>(waypointVec.size());
    const long long steps = splineSteps(dtn, controlFreq);
    if (n < 5 || ubsplinesPool == nullptr || steps < 0 || n > poolSize || 10 * n + 12 > poolSize ||
        (n - 1) * steps > poolSize) {
        return 1;
    }
    if (point_road == nullptr) {
        return 2;
    }
    if (!splineControlPoints(waypointVec, ubsplinesPool)) {
        return 3;
    }
    const int segments = static_cast<int>(n - 1);
    point_road->assign(static_cast<std::size_t>(segments * steps), wayPoint_S{});
    const double *ctrlBase = ubsplinesPool + 4 * n;
    for (long long s = 0; s < steps; ++s) {
        const double t = static_cast<double>(s + 1) / static_cast<double>(steps);
        const double tp[4] = {1.0, t, t * t, t * t * t};
        for (int k = 0; k < segments; ++k) {
            const SplineBasis &basis = segmentBasis(k, static_cast<int>(n));
            double w[4];
            for (int j = 0; j < 4; ++j) {
                w[j] = tp[0] * basis[0][j] + tp[1] * basis[1][j] + tp[2] * basis[2][j] +
                       tp[3] * basis[3][j];
            }
            wayPoint_S &out = (*point_road)[static_cast<std::size_t>(s + k * steps)];
            for (int i = 0; i < 6; ++i) {
                const double *ctrl = ctrlBase + i * (n + 2) + k;
                out.jointpos[i] = w[0] * ctrl[0] + w[1] * ctrl[1] + w[2] * ctrl[2] + w[3] * ctrl[3];
            }
        }
    }
    return 0;
}

void sphericalInterpolationLib(Ori &res, Ori start, Ori end, double angle, double h,
                               double minRotDegree, double *spinAxis) {
    const double s = std::sin(angle);
    if (std::fabs(angle) > minRotDegree * kPi / 180.0) {
        // With a sine this small (sin(pi) is not 0) the weights are rounding noise over
        // rounding noise; the quaternions are then equal or opposite, and q and -q are one
        // rotation: nothing to interpolate.
        if (std::fabs(s) < kTinySine) {
            res = unitOrAsIs(end);
            return;
        }
        const double f0 = std::sin((1.0 - h) * angle) / s;
        const double f1 = std::sin(h * angle) / s;
        res.w = f0 * start.w + f1 * end.w;
        res.x = f0 * start.x + f1 * end.x;
        res.y = f0 * start.y + f1 * end.y;
        res.z = f0 * start.z + f1 * end.z;
        return;
    }
    if (spinAxis != nullptr && std::fabs(angle) > kMinSpinAngle) {
        const double sh = std::sin(h * angle);
        const Ori q{std::cos(h * angle), sh * spinAxis[0], sh * spinAxis[1], sh * spinAxis[2]};
        Ori spun = start;
        QuaternionMultply(spun, q, false);
        res = spun;
        return;
    }
    res = end;
}
