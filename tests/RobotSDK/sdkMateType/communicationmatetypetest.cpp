#include "communicationmatetype.h"

#include "arrayreleasewatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <type_traits>
#include <vector>

using MateType = CommunicationMateType;
using CommandType = MateType::CommunicationCommandType;

static_assert(sizeof(CommandType) == 4 && MateType::CommunicationTypeCount == 87 &&
              MateType::CommunicationType_Unknown == 88);
// An owned body must not be released twice.
static_assert(!std::is_copy_constructible<CommunicationRequest>::value &&
              !std::is_copy_assignable<CommunicationRequest>::value &&
              !std::is_copy_constructible<CommunicationResponse>::value &&
              !std::is_copy_assignable<CommunicationResponse>::value);

namespace {

// The n-th word names command type n, after the common "CommunicationType_".
const char kNameSuffixes[] =
    "Login Logout Event RealTimeJointStatus EnableRealTimeJointStatusPush "
    "DisableRealTimeJointStatusPush GetRobotJointStatus RealTimeRobotJointAngle "
    "EnableRealTimeJointAnglePush DisableRealTimeJointAnglePush GetRobotJointAngle "
    "RealTimeRobotEndSpeed EnableRealTimeEndSpeedPush DisableRealTimeEndSpeedPush "
    "RealTimeRobotDiagnosis GetRobotDiagnosis RobotStartup RobotShutdown RobotControl "
    "CollisionRecover SetRobotPowerStatus SetRobotReleaseBrake RobotMove RobotTeachMoveStart "
    "RobotTeachMoveStop RobotMoveControl GetRobotCurrentState SetRobotTcpParam "
    "GetRobotTcpParam SetToolDynamicsParam GetToolDynamicsParam SetToolKinematicsParam "
    "GetToolKinematicsParam SetRobotMode GetRobotMode GetRobotGravityComponent "
    "GetRobotCollisionCurrent GetIsRealRobotExist GetDeviceInfo SetMaxAcc "
    "SetRobotCollisionGrade GetInterfaceBoardAllDIData GetInterfaceBoardAllDOData "
    "GetInterfaceBoardAllAIData GetInterfaceBoardAllAOData GetInterfaceBoardAllData "
    "GetInterfaceBoardOneDIStatus GetInterfaceBoardOneDOStatus GetInterfaceBoardOneAIStatus "
    "GetInterfaceBoardOneAOStatus SetInterfaceBoardOneDOStatus SetInterfaceBoardOneAOStatus "
    "GetToolPowerVoltageType SetToolPowerVoltageType SetToolPowerTypeAndDigitalIOType "
    "SetToolDigitalIOType GetToolPowerVoltage GetToolAllDigitalIOStatus GetToolAllAIStatus "
    "SetToolDigitalIOStatus SetRobotAtOriginPose GetRobotSafetyConfig SetRobotSafetyConfig "
    "GetOrpeSafetyStatus SafetyIoAbout_setRobotOrpePause SafetyIoAbout_setRobotOrpeStop "
    "SafetyIoAbout_setRobotOrpeError SafetyIoAbout_clearSystemEmergencyStop "
    "SafetyIoAbout_clearReducedModeError SafetyIoAbout_robotSafetyguardResetSucc SystemHalt "
    "OfflineTrackWaypointAppend OfflineTrackWaypointClear OfflineTrackMoveStartup "
    "OfflineTrackMoveStop EnterTcp2CanbusMode LeaveTcp2CanbusMode SetRobotPosData2Canbus "
    "StartupOfflineExcitTraj GetDynIdentifyResults RobotHandShake GetToolAllIoStatus "
    "UpdateRobotBoardFirmware FirmwareUpdateResult GetRobotEthernetDeviceName "
    "RobotMoveFastStop RobotSetJointOffset";

std::string nameOf(int type) {
    return MateType::getCommandDescByType(static_cast<CommandType>(type));
}

// The defaults describe an empty record.
template <typename Record>
void expectRecord(const Record &r, int fd = -1, const char *body = nullptr, int length = 0,
                  CommandType type = MateType::CommunicationType_Unknown) {
    EXPECT_EQ(std::make_tuple(r.m_socketFd, r.m_textPtr, r.m_textLength, r.m_commandType),
              std::make_tuple(fd, body, length, type));
}

// Hands the record a watched body, an array as the body builder allocates it.
template <typename Record>
char *fill(Record &record, const char *text = "body") {
    const int length = static_cast<int>(std::strlen(text)) + 1;
    char *body = new char[length];
    std::memcpy(body, text, length);
    watchArrayRelease(body);
    record.setProperty(7, MateType::CommunicationType_RobotMove, body, length);
    return body;
}

}  // namespace

// Each ctest run is its own process, so the threads race for the table's first use.
TEST(CommandTypeNames, RowsNameTheirEnumeratorUnderConcurrentFirstUseOthersAreUnknow) {
    std::vector<MateType *> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (MateType *&instance : seen) {
        threads.emplace_back([&instance] {
            instance = MateType::instance();
            std::istringstream words(kNameSuffixes);
            int type = 0;
            for (std::string word; words >> word; ++type) {
                EXPECT_EQ(nameOf(type), "CommunicationType_" + word) << type;
            }
            EXPECT_EQ(type, 87);
        });
    }
    for (std::thread &t : threads) t.join();
    EXPECT_NE(seen[0], nullptr);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), seen[0]), 8);
    for (int value : {87, 88, 89, -1, 1000, INT_MIN, INT_MAX}) {
        EXPECT_EQ(nameOf(value), "unknow") << value;
    }
}

// Requests and replies both own the body they are given.
template <typename Record>
class PackageRecordOwnership : public ::testing::Test {};
using PackageRecords = ::testing::Types<CommunicationRequest, CommunicationResponse>;
TYPED_TEST_SUITE(PackageRecordOwnership, PackageRecords);

// Destroy and the destructor release the body once and empty the record; setProperty does not.
TYPED_TEST(PackageRecordOwnership, ReleasesItsBodyOnceOnDestroyOrEndButNotOnSetProperty) {
    auto record = std::make_unique<TypeParam>();
    expectRecord(*record);
    record->destroy();
    expectRecord(*record);
    std::unique_ptr<char[]> held(fill(*record, "held"));
    record->setProperty(-1, MateType::CommunicationType_Unknown, nullptr, 0);
    EXPECT_EQ(watchedArrayReleases(), 0);

    char *body = fill(*record, "payload");
    expectRecord(*record, 7, body, 8, MateType::CommunicationType_RobotMove);
    record->destroy();
    EXPECT_EQ(watchedArrayReleases(), 1);
    expectRecord(*record);
    record->destroy();
    EXPECT_EQ(watchedArrayReleases(), 1);

    fill(*record);
    record.reset();
    EXPECT_EQ(watchedArrayReleases(), 1);
}

// The engine empties and refills a slot while holding its mutex; both must survive that.
TEST(ReplySlot, EmptiedAndRefilledWhileLockedKeepsItsMutexAndCondition) {
    CommunicationResponse slot;
    ASSERT_EQ(pthread_mutex_lock(&slot.m_mutex), 0);
    const pthread_mutex_t lockedMutex = slot.m_mutex;
    const pthread_cond_t condition = slot.m_conditon;
    for (int round = 0; round < 100; ++round) {
        fill(slot);
        slot.destroy();
    }
    expectRecord(slot);
    EXPECT_EQ(std::memcmp(&slot.m_mutex, &lockedMutex, sizeof(lockedMutex)), 0);
    EXPECT_EQ(std::memcmp(&slot.m_conditon, &condition, sizeof(condition)), 0);
    EXPECT_EQ(pthread_mutex_unlock(&slot.m_mutex), 0);
}
