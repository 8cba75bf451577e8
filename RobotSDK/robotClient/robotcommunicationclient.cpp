#include "robotcommunicationclient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "KezuRobotMetaType.h"
#include "globalutil.h"
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
// A failed read never reports more than this, so it cannot pass for a package.
const int MAX_FAILED_READ_RESULT = 8;

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

RobotCommunicationClient::RobotCommunicationClient() { initClassProfile(); }

RobotCommunicationClient::~RobotCommunicationClient() { disconnectRobotServer(); }

void RobotCommunicationClient::initClassProfile() {
    m_threadId = 0;
    m_serverIP = "127.0.0.1";
    m_serverport = 8899;
    m_socketFd = -1;
    m_recvBuffer.reset(new char[RECV_BUFFER_SIZE]());
    m_sendBuffer.reset(new char[SEND_BUFFER_SIZE]());
    m_connectStatus = false;
    m_stopRequested = false;
}

void RobotCommunicationClient::setServerIP(const std::string &serverIP) { m_serverIP = serverIP; }

void RobotCommunicationClient::setServerPort(int port) { m_serverport = port; }

bool RobotCommunicationClient::getCurrentConnectStatus() { return m_connectStatus; }

int RobotCommunicationClient::connectRobotServer() {
    if (m_connectStatus) {
        return CONNECT_FAILED;
    }
    if (onReceiveThread()) {
        // The running loop would go on reading the new socket beside the new thread.
        W_ERROR("sdk communication log: Connect refused on the receive thread.");
        return CONNECT_FAILED;
    }
    // A thread left behind by a peer close has finished its work; collect it before its
    // buffer is shared with a new one.
    joinFinishedReceiveThread();
    if (connectCommunicationServer() != 0) {
        return CONNECT_FAILED;
    }
    m_stopRequested = false;
    m_connectStatus = true;
    if (pthread_create(&m_threadId, nullptr, eventLoopThread, this) != 0) {
        // A link without its reader would only time out every request.
        W_ERROR("sdk communication log: Create receive thread failed.");
        m_threadId = 0;
        std::lock_guard<std::mutex> lock(m_sendRequestMutex);
        closeSocketLocked();
        return CONNECT_FAILED;
    }
    return 0;
}

int RobotCommunicationClient::disconnectRobotServer() {
    disconnectCommunicationServer();
    return 0;
}

void RobotCommunicationClient::disconnectCommunicationServer() {
    m_stopRequested = true;
    {
        std::lock_guard<std::mutex> lock(m_sendRequestMutex);
        m_connectStatus = false;
        // Shutting down (not closing) wakes the receive thread's select or recv at once
        // while the descriptor number stays ours until the thread is gone.
        if (m_socketFd != -1) {
            shutdown(m_socketFd, SHUT_RDWR);
        }
    }
    // Called from a callback, the loop ends when the callback returns; the thread is then
    // joined by the next disconnect, connect or the destructor.
    if (!onReceiveThread()) {
        joinFinishedReceiveThread();
    }
    std::lock_guard<std::mutex> lock(m_sendRequestMutex);
    closeSocketLocked();
}

bool RobotCommunicationClient::onReceiveThread() const {
    return m_threadId != 0 && pthread_equal(m_threadId, pthread_self());
}

void RobotCommunicationClient::joinFinishedReceiveThread() {
    if (m_threadId != 0) {
        pthread_join(m_threadId, nullptr);
        m_threadId = 0;
    }
}

void RobotCommunicationClient::closeSocketLocked() {
    if (m_socketFd != -1) {
        close(m_socketFd);
        m_socketFd = -1;
    }
    m_connectStatus = false;
}

int RobotCommunicationClient::connectCommunicationServer() {
    // A port beyond 16 bits would be cut to another one: refuse it rather than connect there.
    if (m_serverport < 1 || m_serverport > 65535) {
        W_ERROR("sdk communication log: Invalid server port %d.", m_serverport);
        return CONNECT_FAILED;
    }
    sockaddr_in serverAddr;
    memset(&serverAddr, 0, sizeof(serverAddr));
    serverAddr.sin_family = AF_INET;
    serverAddr.sin_port = htons(static_cast<uint16_t>(m_serverport));
    // An address that does not parse would mean 0.0.0.0, which reaches this very host:
    // refuse it rather than talk to a controller the caller did not name.
    if (inet_pton(AF_INET, m_serverIP.c_str(), &serverAddr.sin_addr) != 1) {
        W_ERROR("sdk communication log: Invalid server address %s.", m_serverIP.c_str());
        return CONNECT_FAILED;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        W_ERROR("sdk communication log: Create socket failed, errno=%d.", errno);
        return CONNECT_FAILED;
    }
    // Set before connect: the send time-out also bounds how long connect may block, and
    // both stay on the socket afterwards.
    setSocketTimeouts(fd);
    if (connect(fd, reinterpret_cast<sockaddr *>(&serverAddr), sizeof(serverAddr)) != 0) {
        W_ERROR("sdk communication log: Connect %s:%d failed, errno=%d.", m_serverIP.c_str(),
                m_serverport, errno);
        close(fd);
        return CONNECT_FAILED;
    }
    std::lock_guard<std::mutex> lock(m_sendRequestMutex);
    m_socketFd = fd;
    return 0;
}

int RobotCommunicationClient::sendCommunicationData(int sockfd, const char *buff, int len) {
    int total = 0;
    while (total < len) {
        const int chunk = std::min(len - total, static_cast<int>(SIGNLE_PACKAGE_MESSAGE_LEN));
        // No SIGPIPE: a peer that went away must give a failed send, not end the process.
        const ssize_t ret = send(sockfd, buff + total, chunk, MSG_NOSIGNAL);
        if (ret == -1 && errno == EINTR) {
            continue;
        }
        if (ret <= 0) {
            return static_cast<int>(ret);
        }
        total += static_cast<int>(ret);
    }
    return total;
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
    unsigned char head[ROBOT_COMMAND_SOF_BYTE];
    const int ret = recvPeek(socket, head, ROBOT_COMMAND_SOF_BYTE);
    if (ret != ROBOT_COMMAND_SOF_BYTE) {
        return ret;
    }
    if (memcmp(head, ROBOT_COMMAND_SOF, ROBOT_COMMAND_SOF_BYTE) == 0) {
        return recvCommunicationData(socket, head, ROBOT_COMMAND_SOF_BYTE);
    }
    // Not a start marker: drop one byte and look again from the next.
    return recvCommunicationData(socket, head, 1);
}

int RobotCommunicationClient::recvRobotCommunicationPackage(int sockfd, char *recvBuffer,
                                                            int bufferSize) {
    memset(recvBuffer, 0, bufferSize);
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
    std::lock_guard<std::mutex> lock(m_sendRequestMutex);
    return writePackageLocked(m_socketFd, request);
}

bool RobotCommunicationClient::encodeAndSendCommunicationPackage(
    int fd, const CommunicationRequest &request) {
    std::lock_guard<std::mutex> lock(m_sendRequestMutex);
    return writePackageLocked(fd, request);
}

bool RobotCommunicationClient::writePackageLocked(int fd, const CommunicationRequest &request) {
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

    const int ret = sendCommunicationData(fd, out, offset);
    if (ret != offset) {
        W_ERROR("sdk communication log: Socket send messages error. errorcode=%d", ret);
        return false;
    }
    return true;
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

void RobotCommunicationClient::postDisconnectEvent(int socketFd) {
    int size = 0;
    makeDisconnectEventCommunicationPackage(m_recvBuffer.get(), RECV_BUFFER_SIZE, &size);
    responseProcess(socketFd, m_recvBuffer.get(), size);
}

void RobotCommunicationClient::discardUrgentData(int sockfd) {
    // Reading the urgent byte clears the exceptional condition, so one condition posts one
    // event instead of one per pass of the loop.
    char urgent;
    while (recv(sockfd, &urgent, 1, MSG_OOB | MSG_DONTWAIT) == -1 && errno == EINTR) {
    }
}

void RobotCommunicationClient::handlePeerClosed() {
    {
        std::lock_guard<std::mutex> lock(m_sendRequestMutex);
        closeSocketLocked();
    }
    W_ERROR("sdk communication log: recv return 0, Server disconnenct.");
    postDisconnectEvent(-1);
}

void RobotCommunicationClient::recvCommunicationPackageLoop() {
    char *buffer = m_recvBuffer.get();
    while (m_connectStatus && m_socketFd != -1 && !m_stopRequested) {
        const int fd = m_socketFd;
        // poll rather than select: a select set cannot hold a descriptor numbered
        // FD_SETSIZE or above, which a process with many open files hands out.
        // POLLPRI is select's exceptional condition (urgent data).
        pollfd entry{fd, POLLIN | POLLPRI, 0};
        const int ret = poll(&entry, 1, POLL_TIMEOUT_MSEC);
        if (ret < 0) {
            W_ERROR("sdk communication log:  select error, ret=%d.", ret);
            continue;
        }
        if (ret == 0 || m_stopRequested) {
            continue;
        }
        // A hang-up or error shows as readable, as select reports it: the read then fails.
        if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const int n = recvRobotCommunicationPackage(fd, buffer, RECV_BUFFER_SIZE);
            if (n == 0) {
                if (m_stopRequested) {
                    break;
                }
                handlePeerClosed();
                break;
            }
            if (n <= MAX_FAILED_READ_RESULT) {
                continue;
            }
            responseProcess(fd, buffer, n - (ROBOT_COMMAND_CRC_BYTE + ROBOT_COMMAND_END_BYTE));
        }
        // A callback may have closed the link meanwhile; its number may belong to another.
        if ((entry.revents & POLLPRI) != 0 && m_socketFd == fd && !m_stopRequested) {
            discardUrgentData(fd);
            postDisconnectEvent(fd);
        }
    }
    W_INFO("sdk communication log: event loop thread exit.");
}

void *RobotCommunicationClient::eventLoopThread(void *arg) {
    if (arg == nullptr) {
        return nullptr;
    }
    static_cast<RobotCommunicationClient *>(arg)->recvCommunicationPackageLoop();
    return nullptr;
}
