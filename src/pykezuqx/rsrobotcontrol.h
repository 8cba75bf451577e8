#ifndef RSROBOTCONTROL_H
#define RSROBOTCONTROL_H

#include <pthread.h>

#include <vector>

#include "KezuRobotMetaType.h"
#include "rsdef.h"
#include "rstype.h"

// Procedural interface: every function takes the handle of a context made by
// rs_create_context. Results: 0 success, 1001 the context table is full, 1002 the handle is
// unknown, 1003 an argument is out of range, any other value the SDK code of the call.

extern "C" {

// The context table; g_mutex guards g_rs_instance and g_res, the next handle to hand out.
extern RSI_MAP g_rs_instance;
extern pthread_mutex_t g_mutex;
extern RSHD g_res;

// Pointers into the table row of the handle, or null. They stay valid only while the context
// lives; the rs_* functions below hold the context for the whole of each call.
ServiceInterface *get_robot_service(RSHD rshd);
CustomUserCoord *get_robot_user_plan(RSHD rshd);

/* Lifecycle */
int rs_initialize();
int rs_uninitialize();
int rs_create_context(RSHD *rshd);
int rs_destory_context(RSHD rshd);
const char *rs_str_error(int err);

/* Connection, state and push registration */
int rs_login(RSHD rshd, const char *addr, int port);
int rs_logout(RSHD rshd);
int rs_get_login_status(RSHD rshd, bool *status);
int rs_get_socket_status(RSHD rshd, bool *connected);
int rs_get_robot_state(RSHD rshd, kezu_robot_namespace::RobotState *state);
int rs_set_work_mode(RSHD rshd, kezu_robot_namespace::RobotWorkMode mode);
int rs_get_work_mode(RSHD rshd, kezu_robot_namespace::RobotWorkMode *mode);
int rs_set_collision_class(RSHD rshd, int grade);
int rs_get_gravity_component(RSHD rshd, kezu_robot_namespace::RobotGravityComponent *gravity);
int rs_get_device_info(RSHD rshd, kezu_robot_namespace::RobotDevInfo *dev);
int rs_is_have_real_robot(RSHD rshd, bool *exist);
int rs_is_online_mode(RSHD rshd, bool *isonline);
int rs_is_online_master_mode(RSHD rshd, bool *ismaster);
int rs_get_joint_status(RSHD rshd, kezu_robot_namespace::JointStatus *jointStatus);
int rs_get_current_waypoint(RSHD rshd, kezu_robot_namespace::wayPoint_S *waypoint);
int rs_get_diagnosis_info(RSHD rshd, kezu_robot_namespace::RobotDiagnosis *info);
int rs_get_robot_end_speed(RSHD rshd, float *endspeed);
int rs_setcallback_realtime_roadpoint(RSHD rshd, RealTimeRoadPointCallback ptr, void *arg);
int rs_setcallback_realtime_joint_status(RSHD rshd, RealTimeJointStatusCallback ptr, void *arg);
int rs_setcallback_realtime_end_speed(RSHD rshd, RealTimeEndSpeedCallback ptr, void *arg);
int rs_setcallback_robot_event(RSHD rshd, RobotEventCallback ptr, void *arg);
int rs_enable_push_realtime_roadpoint(RSHD rshd, bool enable);
int rs_enable_push_realtime_joint_status(RSHD rshd, bool enable);
int rs_enable_push_realtime_end_speed(RSHD rshd, bool enable);

/* Global move profile, shared by every context */
int rs_init_global_move_profile(RSHD rshd);
int rs_set_global_joint_maxacc(RSHD rshd, const kezu_robot_namespace::JointVelcAccParam *max_acc);
int rs_set_global_joint_maxvelc(RSHD rshd, const kezu_robot_namespace::JointVelcAccParam *max_velc);
int rs_get_global_joint_maxacc(RSHD rshd, kezu_robot_namespace::JointVelcAccParam *max_acc);
int rs_get_global_joint_maxvelc(RSHD rshd, kezu_robot_namespace::JointVelcAccParam *max_velc);
int rs_set_global_end_max_line_acc(RSHD rshd, double max_acc);
int rs_set_global_end_max_line_velc(RSHD rshd, double max_velc);
int rs_get_global_end_max_line_acc(RSHD rshd, double *max_acc);
int rs_get_global_end_max_line_velc(RSHD rshd, double *max_velc);
int rs_set_global_end_max_angle_acc(RSHD rshd, double max_acc);
int rs_set_global_end_max_angle_velc(RSHD rshd, double max_velc);
int rs_get_global_end_max_angle_acc(RSHD rshd, double *max_acc);
int rs_get_global_end_max_angle_velc(RSHD rshd, double *max_velc);
int rs_set_blend_radius(RSHD rshd, double radius);
int rs_set_circular_loop_times(RSHD rshd, int times);
int rs_set_relative_offset_on_base(RSHD rshd, const kezu_robot_namespace::MoveRelative *relative);
int rs_set_relative_offset_on_user(RSHD rshd, const kezu_robot_namespace::MoveRelative *relative,
                                   const CoordCalibrate *user_coord);
int rs_set_no_arrival_ahead(RSHD rshd);
int rs_set_arrival_ahead_distance(RSHD rshd, double distance);
int rs_set_arrival_ahead_time(RSHD rshd, double sec);

/* Moves, waypoints and the context's user frame */
int rs_move_joint(RSHD rshd, double *joint_radian, bool isblock);
int rs_move_line(RSHD rshd, double *joint_radian, bool isblock);
int rs_move_rotate(RSHD rshd, const CoordCalibrate *user_coord, const Move_Rotate_Axis *rotate_axis,
                   double rotate_angle, bool isblock);
int rs_move_track(RSHD rshd, kezu_robot_namespace::move_track sub_move_mode, bool isblock);
int rs_move_line_to(RSHD rshd, const kezu_robot_namespace::Pos *target,
                    const kezu_robot_namespace::ToolInEndDesc *tool, bool isblock);
int rs_move_joint_to(RSHD rshd, const kezu_robot_namespace::Pos *target,
                     const kezu_robot_namespace::ToolInEndDesc *tool, bool isblock);
int rs_teach_move_start(RSHD rshd, kezu_robot_namespace::teach_mode mode, bool dir);
int rs_teach_move_stop(RSHD rshd);
int rs_move_stop(RSHD rshd);
int rs_move_pause(RSHD rshd);
int rs_move_continue(RSHD rshd);
int rs_move_fast_stop(RSHD rshd);
int rs_collision_recover(RSHD rshd);
int rs_remove_all_waypoint(RSHD rshd);
int rs_add_waypoint(RSHD rshd, double *joint_radian);
int rs_set_user_coord(RSHD rshd, const CoordCalibrate *user_coord);
int rs_set_base_coord(RSHD rshd);
int rs_check_user_coord(RSHD rshd, const CoordCalibrate *user_coord);

/* Offline tracks, CAN bus pass-through and dynamics identification */
int rs_clear_offline_track(RSHD rshd);
int rs_append_offline_track_waypoint(RSHD rshd, const kezu_robot_namespace::JointParam *waypoints,
                                     int waypoint_count);
int rs_append_offline_track_file(RSHD rshd, const char *filename);
int rs_startup_offline_track(RSHD rshd);
int rs_stop_offline_track(RSHD rshd);
int rs_enter_tcp2canbus_mode(RSHD rshd);
int rs_leave_tcp2canbus_mode(RSHD rshd);
int rs_set_waypoint_to_canbus(RSHD rshd, double *joint_radian);
int rs_startup_excit_traj_track(RSHD rshd, const char *trackfile, char type, char subtype);
// true when the handle is unknown or the read failed, false on success.
bool rs_get_dynidentify_results(RSHD rshd, std::vector<int> &paramVector);

/* Kinematics, computed locally */
int rs_forward_kin(RSHD rshd, const double *joint_radian,
                   kezu_robot_namespace::wayPoint_S *waypoint);
int rs_inverse_kin(RSHD rshd, double *joint_radian, const kezu_robot_namespace::Pos *pos,
                   const kezu_robot_namespace::Ori *ori,
                   kezu_robot_namespace::wayPoint_S *waypoint);
int rs_base_to_user(RSHD rshd, const kezu_robot_namespace::Pos *pos_onbase,
                    const kezu_robot_namespace::Ori *ori_onbase, const CoordCalibrate *user_coord,
                    const kezu_robot_namespace::ToolInEndDesc *tool_pos,
                    kezu_robot_namespace::Pos *pos_onuser, kezu_robot_namespace::Ori *ori_onuser);
int rs_user_to_base(RSHD rshd, const kezu_robot_namespace::Pos *pos_onuser,
                    const kezu_robot_namespace::Ori *ori_onuser, const CoordCalibrate *user_coord,
                    const kezu_robot_namespace::ToolInEndDesc *tool_pos,
                    kezu_robot_namespace::Pos *pos_onbase, kezu_robot_namespace::Ori *ori_onbase);
int rs_base_to_base_additional_tool(RSHD rshd,
                                    const kezu_robot_namespace::Pos *flange_center_pos_onbase,
                                    const kezu_robot_namespace::Ori *flange_center_ori_onbase,
                                    const kezu_robot_namespace::ToolInEndDesc *tool,
                                    kezu_robot_namespace::Pos *tool_end_pos_onbase,
                                    kezu_robot_namespace::Ori *tool_end_ori_onbase);
int rs_rpy_to_quaternion(RSHD rshd, const kezu_robot_namespace::Rpy *rpy,
                         kezu_robot_namespace::Ori *ori);
int rs_quaternion_to_rpy(RSHD rshd, const kezu_robot_namespace::Ori *ori,
                         kezu_robot_namespace::Rpy *rpy);

/* Tool parameters and start-up */
int rs_set_tool_end_param(RSHD rshd, const kezu_robot_namespace::ToolInEndDesc *tool);
int rs_set_none_tool_dynamics_param(RSHD rshd);
int rs_set_tool_dynamics_param(RSHD rshd, const kezu_robot_namespace::ToolDynamicsParam *tool);
int rs_get_tool_dynamics_param(RSHD rshd, kezu_robot_namespace::ToolDynamicsParam *tool);
int rs_set_none_tool_kinematics_param(RSHD rshd);
int rs_set_tool_kinematics_param(RSHD rshd, const kezu_robot_namespace::ToolKinematicsParam *tool);
int rs_get_tool_kinematics_param(RSHD rshd, kezu_robot_namespace::ToolKinematicsParam *tool);
int rs_robot_startup(RSHD rshd, const kezu_robot_namespace::ToolDynamicsParam *tool_dynamics,
                     uint8 colli_class, bool read_pos, bool static_colli_detect, int board_maxacc,
                     kezu_robot_namespace::ROBOT_SERVICE_STATE *state);
int rs_robot_shutdown(RSHD rshd);

/* Interface-board and tool IO */
int rs_get_board_io_config(RSHD rshd, kezu_robot_namespace::RobotIoType type,
                           std::vector<kezu_robot_namespace::RobotIoDesc> *config);
int rs_set_board_io_status_by_name(RSHD rshd, kezu_robot_namespace::RobotIoType type,
                                   const char *name, double val);
int rs_set_board_io_status_by_addr(RSHD rshd, kezu_robot_namespace::RobotIoType type, int addr,
                                   double val);
int rs_get_board_io_status_by_name(RSHD rshd, kezu_robot_namespace::RobotIoType type,
                                   const char *name, double *val);
int rs_get_board_io_status_by_addr(RSHD rshd, kezu_robot_namespace::RobotIoType type, int addr,
                                   double *val);
int rs_set_tool_power_type(RSHD rshd, kezu_robot_namespace::ToolPowerType type);
int rs_get_tool_power_type(RSHD rshd, kezu_robot_namespace::ToolPowerType *type);
int rs_set_tool_io_type(RSHD rshd, kezu_robot_namespace::ToolDigitalIOAddr addr,
                        kezu_robot_namespace::ToolIOType type);
int rs_get_tool_power_voltage(RSHD rshd, double *voltage);
int rs_get_tool_io_status(RSHD rshd, const char *name, double *val);
int rs_set_tool_do_status(RSHD rshd, const char *name, kezu_robot_namespace::IO_STATUS status);

}  // extern "C"

#endif
