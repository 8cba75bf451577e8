// Feeds arbitrary controller bytes to every reply and push resolver: the first byte picks
// the resolver (and a few sizes), the rest is the body. A resolver may fail, but must never
// crash, read outside the body, write outside its outputs or leak.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <google/protobuf/stubs/logging.h>

#include "protoencodedecode.h"

using namespace kezu_robot_namespace;
using PED = ProtoEncodeDecode;

namespace {

// Keeps the codec's failure lines off the console; libFuzzer keeps its own and the
// sanitizers' reports on a duplicate of stderr.
char closeTargetOutput[] = "-close_fd_mask=3";

using Target = void (*)(const char *, int, unsigned);

template <class... Out>
void intoFresh(bool (*resolve)(const char *, int, Out &...), const char *body, int size) {
    std::tuple<Out...> outs{};
    std::apply([&](Out &...out) { resolve(body, size, out...); }, outs);
}

template <auto resolve>
void plain(const char *body, int size, unsigned) {
    intoFresh(resolve, body, size);
}

// An exact heap array, so a write past `len` records is caught.
void jointStatus(const char *body, int size, unsigned extra) {
    const int len = static_cast<int>(extra % 8);
    std::unique_ptr<JointStatus[]> status(new JointStatus[len > 0 ? len : 1]);
    int code = 0;
    PED::resolveResponse_jointStatus(body, size, len > 0 ? status.get() : nullptr, len, code);
}

void moveBody(const char *body, int size, unsigned) {
    kezu::robot::common::RobotMove message;
    if (message.ParseFromArray(body, size)) {
        RobotMoveProfile profile{};
        std::vector<wayPoint_S> points;
        PED::RobotMovePatamTypeConversion(message, profile, points);
    }
}

void eventIntoBuffer(const char *body, int size, unsigned extra) {
    const RobotEventInfo event{RobotEvent_socketDisconnected, size,
                               std::string(body, static_cast<size_t>(size))};
    const unsigned capacity = extra * 4;
    std::unique_ptr<char[]> buffer(new char[capacity + 1]);
    int length = static_cast<int>(capacity);
    RobotEventInfo back;
    if (PED::getResponse_Event(buffer.get(), &length, event) &&
        (!PED::resolveResponse_robotEvent(buffer.get(), length, back) ||
         back.eventContent != event.eventContent)) {
        __builtin_trap();  // what was written must read back unchanged
    }
}

#define R(name) &plain<&PED::resolveResponse_##name>
// clang-format off
const Target kTargets[] = {
    R(commonFormat), R(robotEvent), R(robotEndSpeed), &jointStatus, R(robotDiagnosis),
    R(DhParam), R(jointAngle), R(robotDiagnosisInfo), R(devInfo), R(tcpParam),
    R(getToolDynamicsParam), R(getToolKinematicsParam), R(getDynIdentifyResults),
    R(gravityComponent), R(collisionCurrent), R(robotWorkMode), R(robotState),
    R(isRealRobotExist), R(safetyConfig), R(safetyStatus), R(robotDiagnosisIOData),
    R(robotAnalogIOData), R(robotToolIoStatus), R(ethernetDeviceName), &moveBody,
    &eventIntoBuffer};
// clang-format on
#undef R

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    google::protobuf::SetLogHandler(nullptr);
    // libFuzzer reads its flags after this call, so an added flag takes effect.
    static std::vector<char *> args(*argv, *argv + *argc);
    if (std::none_of(args.begin() + 1, args.end(),
                     [](const char *a) { return std::strncmp(a, "-close_fd_mask=", 15) == 0; })) {
        args.push_back(closeTargetOutput);
    }
    *argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0 || size > 1 << 20) {
        return 0;
    }
    // The body lives in its own exact allocation, so any read past it is reported.
    std::unique_ptr<char[]> body(new char[size > 1 ? size - 1 : 1]);
    std::memcpy(body.get(), data + 1, size - 1);
    const unsigned count = static_cast<unsigned>(std::size(kTargets));
    kTargets[data[0] % count](body.get(), static_cast<int>(size - 1), data[0] / count);
    return 0;
}
