#include <gtest/gtest.h>

#include <google/protobuf/descriptor.h>
#include <google/protobuf/descriptor.pb.h>

#include <string>

#include "robotcommon.pb.h"
#include "robotcommunication.pb.h"
#include "robotmovecondition.pb.h"

namespace {

namespace gp = google::protobuf;
namespace common = kezu::robot::common;
namespace communication = kezu::robot::communication;
namespace movecondition = kezu::robot::movecondition;

// The controller checks nothing but the bytes: any renamed, renumbered or reordered field
// changes the serialised descriptor, so its size pins the whole contract.
struct SchemaSize {
    const char *file;
    size_t bytes;
};

void PrintTo(const SchemaSize &s, std::ostream *os) { *os << s.file; }

class SchemaDescriptor : public ::testing::TestWithParam<SchemaSize> {};

TEST_P(SchemaDescriptor, SerialisedDescriptorHasContractSize) {
    // Touch a generated type so the file is registered before the lookup.
    common::RobotMove touch;
    const gp::FileDescriptor *file =
        gp::DescriptorPool::generated_pool()->FindFileByName(GetParam().file);
    ASSERT_NE(file, nullptr);
    gp::FileDescriptorProto proto;
    file->CopyTo(&proto);
    EXPECT_EQ(proto.ByteSizeLong(), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(ThreeFiles, SchemaDescriptor,
                         ::testing::Values(SchemaSize{"robotmovecondition.proto", 627},
                                           SchemaSize{"robotcommunication.proto", 5755},
                                           SchemaSize{"robotcommon.proto", 4694}),
                         [](const ::testing::TestParamInfo<SchemaSize> &info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

TEST(SchemaDescriptor, CommonImportsTheOtherTwoInOrder) {
    const gp::FileDescriptor *file = common::RobotMove::descriptor()->file();
    ASSERT_EQ(file->dependency_count(), 2);
    EXPECT_EQ(file->dependency(0)->name(), "robotmovecondition.proto");
    EXPECT_EQ(file->dependency(1)->name(), "robotcommunication.proto");
    EXPECT_EQ(file->package(), "kezu.robot.common");
}

struct EnumRange {
    const gp::EnumDescriptor *descriptor;
    bool (*isValid)(int);
    int last;
};

void PrintTo(const EnumRange &r, std::ostream *os) { *os << r.descriptor->name(); }

class SchemaEnum : public ::testing::TestWithParam<EnumRange> {};

TEST_P(SchemaEnum, ValidExactlyFromZeroToLast) {
    const EnumRange &range = GetParam();
    EXPECT_FALSE(range.isValid(-1));
    for (int v = 0; v <= range.last; ++v) {
        EXPECT_TRUE(range.isValid(v)) << range.descriptor->name() << " " << v;
    }
    EXPECT_FALSE(range.isValid(range.last + 1));
    EXPECT_EQ(range.descriptor->value_count(), range.last + 1);
}

INSTANTIATE_TEST_SUITE_P(
    AllEnums, SchemaEnum,
    ::testing::Values(
        EnumRange{movecondition::robot_state_descriptor(), movecondition::robot_state_IsValid, 3},
        EnumRange{movecondition::move_mode_descriptor(), movecondition::move_mode_IsValid, 3},
        EnumRange{movecondition::move_track_descriptor(), movecondition::move_track_IsValid, 7},
        EnumRange{movecondition::coordinate_refer_descriptor(),
                  movecondition::coordinate_refer_IsValid, 2},
        EnumRange{movecondition::teach_mode_descriptor(), movecondition::teach_mode_IsValid, 12},
        EnumRange{communication::ModbusMode_descriptor(), communication::ModbusMode_IsValid, 1},
        EnumRange{communication::TagIoType_descriptor(), communication::TagIoType_IsValid, 18}),
    [](const ::testing::TestParamInfo<EnumRange> &info) { return info.param.descriptor->name(); });

// A profile whose required fields are all present, so that only the field under test decides.
common::RobotMoveProfile completeProfile() {
    common::RobotMoveProfile p;
    p.set_movemode(movecondition::MODEL);
    p.set_submovemode(movecondition::NO_TRACK);
    p.set_teachmode(movecondition::NO_TEACH);
    p.set_enableiterik(false);
    p.set_tooltrack(false);
    auto *pos = p.mutable_toolinendposition();
    pos->set_x(0);
    pos->set_y(0);
    pos->set_z(0);
    auto *ori = p.mutable_toolinendorientation();
    ori->set_w(1);
    ori->set_x(0);
    ori->set_y(0);
    ori->set_z(0);
    p.mutable_relativemove()->set_ena(false);
    p.mutable_relativemove()->mutable_relativeorientation();
    p.mutable_maxvelc();
    p.mutable_maxacc();
    p.set_blendradius(0);
    p.set_circularlooptimes(0);
    p.mutable_arrivalahead()->set_arrivalaheadstat(0);
    p.mutable_arrivalahead()->set_arrivalaheadthr(0);
    return p;
}

TEST(SchemaParse, ProfileWithKnownMoveModeParses) {
    std::string bytes = completeProfile().SerializeAsString();
    common::RobotMoveProfile back;
    EXPECT_TRUE(back.ParseFromString(bytes));
    EXPECT_EQ(back.movemode(), movecondition::MODEL);
}

TEST(SchemaParse, ProfileWithMoveModeOutsideEnumFails) {
    std::string bytes = completeProfile().SerializeAsString();
    // moveMode is field 1, varint: tag 0x08 then the value; MODEL (2) is the first field.
    ASSERT_EQ(bytes.substr(0, 2), std::string("\x08\x02", 2));
    bytes[1] = 4;
    common::RobotMoveProfile back;
    EXPECT_FALSE(back.ParseFromString(bytes));
}

TEST(SchemaParse, MissingRequiredErrorInfoFailsEmptyRepeatedErrorInfoParses) {
    common::ProtoResponseRobotTcpParam withoutInfo;  // errorInfo is required here
    std::string bytes = withoutInfo.SerializePartialAsString();
    common::ProtoResponseRobotTcpParam back;
    EXPECT_FALSE(back.ParseFromString(bytes));

    common::ProtoJointAngleResponse angles;  // errorInfo is repeated here
    auto *a = angles.mutable_jointangle();
    a->set_joint1(1);
    a->set_joint2(2);
    a->set_joint3(3);
    a->set_joint4(4);
    a->set_joint5(5);
    a->set_joint6(6);
    common::ProtoJointAngleResponse anglesBack;
    EXPECT_TRUE(anglesBack.ParseFromString(angles.SerializeAsString()));
    EXPECT_EQ(anglesBack.errorinfo_size(), 0);
}

TEST(SchemaParse, RequiredFieldMissingInNestedMessageFails) {
    common::ProtoResponseRobotTcpParam reply;
    reply.mutable_errorinfo()->set_errorcode(0);
    reply.mutable_errorinfo()->set_errormsg("");
    auto *tcp = reply.add_tcpparam();
    tcp->mutable_paramautorun()->set_positionx(1);  // the rest of paramAutorun is missing
    std::string bytes = reply.SerializePartialAsString();
    common::ProtoResponseRobotTcpParam back;
    EXPECT_FALSE(back.ParseFromString(bytes));
}

}  // namespace
