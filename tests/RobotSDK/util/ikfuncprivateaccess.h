#ifndef IKFUNCPRIVATEACCESS_H
#define IKFUNCPRIVATEACCESS_H

#include "ikfunc.h"

// Reaches the private helpers of Ikfunc for the unit tests.
class IkfuncPrivateAccess {
public:
    static bool OriMatrixToQuaternion(const double *eerot, Ori &result) {
        return Ikfunc::OriMatrixToQuaternion(eerot, result);
    }
    static void toolPosition2EndPosition(wayPoint_S tool_stat, cartesianPos_U &end_position,
                                         const double *toolPosInEnd) {
        Ikfunc::toolPosition2EndPosition(tool_stat, end_position, toolPosInEnd);
    }
};

#endif
