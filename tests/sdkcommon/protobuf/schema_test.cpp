#include <gtest/gtest.h>

#include <google/protobuf/descriptor.h>
#include <google/protobuf/descriptor.pb.h>

#include <cstdint>
#include <string>

#include "robotcommon.pb.h"

namespace {

namespace gp = google::protobuf;

const gp::FileDescriptor *schemaFile(const char *name) {
    kezu::robot::common::RobotMove::descriptor();  // registers all three files
    return gp::DescriptorPool::generated_pool()->FindFileByName(name);
}

struct SchemaFile {
    const char *name;
    size_t descriptorBytes;
    std::uint64_t fingerprint;  // taken from the controller's field tables, not from these files
};
const SchemaFile kFiles[] = {{"robotmovecondition.proto", 627, 0x23432cb9136676faull},
                             {"robotcommunication.proto", 5755, 0x3ba4c6e83012b886ull},
                             {"robotcommon.proto", 4694, 0x9a02632ff8dc3c11ull}};

// One line per message, field, enum and value: number, label, type and name.
std::string wireContract(const gp::FileDescriptor &file) {
    std::string text;
    for (int m = 0; m < file.message_type_count(); ++m) {
        const gp::Descriptor &message = *file.message_type(m);
        text += "message " + message.name() + "\n";
        for (int f = 0; f < message.field_count(); ++f) {
            const gp::FieldDescriptor &field = *message.field(f);
            const char *label = field.is_repeated()   ? "repeated"
                                : field.is_required() ? "required"
                                                      : "optional";
            const std::string type = field.message_type() ? field.message_type()->full_name()
                                     : field.enum_type()  ? field.enum_type()->full_name()
                                                          : std::string(field.type_name());
            text += std::to_string(field.number()) + " " + label + " " + type + " " + field.name() +
                    "\n";
        }
    }
    for (int e = 0; e < file.enum_type_count(); ++e) {
        const gp::EnumDescriptor &enumType = *file.enum_type(e);
        text += "enum " + enumType.name() + "\n";
        for (int v = 0; v < enumType.value_count(); ++v) {
            text += std::to_string(enumType.value(v)->number()) + " " + enumType.value(v)->name() +
                    "\n";
        }
    }
    return text;
}

std::uint64_t fnv1a(const std::string &text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 0x100000001b3ull;
    }
    return hash;
}

// A field or value added, dropped or renamed, a default, an option or a packed list (which the
// controller's parser does not know) changes the serialised descriptor's size; swapping two field
// numbers, int32 for uint32 or required for optional changes the contract text.
TEST(SchemaDescriptor, FilesMatchTheControllerContract) {
    for (const SchemaFile &f : kFiles) {
        const gp::FileDescriptor *file = schemaFile(f.name);
        ASSERT_NE(file, nullptr) << f.name;
        gp::FileDescriptorProto proto;
        file->CopyTo(&proto);
        EXPECT_EQ(proto.ByteSizeLong(), f.descriptorBytes) << f.name;
        const std::string text = wireContract(*file);
        EXPECT_EQ(fnv1a(text), f.fingerprint) << f.name << ":\n" << text;
    }
}

}  // namespace
