#include "packagereader.h"

#include <algorithm>
#include <cstring>

#include "globalutil.h"

using kezu_robot_logtrace::W_ERROR;

namespace {

const unsigned char START_MARKER[] = {0xEE, 0xCC, 0xFF, 0xFF};
const int MARKER_BYTES = sizeof(START_MARKER);
// Check field and end marker as the controller writes them.
const unsigned char TRAILER[] = {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
const int TRAILER_BYTES = sizeof(TRAILER);
// An index of more buckets than this is dropped rather than cleared; see clearIndex.
const size_t SMALL_INDEX = 4096;
// Command type, check field and end marker follow the length field even for an empty body.
const int32_t MIN_LENGTH = 12;

const char *causeText(PackageCut cause) {
    switch (cause) {
        case PackageCut::Stall:
            return "a stall";
        case PackageCut::Close:
            return "the peer's close";
        case PackageCut::Error:
            break;
    }
    return "a receive error";
}

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
    m_origin += shift;
    m_scan = std::max(0, m_scan - shift);
    // Packages starting before the head can no longer lie inside one.
    if (m_begin == m_end) {
        clearIndex();
    } else {
        while (!m_packageStarts.empty() && m_packageStarts.front() < m_origin) {
            m_packageStarts.pop_front();
        }
        for (auto it = m_startByEnd.begin(); it != m_startByEnd.end();) {
            it = it->second < m_origin ? m_startByEnd.erase(it) : std::next(it);
        }
    }
}

// clear() zeroes every bucket, also of an empty table, and a hostile stream can grow the index
// to hundreds of thousands of them: cleared on every receive, that would cost each later one as
// much for the rest of the link. A fresh table costs only what it holds, and an empty one is
// left alone, so a single package quoting many others costs nothing after it.
void PackageReader::clearIndex() {
    if (m_startByEnd.bucket_count() > SMALL_INDEX) {
        std::unordered_map<int64_t, int64_t>().swap(m_startByEnd);
    } else if (!m_startByEnd.empty()) {
        m_startByEnd.clear();
    }
    m_packageStarts.clear();
}

bool PackageReader::nextPackage(const char *&package, int &length) {
    for (;;) {
        if (m_stage == Stage::Marker && !findMarker()) {
            return false;
        }
        if (staged() < HEAD_BYTES) {
            return false;
        }
        if (m_stage == Stage::Length && !takeLength()) {
            continue;
        }
        const int claimEnd = m_begin + HEAD_BYTES + m_length;
        indexMarkers(std::min(claimEnd, m_end));
        if (claimCut(claimEnd)) {
            refuse();
            continue;
        }
        if (m_end < claimEnd) {
            return false;
        }
        if (!endsInTrailer(claimEnd) && packageRunsPast(claimEnd)) {
            W_ERROR("sdk communication log: Refused package length %d ending inside the next one.",
                    m_length);
            refuse();
            continue;
        }
        package = m_staging + m_begin + HEAD_BYTES;
        length = m_length;
        consume(HEAD_BYTES + m_length);
        return true;
    }
}

bool PackageReader::takeLength() {
    int32_t field = 0;
    std::memcpy(&field, m_staging + m_begin + MARKER_BYTES, sizeof(field));
    if (field < MIN_LENGTH || field > m_maxLength) {
        // Too short to hold a command type and the trailing fields, or longer than the buffer.
        W_ERROR("sdk communication log: Refused package length %d.", field);
        refuse();
        return false;
    }
    m_length = field;
    m_stage = Stage::Body;
    return true;
}

// The claim lies: it ends on the end of a package inside it.
bool PackageReader::claimCut(int claimEnd) const {
    if (startEndingAt(claimEnd) > m_begin) {
        W_ERROR("sdk communication log: Refused package length %d ending with a package inside.",
                m_length);
        return true;
    }
    return false;
}

// A claim ending where the controller's own trailer stands ends a package of its: its body
// may quote the start of a package running past it, as a log text quoting traffic does.
bool PackageReader::endsInTrailer(int claimEnd) const {
    return std::memcmp(m_staging + claimEnd - TRAILER_BYTES, TRAILER, TRAILER_BYTES) == 0;
}

bool PackageReader::refuseCutPackage(PackageCut cause) {
    // The bytes a refused package claimed are no stage of their own.
    if (m_stage != Stage::Marker || !insideRefused()) {
        logStageLines();
    }
    bool refused = true;
    switch (m_stage) {
        case Stage::Marker:
            // A stalled stream may still bring the rest of a start marker, as it would to a
            // reader that only peeks at the marker.
            if (cause == PackageCut::Stall) {
                keepMarkerStart();
                refused = false;
            } else {
                m_begin = m_end;
            }
            m_skipLogged = false;
            break;
        case Stage::Length:
            refuse();
            break;
        case Stage::Body:
            W_ERROR("sdk communication log: Refused package length %d cut by %s.", m_length,
                    causeText(cause));
            refuse();
            break;
    }
    // What comes after the stream went on again is read afresh.
    m_refusedEnd = std::min(m_refusedEnd, m_origin + m_end);
    return refused;
}

// Drops the staged bytes (fewer than a marker) up to the first that may begin a start marker.
void PackageReader::keepMarkerStart() {
    while (m_begin < m_end &&
           std::memcmp(m_staging + m_begin, START_MARKER, static_cast<size_t>(staged())) != 0) {
        ++m_begin;
    }
}

// Each stage that did not complete logs its line, as a reader stopping there would.
void PackageReader::logStageLines() const {
    if (m_stage == Stage::Marker) {
        W_ERROR("sdk communication log: Recv Header error.");
    }
    if (m_stage != Stage::Body) {
        W_ERROR("sdk communication log: Recv lengthBlock error.");
    }
    W_ERROR("sdk communication log:  Recv text block error.");
}

bool PackageReader::findMarker() {
    while (staged() >= MARKER_BYTES) {
        if (std::memcmp(m_staging + m_begin, START_MARKER, MARKER_BYTES) == 0) {
            m_stage = Stage::Length;
            return true;
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
        // A refused package's line covers the bytes it claimed, not those after them.
        if (!m_skipLogged && m_origin + m_begin > m_refusedEnd) {
            W_ERROR("sdk communication log: Recv Header error.");
            m_skipLogged = true;
        }
    }
    return false;
}

// Where the package whose start marker stands at `at` ends; NOT_A_PACKAGE when the bytes
// there are no start marker with a usable length, NOT_STAGED when they have not all come.
int PackageReader::packageEnd(int at) const {
    const int have = m_end - at;
    if (have >= MARKER_BYTES && std::memcmp(m_staging + at, START_MARKER, MARKER_BYTES) != 0) {
        return NOT_A_PACKAGE;
    }
    if (have < HEAD_BYTES) {
        return NOT_STAGED;
    }
    int32_t length = 0;
    std::memcpy(&length, m_staging + at + MARKER_BYTES, sizeof(length));
    return length >= MIN_LENGTH && length <= m_maxLength ? at + HEAD_BYTES + length : NOT_A_PACKAGE;
}

// Indexes the staged start markers from the head's length field on that stand before `to`.
void PackageReader::indexMarkers(int to) {
    m_scan = std::max(m_scan, m_begin + HEAD_BYTES);
    while (m_scan < to) {
        const int windows = std::min(to, m_end - (MARKER_BYTES - 1)) - m_scan;
        const void *hit = windows > 0 ? std::memchr(m_staging + m_scan, START_MARKER[0],
                                                    static_cast<size_t>(windows))
                                      : nullptr;
        if (hit == nullptr) {
            m_scan += std::max(windows, 0);
            return;
        }
        const int at = static_cast<int>(static_cast<const char *>(hit) - m_staging);
        const int end = packageEnd(at);
        if (end == NOT_STAGED) {
            m_scan = at;  // its length field is still on its way
            return;
        }
        if (end != NOT_A_PACKAGE) {
            m_startByEnd[m_origin + end] = m_origin + at;
            m_packageStarts.push_back(m_origin + at);
        }
        m_scan = at + 1;
    }
}

// The latest indexed start of a package ending at `end`, or -1.
int PackageReader::startEndingAt(int end) const {
    const auto found = m_startByEnd.find(m_origin + end);
    return found == m_startByEnd.end() ? -1 : static_cast<int>(found->second - m_origin);
}

// A package starting inside the claim runs on past its end: the claim stops inside the
// controller's next package. Only the last start inside is weighed, as a body may quote whole
// packages before it; a whole start marker whose length field the end cuts counts whatever its
// length. A marker that the end itself cuts does not count: a controller may end its packages
// with the first bytes of one.
bool PackageReader::packageRunsPast(int claimEnd) const {
    const int first = m_begin + HEAD_BYTES;
    for (int at = std::max(first, claimEnd - HEAD_BYTES + 1); at + MARKER_BYTES <= claimEnd; ++at) {
        if (static_cast<unsigned char>(m_staging[at]) == START_MARKER[0] &&
            std::memcmp(m_staging + at, START_MARKER, MARKER_BYTES) == 0) {
            return true;
        }
    }
    const auto after = std::upper_bound(m_packageStarts.begin(), m_packageStarts.end(),
                                        m_origin + claimEnd - HEAD_BYTES);
    if (after == m_packageStarts.begin()) {
        return false;
    }
    const int last = static_cast<int>(*std::prev(after) - m_origin);
    return last >= first && packageEnd(last) > claimEnd;
}

void PackageReader::consume(int count) {
    m_begin += count;
    m_stage = Stage::Marker;
    m_skipLogged = false;
    m_refusedEnd = m_origin + m_begin;
}

// What follows a refused start marker up to the end of its claim (of its head, when its length
// was refused) is that package's own bytes: its line covers them.
void PackageReader::refuse() {
    const int ownEnd = m_begin + HEAD_BYTES + (m_stage == Stage::Body ? m_length : 0);
    m_refusedEnd = std::max(m_refusedEnd, m_origin + ownEnd);
    m_begin += MARKER_BYTES;
    m_stage = Stage::Marker;
    m_skipLogged = false;
}

bool PackageReader::insideRefused() const { return m_origin + m_begin < m_refusedEnd; }

void PackageReader::abandon() {
    logStageLines();
    m_begin = m_end = 0;
    m_scan = 0;
    clearIndex();
    m_stage = Stage::Marker;
    m_skipLogged = false;
    m_refusedEnd = m_origin;
}
