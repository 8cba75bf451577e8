#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errorinfoservice.h"

namespace {

using namespace kezu_robot_namespace;

TEST(ErrorInfoService, GivesEachCodeItsTextAndNothingForOthers) {
    const std::vector<std::pair<int, std::string>> rows = {
        {0, "Success."},
        {10000, "Error number base value."},
        {10001, "Failed."},
        {10002, "Parameter error."},
        {10003, "Socket connect failed."},
        {10004, "Socket disconnect."},
        {10005, "Create request failed."},
        {10006, "Internal variable error."},
        {10007, "Request timeout."},
        {10008, "Send request error."},
        {10009, "Response is NULL."},
        {10010, "Resolve response failed."},
        {10011, "forward kin failed."},
        {10012, "inverse kin failed."},
        {10013, "Tool calibration error."},
        {10014, "Tool calibration parameter error."},
        {10015, "Coordinate system calibration error."},
        {10016, "Base coordinate to user coordinate error."},
        {10017, "User coordinate to base coordinate error."},
        {10018, "Motion-related variable error."},
        {10019, "Motion-related request error."},
        {10020, "Motion-related create request error."},
        {10021, "The movement was interrupted by the event."},
        {10022, "Waypoint vector length issue."},
        {10023, "There is an error message in the response."},
        {10024, "Real robotic arm does not exist."},
        {26, ""},
        {1001, ""},
        {10025, ""},
        {-1, ""},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(row.second,
                  ErrorInfoService::getErrDescByCode(static_cast<RobotErrorCode>(row.first)))
            << row.first;
    }
}

TEST(ErrorInfoService, ConcurrentLookupsAndRebuildsAgree) {
    std::vector<std::future<bool>> lookups;
    for (int t = 0; t < 6; ++t) {
        lookups.push_back(std::async(std::launch::async, [t] {
            bool same = true;
            for (int i = 0; i < 200; ++i) {
                if (t == 0) {
                    ErrorInfoService::initErrInfoDescMaping();
                }
                same = same && ErrorInfoService::getErrDescByCode(ErrCode_RequestTimeout) ==
                                   "Request timeout.";
            }
            return same;
        }));
    }
    for (auto &lookup : lookups) {
        EXPECT_TRUE(lookup.get());
    }
}

}  // namespace
