#include "packagereader.h"

#include <algorithm>
#include <cstring>

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
        m_begin = m_end = 0;
    } else if (m_capacity - m_end < chunk && m_begin > 0) {
        // Only the unfinished package moves, and it is shorter than the largest one, so room
        // runs out only once the head has advanced by more than the slack less a chunk since
        // the last move. A stream whose packages are refused four bytes apart thus costs at
        // most largest / (slack - chunk), about four, bytes moved per byte received.
        std::memmove(m_staging, m_staging + m_begin, static_cast<size_t>(staged()));
        m_end -= m_begin;
        m_begin = 0;
    }
    room = std::min(chunk, m_capacity - m_end);
    return m_staging + m_end;
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
        if (staged() < HEAD_BYTES + m_length) {
            return false;
        }
        const char *start = m_staging + m_begin;
        if (std::memcmp(start + HEAD_BYTES + m_length - MARKER_BYTES, END_MARKER, MARKER_BYTES) !=
            0) {
            // Cut short, or its length field is wrong: the next packages may lie inside.
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
            refuse();
            break;
        case Stage::Body:
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
    m_stage = Stage::Marker;
    m_skipLogged = false;
}
