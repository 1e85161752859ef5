#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dump/DumpModel.h"
#include "store/CellValue.h"

// Texts of the main window that do not depend on the user interface toolkit.

// The status line while no dump is open.
inline constexpr const char16_t* kOpenDumpPrompt =
    u"ダンプファイルを開いてください(ファイルのドラッグ&ドロップも可)";

// "Kalvex", or "Kalvex - " + the file name of the open dump's path.
std::u16string MakeWindowTitle(const std::u16string* dumpPath);
// Format, tables (all of a whole cluster), encoding and server of an opened dump.
std::u16string MakeDumpSummary(const DumpInfo& info, size_t tableCount);

// Status line after a table was loaded, has no rows in the dump, or was not loaded.
std::u16string MakeTableLoadedStatus(const TableEntry& table, uint64_t rowCount);
std::u16string MakeSchemaOnlyStatus(const TableEntry& table);
std::u16string MakeLoadStoppedStatus(const TableEntry& table);

// What a grid cell shows: "(NULL)", line breaks and tabs as arrows, other control
// characters as spaces, cut after 300 characters with "...".
std::u16string FormatCellText(const CellValue& cell);
