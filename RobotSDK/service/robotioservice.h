#ifndef ROBOTIOSERVICE_H
#define ROBOTIOSERVICE_H

#include <map>
#include <set>
#include <string>
#include <vector>

#include "KezuRobotMetaType.h"

class RobotControlServices;

// The interface board's and the tool's IO by kind, name and address. Checks every request
// against its tables and turns it into the controller IO requests of the control services.
// The tables are built by the constructor and never change afterwards, so concurrent calls
// need no lock; every value read asks the controller.
class RobotIoService {
public:
    using IoType = kezu_robot_namespace::RobotIoType;
    using IoDesc = kezu_robot_namespace::RobotIoDesc;
    using NameAddrMap = std::map<std::string, int>;

    explicit RobotIoService(RobotControlServices *p);
    ~RobotIoService();
    RobotIoService(const RobotIoService &) = delete;
    RobotIoService &operator=(const RobotIoService &) = delete;

    // Board IO.
    int getBoardIOConfig(const std::vector<IoType> &typeVector, std::vector<IoDesc> &configVector);
    int getBoardIOStatus(std::vector<IoType> typeVector, std::vector<IoDesc> &statusVector);
    int getBoardIOStatus(IoType type, std::string name, double &value);
    int getBoardIOStatus(IoType type, int addr, double &value);
    int setBoardIOStatus(IoType type, std::string name, double value);
    int setBoardIOStatus(IoType type, int addr, double value);

    // Tool IO.
    int setToolPowerVoltageType(kezu_robot_namespace::ToolPowerType type);
    int getToolPowerVoltageType(kezu_robot_namespace::ToolPowerType &type);
    int getToolPowerVoltageStatus(double &value);
    int setToolPowerTypeAndDigitalIOType(kezu_robot_namespace::ToolPowerType type,
                                         kezu_robot_namespace::ToolIOType io0,
                                         kezu_robot_namespace::ToolIOType io1,
                                         kezu_robot_namespace::ToolIOType io2,
                                         kezu_robot_namespace::ToolIOType io3);
    int setToolDigitalIOType(kezu_robot_namespace::ToolDigitalIOAddr addr,
                             kezu_robot_namespace::ToolIOType type);
    int getAllToolDigitalIOStatus(std::vector<IoDesc> &statusVector);
    int getAllToolAIStatus(std::vector<IoDesc> &statusVector);
    int getToolIoStatusByName(std::string name, double &value);
    int setToolDOStatus(kezu_robot_namespace::ToolDigitalIOAddr addr,
                        kezu_robot_namespace::IO_STATUS value);
    int setToolDOStatus(std::string name, kezu_robot_namespace::IO_STATUS value);

    // Zeroes the record, then fills it; ioId and ioName keep at most 31 characters.
    static void initRobotIoDesc(IoDesc &robotIoDesc, const std::string &ioId, IoType ioType,
                                const std::string &ioName, int ioAddr, double ioValue);

private:
    void initToolIoTables();
    void initBoardIoTables();

    std::set<int> m_boardUserDIAddrSet;
    std::set<int> m_boardUserDOAddrSet;
    std::set<int> m_boardUserAIAddrSet;
    std::set<int> m_boardUserAOAddrSet;
    std::set<std::string> m_boardUserDINameSet;
    std::set<std::string> m_boardUserDONameSet;
    std::set<std::string> m_boardUserAINameSet;
    std::set<std::string> m_boardUserAONameSet;
    std::set<int> m_boardControllerDIAddrSet;
    std::set<int> m_boardControllerDOAddrSet;
    std::set<int> m_boardControllerAIAddrSet;
    std::set<int> m_boardControllerAOAddrSet;
    std::set<std::string> m_boardControllerDINameSet;
    std::set<std::string> m_boardControllerDONameSet;
    std::set<std::string> m_boardControllerAINameSet;
    std::set<std::string> m_boardControllerAONameSet;
    std::set<int> m_boardIoTypeSet;
    std::map<IoType, NameAddrMap> m_boardIOMaping;
    std::map<IoType, std::set<int>> m_boardIOTypeAddrSetMaping;
    std::map<IoType, std::set<std::string>> m_boardIOTypeNameSetMaping;
    NameAddrMap m_toolPowerMaping;
    NameAddrMap m_toolDiagnosisIOMaping;
    NameAddrMap m_toolAIMaping;
    std::set<int> m_toolIoTypeSet;
    std::set<int> m_toolDiagnosisIOAddrSet;
    RobotControlServices *m_robotBaseService;
};

#endif
