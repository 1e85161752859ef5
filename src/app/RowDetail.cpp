#include "app/RowDetail.h"

#include <algorithm>

namespace {

const std::u16string kNullText = u"(NULL)";

size_t ItemCount(const TableEntry* table, const RowCells& cells) {
    const size_t columns = table != nullptr ? table->columns.size() : 0;
    return std::max(columns, cells.size());
}

const ColumnInfo* ColumnAt(const TableEntry* table, size_t i) {
    if (table == nullptr || i >= table->columns.size()) return nullptr;
    return &table->columns[i];
}

std::u16string ValueAt(const RowCells& cells, size_t i) {
    if (i >= cells.size()) return std::u16string();
    return cells[i].isNull ? kNullText : cells[i].text;
}

std::u16string Decimal(uint64_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string RowDetailHeading(const TableEntry* table, uint64_t rowNumber) {
    const std::u16string name = table != nullptr ? table->QualifiedName() : std::u16string();
    return name + u"  行 " + Decimal(rowNumber);
}

std::vector<RowDetailItem> BuildRowDetailItems(const TableEntry* table, const RowCells& cells) {
    std::vector<RowDetailItem> items;
    const size_t n = ItemCount(table, cells);
    items.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        RowDetailItem item;
        if (const ColumnInfo* column = ColumnAt(table, i)) {
            item.name = column->name;
            item.type = column->type;
        } else {
            item.name = u"(列" + Decimal(i + 1) + u")";
        }
        item.value = ValueAt(cells, i);
        items.push_back(std::move(item));
    }
    return items;
}

std::u16string BuildRowClipboardText(const TableEntry* table, const RowCells& cells) {
    std::u16string text;
    const size_t n = ItemCount(table, cells);
    for (size_t i = 0; i < n; ++i) {
        if (const ColumnInfo* column = ColumnAt(table, i)) text += column->name;
        text += u'\t';
        text += ValueAt(cells, i);
        text += u"\r\n";
    }
    return text;
}
