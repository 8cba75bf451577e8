#ifndef ROBOTCONTROLSERVICES_H
#define ROBOTCONTROLSERVICES_H

#include <pthread.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KezuRobotMetaType.h"
#include "communicationmatetype.h"
#include "internalMateType.h"
#include "ioreplywindow.h"
#include "moveledger.h"
#include "overduereplies.h"
#include "robotcommunicationclient.h"

// The request and reply engine of one controller connection: synchronous requests over the
// link (one reply slot and one request mutex per command type), the pushes and robot events
// handed to registered receivers, the waits on robot events, the login, and every request
// service built on them. Results are RobotErrorCode values.
class RobotControlServices : public RobotCommunicationClient {
public:
    using CommandType = CommunicationMateType::CommunicationCommandType;

    // The reply wait, counted from the call.
    static constexpr long WAIT_RESPONSE_MAX_TIME_USEC = 800000;

    // A single IO read: the point it asks, and the point a reply body of its type names
    // (IoReplyWindow::NO_POINT for none). A reply the link's IO reply window refuses is
    // dropped and the wait goes on.
    struct PointRead {
        int asked;
        std::function<int(const char *body, int length)> named;
    };

    using MoveEnd = MoveLedger::End;

    RobotControlServices();
    // Closes the link (ending the receive thread) before any member goes.
    // Virtual, unlike the link's: the facade deletes through this type, and clang rightly
    // refuses that for a polymorphic class others may derive from.
    virtual ~RobotControlServices();

    RobotControlServices(const RobotControlServices &) = delete;
    RobotControlServices &operator=(const RobotControlServices &) = delete;

    // ---- Request engine ----

    int sendRequestWaitResponse(const CommunicationRequest &requestInfo,
                                CommunicationResponse &responseInfo,
                                const PointRead *pointRead = nullptr);
    // Takes ownership of the body (null with length 0 for none); returns the mapped code.
    int requestServiceOnlyCheckSendResultMode(CommandType robotCommandType, void *protobufTextPtr,
                                              int protobufTextLength);
    // Takes ownership of the body; on 0 robotResponse owns a copy of the reply body.
    int requestServiceGetResponseContentMode(CommandType robotCommandType, void *protobufTextPtr,
                                             int protobufTextLength,
                                             CommunicationResponse &robotResponse,
                                             const PointRead *pointRead = nullptr);
    static int getErrCodeByServerResponse(int code);

    // ---- Connection and events ----

    int loginService(const char *host, int port, const std::string &userName,
                     const std::string &possword);
    int logoutService();

    int robotHandShakeService(bool isBlock);
    int robotStartupService(const RobotTcpParam &tcpParam, unsigned char collisionClass,
                            bool readPose, bool staticCollisionDetect, int maxAcc,
                            kezu_robot_namespace::ROBOT_SERVICE_STATE &result, bool IsBolck);
    int robotShutdownService(bool IsBolck);

    int startupOfflineExcitTrajService(const char *trackFile,
                                       kezu_robot_namespace::Robot_Dyn_identify_traj type,
                                       int subtype);
    int getDynIdentifyResultsService(std::vector<int> &paramVector);

    // Plain stores; register before the link is up (the receive thread reads them unlocked).
    void robotServiceRegisterRealTimeJointStatusCallbackService(RealTimeJointStatusCallback ptr,
                                                                void *arg);
    void robotServiceRegisterRealTimeRoadPointCallbackService(RealTimeRoadPointCallback ptr,
                                                              void *arg);
    void robotServiceRegisterRealTimeEndSpeedCallbackService(RealTimeEndSpeedCallback ptr,
                                                             void *arg);
    void robotServiceRegisterRobotEventInfoCallbackService(RobotEventCallback ptr, void *arg);

    // ---- Move support ----

    bool getRobotMoveAbnormalStopFlag();
    void setRobotMoveAbnormalStopFlag(bool value);
    bool getRobotMoveAtTrackTargetSignalFlag();
    void setRobotMoveAtTrackTargetSignalFlag(bool value);
    pthread_cond_t *getRobotMoveAtTrackTargetPosConditonPtr();
    pthread_mutex_t *getRobotMoveAtTrackTargetPosMutexPtr();
    // Runs send, a move request, as the next move of this connection: an arrival names no
    // move, so it belongs to the last move sent before it, and moves must reach the link in
    // the order they are numbered. A move that waits is followed until forgetMoveLocked.
    int sendMove(const std::function<int()> &send, bool waits, MoveLedger::Id &move);
    // How the move's wait stands; the caller holds the arrival mutex. Every event, link loss
    // and end of a move or stop request broadcasts the arrival condition.
    MoveEnd moveEndLocked(MoveLedger::Id move) const;
    void forgetMoveLocked(MoveLedger::Id move);
    // Runs send, a stop request. The stop event that answers it ends the moves whose request
    // went out before the stop's, not those sent after it (a script's next move). A stop sent
    // while a request of its type is unanswered is owed no event, nor are the stops before it:
    // the reply it takes, its result, may be the earlier request's, a refusal of it unseen.
    int sendStop(const std::function<int()> &send);

    // ---- Receive side (receive thread) ----

    void responseProcess(int socketFd, const char *requestContentPtr,
                         int requestContentLength) override;
    void realTimeJointStatusService(CommunicationResponse &response);
    void realTimeJointAngleService(CommunicationResponse &response);
    void realTimeEndSpeedService(CommunicationResponse &response);
    void realTimeRobotEventInfoService(CommunicationResponse &response);

    // ---- Push switches ----

    int setRealTimeJointStatusPush(bool enable);
    int setRealTimeJointAnglePush(bool enable);
    int setRealTimeEndSpeedPush(bool enable);

    // ---- Commands and sets ----

    int robotControlService(kezu_robot_namespace::RobotControlCommand cmd);
    int collisionRecover();
    int armPowerControlService(bool value);
    int rootReleaseBrake();
    int setTcpParamService(const RobotTcpParam &tcpParam);
    int setToolDynamicsParamService(
        const kezu_robot_namespace::ToolDynamicsParam &toolDynamicsParam);
    int setRobotWorkModeService(kezu_robot_namespace::RobotWorkMode mode);
    int setRobotCollisionClassService(int grade);
    int setRobotAtOriginPoseService();
    int setRobotSafetyConfig(const kezu_robot_namespace::RobotSafetyConfig &safetyConfig);
    int updateRobotBoardFirmwareService(kezu_robot_namespace::update_board_firmware_cmd cmd,
                                        const void *data, unsigned short length);
    int setRobotJointOffsetService(kezu_robot_namespace::RobotJointOffset &jointOffset);

    // ---- Safety IO commands ----

    int safeIoAboutCommunication(CommandType commandType, const std::vector<int> &paramVector);
    int setRobotOrpePause(unsigned char data);
    int setRobotOrpeStop(unsigned char data);
    int setRobotOrpeError(unsigned char *data, int len);
    int clearSystemEmergencyStop(unsigned char data);
    int clearReducedModeError(unsigned char data);
    int robotSafetyguardResetSucc(unsigned char data);

    // ---- IO sets ----

    int setInterfaceBoardDOStatusService(int addr, kezu_robot_namespace::IO_STATUS status);
    int setInterfaceBoardAOStatusService(int addr, double status);
    int setToolPowerVoltageTypeService(kezu_robot_namespace::ToolPowerType value);
    int setToolPowerTypeAndDigitalIOTypeService(kezu_robot_namespace::ToolPowerType type,
                                                kezu_robot_namespace::ToolIOType io0,
                                                kezu_robot_namespace::ToolIOType io1,
                                                kezu_robot_namespace::ToolIOType io2,
                                                kezu_robot_namespace::ToolIOType io3);
    int setToolDigitalIOTypeService(kezu_robot_namespace::ToolDigitalIOAddr addr,
                                    kezu_robot_namespace::ToolIOType type);
    int setToolDigitalIOStatusService(kezu_robot_namespace::ToolDigitalIOAddr addr,
                                      kezu_robot_namespace::IO_STATUS value);

    // ---- Reads ----

    int getRobotJointStatus(kezu_robot_namespace::JointStatus *jointStatus, int size);
    int getCurrentJointAngle(kezu_robot_namespace::JointParam &jointParam);
    int getRobotDiagnosisInfo(kezu_robot_namespace::RobotDiagnosis &robotDiagnosis);
    int getRobotCurrentStateService(kezu_robot_namespace::RobotState &state);
    int getTcpParamService(RobotTcpParam &tcpParam);
    int getToolDynamicsParamService(kezu_robot_namespace::ToolDynamicsParam &toolDynamicsParam);
    int getRobotWorkModeService(kezu_robot_namespace::RobotWorkMode &mode);
    int getRobotGravityComponent(kezu_robot_namespace::RobotGravityComponent &gravityComponent);
    int getRobotCollisionCurrentService(RobotCollisionCurrent &collisionCurrent);
    int getIsRealRobotExist(bool &value);
    int getRobotDevInfoService(kezu_robot_namespace::RobotDevInfo &devInfo);
    int getInterfaceBoardAllDIStatusService(
        std::vector<kezu_robot_namespace::RobotDiagnosisIODesc> &statusVector);
    int getInterfaceBoardAllDOStatusService(
        std::vector<kezu_robot_namespace::RobotDiagnosisIODesc> &statusVector);
    int getInterfaceBoardAllAIStatusService(
        std::vector<kezu_robot_namespace::RobotAnalogIODesc> &statusVector);
    int getInterfaceBoardAllAOStatusService(
        std::vector<kezu_robot_namespace::RobotAnalogIODesc> &statusVector);
    int getToolAllDigitalIOStatusService(
        std::vector<kezu_robot_namespace::RobotDiagnosisIODesc> &statusVector);
    int getToolAllAIStatusService(
        std::vector<kezu_robot_namespace::RobotAnalogIODesc> &statusVector);
    int getRobotSafetyConfig(kezu_robot_namespace::RobotSafetyConfig &safetyConfig);
    int getOrpeSafetyStatus(kezu_robot_namespace::OrpeSafetyStatus &safetyStatus);
    int getToolAllIOStatusService(kezu_robot_namespace::RobotToolAllIOStatus &toolAllIOStatus);
    int getBoardFirmwareUpdateResultService(bool &value);
    int getRobotEthernetDeviceNameService(std::string &ethernetDeviceName);

    // ---- Single IO reads ----

    int getRobotDigitalIOStatusService(CommandType commandType, int addr, int &status);
    int getRobotAnalogIOStatusService(CommandType commandType, int addr, double &status);
    int getInterfaceBoardDIStatusService(int addr, kezu_robot_namespace::IO_STATUS &status);
    int getInterfaceBoardDOStatusService(int addr, kezu_robot_namespace::IO_STATUS &status);
    int getToolPowerVoltageTypeService(kezu_robot_namespace::ToolPowerType &type);
    int getToolPowerVoltageStatusService(double &value);
    int getInterfaceBoardAIStatusService(int addr, double &status);
    int getInterfaceBoardAOStatusService(int addr, double &status);

protected:
    // One robot event that a caller can wait for. The receive thread only counts and records
    // under the mutex; nobody holds it across a request, so the receive thread never waits.
    struct EventHandOff {
        EventHandOff();
        ~EventHandOff();
        EventHandOff(const EventHandOff &) = delete;
        EventHandOff &operator=(const EventHandOff &) = delete;

        pthread_mutex_t mutex;
        pthread_cond_t condition;
        unsigned long count = 0;  // events received so far
        int code = 0;             // what the last event carried
    };

    // How an event wait ended.
    enum class EventWaitResult { Event, LinkLost, TimedOut, Failed };

    // Ends every wait of the lost link: reply waits, event waits and the arrival waits.
    void linkLost() override;
    // Places a move or stop request of this thread among the others in the order they go out.
    static void aboutToWrite(void *services);
    static MoveLedger::Request requestEnd(bool written, int result);

    std::unique_ptr<CommunicationResponse[]> m_robotCommandResponseSet;
    std::unique_ptr<std::mutex[]> m_robotCommandMutexSet;
    // What the single IO reads of the current link know about late replies.
    IoReplyWindow m_ioReplyWindow;
    // Under each type's reply-slot mutex.
    OverdueReplies m_overdueReplies;

    EventHandOff m_startupDone;
    kezu_robot_namespace::ROBOT_SERVICE_STATE m_robotStartupDoneResult;
    EventHandOff m_shutDownDone;
    EventHandOff m_robotHandShakeFinish;
    bool m_robotHandShakeSuccFlag;

    RobotEventCallback m_robotEventCallback;
    void *m_robotEventCallbackArg;
    RealTimeEndSpeedCallback m_robotEndSpeedCallback;
    void *m_robotEndSpeedCallbackArg;
    RealTimeJointStatusCallback m_realTimeJointStatusCallback;
    void *m_realTimeJointStatusCallbackArg;
    RealTimeRoadPointCallback m_realTimeRoadPointCallback;
    void *m_realTimeRoadPointCallbackArg;

    std::unique_ptr<pthread_cond_t> m_robotMoveAtTrackTargetPosConditonPtr;
    std::unique_ptr<pthread_mutex_t> m_robotMoveAtTrackTargetPosMutexPtr;
    // Written under the arrival mutex by the receive thread, reset by the move service.
    std::atomic<bool> m_robotMoveAbnormalStopFlag;
    std::atomic<bool> m_robotMoveAtTrackTargetSignalFlag;
    // Under the arrival mutex.
    MoveLedger m_moveLedger;
    // Held across a whole move request, so moves go out in the order they are numbered.
    std::mutex m_moveOrderMutex;

    // Set once the first successful login of the process has installed its DH lengths.
    static bool S_setDhParam;

private:
    // Sees every reply of the request's type that the request meets: whether it answers the
    // request (one found before the request was sent never does and is dropped).
    using ReplyFilter = std::function<bool(const char *body, int length, bool beforeSend)>;

    // The exchange of sendRequestWaitResponse, under the type's request mutex.
    int exchangeLocked(const CommunicationRequest &requestInfo, CommunicationResponse &responseInfo,
                       const struct timespec &deadline, unsigned long linkLossAtStart,
                       const ReplyFilter &answers);
    // A single IO read's exchange, its replies passed through the IO reply window.
    int pointReadLocked(const CommunicationRequest &requestInfo,
                        CommunicationResponse &responseInfo, const struct timespec &deadline,
                        unsigned long linkLossAtStart, const PointRead &pointRead);
    int waitReplyLocked(CommunicationResponse &slot, CommandType type,
                        const struct timespec &deadline, unsigned long linkLossAtStart,
                        const ReplyFilter &answers);
    static bool holdsReply(CommunicationResponse &slot, CommandType type,
                           const ReplyFilter &answers);
    static void takeReply(CommunicationResponse &slot, CommunicationResponse &responseInfo);
    void storeReply(int socketFd, CommandType type, char *body, int length);
    int requestWithEventWait(EventHandOff &handOff, CommandType type, void *body, int length,
                             int waitSeconds, EventWaitResult &waitResult, int &code);
    EventWaitResult waitForEvent(EventHandOff &handOff, unsigned long countBefore,
                                 unsigned long linkLossBefore, const struct timespec &deadline,
                                 int &code);
    static void recordEventLocked(EventHandOff &handOff, int code);
    void handleRobotEvent(const kezu_robot_namespace::RobotEventInfo &event);
    void signalArrival();
    // Event 25 with code 0 (answers may be owed) or a controller error (never owed).
    void signalStop(bool mayAnswerAStop);
    void broadcastMoveChangeLocked();

    // The move (its id) or stop (id 0) request this thread is making; the link's write hook
    // tells when its package goes out.
    struct PendingWrite {
        PendingWrite(RobotControlServices *services, MoveLedger::Id move)
            : services(services), move(move) {}
        int run(const std::function<int()> &send);

        RobotControlServices *services;
        MoveLedger::Id move;
        bool written = false;     // under the arrival mutex
        MoveLedger::Id stop = 0;  // the ledger's id of a stop written and owed its event
        // A request of its type was unanswered when its request dropped the stale reply.
        bool replyOverdue = false;
        static void noteReplyOverdue(RobotControlServices *services, bool overdue);
        static thread_local PendingWrite *current;
    };
    // False when the reported lengths are refused (not finite); they stay uninstalled.
    static bool installDhParamOnce(int robotType, const RobotDhPara &dhPara);

    // The read shape: request, decode with `decode(body, size, code)`, map the code.
    template <typename Decode>
    int readService(CommandType type, void *body, int length, Decode decode, int decodeFailure,
                    const char *errorText, const PointRead *pointRead = nullptr);
    // The command shape with a body built by `encode(&ptr, &size)`.
    template <typename Encode>
    int commandService(CommandType type, Encode encode, const char *errorText);
    // The read shape, without a request body, for a decoder of the codec's usual signature.
    template <typename Record>
    int readRecord(CommandType type, bool (*decoder)(const char *, int, Record &, int &),
                   Record &record, int decodeFailure, const char *errorText);
    template <typename Record>
    int readIoList(CommandType type, void *body, int length, std::vector<Record> &list,
                   const char *errorText, const PointRead *pointRead = nullptr);
    // A single IO read of the point at addr, its value written to out only with result 0.
    template <typename Record, typename Out>
    int readIoPoint(CommandType type, int addr, Out &out, const char *errorText);
    template <typename Out>
    int readDigitalPoint(CommandType type, int addr, Out &out);
    int ioSetService(CommandType type,
                     const std::vector<kezu_robot_namespace::RobotDiagnosisIODesc> &records,
                     const char *errorText);
};

#endif
