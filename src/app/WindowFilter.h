#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "dump/DumpModel.h"
#include "filter/RowFilter.h"

class CDumpSession;

// What applying the WHERE box and the keyword box does to the loaded table, without the
// window: nothing typed clears the filter, a condition that does not compile is refused
// before any job runs, anything else is a filter to run over every row.
enum class FilterAction { Clear, Reject, Run };

struct FilterPlan {
    FilterAction action = FilterAction::Clear;
    std::unique_ptr<CRowFilter> filter;  // Run: compiled and bound to the table's columns
    std::u16string error;                // Reject: the message for the user
};

// True when where holds anything besides spaces, tabs and line breaks.
bool HasWhereText(const std::u16string& where);

// The keyword is taken as typed (a single space is a keyword); only the condition is
// checked for being blank. The session must have a table loaded.
FilterPlan PlanFilter(const CDumpSession& session, const std::u16string& where,
                      const std::u16string& keyword);

// Status line after a filter: "name: 12 件が一致(全 1,500 件)".
std::u16string MakeFilterStatus(const TableEntry& table, size_t matchCount, uint64_t rowCount);
// Status line after a filter was dropped: "name: 絞り込みを解除しました(1,500 行)".
std::u16string MakeFilterClearedStatus(const TableEntry& table, uint64_t rowCount);
