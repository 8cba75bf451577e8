// The context table and the local rules of the procedural interface, through the exported
// functions only.
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "rstestsupport.h"

using namespace kezu_robot_namespace;

TEST_F(RsContextTest, TableHoldsThirtyTwoContextsAndNeverReusesAHandle) {
    std::vector<RSHD> handles;
    for (int i = 0; i < 32; ++i) handles.push_back(create());
    for (size_t i = 1; i < handles.size(); ++i) EXPECT_EQ(handles[i - 1] + 1, handles[i]);

    TraceCapture trace;
    RSHD untouched = 4242;
    EXPECT_EQ(1001, rs_create_context(&untouched));
    EXPECT_EQ(4242, untouched);
    EXPECT_EQ(1, countLines(trace, "create rshd failed, because not enough buffer"));

    EXPECT_EQ(0, rs_destory_context(handles[5]));
    RSHD next = 0;
    ASSERT_EQ(0, rs_create_context(&next));
    EXPECT_EQ(handles.back() + 1, next);
    EXPECT_EQ(nullptr, get_robot_service(handles[5]));
    EXPECT_NE(nullptr, get_robot_service(next));
}

TEST_F(RsContextTest, HandlesKeepCountingAfterUninitialize) {
    RSHD before = create();
    EXPECT_EQ(0, rs_uninitialize());
    EXPECT_EQ(nullptr, get_robot_service(before));
    EXPECT_EQ(before + 1, create());
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
}

TEST_F(RsContextTest, NullHandleOutputIsRefusedWithoutMakingAContext) {
    EXPECT_EQ(1003, rs_create_context(nullptr));
    RSHD first = create();
    for (RSHD h = 0; h < first; ++h) EXPECT_EQ(nullptr, get_robot_service(h));
}

TEST_F(RsContextTest, ErrorTextIsAlwaysSucc) {
    for (int code : {0, 1001, 1002, 1003, 10007, -1}) EXPECT_STREQ("succ", rs_str_error(code));
    EXPECT_EQ(0, rs_initialize());
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
    struct Case {
        double radius;
        int expected;
    };
    for (const Case &c : {Case{0.001, 1003}, Case{0.0010001, 0}, Case{0.05, 0}, Case{0.0501, 1003},
                          Case{0.0, 1003}, Case{-0.01, 1003}, Case{nan, 1003}}) {
        EXPECT_EQ(c.expected, rs_set_blend_radius(handle, c.radius)) << c.radius;
    }
    for (int times : {0, 1001, -1}) EXPECT_EQ(1003, rs_set_circular_loop_times(handle, times));
    for (int times : {1, 1000}) EXPECT_EQ(0, rs_set_circular_loop_times(handle, times));
}

TEST_F(RsContextTest, OfflinePointCountsOutsideTheLimitAreRefused) {
    RSHD handle = create();
    std::vector<JointParam> points(3001);
    EXPECT_EQ(1003, rs_append_offline_track_waypoint(handle, points.data(), 3001));
    EXPECT_EQ(1003, rs_append_offline_track_waypoint(handle, points.data(), -1));
    EXPECT_EQ(1003, rs_append_offline_track_waypoint(handle, nullptr, 1));
}

TEST_F(RsContextTest, LoginStatusOfAKnownUnconnectedContextIsZeroAndFalse) {
    RSHD handle = create();
    bool status = true;
    EXPECT_EQ(0, rs_get_login_status(handle, &status));
    EXPECT_FALSE(status);
}

TEST_F(RsContextTest, LoginLogsItsArgumentsEvenForAnUnknownHandle) {
    RSHD unknown = deadHandle();
    TraceCapture trace;
    EXPECT_EQ(1002, rs_login(unknown, "127.0.0.1", 8899));
    std::string h = std::to_string(unknown);
    EXPECT_EQ(1, countLines(trace, "rshd:" + h + "---addr:127.0.0.1---port:8899"));
    EXPECT_EQ(1, countLines(trace, "robot service instance no found! by RSHD " + h + "."));
}

TEST_F(RsContextTest, DynamicsIdentificationOfAnUnknownHandleReportsFailure) {
    std::vector<int> results;
    EXPECT_TRUE(rs_get_dynidentify_results(deadHandle(), results));
}

TEST_F(RsContextTest, FrameConversionsNeedOnlyAKnownHandle) {
    RSHD handle = create();
    Pos flange = {0.3, -0.1, 0.5};
    Ori ori = {1, 0, 0, 0};
    ToolInEndDesc tool;
    std::memset(&tool, 0, sizeof tool);
    tool.toolInEndPosition.z = 0.1;
    tool.toolInEndOrientation.w = 1;
    Pos toolEnd;
    Ori toolOri;
    ASSERT_EQ(0, rs_base_to_base_additional_tool(handle, &flange, &ori, &tool, &toolEnd, &toolOri));
    EXPECT_NEAR(0.3, toolEnd.x, 1e-9);
    EXPECT_NEAR(-0.1, toolEnd.y, 1e-9);
    EXPECT_NEAR(0.6, toolEnd.z, 1e-9);

    Rpy rpy = {0.1, -0.2, 0.3};
    Ori q;
    Rpy back;
    ASSERT_EQ(0, rs_rpy_to_quaternion(handle, &rpy, &q));
    ASSERT_EQ(0, rs_quaternion_to_rpy(handle, &q, &back));
    EXPECT_NEAR(rpy.rx, back.rx, 1e-6);
    EXPECT_NEAR(rpy.ry, back.ry, 1e-6);
    EXPECT_NEAR(rpy.rz, back.rz, 1e-6);

    RSHD unknown = deadHandle();
    EXPECT_EQ(1002,
              rs_base_to_base_additional_tool(unknown, &flange, &ori, &tool, &toolEnd, &toolOri));
}

// Every handle-taking function, with arguments that would be valid for a live context.
struct RsCall {
    const char *name;
    std::function<int(RSHD)> call;
};

static std::vector<RsCall> everyHandleCall() {
    static double joints[6] = {0, 0, 0, 0, 0, 0};
    static bool flag;
    static double value;
    static float speed;
    static RobotState state;
    static RobotWorkMode mode;
    static RobotGravityComponent gravity;
    static RobotDevInfo dev;
    static JointStatus status[6];
    static wayPoint_S waypoint;
    static RobotDiagnosis diagnosis;
    static JointVelcAccParam jointLimit;
    static MoveRelative relative;
    static CoordCalibrate frame;
    static Move_Rotate_Axis axis;
    static Pos pos;
    static Ori ori = {1, 0, 0, 0};
    static Rpy rpy;
    static ToolInEndDesc tool;
    static ToolDynamicsParam dynamics;
    static ROBOT_SERVICE_STATE serviceState;
    static std::vector<RobotIoDesc> ioConfig;
    static ToolPowerType power;
    static JointParam point;
    return {
        {"rs_login", [](RSHD h) { return rs_login(h, "127.0.0.1", 1); }},
        {"rs_logout", [](RSHD h) { return rs_logout(h); }},
        {"rs_get_login_status", [](RSHD h) { return rs_get_login_status(h, &flag); }},
        {"rs_get_socket_status", [](RSHD h) { return rs_get_socket_status(h, &flag); }},
        {"rs_get_robot_state", [](RSHD h) { return rs_get_robot_state(h, &state); }},
        {"rs_set_work_mode", [](RSHD h) { return rs_set_work_mode(h, RobotModeSimulator); }},
        {"rs_get_work_mode", [](RSHD h) { return rs_get_work_mode(h, &mode); }},
        {"rs_set_collision_class", [](RSHD h) { return rs_set_collision_class(h, 6); }},
        {"rs_get_gravity_component", [](RSHD h) { return rs_get_gravity_component(h, &gravity); }},
        {"rs_get_device_info", [](RSHD h) { return rs_get_device_info(h, &dev); }},
        {"rs_is_have_real_robot", [](RSHD h) { return rs_is_have_real_robot(h, &flag); }},
        {"rs_is_online_mode", [](RSHD h) { return rs_is_online_mode(h, &flag); }},
        {"rs_is_online_master_mode", [](RSHD h) { return rs_is_online_master_mode(h, &flag); }},
        {"rs_get_joint_status", [](RSHD h) { return rs_get_joint_status(h, status); }},
        {"rs_get_current_waypoint", [](RSHD h) { return rs_get_current_waypoint(h, &waypoint); }},
        {"rs_get_diagnosis_info", [](RSHD h) { return rs_get_diagnosis_info(h, &diagnosis); }},
        {"rs_get_robot_end_speed", [](RSHD h) { return rs_get_robot_end_speed(h, &speed); }},
        {"rs_setcallback_realtime_roadpoint",
         [](RSHD h) { return rs_setcallback_realtime_roadpoint(h, nullptr, nullptr); }},
        {"rs_setcallback_realtime_joint_status",
         [](RSHD h) { return rs_setcallback_realtime_joint_status(h, nullptr, nullptr); }},
        {"rs_setcallback_realtime_end_speed",
         [](RSHD h) { return rs_setcallback_realtime_end_speed(h, nullptr, nullptr); }},
        {"rs_setcallback_robot_event",
         [](RSHD h) { return rs_setcallback_robot_event(h, nullptr, nullptr); }},
        {"rs_enable_push_realtime_roadpoint",
         [](RSHD h) { return rs_enable_push_realtime_roadpoint(h, true); }},
        {"rs_enable_push_realtime_joint_status",
         [](RSHD h) { return rs_enable_push_realtime_joint_status(h, true); }},
        {"rs_enable_push_realtime_end_speed",
         [](RSHD h) { return rs_enable_push_realtime_end_speed(h, true); }},
        {"rs_init_global_move_profile", [](RSHD h) { return rs_init_global_move_profile(h); }},
        {"rs_set_global_joint_maxacc",
         [](RSHD h) { return rs_set_global_joint_maxacc(h, &jointLimit); }},
        {"rs_set_global_joint_maxvelc",
         [](RSHD h) { return rs_set_global_joint_maxvelc(h, &jointLimit); }},
        {"rs_get_global_joint_maxacc",
         [](RSHD h) { return rs_get_global_joint_maxacc(h, &jointLimit); }},
        {"rs_get_global_joint_maxvelc",
         [](RSHD h) { return rs_get_global_joint_maxvelc(h, &jointLimit); }},
        {"rs_set_global_end_max_line_acc",
         [](RSHD h) { return rs_set_global_end_max_line_acc(h, 1.0); }},
        {"rs_set_global_end_max_line_velc",
         [](RSHD h) { return rs_set_global_end_max_line_velc(h, 1.0); }},
        {"rs_get_global_end_max_line_acc",
         [](RSHD h) { return rs_get_global_end_max_line_acc(h, &value); }},
        {"rs_get_global_end_max_line_velc",
         [](RSHD h) { return rs_get_global_end_max_line_velc(h, &value); }},
        {"rs_set_global_end_max_angle_acc",
         [](RSHD h) { return rs_set_global_end_max_angle_acc(h, 1.0); }},
        {"rs_set_global_end_max_angle_velc",
         [](RSHD h) { return rs_set_global_end_max_angle_velc(h, 1.0); }},
        {"rs_get_global_end_max_angle_acc",
         [](RSHD h) { return rs_get_global_end_max_angle_acc(h, &value); }},
        {"rs_get_global_end_max_angle_velc",
         [](RSHD h) { return rs_get_global_end_max_angle_velc(h, &value); }},
        {"rs_set_blend_radius", [](RSHD h) { return rs_set_blend_radius(h, 0.01); }},
        {"rs_set_circular_loop_times", [](RSHD h) { return rs_set_circular_loop_times(h, 1); }},
        {"rs_set_relative_offset_on_base",
         [](RSHD h) { return rs_set_relative_offset_on_base(h, &relative); }},
        {"rs_set_relative_offset_on_user",
         [](RSHD h) { return rs_set_relative_offset_on_user(h, &relative, &frame); }},
        {"rs_set_no_arrival_ahead", [](RSHD h) { return rs_set_no_arrival_ahead(h); }},
        {"rs_set_arrival_ahead_distance",
         [](RSHD h) { return rs_set_arrival_ahead_distance(h, 0.01); }},
        {"rs_set_arrival_ahead_time", [](RSHD h) { return rs_set_arrival_ahead_time(h, 0.1); }},
        {"rs_move_joint", [](RSHD h) { return rs_move_joint(h, joints, true); }},
        {"rs_move_line", [](RSHD h) { return rs_move_line(h, joints, true); }},
        {"rs_move_rotate", [](RSHD h) { return rs_move_rotate(h, &frame, &axis, 0.1, true); }},
        {"rs_move_track", [](RSHD h) { return rs_move_track(h, CARTESIAN_MOVEP, true); }},
        {"rs_move_line_to", [](RSHD h) { return rs_move_line_to(h, &pos, &tool, true); }},
        {"rs_move_joint_to", [](RSHD h) { return rs_move_joint_to(h, &pos, &tool, true); }},
        {"rs_teach_move_start", [](RSHD h) { return rs_teach_move_start(h, MOV_X, true); }},
        {"rs_teach_move_stop", [](RSHD h) { return rs_teach_move_stop(h); }},
        {"rs_move_stop", [](RSHD h) { return rs_move_stop(h); }},
        {"rs_move_pause", [](RSHD h) { return rs_move_pause(h); }},
        {"rs_move_continue", [](RSHD h) { return rs_move_continue(h); }},
        {"rs_move_fast_stop", [](RSHD h) { return rs_move_fast_stop(h); }},
        {"rs_collision_recover", [](RSHD h) { return rs_collision_recover(h); }},
        {"rs_remove_all_waypoint", [](RSHD h) { return rs_remove_all_waypoint(h); }},
        {"rs_add_waypoint", [](RSHD h) { return rs_add_waypoint(h, joints); }},
        {"rs_set_user_coord", [](RSHD h) { return rs_set_user_coord(h, &frame); }},
        {"rs_set_base_coord", [](RSHD h) { return rs_set_base_coord(h); }},
        {"rs_check_user_coord", [](RSHD h) { return rs_check_user_coord(h, &frame); }},
        {"rs_clear_offline_track", [](RSHD h) { return rs_clear_offline_track(h); }},
        {"rs_append_offline_track_waypoint",
         [](RSHD h) { return rs_append_offline_track_waypoint(h, &point, 1); }},
        {"rs_append_offline_track_file",
         [](RSHD h) { return rs_append_offline_track_file(h, "track.txt"); }},
        {"rs_startup_offline_track", [](RSHD h) { return rs_startup_offline_track(h); }},
        {"rs_stop_offline_track", [](RSHD h) { return rs_stop_offline_track(h); }},
        {"rs_enter_tcp2canbus_mode", [](RSHD h) { return rs_enter_tcp2canbus_mode(h); }},
        {"rs_leave_tcp2canbus_mode", [](RSHD h) { return rs_leave_tcp2canbus_mode(h); }},
        {"rs_set_waypoint_to_canbus", [](RSHD h) { return rs_set_waypoint_to_canbus(h, joints); }},
        {"rs_startup_excit_traj_track",
         [](RSHD h) { return rs_startup_excit_traj_track(h, "traj.txt", 0, 0); }},
        {"rs_forward_kin", [](RSHD h) { return rs_forward_kin(h, joints, &waypoint); }},
        {"rs_inverse_kin", [](RSHD h) { return rs_inverse_kin(h, joints, &pos, &ori, &waypoint); }},
        {"rs_base_to_user",
         [](RSHD h) { return rs_base_to_user(h, &pos, &ori, &frame, &tool, &pos, &ori); }},
        {"rs_user_to_base",
         [](RSHD h) { return rs_user_to_base(h, &pos, &ori, &frame, &tool, &pos, &ori); }},
        {"rs_base_to_base_additional_tool",
         [](RSHD h) { return rs_base_to_base_additional_tool(h, &pos, &ori, &tool, &pos, &ori); }},
        {"rs_rpy_to_quaternion", [](RSHD h) { return rs_rpy_to_quaternion(h, &rpy, &ori); }},
        {"rs_quaternion_to_rpy", [](RSHD h) { return rs_quaternion_to_rpy(h, &ori, &rpy); }},
        {"rs_set_tool_end_param", [](RSHD h) { return rs_set_tool_end_param(h, &tool); }},
        {"rs_set_none_tool_dynamics_param",
         [](RSHD h) { return rs_set_none_tool_dynamics_param(h); }},
        {"rs_set_tool_dynamics_param",
         [](RSHD h) { return rs_set_tool_dynamics_param(h, &dynamics); }},
        {"rs_get_tool_dynamics_param",
         [](RSHD h) { return rs_get_tool_dynamics_param(h, &dynamics); }},
        {"rs_set_none_tool_kinematics_param",
         [](RSHD h) { return rs_set_none_tool_kinematics_param(h); }},
        {"rs_set_tool_kinematics_param",
         [](RSHD h) { return rs_set_tool_kinematics_param(h, &tool); }},
        {"rs_get_tool_kinematics_param",
         [](RSHD h) { return rs_get_tool_kinematics_param(h, &tool); }},
        {"rs_robot_startup",
         [](RSHD h) {
             return rs_robot_startup(h, &dynamics, 6, true, false, 6000, &serviceState);
         }},
        {"rs_robot_shutdown", [](RSHD h) { return rs_robot_shutdown(h); }},
        {"rs_get_board_io_config",
         [](RSHD h) { return rs_get_board_io_config(h, RobotBoardUserDO, &ioConfig); }},
        {"rs_set_board_io_status_by_name",
         [](RSHD h) { return rs_set_board_io_status_by_name(h, RobotBoardUserDO, "U_DO_00", 1); }},
        {"rs_set_board_io_status_by_addr",
         [](RSHD h) { return rs_set_board_io_status_by_addr(h, RobotBoardUserDO, 32, 1); }},
        {"rs_get_board_io_status_by_name",
         [](RSHD h) {
             return rs_get_board_io_status_by_name(h, RobotBoardUserDO, "U_DO_00", &value);
         }},
        {"rs_get_board_io_status_by_addr",
         [](RSHD h) { return rs_get_board_io_status_by_addr(h, RobotBoardUserDO, 32, &value); }},
        {"rs_set_tool_power_type", [](RSHD h) { return rs_set_tool_power_type(h, OUT_12V); }},
        {"rs_get_tool_power_type", [](RSHD h) { return rs_get_tool_power_type(h, &power); }},
        {"rs_set_tool_io_type",
         [](RSHD h) { return rs_set_tool_io_type(h, TOOL_DIGITAL_IO_0, IO_OUT); }},
        {"rs_get_tool_power_voltage", [](RSHD h) { return rs_get_tool_power_voltage(h, &value); }},
        {"rs_get_tool_io_status",
         [](RSHD h) { return rs_get_tool_io_status(h, "T_DI/O_00", &value); }},
        {"rs_set_tool_do_status",
         [](RSHD h) { return rs_set_tool_do_status(h, "T_DI/O_00", IO_STATUS_VALID); }},
    };
}

TEST_F(RsContextTest, EveryCallOnAnUnknownHandleIsRefusedAndLogged) {
    RSHD unknown = deadHandle();
    const std::string warning =
        "robot service instance no found! by RSHD " + std::to_string(unknown) + ".";
    std::vector<RsCall> calls = everyHandleCall();
    EXPECT_EQ(98u, calls.size());  // all but the lifecycle functions and the bool one
    for (const RsCall &c : calls) {
        TraceCapture trace;
        EXPECT_EQ(1002, c.call(unknown)) << c.name;
        EXPECT_EQ(1, countLines(trace, warning)) << c.name;
    }
}
