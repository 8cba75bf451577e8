#include "processprobe.h"

#include <dirent.h>

#include <thread>

namespace kezu_test {

namespace {

size_t entriesOf(const char *dir) {
    size_t count = 0;
    if (DIR *d = opendir(dir)) {
        while (readdir(d) != nullptr) ++count;
        closedir(d);
    }
    return count;
}

}  // namespace

size_t openFiles() { return entriesOf("/proc/self/fd"); }

size_t threadCount() { return entriesOf("/proc/self/task"); }

bool eventually(const std::function<bool()> &condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace kezu_test
