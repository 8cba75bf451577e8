#include "rawpeer.h"

#include "controllerframing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace kezu_test {

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

bool waitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

}  // namespace

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
    return waitReadable(m_listenFd, timeout);
}

bool RawPeer::accept(std::chrono::milliseconds timeout) {
    m_fd = connectionPending(timeout) ? ::accept(m_listenFd, nullptr, nullptr) : -1;
    return m_fd != -1;
}

bool RawPeer::connectTo(uint16_t port) {
    closeConnection();
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = loopback(port);
    return m_fd != -1 && connect(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) == 0;
}

bool RawPeer::send(const std::string &bytes) { return kezu_sim::sendAll(m_fd, bytes); }

bool RawPeer::sendUrgent(char byte) { return ::send(m_fd, &byte, 1, MSG_OOB | MSG_NOSIGNAL) == 1; }

std::string RawPeer::read(size_t count, std::chrono::milliseconds timeout) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[65536];
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !waitReadable(m_fd, left)) {
            break;
        }
        const ssize_t n = ::recv(m_fd, buffer, std::min(sizeof(buffer), count - out.size()), 0);
        if (n <= 0) {
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

void RawPeer::closeConnection() {
    if (m_fd != -1) {
        close(m_fd);
        m_fd = -1;
    }
}

}  // namespace kezu_test
