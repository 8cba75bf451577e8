#include <vector>

#include <gtest/gtest.h>

#include "overduereplies.h"

namespace {

constexpr int CONTROL = 25, FAST_STOP = 85;

// What a request of the type on the link is told after these steps.
TEST(OverdueReplies, UnansweredFromTheSendUntilAReplyOfItsTypeOnItsLink) {
    enum Kind { Sent, NotSent, Reply };
    struct Step {
        Kind kind;
        int type;
        unsigned long link;
    };
    const struct {
        const char *sequence;
        std::vector<Step> steps;
        unsigned long link;
        bool overdue;
    } rows[] = {
        {"none at first", {}, 0, false},
        {"a request sent", {{Sent, CONTROL, 0}}, 0, true},
        {"its reply", {{Sent, CONTROL, 0}, {Reply, CONTROL, 0}}, 0, false},
        {"its package did not go out", {{Sent, CONTROL, 0}, {NotSent, CONTROL, 0}}, 0, false},
        // A request that took an earlier one's late reply still awaits its own.
        {"two sent, one reply",
         {{Sent, CONTROL, 0}, {Sent, CONTROL, 0}, {Reply, CONTROL, 0}},
         0,
         true},
        {"a reply with none unanswered changes nothing",
         {{Reply, CONTROL, 0}, {Sent, CONTROL, 0}},
         0,
         true},
        {"a reply sent twice",
         {{Sent, CONTROL, 0}, {Reply, CONTROL, 0}, {Reply, CONTROL, 0}, {Sent, CONTROL, 0}},
         0,
         true},
        {"a reply of another type", {{Sent, CONTROL, 0}, {Reply, FAST_STOP, 0}}, 0, true},
        {"a request of another type", {{Sent, FAST_STOP, 0}}, 0, false},
        {"a newer link", {{Sent, CONTROL, 1}}, 2, false},
        {"a request of the newer link", {{Sent, CONTROL, 1}, {Sent, CONTROL, 2}}, 2, true},
        {"the older link's requests count nothing on the newer",
         {{Sent, CONTROL, 1}, {Sent, CONTROL, 1}, {Sent, CONTROL, 2}, {Reply, CONTROL, 2}},
         2,
         false},
    };
    for (const auto &row : rows) {
        OverdueReplies replies(87);
        for (const Step &step : row.steps) {
            if (step.kind == Sent) {
                replies.sending(step.type, step.link);
            } else if (step.kind == NotSent) {
                replies.notSent(step.type, step.link);
            } else {
                replies.replyArrived(step.type);
            }
        }
        EXPECT_EQ(row.overdue, replies.overdue(CONTROL, row.link)) << row.sequence;
    }
}

}  // namespace
