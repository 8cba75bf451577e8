#ifndef RAWPEER_H
#define RAWPEER_H

#include <chrono>
#include <cstdint>
#include <string>

namespace kezu_test {

// A bare loopback TCP endpoint for tests that need exact bytes: listens on a port the system
// picks, accepts one connection, and sends and reads raw bytes on it.
class RawPeer {
public:
    RawPeer();
    ~RawPeer();

    RawPeer(const RawPeer &) = delete;
    RawPeer &operator=(const RawPeer &) = delete;

    uint16_t port() const { return m_port; }
    bool accept(std::chrono::milliseconds timeout);
    // True when a connection is waiting to be accepted within the time-out.
    bool connectionPending(std::chrono::milliseconds timeout) const;

    bool send(const std::string &bytes);
    bool sendUrgent(char byte);
    // Reads exactly count bytes; fewer when the time-out passes or the link closes.
    std::string read(size_t count, std::chrono::milliseconds timeout);
    void closeConnection();
    void closeListener();

private:
    int m_listenFd = -1;
    int m_fd = -1;
    uint16_t m_port = 0;
};

// Connects to a loopback port; -1 on failure.
int connectLoopback(uint16_t port);

}  // namespace kezu_test

#endif
