#ifndef ROBOTTRACELOG_H
#define ROBOTTRACELOG_H

#include <sys/time.h>

#include <string>

#include <log4cplus/logger.h>

// Fixed width: callers may pass any number, and levels outside the list write nothing.
enum LOG_LEVEL : int { LL_INFO = 0, LL_DEBUG = 1, LL_WARN = 2, LL_ERROR = 3, LL_FATAL = 4 };

// The process-wide trace log: one log4cplus logger configured once from a properties file.
class RobotTraceLog {
public:
    RobotTraceLog();
    ~RobotTraceLog();

    bool initTraceLog(const char *doConfig);
    void printTrace(LOG_LEVEL level, const char *buf);

private:
    log4cplus::Logger m_traceLogger;
};

RobotTraceLog *getTraceLog();

std::string sysUsecTime();

// The text of sysUsecTime for a given clock reading, in local time.
std::string formatUsecTime(const struct timeval &tv);

#endif
