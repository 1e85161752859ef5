#pragma once

#include <string>

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs kalvex-cli with the arguments (already shell-quoted where needed) and collects
// its exit code, standard output and standard error.
CliResult RunCli(const std::string& args);
std::string ShellQuote(const std::string& text);
