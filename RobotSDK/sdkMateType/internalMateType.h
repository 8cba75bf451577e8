#ifndef INTERNALMATETYPE_H
#define INTERNALMATETYPE_H

#include "KezuRobotMetaType.h"

// Records shared by the codec and the SDK core; no exported interface carries them.

enum { INTERFACE_BOARD_ERROR_BUFFER_SIZE = 16, INTERFACE_BOARD_IO_BUFFER_SIZE = 32 };

// Tool centre point and payload.
struct TcpParam {
    float positionX;
    float positionY;
    float positionZ;
    float payload;
};

struct RobotTcpParam {
    TcpParam paramAutorun;
    TcpParam paramManual;
};

// A user frame from three tool-end poses.
struct CoordCalibrateByToolEndPoint {
    kezu_robot_namespace::coordinate_refer coordType;
    kezu_robot_namespace::CoordCalibrateMathod methods;
    kezu_robot_namespace::wayPoint_S wayPointArray[3];
};

#pragma pack(push, 1)

struct RobotCollisionCurrent {
    uint16 JointCollisionCurrent[kezu_robot_namespace::ARM_DOF][4];
    uint8 CollisionClass;
};

#pragma pack(pop)

// Denavit-Hartenberg lengths in metres.
struct RobotDhPara {
    double A3;
    double A4;
    double D1;
    double D2;
    double D5;
    double D6;
};

// Cartesian limits use the first two entries, joint limits all six.
union joint_cart_U {
    double cartPara[2];
    double jointPara[kezu_robot_namespace::ARM_DOF];
};

union cartesian_Ori_U {
    kezu_robot_namespace::Ori orientation;
    double quaternionVector[4];
};

// The controller's reply codes.
enum RobotControlServerErrorCode : int {
    RobotResponseCode_SUCC = 0,
    RobotResponseCode_RequestFormatError = 1,
    RobotResponseCode_ProcessRequesFailed = 2,
    RobotResponseCode_ConnectBreak = 3,
    RobotResponseCode_RealRobotNoExist = 4
};

// Read back from move profiles, where any int32 may arrive.
enum arrival_ahead_state : int {
    arrival_ahead_none = 0,
    arrival_ahead_distance = 1,
    arrival_ahead_time = 2,
    arrival_ahead_done = 3
};

// Built afresh for every motion request. The message form numbers blendRadius and
// circularLoopTimes before arrivalAhead; the record keeps this order.
struct RobotMoveProfile {
    kezu_robot_namespace::move_mode moveMode;
    kezu_robot_namespace::move_track subMoveMode;
    kezu_robot_namespace::teach_mode teachMode;
    bool enableIterIk;
    bool toolTrack;
    kezu_robot_namespace::cartesianPos_U toolInEndPosition;
    kezu_robot_namespace::Ori toolInEndOrientation;
    struct {
        bool ena;
        float relativePosition[3];
        cartesian_Ori_U relativeOrientation;
    } relativeMove;
    joint_cart_U maxVelc;
    joint_cart_U maxAcc;
    struct {
        arrival_ahead_state arrivalAheadStat;
        double arrivalAheadThr;
    } arrivalAhead;
    float blendRadius;
    int circularLoopTimes;
};

#endif
