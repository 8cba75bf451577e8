#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "robotKinematics.h"
#include "robotutilservice.h"
#include "tracecapture.h"

namespace {

namespace kz = kezu_robot_namespace;
using U = RobotUtilService;

const double kPi = 3.141592653589793;
const double kHalfSqrt2 = std::sqrt(0.5);
// The two texts with an ideographic space (U+3000, UTF-8 E3 80 80) between words.
const char *const kToolParamErrorLog =
    "sdk log: toolCalibration\xE3\x80\x80"
    "error, param error.";
const char *const kCoordTypeErrorLog =
    "sdk log: Coordinate system calibration\xE3\x80\x80"
    "param error, coordType!=WorldCoordinate.";

class UtilService : public ::testing::Test {
protected:
    // The service's own lines (the kinematics add warnings of theirs), all at error level.
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        for (const TraceCapture::Event &e : trace_.events()) {
            if (e.message.rfind("sdk log: ", 0) == 0) {
                EXPECT_EQ(log4cplus::ERROR_LOG_LEVEL, e.level) << e.message;
                lines.push_back(e.message);
            }
        }
        return lines;
    }

    static kz::Ori quat(double angle, double ax, double ay, double az) {
        const double n = std::sqrt(ax * ax + ay * ay + az * az);
        const double s = std::sin(angle / 2) / n;
        return kz::Ori{std::cos(angle / 2), s * ax, s * ay, s * az};
    }
    static kz::Ori mul(const kz::Ori &q, const kz::Ori &p) {
        return kz::Ori{q.w * p.w - q.x * p.x - q.y * p.y - q.z * p.z,
                       q.w * p.x + q.x * p.w + q.y * p.z - q.z * p.y,
                       q.w * p.y - q.x * p.z + q.y * p.w + q.z * p.x,
                       q.w * p.z + q.x * p.y - q.y * p.x + q.z * p.w};
    }
    static kz::Pos rotate(const kz::Ori &q, const kz::Pos &v) {
        const kz::Ori r = mul(mul(q, kz::Ori{0, v.x, v.y, v.z}), kz::Ori{q.w, -q.x, -q.y, -q.z});
        return kz::Pos{r.x, r.y, r.z};
    }
    static kz::wayPoint_S pose(const kz::Pos &p, const kz::Ori &q) {
        kz::wayPoint_S wp{};
        wp.cartPos.position = p;
        wp.orientation = q;
        return wp;
    }
    static void expectPos(const kz::Pos &e, const kz::Pos &a, double tol = 1e-9) {
        EXPECT_NEAR(e.x, a.x, tol);
        EXPECT_NEAR(e.y, a.y, tol);
        EXPECT_NEAR(e.z, a.z, tol);
    }
    // Quaternions q and -q are the same rotation.
    static void expectRotation(const kz::Ori &e, const kz::Ori &a, double tol = 1e-9) {
        const double s = (e.w * a.w + e.x * a.x + e.y * a.y + e.z * a.z) < 0 ? -1.0 : 1.0;
        EXPECT_NEAR(e.w, s * a.w, tol);
        EXPECT_NEAR(e.x, s * a.x, tol);
        EXPECT_NEAR(e.y, s * a.y, tol);
        EXPECT_NEAR(e.z, s * a.z, tol);
    }

    const double generic_[6] = {0.3, -0.5, 1.1, -0.4, 0.7, 0.2};
    const kz::Pos tcp_{0.01, -0.02, 0.12};

private:
    TraceCapture trace_;
};

// ---- Forward and inverse kinematics ----

TEST_F(UtilService, FkOfZeroJointsAndWrongJointCounts) {
    const double zero[6] = {};
    kz::wayPoint_S wp, init;
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(zero, 6, wp));
    expectPos(kz::Pos{0, -0.2155, 0.985}, wp.cartPos.position, 1e-12);
    expectRotation(kz::Ori{kHalfSqrt2, kHalfSqrt2, 0, 0}, wp.orientation, 1e-12);
    std::memset(&init, 0x5a, sizeof(init));
    U::initWayPoint(init);
    EXPECT_EQ(0, std::memcmp(&wp, &init, sizeof(wp)));
    for (int size : {0, 5, 7}) {
        EXPECT_EQ(kz::ErrCode_ParamError, U::robotFk(generic_, size, init)) << size;
        EXPECT_EQ(0, std::memcmp(&wp, &init, sizeof(wp))) << size;
    }
    EXPECT_TRUE(logLines().empty());
}

TEST_F(UtilService, IkKeepsTheReferenceSolutionOrFailsUntouched) {
    kz::wayPoint_S fk, ik;
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(generic_, 6, fk));
    ASSERT_EQ(kz::ErrnoSucc, U::robotIk(generic_, fk.cartPos.position, fk.orientation, ik));
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(generic_[i], ik.jointpos[i], 1e-9) << i;
    }
    const kz::wayPoint_S before = ik;
    EXPECT_EQ(kz::ErrCode_IkFailed,
              U::robotIk(generic_, kz::Pos{3, 3, 3}, kz::Ori{1, 0, 0, 0}, ik));
    EXPECT_EQ(0, std::memcmp(&before, &ik, sizeof(ik)));
    ASSERT_EQ(1u, logLines().size());
    EXPECT_EQ("sdk log: call robotIk error.", logLines()[0]);
}

// ---- Tool calibration ----

class ToolCalibration : public UtilService {
protected:
    // Flange poses that all hold the tool tip on one point.
    std::vector<kz::wayPoint_S> aroundTip(int n) const {
        std::vector<kz::wayPoint_S> wps;
        const kz::Pos tip{0.4, 0.1, 0.3};
        for (int k = 0; k < n; ++k) {
            const kz::Ori q = quat(0.3 + 0.25 * k, 1, 0.5 * k - 1, 0.2 + k);
            const kz::Pos r = rotate(q, tcp_);
            wps.push_back(pose(kz::Pos{tip.x - r.x, tip.y - r.y, tip.z - r.z}, q));
        }
        return wps;
    }
    // Three poses of one orientation that put the tip at the origin of the tool frame, on its
    // +X axis and in its XY plane (mode 0).
    std::vector<kz::wayPoint_S> xOxy(const kz::Ori &toolOri, double spacing) const {
        const kz::Ori flange = quat(0.4, 0.2, 1, 0.3);
        const kz::Ori axes = mul(flange, toolOri);
        const kz::Pos x = rotate(axes, kz::Pos{1, 0, 0});
        const kz::Pos y = rotate(axes, kz::Pos{0, 1, 0});
        const kz::Pos r = rotate(flange, tcp_);
        const kz::Pos base{0.3, -0.2, 0.4};
        std::vector<kz::wayPoint_S> wps;
        for (const kz::Pos &d :
             {kz::Pos{0, 0, 0}, x, kz::Pos{0.3 * x.x + y.x, 0.3 * x.y + y.y, 0.3 * x.z + y.z}}) {
            wps.push_back(pose(kz::Pos{base.x + spacing * d.x - r.x, base.y + spacing * d.y - r.y,
                                       base.z + spacing * d.z - r.z},
                               flange));
        }
        return wps;
    }
};

TEST_F(ToolCalibration, PointCountsAndMethodsMustMatch) {
    const auto four = aroundTip(4);
    const auto oriPoses = xOxy(kz::Ori{1, 0, 0, 0}, 0.05);
    const std::vector<kz::wayPoint_S> two(four.begin(), four.begin() + 2);
    const struct {
        const char *what;
        std::vector<kz::wayPoint_S> pos, ori;
        int method;
        bool accepted;
    } cases[] = {
        {"three positions", aroundTip(3), {}, -1, false},
        {"two orientation poses, method 0", four, two, 0, false},
        {"three orientation poses, method 3", four, oriPoses, 3, false},
        {"one orientation pose", four, {oriPoses[0]}, 3, false},
        {"four orientation poses", four, aroundTip(4), 0, false},
        {"two orientation poses, method -1", four, two, -1, false},
        {"three orientation poses, method 2", four, oriPoses, 2, true},
        {"two orientation poses, method 5", four, two, 5, true},
        {"positions only, any method", four, {}, 4, true},
    };
    for (const auto &c : cases) {
        kz::ToolInEndDesc tool{};
        const int ret = U::toolCalibration(
            c.pos, c.ori, static_cast<kz::ToolKinematicsOriCalibrateMathod>(c.method), tool);
        if (c.accepted) {
            EXPECT_EQ(kz::ErrnoSucc, ret) << c.what;
        } else {
            EXPECT_EQ(kz::ErrCode_ToolCalibrateParamError, ret) << c.what;
        }
    }
    ASSERT_EQ(6u, logLines().size());
    EXPECT_EQ(kToolParamErrorLog, logLines()[0]);
}

TEST_F(ToolCalibration, PositionsOnlyGiveTheTipAndNoRotation) {
    kz::ToolInEndDesc four{{}, {0, 0, 1, 0}}, three{{}, {0, 0, 1, 0}};
    ASSERT_EQ(
        kz::ErrnoSucc,
        U::toolCalibration(aroundTip(6), {}, kz::ToolKinematicsOriCalibrateMathod_Invalid, four));
    ASSERT_EQ(kz::ErrnoSucc, U::toolCalibration(aroundTip(6), 2, three));
    for (const kz::ToolInEndDesc &t : {four, three}) {
        expectPos(tcp_, t.toolInEndPosition);
        expectRotation(kz::Ori{1, 0, 0, 0}, t.toolInEndOrientation, 0.0);
    }
}

TEST_F(ToolCalibration, ThreePointOrientationRecoversTheToolAxes) {
    const kz::Ori toolOri = quat(0.7, 0.3, -0.4, 1);
    kz::ToolInEndDesc tool{};
    ASSERT_EQ(kz::ErrnoSucc, U::toolCalibration(aroundTip(5), xOxy(toolOri, 0.05),
                                                kz::ToolKinematicsOriCalibrateMathod_xOxy, tool));
    expectPos(tcp_, tool.toolInEndPosition);
    expectRotation(toolOri, tool.toolInEndOrientation);
}

TEST_F(ToolCalibration, FailuresLeaveTheToolUntouched) {
    const kz::ToolInEndDesc sentinel{{7, 7, 7}, {7, 7, 7, 7}};
    auto sameOrientation = aroundTip(4);
    for (auto &wp : sameOrientation) {
        wp.orientation = kz::Ori{1, 0, 0, 0};
    }
    kz::ToolInEndDesc tool = sentinel;
    EXPECT_EQ(kz::ErrCode_ToolCalibrateError,
              U::toolCalibration(sameOrientation, {}, kz::ToolKinematicsOriCalibrateMathod_Invalid,
                                 tool));
    // Orientation tip points 5 mm apart are too close.
    EXPECT_EQ(kz::ErrCode_ToolCalibrateError,
              U::toolCalibration(aroundTip(4), xOxy(kz::Ori{1, 0, 0, 0}, 0.005),
                                 kz::ToolKinematicsOriCalibrateMathod_xOxy, tool));
    EXPECT_EQ(0, std::memcmp(&sentinel, &tool, sizeof(tool)));
    ASSERT_EQ(2u, logLines().size());
    EXPECT_EQ("sdk log: Call ikfun api_tool_coord_calib failed.", logLines()[1]);

    EXPECT_EQ(kz::ErrCode_ToolCalibrateError, U::toolCalibration(sameOrientation, 0, tool));
    EXPECT_EQ(kz::ErrCode_ToolCalibrateError, U::toolCalibration(aroundTip(3), 0, tool));
    EXPECT_EQ(0, std::memcmp(&sentinel, &tool, sizeof(tool)));
    EXPECT_EQ("sdk log: call toolCalibration error.", logLines().back());
}

// ---- User frames ----

class UserFrame : public UtilService {
protected:
    // Three postures that differ in joint 1 only by 0, +90 and -90 degrees: the tool-end
    // points lie on a horizontal circle with the second and third diametrically opposite, so
    // every method yields an orthonormal frame.
    // Selector and method are written as a C caller would, so any int can be given.
    kz::CoordCalibrateByJointAngleAndTool frame(int methods, int type = kz::WorldCoordinate) {
        kz::CoordCalibrateByJointAngleAndTool f{};
        std::memcpy(&f.coordType, &type, sizeof(type));
        std::memcpy(&f.methods, &methods, sizeof(methods));
        const double j1[3] = {0.2, 0.2 + kPi / 2, 0.2 - kPi / 2};
        for (int i = 0; i < 3; ++i) {
            const double q[6] = {j1[i], -0.4, 1.0, 0.3, 1.2, 0.5};
            std::memcpy(f.wayPointArray[i].jointPos, q, sizeof(q));
        }
        f.toolDesc = tool_;
        return f;
    }
    // Tool-end position of a posture with the frame's tool.
    kz::Pos toolEnd(const kz::JointParam &j) {
        kz::wayPoint_S wp;
        EXPECT_EQ(kz::ErrnoSucc, U::robotFk(j.jointPos, 6, wp));
        kz::Pos p;
        U::endPosition2BasePosition(wp, tool_.toolInEndPosition, p);
        return p;
    }
    const kz::ToolInEndDesc tool_{{0.02, 0.0, 0.15}, quat(0.5, 0, 1, 0)};
    const kz::ToolInEndDesc work_{{-0.01, 0.03, 0.2}, quat(0.8, 1, 1, 0)};
    const kz::Pos flangePos_{0.35, -0.1, 0.42};
    const kz::Ori flangeOri_ = quat(1.1, 0.2, -0.5, 0.7);
};

TEST_F(UserFrame, CalibrationPutsTheOriginOnTheFirstToolEndPoint) {
    const auto f = frame(0);
    double bInWPos[3], R[9], wInBPos[3];
    ASSERT_EQ(kz::ErrnoSucc, U::coordinateSystemCalibration(f, bInWPos, R, wInBPos));
    const kz::Pos p1 = toolEnd(f.wayPointArray[0]), p2 = toolEnd(f.wayPointArray[1]);
    expectPos(p1, kz::Pos{wInBPos[0], wInBPos[1], wInBPos[2]});
    const double len = std::hypot(p2.x - p1.x, p2.y - p1.y, p2.z - p1.z);
    expectPos(kz::Pos{(p2.x - p1.x) / len, (p2.y - p1.y) / len, (p2.z - p1.z) / len},
              kz::Pos{R[0], R[1], R[2]});
    for (int r = 0; r < 3; ++r) {
        EXPECT_NEAR(-(R[3 * r] * p1.x + R[3 * r + 1] * p1.y + R[3 * r + 2] * p1.z), bInWPos[r],
                    1e-9);
    }
    EXPECT_EQ(kz::ErrnoSucc, U::checkCoordinateSystemCalibration(f));
    EXPECT_TRUE(logLines().empty());
}

TEST_F(UserFrame, CalibrationFailures) {
    double bInWPos[3], bInWOri[9], wInBPos[3];
    EXPECT_EQ(kz::ErrCode_ParamError, U::coordinateSystemCalibration(frame(0, kz::BaseCoordinate),
                                                                     bInWPos, bInWOri, wInBPos));
    ASSERT_EQ(1u, logLines().size());
    EXPECT_EQ(kCoordTypeErrorLog, logLines()[0]);
    EXPECT_EQ(kz::ErrCode_CoordinateSystemCalibrateError,
              U::coordinateSystemCalibration(frame(9), bInWPos, bInWOri, wInBPos));
    EXPECT_EQ("sdk log: call ikFun api_user_coord_calib failed.", logLines().back());
    EXPECT_EQ(kz::ErrCode_ParamError,
              U::checkCoordinateSystemCalibration(frame(0, kz::EndCoordinate)));
    EXPECT_EQ(kz::ErrCode_CoordinateSystemCalibrateError,
              U::checkCoordinateSystemCalibration(frame(-1)));
    // A method that does not fit in a signed char must not wrap onto method 0.
    EXPECT_EQ(kz::ErrCode_CoordinateSystemCalibrateError,
              U::checkCoordinateSystemCalibration(frame(256)));
}

TEST_F(UserFrame, TypeConvertGivesToolEndPosesInTheBaseFrame) {
    const auto f = frame(4);
    CoordCalibrateByToolEndPoint target;
    ASSERT_EQ(kz::ErrnoSucc, U::CoordCalibrateTypeConvert(f, target));
    EXPECT_EQ(kz::WorldCoordinate, target.coordType);
    EXPECT_EQ(4, target.methods);
    for (int i = 0; i < 3; ++i) {
        kz::wayPoint_S flange;
        ASSERT_EQ(kz::ErrnoSucc, U::robotFk(f.wayPointArray[i].jointPos, 6, flange));
        const kz::Pos r = rotate(flange.orientation, tool_.toolInEndPosition);
        const kz::Pos p = flange.cartPos.position;
        expectPos(kz::Pos{p.x + r.x, p.y + r.y, p.z + r.z},
                  target.wayPointArray[i].cartPos.position);
        expectRotation(mul(flange.orientation, tool_.toolInEndOrientation),
                       target.wayPointArray[i].orientation);
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(f.wayPointArray[i].jointPos[j], target.wayPointArray[i].jointpos[j]);
        }
    }
}

TEST_F(UserFrame, BaseToUserAndBackReturnsTheFlangePose) {
    for (int m = 0; m <= 8; ++m) {
        for (kz::coordinate_refer type : {kz::WorldCoordinate, kz::BaseCoordinate}) {
            const auto f = frame(m, type);
            kz::Pos userPos, backPos;
            kz::Ori userOri, backOri;
            ASSERT_EQ(kz::ErrnoSucc,
                      U::base2UserCoordinate(flangePos_, flangeOri_, f, work_, userPos, userOri));
            ASSERT_EQ(kz::ErrnoSucc,
                      U::user2BaseCoordinate(userPos, userOri, f, work_, backPos, backOri));
            SCOPED_TRACE(m);
            expectPos(flangePos_, backPos);
            expectRotation(flangeOri_, backOri);
        }
    }
}

TEST_F(UserFrame, FlangeFrameGivesTheToolItself) {
    kz::Pos pos;
    kz::Ori ori;
    ASSERT_EQ(kz::ErrnoSucc, U::base2UserCoordinate(flangePos_, flangeOri_,
                                                    frame(0, kz::EndCoordinate), work_, pos, ori));
    expectPos(work_.toolInEndPosition, pos, 0.0);
    expectRotation(work_.toolInEndOrientation, ori, 0.0);
    kz::Pos untouchedPos{7, 7, 7};
    kz::Ori untouchedOri{7, 7, 7, 7};
    EXPECT_EQ(kz::ErrCode_UserToBaseConvertFailed,
              U::user2BaseCoordinate(pos, ori, frame(0, kz::EndCoordinate), work_, untouchedPos,
                                     untouchedOri));
    EXPECT_EQ(kz::ErrCode_BaseToUserConvertFailed,
              U::base2UserCoordinate(flangePos_, flangeOri_, frame(9), work_, untouchedPos,
                                     untouchedOri));
    EXPECT_EQ(kz::ErrCode_UserToBaseConvertFailed,
              U::user2BaseCoordinate(pos, ori, frame(9), work_, untouchedPos, untouchedOri));
    // A selector outside the enum reads as a user frame one way and is refused the other.
    const auto other = frame(0, 5);
    kz::Pos userPos, worldPos;
    kz::Ori userOri, worldOri;
    ASSERT_EQ(kz::ErrnoSucc,
              U::base2UserCoordinate(flangePos_, flangeOri_, other, work_, userPos, userOri));
    ASSERT_EQ(kz::ErrnoSucc,
              U::base2UserCoordinate(flangePos_, flangeOri_, frame(0), work_, worldPos, worldOri));
    expectPos(worldPos, userPos, 0.0);
    EXPECT_EQ(kz::ErrCode_UserToBaseConvertFailed,
              U::user2BaseCoordinate(userPos, userOri, other, work_, untouchedPos, untouchedOri));
    EXPECT_EQ(7.0, untouchedPos.x);
    EXPECT_EQ(7.0, untouchedOri.w);
    EXPECT_TRUE(logLines().empty());
}

TEST_F(UserFrame, UserPointsAndVectorsInTheBaseFrame) {
    const auto f = frame(6);
    double bInWPos[3], R[9], origin[3];
    ASSERT_EQ(kz::ErrnoSucc, U::coordinateSystemCalibration(f, bInWPos, R, origin));
    const double v[3] = {0.3, -0.1, 0.25};
    // base = origin + R^T v for a point, R^T v for a vector.
    const kz::Pos rotated{R[0] * v[0] + R[3] * v[1] + R[6] * v[2],
                          R[1] * v[0] + R[4] * v[1] + R[7] * v[2],
                          R[2] * v[0] + R[5] * v[1] + R[8] * v[2]};
    kz::Pos point;
    ASSERT_EQ(kz::ErrnoSucc, U::userCoordPoint2BasePoint(kz::Pos{v[0], v[1], v[2]}, f, point));
    expectPos(kz::Pos{origin[0] + rotated.x, origin[1] + rotated.y, origin[2] + rotated.z}, point);
    double out[3];
    ASSERT_EQ(kz::ErrnoSucc, U::offsetVectorUserCoord2Base(v, f, out));
    expectPos(rotated, kz::Pos{out[0], out[1], out[2]});

    ASSERT_EQ(kz::ErrnoSucc, U::userCoordPoint2BasePoint(kz::Pos{v[0], v[1], v[2]},
                                                         frame(6, kz::BaseCoordinate), point));
    expectPos(kz::Pos{v[0], v[1], v[2]}, point, 0.0);
    ASSERT_EQ(kz::ErrnoSucc, U::offsetVectorUserCoord2Base(v, frame(6, kz::BaseCoordinate), out));
    expectPos(kz::Pos{v[0], v[1], v[2]}, kz::Pos{out[0], out[1], out[2]}, 0.0);
    EXPECT_TRUE(logLines().empty());
}

TEST_F(UserFrame, PointAndVectorConversionFailures) {
    kz::Pos point;
    double out[3];
    const double v[3] = {1, 2, 3};
    EXPECT_EQ(kz::ErrCode_ParamError,
              U::offsetVectorUserCoord2Base(v, frame(0, kz::EndCoordinate), out));
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(kz::ErrCode_ParamError,
              U::userCoordPoint2BasePoint(kz::Pos{1, 2, 3}, frame(0, kz::EndCoordinate), point));
    ASSERT_EQ(1u, logLines().size());
    EXPECT_EQ("sdk log: Interface service error: param error.", logLines()[0]);
    EXPECT_EQ(kz::ErrCode_UserToBaseConvertFailed,
              U::userCoordPoint2BasePoint(kz::Pos{1, 2, 3}, frame(9), point));
    EXPECT_EQ("sdk log: userCoordPoint2BasePoint call userToBaseCoordinate failed.",
              logLines().back());
    // The first of the two conversions fails: only its own line is added.
    EXPECT_EQ(kz::ErrCode_UserToBaseConvertFailed, U::offsetVectorUserCoord2Base(v, frame(9), out));
    ASSERT_EQ(3u, logLines().size());
    EXPECT_EQ("sdk log: userCoordPoint2BasePoint call userToBaseCoordinate failed.", logLines()[2]);
}

// ---- Flange and tool, orientation, RPY ----

TEST_F(UtilService, FlangeOffsetsAndToolOrientations) {
    const double zero[6] = {};
    kz::wayPoint_S flange;
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(zero, 6, flange));
    kz::Pos base;
    // The zero posture's flange z axis points along base -y.
    ASSERT_EQ(kz::ErrnoSucc, U::endPosition2BasePosition(flange, kz::Pos{0, 0, 0.1}, base));
    expectPos(kz::Pos{0, -0.3155, 0.985}, base, 1e-12);

    kz::Ori tcp = quat(kPi / 2, 1, 0, 0);
    const kz::Ori end = quat(kPi / 2, 0, 0, 1);
    kz::Ori tool, back;
    ASSERT_EQ(kz::ErrnoSucc, U::endOrientation2ToolOrientation(tcp, end, tool));
    expectRotation(mul(end, tcp), tool, 1e-12);
    ASSERT_EQ(kz::ErrnoSucc, U::toolOrientation2EndOrientation(tcp, tool, back));
    expectRotation(end, back, 1e-12);
    kz::Ori init{9, 9, 9, 9};
    U::initOrientation(init);
    expectRotation(kz::Ori{1, 0, 0, 0}, init, 0.0);
}

TEST_F(UtilService, RpyAndQuaternion) {
    kz::Rpy rpy{9, 9, 9};
    ASSERT_EQ(kz::ErrnoSucc, U::quaternionToRPY(kz::Ori{1, 0, 0, 0}, rpy));
    EXPECT_EQ(0.0, rpy.rx);
    EXPECT_EQ(0.0, rpy.ry);
    EXPECT_EQ(0.0, rpy.rz);
    ASSERT_EQ(kz::ErrnoSucc, U::quaternionToRPY(kz::Ori{kHalfSqrt2, 0, 0, kHalfSqrt2}, rpy));
    EXPECT_NEAR(kPi / 2, rpy.rz, 1e-6);
    kz::Ori q;
    ASSERT_EQ(kz::ErrnoSucc, U::RPYToQuaternion(kz::Rpy{0, 0, kPi / 2}, q));
    expectRotation(kz::Ori{kHalfSqrt2, 0, 0, kHalfSqrt2}, q, 1e-7);
    // Roll about x, then pitch about y, then yaw about z, radians both ways.
    const kz::Rpy in{0.4, -0.7, 2.5};
    ASSERT_EQ(kz::ErrnoSucc, U::RPYToQuaternion(in, q));
    expectRotation(mul(quat(in.rz, 0, 0, 1), mul(quat(in.ry, 0, 1, 0), quat(in.rx, 1, 0, 0))), q,
                   1e-6);
    ASSERT_EQ(kz::ErrnoSucc, U::quaternionToRPY(q, rpy));
    EXPECT_NEAR(in.rx, rpy.rx, 1e-5);
    EXPECT_NEAR(in.ry, rpy.ry, 1e-5);
    EXPECT_NEAR(in.rz, rpy.rz, 1e-5);
}

// ---- Offline-track lines ----

TEST_F(UtilService, JointStringReadsSixAnglesWithOneSeparatorEach) {
    const struct {
        const char *line;
        double joints[6];
    } cases[] = {
        {"1,2,3", {1, 2, 3, 0, 0, 0}},
        {"0.1,0.2,0.3,0.4,0.5,0.6", {0.1, 0.2, 0.3, 0.4, 0.5, 0.6}},
        {" 0.1 ; 0.2; 0.3 ;0.4; 0.5; 0.6 ", {0.1, 0.2, 0.3, 0.4, 0.5, 0.6}},
        {"1 2 3 4 5 6", {1, 3, 5, 0, 0, 0}},
        {"10 20 30", {10, 0, 0, 0, 0, 0}},
        {"-1e-1,+2,.5", {-0.1, 2, 0.5, 0, 0, 0}},
        {"1,2,3,4,5,6,7,8", {1, 2, 3, 4, 5, 6}},
        {"1,,2", {1, 0, 0, 0, 0, 0}},
        {"0.5,1e999,2", {0.5, 0, 0, 0, 0, 0}},
        {"abc", {0, 0, 0, 0, 0, 0}},
        {"", {0, 0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        kz::wayPoint_S wp;
        std::memset(&wp, 0x5a, sizeof(wp));
        EXPECT_TRUE(U::jointStringToWaypoint(c.line, wp)) << c.line;
        kz::wayPoint_S fk;
        ASSERT_EQ(kz::ErrnoSucc, U::robotFk(c.joints, 6, fk));
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(c.joints[i], wp.jointpos[i]) << '"' << c.line << "\" joint " << i;
        }
        EXPECT_EQ(0, std::memcmp(&fk, &wp, sizeof(wp))) << c.line;
    }
}

// ---- DH parameters ----

TEST_F(UtilService, DhParametersReachForwardKinematics) {
    U::setRobotDhParam(kezu_qv_b, RobotDhPara{0.595, 0.58, 0.15, 0.1885, 0.125, 0.1015});
    const double zero[6] = {};
    kz::wayPoint_S wp;
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(zero, 6, wp));
    EXPECT_EQ(kezu_qv_b, getRobotType());
    expectPos(kz::Pos{0, -(0.1885 + 0.1015), 0.15 + 0.595 + 0.58 + 0.125}, wp.cartPos.position,
              1e-12);
    U::setRobotDhParam(kezu_qx, RobotDhPara{0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094});
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(zero, 6, wp));
    EXPECT_EQ(kezu_qx, getRobotType());
    expectPos(kz::Pos{0, -0.2155, 0.985}, wp.cartPos.position, 1e-12);
}

}  // namespace
