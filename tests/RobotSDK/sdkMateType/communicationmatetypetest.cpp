#include "communicationmatetype.h"

#include "arrayreleasewatch.h"

#include <gtest/gtest.h>

#include <sys/time.h>

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <thread>
#include <type_traits>
#include <vector>

using CommandType = CommunicationMateType::CommunicationCommandType;

static_assert(sizeof(CommandType) == 4, "command type is 32 bits on the link");
static_assert(CommunicationMateType::CommunicationTypeCount == 87 &&
                  CommunicationMateType::CommunicationType_Unknown == 88,
              "count and unknown marker");
static_assert(offsetof(CommunicationRequest, m_socketFd) <
                      offsetof(CommunicationRequest, m_textPtr) &&
                  offsetof(CommunicationRequest, m_textPtr) <
                      offsetof(CommunicationRequest, m_textLength) &&
                  offsetof(CommunicationRequest, m_textLength) <
                      offsetof(CommunicationRequest, m_commandType),
              "request field order");
static_assert(offsetof(CommunicationResponse, m_textLength) <
                      offsetof(CommunicationResponse, m_mutex) &&
                  offsetof(CommunicationResponse, m_mutex) <
                      offsetof(CommunicationResponse, m_conditon) &&
                  offsetof(CommunicationResponse, m_conditon) <
                      offsetof(CommunicationResponse, m_commandType),
              "response field order");
static_assert(!std::is_copy_constructible<CommunicationRequest>::value &&
                  !std::is_copy_assignable<CommunicationRequest>::value &&
                  !std::is_copy_constructible<CommunicationResponse>::value &&
                  !std::is_copy_assignable<CommunicationResponse>::value,
              "an owned body must not be released twice");

namespace {

struct NameRow {
    int type;
    const char *name;
};

const NameRow kExpectedNames[] = {
    {0, "CommunicationType_Login"},
    {1, "CommunicationType_Logout"},
    {2, "CommunicationType_Event"},
    {3, "CommunicationType_RealTimeJointStatus"},
    {4, "CommunicationType_EnableRealTimeJointStatusPush"},
    {5, "CommunicationType_DisableRealTimeJointStatusPush"},
    {6, "CommunicationType_GetRobotJointStatus"},
    {7, "CommunicationType_RealTimeRobotJointAngle"},
    {8, "CommunicationType_EnableRealTimeJointAnglePush"},
    {9, "CommunicationType_DisableRealTimeJointAnglePush"},
    {10, "CommunicationType_GetRobotJointAngle"},
    {11, "CommunicationType_RealTimeRobotEndSpeed"},
    {12, "CommunicationType_EnableRealTimeEndSpeedPush"},
    {13, "CommunicationType_DisableRealTimeEndSpeedPush"},
    {14, "CommunicationType_RealTimeRobotDiagnosis"},
    {15, "CommunicationType_GetRobotDiagnosis"},
    {16, "CommunicationType_RobotStartup"},
    {17, "CommunicationType_RobotShutdown"},
    {18, "CommunicationType_RobotControl"},
    {19, "CommunicationType_CollisionRecover"},
    {20, "CommunicationType_SetRobotPowerStatus"},
    {21, "CommunicationType_SetRobotReleaseBrake"},
    {22, "CommunicationType_RobotMove"},
    {23, "CommunicationType_RobotTeachMoveStart"},
    {24, "CommunicationType_RobotTeachMoveStop"},
    {25, "CommunicationType_RobotMoveControl"},
    {26, "CommunicationType_GetRobotCurrentState"},
    {27, "CommunicationType_SetRobotTcpParam"},
    {28, "CommunicationType_GetRobotTcpParam"},
    {29, "CommunicationType_SetToolDynamicsParam"},
    {30, "CommunicationType_GetToolDynamicsParam"},
    {31, "CommunicationType_SetToolKinematicsParam"},
    {32, "CommunicationType_GetToolKinematicsParam"},
    {33, "CommunicationType_SetRobotMode"},
    {34, "CommunicationType_GetRobotMode"},
    {35, "CommunicationType_GetRobotGravityComponent"},
    {36, "CommunicationType_GetRobotCollisionCurrent"},
    {37, "CommunicationType_GetIsRealRobotExist"},
    {38, "CommunicationType_GetDeviceInfo"},
    {39, "CommunicationType_SetMaxAcc"},
    {40, "CommunicationType_SetRobotCollisionGrade"},
    {41, "CommunicationType_GetInterfaceBoardAllDIData"},
    {42, "CommunicationType_GetInterfaceBoardAllDOData"},
    {43, "CommunicationType_GetInterfaceBoardAllAIData"},
    {44, "CommunicationType_GetInterfaceBoardAllAOData"},
    {45, "CommunicationType_GetInterfaceBoardAllData"},
    {46, "CommunicationType_GetInterfaceBoardOneDIStatus"},
    {47, "CommunicationType_GetInterfaceBoardOneDOStatus"},
    {48, "CommunicationType_GetInterfaceBoardOneAIStatus"},
    {49, "CommunicationType_GetInterfaceBoardOneAOStatus"},
    {50, "CommunicationType_SetInterfaceBoardOneDOStatus"},
    {51, "CommunicationType_SetInterfaceBoardOneAOStatus"},
    {52, "CommunicationType_GetToolPowerVoltageType"},
    {53, "CommunicationType_SetToolPowerVoltageType"},
    {54, "CommunicationType_SetToolPowerTypeAndDigitalIOType"},
    {55, "CommunicationType_SetToolDigitalIOType"},
    {56, "CommunicationType_GetToolPowerVoltage"},
    {57, "CommunicationType_GetToolAllDigitalIOStatus"},
    {58, "CommunicationType_GetToolAllAIStatus"},
    {59, "CommunicationType_SetToolDigitalIOStatus"},
    {60, "CommunicationType_SetRobotAtOriginPose"},
    {61, "CommunicationType_GetRobotSafetyConfig"},
    {62, "CommunicationType_SetRobotSafetyConfig"},
    {63, "CommunicationType_GetOrpeSafetyStatus"},
    {64, "CommunicationType_SafetyIoAbout_setRobotOrpePause"},
    {65, "CommunicationType_SafetyIoAbout_setRobotOrpeStop"},
    {66, "CommunicationType_SafetyIoAbout_setRobotOrpeError"},
    {67, "CommunicationType_SafetyIoAbout_clearSystemEmergencyStop"},
    {68, "CommunicationType_SafetyIoAbout_clearReducedModeError"},
    {69, "CommunicationType_SafetyIoAbout_robotSafetyguardResetSucc"},
    {70, "CommunicationType_SystemHalt"},
    {71, "CommunicationType_OfflineTrackWaypointAppend"},
    {72, "CommunicationType_OfflineTrackWaypointClear"},
    {73, "CommunicationType_OfflineTrackMoveStartup"},
    {74, "CommunicationType_OfflineTrackMoveStop"},
    {75, "CommunicationType_EnterTcp2CanbusMode"},
    {76, "CommunicationType_LeaveTcp2CanbusMode"},
    {77, "CommunicationType_SetRobotPosData2Canbus"},
    {78, "CommunicationType_StartupOfflineExcitTraj"},
    {79, "CommunicationType_GetDynIdentifyResults"},
    {80, "CommunicationType_RobotHandShake"},
    {81, "CommunicationType_GetToolAllIoStatus"},
    {82, "CommunicationType_UpdateRobotBoardFirmware"},
    {83, "CommunicationType_FirmwareUpdateResult"},
    {84, "CommunicationType_GetRobotEthernetDeviceName"},
    {85, "CommunicationType_RobotMoveFastStop"},
    {86, "CommunicationType_RobotSetJointOffset"},
};

}  // namespace

TEST(CommandTypeNames, EveryTypeHasItsEnumeratorName) {
    ASSERT_EQ(std::size(kExpectedNames), 87u);
    for (std::size_t i = 0; i < std::size(kExpectedNames); ++i) {
        const NameRow &row = kExpectedNames[i];
        SCOPED_TRACE(row.type);
        EXPECT_EQ(row.type, static_cast<int>(i));
        EXPECT_EQ(CommunicationMateType::getCommandDescByType(static_cast<CommandType>(row.type)),
                  row.name);
    }
}

TEST(CommandTypeNames, ValuesWithoutARowAreUnknow) {
    const int outside[] = {87, 88, 89, -1, 1000, INT_MIN, INT_MAX};
    for (int value : outside) {
        SCOPED_TRACE(value);
        EXPECT_EQ(CommunicationMateType::getCommandDescByType(static_cast<CommandType>(value)),
                  "unknow");
    }
}

TEST(CommandTypeNames, ConcurrentFirstUseYieldsOneTable) {
    constexpr int kThreads = 8;
    std::vector<CommunicationMateType *> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&seen, i] {
            seen[i] = CommunicationMateType::instance();
            EXPECT_EQ(CommunicationMateType::getCommandDescByType(
                          CommunicationMateType::CommunicationType_RobotMove),
                      "CommunicationType_RobotMove");
        });
    }
    for (std::thread &t : threads) {
        t.join();
    }
    ASSERT_NE(seen[0], nullptr);
    EXPECT_EQ(std::set<CommunicationMateType *>(seen.begin(), seen.end()).size(), 1u);
}

namespace {

// A body as the body builder hands it over: an array the record will own.
char *makeBody(const char *text, int *length) {
    *length = static_cast<int>(std::strlen(text)) + 1;
    std::unique_ptr<char[]> body(new char[*length]);
    std::memcpy(body.get(), text, *length);
    return body.release();
}

template <typename Record>
void expectEmpty(const Record &record) {
    EXPECT_EQ(record.m_socketFd, -1);
    EXPECT_EQ(record.m_textPtr, nullptr);
    EXPECT_EQ(record.m_textLength, 0);
    EXPECT_EQ(record.m_commandType, CommunicationMateType::CommunicationType_Unknown);
}

}  // namespace

// Shared by requests and replies: both own the body they are given.
template <typename Record>
class PackageRecordOwnership : public ::testing::Test {
protected:
    void TearDown() override { watchArrayRelease(nullptr); }

    // Hands a fresh watched body to the record.
    char *fill(Record &record, const char *text = "body") {
        int length = 0;
        char *body = makeBody(text, &length);
        watchArrayRelease(body);
        record.setProperty(7, CommunicationMateType::CommunicationType_RobotMove, body, length);
        return body;
    }
};

using PackageRecords = ::testing::Types<CommunicationRequest, CommunicationResponse>;
TYPED_TEST_SUITE(PackageRecordOwnership, PackageRecords);

TYPED_TEST(PackageRecordOwnership, StartsEmpty) {
    TypeParam record;
    expectEmpty(record);
}

TYPED_TEST(PackageRecordOwnership, SetPropertyStoresWhatItIsGiven) {
    TypeParam record;
    char *body = this->fill(record, "payload");
    EXPECT_EQ(record.m_socketFd, 7);
    EXPECT_EQ(record.m_textPtr, body);
    EXPECT_EQ(record.m_textLength, 8);
    EXPECT_EQ(record.m_commandType, CommunicationMateType::CommunicationType_RobotMove);
    EXPECT_STREQ(record.m_textPtr, "payload");
}

TYPED_TEST(PackageRecordOwnership, DestroyReleasesTheBodyOnceAndEmpties) {
    TypeParam record;
    this->fill(record);
    record.destroy();
    EXPECT_EQ(watchedArrayReleases(), 1);
    expectEmpty(record);
    record.destroy();
    EXPECT_EQ(watchedArrayReleases(), 1);
    expectEmpty(record);
}

TYPED_TEST(PackageRecordOwnership, DestroyOnEmptyReleasesNothing) {
    TypeParam record;
    const long releasesBefore = allArrayReleases();
    record.destroy();
    record.destroy();
    EXPECT_EQ(allArrayReleases(), releasesBefore);
    expectEmpty(record);
}

TYPED_TEST(PackageRecordOwnership, EndingTheRecordReleasesItsBody) {
    {
        TypeParam record;
        this->fill(record);
        EXPECT_EQ(watchedArrayReleases(), 0);
    }
    EXPECT_EQ(watchedArrayReleases(), 1);
}

TYPED_TEST(PackageRecordOwnership, SetPropertyLeavesAHeldBodyAlone) {
    TypeParam record;
    std::unique_ptr<char[]> first(this->fill(record, "first"));
    record.setProperty(-1, CommunicationMateType::CommunicationType_Unknown, nullptr, 0);
    EXPECT_EQ(watchedArrayReleases(), 0);
    EXPECT_STREQ(first.get(), "first");
}

TEST(CommonResultResponse, StartsWithCodeZeroAndNoMessage) {
    CommunicationCommonResultResponse result;
    EXPECT_EQ(result.m_errorCode, 0);
    EXPECT_TRUE(result.m_errorMsg.empty());
}

namespace {

timespec deadlineAfterSeconds(int seconds) {
    timeval now;
    gettimeofday(&now, nullptr);
    return timespec{now.tv_sec + seconds, now.tv_usec * 1000L};
}

// Waits on the slot's condition until ready() holds; false when the bound passes first.
template <typename Predicate>
bool waitOnSlot(CommunicationResponse &slot, Predicate ready) {
    const timespec deadline = deadlineAfterSeconds(10);
    while (!ready()) {
        if (pthread_cond_timedwait(&slot.m_conditon, &slot.m_mutex, &deadline) != 0 && !ready()) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(ReplySlot, EmptiedAndRefilledWhileLocked) {
    CommunicationResponse slot;
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(pthread_mutex_lock(&slot.m_mutex), 0);
        int length = 0;
        slot.setProperty(3, CommunicationMateType::CommunicationType_GetRobotJointAngle,
                         makeBody("reply", &length), length);
        slot.destroy();
        expectEmpty(slot);
        ASSERT_EQ(pthread_mutex_unlock(&slot.m_mutex), 0);
    }
}

TEST(ReplySlot, HandsRepliesAcrossThreadsAfterEveryRefill) {
    constexpr int kRounds = 200;
    CommunicationResponse slot;
    std::atomic<int> received{0};

    std::thread consumer([&] {
        for (int round = 0; round < kRounds; ++round) {
            pthread_mutex_lock(&slot.m_mutex);
            const bool filled = waitOnSlot(slot, [&] { return slot.m_textPtr != nullptr; });
            if (filled && slot.m_textLength == static_cast<int>(sizeof(int)) &&
                std::memcmp(slot.m_textPtr, &round, sizeof(int)) == 0) {
                ++received;
            }
            slot.destroy();
            pthread_cond_broadcast(&slot.m_conditon);
            pthread_mutex_unlock(&slot.m_mutex);
            if (!filled) {
                return;
            }
        }
    });

    for (int round = 0; round < kRounds; ++round) {
        pthread_mutex_lock(&slot.m_mutex);
        const bool emptied = waitOnSlot(slot, [&] { return slot.m_textPtr == nullptr; });
        if (emptied) {
            std::unique_ptr<char[]> body(new char[sizeof(int)]);
            std::memcpy(body.get(), &round, sizeof(int));
            slot.setProperty(5, CommunicationMateType::CommunicationType_GetRobotJointAngle,
                             body.release(), sizeof(int));
            pthread_cond_broadcast(&slot.m_conditon);
        }
        pthread_mutex_unlock(&slot.m_mutex);
        if (!emptied) {
            break;
        }
    }
    consumer.join();
    EXPECT_EQ(received.load(), kRounds);
}
