#include "globalutil.h"

#include <cstdarg>
#include <cstdio>

#include "robottracelog.h"

namespace kezu_robot_logtrace {
namespace {

enum { kTraceBufferSize = 2049, kTraceFormatLimit = 2048 };

void logFormatted(LOG_LEVEL level, const char *format, va_list args) {
    char buffer[kTraceBufferSize] = {0};
    vsnprintf(buffer, kTraceFormatLimit, format, args);
    getTraceLog()->printTrace(level, buffer);
}

}  // namespace

#define KEZU_DEFINE_LOG_FUNCTION(name, level) \
    void name(const char *format, ...) {      \
        va_list args;                         \
        va_start(args, format);               \
        logFormatted(level, format, args);    \
        va_end(args);                         \
    }

KEZU_DEFINE_LOG_FUNCTION(W_INFO, LL_INFO)
KEZU_DEFINE_LOG_FUNCTION(W_DEBUG, LL_DEBUG)
KEZU_DEFINE_LOG_FUNCTION(W_WARN, LL_WARN)
KEZU_DEFINE_LOG_FUNCTION(W_ERROR, LL_ERROR)
KEZU_DEFINE_LOG_FUNCTION(W_FATAL, LL_FATAL)

#undef KEZU_DEFINE_LOG_FUNCTION

}  // namespace kezu_robot_logtrace
