#ifndef DHPARAMETERS_H
#define DHPARAMETERS_H

#include <atomic>

#include "robotCommon.h"

// The DH lengths as the kinematics read them. A login may install lengths while other threads
// compute, and every computation must use one set whole, never half old and half new: writers
// are serialised and publish a set under a count of writes; readers take no lock and copy again
// only when a write overlapped their copy. The exported globals mirror the published set for
// programs that read them.
namespace kinematics_detail {

struct DhLengths {
    double a2, a3, d1, d2, d5, d6, d4;
};

struct DhState {
    std::atomic<unsigned> writes;  // odd while a write is in progress
    DhLengths lengths;
};
extern DhState dhState;

template <class T>
T loadAcquire(const T &shared) {
    T value;
    __atomic_load(&shared, &value, __ATOMIC_ACQUIRE);
    return value;
}

// One copy of the lengths; false when a write overlapped it.
inline bool copyDhLengths(DhLengths &dh) {
    const unsigned before = dhState.writes.load(std::memory_order_acquire);
    const DhLengths &s = dhState.lengths;
    dh = {loadAcquire(s.a2), loadAcquire(s.a3), loadAcquire(s.d1), loadAcquire(s.d2),
          loadAcquire(s.d5), loadAcquire(s.d6), loadAcquire(s.d4)};
    return (before & 1u) == 0 && dhState.writes.load(std::memory_order_acquire) == before;
}

// Out of line, so that the retry costs the kinematics nothing while no write overlaps.
DhLengths dhLengthsAfterWrite();

inline DhLengths dhLengths() {
    DhLengths dh;
    return copyDhLengths(dh) ? dh : dhLengthsAfterWrite();
}

// Selects the model's row and moves a2, a3, d1, d2, d5 and d6 onto the given lengths by
// single-precision differences, as one write. Lengths that would not be finite are not
// installed (false): the kinematics keep the set they had.
bool installModelLengths(kezu_robot_type robotType, double A3, double A4, double D1, double D2,
                         double D5, double D6);

}  // namespace kinematics_detail

#endif
