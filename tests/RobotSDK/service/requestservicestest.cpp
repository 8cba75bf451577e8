#include <google/protobuf/text_format.h>
#include <google/protobuf/util/message_differencer.h>

#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "controllerframing.h"
#include "protoencodedecode.h"
#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"
#include "robotmoveservice.h"
#include "servicetests.h"

namespace {

using namespace kezu_robot_namespace;
using servicetests::Cmd;
using servicetests::inBackground;
using Call = std::function<int(RobotControlServices &)>;
using Encode = std::function<bool(char **, int *)>;
using PED = ProtoEncodeDecode;
namespace wire = kezu::robot::communication;
namespace common = kezu::robot::common;
namespace gp = google::protobuf;

// What a service sends: its command type and the body the named encoder builds.
struct Row {
    const char *name;
    int commandType;
    Call call;
    Encode body;  // null: no body
};

std::string encoded(const Encode &encode) {
    if (!encode) return std::string();
    char *ptr = nullptr;
    int size = 0;
    EXPECT_TRUE(encode(&ptr, &size));
    std::string bytes(ptr, size);
    delete[] ptr;
    return bytes;
}

// The body an encoder builds from these arguments.
template <class F, class... A>
Encode body(F encode, A... args) {
    return [=](char **p, int *n) mutable { return encode(p, n, args...); };
}
Encode ioBody(std::vector<RobotDiagnosisIODesc> records) {
    return body(PED::getRequest_robotDiagnosisIOData, records);
}
Encode analogBody(std::vector<RobotAnalogIODesc> records) {
    return body(PED::getRequest_robotAnalogIOData, records);
}
Encode safetyBody(std::vector<int> values) {
    return body(PED::getRequest_safeIoParamAbout, values);
}

const ToolDynamicsParam kTool{0.1, 0.2, 0.3, 1.0, {0, 0, 0, 0, 0, 0}};
const unsigned char kFirmware[] = {1, 2, 3, 4};

// clang-format off
std::vector<Row> commandTable() {
    static RobotJointOffset offset{{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}};
    static unsigned char orpeError[] = {7, 8, 200};
    static const RobotTcpParam tcp = {{0.01f, 0.02f, 0.03f, 1.5f}, {0.04f, 0.05f, 0.06f, 2.5f}};
    static RobotSafetyConfig safety{};
    auto none = Encode();
    return {
        {"joint status push on", 4, [](auto &s) { return s.setRealTimeJointStatusPush(true); }, none},
        {"joint status push off", 5, [](auto &s) { return s.setRealTimeJointStatusPush(false); }, none},
        {"joint angle push on", 8, [](auto &s) { return s.setRealTimeJointAnglePush(true); }, none},
        {"joint angle push off", 9, [](auto &s) { return s.setRealTimeJointAnglePush(false); }, none},
        {"end speed push on", 12, [](auto &s) { return s.setRealTimeEndSpeedPush(true); }, none},
        {"end speed push off", 13, [](auto &s) { return s.setRealTimeEndSpeedPush(false); }, none},
        {"robot control", 18, [](auto &s) { return s.robotControlService(OrpeOpen); }, body(PED::getRequest_robotControl, OrpeOpen)},
        {"collision recover", 19, [](auto &s) { return s.collisionRecover(); }, none},
        {"arm power", 20, [](auto &s) { return s.armPowerControlService(true); }, body(PED::getRequest_setRobotPowerStatus, true)},
        {"release brake", 21, [](auto &s) { return s.rootReleaseBrake(); }, none},
        {"set tcp", 27, [](auto &s) { return s.setTcpParamService(tcp); }, body(PED::getRequest_tcpParam, tcp)},
        {"set tool dynamics", 29, [](auto &s) { return s.setToolDynamicsParamService(kTool); }, body(PED::getRequest_setToolDynamicsParam, kTool)},
        {"set work mode", 33, [](auto &s) { return s.setRobotWorkModeService(RobotModeReal); }, body(PED::getRequest_setRobotWorkMode, RobotModeReal)},
        {"set collision grade", 40, [](auto &s) { return s.setRobotCollisionClassService(6); }, body(PED::getRequest_setRobotCollision, 6)},
        {"origin pose", 60, [](auto &s) { return s.setRobotAtOriginPoseService(); }, none},
        {"set safety config", 62, [](auto &s) { return s.setRobotSafetyConfig(safety); }, body(PED::getRequest_setSafetyConfig, safety)},
        {"firmware", 82, [](auto &s) { return s.updateRobotBoardFirmwareService(update_master_board_firmware_trans_data, kFirmware, 4); }, body(PED::getRequest_firmwareUpgrade, 2, kFirmware, 4)},
        {"joint offset", 86, [](auto &s) { return s.setRobotJointOffsetService(offset); }, body(PED::getRequest_robotRobotJointOffsetData, offset)},
        {"orpe pause", 64, [](auto &s) { return s.setRobotOrpePause(1); }, safetyBody({1})},
        {"orpe stop", 65, [](auto &s) { return s.setRobotOrpeStop(2); }, safetyBody({2})},
        {"orpe error", 66, [](auto &s) { return s.setRobotOrpeError(orpeError, 3); }, safetyBody({7, 8, 200})},
        {"orpe error, none", 66, [](auto &s) { return s.setRobotOrpeError(orpeError, 0); }, safetyBody({})},
        {"clear emergency stop", 67, [](auto &s) { return s.clearSystemEmergencyStop(3); }, safetyBody({3})},
        {"clear reduced mode", 68, [](auto &s) { return s.clearReducedModeError(4); }, safetyBody({4})},
        {"safeguard reset", 69, [](auto &s) { return s.robotSafetyguardResetSucc(5); }, safetyBody({5})},
        {"board DO", 50, [](auto &s) { return s.setInterfaceBoardDOStatusService(258, IO_STATUS_VALID); }, ioBody({{2, 1, 0}})},
        {"board AO", 51, [](auto &s) { return s.setInterfaceBoardAOStatusService(3, 0.1); }, analogBody({{3, 0.1f, 0}})},
        {"tool voltage type", 53, [](auto &s) { return s.setToolPowerVoltageTypeService(OUT_12V); }, ioBody({{0, 1, 0}})},
        {"tool power and IO types", 54, [](auto &s) { return s.setToolPowerTypeAndDigitalIOTypeService(OUT_24V, IO_IN, IO_OUT, IO_IN, IO_OUT); }, ioBody({{0, 2, 2}, {0, 0, 0}, {1, 1, 1}, {2, 0, 0}, {3, 1, 1}})},
        {"tool IO type", 55, [](auto &s) { return s.setToolDigitalIOTypeService(TOOL_DIGITAL_IO_2, IO_OUT); }, ioBody({{2, 1, 0}})},
        {"tool IO status", 59, [](auto &s) { return s.setToolDigitalIOStatusService(TOOL_DIGITAL_IO_3, IO_STATUS_VALID); }, ioBody({{3, 1, 0}})},
        {"excitation trajectory", 78, [](auto &s) { return s.startupOfflineExcitTrajService("traj.txt", Dyn_identify_traj_tool, 3); }, body(PED::getRequest_startupOfflineExcitTraj, "traj.txt", 2, 3)},
        {"handshake, not waiting", 80, [](auto &s) { return s.robotHandShakeService(false); }, none},
        {"shutdown, not waiting", 17, [](auto &s) { return s.robotShutdownService(false); }, none},
        {"startup, not waiting", 16, [](auto &s) { ROBOT_SERVICE_STATE state = ROBOT_SERVICE_READY; return s.robotStartupService(tcp, 6, true, false, 10, state, false); }, body(PED::getRequest_robotStartup, tcp, 6, true, false, 10)},
    };
}

std::vector<Row> readTable() {
    auto none = Encode();
    return {
        {"joint status", 6, [](auto &s) { JointStatus j[6]; return s.getRobotJointStatus(j, 6); }, none},
        {"joint angle", 10, [](auto &s) { JointParam j; return s.getCurrentJointAngle(j); }, none},
        {"diagnosis", 15, [](auto &s) { RobotDiagnosis d; return s.getRobotDiagnosisInfo(d); }, none},
        {"state", 26, [](auto &s) { RobotState v; return s.getRobotCurrentStateService(v); }, none},
        {"tcp", 28, [](auto &s) { RobotTcpParam v; return s.getTcpParamService(v); }, none},
        {"tool dynamics", 30, [](auto &s) { ToolDynamicsParam v; return s.getToolDynamicsParamService(v); }, none},
        {"work mode", 34, [](auto &s) { RobotWorkMode v; return s.getRobotWorkModeService(v); }, none},
        {"gravity", 35, [](auto &s) { RobotGravityComponent v; return s.getRobotGravityComponent(v); }, none},
        {"collision current", 36, [](auto &s) { RobotCollisionCurrent v; return s.getRobotCollisionCurrentService(v); }, none},
        {"real robot", 37, [](auto &s) { bool v; return s.getIsRealRobotExist(v); }, none},
        {"device info", 38, [](auto &s) { RobotDevInfo v; return s.getRobotDevInfoService(v); }, none},
        {"board DI", 41, [](auto &s) { std::vector<RobotDiagnosisIODesc> v; return s.getInterfaceBoardAllDIStatusService(v); }, none},
        {"board DO", 42, [](auto &s) { std::vector<RobotDiagnosisIODesc> v; return s.getInterfaceBoardAllDOStatusService(v); }, none},
        {"board AI", 43, [](auto &s) { std::vector<RobotAnalogIODesc> v; return s.getInterfaceBoardAllAIStatusService(v); }, none},
        {"board AO", 44, [](auto &s) { std::vector<RobotAnalogIODesc> v; return s.getInterfaceBoardAllAOStatusService(v); }, none},
        {"tool DIO", 57, [](auto &s) { std::vector<RobotDiagnosisIODesc> v; return s.getToolAllDigitalIOStatusService(v); }, none},
        {"tool AI", 58, [](auto &s) { std::vector<RobotAnalogIODesc> v; return s.getToolAllAIStatusService(v); }, none},
        {"safety config", 61, [](auto &s) { RobotSafetyConfig v; return s.getRobotSafetyConfig(v); }, none},
        {"orpe status", 63, [](auto &s) { OrpeSafetyStatus v; return s.getOrpeSafetyStatus(v); }, none},
        {"tool IO status", 81, [](auto &s) { RobotToolAllIOStatus v; return s.getToolAllIOStatusService(v); }, none},
        {"firmware result", 83, [](auto &s) { bool v; return s.getBoardFirmwareUpdateResultService(v); }, none},
        {"ethernet name", 84, [](auto &s) { std::string v; return s.getRobotEthernetDeviceNameService(v); }, none},
        {"identification", 79, [](auto &s) { std::vector<int> v; return s.getDynIdentifyResultsService(v); }, none},
        {"one DI", 46, [](auto &s) { IO_STATUS v; return s.getInterfaceBoardDIStatusService(257, v); }, ioBody({{1, 0, 0}})},
        {"one DO", 47, [](auto &s) { IO_STATUS v; return s.getInterfaceBoardDOStatusService(5, v); }, ioBody({{5, 0, 0}})},
        {"tool voltage type", 52, [](auto &s) { ToolPowerType v; return s.getToolPowerVoltageTypeService(v); }, ioBody({{0, 0, 0}})},
        {"tool voltage", 56, [](auto &s) { double v; return s.getToolPowerVoltageStatusService(v); }, ioBody({{0, 0, 0}})},
        {"one AI", 48, [](auto &s) { double v; return s.getInterfaceBoardAIStatusService(2, v); }, analogBody({{2, 0.0f, 0}})},
        {"one AO", 49, [](auto &s) { double v; return s.getInterfaceBoardAOStatusService(3, v); }, analogBody({{3, 0.0f, 0}})},
    };
}
// clang-format on

class RequestServicesTest : public kezu_test::LoggedInServicesTest {};

TEST_F(RequestServicesTest, EveryServiceSendsItsCommandAndBodyAndMapsTheControllersCodes) {
    const int mapped[] = {0, ErrCode_ResponseReturnError, ErrCode_ResponseReturnError,
                          ErrCode_ResponseReturnError, ErrCode_RealRobotNoExist};
    for (const auto &table : {commandTable(), readTable()}) {
        for (const Row &row : table) {
            controller().clearReceived();
            row.call(services());
            const auto packages = controller().received();
            ASSERT_EQ(1u, packages.size()) << row.name;
            EXPECT_EQ(row.commandType, packages[0].commandType) << row.name;
            EXPECT_EQ(encoded(row.body), packages[0].body) << row.name;
            for (int code = 0; code <= 4; ++code) {
                controller().setReplyFault(row.commandType, kezu_sim::ReplyFault({}, false, code));
                EXPECT_EQ(mapped[code], row.call(services())) << row.name << " code " << code;
            }
            controller().clearReplyFaults();
        }
    }
}

// A waypoint whose numbers all differ, and its road point in text form: the position both as an
// entry and as a list, as the controller reads either.
wayPoint_S numbered(double k) {
    return {{{k + 0.125, k + 0.25, k + 0.375}},
            {k + 0.5, k + 0.625, k + 0.75, k + 0.875},
            {k + 1.0625, k + 1.125, k + 1.1875, k + 1.25, k + 1.3125, k + 1.375}};
}
std::string roadPointText(const wayPoint_S &w) {
    const Pos &p = w.cartPos.position;
    const Ori &o = w.orientation;
    std::ostringstream text;
    text.precision(17);
    text << "cartPos { position { x: " << p.x << " y: " << p.y << " z: " << p.z
         << " } positionVector: [" << p.x << ", " << p.y << ", " << p.z
         << "] } orientation { w: " << o.w << " x: " << o.x << " y: " << o.y << " z: " << o.z
         << " } jointpos: [";
    for (int j = 0; j < 6; ++j) text << (j ? ", " : "") << w.jointpos[j];
    text << "]";
    return text.str();
}

// The fields that a row writes out in text form, against the body as the generated class
// decodes it; fields the row leaves out are not compared.
void expectFields(const gp::Message &type, const std::string &expected, const std::string &body,
                  const char *name) {
    const std::unique_ptr<gp::Message> want(type.New()), got(type.New());
    gp::TextFormat::Parser parser;
    parser.AllowPartialMessage(true);
    ASSERT_TRUE(parser.ParseFromString(expected, want.get())) << name;
    ASSERT_TRUE(got->ParsePartialFromString(body)) << name;
    std::string differences;
    gp::util::MessageDifferencer differ;
    differ.set_scope(gp::util::MessageDifferencer::PARTIAL);
    differ.ReportDifferencesToString(&differences);
    EXPECT_TRUE(differ.Compare(*want, *got)) << name << ":\n" << differences;
}

// Every builder whose fields could be mixed up: what the controller received holds each
// argument in its own field. Values of one type differ from field to field.
TEST_F(RequestServicesTest, BodiesHoldEachArgumentInItsOwnField) {
    RobotMoveService move(&services());
    const RobotTcpParam tcp = {{0.25f, 0.5f, 0.75f, 1.5f}, {0.125f, 0.375f, 0.625f, 2.5f}};
    const std::string tcpText =
        "paramAutorun { positionX: 0.25 positionY: 0.5 positionZ: 0.75 payload: 1.5 } "
        "paramManual { positionX: 0.125 positionY: 0.375 positionZ: 0.625 payload: 2.5 }";
    const ToolDynamicsParam dynamics = {
        0.125, 0.25, 0.375, 1.5, {0.5, 0.625, 0.75, 0.875, 1.25, 1.375}};
    const ToolInEndDesc kinematics = {{0.0625, 0.1875, 0.3125}, {0.5, -0.5, 0.5, -0.5}};
    RobotMoveProfile profile;
    RobotMoveService::initDefaultMoveProfile(profile);
    const CoordCalibrateByToolEndPoint frame = {
        WorldCoordinate,
        Origin_AnyPointOnPositiveZAxis_AnyPointOnFirstQuadrantOfZOXPlane,
        {numbered(1), numbered(2), numbered(3)}};
    RobotMoveProfile full = profile;
    full.moveMode = MODEL;
    full.subMoveMode = CARTESIAN_MOVEP;
    full.teachMode = MOV_Y;
    full.enableIterIk = false;
    full.toolTrack = true;
    full.toolInEndPosition.position = {0.125, 0.25, 0.375};
    full.toolInEndOrientation = {0.5, -0.5, 0.5, -0.5};
    full.relativeMove.ena = true;
    full.relativeMove.relativePosition[0] = 0.0625f;
    full.relativeMove.relativePosition[1] = 0.1875f;
    full.relativeMove.relativePosition[2] = 0.3125f;
    full.relativeMove.relativeOrientation.orientation = {0.75, 0.25, -0.25, 0.5};
    for (int j = 0; j < 6; ++j) {
        full.maxVelc.jointPara[j] = 1.0625 + j / 16.0;
        full.maxAcc.jointPara[j] = 2.0625 + j / 16.0;
    }
    full.arrivalAhead.arrivalAheadStat = arrival_ahead_distance;
    full.arrivalAhead.arrivalAheadThr = 0.015625;
    full.blendRadius = 0.03125f;
    full.circularLoopTimes = 5;
    const std::string fullText =
        "move_profile { moveMode: MODEL subMoveMode: CARTESIAN_MOVEP teachMode: MOV_Y "
        "enableIterIk: false toolTrack: true toolInEndPosition { x: 0.125 y: 0.25 z: 0.375 } "
        "toolInEndOrientation { w: 0.5 x: -0.5 y: 0.5 z: -0.5 } relativeMove { ena: true "
        "relativePosition: [0.0625, 0.1875, 0.3125] relativeOrientation { orientation { w: 0.75 "
        "x: 0.25 y: -0.25 z: 0.5 } quaternionVector: [0.75, 0.25, -0.25, 0.5] } } "
        "maxVelc { jointPara: [1.0625, 1.125, 1.1875, 1.25, 1.3125, 1.375] } "
        "maxAcc { jointPara: [2.0625, 2.125, 2.1875, 2.25, 2.3125, 2.375] } blendRadius: 0.03125 "
        "circularLoopTimes: 5 arrivalAhead { arrivalAheadStat: 1 arrivalAheadThr: 0.015625 } }";
    const RobotSafetyConfig safety = {{11, 12, 13, 14, 15, 16}, 21, 22, 23, 24, 25, 26};
    RobotJointOffset offset = {{0.125, 0.25, 0.375, 0.5, 0.625, 0.75}};
    unsigned char orpeError[] = {7, 8, 200};
    wayPoint_S target = numbered(0);
    const auto &startupType = wire::ProtoCommunicationRobotStartupProfile::default_instance();
    const auto &digital = wire::ProtoCommunicationRobotDiagnosisIOData::default_instance();
    const auto &general = wire::ProtoCommunicationGeneralData::default_instance();
    const struct {
        const char *name;
        int commandType;
        std::function<int()> call;
        const gp::Message &type;
        std::string expected;
    } rows[] = {
        // clang-format off
        {"login", 0, [&] { services().logoutService(); return services().loginService("127.0.0.1", controller().port(), "name", "word"); },
         wire::ProtoRequestLogin::default_instance(), "userName: 'name' passwd: 'word'"},
        {"startup", 16, [&] { ROBOT_SERVICE_STATE state = ROBOT_SERVICE_READY; return services().robotStartupService(tcp, 6, true, false, 10, state, false); },
         startupType, "tcpParam { " + tcpText + " } readPose: true staticCollisionDetect: false collisionClass: 6 maxAcc: 10"},
        {"tcp", 27, [&] { return services().setTcpParamService(tcp); }, wire::RobotTcpParam::default_instance(), tcpText},
        {"tool dynamics", 29, [&] { return services().setToolDynamicsParamService(dynamics); }, common::ToolParam::default_instance(),
         "toolDynamicsParam { positionX: 0.125 positionY: 0.25 positionZ: 0.375 payload: 1.5 "
         "toolInertia { xx: 0.5 xy: 0.625 xz: 0.75 yy: 0.875 yz: 1.25 zz: 1.375 } }"},
        {"tool kinematics in a move", 22, [&] { RobotMoveService::setMoveProfileToolParam(kinematics); return move.robotJointMove(target, false); },
         common::RobotMove::default_instance(),
         "move_profile { toolTrack: true toolInEndPosition { x: 0.0625 y: 0.1875 z: 0.3125 } toolInEndOrientation { w: 0.5 x: -0.5 y: 0.5 z: -0.5 } }"},
        {"move profile", 22, [&] { return move.moveProfileAndWaypointsFormatCommunication(Cmd::CommunicationType_RobotMove, full, {target}); },
         common::RobotMove::default_instance(), fullText},
        {"offline track points", 71, [&] { return move.offlineTrackWaypointAppend({numbered(1), numbered(2)}); }, common::RobotMove::default_instance(),
         "roadPointVector { " + roadPointText(numbered(1)) + " } roadPointVector { " + roadPointText(numbered(2)) + " }"},
        {"teach frame", 23, [&] { return move.robotTeachMove(profile, frame); }, common::RobotTeachMove::default_instance(),
         "coordinateSystemType: 2 calibrateRoadPointVector { " + roadPointText(numbered(1)) + " } calibrateRoadPointVector { " +
             roadPointText(numbered(2)) + " } calibrateRoadPointVector { " + roadPointText(numbered(3)) + " } calibrateMathod: 7"},
        {"board DO", 50, [&] { return services().setInterfaceBoardDOStatusService(5, IO_STATUS_VALID); }, digital,
         "type: 0 ioDesc { addr: 5 type: 0 value: 1 }"},
        {"board AO", 51, [&] { return services().setInterfaceBoardAOStatusService(3, 2.5); },
         wire::ProtoCommunicationRobotAnalogIOData::default_instance(), "type: 0 ioDesc { addr: 3 type: 0 value: 2.5 }"},
        {"tool power and IO types", 54, [&] { return services().setToolPowerTypeAndDigitalIOTypeService(OUT_24V, IO_IN, IO_OUT, IO_IN, IO_OUT); }, digital,
         "type: 0 ioDesc { addr: 0 type: 2 value: 2 } ioDesc { addr: 0 type: 0 value: 0 } ioDesc { addr: 1 type: 1 value: 1 } "
         "ioDesc { addr: 2 type: 0 value: 0 } ioDesc { addr: 3 type: 1 value: 1 }"},
        {"safety config", 62, [&] { return services().setRobotSafetyConfig(safety); }, common::ProtoResponseRobotSafetyConfig::default_instance(),
         "safetyConfig { robotReducedConfigJointSpeed: [11, 12, 13, 14, 15, 16] robotReducedConfigTcpSpeed: 21 robotReducedConfigTcpForce: 22 "
         "robotReducedConfigMomentum: 23 robotReducedConfigPower: 24 robotSafeguradResetConfig: 25 robotOperationalModeConfig: 26 } "
         "errorInfo { errorCode: 0 errorMsg: '' }"},
        {"orpe error", 66, [&] { return services().setRobotOrpeError(orpeError, 3); }, wire::protoSafeCommunicationParam::default_instance(),
         "paramReserved: 0 param: [7, 8, 200]"},
        {"joint offset", 86, [&] { return services().setRobotJointOffsetService(offset); }, common::RobotJointOffset::default_instance(),
         "joint1: 0.125 joint2: 0.25 joint3: 0.375 joint4: 0.5 joint5: 0.625 joint6: 0.75"},
        {"excitation trajectory", 78, [&] { return services().startupOfflineExcitTrajService("traj.txt", Dyn_identify_traj_tool, 3); },
         wire::ProtoCommunicationOfflineExcitTraj::default_instance(), "trackFile: 'traj.txt' type: 2 subtype: 3"},
        {"firmware", 82, [&] { return services().updateRobotBoardFirmwareService(update_master_board_firmware_trans_data, kFirmware, 4); },
         wire::ProtoCommunicationRobotBoardFirmware::default_instance(), "command: 2 firmwareContent: '\\001\\002\\003\\004' firmwareContentSize: 4"},
        {"robot control", 18, [&] { return services().robotControlService(OrpeOpen); }, general, "property1: 6 type: 1"},
        {"arm power", 20, [&] { return services().armPowerControlService(true); }, general, "property2: true type: 1"},
        // clang-format on
    };
    for (const auto &row : rows) {
        controller().clearReceived();
        EXPECT_EQ(0, row.call()) << row.name;
        const auto packages = controller().received(row.commandType);
        EXPECT_EQ(1u, packages.size()) << row.name;
        if (!packages.empty()) expectFields(row.type, row.expected, packages[0].body, row.name);
    }
    RobotMoveService::initClassProfile();  // the tool set for a move
}

TEST_F(RequestServicesTest, ConcurrentReadsOfEveryTypeEachGetTheirOwnReply) {
    ASSERT_EQ(0, services().setRealTimeJointAnglePush(true));  // pushes interleave the replies
    std::vector<std::future<int>> failures;
    for (const Row &row : readTable()) {
        failures.push_back(inBackground([this, row] {
            int failed = 0;
            for (int i = 0; i < 20; ++i) failed += row.call(services()) == 0 ? 0 : 1;
            return failed;
        }));
    }
    for (auto &failed : failures) EXPECT_EQ(0, failed.get());
}

// A common reply is read for what it holds: without a code (or without a body) it counts as
// success, a code it holds is mapped even without its message, and only bytes that do not
// decode are a failure. A read without a body cannot be decoded.
TEST_F(RequestServicesTest, CommonRepliesGiveTheCodeTheyHoldAndReadsWithoutABodyFail) {
    TraceCapture trace;
    const auto replacedBy = [](std::optional<int> code, const char *message) {
        wire::ProtoRobotCommonResponse reply;
        if (code) reply.set_errorcode(*code);
        if (message) reply.set_errormsg(message);
        kezu_sim::ReplyFault fault;
        fault.rewriteBody = [bytes = reply.SerializePartialAsString()](auto &) { return bytes; };
        return fault;
    };
    kezu_sim::ReplyFault empty, garbled;
    empty.emptyBody = true;
    garbled.rewriteBody = [](const std::string &) { return std::string("\xff\xff"); };
    const struct {
        const char *reply;
        kezu_sim::ReplyFault fault;
        int result;
    } replies[] = {{"no body", empty, 0},
                   {"code 0 alone", replacedBy(0, nullptr), 0},
                   {"code 5 alone", replacedBy(5, nullptr), ErrCode_ResponseReturnError},
                   {"message alone", replacedBy(std::nullopt, "fine"), 0},
                   {"garbled", garbled, ErrCode_ResolveResponseFailed}};
    for (const Row &row : commandTable()) {
        for (const auto &r : replies) {
            controller().setReplyFault(row.commandType, r.fault);
            EXPECT_EQ(r.result, row.call(services())) << row.name << ", " << r.reply;
        }
    }
    EXPECT_TRUE(servicetests::logged(
        trace, "sdk log: Resolve common response failed. cmd Type:" +
                   Cmd::getCommandDescByType(Cmd::CommunicationType_RobotControl)));
    controller().clearReplyFaults();
    const std::map<int, int> decodeFailures = {
        {6, ErrCode_ResolveResponseFailed},  {10, ErrCode_CreateRequestFailed},
        {34, ErrCode_ResolveResponseFailed}, {35, ErrCode_ResolveResponseFailed},
        {36, ErrCode_ResolveResponseFailed}, {38, ErrCode_ResolveResponseFailed},
        {28, ErrCode_CreateRequestFailed},   {61, ErrCode_CreateRequestFailed}};
    for (const Row &row : readTable()) {
        const auto failure = decodeFailures.find(row.commandType);
        if (failure == decodeFailures.end()) continue;
        controller().setReplyFault(row.commandType, empty);
        EXPECT_EQ(failure->second, row.call(services())) << row.name;
    }
}

TEST_F(RequestServicesTest, RefusesAnOrpeErrorListWithoutData) {
    controller().clearReceived();
    EXPECT_EQ(ErrCode_ParamError, services().setRobotOrpeError(nullptr, 2));
    EXPECT_EQ(ErrCode_ParamError, services().setRobotOrpeError(nullptr, -1));
    EXPECT_TRUE(controller().received().empty());
}

// A controller that does not echo the address: its reply's first record names address 0.
template <class Reply>
kezu_sim::ReplyFault atAddressZero(bool drop = false) {
    kezu_sim::ReplyFault fault({}, drop);
    fault.rewriteBody = [](const std::string &body) {
        Reply reply;
        reply.ParseFromString(body);
        if (reply.iodesc_size() > 0) reply.mutable_iodesc(0)->set_addr(0);
        return reply.SerializeAsString();
    };
    return fault;
}

// Outputs 5, 17, 18 and 32 = 1, 19 and 33 = 0, input 18 = 1, output AO 3 = 2.5; each read
// gets its own point's value, or leaves the value alone. A controller need not echo the
// address, for some kinds and not others: after a read timed out only the next read of its kind
// refuses a reply about another address, so one that never echoes loses that one read. Once any
// reply of a kind names a nonzero point, every read of that kind refuses one about another
// point; a new link starts anew.
TEST_F(RequestServicesTest, SingleReadsReportWhatTheBoardHoldsOrNothing) {
    // Before any reply of this link named a point.
    ASSERT_EQ(0, services().setInterfaceBoardAOStatusService(3, 2.5));
    const kezu_sim::ReplyFault unechoedAO =
        atAddressZero<wire::ProtoCommunicationRobotAnalogIOData>();
    controller().setReplyFault(Cmd::CommunicationType_GetInterfaceBoardOneAOStatus, unechoedAO);
    double value = -5.0;
    EXPECT_EQ(0, services().getInterfaceBoardAOStatusService(3, value));
    EXPECT_EQ(2.5, value);
    for (int addr : {5, 17, 18, 32}) {
        ASSERT_EQ(0, services().setInterfaceBoardDOStatusService(addr, IO_STATUS_VALID));
    }
    for (int addr : {19, 33}) {
        ASSERT_EQ(0, services().setInterfaceBoardDOStatusService(addr, IO_STATUS_INVALID));
    }
    controller().setBoardDI(18, 1);
    const std::string lateReplyOf32 = kezu_sim::PackageFraming::encode(
        Cmd::CommunicationType_GetInterfaceBoardOneDOStatus, encoded(ioBody({{32, 1, 0}})));
    constexpr int DI = Cmd::CommunicationType_GetInterfaceBoardOneDIStatus,
                  DO = Cmd::CommunicationType_GetInterfaceBoardOneDOStatus,
                  AO = Cmd::CommunicationType_GetInterfaceBoardOneAOStatus;
    const double ON = IO_STATUS_VALID, OFF = IO_STATUS_INVALID;
    const auto lateBy = [](int ms) { return kezu_sim::ReplyFault(std::chrono::milliseconds(ms)); };
    using DigitalIO = wire::ProtoCommunicationRobotDiagnosisIOData;
    const kezu_sim::ReplyFault halfWait = lateBy(400), late = lateBy(1000), error1({}, false, 1),
                               never({}, true), unechoed = atAddressZero<DigitalIO>(),
                               unechoedNever = atAddressZero<DigitalIO>(true);
    const struct {
        int type, addr;
        kezu_sim::ReplyFault fault;
        bool lateReplyFirst, newLink;  // newLink: logout and login before the read
        int result;
        double before, after;
    } reads[] = {{DO, 5, unechoed, false, false, 0, OFF, ON},
                 {DO, 5, unechoedNever, false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DO, 5, unechoed, false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DO, 5, unechoed, false, false, 0, OFF, ON},
                 {DO, 33, unechoed, false, false, 0, ON, OFF},
                 {DO, 32, never, false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DO, 33, halfWait, true, false, 0, ON, OFF},
                 {DO, 32, error1, false, false, ErrCode_ResponseReturnError, OFF, OFF},
                 {DO, 32, never, false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DO, 5, unechoed, false, true, 0, OFF, ON},
                 // Each late reply comes while the next read waits: 17's is refused as another
                 // point's, which tells that the controller names points, so 19 refuses 18's.
                 {DO, 17, late, false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DO, 18, late, false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DO, 19, halfWait, false, false, 0, ON, OFF},
                 // DI points named, AO ones not: what a DI reply tells is no rule for AO reads.
                 {AO, 3, unechoedAO, false, true, 0, -5.0, 2.5},
                 {DI, 17, {}, false, false, 0, ON, OFF},
                 {AO, 3, unechoedAO, false, false, 0, -5.0, 2.5},
                 // Every DI reply 1.7 s, 2 s or 3 s late: the first late reply any read meets names
                 // another point, which teaches and is refused, so none is taken by the wrong read.
                 {DI, 17, lateBy(1700), false, true, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 18, lateBy(1700), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 19, lateBy(1700), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 20, lateBy(1700), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 21, lateBy(1700), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 17, lateBy(2000), false, true, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 18, lateBy(2000), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 19, lateBy(2000), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 20, lateBy(2000), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 21, lateBy(2000), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 17, lateBy(3000), false, true, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 18, lateBy(3000), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 19, lateBy(3000), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 20, lateBy(3000), false, false, ErrCode_RequestTimeout, OFF, OFF},
                 {DI, 21, lateBy(3000), false, false, ErrCode_RequestTimeout, OFF, OFF}};
    const auto readPoint = [this](int type, int addr, double &out) {
        if (type == AO) return services().getInterfaceBoardAOStatusService(addr, out);
        IO_STATUS status = static_cast<IO_STATUS>(out);
        const int result = type == DI ? services().getInterfaceBoardDIStatusService(addr, status)
                                      : services().getInterfaceBoardDOStatusService(addr, status);
        out = status;
        return result;
    };
    for (size_t i = 0; i < std::size(reads); ++i) {
        const auto &c = reads[i];
        if (c.newLink) {
            ASSERT_EQ(0, services().logoutService());
            ASSERT_EQ(0, services().loginService("127.0.0.1", controller().port(), "kezu", "1"));
        }
        controller().setReplyFault(c.type, c.fault);
        controller().clearReceived();
        double read = c.before;
        auto result = inBackground([&] { return readPoint(c.type, c.addr, read); });
        if (c.lateReplyFirst) {
            ASSERT_TRUE(controller().waitForPackages(c.type, 1, servicetests::kBound));
            controller().sendRaw(lateReplyOf32);
        }
        EXPECT_EQ(c.result, servicetests::ended(result)) << "row " << i << ", point " << c.addr;
        EXPECT_EQ(c.after, read) << "row " << i << ", point " << c.addr;
    }
    // The tool-power reads ask point 0 and are answered there.
    controller().clearReplyFaults();
    ASSERT_EQ(0, services().setToolPowerVoltageTypeService(OUT_24V));
    ToolPowerType power = OUT_0V;
    EXPECT_EQ(0, services().getToolPowerVoltageTypeService(power));
    EXPECT_EQ(OUT_24V, power);
    EXPECT_EQ(0, services().getToolPowerVoltageStatusService(value));
    EXPECT_EQ(24.0, value);
    // Analog readings are the controller's float, written only when the read succeeds.
    for (const float volts : {2.9f, 3.7f, 0.4f}) {
        ASSERT_EQ(0, services().setInterfaceBoardAOStatusService(1, volts));
        value = -5.0;
        ASSERT_EQ(0, services().getInterfaceBoardAOStatusService(1, value));
        EXPECT_EQ(static_cast<double>(volts), value);
    }
    controller().setReplyFault(Cmd::CommunicationType_GetInterfaceBoardOneAOStatus, error1);
    value = -5.0;
    EXPECT_EQ(ErrCode_ResponseReturnError, services().getInterfaceBoardAOStatusService(1, value));
    EXPECT_EQ(-5.0, value);
}

TEST_F(RequestServicesTest, BoardListsAreEmptiedWhenTheReadFailsAndToolListsAreKept) {
    std::vector<RobotDiagnosisIODesc> board(3), tool(3);
    controller().setReplyFault(41, kezu_sim::ReplyFault({}, true));
    controller().setReplyFault(57, kezu_sim::ReplyFault({}, true));
    EXPECT_EQ(ErrCode_RequestTimeout, services().getInterfaceBoardAllDIStatusService(board));
    EXPECT_EQ(ErrCode_RequestTimeout, services().getToolAllDigitalIOStatusService(tool));
    EXPECT_TRUE(board.empty());
    EXPECT_EQ(3u, tool.size());
}

}  // namespace
