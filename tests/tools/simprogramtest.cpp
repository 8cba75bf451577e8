#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "controllertestsupport.h"
#include "robotcommon.pb.h"

namespace {

using namespace kezu_test;

// Tests run in the build folder, where the program is built.
const char *const SIM_PROGRAM = "tools/kezu_controller_sim";

// The program as a child process whose standard output the test reads.
class SimProgram : public ::testing::Test {
protected:
    void start(std::vector<std::string> args) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char *> argv{const_cast<char *>(SIM_PROGRAM)};
            for (std::string &arg : args) {
                argv.push_back(&arg[0]);
            }
            argv.push_back(nullptr);
            execv(SIM_PROGRAM, argv.data());
            _exit(127);
        }
        close(out[1]);
        output = fdopen(out[0], "r");
    }

    std::string firstLine() {
        char line[128] = {0};
        return fgets(line, sizeof(line), output) != nullptr ? std::string(line) : std::string();
    }

    // Exit status, or -1 when the child does not end in time.
    int waitForExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        child = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void TearDown() override {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        if (output != nullptr) {
            fclose(output);
        }
    }

    pid_t child = -1;
    FILE *output = nullptr;
};

TEST_F(SimProgram, PrintsItsPortFirstServesAndEndsOnInterrupt) {
    start({"--port", "0", "--model", "4", "--push-ms", "10"});
    const int port = std::stoi(firstLine());
    ASSERT_GT(port, 0);
    RecordingClient client;
    client.setServerPort(port);
    ASSERT_EQ(client.connectRobotServer(), 0);
    ASSERT_TRUE(client.sendPackage(0, ""));  // an unreadable login still gets its reply
    ASSERT_TRUE(client.waitFor(0, 1, CONTROLLER_WAIT));
    kezu::robot::common::ProtoResponseRobotDhParam reply;
    ASSERT_TRUE(reply.ParseFromString(client.deliveries(0).at(0).body));
    EXPECT_EQ(reply.robottype(), 4);
    EXPECT_EQ(reply.dhparam().a3(), 0.252);
    ASSERT_EQ(kill(child, SIGINT), 0);
    EXPECT_EQ(waitForExit(CONTROLLER_WAIT), 0);
    EXPECT_TRUE(client.waitFor(EVENT_PACKAGE, 1, CONTROLLER_WAIT));
}

TEST_F(SimProgram, RefusesUnknownOptionsAndOutOfRangeValues) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--model", "6"},
                                          {"--port", "70000"},
                                          {"--push-ms", "0"},
                                          {"--travel-scale", "x"},
                                          {"--verbose", "1"},
                                          {"--port"}}) {
        start(args);
        EXPECT_EQ(firstLine(), "");
        EXPECT_EQ(waitForExit(CONTROLLER_WAIT), 2);
        fclose(output);
        output = nullptr;
    }
}

}  // namespace
