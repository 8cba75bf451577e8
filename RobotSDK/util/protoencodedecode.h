#ifndef PROTOENCODEDECODE_H
#define PROTOENCODEDECODE_H

#include <string>
#include <vector>

#include "KezuRobotMetaType.h"
#include "communicationmatetype.h"
#include "internalMateType.h"
#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"

// The only code that turns SDK records into controller messages and back. It holds no
// state: every member is static and may run on any thread.
//
// Builders (getRequest_*) hand out a body allocated with new[] of exactly its serialised
// length; the caller owns it. On failure they hand out null and 0. Resolvers
// (resolveResponse_*) parse a reply or push body and copy out what the caller asked for.
class ProtoEncodeDecode {
public:
    // ---- Record <-> message conversions ----

    static bool roadPointTypeConversion(const kezu::robot::common::ProtoRoadPoint &src,
                                        kezu_robot_namespace::wayPoint_S &dst);
    static bool roadPointTypeConversion(const kezu_robot_namespace::wayPoint_S &src,
                                        kezu::robot::common::ProtoRoadPoint &dst);

    static bool jointCartUTypeConversion(const kezu::robot::common::joint_cart_U &src,
                                         joint_cart_U &dst);
    static bool jointCartUTypeConversion(const joint_cart_U &src,
                                         kezu::robot::common::joint_cart_U &dst);

    static bool cartesianOriUTypeConversion(const kezu::robot::common::cartesianOri_U &src,
                                            cartesian_Ori_U &dst);
    static bool cartesianOriUTypeConversion(const cartesian_Ori_U &src,
                                            kezu::robot::common::cartesianOri_U &dst);

    // Enum members outside their enum are not written (the generated setters must never
    // see them); the builders refuse such a profile before converting it.
    static void KezuRobotMoveProfileType2ProtoType(const RobotMoveProfile &src,
                                                   kezu::robot::common::RobotMoveProfile &dst);
    static void ProtoRobotMoveProfileType2KezuType(const kezu::robot::common::RobotMoveProfile &src,
                                                   RobotMoveProfile &dst);

    static bool RobotMovePatamTypeConversion(
        const kezu::robot::common::RobotMove &src, RobotMoveProfile &moveProfile,
        std::vector<kezu_robot_namespace::wayPoint_S> &wayPoints);
    static bool RobotMovePatamTypeConversion(
        const RobotMoveProfile &moveProfile,
        const std::vector<kezu_robot_namespace::wayPoint_S> &wayPoints,
        kezu::robot::common::RobotMove &dst);

    static bool robotTcpParamTypeConversion(const RobotTcpParam &src,
                                            kezu::robot::communication::RobotTcpParam &dst);
    static bool robotTcpParamTypeConversion(const kezu::robot::communication::RobotTcpParam &src,
                                            RobotTcpParam &dst);

    static bool jointStatusTypeConversion(const kezu_robot_namespace::JointStatus &src,
                                          kezu::robot::common::ProtoJointStatus &dst);
    static bool jointStatusTypeConversion(const kezu::robot::common::ProtoJointStatus &src,
                                          kezu_robot_namespace::JointStatus &dst);

    static bool robotDiagnosisTypeConversion(const kezu_robot_namespace::RobotDiagnosis &src,
                                             kezu::robot::communication::RobotDiagnosis &dst);
    static bool robotDiagnosisTypeConversion(const kezu::robot::communication::RobotDiagnosis &src,
                                             kezu_robot_namespace::RobotDiagnosis &dst);

    static bool robotGravityComponentTypeConversion(
        const kezu_robot_namespace::RobotGravityComponent &src,
        kezu::robot::communication::RobotGravityComponent &dst);
    static bool robotGravityComponentTypeConversion(
        const kezu::robot::communication::RobotGravityComponent &src,
        kezu_robot_namespace::RobotGravityComponent &dst);

    static bool robotCollisionCurrentTypeConversion(
        const RobotCollisionCurrent &src, kezu::robot::communication::RobotCollisionCurrent &dst);
    static bool robotCollisionCurrentTypeConversion(
        const kezu::robot::communication::RobotCollisionCurrent &src, RobotCollisionCurrent &dst);

    static bool RobotSafetyConfigTypeConversion(const kezu_robot_namespace::RobotSafetyConfig &src,
                                                kezu::robot::common::ProtoRobotSafetyConfig &dst);
    static bool RobotSafetyConfigTypeConversion(
        const kezu::robot::common::ProtoRobotSafetyConfig &src,
        kezu_robot_namespace::RobotSafetyConfig &dst);

    static bool OrpeSafetyStatusTypeConversion(const kezu_robot_namespace::OrpeSafetyStatus &src,
                                               kezu::robot::common::ProtoOrpeSafetyStatus &dst);
    static bool OrpeSafetyStatusTypeConversion(
        const kezu::robot::common::ProtoOrpeSafetyStatus &src,
        kezu_robot_namespace::OrpeSafetyStatus &dst);

    static bool toolParamTypeConversion(const kezu::robot::common::ToolParam &src,
                                        kezu_robot_namespace::ToolDynamicsParam &dst);
    static bool toolParamTypeConversion(const kezu::robot::common::ToolParam &src,
                                        kezu_robot_namespace::ToolKinematicsParam &dst);
    static bool toolParamTypeConversion(const kezu_robot_namespace::ToolDynamicsParam &src,
                                        kezu::robot::common::ToolParam &dst);
    static bool toolParamTypeConversion(const kezu_robot_namespace::ToolKinematicsParam &src,
                                        kezu::robot::common::ToolParam &dst);

    static void robotEventTypeConversion(
        const kezu_robot_namespace::RobotEventInfo &src,
        kezu::robot::communication::ProtoCommunicationRobotEvent &dst);
    static void robotEventTypeConversion(
        const kezu::robot::communication::ProtoCommunicationRobotEvent &src,
        kezu_robot_namespace::RobotEventInfo &dst);

    static void RobotDevInfoTypeConversion(const kezu::robot::communication::YrlRobotDevInfo &src,
                                           kezu_robot_namespace::RobotDevInfo &dst);

    static void RobotDiagnosisIODescTypeConversion(
        const kezu_robot_namespace::RobotDiagnosisIODesc &src,
        kezu::robot::communication::ProtoRobotDiagnosisIODesc &dst);
    static void RobotDiagnosisIODescTypeConversion(
        const kezu::robot::communication::ProtoRobotDiagnosisIODesc &src,
        kezu_robot_namespace::RobotDiagnosisIODesc &dst);

    static void RobotAnalogIODescTypeConversion(
        const kezu_robot_namespace::RobotAnalogIODesc &src,
        kezu::robot::communication::ProtoRobotAnalogIODesc &dst);
    static void RobotAnalogIODescTypeConversion(
        const kezu::robot::communication::ProtoRobotAnalogIODesc &src,
        kezu_robot_namespace::RobotAnalogIODesc &dst);

    // ---- General data: single integers and booleans ----

    static void makeProtoCommunicationGeneralData(
        kezu::robot::communication::ProtoCommunicationGeneralData &dst,
        const std::vector<int> &propertyVector1, const std::vector<bool> &propertyVector2);
    static bool ProtoCommunicationGeneralDataMessageSerialize(
        const kezu::robot::communication::ProtoCommunicationGeneralData &src, char **ptr,
        int *size);
    static void resolveProtoCommunicationGeneralData(
        const kezu::robot::communication::ProtoCommunicationGeneralData &src,
        std::vector<int> &propertyVector1, std::vector<bool> &propertyVector2, int &errorCode);
    static bool ProtoCommunicationGeneralDataMessageParse(
        const char *buffer, int size,
        kezu::robot::communication::ProtoCommunicationGeneralData &dst);

    // ---- Request bodies ----

    static bool getRequest_login(char **ptr, int *size, const std::string &name,
                                 const std::string &passwd);
    static bool getRequest_roadpoint(char **ptr, int *size,
                                     kezu_robot_namespace::wayPoint_S &roadPoint);
    static bool getRequest_tcpParam(char **ptr, int *size, const RobotTcpParam &tcpParam);
    static bool getRequest_setToolDynamicsParam(
        char **ptr, int *size, const kezu_robot_namespace::ToolDynamicsParam &toolDynamicsParam);
    static bool getRequest_setToolKinematicsParam(
        char **ptr, int *size,
        const kezu_robot_namespace::ToolKinematicsParam &toolKinematicsParam);
    static bool getRequest_startupOfflineExcitTraj(char **ptr, int *size, std::string name,
                                                   int type, int subtype);
    static bool getRequest_robotControl(char **ptr, int *size,
                                        kezu_robot_namespace::RobotControlCommand cmd);
    static bool getRequest_setRobotPowerStatus(char **ptr, int *size, bool value);
    static bool getRequest_setRobotWorkMode(char **ptr, int *size,
                                            kezu_robot_namespace::RobotWorkMode mode);
    static bool getRequest_robotMoveControl(char **ptr, int *size,
                                            kezu_robot_namespace::RobotMoveControlCommand value);
    static bool getRequest_setRobotBoardMaxAcc(char **ptr, int *size, int maxAcc);
    static bool getRequest_setRobotCollision(char **ptr, int *size, int grade);
    static bool getRequest_robotStartup(char **ptr, int *size, const RobotTcpParam &tcpParam,
                                        uint8 collisionClass, bool readPose,
                                        bool staticCollisionDetect, int maxAcc);
    static bool getRequest_setSafetyConfig(
        char **ptr, int *size, const kezu_robot_namespace::RobotSafetyConfig &safetyConfig);
    static bool getRequest_safeIoParamAbout(char **ptr, int *size,
                                            const std::vector<int> &paramVector);
    static bool getRequest_robotMove(
        char **ptr, int *size, const RobotMoveProfile &moveProfile,
        const std::vector<kezu_robot_namespace::wayPoint_S> &wayPointVector);
    static bool getRequest_robotTeachMove(char **ptr, int *size,
                                          const RobotMoveProfile &moveProfile,
                                          const CoordCalibrateByToolEndPoint &userCoordSystem);
    static bool getRequest_firmwareUpgrade(char **ptr, int *size, int cmd,
                                           const void *firmwareContent, int length);
    static bool getRequest_robotDiagnosisIOData(
        char **ptr, int *size,
        const std::vector<kezu_robot_namespace::RobotDiagnosisIODesc> &diagnosisIOVector);
    static bool getRequest_robotAnalogIOData(
        char **ptr, int *size,
        const std::vector<kezu_robot_namespace::RobotAnalogIODesc> &analogIOVector);
    static bool getRequest_robotRobotJointOffsetData(
        char **ptr, int *size, kezu_robot_namespace::RobotJointOffset &jointOffset);

    // ---- Reply and push bodies ----

    // Read partially: a field left out is no failure (a missing code reads 0), only bytes that
    // are no encoding of the message are.
    static bool resolveResponse_commonFormat(const char *buffer, int size,
                                             CommunicationCommonResultResponse &response);
    static bool resolveResponse_robotEvent(const char *buffer, int size,
                                           kezu_robot_namespace::RobotEventInfo &robotEvent);
    static bool resolveResponse_robotEndSpeed(const char *buffer, int size, double &speed);
    static bool resolveResponse_jointAngle(const char *buffer, int size,
                                           kezu_robot_namespace::JointParam &jointAngle,
                                           int &errorCode);
    static bool resolveResponse_jointStatus(const char *buffer, int size,
                                            kezu_robot_namespace::JointStatus *jointStatusBuffer,
                                            int len, int &errorCode);
    static bool resolveResponse_robotDiagnosis(
        const char *buffer, int size, kezu_robot_namespace::RobotDiagnosis &robotDiagnosis);
    static bool resolveResponse_robotDiagnosisInfo(
        const char *buffer, int size, kezu_robot_namespace::RobotDiagnosis &robotDiagnosis,
        int &errorCode);
    static bool resolveResponse_devInfo(const char *buffer, int size,
                                        kezu_robot_namespace::RobotDevInfo &devInfo,
                                        int &errorCode);
    static bool resolveResponse_tcpParam(const char *buffer, int size, RobotTcpParam &tcpParam,
                                         int &errorCode);
    static bool resolveResponse_getToolDynamicsParam(
        const char *buffer, int size, kezu_robot_namespace::ToolDynamicsParam &toolDynamicsParam,
        int &errorCode);
    static bool resolveResponse_getToolKinematicsParam(
        const char *buffer, int size,
        kezu_robot_namespace::ToolKinematicsParam &toolKinematicsParam, int &errorCode);
    static bool resolveResponse_getDynIdentifyResults(const char *buffer, int size,
                                                      std::vector<int> &paramVector,
                                                      int &errorCode);
    static bool resolveResponse_gravityComponent(
        const char *buffer, int size, kezu_robot_namespace::RobotGravityComponent &gravityComponent,
        int &errorCode);
    static bool resolveResponse_collisionCurrent(const char *buffer, int size,
                                                 RobotCollisionCurrent &collisionCurrent,
                                                 int &errorCode);
    static bool resolveResponse_robotWorkMode(const char *buffer, int size,
                                              kezu_robot_namespace::RobotWorkMode &mode,
                                              int &errorCode);
    static bool resolveResponse_robotState(const char *buffer, int size,
                                           kezu_robot_namespace::RobotState &state, int &errorCode);
    static bool resolveResponse_isRealRobotExist(const char *buffer, int size, bool &value,
                                                 int &errorCode);
    static bool resolveResponse_safetyConfig(const char *buffer, int size,
                                             kezu_robot_namespace::RobotSafetyConfig &safetyConfig,
                                             int &errorCode);
    static bool resolveResponse_safetyStatus(const char *buffer, int size,
                                             kezu_robot_namespace::OrpeSafetyStatus &safetyStatus,
                                             int &errorCode);
    static bool resolveResponse_DhParam(const char *buffer, int size, int &robotType,
                                        RobotDhPara &robotDhPara, int &errorCode);
    static bool resolveResponse_robotDiagnosisIOData(
        const char *buffer, int size,
        std::vector<kezu_robot_namespace::RobotDiagnosisIODesc> &diagnosisIOStatusVector,
        int &errorCode);
    static bool resolveResponse_robotAnalogIOData(
        const char *buffer, int size,
        std::vector<kezu_robot_namespace::RobotAnalogIODesc> &analogIOStatusVector, int &errorCode);
    static bool resolveResponse_robotToolIoStatus(
        const char *buffer, int size, kezu_robot_namespace::RobotToolAllIOStatus &toolAllIOStatus,
        int &errorCode);
    static bool resolveResponse_ethernetDeviceName(const char *buffer, int size,
                                                   std::string &ethernetDeviceName, int &errorCode);

    // Serialises an event into the caller's buffer; *size is its capacity on entry and the
    // body's length after a true return.
    static bool getResponse_Event(char *ptr, int *size,
                                  const kezu_robot_namespace::RobotEventInfo &robotEvent);
};

#endif
