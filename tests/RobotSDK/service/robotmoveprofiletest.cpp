#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "robotmoveservice.h"

namespace {

namespace kz = kezu_robot_namespace;
using M = RobotMoveService;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kDeg25 = 0.4363323129985824;

double above(double v) { return std::nextafter(v, 1e9); }

class MoveProfile : public ::testing::Test {
protected:
    void SetUp() override { M::initClassProfile(); }
    void TearDown() override { M::initClassProfile(); }

    static RobotMoveProfile profile(kz::move_mode mode, kz::move_track track,
                                    kz::teach_mode teach = kz::NO_TEACH) {
        RobotMoveProfile p;
        std::memset(&p, 0x5a, sizeof(p));
        M::initCurrnetMoveProfile(mode, track, teach, p);
        return p;
    }
};

// One setter of a single bounded double with its getter.
struct DoubleSetting {
    const char *name;
    std::function<int(double)> set;
    std::function<double()> get;
    double upper;
};

std::vector<DoubleSetting> doubleSettings() {
    auto getter = [](void (*get)(double &)) {
        return [get] {
            double v = 0;
            get(v);
            return v;
        };
    };
    return {
        {"line acc", M::setMoveEndMaxLineAcc, getter(M::getMoveEndMaxLineAcc), 5.01},
        {"line velc", M::setMoveEndMaxLineVelc, getter(M::getMoveEndMaxLineVelc), 5.01},
        {"angle acc", M::setMoveEndMaxAngleAcc, getter(M::getMoveEndMaxAngleAcc),
         3.141767186514992},
        {"angle velc", M::setMoveEndMaxAngleVelc, getter(M::getMoveEndMaxAngleVelc),
         3.141767186514992},
    };
}

TEST_F(MoveProfile, EndLimitsAcceptTheirBoundsAndRejectZeroAboveAndNaN) {
    for (const DoubleSetting &s : doubleSettings()) {
        const double before = s.get();
        for (double bad : {0.0, -0.1, above(s.upper), kNaN}) {
            EXPECT_EQ(kz::ErrCode_ParamError, s.set(bad)) << s.name << " " << bad;
            EXPECT_EQ(before, s.get()) << s.name;
        }
        for (double good : {s.upper, 1e-9}) {
            EXPECT_EQ(0, s.set(good)) << s.name << " " << good;
            EXPECT_EQ(good, s.get()) << s.name;
        }
    }
}

TEST_F(MoveProfile, JointLimitsAreStoredWholeOrNotAtAll) {
    struct {
        int (*set)(const kz::JointVelcAccParam &);
        void (*get)(kz::JointVelcAccParam &);
        double upper;
    } const settings[] = {{M::setMoveJointMaxAcc, M::getMoveJointMaxAcc, 83.77597862865302},
                          {M::setMoveJointMaxVelc, M::getMoveJointMaxVelc, 8.726820792896847}};
    for (const auto &s : settings) {
        for (int joint = 0; joint < 6; ++joint) {
            for (double bad : {0.0, -1.0, above(s.upper), kNaN}) {
                kz::JointVelcAccParam value = {{1, 1, 1, 1, 1, 1}};
                value.jointPara[joint] = bad;
                EXPECT_EQ(kz::ErrCode_ParamError, s.set(value)) << joint << " " << bad;
                kz::JointVelcAccParam stored;
                s.get(stored);
                for (double v : stored.jointPara) {
                    EXPECT_EQ(kDeg25, v);
                }
            }
        }
        const kz::JointVelcAccParam value = {{s.upper, 0.1, 0.2, 0.3, 0.4, 0.5}};
        EXPECT_EQ(0, s.set(value));
        kz::JointVelcAccParam stored;
        s.get(stored);
        EXPECT_EQ(0, std::memcmp(&value, &stored, sizeof(value)));
    }
}

TEST_F(MoveProfile, BlendRadiusIsStrictOnBothSidesOfTheFloatBound) {
    const float nearest = 0.0501f;  // 0.05009999871253967, just below the double bound
    ASSERT_LT(static_cast<double>(nearest), 0.0501);
    struct {
        float value;
        int result;
    } const cases[] = {{0.0f, kz::ErrCode_ParamError},
                       {-0.01f, kz::ErrCode_ParamError},
                       {0.05f, 0},
                       {nearest, 0},
                       {std::nextafter(nearest, 1.0f), kz::ErrCode_ParamError},
                       {std::numeric_limits<float>::quiet_NaN(), kz::ErrCode_ParamError},
                       {0.03f, 0}};
    for (const auto &c : cases) {
        const float before = M::getBlendRadius();
        EXPECT_EQ(c.result, M::setBlendRadius(c.value)) << c.value;
        EXPECT_EQ(c.result == 0 ? c.value : before, M::getBlendRadius()) << c.value;
    }
}

TEST_F(MoveProfile, WaypointListHoldsAtMost5000AndCopiesOutReplacing) {
    kz::wayPoint_S wp;
    std::memset(&wp, 0, sizeof(wp));
    for (int i = 0; i < 5000; ++i) {
        wp.jointpos[0] = i;
        ASSERT_EQ(0, M::addWayPoint(wp)) << i;
    }
    EXPECT_EQ(kz::ErrCode_MotionWaypointVetorSizeError, M::addWayPoint(wp));
    std::vector<kz::wayPoint_S> out(7, wp);
    M::getWayPointVector(out);
    ASSERT_EQ(5000u, out.size());
    EXPECT_EQ(0.0, out.front().jointpos[0]);
    EXPECT_EQ(4999.0, out.back().jointpos[0]);
    M::clearWayPointVector();
    M::getWayPointVector(out);
    EXPECT_TRUE(out.empty());
}

TEST_F(MoveProfile, ResetRestoresDefaultsButKeepsTheToolAndLaterServicesChangeNothing) {
    M first(nullptr);
    const kz::ToolInEndDesc tool = {{0.1, 0.2, 0.3}, {0, 1, 0, 0}};
    M::setMoveProfileToolParam(tool);
    M::setMoveEndMaxLineVelc(1.0);
    M::setCircularLoopTimes(4);
    M::setArrivalAheadTimeMode(0.5);
    M::setMoveProfileRelativeParam(kz::MoveRelative{true, {1, 2, 3}});
    M::addWayPoint(kz::wayPoint_S());
    M another(nullptr);  // not the first construction: settings stay
    double velc = 0;
    M::getMoveEndMaxLineVelc(velc);
    EXPECT_EQ(1.0, velc);

    M::initMoveProfile();
    M::getMoveEndMaxLineVelc(velc);
    EXPECT_EQ(0.03, velc);
    EXPECT_EQ(0.02f, M::getBlendRadius());
    EXPECT_EQ(0.1, M::getTrackPlaybackCycle());
    EXPECT_EQ(0, M::getCircularLoopTimes());
    std::vector<kz::wayPoint_S> list;
    M::getWayPointVector(list);
    EXPECT_TRUE(list.empty());
    kz::ToolInEndDesc kept;
    M::getMoveProfileToolParam(kept);
    EXPECT_EQ(0, std::memcmp(&tool, &kept, sizeof(tool)));
    const RobotMoveProfile p = profile(kz::MODEJ, kz::NO_TRACK);
    EXPECT_TRUE(p.toolTrack);
    EXPECT_FALSE(p.relativeMove.ena);
    EXPECT_EQ(arrival_ahead_none, p.arrivalAhead.arrivalAheadStat);
    EXPECT_EQ(kz::NO_TRACK, p.subMoveMode);
}

TEST_F(MoveProfile, RelativeOffsetInAnEndFrameFailsButKeepsTheNewEnableFlag) {
    ASSERT_EQ(0, M::setMoveProfileRelativeParam(kz::MoveRelative{true, {0.1f, 0.2f, 0.3f}}));
    kz::CoordCalibrateByJointAngleAndTool endFrame;
    std::memset(&endFrame, 0, sizeof(endFrame));
    endFrame.coordType = kz::EndCoordinate;
    EXPECT_EQ(kz::ErrCode_ParamError,
              M::setMoveProfileRelativeParam(kz::MoveRelative{true, {9, 9, 9}}, endFrame));
    RobotMoveProfile p = profile(kz::MODEL, kz::NO_TRACK);
    EXPECT_TRUE(p.relativeMove.ena);
    EXPECT_EQ(0.1f, p.relativeMove.relativePosition[0]);
    EXPECT_EQ(0.3f, p.relativeMove.relativePosition[2]);

    EXPECT_EQ(0, M::setMoveProfileRelativeParam(kz::MoveRelative{false, {5, 5, 5}}, endFrame));
    p = profile(kz::MODEL, kz::NO_TRACK);
    EXPECT_FALSE(p.relativeMove.ena);
    EXPECT_EQ(0.0f, p.relativeMove.relativePosition[0]);
}

// Which limits each mode and sub-mode carries, and what the radius field holds.
TEST_F(MoveProfile, LimitsAndRadiusFollowTheModeAndSubMode) {
    const kz::JointVelcAccParam jointVelc = {{0.5, 0.6, 0.7, 0.8, 0.9, 1.0}};
    const kz::JointVelcAccParam jointAcc = {{1.5, 1.6, 1.7, 1.8, 1.9, 2.0}};
    ASSERT_EQ(0, M::setMoveJointMaxVelc(jointVelc));
    ASSERT_EQ(0, M::setMoveJointMaxAcc(jointAcc));
    M::setMoveEndMaxLineVelc(0.25);
    M::setMoveEndMaxAngleVelc(0.5);
    M::setMoveEndMaxLineAcc(0.75);
    M::setMoveEndMaxAngleAcc(1.25);
    M::setBlendRadius(0.04f);
    M::setTrackPlaybackCycle(0.008);
    enum Limits { Joint, Cart, Default };
    struct {
        kz::move_mode mode;
        kz::move_track track;
        Limits limits;
        float radius;
    } const cases[] = {
        {kz::MODEJ, kz::NO_TRACK, Joint, 0.04f},
        {kz::MODEL, kz::NO_TRACK, Cart, 0.04f},
        {kz::MODEP, kz::TRACKING, Default, 0.04f},
        {kz::MODEP, kz::ARC_CIR, Cart, 0.04f},
        {kz::MODEP, kz::CARTESIAN_MOVEP, Cart, 0.04f},
        {kz::MODEP, kz::CARTESIAN_UBSPLINEINTP, Cart, 0.04f},
        {kz::MODEP, kz::JIONT_CUBICSPLINE, Joint, 0.04f},
        {kz::MODEP, kz::JOINT_UBSPLINEINTP, Joint, 0.008f},
        {kz::NO_MOVEMODE, kz::JOINT_UBSPLINEINTP, Default, 0.04f},
    };
    for (const auto &c : cases) {
        const RobotMoveProfile p = profile(c.mode, c.track);
        SCOPED_TRACE(testing::Message() << c.mode << "/" << c.track);
        EXPECT_EQ(c.radius, p.blendRadius);
        for (int i = 0; i < 6; ++i) {
            double velc = kDeg25, acc = kDeg25;
            if (c.limits == Joint) {
                velc = jointVelc.jointPara[i];
                acc = jointAcc.jointPara[i];
            } else if (c.limits == Cart && i < 2) {
                velc = i == 0 ? 0.25 : 0.5;
                acc = i == 0 ? 0.75 : 1.25;
            }
            EXPECT_EQ(velc, p.maxVelc.jointPara[i]) << i;
            EXPECT_EQ(acc, p.maxAcc.jointPara[i]) << i;
        }
    }
}

TEST_F(MoveProfile, ArrivalAheadTurnsJointMovesIntoTracking) {
    for (auto set : {+[] { return M::setArrivalAheadDistanceMode(0.02); },
                     +[] { return M::setArrivalAheadTimeMode(0.3); }}) {
        ASSERT_EQ(0, set());
        EXPECT_EQ(kz::TRACKING, profile(kz::MODEJ, kz::NO_TRACK).subMoveMode);
        const RobotMoveProfile line = profile(kz::MODEL, kz::NO_TRACK);
        EXPECT_EQ(kz::NO_TRACK, line.subMoveMode);
        EXPECT_NE(arrival_ahead_none, line.arrivalAhead.arrivalAheadStat);
    }
    M::setNoArrivalAhead();
    const RobotMoveProfile p = profile(kz::MODEJ, kz::NO_TRACK);
    EXPECT_EQ(kz::NO_TRACK, p.subMoveMode);
    EXPECT_EQ(0.0, p.arrivalAhead.arrivalAheadThr);
}

}  // namespace
