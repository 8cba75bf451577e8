#include "arrayreleasewatch.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

// Kept apart from the tests so the compiler cannot pair the inlined malloc with a delete[].
namespace {
std::atomic<const void *> g_watchedArray{nullptr};
std::atomic<int> g_watchedReleases{0};
}  // namespace

void watchArrayRelease(const void *array) {
    g_watchedReleases = 0;
    g_watchedArray = array;
}

int watchedArrayReleases() { return g_watchedReleases.load(); }

void *operator new[](std::size_t size) {
    if (void *p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete[](void *p) noexcept {
    if (p != nullptr && p == g_watchedArray.load()) ++g_watchedReleases;
    std::free(p);
}

void operator delete[](void *p, std::size_t) noexcept { operator delete[](p); }
