#include "errorinfoservice.h"

#include <mutex>

namespace sdk = kezu_robot_namespace;

std::map<sdk::RobotErrorCode, std::string> ErrorInfoService::S_errInfoDescMaping;
bool ErrorInfoService::S_isInitInfoDescMaping = false;

namespace {
std::once_flag g_buildFlag;
}  // namespace

ErrorInfoService::ErrorInfoService() { buildOnce(); }

// The table never changes, so a second build could only race with lookups: the rows are
// entered once per process and an explicit rebuild finds them in place.
void ErrorInfoService::initErrInfoDescMaping() { buildOnce(); }

void ErrorInfoService::buildOnce() {
    std::call_once(g_buildFlag, [] {
        S_errInfoDescMaping.clear();
        const std::pair<sdk::RobotErrorCode, const char *> rows[] = {
            {sdk::ErrnoSucc, "Success."},
            {sdk::ErrCode_Base, "Error number base value."},
            {sdk::ErrCode_Failed, "Failed."},
            {sdk::ErrCode_ParamError, "Parameter error."},
            {sdk::ErrCode_FkFailed, "forward kin failed."},
            {sdk::ErrCode_IkFailed, "inverse kin failed."},
            {sdk::ErrCode_ConnectSocketFailed, "Socket connect failed."},
            {sdk::ErrCode_CreateRequestFailed, "Create request failed."},
            {sdk::ErrCode_SocketDisconnect, "Socket disconnect."},
            {sdk::ErrCode_RequestRelatedVariableError, "Internal variable error."},
            {sdk::ErrCode_RequestTimeout, "Request timeout."},
            {sdk::ErrCode_SendRequestFailed, "Send request error."},
            {sdk::ErrCode_ResponseInfoIsNULL, "Response is NULL."},
            {sdk::ErrCode_ResolveResponseFailed, "Resolve response failed."},
            {sdk::ErrCode_ToolCalibrateError, "Tool calibration error."},
            {sdk::ErrCode_ToolCalibrateParamError, "Tool calibration parameter error."},
            {sdk::ErrCode_CoordinateSystemCalibrateError, "Coordinate system calibration error."},
            {sdk::ErrCode_BaseToUserConvertFailed, "Base coordinate to user coordinate error."},
            {sdk::ErrCode_UserToBaseConvertFailed, "User coordinate to base coordinate error."},
            {sdk::ErrCode_MotionRelatedVariableError, "Motion-related variable error."},
            {sdk::ErrCode_MotionRequestFailed, "Motion-related request error."},
            {sdk::ErrCode_CreateMotionRequestFailed, "Motion-related create request error."},
            {sdk::ErrCode_MotionInterruptedByEvent, "The movement was interrupted by the event."},
            {sdk::ErrCode_MotionWaypointVetorSizeError, "Waypoint vector length issue."},
            {sdk::ErrCode_ResponseReturnError, "There is an error message in the response."},
            {sdk::ErrCode_RealRobotNoExist, "Real robotic arm does not exist."},
        };
        for (const auto &row : rows) {
            S_errInfoDescMaping.emplace(row.first, row.second);
        }
        S_isInitInfoDescMaping = true;
    });
}

std::string ErrorInfoService::getErrDescByCode(sdk::RobotErrorCode code) {
    buildOnce();
    const auto found = S_errInfoDescMaping.find(code);
    return found == S_errInfoDescMaping.end() ? std::string() : found->second;
}
