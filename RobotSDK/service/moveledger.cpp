#include "moveledger.h"

#include <algorithm>
#include <iterator>
#include <utility>

// ---- Moves ----

MoveLedger::Id MoveLedger::moveRequested(bool waits) {
    const Id move = ++m_nextMove;
    m_moves.emplace(move, Move{waits});
    m_underWay = move;
    return move;
}

void MoveLedger::moveWritten(Id move) {
    const auto found = m_moves.find(move);
    if (found == m_moves.end()) {
        return;
    }
    Move &entry = found->second;
    entry.written = true;
    entry.place = ++m_places;
    entry.before = m_lastMove;
    entry.beforePlace = m_lastPlace;
    m_lastMove = move;
    m_lastPlace = entry.place;
}

void MoveLedger::moveRequestEnded(Id move, Request how) {
    if (m_underWay == move) {
        m_underWay = 0;
    }
    const auto found = m_moves.find(move);
    if (found == m_moves.end()) {
        return;
    }
    if (found->second.written && (how == Request::Refused || how == Request::NotSent)) {
        // The arm does not go there: what was credited to it goes back to the move before. A
        // move that timed out may have been carried out and keeps its place.
        const Move &refused = found->second;
        if (m_lastMove == move) {
            m_lastMove = refused.before;
            m_lastPlace = refused.beforePlace;
        }
        for (Event &event : m_events) {
            if (event.lastMove == move) {
                event.lastMove = refused.before;
                event.lastPlace = refused.beforePlace;
            }
        }
    }
    if (how != Request::Accepted || !found->second.waits) {
        m_moves.erase(found);
    }
    settle();
}

MoveLedger::End MoveLedger::moveEnd(Id move) const {
    const auto found = m_moves.find(move);
    // A move not followed has nothing left to wait for.
    return found == m_moves.end() ? End::LinkLost : found->second.end;
}

void MoveLedger::forgetMove(Id move) { m_moves.erase(move); }

// ---- Stops ----

MoveLedger::Id MoveLedger::stopWritten(Clock::time_point now) {
    // Stops of a controller that sends no stopped events must not pile up.
    forgetSpentStops(now);
    const Id stop = ++m_nextStop;
    m_stops.emplace(stop, Stop{++m_places, now + STOP_EVENT_WAIT});
    return stop;
}

void MoveLedger::stopRequestEnded(Id stop, Request how) {
    const auto found = m_stops.find(stop);
    if (found == m_stops.end()) {
        return;  // its link was lost
    }
    if (how == Request::Refused || how == Request::NotSent) {
        m_stops.erase(found);  // nothing was stopped: no event answers it
    } else {
        found->second.underWay = false;
    }
    settle();
}

// Events read before it may still weigh those stops: it went out after them.
void MoveLedger::uncertainStopWritten() {
    for (auto &entry : m_stops) {
        entry.second.disowned = true;
    }
}

// ---- Events ----

void MoveLedger::arrival() { hold({Kind::Arrival, m_lastMove, m_lastPlace, m_places, {}}); }

void MoveLedger::stopped(Clock::time_point now) {
    forgetSpentStops(now);
    Event event{Kind::Stopped, m_lastMove, m_lastPlace, m_places, {}};
    for (const auto &[id, stop] : m_stops) {
        if (!stop.answered && !stop.disowned && (stop.underWay || now < stop.deadline)) {
            event.owed.push_back(id);
        }
    }
    hold(std::move(event));
}

void MoveLedger::controllerError() { hold({Kind::Error, m_lastMove, m_lastPlace, m_places, {}}); }

void MoveLedger::linkLost() {
    for (auto &entry : m_moves) {
        if (entry.second.end == End::Waiting) {
            entry.second.end = End::LinkLost;
        }
    }
    m_stops.clear();
    m_events.clear();
}

void MoveLedger::hold(Event event) {
    m_events.push_back(std::move(event));
    settle();
}

void MoveLedger::settle() {
    while (!m_events.empty() && decidable(m_events.front())) {
        const Event event = std::move(m_events.front());
        m_events.pop_front();
        apply(event);
    }
}

bool MoveLedger::decidable(const Event &event) const {
    switch (event.kind) {
        case Kind::Arrival:
            return m_underWay == 0 || event.lastMove != m_underWay;
        case Kind::Stopped:
            return std::none_of(event.owed.begin(), event.owed.end(), [this](Id id) {
                const auto found = m_stops.find(id);
                return found != m_stops.end() && found->second.underWay;
            });
        default:
            return true;
    }
}

void MoveLedger::apply(const Event &event) {
    switch (event.kind) {
        case Kind::Arrival:
            applyArrival(event);
            break;
        case Kind::Stopped:
            applyStopped(event);
            break;
        default:
            stopMoves(event.placed);
            break;
    }
}

void MoveLedger::applyArrival(const Event &event) {
    const Id move = event.lastMove;
    for (auto &[id, entry] : m_moves) {
        if (id > move) {
            break;
        }
        if (entry.end == End::Waiting) {
            entry.end = id == move ? End::Arrived : End::Replaced;
        }
    }
    // The controller carried the stops sent before that move out before it took the move.
    for (auto &entry : m_stops) {
        if (entry.second.place < event.lastPlace) {
            entry.second.answered = true;
        }
    }
}

void MoveLedger::applyStopped(const Event &event) {
    Stop *oldest = nullptr;
    unsigned long latest = 0;
    for (Id id : event.owed) {  // in the order the stops went out
        const auto found = m_stops.find(id);
        if (found == m_stops.end() || found->second.answered) {
            continue;
        }
        if (oldest == nullptr) {
            oldest = &found->second;
        }
        latest = found->second.place;
    }
    if (oldest == nullptr) {
        stopMoves(event.placed);
        return;
    }
    oldest->answered = true;
    stopMoves(latest - 1);
}

void MoveLedger::stopMoves(unsigned long placed) {
    for (auto &entry : m_moves) {
        Move &move = entry.second;
        if (move.written && move.place <= placed && move.end == End::Waiting) {
            move.end = End::Stopped;
        }
    }
}

void MoveLedger::forgetSpentStops(Clock::time_point now) {
    if (!m_events.empty()) {
        return;  // an event on hold still weighs the stops it may answer
    }
    for (auto stop = m_stops.begin(); stop != m_stops.end();) {
        const Stop &kept = stop->second;
        const bool spent =
            !kept.underWay && (kept.answered || kept.disowned || kept.deadline <= now);
        stop = spent ? m_stops.erase(stop) : std::next(stop);
    }
}
