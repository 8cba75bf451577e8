#ifndef TRACECAPTURE_H
#define TRACECAPTURE_H

#include <mutex>
#include <string>
#include <vector>

#include <log4cplus/appender.h>
#include <log4cplus/loglevel.h>

// Collects what reaches the trace logger while an instance lives: attached on construction
// (after the trace log has configured itself, so configuring cannot drop it), detached on
// destruction.
class TraceCapture {
public:
    struct Event {
        log4cplus::LogLevel level;
        std::string message;
        std::string file;  // the location log4cplus recorded
    };

    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture &) = delete;
    TraceCapture &operator=(const TraceCapture &) = delete;

    std::vector<Event> events() const;
    std::vector<std::string> messages() const;

private:
    class Appender;
    Appender *appender_;
    log4cplus::SharedAppenderPtr shared_;
};

#endif
