// kalvex-cli: the dump reader without a window, for scripts and benchmarks.
#include <cstring>
#include <string>
#include <vector>

#include "cli/CliOutput.h"
#include "cli/Commands.h"

namespace {

const char kUsage[] =
    "usage: kalvex-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  detect PATH    print the kind of dump at PATH (custom archive, directory dump\n"
    "                 with its toc.dat, gzip-compressed or plain SQL script)\n"
    "\n"
    "Output is UTF-8. Errors print a message on stderr and exit 1; usage errors exit 2.\n";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
};

const Command kCommands[] = {
    {"detect", RunDetectCommand},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintErrUtf8(kUsage);
        return kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintOutUtf8(kUsage);
        return kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(args);
    }
    PrintErrUtf8(std::string("kalvex-cli: unknown command '") + argv[1] + "'\n\n" + kUsage);
    return kExitUsage;
}
