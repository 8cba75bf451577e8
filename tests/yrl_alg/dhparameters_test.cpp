#include <gtest/gtest.h>

#include "kinematicstestutil.h"

namespace {

// Captured during static initialisation, before any test selects a model.
const double kStartupLengths[] = {a2, a3, d1, d2, d4, d5, d6};
const kezu_robot_type kStartupType = robot_type;
const kezu_robot_type kStartupReported = getRobotType();

struct DhRow {
    kezu_robot_type type;
    double a2, a3, d1, d2, d4, d5, d6;
};

const DhRow kRows[] = {
    {kezu_qx, 0.408, 0.376, 0.0985, 0.1215, -0.019, 0.1025, 0.094},
    {kezu_qj, 0.495, 0.375, 0.15, 0.166, -0.019, 0.1025, 0.94},
    {kezu_qv_a, 0.595, 0.48, 0.15, 0.1885, 0.0, 0.125, 0.1015},
    {kezu_qv_b, 0.595, 0.58, 0.15, 0.1885, 0.0, 0.125, 0.1015},
    {kezu_qz, 0.252, 0.246, 0.1375, 0.112, -0.016, 0.1025, 0.094},
    {kezu_qxs, 0.245, 0.215, 0.1215, 0.1215, -0.019, 0.1025, 0.094},
};

void expectGlobalsEqualRow(const DhRow &row) {
    EXPECT_EQ(a2, row.a2);
    EXPECT_EQ(a3, row.a3);
    EXPECT_EQ(d1, row.d1);
    EXPECT_EQ(d2, row.d2);
    EXPECT_EQ(d4, row.d4);
    EXPECT_EQ(d5, row.d5);
    EXPECT_EQ(d6, row.d6);
}

using DhParameters = kintest::KinematicsModelTest;

TEST_F(DhParameters, StartsWithTheQxRowBeforeAnySelection) {
    const double expected[] = {0.408, 0.376, 0.0985, 0.1215, -0.019, 0.1025, 0.094};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(kStartupLengths[i], expected[i]) << "length " << i;
    }
    EXPECT_EQ(kStartupType, kezu_qx);
    EXPECT_EQ(kStartupReported, kezu_qx);
}

TEST_F(DhParameters, SelectsEveryModelRowExactly) {
    for (const DhRow &row : kRows) {
        SCOPED_TRACE(row.type);
        setDhParaLen(kezu_qv_b);  // start from a different row each time
        EXPECT_TRUE(setDhParaLen(row.type));
        EXPECT_EQ(getRobotType(), row.type);
        expectGlobalsEqualRow(row);
    }
}

TEST_F(DhParameters, UnknownModelFallsBackToQxAndReportsFailure) {
    for (int value : {7, -1, 6, 1000}) {
        SCOPED_TRACE(value);
        setDhParaLen(kezu_qz);
        EXPECT_FALSE(setDhParaLen(static_cast<kezu_robot_type>(value)));
        EXPECT_EQ(getRobotType(), kezu_qx);
        expectGlobalsEqualRow(kRows[0]);
    }
    setDhParaLen(kezu_qz);
    EXPECT_TRUE(setDhParaLen(kezu_qx));
}

TEST_F(DhParameters, ReportsD4SeparatelyOnlyWhenAsked) {
    setDhParaLen(kezu_qv_b);
    double A3, A4, D1, D2, D5, D6, D4 = 99.0;
    getDhPara(A3, A4, D1, D2, D5, D6, &D4);
    EXPECT_EQ(A3, 0.595);
    EXPECT_EQ(A4, 0.58);
    EXPECT_EQ(D1, 0.15);
    EXPECT_EQ(D2, 0.1885);
    EXPECT_EQ(D5, 0.125);
    EXPECT_EQ(D6, 0.1015);
    EXPECT_EQ(D4, 0.0);

    setDhParaLen(kezu_qx);
    getDhPara(A3, A4, D1, D2, D5, D6, &D4);
    EXPECT_EQ(D2, 0.1215 - (-0.019));
    EXPECT_EQ(D4, -0.019);
    getDhPara(A3, A4, D1, D2, D5, D6, nullptr);
    EXPECT_EQ(D2, 0.1215);
}

TEST_F(DhParameters, CorrectionsApplyInSinglePrecisionToTheirLengths) {
    const float da[6] = {100.0f, 100.0f, 0.001f, -0.002f, 100.0f, 100.0f};
    const float dd[6] = {0.003f, 0.004f, 100.0f, 0.0f, 0.005f, 0.006f};
    modifyDhParaLen(da, dd);
    EXPECT_EQ(a2, 0.408 + static_cast<double>(0.001f));
    EXPECT_EQ(a3, 0.376 + static_cast<double>(-0.002f));
    EXPECT_EQ(d1, 0.0985 + static_cast<double>(0.003f));
    EXPECT_EQ(d2, 0.1215 + static_cast<double>(0.004f));
    EXPECT_EQ(d4, -0.019);
    EXPECT_EQ(d5, 0.1025 + static_cast<double>(0.005f));
    EXPECT_EQ(d6, 0.094 + static_cast<double>(0.006f));
}

TEST_F(DhParameters, D4CorrectionMovesD2AlongAndKeepsTheirDifference) {
    const double before = d2 - d4;
    const float da[6] = {};
    const float dd[6] = {0.0f, 0.0f, 0.0f, 0.001f, 0.0f, 0.0f};
    modifyDhParaLen(da, dd);
    EXPECT_EQ(d2, 0.1215 + static_cast<double>(0.001f));
    EXPECT_EQ(d4, -0.019 + static_cast<double>(0.001f));
    EXPECT_NEAR(d2 - d4, before, 1e-15);
}

TEST_F(DhParameters, NullCorrectionArraysChangeNothing) {
    const float dd[6] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    modifyDhParaLen(nullptr, dd);
    modifyDhParaLen(dd, nullptr);
    expectGlobalsEqualRow(kRows[0]);
}

}  // namespace
