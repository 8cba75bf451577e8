#include <algorithm>
#include <cmath>

#include "kinematicsmath.h"
#include "robotKinematics.h"

using kinematics_detail::allFinite;
using kinematics_detail::isFinite;

namespace {

Pos positionOf(const wayPoint_S &wp) { return wp.cartPos.position; }

Pos difference(const Pos &a, const Pos &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

double dot(const Pos &a, const Pos &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Pos unit(const Pos &v) {
    const double len = std::sqrt(dot(v, v));
    return {v.x / len, v.y / len, v.z / len};
}

Pos negated(const Pos &v) { return {-v.x, -v.y, -v.z}; }

void setRow(double *m, int row, const Pos &v) {
    m[3 * row] = v.x;
    m[3 * row + 1] = v.y;
    m[3 * row + 2] = v.z;
}

void setColumn(double *m, int column, const Pos &v) {
    m[column] = v.x;
    m[3 + column] = v.y;
    m[6 + column] = v.z;
}

Pos rowOf(const double *m, int row) { return {m[3 * row], m[3 * row + 1], m[3 * row + 2]}; }

Pos rotate(const double *m, const double *v) {
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

// Rows of the user frame for the methods that take the third point on the second axis.
void axesFromAxisPoints(int first, const Pos &B, const Pos &A, const Pos &C, double *eerot,
                        double &dotValue) {
    const Pos Ahat = unit(A);
    setRow(eerot, first, B);
    dotValue = dot(B, Ahat);
    setRow(eerot, (first + 1) % 3, Ahat);
    setRow(eerot, (first + 2) % 3, C);
}

// Rows of the user frame for the methods that take the third point in a quadrant of a plane.
void axesFromPlanePoint(int method, const Pos &B, const Pos &C, double *eerot) {
    const int first = (method + 1) / 2 - 2;
    Pos D;
    vectorCrossProduct(D, C, B, true);
    setRow(eerot, first, B);
    if (method % 2 == 1) {
        setRow(eerot, (first + 2) % 3, C);
        setRow(eerot, (first + 1) % 3, D);
    } else {
        setRow(eerot, (first + 1) % 3, negated(C));
        setRow(eerot, (first + 2) % 3, D);
    }
}

}  // namespace

bool userCoordinateCalibLib(wayPoint_S *waypointptr, char methods, double *eetrans, double *eerot,
                            double *Porg, double &dotValue) {
    if (waypointptr == nullptr || eetrans == nullptr || eerot == nullptr || Porg == nullptr) {
        return false;
    }
    const Pos p1 = positionOf(waypointptr[0]);
    const Pos B = unit(difference(positionOf(waypointptr[1]), p1));
    const Pos A = difference(positionOf(waypointptr[2]), p1);
    Pos C;
    vectorCrossProduct(C, B, A, true);
    const double origin[3] = {p1.x, p1.y, p1.z};
    double rot[9];
    double dotOfAxes = dotValue;

    const int method = methods;
    if (method >= 0 && method <= 2) {
        axesFromAxisPoints(method, B, A, C, rot, dotOfAxes);
    } else if (method >= 3 && method <= 8) {
        axesFromPlanePoint(method, B, C, rot);
    } else {
        return false;
    }
    const Pos t = rotate(rot, origin);
    const double trans[3] = {-t.x, -t.y, -t.z};
    // Coincident or collinear points span no frame: the axes come out non-finite, and such a
    // frame must neither pass as calibrated nor reach the caller's arrays.
    if (!allFinite(rot, 9) || !allFinite(trans, 3)) {
        return false;
    }
    std::copy(rot, rot + 9, eerot);
    std::copy(trans, trans + 3, eetrans);
    std::copy(origin, origin + 3, Porg);
    dotValue = dotOfAxes;
    return true;
}

namespace {

// M = sum dR^T dR and b = -sum dR^T dp over the poses taken relative to pose 0 (in place).
void tcpNormalEquations(double *rot, double *pos, int count, double *M, double *b) {
    for (int k = 0; k < 9; ++k) {
        M[k] = 0.0;
    }
    b[0] = b[1] = b[2] = 0.0;
    for (int pose = 1; pose < count; ++pose) {
        double *dR = rot + 9 * pose;
        double *dp = pos + 3 * pose;
        for (int k = 0; k < 9; ++k) {
            dR[k] -= rot[k];
        }
        for (int k = 0; k < 3; ++k) {
            dp[k] -= pos[k];
        }
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                for (int k = 0; k < 3; ++k) {
                    M[3 * r + c] += dR[3 * k + r] * dR[3 * k + c];
                }
            }
            for (int k = 0; k < 3; ++k) {
                b[r] -= dR[3 * k + r] * dp[k];
            }
        }
    }
}

// Sine of the angle between the two taught tool axes below which they count as parallel: far
// below any teaching accuracy, far above rounding noise.
constexpr double kMinAxisSine = 1e-9;

double symmetricDeterminant(const double *M) {
    return M[0] * (M[4] * M[8] - M[5] * M[5]) + M[2] * (M[1] * M[5] - M[2] * M[4]) +
           M[1] * (M[2] * M[5] - M[1] * M[8]);
}

// Tool axes a_0, a_1 of a three-point orientation mode, in the base frame; false when the
// taught tip points lie too close together.
bool axesFromTipPoints(const double poseRot[3][9], const double posePos[3][3], const double *tcp,
                       Pos axes[2]) {
    Pos tip[3];
    for (int i = 0; i < 3; ++i) {
        const Pos rotated = rotate(poseRot[i], tcp);
        tip[i] = {rotated.x + posePos[i][0], rotated.y + posePos[i][1], rotated.z + posePos[i][2]};
    }
    for (int i = 0; i < 2; ++i) {
        axes[i] = difference(tip[i + 1], tip[0]);
        if (dot(axes[i], axes[i]) < 0.0001) {
            return false;
        }
    }
    axes[0] = unit(axes[0]);
    axes[1] = unit(axes[1]);
    return true;
}

}  // namespace

bool toolCoordinateCalibLib(double *rot, double *pos, int posWpNum, char poseCalib,
                            double poseRot[3][9], double posePos[3][3], bool waypoint_check,
                            double checkThr, double *eetrans, double *toolPoseRot) {
    if (rot == nullptr || pos == nullptr || posWpNum < 4 || eetrans == nullptr) {
        return false;
    }
    const int mode = poseCalib;
    const bool orientationMode = mode >= 0 && mode <= 5;
    if (orientationMode &&
        (poseRot == nullptr || toolPoseRot == nullptr || (mode <= 2 && posePos == nullptr))) {
        return false;
    }
    Pos axes[3];
    if (mode >= 3 && mode <= 5) {
        axes[0] = negated(rowOf(poseRot[0], 2));
        axes[1] = negated(rowOf(poseRot[1], 2));
    }

    double M[9];
    double b[3];
    tcpNormalEquations(rot, pos, posWpNum, M, b);
    if (waypoint_check && !(symmetricDeterminant(M) > checkThr)) {
        return false;
    }
    if (!positiveDefiniteMatrixInverse(M, 3)) {
        return false;
    }
    const Pos tcp = rotate(M, b);
    if (!isFinite(tcp)) {
        return false;  // a non-finite pose, or one so far out that the solution overflows
    }
    eetrans[0] = tcp.x;
    eetrans[1] = tcp.y;
    eetrans[2] = tcp.z;
    if (!orientationMode) {
        return true;
    }

    if (mode <= 2 && !axesFromTipPoints(poseRot, posePos, eetrans, axes)) {
        return false;
    }
    // Collinear tips, or one orientation taught twice, leave the third axis undefined; the
    // test also refuses non-finite axes.
    Pos normal;
    vectorCrossProduct(normal, axes[0], axes[1], false);
    if (!(std::sqrt(dot(normal, normal)) > kMinAxisSine)) {
        return false;
    }
    axes[2] = unit(normal);
    vectorCrossProduct(axes[1], axes[2], axes[0], true);
    for (int i = 0; i < 3; ++i) {
        setColumn(toolPoseRot, (mode + i) % 3, axes[i]);
    }
    if (mode <= 2) {
        // Taught in the base frame at orientation pose 0: turn into the flange frame.
        return matrixMultiplication(toolPoseRot, poseRot[0], toolPoseRot, 3, 3, 3, true, false);
    }
    return true;
}
