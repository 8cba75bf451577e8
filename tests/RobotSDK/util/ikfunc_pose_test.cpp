#include "ikfuncprivateaccess.h"
#include "ikfunctestutil.h"

namespace {

using Access = IkfuncPrivateAccess;
using kintest::kPi;

TEST(QuaternionMatrix, ConvertsBothWaysWithNonNegativeScalar) {
    EXPECT_EQ(Ikfunc::SIGN(0.0), 1.0);
    EXPECT_EQ(Ikfunc::SIGN(-1e-300), -1.0);
    double R[9], back[9];
    Ikfunc::QuaternionToOriMatrix({2, 0, 0, 0}, R);  // normalised first
    const double id[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1}, halfX[9] = {1, 0, 0, 0, -1, 0, 0, 0, -1};
    EXPECT_EQ(kintest::maxDiff(R, id, 9), 0.0);
    Ori q = {};
    ASSERT_TRUE(Access::OriMatrixToQuaternion(halfX, q));
    iktest::expectSamePose(iktest::waypoint({}, q), iktest::waypoint({}, {0, 1, 0, 0}), 1e-300);
    // Trace pushed just below -1 by rounding: a zero scalar part, logged, still a result.
    const double halfXY[9] = {0, 1, 0, 1, 0, 0, 0, 0, -1 - 1e-12};
    ASSERT_TRUE(Access::OriMatrixToQuaternion(halfXY, q));
    EXPECT_EQ(q.w, 0.0);
    EXPECT_NEAR(q.x, std::sqrt(0.5), 1e-9);

    std::mt19937 rng(43);
    for (int i = 0; i < 2000; ++i) {
        const Ori in = iktest::randomUnitQuaternion(rng);
        Ikfunc::QuaternionToOriMatrix(in, R);
        ASSERT_TRUE(Access::OriMatrixToQuaternion(R, q));
        EXPECT_GE(q.w, 0.0);
        Ikfunc::QuaternionToOriMatrix(q, back);
        EXPECT_LT(kintest::maxDiff(R, back, 9), 1e-7);
        EXPECT_LT(iktest::quaternionGap(in, q), 1e-7);
    }
}

TEST(RollPitchYaw, ConvertsZyxAnglesAndReportsYawFirstInDegrees) {
    float rpy[3] = {9, 9, 9};
    Ikfunc::quaternionToRPY({std::cos(kPi / 4), 0, 0, std::sin(kPi / 4)}, rpy);
    EXPECT_NEAR(rpy[0], 90.0f, 1e-4);
    EXPECT_NEAR(rpy[1], 0.0f, 1e-4);
    EXPECT_NEAR(rpy[2], 0.0f, 1e-4);
    // Roll 90 degrees, pitch 45, yaw 0: the rotation Rz(yaw) Ry(pitch) Rx(roll).
    const float rollThenPitch[3] = {static_cast<float>(kPi / 2), static_cast<float>(kPi / 4), 0};
    Ori turned = {};
    Ikfunc::RPYToQuaternion(turned, rollThenPitch);
    double R[9];
    Ikfunc::QuaternionToOriMatrix(turned, R);
    const double c = std::cos(kPi / 4), expected[9] = {c, c, 0, 0, 0, -1, -c, c, 0};
    EXPECT_LT(kintest::maxDiff(R, expected, 9), 1e-7);
    std::mt19937 rng(61);
    std::uniform_real_distribution<float> angle(-3.1f, 3.1f), pitch(-1.5f, 1.5f);
    for (int i = 0; i < 1000; ++i) {
        const float in[3] = {angle(rng), pitch(rng), angle(rng)};  // roll, pitch, yaw
        Ori q = {};
        Ikfunc::RPYToQuaternion(q, in);
        EXPECT_NEAR(Ikfunc::NORM(q.w, q.x, q.y, q.z), 1.0, 1e-12);
        Ikfunc::quaternionToRPY(q, rpy);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(rpy[k], in[2 - k] * 180.0 / kPi, 2e-3);
        }
    }
}

TEST(FlangeAndTool, ToolPoseRoundTripsThroughTheFlange) {
    std::mt19937 rng(67);
    std::uniform_real_distribution<double> v(-0.5, 0.5);
    for (int i = 0; i < 300; ++i) {
        wayPoint_S flange =
            iktest::waypoint({v(rng), v(rng), v(rng)}, iktest::randomUnitQuaternion(rng));
        const double tcp[3] = {v(rng), v(rng), v(rng)};
        const Ori tcpOri = iktest::randomUnitQuaternion(rng);
        wayPoint_S tool = flange;
        Ikfunc::endPosition2ToolPosition(tool, tcp, nullptr);  // moves the waypoint itself
        Ikfunc::endOrientation2ToolOrientation(tcpOri, flange.orientation, tool.orientation);
        wayPoint_S back = tool;
        Ikfunc::toolOrientation2EndOrientation(tcpOri, tool.orientation, back.orientation);
        Access::toolPosition2EndPosition(back, back.cartPos, tcp);
        iktest::expectSamePose(back, flange, 1e-14);
    }
    wayPoint_S wp = iktest::waypoint({0.1, 0.2, 0.3}, {0, 1, 0, 0});
    double out[3] = {};
    cartesianPos_U same;
    Ikfunc::endPosition2ToolPosition(wp, nullptr, out);
    Access::toolPosition2EndPosition(wp, same, nullptr);
    EXPECT_EQ(out[2], 0.3);
    EXPECT_EQ(same.position.y, 0.2);
}

}  // namespace
