#include <algorithm>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errorinfoservice.h"

namespace {

using namespace kezu_robot_namespace;

std::string text(int code) {
    return ErrorInfoService::getErrDescByCode(static_cast<RobotErrorCode>(code));
}

TEST(ErrorInfoService, GivesEveryResultCodeItsTextAndNothingForOthers) {
    const std::vector<std::pair<int, std::string>> rows = {
        {0, "Success."},
        {10000, "Error number base value."},
        {10011, "forward kin failed."},
        {10012, "inverse kin failed."},
        {10021, "The movement was interrupted by the event."},
        {10024, "Real robotic arm does not exist."},
        {26, ""},
        {1001, ""},
        {10025, ""},
        {-1, ""},
    };
    for (const auto &row : rows) EXPECT_EQ(row.second, text(row.first)) << row.first;
    std::vector<std::string> seen;
    for (int code = ErrCode_Base + 1; code < ErrCode_Base + ErrCode_Count - 1; ++code) {
        EXPECT_FALSE(text(code).empty()) << code;
        seen.push_back(text(code));
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen.end(), std::unique(seen.begin(), seen.end()));
}

TEST(ErrorInfoService, ConcurrentLookupsAndRebuildsAgree) {
    std::vector<std::future<bool>> lookups;
    for (int t = 0; t < 6; ++t) {
        lookups.push_back(std::async(std::launch::async, [t] {
            bool same = true;
            for (int i = 0; i < 200; ++i) {
                if (t == 0) ErrorInfoService::initErrInfoDescMaping();
                same = same && text(ErrCode_RequestTimeout) == "Request timeout.";
            }
            return same;
        }));
    }
    for (auto &lookup : lookups) EXPECT_TRUE(lookup.get());
}

}  // namespace
