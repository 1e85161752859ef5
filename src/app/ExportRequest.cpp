#include "app/ExportRequest.h"

#include "app/AppText.h"
#include "app/DumpSession.h"
#include "app/TableListing.h"
#include "export/ExportText.h"
#include "store/TableData.h"

std::u16string MakeCsvExportInfo(const std::u16string& qualifiedName, uint64_t rowCount,
                                 bool filtered, size_t matchCount) {
    std::u16string info = qualifiedName + u"  (" + FormatThousands(rowCount) + u" 行";
    if (filtered) info += u"、絞り込み " + FormatThousands(matchCount) + u" 行";
    return info + u")";
}

std::u16string MakeCsvFinishedMessage(uint64_t rowsWritten, const std::u16string& path) {
    return u"CSV出力が終了しました(" + FormatThousands(rowsWritten) + u" 行)。\n" + path;
}

std::vector<uint64_t> ExportRowsOf(const CDumpSession& session, CsvScope scope, size_t pageStart,
                                   size_t pageSize) {
    const CTableData* data = session.GetTableData();
    if (data == nullptr) return {};
    return CsvRowList(scope, data->GetRowCount(), session.IsFiltered(), session.GetMatches(),
                      pageStart, pageSize);
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
