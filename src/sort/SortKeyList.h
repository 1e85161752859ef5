#pragma once

#include <string>
#include <vector>

#include "dump/DumpModel.h"
#include "sort/SortKey.h"

// "KEY[, KEY ...]", each KEY a column name (double-quoted as in WHERE when it has capitals,
// spaces or other letters) and an optional ASC or DESC. False with a message naming the
// unknown column or the place that is wrong.
bool ParseSortKeys(const std::u16string& text, const std::vector<ColumnInfo>& columns,
                   std::vector<SortKey>& keys, std::u16string& error);

// "amount 降順, id 昇順": every key with its direction, as the status line names them.
std::u16string DescribeSortKeys(const std::vector<SortKey>& keys,
                                const std::vector<ColumnInfo>& columns);

// The keys after a click on a column header: without extend the column becomes the only
// key (ascending, then descending, then no sort); with extend it is added as the next key
// or, when it is one already, turned from ascending to descending to removed.
std::vector<SortKey> ClickSortKeys(const std::vector<SortKey>& keys, size_t column, bool extend);
