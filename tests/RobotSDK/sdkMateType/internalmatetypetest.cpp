#include "internalMateType.h"

#include <cstddef>
#include <type_traits>

static_assert(INTERFACE_BOARD_ERROR_BUFFER_SIZE == 16 && INTERFACE_BOARD_IO_BUFFER_SIZE == 32);
// Tcp parameters, frame teaching, DH lengths, collision currents and the two unions.
static_assert(sizeof(RobotTcpParam) == 32 && offsetof(RobotTcpParam, paramManual) == 16 &&
              offsetof(CoordCalibrateByToolEndPoint, wayPointArray) == 8 &&
              offsetof(RobotDhPara, D6) == 40 && sizeof(RobotCollisionCurrent) == 49 &&
              offsetof(RobotCollisionCurrent, CollisionClass) == 48);
static_assert(sizeof(joint_cart_U) == 48 && std::is_union<joint_cart_U>::value &&
              sizeof(cartesian_Ori_U) == 32 && std::is_union<cartesian_Ori_U>::value);
// 32-bit and signed; arrival states are read back from the link, where any int32 may arrive.
static_assert(std::is_same<std::underlying_type_t<RobotControlServerErrorCode>, int>::value &&
              std::is_same<std::underlying_type_t<arrival_ahead_state>, int>::value);
// The engine maps controller code 4 to its own result; the move codec sends these states.
static_assert(RobotResponseCode_SUCC == 0 && RobotResponseCode_RequestFormatError == 1 &&
              RobotResponseCode_ProcessRequesFailed == 2 && RobotResponseCode_ConnectBreak == 3 &&
              RobotResponseCode_RealRobotNoExist == 4 && arrival_ahead_none == 0 &&
              arrival_ahead_distance == 1 && arrival_ahead_time == 2 && arrival_ahead_done == 3);

// The profile keeps its members in this order (arrivalAhead before blendRadius).
#define BEFORE(a, b) (offsetof(RobotMoveProfile, a) < offsetof(RobotMoveProfile, b))
static_assert(offsetof(RobotMoveProfile, moveMode) == 0 && BEFORE(moveMode, subMoveMode) &&
              BEFORE(subMoveMode, teachMode) && BEFORE(teachMode, enableIterIk) &&
              BEFORE(enableIterIk, toolTrack) && BEFORE(toolTrack, toolInEndPosition) &&
              BEFORE(toolInEndPosition, toolInEndOrientation) &&
              BEFORE(toolInEndOrientation, relativeMove) && BEFORE(relativeMove, maxVelc) &&
              BEFORE(maxVelc, maxAcc) && BEFORE(maxAcc, arrivalAhead) &&
              BEFORE(arrivalAhead, blendRadius) && BEFORE(blendRadius, circularLoopTimes));
