#include "app/DumpSession.h"
#include "cli/CliArgs.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"

int RunColumnsCommand(const std::vector<std::string>& args) {
    CCliArgs parsed({"--database"}, {});
    if (!parsed.Parse(args) || parsed.Positional().size() != 2) {
        return UsageError(parsed.Error(),
                          "usage: kalvex-cli columns DUMP TABLE [--database NAME]\n");
    }
    CCliJobContext job;
    std::u16string error;
    CDumpSession session;
    const ptrdiff_t index =
        OpenDumpForTables(session, parsed.Positional()[0], job, error)
            ? FindTableArgument(session, parsed.Positional()[1], parsed.Value("--database"), error)
            : -1;
    job.EndProgress();
    if (index < 0) {
        PrintErr(error + u"\n");
        return kExitFailure;
    }
    const TableEntry& table = session.GetDump()->GetTables()[static_cast<size_t>(index)];
    std::u16string out;
    for (const ColumnInfo& column : table.columns) {
        out += column.name + u'\t' + column.type + u'\t' + (column.notNull ? u"NOT NULL" : u"") +
               u'\n';
    }
    PrintOut(out);
    return kExitOk;
}
