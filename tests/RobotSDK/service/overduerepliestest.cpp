#include <vector>

#include <gtest/gtest.h>

#include "overduereplies.h"

namespace {

constexpr int CONTROL = 25, FAST_STOP = 85;

// What a request of the type on the link is told after these steps.
TEST(OverdueReplies, OwedFromATimeOutUntilAReplyOfItsTypeOnItsLink) {
    enum Kind { TimedOut, Reply };
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
        {"a time-out", {{TimedOut, CONTROL, 0}}, 0, true},
        {"a reply after it", {{TimedOut, CONTROL, 0}, {Reply, CONTROL, 0}}, 0, false},
        {"a time-out after a reply", {{Reply, CONTROL, 0}, {TimedOut, CONTROL, 0}}, 0, true},
        {"a reply of another type", {{TimedOut, CONTROL, 0}, {Reply, FAST_STOP, 0}}, 0, true},
        {"a time-out of another type", {{TimedOut, FAST_STOP, 0}}, 0, false},
        {"a newer link", {{TimedOut, CONTROL, 1}}, 2, false},
        {"a time-out of the newer link", {{TimedOut, CONTROL, 1}, {TimedOut, CONTROL, 2}}, 2, true},
    };
    for (const auto &row : rows) {
        OverdueReplies replies(87);
        for (const Step &step : row.steps) {
            if (step.kind == TimedOut) {
                replies.timedOut(step.type, step.link);
            } else {
                replies.replyArrived(step.type);
            }
        }
        EXPECT_EQ(row.overdue, replies.overdue(CONTROL, row.link)) << row.sequence;
    }
}

}  // namespace
