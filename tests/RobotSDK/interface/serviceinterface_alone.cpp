// Built once more on its own with only the public records header in view (tests/CMakeLists.txt):
// the facade header is all a C++ user includes.
#include "serviceinterface.h"

#include <type_traits>

static_assert(!std::is_copy_constructible<ServiceInterface>::value, "a facade owns its connection");
static_assert(std::is_same<decltype(&ServiceInterface::recvRealTimeEndSpeedPushCallback),
                           RealTimeEndSpeedCallback>::value,
              "receivers have the callback shapes the control services call");
static_assert(std::is_same<decltype(&ServiceInterface::recvRealTimeJointStatusPushCallback),
                           RealTimeJointStatusCallback>::value,
              "receivers have the callback shapes the control services call");
static_assert(std::is_same<decltype(&ServiceInterface::recvRealTimeWaypointPushCallback),
                           RealTimeRoadPointCallback>::value,
              "receivers have the callback shapes the control services call");
static_assert(std::is_same<decltype(&ServiceInterface::recvRobotEventPushCallback),
                           RobotEventCallback>::value,
              "receivers have the callback shapes the control services call");
