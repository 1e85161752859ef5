#include "filter/RowFilter.h"

#include <algorithm>

#include "filter/TextSearch.h"
#include "filter/WhereParser.h"
#include "jobs/JobContext.h"
#include "platform/AsciiCase.h"
#include "platform/WideChar.h"
#include "store/TableCursor.h"
#include "store/TableData.h"

namespace {

constexpr size_t kPollInterval = 4096;

// The columns a bound condition reads; the tree is walked without recursion, since long
// AND/OR chains make it deep.
std::vector<bool> ColumnsReadBy(const WhereNode& root, size_t columnCount) {
    std::vector<bool> wanted(columnCount, false);
    std::vector<const WhereNode*> pending = {&root};
    while (!pending.empty()) {
        const WhereNode* node = pending.back();
        pending.pop_back();
        if (node->kind == WhereNodeKind::Column && node->columnIndex >= 0) {
            const size_t index = static_cast<size_t>(node->columnIndex);
            if (index >= wanted.size()) wanted.resize(index + 1, false);
            wanted[index] = true;
        }
        for (const auto& child : node->children) pending.push_back(child.get());
    }
    return wanted;
}

}  // namespace

bool RowContainsKeyword(const RowCells& cells, const text_search::CFoldedNeedle& keyword) {
    if (keyword.Empty()) return true;
    for (const CellValue& cell : cells) {
        if (!cell.isNull && keyword.FoundIn(cell.text)) return true;
    }
    return false;
}

bool CRowFilter::Prepare(const std::u16string& where, const std::u16string& keyword,
                         const std::vector<ColumnInfo>& columns, std::u16string& error) {
    m_evaluator.reset();
    m_root.reset();
    m_columns = columns;
    m_keyword = keyword;
    for (char16_t& c : m_keyword) c = platform::ToLowerAscii(c);
    m_needle = text_search::CFoldedNeedle(m_keyword);
    try {
        std::unique_ptr<WhereNode> root;
        CompileWhere(where, root);
        if (root) ResolveWhereColumns(*root, m_columns);
        m_root = std::move(root);
    } catch (const WhereError& e) {
        error = u"WHERE 条件式が不正です。\n" + e.message;
        return false;
    }
    if (m_root) m_evaluator = std::make_unique<CWhereEvaluator>(m_columns);
    // The keyword looks at every cell; a condition alone needs only the cells it names
    // converted to text.
    m_cellsRead.clear();
    if (m_keyword.empty() && m_root != nullptr) {
        m_cellsRead = ColumnsReadBy(*m_root, m_columns.size());
        // An empty list would mean every column: keep one entry to say "none".
        if (m_cellsRead.empty()) m_cellsRead.push_back(false);
    }
    return true;
}

bool CRowFilter::Matches(const RowCells& cells) {
    if (!m_keyword.empty() && !RowContainsKeyword(cells, m_needle)) return false;
    if (!m_root) return true;
    return IsWhereValueTrue(m_evaluator->Evaluate(*m_root, cells));
}

template <typename ReadRow>
bool CRowFilter::RunRows(size_t rowCount, ReadRow&& readRow, IJobContext* job,
                         std::vector<size_t>& matches, std::u16string& error) {
    matches.clear();
    RowCells cells;
    for (size_t i = 0; i < rowCount; ++i) {
        if (!readRow(i, cells)) {
            matches.clear();
            error =
                u"行データの読み取りに失敗しました(行 " + platform::FormatDecimal(i + 1) + u")。";
            return false;
        }
        bool pass = true;
        try {
            pass = Matches(cells);
        } catch (const WhereError& e) {
            matches.clear();
            error = u"WHERE 条件式の評価に失敗しました。\n" + e.message;
            return false;
        }
        if (pass) matches.push_back(i);
        if (job && i % kPollInterval == 0) {
            if (job->IsCancelled()) {
                matches.clear();
                error = kCancelledMessage;
                return false;
            }
            job->SetProgress(static_cast<int>(i * 100 / std::max<size_t>(rowCount, 1)));
        }
    }
    return true;
}

bool CRowFilter::Run(const CTableData& table, IJobContext* job, std::vector<size_t>& matches,
                     std::u16string& error) {
    CTableCursor cursor(table);
    if (!m_cellsRead.empty()) {
        const std::vector<bool>& wanted = m_cellsRead;
        return RunRows(
            table.GetRowCount(),
            [&cursor, &wanted](size_t row, RowCells& cells) {
                return cursor.GetRowColumns(row, wanted, cells);
            },
            job, matches, error);
    }
    return RunRows(
        table.GetRowCount(),
        [&cursor](size_t row, RowCells& cells) { return cursor.GetRow(row, cells); }, job, matches,
        error);
}

bool CRowFilter::Run(size_t rowCount, const RowReader& readRow, IJobContext* job,
                     std::vector<size_t>& matches, std::u16string& error) {
    return RunRows(rowCount, readRow, job, matches, error);
}

bool FilterTableRows(const CTableData& table, const std::vector<ColumnInfo>& columns,
                     const std::u16string& where, const std::u16string& keyword, IJobContext* job,
                     std::vector<size_t>& matches, std::u16string& error) {
    matches.clear();
    CRowFilter filter;
    if (!filter.Prepare(where, keyword, columns, error)) return false;
    return filter.Run(table, job, matches, error);
}
