#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "globalutil.h"
#include "robottracelog.h"
#include "tracecapture.h"

using namespace kezu_robot_logtrace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

bool hasLine(const std::string &text, const std::string &line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

std::string stdoutOf(void (*write)()) {
    CaptureStdout();
    write();
    fflush(stdout);
    return GetCapturedStdout();
}

// Moves the process into a fresh directory holding the given properties text (or none).
void enterScratchDir(const char *properties) {
    char name[] = "/tmp/kezu_trace_XXXXXX";
    if (mkdtemp(name) == nullptr || chdir(name) != 0 || mkdir("config", 0755) != 0) std::exit(3);
    if (properties != nullptr) std::ofstream("config/tracelog.properties") << properties;
    // The fresh process ends through exit(), so the folder goes with it.
    static const std::string dir = name;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    });
}

void check(bool ok, const char *why) {
    if (ok) return;
    fprintf(stderr, "%s\n", why);
    std::exit(1);
}

// The body runs in a new process, whose trace log does not exist yet.
template <typename Body>
void inFreshProcess(Body body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT((body(), std::exit(0)), ::testing::ExitedWithCode(0), "");
}

}  // namespace

// Levels 5 and -1 write nothing; debug lines go to standard output only; every text is cut
// after 2047 characters.
TEST(TraceLog, LevelsReachTheLoggerWithTheirLog4cplusLevelAndLongTextsAreCut) {
    static std::string longText(3000, 'x');
    longText[2046] = 'y';
    const std::string cut = longText.substr(0, 2047);
    TraceCapture capture;
    W_INFO("info %d", 1);
    W_WARN("warn %s", "two");
    W_ERROR("%s", longText.c_str());
    W_FATAL("fatal");
    EXPECT_EQ(stdoutOf([] {
                  getTraceLog()->printTrace(static_cast<LOG_LEVEL>(5), "five");
                  getTraceLog()->printTrace(static_cast<LOG_LEVEL>(-1), "minus one");
                  W_DEBUG("%s", longText.c_str());
              }),
              cut + "\n");
    std::vector<std::pair<int, std::string>> got;
    for (const TraceCapture::Event &e : capture.events()) {
        got.emplace_back(e.level, e.message);
        // The recorded location is the trace log's own, not the caller's.
        EXPECT_NE(e.file.find("robottracelog.cpp"), std::string::npos) << e.file;
    }
    EXPECT_EQ(got, (std::vector<std::pair<int, std::string>>{
                       {20000, "info 1"}, {30000, "warn two"}, {40000, cut}, {50000, "fatal"}}));
}

TEST(TraceLogTime, FieldsArePaddedWithZerosAndMillisecondsStopAt999) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(formatUsecTime({1614834367, 41000}), "2021-03-04 05:06:07.041");
    EXPECT_EQ(formatUsecTime({1614834367, 999999}), "2021-03-04 05:06:07.999");
    EXPECT_EQ(formatUsecTime({1614834367, 0}), "2021-03-04 05:06:07.000");
    // The clock text is the current time: it sorts between readings taken around it.
    timeval before, after;
    gettimeofday(&before, nullptr);
    const std::string now = sysUsecTime();
    gettimeofday(&after, nullptr);
    EXPECT_LE(formatUsecTime(before), now);
    EXPECT_LE(now, formatUsecTime(after));
}

// Whatever the properties file holds, or if it cannot be read, log calls go on and debug lines
// reach standard output.
TEST(TraceLogSetup, DebugLinesSurviveAMissingEmptyUnreadableOrDisablingConfiguration) {
    static const char asDirectory[] = "a directory in place of the file";
    static const char disablesAll[] =
        "log4cplus.rootLogger=OFF\nlog4cplus.logger.yrlrobottrace=OFF\n";
    for (const char *properties :
         {(const char *)nullptr, "", "not a=properties\n\x01\x02=\n", asDirectory, disablesAll}) {
        inFreshProcess([properties] {
            enterScratchDir(properties == asDirectory ? nullptr : properties);
            if (properties == asDirectory) mkdir("config/tracelog.properties", 0755);
            const std::string out = stdoutOf([] {
                W_ERROR("an error");
                W_DEBUG("visible %d", 42);
            });
            check(hasLine(out, "visible 42"), "debug line missing");
            check(properties != disablesAll || out.find("an error") == std::string::npos,
                  "disabled logger wrote");
        });
    }
}

// Properties that append every INFO line, bare, to the named file.
std::string toFile(const std::string &file) {
    return "log4cplus.logger.yrlrobottrace=INFO, F\n"
           "log4cplus.appender.F=log4cplus::FileAppender\nlog4cplus.appender.F.File=./" +
           file +
           "\nlog4cplus.appender.F.layout=log4cplus::PatternLayout\n"
           "log4cplus.appender.F.layout.ConversionPattern=%m%n\n";
}

TEST(TraceLogSetup, ConfigurationIsReadOnceEvenUnderConcurrentFirstCalls) {
    inFreshProcess([] {
        enterScratchDir(toFile("first.log").c_str());
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&go, i] {
                while (!go) std::this_thread::yield();
                W_INFO("thread %d", i);
            });
        }
        go = true;
        for (auto &t : threads) t.join();
        std::ofstream("config/tracelog.properties") << toFile("second.log");
        W_INFO("after rewrite");

        std::ifstream log("first.log");
        const std::string first{std::istreambuf_iterator<char>(log), {}};
        const size_t started = first.find("log4cplus started.");
        check(started != std::string::npos && started == first.rfind("log4cplus started."),
              "configured more than once");
        for (int i = 0; i < 8; ++i) check(hasLine(first, "thread " + std::to_string(i)), "lost");
        check(hasLine(first, "after rewrite"), "later call not in the first log");
        check(access("second.log", F_OK) != 0, "configuration read again");
    });
}
