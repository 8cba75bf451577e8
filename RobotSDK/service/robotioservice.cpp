#include "robotioservice.h"

#include <cstring>

#include "globalutil.h"
#include "robotcontrolservices.h"

using namespace kezu_robot_namespace;
using kezu_robot_logtrace::W_ERROR;

namespace {

// Names that differ only in their last digit, with addresses rising alongside.
struct BoardRange {
    RobotIoType type;
    const char *prefix;
    int firstDigit;
    int count;
    int firstAddr;
};

const BoardRange BOARD_RANGES[] = {
    {RobotBoardControllerDI, "SI0", 0, 8, 0},  {RobotBoardControllerDI, "SI1", 0, 8, 8},
    {RobotBoardControllerDI, "CI0", 0, 4, 16}, {RobotBoardControllerDI, "CI1", 0, 4, 20},
    {RobotBoardControllerDI, "LI0", 0, 6, 24}, {RobotBoardControllerDO, "SO0", 0, 8, 0},
    {RobotBoardControllerDO, "SO1", 0, 8, 8},  {RobotBoardControllerDO, "CO0", 0, 4, 16},
    {RobotBoardControllerDO, "CO1", 0, 4, 20}, {RobotBoardControllerDO, "LO0", 0, 4, 24},
    {RobotBoardUserDI, "F", 1, 6, 30},         {RobotBoardUserDI, "U_DI_0", 0, 8, 36},
    {RobotBoardUserDI, "U_DI_1", 0, 8, 44},    {RobotBoardUserDO, "U_DO_0", 0, 8, 32},
    {RobotBoardUserDO, "U_DO_1", 0, 8, 40},    {RobotBoardUserAI, "VI", 0, 4, 0},
    {RobotBoardUserAO, "VO", 0, 2, 0},         {RobotBoardUserAO, "CO", 0, 2, 2},
};

const RobotIoType BOARD_TYPES[] = {
    RobotBoardControllerDI, RobotBoardControllerDO, RobotBoardControllerAI, RobotBoardControllerAO,
    RobotBoardUserDI,       RobotBoardUserDO,       RobotBoardUserAI,       RobotBoardUserAO};

bool isDigitalInput(RobotIoType type) {
    return type == RobotBoardControllerDI || type == RobotBoardUserDI;
}
bool isDigitalOutput(RobotIoType type) {
    return type == RobotBoardControllerDO || type == RobotBoardUserDO;
}
bool isAnalogInput(RobotIoType type) {
    return type == RobotBoardControllerAI || type == RobotBoardUserAI;
}
bool isAnalogOutput(RobotIoType type) {
    return type == RobotBoardControllerAO || type == RobotBoardUserAO;
}

// A digital value given as a double is on only when strictly above one half.
IO_STATUS digitalStatusOf(double value) {
    return value > 0.5 ? IO_STATUS_VALID : IO_STATUS_INVALID;
}

// The value at a point's address in the controller's list; -1.0 beyond the list.
template <typename Item>
double listValueAt(const std::vector<Item> &list, int addr) {
    if (addr < 0 || static_cast<size_t>(addr) >= list.size()) {
        return -1.0;
    }
    return static_cast<double>(list[static_cast<size_t>(addr)].value);
}

RobotIoType toolDigitalKind(const RobotDiagnosisIODesc &item) {
    return item.type != 0 ? RobotToolDO : RobotToolDI;
}
RobotIoType toolAnalogKind(const RobotAnalogIODesc &) { return RobotToolAI; }

// The controller's tool list, then one entry per named tool point in name order, taken from
// the list at the point's index; points beyond the list are left out. A failed request leaves
// the output empty.
template <typename Item, typename Request, typename KindOf>
int readToolPoints(Request request, const RobotIoService::NameAddrMap &points, KindOf kindOf,
                   std::vector<RobotIoDesc> &statusVector) {
    statusVector.clear();
    std::vector<Item> list;
    const int ret = request(list);
    if (ret != ErrnoSucc) {
        return ret;
    }
    for (const auto &point : points) {
        if (point.second < 0 || static_cast<size_t>(point.second) >= list.size()) {
            continue;
        }
        const Item &item = list[static_cast<size_t>(point.second)];
        RobotIoDesc desc;
        RobotIoService::initRobotIoDesc(desc, point.first, kindOf(item), point.first, item.addr,
                                        static_cast<double>(item.value));
        statusVector.push_back(desc);
    }
    return ErrnoSucc;
}

}  // namespace

RobotIoService::RobotIoService(RobotControlServices *p) : m_robotBaseService(p) {
    initToolIoTables();
    initBoardIoTables();
}

RobotIoService::~RobotIoService() = default;

void RobotIoService::initToolIoTables() {
    m_toolPowerMaping = {{"T_POWER", 0}};
    m_toolDiagnosisIOMaping = {
        {"T_DI/O_00", 0}, {"T_DI/O_01", 1}, {"T_DI/O_02", 2}, {"T_DI/O_03", 3}};
    m_toolAIMaping = {{"T_AI_00", 0}, {"T_AI_01", 1}};
    for (const auto &point : m_toolDiagnosisIOMaping) {
        m_toolDiagnosisIOAddrSet.insert(point.second);
    }
}

void RobotIoService::initBoardIoTables() {
    std::map<RobotIoType, NameAddrMap> maps;
    for (RobotIoType type : BOARD_TYPES) {
        maps[type];
    }
    for (const BoardRange &range : BOARD_RANGES) {
        for (int i = 0; i < range.count; ++i) {
            maps[range.type][range.prefix + std::to_string(range.firstDigit + i)] =
                range.firstAddr + i;
        }
    }

    struct KindSets {
        std::set<int> *addrs;
        std::set<std::string> *names;
    };
    const std::map<RobotIoType, KindSets> sets = {
        {RobotBoardControllerDI, {&m_boardControllerDIAddrSet, &m_boardControllerDINameSet}},
        {RobotBoardControllerDO, {&m_boardControllerDOAddrSet, &m_boardControllerDONameSet}},
        {RobotBoardControllerAI, {&m_boardControllerAIAddrSet, &m_boardControllerAINameSet}},
        {RobotBoardControllerAO, {&m_boardControllerAOAddrSet, &m_boardControllerAONameSet}},
        {RobotBoardUserDI, {&m_boardUserDIAddrSet, &m_boardUserDINameSet}},
        {RobotBoardUserDO, {&m_boardUserDOAddrSet, &m_boardUserDONameSet}},
        {RobotBoardUserAI, {&m_boardUserAIAddrSet, &m_boardUserAINameSet}},
        {RobotBoardUserAO, {&m_boardUserAOAddrSet, &m_boardUserAONameSet}},
    };
    for (RobotIoType type : BOARD_TYPES) {
        const KindSets &kind = sets.at(type);
        for (const auto &point : maps[type]) {
            kind.names->insert(point.first);
            kind.addrs->insert(point.second);
        }
        m_boardIOMaping[type] = maps[type];
        m_boardIoTypeSet.insert(type);
        m_boardIOTypeAddrSetMaping[type] = *kind.addrs;
        m_boardIOTypeNameSetMaping[type] = *kind.names;
    }
}

void RobotIoService::initRobotIoDesc(RobotIoDesc &robotIoDesc, const std::string &ioId,
                                     RobotIoType ioType, const std::string &ioName, int ioAddr,
                                     double ioValue) {
    std::memset(&robotIoDesc, 0, sizeof(robotIoDesc));
    std::strncpy(robotIoDesc.ioId, ioId.c_str(), sizeof(robotIoDesc.ioId) - 1);
    robotIoDesc.ioType = ioType;
    std::strncpy(robotIoDesc.ioName, ioName.c_str(), sizeof(robotIoDesc.ioName) - 1);
    robotIoDesc.ioAddr = ioAddr;
    robotIoDesc.ioValue = ioValue;
}

int RobotIoService::getBoardIOConfig(const std::vector<RobotIoType> &typeVector,
                                     std::vector<RobotIoDesc> &configVector) {
    configVector.clear();
    for (RobotIoType type : typeVector) {
        if (m_boardIoTypeSet.count(type) == 0) {
            configVector.clear();
            W_ERROR("sdk log: Call getBoardIOConfig IO type error.");
            return ErrCode_ParamError;
        }
        for (const auto &point : m_boardIOMaping.at(type)) {
            RobotIoDesc desc;
            initRobotIoDesc(desc, point.first, type, point.first, point.second, -1.0);
            configVector.push_back(desc);
        }
    }
    return ErrnoSucc;
}

int RobotIoService::getBoardIOStatus(std::vector<RobotIoType> typeVector,
                                     std::vector<RobotIoDesc> &statusVector) {
    statusVector.clear();
    std::vector<RobotDiagnosisIODesc> diStatusVector;
    std::vector<RobotDiagnosisIODesc> doStatusVector;
    std::vector<RobotAnalogIODesc> aiStatusVector;
    std::vector<RobotAnalogIODesc> aoStatusVector;
    int ret = m_robotBaseService->getInterfaceBoardAllDIStatusService(diStatusVector);
    if (ret == ErrnoSucc) {
        ret = m_robotBaseService->getInterfaceBoardAllDOStatusService(doStatusVector);
    }
    if (ret == ErrnoSucc) {
        ret = m_robotBaseService->getInterfaceBoardAllAIStatusService(aiStatusVector);
    }
    if (ret == ErrnoSucc) {
        ret = m_robotBaseService->getInterfaceBoardAllAOStatusService(aoStatusVector);
    }
    if (ret != ErrnoSucc) {
        return ret;
    }

    for (RobotIoType type : typeVector) {
        if (m_boardIoTypeSet.count(type) == 0) {
            W_ERROR("sdk log: Call getBoardIOStatus RobotIoType not Exist.");
            return ErrCode_ParamError;
        }
        for (const auto &point : m_boardIOMaping.at(type)) {
            double value = -1.0;
            if (isDigitalInput(type)) {
                value = listValueAt(diStatusVector, point.second);
            } else if (isDigitalOutput(type)) {
                value = listValueAt(doStatusVector, point.second);
            } else if (isAnalogInput(type)) {
                value = listValueAt(aiStatusVector, point.second);
            } else if (isAnalogOutput(type)) {
                value = listValueAt(aoStatusVector, point.second);
            }
            RobotIoDesc desc;
            initRobotIoDesc(desc, point.first, type, point.first, point.second, value);
            statusVector.push_back(desc);
        }
    }
    return ErrnoSucc;
}

int RobotIoService::getBoardIOStatus(RobotIoType type, std::string name, double &value) {
    const auto kind = m_boardIOMaping.find(type);
    if (kind == m_boardIOMaping.end() || kind->second.count(name) == 0) {
        W_ERROR("sdk log: Call getBoardIOStatus, type name mismatch.");
        return ErrCode_ParamError;
    }
    return getBoardIOStatus(type, kind->second.at(name), value);
}

int RobotIoService::getBoardIOStatus(RobotIoType type, int addr, double &value) {
    const auto kind = m_boardIOTypeAddrSetMaping.find(type);
    if (kind == m_boardIOTypeAddrSetMaping.end() || kind->second.count(addr) == 0) {
        W_ERROR("sdk log:  Call getBoardIOStatus, type addr mismatch.");
        return ErrCode_ParamError;
    }
    if (isAnalogInput(type)) {
        return m_robotBaseService->getInterfaceBoardAIStatusService(addr, value);
    }
    if (isAnalogOutput(type)) {
        return m_robotBaseService->getInterfaceBoardAOStatusService(addr, value);
    }
    IO_STATUS status = IO_STATUS_INVALID;
    const int ret = isDigitalInput(type)
                        ? m_robotBaseService->getInterfaceBoardDIStatusService(addr, status)
                        : m_robotBaseService->getInterfaceBoardDOStatusService(addr, status);
    if (ret == ErrnoSucc) {
        value = static_cast<double>(status);
    }
    return ret;
}

int RobotIoService::setBoardIOStatus(RobotIoType type, std::string name, double value) {
    if (!isDigitalOutput(type) && !isAnalogOutput(type)) {
        W_ERROR("sdk log: Call setBoardIOStatus, type not exist.");
        return ErrCode_ParamError;
    }
    const NameAddrMap &points = m_boardIOMaping.at(type);
    const auto point = points.find(name);
    if (point == points.end()) {
        W_ERROR("sdk log: Call setBoardIOStatus, type addr mismatch.");
        return ErrCode_ParamError;
    }
    return setBoardIOStatus(type, point->second, value);
}

int RobotIoService::setBoardIOStatus(RobotIoType type, int addr, double value) {
    if (isDigitalOutput(type)) {
        if (m_boardIOTypeAddrSetMaping.at(type).count(addr) == 0) {
            W_ERROR("sdk log: Call setBoardIOStatusByaddr DO, type addr mismatch.");
            return ErrCode_ParamError;
        }
        return m_robotBaseService->setInterfaceBoardDOStatusService(addr, digitalStatusOf(value));
    }
    if (isAnalogOutput(type)) {
        if (m_boardIOTypeAddrSetMaping.at(type).count(addr) == 0) {
            W_ERROR("sdk log: Call setBoardIOStatusByaddr AO,  type addr mismatch.");
            return ErrCode_ParamError;
        }
        return m_robotBaseService->setInterfaceBoardAOStatusService(addr, value);
    }
    W_ERROR("sdk log: Call setBoardIOStatusByaddr, type invalid.");
    return ErrCode_ParamError;
}

int RobotIoService::setToolPowerVoltageType(ToolPowerType type) {
    return m_robotBaseService->setToolPowerVoltageTypeService(type);
}

int RobotIoService::getToolPowerVoltageType(ToolPowerType &type) {
    return m_robotBaseService->getToolPowerVoltageTypeService(type);
}

int RobotIoService::getToolPowerVoltageStatus(double &value) {
    return m_robotBaseService->getToolPowerVoltageStatusService(value);
}

int RobotIoService::setToolPowerTypeAndDigitalIOType(ToolPowerType type, ToolIOType io0,
                                                     ToolIOType io1, ToolIOType io2,
                                                     ToolIOType io3) {
    return m_robotBaseService->setToolPowerTypeAndDigitalIOTypeService(type, io0, io1, io2, io3);
}

int RobotIoService::setToolDigitalIOType(ToolDigitalIOAddr addr, ToolIOType type) {
    if (m_toolDiagnosisIOAddrSet.count(addr) == 0) {
        W_ERROR("sdk log: setToolDigitalIOType addr error.");
        return ErrCode_ParamError;
    }
    return m_robotBaseService->setToolDigitalIOTypeService(addr, type);
}

int RobotIoService::getAllToolDigitalIOStatus(std::vector<RobotIoDesc> &statusVector) {
    return readToolPoints<RobotDiagnosisIODesc>(
        [this](std::vector<RobotDiagnosisIODesc> &list) {
            return m_robotBaseService->getToolAllDigitalIOStatusService(list);
        },
        m_toolDiagnosisIOMaping, toolDigitalKind, statusVector);
}

int RobotIoService::getAllToolAIStatus(std::vector<RobotIoDesc> &statusVector) {
    return readToolPoints<RobotAnalogIODesc>(
        [this](std::vector<RobotAnalogIODesc> &list) {
            return m_robotBaseService->getToolAllAIStatusService(list);
        },
        m_toolAIMaping, toolAnalogKind, statusVector);
}

int RobotIoService::getToolIoStatusByName(std::string name, double &value) {
    std::vector<RobotIoDesc> statusVector;
    int index = 0;
    int ret = ErrnoSucc;
    if (m_toolDiagnosisIOMaping.count(name) != 0) {
        index = m_toolDiagnosisIOMaping.at(name);
        ret = getAllToolDigitalIOStatus(statusVector);
    } else if (m_toolAIMaping.count(name) != 0) {
        index = m_toolAIMaping.at(name);
        ret = getAllToolAIStatus(statusVector);
    } else {
        W_ERROR("sdk log: Call getToolIoStatus name error.");
        return ErrCode_ParamError;
    }
    if (ret != ErrnoSucc) {
        return ret;
    }
    // A reply too short to hold the point must not pass for a reading.
    if (static_cast<size_t>(index) >= statusVector.size()) {
        W_ERROR("sdk log: Call getToolIoStatus point not in response.");
        return ErrCode_ResolveResponseFailed;
    }
    value = statusVector[static_cast<size_t>(index)].ioValue;
    return ErrnoSucc;
}

int RobotIoService::setToolDOStatus(ToolDigitalIOAddr addr, IO_STATUS value) {
    // The address travels as one byte: one beyond the tool's points would wrap onto another.
    if (m_toolDiagnosisIOAddrSet.count(addr) == 0) {
        W_ERROR("sdk log: setToolDOStatus addr error.");
        return ErrCode_ParamError;
    }
    return m_robotBaseService->setToolDigitalIOStatusService(addr, value);
}

int RobotIoService::setToolDOStatus(std::string name, IO_STATUS value) {
    const auto point = m_toolDiagnosisIOMaping.find(name);
    if (point == m_toolDiagnosisIOMaping.end()) {
        W_ERROR("sdk log: setToolDOStatus name not exist.");
        return ErrCode_ParamError;
    }
    return setToolDOStatus(static_cast<ToolDigitalIOAddr>(point->second), value);
}
