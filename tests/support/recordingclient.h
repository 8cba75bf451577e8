#ifndef RECORDINGCLIENT_H
#define RECORDINGCLIENT_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rawpeer.h"
#include "robotcommunicationclient.h"

namespace kezu_test {

// Bound of the waits for a package or a connection of the link tests.
constexpr std::chrono::milliseconds WAIT{5000};
// The package type of controller events, link loss included.
constexpr int32_t EVENT_TYPE = 2;

// One call of responseProcess as the receive thread made it.
struct Delivery {
    int socketFd;
    int32_t commandType;
    std::string body;   // the bytes after the type field
    int contentLength;  // as handed over: type field plus body
};

// The link-loss event the receive thread posts, with its fixed code and text.
bool isLinkLoss(const Delivery &delivery);

// A link client that keeps every package its receive thread hands over.
class RecordingClient final : public RobotCommunicationClient {
public:
    ~RecordingClient();

    void responseProcess(int socketFd, const char *requestContentPtr,
                         int requestContentLength) override;
    bool sendPackage(int32_t commandType, const std::string &body);

    // Packages of the type so far, or of every type when -1.
    std::vector<Delivery> deliveries(int32_t commandType = -1) const;
    bool waitFor(int32_t commandType, size_t count, std::chrono::milliseconds timeout) const;
    // The package of the type at the index once it arrives; else a test failure and type -1.
    Delivery await(int32_t commandType, size_t index, std::chrono::milliseconds timeout) const;
    // Runs on the receive thread before each delivery is recorded, so a wait for the delivery
    // also waits for the hook to return.
    void setOnDelivery(std::function<void(const Delivery &)> hook);

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::vector<Delivery> m_deliveries;
    std::function<void(const Delivery &)> m_hook;
};

// A recording client linked to a raw peer that reads and writes only what the test says.
struct LinkedClient {
    LinkedClient();
    RawPeer peer;
    std::unique_ptr<RecordingClient> client = std::make_unique<RecordingClient>();
};

}  // namespace kezu_test

#endif
