#ifndef IKFUNCPRIVATEACCESS_H
#define IKFUNCPRIVATEACCESS_H

#include "ikfunc.h"

// Reaches the private helpers of Ikfunc for the unit tests.
class IkfuncPrivateAccess {
public:
    static void QuaternionInversion(Ori &ori) { Ikfunc::QuaternionInversion(ori); }
    static void QuaternionMultply(Ori &end_ori, Ori left_ori, bool rightMul) {
        Ikfunc::QuaternionMultply(end_ori, left_ori, rightMul);
    }
    static bool OriMatrixToQuaternion(const double *eerot, Ori &result) {
        return Ikfunc::OriMatrixToQuaternion(eerot, result);
    }
    static void hMatrixMultiply(const double *eerot, const double *eetrans, const double *eerot1,
                                const double *eetrans1, wayPoint_S *pos_transferred,
                                double *new_rot) {
        Ikfunc::hMatrixMultiply(eerot, eetrans, eerot1, eetrans1, pos_transferred, new_rot);
    }
    static void hMatrixVectorProduct(bool inv, const double *pOrg, const double *hRArr, bool relPos,
                                     const double *posIn, double *posOut) {
        Ikfunc::hMatrixVectorProduct(inv, pOrg, hRArr, relPos, posIn, posOut);
    }
    static void toolPosition2EndPosition(wayPoint_S tool_stat, cartesianPos_U &end_position,
                                         const double *toolPosInEnd) {
        Ikfunc::toolPosition2EndPosition(tool_stat, end_position, toolPosInEnd);
    }
};

#endif
