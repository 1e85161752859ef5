#include "support/CliRunner.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/TestPaths.h"

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CliResult RunCli(const std::string& args) {
    ScratchDir dir;
    const std::string command = ShellQuote(KALVEX_CLI_PATH) + " " + args + " >" +
                                ShellQuote(dir.File("out")) + " 2>" + ShellQuote(dir.File("err")) +
                                " </dev/null";
    CliResult result;
    const int status = std::system(command.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFileBytes(dir.File("out"));
    result.err = ReadFileBytes(dir.File("err"));
    return result;
}
