// The link's package reader alone, fed in receive-sized chunks as the receive thread feeds it:
// a controller's stream against hostile ones whose packages are all refused, and one whose
// bodies quote packages. The bytes per second of the others against the honest one show what
// refusing and resuming, or looking at quoted packages, cost; empty packages behind a hostile
// megabyte, or behind one package quoting many, against the same packages alone show what the
// part before them leaves behind.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <log4cplus/logger.h>

#include "packagereader.h"
#include "robotcommunicationclient.h"
#include "robottracelog.h"

namespace {

using Link = RobotCommunicationClient;
const int CHUNK = Link::SIGNLE_PACKAGE_MESSAGE_LEN;
const size_t STREAM_BYTES = 8 << 20;

std::string head(int32_t length) {
    std::string bytes(reinterpret_cast<const char *>(Link::ROBOT_COMMAND_SOF), 4);
    return bytes.append(reinterpret_cast<const char *>(&length), sizeof(length));
}

std::string repeated(const std::string &unit) {
    std::string stream;
    while (stream.size() < STREAM_BYTES) stream += unit;
    return stream;
}

// Joint-status-sized packages, all whole.
std::string honest() {
    const int32_t type = 3;
    std::string unit = head(300 + 12);
    unit.append(reinterpret_cast<const char *>(&type), sizeof(type));
    unit.append(300, 'j');
    unit.append(4, '\0');
    return repeated(unit.append(4, '\xFF'));
}

// Start markers eight bytes apart, each claiming the largest length: every one is decided
// only once the staging area is full, and refusing it advances the head by four bytes.
std::string largestClaimsEightBytesApart() { return repeated(head(Link::RECV_BUFFER_SIZE)); }

// Packages cut after 14 bytes that claim 200: each claim holds a dozen more of them.
std::string cutPackages() { return repeated(head(200).append(6, '\0')); }

// Whole packages whose bodies quote small packages back to back, as log texts quoting traffic
// do: every quoted start marker is looked at, none cuts its package.
std::string quotingPackage(int quotes) {
    std::string quoted;
    for (int i = 0; i < quotes; ++i) quoted += head(12 + 13).append(25, 'q');
    const int32_t type = 2;
    std::string unit = head(static_cast<int32_t>(quoted.size()) + 12);
    unit.append(reinterpret_cast<const char *>(&type), sizeof(type)).append(quoted);
    unit.append(4, '\0');
    return unit.append(4, '\xFF');
}

std::string quotingPackages() { return repeated(quotingPackage(12)); }

// Heads twelve bytes apart whose claims end one byte apart in reverse order, and behind them a
// start marker claiming more than any: each claim is decided only once staged whole, by the
// last start inside it, the one that runs past.
std::string nestedClaims() {
    const int n = 20000;
    std::string unit;
    for (int i = 0; i < n; ++i) unit += head(13 * n + 24 - i - 12 * i - 8).append("abcd");
    unit += head(900000);
    unit.resize(13 * n + 40, '\0');
    return repeated(unit);
}

// Packages with an empty body, 20 bytes each, 3 MiB of them: fed one per receive, as they come
// when the controller sends them one by one.
const int EMPTY_PACKAGE = 20;

std::string emptyPackages() {
    const int32_t type = 3;
    std::string unit = head(12);
    unit.append(reinterpret_cast<const char *>(&type), sizeof(type));
    unit.append(4, '\0').append(4, '\xFF');
    std::string stream;
    while (stream.size() < (3u << 20)) stream += unit;
    return stream;
}

// A megabyte of heads each claiming a megabyte, then the empty packages, every receive one of
// them: every head is refused once its claim has come, and the packages after them are read
// as if alone.
std::string emptyPackagesAfterClaims() {
    std::string stream;
    while (stream.size() < (1u << 20) || stream.size() % EMPTY_PACKAGE != 0) {
        stream += head(1 << 20);
    }
    return stream + emptyPackages();
}

// One package whose text quotes 1500 small packages, then the empty packages: the index the
// quote filled must cost the packages after it nothing.
std::string emptyPackagesAfterAQuote() {
    std::string quote = quotingPackage(1500);
    // Padded to whole receives, so that every empty package still comes in one of its own.
    const size_t pad = (EMPTY_PACKAGE - quote.size() % EMPTY_PACKAGE) % EMPTY_PACKAGE;
    return quote.append(pad, 'g') + emptyPackages();
}

void feed(benchmark::State &state, const std::string &stream, int chunk = CHUNK) {
    // One line per refused package would measure the trace log, not the reader.
    getTraceLog();
    log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("yrlrobottrace"))
        .setLogLevel(log4cplus::OFF_LOG_LEVEL);
    const int capacity = PackageReader::stagingSize(Link::RECV_BUFFER_SIZE, chunk);
    std::unique_ptr<char[]> staging(new char[capacity]);
    int64_t packages = 0;
    for (auto _ : state) {
        PackageReader reader(staging.get(), capacity, Link::RECV_BUFFER_SIZE);
        for (size_t at = 0; at < stream.size();) {
            int room = 0;
            char *space = reader.freeSpace(chunk, room);
            const size_t n = std::min(static_cast<size_t>(room), stream.size() - at);
            std::memcpy(space, stream.data() + at, n);
            reader.received(static_cast<int>(n));
            at += n;
            const char *package = nullptr;
            int length = 0;
            while (reader.nextPackage(package, length)) {
                benchmark::DoNotOptimize(package);
                ++packages;
            }
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
    state.counters["packages"] = static_cast<double>(packages / state.iterations());
}

void BM_ReaderHonestStream(benchmark::State &state) { feed(state, honest()); }
BENCHMARK(BM_ReaderHonestStream)->Unit(benchmark::kMillisecond);

void BM_ReaderLargestClaimsEightBytesApart(benchmark::State &state) {
    feed(state, largestClaimsEightBytesApart());
}
BENCHMARK(BM_ReaderLargestClaimsEightBytesApart)->Unit(benchmark::kMillisecond);

void BM_ReaderCutPackages(benchmark::State &state) { feed(state, cutPackages()); }
BENCHMARK(BM_ReaderCutPackages)->Unit(benchmark::kMillisecond);

void BM_ReaderQuotingPackages(benchmark::State &state) { feed(state, quotingPackages()); }
BENCHMARK(BM_ReaderQuotingPackages)->Unit(benchmark::kMillisecond);

void BM_ReaderNestedClaims(benchmark::State &state) { feed(state, nestedClaims()); }
BENCHMARK(BM_ReaderNestedClaims)->Unit(benchmark::kMillisecond);

void BM_ReaderEmptyPackages(benchmark::State &state) {
    feed(state, emptyPackages(), EMPTY_PACKAGE);
}
BENCHMARK(BM_ReaderEmptyPackages)->Unit(benchmark::kMillisecond);

void BM_ReaderEmptyPackagesAfterAQuote(benchmark::State &state) {
    feed(state, emptyPackagesAfterAQuote(), EMPTY_PACKAGE);
}
BENCHMARK(BM_ReaderEmptyPackagesAfterAQuote)->Unit(benchmark::kMillisecond);

void BM_ReaderEmptyPackagesAfterClaims(benchmark::State &state) {
    feed(state, emptyPackagesAfterClaims(), EMPTY_PACKAGE);
}
BENCHMARK(BM_ReaderEmptyPackagesAfterClaims)->Unit(benchmark::kMillisecond);

}  // namespace
