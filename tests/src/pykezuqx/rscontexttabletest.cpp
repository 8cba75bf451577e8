// The context table and the local rules of the procedural interface, through the exported
// functions only.
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <type_traits>

#include "rstestsupport.h"

using namespace kezu_robot_namespace;

TEST_F(RsContextTest, TableHoldsThirtyTwoContextsAndNeverReusesAHandle) {
    EXPECT_EQ(1003, rs_create_context(nullptr));
    std::vector<RSHD> handles;
    for (int i = 0; i < 32; ++i) handles.push_back(create());
    for (size_t i = 1; i < handles.size(); ++i) EXPECT_EQ(handles[i - 1] + 1, handles[i]);

    TraceCapture trace;
    RSHD untouched = 4242;
    EXPECT_EQ(1001, rs_create_context(&untouched));
    EXPECT_EQ(4242, untouched);
    EXPECT_EQ(1, countLines(trace, "create rshd failed, because not enough buffer"));

    EXPECT_EQ(0, rs_destory_context(handles[5]));
    RSHD next = create();
    EXPECT_EQ(handles.back() + 1, next);
    EXPECT_EQ(nullptr, get_robot_service(handles[5]));
    EXPECT_NE(nullptr, get_robot_service(next));

    EXPECT_EQ(0, rs_uninitialize());
    EXPECT_EQ(nullptr, get_robot_service(next));
    EXPECT_EQ(next + 1, create());
}

TEST_F(RsContextTest, WrappedCounterSkipsHandlesOfLiveContexts) {
    setNextHandle(65535);
    RSHD last = create();
    RSHD wrapped = create();
    EXPECT_EQ(65535, last);
    EXPECT_EQ(0, wrapped);
    setNextHandle(65535);
    RSHD skipped = create();
    EXPECT_EQ(1, skipped);
    EXPECT_NE(get_robot_service(last), get_robot_service(skipped));
    EXPECT_NE(get_robot_service(wrapped), get_robot_service(skipped));
}

TEST_F(RsContextTest, DestroyingTwiceIsRefusedAndLogged) {
    RSHD handle = create();
    TraceCapture trace;
    EXPECT_EQ(0, rs_destory_context(handle));
    EXPECT_EQ(1002, rs_destory_context(handle));
    EXPECT_EQ(1, countLines(trace, "remove client, rshd=" + std::to_string(handle)));
    EXPECT_EQ(1, countLines(trace, "RSHD " + std::to_string(handle) + " no found!"));
    EXPECT_EQ(0, rs_initialize());
}

TEST_F(RsContextTest, ErrorTextsOfThisLayerAndOfTheSdk) {
    const std::pair<int, const char *> rows[] = {
        {0, "succ"},
        {1001, "context table full"},
        {1002, "context not found"},
        {1003, "invalid argument"},
        {10001, "Failed."},
        {10007, "Request timeout."},
        {10011, "forward kin failed."},
        {10024, "Real robotic arm does not exist."},
        {10000, "unknown error"},
        {10025, "unknown error"},
        {1004, "unknown error"},
        {-1, "unknown error"},
    };
    for (const auto &row : rows) EXPECT_STREQ(row.second, rs_str_error(row.first)) << row.first;
}

TEST_F(RsContextTest, UserFrameIsSetAndResetToTheBase) {
    RSHD handle = create();
    CustomUserCoord *kept = get_robot_user_plan(handle);
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ(0, kept->used);
    EXPECT_EQ(BaseCoordinate, kept->user_coord.coordType);

    CoordCalibrate frame;
    std::memset(&frame, 0, sizeof frame);
    frame.coordType = WorldCoordinate;
    frame.methods = static_cast<CoordCalibrateMathod>(3);
    for (int p = 0; p < 3; ++p) {
        for (int j = 0; j < 6; ++j) frame.wayPointArray[p].jointPos[j] = 0.1 * (p + 1) + j;
    }
    frame.toolDesc.toolInEndPosition = {0.01, 0.02, 0.03};
    frame.toolDesc.toolInEndOrientation = {1, 0, 0, 0};
    ASSERT_EQ(0, rs_set_user_coord(handle, &frame));
    EXPECT_EQ(1, kept->used);
    EXPECT_EQ(0, std::memcmp(&frame, &kept->user_coord, sizeof frame));

    ASSERT_EQ(0, rs_set_base_coord(handle));
    EXPECT_EQ(0, kept->used);
    EXPECT_EQ(BaseCoordinate, kept->user_coord.coordType);
    EXPECT_EQ(frame.methods, kept->user_coord.methods);
    EXPECT_EQ(0, std::memcmp(&frame.toolDesc, &kept->user_coord.toolDesc, sizeof frame.toolDesc));
    for (const JointParam &point : kept->user_coord.wayPointArray) {
        for (double angle : point.jointPos) EXPECT_EQ(0.0, angle);
    }

    TraceCapture trace;
    EXPECT_EQ(1002, rs_set_user_coord(handle, nullptr));
    EXPECT_EQ(1, countLines(trace, "robot service instance no found! by RSHD " +
                                       std::to_string(handle) + "."));
}

TEST_F(RsContextTest, BlendRadiusAndLoopCountBounds) {
    RSHD handle = create();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double radius : {0.001, 0.0501, 0.0, -0.01, nan}) {
        EXPECT_EQ(1003, rs_set_blend_radius(handle, radius)) << radius;
    }
    for (double radius : {0.0010001, 0.05}) EXPECT_EQ(0, rs_set_blend_radius(handle, radius));
    for (int times : {0, 1001, -1}) EXPECT_EQ(1003, rs_set_circular_loop_times(handle, times));
    for (int times : {1, 1000}) EXPECT_EQ(0, rs_set_circular_loop_times(handle, times));
}

TEST_F(RsContextTest, FrameConversionsNeedOnlyAKnownHandle) {
    RSHD handle = create();
    Pos flange = {0.3, -0.1, 0.5}, toolEnd;
    Ori ori = {1, 0, 0, 0}, toolOri;
    ToolInEndDesc tool;
    std::memset(&tool, 0, sizeof tool);
    tool.toolInEndPosition.z = 0.1;
    tool.toolInEndOrientation.w = 1;
    ASSERT_EQ(0, rs_base_to_base_additional_tool(handle, &flange, &ori, &tool, &toolEnd, &toolOri));
    EXPECT_NEAR(0.3, toolEnd.x, 1e-9);
    EXPECT_NEAR(-0.1, toolEnd.y, 1e-9);
    EXPECT_NEAR(0.6, toolEnd.z, 1e-9);

    Rpy rpy = {0.1, -0.2, 0.3}, back;
    Ori q;
    ASSERT_EQ(0, rs_rpy_to_quaternion(handle, &rpy, &q));
    ASSERT_EQ(0, rs_quaternion_to_rpy(handle, &q, &back));
    EXPECT_NEAR(rpy.rx, back.rx, 1e-6);
    EXPECT_NEAR(rpy.ry, back.ry, 1e-6);
    EXPECT_NEAR(rpy.rz, back.rz, 1e-6);
}

// A zeroed argument of the parameter's type; a pointer points to zeroed room for six joints.
template <typename T>
T zeroed() {
    using Pointee = std::remove_const_t<std::remove_pointer_t<T>>;
    if constexpr (!std::is_pointer<T>::value) {
        return T{};
    } else if constexpr (std::is_void<Pointee>::value || std::is_function<Pointee>::value) {
        return nullptr;
    } else {
        static Pointee room[8]{};
        return room;
    }
}

using RsCall = std::pair<std::string, std::function<int(RSHD)>>;

template <typename... Args>
std::function<int(RSHD)> withZeroedArguments(int (*call)(RSHD, Args...)) {
    return [call](RSHD h) { return call(h, zeroed<Args>()...); };
}

// Pairs each function with its name, taken from the comma-separated list of names.
template <typename... Calls>
std::vector<RsCall> namedCalls(const std::string &names, Calls... calls) {
    std::istringstream in(names);
    std::vector<RsCall> named;
    std::string name;
    (named.emplace_back(std::getline(in >> std::ws, name, ',') ? name : "",
                        withZeroedArguments(calls)),
     ...);
    return named;
}
#define RS_CALLS(...) namedCalls(#__VA_ARGS__, __VA_ARGS__)

TEST_F(RsContextTest, EveryCallOnAnUnknownHandleIsRefusedAndLogged) {
    const std::vector<RsCall> calls = RS_CALLS(
        rs_login, rs_logout, rs_get_login_status, rs_get_socket_status, rs_get_robot_state,
        rs_set_work_mode, rs_get_work_mode, rs_set_collision_class, rs_get_gravity_component,
        rs_get_device_info, rs_is_have_real_robot, rs_is_online_mode, rs_is_online_master_mode,
        rs_get_joint_status, rs_get_current_waypoint, rs_get_diagnosis_info, rs_get_robot_end_speed,
        rs_setcallback_realtime_roadpoint, rs_setcallback_realtime_joint_status,
        rs_setcallback_realtime_end_speed, rs_setcallback_robot_event,
        rs_enable_push_realtime_roadpoint, rs_enable_push_realtime_joint_status,
        rs_enable_push_realtime_end_speed, rs_init_global_move_profile, rs_set_global_joint_maxacc,
        rs_set_global_joint_maxvelc, rs_get_global_joint_maxacc, rs_get_global_joint_maxvelc,
        rs_set_global_end_max_line_acc, rs_set_global_end_max_line_velc,
        rs_get_global_end_max_line_acc, rs_get_global_end_max_line_velc,
        rs_set_global_end_max_angle_acc, rs_set_global_end_max_angle_velc,
        rs_get_global_end_max_angle_acc, rs_get_global_end_max_angle_velc, rs_set_blend_radius,
        rs_set_circular_loop_times, rs_set_relative_offset_on_base, rs_set_relative_offset_on_user,
        rs_set_no_arrival_ahead, rs_set_arrival_ahead_distance, rs_set_arrival_ahead_time,
        rs_move_joint, rs_move_line, rs_move_rotate, rs_move_track, rs_move_line_to,
        rs_move_joint_to, rs_teach_move_start, rs_teach_move_stop, rs_move_stop, rs_move_pause,
        rs_move_continue, rs_move_fast_stop, rs_collision_recover, rs_remove_all_waypoint,
        rs_add_waypoint, rs_set_user_coord, rs_set_base_coord, rs_check_user_coord,
        rs_clear_offline_track, rs_append_offline_track_waypoint, rs_append_offline_track_file,
        rs_startup_offline_track, rs_stop_offline_track, rs_enter_tcp2canbus_mode,
        rs_leave_tcp2canbus_mode, rs_set_waypoint_to_canbus, rs_startup_excit_traj_track,
        rs_forward_kin, rs_inverse_kin, rs_base_to_user, rs_user_to_base,
        rs_base_to_base_additional_tool, rs_rpy_to_quaternion, rs_quaternion_to_rpy,
        rs_set_tool_end_param, rs_set_none_tool_dynamics_param, rs_set_tool_dynamics_param,
        rs_get_tool_dynamics_param, rs_set_none_tool_kinematics_param, rs_set_tool_kinematics_param,
        rs_get_tool_kinematics_param, rs_robot_startup, rs_robot_shutdown, rs_get_board_io_config,
        rs_set_board_io_status_by_name, rs_set_board_io_status_by_addr,
        rs_get_board_io_status_by_name, rs_get_board_io_status_by_addr, rs_set_tool_power_type,
        rs_get_tool_power_type, rs_set_tool_io_type, rs_get_tool_power_voltage,
        rs_get_tool_io_status, rs_set_tool_do_status);
    RSHD unknown = deadHandle();
    const std::string h = std::to_string(unknown);
    const std::string warning = "robot service instance no found! by RSHD " + h + ".";
    for (const auto &c : calls) {
        TraceCapture trace;
        EXPECT_EQ(1002, c.second(unknown)) << c.first;
        EXPECT_EQ(1, countLines(trace, warning)) << c.first;
    }
    TraceCapture trace;
    EXPECT_EQ(1002, rs_login(unknown, "127.0.0.1", 8899));
    EXPECT_EQ(1, countLines(trace, "rshd:" + h + "---addr:127.0.0.1---port:8899"));
    std::vector<int> results;
    EXPECT_TRUE(rs_get_dynidentify_results(unknown, results));
}
