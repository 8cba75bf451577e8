#include "robotKinematics.h"

namespace {

struct DhRow {
    kezu_robot_type type;
    double a2, a3, d1, d2, d5, d6, d4;
};

// Searched in this order; kezu_qx is the fallback for every other value.
constexpr DhRow kModelRows[] = {
    {kezu_qz, 0.252, 0.246, 0.1375, 0.112, 0.1025, 0.094, -0.016},
    {kezu_qj, 0.495, 0.375, 0.15, 0.166, 0.1025, 0.94, -0.019},
    {kezu_qv_a, 0.595, 0.48, 0.15, 0.1885, 0.125, 0.1015, 0.0},
    {kezu_qv_b, 0.595, 0.58, 0.15, 0.1885, 0.125, 0.1015, 0.0},
    {kezu_qxs, 0.245, 0.215, 0.1215, 0.1215, 0.1025, 0.094, -0.019},
};
constexpr DhRow kDefaultRow = {kezu_qx, 0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094, -0.019};

}  // namespace

// The kezu_qx row until a model is selected.
double a2 = kDefaultRow.a2;
double a3 = kDefaultRow.a3;
double d1 = kDefaultRow.d1;
double d2 = kDefaultRow.d2;
double d4 = kDefaultRow.d4;
double d5 = kDefaultRow.d5;
double d6 = kDefaultRow.d6;
kezu_robot_type robot_type = kDefaultRow.type;

namespace {

void installRow(const DhRow &row) {
    a2 = row.a2;
    a3 = row.a3;
    d1 = row.d1;
    d2 = row.d2;
    d5 = row.d5;
    d6 = row.d6;
    d4 = row.d4;
}

}  // namespace

kezu_robot_type getRobotType() { return robot_type; }

bool setDhParaLen(kezu_robot_type robotType) {
    robot_type = robotType;
    for (const DhRow &row : kModelRows) {
        if (row.type == robotType) {
            installRow(row);
            return true;
        }
    }
    installRow(kDefaultRow);
    robot_type = kezu_qx;
    return robotType == kezu_qx;
}

void getDhPara(double &A3, double &A4, double &D1, double &D2, double &D5, double &D6, double *D4) {
    A3 = a2;
    A4 = a3;
    D1 = d1;
    D5 = d5;
    D6 = d6;
    if (D4 == nullptr) {
        D2 = d2;
    } else {
        D2 = d2 - d4;
        *D4 = d4;
    }
}

void modifyDhParaLen(float *da, float *dd) {
    if (da == nullptr || dd == nullptr) {
        return;
    }
    a2 += static_cast<double>(da[2]);
    a3 += static_cast<double>(da[3]);
    d1 += static_cast<double>(dd[0]);
    d2 += static_cast<double>(dd[1]) + static_cast<double>(dd[3]);
    d5 += static_cast<double>(dd[4]);
    d6 += static_cast<double>(dd[5]);
    d4 += static_cast<double>(dd[3]);
}
