#include <vector>

#include "ikfunctestutil.h"

namespace {

using iktest::waypoint;
using MoveConditionClass::BaseCoordinate;

class Frames : public ::testing::Test {
protected:
    std::mt19937 rng{71};
    const double tcp[3] = {0.02, 0.01, 0.12};
    double found[3] = {7, 7, 7};
    Ori result = {1, 0, 0, 0};

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
            for (int i = 0; mode >= 3 && i < 2; ++i) {  // the named axis onto -Z, then about z
                const int c = axis[i];
                Ori spun;
                Ikfunc::endOrientation2ToolOrientation({1 - T[6 + c], -T[3 + c], T[c], 0},
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
    // One orientation for every pose leaves the normal matrix singular; a zero quaternion fails.
    const std::vector<wayPoint_S> same(4, holding(randomOri()));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(same.data(), 4, nullptr, -1, found, result));
    wayPoint_S zeroOri = waypoint({1, 2, 3}, {0, 0, 0, 0}), back = waypoint({9, 9, 9}, {});
    EXPECT_FALSE(Ikfunc::robotCoordConvert(back, zeroOri, nullptr, 0, nullptr, nullptr,
                                           BaseCoordinate, BaseCoordinate));
    EXPECT_EQ(back.cartPos.position.x, 9.0);
}

}  // namespace
