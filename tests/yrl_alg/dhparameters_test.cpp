#include "kinematicstestutil.h"

namespace {

// Captured during static initialisation, before any test selects a model.
const double kStartup[] = {a2, a3, d1, d2, d4, d5, d6, static_cast<double>(getRobotType())};

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

void expectRow(const DhRow &row) {
    double A3, A4, D1, D2, D5, D6, D4 = 99.0, D2alone;
    getDhPara(A3, A4, D1, D2, D5, D6, &D4);
    EXPECT_EQ(getRobotType(), row.type);
    EXPECT_EQ(A3, row.a2);
    EXPECT_EQ(A4, row.a3);
    EXPECT_EQ(D1, row.d1);
    EXPECT_EQ(D2, row.d2 - row.d4);  // with D4 requested, D2 excludes the d4 term
    EXPECT_EQ(D4, row.d4);
    EXPECT_EQ(D5, row.d5);
    EXPECT_EQ(D6, row.d6);
    getDhPara(A3, A4, D1, D2alone, D5, D6, nullptr);
    EXPECT_EQ(D2alone, row.d2);
}

using DhParameters = kintest::ModelTest;

TEST_F(DhParameters, StartWithTheQxRow) {
    const double expected[] = {0.408, 0.376, 0.0985, 0.1215, -0.019, 0.1025, 0.094, 0.0};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(kStartup[i], expected[i]) << i;
    }
}

TEST_F(DhParameters, EveryModelSelectsItsRow) {
    for (const DhRow &row : kRows) {
        setDhParaLen(row.type == kezu_qz ? kezu_qj : kezu_qz);
        EXPECT_TRUE(setDhParaLen(row.type));
        expectRow(row);
    }
}

TEST_F(DhParameters, UnknownModelFallsBackToQxAndFails) {
    for (int value : {7, -1, 6, 1000}) {
        setDhParaLen(kezu_qv_b);
        EXPECT_FALSE(setDhParaLen(static_cast<kezu_robot_type>(value))) << value;
        expectRow(kRows[0]);
    }
}

TEST_F(DhParameters, CorrectionsAddSinglePrecisionValuesToTheirLengths) {
    // Elements that name no length carry 100 and must be ignored.
    float da[6] = {100, 100, 0.001f, -0.002f, 100, 100};
    float dd[6] = {0.003f, 0.004f, 100, 0.001f, 0.005f, 0.006f};
    modifyDhParaLen(da, dd);
    const double f[] = {0.001f, -0.002f, 0.003f, 0.004f, 0.001f, 0.005f, 0.006f};
    EXPECT_EQ(a2, 0.408 + f[0]);
    EXPECT_EQ(a3, 0.376 + f[1]);
    EXPECT_EQ(d1, 0.0985 + f[2]);
    EXPECT_EQ(d2, 0.1215 + (f[3] + f[4]));  // dd[3] moves d2 and d4 together
    EXPECT_EQ(d4, -0.019 + f[4]);
    EXPECT_NEAR(d2 - d4, 0.1215 + 0.019 + f[3], 1e-15);
    EXPECT_EQ(d5, 0.1025 + f[5]);
    EXPECT_EQ(d6, 0.094 + f[6]);
    modifyDhParaLen(nullptr, dd);
    EXPECT_EQ(d6, 0.094 + f[6]);
}

}  // namespace
