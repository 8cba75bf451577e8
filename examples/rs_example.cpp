// The rs_* functions from a C++ program linked to libkezuqx:
//     rs_example --host 127.0.0.1 --port 8899
// Logs in, prints the device, moves the arm twice, writes and reads one board output,
// checks forward against inverse kinematics and logs out. One line per step; exits 0 when
// every step worked.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rsrobotcontrol.h"

namespace kz = kezu_robot_namespace;

namespace {

using Clock = std::chrono::steady_clock;

// Prints one step and whether it worked; false stops the example.
bool step(const char *name, int result, const std::string &detail, Clock::time_point start) {
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const std::string text = result == 0 ? detail : "result " + std::to_string(result);
    std::printf("%-22s %-7s %s  (%.1f ms)\n", name, result == 0 ? "ok" : "FAILED", text.c_str(),
                ms);
    std::fflush(stdout);
    return result == 0;
}

std::string joints(const double *q) {
    char text[128];
    std::snprintf(text, sizeof text, "(%.3f, %.3f, %.3f, %.3f, %.3f, %.3f)", q[0], q[1], q[2], q[3],
                  q[4], q[5]);
    return text;
}

int moveAndCheck(RSHD h, bool line, double *target, std::string &detail) {
    int result = line ? rs_move_line(h, target, true) : rs_move_joint(h, target, true);
    kz::wayPoint_S at;
    if (result == 0) result = rs_get_current_waypoint(h, &at);
    if (result != 0) return result;
    detail = "at " + joints(at.jointpos);
    for (int i = 0; i < kz::ARM_DOF; ++i) {
        if (std::fabs(at.jointpos[i] - target[i]) > 1e-3) return kz::ErrCode_Failed;
    }
    return 0;
}

bool run(RSHD h, const char *host, int port) {
    auto start = Clock::now();
    if (!step("login", rs_login(h, host, port), std::string(host) + ":" + std::to_string(port),
              start)) {
        return false;
    }

    start = Clock::now();
    kz::RobotDevInfo device{};
    const int deviceResult = rs_get_device_info(h, &device);
    const std::string revision(device.revision, strnlen(device.revision, sizeof device.revision));
    const std::string maker(device.manu_id, strnlen(device.manu_id, sizeof device.manu_id));
    if (!step("device information", deviceResult,
              "type " + std::to_string(device.type) + ", revision '" + revision +
                  "', manufacturer '" + maker + "'",
              start)) {
        return false;
    }

    start = Clock::now();
    kz::JointVelcAccParam acc{}, velc{};
    for (int i = 0; i < kz::ARM_DOF; ++i) {
        acc.jointPara[i] = 1.5;
        velc.jointPara[i] = 1.0;
    }
    int result = rs_init_global_move_profile(h);
    if (result == 0) result = rs_set_global_joint_maxacc(h, &acc);
    if (result == 0) result = rs_set_global_joint_maxvelc(h, &velc);
    if (!step("move profile", result, "joint acc 1.5 rad/s2, velc 1.0 rad/s", start)) {
        return false;
    }

    double first[kz::ARM_DOF] = {0.1, -0.1, 0.2, 0.0, 0.1, 0.0};
    double second[kz::ARM_DOF] = {0.1, 0.0, 0.1, 0.1, 0.1, 0.0};
    std::string detail;
    start = Clock::now();
    if (!step("joint move", moveAndCheck(h, false, first, detail), detail, start)) return false;
    start = Clock::now();
    if (!step("line move", moveAndCheck(h, true, second, detail), detail, start)) return false;

    start = Clock::now();
    std::vector<kz::RobotIoDesc> outputs;
    result = rs_get_board_io_config(h, kz::RobotBoardUserDO, &outputs);
    if (result == 0 && outputs.empty()) result = kz::ErrCode_Failed;
    double value = 0.0;
    const char *name = result == 0 ? outputs[0].ioName : "";
    if (result == 0) result = rs_set_board_io_status_by_name(h, kz::RobotBoardUserDO, name, 1.0);
    if (result == 0) result = rs_get_board_io_status_by_name(h, kz::RobotBoardUserDO, name, &value);
    if (result == 0 && value != 1.0) result = kz::ErrCode_Failed;
    if (!step("board output", result, std::string(name) + " := 1 reads 1", start)) return false;

    start = Clock::now();
    kz::wayPoint_S fk, ik, back;
    double reference[kz::ARM_DOF] = {0, 0, 0, 0, 0, 0};
    result = rs_forward_kin(h, first, &fk);
    if (result == 0)
        result = rs_inverse_kin(h, reference, &fk.cartPos.position, &fk.orientation, &ik);
    if (result == 0) result = rs_forward_kin(h, ik.jointpos, &back);
    double gap = 0.0;
    if (result == 0) {
        gap = std::fabs(back.cartPos.position.x - fk.cartPos.position.x) +
              std::fabs(back.cartPos.position.y - fk.cartPos.position.y) +
              std::fabs(back.cartPos.position.z - fk.cartPos.position.z);
        if (gap > 1e-6) result = kz::ErrCode_Failed;
    }
    char text[96];
    std::snprintf(text, sizeof text, "ik %s, position gap %.1e m", joints(ik.jointpos).c_str(),
                  gap);
    if (!step("forward + inverse kin", result, text, start)) return false;

    start = Clock::now();
    return step("logout", rs_logout(h), "", start);
}

}  // namespace

int main(int argc, char **argv) {
    const char *host = "127.0.0.1";
    int port = 8899;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--host") == 0) host = argv[i + 1];
        if (std::strcmp(argv[i], "--port") == 0) port = std::atoi(argv[i + 1]);
    }
    if (rs_initialize() != 0) return 1;
    RSHD h = 0;
    bool ok = rs_create_context(&h) == 0;
    if (ok) {
        ok = run(h, host, port);
        rs_logout(h);
        rs_destory_context(h);
    }
    rs_uninitialize();
    std::printf("rs example %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
