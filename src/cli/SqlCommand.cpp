#include <memory>

#include "app/DumpSession.h"
#include "app/OutputTarget.h"
#include "app/SqlExport.h"
#include "cli/CliArgs.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "export/SqlWriter.h"
#include "filter/RowFilter.h"
#include "platform/File.h"
#include "platform/TempFiles.h"
#include "platform/Utf8.h"

namespace {

const char kUsage[] =
    "usage: kalvex-cli sql DUMP [TABLE ...] [--database NAME] [--where EXPR] [--keyword TEXT]\n"
    "         [--schema-only | --data-only] [--no-owner] [--no-privileges] [-o FILE]\n";

}  // namespace

int RunSqlCommand(const std::vector<std::string>& args) {
    CCliArgs parsed({"--database", "--where", "--keyword", "-o"},
                    {"--schema-only", "--data-only", "--no-owner", "--no-privileges"});
    if (!parsed.Parse(args)) return UsageError(parsed.Error(), kUsage);
    const std::vector<std::string>& positional = parsed.Positional();
    if (positional.empty()) return UsageError("", kUsage);
    if (parsed.Has("--schema-only") && parsed.Has("--data-only")) {
        return UsageError("--schema-only and --data-only exclude each other", kUsage);
    }
    const bool filtered = parsed.Has("--where") || parsed.Has("--keyword");
    if (filtered && positional.size() != 2) {
        return UsageError("--where and --keyword need exactly one TABLE", kUsage);
    }

    CCliJobContext job;
    std::u16string error;
    auto fail = [&job, &error]() { return job.Fail(error); };
    CDumpSession session;
    if (!OpenDumpForTables(session, positional[0], job, error)) return fail();
    IDumpFile& dump = *session.GetDump();
    const std::string* database = parsed.Value("--database");
    if (database != nullptr && !session.CheckDatabase(platform::Utf8ToUtf16(*database), error)) {
        return fail();
    }
    SqlScriptOptions options;
    options.content = parsed.Has("--schema-only") ? SqlContent::DefinitionOnly
                      : parsed.Has("--data-only") ? SqlContent::DataOnly
                                                  : SqlContent::DefinitionAndData;
    options.noOwner = parsed.Has("--no-owner");
    options.noPrivileges = parsed.Has("--no-privileges");
    if (positional.size() == 1 && dump.GetInfo().isCluster && database == nullptr) {
        return UsageError("a whole-cluster dump needs --database NAME or a TABLE", kUsage);
    }
    if (database != nullptr) options.database = platform::Utf8ToUtf16(*database);

    std::vector<SqlTableChoice> tables;
    for (size_t i = 1; i < positional.size(); ++i) {
        const ptrdiff_t index = FindTableArgument(session, positional[i], database, error);
        if (index < 0) return fail();
        tables.push_back(SqlTableChoice{static_cast<size_t>(index), {}, nullptr});
    }
    CRowFilter filter;
    if (filtered) {
        const TableEntry& table = dump.GetTables()[tables.front().tableIndex];
        const std::string* where = parsed.Value("--where");
        const std::string* keyword = parsed.Value("--keyword");
        if (!filter.Prepare(where != nullptr ? platform::Utf8ToUtf16(*where) : u"",
                            keyword != nullptr ? platform::Utf8ToUtf16(*keyword) : u"",
                            table.columns, error)) {
            return fail();
        }
        const int codePage = table.codePage != 0 ? table.codePage : dump.GetInfo().codePage;
        tables.front().test = MakeFilterRowTest(filter, table, codePage);
    }

    const std::string* output = parsed.Value("-o");
    std::u16string path;
    if (output != nullptr) {
        path = platform::Utf8ToUtf16(*output);
        if (!CheckOutputIsNotDump(dump.GetPath(), path, error)) return fail();
    } else if (!CreateTempFile(u".sql", path)) {
        error = u"一時ファイルを作成できません(" + path + u")。";
        return fail();
    }
    uint64_t rows = 0;
    const bool written = WriteSqlScript(dump, tables, options, path, &job, rows, error);
    if (!written) {
        if (output == nullptr) platform::DeleteFile(path);
        return fail();
    }
    job.EndProgress();
    if (output == nullptr) {
        return SendTempFileToOut(path, u"SQLファイルの書き込みに失敗しました。", job);
    }
    return kExitOk;
}
