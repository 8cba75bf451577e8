#ifndef ROBOTCOMMON_H
#define ROBOTCOMMON_H

// Records of the kinematics library. They live in the global namespace and share their layout
// with the SDK records of the same names, so the SDK can copy between the two field by field.

// Robot model; the underlying type is fixed so that any integer from a controller is a valid
// value and falls back to kezu_qx when it names no model.
enum kezu_robot_type : int {
    kezu_qx = 0,
    kezu_qj = 1,
    kezu_qv_a = 2,
    kezu_qv_b = 3,
    kezu_qz = 4,
    kezu_qxs = 5,
};

// Position in metres.
struct Pos {
    double x;
    double y;
    double z;
};

union cartesianPos_U {
    Pos position;
    double positionVector[3];
};

// Unit quaternion, scalar first.
struct Ori {
    double w;
    double x;
    double y;
    double z;
};

// Flange pose in the base frame and the joint angles (SDK signs) that reach it.
struct wayPoint_S {
    cartesianPos_U cartPos;
    Ori orientation;
    double jointpos[6];
};

namespace MoveConditionClass {

enum teach_mode {
    NO_TEACH = 0,
    JOINT1 = 1,
    JOINT2 = 2,
    JOINT3 = 3,
    JOINT4 = 4,
    JOINT5 = 5,
    JOINT6 = 6,
    MOV_X = 7,
    MOV_Y = 8,
    MOV_Z = 9,
    ROT_X = 10,
    ROT_Y = 11,
    ROT_Z = 12,
};

}  // namespace MoveConditionClass

// Process-wide DH lengths (metres) and model. Unlocked: written once at the first login.
extern double a2;
extern double a3;
extern double d1;
extern double d2;
extern double d4;
extern double d5;
extern double d6;
extern kezu_robot_type robot_type;

#endif
