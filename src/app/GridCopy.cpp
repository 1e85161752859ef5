#include "app/GridCopy.h"

#include "app/WindowText.h"

std::u16string MakeCopiedRowsText(const TableEntry& table, const std::vector<int>& columns,
                                  const std::vector<RowCells>& rows) {
    std::u16string text;
    auto valid = [](int position, size_t count) {
        return position >= 0 && static_cast<size_t>(position) < count;
    };
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) text += u'\t';
        if (valid(columns[i], table.columns.size())) {
            // A name is shown as its header shows it: on one line.
            text += FormatCellText(
                CellValue{false, table.columns[static_cast<size_t>(columns[i])].name});
        }
    }
    text += u"\r\n";
    for (const RowCells& cells : rows) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) text += u'\t';
            if (valid(columns[i], cells.size())) {
                text += FormatCellText(cells[static_cast<size_t>(columns[i])]);
            }
        }
        text += u"\r\n";
    }
    return text;
}
