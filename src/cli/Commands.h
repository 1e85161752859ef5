#pragma once

#include <string>
#include <vector>

// One sub-command of kalvex-cli: gets its own arguments (after the command name).
int RunDetectCommand(const std::vector<std::string>& args);
int RunInfoCommand(const std::vector<std::string>& args);
int RunRowsCommand(const std::vector<std::string>& args);
int RunColumnsCommand(const std::vector<std::string>& args);
int RunDdlCommand(const std::vector<std::string>& args);
int RunExportCommand(const std::vector<std::string>& args);
int RunSqlCommand(const std::vector<std::string>& args);
int RunCheckCommand(const std::vector<std::string>& args);
