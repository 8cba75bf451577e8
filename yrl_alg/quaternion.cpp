#include "robotKinematics.h"

void QuaternionMultply(Ori &end_ori, Ori left_ori, bool rightMul) {
    const double w = end_ori.w;
    const double x = end_ori.x;
    const double y = end_ori.y;
    const double z = end_ori.z;
    // end_ori as a matrix acting on left_ori: end (x) left, or left (x) end.
    const double right[4][4] = {{w, -x, -y, -z}, {x, w, -z, y}, {y, z, w, -x}, {z, -y, x, w}};
    const double leftMul[4][4] = {{w, -x, -y, -z}, {x, w, z, -y}, {y, -z, w, x}, {z, y, -x, w}};
    const double(&m)[4][4] = rightMul ? right : leftMul;
    const double v[4] = {left_ori.w, left_ori.x, left_ori.y, left_ori.z};
    double acc[4] = {0.0, 0.0, 0.0, 0.0};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            acc[r] += m[r][c] * v[c];
        }
    }
    end_ori.w = acc[0];
    end_ori.x = acc[1];
    end_ori.y = acc[2];
    end_ori.z = acc[3];
}
