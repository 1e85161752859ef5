#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dump/DumpModel.h"
#include "filter/TextSearch.h"
#include "filter/WhereEval.h"
#include "filter/WhereTypes.h"
#include "store/CellValue.h"

class CTableData;
class IJobContext;

// The row filter of the main window and the command line: a keyword and a WHERE condition,
// compiled once, then tested against every row of a table.
class CRowFilter {
public:
    // Reads one row into cells; false when it cannot be read.
    using RowReader = std::function<bool(size_t row, RowCells& cells)>;

    CRowFilter() = default;
    CRowFilter(const CRowFilter&) = delete;
    CRowFilter& operator=(const CRowFilter&) = delete;

    // Compiles where and binds it to a copy of columns; the keyword is lower-cased (ASCII).
    // On failure error is "WHERE 条件式が不正です。\n" and the reason.
    bool Prepare(const std::u16string& where, const std::u16string& keyword,
                 const std::vector<ColumnInfo>& columns, std::u16string& error);

    bool HasWhere() const { return m_root != nullptr; }
    const std::u16string& Keyword() const { return m_keyword; }
    // Neither a condition nor a keyword: the caller shows all rows instead of filtering.
    bool IsEmpty() const { return !HasWhere() && m_keyword.empty(); }

    // Keyword first, then the condition. Throws WhereError from the condition.
    bool Matches(const RowCells& cells);

    // The columns Matches reads as a mask for CopyFieldsToCells: empty when it reads every
    // cell (a keyword, or nothing to test), else the condition's columns (all false when it
    // names none).
    const std::vector<bool>& CellsRead() const { return m_cellsRead; }

    // Tests rows 0 .. GetRowCount() - 1 in order and fills matches with the passing row
    // numbers, ascending. job may be null; otherwise it is polled and told the progress
    // every 4,096 rows. On failure matches is empty and error holds the message. Reads
    // through a cursor of its own, so it may run on a job's thread beside other readers.
    bool Run(const CTableData& table, IJobContext* job, std::vector<size_t>& matches,
             std::u16string& error);
    bool Run(size_t rowCount, const RowReader& readRow, IJobContext* job,
             std::vector<size_t>& matches, std::u16string& error);

private:
    template <typename ReadRow>
    bool RunRows(size_t rowCount, ReadRow&& readRow, IJobContext* job, std::vector<size_t>& matches,
                 std::u16string& error);

    std::unique_ptr<WhereNode> m_root;
    std::vector<ColumnInfo> m_columns;
    std::unique_ptr<CWhereEvaluator> m_evaluator;
    std::u16string m_keyword;
    text_search::CFoldedNeedle m_needle;
    std::vector<bool> m_cellsRead;
};

// True when some non-NULL cell contains the keyword, comparing with the cell's ASCII letters
// lower-cased; the needle holds the keyword in lower case.
bool RowContainsKeyword(const RowCells& cells, const text_search::CFoldedNeedle& keyword);

// Prepare and Run in one call, for callers with nothing to do in between.
bool FilterTableRows(const CTableData& table, const std::vector<ColumnInfo>& columns,
                     const std::u16string& where, const std::u16string& keyword, IJobContext* job,
                     std::vector<size_t>& matches, std::u16string& error);
