# Source discovery shared by the library, tests and benchmarks.

# Every folder of the layout is an include root, so headers are included by file name.
set(KEZU_INCLUDE_DIRS
  ${CMAKE_SOURCE_DIR}/sdkcommon/MetaType
  ${CMAKE_SOURCE_DIR}/RobotSDK/sdkMateType
  ${CMAKE_SOURCE_DIR}/RobotSDK/util
  ${CMAKE_SOURCE_DIR}/RobotSDK/util/trace
  ${CMAKE_SOURCE_DIR}/RobotSDK/robotClient
  ${CMAKE_SOURCE_DIR}/RobotSDK/service
  ${CMAKE_SOURCE_DIR}/RobotSDK/interface
  ${CMAKE_SOURCE_DIR}/yrl_alg
  ${CMAKE_SOURCE_DIR}/src/pykezuqx)

function(kezu_glob_sources out)
  set(found)
  foreach(dir ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
      ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.cc)
    list(APPEND found ${srcs})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Generates C++ classes from every schema in `dir` at build time.
function(kezu_proto_library name dir)
  file(GLOB protos CONFIGURE_DEPENDS ${dir}/*.proto)
  set(gen_dir ${CMAKE_BINARY_DIR}/generated)
  file(MAKE_DIRECTORY ${gen_dir})
  set(srcs)
  foreach(proto ${protos})
    get_filename_component(base ${proto} NAME_WE)
    set(cc ${gen_dir}/${base}.pb.cc)
    set(h ${gen_dir}/${base}.pb.h)
    add_custom_command(OUTPUT ${cc} ${h}
      COMMAND protobuf::protoc --cpp_out=${gen_dir} -I ${dir} ${proto}
      DEPENDS ${proto} protobuf::protoc
      COMMENT "protoc ${base}.proto" VERBATIM)
    list(APPEND srcs ${cc})
  endforeach()
  add_library(${name} STATIC ${srcs} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  target_include_directories(${name} SYSTEM PUBLIC ${gen_dir})
  target_link_libraries(${name} PUBLIC protobuf::libprotobuf)
endfunction()
