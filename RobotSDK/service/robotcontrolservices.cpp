#include "robotcontrolservices.h"

#include <sys/time.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "globalutil.h"
#include "protoencodedecode.h"
#include "pthreadlock.h"
#include "robotutilservice.h"

using kezu_robot_logtrace::W_ERROR;
using kezu_robot_logtrace::W_INFO;
namespace sdk = kezu_robot_namespace;
using CMT = CommunicationMateType;

namespace {

constexpr long long kNsecPerSec = 1000000000LL;

// Waits use absolute wall-clock deadlines, fixed when the operation starts.
timespec deadlineAfterUsec(long long usec) {
    timeval now{};
    gettimeofday(&now, nullptr);
    const long long nsec = static_cast<long long>(now.tv_usec) * 1000 + usec * 1000;
    timespec deadline{};
    deadline.tv_sec = now.tv_sec + static_cast<time_t>(nsec / kNsecPerSec);
    deadline.tv_nsec = static_cast<long>(nsec % kNsecPerSec);
    return deadline;
}

std::string commandName(CMT::CommunicationCommandType type) {
    return CMT::getCommandDescByType(type);
}

bool isPush(int type) {
    return type == CMT::CommunicationType_Event ||
           type == CMT::CommunicationType_RealTimeJointStatus ||
           type == CMT::CommunicationType_RealTimeRobotJointAngle ||
           type == CMT::CommunicationType_RealTimeRobotEndSpeed;
}

constexpr int kStartupWaitSeconds = 60;
constexpr int kShutdownWaitSeconds = 30;
constexpr int kHandShakeWaitSeconds = 30;

}  // namespace

bool RobotControlServices::S_setDhParam = false;

namespace {
std::mutex &dhParamMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

RobotControlServices::EventHandOff::EventHandOff() {
    pthread_mutex_init(&mutex, nullptr);
    pthread_cond_init(&condition, nullptr);
}

RobotControlServices::EventHandOff::~EventHandOff() {
    pthread_cond_destroy(&condition);
    pthread_mutex_destroy(&mutex);
}

RobotControlServices::RobotControlServices()
    : m_robotCommandResponseSet(new CommunicationResponse[CMT::CommunicationTypeCount]),
      m_robotCommandMutexSet(new std::mutex[CMT::CommunicationTypeCount]),
      m_ioReplyWindow(CMT::CommunicationTypeCount),
      m_overdueReplies(CMT::CommunicationTypeCount),
      m_robotStartupDoneResult(sdk::ROBOT_SERVICE_READY),
      m_robotHandShakeSuccFlag(false),
      m_robotEventCallback(nullptr),
      m_robotEventCallbackArg(nullptr),
      m_robotEndSpeedCallback(nullptr),
      m_robotEndSpeedCallbackArg(nullptr),
      m_realTimeJointStatusCallback(nullptr),
      m_realTimeJointStatusCallbackArg(nullptr),
      m_realTimeRoadPointCallback(nullptr),
      m_realTimeRoadPointCallbackArg(nullptr),
      m_robotMoveAtTrackTargetPosConditonPtr(new pthread_cond_t),
      m_robotMoveAtTrackTargetPosMutexPtr(new pthread_mutex_t),
      m_robotMoveAbnormalStopFlag(false),
      m_robotMoveAtTrackTargetSignalFlag(false) {
    pthread_cond_init(m_robotMoveAtTrackTargetPosConditonPtr.get(), nullptr);
    pthread_mutex_init(m_robotMoveAtTrackTargetPosMutexPtr.get(), nullptr);
    setWriteHook(&RobotControlServices::aboutToWrite, this);
}

RobotControlServices::~RobotControlServices() {
    // The receive thread and the write hook use the members below; both must end first.
    disconnectRobotServer();
    setWriteHook(nullptr, nullptr);
    pthread_cond_destroy(m_robotMoveAtTrackTargetPosConditonPtr.get());
    pthread_mutex_destroy(m_robotMoveAtTrackTargetPosMutexPtr.get());
}

// ---- Request engine ----

int RobotControlServices::sendRequestWaitResponse(const CommunicationRequest &requestInfo,
                                                  CommunicationResponse &responseInfo,
                                                  const PointRead *pointRead) {
    const timespec deadline = deadlineAfterUsec(WAIT_RESPONSE_MAX_TIME_USEC);
    const unsigned long linkLossAtStart = getLinkLossCount();
    if (!getCurrentConnectStatus()) {
        W_ERROR("sdk log: Current connect disconnect.");
        return sdk::ErrCode_SocketDisconnect;
    }
    const CommandType type = requestInfo.m_commandType;
    if (type < 0 || type >= CMT::CommunicationTypeCount || isPush(type)) {
        W_ERROR("sdk log:  Command type not exist.");
        return sdk::ErrCode_RequestRelatedVariableError;
    }
    std::lock_guard<std::mutex> requestLock(m_robotCommandMutexSet[type]);
    if (pointRead != nullptr) {
        return pointReadLocked(requestInfo, responseInfo, deadline, linkLossAtStart, *pointRead);
    }
    return exchangeLocked(requestInfo, responseInfo, deadline, linkLossAtStart, nullptr);
}

int RobotControlServices::pointReadLocked(const CommunicationRequest &requestInfo,
                                          CommunicationResponse &responseInfo,
                                          const timespec &deadline, unsigned long linkLossAtStart,
                                          const PointRead &pointRead) {
    IoReplyWindow::Read read =
        m_ioReplyWindow.begin(requestInfo.m_commandType, linkLossAtStart, pointRead.asked);
    const ReplyFilter answers = [&](const char *body, int length, bool beforeSend) {
        const int named = pointRead.named(body, length);
        if (beforeSend) {
            m_ioReplyWindow.stale(read, named);
            return false;
        }
        return m_ioReplyWindow.takes(read, named);
    };
    const int result =
        exchangeLocked(requestInfo, responseInfo, deadline, linkLossAtStart, answers);
    m_ioReplyWindow.end(read, result == sdk::ErrCode_RequestTimeout);
    return result;
}

int RobotControlServices::exchangeLocked(const CommunicationRequest &requestInfo,
                                         CommunicationResponse &responseInfo,
                                         const timespec &deadline, unsigned long linkLossAtStart,
                                         const ReplyFilter &answers) {
    const CommandType type = requestInfo.m_commandType;
    CommunicationResponse &slot = m_robotCommandResponseSet[type];
    unsigned long sendingLink = 0;
    {
        // A reply that came after an earlier request gave up is dropped here. The slot is
        // not held across the send, so the receive thread never waits for a slow send.
        PthreadLock slotLock(slot.m_mutex);
        if (answers && slot.m_commandType == type) {
            answers(slot.m_textPtr, slot.m_textLength, true);
        }
        slot.destroy();
        // Counted on the link the package goes out on, which a request that waited for its
        // turn across a new login may not have begun on.
        sendingLink = getLinkLossCount();
        // Decided here, not at the write: a late reply arriving in between would be taken too.
        PendingWrite::noteReplyOverdue(this, m_overdueReplies.overdue(type, sendingLink));
        // Counted before the write, as the reply may come before the send returns.
        m_overdueReplies.sending(type, sendingLink);
    }
    if (!encodeAndSendCommunicationPackage(requestInfo)) {
        {
            PthreadLock slotLock(slot.m_mutex);
            m_overdueReplies.notSent(type, sendingLink);
        }
        // A link lost since the request began is what the caller can act on.
        if (getLinkLossCount() != linkLossAtStart || !getCurrentConnectStatus()) {
            W_ERROR("sdk log: Current connect disconnect.");
            return sdk::ErrCode_SocketDisconnect;
        }
        W_ERROR("sdk log: encode and send request failed.");
        return sdk::ErrCode_SendRequestFailed;
    }
    if (type == CMT::CommunicationType_RobotMove) {
        W_INFO("sdk log: Sending robotMove request was successful, waiting for server response.");
    }
    PthreadLock slotLock(slot.m_mutex);
    const int result = waitReplyLocked(slot, type, deadline, linkLossAtStart, answers);
    if (result == 0) {
        takeReply(slot, responseInfo);
        if (type == CMT::CommunicationType_RobotMove) {
            W_INFO("sdk log: Successfully waited for a robotMove response from the server.");
        }
    }
    return result;
}

// A stored reply is recognised by its command type (an empty slot has the unknown type), so
// a wake-up without a reply waits on until the deadline. A link lost meanwhile is reported as
// such, also when the deadline has passed by the time its waits are ended.
int RobotControlServices::waitReplyLocked(CommunicationResponse &slot, CommandType type,
                                          const timespec &deadline, unsigned long linkLossAtStart,
                                          const ReplyFilter &answers) {
    for (bool timedOut = false;;) {
        if (holdsReply(slot, type, answers)) {
            return 0;
        }
        if (getLinkLossCount() != linkLossAtStart) {
            W_ERROR("sdk log: Current connect disconnect.");
            return sdk::ErrCode_SocketDisconnect;
        }
        if (timedOut) {
            W_ERROR("sdk log: Wait response timeout. cmd type: %s", commandName(type).c_str());
            return sdk::ErrCode_RequestTimeout;
        }
        const int rc = pthread_cond_timedwait(&slot.m_conditon, &slot.m_mutex, &deadline);
        timedOut = rc == ETIMEDOUT;
        if (rc != 0 && !timedOut) {
            W_ERROR("sdk log: Call pthread_cond_timedwait failed. cmd type: %s",
                    commandName(type).c_str());
            return sdk::ErrCode_RequestRelatedVariableError;
        }
    }
}

// A reply that answers another request of the type (a late one) is dropped unread.
bool RobotControlServices::holdsReply(CommunicationResponse &slot, CommandType type,
                                      const ReplyFilter &answers) {
    if (slot.m_commandType != type) {
        return false;
    }
    if (!answers || answers(slot.m_textPtr, slot.m_textLength, false)) {
        return true;
    }
    W_ERROR("sdk log: Dropped a reply to another request. cmd type: %s", commandName(type).c_str());
    slot.destroy();
    return false;
}

void RobotControlServices::takeReply(CommunicationResponse &slot,
                                     CommunicationResponse &responseInfo) {
    responseInfo.destroy();
    if (slot.m_textPtr == nullptr) {
        W_ERROR("recv response text is NULL, command:%d", slot.m_commandType);
    }
    // The caller's request owns the slot until it returns and the next request of the type
    // would only drop the body, so the caller takes it over instead of a copy.
    responseInfo.setProperty(slot.m_socketFd, slot.m_commandType, slot.m_textPtr,
                             slot.m_textLength);
    slot.init();
}

int RobotControlServices::requestServiceOnlyCheckSendResultMode(CommandType robotCommandType,
                                                                void *protobufTextPtr,
                                                                int protobufTextLength) {
    CommunicationRequest request;
    request.setProperty(-1, robotCommandType, static_cast<char *>(protobufTextPtr),
                        protobufTextLength);
    CommunicationResponse response;
    const int result = sendRequestWaitResponse(request, response);
    if (result != 0) {
        return result;
    }
    if (response.m_textPtr == nullptr) {
        W_ERROR("sdk log: robot server response text is NULL.");
        return sdk::ErrCode_ResponseInfoIsNULL;
    }
    // A reply without a code (an empty body, too) counts as 0; bytes that do not decode are
    // no success.
    CommunicationCommonResultResponse common;
    if (!ProtoEncodeDecode::resolveResponse_commonFormat(response.m_textPtr, response.m_textLength,
                                                         common)) {
        W_ERROR("sdk log: Resolve common response failed. cmd Type:%s",
                commandName(robotCommandType).c_str());
        return sdk::ErrCode_ResolveResponseFailed;
    }
    const int mapped = getErrCodeByServerResponse(common.m_errorCode);
    if (mapped != 0) {
        W_ERROR("sdk log: Response return false. cmd Type:%s  errorCode:%d",
                commandName(robotCommandType).c_str(), mapped);
    }
    return mapped;
}

int RobotControlServices::requestServiceGetResponseContentMode(CommandType robotCommandType,
                                                               void *protobufTextPtr,
                                                               int protobufTextLength,
                                                               CommunicationResponse &robotResponse,
                                                               const PointRead *pointRead) {
    CommunicationRequest request;
    request.setProperty(-1, robotCommandType, static_cast<char *>(protobufTextPtr),
                        protobufTextLength);
    robotResponse.destroy();
    robotResponse.setProperty(-1, robotCommandType, nullptr, 0);
    const int result = sendRequestWaitResponse(request, robotResponse, pointRead);
    if (result == 0 && robotResponse.m_textPtr == nullptr) {
        W_ERROR("sdk log: robot server response text is NULL.");
        return sdk::ErrCode_ResponseInfoIsNULL;
    }
    return result;
}

int RobotControlServices::getErrCodeByServerResponse(int code) {
    if (code == 0) {
        return sdk::ErrnoSucc;
    }
    if (code == 4) {  // RobotResponseCode_RealRobotNoExist
        return sdk::ErrCode_RealRobotNoExist;
    }
    return sdk::ErrCode_ResponseReturnError;
}

// ---- Receive side ----

void RobotControlServices::responseProcess(int socketFd, const char *requestContentPtr,
                                           int requestContentLength) {
    int32_t type = -1;
    if (requestContentPtr != nullptr && requestContentLength >= static_cast<int>(sizeof(type))) {
        std::memcpy(&type, requestContentPtr, sizeof(type));
    }
    if (type < 0 || type >= CMT::CommunicationTypeCount) {
        W_ERROR("sdk log:  Command type not exist.");
        return;
    }
    const int length = requestContentLength - static_cast<int>(sizeof(type));
    char *body = new char[length];
    std::memcpy(body, requestContentPtr + sizeof(type), length);
    const CommandType commandType = static_cast<CommandType>(type);
    if (!isPush(type)) {
        storeReply(socketFd, commandType, body, length);
        return;
    }
    // A record of this call's own, not the push slot: after a link loss the old link's receive
    // thread posts its last event while the next link's thread may already handle pushes.
    CommunicationResponse slot;
    slot.setProperty(socketFd, commandType, body, length);
    switch (type) {
        case CMT::CommunicationType_Event:
            realTimeRobotEventInfoService(slot);
            break;
        case CMT::CommunicationType_RealTimeJointStatus:
            realTimeJointStatusService(slot);
            break;
        case CMT::CommunicationType_RealTimeRobotJointAngle:
            realTimeJointAngleService(slot);
            break;
        default:
            realTimeEndSpeedService(slot);
            break;
    }
}

void RobotControlServices::storeReply(int socketFd, CommandType type, char *body, int length) {
    if (type == CMT::CommunicationType_RobotMove) {
        W_INFO("sdk log: Processing the robotMove response from the server..");
    }
    CommunicationResponse &slot = m_robotCommandResponseSet[type];
    {
        PthreadLock slotLock(slot.m_mutex);
        slot.destroy();
        slot.setProperty(socketFd, type, body, length);
        m_overdueReplies.replyArrived(type);
    }
    // Signalled once the slot is free: a waiter woken under the lock would only block on it
    // again, one more thread switch per reply. It checks for the reply under the lock, so no
    // wake-up is lost.
    pthread_cond_signal(&slot.m_conditon);
}

void RobotControlServices::realTimeJointStatusService(CommunicationResponse &response) {
    sdk::JointStatus status[sdk::ARM_DOF];
    std::memset(status, 0, sizeof(status));
    int errorCode = 0;
    if (ProtoEncodeDecode::resolveResponse_jointStatus(response.m_textPtr, response.m_textLength,
                                                       status, sdk::ARM_DOF, errorCode)) {
        if (m_realTimeJointStatusCallback != nullptr) {
            m_realTimeJointStatusCallback(status, sdk::ARM_DOF, m_realTimeJointStatusCallbackArg);
        }
    } else {
        W_ERROR("sdk log: Resolve realtime joint status info failed.");
    }
    response.destroy();
}

void RobotControlServices::realTimeJointAngleService(CommunicationResponse &response) {
    sdk::JointParam joints{};
    int errorCode = 0;
    if (ProtoEncodeDecode::resolveResponse_jointAngle(response.m_textPtr, response.m_textLength,
                                                      joints, errorCode)) {
        sdk::wayPoint_S wayPoint{};
        // A pose the kinematics could not compute is not handed out.
        if (RobotUtilService::robotFk(joints.jointPos, sdk::ARM_DOF, wayPoint) == 0 &&
            m_realTimeRoadPointCallback != nullptr) {
            m_realTimeRoadPointCallback(&wayPoint, m_realTimeRoadPointCallbackArg);
        }
    } else {
        W_ERROR("sdk log: Resolve realtime joint angle info failed.");
    }
    response.destroy();
}

void RobotControlServices::realTimeEndSpeedService(CommunicationResponse &response) {
    double speed = 0.0;
    if (ProtoEncodeDecode::resolveResponse_robotEndSpeed(response.m_textPtr, response.m_textLength,
                                                         speed)) {
        if (m_robotEndSpeedCallback != nullptr) {
            m_robotEndSpeedCallback(speed, m_robotEndSpeedCallbackArg);
        }
    } else {
        W_ERROR("sdk log: Resolve realtime end speed info failed.");
    }
    response.destroy();
}

void RobotControlServices::realTimeRobotEventInfoService(CommunicationResponse &response) {
    sdk::RobotEventInfo event{};
    if (!ProtoEncodeDecode::resolveResponse_robotEvent(response.m_textPtr, response.m_textLength,
                                                       event)) {
        W_ERROR("sdk log: Resolve realtime robot event failed.");
        return;
    }
    handleRobotEvent(event);
    if (m_robotEventCallback != nullptr) {
        m_robotEventCallback(&event, m_robotEventCallbackArg);
    }
}

void RobotControlServices::handleRobotEvent(const sdk::RobotEventInfo &event) {
    switch (event.eventType) {
        case sdk::RobotEvent_atTrackTargetPos:
            W_INFO("sdk log: RobotEvent_atTrackTargetPos processing.");
            signalArrival();
            break;
        case sdk::RobotEvent_robotControllerStateChaned:
            if (event.eventCode == 0) {
                signalStop(true);
            }
            break;
        case sdk::RobotEvent_robotControllerError:
            signalStop(false);
            break;
        case sdk::RobotEvent_robotStartupDoneResult: {
            PthreadLock lock(m_startupDone.mutex);
            m_robotStartupDoneResult = static_cast<sdk::ROBOT_SERVICE_STATE>(event.eventCode);
            recordEventLocked(m_startupDone, event.eventCode);
            break;
        }
        case sdk::RobotEvent_robotShutdownDone: {
            PthreadLock lock(m_shutDownDone.mutex);
            recordEventLocked(m_shutDownDone, event.eventCode);
            break;
        }
        case sdk::RobotEvent_RobotHandShakeSucc:
        case sdk::RobotEvent_RobotHandShakeFailed: {
            PthreadLock lock(m_robotHandShakeFinish.mutex);
            m_robotHandShakeSuccFlag = event.eventType == sdk::RobotEvent_RobotHandShakeSucc;
            recordEventLocked(m_robotHandShakeFinish, m_robotHandShakeSuccFlag ? 1 : 0);
            break;
        }
        default:
            break;
    }
}

void RobotControlServices::recordEventLocked(EventHandOff &handOff, int code) {
    ++handOff.count;
    handOff.code = code;
    pthread_cond_broadcast(&handOff.condition);
}

void RobotControlServices::signalArrival() {
    PthreadLock lock(*m_robotMoveAtTrackTargetPosMutexPtr);
    m_robotMoveAtTrackTargetSignalFlag = true;
    m_moveLedger.arrival();
    broadcastMoveChangeLocked();
}

void RobotControlServices::signalStop(bool mayAnswerAStop) {
    PthreadLock lock(*m_robotMoveAtTrackTargetPosMutexPtr);
    m_robotMoveAbnormalStopFlag = true;
    if (mayAnswerAStop) {
        m_moveLedger.stopped(std::chrono::steady_clock::now());
    } else {
        m_moveLedger.controllerError();
    }
    broadcastMoveChangeLocked();
}

// Every waiting move decides for itself whether the change ends its wait.
void RobotControlServices::broadcastMoveChangeLocked() {
    pthread_cond_broadcast(m_robotMoveAtTrackTargetPosConditonPtr.get());
}

void RobotControlServices::linkLost() {
    // The client counted the loss before this call; every condition is broadcast under its
    // mutex, and a waiter checks the count under the same mutex before it sleeps, so none
    // misses the loss.
    for (int type = 0; type < CMT::CommunicationTypeCount; ++type) {
        CommunicationResponse &slot = m_robotCommandResponseSet[type];
        PthreadLock lock(slot.m_mutex);
        pthread_cond_broadcast(&slot.m_conditon);
    }
    for (EventHandOff *handOff : {&m_startupDone, &m_shutDownDone, &m_robotHandShakeFinish}) {
        PthreadLock lock(handOff->mutex);
        pthread_cond_broadcast(&handOff->condition);
    }
    PthreadLock lock(*m_robotMoveAtTrackTargetPosMutexPtr);
    m_moveLedger.linkLost();
    broadcastMoveChangeLocked();
}

// ---- Connection and events ----

bool RobotControlServices::installDhParamOnce(int robotType, const RobotDhPara &dhPara) {
    // Two connections may log in at once; only the first success of the process installs.
    std::lock_guard<std::mutex> lock(dhParamMutex());
    if (S_setDhParam) {
        return true;
    }
    if (!RobotUtilService::setRobotDhParam(robotType, dhPara)) {
        W_ERROR(
            "sdk log: set dhparam failed, lengths not finite. type:%d, DhParam:%f,%f,%f,%f,%f,%f",
            robotType, dhPara.A3, dhPara.A4, dhPara.D1, dhPara.D2, dhPara.D5, dhPara.D6);
        return false;
    }
    S_setDhParam = true;
    W_INFO("sdk log: set dhparam success. type:%d, DhParam:%f,%f,%f,%f,%f,%f", robotType, dhPara.A3,
           dhPara.A4, dhPara.D1, dhPara.D2, dhPara.D5, dhPara.D6);
    return true;
}

int RobotControlServices::loginService(const char *host, int port, const std::string &userName,
                                       const std::string &possword) {
    char *body = nullptr;
    int size = 0;
    if (!ProtoEncodeDecode::getRequest_login(&body, &size, userName, possword)) {
        W_ERROR("sdk log: Make login protobuf content failed.");
        return sdk::ErrCode_CreateRequestFailed;
    }
    std::unique_ptr<char[]> ownedBody(body);
    if (host == nullptr) {
        W_ERROR("sdk log: Login service connect server failed.");
        return sdk::ErrCode_ConnectSocketFailed;
    }
    setServerIP(host);
    setServerPort(port);
    if (connectRobotServer() != 0) {
        W_ERROR("sdk log: Login service connect server failed.");
        return sdk::ErrCode_ConnectSocketFailed;
    }
    W_INFO("sdk log: Connect robot server success.");

    CommunicationResponse response;
    const int result = requestServiceGetResponseContentMode(CMT::CommunicationType_Login,
                                                            ownedBody.release(), size, response);
    if (result != 0) {
        return result;
    }
    int robotType = 0;
    RobotDhPara dhPara{};
    int errorCode = 0;
    if (!ProtoEncodeDecode::resolveResponse_DhParam(response.m_textPtr, response.m_textLength,
                                                    robotType, dhPara, errorCode)) {
        W_ERROR("sdk log: resolveResponse_DhParam  error.");
        return sdk::ErrCode_ResolveResponseFailed;
    }
    if (errorCode != 0) {
        return getErrCodeByServerResponse(errorCode);
    }
    if (!installDhParamOnce(robotType, dhPara)) {
        return sdk::ErrCode_ResolveResponseFailed;
    }
    W_INFO("sdk log: login  success.");
    return sdk::ErrnoSucc;
}

int RobotControlServices::logoutService() { return disconnectRobotServer(); }

int RobotControlServices::requestWithEventWait(EventHandOff &handOff, CommandType type, void *body,
                                               int length, int waitSeconds,
                                               EventWaitResult &waitResult, int &code) {
    const timespec deadline = deadlineAfterUsec(static_cast<long long>(waitSeconds) * 1000000);
    // Only an event that comes after this point answers the request.
    unsigned long countBefore = 0;
    {
        PthreadLock lock(handOff.mutex);
        countBefore = handOff.count;
    }
    const unsigned long linkLossBefore = getLinkLossCount();
    const int result = requestServiceOnlyCheckSendResultMode(type, body, length);
    if (result != 0) {
        return result;
    }
    waitResult = waitForEvent(handOff, countBefore, linkLossBefore, deadline, code);
    return 0;
}

RobotControlServices::EventWaitResult RobotControlServices::waitForEvent(
    EventHandOff &handOff, unsigned long countBefore, unsigned long linkLossBefore,
    const timespec &deadline, int &code) {
    PthreadLock lock(handOff.mutex);
    for (bool timedOut = false;;) {
        if (handOff.count != countBefore) {
            code = handOff.code;
            return EventWaitResult::Event;
        }
        if (getLinkLossCount() != linkLossBefore) {
            return EventWaitResult::LinkLost;
        }
        if (timedOut) {
            return EventWaitResult::TimedOut;
        }
        const int rc = pthread_cond_timedwait(&handOff.condition, &handOff.mutex, &deadline);
        timedOut = rc == ETIMEDOUT;
        if (rc != 0 && !timedOut) {
            return EventWaitResult::Failed;
        }
    }
}

int RobotControlServices::robotHandShakeService(bool isBlock) {
    if (!isBlock) {
        return requestServiceOnlyCheckSendResultMode(CMT::CommunicationType_RobotHandShake, nullptr,
                                                     0);
    }
    EventWaitResult waitResult = EventWaitResult::Failed;
    int succeeded = 0;
    const int result =
        requestWithEventWait(m_robotHandShakeFinish, CMT::CommunicationType_RobotHandShake, nullptr,
                             0, kHandShakeWaitSeconds, waitResult, succeeded);
    if (result != 0) {
        return result;
    }
    switch (waitResult) {
        case EventWaitResult::Event:
            return succeeded != 0 ? sdk::ErrnoSucc : sdk::ErrCode_ResponseReturnError;
        case EventWaitResult::LinkLost:
            W_ERROR("sdk log: Wait handShake signal ended: link lost.");
            return sdk::ErrCode_SocketDisconnect;
        default:
            W_ERROR("sdk log: Wait handShake signal timeout.");
            return sdk::ErrCode_MotionRelatedVariableError;
    }
}

int RobotControlServices::robotStartupService(const RobotTcpParam &tcpParam,
                                              unsigned char collisionClass, bool readPose,
                                              bool staticCollisionDetect, int maxAcc,
                                              sdk::ROBOT_SERVICE_STATE &result, bool IsBolck) {
    char *body = nullptr;
    int size = 0;
    if (!ProtoEncodeDecode::getRequest_robotStartup(&body, &size, tcpParam, collisionClass,
                                                    readPose, staticCollisionDetect, maxAcc)) {
        W_ERROR("sdk log: Make robotStartup protobuf content failed.");
        return sdk::ErrCode_CreateRequestFailed;
    }
    if (!IsBolck) {
        return requestServiceOnlyCheckSendResultMode(CMT::CommunicationType_RobotStartup, body,
                                                     size);
    }
    EventWaitResult waitResult = EventWaitResult::Failed;
    int code = 0;
    const int ret = requestWithEventWait(m_startupDone, CMT::CommunicationType_RobotStartup, body,
                                         size, kStartupWaitSeconds, waitResult, code);
    if (ret != 0) {
        return ret;
    }
    switch (waitResult) {
        case EventWaitResult::Event:
            result = static_cast<sdk::ROBOT_SERVICE_STATE>(code);
            return sdk::ErrnoSucc;
        case EventWaitResult::LinkLost:
            W_ERROR("sdk log: Wait StartupDone signal ended: link lost.");
            return sdk::ErrCode_SocketDisconnect;
        case EventWaitResult::TimedOut:
            W_ERROR("sdk log: Wait StartupDone signal timeout.");
            return sdk::ErrCode_RequestRelatedVariableError;
        default:
            W_ERROR("sdk log: Call StartupDone pthread_cond_timedwait failed.");
            return sdk::ErrCode_RequestRelatedVariableError;
    }
}

int RobotControlServices::robotShutdownService(bool IsBolck) {
    if (!IsBolck) {
        return requestServiceOnlyCheckSendResultMode(CMT::CommunicationType_RobotShutdown, nullptr,
                                                     0);
    }
    EventWaitResult waitResult = EventWaitResult::Failed;
    int code = 0;
    const int result = requestWithEventWait(m_shutDownDone, CMT::CommunicationType_RobotShutdown,
                                            nullptr, 0, kShutdownWaitSeconds, waitResult, code);
    if (result != 0) {
        return result;
    }
    switch (waitResult) {
        case EventWaitResult::Event:
            return sdk::ErrnoSucc;
        case EventWaitResult::LinkLost:
            W_ERROR("sdk log: Wait shutDown Done signal ended: link lost.");
            return sdk::ErrCode_SocketDisconnect;
        case EventWaitResult::TimedOut:
            W_ERROR("sdk log: Wait shutDown Done signal timeout.");
            return sdk::ErrCode_Failed;
        default:
            W_ERROR("sdk log: Call shutDown pthread_cond_timedwait failed.");
            return sdk::ErrCode_Failed;
    }
}

int RobotControlServices::startupOfflineExcitTrajService(const char *trackFile,
                                                         sdk::Robot_Dyn_identify_traj type,
                                                         int subtype) {
    char *body = nullptr;
    int size = 0;
    if (trackFile == nullptr || !ProtoEncodeDecode::getRequest_startupOfflineExcitTraj(
                                    &body, &size, trackFile, type, subtype)) {
        W_ERROR("sdk log: Make getRequest_startupOfflineExcitTraj request failed.");
        return sdk::ErrCode_CreateRequestFailed;
    }
    return requestServiceOnlyCheckSendResultMode(CMT::CommunicationType_StartupOfflineExcitTraj,
                                                 body, size);
}

int RobotControlServices::getDynIdentifyResultsService(std::vector<int> &paramVector) {
    return readRecord(CMT::CommunicationType_GetDynIdentifyResults,
                      &ProtoEncodeDecode::resolveResponse_getDynIdentifyResults, paramVector,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve DynIdentify response failed.");
}

void RobotControlServices::robotServiceRegisterRealTimeJointStatusCallbackService(
    RealTimeJointStatusCallback ptr, void *arg) {
    m_realTimeJointStatusCallback = ptr;
    m_realTimeJointStatusCallbackArg = arg;
}

void RobotControlServices::robotServiceRegisterRealTimeRoadPointCallbackService(
    RealTimeRoadPointCallback ptr, void *arg) {
    m_realTimeRoadPointCallback = ptr;
    m_realTimeRoadPointCallbackArg = arg;
}

void RobotControlServices::robotServiceRegisterRealTimeEndSpeedCallbackService(
    RealTimeEndSpeedCallback ptr, void *arg) {
    m_robotEndSpeedCallback = ptr;
    m_robotEndSpeedCallbackArg = arg;
}

void RobotControlServices::robotServiceRegisterRobotEventInfoCallbackService(RobotEventCallback ptr,
                                                                             void *arg) {
    m_robotEventCallback = ptr;
    m_robotEventCallbackArg = arg;
}

// ---- Move support ----

bool RobotControlServices::getRobotMoveAbnormalStopFlag() { return m_robotMoveAbnormalStopFlag; }

void RobotControlServices::setRobotMoveAbnormalStopFlag(bool value) {
    m_robotMoveAbnormalStopFlag = value;
}

bool RobotControlServices::getRobotMoveAtTrackTargetSignalFlag() {
    return m_robotMoveAtTrackTargetSignalFlag;
}

void RobotControlServices::setRobotMoveAtTrackTargetSignalFlag(bool value) {
    m_robotMoveAtTrackTargetSignalFlag = value;
}

pthread_cond_t *RobotControlServices::getRobotMoveAtTrackTargetPosConditonPtr() {
    return m_robotMoveAtTrackTargetPosConditonPtr.get();
}

pthread_mutex_t *RobotControlServices::getRobotMoveAtTrackTargetPosMutexPtr() {
    return m_robotMoveAtTrackTargetPosMutexPtr.get();
}

int RobotControlServices::sendMove(const std::function<int()> &send, bool waits,
                                   MoveLedger::Id &move) {
    std::lock_guard<std::mutex> order(m_moveOrderMutex);
    {
        PthreadLock lock(*m_robotMoveAtTrackTargetPosMutexPtr);
        move = m_moveLedger.moveRequested(waits);
    }
    PendingWrite pending(this, move);
    const int result = pending.run(send);
    PthreadLock lock(*m_robotMoveAtTrackTargetPosMutexPtr);
    m_moveLedger.moveRequestEnded(move, requestEnd(pending.written, result));
    broadcastMoveChangeLocked();
    return result;
}

RobotControlServices::MoveEnd RobotControlServices::moveEndLocked(MoveLedger::Id move) const {
    return m_moveLedger.moveEnd(move);
}

void RobotControlServices::forgetMoveLocked(MoveLedger::Id move) { m_moveLedger.forgetMove(move); }

int RobotControlServices::sendStop(const std::function<int()> &send) {
    PendingWrite pending(this, 0);
    const int result = pending.run(send);
    PthreadLock lock(*m_robotMoveAtTrackTargetPosMutexPtr);
    if (pending.stop != 0) {
        m_moveLedger.stopRequestEnded(pending.stop, requestEnd(true, result));
        broadcastMoveChangeLocked();
    }
    return result;
}

// Only a reply with a nonzero code says the controller left the request undone. A package that
// went out may have been carried out whatever else happened, also when the link was lost after
// it (or it went out on the next link); one that went out only in part ended the link.
MoveLedger::Request RobotControlServices::requestEnd(bool written, int result) {
    if (!written || result == sdk::ErrCode_SendRequestFailed) {
        return MoveLedger::Request::NotSent;
    }
    if (result == sdk::ErrnoSucc) {
        return MoveLedger::Request::Accepted;
    }
    if (result == sdk::ErrCode_ResponseReturnError || result == sdk::ErrCode_RealRobotNoExist) {
        return MoveLedger::Request::Refused;
    }
    return MoveLedger::Request::TimedOut;
}

void RobotControlServices::aboutToWrite(void *services) {
    auto *self = static_cast<RobotControlServices *>(services);
    PendingWrite *pending = PendingWrite::current;
    if (pending == nullptr || pending->services != self) {
        return;
    }
    PendingWrite::current = nullptr;  // only the call's own request, its first package
    PthreadLock lock(*self->m_robotMoveAtTrackTargetPosMutexPtr);
    pending->written = true;
    if (pending->move != 0) {
        self->m_moveLedger.moveWritten(pending->move);
    } else if (!pending->replyOverdue) {
        pending->stop = self->m_moveLedger.stopWritten(std::chrono::steady_clock::now());
    } else {
        self->m_moveLedger.uncertainStopWritten();
    }
}

thread_local RobotControlServices::PendingWrite *RobotControlServices::PendingWrite::current =
    nullptr;

void RobotControlServices::PendingWrite::noteReplyOverdue(RobotControlServices *services,
                                                          bool overdue) {
    if (current != nullptr && current->services == services) {
        current->replyOverdue = overdue;
    }
}

int RobotControlServices::PendingWrite::run(const std::function<int()> &send) {
    current = this;
    const int result = send();
    current = nullptr;
    return result;
}

// ---- Service shapes ----

template <typename Decode>
int RobotControlServices::readService(CommandType type, void *body, int length, Decode decode,
                                      int decodeFailure, const char *errorText,
                                      const PointRead *pointRead) {
    CommunicationResponse response;
    const int result =
        requestServiceGetResponseContentMode(type, body, length, response, pointRead);
    if (result != 0) {
        return result;
    }
    int code = 0;
    if (!decode(response.m_textPtr, response.m_textLength, code)) {
        W_ERROR("%s", errorText);
        return decodeFailure;
    }
    return getErrCodeByServerResponse(code);
}

template <typename Record>
int RobotControlServices::readRecord(CommandType type,
                                     bool (*decoder)(const char *, int, Record &, int &),
                                     Record &record, int decodeFailure, const char *errorText) {
    return readService(
        type, nullptr, 0,
        [&](const char *text, int length, int &code) {
            return decoder(text, length, record, code);
        },
        decodeFailure, errorText);
}

template <typename Encode>
int RobotControlServices::commandService(CommandType type, Encode encode, const char *errorText) {
    char *body = nullptr;
    int size = 0;
    if (!encode(&body, &size)) {
        W_ERROR("%s", errorText);
        return sdk::ErrCode_CreateRequestFailed;
    }
    return requestServiceOnlyCheckSendResultMode(type, body, size);
}

int RobotControlServices::ioSetService(CommandType type,
                                       const std::vector<sdk::RobotDiagnosisIODesc> &records,
                                       const char *errorText) {
    return commandService(
        type,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_robotDiagnosisIOData(ptr, size, records);
        },
        errorText);
}

namespace {

// The one record of an IO request. The type byte is left 0: the command and the address
// name the point.
sdk::RobotDiagnosisIODesc digitalRecord(int addr, int value) {
    sdk::RobotDiagnosisIODesc record{};
    record.addr = static_cast<uint8>(addr);
    record.value = static_cast<uint8>(value);
    return record;
}

sdk::RobotDiagnosisIODesc typedRecord(int addr, int value) {
    sdk::RobotDiagnosisIODesc record = digitalRecord(addr, value);
    record.type = static_cast<uint8>(value);
    return record;
}

sdk::RobotAnalogIODesc analogRecord(int addr, float value) {
    sdk::RobotAnalogIODesc record{};
    record.addr = static_cast<uint8>(addr);
    record.value = value;
    return record;
}

}  // namespace

// ---- Push switches ----

int RobotControlServices::setRealTimeJointStatusPush(bool enable) {
    return requestServiceOnlyCheckSendResultMode(
        enable ? CMT::CommunicationType_EnableRealTimeJointStatusPush
               : CMT::CommunicationType_DisableRealTimeJointStatusPush,
        nullptr, 0);
}

int RobotControlServices::setRealTimeJointAnglePush(bool enable) {
    return requestServiceOnlyCheckSendResultMode(
        enable ? CMT::CommunicationType_EnableRealTimeJointAnglePush
               : CMT::CommunicationType_DisableRealTimeJointAnglePush,
        nullptr, 0);
}

int RobotControlServices::setRealTimeEndSpeedPush(bool enable) {
    return requestServiceOnlyCheckSendResultMode(
        enable ? CMT::CommunicationType_EnableRealTimeEndSpeedPush
               : CMT::CommunicationType_DisableRealTimeEndSpeedPush,
        nullptr, 0);
}

// ---- Commands and sets ----

int RobotControlServices::robotControlService(sdk::RobotControlCommand cmd) {
    return commandService(
        CMT::CommunicationType_RobotControl,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_robotControl(ptr, size, cmd);
        },
        "sdk log: Make RobotCmd_robotControl protobuf content failed.");
}

int RobotControlServices::collisionRecover() {
    return requestServiceOnlyCheckSendResultMode(CMT::CommunicationType_CollisionRecover, nullptr,
                                                 0);
}

int RobotControlServices::armPowerControlService(bool value) {
    return commandService(
        CMT::CommunicationType_SetRobotPowerStatus,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_setRobotPowerStatus(ptr, size, value);
        },
        "sdk log: Make armPowerControl request failed.");
}

int RobotControlServices::rootReleaseBrake() {
    return requestServiceOnlyCheckSendResultMode(CMT::CommunicationType_SetRobotReleaseBrake,
                                                 nullptr, 0);
}

int RobotControlServices::setTcpParamService(const RobotTcpParam &tcpParam) {
    return commandService(
        CMT::CommunicationType_SetRobotTcpParam,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_tcpParam(ptr, size, tcpParam);
        },
        "sdk log: Make setTcpParam protobuf content failed.");
}

int RobotControlServices::setToolDynamicsParamService(
    const sdk::ToolDynamicsParam &toolDynamicsParam) {
    return commandService(
        CMT::CommunicationType_SetToolDynamicsParam,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_setToolDynamicsParam(ptr, size, toolDynamicsParam);
        },
        "sdk log: Make RobotCmd_setToolDynamicsParam protobuf content failed.");
}

int RobotControlServices::setRobotWorkModeService(sdk::RobotWorkMode mode) {
    return commandService(
        CMT::CommunicationType_SetRobotMode,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_setRobotWorkMode(ptr, size, mode);
        },
        "sdk log: Make RobotCmd_setRobotMode protobuf content failed.");
}

int RobotControlServices::setRobotCollisionClassService(int grade) {
    return commandService(
        CMT::CommunicationType_SetRobotCollisionGrade,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_setRobotCollision(ptr, size, grade);
        },
        "sdk log: Make RobotCmd_setRobotCollisionGrade protobuf content failed.");
}

int RobotControlServices::setRobotAtOriginPoseService() {
    return requestServiceOnlyCheckSendResultMode(CMT::CommunicationType_SetRobotAtOriginPose,
                                                 nullptr, 0);
}

int RobotControlServices::setRobotSafetyConfig(const sdk::RobotSafetyConfig &safetyConfig) {
    return commandService(
        CMT::CommunicationType_SetRobotSafetyConfig,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_setSafetyConfig(ptr, size, safetyConfig);
        },
        "sdk log: Make setRobotSafetyConfig protobuf content failed.");
}

int RobotControlServices::updateRobotBoardFirmwareService(sdk::update_board_firmware_cmd cmd,
                                                          const void *data, unsigned short length) {
    return commandService(
        CMT::CommunicationType_UpdateRobotBoardFirmware,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_firmwareUpgrade(ptr, size, cmd, data, length);
        },
        "sdk log: Make RobotCmd_updateRobotBoardFirmware request failed.");
}

int RobotControlServices::setRobotJointOffsetService(sdk::RobotJointOffset &jointOffset) {
    return commandService(
        CMT::CommunicationType_RobotSetJointOffset,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_robotRobotJointOffsetData(ptr, size, jointOffset);
        },
        "sdk log: Make setRobotJointOffset protobuf content failed.");
}

// ---- Safety IO commands ----

int RobotControlServices::safeIoAboutCommunication(CommandType commandType,
                                                   const std::vector<int> &paramVector) {
    return commandService(
        commandType,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_safeIoParamAbout(ptr, size, paramVector);
        },
        "sdk log: Make safeIoAboutCommunication request failed.");
}

int RobotControlServices::setRobotOrpePause(unsigned char data) {
    return safeIoAboutCommunication(CMT::CommunicationType_SafetyIoAbout_setRobotOrpePause, {data});
}

int RobotControlServices::setRobotOrpeStop(unsigned char data) {
    return safeIoAboutCommunication(CMT::CommunicationType_SafetyIoAbout_setRobotOrpeStop, {data});
}

int RobotControlServices::setRobotOrpeError(unsigned char *data, int len) {
    if (len < 0 || (data == nullptr && len > 0)) {
        W_ERROR("sdk log: setRobotOrpeError parameters error.");
        return sdk::ErrCode_ParamError;
    }
    const std::vector<int> values(data, data + len);
    return safeIoAboutCommunication(CMT::CommunicationType_SafetyIoAbout_setRobotOrpeError, values);
}

int RobotControlServices::clearSystemEmergencyStop(unsigned char data) {
    return safeIoAboutCommunication(CMT::CommunicationType_SafetyIoAbout_clearSystemEmergencyStop,
                                    {data});
}

int RobotControlServices::clearReducedModeError(unsigned char data) {
    return safeIoAboutCommunication(CMT::CommunicationType_SafetyIoAbout_clearReducedModeError,
                                    {data});
}

int RobotControlServices::robotSafetyguardResetSucc(unsigned char data) {
    return safeIoAboutCommunication(CMT::CommunicationType_SafetyIoAbout_robotSafetyguardResetSucc,
                                    {data});
}

// ---- IO sets ----

int RobotControlServices::setInterfaceBoardDOStatusService(int addr, sdk::IO_STATUS status) {
    return ioSetService(CMT::CommunicationType_SetInterfaceBoardOneDOStatus,
                        {digitalRecord(addr, status)},
                        "sdk log: Make RobotCmd_setInterfaceBoardOneDOStatus protobuf content "
                        "failed.");
}

int RobotControlServices::setInterfaceBoardAOStatusService(int addr, double status) {
    const std::vector<sdk::RobotAnalogIODesc> records{
        analogRecord(addr, static_cast<float>(status))};
    return commandService(
        CMT::CommunicationType_SetInterfaceBoardOneAOStatus,
        [&](char **ptr, int *size) {
            return ProtoEncodeDecode::getRequest_robotAnalogIOData(ptr, size, records);
        },
        "sdk log: Make setInterfaceBoardAOStatus protobuf content failed.");
}

int RobotControlServices::setToolPowerVoltageTypeService(sdk::ToolPowerType value) {
    return ioSetService(CMT::CommunicationType_SetToolPowerVoltageType, {digitalRecord(0, value)},
                        "sdk log: Make RobotCmd_SetToolPowerVoltageType protobuf content failed.");
}

int RobotControlServices::setToolPowerTypeAndDigitalIOTypeService(sdk::ToolPowerType type,
                                                                  sdk::ToolIOType io0,
                                                                  sdk::ToolIOType io1,
                                                                  sdk::ToolIOType io2,
                                                                  sdk::ToolIOType io3) {
    // The power type comes first, also at address 0.
    return ioSetService(CMT::CommunicationType_SetToolPowerTypeAndDigitalIOType,
                        {typedRecord(0, type), typedRecord(0, io0), typedRecord(1, io1),
                         typedRecord(2, io2), typedRecord(3, io3)},
                        "sdk log: Make RobotCmd_SetToolPowerVoltageType protobuf content failed.");
}

int RobotControlServices::setToolDigitalIOTypeService(sdk::ToolDigitalIOAddr addr,
                                                      sdk::ToolIOType type) {
    return ioSetService(CMT::CommunicationType_SetToolDigitalIOType, {digitalRecord(addr, type)},
                        "sdk log: Make RobotCmd_setToolDigitalIOType protobuf content failed.");
}

int RobotControlServices::setToolDigitalIOStatusService(sdk::ToolDigitalIOAddr addr,
                                                        sdk::IO_STATUS value) {
    return ioSetService(CMT::CommunicationType_SetToolDigitalIOStatus, {digitalRecord(addr, value)},
                        "sdk log: Make RobotCmd_setToolDigitalIOStatus protobuf content failed.");
}

// ---- Reads ----

int RobotControlServices::getRobotJointStatus(sdk::JointStatus *jointStatus, int size) {
    return readService(
        CMT::CommunicationType_GetRobotJointStatus, nullptr, 0,
        [&](const char *text, int length, int &code) {
            return ProtoEncodeDecode::resolveResponse_jointStatus(text, length, jointStatus, size,
                                                                  code);
        },
        sdk::ErrCode_ResolveResponseFailed, "sdk log: Resolve jointStatus response failed.");
}

int RobotControlServices::getCurrentJointAngle(sdk::JointParam &jointParam) {
    return readRecord(CMT::CommunicationType_GetRobotJointAngle,
                      &ProtoEncodeDecode::resolveResponse_jointAngle, jointParam,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve jointAngle response failed.");
}

int RobotControlServices::getRobotDiagnosisInfo(sdk::RobotDiagnosis &robotDiagnosis) {
    return readRecord(CMT::CommunicationType_GetRobotDiagnosis,
                      &ProtoEncodeDecode::resolveResponse_robotDiagnosisInfo, robotDiagnosis,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve DiagnosisInfo response failed.");
}

int RobotControlServices::getRobotCurrentStateService(sdk::RobotState &state) {
    return readRecord(CMT::CommunicationType_GetRobotCurrentState,
                      &ProtoEncodeDecode::resolveResponse_robotState, state,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve RobotCurrentState response failed.");
}

int RobotControlServices::getTcpParamService(RobotTcpParam &tcpParam) {
    return readRecord(
        CMT::CommunicationType_GetRobotTcpParam, &ProtoEncodeDecode::resolveResponse_tcpParam,
        tcpParam, sdk::ErrCode_CreateRequestFailed, "sdk log: Resolve tcpParam response failed.");
}

int RobotControlServices::getToolDynamicsParamService(sdk::ToolDynamicsParam &toolDynamicsParam) {
    return readRecord(CMT::CommunicationType_GetToolDynamicsParam,
                      &ProtoEncodeDecode::resolveResponse_getToolDynamicsParam, toolDynamicsParam,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve toolDynamicsParam response failed.");
}

int RobotControlServices::getRobotWorkModeService(sdk::RobotWorkMode &mode) {
    return readRecord(CMT::CommunicationType_GetRobotMode,
                      &ProtoEncodeDecode::resolveResponse_robotWorkMode, mode,
                      sdk::ErrCode_ResolveResponseFailed,
                      "sdk log: Resolve robotWorkMode response failed.");
}

int RobotControlServices::getRobotGravityComponent(sdk::RobotGravityComponent &gravityComponent) {
    return readRecord(CMT::CommunicationType_GetRobotGravityComponent,
                      &ProtoEncodeDecode::resolveResponse_gravityComponent, gravityComponent,
                      sdk::ErrCode_ResolveResponseFailed,
                      "sdk log: Resolve gravityComponent response failed.");
}

int RobotControlServices::getRobotCollisionCurrentService(RobotCollisionCurrent &collisionCurrent) {
    return readRecord(CMT::CommunicationType_GetRobotCollisionCurrent,
                      &ProtoEncodeDecode::resolveResponse_collisionCurrent, collisionCurrent,
                      sdk::ErrCode_ResolveResponseFailed,
                      "sdk log: Resolve devInfo RobotCollisionCurrent failed.");
}

int RobotControlServices::getIsRealRobotExist(bool &value) {
    return readRecord(CMT::CommunicationType_GetIsRealRobotExist,
                      &ProtoEncodeDecode::resolveResponse_isRealRobotExist, value,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve isRobotExist response failed.");
}

int RobotControlServices::getRobotDevInfoService(sdk::RobotDevInfo &devInfo) {
    return readRecord(
        CMT::CommunicationType_GetDeviceInfo, &ProtoEncodeDecode::resolveResponse_devInfo, devInfo,
        sdk::ErrCode_ResolveResponseFailed, "sdk log: Resolve devInfo response failed.");
}

namespace {

bool decodeIoList(const char *text, int length, std::vector<sdk::RobotDiagnosisIODesc> &list,
                  int &code) {
    return ProtoEncodeDecode::resolveResponse_robotDiagnosisIOData(text, length, list, code);
}

bool decodeIoList(const char *text, int length, std::vector<sdk::RobotAnalogIODesc> &list,
                  int &code) {
    return ProtoEncodeDecode::resolveResponse_robotAnalogIOData(text, length, list, code);
}

bool encodeIoList(char **body, int *size, const std::vector<sdk::RobotDiagnosisIODesc> &list) {
    return ProtoEncodeDecode::getRequest_robotDiagnosisIOData(body, size, list);
}

bool encodeIoList(char **body, int *size, const std::vector<sdk::RobotAnalogIODesc> &list) {
    return ProtoEncodeDecode::getRequest_robotAnalogIOData(body, size, list);
}

}  // namespace

template <typename Record>
int RobotControlServices::readIoList(CommandType type, void *body, int length,
                                     std::vector<Record> &list, const char *errorText,
                                     const PointRead *pointRead) {
    return readService(
        type, body, length,
        [&](const char *text, int textLength, int &code) {
            return decodeIoList(text, textLength, list, code);
        },
        sdk::ErrCode_CreateRequestFailed, errorText, pointRead);
}

// Replies are matched by command type only, so a late reply about another point could answer
// this read; the link's IO reply window tells when one naming another point is refused (see
// IoReplyWindow). A reply without a record is left for the read to refuse. The output is
// written only with result 0.
template <typename Record, typename Out>
int RobotControlServices::readIoPoint(CommandType type, int addr, Out &out, const char *errorText) {
    Record asked{};
    asked.addr = static_cast<uint8>(addr);
    char *body = nullptr;
    int size = 0;
    encodeIoList(&body, &size, {asked});
    const PointRead pointRead{asked.addr, [](const char *text, int textLength) {
                                  std::vector<Record> list;
                                  int code = 0;
                                  return decodeIoList(text, textLength, list, code) && !list.empty()
                                             ? static_cast<int>(list.front().addr)
                                             : IoReplyWindow::NO_POINT;
                              }};
    std::vector<Record> list;
    const int result = readIoList(type, body, size, list, errorText, &pointRead);
    if (result != 0) {
        return result;
    }
    if (list.empty()) {
        W_ERROR("sdk log: IO reply holds no record. cmd type: %s", commandName(type).c_str());
        return sdk::ErrCode_ResolveResponseFailed;
    }
    out = static_cast<Out>(list.front().value);
    return result;
}

int RobotControlServices::getInterfaceBoardAllDIStatusService(
    std::vector<sdk::RobotDiagnosisIODesc> &statusVector) {
    statusVector.clear();
    return readIoList(CMT::CommunicationType_GetInterfaceBoardAllDIData, nullptr, 0, statusVector,
                      "sdk log: Resolve BoardAllDIStatus response failed.");
}

int RobotControlServices::getInterfaceBoardAllDOStatusService(
    std::vector<sdk::RobotDiagnosisIODesc> &statusVector) {
    statusVector.clear();
    return readIoList(CMT::CommunicationType_GetInterfaceBoardAllDOData, nullptr, 0, statusVector,
                      "sdk log: Resolve BoardAllDOStatus response failed.");
}

int RobotControlServices::getInterfaceBoardAllAIStatusService(
    std::vector<sdk::RobotAnalogIODesc> &statusVector) {
    statusVector.clear();
    return readIoList(CMT::CommunicationType_GetInterfaceBoardAllAIData, nullptr, 0, statusVector,
                      "sdk log: Resolve BoardAllAIStatus response failed.");
}

int RobotControlServices::getInterfaceBoardAllAOStatusService(
    std::vector<sdk::RobotAnalogIODesc> &statusVector) {
    statusVector.clear();
    return readIoList(CMT::CommunicationType_GetInterfaceBoardAllAOData, nullptr, 0, statusVector,
                      "sdk log: Resolve BoardAllAOStatus response failed.");
}

int RobotControlServices::getToolAllDigitalIOStatusService(
    std::vector<sdk::RobotDiagnosisIODesc> &statusVector) {
    return readIoList(CMT::CommunicationType_GetToolAllDigitalIOStatus, nullptr, 0, statusVector,
                      "sdk log: Resolve ToolAllDigitalIOStatus response failed.");
}

int RobotControlServices::getToolAllAIStatusService(
    std::vector<sdk::RobotAnalogIODesc> &statusVector) {
    return readIoList(CMT::CommunicationType_GetToolAllAIStatus, nullptr, 0, statusVector,
                      "sdk log: Resolve ToolAllAIStatus response failed.");
}

int RobotControlServices::getRobotSafetyConfig(sdk::RobotSafetyConfig &safetyConfig) {
    return readRecord(CMT::CommunicationType_GetRobotSafetyConfig,
                      &ProtoEncodeDecode::resolveResponse_safetyConfig, safetyConfig,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve SafetyConfig response failed.");
}

int RobotControlServices::getOrpeSafetyStatus(sdk::OrpeSafetyStatus &safetyStatus) {
    return readRecord(CMT::CommunicationType_GetOrpeSafetyStatus,
                      &ProtoEncodeDecode::resolveResponse_safetyStatus, safetyStatus,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve SafetyStatus response failed.");
}

int RobotControlServices::getToolAllIOStatusService(sdk::RobotToolAllIOStatus &toolAllIOStatus) {
    return readRecord(CMT::CommunicationType_GetToolAllIoStatus,
                      &ProtoEncodeDecode::resolveResponse_robotToolIoStatus, toolAllIOStatus,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve toolAllIOStatus response failed.");
}

int RobotControlServices::getBoardFirmwareUpdateResultService(bool &value) {
    return readRecord(CMT::CommunicationType_FirmwareUpdateResult,
                      &ProtoEncodeDecode::resolveResponse_isRealRobotExist, value,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve BoardFirmwareUpdateResult response failed.");
}

int RobotControlServices::getRobotEthernetDeviceNameService(std::string &ethernetDeviceName) {
    return readRecord(CMT::CommunicationType_GetRobotEthernetDeviceName,
                      &ProtoEncodeDecode::resolveResponse_ethernetDeviceName, ethernetDeviceName,
                      sdk::ErrCode_CreateRequestFailed,
                      "sdk log: Resolve EthernetDeviceName response failed.");
}

// ---- Single IO reads ----

template <typename Out>
int RobotControlServices::readDigitalPoint(CommandType type, int addr, Out &out) {
    return readIoPoint<sdk::RobotDiagnosisIODesc>(type, addr, out,
                                                  "sdk log: Resolve DiagnosisIO response failed.");
}

int RobotControlServices::getRobotDigitalIOStatusService(CommandType commandType, int addr,
                                                         int &status) {
    return readDigitalPoint(commandType, addr, status);
}

// The controller's float as it came: a reading in volts is not cut to whole volts.
int RobotControlServices::getRobotAnalogIOStatusService(CommandType commandType, int addr,
                                                        double &status) {
    return readIoPoint<sdk::RobotAnalogIODesc>(commandType, addr, status,
                                               "sdk log: Resolve AnalogIO response failed.");
}

int RobotControlServices::getInterfaceBoardDIStatusService(int addr, sdk::IO_STATUS &status) {
    return readDigitalPoint(CMT::CommunicationType_GetInterfaceBoardOneDIStatus, addr, status);
}

int RobotControlServices::getInterfaceBoardDOStatusService(int addr, sdk::IO_STATUS &status) {
    return readDigitalPoint(CMT::CommunicationType_GetInterfaceBoardOneDOStatus, addr, status);
}

int RobotControlServices::getToolPowerVoltageTypeService(sdk::ToolPowerType &type) {
    return readDigitalPoint(CMT::CommunicationType_GetToolPowerVoltageType, 0, type);
}

int RobotControlServices::getToolPowerVoltageStatusService(double &value) {
    return readDigitalPoint(CMT::CommunicationType_GetToolPowerVoltage, 0, value);
}

int RobotControlServices::getInterfaceBoardAIStatusService(int addr, double &status) {
    return getRobotAnalogIOStatusService(CMT::CommunicationType_GetInterfaceBoardOneAIStatus, addr,
                                         status);
}

int RobotControlServices::getInterfaceBoardAOStatusService(int addr, double &status) {
    return getRobotAnalogIOStatusService(CMT::CommunicationType_GetInterfaceBoardOneAOStatus, addr,
                                         status);
}
