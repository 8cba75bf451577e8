#include "ioreplywindow.h"

IoReplyWindow::IoReplyWindow(int typeCount) : m_lateOf(typeCount, NO_POINT) {}

IoReplyWindow::Read IoReplyWindow::begin(int type, unsigned long link, int asked) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (link > m_link) {
        m_link = link;
        m_namesPoints = false;
        m_lateOf.assign(m_lateOf.size(), NO_POINT);
    }
    Read read{type, link, asked, NO_POINT, false, false};
    if (link == m_link) {
        read.lateOf = m_lateOf[type];
        read.checks = m_namesPoints || read.lateOf != NO_POINT;
    }
    return read;
}

void IoReplyWindow::stale(const Read &read, int named) {
    std::lock_guard<std::mutex> lock(m_mutex);
    learnLocked(read, named, read.lateOf);
}

bool IoReplyWindow::takes(Read &read, int named) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (named == NO_POINT || named == read.asked || !read.checks) {
        learnLocked(read, named, read.asked);
        return true;
    }
    read.refused = true;
    learnLocked(read, named, read.lateOf);
    return false;
}

// A read that refused a reply does not open the window: that reply may have been its own, from
// a controller not known to name points.
void IoReplyWindow::end(const Read &read, bool timedOut) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (read.link == m_link) {
        m_lateOf[read.type] = timedOut && !read.refused ? read.asked : NO_POINT;
    }
}

void IoReplyWindow::learnLocked(const Read &read, int named, int askedBy) {
    if (read.link == m_link && named > 0 && named == askedBy) {
        m_namesPoints = true;
    }
}
