#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/CsvOptions.h"

class CDumpSession;
class IDumpFile;
struct TableEntry;

// What the main window's CSV export and DDL commands hand to their dialogs and to the
// writer, worked out without any user interface.

// The summary above the CSV options: "schema.name  (1,234 行)", or while filtered
// "schema.name  (1,234 行、絞り込み 56 行)".
std::u16string MakeCsvExportInfo(const std::u16string& qualifiedName, uint64_t rowCount,
                                 bool filtered, size_t matchCount, bool sorted = false);
// "CSV出力が終了しました(1,234 行)。" and the path on the next line.
std::u16string MakeCsvFinishedMessage(uint64_t rowsWritten, const std::u16string& path);

// True when the scope is every row of a filtered, sorted view: that order covers only the
// matches, so the export sorts the whole table by the same keys first.
bool ExportNeedsFullSort(const CDumpSession& session, CsvScope scope);
// The store rows in the order a sort of every row (RunSort without view rows) gave.
std::vector<uint64_t> SortedTableRows(const std::vector<uint32_t>& order);

// The store rows a scope covers in the session's loaded table: every row, the filter's
// matches, or the rows of the grid page that starts at view row pageStart; in the order on
// screen while the view is sorted.
std::vector<uint64_t> ExportRowsOf(const CDumpSession& session, CsvScope scope, size_t pageStart,
                                   size_t pageSize);

// The texts the DDL viewer shows.
struct DdlTexts {
    std::u16string tableName;  // empty when no table is selected
    std::u16string tableDdl;
    std::u16string dumpDdl;
};
// table may be null. selectedDatabase is the database box's text; for a whole-cluster dump
// only the objects of that database make up the whole-dump DDL ("(global)": those outside
// any database).
DdlTexts GatherDdlTexts(const IDumpFile& dump, const TableEntry* table,
                        const std::u16string& selectedDatabase);
