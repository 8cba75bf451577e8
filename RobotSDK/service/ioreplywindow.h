#ifndef IOREPLYWINDOW_H
#define IOREPLYWINDOW_H

#include <mutex>
#include <vector>

// What one controller link's single IO reads know about the replies of their command type.
// Replies are matched by type only, so the late reply of a read that timed out can come while a
// later read of the type, maybe of another point, waits. Controllers need not name the point in
// a reply (one that does not answers at address 0), and may name it for one type and not for
// another, so a reply naming another point is refused only where it can be a late one:
// - the window of a type opens when a read of it times out without refusing a reply; the next
//   read of the type closes it, whatever its result;
// - a type is known to name points once any reply of it names a nonzero point, taken or not,
//   whichever read it answers. From then on every read of the type refuses a reply naming
//   another point, the read that learnt it included.
// Both end with their link (peer close, logout, and so before a new login). A read tells its
// link by the link-loss count taken when it began, which moves for every link that ends: the
// first read of a newer link starts both anew, and nothing is reset from the link-loss path.
// Every call is one short step under the window's own lock; the engine makes the calls of one
// type in order, under that type's request mutex.
class IoReplyWindow {
public:
    // What a reply without a record (or one that does not decode) names: it is taken, for the
    // read to refuse.
    static constexpr int NO_POINT = -1;

    // One single read, from its start to its end. A read of an older link than the newest one
    // seen checks nothing and changes nothing.
    struct Read {
        int type;
        unsigned long link;
        int asked;
        int lateOf;  // the point asked by the read whose late reply may come, or NO_POINT
        // A reply found before the read was sent may be an older link's unless a read of the
        // type began on this link before.
        bool staleIsThisLinks;
        bool refused;  // has refused a reply
    };

    explicit IoReplyWindow(int typeCount);

    Read begin(int type, unsigned long link, int asked);
    // A reply of the read's type found before the read was sent: dropped in any case.
    void stale(const Read &read, int named);
    // A reply that came while the read waited; false when the read refuses it.
    bool takes(Read &read, int named);
    void end(const Read &read, bool timedOut);

private:
    struct Type {
        int lateOf = NO_POINT;  // the point asked by the read that opened the window
        bool namesPoints = false;
        bool begun = false;  // a read of the type began on the link
    };

    void learnLocked(const Read &read, int named);

    std::mutex m_mutex;
    unsigned long m_link = 0;
    std::vector<Type> m_types;
};

#endif
