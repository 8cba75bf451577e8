#include <cstring>
#include <vector>

#include "ikfunc.h"
#include "kinematicstestutil.h"
#include "tracecapture.h"

namespace {

using kintest::waypoint;
using MoveConditionClass::BaseCoordinate;
using MoveConditionClass::EndCoordinate;
using MoveConditionClass::WorldCoordinate;

class FrameLog : public ::testing::Test {
protected:
    const wayPoint_S plane_[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.6, 0.2, 0.3}),
                                  waypoint({0.1, 0.7, 0.3})};
    double pos_[3] = {}, ori_[9] = {}, org_[3] = {};
    TraceCapture trace_;
};

// Each unknown method warns once; missing outputs and conversions fail without a line of theirs.
TEST_F(FrameLog, UnknownUserFrameMethodWarnsOnceWithTheExactText) {
    for (int method : {-1, 9}) {
        EXPECT_FALSE(
            Ikfunc::api_user_coord_calib(plane_, static_cast<char>(method), pos_, ori_, org_));
    }
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(plane_, 9, pos_, nullptr, org_));
    wayPoint_S out = {}, pose = waypoint({0.3, 0.1, 0.5});
    const double tcp[3] = {0, 0, 0.1};
    const Ori tcpOri = {1, 0, 0, 0};
    // The display checks the method before it builds the frame.
    EXPECT_FALSE(Ikfunc::waypointDisplay(out, pose, WorldCoordinate, tcp, &tcpOri, plane_, 9));
    EXPECT_FALSE(Ikfunc::robotCoordConvert(out, pose, plane_, 9, tcp, &tcpOri, BaseCoordinate,
                                           WorldCoordinate));
    const std::vector<TraceCapture::Event> events = trace_.events();
    ASSERT_EQ(2u, events.size());
    for (const TraceCapture::Event &e : events) {
        EXPECT_EQ(log4cplus::WARN_LOG_LEVEL, e.level);
        EXPECT_EQ("User Coordinate Calib: Error Configuration, please re-try!", e.message);
    }
}

TEST(FrameDisplay, FlangeFrameWithoutBothToolPartsFailsHoldingTheSource) {
    wayPoint_S source = waypoint({0.3, -0.2, 0.4}), shown;
    source.jointpos[2] = 0.7;
    const double tcp[3] = {0.01, 0.02, 0.1};
    const Ori tcpOri = {0, 1, 0, 0};
    const std::pair<const double *, const Ori *> partial[] = {
        {tcp, nullptr}, {nullptr, &tcpOri}, {nullptr, nullptr}};
    for (const auto &tool : partial) {
        std::memset(&shown, 0x5a, sizeof shown);
        EXPECT_FALSE(Ikfunc::waypointDisplay(shown, source, EndCoordinate, tool.first, tool.second,
                                             nullptr, 0));
        EXPECT_EQ(0, std::memcmp(&shown, &source, sizeof shown));
    }
}

TEST(UserFrame, DegeneratePointsAreRefusedInsteadOfGivingANonFiniteFrame) {
    const wayPoint_S coincident[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.1, 0.2, 0.3}),
                                      waypoint({0.1, 0.7, 0.3})};
    const wayPoint_S collinear[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.3, 0.2, 0.3}),
                                     waypoint({0.6, 0.2, 0.3})};
    double pos[3], ori[9], org[3];
    for (const wayPoint_S *points : {coincident, collinear}) {
        for (char method : {0, 2, 3, 8}) {
            EXPECT_FALSE(Ikfunc::api_user_coord_calib(points, method, pos, ori, org))
                << int(method);
        }
    }
}

}  // namespace
