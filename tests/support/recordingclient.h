#ifndef RECORDINGCLIENT_H
#define RECORDINGCLIENT_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "robotcommunicationclient.h"

namespace kezu_test {

// One call of responseProcess as the receive thread made it.
struct Delivery {
    int socketFd;
    int32_t commandType;
    std::string body;   // the bytes after the type field
    int contentLength;  // as handed over: type field plus body
};

// A link client that keeps every package its receive thread hands over.
class RecordingClient final : public RobotCommunicationClient {
public:
    RecordingClient() = default;
    ~RecordingClient();

    void responseProcess(int socketFd, const char *requestContentPtr,
                         int requestContentLength) override;

    // Sends one package with the given type and body.
    bool sendPackage(int32_t commandType, const std::string &body);

    std::vector<Delivery> deliveries() const;
    std::vector<Delivery> deliveries(int32_t commandType) const;
    // Waits until at least count packages of the type have arrived (any type when -1).
    bool waitFor(int32_t commandType, size_t count, std::chrono::milliseconds timeout) const;

    // Runs on the receive thread after each delivery is recorded.
    void setOnDelivery(std::function<void(const Delivery &)> hook);

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::vector<Delivery> m_deliveries;
    std::function<void(const Delivery &)> m_hook;
};

}  // namespace kezu_test

#endif
