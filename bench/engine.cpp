#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "kezucontroller.h"
#include "protoencodedecode.h"
#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"
#include "robotcontrolservices.h"

namespace {

// ---- Plain sockets: the same bytes without any SDK code ----

std::string package(int32_t type, const std::string &body) {
    std::string bytes("\xEE\xCC\xFF\xFF", 4);
    const int32_t length = static_cast<int32_t>(body.size()) + 12;
    bytes.append(reinterpret_cast<const char *>(&length), 4);
    bytes.append(reinterpret_cast<const char *>(&type), 4);
    bytes += body;
    bytes.append(4, '\0');
    bytes.append(4, '\xFF');
    return bytes;
}

std::string commonReplyBody() {
    kezu::robot::communication::ProtoRobotCommonResponse reply;
    reply.set_errorcode(0);
    reply.set_errormsg("");
    return reply.SerializeAsString();
}

bool readExactly(int fd, char *buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = recv(fd, buffer + done, size - done, 0);
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const std::string &bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// Answers every package on one accepted connection with the common reply of its type. Both
// the SDK and the plain client talk to this same responder.
class Responder {
public:
    Responder() {
        m_listenFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listenFd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        listen(m_listenFd, 1);
        m_thread = std::thread([this] { serve(); });
    }
    ~Responder() {
        shutdown(m_listenFd, SHUT_RDWR);
        close(m_listenFd);
        if (m_connFd >= 0) {
            shutdown(m_connFd, SHUT_RDWR);
        }
        m_thread.join();
        if (m_connFd >= 0) {
            close(m_connFd);
        }
    }
    int port() const { return m_port; }

private:
    void serve() {
        m_connFd = accept(m_listenFd, nullptr, nullptr);
        const std::string body = commonReplyBody();
        char header[8];
        char rest[4096];
        while (m_connFd >= 0 && readExactly(m_connFd, header, sizeof(header))) {
            int32_t length = 0;
            std::memcpy(&length, header + 4, 4);
            if (length < 12 || length > static_cast<int32_t>(sizeof(rest)) ||
                !readExactly(m_connFd, rest, static_cast<size_t>(length))) {
                break;
            }
            int32_t type = 0;
            std::memcpy(&type, rest, 4);
            if (!writeAll(m_connFd, package(type, body))) {
                break;
            }
        }
    }

    int m_listenFd = -1;
    std::atomic<int> m_connFd{-1};
    int m_port = 0;
    std::thread m_thread;
};

int connectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

constexpr int32_t kCollisionRecover = CommunicationMateType::CommunicationType_CollisionRecover;

// The floor: a plain client writes the request package and reads the reply package.
void BM_RawLoopbackPingPong(benchmark::State &state) {
    Responder responder;
    const int fd = connectTo(responder.port());
    const std::string request = package(kCollisionRecover, "");
    const size_t replySize = package(kCollisionRecover, commonReplyBody()).size();
    char reply[256];
    for (auto _ : state) {
        if (!writeAll(fd, request) || !readExactly(fd, reply, replySize)) {
            state.SkipWithError("ping-pong failed");
            break;
        }
    }
    close(fd);
}
BENCHMARK(BM_RawLoopbackPingPong)->UseRealTime();

// What one receive-thread hand-off costs without any SDK code: a plain reader thread waits in
// poll, receives the reply and wakes the caller through a condition variable. The engine
// cannot do better than this on a given machine.
void BM_RawLoopbackWithReaderThread(benchmark::State &state) {
    Responder responder;
    const int fd = connectTo(responder.port());
    const std::string request = package(kCollisionRecover, "");
    const size_t replySize = package(kCollisionRecover, commonReplyBody()).size();
    std::mutex mutex;
    std::condition_variable arrived;
    size_t replies = 0;
    std::thread reader([&] {
        char buffer[2048];
        size_t pending = 0;
        for (;;) {
            pollfd entry{fd, POLLIN, 0};
            if (poll(&entry, 1, 10) <= 0) {
                continue;
            }
            const ssize_t n = recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
            if (n <= 0) {
                return;
            }
            pending += static_cast<size_t>(n);
            {
                std::lock_guard<std::mutex> lock(mutex);
                replies += pending / replySize;
            }
            pending %= replySize;
            arrived.notify_one();
        }
    });
    size_t sent = 0;
    for (auto _ : state) {
        bool answered = writeAll(fd, request);
        std::unique_lock<std::mutex> lock(mutex);
        answered = answered &&
                   arrived.wait_for(lock, std::chrono::seconds(1), [&] { return replies > sent; });
        if (!answered) {
            state.SkipWithError("ping-pong failed");
            break;
        }
        ++sent;
    }
    shutdown(fd, SHUT_RDWR);
    reader.join();
    close(fd);
}
BENCHMARK(BM_RawLoopbackWithReaderThread)->UseRealTime();

// The same exchange through the engine: package writer, receive thread, reply slot, decode.
void BM_EngineRoundTripRawResponder(benchmark::State &state) {
    Responder responder;
    RobotControlServices services;
    services.setServerIP("127.0.0.1");
    services.setServerPort(responder.port());
    if (services.connectRobotServer() != 0) {
        state.SkipWithError("connect failed");
        return;
    }
    for (auto _ : state) {
        if (services.collisionRecover() != 0) {
            state.SkipWithError("request failed");
            break;
        }
    }
    services.disconnectRobotServer();
}
BENCHMARK(BM_EngineRoundTripRawResponder)->UseRealTime();

// The same request against the controller counterpart (it parses, keeps state and hands the
// reply to a sender thread of its own, so its side costs more than the plain responder).
void BM_EngineRoundTripCounterpart(benchmark::State &state) {
    kezu_sim::KezuController controller;
    if (!controller.start()) {
        state.SkipWithError("counterpart did not start");
        return;
    }
    RobotControlServices services;
    if (services.loginService("127.0.0.1", controller.port(), "kezu", "123456") != 0) {
        state.SkipWithError("login failed");
        return;
    }
    for (auto _ : state) {
        if (services.collisionRecover() != 0) {
            state.SkipWithError("request failed");
            break;
        }
    }
    services.logoutService();
    controller.stop();
}
BENCHMARK(BM_EngineRoundTripCounterpart)->UseRealTime();

// ---- A stop sent while a move request is unanswered ----

double secondsOf(const std::function<int()> &call, int &result) {
    const auto start = std::chrono::steady_clock::now();
    result = call();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The controller holds the move's reply for 100 ms; 2 ms after the move request went out, a
// stop is sent. Its round trip must not wait for the move's acknowledgement: the ratio to an
// ordinary request's round trip, measured in the same iterations, stays near 1.
void BM_StopBehindAnUnansweredMove(benchmark::State &state) {
    using Cmd = CommunicationMateType;
    kezu_sim::KezuController controller;
    if (!controller.start()) {
        state.SkipWithError("counterpart did not start");
        return;
    }
    controller.setReplyFault(Cmd::CommunicationType_RobotMove,
                             kezu_sim::ReplyFault(std::chrono::milliseconds(100)));
    RobotControlServices services;
    if (services.loginService("127.0.0.1", controller.port(), "kezu", "123456") != 0) {
        state.SkipWithError("login failed");
        return;
    }
    auto stop = [&services] {
        char *body = nullptr;
        int size = 0;
        ProtoEncodeDecode::getRequest_robotMoveControl(&body, &size,
                                                       kezu_robot_namespace::RobotMoveStop);
        return services.requestServiceOnlyCheckSendResultMode(
            Cmd::CommunicationType_RobotMoveControl, body, size);
    };
    double stopSeconds = 0.0;
    double tripSeconds = 0.0;
    size_t moves = 0;
    for (auto _ : state) {
        int tripResult = 0;
        int stopResult = 0;
        tripSeconds += secondsOf([&] { return services.collisionRecover(); }, tripResult);
        // The move's body does not matter here: only its reply is held back.
        std::thread move([&services] {
            services.requestServiceOnlyCheckSendResultMode(Cmd::CommunicationType_RobotMove,
                                                           nullptr, 0);
        });
        const bool sent = controller.waitForPackages(Cmd::CommunicationType_RobotMove, ++moves,
                                                     std::chrono::milliseconds(1000));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        stopSeconds += secondsOf(stop, stopResult);
        move.join();
        if (!sent || tripResult != 0 || stopResult != 0) {
            state.SkipWithError("a request failed");
            break;
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["stop_ms"] = 1e3 * stopSeconds / n;
    state.counters["round_trip_ms"] = 1e3 * tripSeconds / n;
    state.counters["stop_to_round_trip"] = tripSeconds > 0.0 ? stopSeconds / tripSeconds : 0.0;
    services.logoutService();
    controller.stop();
}
BENCHMARK(BM_StopBehindAnUnansweredMove)->Iterations(20)->UseRealTime();

// ---- Receive thread CPU on a 1 kHz joint-angle push stream ----

struct PushProbe {
    std::atomic<long> pushes{0};
    std::atomic<bool> haveThread{false};
    pthread_t receiveThread{};

    static void onWaypoint(const kezu_robot_namespace::wayPoint_S *, void *arg) {
        auto *self = static_cast<PushProbe *>(arg);
        if (!self->haveThread.load(std::memory_order_relaxed)) {
            self->receiveThread = pthread_self();
            self->haveThread.store(true, std::memory_order_release);
        }
        self->pushes.fetch_add(1, std::memory_order_relaxed);
    }
};

double threadCpuSeconds(pthread_t thread) {
    clockid_t clock;
    timespec now{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &now) != 0) {
        return 0.0;
    }
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Each iteration watches one second of the stream; forward kinematics runs per push.
void BM_ReceiveThreadCpuJointAnglePush1kHz(benchmark::State &state) {
    kezu_sim::ControllerConfig config;
    config.pushIntervalMs = 1;
    kezu_sim::KezuController controller(config);
    if (!controller.start()) {
        state.SkipWithError("counterpart did not start");
        return;
    }
    PushProbe probe;
    RobotControlServices services;
    services.robotServiceRegisterRealTimeRoadPointCallbackService(&PushProbe::onWaypoint, &probe);
    if (services.loginService("127.0.0.1", controller.port(), "kezu", "123456") != 0 ||
        services.setRealTimeJointAnglePush(true) != 0) {
        state.SkipWithError("login or push switch failed");
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    while (!probe.haveThread.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) {
            state.SkipWithError("no push arrived");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    double cpu = 0.0;
    double wall = 0.0;
    long pushes = 0;
    for (auto _ : state) {
        const double cpuBefore = threadCpuSeconds(probe.receiveThread);
        const long pushesBefore = probe.pushes.load();
        const auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        wall +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        cpu += threadCpuSeconds(probe.receiveThread) - cpuBefore;
        pushes += probe.pushes.load() - pushesBefore;
    }
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["pushes_per_s"] = static_cast<double>(pushes) / wall;
    state.counters["cpu_us_per_push"] = pushes > 0 ? 1e6 * cpu / static_cast<double>(pushes) : 0.0;
    services.setRealTimeJointAnglePush(false);
    services.logoutService();
    controller.stop();
}
BENCHMARK(BM_ReceiveThreadCpuJointAnglePush1kHz)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The engine's share of one push, without the link: decode, forward kinematics, callback.
void BM_JointAnglePushHandling(benchmark::State &state) {
    kezu::robot::common::ProtoJointAngleResponse push;
    kezu::robot::common::ProtoJointAngle *angles = push.mutable_jointangle();
    angles->set_joint1(0.1);
    angles->set_joint2(0.2);
    angles->set_joint3(0.3);
    angles->set_joint4(0.4);
    angles->set_joint5(0.5);
    angles->set_joint6(0.6);
    kezu::robot::common::RobotCommonResponse *error = push.add_errorinfo();
    error->set_errorcode(0);
    error->set_errormsg("");
    const int32_t type = CommunicationMateType::CommunicationType_RealTimeRobotJointAngle;
    std::string content(reinterpret_cast<const char *>(&type), sizeof(type));
    content += push.SerializeAsString();
    PushProbe probe;
    RobotControlServices services;
    services.robotServiceRegisterRealTimeRoadPointCallbackService(&PushProbe::onWaypoint, &probe);
    for (auto _ : state) {
        services.responseProcess(-1, content.data(), static_cast<int>(content.size()));
    }
    if (probe.pushes.load() != static_cast<long>(state.iterations())) {
        state.SkipWithError("a push did not reach the receiver");
    }
}
BENCHMARK(BM_JointAnglePushHandling);

}  // namespace
