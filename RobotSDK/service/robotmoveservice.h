#ifndef ROBOTMOVESERVICE_H
#define ROBOTMOVESERVICE_H

#include <string>
#include <vector>

#include "KezuRobotMetaType.h"
#include "communicationmatetype.h"
#include "internalMateType.h"
#include "robotcontrolservices.h"

// Move profile settings and motion requests of one connection. The settings are class-static:
// one set per process, shared by every connection and guarded by one lock; a move sends a copy
// taken under it.
class RobotMoveService {
public:
    using wayPoint_S = kezu_robot_namespace::wayPoint_S;
    using Pos = kezu_robot_namespace::Pos;
    using JointVelcAccParam = kezu_robot_namespace::JointVelcAccParam;
    using MoveRelative = kezu_robot_namespace::MoveRelative;
    using ToolInEndDesc = kezu_robot_namespace::ToolInEndDesc;
    using CoordCalibrateByJointAngleAndTool =
        kezu_robot_namespace::CoordCalibrateByJointAngleAndTool;
    using move_mode = kezu_robot_namespace::move_mode;
    using move_track = kezu_robot_namespace::move_track;
    using teach_mode = kezu_robot_namespace::teach_mode;

    enum RobotMoveClass : int {
        ROBOT_MOVE_CLASS_GENARAL = 0,
        ROBOT_MOVE_CLASS_OFFLINE_TRACK = 1,
        ROBOT_MOVE_CLASS_OFFLINE_TRACK_RECOGNITION = 2
    };

    struct MoveRelativeParam_t {
        bool isEnable;
        CoordCalibrateByJointAngleAndTool coordinateSystem;
        float relativePosition[3];
        cartesian_Ori_U relativeOrientation;
    };

    struct MoveArrivalAhead_t {
        arrival_ahead_state arrivalAheadStat;
        double arrivalAheadThr;
    };

    struct offlineTrackRecognition {
        std::string trackName;
        int type;
        int subType;
    };

    explicit RobotMoveService(RobotControlServices *robotBaseService);

    RobotMoveService(const RobotMoveService &) = delete;
    RobotMoveService &operator=(const RobotMoveService &) = delete;

    // ---- Process-wide move profile ----

    static int initClassProfile();
    static int initMoveProfile();

    static int setMoveJointMaxAcc(const JointVelcAccParam &moveMaxAcc);
    static int setMoveJointMaxVelc(const JointVelcAccParam &moveMaxVelc);
    static void getMoveJointMaxAcc(JointVelcAccParam &moveMaxAcc);
    static void getMoveJointMaxVelc(JointVelcAccParam &moveMaxVelc);

    static int setMoveEndMaxLineAcc(double moveMaxAcc);
    static int setMoveEndMaxLineVelc(double moveMaxVelc);
    static void getMoveEndMaxLineAcc(double &moveMaxAcc);
    static void getMoveEndMaxLineVelc(double &moveMaxVelc);

    static int setMoveEndMaxAngleAcc(double moveMaxAcc);
    static int setMoveEndMaxAngleVelc(double moveMaxVelc);
    static void getMoveEndMaxAngleAcc(double &moveMaxAcc);
    static void getMoveEndMaxAngleVelc(double &moveMaxVelc);

    static void clearWayPointVector();
    static int addWayPoint(const wayPoint_S &wayPoint);
    static void getWayPointVector(std::vector<wayPoint_S> &wayPointVector);

    static int setBlendRadius(float value);
    static float getBlendRadius();
    static void setCircularLoopTimes(int times);
    static int getCircularLoopTimes();
    static void setTrackPlaybackCycle(double second);
    static double getTrackPlaybackCycle();
    static void setEnableIterIk(bool enable);

    static int setMoveProfileRelativeParam(const MoveRelative &relativeMoveOnBase);
    static int setMoveProfileRelativeParam(const MoveRelative &relativeMoveOnUserCoord,
                                           const CoordCalibrateByJointAngleAndTool &userCoord);
    static int setTeachCoordinateSystem(const CoordCalibrateByJointAngleAndTool &coordSystem);

    static int setMoveProfileToolParamIsNone();
    static int setMoveProfileToolParam(const ToolInEndDesc &toolInEndDesc);
    static int getMoveProfileToolParam(ToolInEndDesc &toolInEndDesc);

    static int setNoArrivalAhead();
    static int setArrivalAheadDistanceMode(double distance);
    static int setArrivalAheadTimeMode(double second);

    // ---- Profile assembly ----

    static void initDefaultMoveProfile(RobotMoveProfile &moveProfile);
    static void initCurrnetMoveProfile(move_mode moveMode, move_track subMoveMode,
                                       teach_mode teachMode, RobotMoveProfile &moveProfile);
    static void setMaxVelcAccByMoveMode(move_mode moveMode, move_track subMoveMode,
                                        RobotMoveProfile &moveProfile);

    // ---- Motion ----

    int robotJointMove(wayPoint_S &wayPoint, bool IsBolck);
    int robotFollowModeJointMove(wayPoint_S &wayPoint);
    int robotLineMove(wayPoint_S &wayPoint, bool IsBolck);
    int robotLineRotateMove(const CoordCalibrateByJointAngleAndTool &userCoord,
                            const double *rotateAxisOnUserCoord, double rotateAngle, bool IsBolck);
    int robotTrackMove(move_track subMoveMode, bool IsBolck);

    int robotTeachStart(teach_mode teachMode, bool direction);
    int robotTeachStop();

    int robotMoveControl(kezu_robot_namespace::RobotMoveControlCommand cmd);
    int robotMoveFastStop();

    int offlineTrackWaypointAppend(const std::vector<wayPoint_S> &wayPointVector);
    int offlineTrackWaypointClear();
    int offlineTrackMoveStartupService(bool isBolck);
    int offlineTrackStartupBaseService();
    int offlineTrackMoveStop();

    int startupOfflineExcitTraj(const char *trackFile,
                                kezu_robot_namespace::Robot_Dyn_identify_traj type, int subtype,
                                bool isBolck);

    int enterTcp2CanbusMode();
    int leaveTcp2CanbusMode();
    int setRobotPosData2Canbus(const wayPoint_S &wayPoint);

    int robotMoveService(const RobotMoveProfile &moveProfile,
                         const std::vector<wayPoint_S> &wayPointVector, bool isBolck);
    int moveBaseService(RobotMoveClass MoveType, const RobotMoveProfile &moveProfile,
                        const std::vector<wayPoint_S> &wayPointVector, bool IsBolck);
    int moveProfileAndWaypointsFormatCommunication(
        CommunicationMateType::CommunicationCommandType commandType,
        const RobotMoveProfile &moveProfile, const std::vector<wayPoint_S> &wayPointVector);
    int robotTeachMove(const RobotMoveProfile &moveProfile,
                       const CoordCalibrateByToolEndPoint &userCoordSystem);

    int getCurrnetRoadPoint(wayPoint_S &wayPoint);

    // ---- Targets ----

    int robotMoveToTargetPositionByRelative(
        move_mode moveMode, const CoordCalibrateByJointAngleAndTool &userCoordSystem,
        const ToolInEndDesc &toolInEndDesc, const MoveRelative &relativeOnUser, bool IsBolck);
    int robotMoveToTargetPositionByPosition(
        move_mode moveMode, const CoordCalibrateByJointAngleAndTool &userCoordSystem,
        const Pos &position, const ToolInEndDesc &toolInEndDesc, bool IsBolck);
    int getJointAngleByTargetPositionKeepCurrentOri(
        const CoordCalibrateByJointAngleAndTool &userCoordSystem, const Pos &position,
        const ToolInEndDesc &toolInEndDesc, wayPoint_S &targetWayPointOnBaseCoord);

    static int getTargetWaypointByRelative(const wayPoint_S &sourceWayPointOnBaseCoord,
                                           const CoordCalibrateByJointAngleAndTool &userCoordSystem,
                                           const ToolInEndDesc &toolInEndDesc,
                                           const MoveRelative &relativeOnUser,
                                           wayPoint_S &targetWayPointOnBaseCoord);
    static int getTargetWaypointByPosition(const wayPoint_S &sourceWayPointOnBaseCoord,
                                           const CoordCalibrateByJointAngleAndTool &userCoordSystem,
                                           const Pos &toolEndPosition,
                                           const ToolInEndDesc &toolInEndDesc,
                                           wayPoint_S &targetWayPointOnBaseCoord);

    static void printWaypoint(wayPoint_S &wayPoint);

private:
    int stopService(CommunicationMateType::CommunicationCommandType type);
    // The caller holds the settings lock.
    static void resetMoveProfileLocked();
    static void resetToolParamLocked();
    static void assembleProfileLocked(move_mode moveMode, move_track subMoveMode,
                                      teach_mode teachMode, RobotMoveProfile &moveProfile);
    static void setLimitsLocked(move_mode moveMode, move_track subMoveMode,
                                RobotMoveProfile &moveProfile);

    int sendByMoveClass(RobotMoveClass MoveType, const RobotMoveProfile &moveProfile,
                        const std::vector<wayPoint_S> &wayPointVector,
                        const char *unknownClassLine);
    void clearMoveFlags();
    // Until the move's own arrival, a stop, a loss of its link or a later move's arrival;
    // then the move is no longer followed.
    int waitForMoveEnd(MoveLedger::Id move);
    int waitForMoveEndLocked(MoveLedger::Id move);
    int moveToTarget(move_mode moveMode, wayPoint_S &target, bool IsBolck);

    RobotControlServices *m_robotBaseService;

    static double s_moveProfileEndMaxLineAcc;
    static double s_moveProfileEndMaxLineVelc;
    static double s_moveProfileEndMaxAngleAcc;
    static double s_moveProfileEndMaxAngleVelc;
    static JointVelcAccParam s_moveProfileJointMaxAcc;
    static JointVelcAccParam s_moveProfileJointMaxVelc;
    static std::vector<wayPoint_S> s_moveWayPointVector;
    static CoordCalibrateByJointAngleAndTool s_teachMoveCoordinateSystem;
    static MoveRelativeParam_t s_moveProfileRelativeParam;
    static double s_moveProfileBlendRadius;
    static double s_moveProfileTrackPlaybackCycle;
    static int s_moveProfileCircularLoopTimes;
    static bool s_moveProfileEnableIterIk;
    static ToolInEndDesc s_moveProfileToolInEndDesc;
    static bool s_moveProfileToolTrack;
    static MoveArrivalAhead_t s_moveArrivalAhead;
    static bool s_moveProfileIsInited;
    static offlineTrackRecognition s_offlineTrackRecognition;
};

#endif
