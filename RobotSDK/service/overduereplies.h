#ifndef OVERDUEREPLIES_H
#define OVERDUEREPLIES_H

#include <vector>

// Per command type, how many requests sent on one controller link are still unanswered.
// Replies are matched by type only, so a request of the type sent while an earlier one is
// unanswered may take that one's reply for its own, and leave its own reply late in turn.
// - A request counts from just before its package goes out; one whose package did not go out
//   counts no more.
// - Any reply of the type that arrives answers one, taken or dropped; a reply that comes when
//   none is unanswered changes nothing.
// - The count belongs to its link: a request tells its link by the link-loss count taken just
//   before its package goes out, so a newer link starts with none, and nothing is reset from
//   the link-loss path.
// A controller that never answers one request thus leaves the type unanswered for the rest of
// the link. No lock, socket or thread: the engine makes the calls for a type under that type's
// reply-slot mutex, so they agree with which replies a request can take; types are separate
// entries.
class OverdueReplies {
public:
    explicit OverdueReplies(int typeCount);

    void sending(int type, unsigned long link);
    void notSent(int type, unsigned long link);
    void replyArrived(int type);
    bool overdue(int type, unsigned long link) const;

private:
    struct Unanswered {
        unsigned long count = 0;
        unsigned long link = 0;
    };

    std::vector<Unanswered> m_types;
};

#endif
