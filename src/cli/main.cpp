// kalvex-cli: the dump reader without a window, for scripts and benchmarks.
#include <csignal>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/UnexpectedError.h"
#include "app/VersionText.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "platform/ExitCleanup.h"
#include "platform/TempFiles.h"

namespace {

const char kUsage[] =
    "usage: kalvex-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  detect PATH    print the kind of dump at PATH (custom archive, directory dump\n"
    "                 with its toc.dat, gzip-compressed or plain SQL script)\n"
    "  info [--tsv] DUMP\n"
    "                 open and scan the dump; print its properties and one line per\n"
    "                 table: name, row count (? when unknown), columns, data kind.\n"
    "                 --tsv prints key<TAB>value lines, an empty line, then a header\n"
    "                 database<TAB>schema<TAB>table<TAB>rows<TAB>columns<TAB>data and one\n"
    "                 line per table (backslash, TAB, LF, CR in names escaped as \\\\ \\t \\n "
    "\\r)\n"
    "  rows DUMP TABLE [--database NAME] [--where EXPR] [--keyword TEXT]\n"
    "         [--from N] [--count N]\n"
    "                 load a table and print its rows (only those that hold the keyword\n"
    "                 and match the WHERE condition, when given) from row N of them\n"
    "                 (1-based, default 1), at most N (default all): one line per row, cells\n"
    "                 separated by TAB, NULL as (NULL), values exactly as decoded.\n"
    "                 TABLE is schema.name as info shows it, or a bare name when unique;\n"
    "                 --database picks the database of a whole-cluster dump\n"
    "  columns DUMP TABLE [--database NAME]\n"
    "                 one line per column: name<TAB>type<TAB>NOT NULL (empty when the\n"
    "                 column may be NULL)\n"
    "  ddl DUMP [TABLE] [--database NAME]\n"
    "                 the table's DDL, or without TABLE the whole dump's (of one database\n"
    "                 of a whole-cluster dump with --database; an empty NAME means the\n"
    "                 objects outside any database), with LF line ends\n"
    "  export DUMP TABLE [--database NAME] [--where EXPR] [--keyword TEXT]\n"
    "         [--columns c1,c2,...] [--delimiter comma|tab] [--no-header] [--quote-all]\n"
    "         [--encoding UTF8BOM|UTF8|SJIS] [--null TEXT] [-o FILE]\n"
    "                 load the table, keep the rows that hold the keyword and match the\n"
    "                 WHERE condition, and write them as CSV to FILE or standard output\n"
    "                 (defaults: comma, header line, quotes only where needed, UTF-8\n"
    "                 without BOM, NULL as an empty field)\n"
    "  check DUMP [--tsv] [--database NAME]\n"
    "                 read every table's data to its end and print one line per table:\n"
    "                 name, rows, ok or what is wrong (--tsv: database<TAB>schema<TAB>\n"
    "                 table<TAB>rows<TAB>status<TAB>message); exit 1 when any is damaged\n"
    "\n"
    "  --version      print the version and the inflate library in use\n"
    "\n"
    "Progress goes to stderr when it is a terminal; Ctrl+C cancels and leaves no\n"
    "temporary or partial output file.\n"
    "\n"
    "Output is UTF-8. Errors print a message on stderr and exit 1, a failed write to\n"
    "standard output among them; a closed pipe ends the command quietly. Usage errors\n"
    "exit 2.\n";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
};

// clang-format off
const Command kCommands[] = {
    {"detect", RunDetectCommand},
    {"info", RunInfoCommand},
    {"rows", RunRowsCommand},
    {"columns", RunColumnsCommand},
    {"ddl", RunDdlCommand},
    {"export", RunExportCommand},
    {"sql", RunSqlCommand},
    {"check", RunCheckCommand},
};
// clang-format on

// Every command ends here: what it wrote must have arrived, and no temporary file stays.
int Finish(int code) {
    const bool written = FinishOutput();
    DeleteTempFiles();
    if (written) return code;
    if (OutputPipeClosed()) {
        // The reader has all it wanted: end as other tools do on a closed pipe, without a
        // message.
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
    PrintErr(u"出力の書き込みに失敗しました。\n");
    return kExitFailure;
}

int Run(int argc, char** argv) {
    if (argc < 2) {
        PrintErrUtf8(kUsage);
        return kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintOutUtf8(kUsage);
        return kExitOk;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        PrintOutUtf8(VersionText("kalvex-cli"));
        return kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(args);
    }
    PrintErrUtf8(std::string("kalvex-cli: unknown command '") + argv[1] + "'\n\n" + kUsage);
    return kExitUsage;
}

int Unexpected(const char* description) {
    PrintErr(UnexpectedErrorMessage(description) + u"\n");
    return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    InstallExitCleanup();
    RemoveStaleTempFiles();
    PrepareStandardStreams();
    int code = kExitFailure;
    try {
        code = Run(argc, argv);
    } catch (const std::exception& e) {
        code = Unexpected(e.what());
    } catch (...) {
        code = Unexpected(nullptr);
    }
    return Finish(code);
}
