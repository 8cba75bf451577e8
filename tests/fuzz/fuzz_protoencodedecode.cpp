// Feeds arbitrary controller bytes to every reply and push resolver: the first byte picks
// the resolver (and a few sizes), the rest is the body. A resolver may fail, but must never
// crash, read outside the body, write outside its outputs or leak.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <google/protobuf/stubs/logging.h>

#include "protoencodedecode.h"

using namespace kezu_robot_namespace;
using PED = ProtoEncodeDecode;

namespace {

// Keeps the codec's failure lines off the console; libFuzzer keeps its own and the
// sanitizers' reports on a duplicate of stderr.
char closeTargetOutput[] = "-close_fd_mask=3";

template <class Out>
void withCode(bool (*resolve)(const char *, int, Out &, int &), const char *body, int size) {
    Out out{};
    int code = 0;
    resolve(body, size, out, code);
}

void eventIntoBuffer(const char *body, int size, unsigned capacity) {
    RobotEventInfo event;
    event.eventType = RobotEvent_socketDisconnected;
    event.eventCode = size;
    event.eventContent.assign(body, static_cast<size_t>(size));
    std::unique_ptr<char[]> buffer(new char[capacity + 1]);
    int length = static_cast<int>(capacity);
    if (PED::getResponse_Event(buffer.get(), &length, event)) {
        RobotEventInfo back;
        if (!PED::resolveResponse_robotEvent(buffer.get(), length, back) ||
            back.eventContent != event.eventContent) {
            __builtin_trap();  // what was written must read back unchanged
        }
    }
}

void resolveOne(unsigned selector, const char *body, int size) {
    switch (selector % 26) {
        case 0: {
            CommunicationCommonResultResponse response;
            PED::resolveResponse_commonFormat(body, size, response);
            break;
        }
        case 1: {
            RobotEventInfo event;
            PED::resolveResponse_robotEvent(body, size, event);
            break;
        }
        case 2: {
            double speed = 0;
            PED::resolveResponse_robotEndSpeed(body, size, speed);
            break;
        }
        case 3: {
            // An exact heap array, so a write past `len` records is caught.
            const int len = static_cast<int>(selector / 26 % 8);
            std::unique_ptr<JointStatus[]> status(new JointStatus[len > 0 ? len : 1]);
            int code = 0;
            PED::resolveResponse_jointStatus(body, size, len > 0 ? status.get() : nullptr, len,
                                             code);
            break;
        }
        case 4: {
            RobotDiagnosis diagnosis{};
            PED::resolveResponse_robotDiagnosis(body, size, diagnosis);
            break;
        }
        case 5: {
            int robotType = 0;
            int code = 0;
            RobotDhPara dh{};
            PED::resolveResponse_DhParam(body, size, robotType, dh, code);
            break;
        }
        case 6:
            withCode(&PED::resolveResponse_jointAngle, body, size);
            break;
        case 7:
            withCode(&PED::resolveResponse_robotDiagnosisInfo, body, size);
            break;
        case 8:
            withCode(&PED::resolveResponse_devInfo, body, size);
            break;
        case 9:
            withCode(&PED::resolveResponse_tcpParam, body, size);
            break;
        case 10:
            withCode(&PED::resolveResponse_getToolDynamicsParam, body, size);
            break;
        case 11:
            withCode(&PED::resolveResponse_getToolKinematicsParam, body, size);
            break;
        case 12:
            withCode(&PED::resolveResponse_getDynIdentifyResults, body, size);
            break;
        case 13:
            withCode(&PED::resolveResponse_gravityComponent, body, size);
            break;
        case 14:
            withCode(&PED::resolveResponse_collisionCurrent, body, size);
            break;
        case 15:
            withCode(&PED::resolveResponse_robotWorkMode, body, size);
            break;
        case 16:
            withCode(&PED::resolveResponse_robotState, body, size);
            break;
        case 17:
            withCode(&PED::resolveResponse_isRealRobotExist, body, size);
            break;
        case 18:
            withCode(&PED::resolveResponse_safetyConfig, body, size);
            break;
        case 19:
            withCode(&PED::resolveResponse_safetyStatus, body, size);
            break;
        case 20:
            withCode(&PED::resolveResponse_robotDiagnosisIOData, body, size);
            break;
        case 21:
            withCode(&PED::resolveResponse_robotAnalogIOData, body, size);
            break;
        case 22:
            withCode(&PED::resolveResponse_robotToolIoStatus, body, size);
            break;
        case 23:
            withCode(&PED::resolveResponse_ethernetDeviceName, body, size);
            break;
        case 24: {
            kezu::robot::common::RobotMove message;
            if (message.ParseFromArray(body, size)) {
                RobotMoveProfile profile{};
                std::vector<wayPoint_S> points;
                PED::RobotMovePatamTypeConversion(message, profile, points);
            }
            break;
        }
        default:
            eventIntoBuffer(body, size, selector / 26 * 4);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    google::protobuf::SetLogHandler(nullptr);
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], "-close_fd_mask=", 15) == 0) {
            return 0;
        }
    }
    // libFuzzer reads its flags after this call, so an added flag takes effect.
    static std::vector<char *> args;
    args.assign(*argv, *argv + *argc);
    args.push_back(closeTargetOutput);
    args.push_back(nullptr);
    *argv = args.data();
    ++*argc;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0 || size > 1 << 20) {
        return 0;
    }
    // The body lives in its own exact allocation, so any read past it is reported.
    const int bodySize = static_cast<int>(size - 1);
    std::unique_ptr<char[]> body(new char[size - 1 > 0 ? size - 1 : 1]);
    std::memcpy(body.get(), data + 1, size - 1);
    resolveOne(data[0], body.get(), bodySize);
    return 0;
}
