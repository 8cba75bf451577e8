#include "controllertestsupport.h"

#include <thread>

#include "robotcommunication.pb.h"

namespace kezu_test {

namespace gp = google::protobuf;

std::string generalInt(int value) {
    kezu::robot::communication::ProtoCommunicationGeneralData data;
    data.set_type(1);
    data.add_property1(value);
    return data.SerializeAsString();
}

std::string digitalIo(const std::vector<std::array<uint32_t, 3>> &records) {
    kezu::robot::communication::ProtoCommunicationRobotDiagnosisIOData data;
    data.set_type(0);
    for (const auto &record : records) {
        kezu::robot::communication::ProtoRobotDiagnosisIODesc *desc = data.add_iodesc();
        desc->set_addr(record[0]);
        desc->set_value(record[1]);
        desc->set_type(record[2]);
    }
    return data.SerializeAsString();
}

std::string analogIo(uint32_t addr, float value) {
    kezu::robot::communication::ProtoCommunicationRobotAnalogIOData data;
    data.set_type(0);
    kezu::robot::communication::ProtoRobotAnalogIODesc *desc = data.add_iodesc();
    desc->set_addr(addr);
    desc->set_value(value);
    desc->set_type(0);
    return data.SerializeAsString();
}

std::optional<int> replyCode(const gp::Message &reply) {
    const gp::Descriptor *descriptor = reply.GetDescriptor();
    const gp::Reflection *reflection = reply.GetReflection();
    if (const gp::FieldDescriptor *code = descriptor->FindFieldByName("errorCode")) {
        return reflection->GetInt32(reply, code);
    }
    const gp::FieldDescriptor *info = descriptor->FindFieldByName("errorInfo");
    if (info == nullptr) {
        return std::nullopt;
    }
    if (info->is_repeated()) {
        if (reflection->FieldSize(reply, info) == 0) {
            return std::nullopt;
        }
        return replyCode(reflection->GetRepeatedMessage(reply, info, 0));
    }
    return replyCode(reflection->GetMessage(reply, info));
}

ControllerSession::ControllerSession(kezu_sim::ControllerConfig config) : controller(config) {}

kezu_sim::ControllerConfig ControllerSession::fastConfig() {
    kezu_sim::ControllerConfig config;
    config.pushIntervalMs = 20;
    config.travelScale = 0.05;
    return config;
}

void ControllerSession::SetUp() {
    ASSERT_TRUE(controller.start());
    ASSERT_NE(controller.port(), 0);
    client.setServerPort(controller.port());
    ASSERT_EQ(client.connectRobotServer(), 0);
    ASSERT_TRUE(controller.waitForOpenConnections(1, CONTROLLER_WAIT));
}

Delivery ControllerSession::exchange(int32_t type, const std::string &body) {
    const size_t before = client.deliveries(type).size();
    EXPECT_TRUE(client.sendPackage(type, body));
    if (!client.waitFor(type, before + 1, CONTROLLER_WAIT)) {
        ADD_FAILURE() << "no reply of type " << type;
        return Delivery{-1, -1, std::string(), 0};
    }
    return client.deliveries(type).at(before);
}

std::vector<int> ControllerSession::eventCodes(int eventType) const {
    std::vector<int> codes;
    for (const Delivery &delivery : client.deliveries(EVENT_PACKAGE)) {
        kezu::robot::communication::ProtoCommunicationRobotEvent event;
        if (event.ParseFromString(delivery.body) && event.eventtype() == eventType) {
            codes.push_back(event.eventcode());
        }
    }
    return codes;
}

bool ControllerSession::waitForEvent(int eventType, size_t count,
                                     std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    size_t packages = client.deliveries(EVENT_PACKAGE).size();
    while (eventCodes(eventType).size() < count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        // Every event is one more package of the event type: wait for the next.
        client.waitFor(EVENT_PACKAGE, ++packages,
                       std::chrono::duration_cast<std::chrono::milliseconds>(
                           deadline - std::chrono::steady_clock::now()));
    }
    return true;
}

}  // namespace kezu_test
