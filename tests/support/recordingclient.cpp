#include "recordingclient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "KezuRobotMetaType.h"
#include "robotcommunication.pb.h"

namespace kezu_test {

namespace {

bool ofType(const Delivery &delivery, int32_t commandType) {
    return commandType == -1 || delivery.commandType == commandType;
}

}  // namespace

bool isLinkLoss(const Delivery &delivery) {
    kezu::robot::communication::ProtoCommunicationRobotEvent event;
    return delivery.commandType == EVENT_TYPE && event.ParseFromString(delivery.body) &&
           event.eventtype() == kezu_robot_namespace::RobotEvent_socketDisconnected &&
           event.eventcode() == 0 && event.eventcontent() == "Server disconnected.";
}

RecordingClient::~RecordingClient() {
    // The receive thread must be gone before this part of the object is.
    disconnectRobotServer();
}

void RecordingClient::responseProcess(int socketFd, const char *requestContentPtr,
                                      int requestContentLength) {
    Delivery delivery{socketFd, -1, std::string(), requestContentLength};
    if (requestContentLength >= 4) {
        memcpy(&delivery.commandType, requestContentPtr, sizeof(delivery.commandType));
        delivery.body.assign(requestContentPtr + 4, requestContentLength - 4);
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::function<void(const Delivery &)> hook = m_hook;
    lock.unlock();
    if (hook) hook(delivery);
    lock.lock();
    m_deliveries.push_back(delivery);
    m_arrived.notify_all();
}

bool RecordingClient::sendPackage(int32_t commandType, const std::string &body) {
    CommunicationRequest request;
    char *text = nullptr;  // the request owns it
    if (!body.empty()) {
        text = new char[body.size()];
        memcpy(text, body.data(), body.size());
    }
    request.setProperty(-1,
                        static_cast<CommunicationMateType::CommunicationCommandType>(commandType),
                        text, static_cast<int>(body.size()));
    return encodeAndSendCommunicationPackage(request);
}

std::vector<Delivery> RecordingClient::deliveries(int32_t commandType) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Delivery> out;
    for (const Delivery &d : m_deliveries) {
        if (ofType(d, commandType)) out.push_back(d);
    }
    return out;
}

bool RecordingClient::waitFor(int32_t commandType, size_t count,
                              std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    // Counted, not copied: a flood wakes this once per package.
    return m_arrived.wait_for(lock, timeout, [&] {
        return static_cast<size_t>(std::count_if(
                   m_deliveries.begin(), m_deliveries.end(),
                   [&](const Delivery &d) { return ofType(d, commandType); })) >= count;
    });
}

Delivery RecordingClient::await(int32_t commandType, size_t index,
                                std::chrono::milliseconds timeout) const {
    const bool arrived = waitFor(commandType, index + 1, timeout);
    EXPECT_TRUE(arrived) << "no package " << index << " of type " << commandType;
    return arrived ? deliveries(commandType)[index] : Delivery{-1, -1, "", 0};
}

void RecordingClient::setOnDelivery(std::function<void(const Delivery &)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hook = std::move(hook);
}

LinkedClient::LinkedClient() {
    client->setServerPort(peer.port());
    EXPECT_EQ(client->connectRobotServer(), 0);
    EXPECT_TRUE(peer.accept(WAIT));
}

}  // namespace kezu_test
