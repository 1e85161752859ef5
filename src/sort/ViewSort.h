#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dump/DumpModel.h"
#include "sort/SortKey.h"

class CTableData;
class IJobContext;

// Puts the rows on view in order by keys. viewRows lists the table rows on view (null: every
// row); order receives view positions (indexes into viewRows, or rows) in sort order, ties
// in view order. Keys are read once with cursors of the sort's own, on both cores, and
// sorted in runs of at most memoryBytes together; runs that do not fit are written to
// temporary files and merged, and those files are gone when the call returns, whatever the
// outcome. job may be null; on cancel error is the cancel message and order is empty.
bool SortTableView(const CTableData& table, const std::vector<ColumnInfo>& columns,
                   const std::vector<SortKey>& keys, const std::vector<size_t>* viewRows,
                   size_t memoryBytes, IJobContext* job, std::vector<uint32_t>& order,
                   std::u16string& error);
