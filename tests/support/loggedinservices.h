#ifndef LOGGEDINSERVICES_H
#define LOGGEDINSERVICES_H

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "kezucontroller.h"
#include "robotcontrolservices.h"

namespace kezu_test {

// Short pushes and quick simulated moves.
kezu_sim::ControllerConfig quickControllerConfig();

// A counterpart and a RobotControlServices logged in to it. The services log out (ending
// their receive thread) before the counterpart stops.
class LoggedInServices {
public:
    // beforeLogin runs before the link exists: the place to register receivers, which the
    // receive thread reads without a lock. services: a derived engine to log in with.
    explicit LoggedInServices(
        const kezu_sim::ControllerConfig &config = quickControllerConfig(),
        const std::function<void(RobotControlServices &)> &beforeLogin = nullptr,
        std::unique_ptr<RobotControlServices> services = nullptr);
    ~LoggedInServices();

    LoggedInServices(const LoggedInServices &) = delete;
    LoggedInServices &operator=(const LoggedInServices &) = delete;

    // 0 when the counterpart started and the login succeeded.
    int loginResult() const { return m_loginResult; }
    kezu_sim::KezuController &controller() { return *m_controller; }
    RobotControlServices &services() { return *m_services; }

private:
    std::unique_ptr<kezu_sim::KezuController> m_controller;
    std::unique_ptr<RobotControlServices> m_services;
    int m_loginResult = -1;
};

// Logged in before each test; override config() for another counterpart set-up.
class LoggedInServicesTest : public ::testing::Test {
protected:
    virtual kezu_sim::ControllerConfig config() const { return quickControllerConfig(); }
    virtual void beforeLogin(RobotControlServices &) {}

    void SetUp() override;
    void TearDown() override { m_session.reset(); }

    kezu_sim::KezuController &controller() { return m_session->controller(); }
    RobotControlServices &services() { return m_session->services(); }

private:
    std::unique_ptr<LoggedInServices> m_session;
};

}  // namespace kezu_test

#endif
