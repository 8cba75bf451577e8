#include "robotKinematics.h"
#include "kinematicsmath.h"

using kinematics_detail::JointTrig;

void ComputeFk_QMV(const double *joints, double *eetrans, double *eerot) {
    if (joints == nullptr || eetrans == nullptr || eerot == nullptr) {
        return;
    }
    const JointTrig t(joints);
    const double s1s5_c234c1c5 = t.s1 * t.s5 - t.c234 * t.c1 * t.c5;
    const double c1s5_c234c5s1 = t.c1 * t.s5 + t.c234 * t.c5 * t.s1;
    eerot[0] = -t.c6 * s1s5_c234c1c5 - t.s234 * t.c1 * t.s6;
    eerot[1] = t.s234 * t.c1 * t.c6 - s1s5_c234c1c5 * t.s6;
    eerot[2] = -t.c5 * t.s1 - t.c234 * t.c1 * t.s5;
    eerot[3] = t.s234 * t.s1 * t.s6 - c1s5_c234c5s1 * t.c6;
    eerot[4] = -c1s5_c234c5s1 * t.s6 - t.s234 * t.c6 * t.s1;
    eerot[5] = t.c234 * t.s1 * t.s5 - t.c1 * t.c5;
    eerot[6] = -t.c234 * t.s6 - t.s234 * t.c5 * t.c6;
    eerot[7] = t.c234 * t.c6 - t.s234 * t.c5 * t.s6;
    eerot[8] = t.s234 * t.s5;
    kinematics_detail::flangePosition(kinematics_detail::dhLengths(), t, eetrans);
}
