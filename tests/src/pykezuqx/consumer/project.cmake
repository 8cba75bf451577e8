# A program outside the SDK's tree, built against the installed package only.
cmake_minimum_required(VERSION 3.20)
project(kezuqx_consumer LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(kezuqx 1.0 CONFIG REQUIRED)
add_executable(consumer main.cpp)
target_link_libraries(consumer PRIVATE kezuqx::kezuqx)
