#include "rsrobotcontrol.h"

#include <condition_variable>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "errorinfoservice.h"
#include "globalutil.h"
#include "serviceinterface.h"

using namespace kezu_robot_namespace;
using namespace kezu_robot_logtrace;

struct RsContextLife {
    CustomUserCoord userCoord{};
    std::mutex userCoordMutex;
    // rs_* calls inside the context; it is released only when none is left.
    std::mutex callsMutex;
    std::condition_variable callsDone;
    int callsRunning = 0;
    std::unique_ptr<ServiceInterface> service{new ServiceInterface()};
};

RSI_MAP g_rs_instance;
pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
RSHD g_res = 0;

namespace {

enum { RS_SUCC = 0, RS_TABLE_FULL = 1001, RS_NO_CONTEXT = 1002, RS_BAD_ARGUMENT = 1003 };

const std::size_t kMaxContexts = 32;
const int kMaxOfflinePoints = 3000;
// This layer logs in with one fixed credential for user and password alike.
const char kCredential[] = "TOLVA3";

class TableLock {
public:
    TableLock() { pthread_mutex_lock(&g_mutex); }
    ~TableLock() { pthread_mutex_unlock(&g_mutex); }
    TableLock(const TableLock &) = delete;
    TableLock &operator=(const TableLock &) = delete;
};

RSI_MAP::iterator findRow(RSHD rshd) {
    for (auto it = g_rs_instance.begin(); it != g_rs_instance.end(); ++it) {
        if (it->rshd == rshd) return it;
    }
    return g_rs_instance.end();
}

// One call's hold on a context, taken under g_mutex while the row is still in the table, so
// a destroy that has taken the row out knows every call it has to wait for.
class ContextUse {
public:
    explicit ContextUse(RsContextLife *ctx) : m_ctx(ctx) {
        if (m_ctx == nullptr) return;
        std::lock_guard<std::mutex> lock(m_ctx->callsMutex);
        ++m_ctx->callsRunning;
    }
    ~ContextUse() {
        if (m_ctx == nullptr) return;
        std::lock_guard<std::mutex> lock(m_ctx->callsMutex);
        if (--m_ctx->callsRunning == 0) m_ctx->callsDone.notify_all();
    }
    ContextUse(const ContextUse &) = delete;
    ContextUse &operator=(const ContextUse &) = delete;

    explicit operator bool() const { return m_ctx != nullptr; }
    RsContextLife &operator*() const { return *m_ctx; }
    RsContextLife *operator->() const { return m_ctx; }

private:
    RsContextLife *m_ctx;
};

ContextUse useContext(RSHD rshd) {
    TableLock lock;
    auto row = findRow(rshd);
    return ContextUse(row == g_rs_instance.end() ? nullptr : row->life.get());
}

// After the counter wraps, a handle still held by a live context is skipped.
RSHD takeFreeHandle() {
    for (;;) {
        RSHD candidate = g_res++;
        if (findRow(candidate) == g_rs_instance.end()) return candidate;
    }
}

int warnUnknown(RSHD rshd) {
    W_WARN("robot service instance no found! by RSHD %u.", static_cast<unsigned>(rshd));
    return RS_NO_CONTEXT;
}

// Releases contexts already taken out of the table, outside g_mutex: a callback on the
// receive thread that the release joins may itself be waiting for the table. Calls still
// inside a context are ended by closing its link, and the release waits for them, so the
// facade always goes on this thread and never under a running call.
void releaseContexts(std::vector<std::shared_ptr<RsContextLife>> &lives) {
    for (auto &life : lives) {
        std::unique_lock<std::mutex> lock(life->callsMutex);
        if (life->callsRunning > 0) {
            lock.unlock();
            life->service->robotServiceLogout();
            lock.lock();
            life->callsDone.wait(lock, [&] { return life->callsRunning == 0; });
        }
        lock.unlock();
        life.reset();
    }
}

bool allSet(std::initializer_list<const void *> pointers) {
    for (const void *p : pointers) {
        if (p == nullptr) return false;
    }
    return true;
}

// The common shape: the context is held for the whole call; a missing context is 1002 and
// a missing record argument 1003.
template <typename Call>
int onContext(RSHD rshd, std::initializer_list<const void *> required, Call call) {
    ContextUse ctx = useContext(rshd);
    if (!ctx) return warnUnknown(rshd);
    if (!allSet(required)) return RS_BAD_ARGUMENT;
    return call(*ctx);
}

template <typename Call>
int onService(RSHD rshd, std::initializer_list<const void *> required, Call call) {
    return onContext(rshd, required, [&](RsContextLife &ctx) { return call(*ctx.service); });
}

template <typename Call>
int onService(RSHD rshd, Call call) {
    return onService(rshd, {}, call);
}

CoordCalibrate userFrameOf(RsContextLife &ctx) {
    std::lock_guard<std::mutex> lock(ctx.userCoordMutex);
    return ctx.userCoord.user_coord;
}

}  // namespace

ServiceInterface *get_robot_service(RSHD rshd) {
    TableLock lock;
    auto row = findRow(rshd);
    return row == g_rs_instance.end() ? nullptr : row->prs;
}

CustomUserCoord *get_robot_user_plan(RSHD rshd) {
    TableLock lock;
    auto row = findRow(rshd);
    return row == g_rs_instance.end() ? nullptr : row->rs_user_coord;
}

/* Lifecycle */

int rs_initialize() { return RS_SUCC; }

int rs_uninitialize() {
    std::vector<std::shared_ptr<RsContextLife>> lives;
    {
        TableLock lock;
        for (ROBOT_SERVICE_INSTANCE &row : g_rs_instance) {
            W_INFO("remove client, rshd=%u", static_cast<unsigned>(row.rshd));
            if (row.prs != nullptr) lives.push_back(std::move(row.life));
        }
        g_rs_instance.clear();
    }
    releaseContexts(lives);
    return RS_SUCC;
}

int rs_create_context(RSHD *rshd) {
    if (rshd == nullptr) return RS_BAD_ARGUMENT;
    TableLock lock;
    if (g_rs_instance.size() >= kMaxContexts) {
        W_ERROR("create rshd failed, because not enough buffer");
        return RS_TABLE_FULL;
    }
    std::shared_ptr<RsContextLife> life = std::make_shared<RsContextLife>();
    RSHD handle = takeFreeHandle();
    g_rs_instance.push_back({handle, life->service.get(), &life->userCoord, life});
    *rshd = handle;
    return RS_SUCC;
}

int rs_destory_context(RSHD rshd) {
    std::vector<std::shared_ptr<RsContextLife>> lives;
    {
        TableLock lock;
        auto row = g_rs_instance.begin();
        while (row != g_rs_instance.end() && !(row->rshd == rshd && row->prs != nullptr)) ++row;
        if (row == g_rs_instance.end()) {
            W_WARN("RSHD %u no found!", static_cast<unsigned>(rshd));
            return RS_NO_CONTEXT;
        }
        W_INFO("remove client, rshd=%u", static_cast<unsigned>(rshd));
        lives.push_back(std::move(row->life));
        g_rs_instance.erase(row);
    }
    releaseContexts(lives);
    return RS_SUCC;
}

const char *rs_str_error(int err) {
    // Built once and never changed, so the texts handed out stay valid for the process.
    static const std::map<int, std::string> texts = [] {
        std::map<int, std::string> table = {{RS_SUCC, "succ"},
                                            {RS_TABLE_FULL, "context table full"},
                                            {RS_NO_CONTEXT, "context not found"},
                                            {RS_BAD_ARGUMENT, "invalid argument"}};
        for (int code = ErrCode_Failed; code <= ErrCode_RealRobotNoExist; ++code) {
            table[code] = ErrorInfoService::getErrDescByCode(static_cast<RobotErrorCode>(code));
        }
        return table;
    }();
    const auto text = texts.find(err);
    return text == texts.end() ? "unknown error" : text->second.c_str();
}

/* Connection, state and push registration */

int rs_login(RSHD rshd, const char *addr, int port) {
    ContextUse ctx = useContext(rshd);
    W_INFO("rshd:%u---addr:%s---port:%d", static_cast<unsigned>(rshd), addr ? addr : "(null)",
           port);
    if (!ctx) return warnUnknown(rshd);
    if (addr == nullptr) return RS_BAD_ARGUMENT;
    return ctx->service->robotServiceLogin(addr, port, kCredential, kCredential);
}

int rs_logout(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) { return s.robotServiceLogout(); });
}

int rs_get_login_status(RSHD rshd, bool *status) {
    return onService(rshd, {status}, [&](ServiceInterface &s) {
        s.robotServiceGetConnectStatus(*status);
        return RS_SUCC;
    });
}

int rs_get_socket_status(RSHD rshd, bool *connected) {
    return onService(rshd, {connected}, [&](ServiceInterface &s) {
        return s.robotServiceGetMacCommunicationStatus(*connected);
    });
}

int rs_get_robot_state(RSHD rshd, RobotState *state) {
    return onService(rshd, {state}, [&](ServiceInterface &s) {
        return s.robotServiceGetRobotCurrentState(*state);
    });
}

int rs_set_work_mode(RSHD rshd, RobotWorkMode mode) {
    return onService(rshd,
                     [&](ServiceInterface &s) { return s.robotServiceSetRobotWorkMode(mode); });
}

int rs_get_work_mode(RSHD rshd, RobotWorkMode *mode) {
    return onService(rshd, {mode},
                     [&](ServiceInterface &s) { return s.robotServiceGetRobotWorkMode(*mode); });
}

int rs_set_collision_class(RSHD rshd, int grade) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceSetRobotCollisionClass(grade); });
}

int rs_get_gravity_component(RSHD rshd, RobotGravityComponent *gravity) {
    return onService(rshd, {gravity}, [&](ServiceInterface &s) {
        return s.robotServiceGetRobotGravityComponent(*gravity);
    });
}

int rs_get_device_info(RSHD rshd, RobotDevInfo *dev) {
    return onService(rshd, {dev}, [&](ServiceInterface &s) {
        return s.robotServiceGetRobotDevInfoService(*dev);
    });
}

int rs_is_have_real_robot(RSHD rshd, bool *exist) {
    return onService(rshd, {exist}, [&](ServiceInterface &s) {
        return s.robotServiceGetIsRealRobotExist(*exist);
    });
}

int rs_is_online_mode(RSHD rshd, bool *isonline) {
    return onService(rshd, {isonline},
                     [&](ServiceInterface &s) { return s.robotServiceIsOnlineMode(*isonline); });
}

int rs_is_online_master_mode(RSHD rshd, bool *ismaster) {
    return onService(rshd, {ismaster}, [&](ServiceInterface &s) {
        return s.robotServiceIsOnlineMasterMode(*ismaster);
    });
}

int rs_get_joint_status(RSHD rshd, JointStatus *jointStatus) {
    return onService(rshd, {jointStatus}, [&](ServiceInterface &s) {
        return s.robotServiceGetRobotJointStatus(jointStatus, ARM_DOF);
    });
}

int rs_get_current_waypoint(RSHD rshd, wayPoint_S *waypoint) {
    return onService(rshd, {waypoint}, [&](ServiceInterface &s) {
        return s.robotServiceGetCurrentWaypointInfo(*waypoint);
    });
}

int rs_get_diagnosis_info(RSHD rshd, RobotDiagnosis *info) {
    return onService(rshd, {info}, [&](ServiceInterface &s) {
        return s.robotServiceGetRobotDiagnosisInfo(*info);
    });
}

int rs_get_robot_end_speed(RSHD rshd, float *endspeed) {
    return onService(rshd, {endspeed}, [&](ServiceInterface &s) {
        RobotDiagnosis diagnosis;
        std::memset(&diagnosis, 0, sizeof diagnosis);
        int ret = s.robotServiceGetRobotDiagnosisInfo(diagnosis);
        if (ret == RS_SUCC) *endspeed = diagnosis.robotEndSpeed;
        return ret;
    });
}

int rs_setcallback_realtime_roadpoint(RSHD rshd, RealTimeRoadPointCallback ptr, void *arg) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceRegisterRealTimeRoadPointCallback(ptr, arg);
    });
}

int rs_setcallback_realtime_joint_status(RSHD rshd, RealTimeJointStatusCallback ptr, void *arg) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceRegisterRealTimeJointStatusCallback(ptr, arg);
    });
}

int rs_setcallback_realtime_end_speed(RSHD rshd, RealTimeEndSpeedCallback ptr, void *arg) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceRegisterRealTimeEndSpeedCallback(ptr, arg);
    });
}

int rs_setcallback_robot_event(RSHD rshd, RobotEventCallback ptr, void *arg) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceRegisterRobotEventInfoCallback(ptr, arg);
    });
}

int rs_enable_push_realtime_roadpoint(RSHD rshd, bool enable) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceSetRealTimeRoadPointPush(enable); });
}

int rs_enable_push_realtime_joint_status(RSHD rshd, bool enable) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceSetRealTimeJointStatusPush(enable);
    });
}

int rs_enable_push_realtime_end_speed(RSHD rshd, bool enable) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceSetRealTimeEndSpeedPush(enable); });
}

/* Global move profile */

int rs_init_global_move_profile(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) {
        s.robotServiceInitGlobalMoveProfile();
        return RS_SUCC;
    });
}

int rs_set_global_joint_maxacc(RSHD rshd, const JointVelcAccParam *max_acc) {
    return onService(rshd, {max_acc}, [&](ServiceInterface &s) {
        return s.robotServiceSetGlobalMoveJointMaxAcc(*max_acc);
    });
}

int rs_set_global_joint_maxvelc(RSHD rshd, const JointVelcAccParam *max_velc) {
    return onService(rshd, {max_velc}, [&](ServiceInterface &s) {
        return s.robotServiceSetGlobalMoveJointMaxVelc(*max_velc);
    });
}

int rs_get_global_joint_maxacc(RSHD rshd, JointVelcAccParam *max_acc) {
    return onService(rshd, {max_acc}, [&](ServiceInterface &s) {
        s.robotServiceGetGlobalMoveJointMaxAcc(*max_acc);
        return RS_SUCC;
    });
}

int rs_get_global_joint_maxvelc(RSHD rshd, JointVelcAccParam *max_velc) {
    return onService(rshd, {max_velc}, [&](ServiceInterface &s) {
        s.robotServiceGetGlobalMoveJointMaxVelc(*max_velc);
        return RS_SUCC;
    });
}

int rs_set_global_end_max_line_acc(RSHD rshd, double max_acc) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceSetGlobalMoveEndMaxLineAcc(max_acc);
    });
}

int rs_set_global_end_max_line_velc(RSHD rshd, double max_velc) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceSetGlobalMoveEndMaxLineVelc(max_velc);
    });
}

int rs_get_global_end_max_line_acc(RSHD rshd, double *max_acc) {
    return onService(rshd, {max_acc}, [&](ServiceInterface &s) {
        s.robotServiceGetGlobalMoveEndMaxLineAcc(*max_acc);
        return RS_SUCC;
    });
}

int rs_get_global_end_max_line_velc(RSHD rshd, double *max_velc) {
    return onService(rshd, {max_velc}, [&](ServiceInterface &s) {
        s.robotServiceGetGlobalMoveEndMaxLineVelc(*max_velc);
        return RS_SUCC;
    });
}

int rs_set_global_end_max_angle_acc(RSHD rshd, double max_acc) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceSetGlobalMoveEndMaxAngleAcc(max_acc);
    });
}

int rs_set_global_end_max_angle_velc(RSHD rshd, double max_velc) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceSetGlobalMoveEndMaxAngleVelc(max_velc);
    });
}

int rs_get_global_end_max_angle_acc(RSHD rshd, double *max_acc) {
    return onService(rshd, {max_acc}, [&](ServiceInterface &s) {
        s.robotServiceGetGlobalMoveEndMaxAngleAcc(*max_acc);
        return RS_SUCC;
    });
}

int rs_get_global_end_max_angle_velc(RSHD rshd, double *max_velc) {
    return onService(rshd, {max_velc}, [&](ServiceInterface &s) {
        s.robotServiceGetGlobalMoveEndMaxAngleVelc(*max_velc);
        return RS_SUCC;
    });
}

int rs_set_blend_radius(RSHD rshd, double radius) {
    return onService(rshd, [&](ServiceInterface &s) {
        // Written so that NaN fails too.
        if (!(radius > 0.001 && radius <= 0.05)) return static_cast<int>(RS_BAD_ARGUMENT);
        s.robotServiceSetGlobalBlendRadius(static_cast<float>(radius));
        return static_cast<int>(RS_SUCC);
    });
}

int rs_set_circular_loop_times(RSHD rshd, int times) {
    return onService(rshd, [&](ServiceInterface &s) {
        if (times < 1 || times > 1000) return static_cast<int>(RS_BAD_ARGUMENT);
        s.robotServiceSetGlobalCircularLoopTimes(times);
        return static_cast<int>(RS_SUCC);
    });
}

int rs_set_relative_offset_on_base(RSHD rshd, const MoveRelative *relative) {
    return onService(rshd, {relative}, [&](ServiceInterface &s) {
        return s.robotServiceSetMoveRelativeParam(*relative);
    });
}

int rs_set_relative_offset_on_user(RSHD rshd, const MoveRelative *relative,
                                   const CoordCalibrate *user_coord) {
    return onService(rshd, {relative, user_coord}, [&](ServiceInterface &s) {
        return s.robotServiceSetMoveRelativeParam(*relative, *user_coord);
    });
}

int rs_set_no_arrival_ahead(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) { return s.robotServiceSetNoArrivalAhead(); });
}

int rs_set_arrival_ahead_distance(RSHD rshd, double distance) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.robotServiceSetArrivalAheadDistanceMode(distance);
    });
}

int rs_set_arrival_ahead_time(RSHD rshd, double sec) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceSetArrivalAheadTimeMode(sec); });
}

/* Moves, waypoints and the context's user frame */

int rs_move_joint(RSHD rshd, double *joint_radian, bool isblock) {
    return onService(rshd, {joint_radian}, [&](ServiceInterface &s) {
        return s.robotServiceJointMove(joint_radian, isblock);
    });
}

int rs_move_line(RSHD rshd, double *joint_radian, bool isblock) {
    return onService(rshd, {joint_radian}, [&](ServiceInterface &s) {
        return s.robotServiceLineMove(joint_radian, isblock);
    });
}

int rs_move_rotate(RSHD rshd, const CoordCalibrate *user_coord, const Move_Rotate_Axis *rotate_axis,
                   double rotate_angle, bool isblock) {
    return onService(rshd, {user_coord, rotate_axis}, [&](ServiceInterface &s) {
        return s.robotServiceRotateMove(*user_coord, rotate_axis->rotateAxis, rotate_angle,
                                        isblock);
    });
}

int rs_move_track(RSHD rshd, move_track sub_move_mode, bool isblock) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceTrackMove(sub_move_mode, isblock); });
}

// The frame is copied under its lock, so a concurrent rs_set_user_coord never tears it.
int rs_move_line_to(RSHD rshd, const Pos *target, const ToolInEndDesc *tool, bool isblock) {
    return onContext(rshd, {target, tool}, [&](RsContextLife &ctx) {
        return ctx.service->robotMoveLineToTargetPosition(userFrameOf(ctx), *target, *tool,
                                                          isblock);
    });
}

int rs_move_joint_to(RSHD rshd, const Pos *target, const ToolInEndDesc *tool, bool isblock) {
    return onContext(rshd, {target, tool}, [&](RsContextLife &ctx) {
        return ctx.service->robotMoveJointToTargetPosition(userFrameOf(ctx), *target, *tool,
                                                           isblock);
    });
}

int rs_teach_move_start(RSHD rshd, teach_mode mode, bool dir) {
    return onService(rshd,
                     [&](ServiceInterface &s) { return s.robotServiceTeachStart(mode, dir); });
}

int rs_teach_move_stop(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) { return s.robotServiceTeachStop(); });
}

int rs_move_stop(RSHD rshd) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.rootServiceRobotMoveControl(RobotMoveStop); });
}

int rs_move_pause(RSHD rshd) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.rootServiceRobotMoveControl(RobotMovePause); });
}

int rs_move_continue(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) {
        return s.rootServiceRobotMoveControl(RobotMoveContinue);
    });
}

int rs_move_fast_stop(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) { return s.robotMoveFastStop(); });
}

int rs_collision_recover(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) { return s.robotServiceCollisionRecover(); });
}

int rs_remove_all_waypoint(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) {
        s.robotServiceClearGlobalWayPointVector();
        return RS_SUCC;
    });
}

int rs_add_waypoint(RSHD rshd, double *joint_radian) {
    return onService(rshd, {joint_radian}, [&](ServiceInterface &s) {
        // A waypoint not added is reported, also one that a full list has no room for: a track
        // move would otherwise play a shortened path.
        return s.robotServiceAddGlobalWayPoint(static_cast<const double *>(joint_radian));
    });
}

int rs_set_user_coord(RSHD rshd, const CoordCalibrate *user_coord) {
    ContextUse ctx = useContext(rshd);
    if (!ctx || user_coord == nullptr) return warnUnknown(rshd);
    std::lock_guard<std::mutex> lock(ctx->userCoordMutex);
    ctx->userCoord.user_coord = *user_coord;
    ctx->userCoord.used = 1;
    return RS_SUCC;
}

int rs_set_base_coord(RSHD rshd) {
    return onContext(rshd, {}, [&](RsContextLife &ctx) {
        std::lock_guard<std::mutex> lock(ctx.userCoordMutex);
        CoordCalibrate &frame = ctx.userCoord.user_coord;
        std::memset(frame.wayPointArray, 0, sizeof frame.wayPointArray);
        frame.coordType = BaseCoordinate;
        ctx.userCoord.used = 0;
        return RS_SUCC;
    });
}

int rs_check_user_coord(RSHD rshd, const CoordCalibrate *user_coord) {
    return onService(rshd, {user_coord}, [&](ServiceInterface &s) {
        return s.robotServiceCheckUserCoordinate(*user_coord);
    });
}

/* Offline tracks, CAN bus pass-through and dynamics identification */

int rs_clear_offline_track(RSHD rshd) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceOfflineTrackWaypointClear(); });
}

int rs_append_offline_track_waypoint(RSHD rshd, const JointParam *waypoints, int waypoint_count) {
    return onService(rshd, [&](ServiceInterface &s) {
        if (waypoint_count < 0 || waypoint_count > kMaxOfflinePoints ||
            (waypoint_count > 0 && waypoints == nullptr)) {
            return static_cast<int>(RS_BAD_ARGUMENT);
        }
        std::vector<wayPoint_S> track(static_cast<std::size_t>(waypoint_count));
        for (int i = 0; i < waypoint_count; ++i) {
            std::memset(&track[i], 0, sizeof track[i]);
            // The pose of a point that does not compute stays zero, as the controller expects;
            // its angles stay too, so the facade refuses angles that are not numbers.
            std::memcpy(track[i].jointpos, waypoints[i].jointPos, sizeof track[i].jointpos);
            s.robotServiceRobotFk(waypoints[i].jointPos, ARM_DOF, track[i]);
        }
        return s.robotServiceOfflineTrackWaypointAppend(track);
    });
}

int rs_append_offline_track_file(RSHD rshd, const char *filename) {
    return onService(rshd, {filename}, [&](ServiceInterface &s) {
        return s.robotServiceOfflineTrackWaypointAppend(filename);
    });
}

int rs_startup_offline_track(RSHD rshd) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceOfflineTrackMoveStartup(true); });
}

int rs_stop_offline_track(RSHD rshd) {
    return onService(rshd,
                     [&](ServiceInterface &s) { return s.robotServiceOfflineTrackMoveStop(); });
}

int rs_enter_tcp2canbus_mode(RSHD rshd) {
    return onService(rshd,
                     [&](ServiceInterface &s) { return s.robotServiceEnterTcp2CanbusMode(); });
}

int rs_leave_tcp2canbus_mode(RSHD rshd) {
    return onService(rshd,
                     [&](ServiceInterface &s) { return s.robotServiceLeaveTcp2CanbusMode(); });
}

int rs_set_waypoint_to_canbus(RSHD rshd, double *joint_radian) {
    return onService(rshd, {joint_radian}, [&](ServiceInterface &s) {
        return s.robotServiceSetRobotPosData2Canbus(joint_radian);
    });
}

int rs_startup_excit_traj_track(RSHD rshd, const char *trackfile, char type, char subtype) {
    return onService(rshd, {trackfile}, [&](ServiceInterface &s) {
        return s.startupOfflineExcitTrajService(
            trackfile, static_cast<Robot_Dyn_identify_traj>(type), static_cast<int>(subtype), true);
    });
}

bool rs_get_dynidentify_results(RSHD rshd, std::vector<int> &paramVector) {
    return onService(rshd, [&](ServiceInterface &s) {
               return s.getDynIdentifyResultsService(paramVector);
           }) != RS_SUCC;
}

/* Kinematics */

int rs_forward_kin(RSHD rshd, const double *joint_radian, wayPoint_S *waypoint) {
    return onService(rshd, {joint_radian, waypoint}, [&](ServiceInterface &s) {
        return s.robotServiceRobotFk(joint_radian, ARM_DOF, *waypoint);
    });
}

int rs_inverse_kin(RSHD rshd, double *joint_radian, const Pos *pos, const Ori *ori,
                   wayPoint_S *waypoint) {
    return onService(rshd, {joint_radian, pos, ori, waypoint}, [&](ServiceInterface &s) {
        return s.robotServiceRobotIk(joint_radian, *pos, *ori, *waypoint);
    });
}

int rs_base_to_user(RSHD rshd, const Pos *pos_onbase, const Ori *ori_onbase,
                    const CoordCalibrate *user_coord, const ToolInEndDesc *tool_pos,
                    Pos *pos_onuser, Ori *ori_onuser) {
    return onService(rshd, {pos_onbase, ori_onbase, user_coord, tool_pos, pos_onuser, ori_onuser},
                     [&](ServiceInterface &) {
                         return ServiceInterface::baseToUserCoordinate(*pos_onbase, *ori_onbase,
                                                                       *user_coord, *tool_pos,
                                                                       *pos_onuser, *ori_onuser);
                     });
}

int rs_user_to_base(RSHD rshd, const Pos *pos_onuser, const Ori *ori_onuser,
                    const CoordCalibrate *user_coord, const ToolInEndDesc *tool_pos,
                    Pos *pos_onbase, Ori *ori_onbase) {
    return onService(rshd, {pos_onuser, ori_onuser, user_coord, tool_pos, pos_onbase, ori_onbase},
                     [&](ServiceInterface &) {
                         return ServiceInterface::userToBaseCoordinate(*pos_onuser, *ori_onuser,
                                                                       *user_coord, *tool_pos,
                                                                       *pos_onbase, *ori_onbase);
                     });
}

int rs_base_to_base_additional_tool(RSHD rshd, const Pos *flange_center_pos_onbase,
                                    const Ori *flange_center_ori_onbase, const ToolInEndDesc *tool,
                                    Pos *tool_end_pos_onbase, Ori *tool_end_ori_onbase) {
    return onService(rshd,
                     {flange_center_pos_onbase, flange_center_ori_onbase, tool, tool_end_pos_onbase,
                      tool_end_ori_onbase},
                     [&](ServiceInterface &) {
                         return ServiceInterface::baseToBaseAdditionalTool(
                             *flange_center_pos_onbase, *flange_center_ori_onbase, *tool,
                             *tool_end_pos_onbase, *tool_end_ori_onbase);
                     });
}

int rs_rpy_to_quaternion(RSHD rshd, const Rpy *rpy, Ori *ori) {
    return onService(rshd, {rpy, ori},
                     [&](ServiceInterface &s) { return s.RPYToQuaternion(*rpy, *ori); });
}

int rs_quaternion_to_rpy(RSHD rshd, const Ori *ori, Rpy *rpy) {
    return onService(rshd, {ori, rpy},
                     [&](ServiceInterface &s) { return s.quaternionToRPY(*ori, *rpy); });
}

/* Tool parameters and start-up */

int rs_set_tool_end_param(RSHD rshd, const ToolInEndDesc *tool) {
    return rs_set_tool_kinematics_param(rshd, tool);
}

int rs_set_none_tool_dynamics_param(RSHD rshd) {
    return onService(rshd,
                     [&](ServiceInterface &s) { return s.robotServiceSetNoneToolDynamicsParam(); });
}

int rs_set_tool_dynamics_param(RSHD rshd, const ToolDynamicsParam *tool) {
    return onService(rshd, {tool}, [&](ServiceInterface &s) {
        return s.robotServiceSetToolDynamicsParam(*tool);
    });
}

int rs_get_tool_dynamics_param(RSHD rshd, ToolDynamicsParam *tool) {
    return onService(rshd, {tool}, [&](ServiceInterface &s) {
        return s.robotServiceGetToolDynamicsParam(*tool);
    });
}

int rs_set_none_tool_kinematics_param(RSHD rshd) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceSetNoneToolKinematicsParam(); });
}

int rs_set_tool_kinematics_param(RSHD rshd, const ToolKinematicsParam *tool) {
    return onService(rshd, {tool}, [&](ServiceInterface &s) {
        return s.robotServiceSetToolKinematicsParam(*tool);
    });
}

int rs_get_tool_kinematics_param(RSHD rshd, ToolKinematicsParam *tool) {
    return onService(rshd, {tool}, [&](ServiceInterface &s) {
        return s.robotServiceGetToolKinematicsParam(*tool);
    });
}

int rs_robot_startup(RSHD rshd, const ToolDynamicsParam *tool_dynamics, uint8 colli_class,
                     bool read_pos, bool static_colli_detect, int board_maxacc,
                     ROBOT_SERVICE_STATE *state) {
    return onService(rshd, {tool_dynamics, state}, [&](ServiceInterface &s) {
        return s.rootServiceRobotStartup(*tool_dynamics, colli_class, read_pos, static_colli_detect,
                                         board_maxacc, *state, true);
    });
}

int rs_robot_shutdown(RSHD rshd) {
    return onService(rshd, [&](ServiceInterface &s) { return s.rootServiceRobotShutdown(true); });
}

/* Interface-board and tool IO */

int rs_get_board_io_config(RSHD rshd, RobotIoType type, std::vector<RobotIoDesc> *config) {
    return onService(rshd, {config}, [&](ServiceInterface &s) {
        return s.robotServiceGetBoardIOConfig(std::vector<RobotIoType>{type}, *config);
    });
}

int rs_set_board_io_status_by_name(RSHD rshd, RobotIoType type, const char *name, double val) {
    return onService(rshd, {name}, [&](ServiceInterface &s) {
        return s.robotServiceSetBoardIOStatus(type, std::string(name), val);
    });
}

int rs_set_board_io_status_by_addr(RSHD rshd, RobotIoType type, int addr, double val) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceSetBoardIOStatus(type, addr, val); });
}

int rs_get_board_io_status_by_name(RSHD rshd, RobotIoType type, const char *name, double *val) {
    return onService(rshd, {name, val}, [&](ServiceInterface &s) {
        return s.robotServiceGetBoardIOStatus(type, std::string(name), *val);
    });
}

int rs_get_board_io_status_by_addr(RSHD rshd, RobotIoType type, int addr, double *val) {
    return onService(rshd, {val}, [&](ServiceInterface &s) {
        return s.robotServiceGetBoardIOStatus(type, addr, *val);
    });
}

int rs_set_tool_power_type(RSHD rshd, ToolPowerType type) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceSetToolPowerVoltageType(type); });
}

int rs_get_tool_power_type(RSHD rshd, ToolPowerType *type) {
    return onService(rshd, {type}, [&](ServiceInterface &s) {
        return s.robotServiceGetToolPowerVoltageType(*type);
    });
}

int rs_set_tool_io_type(RSHD rshd, ToolDigitalIOAddr addr, ToolIOType type) {
    return onService(
        rshd, [&](ServiceInterface &s) { return s.robotServiceSetToolDigitalIOType(addr, type); });
}

int rs_get_tool_power_voltage(RSHD rshd, double *voltage) {
    return onService(rshd, {voltage}, [&](ServiceInterface &s) {
        return s.robotServiceGetToolPowerVoltageStatus(*voltage);
    });
}

int rs_get_tool_io_status(RSHD rshd, const char *name, double *val) {
    return onService(rshd, {name, val}, [&](ServiceInterface &s) {
        return s.robotServiceGetToolIoStatus(std::string(name), *val);
    });
}

int rs_set_tool_do_status(RSHD rshd, const char *name, IO_STATUS status) {
    return onService(rshd, {name}, [&](ServiceInterface &s) {
        return s.robotServiceSetToolDOStatus(std::string(name), status);
    });
}
