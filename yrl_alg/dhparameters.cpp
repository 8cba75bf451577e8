#include "dhparameters.h"

#include <cmath>
#include <mutex>
#include <thread>

#include "robotKinematics.h"

using kinematics_detail::DhLengths;
using kinematics_detail::dhState;

namespace {

struct DhRow {
    kezu_robot_type type;
    DhLengths lengths;  // a2, a3, d1, d2, d5, d6, d4
};

// Searched in this order; kezu_qx is the fallback for every other value.
constexpr DhRow kModelRows[] = {
    {kezu_qz, {0.252, 0.246, 0.1375, 0.112, 0.1025, 0.094, -0.016}},
    {kezu_qj, {0.495, 0.375, 0.15, 0.166, 0.1025, 0.94, -0.019}},
    {kezu_qv_a, {0.595, 0.48, 0.15, 0.1885, 0.125, 0.1015, 0.0}},
    {kezu_qv_b, {0.595, 0.58, 0.15, 0.1885, 0.125, 0.1015, 0.0}},
    {kezu_qxs, {0.245, 0.215, 0.1215, 0.1215, 0.1025, 0.094, -0.019}},
};
constexpr DhRow kDefaultRow = {kezu_qx, {0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094, -0.019}};

}  // namespace

// The kezu_qx row until a model is selected.
double a2 = kDefaultRow.lengths.a2;
double a3 = kDefaultRow.lengths.a3;
double d1 = kDefaultRow.lengths.d1;
double d2 = kDefaultRow.lengths.d2;
double d4 = kDefaultRow.lengths.d4;
double d5 = kDefaultRow.lengths.d5;
double d6 = kDefaultRow.lengths.d6;
kezu_robot_type robot_type = kDefaultRow.type;

kinematics_detail::DhState kinematics_detail::dhState = {{0}, kDefaultRow.lengths};

DhLengths kinematics_detail::dhLengthsAfterWrite() {
    DhLengths dh;
    while (!copyDhLengths(dh)) {
        std::this_thread::yield();
    }
    return dh;
}

namespace {

std::mutex &writerMutex() {
    static std::mutex mutex;
    return mutex;
}

const DhRow &rowOf(kezu_robot_type type) {
    for (const DhRow &row : kModelRows) {
        if (row.type == type) {
            return row;
        }
    }
    return kDefaultRow;
}

// Only writers call this, under the writer mutex, so nothing else writes meanwhile.
DhRow installed() { return {robot_type, dhState.lengths}; }

template <class T>
void storeRelease(T &shared, T value) {
    __atomic_store(&shared, &value, __ATOMIC_RELEASE);
}

// Under the writer mutex. A reader that sees any of the new values also sees the odd count, and
// so copies again.
void publish(const DhRow &row) {
    const unsigned count = dhState.writes.load(std::memory_order_relaxed);
    dhState.writes.store(count + 1, std::memory_order_relaxed);
    double DhLengths::*const fields[] = {&DhLengths::a2, &DhLengths::a3, &DhLengths::d1,
                                         &DhLengths::d2, &DhLengths::d5, &DhLengths::d6,
                                         &DhLengths::d4};
    double *const exported[] = {&a2, &a3, &d1, &d2, &d5, &d6, &d4};
    for (int k = 0; k < 7; ++k) {
        storeRelease(dhState.lengths.*fields[k], row.lengths.*fields[k]);
        storeRelease(*exported[k], row.lengths.*fields[k]);
    }
    storeRelease(robot_type, row.type);
    dhState.writes.store(count + 2, std::memory_order_release);
}

// Each sum formed in double; dd[3] moves d2 and d4 together. Out of line: where it is inlined
// after the narrowing of the differences, GCC 12 pairs a narrowing with its widening in vector
// registers and drops both, installing unrounded lengths.
__attribute__((noinline)) DhRow corrected(DhRow row, const float *da, const float *dd) {
    DhLengths &l = row.lengths;
    l.a2 += static_cast<double>(da[2]);
    l.a3 += static_cast<double>(da[3]);
    l.d1 += static_cast<double>(dd[0]);
    l.d2 += static_cast<double>(dd[1]) + static_cast<double>(dd[3]);
    l.d5 += static_cast<double>(dd[4]);
    l.d6 += static_cast<double>(dd[5]);
    l.d4 += static_cast<double>(dd[3]);
    return row;
}

bool finite(const DhLengths &l) {
    for (double length : {l.a2, l.a3, l.d1, l.d2, l.d5, l.d6, l.d4}) {
        if (!std::isfinite(length)) {
            return false;
        }
    }
    return true;
}

}  // namespace

kezu_robot_type getRobotType() { return kinematics_detail::loadAcquire(robot_type); }

bool setDhParaLen(kezu_robot_type robotType) {
    const DhRow &row = rowOf(robotType);
    std::lock_guard<std::mutex> lock(writerMutex());
    publish(row);
    return robotType == row.type;
}

void getDhPara(double &A3, double &A4, double &D1, double &D2, double &D5, double &D6, double *D4) {
    const DhLengths dh = kinematics_detail::dhLengths();
    A3 = dh.a2;
    A4 = dh.a3;
    D1 = dh.d1;
    D5 = dh.d5;
    D6 = dh.d6;
    if (D4 == nullptr) {
        D2 = dh.d2;
    } else {
        D2 = dh.d2 - dh.d4;
        *D4 = dh.d4;
    }
}

void modifyDhParaLen(float *da, float *dd) {
    if (da == nullptr || dd == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(writerMutex());
    publish(corrected(installed(), da, dd));
}

bool kinematics_detail::installModelLengths(kezu_robot_type robotType, double A3, double A4,
                                            double D1, double D2, double D5, double D6) {
    const DhRow &row = rowOf(robotType);
    const DhLengths &l = row.lengths;
    float da[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    float dd[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    da[2] = static_cast<float>(A3 - l.a2);
    da[3] = static_cast<float>(A4 - l.a3);
    dd[0] = static_cast<float>(D1 - l.d1);
    dd[1] = static_cast<float>(D2 - l.d2);
    dd[4] = static_cast<float>(D5 - l.d5);
    dd[5] = static_cast<float>(D6 - l.d6);
    const DhRow lengths = corrected(row, da, dd);
    if (!finite(lengths.lengths)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(writerMutex());
    publish(lengths);
    return true;
}
