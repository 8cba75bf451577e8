#ifndef CONTROLLERTESTSUPPORT_H
#define CONTROLLERTESTSUPPORT_H

#include <gtest/gtest.h>

#include <google/protobuf/message.h>

#include <array>
#include <chrono>
#include <vector>
#include <optional>
#include <string>

#include "kezucontroller.h"
#include "recordingclient.h"

namespace kezu_test {

using namespace std::chrono_literals;

const auto CONTROLLER_WAIT = 5000ms;
const int32_t EVENT_PACKAGE = 2;

// The controller's code in any reply: its own errorCode, or that of its (first) errorInfo.
// nullopt when the reply carries none.
std::optional<int> replyCode(const google::protobuf::Message &reply);

// Request bodies as a client builds them.
std::string generalInt(int value);
std::string digitalIo(const std::vector<std::array<uint32_t, 3>> &records);  // addr, value, type
std::string analogIo(uint32_t addr, float value);

// A counterpart started in process and one client linked to it.
class ControllerSession : public ::testing::Test {
protected:
    explicit ControllerSession(kezu_sim::ControllerConfig config = fastConfig());
    void SetUp() override;

    static kezu_sim::ControllerConfig fastConfig();

    // Sends one request and returns its reply; fails the test when none comes.
    Delivery exchange(int32_t type, const std::string &body = std::string());
    // The robot events received so far, of the given type.
    std::vector<int> eventCodes(int eventType) const;
    bool waitForEvent(int eventType, size_t count, std::chrono::milliseconds timeout) const;

    kezu_sim::KezuController controller;
    RecordingClient client;
};

}  // namespace kezu_test

#endif
