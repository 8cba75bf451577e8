#include "overduereplies.h"

OverdueReplies::OverdueReplies(int typeCount) : m_debts(typeCount) {}

void OverdueReplies::timedOut(int type, unsigned long link) { m_debts[type] = {true, link}; }

void OverdueReplies::replyArrived(int type) { m_debts[type].owed = false; }

bool OverdueReplies::overdue(int type, unsigned long link) const {
    return m_debts[type].owed && m_debts[type].link == link;
}
