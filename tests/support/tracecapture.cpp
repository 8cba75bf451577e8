#include "tracecapture.h"

#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include "robottracelog.h"

class TraceCapture::Appender : public log4cplus::Appender {
public:
    ~Appender() override { destructorImpl(); }
    void close() override {}
    std::vector<Event> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

protected:
    void append(const log4cplus::spi::InternalLoggingEvent &event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({event.getLogLevel(), event.getMessage(), event.getFile()});
    }

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

namespace {
log4cplus::Logger traceLogger() { return log4cplus::Logger::getInstance("yrlrobottrace"); }
}  // namespace

TraceCapture::TraceCapture() : appender_(new Appender), shared_(appender_) {
    getTraceLog();
    traceLogger().addAppender(shared_);
}

TraceCapture::~TraceCapture() { traceLogger().removeAppender(shared_); }

std::vector<TraceCapture::Event> TraceCapture::events() const { return appender_->events(); }

std::vector<std::string> TraceCapture::messages() const {
    std::vector<std::string> out;
    for (const Event &e : events()) {
        out.push_back(e.message);
    }
    return out;
}
