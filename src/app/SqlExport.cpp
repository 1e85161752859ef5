#include "app/SqlExport.h"

#include <memory>
#include <vector>

#include "app/AppText.h"
#include "dump/DumpModel.h"
#include "filter/RowFilter.h"
#include "store/CopyLine.h"

SqlRowTest MakeFilterRowTest(CRowFilter& filter, const TableEntry& table, int codePage) {
    if (filter.IsEmpty()) return {};
    struct Buffers {
        std::vector<CopyField> fields;
        RowCells cells;
    };
    auto buffers = std::make_shared<Buffers>();
    const size_t columnCount = table.columns.size();
    return [&filter, buffers, columnCount, codePage](const char* line, size_t length,
                                                     std::u16string& error) {
        // Only the cells the test reads are decoded: most rows fail it.
        const std::vector<bool>& read = filter.CellsRead();
        SplitCopyLineColumns(line, length, buffers->fields, codePage, read);
        CopyFieldsToCells(buffers->fields, columnCount, codePage, read, buffers->cells);
        try {
            return filter.Matches(buffers->cells) ? SqlRowVerdict::Keep : SqlRowVerdict::Skip;
        } catch (const WhereError& e) {
            error = u"WHERE 条件式の評価に失敗しました。\n" + e.message;
            return SqlRowVerdict::Fail;
        }
    };
}

std::u16string MakeSqlFinishedMessage(uint64_t rowsWritten, const std::u16string& path) {
    return u"SQL出力が終了しました(" + FormatThousands(rowsWritten) + u" 行)。\n" + path;
}
