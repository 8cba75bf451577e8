#ifndef ERRORINFOSERVICE_H
#define ERRORINFOSERVICE_H

#include <map>
#include <string>

#include "KezuRobotMetaType.h"

// Short English texts for SDK result codes. The table is built once per process (at the first
// lookup or construction) and only read after that, so lookups may come from any thread.
class ErrorInfoService {
public:
    ErrorInfoService();

    // Clears the table and enters every row again.
    static void initErrInfoDescMaping();
    // The code's text, or an empty string for a code without a row.
    static std::string getErrDescByCode(kezu_robot_namespace::RobotErrorCode code);

private:
    static void buildOnce();

    static std::map<kezu_robot_namespace::RobotErrorCode, std::string> S_errInfoDescMaping;
    static bool S_isInitInfoDescMaping;
};

#endif
