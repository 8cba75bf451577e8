// Logs in to the controller named on the command line, moves, reads the arm back through the
// rs_* functions and checks the facade computes the same pose.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "rsrobotcontrol.h"
#include "serviceinterface.h"

using kezu_robot_namespace::wayPoint_S;

int main(int argc, char **argv) {
    if (argc != 3) return 2;  // usage: consumer ADDRESS PORT
    RSHD rshd = 0;
    if (rs_create_context(&rshd) != 0) return 1;
    double target[6] = {0.1, -0.2, 0.3, 0.0, 0.1, 0.0};
    wayPoint_S current;
    int rc = rs_login(rshd, argv[1], std::atoi(argv[2]));
    if (rc == 0) rc = rs_move_joint(rshd, target, true);
    if (rc == 0) rc = rs_get_current_waypoint(rshd, &current);

    ServiceInterface facade;
    wayPoint_S expected;
    if (rc == 0) rc = facade.robotServiceRobotFk(target, 6, expected);
    if (rc == 0 && (std::fabs(current.cartPos.position.x - expected.cartPos.position.x) > 1e-6 ||
                    std::fabs(current.jointpos[2] - target[2]) > 1e-6)) {
        rc = -1;
    }
    std::printf("result %d\n", rc);
    rs_logout(rshd);
    rs_destory_context(rshd);
    return rc == 0 ? 0 : 1;
}
