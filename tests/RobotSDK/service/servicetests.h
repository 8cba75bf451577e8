#ifndef SERVICETESTS_H
#define SERVICETESTS_H

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "loggedinservices.h"
#include "tracecapture.h"

namespace servicetests {

namespace kz = kezu_robot_namespace;
using Cmd = CommunicationMateType;
using Strings = std::vector<std::string>;
using std::chrono::milliseconds;

// Far above any wait these tests expect to end.
constexpr milliseconds kBound(5000);

inline bool logged(const TraceCapture &trace, const std::string &line) {
    const Strings lines = trace.messages();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline Strings errorLines(const TraceCapture &trace) {
    Strings lines;
    for (const TraceCapture::Event &e : trace.events()) {
        if (e.level == log4cplus::ERROR_LOG_LEVEL) lines.push_back(e.message);
    }
    return lines;
}

// A call on its own thread, so that the test can act while it blocks.
inline std::future<int> inBackground(std::function<int()> call) {
    return std::async(std::launch::async, std::move(call));
}

// The result of a background call, or -1 when it is still running after kBound.
inline int ended(std::future<int> &result) {
    return result.wait_for(kBound) == std::future_status::ready ? result.get() : -1;
}

// Polls until done() holds; false when it still does not after kBound.
inline bool waitUntil(const std::function<bool()> &done) {
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace servicetests

#endif
