#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ikfuncprivateaccess.h"
#include "ikfunctestutil.h"

namespace {

using iktest::kPi;
using Access = IkfuncPrivateAccess;

void matrixOf(const Ori &q, double *R) { Ikfunc::QuaternionToOriMatrix(q, R); }

// ---------------------------------------------------------------- scalars

TEST(PoseScalars, SignTreatsZeroAsPositive) {
    EXPECT_EQ(Ikfunc::SIGN(0.0), 1.0);
    EXPECT_EQ(Ikfunc::SIGN(-0.0), 1.0);
    EXPECT_EQ(Ikfunc::SIGN(1e-300), 1.0);
    EXPECT_EQ(Ikfunc::SIGN(-1e-300), -1.0);
    EXPECT_EQ(Ikfunc::NORM(1, 2, 2, 4), 5.0);
}

// ---------------------------------------------------------------- quaternion and matrix

TEST(QuaternionMatrix, NormalisesTheQuaternionFirst) {
    double R[9];
    matrixOf({2, 0, 0, 0}, R);
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(R[k], k % 4 == 0 ? 1.0 : 0.0);
    }
    double S[9];
    matrixOf({0.2, 0.4, -0.6, 0.8}, R);
    matrixOf({0.1, 0.2, -0.3, 0.4}, S);
    for (int k = 0; k < 9; ++k) {
        EXPECT_NEAR(R[k], S[k], 1e-15);
    }
}

TEST(QuaternionMatrix, ColumnsAreTheRotatedAxes) {
    // A quarter turn about z takes x to y.
    double R[9];
    matrixOf({std::cos(kPi / 4), 0, 0, std::sin(kPi / 4)}, R);
    EXPECT_NEAR(R[0], 0.0, 1e-15);
    EXPECT_NEAR(R[3], 1.0, 1e-15);
    EXPECT_NEAR(R[1], -1.0, 1e-15);
}

TEST(QuaternionMatrix, IdentityAndHalfTurnConvertBack) {
    const double id[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    Ori q = {};
    ASSERT_TRUE(Access::OriMatrixToQuaternion(id, q));
    EXPECT_EQ(q.w, 1.0);
    EXPECT_EQ(q.x, 0.0);
    const double halfX[9] = {1, 0, 0, 0, -1, 0, 0, 0, -1};
    ASSERT_TRUE(Access::OriMatrixToQuaternion(halfX, q));
    EXPECT_EQ(q.w, 0.0);
    EXPECT_EQ(q.x, 1.0);
    EXPECT_EQ(q.y, 0.0);
    EXPECT_EQ(q.z, 0.0);
}

TEST(QuaternionMatrix, TraceJustBelowMinusOneGivesZeroScalar) {
    // Half turn about (1, 1, 0)/sqrt 2 with the trace pushed below -1 by rounding noise.
    const double R[9] = {0, 1, 0, 1, 0, 0, 0, 0, -1 - 1e-12};
    Ori q = {9, 9, 9, 9};
    ASSERT_TRUE(Access::OriMatrixToQuaternion(R, q));
    EXPECT_EQ(q.w, 0.0);
    EXPECT_NEAR(q.x, std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(q.y, std::sqrt(0.5), 1e-9);
}

TEST(QuaternionMatrix, RoundTripKeepsTheRotationWithNonNegativeScalar) {
    std::mt19937 rng(43);
    for (int i = 0; i < 2000; ++i) {
        const Ori q = iktest::randomUnitQuaternion(rng);
        double R[9];
        matrixOf(q, R);
        Ori back = {};
        ASSERT_TRUE(Access::OriMatrixToQuaternion(R, back));
        EXPECT_GE(back.w, 0.0);
        EXPECT_LT(iktest::quaternionGap(q, back), 1e-7);
        double R2[9];
        matrixOf(back, R2);
        for (int k = 0; k < 9; ++k) {
            EXPECT_NEAR(R[k], R2[k], 1e-7);
        }
    }
}

TEST(QuaternionMatrix, HomogeneousArraysCarryPositionAndRotation) {
    cartesianPos_U p;
    p.position = {0.1, -0.2, 0.3};
    double R[9], t[3];
    Ikfunc::posOri2homoArr(p, {0, 0, 0, 3}, R, t);
    EXPECT_EQ(t[1], -0.2);
    EXPECT_EQ(R[0], -1.0);
    EXPECT_EQ(R[4], -1.0);
    EXPECT_EQ(R[8], 1.0);
}

// ---------------------------------------------------------------- quaternion helpers

TEST(QuaternionHelpers, InversionConjugatesWithoutScaling) {
    Ori q = {2, 1, -1, 3};
    Access::QuaternionInversion(q);
    EXPECT_EQ(q.w, 2.0);
    EXPECT_EQ(q.x, -1.0);
    EXPECT_EQ(q.y, 1.0);
    EXPECT_EQ(q.z, -3.0);
}

TEST(QuaternionHelpers, ProductComposesRotations) {
    std::mt19937 rng(47);
    for (int i = 0; i < 200; ++i) {
        const Ori a = iktest::randomUnitQuaternion(rng);
        const Ori b = iktest::randomUnitQuaternion(rng);
        Ori ab = a;
        Access::QuaternionMultply(ab, b, true);
        double Ra[9], Rb[9], Rab[9];
        matrixOf(a, Ra);
        matrixOf(b, Rb);
        matrixOf(ab, Rab);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                double v = 0.0;
                for (int k = 0; k < 3; ++k) {
                    v += Ra[3 * r + k] * Rb[3 * k + c];
                }
                EXPECT_NEAR(Rab[3 * r + c], v, 1e-12);
            }
        }
        Ori ba = a;
        Access::QuaternionMultply(ba, b, false);
        Ori expected = b;
        Access::QuaternionMultply(expected, a, true);
        EXPECT_LT(iktest::quaternionGap(ba, expected), 1e-15);
    }
}

// ---------------------------------------------------------------- transforms

TEST(Transforms, ProductComposesIntoAWaypointOrARotation) {
    std::mt19937 rng(53);
    const Ori qa = iktest::randomUnitQuaternion(rng);
    const Ori qb = iktest::randomUnitQuaternion(rng);
    double Ra[9], Rb[9];
    matrixOf(qa, Ra);
    matrixOf(qb, Rb);
    const double ta[3] = {0.1, 0.2, 0.3};
    wayPoint_S out = iktest::waypoint({0.4, -0.5, 0.6}, {1, 0, 0, 0});
    // The output position doubles as the second translation.
    Access::hMatrixMultiply(Ra, ta, Rb, out.cartPos.positionVector, &out, nullptr);
    Ori composed = qa;
    Access::QuaternionMultply(composed, qb, true);
    EXPECT_LT(iktest::quaternionGap(out.orientation, composed), 1e-12);
    const double p[3] = {0.4, -0.5, 0.6};
    for (int r = 0; r < 3; ++r) {
        EXPECT_NEAR(out.cartPos.positionVector[r],
                    Ra[3 * r] * p[0] + Ra[3 * r + 1] * p[1] + Ra[3 * r + 2] * p[2] + ta[r], 1e-15);
    }
    double rot[9];
    Access::hMatrixMultiply(Ra, nullptr, Rb, nullptr, &out, rot);
    double Rab[9];
    matrixOf(composed, Rab);
    for (int k = 0; k < 9; ++k) {
        EXPECT_NEAR(rot[k], Rab[k], 1e-12);
    }
}

TEST(Transforms, InverseVectorProductUndoesTheForwardOne) {
    std::mt19937 rng(59);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int i = 0; i < 200; ++i) {
        double R[9];
        matrixOf(iktest::randomUnitQuaternion(rng), R);
        const double t[3] = {value(rng), value(rng), value(rng)};
        const double p[3] = {value(rng), value(rng), value(rng)};
        for (bool rel : {false, true}) {
            double there[3], back[3];
            Access::hMatrixVectorProduct(false, t, R, rel, p, there);
            Access::hMatrixVectorProduct(true, t, R, rel, there, back);
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(back[k], p[k], 1e-14);
            }
        }
        // The 4x4 layout without a separate translation gives the same point.
        const double H[16] = {R[0], R[1], R[2], t[0], R[3], R[4], R[5], t[1],
                              R[6], R[7], R[8], t[2], 0,    0,    0,    1};
        double viaH[3], viaPair[3];
        Access::hMatrixVectorProduct(false, nullptr, H, false, p, viaH);
        Access::hMatrixVectorProduct(false, t, R, false, p, viaPair);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(viaH[k], viaPair[k]);
        }
    }
}

TEST(Transforms, VectorProductNeedsBothPoints) {
    const double R[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double out[3] = {7, 7, 7};
    Access::hMatrixVectorProduct(false, nullptr, R, true, nullptr, out);
    EXPECT_EQ(out[0], 7.0);
}

// ---------------------------------------------------------------- roll, pitch, yaw

TEST(RollPitchYaw, KnownOrientations) {
    float rpy[3] = {9, 9, 9};
    Ikfunc::quaternionToRPY({1, 0, 0, 0}, rpy);
    EXPECT_EQ(rpy[0], 0.0f);
    EXPECT_EQ(rpy[1], 0.0f);
    EXPECT_EQ(rpy[2], 0.0f);
    Ikfunc::quaternionToRPY({std::cos(kPi / 4), 0, 0, std::sin(kPi / 4)}, rpy);
    EXPECT_NEAR(rpy[0], 90.0f, 1e-4);
    EXPECT_NEAR(rpy[1], 0.0f, 1e-4);
    EXPECT_NEAR(rpy[2], 0.0f, 1e-4);

    Ori q = {};
    const float yawQuarter[3] = {0.0f, 0.0f, static_cast<float>(kPi / 2)};
    Ikfunc::RPYToQuaternion(q, yawQuarter);
    EXPECT_NEAR(q.w, std::cos(kPi / 4), 1e-7);
    EXPECT_NEAR(q.z, std::sin(kPi / 4), 1e-7);
}

TEST(RollPitchYaw, RoundTripReturnsYawPitchRollInDegrees) {
    std::mt19937 rng(61);
    std::uniform_real_distribution<float> angle(-3.1f, 3.1f);
    std::uniform_real_distribution<float> pitch(-1.5f, 1.5f);
    for (int i = 0; i < 1000; ++i) {
        const float in[3] = {angle(rng), pitch(rng), angle(rng)};  // roll, pitch, yaw
        Ori q = {};
        Ikfunc::RPYToQuaternion(q, in);
        EXPECT_NEAR(Ikfunc::NORM(q.w, q.x, q.y, q.z), 1.0, 1e-12);
        float out[3];
        Ikfunc::quaternionToRPY(q, out);
        const double toDeg = 180.0 / kPi;
        EXPECT_NEAR(out[0], in[2] * toDeg, 2e-3);
        EXPECT_NEAR(out[1], in[1] * toDeg, 2e-3);
        EXPECT_NEAR(out[2], in[0] * toDeg, 2e-3);
    }
}

TEST(RollPitchYaw, QuaternionMatchesZyxComposition) {
    const float in[3] = {0.3f, -0.4f, 1.1f};
    Ori q = {};
    Ikfunc::RPYToQuaternion(q, in);
    auto about = [](double angle, int axis) {
        Ori r = {std::cos(angle / 2), 0, 0, 0};
        (axis == 0 ? r.x : axis == 1 ? r.y : r.z) = std::sin(angle / 2);
        return r;
    };
    Ori expected = about(in[2], 2);
    Access::QuaternionMultply(expected, about(in[1], 1), true);
    Access::QuaternionMultply(expected, about(in[0], 0), true);
    EXPECT_LT(iktest::quaternionGap(q, expected), 1e-15);
}

TEST(RollPitchYaw, PitchAtNinetyDegreesPutsAllTurningIntoRoll) {
    const float in[3] = {0.5f, static_cast<float>(kPi / 2), 0.0f};
    Ori q = {};
    Ikfunc::RPYToQuaternion(q, in);
    float out[3];
    Ikfunc::quaternionToRPY(q, out);
    EXPECT_NEAR(out[1], 90.0f, 0.1f);
    EXPECT_TRUE(std::isfinite(out[0]) && std::isfinite(out[2]));
}

// ---------------------------------------------------------------- flange and tool

class FlangeAndTool : public ::testing::Test {
protected:
    std::mt19937 rng{67};
    std::uniform_real_distribution<double> value{-0.5, 0.5};
};

TEST_F(FlangeAndTool, ToolPositionRoundTripsThroughTheFlange) {
    for (int i = 0; i < 300; ++i) {
        wayPoint_S flange = iktest::waypoint({value(rng), value(rng), value(rng)},
                                             iktest::randomUnitQuaternion(rng));
        const double tcp[3] = {value(rng), value(rng), value(rng)};
        double tool[3];
        Ikfunc::endPosition2ToolPosition(flange, tcp, tool);
        wayPoint_S atTool = flange;
        atTool.cartPos.position = {tool[0], tool[1], tool[2]};
        cartesianPos_U back;
        Access::toolPosition2EndPosition(atTool, back, tcp);
        EXPECT_LT(iktest::positionGap(back.position, flange.cartPos.position), 1e-14);
        // Without a separate output the flange waypoint itself moves to the tool.
        Ikfunc::endPosition2ToolPosition(flange, tcp, nullptr);
        EXPECT_EQ(flange.cartPos.position.x, tool[0]);
    }
}

TEST_F(FlangeAndTool, MissingToolCopiesThePosition) {
    wayPoint_S flange = iktest::waypoint({0.1, 0.2, 0.3}, {0, 1, 0, 0});
    double out[3] = {};
    Ikfunc::endPosition2ToolPosition(flange, nullptr, out);
    EXPECT_EQ(out[2], 0.3);
    cartesianPos_U back;
    Access::toolPosition2EndPosition(flange, back, nullptr);
    EXPECT_EQ(back.position.y, 0.2);
}

TEST_F(FlangeAndTool, ToolOrientationRoundTripsThroughTheFlange) {
    for (int i = 0; i < 300; ++i) {
        const Ori tcp = iktest::randomUnitQuaternion(rng);
        const Ori flange = iktest::randomUnitQuaternion(rng);
        Ori tool, back;
        Ikfunc::endOrientation2ToolOrientation(tcp, flange, tool);
        Ikfunc::toolOrientation2EndOrientation(tcp, tool, back);
        EXPECT_LT(iktest::quaternionGap(back, flange), 1e-14);
        Ori expected = flange;
        Access::QuaternionMultply(expected, tcp, true);
        EXPECT_LT(iktest::quaternionGap(tool, expected), 1e-15);
    }
}

}  // namespace
