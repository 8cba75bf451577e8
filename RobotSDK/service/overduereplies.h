#ifndef OVERDUEREPLIES_H
#define OVERDUEREPLIES_H

#include <vector>

// Per command type, whether one controller link still owes the reply of a request that gave up
// on it. Replies are matched by type only, so a request of the type sent meanwhile may take
// that late reply for its own.
// - It starts when a request of the type ends with the reply time-out (a reply that came but
//   could not be read is owed no more).
// - It ends when any reply of the type arrives, or with its link: a request tells its link by
//   the link-loss count taken when it began, so a newer link starts with none, and nothing is
//   reset from the link-loss path.
// No lock, socket or thread: the engine makes the calls for a type under that type's reply-slot
// mutex, so they agree with which replies a request can take; types are separate entries.
class OverdueReplies {
public:
    explicit OverdueReplies(int typeCount);

    void timedOut(int type, unsigned long link);
    void replyArrived(int type);
    bool overdue(int type, unsigned long link) const;

private:
    struct Debt {
        bool owed = false;
        unsigned long link = 0;
    };

    std::vector<Debt> m_debts;
};

#endif
