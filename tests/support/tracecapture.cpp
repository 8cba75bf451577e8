#include "tracecapture.h"

#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include "robottracelog.h"

class TraceCapture::Appender : public log4cplus::Appender {
public:
    ~Appender() override { destructorImpl(); }
    void close() override {}

    mutable std::mutex mutex;
    std::vector<Event> events;

protected:
    void append(const log4cplus::spi::InternalLoggingEvent &event) override {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back({event.getLogLevel(), event.getMessage(), event.getFile()});
    }
};

static log4cplus::Logger traceLogger() { return log4cplus::Logger::getInstance("yrlrobottrace"); }

TraceCapture::TraceCapture() : appender_(new Appender), shared_(appender_) {
    getTraceLog();
    traceLogger().addAppender(shared_);
}

TraceCapture::~TraceCapture() { traceLogger().removeAppender(shared_); }

std::vector<TraceCapture::Event> TraceCapture::events() const {
    std::lock_guard<std::mutex> lock(appender_->mutex);
    return appender_->events;
}

std::vector<std::string> TraceCapture::messages() const {
    std::vector<std::string> out;
    for (const Event &e : events()) out.push_back(e.message);
    return out;
}
