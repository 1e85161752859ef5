#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dump/DumpFile.h"

// The verdict on one table's data.
struct TableCheck {
    size_t tableIndex = 0;  // position in the dump's table list
    uint64_t rows = 0;      // rows read, up to the damage when there is one
    bool whole = true;
    std::u16string message;  // the first problem; empty when whole
};

// Reads the data of the tables at these positions to their ends, past damaged ones, and
// judges each. Changes nothing in the dump, so it may run on a job's thread while the
// window paints. False only when cancelled (error holds the cancel message).
bool CheckDump(IDumpFile& dump, const std::vector<size_t>& tables, IJobContext* job,
               std::vector<TableCheck>& checks, std::u16string& error);

size_t CountDamaged(const std::vector<TableCheck>& checks);
// "テーブル N 個を検査しました(正常 X 個、異常 Y 個)"
std::u16string CheckSummary(const std::vector<TableCheck>& checks);
// "正常" or the message.
std::u16string CheckStatusText(const TableCheck& check);
// The list as TAB-separated lines with a header, each ending in CR LF.
std::u16string CheckListText(const std::vector<TableEntry>& entries,
                             const std::vector<TableCheck>& checks);
