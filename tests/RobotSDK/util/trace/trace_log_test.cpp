#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
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

class TraceLog : public ::testing::Test {
protected:
    std::vector<TraceCapture::Event> events() const { return capture_.events(); }
    TraceCapture capture_;
};

bool hasLine(const std::string &text, const std::string &line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// Moves the process into a fresh directory holding the given properties text (or none).
void enterScratchDir(const char *properties) {
    char name[] = "/tmp/kezu_trace_XXXXXX";
    if (mkdtemp(name) == nullptr || chdir(name) != 0 || mkdir("config", 0755) != 0) std::exit(3);
    if (properties != nullptr) std::ofstream("config/tracelog.properties") << properties;
    // The fresh process ends through exit(), so the folder goes with it.
    static std::string dir;
    dir = name;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    });
}

void check(bool ok, const char *why) {
    if (!ok) {
        fprintf(stderr, "%s\n", why);
        std::exit(1);
    }
}

// The body runs in a new process, whose trace log does not exist yet.
void inFreshProcess(const std::function<void()> &body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT((body(), std::exit(0)), ::testing::ExitedWithCode(0), "");
}

}  // namespace

TEST_F(TraceLog, LevelsReachTheLoggerWithTheirLog4cplusLevelAndOthersWriteNothing) {
    W_INFO("info %d", 1);
    W_WARN("warn %s", "two");
    W_ERROR("error %.1f", 3.0);
    W_FATAL("fatal");
    CaptureStdout();
    getTraceLog()->printTrace(static_cast<LOG_LEVEL>(5), "five");
    getTraceLog()->printTrace(static_cast<LOG_LEVEL>(-1), "minus one");
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "");
    const std::vector<TraceCapture::Event> got = events();
    ASSERT_EQ(got.size(), 4u);
    const log4cplus::LogLevel levels[] = {20000, 30000, 40000, 50000};
    const char *texts[] = {"info 1", "warn two", "error 3.0", "fatal"};
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].level, levels[i]);
        EXPECT_EQ(got[i].message, texts[i]);
        // The recorded location is the trace log's own, not the caller's.
        EXPECT_NE(got[i].file.find("robottracelog.cpp"), std::string::npos) << got[i].file;
    }
}

TEST_F(TraceLog, LongMessagesAreCutAfter2047CharactersAndDebugGoesToStandardOutputOnly) {
    std::string longText(3000, 'x');
    longText[2046] = 'y';
    W_ERROR("%s", longText.c_str());
    CaptureStdout();
    W_DEBUG("%s", longText.c_str());
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), longText.substr(0, 2047) + "\n");
    ASSERT_EQ(events().size(), 1u);
    EXPECT_EQ(events()[0].message, longText.substr(0, 2047));
}

TEST(TraceLogTime, FieldsArePaddedWithZerosAndMillisecondsStopAt999) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::pair<timeval, const char *> cases[] = {
        {{1614834367, 41000}, "2021-03-04 05:06:07.041"},
        {{1614834367, 999999}, "2021-03-04 05:06:07.999"},
        {{1614834367, 0}, "2021-03-04 05:06:07.000"}};
    for (const auto &c : cases) {
        EXPECT_EQ(formatUsecTime(c.first), c.second);
    }
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
    const char *const cases[] = {nullptr, "", "not a=properties\n\x01\x02=\n", asDirectory,
                                 disablesAll};
    for (const char *properties : cases) {
        inFreshProcess([properties] {
            enterScratchDir(properties == asDirectory ? nullptr : properties);
            if (properties == asDirectory) mkdir("config/tracelog.properties", 0755);
            CaptureStdout();
            W_ERROR("an error");
            W_DEBUG("visible %d", 42);
            fflush(stdout);
            const std::string out = GetCapturedStdout();
            check(hasLine(out, "visible 42"), "debug line missing");
            check(properties != disablesAll || out.find("an error") == std::string::npos,
                  "disabled logger wrote");
        });
    }
}

TEST(TraceLogSetup, ConfigurationIsReadOnceEvenUnderConcurrentFirstCalls) {
    inFreshProcess([] {
        const char *properties =
            "log4cplus.logger.yrlrobottrace=INFO, F\n"
            "log4cplus.appender.F=log4cplus::FileAppender\n"
            "log4cplus.appender.F.File=./%s.log\n"
            "log4cplus.appender.F.layout=log4cplus::PatternLayout\n"
            "log4cplus.appender.F.layout.ConversionPattern=%%m%%n\n";
        char text[512];
        snprintf(text, sizeof text, properties, "first");
        enterScratchDir(text);

        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&go, i] {
                while (!go.load()) {
                }
                W_INFO("thread %d", i);
            });
        }
        go = true;
        for (auto &t : threads) t.join();

        snprintf(text, sizeof text, properties, "second");
        std::ofstream("config/tracelog.properties") << text;
        W_INFO("after rewrite");

        std::stringstream log;
        log << std::ifstream("first.log").rdbuf();
        const std::string first = log.str();
        const size_t started = first.find("log4cplus started.");
        check(started != std::string::npos && started == first.rfind("log4cplus started."),
              "configured more than once");
        for (int i = 0; i < 8; ++i) {
            check(hasLine(first, "thread " + std::to_string(i)), "thread line missing");
        }
        check(hasLine(first, "after rewrite"), "later call not in the first log");
        check(access("second.log", F_OK) != 0, "configuration read again");
    });
}
