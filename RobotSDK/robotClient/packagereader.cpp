#include "packagereader.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "globalutil.h"

using kezu_robot_logtrace::W_ERROR;

namespace {

const unsigned char START_MARKER[] = {0xEE, 0xCC, 0xFF, 0xFF};
const unsigned char END_MARKER[] = {0xFF, 0xFF, 0xFF, 0xFF};
const int MARKER_BYTES = sizeof(START_MARKER);
// Command type, check field and end marker follow the length field even for an empty body.
const int32_t MIN_LENGTH = 12;

}  // namespace

PackageReader::PackageReader(char *staging, int capacity, int maxLength)
    : m_staging(staging), m_capacity(capacity), m_maxLength(maxLength) {}

char *PackageReader::freeSpace(int chunk, int &room) {
    if (m_begin == m_end) {
        rebase(m_begin);
    } else if (m_capacity - m_end < chunk && m_begin > 0) {
        // Only the unfinished package moves, and it is shorter than the largest one, so room
        // runs out only once the head has advanced by more than the slack less a chunk since
        // the last move. A stream whose packages are refused four bytes apart thus costs at
        // most largest / (slack - chunk), about four, bytes moved per byte received.
        std::memmove(m_staging, m_staging + m_begin, static_cast<size_t>(staged()));
        rebase(m_begin);
    }
    room = std::min(chunk, m_capacity - m_end);
    return m_staging + m_end;
}

void PackageReader::rebase(int shift) {
    m_begin -= shift;
    m_end -= shift;
    m_scan = std::max(0, m_scan - shift);
    // Markers before the head can no longer lie inside a package.
    m_candidates.erase(std::remove_if(m_candidates.begin(), m_candidates.end(),
                                      [shift](const Candidate &c) { return c.start < shift; }),
                       m_candidates.end());
    for (Candidate &candidate : m_candidates) {
        candidate.end -= shift;
        candidate.start -= shift;
    }
    std::make_heap(m_candidates.begin(), m_candidates.end(), std::greater<Candidate>());
}

void PackageReader::received(int count) { m_end += count; }

bool PackageReader::nextPackage(const char *&package, int &length) {
    for (;;) {
        if (m_stage == Stage::Marker && !findMarker()) {
            return false;
        }
        if (staged() < HEAD_BYTES) {
            return false;
        }
        if (m_stage == Stage::Length) {
            int32_t field = 0;
            std::memcpy(&field, m_staging + m_begin + MARKER_BYTES, sizeof(field));
            if (field < MIN_LENGTH || field > m_maxLength) {
                // Too short to hold a command type and the trailing fields, or longer than
                // the buffer.
                W_ERROR("sdk communication log: Refused package length %d.", field);
                refuse();
                continue;
            }
            m_length = field;
            m_stage = Stage::Body;
        }
        const int claimEnd = m_begin + HEAD_BYTES + m_length;
        if (wholePackageWithin(claimEnd)) {
            // Its length is wrong: it would swallow the packages inside, and waiting for the
            // rest of its claim would hold them back.
            W_ERROR("sdk communication log: Refused package length %d with a whole package inside.",
                    m_length);
            refuse();
            continue;
        }
        if (m_end < claimEnd) {
            return false;
        }
        const char *start = m_staging + m_begin;
        // Controllers may end packages otherwise; only a start marker inside shows it is cut.
        if (!endMarkerBefore(claimEnd) && markerWithin(m_begin + HEAD_BYTES, claimEnd)) {
            refuseWithoutEndMarker();
            continue;
        }
        package = start + HEAD_BYTES;
        length = m_length;
        consume(HEAD_BYTES + m_length);
        return true;
    }
}

void PackageReader::refuseCutPackage() {
    switch (m_stage) {
        case Stage::Marker:
            if (!m_skipLogged) {
                W_ERROR("sdk communication log: Recv Header error.");
            }
            m_begin = m_end;
            m_skipLogged = false;
            break;
        case Stage::Length:
            W_ERROR("sdk communication log: Recv lengthBlock error.");
            W_ERROR("sdk communication log:  Recv text block error.");
            refuse();
            break;
        case Stage::Body:
            W_ERROR("sdk communication log:  Recv text block error.");
            refuseWithoutEndMarker();
            break;
    }
}

bool PackageReader::findMarker() {
    while (staged() >= MARKER_BYTES) {
        if (std::memcmp(m_staging + m_begin, START_MARKER, MARKER_BYTES) == 0) {
            m_stage = Stage::Length;
            return true;
        }
        if (!m_skipLogged) {
            W_ERROR("sdk communication log: Recv Header error.");
            m_skipLogged = true;
        }
        // Drop this byte and every later one that cannot start a marker, as long as a whole
        // window follows it; fewer bytes wait for the rest of the stream.
        ++m_begin;
        const int windows = m_end - (MARKER_BYTES - 1) - m_begin;
        if (windows > 0) {
            const void *hit =
                std::memchr(m_staging + m_begin, START_MARKER[0], static_cast<size_t>(windows));
            m_begin = hit != nullptr ? static_cast<int>(static_cast<const char *>(hit) - m_staging)
                                     : m_begin + windows;
        }
    }
    return false;
}

// Indexes the start markers staged since the last call that have a usable length field.
void PackageReader::indexMarkers() {
    m_scan = std::max(m_scan, m_begin + HEAD_BYTES);
    while (m_end - m_scan >= MARKER_BYTES) {
        const int windows = m_end - (MARKER_BYTES - 1) - m_scan;
        const void *hit =
            std::memchr(m_staging + m_scan, START_MARKER[0], static_cast<size_t>(windows));
        if (hit == nullptr) {
            m_scan += windows;
            return;
        }
        const int at = static_cast<int>(static_cast<const char *>(hit) - m_staging);
        if (std::memcmp(m_staging + at, START_MARKER, MARKER_BYTES) != 0) {
            m_scan = at + 1;
            continue;
        }
        if (m_end - at < HEAD_BYTES) {
            m_scan = at;  // its length field is still on its way
            return;
        }
        int32_t length = 0;
        std::memcpy(&length, m_staging + at + MARKER_BYTES, sizeof(length));
        if (length >= MIN_LENGTH && length <= m_maxLength) {
            m_candidates.push_back({at + HEAD_BYTES + length, at});
            std::push_heap(m_candidates.begin(), m_candidates.end(), std::greater<Candidate>());
        }
        m_scan = at + MARKER_BYTES;
    }
}

// Whether a start marker after the head begins a package that is staged whole, end marker
// included, and ends by claimEnd.
bool PackageReader::wholePackageWithin(int claimEnd) {
    indexMarkers();
    const int bound = std::min(claimEnd, m_end);
    while (!m_candidates.empty()) {
        const Candidate nearest = m_candidates.front();
        const bool ahead = nearest.start > m_begin;
        if (ahead && nearest.end > bound) {
            return false;
        }
        if (ahead && endMarkerBefore(nearest.end)) {
            return true;
        }
        // Behind the head, or staged whole without its end marker: it never counts again.
        std::pop_heap(m_candidates.begin(), m_candidates.end(), std::greater<Candidate>());
        m_candidates.pop_back();
    }
    return false;
}

bool PackageReader::markerWithin(int from, int to) const {
    for (int at = from; to - at >= MARKER_BYTES; ++at) {
        const void *hit = std::memchr(m_staging + at, START_MARKER[0],
                                      static_cast<size_t>(to - (MARKER_BYTES - 1) - at));
        if (hit == nullptr) {
            return false;
        }
        at = static_cast<int>(static_cast<const char *>(hit) - m_staging);
        if (std::memcmp(m_staging + at, START_MARKER, MARKER_BYTES) == 0) {
            return true;
        }
    }
    return false;
}

bool PackageReader::endMarkerBefore(int at) const {
    return std::memcmp(m_staging + at - MARKER_BYTES, END_MARKER, MARKER_BYTES) == 0;
}

void PackageReader::consume(int count) {
    m_begin += count;
    m_stage = Stage::Marker;
    m_skipLogged = false;
}

void PackageReader::refuseWithoutEndMarker() {
    W_ERROR("sdk communication log: Refused package length %d without end marker.", m_length);
    refuse();
}

void PackageReader::refuse() {
    m_begin += MARKER_BYTES;
    m_stage = Stage::Marker;
    // What follows a refused start marker is that package's own bytes: its line covers them.
    m_skipLogged = true;
}

void PackageReader::abandon() {
    // Each stage that did not complete logs its line, as a reader stopping there would.
    if (m_stage == Stage::Marker) {
        W_ERROR("sdk communication log: Recv Header error.");
    }
    if (m_stage != Stage::Body) {
        W_ERROR("sdk communication log: Recv lengthBlock error.");
    }
    W_ERROR("sdk communication log:  Recv text block error.");
    m_begin = m_end = 0;
    m_scan = 0;
    m_candidates.clear();
    m_stage = Stage::Marker;
    m_skipLogged = false;
}
