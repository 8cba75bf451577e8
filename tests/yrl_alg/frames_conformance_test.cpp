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

const wayPoint_S kPlane[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.6, 0.2, 0.3}),
                              waypoint({0.1, 0.7, 0.3})};

// Each unknown method warns once; missing outputs and conversions fail without a line of theirs.
TEST(FrameLog, UnknownUserFrameMethodWarnsOnceWithTheExactText) {
    double pos[3] = {}, ori[9] = {}, org[3] = {};
    TraceCapture trace;
    for (int method : {-1, 9}) {
        EXPECT_FALSE(
            Ikfunc::api_user_coord_calib(kPlane, static_cast<char>(method), pos, ori, org));
    }
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(kPlane, 9, pos, nullptr, org));
    wayPoint_S out = {}, pose = waypoint({0.3, 0.1, 0.5});
    const double tcp[3] = {0, 0, 0.1};
    const Ori tcpOri = {1, 0, 0, 0};
    // The display checks the method before it builds the frame.
    EXPECT_FALSE(Ikfunc::waypointDisplay(out, pose, WorldCoordinate, tcp, &tcpOri, kPlane, 9));
    EXPECT_FALSE(Ikfunc::robotCoordConvert(out, pose, kPlane, 9, tcp, &tcpOri, BaseCoordinate,
                                           WorldCoordinate));
    const std::vector<TraceCapture::Event> events = trace.events();
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

// A refused frame, degenerate or of an unknown method, writes none of the outputs.
TEST(UserFrame, DegeneratePointsAreRefusedInsteadOfGivingANonFiniteFrame) {
    const wayPoint_S coincident[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.1, 0.2, 0.3}),
                                      waypoint({0.1, 0.7, 0.3})};
    const wayPoint_S collinear[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.3, 0.2, 0.3}),
                                     waypoint({0.6, 0.2, 0.3})};
    const wayPoint_S good[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.3, 0.2, 0.3}),
                                waypoint({0.1, 0.6, 0.3})};
    for (const wayPoint_S *points : {coincident, collinear, good}) {
        for (char method : {0, 2, 3, 8, 9}) {
            double out[15], dot = 7;
            std::fill(out, out + 15, 7.0);
            const bool valid = points == good && method != 9;
            EXPECT_EQ(valid, Ikfunc::api_user_coord_calib(points, method, out, out + 3, out + 12))
                << int(method);
            EXPECT_EQ(valid, userCoordinateCalibLib(const_cast<wayPoint_S *>(points), method, out,
                                                    out + 3, out + 12, dot));
            EXPECT_EQ(valid, std::count(out, out + 15, 7.0) < 3);  // some axis entries are 0
            EXPECT_TRUE(valid || (std::count(out, out + 15, 7.0) == 15 && dot == 7));
        }
    }
}

// Methods 0..2 keep the third point as given (the axes need not be orthogonal); methods 3..8 put
// p2 on the named axis, p3 in the first quadrant of the named plane, and are right-handed.
TEST(UserFrame, MethodsBuildFramesThroughThePoints) {
    wayPoint_S pts[3] = {waypoint({0.1, 0.2, 0.3}), waypoint({0.5, 0.2, 0.3}),
                         waypoint({0.4, 0.9, 0.3})};
    double t[3] = {7, 7, 7}, R[9], org[3], dot = 7;
    ASSERT_TRUE(userCoordinateCalibLib(pts, 0, t, R, org, dot));
    EXPECT_TRUE(dot == R[3] && std::fabs(dot - 0.3 / std::hypot(0.3, 0.7)) < 1e-15);
    EXPECT_FALSE(userCoordinateCalibLib(pts, 9, t, R, org, dot) ||
                 userCoordinateCalibLib(nullptr, 0, t, R, org, dot));
    const auto coord = [&](int point, int axis) {  // user coordinates of a base point
        const double *v = pts[point].cartPos.positionVector;
        return R[3 * axis] * v[0] + R[3 * axis + 1] * v[1] + R[3 * axis + 2] * v[2] + t[axis];
    };
    const int cases[][4] = {{3, 0, 2, 1}, {4, 0, 1, 2}, {5, 1, 0, 2},
                            {6, 1, 2, 0}, {7, 2, 1, 0}, {8, 2, 0, 1}};  // method, axis, 0, +
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> v(-1.0, 1.0);
    for (const auto &c : cases) {
        for (int i = 0; i < 20; ++i) {
            for (wayPoint_S &p : pts) {
                p = waypoint({v(rng), v(rng), v(rng)});
            }
            ASSERT_TRUE(userCoordinateCalibLib(pts, static_cast<char>(c[0]), t, R, org, dot));
            // Unit rows with a unit determinant: orthonormal and right-handed.
            EXPECT_NEAR(R[0] * (R[4] * R[8] - R[5] * R[7]) - R[1] * (R[3] * R[8] - R[5] * R[6]) +
                            R[2] * (R[3] * R[7] - R[4] * R[6]),
                        1.0, 1e-12);
            for (int a = 0; a < 3; ++a) {
                EXPECT_NEAR(std::hypot(R[3 * a], R[3 * a + 1], R[3 * a + 2]), 1.0, 1e-12);
                EXPECT_NEAR(coord(0, a), 0.0, 1e-12);
                EXPECT_TRUE(a == c[1] ? coord(1, a) > 0 : std::fabs(coord(1, a)) < 1e-12);
            }
            EXPECT_TRUE(std::fabs(coord(2, c[2])) < 1e-12 && coord(2, c[3]) > 0.0) << c[0];
        }
    }
}

}  // namespace
