#ifndef IKFUNC_H
#define IKFUNC_H

#include "robotCommon.h"

namespace MoveConditionClass {

enum coordinate_refer {
    BaseCoordinate = 0,
    EndCoordinate = 1,
    WorldCoordinate = 2,
};

}  // namespace MoveConditionClass

// The SDK's layer over the kinematics library: waypoints in SDK joint signs (the negation of
// the library's), inverse solutions checked by forward kinematics, frame and tool conversions.
// Stateless; every member is static.
class Ikfunc {
public:
    Ikfunc() = default;

    // False, with the lengths left as they were, when a length would not be finite.
    static bool setDhParameters(kezu_robot_type robotType, double A3, double A4, double D1,
                                double D2, double D5, double D6);

    static bool ArmFk(Pos &arm_pos, Ori &arm_ori, const double *joint_solve);
    static bool ArmFk(wayPoint_S &arm_pos);
    static int ComputeIk_new(wayPoint_S &cur_stat, double jointResults[6][8]);
    static bool ArmIk(wayPoint_S &cur_stat, const double *joint, bool iterIK, bool relMove);
    static bool ArmIkProtect(wayPoint_S &res, double *last_jointpos, bool iterIK, bool relMove);
    static bool api_arm_ik(Pos arm_pos, Ori arm_ori, double *joint_solve);

    static double SIGN(double x);
    static double NORM(double a, double b, double c, double d);
    // What a pose conversion can take: finite coordinates, and a quaternion whose norm is
    // positive and finite, so that normalising it gives a rotation.
    static bool isFinitePosition(const Pos &position);
    static bool isUsableQuaternion(const Ori &q);
    static void QuaternionToOriMatrix(Ori q, double *eerot);
    static void posOri2homoArr(cartesianPos_U position, Ori quat, double *eerot, double *eetrans);
    static void RPYToQuaternion(Ori &ori, const float *rpy);
    static void quaternionToRPY(Ori ori, float *rpy);
    static void endPosition2ToolPosition(wayPoint_S &end_stat, const double *toolPosInEnd,
                                         double *toolPosition);
    static void endOrientation2ToolOrientation(Ori tcpOriInE, Ori endOri, Ori &toolOri);
    static void toolOrientation2EndOrientation(Ori tcpOriInE, Ori toolOri, Ori &endOri);

    static bool userCoordinateCalib(const wayPoint_S *waypointptr, char methods, double *bInWPos,
                                    double *bInWOri, double *wInBPos);
    static bool api_user_coord_calib(const wayPoint_S *waypointptr, char methods, double *bInWPos,
                                     double *bInWOri, double *wInBPos);
    static bool toolCoordinateCalib(const wayPoint_S *waypointptr, int posWpNum,
                                    bool waypoint_check, double *toolInEndPos, char poseCalibMethod,
                                    const wayPoint_S *wpOriCalib, Ori *toolInEndOri);
    static bool api_tool_coord_calib(const wayPoint_S *wpPosCalib, unsigned int wpPosCalibSize,
                                     const wayPoint_S *wpOriCalib, char poseCalibMethod,
                                     double *toolInEndPos, Ori &toolInEndOri);
    // False also when the shown pose is not finite; target_wp then holds no usable pose.
    static bool waypointDisplay(wayPoint_S &target_wp, wayPoint_S source_wp,
                                MoveConditionClass::coordinate_refer refCoord,
                                const double *ToolOrgInEndPos, const Ori *ToolOriInEnd,
                                const wayPoint_S *planWp, char methods);
    // False, target_point untouched, for a source quaternion that cannot be normalised, an
    // unknown frame or method, or a result that is not finite.
    static bool robotCoordConvert(wayPoint_S &target_point, wayPoint_S source_point,
                                  const wayPoint_S *userPlaneWP, char method,
                                  const double *tcpPosInEnd, const Ori *tcpOriInEnd,
                                  MoveConditionClass::coordinate_refer targetCoord,
                                  MoveConditionClass::coordinate_refer sourceCoord);

private:
    // Lets the unit tests reach the private helpers.
    friend class IkfuncPrivateAccess;

    static void QuaternionInversion(Ori &ori);
    static void QuaternionMultply(Ori &end_ori, Ori left_ori, bool rightMul);
    static bool OriMatrixToQuaternion(const double *eerot, Ori &result);
    static void hMatrixMultiply(const double *eerot, const double *eetrans, const double *eerot1,
                                const double *eetrans1, wayPoint_S *pos_transferred,
                                double *new_rot);
    static void hMatrixVectorProduct(bool inv, const double *pOrg, const double *hRArr, bool relPos,
                                     const double *posIn, double *posOut);
    static void toolPosition2EndPosition(wayPoint_S tool_stat, cartesianPos_U &end_position,
                                         const double *toolPosInEnd);
    static bool coordinateTransform(wayPoint_S &pos_transferred, wayPoint_S pos,
                                    const double *toolOrgInEndPos, const Ori *ToolOriInEnd,
                                    MoveConditionClass::coordinate_refer coord,
                                    const wayPoint_S *planWp, char methods);
    static void removeTool(wayPoint_S &pose, const double *tcpPosInEnd, const Ori &tcpOriInEnd);
};

#endif
