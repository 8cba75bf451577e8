#ifndef KEZUCONTROLLER_H
#define KEZUCONTROLLER_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "controllerframing.h"
#include "controllerstate.h"

namespace kezu_sim {

// How the controller misbehaves on one command type.
struct ReplyFault {
    // Brace lists of the first three fields keep working without naming the later ones.
    ReplyFault(std::chrono::milliseconds delay = std::chrono::milliseconds(0), bool drop = false,
               int errorCode = 0)
        : delay(delay), drop(drop), errorCode(errorCode) {}

    std::chrono::milliseconds delay;
    bool drop;
    int errorCode;           // nonzero: answer with this code and change nothing
    bool emptyBody = false;  // the reply carries no body at all
    bool twice = false;      // the same reply goes out two times
    // Sent just before the reply is due (also when the reply is dropped).
    std::optional<ControllerEvent> eventBefore;
    // The events the request causes (start-up done, arrival, ...) are not sent.
    bool withholdEvents = false;
    // When set, the simulated reply body passes through it (a controller that answers oddly).
    std::function<std::string(const std::string &)> rewriteBody;
};

// A robot controller on a TCP port: accepts any number of connections, answers every request
// type, pushes joint data and robot events, and records what it receives. Tests run it in
// process on a port the system picks; the sim program runs it stand-alone.
class KezuController {
public:
    explicit KezuController(const ControllerConfig &config = ControllerConfig());
    ~KezuController();

    KezuController(const KezuController &) = delete;
    KezuController &operator=(const KezuController &) = delete;

    // Binds and listens on the configured address; false when that fails.
    bool start();
    // Closes every connection and the listener; waits for all threads.
    void stop();
    uint16_t port() const { return m_port; }

    // Faults, for tests.
    void setReplyFault(int commandType, const ReplyFault &fault);
    void clearReplyFaults();
    // Every open connection gets these bytes in front of the next package it is sent.
    void sendGarbageBeforeNextPackage(const std::string &bytes);
    void sendBadLengthPackage(int32_t lengthField, int32_t commandType, const std::string &body);
    void closeConnectionsNow();
    // The next move request is answered, then its connection is closed.
    void closeOnNextMove();

    // Unsolicited traffic to every open connection.
    void sendRaw(const std::string &bytes);
    void sendUrgentByte(char byte);
    void sendEvent(int type, int code, const std::string &content);

    // The latest packages received, in order of arrival: the oldest are forgotten beyond
    // MAX_RECORDED_PACKAGES or MAX_RECORDED_BYTES, so a long run does not grow without end.
    static constexpr size_t MAX_RECORDED_PACKAGES = 10000;
    static constexpr size_t MAX_RECORDED_BYTES = 64 * 1024 * 1024;
    std::vector<ReceivedPackage> received() const;
    std::vector<ReceivedPackage> received(int commandType) const;
    // Forgets the record and the counts.
    void clearReceived();
    // Counts every package of the type since start or the last clearReceived.
    bool waitForPackages(int commandType, size_t count, std::chrono::milliseconds timeout) const;
    size_t openConnections() const;
    // Every connection accepted since start, open or not.
    size_t acceptedConnections() const;
    bool waitForOpenConnections(size_t count, std::chrono::milliseconds timeout) const;

    Joints joints() const;
    Pose pose() const;
    void setJoints(const Joints &joints);
    void setBoardDI(int addr, uint32_t value);
    void setBoardAI(int addr, float value);
    void setToolAI(int index, float value);
    // The IO list read of this command type (41 to 44, 57, 58) answers with at most count
    // items, as a controller with fewer points would; for the single digital reads (46, 47,
    // 52, 56) a count of 0 answers without a record.
    void limitIoList(int commandType, size_t count);

private:
    struct Outgoing {
        std::string bytes;
        bool urgent = false;
        bool package = true;
    };
    struct Connection {
        int id = 0;
        int fd = -1;
        std::thread reader;
        std::thread sender;
        Session session;
        std::multimap<Clock::time_point, Outgoing> outgoing;
        std::string garbage;
        Clock::time_point nextPush;
        bool closeWhenFlushed = false;
        bool closed = false;
        int threadsDone = 0;  // both ended: the connection can be joined and closed
    };

    void acceptLoop();
    void reapFinished();
    void recordLocked(const ReceivedPackage &package);
    void readLoop(Connection *connection);
    void sendLoop(Connection *connection);
    void handlePackage(Connection &connection, const ReceivedPackage &package);
    void enqueueLocked(Connection &connection, Clock::time_point due, Outgoing item);
    void enqueueAllLocked(const Outgoing &item);
    void schedulePushesLocked(Connection &connection, Clock::time_point now);
    Clock::time_point nextWakeLocked(const Connection &connection) const;
    void closeLocked(Connection &connection);
    size_t countLocked(int commandType) const;
    size_t openLocked() const;

    ControllerConfig m_config;
    ControllerState m_state;
    uint16_t m_port = 0;
    int m_listenFd = -1;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::unique_ptr<Connection>> m_connections;
    std::map<int, ReplyFault> m_faults;
    std::deque<ReceivedPackage> m_received;
    size_t m_receivedBytes = 0;
    std::map<int, size_t> m_receivedCounts;
    bool m_closeOnNextMove = false;
    size_t m_accepted = 0;
};

}  // namespace kezu_sim

#endif
