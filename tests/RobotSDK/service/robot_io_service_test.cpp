#include <cmath>
#include <cstring>
#include <thread>

#include "robotioservice.h"
#include "servicetests.h"

namespace {

using namespace servicetests;
using kz::RobotIoDesc;
using kz::RobotIoType;
using Points = std::vector<std::string>;

constexpr int kGetBoardAllDI = 41, kGetBoardAllDO = 42, kGetBoardAllAI = 43, kGetBoardAllAO = 44;
constexpr int kGetBoardOneDI = 46, kGetToolAllDigital = 57;
const kezu_sim::ReplyFault kControllerError{std::chrono::milliseconds(0), false, 1};

// Each entry as "name@address=value", the value left out where it is -1.0.
Points pointsOf(const std::vector<RobotIoDesc> &list) {
    Points out;
    for (const RobotIoDesc &d : list) {
        std::string s = std::string(d.ioName) + "@" + std::to_string(d.ioAddr);
        if (d.ioValue != -1.0) s += "=" + std::to_string(d.ioValue).substr(0, 4);
        out.push_back(s);
    }
    return out;
}

// Names whose last digit rises with the address: {"SI0", 0, 2, 8} gives "SI00@8", "SI01@9".
struct Run {
    const char *prefix;
    int firstDigit, count, firstAddr;
};
Points runs(std::initializer_list<Run> list, Points out = {}) {
    for (const Run &r : list) {
        for (int i = 0; i < r.count; ++i) {
            out.push_back(r.prefix + std::to_string(r.firstDigit + i) + "@" +
                          std::to_string(r.firstAddr + i));
        }
    }
    return out;
}

class IoService : public kezu_test::LoggedInServicesTest {
protected:
    void SetUp() override {
        LoggedInServicesTest::SetUp();
        if (HasFatalFailure()) return;
        io_.reset(new RobotIoService(&services()));
        controller().clearReceived();
    }
    void TearDown() override {
        io_.reset();
        LoggedInServicesTest::TearDown();
    }

    Strings errorLines() const { return servicetests::errorLines(trace_); }
    size_t sent(int commandType) { return controller().received(commandType).size(); }

    std::unique_ptr<RobotIoService> io_;
    TraceCapture trace_;
};

TEST_F(IoService, ConfigurationListsEachKindInByteOrderOfTheNames) {
    const std::vector<std::pair<RobotIoType, Points>> cases = {
        // clang-format off
        {kz::RobotBoardControllerDI, runs({{"CI0", 0, 4, 16}, {"CI1", 0, 4, 20}, {"LI0", 0, 6, 24}, {"SI0", 0, 8, 0}, {"SI1", 0, 8, 8}})},
        {kz::RobotBoardControllerDO, runs({{"CO0", 0, 4, 16}, {"CO1", 0, 4, 20}, {"LO0", 0, 4, 24}, {"SO0", 0, 8, 0}, {"SO1", 0, 8, 8}})},
        {kz::RobotBoardControllerAI, {}},
        {kz::RobotBoardControllerAO, {}},
        {kz::RobotBoardUserDI, runs({{"F", 1, 6, 30}, {"U_DI_0", 0, 8, 36}, {"U_DI_1", 0, 8, 44}})},
        {kz::RobotBoardUserDO, runs({{"U_DO_0", 0, 8, 32}, {"U_DO_1", 0, 8, 40}})},
        {kz::RobotBoardUserAI, runs({{"VI", 0, 4, 0}})},
        {kz::RobotBoardUserAO, runs({{"CO", 0, 2, 2}, {"VO", 0, 2, 0}})},
        // clang-format on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        std::vector<RobotIoDesc> list(3);  // stale content must go
        ASSERT_EQ(0, io_->getBoardIOConfig({c.first}, list));
        EXPECT_EQ(c.second, pointsOf(list));  // every value -1.0
        for (const RobotIoDesc &d : list) {
            EXPECT_STREQ(d.ioName, d.ioId);
            EXPECT_EQ(c.first, d.ioType);
        }
    }
    std::vector<RobotIoDesc> list;
    ASSERT_EQ(0,
              io_->getBoardIOConfig(
                  {kz::RobotBoardUserAI, kz::RobotBoardControllerAO, kz::RobotBoardUserAI}, list));
    EXPECT_EQ(runs({{"VI", 0, 4, 0}, {"VI", 0, 4, 0}}), pointsOf(list));
    EXPECT_TRUE(controller().received().empty());  // the tables are the SDK's own
}

TEST_F(IoService, ValueListReadsMinusOneBeyondTheControllersList) {
    controller().limitIoList(kGetBoardAllDI, 40);
    for (int addr : {31, 39, 40}) controller().setBoardDI(addr, 1);  // F2, U_DI_03, U_DI_04
    std::vector<RobotIoDesc> list;
    ASSERT_EQ(0, io_->getBoardIOStatus({kz::RobotBoardUserDI}, list));
    EXPECT_EQ(
        runs({{"U_DI_0", 4, 4, 40}, {"U_DI_1", 0, 8, 44}},
             {"F1@30=0.00", "F2@31=1.00", "F3@32=0.00", "F4@33=0.00", "F5@34=0.00", "F6@35=0.00",
              "U_DI_00@36=0.00", "U_DI_01@37=0.00", "U_DI_02@38=0.00", "U_DI_03@39=1.00"}),
        pointsOf(list));
}

TEST_F(IoService, ValueListTakesEachKindFromTheListOfItsDirection) {
    controller().setBoardDI(16, 1);  // CI00
    controller().setBoardAI(1, 2.75f);
    ASSERT_EQ(0, io_->setBoardIOStatus(kz::RobotBoardControllerDO, "LO03", 1.0));
    ASSERT_EQ(0, io_->setBoardIOStatus(kz::RobotBoardUserAO, "CO1", 0.25));
    std::vector<RobotIoDesc> list;
    ASSERT_EQ(0, io_->getBoardIOStatus({kz::RobotBoardUserAO, kz::RobotBoardUserAI,
                                        kz::RobotBoardControllerDI, kz::RobotBoardControllerDO},
                                       list));
    const Points points = pointsOf(list);
    ASSERT_EQ(4u + 4u + 30u + 28u, points.size());
    EXPECT_EQ((Points{"CO0@2=0.00", "CO1@3=0.25", "VO0@0=0.00", "VO1@1=0.00", "VI0@0=0.00",
                      "VI1@1=2.75", "VI2@2=0.00", "VI3@3=0.00", "CI00@16=1.00"}),
              Points(points.begin(), points.begin() + 9));
    EXPECT_EQ("LO03@27=1.00", points[4 + 4 + 30 + 11]);
    EXPECT_EQ(kz::RobotBoardControllerDO, list.back().ioType);
}

TEST_F(IoService, ValueListKeepsKindsBeforeAnUnknownKindAndEmptiesOnAFailedRequest) {
    std::vector<RobotIoDesc> list;
    EXPECT_EQ(kz::ErrCode_ParamError,
              io_->getBoardIOStatus({kz::RobotBoardUserDI, static_cast<RobotIoType>(12)}, list));
    EXPECT_EQ(22u, list.size());
    EXPECT_EQ(Points{"sdk log: Call getBoardIOStatus RobotIoType not Exist."}, errorLines());
    controller().clearReceived();
    controller().setReplyFault(kGetBoardAllAI, kControllerError);
    EXPECT_EQ(kz::ErrCode_ResponseReturnError, io_->getBoardIOStatus({kz::RobotBoardUserDI}, list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ((std::vector<size_t>{1, 1, 1, 0}),
              (std::vector<size_t>{sent(kGetBoardAllDI), sent(kGetBoardAllDO), sent(kGetBoardAllAI),
                                   sent(kGetBoardAllAO)}));
}

TEST_F(IoService, SinglePointsReadByNameAndByAddress) {
    controller().setBoardDI(16, 1);  // CI00, the controller's online-mode input
    controller().setBoardAI(3, 1.5f);
    double di = -7.0, user = -7.0, ai = -7.0;
    ASSERT_EQ(0, io_->getBoardIOStatus(kz::RobotBoardControllerDI, std::string("CI00"), di));
    ASSERT_EQ(0, io_->getBoardIOStatus(kz::RobotBoardUserDI, 36, user));
    ASSERT_EQ(0, io_->getBoardIOStatus(kz::RobotBoardUserAI, std::string("VI3"), ai));
    EXPECT_EQ((std::vector<double>{1.0, 0.0, 1.5}), (std::vector<double>{di, user, ai}));
    // A reply of code 0 that holds no record is a failure, not a reading.
    controller().limitIoList(kGetBoardOneDI, 0);
    di = 5.0;
    EXPECT_EQ(kz::ErrCode_ResolveResponseFailed,
              io_->getBoardIOStatus(kz::RobotBoardControllerDI, std::string("CI00"), di));
    EXPECT_EQ(5.0, di);
}

TEST_F(IoService, DigitalOutputIsOnOnlyAboveOneHalf) {
    const std::vector<std::pair<double, double>> steps = {
        {0.6, 1.0}, {0.5, 0.0}, {1.0, 1.0}, {NAN, 0.0}, {0.5000001, 1.0}, {-3.0, 0.0}};
    for (const auto &s : steps) {
        SCOPED_TRACE(s.first);
        ASSERT_EQ(0, io_->setBoardIOStatus(kz::RobotBoardUserDO, std::string("U_DO_00"), s.first));
        double value = -7.0;
        ASSERT_EQ(0, io_->getBoardIOStatus(kz::RobotBoardUserDO, 32, value));
        EXPECT_EQ(s.second, value);
    }
}

TEST_F(IoService, TableChecksRefuseWithTheirOwnLogLineAndSendNothing) {
    using S = std::string;
    using A = kz::ToolDigitalIOAddr;
    double v = 42.0;
    std::vector<RobotIoDesc> config(1);
    const std::vector<std::pair<std::function<int()>, const char *>> refusals = {
        // clang-format off
        {[&] { return io_->getBoardIOConfig({kz::RobotBoardControllerDI, kz::RobotToolDO}, config); }, "sdk log: Call getBoardIOConfig IO type error."},
        {[&] { return io_->setBoardIOStatus(kz::RobotBoardControllerDI, S("SI00"), 1); }, "sdk log: Call setBoardIOStatus, type not exist."},
        {[&] { return io_->setBoardIOStatus(kz::RobotBoardUserDO, S("U_DI_00"), 1); }, "sdk log: Call setBoardIOStatus, type addr mismatch."},
        {[&] { return io_->setBoardIOStatus(kz::RobotBoardControllerDO, 28, 1); }, "sdk log: Call setBoardIOStatusByaddr DO, type addr mismatch."},
        {[&] { return io_->setBoardIOStatus(kz::RobotBoardControllerAO, 0, 1); }, "sdk log: Call setBoardIOStatusByaddr AO,  type addr mismatch."},
        {[&] { return io_->setBoardIOStatus(kz::RobotBoardUserAO, 4, 1); }, "sdk log: Call setBoardIOStatusByaddr AO,  type addr mismatch."},
        {[&] { return io_->setBoardIOStatus(kz::RobotBoardUserDI, 36, 1); }, "sdk log: Call setBoardIOStatusByaddr, type invalid."},
        {[&] { return io_->getBoardIOStatus(kz::RobotBoardUserAI, 4, v); }, "sdk log:  Call getBoardIOStatus, type addr mismatch."},
        {[&] { return io_->getBoardIOStatus(kz::RobotBoardControllerAI, 0, v); }, "sdk log:  Call getBoardIOStatus, type addr mismatch."},
        {[&] { return io_->getBoardIOStatus(kz::RobotBoardUserDO, S("U_DI_00"), v); }, "sdk log: Call getBoardIOStatus, type name mismatch."},
        {[&] { return io_->getBoardIOStatus(kz::RobotToolDI, S("T_DI/O_00"), v); }, "sdk log: Call getBoardIOStatus, type name mismatch."},
        {[&] { return io_->setToolDigitalIOType(static_cast<A>(4), kz::IO_OUT); }, "sdk log: setToolDigitalIOType addr error."},
        {[&] { return io_->getToolIoStatusByName("T_POWER", v); }, "sdk log: Call getToolIoStatus name error."},
        {[&] { return io_->setToolDOStatus(S("T_AI_00"), kz::IO_STATUS_VALID); }, "sdk log: setToolDOStatus name not exist."},
        // One byte carries the address: 256 would switch output 0.
        {[&] { return io_->setToolDOStatus(static_cast<A>(256), kz::IO_STATUS_VALID); }, "sdk log: setToolDOStatus addr error."},
        // clang-format on
    };
    Points expected;
    for (const auto &r : refusals) {
        SCOPED_TRACE(r.second);
        EXPECT_EQ(kz::ErrCode_ParamError, r.first());
        expected.push_back(r.second);
        ASSERT_EQ(expected, errorLines());
    }
    EXPECT_EQ(42.0, v);
    EXPECT_TRUE(config.empty());
    EXPECT_TRUE(controller().received().empty());
}

TEST_F(IoService, ToolListKindsFollowTheTypeBytes) {
    ASSERT_EQ(0, io_->setToolPowerTypeAndDigitalIOType(kz::OUT_12V, kz::IO_IN, kz::IO_IN,
                                                       kz::IO_OUT, kz::IO_OUT));
    ASSERT_EQ(0, io_->setToolDOStatus(kz::TOOL_DIGITAL_IO_3, kz::IO_STATUS_VALID));
    std::vector<RobotIoDesc> list(1);
    ASSERT_EQ(0, io_->getAllToolDigitalIOStatus(list));
    EXPECT_EQ(
        (Points{"T_DI/O_00@0=0.00", "T_DI/O_01@1=0.00", "T_DI/O_02@2=0.00", "T_DI/O_03@3=1.00"}),
        pointsOf(list));
    std::vector<RobotIoType> kinds;
    for (const RobotIoDesc &d : list) kinds.push_back(d.ioType);
    EXPECT_EQ((std::vector<RobotIoType>{kz::RobotToolDI, kz::RobotToolDI, kz::RobotToolDO,
                                        kz::RobotToolDO}),
              kinds);
    ASSERT_EQ(0, io_->setToolDigitalIOType(kz::TOOL_DIGITAL_IO_0, kz::IO_OUT));
    ASSERT_EQ(0, io_->getAllToolDigitalIOStatus(list));
    EXPECT_EQ(kz::RobotToolDO, list.at(0).ioType);
}

TEST_F(IoService, ToolPointsReadByName) {
    ASSERT_EQ(0, io_->setToolDOStatus(std::string("T_DI/O_02"), kz::IO_STATUS_VALID));
    controller().setToolAI(1, 3.25f);
    std::vector<double> values;
    for (const char *name :
         {"T_DI/O_00", "T_DI/O_01", "T_DI/O_02", "T_DI/O_03", "T_AI_00", "T_AI_01"}) {
        double value = -7.0;
        EXPECT_EQ(0, io_->getToolIoStatusByName(name, value)) << name;
        values.push_back(value);
    }
    EXPECT_EQ((std::vector<double>{0.0, 0.0, 1.0, 0.0, 0.0, 3.25}), values);
    std::vector<RobotIoDesc> list;
    ASSERT_EQ(0, io_->getAllToolAIStatus(list));
    EXPECT_EQ((Points{"T_AI_00@0=0.00", "T_AI_01@1=3.25"}), pointsOf(list));
    EXPECT_EQ(kz::RobotToolAI, list.at(1).ioType);
}

// A point missing from a short list, or a failed list read, is a failure, not a reading.
TEST_F(IoService, ToolReadFailuresLeaveTheValueAlone) {
    controller().limitIoList(kGetToolAllDigital, 2);
    std::vector<RobotIoDesc> list;
    ASSERT_EQ(0, io_->getAllToolDigitalIOStatus(list));
    EXPECT_EQ((Points{"T_DI/O_00@0=0.00", "T_DI/O_01@1=0.00"}), pointsOf(list));
    double value = 42.0;
    EXPECT_EQ(kz::ErrCode_ResolveResponseFailed, io_->getToolIoStatusByName("T_DI/O_03", value));
    EXPECT_EQ(42.0, value);
    EXPECT_EQ(0, io_->getToolIoStatusByName("T_DI/O_01", value));
    EXPECT_EQ(0.0, value);
    controller().setReplyFault(kGetToolAllDigital, kControllerError);
    EXPECT_EQ(kz::ErrCode_ResponseReturnError, io_->getAllToolDigitalIOStatus(list));
    EXPECT_TRUE(list.empty());
    value = 42.0;
    EXPECT_EQ(kz::ErrCode_ResponseReturnError, io_->getToolIoStatusByName("T_DI/O_00", value));
    EXPECT_EQ(42.0, value);
}

TEST_F(IoService, ConcurrentCallersShareOneServiceAndItsConnection) {
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t, &failures] {
            for (int i = 0; i < 20; ++i) {
                std::vector<RobotIoDesc> list;
                double value = 0.0;
                failures[t] += io_->getBoardIOConfig({kz::RobotBoardUserDO}, list) != 0;
                failures[t] += io_->getBoardIOStatus({kz::RobotBoardUserAI}, list) != 0;
                failures[t] += list.size() != 4;
                failures[t] += io_->setBoardIOStatus(kz::RobotBoardUserDO, 32 + t, i % 2) != 0;
                failures[t] += io_->getToolIoStatusByName("T_AI_00", value) != 0;
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(std::vector<int>(4, 0), failures);
}

TEST(RobotIoDescRecord, IsZeroedAndNamesAreCutAfter31Characters) {
    RobotIoDesc desc;
    std::memset(&desc, 0x5a, sizeof(desc));
    RobotIoService::initRobotIoDesc(desc, "id", kz::RobotToolAI, std::string(40, 'N'), 7, 0.5);
    EXPECT_EQ(std::string("id") + std::string(30, '\0'), std::string(desc.ioId, 32));
    EXPECT_EQ(std::string(31, 'N') + '\0', std::string(desc.ioName, 32));
    EXPECT_EQ(kz::RobotToolAI, desc.ioType);
    EXPECT_EQ(7, desc.ioAddr);
    EXPECT_EQ(0.5, desc.ioValue);
}

}  // namespace
