#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ioreplywindow.h"

namespace {

constexpr int DI = 46, DO = 47, AO = 49, NONE = IoReplyWindow::NO_POINT;

// One single read: the replies of its type left from before it, then those that come while it
// waits, each named by the point it names. It ends at the first reply it takes; one that takes
// none times out, unless it ends otherwise (the link went, the send failed).
struct Read {
    unsigned long link;
    int type, asked;
    std::vector<int> stale, replies;
    std::string verdicts;  // per reply until one is taken: '+' taken, '-' refused
    bool endsOtherwise = false;
};

std::string run(IoReplyWindow &window, const Read &r) {
    IoReplyWindow::Read read = window.begin(r.type, r.link, r.asked);
    for (int named : r.stale) window.stale(read, named);
    std::string verdicts;
    for (int named : r.replies) {
        verdicts += window.takes(read, named) ? '+' : '-';
        if (verdicts.back() == '+') break;
    }
    window.end(read, verdicts.find('+') == std::string::npos && !r.endsOtherwise);
    return verdicts;
}

TEST(IoReplyWindow, RefusesAnotherPointOnlyWhereItCanBeALateReply) {
    const struct {
        const char *sequence;
        std::vector<Read> reads;
    } rows[] = {
        {"after a time-out only the next read refuses",
         {{0, DI, 5, {}, {}, ""}, {0, DI, 6, {}, {0}, "-"}, {0, DI, 7, {}, {0}, "+"}}},
        {"late reply refused, own taken, the link then names points",
         {{0, DO, 32, {}, {}, ""}, {0, DO, 33, {}, {32, 33}, "-+"}, {0, DO, 5, {}, {0}, "-"}}},
        {"asked point named: every read of that type checks, of another type not",
         {{0, DI, 5, {}, {5}, "+"}, {0, DI, 6, {}, {0, 6}, "-+"}, {0, DO, 6, {}, {0}, "+"}}},
        {"another point named: the read that learns it refuses it",
         {{0, AO, 3, {}, {2, 3}, "-+"}, {0, AO, 4, {}, {0}, "-"}}},
        {"a type at address 0 keeps taking 0 after another type named its point",
         {{0, AO, 3, {}, {0}, "+"}, {0, DI, 17, {}, {17}, "+"}, {0, AO, 3, {}, {0}, "+"}}},
        {"replies more than two reads late: the first refused one teaches",
         {{0, DI, 17, {}, {}, ""},
          {0, DI, 18, {}, {}, ""},
          {0, DI, 19, {}, {17}, "-"},
          {0, DI, 20, {}, {18}, "-"},
          {0, DI, 21, {}, {19}, "-"}}},
        {"a stale reply of another point teaches",
         {{0, DI, 17, {}, {}, ""},
          {0, DI, 18, {}, {}, ""},
          {0, DI, 19, {17}, {0}, "-"},
          {0, DI, 20, {}, {0}, "-"}}},
        {"point 0 proves nothing", {{0, DI, 0, {}, {0}, "+"}, {0, DI, 5, {}, {0}, "+"}}},
        {"two time-outs in a row: the late reply refused by the second teaches",
         {{0, DI, 17, {}, {}, ""}, {0, DI, 18, {}, {17}, "-"}, {0, DI, 19, {}, {18, 19}, "-+"}}},
        {"two time-outs in a row: the late reply found before the second was sent teaches",
         {{0, DI, 17, {}, {}, ""}, {0, DI, 18, {17}, {NONE}, "+"}, {0, DI, 19, {}, {0}, "-"}}},
        {"a refused reply of another point teaches",
         {{0, DI, 17, {}, {}, ""}, {0, DI, 18, {}, {20}, "-"}, {0, DI, 19, {}, {0}, "-"}}},
        {"a late reply at 0 of a read of 0 teaches nothing",
         {{0, DI, 0, {}, {}, ""}, {0, DI, 5, {0}, {0}, "-"}, {0, DI, 6, {}, {0}, "+"}}},
        {"windows are per type",
         {{0, DI, 17, {}, {}, ""}, {0, DO, 18, {}, {0}, "+"}, {0, DI, 19, {}, {0}, "-"}}},
        {"a read that ends otherwise closes the window",
         {{0, DI, 16, {}, {}, ""}, {0, DI, 17, {}, {}, "", true}, {0, DI, 18, {}, {0}, "+"}}},
        {"a reply without a point is taken",
         {{0, DI, 5, {}, {5}, "+"}, {0, DI, 6, {}, {NONE}, "+"}}},
        {"a new link starts without a window",
         {{0, DI, 17, {}, {}, ""}, {1, DI, 18, {}, {0}, "+"}}},
        {"a new link starts without knowing",
         {{0, DI, 5, {}, {5}, "+"}, {2, DI, 6, {17}, {0}, "+"}}},
        {"a read of an older link changes nothing",
         {{1, DI, 5, {}, {}, ""},
          {0, DI, 6, {}, {6}, "+"},
          {0, DI, 7, {}, {}, ""},
          {1, DI, 8, {}, {0}, "-"},
          {1, DI, 9, {}, {0}, "+"}}},
    };
    for (const auto &row : rows) {
        IoReplyWindow window(87);
        for (size_t i = 0; i < row.reads.size(); ++i) {
            EXPECT_EQ(row.reads[i].verdicts, run(window, row.reads[i]))
                << row.sequence << ", read " << i;
        }
    }
}

}  // namespace
