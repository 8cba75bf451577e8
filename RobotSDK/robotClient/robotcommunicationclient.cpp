#include "robotcommunicationclient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "KezuRobotMetaType.h"
#include "globalutil.h"
#include "packagereader.h"
#include "protoencodedecode.h"

using namespace kezu_robot_logtrace;

const unsigned char RobotCommunicationClient::ROBOT_COMMAND_SOF[ROBOT_COMMAND_SOF_BYTE] = {
    0xEE, 0xCC, 0xFF, 0xFF};
const unsigned char RobotCommunicationClient::ROBOT_COMMAND_CRC[ROBOT_COMMAND_CRC_BYTE] = {
    0x00, 0x00, 0x00, 0x00};
const unsigned char RobotCommunicationClient::ROBOT_COMMAND_END[ROBOT_COMMAND_END_BYTE] = {
    0xFF, 0xFF, 0xFF, 0xFF};

namespace {

const int CONNECT_FAILED = kezu_robot_namespace::ErrCode_Failed;
const int RECV_TIMEOUT_SEC = 2;
const int SEND_TIMEOUT_SEC = 3;
const int POLL_TIMEOUT_MSEC = 10;
// How soon a connect under way notices a disconnect.
const int CONNECT_SLICE_MSEC = 20;
// A failed read never reports more than this, so it cannot pass for a package.
const int MAX_FAILED_READ_RESULT = 8;
// The receive thread's staging area: the largest package and one receive chunk.
const int STAGING_SIZE =
    PackageReader::stagingSize(RobotCommunicationClient::RECV_BUFFER_SIZE,
                               RobotCommunicationClient::SIGNLE_PACKAGE_MESSAGE_LEN);
// Room for the link-loss event package.
const int EVENT_PACKAGE_SIZE = 256;

void setSocketTimeouts(int fd) {
    timeval recvTimeout{RECV_TIMEOUT_SEC, 0};
    timeval sendTimeout{SEND_TIMEOUT_SEC, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &recvTimeout, sizeof(recvTimeout));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
}

bool peerHasClosed(int fd) {
    pollfd entry{fd, POLLRDHUP, 0};
    return poll(&entry, 1, 0) == 1 && (entry.revents & (POLLRDHUP | POLLHUP)) != 0;
}

}  // namespace

// Owns one socket descriptor. Everything that uses the number holds a reference, so the number
// is closed, and may be handed out again, only when nothing can still send or read on it.
class RobotCommunicationClient::LinkSocket {
public:
    explicit LinkSocket(int fd) : m_fd(fd) {}
    ~LinkSocket() { close(m_fd); }
    LinkSocket(const LinkSocket &) = delete;
    LinkSocket &operator=(const LinkSocket &) = delete;
    int fd() const { return m_fd; }
    // Ends both directions: blocked sends and the receive thread's wait return at once.
    void shutDown() const { shutdown(m_fd, SHUT_RDWR); }

private:
    const int m_fd;
};

// One connection and its receive thread, from connect until the thread is joined.
struct RobotCommunicationClient::Link {
    SocketPtr socket;  // dropped by the receive thread when it ends
    pthread_t thread{};
    std::unique_ptr<char[]> buffer;  // staging area of the receive thread
    char eventPackage[EVENT_PACKAGE_SIZE];
    std::atomic<bool> stopRequested{false};  // ended by a disconnect: no link-loss event
    std::atomic<bool> finished{false};       // the thread is past its last lock
    bool joining = false;
};

RobotCommunicationClient::RobotCommunicationClient() { initClassProfile(); }

RobotCommunicationClient::~RobotCommunicationClient() {
    disconnectRobotServer();
    // Sends under way fail at once on the shut socket; wait for them to leave the object.
    std::unique_lock<std::mutex> lock(m_linkMutex);
    m_linkChanged.wait(lock, [this] { return m_sendersInside == 0; });
}

void RobotCommunicationClient::initClassProfile() {
    m_threadId = 0;
    m_serverIP = "127.0.0.1";
    m_serverport = 8899;
    m_socketFd = -1;
    m_recvBuffer.reset(new char[STAGING_SIZE]);
    m_sendBuffer.reset(new char[SEND_BUFFER_SIZE]());
    m_connectStatus = false;
}

void RobotCommunicationClient::setServerIP(const std::string &serverIP) {
    std::lock_guard<std::mutex> lock(m_linkMutex);
    m_serverIP = serverIP;
}

void RobotCommunicationClient::setServerPort(int port) {
    std::lock_guard<std::mutex> lock(m_linkMutex);
    m_serverport = port;
}

void RobotCommunicationClient::setWriteHook(WriteHook hook, void *context) {
    std::lock_guard<std::mutex> lock(m_sendRequestMutex);
    m_writeHook = hook;
    m_writeHookContext = context;
}

bool RobotCommunicationClient::getCurrentConnectStatus() { return m_connectStatus; }

unsigned long RobotCommunicationClient::getLinkLossCount() const { return m_linkLossCount; }

int RobotCommunicationClient::connectRobotServer() {
    return connectCommunicationServer() == 0 ? 0 : CONNECT_FAILED;
}

int RobotCommunicationClient::disconnectRobotServer() {
    disconnectCommunicationServer();
    return 0;
}

int RobotCommunicationClient::connectCommunicationServer() {
    std::string serverIP;
    int port = 0;
    {
        std::lock_guard<std::mutex> lock(m_linkMutex);
        // Also refused on the live link's own receive thread (its link is current); the thread
        // of a link that has ended may connect again, as a link-loss callback does.
        if (m_link || m_connecting) {
            return CONNECT_FAILED;
        }
        joinFinishedLocked();
        m_connecting = true;
        m_connectCancelled = false;
        serverIP = m_serverIP;
        port = m_serverport;
    }
    const int fd = openConnectedSocket(serverIP, port);
    std::lock_guard<std::mutex> lock(m_linkMutex);
    m_connecting = false;
    m_linkChanged.notify_all();
    if (fd < 0) {
        return CONNECT_FAILED;
    }
    auto link = std::make_shared<Link>();
    link->socket = std::make_shared<LinkSocket>(fd);
    if (m_connectCancelled) {
        // A disconnect came while connecting: it must not find a link once it has returned.
        return CONNECT_FAILED;
    }
    link->buffer =
        m_recvBuffer ? std::move(m_recvBuffer) : std::unique_ptr<char[]>(new char[STAGING_SIZE]);
    // The new thread looks its link up under the lock, so it is published before it runs.
    if (pthread_create(&link->thread, nullptr, eventLoopThread, this) != 0) {
        // A link without its reader would only time out every request.
        W_ERROR("sdk communication log: Create receive thread failed.");
        m_recvBuffer = std::move(link->buffer);
        return CONNECT_FAILED;
    }
    m_link = link;
    m_threadId = link->thread;
    m_socketFd = fd;
    m_connectStatus = true;
    return 0;
}

void RobotCommunicationClient::disconnectCommunicationServer() {
    std::unique_lock<std::mutex> lock(m_linkMutex);
    m_connectCancelled = m_connecting;
    // A callback may connect again while its old thread is joined: repeat until nothing is left.
    for (;;) {
        if (m_link) {
            retireLinkLocked(true);
            lock.unlock();
            linkLost();
            lock.lock();
            continue;
        }
        if (m_connecting) {
            m_linkChanged.wait(lock);
            continue;
        }
        if (!joinRetired(lock)) {
            break;
        }
    }
}

void RobotCommunicationClient::retireLinkLocked(bool stop) {
    m_link->stopRequested = m_link->stopRequested || stop;
    m_link->socket->shutDown();
    m_retired.push_back(std::move(m_link));
    m_link.reset();
    m_threadId = 0;
    m_socketFd = -1;
    m_connectStatus = false;
    ++m_linkLossCount;
    m_linkChanged.notify_all();
}

// A finished link's thread may be joined already and its id handed to a new thread.
bool RobotCommunicationClient::runsOn(const Link &link, pthread_t thread) {
    return !link.finished && pthread_equal(link.thread, thread);
}

void RobotCommunicationClient::releaseJoinedLocked(const LinkPtr &link) {
    if (!m_recvBuffer) {
        m_recvBuffer = std::move(link->buffer);
    }
    m_retired.erase(std::remove(m_retired.begin(), m_retired.end(), link), m_retired.end());
}

void RobotCommunicationClient::joinFinishedLocked() {
    // A finished thread has only its return left, so joining it here cannot wait on anyone.
    std::vector<LinkPtr> finished;
    for (const LinkPtr &link : m_retired) {
        if (link->finished && !link->joining) {
            finished.push_back(link);
        }
    }
    for (const LinkPtr &link : finished) {
        pthread_join(link->thread, nullptr);
        releaseJoinedLocked(link);
    }
}

// Joins every ending thread but the caller's own; false when nothing is left to wait for.
bool RobotCommunicationClient::joinRetired(std::unique_lock<std::mutex> &lock) {
    const pthread_t self = pthread_self();
    std::vector<LinkPtr> mine;
    bool othersJoining = false;
    for (const LinkPtr &link : m_retired) {
        if (runsOn(*link, self)) {
            continue;  // a callback's own thread ends when the callback returns
        }
        if (link->joining) {
            othersJoining = true;
        } else {
            link->joining = true;
            mine.push_back(link);
        }
    }
    if (mine.empty()) {
        if (othersJoining) {
            // Another disconnect joins it; return only once that thread is gone too.
            m_linkChanged.wait(lock);
        }
        return othersJoining;
    }
    lock.unlock();
    for (const LinkPtr &link : mine) {
        pthread_join(link->thread, nullptr);
    }
    lock.lock();
    for (const LinkPtr &link : mine) {
        releaseJoinedLocked(link);
    }
    m_linkChanged.notify_all();
    return true;
}

namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits for a non-blocking connect to finish within the time-out; a signal only resumes the
// wait, and a disconnect meanwhile gives up within one slice.
bool waitConnected(int fd, const std::atomic<bool> &cancelled) {
    const SteadyClock::time_point deadline =
        SteadyClock::now() + std::chrono::seconds(SEND_TIMEOUT_SEC);
    while (!cancelled) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd entry{fd, POLLOUT, 0};
        const int ret = poll(
            &entry, 1, static_cast<int>(std::min<long long>(left.count(), CONNECT_SLICE_MSEC)));
        if (ret < 0 && errno != EINTR) {
            W_ERROR("sdk communication log:  select error, ret=%d.", ret);
            return false;
        }
        if (ret > 0) {
            int error = 0;
            socklen_t length = sizeof(error);
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            errno = error;
            return error == 0;
        }
    }
    errno = ECANCELED;
    return false;
}

}  // namespace

int RobotCommunicationClient::openConnectedSocket(const std::string &serverIP, int port) {
    // A port beyond 16 bits would be cut to another one: refuse it rather than connect there.
    if (port < 1 || port > 65535) {
        W_ERROR("sdk communication log: Invalid server port %d.", port);
        return -1;
    }
    sockaddr_in serverAddr;
    memset(&serverAddr, 0, sizeof(serverAddr));
    serverAddr.sin_family = AF_INET;
    serverAddr.sin_port = htons(static_cast<uint16_t>(port));
    // An address that does not parse would mean 0.0.0.0, which reaches this very host:
    // refuse it rather than talk to a controller the caller did not name.
    if (inet_pton(AF_INET, serverIP.c_str(), &serverAddr.sin_addr) != 1) {
        W_ERROR("sdk communication log: Invalid server address %s.", serverIP.c_str());
        return -1;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        W_ERROR("sdk communication log: Create socket failed, errno=%d.", errno);
        return -1;
    }
    setSocketTimeouts(fd);
    // Connected without blocking, so the wait can outlast signals and see a disconnect.
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    bool connected =
        connect(fd, reinterpret_cast<sockaddr *>(&serverAddr), sizeof(serverAddr)) == 0;
    if (!connected && (errno == EINPROGRESS || errno == EINTR)) {
        connected = waitConnected(fd, m_connectCancelled);
    }
    if (!connected) {
        W_ERROR("sdk communication log: Connect %s:%d failed, errno=%d.", serverIP.c_str(), port,
                errno);
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, flags);
    // A stop must not wait in the kernel behind another request's unacknowledged segment.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    return fd;
}

int RobotCommunicationClient::sendCommunicationData(int sockfd, const char *buff, int len) {
    int sent = 0;
    return sendCounted(sockfd, buff, len, sent);
}

// The chunked send; sent tells how much went out, also when it failed part-way.
int RobotCommunicationClient::sendCounted(int sockfd, const char *buff, int len, int &sent) {
    sent = 0;
    while (sent < len) {
        const int chunk = std::min(len - sent, static_cast<int>(SIGNLE_PACKAGE_MESSAGE_LEN));
        // No SIGPIPE: a peer that went away must give a failed send, not end the process.
        const ssize_t ret = send(sockfd, buff + sent, chunk, MSG_NOSIGNAL);
        if (ret == -1 && errno == EINTR) {
            continue;
        }
        if (ret <= 0) {
            return static_cast<int>(ret);
        }
        sent += static_cast<int>(ret);
    }
    return sent;
}

int RobotCommunicationClient::recvMessageBaseMethed(int sockfd, void *buff, unsigned len,
                                                    int flags) {
    char *out = static_cast<char *>(buff);
    unsigned total = 0;
    while (total < len) {
        const unsigned chunk =
            std::min(len - total, static_cast<unsigned>(SIGNLE_PACKAGE_MESSAGE_LEN));
        const ssize_t ret = recv(sockfd, out + total, chunk, flags);
        if (ret == -1 && errno == EINTR) {
            continue;
        }
        if (ret <= 0) {
            return static_cast<int>(ret);
        }
        total += static_cast<unsigned>(ret);
    }
    return static_cast<int>(total);
}

int RobotCommunicationClient::recvPeek(int sockfd, void *buff, unsigned len) {
    for (;;) {
        // With MSG_WAITALL the peek waits, within the receive time-out, until len bytes are
        // queued; every attempt copies from the head of the stream.
        const ssize_t ret = recv(sockfd, buff, len, MSG_PEEK | MSG_WAITALL);
        if (ret == static_cast<ssize_t>(len) || ret == 0) {
            return static_cast<int>(ret);
        }
        if (ret == -1 && errno == EINTR) {
            continue;
        }
        // Fewer bytes than asked: the time-out expired, or the peer has closed and the bytes
        // still queued can never grow to len. The latter counts as a peer close; reporting
        // it as an error would have the loop peek the same bytes again without end.
        return peerHasClosed(sockfd) ? 0 : -1;
    }
}

int RobotCommunicationClient::recvCommunicationData(int sockfd, void *buff, unsigned len) {
    return recvMessageBaseMethed(sockfd, buff, len, 0);
}

int RobotCommunicationClient::recvRobotMessageHead(int socket) {
    // Every byte looked at is consumed: a reader that waits on a peek for the rest of a marker
    // can wait for good once flow control holds those bytes back behind a full queue.
    unsigned char window[ROBOT_COMMAND_SOF_BYTE];
    unsigned have = 0;
    bool skipped = false;
    for (;;) {
        const int ret = recvCommunicationData(socket, window + have, ROBOT_COMMAND_SOF_BYTE - have);
        if (ret <= 0) {
            return ret;
        }
        if (memcmp(window, ROBOT_COMMAND_SOF, ROBOT_COMMAND_SOF_BYTE) == 0) {
            return ROBOT_COMMAND_SOF_BYTE;
        }
        if (!skipped) {
            W_ERROR("sdk communication log: Recv Header error.");
            skipped = true;
        }
        // Not a start marker: drop one byte and look again from the next.
        memmove(window, window + 1, ROBOT_COMMAND_SOF_BYTE - 1);
        have = ROBOT_COMMAND_SOF_BYTE - 1;
    }
}

int RobotCommunicationClient::recvRobotCommunicationPackage(int sockfd, char *recvBuffer,
                                                            int bufferSize) {
    memset(recvBuffer, 0, bufferSize);
    int written = 0;
    return readPackage(sockfd, recvBuffer, bufferSize, written);
}

// written: how many bytes of the buffer the read may have filled.
int RobotCommunicationClient::readPackage(int sockfd, char *recvBuffer, int bufferSize,
                                          int &written) {
    written = 0;
    bool failed = false;
    int ret = recvRobotMessageHead(sockfd);
    if (ret != ROBOT_COMMAND_SOF_BYTE) {
        W_ERROR("sdk communication log: Recv Header error.");
        failed = true;
    }
    int32_t length = 0;
    if (!failed) {
        ret = recvCommunicationData(sockfd, &length, ROBOT_COMMAND_LEN_BYTE);
    }
    if (failed || ret != ROBOT_COMMAND_LEN_BYTE) {
        W_ERROR("sdk communication log: Recv lengthBlock error.");
        failed = true;
    }
    if (!failed && (length < MIN_LENGTH_FIELD || length > bufferSize)) {
        // Too short to hold a command type and the trailing fields, or longer than the
        // buffer: skip it; the reader resynchronises on the next start marker.
        W_ERROR("sdk communication log: Refused package length %d.", length);
        failed = true;
    }
    if (!failed) {
        // Received without peeking it first, so a body larger than the socket's receive
        // queue still arrives.
        written = length;
        ret = recvCommunicationData(sockfd, recvBuffer, static_cast<unsigned>(length));
        if (ret == length) {
            return ret;
        }
    }
    W_ERROR("sdk communication log:  Recv text block error.");
    return std::min(ret, MAX_FAILED_READ_RESULT);
}

bool RobotCommunicationClient::encodeAndSendCommunicationPackage(
    const CommunicationRequest &request) {
    return sendOnLink(-1, request);
}

bool RobotCommunicationClient::encodeAndSendCommunicationPackage(
    int fd, const CommunicationRequest &request) {
    return sendOnLink(fd, request);
}

// fd -1: the link's socket. Another number is refused unless it is the link's own: an older
// one may belong to another file by now.
bool RobotCommunicationClient::sendOnLink(int fd, const CommunicationRequest &request) {
    SocketPtr socket;
    {
        std::lock_guard<std::mutex> lock(m_linkMutex);
        ++m_sendersInside;
        if (m_link && (fd == -1 || m_link->socket->fd() == fd)) {
            socket = m_link->socket;
        }
    }
    const bool sent = sendOnSocket(socket, request);
    socket.reset();
    std::lock_guard<std::mutex> lock(m_linkMutex);
    // Only the destructor waits for the senders, and only for the last one to leave.
    if (--m_sendersInside == 0) {
        m_linkChanged.notify_all();
    }
    return sent;
}

bool RobotCommunicationClient::sendOnSocket(const SocketPtr &socket,
                                            const CommunicationRequest &request) {
    std::lock_guard<std::mutex> lock(m_sendRequestMutex);
    if (!socket) {
        W_ERROR("sdk communication log: Socket send messages error. errorcode=%d", -1);
        return false;
    }
    return writePackageLocked(*socket, request);
}

bool RobotCommunicationClient::writePackageLocked(const LinkSocket &socket,
                                                  const CommunicationRequest &request) {
    const int bodyLength = request.m_textLength;
    if (bodyLength < 0 || bodyLength > MAX_SEND_LENGTH_FIELD - MIN_LENGTH_FIELD ||
        (bodyLength > 0 && request.m_textPtr == nullptr)) {
        W_ERROR("sdk communication log: The message size is larger than the specified size.");
        return false;
    }
    const int32_t length = bodyLength + MIN_LENGTH_FIELD;
    const int32_t commandType = static_cast<int32_t>(request.m_commandType);
    char *out = m_sendBuffer.get();
    int offset = 0;
    auto put = [&out, &offset](const void *bytes, int count) {
        memcpy(out + offset, bytes, count);
        offset += count;
    };
    put(ROBOT_COMMAND_SOF, ROBOT_COMMAND_SOF_BYTE);
    put(&length, ROBOT_COMMAND_LEN_BYTE);
    put(&commandType, sizeof(commandType));
    if (bodyLength > 0) {
        put(request.m_textPtr, bodyLength);
    }
    put(ROBOT_COMMAND_CRC, ROBOT_COMMAND_CRC_BYTE);
    put(ROBOT_COMMAND_END, ROBOT_COMMAND_END_BYTE);

    if (m_writeHook != nullptr) {
        m_writeHook(m_writeHookContext);
    }
    int sent = 0;
    const int ret = sendCounted(socket.fd(), out, offset, sent);
    if (ret == offset) {
        return true;
    }
    W_ERROR("sdk communication log: Socket send messages error. errorcode=%d", ret);
    if (sent > 0) {
        // The peer would read every later package as the rest of this one: end the link, and
        // the receive thread reports its loss.
        W_ERROR("sdk communication log: Package cut after %d of %d bytes, link closed.", sent,
                offset);
        socket.shutDown();
    }
    return false;
}

bool RobotCommunicationClient::makeDisconnectEventCommunicationPackage(char *buff, int bufferSize,
                                                                       int *buffValidSize) {
    memset(buff, 0, bufferSize);
    const int32_t commandType = CommunicationMateType::CommunicationType_Event;
    memcpy(buff, &commandType, sizeof(commandType));

    kezu_robot_namespace::RobotEventInfo event;
    event.eventType = kezu_robot_namespace::RobotEvent_socketDisconnected;
    event.eventCode = 0;
    event.eventContent = "Server disconnected.";
    int size = bufferSize - static_cast<int>(sizeof(commandType));
    const bool ok = ProtoEncodeDecode::getResponse_Event(buff + sizeof(commandType), &size, event);
    *buffValidSize = static_cast<int>(sizeof(commandType)) + (ok ? size : 0);
    return ok;
}

void RobotCommunicationClient::postDisconnectEvent(int socketFd, Link &link) {
    // Built apart from the staging area, which may hold the start of the next package.
    int size = 0;
    makeDisconnectEventCommunicationPackage(link.eventPackage, EVENT_PACKAGE_SIZE, &size);
    responseProcess(socketFd, link.eventPackage, size);
}

void RobotCommunicationClient::discardUrgentData(int sockfd) {
    // Reading the urgent byte clears the exceptional condition, so one condition posts one
    // event instead of one per pass of the loop.
    char urgent;
    while (recv(sockfd, &urgent, 1, MSG_OOB | MSG_DONTWAIT) == -1 && errno == EINTR) {
    }
}

void RobotCommunicationClient::handlePeerClosed(Link &link) {
    bool retired = false;
    {
        std::lock_guard<std::mutex> lock(m_linkMutex);
        if (m_link.get() == &link) {
            retireLinkLocked(false);
            retired = true;
        }
    }
    // A disconnect that retired it first has ended its waits itself.
    if (retired) {
        linkLost();
    }
    W_ERROR("sdk communication log: recv return 0, Server disconnenct.");
    postDisconnectEvent(-1, link);
}

RobotCommunicationClient::LinkPtr RobotCommunicationClient::linkOfThisThread() {
    std::lock_guard<std::mutex> lock(m_linkMutex);
    const pthread_t self = pthread_self();
    if (m_link && runsOn(*m_link, self)) {
        return m_link;
    }
    for (const LinkPtr &link : m_retired) {
        if (runsOn(*link, self)) {
            return link;
        }
    }
    return LinkPtr();
}

void RobotCommunicationClient::recvCommunicationPackageLoop() {
    const LinkPtr link = linkOfThisThread();
    if (link) {
        receiveLoop(*link);
        std::lock_guard<std::mutex> lock(m_linkMutex);
        link->socket.reset();
    }
    W_INFO("sdk communication log: event loop thread exit.");
    if (link) {
        link->finished = true;
    }
}

void RobotCommunicationClient::receiveLoop(Link &link) {
    const int fd = link.socket->fd();
    PackageReader reader(link.buffer.get(), STAGING_SIZE, RECV_BUFFER_SIZE);
    SteadyClock::time_point lastArrival;
    // A stall is logged once: the first bytes of a start marker kept then wait for the rest.
    bool stallLogged = false;
    while (!link.stopRequested) {
        // poll rather than select: a select set cannot hold a descriptor numbered
        // FD_SETSIZE or above, which a process with many open files hands out.
        // POLLPRI is select's exceptional condition (urgent data).
        pollfd entry{fd, POLLIN | POLLPRI, 0};
        const int ret = poll(&entry, 1, POLL_TIMEOUT_MSEC);
        if (ret < 0) {
            if (errno != EINTR) {
                W_ERROR("sdk communication log:  select error, ret=%d.", ret);
            }
            continue;
        }
        if (link.stopRequested) {
            // Everything whole went out before this wait: what is staged is a package cut by
            // the logout, logged as a reader waiting inside it would.
            if (reader.holdsPartial()) {
                reader.abandon();
            }
            break;
        }
        bool arrived = false;
        // A hang-up or error shows as readable, as select reports it: the receive then fails.
        if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            int room = 0;
            char *space = reader.freeSpace(SIGNLE_PACKAGE_MESSAGE_LEN, room);
            // Never blocks: urgent data alone also wakes the poll.
            const ssize_t n = recv(fd, space, static_cast<size_t>(room), MSG_DONTWAIT);
            if (n == 0) {
                deliverCutPackages(link, reader, PackageCut::Close);
                if (!link.stopRequested) {
                    handlePeerClosed(link);
                }
                break;
            }
            if (n > 0) {
                arrived = true;
                stallLogged = false;
                reader.received(static_cast<int>(n));
                deliverPackages(link, reader);
                if (reader.holdsPartial()) {
                    lastArrival = SteadyClock::now();
                }
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                deliverCutPackages(link, reader, PackageCut::Error);
            }
        }
        if ((entry.revents & POLLPRI) != 0 && !link.stopRequested) {
            discardUrgentData(fd);
            postDisconnectEvent(fd, link);
        }
        if (!arrived && !stallLogged && reader.holdsPartial() &&
            SteadyClock::now() - lastArrival >= std::chrono::seconds(RECV_TIMEOUT_SEC)) {
            deliverCutPackages(link, reader, PackageCut::Stall);
            stallLogged = true;
        }
    }
}

void RobotCommunicationClient::deliverPackages(Link &link, PackageReader &reader) {
    const int fd = link.socket->fd();
    const char *package = nullptr;
    int length = 0;
    // Every package already staged goes out before the next wait on the socket.
    while (!link.stopRequested && reader.nextPackage(package, length)) {
        responseProcess(fd, package, length - (ROBOT_COMMAND_CRC_BYTE + ROBOT_COMMAND_END_BYTE));
    }
}

// The stream stalled for the receive time-out, failed or ended inside a package: that package
// is refused, and the whole ones among the bytes it had taken still go out, in order.
void RobotCommunicationClient::deliverCutPackages(Link &link, PackageReader &reader,
                                                  PackageCut cause) {
    while (!link.stopRequested && reader.holdsPartial() && reader.refuseCutPackage(cause)) {
        deliverPackages(link, reader);
    }
}

void *RobotCommunicationClient::eventLoopThread(void *arg) {
    if (arg == nullptr) {
        return nullptr;
    }
    static_cast<RobotCommunicationClient *>(arg)->recvCommunicationPackageLoop();
    return nullptr;
}
