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
    const wayPoint_S plane[3] = {waypoint({0, 0, 0}, {}), waypoint({1, 0, 0}, {}),
                                 waypoint({0, 1, 0}, {})};
    double found[3] = {7, 7, 7};
    Ori result = {1, 0, 0, 0};

    Pos randomPos() { return {v(rng), v(rng), v(rng)}; }
    Ori randomOri() { return iktest::randomUnitQuaternion(rng); }
    // A flange waypoint with orientation q whose tool centre sits on the tip moved by d.
    wayPoint_S holding(const Ori &q, double dx = 0, double dy = 0, double dz = 0) {
        wayPoint_S wp = waypoint({0, 0, 0}, q);
        Ikfunc::endPosition2ToolPosition(wp, tcp, nullptr);
        const Pos &p = wp.cartPos.position;
        return waypoint({0.4 + dx - p.x, 0.1 + dy - p.y, 0.2 + dz - p.z}, q);
    }
    std::vector<wayPoint_S> aroundTip(int n) {
        std::vector<wayPoint_S> poses;
        for (int i = 0; i < n; ++i) {
            poses.push_back(holding(randomOri()));
        }
        return poses;
    }
};

// Modes 0..2 teach the tip at a point, on the first named tool axis and in the first named
// plane; modes 3..5 point the first, then the second named tool axis along base -Z.
TEST_F(Frames, ToolCalibrationRecoversCentrePointAndOrientationInEveryMode) {
    for (int mode = -1; mode < 6; ++mode) {
        for (int trial = 0; trial < 3; ++trial) {
            const Ori toolInFlange = randomOri(), start = randomOri();
            double T[9], R[9], a[2][3];  // tool axes in flange coordinates, then in base
            Ikfunc::QuaternionToOriMatrix(toolInFlange, T);
            Ikfunc::QuaternionToOriMatrix(start, R);
            const int axis[2] = {(mode + 3) % 3, (mode + 4) % 3};  // named tool axes
            for (int i = 0; i < 2; ++i) {
                for (int r = 0; r < 3; ++r) {
                    a[i][r] = R[3 * r] * T[axis[i]] + R[3 * r + 1] * T[3 + axis[i]] +
                              R[3 * r + 2] * T[6 + axis[i]];
                }
            }
            std::vector<wayPoint_S> ori;
            if (mode >= 0 && mode < 3) {
                ori = {holding(start),
                       holding(randomOri(), 0.05 * a[0][0], 0.05 * a[0][1], 0.05 * a[0][2]),
                       holding(randomOri(), 0.03 * a[0][0] + 0.04 * a[1][0],
                               0.03 * a[0][1] + 0.04 * a[1][1], 0.03 * a[0][2] + 0.04 * a[1][2])};
            }
            for (int i = 0; mode >= 3 && i < 2; ++i) {
                // Turn the named axis onto base -Z, then about base z by any angle.
                const double *t = T;
                const int c = axis[i];
                Ori q = {1 - t[6 + c], -t[3 + c], t[c], 0};  // a -> -z, a != z
                const double n = Ikfunc::NORM(q.w, q.x, q.y, q.z);
                Ori spun;
                Ikfunc::endOrientation2ToolOrientation({q.w / n, q.x / n, q.y / n, q.z / n},
                                                       {std::cos(0.3 + i), 0, 0, std::sin(0.3 + i)},
                                                       spun);
                ori.push_back(holding(spun));
            }
            result = {1, 0, 0, 0};
            ASSERT_TRUE(Ikfunc::api_tool_coord_calib(aroundTip(5).data(), 5,
                                                     mode < 0 ? nullptr : ori.data(),
                                                     static_cast<char>(mode), found, result));
            EXPECT_LT(kintest::maxDiff(found, tcp, 3), 1e-10) << mode;
            const Ori expected = mode < 0 ? Ori{1, 0, 0, 0} : toolInFlange;  // untouched
            EXPECT_LT(iktest::quaternionGap(result, expected), 1e-9) << mode;
        }
    }
}

TEST_F(Frames, ToolCalibrationFailsOnDegenerateInput) {
    const auto poses = aroundTip(4);
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(poses.data(), 3, nullptr, -1, found, result));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(nullptr, 4, nullptr, -1, found, result));
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), 4, false, found, 2, nullptr, &result));
    EXPECT_EQ(found[0], 7.0);
    // Orientation tip points 5 mm apart: the centre point is written, the calibration fails.
    const std::vector<wayPoint_S> close = {holding(randomOri()), holding(randomOri(), 0.005),
                                           holding(randomOri(), 0, 0.05)};
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(poses.data(), 4, close.data(), 0, found, result));
    EXPECT_LT(kintest::maxDiff(found, tcp, 3), 1e-10);
    // One orientation for every pose leaves the normal matrix zero; small turns fail the check.
    const std::vector<wayPoint_S> same(4, holding(randomOri()));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(same.data(), 4, nullptr, -1, found, result));
    std::vector<wayPoint_S> small;
    for (int i = 0; i < 4; ++i) {
        small.push_back(holding({std::cos(0.01 * i), std::sin(0.01 * i), 0.01 * (i % 2), 0}));
    }
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(small.data(), 4, true, found, -1, nullptr, nullptr));
    EXPECT_TRUE(Ikfunc::toolCoordinateCalib(small.data(), 4, false, found, -1, nullptr, nullptr));
}

TEST_F(Frames, DisplayAndConvertHandleTheFlangeFrameAndRejectBadInput) {
    wayPoint_S flange = waypoint(randomPos(), randomOri()), shown = {};
    const Ori tcpOri = randomOri();
    ASSERT_TRUE(Ikfunc::waypointDisplay(shown, flange, EndCoordinate, tcp, &tcpOri, nullptr, 0));
    iktest::expectSamePose(shown, waypoint({tcp[0], tcp[1], tcp[2]}, tcpOri), 1e-300);
    EXPECT_FALSE(Ikfunc::waypointDisplay(shown, flange, EndCoordinate, tcp, nullptr, nullptr, 0));
    EXPECT_FALSE(Ikfunc::waypointDisplay(shown, flange, WorldCoordinate, tcp, &tcpOri, plane, 9));
    double pos[3], ori[9], org[3];
    EXPECT_FALSE(Ikfunc::userCoordinateCalib(plane, 0, nullptr, ori, org));
    EXPECT_FALSE(Ikfunc::api_user_coord_calib(plane, 9, pos, ori, org));
    wayPoint_S target = waypoint({9, 9, 9}, {});
    const auto convert = [&](char method, const wayPoint_S *userPlane,
                             MoveConditionClass::coordinate_refer to,
                             MoveConditionClass::coordinate_refer from) {
        return Ikfunc::robotCoordConvert(target, flange, userPlane, method, nullptr, nullptr, to,
                                         from);
    };
    EXPECT_FALSE(convert(0, plane, BaseCoordinate, EndCoordinate));
    EXPECT_FALSE(convert(0, plane, EndCoordinate, WorldCoordinate));
    EXPECT_FALSE(convert(9, plane, BaseCoordinate, WorldCoordinate));
    EXPECT_FALSE(convert(0, nullptr, BaseCoordinate, WorldCoordinate));
    flange.orientation = {0, 0, 0, 0};
    EXPECT_FALSE(convert(0, plane, BaseCoordinate, BaseCoordinate));
    EXPECT_EQ(target.cartPos.position.x, 9.0);
}

// Orthonormal user frames: methods 3..8 with any points, 0..2 with the third point on the
// second axis. The tool pose in the user frame goes back to the flange in the base frame; a tool
// pose in the base frame given at any scale and sign converts back within the base frame.
TEST_F(Frames, ConversionsRoundTripThroughOrthonormalUserFrames) {
    for (int method = 0; method < 9; ++method) {
        for (int i = 0; i < 10; ++i) {
            const Pos o = randomPos(), a = randomPos();
            Pos b = randomPos();
            const double ax = a.x - o.x, ay = a.y - o.y, az = a.z - o.z;
            const double k = method >= 3
                                 ? 0.0
                                 : (ax * (b.x - o.x) + ay * (b.y - o.y) + az * (b.z - o.z)) /
                                       (ax * ax + ay * ay + az * az);
            b = {b.x - k * ax, b.y - k * ay, b.z - k * az};  // b - o perpendicular to a - o
            const wayPoint_S user[3] = {waypoint(o, {}), waypoint(a, {}), waypoint(b, {})};
            const char m = static_cast<char>(method);
            wayPoint_S flange = waypoint(randomPos(), randomOri()), shown = {}, back = {};
            const Ori tcpOri = randomOri();
            ASSERT_TRUE(
                Ikfunc::waypointDisplay(shown, flange, WorldCoordinate, tcp, &tcpOri, user, m));
            ASSERT_TRUE(Ikfunc::robotCoordConvert(back, shown, user, m, tcp, &tcpOri,
                                                  BaseCoordinate, WorldCoordinate));
            iktest::expectSamePose(back, flange, 1e-7);  // quaternions pass through matrices
            ASSERT_TRUE(
                Ikfunc::waypointDisplay(shown, flange, BaseCoordinate, tcp, &tcpOri, nullptr, 0));
            const Ori &q = shown.orientation;
            shown.orientation = {-2 * q.w, -2 * q.x, -2 * q.y, -2 * q.z};
            shown.jointpos[0] = 5.0;
            ASSERT_TRUE(Ikfunc::robotCoordConvert(back, shown, nullptr, 0, tcp, &tcpOri,
                                                  BaseCoordinate, BaseCoordinate));
            iktest::expectSamePose(back, flange, 1e-7);
            EXPECT_EQ(back.jointpos[0], 5.0);  // same frame: the whole waypoint is taken
        }
    }
}

}  // namespace
