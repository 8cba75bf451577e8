#ifndef RSTESTSUPPORT_H
#define RSTESTSUPPORT_H

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "kezucontroller.h"
#include "rsrobotcontrol.h"
#include "tracecapture.h"

// Every context a test makes is gone after it, whatever the test did.
class RsContextTest : public ::testing::Test {
protected:
    void TearDown() override { rs_uninitialize(); }

    static RSHD create() {
        RSHD handle = 0;
        EXPECT_EQ(0, rs_create_context(&handle));
        return handle;
    }

    // A handle that no live context holds.
    static RSHD deadHandle() {
        RSHD handle = create();
        EXPECT_EQ(0, rs_destory_context(handle));
        return handle;
    }

    static void setNextHandle(RSHD next) {
        pthread_mutex_lock(&g_mutex);
        g_res = next;
        pthread_mutex_unlock(&g_mutex);
    }

    static long countLines(const TraceCapture &trace, const std::string &line) {
        std::vector<std::string> lines = trace.messages();
        return std::count(lines.begin(), lines.end(), line);
    }
};

// One context logged in to a counterpart on a loopback port picked at run time.
class RsControllerTest : public RsContextTest {
protected:
    void SetUp() override {
        config.travelScale = 0.05;
        config.pushIntervalMs = 20;
        startController();
        handle = create();
        ASSERT_EQ(0, rs_login(handle, "127.0.0.1", controller->port()));
    }

    void TearDown() override {
        rs_uninitialize();
        controller->stop();
    }

    void startController() {
        controller.reset(new kezu_sim::KezuController(config));
        ASSERT_TRUE(controller->start());
    }

    kezu_sim::ControllerConfig config;
    std::unique_ptr<kezu_sim::KezuController> controller;
    RSHD handle = 0;
};

// Command types of the controller link that the tests look for.
enum { kGetDiagnosis = 15, kMoveRequest = 22, kOfflineTrackAppend = 71 };

const std::chrono::seconds kBound(10);

#endif
