#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../../yrl_alg/kinematicstestutil.h"
#include "robotutilservice.h"
#include "tracecapture.h"

namespace {

namespace kz = kezu_robot_namespace;
using kintest::posGap;
using kintest::rotate;
using kintest::rotGap;
using U = RobotUtilService;
using Strings = std::vector<std::string>;
using Waypoints = std::vector<kz::wayPoint_S>;

kz::Ori quat(double angle, double ax, double ay, double az) {
    const double s = std::sin(angle / 2) / std::sqrt(ax * ax + ay * ay + az * az);
    return kz::Ori{std::cos(angle / 2), s * ax, s * ay, s * az};
}

class UtilService : public ::testing::Test {
protected:
    // The service's own lines (the kinematics add warnings of theirs), all at error level.
    Strings logLines() const {
        Strings lines;
        for (const TraceCapture::Event &e : trace_.events()) {
            if (e.message.rfind("sdk log: ", 0) == 0) {
                EXPECT_EQ(log4cplus::ERROR_LOG_LEVEL, e.level) << e.message;
                lines.push_back(e.message);
            }
        }
        return lines;
    }
    // A stretched wrist: the inverse takes joints 4 and 6 from the reference.
    const double joints_[6] = {0.3, -0.5, 1.1, -0.4, 0.0, 0.2};

private:
    TraceCapture trace_;
};

TEST_F(UtilService, ForwardAndInverseKinematics) {
    const double zero[6] = {};
    kz::wayPoint_S wp, init, ik;
    // Lengths other than the model's go in as single-precision corrections.
    U::setRobotDhParam(kezu_qv_b, RobotDhPara{0.6, 0.57, 0.16, 0.19, 0.12, 0.1});
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(zero, 6, wp));
    EXPECT_LT(posGap({0, -(0.19 + 0.1), 0.16 + 0.6 + 0.57 + 0.12}, wp.cartPos.position), 1e-7);
    setDhParaLen(kezu_qx);
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(zero, 6, wp));
    EXPECT_LT(posGap({0, -0.2155, 0.985}, wp.cartPos.position) +
                  rotGap({std::sqrt(0.5), std::sqrt(0.5), 0, 0}, wp.orientation),
              1e-12);
    std::memset(&init, 0x5a, sizeof(init));
    U::initWayPoint(init);  // the zero joint vector's pose
    for (int size : {0, 5, 7}) {
        EXPECT_EQ(kz::ErrCode_ParamError, U::robotFk(joints_, size, init)) << size;
        EXPECT_EQ(0, std::memcmp(&wp, &init, sizeof(wp))) << size;
    }
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(joints_, 6, wp));
    ASSERT_EQ(kz::ErrnoSucc, U::robotIk(joints_, wp.cartPos.position, wp.orientation, ik));
    EXPECT_LT(kintest::maxDiff(joints_, ik.jointpos, 6), 1e-9);
    init = ik;
    EXPECT_EQ(kz::ErrCode_IkFailed, U::robotIk(joints_, {3, 3, 3}, {1, 0, 0, 0}, ik));
    EXPECT_EQ(0, std::memcmp(&init, &ik, sizeof(ik)));
    EXPECT_EQ(Strings{"sdk log: call robotIk error."}, logLines());
}

// A stretched arm (J3 = 0) aims at a target moved outward along it, past full reach: where the
// same joints put the flange of an arm whose forearm is that much longer. The elbow snapped
// straight meets a target less than 0.1 mm out within 0.1 mm, and misses one a few mm out by
// as much: no solution.
TEST_F(UtilService, InverseJustBeyondFullReachSnapsTheElbowStraightOrFails) {
    const double qx[6] = {0.4, -0.6, 0.0, 0.9, -1.1, 0.3},
                 qvb[6] = {-0.7, 0.5, 0.0, 0.6, 0.8, -1.2};
    const struct {
        kezu_robot_type model;
        const double *joints;
        float beyond;  // metres
        int code;
    } rows[] = {{kezu_qx, qx, 0.00005f, kz::ErrnoSucc},
                {kezu_qx, qx, 0.003f, kz::ErrCode_IkFailed},
                {kezu_qv_b, qvb, 0.00005f, kz::ErrnoSucc},
                {kezu_qv_b, qvb, 0.003f, kz::ErrCode_IkFailed}};
    for (const auto &row : rows) {
        float longer[6] = {0, 0, 0, row.beyond, 0, 0}, none[6] = {};
        kz::wayPoint_S target, stretched, ik, reached;
        setDhParaLen(row.model);
        EXPECT_EQ(kz::ErrnoSucc, U::robotFk(row.joints, 6, stretched));
        modifyDhParaLen(longer, none);
        EXPECT_EQ(kz::ErrnoSucc, U::robotFk(row.joints, 6, target));
        setDhParaLen(row.model);
        EXPECT_NEAR(row.beyond, posGap(stretched.cartPos.position, target.cartPos.position), 1e-9);
        std::memset(&ik, 0x5a, sizeof(ik));
        const kz::wayPoint_S untouched = ik;
        const int code = U::robotIk(row.joints, target.cartPos.position, target.orientation, ik);
        EXPECT_EQ(row.code, code) << row.model << ' ' << row.beyond;
        if (code != kz::ErrnoSucc) {
            EXPECT_EQ(0, std::memcmp(&untouched, &ik, sizeof(ik)));
            continue;
        }
        EXPECT_LT(std::fabs(std::sin(ik.jointpos[2])), 1e-12) << row.model;  // 0 or pi
        EXPECT_EQ(kz::ErrnoSucc, U::robotFk(ik.jointpos, 6, reached));
        EXPECT_LT(posGap(target.cartPos.position, reached.cartPos.position), 1e-4) << row.model;
    }
    setDhParaLen(kezu_qx);
}

class ToolCalibration : public UtilService {
protected:
    const kz::Pos tcp_{0.01, -0.02, 0.12};
    kz::wayPoint_S at(const kz::Ori &q, const kz::Pos &tip) const {
        return {{kintest::flangeFor(q, tcp_, tip)}, q, {}};
    }
    Waypoints aroundTip(int n) const {
        Waypoints wps;
        for (int k = 0; k < n; ++k) {
            wps.push_back(at(quat(0.3 + 0.25 * k, 1, 0.5 * k - 1, 0.2 + k), {0.4, 0.1, 0.3}));
        }
        return wps;
    }
    // One flange orientation; the tip on the tool frame's origin, +X axis and XY plane (mode 0),
    // or on the X axis again when the plane point has no share of Y.
    Waypoints xOxy(double d, const kz::Ori &toolOri = {1, 0, 0, 0}, double yShare = 1) const {
        const kz::Ori f = quat(0.4, 0.2, 1, 0.3);
        const kz::Pos x = rotate(f, rotate(toolOri, kz::Pos{d, 0, 0})),
                      y = rotate(f, rotate(toolOri, kz::Pos{0.3 * d, yShare * d, 0}));
        return {at(f, {0.3, -0.2, 0.4}), at(f, {0.3 + x.x, x.y - 0.2, x.z + 0.4}),
                at(f, {0.3 + y.x, y.y - 0.2, y.z + 0.4})};
    }
    int calibrate(const Waypoints &pos, const Waypoints &ori, int method, kz::ToolInEndDesc &t) {
        return U::toolCalibration(pos, ori,
                                  static_cast<kz::ToolKinematicsOriCalibrateMathod>(method), t);
    }
};

TEST_F(ToolCalibration, PointCountsAndMethodsMustMatch) {
    const Waypoints four = aroundTip(4), ori3 = xOxy(0.05), ori2(four.begin(), four.begin() + 2);
    const struct {
        Waypoints pos, ori;
        int method;
        bool accepted;
    } cases[] = {
        {aroundTip(3), {}, -1, false}, {four, ori2, 0, false}, {four, ori3, 3, false},
        {four, {ori3[0]}, 3, false},   {four, four, 0, false}, {four, ori2, -1, false},
        {four, ori3, 2, true},         {four, ori2, 5, true},  {four, {}, 4, true},
    };
    for (const auto &c : cases) {
        kz::ToolInEndDesc tool{};
        EXPECT_EQ(c.accepted ? kz::ErrnoSucc : kz::ErrCode_ToolCalibrateParamError,
                  calibrate(c.pos, c.ori, c.method, tool))
            << c.method << ' ' << c.ori.size();
    }
    ASSERT_EQ(6u, logLines().size());
    EXPECT_EQ(
        "sdk log: toolCalibration\xE3\x80\x80"  // an ideographic space, U+3000
        "error, param error.",
        logLines()[0]);
}

TEST_F(ToolCalibration, RecoversTheTipAndTheToolAxesOrFailsUntouched) {
    kz::ToolInEndDesc positional{{}, {0, 0, 1, 0}}, oriented{};
    ASSERT_EQ(kz::ErrnoSucc, U::toolCalibration(aroundTip(6), 2, positional));
    EXPECT_LT(posGap(tcp_, positional.toolInEndPosition), 1e-9);
    EXPECT_EQ(0.0, rotGap({1, 0, 0, 0}, positional.toolInEndOrientation));  // no rotation
    const kz::Ori toolOri = quat(0.7, 0.3, -0.4, 1);
    ASSERT_EQ(kz::ErrnoSucc, calibrate(aroundTip(5), xOxy(0.05, toolOri), 0, oriented));
    EXPECT_LT(
        posGap(tcp_, oriented.toolInEndPosition) + rotGap(toolOri, oriented.toolInEndOrientation),
        1e-9);
    // Degenerate poses fail, never give a non-finite tool: tips 5 mm apart or on one line, one
    // orientation taught twice, a NaN or zero quaternion, a NaN position.
    Waypoints nanOri = xOxy(0.05), nanPos = aroundTip(4), zeroOri = aroundTip(4);
    nanOri[1].orientation.x = std::nan("");
    nanPos[2].cartPos.position.y = std::nan("");
    zeroOri[1].orientation = {0, 0, 0, 0};
    const Waypoints twice(2, aroundTip(1)[0]);
    const struct {
        Waypoints pos, ori;
        int method;
    } degenerate[] = {{aroundTip(4), xOxy(0.005), 0},
                      {aroundTip(4), xOxy(0.05, toolOri, 0), 1},
                      {aroundTip(4), twice, 4},
                      {aroundTip(4), nanOri, 2},
                      {nanPos, {}, -1},
                      {zeroOri, {}, -1}};
    for (const auto &c : degenerate) {
        const kz::ToolInEndDesc sentinel{{7, 7, 7}, {7, 7, 7, 7}};
        kz::ToolInEndDesc tool = sentinel;
        EXPECT_EQ(kz::ErrCode_ToolCalibrateError, calibrate(c.pos, c.ori, c.method, tool))
            << c.method;
        EXPECT_EQ(0, std::memcmp(&sentinel, &tool, sizeof(tool))) << c.method;
    }
}

class UserFrame : public UtilService {
protected:
    // Joint 1 at 0, +90 and -90 degrees puts the tool-end points on a horizontal circle, two
    // opposite: every method gives an orthonormal frame. Selector and method come as any int.
    static kz::CoordCalibrateByJointAngleAndTool frame(int methods,
                                                       int type = kz::WorldCoordinate) {
        kz::CoordCalibrateByJointAngleAndTool f{};
        std::memcpy(&f.coordType, &type, sizeof(type));
        std::memcpy(&f.methods, &methods, sizeof(methods));
        for (int i = 0; i < 3; ++i) {
            const double q[6] = {
                0.2 + ((i + 1) % 3 - 1) * 1.5707963267948966, -0.4, 1.0, 0.3, 1.2, 0.5};
            std::memcpy(f.wayPointArray[i].jointPos, q, sizeof(q));
        }
        f.toolDesc = {{0.02, 0.0, 0.15}, quat(0.5, 0, 1, 0)};
        return f;
    }
    const kz::ToolInEndDesc work_{{-0.01, 0.03, 0.2}, quat(0.8, 1, 1, 0)};
    const kz::Pos flangePos_{0.35, -0.1, 0.42};
    const kz::Ori flangeOri_ = quat(1.1, 0.2, -0.5, 0.7);
    kz::Pos pos_{7, 7, 7}, userPos_;
    kz::Ori ori_{7, 7, 7, 7}, userOri_;
};

TEST_F(UserFrame, CalibrationFailuresLeaveTheOutputsAlone) {
    auto coincident = frame(3);
    coincident.wayPointArray[1] = coincident.wayPointArray[2] = coincident.wayPointArray[0];
    const struct {
        kz::CoordCalibrateByJointAngleAndTool frame;
        int code;
    } cases[] = {{frame(0, kz::BaseCoordinate), kz::ErrCode_ParamError},
                 {frame(9), kz::ErrCode_CoordinateSystemCalibrateError},
                 {frame(-1), kz::ErrCode_CoordinateSystemCalibrateError},
                 {frame(256), kz::ErrCode_CoordinateSystemCalibrateError},  // no wrap onto 0
                 {coincident, kz::ErrCode_CoordinateSystemCalibrateError},
                 {frame(3), kz::ErrnoSucc}};
    for (const auto &c : cases) {
        double out[15];
        std::fill(out, out + 15, 7.0);
        EXPECT_EQ(c.code, U::coordinateSystemCalibration(c.frame, out, out + 3, out + 12));
        EXPECT_EQ(c.code, U::checkCoordinateSystemCalibration(c.frame));
        EXPECT_EQ(c.code == kz::ErrnoSucc,
                  std::none_of(out, out + 15, [](double v) { return v == 7.0; }));
        EXPECT_TRUE(std::all_of(out, out + 15, [](double v) { return std::isfinite(v); }));
    }
    const Strings lines = logLines();
    ASSERT_EQ(10u, lines.size());
    EXPECT_EQ(
        "sdk log: Coordinate system calibration\xE3\x80\x80"  // U+3000
        "param error, coordType!=WorldCoordinate.",
        lines[0]);
    EXPECT_EQ("sdk log: call ikFun api_user_coord_calib failed.", lines.back());
}

TEST_F(UserFrame, BaseToUserAndBackReturnsTheFlangePose) {
    for (int m = 0; m <= 8; ++m) {
        for (kz::coordinate_refer type : {kz::WorldCoordinate, kz::BaseCoordinate}) {
            const auto f = frame(m, type);
            ASSERT_EQ(kz::ErrnoSucc,
                      U::base2UserCoordinate(flangePos_, flangeOri_, f, work_, userPos_, userOri_));
            ASSERT_EQ(kz::ErrnoSucc,
                      U::user2BaseCoordinate(userPos_, userOri_, f, work_, pos_, ori_));
            EXPECT_LT(posGap(flangePos_, pos_) + rotGap(flangeOri_, ori_), 1e-9) << m;
        }
    }
}

TEST_F(UserFrame, FlangeFrameGivesTheToolItself) {
    const auto end = frame(0, kz::EndCoordinate);
    ASSERT_EQ(kz::ErrnoSucc,
              U::base2UserCoordinate(flangePos_, flangeOri_, end, work_, userPos_, userOri_));
    EXPECT_EQ(0.0, posGap(work_.toolInEndPosition, userPos_) +
                       rotGap(work_.toolInEndOrientation, userOri_));
    EXPECT_EQ(kz::ErrCode_BaseToUserConvertFailed,
              U::base2UserCoordinate(flangePos_, flangeOri_, frame(9), work_, pos_, ori_));
    EXPECT_EQ(kz::ErrCode_UserToBaseConvertFailed,
              U::user2BaseCoordinate(userPos_, userOri_, end, work_, pos_, ori_));
    EXPECT_TRUE(pos_.x == 7.0 && ori_.w == 7.0);
}

// Zero or non-finite quaternions and non-finite positions, of pose, tool or user frame, are
// parameter errors (a user frame's zeroed tool is no tool); so is an angle beyond single
// precision. A result that overflows is the conversion's failure, and so is a user-to-base
// pose quaternion that cannot be normalised. Outputs stay alone; a finite quaternion of any
// length is taken.
TEST_F(UserFrame, ConversionsRefuseWhatCannotGiveAFinitePose) {
    const double nan = std::nan(""), inf = HUGE_VAL, huge = 1e308;
    const kz::Ori zero{0, 0, 0, 0}, nanOri{nan, 0, 0, 1}, unit{1, 0, 0, 0};
    const kz::Ori twice{2 * flangeOri_.w, 2 * flangeOri_.x, 2 * flangeOri_.y, 2 * flangeOri_.z};
    kz::ToolInEndDesc nanTool = work_, zeroTool = work_;
    nanTool.toolInEndPosition.y = nan;
    zeroTool.toolInEndOrientation = zero;
    auto nanFrame = frame(3), noToolFrame = frame(3);
    nanFrame.toolDesc.toolInEndOrientation = nanOri;
    noToolFrame.toolDesc = {};  // a zeroed tool only adds no offset
    const kz::wayPoint_S far{{{huge, 0, 0}}, unit, {}}, flange{{flangePos_}, flangeOri_, {}};
    kz::wayPoint_S wp, wpSentinel;
    std::memset(&wp, 0x5a, sizeof(wp));
    wpSentinel = wp;
    kz::Rpy rpy{7, 7, 7};
    kz::Pos viaTwice, viaUnit;
    const int rows[][2] = {
        {kz::ErrnoSucc,
         U::endPosition2BasePosition({{flangePos_}, twice, {}}, work_.toolInEndPosition, viaTwice)},
        {kz::ErrnoSucc, U::endPosition2BasePosition(flange, work_.toolInEndPosition, viaUnit)},
        {kz::ErrCode_ParamError,
         U::endPosition2BasePosition({{flangePos_}, zero, {}}, flangePos_, pos_)},
        {kz::ErrCode_ParamError, U::endPosition2BasePosition(flange, {0, nan, 0}, pos_)},
        {kz::ErrCode_ParamError, U::endPosition2BasePosition(far, {huge, 0, 0}, pos_)},
        {kz::ErrCode_ParamError, U::base2BaseAdditionalTool(flange, nanTool, wp)},
        {kz::ErrCode_BaseToUserConvertFailed,
         U::base2BaseAdditionalTool(far, {{huge, 0, 0}, unit}, wp)},
        {kz::ErrCode_ParamError,
         U::base2UserCoordinate(flangePos_, nanOri, frame(3), work_, pos_, ori_)},
        {kz::ErrCode_ParamError,
         U::base2UserCoordinate(flangePos_, flangeOri_, nanFrame, work_, pos_, ori_)},
        {kz::ErrnoSucc,
         U::base2UserCoordinate(flangePos_, flangeOri_, noToolFrame, work_, userPos_, userOri_)},
        {kz::ErrCode_ParamError,
         U::user2BaseCoordinate({0, -inf, 0}, flangeOri_, frame(3), work_, pos_, ori_)},
        {kz::ErrCode_ParamError,
         U::user2BaseCoordinate(flangePos_, flangeOri_, frame(3), zeroTool, pos_, ori_)},
        {kz::ErrCode_UserToBaseConvertFailed,
         U::user2BaseCoordinate(flangePos_, zero, frame(3), work_, pos_, ori_)},
        {kz::ErrCode_UserToBaseConvertFailed,
         U::user2BaseCoordinate(flangePos_, nanOri, frame(3), work_, pos_, ori_)},
        {kz::ErrnoSucc, U::quaternionToRPY(twice, rpy)},
        {kz::ErrCode_ParamError, U::quaternionToRPY(zero, rpy)},
        {kz::ErrCode_ParamError, U::quaternionToRPY(nanOri, rpy)},
        {kz::ErrCode_ParamError, U::RPYToQuaternion({1e300, 0, 0}, ori_)},
        {kz::ErrCode_ParamError, U::RPYToQuaternion({0, nan, 0}, ori_)},
    };
    for (std::size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
        EXPECT_EQ(rows[i][0], rows[i][1]) << "row " << i;
    }
    EXPECT_EQ(0.0, posGap(viaTwice, viaUnit));
    EXPECT_TRUE(std::isfinite(rpy.rx + rpy.ry + rpy.rz));
    EXPECT_EQ(0, std::memcmp(&wp, &wpSentinel, sizeof(wp)));
    EXPECT_TRUE(pos_.x == 7 && pos_.y == 7 && pos_.z == 7 && ori_.w == 7 && ori_.z == 7);
}

TEST_F(UtilService, RpyInRadiansRollAboutXFirst) {
    const kz::Rpy in{0.4, -0.7, 2.5};
    kz::Rpy rpy{9, 9, 9};
    kz::Ori q;
    ASSERT_EQ(kz::ErrnoSucc, U::RPYToQuaternion(in, q));
    for (const kz::Pos &v : {kz::Pos{1, 0, 0}, kz::Pos{0, 0, 1}}) {  // Rz(yaw) Ry(pitch) Rx(roll)
        const kz::Pos rolled = rotate(quat(in.rx, 1, 0, 0), v);
        EXPECT_LT(posGap(rotate(quat(in.rz, 0, 0, 1), rotate(quat(in.ry, 0, 1, 0), rolled)),
                         rotate(q, v)),
                  1e-6);
    }
    ASSERT_EQ(kz::ErrnoSucc, U::quaternionToRPY(q, rpy));
    EXPECT_LT(posGap(kz::Pos{in.rx, in.ry, in.rz}, kz::Pos{rpy.rx, rpy.ry, rpy.rz}), 1e-5);
}

// A character right after a number separates; after blanks, a character that begins a number
// (a digit, or a point before a digit, after an optional sign) means the blanks alone
// separated. Six clean numbers give true; on false the waypoint holds what was read.
TEST_F(UtilService, JointStringReadsSixAnglesSeparatedByOneCharacterOrBlanks) {
    const struct {
        const char *line;
        kintest::Joints joints;
        bool complete;
    } cases[] = {{"0.5 -1.2 0.3 1.0 -0.7 0.2", {0.5, -1.2, 0.3, 1.0, -0.7, 0.2}, true},
                 {"10 20 30 40 50 60", {10, 20, 30, 40, 50, 60}, true},
                 {"+.5\t.5  -.5 1e-3 -2E+1 3\r\n", {0.5, 0.5, -0.5, 1e-3, -20, 3}, true},
                 {"0.1,0.2,0.3,0.4,0.5,0.6\r", {0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, true},
                 {" 0.1 ; 0.2; 0.3 ;0.4; 0.5; 0.6 ", {0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, true},
                 {"1,-2;-3|4-5 , 6,7,8", {1, -2, -3, 4, 5, 6}, true},
                 {"1 - 2 x 3 . 4 + 5 , 6", {1, 2, 3, 4, 5, 6}, true},
                 {"1 ..2 -.3 4 5 6", {1, 0.2, -0.3, 4, 5, 6}, true},
                 {"1,2,3", {1, 2, 3}, false},
                 {"1 2 3 .x 4 5 6", {1, 2, 3}, false},
                 {"1 2 3 4 5", {1, 2, 3, 4, 5}, false},
                 {"1,2,3,4,5,", {1, 2, 3, 4, 5}, false},
                 {"1,,2,3,4,5", {1}, false},
                 {"0.5,1e999,2,3,4,5", {0.5}, false},
                 {"1 2 3 4 5 -1e999", {1, 2, 3, 4, 5}, false},
                 {"abc", {}, false},
                 {"", {}, false}};
    for (const auto &c : cases) {
        kz::wayPoint_S wp, fk;
        std::memset(&wp, 0x5a, sizeof(wp));
        EXPECT_EQ(c.complete, U::jointStringToWaypoint(c.line, wp)) << c.line;
        ASSERT_EQ(kz::ErrnoSucc, U::robotFk(c.joints.data(), 6, fk));
        EXPECT_EQ(0, std::memcmp(&fk, &wp, sizeof(wp))) << '"' << c.line << '"';
    }
}

// After the sixth angle a file line ignores text that is not a number, but a seventh number
// refuses it behind blanks, commas and semicolons or behind one separator of any other kind,
// as the angles before it are separated. Either way the waypoint holds the six angles.
TEST_F(UtilService, FileLineRefusesASeventhNumberBehindAnySeparator) {
    const std::string six = "0.1|0.2|0.3|0.1|0.2|0.3";
    const struct {
        const char *tail;
        bool taken;
    } rows[] = {{"", true},          {"|", true},    {"|-", true},        {"|abc", true},
                {"abc", true},       {" ...", true}, {" # pose 1", true}, {"||7", true},
                {"|9", false},       {"/9", false},  {" 9", false},       {"|-9", false},
                {"|.5", false},      {"#1", false},  {" # 1", false},     {",,7", false},
                {", ;\t/ +7", false}};
    const kintest::Joints joints = {0.1, 0.2, 0.3, 0.1, 0.2, 0.3};
    kz::wayPoint_S fk;
    ASSERT_EQ(kz::ErrnoSucc, U::robotFk(joints.data(), 6, fk));
    for (const auto &row : rows) {
        kz::wayPoint_S wp;
        EXPECT_EQ(row.taken, U::offlineTrackLineToWaypoint(six + row.tail, wp)) << row.tail;
        EXPECT_EQ(0, std::memcmp(&fk, &wp, sizeof(wp))) << row.tail;
    }
}

}  // namespace
