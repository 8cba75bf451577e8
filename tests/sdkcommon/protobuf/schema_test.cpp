#include <gtest/gtest.h>

#include <google/protobuf/descriptor.h>
#include <google/protobuf/descriptor.pb.h>

#include <utility>

#include "robotcommon.pb.h"

namespace {

namespace gp = google::protobuf;

// The controller checks nothing but the bytes: a field or value added, dropped, retyped or
// renamed changes the serialised descriptor, so its size pins the contract.
TEST(SchemaDescriptor, SerialisedDescriptorsHaveTheContractSizes) {
    kezu::robot::common::RobotMove touch;  // registers all three files
    const std::pair<const char *, size_t> files[] = {{"robotmovecondition.proto", 627},
                                                     {"robotcommunication.proto", 5755},
                                                     {"robotcommon.proto", 4694}};
    for (const auto &[name, bytes] : files) {
        const gp::FileDescriptor *file = gp::DescriptorPool::generated_pool()->FindFileByName(name);
        ASSERT_NE(file, nullptr) << name;
        gp::FileDescriptorProto proto;
        file->CopyTo(&proto);
        EXPECT_EQ(proto.ByteSizeLong(), bytes) << name;
    }
}

}  // namespace
