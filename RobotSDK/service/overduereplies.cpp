#include "overduereplies.h"

OverdueReplies::OverdueReplies(int typeCount) : m_types(typeCount) {}

void OverdueReplies::sending(int type, unsigned long link) {
    Unanswered &unanswered = m_types[type];
    if (unanswered.link != link) {
        unanswered = {0, link};
    }
    ++unanswered.count;
}

void OverdueReplies::notSent(int type, unsigned long link) {
    Unanswered &unanswered = m_types[type];
    if (unanswered.link == link && unanswered.count > 0) {
        --unanswered.count;
    }
}

void OverdueReplies::replyArrived(int type) {
    if (m_types[type].count > 0) {
        --m_types[type].count;
    }
}

bool OverdueReplies::overdue(int type, unsigned long link) const {
    return m_types[type].count > 0 && m_types[type].link == link;
}
