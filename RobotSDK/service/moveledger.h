#ifndef MOVELEDGER_H
#define MOVELEDGER_H

#include <chrono>
#include <deque>
#include <map>
#include <vector>

// The order of one connection's moves and stops, and what the controller's events mean for the
// moves that wait for their arrival. An arrival names no move and a stopped event names no
// stop, so each event is placed by when it comes among the packages of moves and stops that
// went out; an event read before a move's package went out cannot concern that move.
//
// - An arrival belongs to the last move that went out before it. It ends that move, and every
//   earlier move still waiting was replaced (the arm left for a later target).
// - A stop is owed its stopped event from when its package goes out until the event comes, or
//   for STOP_EVENT_WAIT after that. A refused stop, or one that never went out, is owed
//   nothing. A stopped event that no owed stop can answer is the controller's own, and so is a
//   controller error: both end every move that went out before them.
// - A stopped event that an owed stop can answer ends only the moves that went out before one
//   of the stops then owed: a stop sent before a move does not stop that move, however late
//   its event comes. Which owed stop an event answers cannot be told, so a move sent before
//   any of them ends.
// - A stop whose result cannot be told (its package went out while a reply of its kind was
//   unanswered, so the reply it takes may be an earlier request's) is owed nothing, and from
//   then on neither are the stops before it: their events and its own cannot be told apart.
// - An arrival shows that every stop that went out before the move it belongs to was carried
//   out before that move: none of them is owed an event any more.
// - An event that a request under way may still change is held until that request ends: an
//   arrival while the move it belongs to is under way (refused, that move takes nothing), and
//   a stopped event while a stop it may answer is under way (refused, that stop was owed
//   nothing). Later events wait behind it, so each is weighed in the order it came.
//
// No lock, socket or thread: the engine feeds it under its arrival mutex, one move request at a
// time.
class MoveLedger {
public:
    using Id = unsigned long;
    using Clock = std::chrono::steady_clock;

    enum class End { Waiting, Arrived, Stopped, Replaced, LinkLost };
    // How a request ended: the controller's reply was 0, a refusal (a nonzero code), none in
    // time or unreadable (it may have been carried out), or its package did not go out whole.
    enum class Request { Accepted, Refused, TimedOut, NotSent };

    // Covers a stop's reply and the arm's braking.
    static constexpr std::chrono::milliseconds STOP_EVENT_WAIT{2000};

    // ---- Moves ----
    // A move request begins; ids rise. Events read once its package went out concern it. A
    // move that waits is followed until forgetMove, one that does not until its request ends.
    Id moveRequested(bool waits);
    void moveWritten(Id move);
    void moveRequestEnded(Id move, Request how);
    End moveEnd(Id move) const;
    void forgetMove(Id move);

    // ---- Stops ----
    // Its package goes out now; the id is for stopRequestEnded.
    Id stopWritten(Clock::time_point now);
    void stopRequestEnded(Id stop, Request how);
    // A stop whose result cannot be told goes out now.
    void uncertainStopWritten();

    // ---- Events ----
    void arrival();
    // Event 25 with code 0: the arm stopped.
    void stopped(Clock::time_point now);
    // Event 26: never an answer to a stop.
    void controllerError();
    // Every wait ends; the lost link's events will not come.
    void linkLost();

    // Moves followed, stops still kept (owed, or needed by an event on hold), events on hold.
    size_t movesFollowed() const { return m_moves.size(); }
    size_t stopsKept() const { return m_stops.size(); }
    size_t eventsHeld() const { return m_events.size(); }

private:
    struct Move {
        bool waits;
        bool written = false;
        unsigned long place = 0;  // among the packages of moves and stops
        Id before = 0;  // the last move out when it went out: arrivals go back to it on a refusal
        unsigned long beforePlace = 0;
        End end = End::Waiting;
    };
    struct Stop {
        unsigned long place;
        Clock::time_point deadline;
        bool underWay = true;
        bool answered = false;  // by its event, or by an arrival of a later move
        bool disowned = false;  // by a later stop whose result cannot be told
    };
    enum class Kind { Arrival, Stopped, Error };
    struct Event {
        Kind kind;
        Id lastMove;              // the last move out before it
        unsigned long lastPlace;  // where that move's package went out
        unsigned long placed;     // packages out before it
        std::vector<Id> owed;     // the stops it may answer
    };

    void hold(Event event);
    void settle();
    bool decidable(const Event &event) const;
    void apply(const Event &event);
    void applyArrival(const Event &event);
    void applyStopped(const Event &event);
    // Ends the waiting moves whose package is among the first placed ones.
    void stopMoves(unsigned long placed);
    void forgetSpentStops(Clock::time_point now);

    std::map<Id, Move> m_moves;
    std::map<Id, Stop> m_stops;
    std::deque<Event> m_events;
    Id m_nextMove = 0;
    Id m_nextStop = 0;
    Id m_lastMove = 0;  // the last move out: arrivals are credited to it
    unsigned long m_lastPlace = 0;
    Id m_underWay = 0;  // the move whose request is under way
    unsigned long m_places = 0;
};

#endif
