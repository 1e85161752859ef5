#include <cstdio>
#include <string>
#include <vector>

#include "app/DumpSession.h"
#include "cli/CliArgs.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "filter/RowFilter.h"
#include "platform/Utf8.h"
#include "store/TableCursor.h"
#include "store/TableData.h"

namespace {

const char kUsage[] =
    "usage: kalvex-cli rows DUMP TABLE [--database NAME] [--where EXPR] [--keyword TEXT]\n"
    "                  [--from N] [--count N]\n";

struct RowsArguments {
    std::string dump;
    std::string table;
    bool hasDatabase = false;
    std::string database;
    uint64_t from = 1;
    bool hasCount = false;
    uint64_t count = 0;
    bool filtered = false;
    std::u16string where;
    std::u16string keyword;
};

bool Parse(const std::vector<std::string>& args, RowsArguments& out, std::string& problem) {
    CCliArgs parsed({"--database", "--from", "--count", "--where", "--keyword"}, {});
    if (!parsed.Parse(args)) {
        problem = parsed.Error();
        return false;
    }
    if (parsed.Positional().size() != 2) return false;
    out.dump = parsed.Positional()[0];
    out.table = parsed.Positional()[1];
    if (const std::string* database = parsed.Value("--database")) {
        out.hasDatabase = true;
        out.database = *database;
    }
    if (const std::string* from = parsed.Value("--from")) {
        if (!ParseCount(*from, out.from) || out.from == 0) {
            problem = BadOptionValue("--from", *from, "1 以上の整数");
            return false;
        }
    }
    if (const std::string* where = parsed.Value("--where"))
        out.where = platform::Utf8ToUtf16(*where);
    if (const std::string* keyword = parsed.Value("--keyword")) {
        out.keyword = platform::Utf8ToUtf16(*keyword);
    }
    out.filtered = parsed.Has("--where") || parsed.Has("--keyword");
    if (const std::string* count = parsed.Value("--count")) {
        out.hasCount = true;
        if (!ParseCount(*count, out.count)) {
            problem = BadOptionValue("--count", *count, "0 以上の整数");
            return false;
        }
    }
    return true;
}

// Writes rows as UTF-8 lines: cells separated by TAB, NULL as (NULL), nothing escaped.
bool PrintRows(const CDumpSession& session, uint64_t first, uint64_t end, std::u16string& error) {
    CTableCursor cursor(*session.GetTableData());
    RowCells cells;
    std::string out;
    for (uint64_t v = first; v < end; ++v) {
        const uint64_t row = session.GetViewRow(static_cast<size_t>(v));
        if (!cursor.GetRow(static_cast<size_t>(row), cells)) {
            error = u"行データの読み込みに失敗しました(" +
                    platform::Utf8ToUtf16(std::to_string(row + 1)) + u" 行目)。";
            return false;
        }
        for (size_t c = 0; c < cells.size(); ++c) {
            if (c > 0) out += '\t';
            if (cells[c].isNull) {
                out += "(NULL)";
            } else {
                platform::AppendUtf16AsUtf8(cells[c].text.data(), cells[c].text.size(), out);
            }
        }
        out += '\n';
        if (out.size() >= (1 << 20)) {
            // A reader that has gone (or a full disk) ends the work here.
            if (!PrintOutUtf8(out)) return false;
            out.clear();
        }
    }
    return PrintOutUtf8(out);
}

}  // namespace

int RunRowsCommand(const std::vector<std::string>& args) {
    RowsArguments a;
    std::string problem;
    if (!Parse(args, a, problem)) return UsageError(problem, kUsage);
    CCliJobContext job;
    std::u16string error;
    auto fail = [&job, &error]() { return job.Fail(error); };
    CDumpSession session;
    if (!OpenDumpForTables(session, a.dump, job, error)) return fail();
    const ptrdiff_t index =
        FindTableArgument(session, a.table, a.hasDatabase ? &a.database : nullptr, error);
    if (index < 0) return fail();
    if (!session.LoadTable(static_cast<size_t>(index), &job, error)) return fail();

    // With a filter, --from and --count count the matching rows.
    if (a.filtered) {
        std::unique_ptr<CRowFilter> filter;
        std::vector<size_t> matches;
        if (!session.PrepareFilter(a.where, a.keyword, filter, error) ||
            !session.RunFilter(*filter, &job, matches, error)) {
            return fail();
        }
        session.SetFilterResult(std::move(matches));
    }
    job.EndProgress();
    const uint64_t rows = session.GetViewRowCount();
    const uint64_t first = std::min<uint64_t>(a.from - 1, rows);
    const uint64_t end = a.hasCount ? first + std::min<uint64_t>(a.count, rows - first) : rows;
    if (!PrintRows(session, first, end, error)) {
        // A failed write is reported once, when the output is closed.
        return OutputFailed() ? kExitFailure : fail();
    }
    return kExitOk;
}
