#include <string>
#include <vector>

#include "app/DumpCheck.h"
#include "app/DumpSession.h"
#include "cli/CliArgs.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "platform/Utf8.h"
#include "platform/WideChar.h"

namespace {

const char kUsage[] = "usage: kalvex-cli check DUMP [--tsv] [--database NAME]\n";

std::u16string Lines(const IDumpFile& dump, const std::vector<TableEntry>& tables,
                     const std::vector<TableCheck>& checks, bool tsv) {
    std::u16string out;
    if (tsv) out += u"database\tschema\ttable\trows\tstatus\tmessage\n";
    for (const TableCheck& check : checks) {
        const TableEntry& t = tables[check.tableIndex];
        const std::u16string rows = platform::FormatDecimal(static_cast<int64_t>(check.rows));
        const std::u16string status = check.whole ? u"ok" : check.message;
        if (tsv) {
            out += TsvField(t.database) + u'\t' + TsvField(t.schema) + u'\t' + TsvField(t.name) +
                   u'\t' + rows + u'\t' + (check.whole ? u"ok" : u"damaged") + u'\t' +
                   TsvField(check.message) + u'\n';
        } else {
            const std::u16string name = dump.GetInfo().isCluster
                                            ? t.database + u": " + t.QualifiedName()
                                            : t.QualifiedName();
            out += name + u"  " + rows + u"  " + status + u'\n';
        }
    }
    return out;
}

}  // namespace

int RunCheckCommand(const std::vector<std::string>& args) {
    CCliArgs parsed({"--database"}, {"--tsv"});
    const bool parsedOk = parsed.Parse(args);
    if (!parsedOk || parsed.Positional().size() != 1 || parsed.Positional()[0].empty()) {
        return UsageError(parsed.Error(), kUsage);
    }
    CCliJobContext job;
    std::u16string error;
    CDumpSession session;
    if (!OpenDumpForTables(session, parsed.Positional()[0], job, error)) return job.Fail(error);
    std::u16string database;
    const std::string* named = parsed.Value("--database");
    if (named != nullptr) {
        database = platform::Utf8ToUtf16(*named);
        if (!session.CheckDatabase(database, error)) return job.Fail(error);
    }
    const bool narrow = named != nullptr && session.GetDump()->GetInfo().isCluster;
    const std::vector<size_t> tables = session.GetTableIndexes(narrow ? &database : nullptr);

    std::vector<TableCheck> checks;
    if (!CheckDump(*session.GetDump(), tables, &job, checks, error)) return job.Fail(error);
    job.EndProgress();
    PrintOut(
        Lines(*session.GetDump(), session.GetDump()->GetTables(), checks, parsed.Has("--tsv")));
    const size_t damaged = CountDamaged(checks);
    if (damaged == 0) return kExitOk;
    PrintErr(u"異常のあるテーブルがあります(" +
             platform::FormatDecimal(static_cast<int64_t>(damaged)) + u" 個)。\n");
    return kExitFailure;
}
