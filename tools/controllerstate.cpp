#include "controllerstate.h"

#include <google/protobuf/descriptor.h>
#include <google/protobuf/message.h>
#include <google/protobuf/reflection.h>

#include <algorithm>
#include <cmath>

namespace kezu_sim {

namespace common = kezu::robot::common;
namespace comm = kezu::robot::communication;
namespace gp = google::protobuf;

// Every required field that is still unset gets zero, recursively, so a reply always parses.
void fillRequiredFields(gp::Message *message) {
    const gp::Descriptor *descriptor = message->GetDescriptor();
    const gp::Reflection *reflection = message->GetReflection();
    for (int i = 0; i < descriptor->field_count(); ++i) {
        const gp::FieldDescriptor *field = descriptor->field(i);
        if (field->is_repeated()) {
            if (field->cpp_type() == gp::FieldDescriptor::CPPTYPE_MESSAGE) {
                for (int j = 0; j < reflection->FieldSize(*message, field); ++j) {
                    fillRequiredFields(reflection->MutableRepeatedMessage(message, field, j));
                }
            }
            continue;
        }
        if (field->cpp_type() == gp::FieldDescriptor::CPPTYPE_MESSAGE) {
            fillRequiredFields(reflection->MutableMessage(message, field));
            continue;
        }
        if (reflection->HasField(*message, field)) {
            continue;
        }
        switch (field->cpp_type()) {
            case gp::FieldDescriptor::CPPTYPE_INT32:
                reflection->SetInt32(message, field, 0);
                break;
            case gp::FieldDescriptor::CPPTYPE_INT64:
                reflection->SetInt64(message, field, 0);
                break;
            case gp::FieldDescriptor::CPPTYPE_UINT32:
                reflection->SetUInt32(message, field, 0);
                break;
            case gp::FieldDescriptor::CPPTYPE_UINT64:
                reflection->SetUInt64(message, field, 0);
                break;
            case gp::FieldDescriptor::CPPTYPE_DOUBLE:
                reflection->SetDouble(message, field, 0);
                break;
            case gp::FieldDescriptor::CPPTYPE_FLOAT:
                reflection->SetFloat(message, field, 0);
                break;
            case gp::FieldDescriptor::CPPTYPE_BOOL:
                reflection->SetBool(message, field, false);
                break;
            case gp::FieldDescriptor::CPPTYPE_STRING:
                reflection->SetString(message, field, "");
                break;
            case gp::FieldDescriptor::CPPTYPE_ENUM:
                reflection->SetEnum(message, field, field->enum_type()->value(0));
                break;
            default:
                break;
        }
    }
}

namespace {

// Controller reply codes.
const int CODE_FORMAT_ERROR = 1;
const int CODE_PROCESS_FAILED = 2;

// Robot events the controller sends.
const int EVENT_STARTUP_DONE = 20;
const int EVENT_SHUTDOWN_DONE = 21;
const int EVENT_STATE_CHANGED = 25;
const int EVENT_HANDSHAKE_SUCC = 35;

// Move control commands.
const int MOVE_STOP = 0;
const int MOVE_PAUSE = 1;
const int MOVE_CONTINUE = 2;

// Jog directions of a teach move, and how far one jog goes at most (radians or metres).
const int TEACH_JOINT1 = 1;
const int TEACH_JOINT6 = 6;
const int TEACH_MOV_X = 7;
const int TEACH_MOV_Z = 9;
const int TEACH_ROT_X = 10;
const int TEACH_ROT_Z = 12;
const double JOG_SPAN = 0.5;

const int TOOL_POWER_VOLTS[] = {0, 12, 24};

int toolPowerVolts(uint32_t powerType) {
    return TOOL_POWER_VOLTS[std::min<uint32_t>(powerType, 2)];
}

// Command types by role; the numbers are the link's.
enum Command {
    Login = 0,
    EnableJointStatusPush = 4,
    DisableJointStatusPush = 5,
    GetJointStatus = 6,
    EnableJointAnglePush = 8,
    DisableJointAnglePush = 9,
    GetJointAngle = 10,
    EnableEndSpeedPush = 12,
    DisableEndSpeedPush = 13,
    GetDiagnosis = 15,
    Startup = 16,
    Shutdown = 17,
    RobotControl = 18,
    CollisionRecover = 19,
    SetPowerStatus = 20,
    ReleaseBrake = 21,
    RobotMove = 22,
    TeachMoveStart = 23,
    TeachMoveStop = 24,
    MoveControl = 25,
    GetCurrentState = 26,
    SetTcpParam = 27,
    GetTcpParam = 28,
    SetToolDynamics = 29,
    GetToolDynamics = 30,
    SetWorkMode = 33,
    GetWorkMode = 34,
    GetGravity = 35,
    GetCollisionCurrent = 36,
    GetRealRobotExist = 37,
    GetDeviceInfo = 38,
    SetCollisionGrade = 40,
    GetBoardAllDI = 41,
    GetBoardAllDO = 42,
    GetBoardAllAI = 43,
    GetBoardAllAO = 44,
    GetBoardOneDI = 46,
    GetBoardOneDO = 47,
    GetBoardOneAI = 48,
    GetBoardOneAO = 49,
    SetBoardOneDO = 50,
    SetBoardOneAO = 51,
    GetToolPowerType = 52,
    SetToolPowerType = 53,
    SetToolPowerAndIoType = 54,
    SetToolIoType = 55,
    GetToolPowerVoltage = 56,
    GetToolAllDigital = 57,
    GetToolAllAI = 58,
    SetToolDigital = 59,
    SetOriginPose = 60,
    GetSafetyConfig = 61,
    SetSafetyConfig = 62,
    GetOrpeStatus = 63,
    OrpePause = 64,
    OrpeStop = 65,
    OrpeError = 66,
    ClearEmergencyStop = 67,
    ClearReducedModeError = 68,
    SafetyguardResetSucc = 69,
    TrackAppend = 71,
    TrackClear = 72,
    TrackStart = 73,
    TrackStop = 74,
    EnterCanbus = 75,
    LeaveCanbus = 76,
    CanbusPosData = 77,
    ExcitTraj = 78,
    GetDynIdentify = 79,
    HandShake = 80,
    GetToolAllIo = 81,
    UpdateFirmware = 82,
    FirmwareResult = 83,
    GetEthernetName = 84,
    FastStop = 85,
    SetJointOffset = 86,
};

const int RESERVED_TYPES[] = {1, 2, 3, 7, 11, 14, 31, 32, 39, 45, 70};
const int LAST_REQUEST_TYPE = 86;

std::string serialise(gp::Message &message) {
    fillRequiredFields(&message);
    return message.SerializeAsString();
}

// A data reply: the controller's code goes into its (first) errorInfo.
Outcome dataReply(gp::Message &reply, int code) {
    const gp::Reflection *reflection = reply.GetReflection();
    const gp::FieldDescriptor *field = reply.GetDescriptor()->FindFieldByName("errorInfo");
    gp::Message *info = nullptr;
    if (!field->is_repeated()) {
        info = reflection->MutableMessage(&reply, field);
    } else if (reflection->FieldSize(reply, field) == 0) {
        info = reflection->AddMessage(&reply, field);
    } else {
        info = reflection->MutableRepeatedMessage(&reply, field, 0);
    }
    const gp::Descriptor *infoType = info->GetDescriptor();
    info->GetReflection()->SetInt32(info, infoType->FindFieldByName("errorCode"), code);
    info->GetReflection()->SetString(info, infoType->FindFieldByName("errorMsg"),
                                     code == 0 ? "" : "request failed");
    Outcome outcome;
    outcome.reply = true;
    outcome.body = serialise(reply);
    return outcome;
}

template <class ErrorInfo>
void setError(ErrorInfo *info, int code) {
    info->set_errorcode(code);
    info->set_errormsg(code == 0 ? "" : "request failed");
}

// Request bodies are read leniently: some clients leave out a required reply field.
template <class M>
bool parseRequest(M &message, const std::string &body) {
    return message.ParsePartialFromString(body);
}

template <class M>
bool parseComplete(M &message, const std::string &body) {
    return parseRequest(message, body) && message.IsInitialized();
}

std::vector<int32_t> generalInts(const std::string &body) {
    comm::ProtoCommunicationGeneralData data;
    if (!parseRequest(data, body)) {
        return {};
    }
    return std::vector<int32_t>(data.property1().begin(), data.property1().end());
}

std::string generalDataReply(int errorCode, std::optional<int32_t> value,
                             std::optional<bool> flag) {
    comm::ProtoCommunicationGeneralData data;
    data.set_type(1);
    if (value) {
        data.add_property1(*value);
    }
    if (flag) {
        data.add_property2(*flag);
    }
    setError(data.add_errorinfo(), errorCode);
    return serialise(data);
}

Joints roadPointJoints(const common::ProtoRoadPoint &point, const Joints &fallback) {
    if (point.jointpos_size() < 6) {
        return fallback;
    }
    Joints joints{};
    for (int i = 0; i < 6; ++i) {
        joints[i] = point.jointpos(i);
    }
    return joints;
}

Pose roadPointPose(const common::ProtoRoadPoint &point, const Pose &fallback) {
    Pose pose = fallback;
    const common::cartesianPos_U &cart = point.cartpos();
    if (cart.position_size() > 0) {
        pose.position = {cart.position(0).x(), cart.position(0).y(), cart.position(0).z()};
    } else if (cart.positionvector_size() >= 3) {
        pose.position = {cart.positionvector(0), cart.positionvector(1), cart.positionvector(2)};
    }
    if (point.has_orientation()) {
        const common::Ori &ori = point.orientation();
        pose.orientation = {ori.w(), ori.x(), ori.y(), ori.z()};
    }
    return pose;
}

// The orientation turned by angle about base axis 0, 1 or 2 (w, x, y, z; Hamilton product).
std::array<double, 4> turnedAbout(const std::array<double, 4> &q, int axis, double angle) {
    std::array<double, 4> r = {std::cos(angle / 2.0), 0.0, 0.0, 0.0};
    r[1 + axis] = std::sin(angle / 2.0);
    return {r[0] * q[0] - r[1] * q[1] - r[2] * q[2] - r[3] * q[3],
            r[0] * q[1] + r[1] * q[0] + r[2] * q[3] - r[3] * q[2],
            r[0] * q[2] - r[1] * q[3] + r[2] * q[0] + r[3] * q[1],
            r[0] * q[3] + r[1] * q[2] - r[2] * q[1] + r[3] * q[0]};
}

double stepSize(const Joints &from, const Joints &to, const Pose &a, const Pose &b) {
    double step = 0.0;
    for (int i = 0; i < 6; ++i) {
        step = std::max(step, std::fabs(to[i] - from[i]));
    }
    double squared = 0.0;
    for (int i = 0; i < 3; ++i) {
        squared += (b.position[i] - a.position[i]) * (b.position[i] - a.position[i]);
    }
    return std::max(step, std::sqrt(squared));
}

}  // namespace

ControllerState::ControllerState(const ControllerConfig &config)
    : m_config(config),
      m_boardDI(BOARD_DI_COUNT, 0),
      m_boardDO(BOARD_DO_COUNT, 0),
      m_boardAI(BOARD_ANALOG_COUNT, 0.0f),
      m_boardAO(BOARD_ANALOG_COUNT, 0.0f) {
    fillRequiredFields(&m_tcpParam);
    fillRequiredFields(&m_toolDynamics);
    for (int i = 0; i < 6; ++i) {
        m_safetyConfig.add_robotreducedconfigjointspeed(0);
    }
    fillRequiredFields(&m_safetyConfig);
    fillRequiredFields(&m_orpeStatus);
    fillRequiredFields(&m_jointOffset);
}

bool ControllerState::isRequestType(int commandType) {
    if (commandType < 0 || commandType > LAST_REQUEST_TYPE) {
        return false;
    }
    return std::find(std::begin(RESERVED_TYPES), std::end(RESERVED_TYPES), commandType) ==
           std::end(RESERVED_TYPES);
}

void ControllerState::setBoardDI(int addr, uint32_t value) {
    if (addr >= 0 && addr < BOARD_DI_COUNT) {
        m_boardDI[addr] = value;
    }
}

void ControllerState::setBoardAI(int addr, float value) {
    if (addr >= 0 && addr < BOARD_ANALOG_COUNT) {
        m_boardAI[addr] = value;
    }
}

void ControllerState::limitIoList(int commandType, size_t count) {
    m_ioListLimits[commandType] = count;
}

size_t ControllerState::ioListLength(int commandType, size_t full) const {
    const auto limit = m_ioListLimits.find(commandType);
    return limit == m_ioListLimits.end() ? full : std::min(full, limit->second);
}

void ControllerState::setToolAI(int index, float value) {
    if (index >= 0 && index < TOOL_AI_COUNT) {
        m_toolAI[index] = value;
    }
}

Outcome ControllerState::commonReply(int errorCode) const {
    comm::ProtoRobotCommonResponse response;
    setError(&response, errorCode);
    Outcome outcome;
    outcome.reply = true;
    outcome.body = serialise(response);
    return outcome;
}

Outcome ControllerState::handle(int commandType, const std::string &body, Session &session,
                                int errorCode, Clock::time_point now) {
    if (!isRequestType(commandType)) {
        return Outcome{};
    }
    Outcome data = handleData(commandType, body, session, errorCode, now);
    if (data.reply) {
        return data;
    }
    std::vector<ControllerEvent> events;
    bool moveStarted = false;
    int code = errorCode;
    if (code == 0) {
        code = applyCommand(commandType, body, session, now, events, moveStarted);
    }
    Outcome outcome = commonReply(code);
    if (code == 0) {
        outcome.events = std::move(events);
        outcome.moveStarted = moveStarted;
    }
    return outcome;
}

Outcome ControllerState::handleData(int commandType, const std::string &body,
                                    const Session &session, int errorCode, Clock::time_point now) {
    Outcome outcome;
    outcome.reply = true;
    switch (commandType) {
        case Login: {
            comm::ProtoRequestLogin login;
            common::ProtoResponseRobotDhParam reply;
            const int code = errorCode != 0               ? errorCode
                             : parseComplete(login, body) ? 0
                                                          : CODE_FORMAT_ERROR;
            reply.set_robottype(m_config.robotType);
            common::DhParam *dh = reply.mutable_dhparam();
            dh->set_a3(m_config.dh[0]);
            dh->set_a4(m_config.dh[1]);
            dh->set_d1(m_config.dh[2]);
            dh->set_d2(m_config.dh[3]);
            dh->set_d5(m_config.dh[4]);
            dh->set_d6(m_config.dh[5]);
            return dataReply(reply, code);
        }
        case GetJointStatus: {
            common::ProtoRobotAllJointStatusResponse reply;
            reply.ParseFromString(jointStatusPush(session, now));
            return dataReply(reply, errorCode);
        }
        case GetJointAngle: {
            common::ProtoJointAngleResponse reply;
            reply.ParseFromString(jointAnglePush(session, now));
            return dataReply(reply, errorCode);
        }
        case GetDiagnosis: {
            comm::ProtoCommunicationRobotDiagnosisInfo reply;
            reply.set_num(1);
            comm::RobotDiagnosis *diagnosis = reply.add_robotdiagnosis();
            diagnosis->set_armpowerstatus(m_powerOn);
            diagnosis->set_armpowervoltage(m_powerOn ? 48.0f : 0.0f);
            diagnosis->set_contorllertemp(35);
            diagnosis->set_contorllerhumidity(40);
            diagnosis->set_robotmaxacc(6000);
            return dataReply(reply, errorCode);
        }
        case GetCurrentState: {
            const bool moving = session.motion.active && !session.motion.paused;
            const int state = session.motion.paused ? 2 : (moving ? 1 : 0);
            outcome.body = generalDataReply(errorCode, state, std::nullopt);
            return outcome;
        }
        case GetTcpParam: {
            common::ProtoResponseRobotTcpParam reply;
            *reply.add_tcpparam() = m_tcpParam;
            return dataReply(reply, errorCode);
        }
        case GetToolDynamics: {
            common::ToolParam reply;
            *reply.add_tooldynamicsparam() = m_toolDynamics;
            return dataReply(reply, errorCode);
        }
        case GetWorkMode:
            outcome.body = generalDataReply(errorCode, m_workMode, std::nullopt);
            return outcome;
        case GetGravity: {
            common::ProtoResponseRobotGravityComponent reply;
            comm::RobotGravityComponent *gravity = reply.add_gravitycomponent();
            gravity->set_z(-9.81f);
            return dataReply(reply, errorCode);
        }
        case GetCollisionCurrent: {
            common::ProtoResponseRobotCollisionCurrent reply;
            comm::RobotCollisionCurrent *current = reply.add_collisioncurrent();
            for (int i = 0; i < 24; ++i) {
                current->add_jointcollisioncurrent(0);
            }
            current->set_collisionclass(static_cast<uint32_t>(m_collisionClass));
            return dataReply(reply, errorCode);
        }
        case GetRealRobotExist:
            // A simulation: there is no real arm behind it.
            outcome.body = generalDataReply(errorCode, std::nullopt, false);
            return outcome;
        case FirmwareResult:
            outcome.body = generalDataReply(errorCode, std::nullopt, true);
            return outcome;
        case GetDeviceInfo: {
            common::ProtoResponseRobotDevInfo reply;
            comm::YrlRobotDevInfo *info = reply.add_devinfo();
            info->set_type(static_cast<uint32_t>(m_config.robotType));
            info->set_revision("sim-1.0");
            info->set_manuid("kezu");
            info->set_jointtype("sim");
            info->set_desc("simulated controller");
            for (int i = 0; i < 6; ++i) {
                comm::JointVersion *version = info->add_jointver();
                version->set_hwversion("1.0");
                version->set_swversion("1.0");
                info->add_jointproductid("sim-joint-" + std::to_string(i + 1));
            }
            return dataReply(reply, errorCode);
        }
        case GetBoardAllDI:
        case GetBoardAllDO:
        case GetToolAllDigital: {
            comm::ProtoCommunicationRobotDiagnosisIOData reply;
            reply.set_type(1);
            if (commandType == GetToolAllDigital) {
                for (size_t i = 0; i < ioListLength(commandType, TOOL_DIGITAL_COUNT); ++i) {
                    comm::ProtoRobotDiagnosisIODesc *desc = reply.add_iodesc();
                    desc->set_addr(static_cast<uint32_t>(i));
                    desc->set_type(m_toolDigitalType[i]);
                    desc->set_value(m_toolDigitalValue[i]);
                }
            } else {
                const std::vector<uint32_t> &values =
                    commandType == GetBoardAllDI ? m_boardDI : m_boardDO;
                for (size_t i = 0; i < ioListLength(commandType, values.size()); ++i) {
                    comm::ProtoRobotDiagnosisIODesc *desc = reply.add_iodesc();
                    desc->set_addr(static_cast<uint32_t>(i));
                    desc->set_type(0);
                    desc->set_value(values[i]);
                }
            }
            return dataReply(reply, errorCode);
        }
        case GetBoardAllAI:
        case GetBoardAllAO:
        case GetToolAllAI: {
            comm::ProtoCommunicationRobotAnalogIOData reply;
            reply.set_type(1);
            std::vector<float> values(m_toolAI.begin(), m_toolAI.end());
            if (commandType != GetToolAllAI) {
                values = commandType == GetBoardAllAI ? m_boardAI : m_boardAO;
            }
            for (size_t i = 0; i < ioListLength(commandType, values.size()); ++i) {
                comm::ProtoRobotAnalogIODesc *desc = reply.add_iodesc();
                desc->set_addr(static_cast<uint32_t>(i));
                desc->set_type(0);
                desc->set_value(values[i]);
            }
            return dataReply(reply, errorCode);
        }
        case GetBoardOneDI:
        case GetBoardOneDO:
        case GetToolPowerType:
        case GetToolPowerVoltage:
            outcome.body = singleDigitalReply(commandType, body, errorCode);
            return outcome;
        case GetBoardOneAI:
        case GetBoardOneAO:
            outcome.body = singleAnalogReply(commandType, body, errorCode);
            return outcome;
        case GetSafetyConfig: {
            common::ProtoResponseRobotSafetyConfig reply;
            *reply.add_safetyconfig() = m_safetyConfig;
            return dataReply(reply, errorCode);
        }
        case GetOrpeStatus: {
            common::ProtoResponseOrpeSafetyStatus reply;
            *reply.add_safetystatus() = m_orpeStatus;
            return dataReply(reply, errorCode);
        }
        case GetDynIdentify: {
            comm::ProtoCommunicationDynIdentifyResults reply;
            reply.set_temp(0);
            for (int i = 0; i < 10; ++i) {
                reply.add_param(i);
            }
            return dataReply(reply, errorCode);
        }
        case GetToolAllIo: {
            comm::ProtoCommunicationToolAllIOStatusInfoResponse reply;
            comm::toolAllIOStatus *status = reply.mutable_tooliostatus();
            status->set_powertype(m_toolPowerType);
            status->set_systemvoltage(toolPowerVolts(m_toolPowerType));
            status->set_systemtemperature(30.0);
            for (int i = 0; i < TOOL_DIGITAL_COUNT; ++i) {
                comm::ToolDigitalStatus *digital = status->add_digitaliostatus();
                digital->set_iotype(m_toolDigitalType[i]);
                digital->set_iodata(m_toolDigitalValue[i]);
            }
            for (float value : m_toolAI) {
                status->add_aidata(value);
            }
            return dataReply(reply, errorCode);
        }
        case GetEthernetName: {
            comm::ProtoCommunicationEthernetDeviceNameResponse reply;
            reply.set_name("eth0");
            return dataReply(reply, errorCode);
        }
        default:
            outcome.reply = false;
            return outcome;
    }
}

std::string ControllerState::singleDigitalReply(int commandType, const std::string &body,
                                                int errorCode) const {
    comm::ProtoCommunicationRobotDiagnosisIOData request;
    comm::ProtoCommunicationRobotDiagnosisIOData reply;
    reply.set_type(1);
    int code = errorCode;
    if (!parseRequest(request, body) || request.iodesc_size() == 0) {
        code = code != 0 ? code : CODE_FORMAT_ERROR;
    } else {
        const uint32_t addr = request.iodesc(0).addr();
        uint32_t value = 0;
        bool known = true;
        if (commandType == GetToolPowerType) {
            value = m_toolPowerType;
        } else if (commandType == GetToolPowerVoltage) {
            value = toolPowerVolts(m_toolPowerType);
        } else {
            const std::vector<uint32_t> &values =
                commandType == GetBoardOneDI ? m_boardDI : m_boardDO;
            known = addr < values.size();
            value = known ? values[addr] : 0;
        }
        if (known) {
            if (ioListLength(commandType, 1) > 0) {
                comm::ProtoRobotDiagnosisIODesc *desc = reply.add_iodesc();
                desc->set_addr(addr);
                desc->set_type(0);
                desc->set_value(value);
            }
        } else if (code == 0) {
            code = CODE_PROCESS_FAILED;
        }
    }
    setError(reply.add_errorinfo(), code);
    return serialise(reply);
}

std::string ControllerState::singleAnalogReply(int commandType, const std::string &body,
                                               int errorCode) const {
    comm::ProtoCommunicationRobotAnalogIOData request;
    comm::ProtoCommunicationRobotAnalogIOData reply;
    reply.set_type(1);
    int code = errorCode;
    if (!parseRequest(request, body) || request.iodesc_size() == 0) {
        code = code != 0 ? code : CODE_FORMAT_ERROR;
    } else {
        const uint32_t addr = request.iodesc(0).addr();
        const std::vector<float> &values = commandType == GetBoardOneAI ? m_boardAI : m_boardAO;
        if (addr < values.size()) {
            comm::ProtoRobotAnalogIODesc *desc = reply.add_iodesc();
            desc->set_addr(addr);
            desc->set_type(0);
            desc->set_value(values[addr]);
        } else if (code == 0) {
            code = CODE_PROCESS_FAILED;
        }
    }
    setError(reply.add_errorinfo(), code);
    return serialise(reply);
}

int ControllerState::applyCommand(int commandType, const std::string &body, Session &session,
                                  Clock::time_point now, std::vector<ControllerEvent> &events,
                                  bool &moveStarted) {
    switch (commandType) {
        case EnableJointStatusPush:
        case DisableJointStatusPush:
            session.pushJointStatus = commandType == EnableJointStatusPush;
            return 0;
        case EnableJointAnglePush:
        case DisableJointAnglePush:
            session.pushJointAngle = commandType == EnableJointAnglePush;
            return 0;
        case EnableEndSpeedPush:
        case DisableEndSpeedPush:
            session.pushEndSpeed = commandType == EnableEndSpeedPush;
            return 0;
        case Startup: {
            comm::ProtoCommunicationRobotStartupProfile profile;
            if (!parseComplete(profile, body)) {
                return CODE_FORMAT_ERROR;
            }
            m_tcpParam = profile.tcpparam();
            m_collisionClass = profile.collisionclass();
            m_powerOn = true;
            events.push_back({EVENT_STARTUP_DONE, m_config.startupResult, "robot startup done"});
            return 0;
        }
        case Shutdown:
            m_powerOn = false;
            events.push_back({EVENT_SHUTDOWN_DONE, 0, "robot shutdown done"});
            return 0;
        case HandShake:
            events.push_back({EVENT_HANDSHAKE_SUCC, 0, "hand shake succeeded"});
            return 0;
        case SetPowerStatus: {
            comm::ProtoCommunicationGeneralData data;
            if (!parseRequest(data, body) || data.property2_size() == 0) {
                return CODE_FORMAT_ERROR;
            }
            m_powerOn = data.property2(0);
            return 0;
        }
        case RobotControl:
        case SetWorkMode:
        case SetCollisionGrade: {
            const std::vector<int32_t> values = generalInts(body);
            if (values.empty()) {
                return CODE_FORMAT_ERROR;
            }
            if (commandType == SetWorkMode) {
                m_workMode = values[0];
            } else if (commandType == SetCollisionGrade) {
                m_collisionClass = values[0];
            }
            return 0;
        }
        case SetTcpParam: {
            comm::RobotTcpParam param;
            if (!parseComplete(param, body)) {
                return CODE_FORMAT_ERROR;
            }
            m_tcpParam = param;
            return 0;
        }
        case SetToolDynamics: {
            common::ToolParam param;
            if (!parseRequest(param, body) || param.tooldynamicsparam_size() == 0 ||
                !param.tooldynamicsparam(0).IsInitialized()) {
                return CODE_FORMAT_ERROR;
            }
            m_toolDynamics = param.tooldynamicsparam(0);
            return 0;
        }
        case SetSafetyConfig: {
            common::ProtoResponseRobotSafetyConfig config;
            if (!parseRequest(config, body) || config.safetyconfig_size() == 0 ||
                !config.safetyconfig(0).IsInitialized()) {
                return CODE_FORMAT_ERROR;
            }
            m_safetyConfig = config.safetyconfig(0);
            return 0;
        }
        case OrpePause:
        case OrpeStop:
        case OrpeError:
        case ClearEmergencyStop:
        case ClearReducedModeError:
        case SafetyguardResetSucc: {
            comm::protoSafeCommunicationParam param;
            if (!parseRequest(param, body)) {
                return CODE_FORMAT_ERROR;
            }
            const int first = param.param_size() > 0 ? static_cast<int>(param.param(0)) : 0;
            switch (commandType) {
                case OrpePause:
                    m_orpeStatus.set_orpepause(first);
                    break;
                case OrpeStop:
                    m_orpeStatus.set_orpestop(first);
                    break;
                case OrpeError:
                    *m_orpeStatus.mutable_orpeerror() = param.param();
                    break;
                case ClearEmergencyStop:
                    m_orpeStatus.set_systememergencystop(first);
                    break;
                case ClearReducedModeError:
                    m_orpeStatus.set_reducedmodeerror(first);
                    break;
                default:
                    m_orpeStatus.set_safetyguardresetsucc(first);
                    break;
            }
            return 0;
        }
        case SetJointOffset: {
            common::RobotJointOffset offset;
            if (!parseComplete(offset, body)) {
                return CODE_FORMAT_ERROR;
            }
            m_jointOffset = offset;
            return 0;
        }
        case UpdateFirmware: {
            comm::ProtoCommunicationRobotBoardFirmware firmware;
            return parseComplete(firmware, body) ? 0 : CODE_FORMAT_ERROR;
        }
        case SetBoardOneDO:
        case SetBoardOneAO:
        case SetToolPowerType:
        case SetToolPowerAndIoType:
        case SetToolIoType:
        case SetToolDigital:
            return applyIoCommand(commandType, body);
        default:
            return applyMotionCommand(commandType, body, session, now, events, moveStarted);
    }
}

int ControllerState::applyIoCommand(int commandType, const std::string &body) {
    if (commandType == SetBoardOneAO) {
        comm::ProtoCommunicationRobotAnalogIOData data;
        if (!parseRequest(data, body) || data.iodesc_size() == 0) {
            return CODE_FORMAT_ERROR;
        }
        const uint32_t addr = data.iodesc(0).addr();
        if (addr >= m_boardAO.size()) {
            return CODE_PROCESS_FAILED;
        }
        m_boardAO[addr] = data.iodesc(0).value();
        return 0;
    }
    comm::ProtoCommunicationRobotDiagnosisIOData data;
    if (!parseRequest(data, body) || data.iodesc_size() == 0) {
        return CODE_FORMAT_ERROR;
    }
    const uint32_t addr = data.iodesc(0).addr();
    const uint32_t value = data.iodesc(0).value();
    switch (commandType) {
        case SetBoardOneDO:
            if (addr >= m_boardDO.size()) {
                return CODE_PROCESS_FAILED;
            }
            m_boardDO[addr] = value;
            return 0;
        case SetToolPowerType:
            if (value > 2) {
                return CODE_PROCESS_FAILED;
            }
            m_toolPowerType = value;
            return 0;
        case SetToolPowerAndIoType:
            if (data.iodesc_size() != 1 + TOOL_DIGITAL_COUNT || value > 2) {
                return CODE_FORMAT_ERROR;
            }
            m_toolPowerType = value;
            for (int i = 0; i < TOOL_DIGITAL_COUNT; ++i) {
                m_toolDigitalType[i] = data.iodesc(i + 1).value() != 0 ? 1 : 0;
            }
            return 0;
        case SetToolIoType:
        case SetToolDigital:
            if (addr >= static_cast<uint32_t>(TOOL_DIGITAL_COUNT)) {
                return CODE_PROCESS_FAILED;
            }
            if (commandType == SetToolIoType) {
                m_toolDigitalType[addr] = value != 0 ? 1 : 0;
            } else {
                m_toolDigitalValue[addr] = value != 0 ? 1 : 0;
            }
            return 0;
        default:
            return CODE_PROCESS_FAILED;
    }
}

int ControllerState::applyMotionCommand(int commandType, const std::string &body, Session &session,
                                        Clock::time_point now, std::vector<ControllerEvent> &events,
                                        bool &moveStarted) {
    switch (commandType) {
        case RobotMove: {
            common::RobotMove move;
            if (!parseComplete(move, body) || move.roadpointvector_size() == 0) {
                return CODE_FORMAT_ERROR;
            }
            moveStarted = true;
            return startMotion(session,
                               {move.roadpointvector().begin(), move.roadpointvector().end()}, now);
        }
        case TrackAppend: {
            common::RobotMove move;
            if (!parseComplete(move, body)) {
                return CODE_FORMAT_ERROR;
            }
            m_offlineTrack.insert(m_offlineTrack.end(), move.roadpointvector().begin(),
                                  move.roadpointvector().end());
            return 0;
        }
        case TrackClear:
            m_offlineTrack.clear();
            return 0;
        case TrackStart:
            if (m_offlineTrack.empty()) {
                return CODE_PROCESS_FAILED;
            }
            moveStarted = true;
            return startMotion(session, m_offlineTrack, now);
        case ExcitTraj: {
            comm::ProtoCommunicationOfflineExcitTraj traj;
            if (!parseComplete(traj, body)) {
                return CODE_FORMAT_ERROR;
            }
            // Runs in place for one travel unit and comes back where it started.
            common::ProtoRoadPoint here;
            for (double joint : jointsAt(session, now)) {
                here.add_jointpos(joint);
            }
            here.mutable_orientation()->set_w(m_pose.orientation[0]);
            here.mutable_orientation()->set_x(m_pose.orientation[1]);
            here.mutable_orientation()->set_y(m_pose.orientation[2]);
            here.mutable_orientation()->set_z(m_pose.orientation[3]);
            common::Pos *pos = here.mutable_cartpos()->add_position();
            pos->set_x(m_pose.position[0]);
            pos->set_y(m_pose.position[1]);
            pos->set_z(m_pose.position[2]);
            moveStarted = true;
            const int code = startMotion(session, {here}, now);
            session.motion.duration = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(m_config.travelScale));
            return code;
        }
        case MoveControl: {
            const std::vector<int32_t> values = generalInts(body);
            if (values.empty() || values[0] < MOVE_STOP || values[0] > MOVE_CONTINUE) {
                return CODE_FORMAT_ERROR;
            }
            Motion &motion = session.motion;
            if (values[0] == MOVE_STOP) {
                stopMotion(session, now);
                events.push_back({EVENT_STATE_CHANGED, 0, "robot stopped"});
            } else if (values[0] == MOVE_PAUSE && motion.active && !motion.paused) {
                motion.elapsedBeforePause += now - motion.start;
                motion.paused = true;
            } else if (values[0] == MOVE_CONTINUE && motion.active && motion.paused) {
                motion.start = now;
                motion.paused = false;
            }
            return 0;
        }
        case FastStop:
        case TrackStop:
            stopMotion(session, now);
            events.push_back({EVENT_STATE_CHANGED, 0, "robot stopped"});
            return 0;
        case TeachMoveStart: {
            common::RobotTeachMove teach;
            if (!parseComplete(teach, body)) {
                return CODE_FORMAT_ERROR;
            }
            startJog(session, teach.move_profile(), now);
            return 0;
        }
        case CanbusPosData: {
            common::RobotMove move;
            return parseComplete(move, body) ? 0 : CODE_FORMAT_ERROR;
        }
        case TeachMoveStop:
            if (session.motion.jog) {
                stopMotion(session, now);
            }
            return 0;
        case CollisionRecover:
        case ReleaseBrake:
        case SetOriginPose:
        case EnterCanbus:
        case LeaveCanbus:
            return 0;
        default:
            return CODE_PROCESS_FAILED;
    }
}

int ControllerState::startMotion(Session &session, const std::vector<common::ProtoRoadPoint> &path,
                                 Clock::time_point now) {
    // Before the first move, after preset joints and after a stop, the pose is unknown, not the
    // origin: the move then starts from its first point's pose, so only its joints time that step.
    if (!m_poseKnown && !path.empty()) {
        m_pose = roadPointPose(path.front(), m_pose);
    }
    m_poseKnown = true;
    const Joints from = jointsAt(session, now);
    Joints previous = from;
    Pose previousPose = m_pose;
    double distance = 0.0;
    for (const common::ProtoRoadPoint &point : path) {
        const Joints next = roadPointJoints(point, previous);
        const Pose nextPose = roadPointPose(point, previousPose);
        distance += stepSize(previous, next, previousPose, nextPose);
        previous = next;
        previousPose = nextPose;
    }
    beginMotion(session.motion, from, previous, previousPose, distance, now);
    return 0;
}

void ControllerState::beginMotion(Motion &motion, const Joints &from, const Joints &to,
                                  const Pose &target, double distance, Clock::time_point now) {
    motion.active = true;
    motion.paused = false;
    motion.jog = false;
    motion.from = from;
    motion.to = to;
    motion.target = target;
    motion.start = now;
    motion.elapsedBeforePause = Clock::duration::zero();
    motion.duration = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(distance * m_config.travelScale));
}

void ControllerState::startJog(Session &session, const common::RobotMoveProfile &profile,
                               Clock::time_point now) {
    const int teach = profile.teachmode();
    if (teach < TEACH_JOINT1 || teach > TEACH_ROT_Z) {
        return;
    }
    // The loop-count field carries the jog direction.
    const double sign = profile.circularlooptimes() == 1 ? 1.0 : -1.0;
    const Joints from = jointsAt(session, now);
    Pose target = m_pose;
    Joints to = from;
    if (teach <= TEACH_JOINT6) {
        to[teach - TEACH_JOINT1] += sign * JOG_SPAN;
    } else if (teach <= TEACH_MOV_Z) {
        target.position[teach - TEACH_MOV_X] += sign * JOG_SPAN;
    } else {
        target.orientation = turnedAbout(m_pose.orientation, teach - TEACH_ROT_X, sign * JOG_SPAN);
    }
    // A jog runs until it is stopped or its span is covered.
    beginMotion(session.motion, from, to, target, JOG_SPAN, now);
    session.motion.jog = true;
}

void ControllerState::stopMotion(Session &session, Clock::time_point now) {
    if (!session.motion.active) {
        return;
    }
    const double fraction = motionFraction(session, now);
    for (int i = 0; i < 3; ++i) {
        m_pose.position[i] += (session.motion.target.position[i] - m_pose.position[i]) * fraction;
    }
    m_joints = jointsAt(session, now);
    // Where the arm stopped is known in joints only: that position is a straight-line guess,
    // and the commanded target itself when the move began from an unknown pose. The next move
    // starts from its first point's pose, so the stopped joints time that step.
    m_poseKnown = false;
    session.motion.active = false;
}

double ControllerState::motionFraction(const Session &session, Clock::time_point now) const {
    const Motion &motion = session.motion;
    if (!motion.active) {
        return 1.0;
    }
    Clock::duration elapsed = motion.elapsedBeforePause;
    if (!motion.paused) {
        elapsed += now - motion.start;
    }
    if (motion.duration <= Clock::duration::zero() || elapsed >= motion.duration) {
        return 1.0;
    }
    return std::chrono::duration<double>(elapsed).count() /
           std::chrono::duration<double>(motion.duration).count();
}

Joints ControllerState::jointsAt(const Session &session, Clock::time_point now) const {
    const Motion &motion = session.motion;
    if (!motion.active) {
        return m_joints;
    }
    const double fraction = motionFraction(session, now);
    Joints joints{};
    for (int i = 0; i < 6; ++i) {
        joints[i] = motion.from[i] + (motion.to[i] - motion.from[i]) * fraction;
    }
    return joints;
}

std::optional<Clock::time_point> ControllerState::arrivalTime(const Session &session) const {
    const Motion &motion = session.motion;
    if (!motion.active || motion.paused) {
        return std::nullopt;
    }
    return motion.start + (motion.duration - motion.elapsedBeforePause);
}

bool ControllerState::finishMotion(Session &session, Clock::time_point now) {
    const std::optional<Clock::time_point> arrival = arrivalTime(session);
    if (!arrival || now < *arrival) {
        return false;
    }
    m_joints = session.motion.to;
    m_pose = session.motion.target;
    session.motion.active = false;
    return true;
}

std::string ControllerState::jointStatusPush(const Session &session, Clock::time_point now) const {
    const Joints joints = jointsAt(session, now);
    common::ProtoRobotAllJointStatusResponse push;
    push.set_jointcount(6);
    for (int i = 0; i < 6; ++i) {
        common::ProtoJointStatus *status = push.add_jointstatus();
        status->set_jointposj(static_cast<float>(joints[i]));
        status->set_jointtagposj(
            static_cast<float>(session.motion.active ? session.motion.to[i] : joints[i]));
        status->set_jointcurvol(m_powerOn ? 48.0f : 0.0f);
        status->set_jointcurtemp(30.0f);
    }
    setError(push.add_errorinfo(), 0);
    return serialise(push);
}

std::string ControllerState::jointAnglePush(const Session &session, Clock::time_point now) const {
    const Joints joints = jointsAt(session, now);
    common::ProtoJointAngleResponse push;
    common::ProtoJointAngle *angle = push.mutable_jointangle();
    angle->set_joint1(joints[0]);
    angle->set_joint2(joints[1]);
    angle->set_joint3(joints[2]);
    angle->set_joint4(joints[3]);
    angle->set_joint5(joints[4]);
    angle->set_joint6(joints[5]);
    setError(push.add_errorinfo(), 0);
    return serialise(push);
}

std::string ControllerState::endSpeedPush(const Session &session, Clock::time_point now) const {
    double speed = 0.0;  // metres per second
    const Motion &motion = session.motion;
    if (motion.active && !motion.paused && motionFraction(session, now) < 1.0) {
        double squared = 0.0;
        for (int i = 0; i < 3; ++i) {
            const double d = motion.target.position[i] - m_pose.position[i];
            squared += d * d;
        }
        speed = std::sqrt(squared) / std::chrono::duration<double>(motion.duration).count();
    }
    return generalDataReply(0, static_cast<int32_t>(std::lround(speed * 1000.0)), std::nullopt);
}

std::string ControllerState::eventBody(const ControllerEvent &event) {
    comm::ProtoCommunicationRobotEvent body;
    body.set_eventtype(event.type);
    body.set_eventcode(event.code);
    body.set_eventcontent(event.content);
    return body.SerializeAsString();
}

}  // namespace kezu_sim
