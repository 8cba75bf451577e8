#include "ioreplywindow.h"

IoReplyWindow::IoReplyWindow(int typeCount) : m_types(typeCount) {}

IoReplyWindow::Read IoReplyWindow::begin(int type, unsigned long link, int asked) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (link > m_link) {
        m_link = link;
        m_types.assign(m_types.size(), Type());
    }
    Read read{type, link, asked, NO_POINT, false, false};
    if (link == m_link) {
        Type &known = m_types[type];
        read.lateOf = known.lateOf;
        read.staleIsThisLinks = known.begun;
        known.begun = true;
    }
    return read;
}

void IoReplyWindow::stale(const Read &read, int named) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (read.staleIsThisLinks) {
        learnLocked(read, named);
    }
}

// Learnt before the check: the reply that teaches it is refused too.
bool IoReplyWindow::takes(Read &read, int named) {
    std::lock_guard<std::mutex> lock(m_mutex);
    learnLocked(read, named);
    const bool checks =
        read.link == m_link && (read.lateOf != NO_POINT || m_types[read.type].namesPoints);
    if (named == NO_POINT || named == read.asked || !checks) {
        return true;
    }
    read.refused = true;
    return false;
}

// A read that refused a reply does not open the window: that reply may have been its own, from
// a controller not known to name points.
void IoReplyWindow::end(const Read &read, bool timedOut) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (read.link == m_link) {
        m_types[read.type].lateOf = timedOut && !read.refused ? read.asked : NO_POINT;
    }
}

// Only a controller that names points names one other than 0.
void IoReplyWindow::learnLocked(const Read &read, int named) {
    if (read.link == m_link && named > 0) {
        m_types[read.type].namesPoints = true;
    }
}
