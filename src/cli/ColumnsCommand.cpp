#include "cli/CliArgs.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"

int RunColumnsCommand(const std::vector<std::string>& args) {
    CCliArgs parsed({"--database"}, {});
    if (!parsed.Parse(args) || parsed.Positional().size() != 2) {
        PrintErrUtf8("usage: kalvex-cli columns DUMP TABLE [--database NAME]\n");
        return kExitUsage;
    }
    CCliJobContext job;
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = OpenDumpForTables(parsed.Positional()[0], job, error);
    const TableEntry* table =
        dump ? FindTableArgument(*dump, parsed.Positional()[1], parsed.Value("--database"), error)
             : nullptr;
    job.EndProgress();
    if (table == nullptr) {
        PrintErr(error + u"\n");
        return kExitFailure;
    }
    std::u16string out;
    for (const ColumnInfo& column : table->columns) {
        out += column.name + u'\t' + column.type + u'\t' + (column.notNull ? u"NOT NULL" : u"") +
               u'\n';
    }
    PrintOut(out);
    return kExitOk;
}
