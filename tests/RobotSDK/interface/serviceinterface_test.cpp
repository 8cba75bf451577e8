#include "serviceinterface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "kezucontroller.h"
#include "loggedinservices.h"
#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"
#include "robotmoveservice.h"
#include "robotutilservice.h"
#include "tracecapture.h"

namespace kz = kezu_robot_namespace;
using namespace std::chrono_literals;

namespace {

// Command types of the controller link, the counterpart's error result and two input numbers.
constexpr int kEnableJointStatusPush = 4, kDisableJointStatusPush = 5, kSetTcpParam = 27,
              kGetCollisionCurrent = 36, kGetDeviceInfo = 38, kGetBoardOneDI = 46,
              kGetSafetyConfig = 61, kSetSafetyConfig = 62, kTrackAppend = 71;
constexpr int kControllerError = 1, kCI00 = 16, kCI01 = 17;

// Waits up to the bound for the predicate; true when it held.
bool eventually(const std::function<bool()> &holds, std::chrono::milliseconds bound = 3000ms) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A file in the test's temporary directory, removed with the object.
struct TempFile {
    explicit TempFile(const std::vector<std::string> &lines)
        : name(::testing::TempDir() + "facade_track_" + std::to_string(getpid()) + ".txt") {
        std::ofstream out(name);
        for (const std::string &line : lines) out << line << '\n';
    }
    ~TempFile() { std::remove(name.c_str()); }
    const char *path() const { return name.c_str(); }
    const std::string name;
};

std::vector<std::string> jointLines(size_t count) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < count; ++i) {
        lines.push_back(std::to_string(0.0001 * static_cast<double>(i % 1000)) +
                        ",0.1,-0.2,0.3,-0.4,0.5");
    }
    return lines;
}

kz::wayPoint_S waypointOf(const std::vector<double> &joints) {
    kz::wayPoint_S wayPoint;
    EXPECT_EQ(0, RobotUtilService::robotFk(joints.data(), 6, wayPoint));
    return wayPoint;
}

// Rewrites one field of a reply message that the counterpart built.
template <typename Message>
std::function<std::string(const std::string &)> rewrite(std::function<void(Message &)> change) {
    return [change](const std::string &body) {
        Message message;
        message.ParseFromString(body);
        change(message);
        return message.SerializeAsString();
    };
}

struct Counter {
    std::atomic<int> calls{0};
    std::atomic<double> firstJoint{0.0};  // of the last waypoint pushed
};

void countJointStatus(const kz::JointStatus *, int, void *arg) {
    ++static_cast<Counter *>(arg)->calls;
}
void countEndSpeed(double, void *arg) { ++static_cast<Counter *>(arg)->calls; }
void countWaypoint(const kz::wayPoint_S *wayPoint, void *arg) {
    static_cast<Counter *>(arg)->firstJoint = wayPoint->jointpos[0];
    ++static_cast<Counter *>(arg)->calls;
}
void countEvent(const kz::RobotEventInfo *, void *arg) { ++static_cast<Counter *>(arg)->calls; }

class Facade : public ::testing::Test {
protected:
    void SetUp() override {
        controller_.reset(new kezu_sim::KezuController(config()));
        ASSERT_TRUE(controller_->start());
        facade_.reset(new ServiceInterface);
        ASSERT_EQ(0, facade_->robotServiceLogin("127.0.0.1", controller_->port(), "kezu", "123"));
        controller_->clearReceived();
    }
    void TearDown() override {
        facade_.reset();
        controller_->stop();
    }
    virtual kezu_sim::ControllerConfig config() const { return kezu_test::quickControllerConfig(); }

    size_t sent(int type) const { return controller_->received(type).size(); }

    std::vector<int> trackBatchSizes() const {
        std::vector<int> sizes;
        for (const auto &package : controller_->received(kTrackAppend)) {
            kezu::robot::common::RobotMove move;
            EXPECT_TRUE(move.ParseFromString(package.body));
            sizes.push_back(move.roadpointvector_size());
        }
        return sizes;
    }

    void setRevision(const std::string &revision) {
        kezu_sim::ReplyFault fault;
        fault.rewriteBody = rewrite<kezu::robot::common::ProtoResponseRobotDevInfo>(
            [revision](auto &reply) { reply.mutable_devinfo(0)->set_revision(revision); });
        controller_->setReplyFault(kGetDeviceInfo, fault);
    }

    // Declared after a test's own callback state, closes the facade before that state goes.
    struct CloseFacadeFirst {
        std::unique_ptr<ServiceInterface> &facade;
        ~CloseFacadeFirst() { facade.reset(); }
    };

    std::unique_ptr<kezu_sim::KezuController> controller_;
    // What callbacks count into outlives the facade that calls them.
    Counter jointStatus_, endSpeed_, events_;
    std::unique_ptr<ServiceInterface> facade_;
};

const kz::RobotSafetyConfig kSafety = {{100, 101, 102, 103, 104, 105}, 700, 150, 25, 300, 1, 1};

/* Offline track */

TEST_F(Facade, OfflineTrackVectorTakesAtMost5000Waypoints) {
    const std::vector<kz::wayPoint_S> full(5000, waypointOf({0, 0.1, 0.2, 0.3, 0.4, 0.5}));
    EXPECT_EQ(0, facade_->robotServiceOfflineTrackWaypointAppend(full));
    std::vector<kz::wayPoint_S> over = full;
    over.push_back(full.front());
    EXPECT_EQ(kz::ErrCode_ParamError, facade_->robotServiceOfflineTrackWaypointAppend(over));
    EXPECT_EQ(std::vector<int>{5000}, trackBatchSizes());
}

// A refused batch ends the reading with its code.
TEST_F(Facade, OfflineTrackFileGoesOutInBatchesOf2000) {
    struct Case {
        size_t lines;
        int fault, result;
        std::vector<int> batches;
    };
    for (const Case &c : {Case{4001, 0, 0, {2000, 2000, 1}}, Case{2000, 0, 0, {2000}},
                          Case{0, 0, kz::ErrCode_Failed, {}},
                          Case{4001, kControllerError, kz::ErrCode_ResponseReturnError, {2000}}}) {
        SCOPED_TRACE(c.lines);
        controller_->clearReceived();
        controller_->setReplyFault(kTrackAppend, kezu_sim::ReplyFault(0ms, false, c.fault));
        TempFile file(jointLines(c.lines));
        EXPECT_EQ(c.result, facade_->robotServiceOfflineTrackWaypointAppend(file.path()));
        EXPECT_EQ(c.batches, trackBatchSizes());
    }
}

// A read that never returns cannot be stopped, so one still running after the bound fails the
// test and ends the process.
int appendFileWithin(ServiceInterface &facade, const char *path, std::chrono::seconds bound) {
    auto call = std::make_shared<std::packaged_task<int()>>(
        [&facade, path] { return facade.robotServiceOfflineTrackWaypointAppend(path); });
    std::future<int> result = call->get_future();
    std::thread([call] { (*call)(); }).detach();
    if (result.wait_for(bound) != std::future_status::ready) {
        ADD_FAILURE() << "still reading after " << bound.count() << " s";
        std::fflush(stdout);
        std::_Exit(1);
    }
    return result.get();
}

// Only a readable regular file is read: a FIFO without a writer would block, a device may never
// end, and a directory or a read that fails must give the code, not an exception.
TEST_F(Facade, OfflineTrackFileThatIsNoReadableRegularFileIsRefusedAndLogged) {
    const std::string fifo = ::testing::TempDir() + "facade_fifo_" + std::to_string(getpid());
    std::remove(fifo.c_str());  // left by a run that ended at the bound
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const std::string directory = ::testing::TempDir();
    for (const char *path : {"/nonexistent/track.txt", static_cast<const char *>(nullptr),
                             directory.c_str(), fifo.c_str(), "/dev/zero", "/proc/self/mem"}) {
        SCOPED_TRACE(path != nullptr ? path : "null");
        TraceCapture trace;
        EXPECT_EQ(kz::ErrCode_ParamError, appendFileWithin(*facade_, path, 3s));
        const auto messages = trace.messages();
        EXPECT_EQ(1, std::count(messages.begin(), messages.end(), "sdk log: file not exist."));
    }
    std::remove(fifo.c_str());
    EXPECT_EQ(0u, sent(kTrackAppend));
}

// A carriage return, a line feed or the pair ends a line; blank lines add nothing; what follows
// the sixth number is ignored when it is not another number.
TEST_F(Facade, OfflineTrackFileLinesEndAtCarriageReturnsLineFeedsOrBoth) {
    const std::string a = "0.1,0.2,0.3,0.4,0.5,0.6", b = "0.1 0.2 0.3 0.4 0.5 0.7 ",
                      c = "0.1; 0.2; 0.3; 0.4; 0.5; 0.8";
    for (const std::vector<std::string> &lines :
         {std::vector<std::string>{"", a, "   \t", b + "\r", "\r", "", c, " "},
          std::vector<std::string>{a + "\r" + b + "\r\r" + c},
          std::vector<std::string>{a + "\r\n" + b + "\n\r" + c + "\r"},
          std::vector<std::string>{a + ",", b + "\t", c + ";"},
          std::vector<std::string>{a + "\t", b + "# pose 2", c + " # pose 1"},
          std::vector<std::string>{"0.1|0.2|0.3|0.4|0.5|0.6", "0.1/0.2/0.3/0.4/0.5/0.7|",
                                   "0.1|0.2|0.3|0.4|0.5|0.8 # pose 3"}}) {
        controller_->clearReceived();
        TempFile file(lines);
        EXPECT_EQ(0, facade_->robotServiceOfflineTrackWaypointAppend(file.path()));
        ASSERT_EQ(std::vector<int>{3}, trackBatchSizes());
        kezu::robot::common::RobotMove move;
        move.ParseFromString(controller_->received(kTrackAppend)[0].body);
        for (int i = 0; i < 3; ++i)
            EXPECT_DOUBLE_EQ(0.6 + 0.1 * i, move.roadpointvector(i).jointpos(5));
    }
}

// A line is six numbers, and no seventh behind separators of any kind.
TEST_F(Facade, OneMalformedOfflineTrackLineRefusesTheWholeFile) {
    const struct {
        std::string line;
        int logged;
    } rows[] = {{"0.1,0.2,0.3", 2500},
                {"abc", 2500},
                {"0.1,0.2,0.3,0.4,0.5,1e999", 2500},
                {"0.5,0.1,0.2,0.3,0.4,0.5,0.6", 2500},
                {"0.1,0.2,0.3,0.4,0.5,0.6;\t7", 2500},
                {"0.1 0.2 0.3 0.4 0.5 0.6 , -.7 # time", 2500},
                {"0.1|0.2|0.3|0.1|0.2|0.3|9", 2500},
                {"0.1/0.2/0.3/0.1/0.2/0.3/9", 2500},
                {"\r0.1,0.2,0.3,0.4,0.5", 2501}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line);
        std::vector<std::string> lines = jointLines(3000);
        lines[2499] = row.line;
        TempFile file(lines);
        TraceCapture trace;
        EXPECT_EQ(kz::ErrCode_ParamError,
                  facade_->robotServiceOfflineTrackWaypointAppend(file.path()));
        EXPECT_EQ(0u, sent(kTrackAppend));
        const auto messages = trace.messages();
        EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const std::string &m) {
            return m.find("line " + std::to_string(row.logged) + " ") != std::string::npos;
        }));
    }
}

/* Waypoints from joint angles */

TEST_F(Facade, FullGlobalWaypointListRefusesAJointAngleWaypoint) {
    facade_->robotServiceClearGlobalWayPointVector();
    const kz::wayPoint_S wayPoint = waypointOf({0, 0, 0, 0, 0, 0});
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(0, facade_->robotServiceAddGlobalWayPoint(wayPoint));
    const double joints[6] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
    EXPECT_EQ(kz::ErrCode_MotionWaypointVetorSizeError,
              facade_->robotServiceAddGlobalWayPoint(joints));
    facade_->robotServiceClearGlobalWayPointVector();
    EXPECT_EQ(0, facade_->robotServiceAddGlobalWayPoint(joints));
    std::vector<kz::wayPoint_S> list;
    facade_->robotServiceGetGlobalWayPointVector(list);
    ASSERT_EQ(1u, list.size());
    EXPECT_DOUBLE_EQ(waypointOf({0.1, 0.2, 0.3, 0.4, 0.5, 0.6}).cartPos.position.x,
                     list[0].cartPos.position.x);
    facade_->robotServiceClearGlobalWayPointVector();
}

TEST_F(Facade, LineMoveGoesToThePoseOfItsJointAnglesAndCompletesTheWaypoint) {
    const std::vector<double> joints = {0.2, -0.1, 0.4, 0.1, 0.3, -0.2};
    const kz::wayPoint_S expected = waypointOf(joints);
    kz::wayPoint_S wayPoint = waypointOf({0, 0, 0, 0, 0, 0});
    std::copy(joints.begin(), joints.end(), wayPoint.jointpos);
    ASSERT_EQ(0, facade_->robotServiceLineMove(wayPoint, true));
    EXPECT_DOUBLE_EQ(expected.cartPos.position.x, wayPoint.cartPos.position.x);
    EXPECT_DOUBLE_EQ(expected.cartPos.position.z, wayPoint.cartPos.position.z);
    EXPECT_DOUBLE_EQ(expected.orientation.w, wayPoint.orientation.w);
    EXPECT_NEAR(expected.cartPos.position.y, controller_->pose().position[1], 1e-9);
}

TEST_F(Facade, JointAngleMovesWithoutAnglesSendNothing) {
    EXPECT_EQ(kz::ErrCode_ParamError, facade_->robotServiceJointMove(nullptr, true));
    EXPECT_EQ(kz::ErrCode_ParamError, facade_->robotServiceLineMove(nullptr, true));
    EXPECT_EQ(kz::ErrCode_ParamError, facade_->robotServiceFollowModeJointMove(nullptr));
    EXPECT_EQ(kz::ErrCode_ParamError, facade_->robotServiceSetRobotPosData2Canbus(nullptr));
    EXPECT_TRUE(controller_->received().empty());
}

/* Arguments the controller must never see */

// The process-wide settings that a refused call could have changed.
std::string storedSettings() {
    std::string bytes;
    for (kz::move_mode mode : {kz::MODEJ, kz::MODEL}) {
        RobotMoveProfile profile;
        RobotMoveService::initCurrnetMoveProfile(mode, kz::NO_TRACK, kz::NO_TEACH, profile);
        bytes.append(reinterpret_cast<const char *>(&profile), sizeof profile);
    }
    std::vector<kz::wayPoint_S> list;
    RobotMoveService::getWayPointVector(list);
    bytes.append(reinterpret_cast<const char *>(list.data()), list.size() * sizeof list[0]);
    return bytes + std::to_string(RobotMoveService::getTrackPlaybackCycle());
}

// A NaN or infinity anywhere in what an operation sends or stores, and an enum argument
// outside its enum, are refused with 10002 and a line naming the operation; nothing leaves.
TEST_F(Facade, NonFiniteNumbersAndValuesOutsideTheirEnumAreRefusedBeforeSending) {
    const double nan = std::nan(""), inf = HUGE_VAL;
    const float nanf = std::nanf("");
    double joints[6] = {0.1, nan, 0.1, 0, 0, 0};
    const double axis[3] = {0, nan, 1}, unitZ[3] = {0, 0, 1};
    const kz::JointVelcAccParam limits = {{0.5, 0.5, inf, 0.5, 0.5, 0.5}};
    kz::wayPoint_S pose = waypointOf({0.1, 0.2, 0.3, 0.4, 0.5, 0.6}), jointNaN = pose;
    pose.cartPos.position.x = nan;
    jointNaN.jointpos[4] = -inf;
    kz::CoordCalibrateByJointAngleAndTool base{}, frame{};
    frame.wayPointArray[1].jointPos[2] = nan;
    const kz::ToolInEndDesc tool = {{0, 0, inf}, {1, 0, 0, 0}}, noTool = {{0, 0, 0}, {1, 0, 0, 0}};
    const kz::MoveRelative offset = {true, {nanf, 0, 0}}, still = {true, {0, 0, 0}};
    kz::ToolDynamicsParam payload{}, tooFar{};
    payload.payload = nan;
    tooFar.positionZ = 1e39;  // finite, but no float holds it
    kz::RobotJointOffset jointOffset = {{0, 0, nan, 0, 0, 0}};
    kz::ROBOT_SERVICE_STATE state;
    const uint8_t firmware[1] = {0};
    std::vector<kz::RobotIoDesc> ioList;
    using IoType = kz::ToolIOType;
    const std::vector<std::pair<std::string, std::function<int(ServiceInterface &)>>> rows = {
        // clang-format off
        {"robotServiceSetGlobalMoveJointMaxAcc", [&](ServiceInterface &f) { return f.robotServiceSetGlobalMoveJointMaxAcc(limits); }},
        {"robotServiceSetGlobalMoveJointMaxVelc", [&](ServiceInterface &f) { return f.robotServiceSetGlobalMoveJointMaxVelc(limits); }},
        {"robotServiceSetGlobalMoveEndMaxLineAcc", [&](ServiceInterface &f) { return f.robotServiceSetGlobalMoveEndMaxLineAcc(nan); }},
        {"robotServiceSetGlobalMoveEndMaxLineVelc", [&](ServiceInterface &f) { return f.robotServiceSetGlobalMoveEndMaxLineVelc(inf); }},
        {"robotServiceSetGlobalMoveEndMaxAngleAcc", [&](ServiceInterface &f) { return f.robotServiceSetGlobalMoveEndMaxAngleAcc(-inf); }},
        {"robotServiceSetGlobalMoveEndMaxAngleVelc", [&](ServiceInterface &f) { return f.robotServiceSetGlobalMoveEndMaxAngleVelc(nan); }},
        {"robotServiceAddGlobalWayPoint", [&](ServiceInterface &f) { return f.robotServiceAddGlobalWayPoint(pose); }},
        {"robotServiceAddGlobalWayPoint", [&](ServiceInterface &f) { return f.robotServiceAddGlobalWayPoint(static_cast<const double *>(joints)); }},
        {"robotServiceSetGlobalBlendRadius", [&](ServiceInterface &f) { return f.robotServiceSetGlobalBlendRadius(nanf); }},
        {"robotServiceSetTrackPlaybackCycle", [&](ServiceInterface &f) { return f.robotServiceSetTrackPlaybackCycle(inf); }},
        {"robotServiceSetMoveRelativeParam", [&](ServiceInterface &f) { return f.robotServiceSetMoveRelativeParam(offset); }},
        {"robotServiceSetMoveRelativeParam", [&](ServiceInterface &f) { return f.robotServiceSetMoveRelativeParam(still, frame); }},
        {"robotServiceSetArrivalAheadDistanceMode", [&](ServiceInterface &f) { return f.robotServiceSetArrivalAheadDistanceMode(nan); }},
        {"robotServiceSetArrivalAheadTimeMode", [&](ServiceInterface &f) { return f.robotServiceSetArrivalAheadTimeMode(inf); }},
        {"robotServiceSetTeachCoordinateSystem", [&](ServiceInterface &f) { return f.robotServiceSetTeachCoordinateSystem(frame); }},
        {"robotServiceSetToolKinematicsParam", [&](ServiceInterface &f) { return f.robotServiceSetToolKinematicsParam(tool); }},
        {"robotServiceJointMove", [&](ServiceInterface &f) { return f.robotServiceJointMove(pose, false); }},
        {"robotServiceJointMove", [&](ServiceInterface &f) { return f.robotServiceJointMove(joints, true); }},
        {"robotServiceFollowModeJointMove", [&](ServiceInterface &f) { return f.robotServiceFollowModeJointMove(joints); }},
        {"robotServiceLineMove", [&](ServiceInterface &f) { return f.robotServiceLineMove(jointNaN, true); }},
        {"robotServiceLineMove", [&](ServiceInterface &f) { return f.robotServiceLineMove(joints, false); }},
        {"robotServiceRotateMove", [&](ServiceInterface &f) { return f.robotServiceRotateMove(base, axis, 0.1, true); }},
        {"robotServiceRotateMove", [&](ServiceInterface &f) { return f.robotServiceRotateMove(base, unitZ, nan, true); }},
        {"robotServiceRotateMove", [&](ServiceInterface &f) { return f.robotServiceRotateMove(frame, unitZ, 0.1, true); }},
        {"robotMoveLineToTargetPositionByRelative", [&](ServiceInterface &f) { return f.robotMoveLineToTargetPositionByRelative(base, offset, true); }},
        {"robotMoveJointToTargetPositionByRelative", [&](ServiceInterface &f) { return f.robotMoveJointToTargetPositionByRelative(frame, still, true); }},
        {"robotMoveLineToTargetPosition", [&](ServiceInterface &f) { return f.robotMoveLineToTargetPosition(base, kz::Pos{0.3, nan, 0.4}, noTool, true); }},
        {"robotMoveJointToTargetPosition", [&](ServiceInterface &f) { return f.robotMoveJointToTargetPosition(base, kz::Pos{0.3, 0, 0.4}, tool, true); }},
        {"robotServiceOfflineTrackWaypointAppend", [&](ServiceInterface &f) { return f.robotServiceOfflineTrackWaypointAppend(std::vector<kz::wayPoint_S>{jointNaN, pose}); }},
        {"robotServiceSetRobotPosData2Canbus", [&](ServiceInterface &f) { return f.robotServiceSetRobotPosData2Canbus(joints); }},
        {"rootServiceRobotStartup", [&](ServiceInterface &f) { return f.rootServiceRobotStartup(payload, 6, true, true, 1000, state, true); }},
        {"robotServiceSetToolDynamicsParam", [&](ServiceInterface &f) { return f.robotServiceSetToolDynamicsParam(tooFar); }},
        {"robotServiceSetRobotJointOffset", [&](ServiceInterface &f) { return f.robotServiceSetRobotJointOffset(jointOffset); }},
        {"robotServiceSetBoardIOStatus", [&](ServiceInterface &f) { return f.robotServiceSetBoardIOStatus(kz::RobotBoardUserAO, std::string("VO0"), nan); }},
        {"robotServiceSetBoardIOStatus", [&](ServiceInterface &f) { return f.robotServiceSetBoardIOStatus(kz::RobotBoardUserAO, 1, 1e39); }},
        {"robotServiceSetBoardIOStatus", [&](ServiceInterface &f) { return f.robotServiceSetBoardIOStatus(kz::RobotBoardUserDO, 32, inf); }},
        {"robotServiceGetBoardIOStatus", [&](ServiceInterface &f) { return f.robotServiceGetBoardIOStatus({kz::RobotBoardUserDI, kz::RobotIoType(12)}, ioList); }},
        {"rootServiceRobotMoveControl", [&](ServiceInterface &f) { return f.rootServiceRobotMoveControl(kz::RobotMoveControlCommand(3)); }},
        {"startupOfflineExcitTrajService", [&](ServiceInterface &f) { return f.startupOfflineExcitTrajService("track", kz::Robot_Dyn_identify_traj(4), 0, false); }},
        {"rootServiceRobotControl", [&](ServiceInterface &f) { return f.rootServiceRobotControl(kz::RobotControlCommand(-1)); }},
        {"robotServiceSetRobotWorkMode", [&](ServiceInterface &f) { return f.robotServiceSetRobotWorkMode(kz::RobotWorkMode(99)); }},
        {"robotServiceUpdateRobotBoardFirmware", [&](ServiceInterface &f) { return f.robotServiceUpdateRobotBoardFirmware(kz::update_board_firmware_cmd(0), firmware, 1); }},
        {"robotServiceSetToolPowerVoltageType", [&](ServiceInterface &f) { return f.robotServiceSetToolPowerVoltageType(kz::ToolPowerType(77)); }},
        {"robotServiceSetToolDigitalIOType", [&](ServiceInterface &f) { return f.robotServiceSetToolDigitalIOType(kz::TOOL_DIGITAL_IO_1, IoType(2)); }},
        {"robotServiceSetToolPowerTypeAndDigitalIOType", [&](ServiceInterface &f) { return f.robotServiceSetToolPowerTypeAndDigitalIOType(kz::OUT_12V, kz::IO_IN, kz::IO_OUT, IoType(5), kz::IO_IN); }},
        {"robotServiceSetToolPowerTypeAndDigitalIOType", [&](ServiceInterface &f) { return f.robotServiceSetToolPowerTypeAndDigitalIOType(kz::ToolPowerType(3), kz::IO_IN, kz::IO_IN, kz::IO_IN, kz::IO_IN); }},
        {"robotServiceSetToolDOStatus", [&](ServiceInterface &f) { return f.robotServiceSetToolDOStatus(kz::TOOL_DIGITAL_IO_0, kz::IO_STATUS(7)); }},
        {"robotServiceSetToolDOStatus", [&](ServiceInterface &f) { return f.robotServiceSetToolDOStatus(std::string("T_DI/O_00"), kz::IO_STATUS(-1)); }},
        {"robotTrackMove", [&](ServiceInterface &f) { return f.robotServiceTrackMove(kz::move_track(8), true); }},
        {"robotTeachStart", [&](ServiceInterface &f) { return f.robotServiceTeachStart(kz::teach_mode(13), true); }},
        // clang-format on
    };
    const std::string before = storedSettings();
    for (const auto &row : rows) {
        TraceCapture trace;
        EXPECT_EQ(kz::ErrCode_ParamError, row.second(*facade_)) << row.first;
        const auto messages = trace.messages();
        EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const std::string &m) {
            return m.find(row.first) != std::string::npos;
        })) << row.first;
    }
    EXPECT_TRUE(controller_->received().empty());
    EXPECT_EQ(before, storedSettings());
}

/* Online modes */

TEST_F(Facade, OnlineModesReadControllerInputs) {
    struct Case {
        int ci00, ci01;
        bool fault;
        int result;
        bool online, master;
    };
    for (const Case &c : {Case{0, 0, false, 0, false, false}, Case{1, 1, false, 0, true, true},
                          Case{1, 0, false, 0, true, false},
                          Case{1, 0, true, kz::ErrCode_ResponseReturnError, false, true}}) {
        controller_->setBoardDI(kCI00, c.ci00);
        controller_->setBoardDI(kCI01, c.ci01);
        controller_->setReplyFault(
            kGetBoardOneDI, kezu_sim::ReplyFault(0ms, false, c.fault ? kControllerError : 0));
        bool online = !c.online, master = !c.master;
        EXPECT_EQ(c.result, facade_->robotServiceIsOnlineMode(online));
        EXPECT_EQ(c.result, facade_->robotServiceIsOnlineMasterMode(master));
        EXPECT_EQ(c.online, online);
        EXPECT_EQ(c.master, master);
    }
}

/* Safety configuration */

TEST_F(Facade, SafetyConfigIsWrittenOnlyToGeneration3Boards) {
    struct Case {
        const char *revision;
        bool written;
    };
    for (const Case &c : {Case{"V3.0.0", false}, Case{"V2.9.0", false}, Case{"V3.1.0", true},
                          Case{"V4.0.0", true}, Case{"", false}}) {
        SCOPED_TRACE(c.revision);
        controller_->clearReceived();
        setRevision(c.revision);
        EXPECT_EQ(0, facade_->robotServiceSetRobotSafetyConfig(kSafety));
        EXPECT_EQ(c.written ? 1u : 0u, sent(kSetSafetyConfig));
    }
    kz::RobotSafetyConfig readBack{};
    ASSERT_EQ(0, facade_->robotServiceGetRobotSafetyConfig(readBack));
    EXPECT_TRUE(robotSafetyConfigIsEqual(readBack, kSafety));
    // A failed device-information read is reported, and nothing is written.
    controller_->clearReceived();
    controller_->setReplyFault(kGetDeviceInfo, kezu_sim::ReplyFault(0ms, false, kControllerError));
    EXPECT_EQ(kz::ErrCode_ResponseReturnError, facade_->robotServiceSetRobotSafetyConfig(kSafety));
    EXPECT_EQ(0u, sent(kSetSafetyConfig));
}

TEST_F(Facade, SafetyConfigThatNeverReadsBackEqualFailsAfterSixAttempts) {
    setRevision("V3.1.0");
    kezu_sim::ReplyFault fault;
    fault.rewriteBody = rewrite<kezu::robot::common::ProtoResponseRobotSafetyConfig>(
        [](auto &reply) { reply.mutable_safetyconfig(0)->set_robotreducedconfigjointspeed(3, 1); });
    controller_->setReplyFault(kGetSafetyConfig, fault);
    EXPECT_EQ(kz::ErrCode_Failed, facade_->robotServiceSetRobotSafetyConfig(kSafety));
    EXPECT_EQ(1u, sent(kSetSafetyConfig));
    EXPECT_EQ(6u, sent(kGetSafetyConfig));
}

TEST(SafetyConfigComparison, AnyFieldDifferenceCountsAndBothRecordsArePrinted) {
    const kz::RobotSafetyConfig base = kSafety;
    static_assert(sizeof base == 30, "packed: every byte belongs to a field");
    for (size_t i = 0; i < sizeof base; ++i) {
        kz::RobotSafetyConfig other = base;
        reinterpret_cast<unsigned char *>(&other)[i] ^= 0x10;
        EXPECT_FALSE(robotSafetyConfigIsEqual(base, other)) << "byte " << i;
    }
    kz::RobotSafetyConfig second = base;
    second.robotOperationalModeConfig = 'A';
    second.robotReducedConfigJointSpeed[0] = 65535;
    ::testing::internal::CaptureStdout();
    robotSafetyConfigIsEqual(base, second);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(0u, out.find("safetyConfig1:100\nsafetyConfig2:65535\nsafetyConfig1:101\n"));
    EXPECT_NE(std::string::npos, out.find("\nsafetyConfig1:25\nsafetyConfig1:300\n"));
    EXPECT_NE(std::string::npos, out.find("\nsafetyConfig2:A\nsafetyConfig2:25\n"));
    EXPECT_EQ(24, std::count(out.begin(), out.end(), '\n'));
}

/* Device records */

TEST_F(Facade, ToolDynamicsReadBackFloatRoundedWithoutInertia) {
    kz::ToolDynamicsParam tool{0.1, -0.2, 0.3, 1.7, {}};
    tool.toolInertia.xx = 5.0;
    ASSERT_EQ(0, facade_->robotServiceSetToolDynamicsParam(tool));
    EXPECT_EQ(1u, sent(kSetTcpParam));
    kz::ToolDynamicsParam readBack;
    std::memset(&readBack, 0x7f, sizeof(readBack));
    ASSERT_EQ(0, facade_->robotServiceGetToolDynamicsParam(readBack));
    const kz::ToolDynamicsParam expected{0.1f, -0.2f, 0.3f, 1.7f, {}};
    EXPECT_EQ(0, std::memcmp(&expected, &readBack, sizeof readBack));
}

TEST_F(Facade, CollisionGradeReadsZeroWhenItsRequestFails) {
    ASSERT_EQ(0, facade_->robotServiceSetRobotCollisionClass(7));
    int grade = -1;
    EXPECT_EQ(0, facade_->robotServiceGetRobotCollisionCurrentService(grade));
    EXPECT_EQ(7, grade);
    controller_->setReplyFault(kGetCollisionCurrent,
                               kezu_sim::ReplyFault(0ms, false, kControllerError));
    EXPECT_EQ(kz::ErrCode_ResponseReturnError,
              facade_->robotServiceGetRobotCollisionCurrentService(grade));
    EXPECT_EQ(0, grade);
}

TEST_F(Facade, MoveControlAndBoardOutputByNameTraceToStandardOutput) {
    ::testing::internal::CaptureStdout();
    facade_->rootServiceRobotMoveControl(kz::RobotMovePause);
    facade_->robotServiceSetBoardIOStatus(kz::RobotBoardUserDO, std::string("U_DO_00"), 1.0);
    EXPECT_EQ(
        "rootServiceRobotMoveControl called.cmd:1\n"
        "robotServiceSetBoardIOStatus type : 5 name : U_DO_00 value : 1\n",
        ::testing::internal::GetCapturedStdout());
}

/* Callbacks */

TEST_F(Facade, NullJointStatusCallbackStopsThePushAndEmptiesTheSlot) {
    ASSERT_EQ(0, facade_->robotServiceRegisterRealTimeJointStatusCallback(countJointStatus,
                                                                          &jointStatus_));
    ASSERT_TRUE(eventually([&] { return jointStatus_.calls > 2; }));
    ASSERT_EQ(0, facade_->robotServiceRegisterRealTimeJointStatusCallback(nullptr, nullptr));
    EXPECT_EQ(1u, sent(kDisableJointStatusPush));
    const int before = jointStatus_.calls;
    // Joint-status pushes flow again beside end-speed pushes; only the end-speed slot is filled.
    ASSERT_EQ(0, facade_->robotServiceSetRealTimeJointStatusPush(true));
    ASSERT_EQ(0, facade_->robotServiceRegisterRealTimeEndSpeedCallback(countEndSpeed, &endSpeed_));
    ASSERT_TRUE(eventually([&] { return endSpeed_.calls > 5; }));
    EXPECT_EQ(before, jointStatus_.calls);
    EXPECT_EQ(2u, sent(kEnableJointStatusPush));
}

struct BlockingEventCallback {
    std::promise<void> entered;
    std::shared_future<void> release;
    std::atomic<int> calls{0};
};

void blockOnEvent(const kz::RobotEventInfo *, void *arg) {
    auto *state = static_cast<BlockingEventCallback *>(arg);
    if (++state->calls == 1) {
        state->entered.set_value();
        state->release.wait_for(5s);
    }
}

TEST_F(Facade, RegistrationWaitsForARunningCallbackOfItsSlot) {
    std::promise<void> release;
    BlockingEventCallback old;
    old.release = release.get_future().share();
    CloseFacadeFirst closeFirst{facade_};
    facade_->robotServiceRegisterRobotEventInfoCallback(blockOnEvent, &old);
    controller_->sendEvent(kz::RobotEvent_collision, 0, "first");
    ASSERT_EQ(std::future_status::ready, old.entered.get_future().wait_for(3s));

    auto registering = std::async(std::launch::async, [&] {
        return facade_->robotServiceRegisterRobotEventInfoCallback(countEvent, &events_);
    });
    EXPECT_EQ(std::future_status::timeout, registering.wait_for(200ms));
    release.set_value();
    ASSERT_EQ(std::future_status::ready, registering.wait_for(3s));
    EXPECT_EQ(0, registering.get());

    controller_->sendEvent(kz::RobotEvent_collision, 0, "second");
    ASSERT_TRUE(eventually([&] { return events_.calls == 1; }));
    EXPECT_EQ(1, old.calls);
}

// Calls back into the facade from the receive thread: a request and a registration of its own
// slot.
struct CallingBack {
    ServiceInterface *facade = nullptr;
    Counter replacement;
    std::promise<int> requestResult;
};

void callBackIn(const kz::RobotEventInfo *, void *arg) {
    auto *state = static_cast<CallingBack *>(arg);
    state->facade->robotServiceRegisterRobotEventInfoCallback(countEvent, &state->replacement);
    kz::JointParam joints;
    state->requestResult.set_value(state->facade->robotServiceGetJointAngleInfo(joints));
}

TEST_F(Facade, CallbackMayRegisterItsOwnSlotAndItsRequestsTimeOut) {
    CallingBack state;
    state.facade = facade_.get();
    CloseFacadeFirst closeFirst{facade_};
    facade_->robotServiceRegisterRobotEventInfoCallback(callBackIn, &state);
    controller_->sendEvent(kz::RobotEvent_collision, 0, "first");
    auto result = state.requestResult.get_future();
    ASSERT_EQ(std::future_status::ready, result.wait_for(5s));
    EXPECT_EQ(kz::ErrCode_RequestTimeout, result.get());
    controller_->sendEvent(kz::RobotEvent_collision, 0, "second");
    EXPECT_TRUE(eventually([&] { return state.replacement.calls == 1; }));
    kz::JointParam joints;
    EXPECT_EQ(0, facade_->robotServiceGetJointAngleInfo(joints));
}

TEST_F(Facade, ConcurrentRegistrationsAndRequestsWhilePushesFlow) {
    std::atomic<int> failures{0};
    auto registering = [&] {
        for (int i = 0; i < 40; ++i) {
            facade_->robotServiceRegisterRealTimeJointStatusCallback(
                i % 2 ? nullptr : countJointStatus, &jointStatus_);
            facade_->robotServiceRegisterRealTimeEndSpeedCallback(countEndSpeed, &endSpeed_);
        }
    };
    auto requesting = [&] {
        for (int i = 0; i < 40; ++i) {
            kz::JointParam joints;
            double value = 0;
            if (facade_->robotServiceGetJointAngleInfo(joints) != 0 ||
                facade_->robotServiceGetBoardIOStatus(kz::RobotBoardUserDI, "F1", value) != 0) {
                ++failures;
            }
        }
    };
    std::thread threads[] = {std::thread(registering), std::thread(registering),
                             std::thread(requesting), std::thread(requesting)};
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(0, failures);
    EXPECT_TRUE(eventually([&] { return endSpeed_.calls > 0; }));
}

/* Destruction */

TEST_F(Facade, DestructionWithAnOpenLinkEndsItsReceiveThread) {
    facade_->robotServiceRegisterRealTimeJointStatusCallback(countJointStatus, &jointStatus_);
    ASSERT_TRUE(eventually([&] { return jointStatus_.calls > 2; }));
    facade_.reset();
    const int after = jointStatus_.calls;
    EXPECT_TRUE(controller_->waitForOpenConnections(0, 3000ms));

    // A second connection's pushes measure that time passes while nothing reaches the first.
    ServiceInterface other;
    ASSERT_EQ(0, other.robotServiceLogin("127.0.0.1", controller_->port(), "kezu", "123"));
    other.robotServiceRegisterRealTimeEndSpeedCallback(countEndSpeed, &endSpeed_);
    ASSERT_TRUE(eventually([&] { return endSpeed_.calls > 5; }));
    EXPECT_EQ(after, jointStatus_.calls);
}

class SlowMoves : public Facade {
    kezu_sim::ControllerConfig config() const override {
        kezu_sim::ControllerConfig slow = kezu_test::quickControllerConfig();
        slow.travelScale = 100.0;
        return slow;
    }
};

TEST_F(SlowMoves, DestructionEndsABlockingMoveOnAnotherThread) {
    Counter joint;
    facade_->robotServiceRegisterRealTimeRoadPointCallback(countWaypoint, &joint);
    auto moving = std::async(std::launch::async, [&] {
        double joints[6] = {0.5, 0.2, 0.3, 0.1, 0.2, 0.3};
        return facade_->robotServiceJointMove(joints, true);
    });
    CloseFacadeFirst closeFirst{facade_};
    // Pushes showing the arm under way come after the move's reply: the move is now waiting
    // for its arrival.
    ASSERT_TRUE(eventually([&] { return joint.firstJoint > 0.0; }));
    auto destroying = std::async(std::launch::async, [&] { facade_.reset(); });
    ASSERT_EQ(std::future_status::ready, moving.wait_for(5s));
    EXPECT_EQ(kz::ErrCode_SocketDisconnect, moving.get());
    ASSERT_EQ(std::future_status::ready, destroying.wait_for(5s));
    const int after = joint.calls;
    EXPECT_TRUE(controller_->waitForOpenConnections(0, 3000ms));
    EXPECT_EQ(after, joint.calls);
}

/* A whole session */

TEST(FacadeSession, DrivesTheArmThroughTheFacadeAlone) {
    kezu_sim::KezuController controller(kezu_test::quickControllerConfig());
    ASSERT_TRUE(controller.start());
    Counter jointStatus, waypoints, endSpeed, events;
    ServiceInterface robot;
    ASSERT_EQ(0, robot.robotServiceLogin("127.0.0.1", controller.port(), "kezu", "123"));

    robot.robotServiceRegisterRobotEventInfoCallback(countEvent, &events);
    robot.robotServiceRegisterRealTimeJointStatusCallback(countJointStatus, &jointStatus);
    robot.robotServiceRegisterRealTimeRoadPointCallback(countWaypoint, &waypoints);
    robot.robotServiceRegisterRealTimeEndSpeedCallback(countEndSpeed, &endSpeed);

    EXPECT_EQ(0, robot.robotServiceRobotHandShake(true));
    kz::ToolDynamicsParam tool{};
    tool.payload = 1.0;
    kz::ROBOT_SERVICE_STATE state = kz::ROBOT_SERVICE_READY;
    ASSERT_EQ(0, robot.rootServiceRobotStartup(tool, 6, true, true, 1000, state, true));
    EXPECT_EQ(kz::ROBOT_SERVICE_WORKING, state);
    EXPECT_TRUE(eventually([&] {
        return jointStatus.calls > 0 && waypoints.calls > 0 && endSpeed.calls > 0 &&
               events.calls > 0;
    }));

    robot.robotServiceInitGlobalMoveProfile();
    double target[6] = {0.3, -0.2, 0.5, 0.1, -0.4, 0.2};
    ASSERT_EQ(0, robot.robotServiceJointMove(target, true));
    kz::wayPoint_S current;
    ASSERT_EQ(0, robot.robotServiceGetCurrentWaypointInfo(current));
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(target[i], current.jointpos[i], 1e-6);
    double lineTarget[6] = {0.35, -0.2, 0.5, 0.1, -0.4, 0.2};
    ASSERT_EQ(0, robot.robotServiceLineMove(lineTarget, true));
    EXPECT_NEAR(0.35, controller.joints()[0], 1e-6);

    ASSERT_EQ(0, robot.robotServiceSetBoardIOStatus(kz::RobotBoardUserDO, "U_DO_03", 0.9));
    double value = 0;
    ASSERT_EQ(0, robot.robotServiceGetBoardIOStatus(kz::RobotBoardUserDO, "U_DO_03", value));
    EXPECT_EQ(1.0, value);
    ASSERT_EQ(0, robot.robotServiceSetToolDOStatus("T_DI/O_02", kz::IO_STATUS_VALID));

    EXPECT_EQ(0, robot.robotServiceSetRobotSafetyConfig(kSafety));
    kz::RobotSafetyConfig safety{};
    ASSERT_EQ(0, robot.robotServiceGetRobotSafetyConfig(safety));
    EXPECT_EQ(kSafety.robotReducedConfigTcpSpeed, safety.robotReducedConfigTcpSpeed);

    EXPECT_EQ(0, robot.robotServiceLogout());
    bool connected = true;
    robot.robotServiceGetConnectStatus(connected);
    EXPECT_FALSE(connected);
    EXPECT_EQ(kz::ErrCode_SocketDisconnect, robot.robotServiceJointMove(target, false));
    EXPECT_EQ("Socket disconnect.", robot.getErrDescByCode(kz::ErrCode_SocketDisconnect));
}

}  // namespace
