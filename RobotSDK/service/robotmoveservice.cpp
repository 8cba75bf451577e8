#include "robotmoveservice.h"

#include <pthread.h>

#include <cstring>
#include <iostream>
#include <mutex>

#include "globalutil.h"
#include "protoencodedecode.h"
#include "pthreadlock.h"
#include "rawvalue.h"
#include "robotcontrolservices.h"
#include "robotutilservice.h"

using kezu_robot_logtrace::W_ERROR;
using kezu_robot_logtrace::W_INFO;
namespace sdk = kezu_robot_namespace;

namespace {

using Cmd = CommunicationMateType;

const double DEFAULT_JOINT_LIMIT = 0.4363323129985824;  // 25 degrees
const double JOINT_MAX_ACC_BOUND = 83.77597862865302;
const double JOINT_MAX_VELC_BOUND = 8.726820792896847;
const double END_LINE_BOUND = 5.01;
const double END_ANGLE_BOUND = 3.141767186514992;
const double BLEND_RADIUS_BOUND = 0.0501;
const size_t MAX_WAYPOINTS = 5000;
const size_t MIN_TRACK_WAYPOINTS = 3;

// NaN fails both comparisons.
bool inRange(double value, double lower, double upper) { return value > lower && value <= upper; }

// Every process-wide setting, the waypoint list and the track name are read and written under
// this one lock, so a move sends one consistent state. It is never held across a request.
std::mutex g_settingsMutex;

using SettingsLock = std::lock_guard<std::mutex>;

template <typename T>
void storeLocked(const T &value, T &stored) {
    SettingsLock lock(g_settingsMutex);
    stored = value;
}

template <typename T>
T loadLocked(const T &stored) {
    SettingsLock lock(g_settingsMutex);
    return stored;
}

int setChecked(double value, double upper, double &stored) {
    if (!inRange(value, 0.0, upper)) {
        return sdk::ErrCode_ParamError;
    }
    storeLocked(value, stored);
    return sdk::ErrnoSucc;
}

int setCheckedJoints(const sdk::JointVelcAccParam &value, double upper,
                     sdk::JointVelcAccParam &stored) {
    for (double joint : value.jointPara) {
        if (!inRange(joint, 0.0, upper)) {
            return sdk::ErrCode_ParamError;
        }
    }
    storeLocked(value, stored);
    return sdk::ErrnoSucc;
}

bool validTrack(sdk::move_track track) {
    const int raw = rawValue(track);
    return raw >= sdk::NO_TRACK && raw <= sdk::JOINT_UBSPLINEINTP;
}

bool validTeach(sdk::teach_mode teach) {
    const int raw = rawValue(teach);
    return raw >= sdk::NO_TEACH && raw <= sdk::ROT_Z;
}

sdk::move_mode teachMoveMode(sdk::teach_mode teach) {
    const int raw = rawValue(teach);
    return raw >= sdk::MOV_X && raw <= sdk::ROT_Z ? sdk::MODEL : sdk::MODEJ;
}

void setAllJoints(joint_cart_U &limit, double value) {
    for (double &joint : limit.jointPara) {
        joint = value;
    }
}

sdk::Pos addOffset(const sdk::Pos &position, const double *offset) {
    return sdk::Pos{position.x + offset[0], position.y + offset[1], position.z + offset[2]};
}

RobotMoveProfile zeroProfile() {
    RobotMoveProfile profile;
    std::memset(&profile, 0, sizeof(profile));
    return profile;
}

}  // namespace

double RobotMoveService::s_moveProfileEndMaxLineAcc = 0.0;
double RobotMoveService::s_moveProfileEndMaxLineVelc = 0.0;
double RobotMoveService::s_moveProfileEndMaxAngleAcc = 0.0;
double RobotMoveService::s_moveProfileEndMaxAngleVelc = 0.0;
sdk::JointVelcAccParam RobotMoveService::s_moveProfileJointMaxAcc = {};
sdk::JointVelcAccParam RobotMoveService::s_moveProfileJointMaxVelc = {};
std::vector<sdk::wayPoint_S> RobotMoveService::s_moveWayPointVector;
sdk::CoordCalibrateByJointAngleAndTool RobotMoveService::s_teachMoveCoordinateSystem = {};
RobotMoveService::MoveRelativeParam_t RobotMoveService::s_moveProfileRelativeParam = {};
double RobotMoveService::s_moveProfileBlendRadius = 0.0;
double RobotMoveService::s_moveProfileTrackPlaybackCycle = 0.0;
int RobotMoveService::s_moveProfileCircularLoopTimes = 0;
bool RobotMoveService::s_moveProfileEnableIterIk = false;
sdk::ToolInEndDesc RobotMoveService::s_moveProfileToolInEndDesc = {};
bool RobotMoveService::s_moveProfileToolTrack = false;
RobotMoveService::MoveArrivalAhead_t RobotMoveService::s_moveArrivalAhead = {};
bool RobotMoveService::s_moveProfileIsInited = false;
RobotMoveService::offlineTrackRecognition RobotMoveService::s_offlineTrackRecognition;

RobotMoveService::RobotMoveService(RobotControlServices *robotBaseService)
    : m_robotBaseService(robotBaseService) {
    SettingsLock lock(g_settingsMutex);
    if (!s_moveProfileIsInited) {
        resetMoveProfileLocked();
        resetToolParamLocked();
        s_moveProfileIsInited = true;
    }
}

// ---------------------------------------------------------------- process-wide profile

int RobotMoveService::initClassProfile() {
    SettingsLock lock(g_settingsMutex);
    resetMoveProfileLocked();
    resetToolParamLocked();
    return sdk::ErrnoSucc;
}

int RobotMoveService::initMoveProfile() {
    SettingsLock lock(g_settingsMutex);
    resetMoveProfileLocked();
    return sdk::ErrnoSucc;
}

void RobotMoveService::resetMoveProfileLocked() {
    s_moveProfileEndMaxLineAcc = 0.03;
    s_moveProfileEndMaxLineVelc = 0.03;
    s_moveProfileEndMaxAngleAcc = 1.7453292519943295;
    s_moveProfileEndMaxAngleVelc = 1.7453292519943295;
    for (int i = 0; i < sdk::ARM_DOF; ++i) {
        s_moveProfileJointMaxAcc.jointPara[i] = DEFAULT_JOINT_LIMIT;
        s_moveProfileJointMaxVelc.jointPara[i] = DEFAULT_JOINT_LIMIT;
    }
    s_moveWayPointVector.clear();
    s_teachMoveCoordinateSystem.coordType = sdk::BaseCoordinate;
    std::memset(&s_moveProfileRelativeParam, 0, sizeof(s_moveProfileRelativeParam));
    s_moveProfileRelativeParam.coordinateSystem.coordType = sdk::BaseCoordinate;
    s_moveProfileBlendRadius = 0.02;
    s_moveProfileTrackPlaybackCycle = 0.1;
    s_moveProfileCircularLoopTimes = 0;
    s_moveProfileEnableIterIk = false;
    s_moveArrivalAhead = MoveArrivalAhead_t{arrival_ahead_none, 0.0};
}

void RobotMoveService::resetToolParamLocked() {
    s_moveProfileToolInEndDesc.toolInEndPosition = sdk::Pos{0.0, 0.0, 0.0};
    s_moveProfileToolInEndDesc.toolInEndOrientation = sdk::Ori{1.0, 0.0, 0.0, 0.0};
    s_moveProfileToolTrack = false;
}

int RobotMoveService::setMoveJointMaxAcc(const JointVelcAccParam &moveMaxAcc) {
    return setCheckedJoints(moveMaxAcc, JOINT_MAX_ACC_BOUND, s_moveProfileJointMaxAcc);
}

int RobotMoveService::setMoveJointMaxVelc(const JointVelcAccParam &moveMaxVelc) {
    return setCheckedJoints(moveMaxVelc, JOINT_MAX_VELC_BOUND, s_moveProfileJointMaxVelc);
}

void RobotMoveService::getMoveJointMaxAcc(JointVelcAccParam &moveMaxAcc) {
    moveMaxAcc = loadLocked(s_moveProfileJointMaxAcc);
}

void RobotMoveService::getMoveJointMaxVelc(JointVelcAccParam &moveMaxVelc) {
    moveMaxVelc = loadLocked(s_moveProfileJointMaxVelc);
}

int RobotMoveService::setMoveEndMaxLineAcc(double moveMaxAcc) {
    return setChecked(moveMaxAcc, END_LINE_BOUND, s_moveProfileEndMaxLineAcc);
}

int RobotMoveService::setMoveEndMaxLineVelc(double moveMaxVelc) {
    return setChecked(moveMaxVelc, END_LINE_BOUND, s_moveProfileEndMaxLineVelc);
}

void RobotMoveService::getMoveEndMaxLineAcc(double &moveMaxAcc) {
    moveMaxAcc = loadLocked(s_moveProfileEndMaxLineAcc);
}

void RobotMoveService::getMoveEndMaxLineVelc(double &moveMaxVelc) {
    moveMaxVelc = loadLocked(s_moveProfileEndMaxLineVelc);
}

int RobotMoveService::setMoveEndMaxAngleAcc(double moveMaxAcc) {
    return setChecked(moveMaxAcc, END_ANGLE_BOUND, s_moveProfileEndMaxAngleAcc);
}

int RobotMoveService::setMoveEndMaxAngleVelc(double moveMaxVelc) {
    return setChecked(moveMaxVelc, END_ANGLE_BOUND, s_moveProfileEndMaxAngleVelc);
}

void RobotMoveService::getMoveEndMaxAngleAcc(double &moveMaxAcc) {
    moveMaxAcc = loadLocked(s_moveProfileEndMaxAngleAcc);
}

void RobotMoveService::getMoveEndMaxAngleVelc(double &moveMaxVelc) {
    moveMaxVelc = loadLocked(s_moveProfileEndMaxAngleVelc);
}

void RobotMoveService::clearWayPointVector() {
    SettingsLock lock(g_settingsMutex);
    s_moveWayPointVector.clear();
}

int RobotMoveService::addWayPoint(const wayPoint_S &wayPoint) {
    SettingsLock lock(g_settingsMutex);
    if (s_moveWayPointVector.size() >= MAX_WAYPOINTS) {
        return sdk::ErrCode_MotionWaypointVetorSizeError;
    }
    s_moveWayPointVector.push_back(wayPoint);
    return sdk::ErrnoSucc;
}

void RobotMoveService::getWayPointVector(std::vector<wayPoint_S> &wayPointVector) {
    wayPointVector = loadLocked(s_moveWayPointVector);
}

int RobotMoveService::setBlendRadius(float value) {
    const double widened = value;
    if (!(widened > 0.0 && widened < BLEND_RADIUS_BOUND)) {
        return sdk::ErrCode_ParamError;
    }
    storeLocked(widened, s_moveProfileBlendRadius);
    return sdk::ErrnoSucc;
}

float RobotMoveService::getBlendRadius() {
    return static_cast<float>(loadLocked(s_moveProfileBlendRadius));
}

void RobotMoveService::setCircularLoopTimes(int times) {
    storeLocked(times, s_moveProfileCircularLoopTimes);
}

int RobotMoveService::getCircularLoopTimes() { return loadLocked(s_moveProfileCircularLoopTimes); }

void RobotMoveService::setTrackPlaybackCycle(double second) {
    storeLocked(second, s_moveProfileTrackPlaybackCycle);
}

double RobotMoveService::getTrackPlaybackCycle() {
    return loadLocked(s_moveProfileTrackPlaybackCycle);
}

void RobotMoveService::setEnableIterIk(bool enable) {
    storeLocked(enable, s_moveProfileEnableIterIk);
}

int RobotMoveService::setMoveProfileRelativeParam(const MoveRelative &relativeMoveOnBase) {
    CoordCalibrateByJointAngleAndTool baseFrame;
    std::memset(&baseFrame, 0, sizeof(baseFrame));
    baseFrame.coordType = sdk::BaseCoordinate;
    return setMoveProfileRelativeParam(relativeMoveOnBase, baseFrame);
}

int RobotMoveService::setMoveProfileRelativeParam(
    const MoveRelative &relativeMoveOnUserCoord,
    const CoordCalibrateByJointAngleAndTool &userCoord) {
    // The conversion runs before the lock is taken; the flag is stored whatever its result.
    double onBase[3] = {0.0, 0.0, 0.0};
    int ret = sdk::ErrnoSucc;
    if (relativeMoveOnUserCoord.ena) {
        double onUser[3];
        for (int i = 0; i < 3; ++i) {
            onUser[i] = relativeMoveOnUserCoord.relativePosition[i];
        }
        ret = RobotUtilService::offsetVectorUserCoord2Base(onUser, userCoord, onBase);
    }
    SettingsLock lock(g_settingsMutex);
    MoveRelativeParam_t &stored = s_moveProfileRelativeParam;
    stored.isEnable = relativeMoveOnUserCoord.ena;
    stored.coordinateSystem.coordType = sdk::BaseCoordinate;
    std::memset(&stored.relativeOrientation, 0, sizeof(stored.relativeOrientation));
    if (relativeMoveOnUserCoord.ena && ret == sdk::ErrnoSucc) {
        for (int i = 0; i < 3; ++i) {
            stored.relativePosition[i] = static_cast<float>(onBase[i]);
        }
    }
    return ret;
}

int RobotMoveService::setTeachCoordinateSystem(
    const CoordCalibrateByJointAngleAndTool &coordSystem) {
    storeLocked(coordSystem, s_teachMoveCoordinateSystem);
    return sdk::ErrnoSucc;
}

int RobotMoveService::setMoveProfileToolParamIsNone() {
    SettingsLock lock(g_settingsMutex);
    resetToolParamLocked();
    return sdk::ErrnoSucc;
}

int RobotMoveService::setMoveProfileToolParam(const ToolInEndDesc &toolInEndDesc) {
    SettingsLock lock(g_settingsMutex);
    s_moveProfileToolInEndDesc = toolInEndDesc;
    s_moveProfileToolTrack = true;
    return sdk::ErrnoSucc;
}

int RobotMoveService::getMoveProfileToolParam(ToolInEndDesc &toolInEndDesc) {
    toolInEndDesc = loadLocked(s_moveProfileToolInEndDesc);
    return sdk::ErrnoSucc;
}

int RobotMoveService::setNoArrivalAhead() {
    storeLocked(MoveArrivalAhead_t{arrival_ahead_none, 0.0}, s_moveArrivalAhead);
    return sdk::ErrnoSucc;
}

int RobotMoveService::setArrivalAheadDistanceMode(double distance) {
    storeLocked(MoveArrivalAhead_t{arrival_ahead_distance, distance}, s_moveArrivalAhead);
    return sdk::ErrnoSucc;
}

int RobotMoveService::setArrivalAheadTimeMode(double second) {
    storeLocked(MoveArrivalAhead_t{arrival_ahead_time, second}, s_moveArrivalAhead);
    return sdk::ErrnoSucc;
}

// ---------------------------------------------------------------- profile assembly

void RobotMoveService::initDefaultMoveProfile(RobotMoveProfile &moveProfile) {
    moveProfile = zeroProfile();
    moveProfile.toolInEndOrientation.w = 1.0;
    moveProfile.blendRadius = 0.02f;
    moveProfile.circularLoopTimes = 0;
    setAllJoints(moveProfile.maxVelc, DEFAULT_JOINT_LIMIT);
    setAllJoints(moveProfile.maxAcc, DEFAULT_JOINT_LIMIT);
    moveProfile.arrivalAhead.arrivalAheadStat = arrival_ahead_none;
    moveProfile.arrivalAhead.arrivalAheadThr = 0.0;
}

void RobotMoveService::initCurrnetMoveProfile(move_mode moveMode, move_track subMoveMode,
                                              teach_mode teachMode, RobotMoveProfile &moveProfile) {
    SettingsLock lock(g_settingsMutex);
    assembleProfileLocked(moveMode, subMoveMode, teachMode, moveProfile);
}

void RobotMoveService::assembleProfileLocked(move_mode moveMode, move_track subMoveMode,
                                             teach_mode teachMode, RobotMoveProfile &moveProfile) {
    initDefaultMoveProfile(moveProfile);
    moveProfile.moveMode = moveMode;
    moveProfile.subMoveMode = subMoveMode;
    moveProfile.teachMode = teachMode;
    moveProfile.enableIterIk = s_moveProfileEnableIterIk;
    moveProfile.toolTrack = s_moveProfileToolTrack;
    moveProfile.blendRadius = static_cast<float>(s_moveProfileBlendRadius);
    moveProfile.circularLoopTimes = s_moveProfileCircularLoopTimes;
    setLimitsLocked(moveMode, subMoveMode, moveProfile);

    moveProfile.relativeMove.ena = s_moveProfileRelativeParam.isEnable;
    if (moveProfile.relativeMove.ena) {
        for (int i = 0; i < 3; ++i) {
            moveProfile.relativeMove.relativePosition[i] =
                s_moveProfileRelativeParam.relativePosition[i];
        }
        std::memset(&moveProfile.relativeMove.relativeOrientation, 0,
                    sizeof(moveProfile.relativeMove.relativeOrientation));
    }

    moveProfile.toolInEndPosition.position = s_moveProfileToolInEndDesc.toolInEndPosition;
    moveProfile.toolInEndOrientation = s_moveProfileToolInEndDesc.toolInEndOrientation;

    // For this kind of track the controller reads the playback cycle from the radius field.
    if (rawValue(moveMode) == sdk::MODEP && rawValue(subMoveMode) == sdk::JOINT_UBSPLINEINTP) {
        moveProfile.blendRadius = static_cast<float>(s_moveProfileTrackPlaybackCycle);
    }

    moveProfile.arrivalAhead.arrivalAheadStat = s_moveArrivalAhead.arrivalAheadStat;
    moveProfile.arrivalAhead.arrivalAheadThr = s_moveArrivalAhead.arrivalAheadThr;
    if (rawValue(s_moveArrivalAhead.arrivalAheadStat) != arrival_ahead_none &&
        rawValue(moveMode) == sdk::MODEJ) {
        moveProfile.subMoveMode = sdk::TRACKING;
    }
}

void RobotMoveService::setMaxVelcAccByMoveMode(move_mode moveMode, move_track subMoveMode,
                                               RobotMoveProfile &moveProfile) {
    SettingsLock lock(g_settingsMutex);
    setLimitsLocked(moveMode, subMoveMode, moveProfile);
}

void RobotMoveService::setLimitsLocked(move_mode moveMode, move_track subMoveMode,
                                       RobotMoveProfile &moveProfile) {
    const int mode = rawValue(moveMode);
    const int track = rawValue(subMoveMode);
    const bool cartesianTrack = track >= sdk::ARC_CIR && track <= sdk::CARTESIAN_UBSPLINEINTP;
    const bool jointTrack = track == sdk::JIONT_CUBICSPLINE || track == sdk::JOINT_UBSPLINEINTP;
    if (mode == sdk::MODEJ || (mode == sdk::MODEP && jointTrack)) {
        for (int i = 0; i < sdk::ARM_DOF; ++i) {
            moveProfile.maxVelc.jointPara[i] = s_moveProfileJointMaxVelc.jointPara[i];
            moveProfile.maxAcc.jointPara[i] = s_moveProfileJointMaxAcc.jointPara[i];
        }
    } else if (mode == sdk::MODEL || (mode == sdk::MODEP && cartesianTrack)) {
        moveProfile.maxVelc.cartPara[0] = s_moveProfileEndMaxLineVelc;
        moveProfile.maxVelc.cartPara[1] = s_moveProfileEndMaxAngleVelc;
        moveProfile.maxAcc.cartPara[0] = s_moveProfileEndMaxLineAcc;
        moveProfile.maxAcc.cartPara[1] = s_moveProfileEndMaxAngleAcc;
    }
}

// ---------------------------------------------------------------- motion

int RobotMoveService::robotJointMove(wayPoint_S &wayPoint, bool IsBolck) {
    RobotMoveProfile profile;
    initCurrnetMoveProfile(sdk::MODEJ, sdk::NO_TRACK, sdk::NO_TEACH, profile);
    return robotMoveService(profile, std::vector<wayPoint_S>(1, wayPoint), IsBolck);
}

int RobotMoveService::robotFollowModeJointMove(wayPoint_S &wayPoint) {
    RobotMoveProfile profile;
    initCurrnetMoveProfile(sdk::MODEJ, sdk::TRACKING, sdk::NO_TEACH, profile);
    return robotMoveService(profile, std::vector<wayPoint_S>(1, wayPoint), false);
}

int RobotMoveService::robotLineMove(wayPoint_S &wayPoint, bool IsBolck) {
    RobotMoveProfile profile;
    initCurrnetMoveProfile(sdk::MODEL, sdk::NO_TRACK, sdk::NO_TEACH, profile);
    return robotMoveService(profile, std::vector<wayPoint_S>(1, wayPoint), IsBolck);
}

int RobotMoveService::robotLineRotateMove(const CoordCalibrateByJointAngleAndTool &userCoord,
                                          const double *rotateAxisOnUserCoord, double rotateAngle,
                                          bool IsBolck) {
    if (rotateAxisOnUserCoord == nullptr) {
        W_ERROR("sdk log: robotLineRotateMove rotate axis is NULL.");
        return sdk::ErrCode_ParamError;
    }
    wayPoint_S wayPoint;
    int ret = getCurrnetRoadPoint(wayPoint);
    if (ret != sdk::ErrnoSucc) {
        return ret;
    }
    RobotMoveProfile profile;
    initCurrnetMoveProfile(sdk::MODEL, sdk::NO_TRACK, sdk::ROT_Y, profile);
    double baseAxis[3] = {0.0, 0.0, 0.0};
    ret = RobotUtilService::offsetVectorUserCoord2Base(rotateAxisOnUserCoord, userCoord, baseAxis);
    if (ret != sdk::ErrnoSucc) {
        std::cout << "baseRotateAxis" << baseAxis[0] << "," << baseAxis[1] << "," << baseAxis[2]
                  << std::endl;
        return ret;
    }
    // The controller reads the rotation as angle and axis from the orientation fields.
    wayPoint.orientation = sdk::Ori{rotateAngle, baseAxis[0], baseAxis[1], baseAxis[2]};
    return robotMoveService(profile, std::vector<wayPoint_S>(1, wayPoint), IsBolck);
}

int RobotMoveService::robotTrackMove(move_track subMoveMode, bool IsBolck) {
    if (!validTrack(subMoveMode)) {
        W_ERROR("sdk log: robotTrackMove track mode error. mode:%d", rawValue(subMoveMode));
        return sdk::ErrCode_ParamError;
    }
    RobotMoveProfile profile;
    std::vector<wayPoint_S> wayPoints;
    {
        // Profile and list as one state; the copy is what gets encoded, outside the lock.
        SettingsLock lock(g_settingsMutex);
        assembleProfileLocked(sdk::MODEP, subMoveMode, sdk::NO_TEACH, profile);
        wayPoints = s_moveWayPointVector;
    }
    if (wayPoints.size() < MIN_TRACK_WAYPOINTS) {
        W_ERROR("sdk log: Number of waypoints less than 3.");
        return sdk::ErrCode_MotionWaypointVetorSizeError;
    }
    return robotMoveService(profile, wayPoints, IsBolck);
}

int RobotMoveService::robotTeachStart(teach_mode teachMode, bool direction) {
    if (!validTeach(teachMode)) {
        W_ERROR("sdk log: robotTeachStart teach mode error. mode:%d", rawValue(teachMode));
        return sdk::ErrCode_ParamError;
    }
    RobotMoveProfile profile;
    CoordCalibrateByJointAngleAndTool teachFrame;
    {
        SettingsLock lock(g_settingsMutex);
        assembleProfileLocked(teachMoveMode(teachMode), sdk::TRACKING, teachMode, profile);
        teachFrame = s_teachMoveCoordinateSystem;
    }
    // The loop count field carries the jog direction.
    profile.circularLoopTimes = direction ? 1 : 0;
    CoordCalibrateByToolEndPoint frame;
    std::memset(&frame, 0, sizeof(frame));
    const int ret = RobotUtilService::CoordCalibrateTypeConvert(teachFrame, frame);
    if (ret != sdk::ErrnoSucc) {
        return ret;
    }
    return robotTeachMove(profile, frame);
}

int RobotMoveService::robotTeachStop() {
    return m_robotBaseService->requestServiceOnlyCheckSendResultMode(
        Cmd::CommunicationType_RobotTeachMoveStop, nullptr, 0);
}

int RobotMoveService::robotMoveControl(sdk::RobotMoveControlCommand cmd) {
    char *body = nullptr;
    int size = 0;
    if (!ProtoEncodeDecode::getRequest_robotMoveControl(&body, &size, cmd)) {
        W_ERROR("sdk log: Create robotMoveControl request failed.");
        return sdk::ErrCode_CreateRequestFailed;
    }
    auto send = [&] {
        return m_robotBaseService->requestServiceOnlyCheckSendResultMode(
            Cmd::CommunicationType_RobotMoveControl, body, size);
    };
    return cmd == sdk::RobotMoveStop ? m_robotBaseService->sendStop(send) : send();
}

int RobotMoveService::robotMoveFastStop() {
    return stopService(Cmd::CommunicationType_RobotMoveFastStop);
}

// A stop request without a body; the controller answers it with a stop event.
int RobotMoveService::stopService(Cmd::CommunicationCommandType type) {
    return m_robotBaseService->sendStop([&] {
        return m_robotBaseService->requestServiceOnlyCheckSendResultMode(type, nullptr, 0);
    });
}

int RobotMoveService::offlineTrackWaypointAppend(const std::vector<wayPoint_S> &wayPointVector) {
    return moveProfileAndWaypointsFormatCommunication(
        Cmd::CommunicationType_OfflineTrackWaypointAppend, zeroProfile(), wayPointVector);
}

int RobotMoveService::offlineTrackWaypointClear() {
    return m_robotBaseService->requestServiceOnlyCheckSendResultMode(
        Cmd::CommunicationType_OfflineTrackWaypointClear, nullptr, 0);
}

int RobotMoveService::offlineTrackMoveStartupService(bool isBolck) {
    RobotMoveProfile profile;
    initDefaultMoveProfile(profile);
    return moveBaseService(ROBOT_MOVE_CLASS_OFFLINE_TRACK, profile, std::vector<wayPoint_S>(),
                           isBolck);
}

int RobotMoveService::offlineTrackStartupBaseService() {
    return m_robotBaseService->requestServiceOnlyCheckSendResultMode(
        Cmd::CommunicationType_OfflineTrackMoveStartup, nullptr, 0);
}

int RobotMoveService::offlineTrackMoveStop() {
    return stopService(Cmd::CommunicationType_OfflineTrackMoveStop);
}

int RobotMoveService::startupOfflineExcitTraj(const char *trackFile,
                                              sdk::Robot_Dyn_identify_traj type, int subtype,
                                              bool isBolck) {
    if (trackFile == nullptr) {
        W_ERROR("sdk log: startupOfflineExcitTraj track file is NULL.");
        return sdk::ErrCode_ParamError;
    }
    storeLocked(offlineTrackRecognition{trackFile, rawValue(type), subtype},
                s_offlineTrackRecognition);
    RobotMoveProfile profile;
    initDefaultMoveProfile(profile);
    return moveBaseService(ROBOT_MOVE_CLASS_OFFLINE_TRACK_RECOGNITION, profile,
                           std::vector<wayPoint_S>(), isBolck);
}

int RobotMoveService::enterTcp2CanbusMode() {
    return m_robotBaseService->requestServiceOnlyCheckSendResultMode(
        Cmd::CommunicationType_EnterTcp2CanbusMode, nullptr, 0);
}

int RobotMoveService::leaveTcp2CanbusMode() {
    return m_robotBaseService->requestServiceOnlyCheckSendResultMode(
        Cmd::CommunicationType_LeaveTcp2CanbusMode, nullptr, 0);
}

int RobotMoveService::setRobotPosData2Canbus(const wayPoint_S &wayPoint) {
    return moveProfileAndWaypointsFormatCommunication(Cmd::CommunicationType_SetRobotPosData2Canbus,
                                                      zeroProfile(),
                                                      std::vector<wayPoint_S>(1, wayPoint));
}

int RobotMoveService::robotMoveService(const RobotMoveProfile &moveProfile,
                                       const std::vector<wayPoint_S> &wayPointVector,
                                       bool isBolck) {
    return moveBaseService(ROBOT_MOVE_CLASS_GENARAL, moveProfile, wayPointVector, isBolck);
}

int RobotMoveService::sendByMoveClass(RobotMoveClass MoveType, const RobotMoveProfile &moveProfile,
                                      const std::vector<wayPoint_S> &wayPointVector,
                                      const char *unknownClassLine) {
    switch (rawValue(MoveType)) {
        case ROBOT_MOVE_CLASS_GENARAL:
            return moveProfileAndWaypointsFormatCommunication(Cmd::CommunicationType_RobotMove,
                                                              moveProfile, wayPointVector);
        case ROBOT_MOVE_CLASS_OFFLINE_TRACK:
            return offlineTrackStartupBaseService();
        case ROBOT_MOVE_CLASS_OFFLINE_TRACK_RECOGNITION: {
            const offlineTrackRecognition track = loadLocked(s_offlineTrackRecognition);
            return m_robotBaseService->startupOfflineExcitTrajService(
                track.trackName.c_str(), static_cast<sdk::Robot_Dyn_identify_traj>(track.type),
                track.subType);
        }
        default:
            W_ERROR("%s", unknownClassLine);
            return sdk::ErrCode_Failed;
    }
}

int RobotMoveService::moveBaseService(RobotMoveClass MoveType, const RobotMoveProfile &moveProfile,
                                      const std::vector<wayPoint_S> &wayPointVector, bool IsBolck) {
    // Every move is numbered, the non-blocking ones too: a later move of any kind takes the
    // arm away from the target of a move still waiting.
    MoveLedger::Id move = 0;
    auto send = [&](const char *unknownClassLine) {
        return m_robotBaseService->sendMove(
            [&] {
                return sendByMoveClass(MoveType, moveProfile, wayPointVector, unknownClassLine);
            },
            IsBolck, move);
    };
    if (!IsBolck) {
        W_INFO("sdk log: User non-blocking call motion interface.");
        const int ret = send("sdk log:Move class not exist.");
        W_INFO("sdk log: User call motion interface finish.");
        return ret;
    }
    W_INFO("sdk log: User blocking call motion interface.");
    clearMoveFlags();
    int ret = send("sdk log: Move class not exist.");
    if (ret != sdk::ErrnoSucc) {
        W_ERROR("sdk log: robotMoveInterface return false, because server return false.");
        return ret;
    }
    ret = waitForMoveEnd(move);
    W_INFO("sdk log: User call motion interface finish.");
    return ret;
}

void RobotMoveService::clearMoveFlags() {
    // Under the mutex: an event of an earlier move may be setting them on the receive thread.
    PthreadLock lock(*m_robotBaseService->getRobotMoveAtTrackTargetPosMutexPtr());
    m_robotBaseService->setRobotMoveAtTrackTargetSignalFlag(false);
    m_robotBaseService->setRobotMoveAbnormalStopFlag(false);
}

int RobotMoveService::waitForMoveEnd(MoveLedger::Id move) {
    PthreadLock lock(*m_robotBaseService->getRobotMoveAtTrackTargetPosMutexPtr());
    const int result = waitForMoveEndLocked(move);
    m_robotBaseService->forgetMoveLocked(move);
    return result;
}

int RobotMoveService::waitForMoveEndLocked(MoveLedger::Id move) {
    using End = RobotControlServices::MoveEnd;
    pthread_mutex_t *mutex = m_robotBaseService->getRobotMoveAtTrackTargetPosMutexPtr();
    pthread_cond_t *condition = m_robotBaseService->getRobotMoveAtTrackTargetPosConditonPtr();
    End end = m_robotBaseService->moveEndLocked(move);
    if (end == End::Arrived) {
        W_INFO("sdk log: atTrackTargetPos singal before the response appears");
        return sdk::ErrnoSucc;
    }
    // No time limit: a move takes as long as it takes. Events, link losses and the ends of
    // move and stop requests all broadcast the condition, and each waiter sees under the
    // mutex whether one ends its wait.
    while (end == End::Waiting) {
        if (pthread_cond_wait(condition, mutex) != 0) {
            W_ERROR("sdk log: Call robotMoveInterface  pthread_cond_wait failed.");
            return sdk::ErrCode_MotionRelatedVariableError;
        }
        end = m_robotBaseService->moveEndLocked(move);
    }
    switch (end) {
        case End::Arrived:
            W_INFO("sdk log:Success wait for the signal to arrive target positon.");
            return sdk::ErrnoSucc;
        case End::Stopped:
            W_ERROR("sdk log: robotMoveInterface  return false, because stop the event.");
            return sdk::ErrCode_MotionInterruptedByEvent;
        case End::Replaced:
            W_ERROR("sdk log: robotMoveInterface return false, because a later move replaced it.");
            return sdk::ErrCode_MotionInterruptedByEvent;
        default:
            W_ERROR("sdk log: robotMoveInterface return false, because the connection is lost.");
            return sdk::ErrCode_SocketDisconnect;
    }
}

int RobotMoveService::moveProfileAndWaypointsFormatCommunication(
    CommunicationMateType::CommunicationCommandType commandType,
    const RobotMoveProfile &moveProfile, const std::vector<wayPoint_S> &wayPointVector) {
    char *body = nullptr;
    int size = 0;
    if (!ProtoEncodeDecode::getRequest_robotMove(&body, &size, moveProfile, wayPointVector)) {
        W_ERROR("sdk log: Create move request failed.");
        return sdk::ErrCode_CreateMotionRequestFailed;
    }
    const int ret =
        m_robotBaseService->requestServiceOnlyCheckSendResultMode(commandType, body, size);
    if (ret != sdk::ErrnoSucc) {
        W_ERROR(
            "sdk log: Move interface call, function-sendRequestCheckResponseResult return false. "
            "ret=%d",
            ret);
    }
    return ret;
}

int RobotMoveService::robotTeachMove(const RobotMoveProfile &moveProfile,
                                     const CoordCalibrateByToolEndPoint &userCoordSystem) {
    char *body = nullptr;
    int size = 0;
    if (!ProtoEncodeDecode::getRequest_robotTeachMove(&body, &size, moveProfile, userCoordSystem)) {
        W_ERROR("sdk log: Create robotTeachStart request failed.");
        return sdk::ErrCode_CreateRequestFailed;
    }
    // A jog moves the arm like any move and ends in an arrival: numbered, so that a move still
    // waiting does not take that arrival for its own.
    MoveLedger::Id move = 0;
    return m_robotBaseService->sendMove(
        [&] {
            return m_robotBaseService->requestServiceOnlyCheckSendResultMode(
                Cmd::CommunicationType_RobotTeachMoveStart, body, size);
        },
        false, move);
}

int RobotMoveService::getCurrnetRoadPoint(wayPoint_S &wayPoint) {
    sdk::JointParam joints;
    std::memset(&joints, 0, sizeof(joints));
    const int ret = m_robotBaseService->getCurrentJointAngle(joints);
    if (ret != sdk::ErrnoSucc) {
        W_ERROR("sdk log: getCurrentJointAngle error.");
        return ret;
    }
    return RobotUtilService::robotFk(joints.jointPos, sdk::ARM_DOF, wayPoint);
}

// ---------------------------------------------------------------- targets

int RobotMoveService::moveToTarget(move_mode moveMode, wayPoint_S &target, bool IsBolck) {
    switch (rawValue(moveMode)) {
        case sdk::MODEJ:
            return robotJointMove(target, IsBolck);
        case sdk::MODEL:
            return robotLineMove(target, IsBolck);
        default:
            W_ERROR("sdk log: robotMoveToTargetPosition move mode error.");
            return sdk::ErrCode_ParamError;
    }
}

int RobotMoveService::robotMoveToTargetPositionByRelative(
    move_mode moveMode, const CoordCalibrateByJointAngleAndTool &userCoordSystem,
    const ToolInEndDesc &toolInEndDesc, const MoveRelative &relativeOnUser, bool IsBolck) {
    wayPoint_S current;
    int ret = getCurrnetRoadPoint(current);
    if (ret != sdk::ErrnoSucc) {
        return ret;
    }
    wayPoint_S target;
    ret = getTargetWaypointByRelative(current, userCoordSystem, toolInEndDesc, relativeOnUser,
                                      target);
    if (ret != sdk::ErrnoSucc) {
        return ret;
    }
    return moveToTarget(moveMode, target, IsBolck);
}

int RobotMoveService::robotMoveToTargetPositionByPosition(
    move_mode moveMode, const CoordCalibrateByJointAngleAndTool &userCoordSystem,
    const Pos &position, const ToolInEndDesc &toolInEndDesc, bool IsBolck) {
    wayPoint_S target;
    const int ret = getJointAngleByTargetPositionKeepCurrentOri(userCoordSystem, position,
                                                                toolInEndDesc, target);
    if (ret != sdk::ErrnoSucc) {
        return ret;
    }
    return moveToTarget(moveMode, target, IsBolck);
}

int RobotMoveService::getJointAngleByTargetPositionKeepCurrentOri(
    const CoordCalibrateByJointAngleAndTool &userCoordSystem, const Pos &position,
    const ToolInEndDesc &toolInEndDesc, wayPoint_S &targetWayPointOnBaseCoord) {
    wayPoint_S current;
    const int ret = getCurrnetRoadPoint(current);
    if (ret != sdk::ErrnoSucc) {
        return ret;
    }
    return getTargetWaypointByPosition(current, userCoordSystem, position, toolInEndDesc,
                                       targetWayPointOnBaseCoord);
}

int RobotMoveService::getTargetWaypointByRelative(
    const wayPoint_S &sourceWayPointOnBaseCoord,
    const CoordCalibrateByJointAngleAndTool &userCoordSystem, const ToolInEndDesc &,
    const MoveRelative &relativeOnUser, wayPoint_S &targetWayPointOnBaseCoord) {
    const double offset[3] = {relativeOnUser.relativePosition[0],
                              relativeOnUser.relativePosition[1],
                              relativeOnUser.relativePosition[2]};
    const Pos &current = sourceWayPointOnBaseCoord.cartPos.position;
    Pos target = current;
    int ret = sdk::ErrnoSucc;
    switch (rawValue(userCoordSystem.coordType)) {
        case sdk::EndCoordinate:
            ret = RobotUtilService::endPosition2BasePosition(
                sourceWayPointOnBaseCoord, Pos{offset[0], offset[1], offset[2]}, target);
            break;
        case sdk::WorldCoordinate: {
            ret = RobotUtilService::checkCoordinateSystemCalibration(userCoordSystem);
            if (ret != sdk::ErrnoSucc) {
                W_ERROR("sdk log: robotMoveToTargetPosition PlaneCalibrate return false.");
                return ret;
            }
            double onBase[3] = {0.0, 0.0, 0.0};
            ret = RobotUtilService::offsetVectorUserCoord2Base(offset, userCoordSystem, onBase);
            target = addOffset(current, onBase);
            break;
        }
        case sdk::BaseCoordinate:
            target = addOffset(current, offset);
            break;
        default:
            return sdk::ErrCode_ParamError;
    }
    if (ret != sdk::ErrnoSucc) {
        return ret;
    }
    return RobotUtilService::robotIk(sourceWayPointOnBaseCoord.jointpos, target,
                                     sourceWayPointOnBaseCoord.orientation,
                                     targetWayPointOnBaseCoord);
}

int RobotMoveService::getTargetWaypointByPosition(
    const wayPoint_S &sourceWayPointOnBaseCoord,
    const CoordCalibrateByJointAngleAndTool &userCoordSystem, const Pos &toolEndPosition,
    const ToolInEndDesc &toolInEndDesc, wayPoint_S &targetWayPointOnBaseCoord) {
    const Pos &currentPosition = sourceWayPointOnBaseCoord.cartPos.position;
    const sdk::Ori &currentOrientation = sourceWayPointOnBaseCoord.orientation;
    sdk::Ori orientation = currentOrientation;
    int ret = sdk::ErrnoSucc;
    switch (rawValue(userCoordSystem.coordType)) {
        case sdk::BaseCoordinate:
            break;
        case sdk::WorldCoordinate: {
            Pos unusedPosition;
            ret = RobotUtilService::base2UserCoordinate(currentPosition, currentOrientation,
                                                        userCoordSystem, toolInEndDesc,
                                                        unusedPosition, orientation);
            if (ret != sdk::ErrnoSucc) {
                return ret;
            }
            break;
        }
        default:
            return sdk::ErrCode_ParamError;
    }
    Pos basePosition;
    sdk::Ori unusedOrientation;
    ret = RobotUtilService::user2BaseCoordinate(toolEndPosition, orientation, userCoordSystem,
                                                toolInEndDesc, basePosition, unusedOrientation);
    if (ret != sdk::ErrnoSucc) {
        return ret;
    }
    return RobotUtilService::robotIk(sourceWayPointOnBaseCoord.jointpos, basePosition,
                                     currentOrientation, targetWayPointOnBaseCoord);
}

void RobotMoveService::printWaypoint(wayPoint_S &wayPoint) {
    const Pos &p = wayPoint.cartPos.position;
    const sdk::Ori &o = wayPoint.orientation;
    std::cout << "waypoint info:-------------------------" << std::endl;
    std::cout << "position: " << p.x << ", " << p.y << ", " << p.z << std::endl;
    std::cout << "orientation: " << o.w << ", " << o.x << ", " << o.y << ", " << o.z << std::endl;
    std::cout << "joint:";
    for (double joint : wayPoint.jointpos) {
        std::cout << " " << joint;
    }
    std::cout << std::endl << "----------------------------------" << std::endl;
}
