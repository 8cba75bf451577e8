#ifndef COMMUNICATIONMATETYPE_H
#define COMMUNICATIONMATETYPE_H

#include <pthread.h>

#include <map>
#include <string>

// Command types of the controller link and the process-wide table of their names.
class CommunicationMateType {
public:
    // Signed 32-bit on the link. A reply carries the type of its request.
    enum CommunicationCommandType {
        CommunicationType_Login = 0,
        CommunicationType_Logout = 1,
        CommunicationType_Event = 2,
        CommunicationType_RealTimeJointStatus = 3,
        CommunicationType_EnableRealTimeJointStatusPush = 4,
        CommunicationType_DisableRealTimeJointStatusPush = 5,
        CommunicationType_GetRobotJointStatus = 6,
        CommunicationType_RealTimeRobotJointAngle = 7,
        CommunicationType_EnableRealTimeJointAnglePush = 8,
        CommunicationType_DisableRealTimeJointAnglePush = 9,
        CommunicationType_GetRobotJointAngle = 10,
        CommunicationType_RealTimeRobotEndSpeed = 11,
        CommunicationType_EnableRealTimeEndSpeedPush = 12,
        CommunicationType_DisableRealTimeEndSpeedPush = 13,
        CommunicationType_RealTimeRobotDiagnosis = 14,
        CommunicationType_GetRobotDiagnosis = 15,
        CommunicationType_RobotStartup = 16,
        CommunicationType_RobotShutdown = 17,
        CommunicationType_RobotControl = 18,
        CommunicationType_CollisionRecover = 19,
        CommunicationType_SetRobotPowerStatus = 20,
        CommunicationType_SetRobotReleaseBrake = 21,
        CommunicationType_RobotMove = 22,
        CommunicationType_RobotTeachMoveStart = 23,
        CommunicationType_RobotTeachMoveStop = 24,
        CommunicationType_RobotMoveControl = 25,
        CommunicationType_GetRobotCurrentState = 26,
        CommunicationType_SetRobotTcpParam = 27,
        CommunicationType_GetRobotTcpParam = 28,
        CommunicationType_SetToolDynamicsParam = 29,
        CommunicationType_GetToolDynamicsParam = 30,
        CommunicationType_SetToolKinematicsParam = 31,
        CommunicationType_GetToolKinematicsParam = 32,
        CommunicationType_SetRobotMode = 33,
        CommunicationType_GetRobotMode = 34,
        CommunicationType_GetRobotGravityComponent = 35,
        CommunicationType_GetRobotCollisionCurrent = 36,
        CommunicationType_GetIsRealRobotExist = 37,
        CommunicationType_GetDeviceInfo = 38,
        CommunicationType_SetMaxAcc = 39,
        CommunicationType_SetRobotCollisionGrade = 40,
        CommunicationType_GetInterfaceBoardAllDIData = 41,
        CommunicationType_GetInterfaceBoardAllDOData = 42,
        CommunicationType_GetInterfaceBoardAllAIData = 43,
        CommunicationType_GetInterfaceBoardAllAOData = 44,
        CommunicationType_GetInterfaceBoardAllData = 45,
        CommunicationType_GetInterfaceBoardOneDIStatus = 46,
        CommunicationType_GetInterfaceBoardOneDOStatus = 47,
        CommunicationType_GetInterfaceBoardOneAIStatus = 48,
        CommunicationType_GetInterfaceBoardOneAOStatus = 49,
        CommunicationType_SetInterfaceBoardOneDOStatus = 50,
        CommunicationType_SetInterfaceBoardOneAOStatus = 51,
        CommunicationType_GetToolPowerVoltageType = 52,
        CommunicationType_SetToolPowerVoltageType = 53,
        CommunicationType_SetToolPowerTypeAndDigitalIOType = 54,
        CommunicationType_SetToolDigitalIOType = 55,
        CommunicationType_GetToolPowerVoltage = 56,
        CommunicationType_GetToolAllDigitalIOStatus = 57,
        CommunicationType_GetToolAllAIStatus = 58,
        CommunicationType_SetToolDigitalIOStatus = 59,
        CommunicationType_SetRobotAtOriginPose = 60,
        CommunicationType_GetRobotSafetyConfig = 61,
        CommunicationType_SetRobotSafetyConfig = 62,
        CommunicationType_GetOrpeSafetyStatus = 63,
        CommunicationType_SafetyIoAbout_setRobotOrpePause = 64,
        CommunicationType_SafetyIoAbout_setRobotOrpeStop = 65,
        CommunicationType_SafetyIoAbout_setRobotOrpeError = 66,
        CommunicationType_SafetyIoAbout_clearSystemEmergencyStop = 67,
        CommunicationType_SafetyIoAbout_clearReducedModeError = 68,
        CommunicationType_SafetyIoAbout_robotSafetyguardResetSucc = 69,
        CommunicationType_SystemHalt = 70,
        CommunicationType_OfflineTrackWaypointAppend = 71,
        CommunicationType_OfflineTrackWaypointClear = 72,
        CommunicationType_OfflineTrackMoveStartup = 73,
        CommunicationType_OfflineTrackMoveStop = 74,
        CommunicationType_EnterTcp2CanbusMode = 75,
        CommunicationType_LeaveTcp2CanbusMode = 76,
        CommunicationType_SetRobotPosData2Canbus = 77,
        CommunicationType_StartupOfflineExcitTraj = 78,
        CommunicationType_GetDynIdentifyResults = 79,
        CommunicationType_RobotHandShake = 80,
        CommunicationType_GetToolAllIoStatus = 81,
        CommunicationType_UpdateRobotBoardFirmware = 82,
        CommunicationType_FirmwareUpdateResult = 83,
        CommunicationType_GetRobotEthernetDeviceName = 84,
        CommunicationType_RobotMoveFastStop = 85,
        CommunicationType_RobotSetJointOffset = 86,
        CommunicationTypeCount = 87,
        CommunicationType_Unknown = 88
    };

    // Created on first use and kept until the process ends.
    static CommunicationMateType *instance();

    // For log lines only: "unknow" for a value without a row.
    static std::string getCommandDescByType(CommunicationCommandType type);

    CommunicationMateType(const CommunicationMateType &) = delete;
    CommunicationMateType &operator=(const CommunicationMateType &) = delete;

private:
    CommunicationMateType();

    void initCommunicationCommandTypeDescMap();

    std::map<CommunicationCommandType, std::string> m_communicationCommandTypeDescMap;
};

// What requests and replies share: a socket, an owned body (an array allocated with new[]),
// its length and a command type. The two records order their fields differently, so the
// operations live here and the fields in each record. Copying would release a body twice.
template <typename Record>
class CommunicationPackageRecord {
public:
    CommunicationPackageRecord(const CommunicationPackageRecord &) = delete;
    CommunicationPackageRecord &operator=(const CommunicationPackageRecord &) = delete;

    // Empty: socket -1, no body, type CommunicationType_Unknown.
    void init() { setProperty(-1, CommunicationMateType::CommunicationType_Unknown, nullptr, 0); }

    // Plain stores; the record owns textPtr from here on. A body already held is not
    // released here, so call destroy() first when replacing one.
    void setProperty(int socketFd, CommunicationMateType::CommunicationCommandType commandType,
                     char *textPtr, int textLength) {
        Record &record = static_cast<Record &>(*this);
        record.m_socketFd = socketFd;
        record.m_commandType = commandType;
        record.m_textPtr = textPtr;
        record.m_textLength = textLength;
    }

    // Releases the body, if any, and empties the record.
    void destroy() {
        delete[] static_cast<Record &>(*this).m_textPtr;
        init();
    }

protected:
    CommunicationPackageRecord() = default;
    ~CommunicationPackageRecord() = default;
};

// One request on its way to the link; it releases its body when it ends.
class CommunicationRequest : public CommunicationPackageRecord<CommunicationRequest> {
public:
    CommunicationRequest();
    ~CommunicationRequest();

    int m_socketFd;
    char *m_textPtr;
    int m_textLength;
    CommunicationMateType::CommunicationCommandType m_commandType;
};

// A reply: the engine's slot of one command type, or the copy a caller receives. The mutex
// and condition guard the slot and survive destroy(), so a slot can be emptied while locked.
class CommunicationResponse : public CommunicationPackageRecord<CommunicationResponse> {
public:
    CommunicationResponse();
    ~CommunicationResponse();

    int m_socketFd;
    char *m_textPtr;
    int m_textLength;
    pthread_mutex_t m_mutex;
    pthread_cond_t m_conditon;
    CommunicationMateType::CommunicationCommandType m_commandType;
};

// The decoded common reply: the controller's code and message.
class CommunicationCommonResultResponse {
public:
    int m_errorCode = 0;
    std::string m_errorMsg;
};

#endif
