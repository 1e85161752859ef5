#include "app/DumpCheck.h"

#include <memory>

#include "app/CheckSink.h"
#include "jobs/JobContext.h"
#include "platform/WideChar.h"

namespace {

size_t ExpectedFields(const TableEntry& table) {
    return !table.copyColumns.empty() ? table.copyColumns.size() : table.columns.size();
}

std::u16string Decimal(uint64_t value) {
    return platform::FormatDecimal(static_cast<int64_t>(value));
}

}  // namespace

bool CheckDump(IDumpFile& dump, const std::vector<size_t>& tables, IJobContext* job,
               std::vector<TableCheck>& checks, std::u16string& error) {
    const std::vector<TableEntry>& entries = dump.GetTables();
    std::vector<std::unique_ptr<CCheckSink>> sinks(entries.size());
    for (size_t index : tables)
        sinks[index] = std::make_unique<CCheckSink>(ExpectedFields(entries[index]));

    std::vector<TableReadResult> results;
    dump.ReadTablesData(
        tables, [&sinks](size_t index) -> IDataSink* { return sinks[index].get(); }, job, false,
        results);
    if (job != nullptr && job->IsCancelled()) {
        error = kCancelledMessage;
        return false;
    }

    checks.clear();
    for (size_t i = 0; i < tables.size(); ++i) {
        CCheckSink& sink = *sinks[tables[i]];
        sink.Finish();
        TableCheck check;
        check.tableIndex = tables[i];
        check.rows = sink.Rows();
        if (!results[i].ok) {
            check.whole = false;
            check.message = results[i].error;
        } else if (entries[tables[i]].dataCut) {
            check.whole = false;
            check.message = u"COPY データが途中で終わっています。";
        } else if (sink.BadRow() != 0) {
            check.whole = false;
            check.message = u"列数が一致しない行があります(行 " + Decimal(sink.BadRow()) + u")。";
        }
        checks.push_back(std::move(check));
    }
    return true;
}

size_t CountDamaged(const std::vector<TableCheck>& checks) {
    size_t damaged = 0;
    for (const TableCheck& check : checks) damaged += check.whole ? 0 : 1;
    return damaged;
}

std::u16string CheckSummary(const std::vector<TableCheck>& checks) {
    const size_t damaged = CountDamaged(checks);
    return u"テーブル " + Decimal(checks.size()) + u" 個を検査しました(正常 " +
           Decimal(checks.size() - damaged) + u" 個、異常 " + Decimal(damaged) + u" 個)";
}

std::u16string CheckStatusText(const TableCheck& check) {
    return check.whole ? std::u16string(u"正常") : check.message;
}

std::u16string CheckListText(const std::vector<TableEntry>& entries,
                             const std::vector<TableCheck>& checks) {
    std::u16string text = u"テーブル\t件数\t状態\r\n";
    for (const TableCheck& check : checks) {
        text += entries[check.tableIndex].QualifiedName() + u'\t' + Decimal(check.rows) + u'\t' +
                CheckStatusText(check) + u"\r\n";
    }
    return text;
}
