#ifndef RAWPEER_H
#define RAWPEER_H

#include <chrono>
#include <cstdint>
#include <string>

namespace kezu_test {

// Starts a non-blocking connect to the loopback port and returns the socket, for tests that
// open many connections at once.
int startConnect(uint16_t port);

// A loopback endpoint for exact bytes: listens on a port the system picks, or connects out.
class RawPeer {
public:
    RawPeer();
    ~RawPeer();
    RawPeer(const RawPeer &) = delete;
    RawPeer &operator=(const RawPeer &) = delete;

    uint16_t port() const { return m_port; }
    // True when a connection is waiting to be accepted within the time-out.
    bool connectionPending(std::chrono::milliseconds timeout) const;
    bool accept(std::chrono::milliseconds timeout);
    bool connectTo(uint16_t port);
    bool send(const std::string &bytes);
    // Every send leaves as segments of its own, as a peer writing small packages does.
    void noDelay();
    bool sendUrgent(char byte);
    // Reads exactly count bytes; fewer when the time-out passes or the link closes.
    std::string read(size_t count, std::chrono::milliseconds timeout);
    void closeConnection();

private:
    int m_listenFd = -1;
    int m_fd = -1;
    uint16_t m_port = 0;
};

}  // namespace kezu_test

#endif
