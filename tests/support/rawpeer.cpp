#include "rawpeer.h"

#include "controllerframing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace kezu_test {

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

bool connectSocket(int fd, uint16_t port) {
    const sockaddr_in addr = loopback(port);
    return connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof(addr)) == 0;
}

}  // namespace

int startConnect(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connectSocket(fd, port);  // completes later, or not while the peer's queue is full
    return fd;
}

RawPeer::RawPeer() {
    m_listenFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = loopback(0);
    socklen_t length = sizeof(addr);
    if (bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) == 0 &&
        listen(m_listenFd, 4) == 0 &&
        getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &length) == 0) {
        m_port = ntohs(addr.sin_port);
    }
}

RawPeer::~RawPeer() {
    closeConnection();
    close(m_listenFd);
}

bool RawPeer::connectionPending(std::chrono::milliseconds timeout) const {
    pollfd p{m_listenFd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

bool RawPeer::accept(std::chrono::milliseconds timeout) {
    m_fd = connectionPending(timeout) ? ::accept(m_listenFd, nullptr, nullptr) : -1;
    return m_fd != -1;
}

bool RawPeer::connectTo(uint16_t port) {
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    return m_fd != -1 && connectSocket(m_fd, port);
}

bool RawPeer::send(const std::string &bytes) { return kezu_sim::sendAll(m_fd, bytes); }

void RawPeer::noDelay() {
    const int on = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

bool RawPeer::sendUrgent(char byte) { return ::send(m_fd, &byte, 1, MSG_OOB | MSG_NOSIGNAL) == 1; }

std::string RawPeer::read(size_t count, std::chrono::milliseconds timeout) {
    // The receive time-out bounds the whole wait: the kernel counts it down across the parts.
    const timeval limit{static_cast<time_t>(timeout.count() / 1000),
                        static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
    setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    std::string out(count, '\0');
    const ssize_t n = count == 0 ? 0 : ::recv(m_fd, &out[0], count, MSG_WAITALL);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

void RawPeer::closeConnection() {
    if (m_fd != -1) close(m_fd);
    m_fd = -1;
}

}  // namespace kezu_test
