#include <cstdio>

#include "app/DumpSession.h"
#include "app/OutputTarget.h"
#include "app/SortedView.h"
#include "cli/CliArgs.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "export/CsvWriter.h"
#include "export/ExportText.h"
#include "filter/RowFilter.h"
#include "filter/RowStream.h"
#include "platform/File.h"
#include "platform/TempFiles.h"
#include "platform/Utf8.h"
#include "sort/SortKeyList.h"

namespace {

const char kUsage[] =
    "usage: kalvex-cli export DUMP TABLE [--database NAME] [--where EXPR] [--keyword TEXT]\n"
    "         [--columns c1,c2,...] [--delimiter comma|tab] [--no-header] [--quote-all]\n"
    "         [--encoding UTF8BOM|UTF8|SJIS] [--null TEXT] [--order-by \"KEY [ASC|DESC], ...\"]\n"
    "         [-o FILE]\n";

bool ParseOptions(const CCliArgs& args, CsvOptions& options, std::string& problem) {
    options = CsvOptions();
    options.encoding = u"UTF8";
    if (const std::string* delimiter = args.Value("--delimiter")) {
        if (*delimiter == "comma") {
            options.delimiter = u',';
        } else if (*delimiter == "tab") {
            options.delimiter = u'\t';
        } else {
            problem = BadOptionValue("--delimiter", *delimiter, "comma, tab");
            return false;
        }
    }
    if (const std::string* encoding = args.Value("--encoding")) {
        if (*encoding != "UTF8BOM" && *encoding != "UTF8" && *encoding != "SJIS") {
            problem = BadOptionValue("--encoding", *encoding, "UTF8BOM, UTF8, SJIS");
            return false;
        }
        options.encoding = platform::Utf8ToUtf16(*encoding);
    }
    options.header = !args.Has("--no-header");
    options.quoteAll = args.Has("--quote-all");
    if (const std::string* nullText = args.Value("--null")) {
        options.nullText = platform::Utf8ToUtf16(*nullText);
    }
    return true;
}

// Column positions for a comma-separated list of names; every column when there is none.
bool ResolveColumns(const TableEntry& table, const std::string* names,
                    std::vector<int32_t>& columns, std::u16string& error) {
    if (names == nullptr) {
        columns = CsvColumnList(table.columns.size(), false, {});
        return true;
    }
    columns.clear();
    const std::u16string list = platform::Utf8ToUtf16(*names);
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(u',', start);
        const std::u16string name = list.substr(start, comma - start);
        int32_t found = -1;
        for (size_t i = 0; i < table.columns.size() && found < 0; ++i) {
            if (table.columns[i].name == name) found = static_cast<int32_t>(i);
        }
        if (found < 0) {
            error = u"列が見つかりません(" + name + u")。";
            return false;
        }
        columns.push_back(found);
        if (comma == std::u16string::npos) return true;
        start = comma + 1;
    }
}

// The sorted export goes through the row store: the table is read whole, sorted, then
// written in that order.
int ExportSorted(CDumpSession& session, size_t index, const TableEntry& table,
                 const std::vector<int32_t>& columns, const CsvOptions& options, bool filtered,
                 const std::u16string& where, const std::u16string& keyword,
                 const std::vector<SortKey>& keys, const std::u16string* output,
                 CCliJobContext& job, std::u16string& error) {
    std::vector<uint64_t> rows;
    if (!ReadSortedRows(session, index, filtered, where, keyword, keys, CliSortMemoryBytes(), &job,
                        rows, error)) {
        return job.Fail(error);
    }
    std::u16string path;
    if (output != nullptr) {
        path = *output;
    } else if (!CreateTempFile(u".csv", path)) {
        error = u"一時ファイルを作成できません(" + path + u")。";
        return job.Fail(error);
    }
    uint64_t written = 0;
    if (!WriteCsvFile(*session.GetTableData(), table, columns, rows, options, path, &job, written,
                      error)) {
        if (output == nullptr) platform::DeleteFile(path);
        return job.Fail(error);
    }
    job.EndProgress();
    if (output == nullptr) {
        return SendTempFileToOut(path, u"CSVファイルの書き込みに失敗しました。", job);
    }
    return kExitOk;
}

}  // namespace

int RunExportCommand(const std::vector<std::string>& args) {
    CCliArgs parsed({"--database", "--where", "--keyword", "--columns", "--delimiter", "--encoding",
                     "--null", "-o", "--order-by"},
                    {"--no-header", "--quote-all"});
    CsvOptions options;
    if (!parsed.Parse(args)) return UsageError(parsed.Error(), kUsage);
    std::string problem;
    if (!ParseOptions(parsed, options, problem) || parsed.Positional().size() != 2) {
        return UsageError(problem, kUsage);
    }

    CCliJobContext job;
    std::u16string error;
    auto fail = [&job, &error]() { return job.Fail(error); };
    const std::string* output = parsed.Value("-o");
    std::u16string path;
    if (output != nullptr) path = platform::Utf8ToUtf16(*output);
    // Before the dump is even read: a typo must not overwrite it.
    if (output != nullptr &&
        !CheckOutputIsNotDump(platform::Utf8ToUtf16(parsed.Positional()[0]), path, error)) {
        return fail();
    }
    CDumpSession session;
    if (!OpenDumpForTables(session, parsed.Positional()[0], job, error)) return fail();
    const ptrdiff_t index =
        FindTableArgument(session, parsed.Positional()[1], parsed.Value("--database"), error);
    if (index < 0) return fail();
    const TableEntry& table = session.GetDump()->GetTables()[static_cast<size_t>(index)];
    std::vector<int32_t> columns;
    if (!ResolveColumns(table, parsed.Value("--columns"), columns, error)) return fail();

    const std::u16string where =
        parsed.Value("--where") ? platform::Utf8ToUtf16(*parsed.Value("--where")) : u"";
    const std::u16string keyword =
        parsed.Value("--keyword") ? platform::Utf8ToUtf16(*parsed.Value("--keyword")) : u"";
    const bool filtered = parsed.Has("--where") || parsed.Has("--keyword");
    CRowFilter filter;
    if (filtered && !filter.Prepare(where, keyword, table.columns, error)) return fail();

    if (const std::string* orderBy = parsed.Value("--order-by")) {
        std::vector<SortKey> keys;
        if (!ParseSortKeys(platform::Utf8ToUtf16(*orderBy), table.columns, keys, error)) {
            return UsageError(platform::Utf16ToUtf8(error), kUsage);
        }
        return ExportSorted(session, static_cast<size_t>(index), table, columns, options, filtered,
                            where, keyword, keys, output != nullptr ? &path : nullptr, job, error);
    }
    IDumpFile& dump = *session.GetDump();
    const int sourceCodePage = table.codePage != 0 ? table.codePage : dump.GetInfo().codePage;

    // Rows go into the file as the dump gives them. The file is opened with the first row
    // (or at the end), so a dump that fails before any row leaves it alone; whenever the
    // export does not finish, the writer deletes what it wrote and the file stays as it was.
    CCsvFileWriter writer;
    bool opened = false;
    bool tempMade = false;
    auto open = [&]() {
        if (output == nullptr) {
            if (!CreateTempFile(u".csv", path)) {
                error = u"一時ファイルを作成できません(" + path + u")。";
                return false;
            }
            tempMade = true;
        }
        opened = writer.Open(path, table, columns, options, sourceCodePage, error);
        return opened;
    };
    const RowStreamReceiver write = [&](CStreamRow& row, std::u16string& message) {
        if (!opened && !open()) {
            message = error;
            return RowStreamStep::Fail;
        }
        const bool ok = writer.TakesFields() ? writer.WriteFields(row.Fields())
                                             : writer.WriteCells(row.Cells());
        if (ok) return RowStreamStep::Next;
        message = u"CSVファイルの書き込みに失敗しました。";
        return RowStreamStep::Fail;
    };
    if (!StreamTableRows(dump, table, filtered ? &filter : nullptr, &job, write, error)) {
        writer.Abandon();
        if (tempMade) platform::DeleteFile(path);
        return fail();
    }
    if ((!opened && !open()) || !writer.Finish(error)) {
        if (tempMade) platform::DeleteFile(path);
        return fail();
    }
    job.EndProgress();
    if (output == nullptr) {
        return SendTempFileToOut(path, u"CSVファイルの書き込みに失敗しました。", job);
    }
    return kExitOk;
}
