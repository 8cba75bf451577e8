#include <gtest/gtest.h>

#include "loggedinservices.h"

namespace {

using kezu_test::LoggedInServicesTest;

class EngineTest : public LoggedInServicesTest {};

TEST_F(EngineTest, LoginConnectsAndAnswersAReadOfTheJointAngles) {
    kezu_robot_namespace::JointParam joints{};
    EXPECT_EQ(0, services().getCurrentJointAngle(joints));
    EXPECT_TRUE(services().getCurrentConnectStatus());
}

}  // namespace
