#include "support/MemoryDump.h"

#include <algorithm>

MemoryDump::MemoryDump(std::string copyText, int codePage, size_t columns)
    : m_text(std::move(copyText)) {
    m_info.codePage = codePage;
    TableEntry table;
    table.schema = u"public";
    table.name = u"memory";
    table.dataKind = TableDataKind_Copy;
    for (size_t i = 0; i < columns; ++i) {
        ColumnInfo column;
        column.name = u"c" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
        column.type = u"text";
        table.columns.push_back(column);
    }
    m_tables.push_back(table);
}

bool MemoryDump::ReadTableData(const TableEntry&, IDataSink& sink, IJobContext*, std::u16string&) {
    for (size_t r = 0; r < repeat; ++r) {
        size_t pos = 0;
        for (size_t size : pieces) {
            size = std::min(size, m_text.size() - pos);
            if (!sink.Write(m_text.data() + pos, size)) return false;
            pos += size;
        }
        if (pos < m_text.size() && !sink.Write(m_text.data() + pos, m_text.size() - pos)) {
            return false;
        }
    }
    return true;
}
