#ifndef CONTROLLERSTATE_H
#define CONTROLLERSTATE_H

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"

namespace kezu_sim {

using Clock = std::chrono::steady_clock;
using Joints = std::array<double, 6>;

// Sets every required field that is still unset to zero, at any depth, so the message
// serialises completely.
void fillRequiredFields(google::protobuf::Message *message);

// What the controller is started with.
struct ControllerConfig {
    std::string address = "127.0.0.1";
    uint16_t port = 0;  // 0: a free port chosen by the system
    int robotType = 0;
    // A3, A4, D1, D2, D5, D6 of the reported model (metres).
    std::array<double, 6> dh = {0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094};
    int pushIntervalMs = 100;
    // Seconds a simulated move takes per radian of its largest joint step (or per metre of
    // its position step, whichever is larger).
    double travelScale = 1.0;
    int startupResult = 2;  // service state reported when the robot has started: working
    // Milliseconds from a stop's reply to its stopped event, as an arm takes to brake.
    int brakeMs = 0;
    // The last four bytes of every package it sends; a controller may end them otherwise.
    std::string endMarker = std::string(4, '\xFF');
};

struct Pose {
    std::array<double, 3> position = {0.0, 0.0, 0.0};
    std::array<double, 4> orientation = {1.0, 0.0, 0.0, 0.0};  // w, x, y, z
};

// A simulated move of one connection, interpolated joint by joint.
struct Motion {
    bool active = false;
    bool paused = false;
    bool jog = false;  // a teach move, which only teach stop ends early
    Joints from{};
    Joints to{};
    Pose target;
    Clock::time_point start;
    Clock::duration duration{};
    Clock::duration elapsedBeforePause{};
};

// What the controller keeps per connection.
struct Session {
    bool pushJointStatus = false;
    bool pushJointAngle = false;
    bool pushEndSpeed = false;
    Motion motion;
};

struct ControllerEvent {
    int type;
    int code;
    std::string content;
};

// The answer to one request: the reply body and what is to follow it.
struct Outcome {
    bool reply = false;
    std::string body;
    std::vector<ControllerEvent> events;
    bool moveStarted = false;
};

// The simulated robot: its settings, IO, joints and the reply to every request type.
// Not thread-safe; the owner serialises calls.
class ControllerState {
public:
    static constexpr int BOARD_DI_COUNT = 52;
    static constexpr int BOARD_DO_COUNT = 48;
    static constexpr int BOARD_ANALOG_COUNT = 4;
    static constexpr int TOOL_DIGITAL_COUNT = 4;
    static constexpr int TOOL_AI_COUNT = 2;

    explicit ControllerState(const ControllerConfig &config);

    // True for every command type that a client sends and expects one reply to.
    static bool isRequestType(int commandType);

    // errorCode goes into the reply's error field; a request answered with a nonzero code
    // changes nothing.
    Outcome handle(int commandType, const std::string &body, Session &session, int errorCode,
                   Clock::time_point now);

    // When the session's move reaches its target, if one is under way.
    std::optional<Clock::time_point> arrivalTime(const Session &session) const;
    // Ends a move whose travel time is over; true when it did.
    bool finishMotion(Session &session, Clock::time_point now);

    std::string jointStatusPush(const Session &session, Clock::time_point now) const;
    std::string jointAnglePush(const Session &session, Clock::time_point now) const;
    std::string endSpeedPush(const Session &session, Clock::time_point now) const;
    static std::string eventBody(const ControllerEvent &event);

    Joints joints() const { return m_joints; }
    Pose pose() const { return m_pose; }
    void setJoints(const Joints &joints) {
        m_joints = joints;
        m_poseKnown = false;
    }
    void setBoardDI(int addr, uint32_t value);
    void setToolAI(int index, float value);
    void setBoardAI(int addr, float value);
    // The IO list read of this command type answers with at most count items.
    void limitIoList(int commandType, size_t count);

private:
    Outcome commonReply(int errorCode) const;
    Outcome handleData(int commandType, const std::string &body, const Session &session,
                       int errorCode, Clock::time_point now);
    int applyCommand(int commandType, const std::string &body, Session &session,
                     Clock::time_point now, std::vector<ControllerEvent> &events,
                     bool &moveStarted);
    int applyIoCommand(int commandType, const std::string &body);
    int applyMotionCommand(int commandType, const std::string &body, Session &session,
                           Clock::time_point now, std::vector<ControllerEvent> &events,
                           bool &moveStarted);
    int startMotion(Session &session, const std::vector<kezu::robot::common::ProtoRoadPoint> &path,
                    Clock::time_point now);
    // Travel takes distance times the travel scale.
    void beginMotion(Motion &motion, const Joints &from, const Joints &to, const Pose &target,
                     double distance, Clock::time_point now);
    // A teach move: one joint, or the tool along or about a base axis, until stopped.
    void startJog(Session &session, const kezu::robot::common::RobotMoveProfile &profile,
                  Clock::time_point now);
    void stopMotion(Session &session, Clock::time_point now);
    Joints jointsAt(const Session &session, Clock::time_point now) const;
    double motionFraction(const Session &session, Clock::time_point now) const;

    std::string singleDigitalReply(int commandType, const std::string &body, int errorCode) const;
    size_t ioListLength(int commandType, size_t full) const;
    std::string singleAnalogReply(int commandType, const std::string &body, int errorCode) const;

    ControllerConfig m_config;
    Joints m_joints{};
    Pose m_pose;
    bool m_poseKnown = false;  // set by a move, cleared by preset joints and by a stop
    std::vector<uint32_t> m_boardDI;
    std::vector<uint32_t> m_boardDO;
    std::vector<float> m_boardAI;
    std::vector<float> m_boardAO;
    std::array<uint32_t, TOOL_DIGITAL_COUNT> m_toolDigitalType{};
    std::array<uint32_t, TOOL_DIGITAL_COUNT> m_toolDigitalValue{};
    std::array<float, TOOL_AI_COUNT> m_toolAI{};
    uint32_t m_toolPowerType = 0;
    std::map<int, size_t> m_ioListLimits;
    kezu::robot::communication::RobotTcpParam m_tcpParam;
    kezu::robot::common::ToolDynamicsParam m_toolDynamics;
    kezu::robot::common::ProtoRobotSafetyConfig m_safetyConfig;
    kezu::robot::common::ProtoOrpeSafetyStatus m_orpeStatus;
    kezu::robot::common::RobotJointOffset m_jointOffset;
    std::vector<kezu::robot::common::ProtoRoadPoint> m_offlineTrack;
    int m_workMode = 0;
    int m_collisionClass = 6;
    bool m_powerOn = false;
};

}  // namespace kezu_sim

#endif
