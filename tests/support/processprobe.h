#ifndef PROCESSPROBE_H
#define PROCESSPROBE_H

#include <chrono>
#include <cstddef>
#include <functional>

namespace kezu_test {

// What this process holds now: tests that run a client and the counterpart in process check
// that long runs leave these flat.
size_t openFiles();
size_t threadCount();

// Polls the condition until it holds or the time-out passes.
bool eventually(const std::function<bool()> &condition, std::chrono::milliseconds timeout);

}  // namespace kezu_test

#endif
