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
                                 bool filtered, size_t matchCount);
// "CSV出力が終了しました(1,234 行)。" and the path on the next line.
std::u16string MakeCsvFinishedMessage(uint64_t rowsWritten, const std::u16string& path);

// The store rows a scope covers in the session's loaded table: every row, the filter's
// matches, or the rows of the grid page that starts at view row pageStart.
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
