#include "communicationmatetype.h"

#include <iterator>

namespace {

struct CommandTypeName {
    CommunicationMateType::CommunicationCommandType type;
    const char *name;
};

// One row per command type; the count and the unknown marker have none. Each name is
// the enumerator's own spelling.
#define COMMAND_TYPE_ROW(name) \
    { CommunicationMateType::name, #name }
const CommandTypeName kCommandTypeNames[] = {
    COMMAND_TYPE_ROW(CommunicationType_Login),
    COMMAND_TYPE_ROW(CommunicationType_Logout),
    COMMAND_TYPE_ROW(CommunicationType_Event),
    COMMAND_TYPE_ROW(CommunicationType_RealTimeJointStatus),
    COMMAND_TYPE_ROW(CommunicationType_EnableRealTimeJointStatusPush),
    COMMAND_TYPE_ROW(CommunicationType_DisableRealTimeJointStatusPush),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotJointStatus),
    COMMAND_TYPE_ROW(CommunicationType_RealTimeRobotJointAngle),
    COMMAND_TYPE_ROW(CommunicationType_EnableRealTimeJointAnglePush),
    COMMAND_TYPE_ROW(CommunicationType_DisableRealTimeJointAnglePush),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotJointAngle),
    COMMAND_TYPE_ROW(CommunicationType_RealTimeRobotEndSpeed),
    COMMAND_TYPE_ROW(CommunicationType_EnableRealTimeEndSpeedPush),
    COMMAND_TYPE_ROW(CommunicationType_DisableRealTimeEndSpeedPush),
    COMMAND_TYPE_ROW(CommunicationType_RealTimeRobotDiagnosis),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotDiagnosis),
    COMMAND_TYPE_ROW(CommunicationType_RobotStartup),
    COMMAND_TYPE_ROW(CommunicationType_RobotShutdown),
    COMMAND_TYPE_ROW(CommunicationType_RobotControl),
    COMMAND_TYPE_ROW(CommunicationType_CollisionRecover),
    COMMAND_TYPE_ROW(CommunicationType_SetRobotPowerStatus),
    COMMAND_TYPE_ROW(CommunicationType_SetRobotReleaseBrake),
    COMMAND_TYPE_ROW(CommunicationType_RobotMove),
    COMMAND_TYPE_ROW(CommunicationType_RobotTeachMoveStart),
    COMMAND_TYPE_ROW(CommunicationType_RobotTeachMoveStop),
    COMMAND_TYPE_ROW(CommunicationType_RobotMoveControl),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotCurrentState),
    COMMAND_TYPE_ROW(CommunicationType_SetRobotTcpParam),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotTcpParam),
    COMMAND_TYPE_ROW(CommunicationType_SetToolDynamicsParam),
    COMMAND_TYPE_ROW(CommunicationType_GetToolDynamicsParam),
    COMMAND_TYPE_ROW(CommunicationType_SetToolKinematicsParam),
    COMMAND_TYPE_ROW(CommunicationType_GetToolKinematicsParam),
    COMMAND_TYPE_ROW(CommunicationType_SetRobotMode),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotMode),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotGravityComponent),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotCollisionCurrent),
    COMMAND_TYPE_ROW(CommunicationType_GetIsRealRobotExist),
    COMMAND_TYPE_ROW(CommunicationType_GetDeviceInfo),
    COMMAND_TYPE_ROW(CommunicationType_SetMaxAcc),
    COMMAND_TYPE_ROW(CommunicationType_SetRobotCollisionGrade),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardAllDIData),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardAllDOData),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardAllAIData),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardAllAOData),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardAllData),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardOneDIStatus),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardOneDOStatus),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardOneAIStatus),
    COMMAND_TYPE_ROW(CommunicationType_GetInterfaceBoardOneAOStatus),
    COMMAND_TYPE_ROW(CommunicationType_SetInterfaceBoardOneDOStatus),
    COMMAND_TYPE_ROW(CommunicationType_SetInterfaceBoardOneAOStatus),
    COMMAND_TYPE_ROW(CommunicationType_GetToolPowerVoltageType),
    COMMAND_TYPE_ROW(CommunicationType_SetToolPowerVoltageType),
    COMMAND_TYPE_ROW(CommunicationType_SetToolPowerTypeAndDigitalIOType),
    COMMAND_TYPE_ROW(CommunicationType_SetToolDigitalIOType),
    COMMAND_TYPE_ROW(CommunicationType_GetToolPowerVoltage),
    COMMAND_TYPE_ROW(CommunicationType_GetToolAllDigitalIOStatus),
    COMMAND_TYPE_ROW(CommunicationType_GetToolAllAIStatus),
    COMMAND_TYPE_ROW(CommunicationType_SetToolDigitalIOStatus),
    COMMAND_TYPE_ROW(CommunicationType_SetRobotAtOriginPose),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotSafetyConfig),
    COMMAND_TYPE_ROW(CommunicationType_SetRobotSafetyConfig),
    COMMAND_TYPE_ROW(CommunicationType_GetOrpeSafetyStatus),
    COMMAND_TYPE_ROW(CommunicationType_SafetyIoAbout_setRobotOrpePause),
    COMMAND_TYPE_ROW(CommunicationType_SafetyIoAbout_setRobotOrpeStop),
    COMMAND_TYPE_ROW(CommunicationType_SafetyIoAbout_setRobotOrpeError),
    COMMAND_TYPE_ROW(CommunicationType_SafetyIoAbout_clearSystemEmergencyStop),
    COMMAND_TYPE_ROW(CommunicationType_SafetyIoAbout_clearReducedModeError),
    COMMAND_TYPE_ROW(CommunicationType_SafetyIoAbout_robotSafetyguardResetSucc),
    COMMAND_TYPE_ROW(CommunicationType_SystemHalt),
    COMMAND_TYPE_ROW(CommunicationType_OfflineTrackWaypointAppend),
    COMMAND_TYPE_ROW(CommunicationType_OfflineTrackWaypointClear),
    COMMAND_TYPE_ROW(CommunicationType_OfflineTrackMoveStartup),
    COMMAND_TYPE_ROW(CommunicationType_OfflineTrackMoveStop),
    COMMAND_TYPE_ROW(CommunicationType_EnterTcp2CanbusMode),
    COMMAND_TYPE_ROW(CommunicationType_LeaveTcp2CanbusMode),
    COMMAND_TYPE_ROW(CommunicationType_SetRobotPosData2Canbus),
    COMMAND_TYPE_ROW(CommunicationType_StartupOfflineExcitTraj),
    COMMAND_TYPE_ROW(CommunicationType_GetDynIdentifyResults),
    COMMAND_TYPE_ROW(CommunicationType_RobotHandShake),
    COMMAND_TYPE_ROW(CommunicationType_GetToolAllIoStatus),
    COMMAND_TYPE_ROW(CommunicationType_UpdateRobotBoardFirmware),
    COMMAND_TYPE_ROW(CommunicationType_FirmwareUpdateResult),
    COMMAND_TYPE_ROW(CommunicationType_GetRobotEthernetDeviceName),
    COMMAND_TYPE_ROW(CommunicationType_RobotMoveFastStop),
    COMMAND_TYPE_ROW(CommunicationType_RobotSetJointOffset),
};
#undef COMMAND_TYPE_ROW

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
