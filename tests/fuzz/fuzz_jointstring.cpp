// Feeds arbitrary text to the offline-track line readers. Besides never crashing or hanging,
// what it reads must be self-consistent: the pose is the forward kinematics of the angles it
// holds, six angles it accepts read back bit for bit when written out again with either
// blank or comma separators, and a file line of them takes a trailing comment but not a
// seventh number behind any separator.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "robotutilservice.h"

namespace kezu = kezu_robot_namespace;

namespace {

void require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

std::string joined(const double *joints, const char *separator) {
    std::string line;
    char number[40];
    for (int i = 0; i < kezu::ARM_DOF; ++i) {
        std::snprintf(number, sizeof(number), "%.17g", joints[i]);
        line += number;
        if (i + 1 < kezu::ARM_DOF) {
            line += separator;
        }
    }
    return line;
}

void requireReadsBack(const kezu::wayPoint_S &read, const char *separator) {
    kezu::wayPoint_S again;
    require(RobotUtilService::jointStringToWaypoint(joined(read.jointpos, separator), again));
    require(std::memcmp(again.jointpos, read.jointpos, sizeof(read.jointpos)) == 0);
}

// After the sixth angle a file line ignores what is not a number, but not a seventh number
// behind separators of any kind.
void requireFileLineRule(const kezu::wayPoint_S &read) {
    kezu::wayPoint_S again;
    require(RobotUtilService::offlineTrackLineToWaypoint(
        joined(read.jointpos, "|") + ",;\t# pose 1", again));
    require(std::memcmp(again.jointpos, read.jointpos, sizeof(read.jointpos)) == 0);
    for (const char *seventh : {" ,-.7", "|9", "/ +.5"}) {
        require(!RobotUtilService::offlineTrackLineToWaypoint(joined(read.jointpos, " ") + seventh,
                                                              again));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 4096) {
        return 0;
    }
    const std::string line(reinterpret_cast<const char *>(data), size);
    kezu::wayPoint_S read;
    std::memset(&read, 0x5a, sizeof(read));
    const bool complete = RobotUtilService::jointStringToWaypoint(line, read);
    // A file line is the same reading, refused only for what follows the sixth angle.
    kezu::wayPoint_S strict;
    if (RobotUtilService::offlineTrackLineToWaypoint(line, strict)) {
        require(complete && std::memcmp(&strict, &read, sizeof(read)) == 0);
    }

    kezu::wayPoint_S pose;
    require(RobotUtilService::robotFk(read.jointpos, kezu::ARM_DOF, pose) == kezu::ErrnoSucc);
    require(std::memcmp(&pose, &read, sizeof(read)) == 0);
    if (!complete) {
        return 0;
    }
    for (double angle : read.jointpos) {
        require(std::isfinite(angle));
    }
    requireReadsBack(read, " ");
    requireReadsBack(read, ",");
    requireFileLineRule(read);
    return 0;
}
