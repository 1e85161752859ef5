#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DumpSession.h"
#include "app/SortedView.h"
#include "cli/CliArgs.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "filter/RowFilter.h"
#include "filter/RowStream.h"
#include "platform/Utf8.h"
#include "sort/SortKeyList.h"
#include "store/TableCursor.h"
#include "store/TableData.h"

namespace {

const char kUsage[] =
    "usage: kalvex-cli rows DUMP TABLE [--database NAME] [--where EXPR] [--keyword TEXT]\n"
    "                  [--order-by \"KEY [ASC|DESC], ...\"] [--from N] [--count N]\n";

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
    bool sorted = false;
    std::u16string orderBy;
};

bool Parse(const std::vector<std::string>& args, RowsArguments& out, std::string& problem) {
    CCliArgs parsed({"--database", "--from", "--count", "--where", "--keyword", "--order-by"}, {});
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
    if (const std::string* orderBy = parsed.Value("--order-by")) {
        out.sorted = true;
        out.orderBy = platform::Utf8ToUtf16(*orderBy);
    }
    if (const std::string* count = parsed.Value("--count")) {
        out.hasCount = true;
        if (!ParseCount(*count, out.count)) {
            problem = BadOptionValue("--count", *count, "0 以上の整数");
            return false;
        }
    }
    return true;
}

// Appends a row as a UTF-8 line: cells separated by TAB, NULL as (NULL), nothing escaped.
void AppendRowLine(const RowCells& cells, std::string& out) {
    for (size_t c = 0; c < cells.size(); ++c) {
        if (c > 0) out += '\t';
        if (cells[c].isNull) {
            out += "(NULL)";
        } else {
            platform::AppendUtf16AsUtf8(cells[c].text.data(), cells[c].text.size(), out);
        }
    }
    out += '\n';
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
    const TableEntry& table = session.GetDump()->GetTables()[static_cast<size_t>(index)];

    // With a filter, --from and --count count the matching rows.
    CRowFilter filter;
    if (a.filtered && !filter.Prepare(a.where, a.keyword, table.columns, error)) return fail();

    if (a.sorted) {
        std::vector<SortKey> keys;
        if (!ParseSortKeys(a.orderBy, table.columns, keys, error)) {
            return UsageError(platform::Utf16ToUtf8(error), kUsage);
        }
        std::vector<uint64_t> rows;
        if (!ReadSortedRows(session, static_cast<size_t>(index), a.filtered, a.where, a.keyword,
                            keys, CliSortMemoryBytes(), &job, rows, error)) {
            return fail();
        }
        // --from and --count count the rows in sorted order.
        CTableCursor cursor(*session.GetTableData());
        RowCells cells;
        std::string out;
        const uint64_t end =
            a.hasCount ? std::min<uint64_t>(rows.size(), a.from - 1 + a.count) : rows.size();
        for (uint64_t i = a.from - 1; i < end; ++i) {
            if (!cursor.GetRow(static_cast<size_t>(rows[i]), cells)) {
                error = u"行データの読み取りに失敗しました。";
                return fail();
            }
            AppendRowLine(cells, out);
            if (out.size() >= (1 << 20)) {
                if (!PrintOutUtf8(out)) return OutputFailed() ? kExitFailure : fail();
                out.clear();
            }
        }
        job.EndProgress();
        if (!PrintOutUtf8(out)) return OutputFailed() ? kExitFailure : fail();
        return kExitOk;
    }

    // Rows are tested and printed as the dump gives them; nothing is kept but the output
    // not yet written, and the dump is read no further than the last row asked for.
    std::string out;
    uint64_t skip = a.from - 1;
    uint64_t left = a.count;
    bool outputFailed = false;
    const RowStreamReceiver print = [&](CStreamRow& row, std::u16string&) {
        if (skip > 0) {
            --skip;
            return RowStreamStep::Next;
        }
        AppendRowLine(row.Cells(), out);
        if (out.size() >= (1 << 20)) {
            // A reader that has gone (or a full disk) ends the work here.
            if (!PrintOutUtf8(out)) {
                outputFailed = true;
                return RowStreamStep::Fail;
            }
            out.clear();
        }
        if (a.hasCount && --left == 0) return RowStreamStep::Stop;
        return RowStreamStep::Next;
    };
    if (!(a.hasCount && a.count == 0) &&
        !StreamTableRows(*session.GetDump(), table, a.filtered ? &filter : nullptr, &job, print,
                         error)) {
        // A failed write is reported once, when the output is closed.
        if (outputFailed) return OutputFailed() ? kExitFailure : fail();
        return fail();
    }
    job.EndProgress();
    if (!PrintOutUtf8(out)) return OutputFailed() ? kExitFailure : fail();
    return kExitOk;
}
