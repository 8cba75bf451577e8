#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include "globalutil.h"
#include "robottracelog.h"

using namespace kezu_robot_logtrace;

namespace {

struct Captured {
    log4cplus::LogLevel level;
    std::string message;
    std::string file;
};

// Keeps every event that reaches the trace logger.
class CapturingAppender : public log4cplus::Appender {
public:
    ~CapturingAppender() override { destructorImpl(); }
    void close() override {}
    std::vector<Captured> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

protected:
    void append(const log4cplus::spi::InternalLoggingEvent &event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({event.getLogLevel(), event.getMessage(), event.getFile()});
    }

private:
    std::mutex mutex_;
    std::vector<Captured> events_;
};

class TraceLog : public ::testing::Test {
protected:
    void SetUp() override {
        getTraceLog();  // configure first, so the configuration cannot drop our appender
        appender_ = log4cplus::SharedAppenderPtr(new CapturingAppender);
        logger().addAppender(appender_);
    }
    void TearDown() override { logger().removeAppender(appender_); }

    static log4cplus::Logger logger() { return log4cplus::Logger::getInstance("yrlrobottrace"); }
    std::vector<Captured> events() {
        return static_cast<CapturingAppender *>(appender_.get())->events();
    }

    log4cplus::SharedAppenderPtr appender_;
};

std::string readFile(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int countOccurrences(const std::string &text, const std::string &needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        ++n;
    }
    return n;
}

// Moves the process into a fresh directory holding the given properties text (or none).
std::string enterScratchDir(const char *properties) {
    char tmpl[] = "/tmp/kezu_trace_XXXXXX";
    std::string dir = mkdtemp(tmpl);
    if (properties != nullptr) {
        mkdir((dir + "/config").c_str(), 0755);
        std::ofstream(dir + "/config/tracelog.properties") << properties;
    }
    if (chdir(dir.c_str()) != 0) std::exit(3);
    return dir;
}

// Runs fn with standard output sent to a file and returns what was written.
template <typename Fn>
std::string captureStdout(Fn fn) {
    fflush(stdout);
    int saved = dup(1);
    int fd = open("stdout.txt", O_CREAT | O_TRUNC | O_WRONLY, 0644);
    dup2(fd, 1);
    close(fd);
    fn();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    return readFile("stdout.txt");
}

bool hasLine(const std::string &text, const std::string &line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

void expectInFreshProcess(void (*body)()) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(body(), ::testing::ExitedWithCode(0), "");
}

void fail(const char *why) {
    fprintf(stderr, "%s\n", why);
    std::exit(1);
}

}  // namespace

TEST_F(TraceLog, LevelsReachTheLoggerWithTheirLog4cplusLevel) {
    W_INFO("info %d", 1);
    W_WARN("warn %s", "two");
    W_ERROR("error %.1f", 3.0);
    W_FATAL("fatal");
    auto got = events();
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

TEST_F(TraceLog, DebugGoesToStandardOutputOnly) {
    testing::internal::CaptureStdout();
    W_DEBUG("debug line %d", 7);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "debug line 7\n");
    EXPECT_TRUE(events().empty());
}

TEST_F(TraceLog, LongMessagesAreCutAfter2047Characters) {
    std::string longText(3000, 'x');
    longText[2046] = 'y';
    W_ERROR("%s", longText.c_str());
    auto got = events();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message.size(), 2047u);
    EXPECT_EQ(got[0].message.back(), 'y');

    testing::internal::CaptureStdout();
    W_DEBUG("%s", longText.c_str());
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), longText.substr(0, 2047) + "\n");
}

TEST_F(TraceLog, LevelsOutsideTheEnumWriteNothing) {
    testing::internal::CaptureStdout();
    getTraceLog()->printTrace(static_cast<LOG_LEVEL>(5), "five");
    getTraceLog()->printTrace(static_cast<LOG_LEVEL>(-1), "minus one");
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(events().empty());
}

TEST(TraceLogTime, FieldsArePaddedWithZeros) {
    setenv("TZ", "UTC", 1);
    tzset();
    struct timeval tv = {1614834367, 41000};  // 2021-03-04 05:06:07 UTC
    EXPECT_EQ(formatUsecTime(tv), "2021-03-04 05:06:07.041");
    tv.tv_usec = 999999;
    EXPECT_EQ(formatUsecTime(tv), "2021-03-04 05:06:07.999");
    tv.tv_usec = 0;
    EXPECT_EQ(formatUsecTime(tv), "2021-03-04 05:06:07.000");
    struct timeval late = {1703980799, 500};  // 2023-12-30 23:59:59 UTC
    EXPECT_EQ(formatUsecTime(late), "2023-12-30 23:59:59.000");
}

TEST(TraceLogTime, ClockTextHasFixedShape) {
    const std::regex shape(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3})");
    for (int i = 0; i < 200; ++i) {
        std::string t = sysUsecTime();
        ASSERT_TRUE(std::regex_match(t, shape)) << t;
    }
}

// The tests below need a process whose trace log does not exist yet.

TEST(TraceLogSetup, DebugLinesSurviveAConfigurationThatDisablesEveryLogger) {
    expectInFreshProcess([] {
        enterScratchDir("log4cplus.rootLogger=OFF\nlog4cplus.logger.yrlrobottrace=OFF\n");
        std::string out = captureStdout([] {
            W_ERROR("an error");
            W_DEBUG("visible %d", 42);
        });
        if (!hasLine(out, "visible 42")) fail("debug line missing");
        if (out.find("an error") != std::string::npos) fail("disabled logger wrote");
        std::exit(0);
    });
}

TEST(TraceLogSetup, MissingEmptyOrUnreadableConfigurationNeverStopsLogging) {
    static const char *const kCases[] = {nullptr, "", "not a=properties\n\x01\x02=\n"};
    for (const char *properties : kCases) {
        static const char *current;
        current = properties;
        expectInFreshProcess([] {
            enterScratchDir(current);
            std::string out = captureStdout([] {
                W_INFO("info");
                W_FATAL("fatal");
                W_DEBUG("still here");
            });
            if (!hasLine(out, "still here")) fail("logging stopped");
            std::exit(0);
        });
    }
    expectInFreshProcess([] {
        std::string dir = enterScratchDir(nullptr);
        mkdir("config", 0755);
        mkdir("config/tracelog.properties", 0755);  // a directory cannot be read as a file
        std::string out = captureStdout([] {
            W_ERROR("error");
            W_DEBUG("still here");
        });
        if (!hasLine(out, "still here")) fail("logging stopped");
        std::exit(0);
    });
}

TEST(TraceLogSetup, ConfigurationIsReadOnceEvenUnderConcurrentFirstCalls) {
    expectInFreshProcess([] {
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

        std::string first = readFile("first.log");
        if (countOccurrences(first, "log4cplus started.") != 1) fail("configured more than once");
        for (int i = 0; i < 8; ++i) {
            if (!hasLine(first, "thread " + std::to_string(i))) fail("thread line missing");
        }
        if (!hasLine(first, "after rewrite")) fail("later call not in the first log");
        if (access("second.log", F_OK) == 0) fail("configuration read again");
        std::exit(0);
    });
}
