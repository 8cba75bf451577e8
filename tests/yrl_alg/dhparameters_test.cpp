#include "kinematicstestutil.h"

namespace {

// a2, a3, d1, d2, d4, d5, d6 and the model.
const double kRows[][8] = {
    {0.408, 0.376, 0.0985, 0.1215, -0.019, 0.1025, 0.094, kezu_qx},
    {0.495, 0.375, 0.15, 0.166, -0.019, 0.1025, 0.94, kezu_qj},
    {0.595, 0.48, 0.15, 0.1885, 0.0, 0.125, 0.1015, kezu_qv_a},
    {0.595, 0.58, 0.15, 0.1885, 0.0, 0.125, 0.1015, kezu_qv_b},
    {0.252, 0.246, 0.1375, 0.112, -0.016, 0.1025, 0.094, kezu_qz},
    {0.245, 0.215, 0.1215, 0.1215, -0.019, 0.1025, 0.094, kezu_qxs},
};

void expectRow(const double *row) {
    double got[8], D2less;
    getDhPara(got[0], got[1], got[2], D2less, got[5], got[6], &got[4]);
    getDhPara(got[0], got[1], got[2], got[3], got[5], got[6], nullptr);
    got[7] = getRobotType();
    EXPECT_EQ(kintest::maxDiff(got, row, 8), 0.0) << row[7];
    EXPECT_EQ(D2less, row[3] - row[4]);  // with D4 requested, D2 excludes the d4 term
}

using DhParameters = kintest::ModelTest;

// Unknown models fail and fall back to the first row.
TEST_F(DhParameters, EveryModelSelectsItsRow) {
    const int unknown[] = {7, -1, 6, 1000, 6, 7};
    for (int i = 0; i < 6; ++i) {
        const auto type = static_cast<kezu_robot_type>(kRows[i][7]);
        setDhParaLen(type == kezu_qz ? kezu_qj : kezu_qz);
        EXPECT_TRUE(setDhParaLen(type));
        expectRow(kRows[i]);
        EXPECT_FALSE(setDhParaLen(static_cast<kezu_robot_type>(unknown[i])));
        expectRow(kRows[0]);
    }
}

}  // namespace
