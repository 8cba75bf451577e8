#include "loggedinservices.h"

namespace kezu_test {

kezu_sim::ControllerConfig quickControllerConfig() {
    kezu_sim::ControllerConfig config;
    config.pushIntervalMs = 10;
    config.travelScale = 0.05;
    return config;
}

LoggedInServices::LoggedInServices(const kezu_sim::ControllerConfig &config,
                                   const std::function<void(RobotControlServices &)> &beforeLogin,
                                   std::unique_ptr<RobotControlServices> services)
    : m_controller(new kezu_sim::KezuController(config)),
      m_services(services ? std::move(services) : std::make_unique<RobotControlServices>()) {
    if (beforeLogin) beforeLogin(*m_services);
    if (m_controller->start()) {
        m_loginResult =
            m_services->loginService("127.0.0.1", m_controller->port(), "kezu", "123456");
    }
}

LoggedInServices::~LoggedInServices() {
    m_services->logoutService();
    m_services.reset();
    m_controller->stop();
}

void LoggedInServicesTest::SetUp() {
    m_session.reset(new LoggedInServices(
        config(), [this](RobotControlServices &services) { beforeLogin(services); }));
    ASSERT_EQ(0, m_session->loginResult());
}

}  // namespace kezu_test
