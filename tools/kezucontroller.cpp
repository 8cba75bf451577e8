#include "kezucontroller.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

namespace kezu_sim {

namespace {

const int EVENT_COMMAND_TYPE = 2;
const int JOINT_STATUS_PUSH = 3;
const int JOINT_ANGLE_PUSH = 7;
const int END_SPEED_PUSH = 11;
const int EVENT_AT_TARGET = 22;
const int EVENT_STATE_CHANGED = 25;
const int ACCEPT_POLL_MS = 20;
// Out of descriptors or memory, the pending connection stays queued and poll keeps reporting
// it: wait a little instead of spinning on accept.
const auto ACCEPT_BACKOFF = std::chrono::milliseconds(50);

bool acceptFailureLasts(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

std::string eventPackage(const ControllerEvent &event) {
    return PackageFraming::encode(EVENT_COMMAND_TYPE, ControllerState::eventBody(event));
}

bool pushesOn(const Session &session) {
    return session.pushJointStatus || session.pushJointAngle || session.pushEndSpeed;
}

}  // namespace

KezuController::KezuController(const ControllerConfig &config)
    : m_config(config), m_state(config) {}

KezuController::~KezuController() { stop(); }

bool KezuController::start() {
    sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_config.port);
    if (inet_pton(AF_INET, m_config.address.c_str(), &addr.sin_addr) != 1) {
        return false;
    }
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        return false;
    }
    const int reuse = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    socklen_t length = sizeof(addr);
    if (bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) != 0 ||
        listen(m_listenFd, SOMAXCONN) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &length) != 0) {
        close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_port = ntohs(addr.sin_port);
    m_stopping = false;
    m_acceptThread = std::thread(&KezuController::acceptLoop, this);
    return true;
}

void KezuController::stop() {
    m_stopping = true;
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    if (m_listenFd != -1) {
        close(m_listenFd);
        m_listenFd = -1;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto &connection : m_connections) {
            closeLocked(*connection);
        }
    }
    m_changed.notify_all();
    for (auto &connection : m_connections) {
        connection->reader.join();
        connection->sender.join();
        close(connection->fd);
    }
    m_connections.clear();
}

void KezuController::acceptLoop() {
    while (!m_stopping) {
        reapFinished();
        pollfd listener{m_listenFd, POLLIN, 0};
        if (poll(&listener, 1, ACCEPT_POLL_MS) <= 0) {
            continue;
        }
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (acceptFailureLasts(errno)) {
                std::this_thread::sleep_for(ACCEPT_BACKOFF);
            }
            continue;
        }
        // Replies and events leave at once, as a controller's do, not behind an unacknowledged
        // segment.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        std::lock_guard<std::mutex> lock(m_mutex);
        auto connection = std::make_unique<Connection>();
        connection->id = static_cast<int>(++m_accepted);
        connection->fd = fd;
        connection->nextPush = Clock::now();
        Connection *raw = connection.get();
        m_connections.push_back(std::move(connection));
        raw->reader = std::thread(&KezuController::readLoop, this, raw);
        raw->sender = std::thread(&KezuController::sendLoop, this, raw);
        m_changed.notify_all();
    }
}

void KezuController::readLoop(Connection *connection) {
    for (;;) {
        ReceivedPackage package;
        if (PackageFraming::read(connection->fd, package) != PackageFraming::Package) {
            break;
        }
        handlePackage(*connection, package);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    closeLocked(*connection);
    ++connection->threadsDone;
}

void KezuController::reapFinished() {
    std::vector<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto done = std::stable_partition(
            m_connections.begin(), m_connections.end(),
            [](const std::unique_ptr<Connection> &c) { return c->threadsDone < 2; });
        std::move(done, m_connections.end(), std::back_inserter(finished));
        m_connections.erase(done, m_connections.end());
    }
    for (auto &connection : finished) {
        connection->reader.join();
        connection->sender.join();
        close(connection->fd);
    }
}

void KezuController::recordLocked(const ReceivedPackage &package) {
    m_received.push_back(package);
    m_receivedBytes += package.raw.size() + package.body.size();
    ++m_receivedCounts[package.commandType];
    while (m_received.size() > 1 &&
           (m_received.size() > MAX_RECORDED_PACKAGES || m_receivedBytes > MAX_RECORDED_BYTES)) {
        m_receivedBytes -= m_received.front().raw.size() + m_received.front().body.size();
        m_received.pop_front();
    }
}

void KezuController::handlePackage(Connection &connection, const ReceivedPackage &package) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ReceivedPackage recorded = package;
    recorded.connection = connection.id;
    recordLocked(recorded);

    ReplyFault fault;
    auto found = m_faults.find(package.commandType);
    if (found != m_faults.end()) {
        fault = found->second;
    }
    const Clock::time_point now = Clock::now();
    Outcome outcome =
        m_state.handle(package.commandType, package.body, connection.session, fault.errorCode, now);
    if (fault.rewriteBody && outcome.reply) {
        outcome.body = fault.rewriteBody(outcome.body);
    }
    // The reply goes first; the events it causes follow it on the link.
    const Clock::time_point due = now + fault.delay;
    if (outcome.reply && fault.eventBefore) {
        enqueueLocked(connection, due, {eventPackage(*fault.eventBefore)});
    }
    if (outcome.reply && !fault.drop) {
        const Outgoing reply{
            PackageFraming::encode(package.commandType, fault.emptyBody ? "" : outcome.body)};
        enqueueLocked(connection, due, reply);
        if (fault.twice) {
            enqueueLocked(connection, due, reply);
        }
    }
    if (!fault.withholdEvents) {
        for (const ControllerEvent &event : outcome.events) {
            // An arm reports itself stopped only once it has braked.
            const auto braking = event.type == EVENT_STATE_CHANGED
                                     ? std::chrono::milliseconds(m_config.brakeMs)
                                     : std::chrono::milliseconds(0);
            enqueueLocked(connection, due + braking, {eventPackage(event)});
        }
    }
    if (outcome.moveStarted && m_closeOnNextMove) {
        m_closeOnNextMove = false;
        connection.closeWhenFlushed = true;
    }
    m_changed.notify_all();
}

void KezuController::enqueueLocked(Connection &connection, Clock::time_point due, Outgoing item) {
    const std::string &endMarker = m_config.endMarker;
    if (item.package && item.bytes.size() >= endMarker.size()) {
        item.bytes.replace(item.bytes.size() - endMarker.size(), endMarker.size(), endMarker);
    }
    if (!connection.closed) {
        connection.outgoing.emplace(due, std::move(item));
    }
}

void KezuController::enqueueAllLocked(const Outgoing &item) {
    const Clock::time_point now = Clock::now();
    for (auto &connection : m_connections) {
        enqueueLocked(*connection, now, item);
    }
    m_changed.notify_all();
}

void KezuController::schedulePushesLocked(Connection &connection, Clock::time_point now) {
    const Session &session = connection.session;
    if (!pushesOn(session) || now < connection.nextPush) {
        return;
    }
    if (session.pushJointStatus) {
        enqueueLocked(
            connection, now,
            {PackageFraming::encode(JOINT_STATUS_PUSH, m_state.jointStatusPush(session, now))});
    }
    if (session.pushJointAngle) {
        enqueueLocked(
            connection, now,
            {PackageFraming::encode(JOINT_ANGLE_PUSH, m_state.jointAnglePush(session, now))});
    }
    if (session.pushEndSpeed) {
        enqueueLocked(connection, now,
                      {PackageFraming::encode(END_SPEED_PUSH, m_state.endSpeedPush(session, now))});
    }
    connection.nextPush = now + std::chrono::milliseconds(m_config.pushIntervalMs);
}

Clock::time_point KezuController::nextWakeLocked(const Connection &connection) const {
    Clock::time_point wake = Clock::time_point::max();
    if (!connection.outgoing.empty()) {
        wake = connection.outgoing.begin()->first;
    }
    const Session &session = connection.session;
    if (pushesOn(session)) {
        wake = std::min(wake, connection.nextPush);
    }
    if (auto arrival = m_state.arrivalTime(session)) {
        wake = std::min(wake, *arrival);
    }
    return wake;
}

void KezuController::sendLoop(Connection *connection) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!connection->closed) {
        const Clock::time_point now = Clock::now();
        if (m_state.finishMotion(connection->session, now)) {
            enqueueLocked(*connection, now,
                          {eventPackage({EVENT_AT_TARGET, 0, "at target position"})});
        }
        schedulePushesLocked(*connection, now);
        std::vector<Outgoing> due;
        while (!connection->outgoing.empty() && connection->outgoing.begin()->first <= now) {
            due.push_back(std::move(connection->outgoing.begin()->second));
            connection->outgoing.erase(connection->outgoing.begin());
        }
        if (!due.empty()) {
            for (Outgoing &item : due) {
                if (item.package && !connection->garbage.empty()) {
                    item.bytes = connection->garbage + item.bytes;
                    connection->garbage.clear();
                }
            }
            // Only this thread writes to the connection, so the order holds without the lock.
            lock.unlock();
            bool ok = true;
            for (const Outgoing &item : due) {
                ok = ok && (item.urgent ? send(connection->fd, item.bytes.data(), 1,
                                               MSG_OOB | MSG_NOSIGNAL) == 1
                                        : sendAll(connection->fd, item.bytes));
            }
            lock.lock();
            if (!ok) {
                closeLocked(*connection);
            }
            continue;
        }
        if (connection->closeWhenFlushed && connection->outgoing.empty()) {
            closeLocked(*connection);
            break;
        }
        const Clock::time_point wake = nextWakeLocked(*connection);
        if (wake == Clock::time_point::max()) {
            m_changed.wait(lock);
        } else {
            m_changed.wait_until(lock, wake);
        }
    }
    ++connection->threadsDone;
}

void KezuController::closeLocked(Connection &connection) {
    if (!connection.closed) {
        connection.closed = true;
        connection.outgoing.clear();
        // The peer sees the close at once; the number stays ours until the threads end.
        shutdown(connection.fd, SHUT_RDWR);
    }
    m_changed.notify_all();
}

void KezuController::setReplyFault(int commandType, const ReplyFault &fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[commandType] = fault;
}

void KezuController::clearReplyFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

void KezuController::sendGarbageBeforeNextPackage(const std::string &bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto &connection : m_connections) {
        connection->garbage += bytes;
    }
}

void KezuController::sendBadLengthPackage(int32_t lengthField, int32_t commandType,
                                          const std::string &body) {
    std::lock_guard<std::mutex> lock(m_mutex);
    enqueueAllLocked({PackageFraming::encodeWithLength(lengthField, commandType, body)});
}

void KezuController::closeConnectionsNow() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto &connection : m_connections) {
        closeLocked(*connection);
    }
}

void KezuController::closeOnNextMove() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closeOnNextMove = true;
}

void KezuController::sendRaw(const std::string &bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    enqueueAllLocked({bytes, false, false});
}

void KezuController::sendUrgentByte(char byte) {
    std::lock_guard<std::mutex> lock(m_mutex);
    enqueueAllLocked({std::string(1, byte), true, false});
}

void KezuController::sendEvent(int type, int code, const std::string &content) {
    std::lock_guard<std::mutex> lock(m_mutex);
    enqueueAllLocked({eventPackage({type, code, content})});
}

std::vector<ReceivedPackage> KezuController::received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::vector<ReceivedPackage>(m_received.begin(), m_received.end());
}

size_t KezuController::countLocked(int commandType) const {
    auto found = m_receivedCounts.find(commandType);
    return found == m_receivedCounts.end() ? 0 : found->second;
}

size_t KezuController::openLocked() const {
    size_t open = 0;
    for (const auto &connection : m_connections) {
        open += connection->closed ? 0 : 1;
    }
    return open;
}

std::vector<ReceivedPackage> KezuController::received(int commandType) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<ReceivedPackage> out;
    for (const ReceivedPackage &package : m_received) {
        if (package.commandType == commandType) {
            out.push_back(package);
        }
    }
    return out;
}

void KezuController::clearReceived() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
    m_receivedBytes = 0;
    m_receivedCounts.clear();
}

bool KezuController::waitForPackages(int commandType, size_t count,
                                     std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return countLocked(commandType) >= count; });
}

size_t KezuController::openConnections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return openLocked();
}

size_t KezuController::acceptedConnections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_accepted;
}

bool KezuController::waitForOpenConnections(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return openLocked() == count; });
}

Joints KezuController::joints() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.joints();
}

Pose KezuController::pose() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.pose();
}

void KezuController::setJoints(const Joints &joints) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setJoints(joints);
}

void KezuController::setBoardDI(int addr, uint32_t value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setBoardDI(addr, value);
}

void KezuController::setBoardAI(int addr, float value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setBoardAI(addr, value);
}

void KezuController::setToolAI(int index, float value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setToolAI(index, value);
}

void KezuController::limitIoList(int commandType, size_t count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.limitIoList(commandType, count);
}

}  // namespace kezu_sim
