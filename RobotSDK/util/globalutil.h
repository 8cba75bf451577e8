#ifndef GLOBALUTIL_H
#define GLOBALUTIL_H

// printf-style trace logging; a message is cut after 2047 characters. Debug lines go to
// standard output, the other levels to the trace log.
namespace kezu_robot_logtrace {

void W_INFO(const char *format, ...) __attribute__((format(printf, 1, 2)));
void W_DEBUG(const char *format, ...) __attribute__((format(printf, 1, 2)));
void W_WARN(const char *format, ...) __attribute__((format(printf, 1, 2)));
void W_ERROR(const char *format, ...) __attribute__((format(printf, 1, 2)));
void W_FATAL(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kezu_robot_logtrace

#endif
