#include "communicationmatetype.h"

#include <iterator>

namespace {

struct CommandTypeName {
    CommunicationMateType::CommunicationCommandType type;
    const char *name;
};

// One row per command type; the count and the unknown marker have none.
const CommandTypeName kCommandTypeNames[] = {
    {CommunicationMateType::CommunicationType_Login, "CommunicationType_Login"},
    {CommunicationMateType::CommunicationType_Logout, "CommunicationType_Logout"},
    {CommunicationMateType::CommunicationType_Event, "CommunicationType_Event"},
    {CommunicationMateType::CommunicationType_RealTimeJointStatus,
     "CommunicationType_RealTimeJointStatus"},
    {CommunicationMateType::CommunicationType_EnableRealTimeJointStatusPush,
     "CommunicationType_EnableRealTimeJointStatusPush"},
    {CommunicationMateType::CommunicationType_DisableRealTimeJointStatusPush,
     "CommunicationType_DisableRealTimeJointStatusPush"},
    {CommunicationMateType::CommunicationType_GetRobotJointStatus,
     "CommunicationType_GetRobotJointStatus"},
    {CommunicationMateType::CommunicationType_RealTimeRobotJointAngle,
     "CommunicationType_RealTimeRobotJointAngle"},
    {CommunicationMateType::CommunicationType_EnableRealTimeJointAnglePush,
     "CommunicationType_EnableRealTimeJointAnglePush"},
    {CommunicationMateType::CommunicationType_DisableRealTimeJointAnglePush,
     "CommunicationType_DisableRealTimeJointAnglePush"},
    {CommunicationMateType::CommunicationType_GetRobotJointAngle,
     "CommunicationType_GetRobotJointAngle"},
    {CommunicationMateType::CommunicationType_RealTimeRobotEndSpeed,
     "CommunicationType_RealTimeRobotEndSpeed"},
    {CommunicationMateType::CommunicationType_EnableRealTimeEndSpeedPush,
     "CommunicationType_EnableRealTimeEndSpeedPush"},
    {CommunicationMateType::CommunicationType_DisableRealTimeEndSpeedPush,
     "CommunicationType_DisableRealTimeEndSpeedPush"},
    {CommunicationMateType::CommunicationType_RealTimeRobotDiagnosis,
     "CommunicationType_RealTimeRobotDiagnosis"},
    {CommunicationMateType::CommunicationType_GetRobotDiagnosis,
     "CommunicationType_GetRobotDiagnosis"},
    {CommunicationMateType::CommunicationType_RobotStartup, "CommunicationType_RobotStartup"},
    {CommunicationMateType::CommunicationType_RobotShutdown, "CommunicationType_RobotShutdown"},
    {CommunicationMateType::CommunicationType_RobotControl, "CommunicationType_RobotControl"},
    {CommunicationMateType::CommunicationType_CollisionRecover,
     "CommunicationType_CollisionRecover"},
    {CommunicationMateType::CommunicationType_SetRobotPowerStatus,
     "CommunicationType_SetRobotPowerStatus"},
    {CommunicationMateType::CommunicationType_SetRobotReleaseBrake,
     "CommunicationType_SetRobotReleaseBrake"},
    {CommunicationMateType::CommunicationType_RobotMove, "CommunicationType_RobotMove"},
    {CommunicationMateType::CommunicationType_RobotTeachMoveStart,
     "CommunicationType_RobotTeachMoveStart"},
    {CommunicationMateType::CommunicationType_RobotTeachMoveStop,
     "CommunicationType_RobotTeachMoveStop"},
    {CommunicationMateType::CommunicationType_RobotMoveControl,
     "CommunicationType_RobotMoveControl"},
    {CommunicationMateType::CommunicationType_GetRobotCurrentState,
     "CommunicationType_GetRobotCurrentState"},
    {CommunicationMateType::CommunicationType_SetRobotTcpParam,
     "CommunicationType_SetRobotTcpParam"},
    {CommunicationMateType::CommunicationType_GetRobotTcpParam,
     "CommunicationType_GetRobotTcpParam"},
    {CommunicationMateType::CommunicationType_SetToolDynamicsParam,
     "CommunicationType_SetToolDynamicsParam"},
    {CommunicationMateType::CommunicationType_GetToolDynamicsParam,
     "CommunicationType_GetToolDynamicsParam"},
    {CommunicationMateType::CommunicationType_SetToolKinematicsParam,
     "CommunicationType_SetToolKinematicsParam"},
    {CommunicationMateType::CommunicationType_GetToolKinematicsParam,
     "CommunicationType_GetToolKinematicsParam"},
    {CommunicationMateType::CommunicationType_SetRobotMode, "CommunicationType_SetRobotMode"},
    {CommunicationMateType::CommunicationType_GetRobotMode, "CommunicationType_GetRobotMode"},
    {CommunicationMateType::CommunicationType_GetRobotGravityComponent,
     "CommunicationType_GetRobotGravityComponent"},
    {CommunicationMateType::CommunicationType_GetRobotCollisionCurrent,
     "CommunicationType_GetRobotCollisionCurrent"},
    {CommunicationMateType::CommunicationType_GetIsRealRobotExist,
     "CommunicationType_GetIsRealRobotExist"},
    {CommunicationMateType::CommunicationType_GetDeviceInfo, "CommunicationType_GetDeviceInfo"},
    {CommunicationMateType::CommunicationType_SetMaxAcc, "CommunicationType_SetMaxAcc"},
    {CommunicationMateType::CommunicationType_SetRobotCollisionGrade,
     "CommunicationType_SetRobotCollisionGrade"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardAllDIData,
     "CommunicationType_GetInterfaceBoardAllDIData"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardAllDOData,
     "CommunicationType_GetInterfaceBoardAllDOData"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardAllAIData,
     "CommunicationType_GetInterfaceBoardAllAIData"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardAllAOData,
     "CommunicationType_GetInterfaceBoardAllAOData"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardAllData,
     "CommunicationType_GetInterfaceBoardAllData"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardOneDIStatus,
     "CommunicationType_GetInterfaceBoardOneDIStatus"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardOneDOStatus,
     "CommunicationType_GetInterfaceBoardOneDOStatus"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardOneAIStatus,
     "CommunicationType_GetInterfaceBoardOneAIStatus"},
    {CommunicationMateType::CommunicationType_GetInterfaceBoardOneAOStatus,
     "CommunicationType_GetInterfaceBoardOneAOStatus"},
    {CommunicationMateType::CommunicationType_SetInterfaceBoardOneDOStatus,
     "CommunicationType_SetInterfaceBoardOneDOStatus"},
    {CommunicationMateType::CommunicationType_SetInterfaceBoardOneAOStatus,
     "CommunicationType_SetInterfaceBoardOneAOStatus"},
    {CommunicationMateType::CommunicationType_GetToolPowerVoltageType,
     "CommunicationType_GetToolPowerVoltageType"},
    {CommunicationMateType::CommunicationType_SetToolPowerVoltageType,
     "CommunicationType_SetToolPowerVoltageType"},
    {CommunicationMateType::CommunicationType_SetToolPowerTypeAndDigitalIOType,
     "CommunicationType_SetToolPowerTypeAndDigitalIOType"},
    {CommunicationMateType::CommunicationType_SetToolDigitalIOType,
     "CommunicationType_SetToolDigitalIOType"},
    {CommunicationMateType::CommunicationType_GetToolPowerVoltage,
     "CommunicationType_GetToolPowerVoltage"},
    {CommunicationMateType::CommunicationType_GetToolAllDigitalIOStatus,
     "CommunicationType_GetToolAllDigitalIOStatus"},
    {CommunicationMateType::CommunicationType_GetToolAllAIStatus,
     "CommunicationType_GetToolAllAIStatus"},
    {CommunicationMateType::CommunicationType_SetToolDigitalIOStatus,
     "CommunicationType_SetToolDigitalIOStatus"},
    {CommunicationMateType::CommunicationType_SetRobotAtOriginPose,
     "CommunicationType_SetRobotAtOriginPose"},
    {CommunicationMateType::CommunicationType_GetRobotSafetyConfig,
     "CommunicationType_GetRobotSafetyConfig"},
    {CommunicationMateType::CommunicationType_SetRobotSafetyConfig,
     "CommunicationType_SetRobotSafetyConfig"},
    {CommunicationMateType::CommunicationType_GetOrpeSafetyStatus,
     "CommunicationType_GetOrpeSafetyStatus"},
    {CommunicationMateType::CommunicationType_SafetyIoAbout_setRobotOrpePause,
     "CommunicationType_SafetyIoAbout_setRobotOrpePause"},
    {CommunicationMateType::CommunicationType_SafetyIoAbout_setRobotOrpeStop,
     "CommunicationType_SafetyIoAbout_setRobotOrpeStop"},
    {CommunicationMateType::CommunicationType_SafetyIoAbout_setRobotOrpeError,
     "CommunicationType_SafetyIoAbout_setRobotOrpeError"},
    {CommunicationMateType::CommunicationType_SafetyIoAbout_clearSystemEmergencyStop,
     "CommunicationType_SafetyIoAbout_clearSystemEmergencyStop"},
    {CommunicationMateType::CommunicationType_SafetyIoAbout_clearReducedModeError,
     "CommunicationType_SafetyIoAbout_clearReducedModeError"},
    {CommunicationMateType::CommunicationType_SafetyIoAbout_robotSafetyguardResetSucc,
     "CommunicationType_SafetyIoAbout_robotSafetyguardResetSucc"},
    {CommunicationMateType::CommunicationType_SystemHalt, "CommunicationType_SystemHalt"},
    {CommunicationMateType::CommunicationType_OfflineTrackWaypointAppend,
     "CommunicationType_OfflineTrackWaypointAppend"},
    {CommunicationMateType::CommunicationType_OfflineTrackWaypointClear,
     "CommunicationType_OfflineTrackWaypointClear"},
    {CommunicationMateType::CommunicationType_OfflineTrackMoveStartup,
     "CommunicationType_OfflineTrackMoveStartup"},
    {CommunicationMateType::CommunicationType_OfflineTrackMoveStop,
     "CommunicationType_OfflineTrackMoveStop"},
    {CommunicationMateType::CommunicationType_EnterTcp2CanbusMode,
     "CommunicationType_EnterTcp2CanbusMode"},
    {CommunicationMateType::CommunicationType_LeaveTcp2CanbusMode,
     "CommunicationType_LeaveTcp2CanbusMode"},
    {CommunicationMateType::CommunicationType_SetRobotPosData2Canbus,
     "CommunicationType_SetRobotPosData2Canbus"},
    {CommunicationMateType::CommunicationType_StartupOfflineExcitTraj,
     "CommunicationType_StartupOfflineExcitTraj"},
    {CommunicationMateType::CommunicationType_GetDynIdentifyResults,
     "CommunicationType_GetDynIdentifyResults"},
    {CommunicationMateType::CommunicationType_RobotHandShake, "CommunicationType_RobotHandShake"},
    {CommunicationMateType::CommunicationType_GetToolAllIoStatus,
     "CommunicationType_GetToolAllIoStatus"},
    {CommunicationMateType::CommunicationType_UpdateRobotBoardFirmware,
     "CommunicationType_UpdateRobotBoardFirmware"},
    {CommunicationMateType::CommunicationType_FirmwareUpdateResult,
     "CommunicationType_FirmwareUpdateResult"},
    {CommunicationMateType::CommunicationType_GetRobotEthernetDeviceName,
     "CommunicationType_GetRobotEthernetDeviceName"},
    {CommunicationMateType::CommunicationType_RobotMoveFastStop,
     "CommunicationType_RobotMoveFastStop"},
    {CommunicationMateType::CommunicationType_RobotSetJointOffset,
     "CommunicationType_RobotSetJointOffset"},
};

const char kUnknownCommandDesc[] = "unknow";

}  // namespace

CommunicationMateType::CommunicationMateType() { initCommunicationCommandTypeDescMap(); }

CommunicationMateType *CommunicationMateType::instance() {
    // Never destroyed, so log lines written while the process exits still find it.
    static CommunicationMateType *const theInstance = new CommunicationMateType();
    return theInstance;
}

std::string CommunicationMateType::getCommandDescByType(CommunicationCommandType type) {
    const auto &descMap = instance()->m_communicationCommandTypeDescMap;
    const auto it = descMap.find(type);
    return it == descMap.end() ? std::string(kUnknownCommandDesc) : it->second;
}

void CommunicationMateType::initCommunicationCommandTypeDescMap() {
    m_communicationCommandTypeDescMap.clear();
    for (const CommandTypeName &row : kCommandTypeNames) {
        m_communicationCommandTypeDescMap[row.type] = row.name;
    }
}

CommunicationRequest::CommunicationRequest() { init(); }

CommunicationRequest::~CommunicationRequest() { destroy(); }

CommunicationResponse::CommunicationResponse() {
    init();
    pthread_cond_init(&m_conditon, nullptr);
    pthread_mutex_init(&m_mutex, nullptr);
}

// The slot's mutex and condition end with it.
CommunicationResponse::~CommunicationResponse() {
    destroy();
    pthread_cond_destroy(&m_conditon);
    pthread_mutex_destroy(&m_mutex);
}
