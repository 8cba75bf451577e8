#include "ikfunc.h"

#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "globalutil.h"
#include "kinematicsmath.h"
#include "robotKinematics.h"

namespace {

constexpr int kJoints = 6;
constexpr double kIkPositionTolerance = 0.0001;
constexpr double kPiForDegrees = 3.141592653589793;

void copyPosition(const double *from, double *to) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

void transpose3(const double *m, double *t) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            t[3 * c + r] = m[3 * r + c];
        }
    }
}

bool userFrameOf(const wayPoint_S *points, char methods, double *bInWPos, double *bInWOri,
                 double *wInBPos) {
    double dotValue = 0.0;
    // The library reads the three points only; its exported signature is not const.
    return userCoordinateCalibLib(const_cast<wayPoint_S *>(points), methods, bInWPos, bInWOri,
                                  wInBPos, dotValue);
}

// Finite inputs far enough out can still overflow a conversion; such a result is no pose. A
// zero orientation is finite: a zeroed tool leaves one, and callers after positions take it.
bool isFinitePose(const wayPoint_S &wp) {
    const Ori &q = wp.orientation;
    return Ikfunc::isFinitePosition(wp.cartPos.position) && std::isfinite(q.w) &&
           std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z);
}

// A user frame: base-to-user rotation and translation, and the user origin in the base frame.
struct UserFrame {
    double bInWPos[3];
    double bInWOri[9];
    double wInBPos[3];

    bool calibrate(const wayPoint_S *points, char methods) {
        return userFrameOf(points, methods, bInWPos, bInWOri, wInBPos);
    }
};

}  // namespace

// ---------------------------------------------------------------- DH parameters

bool Ikfunc::setDhParameters(kezu_robot_type robotType, double A3, double A4, double D1, double D2,
                             double D5, double D6) {
    return kinematics_detail::installModelLengths(robotType, A3, A4, D1, D2, D5, D6);
}

// ---------------------------------------------------------------- forward and inverse

bool Ikfunc::ArmFk(Pos &arm_pos, Ori &arm_ori, const double *joint_solve) {
    if (joint_solve == nullptr) {
        return false;
    }
    double libJoints[kJoints];
    for (int j = 0; j < kJoints; ++j) {
        libJoints[j] = -joint_solve[j];
    }
    double eetrans[3];
    double eerot[9];
    ComputeFk_QMV(libJoints, eetrans, eerot);
    arm_pos.x = eetrans[0];
    arm_pos.y = eetrans[1];
    arm_pos.z = eetrans[2];
    OriMatrixToQuaternion(eerot, arm_ori);
    return true;
}

bool Ikfunc::ArmFk(wayPoint_S &arm_pos) {
    return ArmFk(arm_pos.cartPos.position, arm_pos.orientation, arm_pos.jointpos);
}

namespace {

// The inverse solutions of a waypoint's pose in SDK signs, and their check: a solution is kept
// when its flange lands within the tolerance of the target. The check computes the position
// alone, bit for bit as ArmFk would, from the lengths the solve used and with the sines and
// cosines the solver already took.
class WaypointSolutions {
public:
    WaypointSolutions(const wayPoint_S &cur_stat, double (*table)[8])
        : table_(table), target_(cur_stat.cartPos.position) {
        // The waypoint's joints fill the freedom of a singular wrist.
        double ref[kJoints];
        for (int j = 0; j < kJoints; ++j) {
            ref[j] = -cur_stat.jointpos[j];
        }
        double rotation[9];
        double position[3];
        Ikfunc::posOri2homoArr(cur_stat.cartPos, cur_stat.orientation, rotation, position);
        n_ = kinematics_detail::solveInverse(dh_, ref, rotation, position, table, &trig_);
        for (int j = 0; j < kJoints; ++j) {
            for (int k = 0; k < n_; ++k) {
                table[j][k] = -table[j][k];
            }
        }
    }

    int count() const { return n_; }

    bool reachesTarget(int k) const {
        double q[kJoints];
        for (int j = 0; j < kJoints; ++j) {
            q[j] = -table_[j][k];
        }
        kinematics_detail::JointTrig t;
        t.s1 = trig_.s1[k];
        t.c1 = trig_.c1[k];
        t.setArm(q);
        if (trig_.hasS5[k]) {
            t.s5 = trig_.s5[k];
            t.c5 = std::cos(q[4]);
        } else {
            t.setWrist(q[4]);
        }
        double reached[3];
        kinematics_detail::flangePosition(dh_, t, reached);
        const double dx = reached[0] - target_.x;
        const double dy = reached[1] - target_.y;
        const double dz = reached[2] - target_.z;
        // Written so that a non-finite distance also drops the solution.
        return std::sqrt(dx * dx + dy * dy + dz * dz) <= kIkPositionTolerance;
    }

    // Removes the solutions that miss the target, the last one filling each gap; `missing` is a
    // column already known to miss (or -1). Returns the count left.
    int keepReaching(int missing) {
        int origin[8];
        bool reaches[8];
        for (int k = 0; k < n_; ++k) {
            origin[k] = k;
            reaches[k] = k != missing && reachesTarget(k);
        }
        int k = 0;
        while (k < n_) {
            if (reaches[origin[k]]) {
                ++k;
                continue;
            }
            for (int j = 0; j < kJoints; ++j) {
                table_[j][k] = table_[j][n_ - 1];
            }
            origin[k] = origin[n_ - 1];
            --n_;
        }
        return n_;
    }

private:
    double (*table_)[8];
    const Pos target_;
    const kinematics_detail::DhLengths dh_ = kinematics_detail::dhLengths();
    kinematics_detail::SolvedTrig trig_;
    int n_ = 0;
};

// The solution nearest to the reference by the sum of plain joint differences, the earlier of a
// tie; -1 when none is nearer than 10000 (also for a reference that is not finite).
int nearestSolution(const double (*table)[8], int n, const double *reference, bool &tied) {
    int best = -1;
    double bestSum = 10000.0;
    tied = false;
    for (int k = 0; k < n; ++k) {
        double sum = 0.0;
        for (int j = 0; j < kJoints; ++j) {
            sum += std::fabs(table[j][k] - reference[j]);
        }
        if (sum < bestSum) {
            best = k;
            bestSum = sum;
            tied = false;
        } else if (sum == bestSum) {
            tied = true;
        }
    }
    return best;
}

}  // namespace

int Ikfunc::ComputeIk_new(wayPoint_S &cur_stat, double jointResults[6][8]) {
    if (jointResults == nullptr) {
        return 0;
    }
    return WaypointSolutions(cur_stat, jointResults).keepReaching(-1);
}

bool Ikfunc::ArmIk(wayPoint_S &cur_stat, const double *joint, bool iterIK, bool relMove) {
    (void)iterIK;
    (void)relMove;
    const double *reference = joint != nullptr ? joint : cur_stat.jointpos;
    double table[6][8];
    WaypointSolutions solutions(cur_stat, table);
    // Only the nearest solution is checked while it is the only one at its distance and lands
    // on the target: then it is also the nearest of the solutions that pass. Otherwise all are
    // checked and the survivors compacted first, as their order decides ties.
    bool tied = false;
    int best = nearestSolution(table, solutions.count(), reference, tied);
    if (best >= 0 && (tied || !solutions.reachesTarget(best))) {
        const int n = solutions.keepReaching(tied ? -1 : best);
        best = nearestSolution(table, n, reference, tied);
    }
    if (best < 0) {
        return false;
    }
    for (int j = 0; j < kJoints; ++j) {
        cur_stat.jointpos[j] = table[j][best];
    }
    return true;
}

bool Ikfunc::ArmIkProtect(wayPoint_S &res, double *last_jointpos, bool iterIK, bool relMove) {
    if (!ArmIk(res, last_jointpos, iterIK, relMove)) {
        return false;
    }
    if (last_jointpos != nullptr && last_jointpos != res.jointpos) {
        for (int j = 0; j < kJoints; ++j) {
            last_jointpos[j] = res.jointpos[j];
        }
    }
    return true;
}

bool Ikfunc::api_arm_ik(Pos arm_pos, Ori arm_ori, double *joint_solve) {
    if (joint_solve == nullptr) {
        return false;
    }
    wayPoint_S wp;
    wp.cartPos.position = arm_pos;
    wp.orientation = arm_ori;
    // The reference also fills the freedom of a singular wrist, which reads the waypoint's joints.
    for (int j = 0; j < kJoints; ++j) {
        wp.jointpos[j] = joint_solve[j];
    }
    if (!ArmIkProtect(wp, joint_solve, false, true)) {
        return false;
    }
    for (int j = 0; j < kJoints; ++j) {
        joint_solve[j] = wp.jointpos[j];
    }
    return true;
}

// ---------------------------------------------------------------- pose algebra

double Ikfunc::SIGN(double x) { return x >= 0.0 ? 1.0 : -1.0; }

double Ikfunc::NORM(double a, double b, double c, double d) {
    return std::sqrt(a * a + b * b + c * c + d * d);
}

bool Ikfunc::isFinitePosition(const Pos &position) {
    return std::isfinite(position.x) && std::isfinite(position.y) && std::isfinite(position.z);
}

// A zero quaternion, or one whose squared norm underflows or overflows, has no rotation.
bool Ikfunc::isUsableQuaternion(const Ori &q) {
    const double norm = NORM(q.w, q.x, q.y, q.z);
    return norm > 0.0 && std::isfinite(norm);
}

void Ikfunc::QuaternionInversion(Ori &ori) {
    ori.x = -ori.x;
    ori.y = -ori.y;
    ori.z = -ori.z;
}

void Ikfunc::QuaternionMultply(Ori &end_ori, Ori left_ori, bool rightMul) {
    ::QuaternionMultply(end_ori, left_ori, rightMul);
}

void Ikfunc::QuaternionToOriMatrix(Ori q, double *eerot) {
    const double n = 1.0 / std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    const double w = q.w * n;
    const double x = q.x * n;
    const double y = q.y * n;
    const double z = q.z * n;
    eerot[0] = 1.0 - 2.0 * (y * y + z * z);
    eerot[1] = 2.0 * (x * y - z * w);
    eerot[2] = 2.0 * (x * z + y * w);
    eerot[3] = 2.0 * (x * y + z * w);
    eerot[4] = 1.0 - 2.0 * (x * x + z * z);
    eerot[5] = 2.0 * (y * z - x * w);
    eerot[6] = 2.0 * (x * z - y * w);
    eerot[7] = 2.0 * (y * z + x * w);
    eerot[8] = 1.0 - 2.0 * (x * x + y * y);
}

bool Ikfunc::OriMatrixToQuaternion(const double *eerot, Ori &result) {
    const double s0 = (eerot[0] + eerot[4] + eerot[8] + 1.0) / 4.0;
    const double squares[4] = {s0, (eerot[0] + 1.0) / 2.0 - s0, (eerot[4] + 1.0) / 2.0 - s0,
                               (eerot[8] + 1.0) / 2.0 - s0};
    double q[4];
    for (int k = 0; k < 4; ++k) {
        if (squares[k] < 0.0) {
            kezu_robot_logtrace::W_INFO("negative quaternion square: %d %f", k, squares[k]);
            q[k] = 0.0;
        } else {
            q[k] = std::sqrt(squares[k]);
        }
    }
    q[1] *= SIGN(eerot[7] - eerot[5]);
    q[2] *= SIGN(eerot[2] - eerot[6]);
    q[3] *= SIGN(eerot[3] - eerot[1]);
    const double r = NORM(q[0], q[1], q[2], q[3]);
    if (r == 0.0) {
        return false;
    }
    result.w = q[0] / r;
    result.x = q[1] / r;
    result.y = q[2] / r;
    result.z = q[3] / r;
    return true;
}

void Ikfunc::posOri2homoArr(cartesianPos_U position, Ori quat, double *eerot, double *eetrans) {
    copyPosition(position.positionVector, eetrans);
    QuaternionToOriMatrix(quat, eerot);
}

void Ikfunc::hMatrixMultiply(const double *eerot, const double *eetrans, const double *eerot1,
                             const double *eetrans1, wayPoint_S *pos_transferred, double *new_rot) {
    double R[9];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double acc = 0.0;
            for (int k = 0; k < 3; ++k) {
                acc += eerot[3 * r + k] * eerot1[3 * k + c];
            }
            R[3 * r + c] = acc;
        }
    }
    if (eetrans != nullptr && eetrans1 != nullptr && pos_transferred != nullptr) {
        double p[3];
        for (int r = 0; r < 3; ++r) {
            p[r] = eerot[3 * r] * eetrans1[0] + eerot[3 * r + 1] * eetrans1[1] +
                   eerot[3 * r + 2] * eetrans1[2] + eetrans[r];
        }
        OriMatrixToQuaternion(R, pos_transferred->orientation);
        copyPosition(p, pos_transferred->cartPos.positionVector);
    } else if (new_rot != nullptr) {
        for (int k = 0; k < 9; ++k) {
            new_rot[k] = R[k];
        }
    }
}

void Ikfunc::hMatrixVectorProduct(bool inv, const double *pOrg, const double *hRArr, bool relPos,
                                  const double *posIn, double *posOut) {
    if (posIn == nullptr || posOut == nullptr) {
        return;
    }
    double R[9];
    double t[3] = {0.0, 0.0, 0.0};
    if (pOrg != nullptr || relPos) {
        for (int k = 0; k < 9; ++k) {
            R[k] = hRArr[k];
        }
        if (pOrg != nullptr) {
            copyPosition(pOrg, t);
        }
    } else {
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                R[3 * r + c] = hRArr[4 * r + c];
            }
            t[r] = hRArr[4 * r + 3];
        }
    }
    if (inv) {
        double Rt[9];
        transpose3(R, Rt);
        for (int k = 0; k < 9; ++k) {
            R[k] = Rt[k];
        }
    }
    double out[3];
    for (int r = 0; r < 3; ++r) {
        out[r] = R[3 * r] * posIn[0] + R[3 * r + 1] * posIn[1] + R[3 * r + 2] * posIn[2];
    }
    if (!relPos) {
        for (int r = 0; r < 3; ++r) {
            out[r] += inv ? -(R[3 * r] * t[0] + R[3 * r + 1] * t[1] + R[3 * r + 2] * t[2]) : t[r];
        }
    }
    copyPosition(out, posOut);
}

void Ikfunc::RPYToQuaternion(Ori &ori, const float *rpy) {
    const double alpha = static_cast<double>(rpy[0]) / 2.0;
    const double beta = static_cast<double>(rpy[1]) / 2.0;
    const double gamma = static_cast<double>(rpy[2]) / 2.0;
    const double ca = std::cos(alpha), sa = std::sin(alpha);
    const double cb = std::cos(beta), sb = std::sin(beta);
    const double cg = std::cos(gamma), sg = std::sin(gamma);
    ori.w = ca * cb * cg + sa * sb * sg;
    ori.x = sa * cb * cg - ca * sb * sg;
    ori.y = ca * sb * cg + sa * cb * sg;
    ori.z = ca * cb * sg - sa * sb * cg;
}

void Ikfunc::quaternionToRPY(Ori ori, float *rpy) {
    const double w = ori.w, x = ori.x, y = ori.y, z = ori.z;
    const float r00 = static_cast<float>(2.0 * (w * w + x * x) - 1.0);
    const float r10 = static_cast<float>(2.0 * (x * y + w * z));
    const float r20 = static_cast<float>(2.0 * (x * z - w * y));
    const float r21 = static_cast<float>(2.0 * (y * z + w * x));
    const float r22 = static_cast<float>(2.0 * (w * w + z * z) - 1.0);
    const float r11 = static_cast<float>(2.0 * (w * w + y * y) - 1.0);
    const float r12 = static_cast<float>(2.0 * (y * z - w * x));
    float yaw;
    float pitch;
    float roll;
    if (std::fabs(r00) < 1e-16 && std::fabs(r10) < 1e-16) {
        yaw = 0.0f;
        pitch = std::atan2(-r20, r00);
        roll = std::atan2(-r12, r11);
    } else {
        yaw = std::atan2(r10, r00);
        pitch = std::atan2(-r20, std::sqrt(r00 * r00 + r10 * r10));
        roll = std::atan2(r21, r22);
    }
    auto degrees = [](float angle) {
        return static_cast<float>(static_cast<double>(angle) * 180.0 / kPiForDegrees);
    };
    rpy[0] = degrees(yaw);
    rpy[1] = degrees(pitch);
    rpy[2] = degrees(roll);
}

void Ikfunc::endPosition2ToolPosition(wayPoint_S &end_stat, const double *toolPosInEnd,
                                      double *toolPosition) {
    if (toolPosInEnd == nullptr) {
        if (toolPosition != nullptr) {
            copyPosition(end_stat.cartPos.positionVector, toolPosition);
        }
        return;
    }
    double R[9];
    QuaternionToOriMatrix(end_stat.orientation, R);
    double tool[3];
    hMatrixVectorProduct(false, end_stat.cartPos.positionVector, R, false, toolPosInEnd, tool);
    copyPosition(tool, toolPosition != nullptr ? toolPosition : end_stat.cartPos.positionVector);
}

void Ikfunc::toolPosition2EndPosition(wayPoint_S tool_stat, cartesianPos_U &end_position,
                                      const double *toolPosInEnd) {
    if (toolPosInEnd == nullptr) {
        end_position = tool_stat.cartPos;
        return;
    }
    double R[9];
    QuaternionToOriMatrix(tool_stat.orientation, R);
    double offset[3];
    hMatrixVectorProduct(false, nullptr, R, true, toolPosInEnd, offset);
    for (int k = 0; k < 3; ++k) {
        end_position.positionVector[k] = tool_stat.cartPos.positionVector[k] - offset[k];
    }
}

void Ikfunc::endOrientation2ToolOrientation(Ori tcpOriInE, Ori endOri, Ori &toolOri) {
    QuaternionMultply(endOri, tcpOriInE, true);
    toolOri = endOri;
}

void Ikfunc::toolOrientation2EndOrientation(Ori tcpOriInE, Ori toolOri, Ori &endOri) {
    QuaternionInversion(tcpOriInE);
    QuaternionMultply(toolOri, tcpOriInE, true);
    endOri = toolOri;
}

// ---------------------------------------------------------------- user and tool frames

bool Ikfunc::userCoordinateCalib(const wayPoint_S *waypointptr, char methods, double *bInWPos,
                                 double *bInWOri, double *wInBPos) {
    if (waypointptr == nullptr || bInWPos == nullptr || bInWOri == nullptr || wInBPos == nullptr) {
        return false;
    }
    if (!userFrameOf(waypointptr, methods, bInWPos, bInWOri, wInBPos)) {
        kezu_robot_logtrace::W_WARN("User Coordinate Calib: Error Configuration, please re-try!");
        return false;
    }
    return true;
}

bool Ikfunc::api_user_coord_calib(const wayPoint_S *waypointptr, char methods, double *bInWPos,
                                  double *bInWOri, double *wInBPos) {
    return userCoordinateCalib(waypointptr, methods, bInWPos, bInWOri, wInBPos);
}

bool Ikfunc::toolCoordinateCalib(const wayPoint_S *waypointptr, int posWpNum, bool waypoint_check,
                                 double *toolInEndPos, char poseCalibMethod,
                                 const wayPoint_S *wpOriCalib, Ori *toolInEndOri) {
    if (waypointptr == nullptr || toolInEndPos == nullptr || posWpNum < 4) {
        return false;
    }
    const int mode = poseCalibMethod;
    const bool orientationMode = mode >= 0 && mode <= 5;
    // An orientation mode without its orientation poses would calibrate from zero rotations
    // and report a meaningless tool orientation as success.
    if (orientationMode && wpOriCalib == nullptr) {
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(posWpNum);
    if (count > std::numeric_limits<std::size_t>::max() / (9 * sizeof(double))) {
        return false;  // the scratch size would wrap on 32-bit builds
    }
    const std::unique_ptr<double[]> rot(new (std::nothrow) double[9 * count]);
    const std::unique_ptr<double[]> pos(new (std::nothrow) double[3 * count]);
    if (!rot || !pos) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        posOri2homoArr(waypointptr[i].cartPos, waypointptr[i].orientation, &rot[9 * i],
                       &pos[3 * i]);
    }
    double poseRot[3][9] = {};
    double posePos[3][3] = {};
    if (wpOriCalib != nullptr) {
        const int poses = mode < 3 ? 3 : 2;
        for (int i = 0; i < poses; ++i) {
            posOri2homoArr(wpOriCalib[i].cartPos, wpOriCalib[i].orientation, poseRot[i],
                           posePos[i]);
        }
    }
    double toolPoseRot[9];
    if (!toolCoordinateCalibLib(rot.get(), pos.get(), posWpNum, poseCalibMethod, poseRot, posePos,
                                waypoint_check, 0.01, toolInEndPos, toolPoseRot)) {
        return false;
    }
    // Only a calibrated orientation is reported; without one the caller's value stays.
    if (toolInEndOri != nullptr && orientationMode) {
        OriMatrixToQuaternion(toolPoseRot, *toolInEndOri);
    }
    return true;
}

bool Ikfunc::api_tool_coord_calib(const wayPoint_S *wpPosCalib, unsigned int wpPosCalibSize,
                                  const wayPoint_S *wpOriCalib, char poseCalibMethod,
                                  double *toolInEndPos, Ori &toolInEndOri) {
    if (wpPosCalib == nullptr || wpPosCalibSize < 4 ||
        wpPosCalibSize > static_cast<unsigned int>(std::numeric_limits<int>::max())) {
        return false;
    }
    const int count = static_cast<int>(wpPosCalibSize);
    if (poseCalibMethod >= 0 && poseCalibMethod <= 5 && wpOriCalib != nullptr) {
        return toolCoordinateCalib(wpPosCalib, count, false, toolInEndPos, poseCalibMethod,
                                   wpOriCalib, &toolInEndOri);
    }
    return toolCoordinateCalib(wpPosCalib, count, false, toolInEndPos, -1, nullptr, nullptr);
}

// ---------------------------------------------------------------- frame conversions

bool Ikfunc::coordinateTransform(wayPoint_S &pos_transferred, wayPoint_S pos,
                                 const double *toolOrgInEndPos, const Ori *ToolOriInEnd,
                                 MoveConditionClass::coordinate_refer coord,
                                 const wayPoint_S *planWp, char methods) {
    pos_transferred.cartPos = pos.cartPos;
    double R[9];
    QuaternionToOriMatrix(pos.orientation, R);
    if (toolOrgInEndPos != nullptr && ToolOriInEnd != nullptr) {
        double tool[3];
        hMatrixVectorProduct(false, pos.cartPos.positionVector, R, false, toolOrgInEndPos, tool);
        copyPosition(tool, pos_transferred.cartPos.positionVector);
        QuaternionMultply(pos_transferred.orientation, *ToolOriInEnd, true);
        QuaternionToOriMatrix(pos_transferred.orientation, R);
    }
    if (coord == MoveConditionClass::BaseCoordinate) {
        return true;
    }
    if (planWp == nullptr || methods < 0 || methods > 8) {
        return false;
    }
    UserFrame frame;
    if (!frame.calibrate(planWp, methods)) {
        return false;
    }
    hMatrixMultiply(frame.bInWOri, frame.bInWPos, R, pos_transferred.cartPos.positionVector,
                    &pos_transferred, nullptr);
    return true;
}

bool Ikfunc::waypointDisplay(wayPoint_S &target_wp, wayPoint_S source_wp,
                             MoveConditionClass::coordinate_refer refCoord,
                             const double *ToolOrgInEndPos, const Ori *ToolOriInEnd,
                             const wayPoint_S *planWp, char methods) {
    const bool withTool = ToolOrgInEndPos != nullptr && ToolOriInEnd != nullptr;
    target_wp = source_wp;
    bool shown = true;
    switch (refCoord) {
        case MoveConditionClass::BaseCoordinate:
            if (withTool) {
                shown = coordinateTransform(target_wp, source_wp, ToolOrgInEndPos, ToolOriInEnd,
                                            MoveConditionClass::BaseCoordinate, planWp, methods);
            }
            break;
        case MoveConditionClass::EndCoordinate:
            // The tool pose in the flange frame is the tool itself; without a tool there is
            // nothing to show, and failing beats reading through a null pointer.
            if (!withTool) {
                return false;
            }
            copyPosition(ToolOrgInEndPos, target_wp.cartPos.positionVector);
            target_wp.orientation = *ToolOriInEnd;
            break;
        default:
            shown = coordinateTransform(target_wp, source_wp, ToolOrgInEndPos, ToolOriInEnd,
                                        MoveConditionClass::WorldCoordinate, planWp, methods);
    }
    return shown && isFinitePose(target_wp);
}

namespace {

bool isBaseOrUser(MoveConditionClass::coordinate_refer coord) {
    return coord == MoveConditionClass::BaseCoordinate ||
           coord == MoveConditionClass::WorldCoordinate;
}

}  // namespace

// Tool pose to flange pose in the same frame.
void Ikfunc::removeTool(wayPoint_S &pose, const double *tcpPosInEnd, const Ori &tcpOriInEnd) {
    toolOrientation2EndOrientation(tcpOriInEnd, pose.orientation, pose.orientation);
    toolPosition2EndPosition(pose, pose.cartPos, tcpPosInEnd);
}

bool Ikfunc::robotCoordConvert(wayPoint_S &target_point, wayPoint_S source_point,
                               const wayPoint_S *userPlaneWP, char method,
                               const double *tcpPosInEnd, const Ori *tcpOriInEnd,
                               MoveConditionClass::coordinate_refer targetCoord,
                               MoveConditionClass::coordinate_refer sourceCoord) {
    if (!isBaseOrUser(sourceCoord) || !isBaseOrUser(targetCoord)) {
        return false;
    }
    Ori &q = source_point.orientation;
    if (!isUsableQuaternion(q)) {
        return false;
    }
    const double norm = NORM(q.w, q.x, q.y, q.z);
    q = {q.w / norm, q.x / norm, q.y / norm, q.z / norm};
    const bool withTool = tcpPosInEnd != nullptr && tcpOriInEnd != nullptr;
    if (sourceCoord == targetCoord) {
        if (withTool) {
            removeTool(source_point, tcpPosInEnd, *tcpOriInEnd);
        }
        if (!isFinitePose(source_point)) {
            return false;
        }
        target_point = source_point;
        return true;
    }
    UserFrame frame;
    if (userPlaneWP == nullptr || !frame.calibrate(userPlaneWP, method)) {
        return false;
    }
    wayPoint_S pose = source_point;
    double R[9];
    if (sourceCoord == MoveConditionClass::BaseCoordinate) {
        if (withTool) {
            removeTool(pose, tcpPosInEnd, *tcpOriInEnd);
        }
        QuaternionToOriMatrix(pose.orientation, R);
        hMatrixMultiply(frame.bInWOri, frame.bInWPos, R, pose.cartPos.positionVector, &pose,
                        nullptr);
    } else {
        QuaternionToOriMatrix(pose.orientation, R);
        double wInBOri[9];
        transpose3(frame.bInWOri, wInBOri);
        hMatrixMultiply(wInBOri, frame.wInBPos, R, pose.cartPos.positionVector, &pose, nullptr);
        if (withTool) {
            removeTool(pose, tcpPosInEnd, *tcpOriInEnd);
        }
    }
    if (!isFinitePose(pose)) {
        return false;
    }
    target_point.cartPos = pose.cartPos;
    target_point.orientation = pose.orientation;
    return true;
}
