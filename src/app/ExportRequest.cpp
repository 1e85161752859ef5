#include "app/ExportRequest.h"

#include <algorithm>

#include "app/AppText.h"
#include "app/DumpSession.h"
#include "app/TableListing.h"
#include "export/ExportText.h"
#include "store/TableData.h"

std::u16string MakeCsvExportInfo(const std::u16string& qualifiedName, uint64_t rowCount,
                                 bool filtered, size_t matchCount, bool sorted) {
    std::u16string info = qualifiedName + u"  (" + FormatThousands(rowCount) + u" 行";
    if (filtered) info += u"、絞り込み " + FormatThousands(matchCount) + u" 行";
    info += u")";
    if (sorted) info += u" (並べ替え順)";
    return info;
}

std::u16string MakeCsvFinishedMessage(uint64_t rowsWritten, const std::u16string& path) {
    return u"CSV出力が終了しました(" + FormatThousands(rowsWritten) + u" 行)。\n" + path;
}

std::vector<uint64_t> ExportRowsOf(const CDumpSession& session, CsvScope scope, size_t pageStart,
                                   size_t pageSize) {
    const CTableData* data = session.GetTableData();
    if (data == nullptr) return {};
    // A sorted view exports in the order on screen; all rows of a filtered view have no
    // such order (ExportNeedsFullSort).
    if (session.IsSorted() && !ExportNeedsFullSort(session, scope)) {
        const size_t viewSize = session.GetViewRowCount();
        size_t begin = 0;
        size_t end = viewSize;
        if (scope == CsvScope_CurrentPage) {
            begin = std::min(pageStart, viewSize);
            end = std::min(pageStart + pageSize, viewSize);
        }
        std::vector<uint64_t> rows;
        rows.reserve(end - begin);
        for (size_t v = begin; v < end; ++v) rows.push_back(session.GetViewRow(v));
        return rows;
    }
    return CsvRowList(scope, data->GetRowCount(), session.IsFiltered(), session.GetMatches(),
                      pageStart, pageSize);
}

bool ExportNeedsFullSort(const CDumpSession& session, CsvScope scope) {
    return session.IsSorted() && session.IsFiltered() && scope == CsvScope_AllRows;
}

std::vector<uint64_t> SortedTableRows(const std::vector<uint32_t>& order) {
    return std::vector<uint64_t>(order.begin(), order.end());
}

DdlTexts GatherDdlTexts(const IDumpFile& dump, const TableEntry* table,
                        const std::u16string& selectedDatabase) {
    DdlTexts texts;
    if (table != nullptr) {
        texts.tableName = table->QualifiedName();
        texts.tableDdl = table->ddl;
    }
    const std::u16string database =
        selectedDatabase == kGlobalDatabaseItem ? std::u16string() : selectedDatabase;
    texts.dumpDdl = BuildWholeDumpDdl(dump.GetDdlObjects(), dump.GetInfo().isCluster, database);
    return texts;
}
