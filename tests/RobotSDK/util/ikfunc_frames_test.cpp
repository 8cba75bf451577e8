#include <cstring>
#include <vector>

#include "ikfunctestutil.h"

namespace {

using iktest::waypoint;
using MoveConditionClass::BaseCoordinate;
using MoveConditionClass::EndCoordinate;
using MoveConditionClass::WorldCoordinate;

class Frames : public ::testing::Test {
protected:
    std::mt19937 rng{71};
    std::uniform_real_distribution<double> v{-0.6, 0.6};
    const double tcp[3] = {0.02, 0.01, 0.12};
    const Pos tip = {0.4, 0.1, 0.2};
    const wayPoint_S plane[3] = {waypoint({0, 0, 0}, {}), waypoint({1, 0, 0}, {}),
                                 waypoint({0, 1, 0}, {})};

    Pos randomPos() { return {v(rng), v(rng), v(rng)}; }
    Ori randomOri() { return iktest::randomUnitQuaternion(rng); }

    // A flange waypoint with orientation q whose tool centre sits on `at`.
    wayPoint_S holding(const Ori &q, const Pos &at) {
        wayPoint_S wp = waypoint(at, q), moved = waypoint({0, 0, 0}, q);
        Ikfunc::endPosition2ToolPosition(moved, tcp, nullptr);
        wp.cartPos.position = {at.x - moved.cartPos.position.x, at.y - moved.cartPos.position.y,
                               at.z - moved.cartPos.position.z};
        return wp;
    }
    // A rotation taking unit vector a onto unit vector b (a != -b).
    static Ori taking(const double *a, const double *b) {
        const Ori q = {1 + a[0] * b[0] + a[1] * b[1] + a[2] * b[2], a[1] * b[2] - a[2] * b[1],
                       a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        const double n = Ikfunc::NORM(q.w, q.x, q.y, q.z);
        return {q.w / n, q.x / n, q.y / n, q.z / n};
    }
};

TEST_F(Frames, UserFrameWrapperRejectsMissingOutputsAndUnknownMethods) {
    double pos[3], ori[9], org[3];
    ASSERT_TRUE(Ikfunc::api_user_coord_calib(plane, 0, pos, ori, org));
    EXPECT_EQ(ori[4], 1.0);
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(plane, 0, nullptr, ori, org));
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(plane, 0, pos, ori, nullptr));
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(plane, -1, pos, ori, org));
    EXPECT_FALSE(Ikfunc::api_user_coord_calib(plane, 9, pos, ori, org));
}

// Modes 0..2 teach the tip at a point, on the first named tool axis and in the first named
// plane; modes 3..5 point the first, then the second named tool axis along base -Z.
TEST_F(Frames, ToolCalibrationRecoversCentrePointAndOrientationInEveryMode) {
    for (int mode = -1; mode < 6; ++mode) {
        for (int trial = 0; trial < 10; ++trial) {
            std::vector<wayPoint_S> poses, ori;
            for (int i = 0; i < 5; ++i) {
                poses.push_back(holding(randomOri(), tip));
            }
            const Ori toolInFlange = randomOri();
            double T[9];  // tool axes in flange coordinates
            Ikfunc::QuaternionToOriMatrix(toolInFlange, T);
            const int first = (mode + 3) % 3, second = (mode + 4) % 3;  // named tool axes
            const double axis[2][3] = {{T[first], T[3 + first], T[6 + first]},
                                       {T[second], T[3 + second], T[6 + second]}};
            if (mode >= 0 && mode < 3) {
                const Ori start = randomOri();
                double R[9], a[2][3];
                Ikfunc::QuaternionToOriMatrix(start, R);
                for (int i = 0; i < 2; ++i) {
                    for (int r = 0; r < 3; ++r) {
                        a[i][r] = R[3 * r] * axis[i][0] + R[3 * r + 1] * axis[i][1] +
                                  R[3 * r + 2] * axis[i][2];
                    }
                }
                ori = {holding(start, tip),
                       holding(randomOri(), {tip.x + 0.05 * a[0][0], tip.y + 0.05 * a[0][1],
                                             tip.z + 0.05 * a[0][2]}),
                       holding(randomOri(), {tip.x + 0.03 * a[0][0] + 0.04 * a[1][0],
                                             tip.y + 0.03 * a[0][1] + 0.04 * a[1][1],
                                             tip.z + 0.03 * a[0][2] + 0.04 * a[1][2]})};
            } else if (mode >= 3) {
                const double down[3] = {0, 0, -1};
                for (int i = 0; i < 2; ++i) {
                    Ori q = taking(axis[i], down), spun;  // any turn about base z keeps -Z
                    Ikfunc::endOrientation2ToolOrientation(
                        q, {std::cos(0.3 + i), 0, 0, std::sin(0.3 + i)}, spun);
                    ori.push_back(holding(spun, tip));
                }
            }
            double found[3] = {};
            Ori result = {1, 0, 0, 0};
            ASSERT_TRUE(Ikfunc::api_tool_coord_calib(poses.data(), 5,
                                                     mode < 0 ? nullptr : ori.data(),
                                                     static_cast<char>(mode), found, result));
            EXPECT_LT(kintest::maxDiff(found, tcp, 3), 1e-10) << mode;
            const Ori expected =
                mode < 0 ? Ori{1, 0, 0, 0} : toolInFlange;  // untouched without a mode
            EXPECT_LT(iktest::quaternionGap(result, expected), 1e-9) << mode;
        }
    }
}

TEST_F(Frames, ToolCalibrationFailsOnDegenerateInput) {
    std::vector<wayPoint_S> poses;
    for (int i = 0; i < 4; ++i) {
        poses.push_back(holding(randomOri(), tip));
    }
    double found[3] = {7, 7, 7};
    Ori ori = {1, 0, 0, 0};
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(poses.data(), 3, nullptr, -1, found, ori));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(nullptr, 4, nullptr, -1, found, ori));
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), 4, false, found, 2, nullptr, &ori));
    EXPECT_EQ(found[0], 7.0);
    // Orientation tip points 5 mm apart: the centre point is written, the calibration fails.
    const std::vector<wayPoint_S> close = {holding(randomOri(), tip),
                                           holding(randomOri(), {tip.x + 0.005, tip.y, tip.z}),
                                           holding(randomOri(), {tip.x, tip.y + 0.05, tip.z})};
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(poses.data(), 4, close.data(), 0, found, ori));
    EXPECT_LT(kintest::maxDiff(found, tcp, 3), 1e-10);
    // One orientation for every pose leaves the normal matrix zero; small turns fail the check.
    const Ori q = randomOri();
    const std::vector<wayPoint_S> same = {holding(q, tip), holding(q, tip), holding(q, tip),
                                          holding(q, tip)};
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(same.data(), 4, nullptr, -1, found, ori));
    std::vector<wayPoint_S> small;
    for (int i = 0; i < 4; ++i) {
        small.push_back(holding({std::cos(0.01 * i), std::sin(0.01 * i), 0.01 * (i % 2), 0}, tip));
    }
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(small.data(), 4, true, found, -1, nullptr, nullptr));
    EXPECT_TRUE(Ikfunc::toolCoordinateCalib(small.data(), 4, false, found, -1, nullptr, nullptr));
}

TEST_F(Frames, DisplayGivesTheToolPoseInTheChosenFrame) {
    wayPoint_S flange = waypoint(randomPos(), randomOri()), shown = {}, expected = flange;
    flange.jointpos[5] = expected.jointpos[5] = 0.6;
    const Ori tcpOri = randomOri();
    ASSERT_TRUE(
        Ikfunc::waypointDisplay(shown, flange, BaseCoordinate, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(std::memcmp(&shown, &flange, sizeof shown), 0);
    ASSERT_TRUE(Ikfunc::waypointDisplay(shown, flange, BaseCoordinate, tcp, &tcpOri, nullptr, 0));
    Ikfunc::endPosition2ToolPosition(expected, tcp, nullptr);
    Ikfunc::endOrientation2ToolOrientation(tcpOri, flange.orientation, expected.orientation);
    iktest::expectSamePose(shown, expected, 1e-15);
    EXPECT_EQ(shown.jointpos[5], 0.6);
    ASSERT_TRUE(Ikfunc::waypointDisplay(shown, flange, EndCoordinate, tcp, &tcpOri, nullptr, 0));
    iktest::expectSamePose(shown, waypoint({tcp[0], tcp[1], tcp[2]}, tcpOri), 1e-300);
    EXPECT_FALSE(Ikfunc::waypointDisplay(shown, flange, EndCoordinate, tcp, nullptr, nullptr, 0));
    EXPECT_FALSE(
        Ikfunc::waypointDisplay(shown, flange, WorldCoordinate, nullptr, nullptr, plane, 9));
    EXPECT_FALSE(
        Ikfunc::waypointDisplay(shown, flange, WorldCoordinate, nullptr, nullptr, nullptr, 0));
}

TEST_F(Frames, ConvertRejectsTheFlangeFrameZeroQuaternionsAndBadUserFrames) {
    wayPoint_S target = waypoint({9, 9, 9}, {}), source = waypoint(randomPos(), randomOri());
    const auto convert = [&](char method, const wayPoint_S *userPlane,
                             MoveConditionClass::coordinate_refer to,
                             MoveConditionClass::coordinate_refer from) {
        return Ikfunc::robotCoordConvert(target, source, userPlane, method, nullptr, nullptr, to,
                                         from);
    };
    EXPECT_FALSE(convert(0, plane, BaseCoordinate, EndCoordinate));
    EXPECT_FALSE(convert(0, plane, EndCoordinate, WorldCoordinate));
    EXPECT_FALSE(convert(9, plane, BaseCoordinate, WorldCoordinate));
    EXPECT_FALSE(convert(0, nullptr, BaseCoordinate, WorldCoordinate));
    source.orientation = {0, 0, 0, 0};
    EXPECT_FALSE(convert(0, plane, BaseCoordinate, BaseCoordinate));
    EXPECT_EQ(target.cartPos.position.x, 9.0);
}

// Orthonormal user frames: methods 3..8 with any points, 0..2 with the third point on the
// second axis. Tool pose in the user frame back to the flange in the base frame, and a tool
// pose in the base frame to the flange in the user frame.
TEST_F(Frames, ConversionsRoundTripThroughOrthonormalUserFrames) {
    for (int method = 0; method < 9; ++method) {
        for (int i = 0; i < 50; ++i) {
            const Pos o = randomPos(), a = randomPos();
            Pos b = randomPos();
            if (method < 3) {  // make b - o perpendicular to a - o
                const double ax = a.x - o.x, ay = a.y - o.y, az = a.z - o.z;
                const double k = (ax * (b.x - o.x) + ay * (b.y - o.y) + az * (b.z - o.z)) /
                                 (ax * ax + ay * ay + az * az);
                b = {b.x - k * ax, b.y - k * ay, b.z - k * az};
            }
            const wayPoint_S user[3] = {waypoint(o, {}), waypoint(a, {}), waypoint(b, {})};
            const char m = static_cast<char>(method);
            wayPoint_S flange = waypoint(randomPos(), randomOri()), inUser = {}, back = {};
            const Ori tcpOri = randomOri();
            ASSERT_TRUE(
                Ikfunc::waypointDisplay(inUser, flange, WorldCoordinate, tcp, &tcpOri, user, m));
            ASSERT_TRUE(Ikfunc::robotCoordConvert(back, inUser, user, m, tcp, &tcpOri,
                                                  BaseCoordinate, WorldCoordinate));
            iktest::expectSamePose(back, flange, 1e-7);  // quaternions pass through matrices

            wayPoint_S toolInBase = {}, flangeInUser = {}, expected = {};
            ASSERT_TRUE(Ikfunc::waypointDisplay(toolInBase, flange, BaseCoordinate, tcp, &tcpOri,
                                                nullptr, 0));
            toolInBase.orientation.w *= -2;  // any scale and sign: the source is normalised
            toolInBase.orientation.x *= -2;
            toolInBase.orientation.y *= -2;
            toolInBase.orientation.z *= -2;
            toolInBase.jointpos[0] = 5.0;
            flangeInUser.jointpos[0] = 3.0;
            ASSERT_TRUE(Ikfunc::robotCoordConvert(flangeInUser, toolInBase, user, m, tcp, &tcpOri,
                                                  WorldCoordinate, BaseCoordinate));
            ASSERT_TRUE(Ikfunc::waypointDisplay(expected, flange, WorldCoordinate, nullptr, nullptr,
                                                user, m));
            iktest::expectSamePose(flangeInUser, expected, 1e-7);
            EXPECT_EQ(flangeInUser.jointpos[0], 3.0);  // only the pose is written
            ASSERT_TRUE(Ikfunc::robotCoordConvert(back, toolInBase, nullptr, 0, tcp, &tcpOri,
                                                  BaseCoordinate, BaseCoordinate));
            iktest::expectSamePose(back, flange, 1e-7);
            EXPECT_EQ(back.jointpos[0], 5.0);  // same frame: the whole waypoint is taken
        }
    }
}

}  // namespace
