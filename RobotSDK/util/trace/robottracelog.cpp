#include "robottracelog.h"

#include <cstdio>
#include <ctime>
#include <iomanip>
#include <sstream>

#include <log4cplus/configurator.h>
#include <log4cplus/helpers/loglog.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>
#include <log4cplus/streams.h>

namespace {
const char *const kTraceConfigPath = "./config/tracelog.properties";
const char *const kTraceLoggerName = "yrlrobottrace";
}  // namespace

RobotTraceLog::RobotTraceLog() { initTraceLog(kTraceConfigPath); }

RobotTraceLog::~RobotTraceLog() = default;

bool RobotTraceLog::initTraceLog(const char *doConfig) {
    try {
        log4cplus::initialize();
        log4cplus::helpers::LogLog::getLogLog()->setInternalDebugging(true);
        m_traceLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT(kTraceLoggerName));
        log4cplus::PropertyConfigurator::doConfigure(LOG4CPLUS_C_STR_TO_TSTRING(doConfig),
                                                     log4cplus::Logger::getDefaultHierarchy(), 0);
        LOG4CPLUS_INFO(m_traceLogger, LOG4CPLUS_TEXT("log4cplus started."));
        return true;
    } catch (...) {
        log4cplus::tcout << LOG4CPLUS_TEXT("Exception...") << std::endl;
        LOG4CPLUS_FATAL(m_traceLogger, LOG4CPLUS_TEXT("Exception occured..."));
        return false;
    }
}

void RobotTraceLog::printTrace(LOG_LEVEL level, const char *buf) {
    log4cplus::LogLevel ll;
    switch (level) {
        case LL_DEBUG:
            puts(buf);
            return;
        case LL_INFO:
            ll = log4cplus::INFO_LOG_LEVEL;
            break;
        case LL_WARN:
            ll = log4cplus::WARN_LOG_LEVEL;
            break;
        case LL_ERROR:
            ll = log4cplus::ERROR_LOG_LEVEL;
            break;
        case LL_FATAL:
            ll = log4cplus::FATAL_LOG_LEVEL;
            break;
        default:
            return;
    }
    // The location recorded is this function's own, as the log layouts expect.
    if (m_traceLogger.isEnabledFor(ll)) {
        m_traceLogger.forcedLog(ll, LOG4CPLUS_C_STR_TO_TSTRING(buf), __FILE__, __LINE__,
                                LOG4CPLUS_MACRO_FUNCTION());
    }
}

RobotTraceLog *getTraceLog() {
    static RobotTraceLog traceLog;
    return &traceLog;
}

std::string sysUsecTime() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return formatUsecTime(tv);
}

std::string formatUsecTime(const struct timeval &tv) {
    struct tm local;
    time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &local);
    std::ostringstream out;
    out << local.tm_year + 1900 << "-" << std::setfill('0') << std::setw(2) << local.tm_mon + 1
        << "-" << std::setw(2) << local.tm_mday << " " << std::setw(2) << local.tm_hour << ":"
        << std::setw(2) << local.tm_min << ":" << std::setw(2) << local.tm_sec << "."
        << std::setw(3) << tv.tv_usec / 1000;
    return out.str();
}
