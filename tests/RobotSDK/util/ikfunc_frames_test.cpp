#include <vector>

#include "../../yrl_alg/kinematicstestutil.h"
#include "ikfunc.h"

// Reaches the private helpers of Ikfunc.
class IkfuncPrivateAccess {
public:
    static bool toQuaternion(const double *R, Ori &q) {
        return Ikfunc::OriMatrixToQuaternion(R, q);
    }
};

namespace {

using kintest::rotate;
using kintest::waypoint;

TEST(QuaternionMatrix, TraceRoundedBelowMinusOneGivesAZeroScalar) {
    const double halfXY[9] = {0, 1, 0, 1, 0, 0, 0, 0, -1 - 1e-12};
    Ori q = {};
    ASSERT_TRUE(IkfuncPrivateAccess::toQuaternion(halfXY, q));
    EXPECT_LT(kintest::rotGap(q, {0, std::sqrt(0.5), std::sqrt(0.5), 0}), 1e-9);
    EXPECT_EQ(q.w, 0.0);
}

class Frames : public ::testing::Test {
protected:
    std::mt19937 rng{71};
    const double tcp[3] = {0.02, 0.01, 0.12};
    double found[3] = {7, 7, 7};
    Ori result = {1, 0, 0, 0};

    Ori randomOri() { return kintest::randomUnitQuaternion(rng); }
    // A flange waypoint with orientation q whose tool centre sits on the tip moved by d.
    wayPoint_S holding(const Ori &q, const Pos &d = {}) {
        return waypoint(
            kintest::flangeFor(q, Pos{tcp[0], tcp[1], tcp[2]}, {0.4 + d.x, 0.1 + d.y, 0.2 + d.z}),
            q);
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
            Pos t[2];  // the named tool axes in flange coordinates
            for (int i = 0; i < 2; ++i) {
                const int c = (mode + 3 + i) % 3;
                t[i] = rotate(toolInFlange,
                              Pos{c == 0 ? 1.0 : 0.0, c == 1 ? 1.0 : 0.0, c == 2 ? 1.0 : 0.0});
            }
            std::vector<wayPoint_S> ori;
            if (mode >= 0 && mode < 3) {  // tip offsets along the named axes, in base coordinates
                const Pos a = rotate(start, t[0]), b = rotate(start, t[1]);
                ori = {holding(start), holding(randomOri(), {0.05 * a.x, 0.05 * a.y, 0.05 * a.z}),
                       holding(randomOri(), {0.03 * a.x + 0.04 * b.x, 0.03 * a.y + 0.04 * b.y,
                                             0.03 * a.z + 0.04 * b.z})};
            }
            for (int i = 0; mode >= 3 && i < 2; ++i) {  // the named axis onto -Z, then about z
                Ori spun;
                Ikfunc::endOrientation2ToolOrientation({1 - t[i].z, -t[i].y, t[i].x, 0},
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
            EXPECT_LT(kintest::rotGap(result, expected), 1e-9) << mode;
        }
    }
}

TEST_F(Frames, ToolCalibrationFailsOnDegenerateInput) {
    const auto poses = aroundTip(4);
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(poses.data(), 3, nullptr, -1, found, result));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(nullptr, 4, nullptr, -1, found, result));
    EXPECT_FALSE(Ikfunc::toolCoordinateCalib(poses.data(), 4, false, found, 2, nullptr, &result));
    EXPECT_EQ(found[0], 7.0);
    // One orientation for every pose leaves the normal matrix singular; a zero quaternion fails.
    const std::vector<wayPoint_S> same(4, holding(randomOri()));
    EXPECT_FALSE(Ikfunc::api_tool_coord_calib(same.data(), 4, nullptr, -1, found, result));
    wayPoint_S zeroOri = waypoint({1, 2, 3}, {0, 0, 0, 0}), back = waypoint({9, 9, 9}, {});
    EXPECT_FALSE(Ikfunc::robotCoordConvert(back, zeroOri, nullptr, 0, nullptr, nullptr,
                                           MoveConditionClass::BaseCoordinate,
                                           MoveConditionClass::BaseCoordinate));
    EXPECT_EQ(back.cartPos.position.x, 9.0);
}

}  // namespace
