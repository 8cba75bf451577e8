#include "moveledger.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <string>

namespace {

using End = MoveLedger::End;
using Request = MoveLedger::Request;

// Plays one sequence of steps, separated by blanks:
//   +A      move A's request begins (A-H wait for their end, a-h do not)
//   >A >S   move A's or stop S's package goes out (stops are S-Z)
//   ?S      stop S goes out while a reply of its kind is unanswered: its result cannot be told
//   A:ok A:no A:to A:ns   its request ended: accepted, refused, timed out, not sent
//   arr stop err lost     arrival, stopped event (25/0), controller error, link loss
//   late    the time a stop is owed its event passes
//   A=W     A's wait stands so far (W waiting, A arrived, S stopped, R replaced, L link lost)
class Sequence {
public:
    explicit Sequence(const std::string &steps) {
        std::istringstream in(steps);
        for (std::string step; in >> step;) play(step);
    }
    char end(char move) const { return letter(m_ledger.moveEnd(m_ids.at(move))); }
    const MoveLedger &ledger() const { return m_ledger; }

private:
    static char letter(End end) { return "WASRL"[static_cast<int>(end)]; }
    static bool isStop(char name) { return name >= 'S' && name <= 'Z'; }
    static Request request(const std::string &how) {
        static const std::map<std::string, Request> kinds = {{"ok", Request::Accepted},
                                                             {"no", Request::Refused},
                                                             {"to", Request::TimedOut},
                                                             {"ns", Request::NotSent}};
        return kinds.at(how);
    }

    void play(const std::string &step) {
        const char name = step.size() > 1 ? step[1] : 0;
        if (step == "arr") {
            m_ledger.arrival();
        } else if (step == "stop") {
            m_ledger.stopped(m_now);
        } else if (step == "err") {
            m_ledger.controllerError();
        } else if (step == "lost") {
            m_ledger.linkLost();
        } else if (step == "late") {
            m_now += MoveLedger::STOP_EVENT_WAIT;
        } else if (step[0] == '?') {
            m_ledger.uncertainStopWritten();
        } else if (step[0] == '+') {
            m_ids[name] = m_ledger.moveRequested(std::isupper(name) != 0);
        } else if (step[0] == '>') {
            if (isStop(name)) {
                m_ids[name] = m_ledger.stopWritten(m_now);
            } else {
                m_ledger.moveWritten(m_ids.at(name));
            }
        } else if (step[1] == ':') {
            ended(step[0], request(step.substr(2)));
        } else {
            ASSERT_EQ(step[2], end(step[0])) << "at " << step;
        }
    }
    void ended(char name, Request how) {
        if (isStop(name)) {
            m_ledger.stopRequestEnded(m_ids.at(name), how);
        } else {
            m_ledger.moveRequestEnded(m_ids.at(name), how);
        }
    }

    MoveLedger m_ledger;
    std::map<char, MoveLedger::Id> m_ids;
    MoveLedger::Clock::time_point m_now{};
};

struct Row {
    const char *name;
    const char *steps;
    const char *ends;  // move and end letter, e.g. "AS BW"
};

void check(const Row &row) {
    SCOPED_TRACE(row.name);
    const Sequence sequence(row.steps);
    std::istringstream in(row.ends);
    for (std::string expected; in >> expected;) {
        EXPECT_EQ(expected[1], sequence.end(expected[0])) << expected[0];
    }
}

// Arrivals: the last move out before one takes it; earlier ones were replaced, unless
// the later move's request turns out refused or unsent.
TEST(MoveLedger, ArrivalsEndTheLastMoveOutBeforeThem) {
    const Row rows[] = {
        {"its own arrival", "+A >A A:ok A=W arr", "AA"},
        {"an arrival before the reply", "+A >A arr A=W A:ok", "AA"},
        {"an arrival before the package went out", "+A arr >A A:ok A=W arr", "AA"},
        {"an earlier move's arrival before the package went out", "+A >A A:ok +B arr >B B:ok",
         "AA BW"},
        {"a later move's arrival", "+A >A A:ok +B >B B:ok arr", "AR BA"},
        {"a later move refused", "+A >A A:ok +b >b b:no arr", "AA"},
        {"a later move not sent", "+A >A A:ok +b b:ns arr", "AA"},
        {"a later move written but not sent", "+A >A A:ok +b >b b:ns arr", "AA"},
        {"an arrival while a later move is under way, then refused",
         "+A >A A:ok +b >b arr A=W b:no", "AA"},
        {"an arrival while a later move is under way, then taken", "+A >A A:ok +b >b arr b:ok",
         "AR"},
        {"a later move that timed out may have been carried out", "+A >A A:ok +b >b b:to arr",
         "AR"},
        {"a jog or move after the arrival", "+A >A A:ok arr +b >b b:ok", "AA"},
    };
    for (const Row &row : rows) check(row);
}

// Stopped events and controller errors: owed to the program's own stops from when their
// package goes out until their event, their refusal or the wait's end.
TEST(MoveLedger, StoppedEventsEndTheMovesThatAStopThenOwedCameAfter) {
    const Row rows[] = {
        {"a stop of the controller's own", "+A >A A:ok stop", "AS"},
        {"a controller error", "+A >A A:ok err", "AS"},
        {"a stop before the move went out", "+A stop >A A:ok", "AW"},
        {"an error before the move went out", "+A err >A A:ok", "AW"},
        {"a stop held before the move went out, then refused", ">S +A stop >A A:ok S:no", "AW"},
        {"the event of a stop sent before the move", ">S S:ok +A >A A:ok stop A=W arr", "AA"},
        {"the event before the stop's reply", ">S +A >A A:ok stop S:ok", "AW"},
        {"the event before the move's package", ">S S:ok +A stop >A A:ok", "AW"},
        {"a controller stop right after the stop's event", ">S S:ok +A >A A:ok stop stop", "AS"},
        {"a controller error is never owed", ">S S:ok +A >A A:ok err", "AS"},
        {"a stop whose event never came", ">S S:ok +A >A A:ok late stop", "AS"},
        {"a stop that timed out is still owed", ">S S:to +A >A A:ok stop", "AW"},
        {"a stop during the move", "+A >A A:ok >S S:ok stop", "AS"},
        {"a stop during the move, its event first", ">S S:ok +A >A A:ok >T T:ok stop", "AS"},
        {"two stops before, two events", ">S S:ok >T T:ok +A >A A:ok stop stop A=W stop", "AS"},
        // The controller stops the arm while the program's stop waits for its turn.
        {"a stop not yet written", "+A >A A:ok stop >S S:ok", "AS"},
        {"a refused stop is owed nothing", ">S S:no +A >A A:ok stop", "AS"},
        {"a stop that did not go out", ">S S:ns +A >A A:ok stop", "AS"},
        {"a refused stop during the move", ">S S:ok +A >A A:ok >T T:no stop", "AW"},
        {"the event held while a stop after the move is under way, then refused",
         ">S S:ok +A >A A:ok >T stop A=W T:no", "AW"},
        {"the same stop taken", ">S S:ok +A >A A:ok >T stop A=W T:ok", "AS"},
        {"the event held for a stop that is then refused", "+A >A A:ok >S stop A=W S:no", "AS"},
        {"an arrival behind a held event", ">S +A >A A:ok stop arr A=W S:ok", "AA"},
        {"a stop of a lost link is owed nothing", ">S S:ok lost +A >A A:ok stop", "AS"},
        // A stop whose result cannot be told, and the stops before it, are owed nothing.
        {"a stop whose result cannot be told", "?S +A >A A:ok stop", "AS"},
        {"a timed-out stop, then one whose result cannot be told", ">S S:to +A >A A:ok ?T stop",
         "AS"},
        {"a stop answered without its event, then one whose result cannot be told",
         ">S S:ok +A >A A:ok ?T stop", "AS"},
        {"an event read before it still weighs the stops before it",
         ">S +A >A A:ok stop ?T A=W S:ok", "AW"},
        // An arrival: the stops sent before its move were carried out before it.
        {"an arrival spends the stops before its move", ">S S:ok +A >A A:ok arr +B >B B:ok stop",
         "AA BS"},
        {"an arrival of a move not waited for", ">S S:ok +a >a a:ok arr +B >B B:ok stop", "BS"},
        {"an arrival leaves the stops after its move owed",
         "+A >A A:ok >S S:ok arr +B >B B:ok stop", "AA BW"},
        {"an arrival that goes back to a move before the stop",
         "+A >A A:ok >S S:ok +b >b arr b:no +C >C C:ok stop", "AA CW"},
    };
    for (const Row &row : rows) check(row);
}

TEST(MoveLedger, ALostLinkEndsEveryWaitButAnArrivalAlreadyTaken) {
    const Row rows[] = {
        {"waiting", "+A >A A:ok +B >B B:ok lost", "AL BL"},
        {"under way", "+A >A lost A:ok", "AL"},
        {"arrived first", "+A >A A:ok arr lost", "AA"},
        {"an event held", ">S +A >A A:ok >T stop lost S:ok T:ok", "AL"},
    };
    for (const Row &row : rows) check(row);
}

// A controller that never answers stops: what is kept stays bounded, moves are not followed
// once their wait or request is over.
TEST(MoveLedger, KeepsNothingBeyondWhatAWaitCanStillUse) {
    std::string steps;
    for (int i = 0; i < 100; ++i) steps += ">S S:ok late +a >a a:ok arr ";
    const Sequence sequence(steps + ">T T:ok");
    EXPECT_EQ(1u, sequence.ledger().stopsKept());
    EXPECT_EQ(0u, sequence.ledger().eventsHeld());
    EXPECT_EQ(0u, sequence.ledger().movesFollowed());
}

}  // namespace
