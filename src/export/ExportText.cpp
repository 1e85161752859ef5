#include "export/ExportText.h"

#include <algorithm>

#include "dump/DumpModel.h"

std::u16string ToCrLf(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 20);
    for (char16_t c : text) {
        if (c == u'\r') continue;
        if (c == u'\n') out += u'\r';
        out += c;
    }
    return out;
}

std::string WithUtf8Bom(const std::string& utf8) {
    return "\xEF\xBB\xBF" + utf8;
}

std::u16string BuildWholeDumpDdl(const std::vector<DdlObject>& objects, bool isCluster,
                                 const std::u16string& database) {
    std::u16string out;
    for (const DdlObject& object : objects) {
        if (isCluster && object.database != database) continue;
        out += object.definition;
        out += u"\r\n\r\n";
    }
    return out;
}

namespace {

bool IsReservedInFileName(char16_t c) {
    return c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' ||
           c == u'<' || c == u'>' || c == u'|';
}

}  // namespace

std::u16string DefaultDdlFileName(const std::u16string& tableName, bool wholeDump) {
    std::u16string name = wholeDump           ? u"ddl_all.sql"
                          : tableName.empty() ? u"ddl.sql"
                                              : tableName + u".sql";
    std::replace_if(name.begin(), name.end(), IsReservedInFileName, u'_');
    return name;
}

std::u16string DefaultCsvFileName(const std::u16string& qualifiedName) {
    std::u16string name = qualifiedName;
    std::replace_if(
        name.begin(), name.end(), [](char16_t c) { return c < 0x20 || IsReservedInFileName(c); },
        u'_');
    return name + u".csv";
}

std::vector<uint64_t> CsvRowList(CsvScope scope, uint64_t rowCount, bool filtered,
                                 const std::vector<size_t>& matches, size_t pageStart,
                                 size_t pageSize) {
    std::vector<uint64_t> rows;
    switch (scope) {
        case CsvScope_AllRows:
            rows.reserve(static_cast<size_t>(rowCount));
            for (uint64_t r = 0; r < rowCount; ++r) rows.push_back(r);
            break;
        case CsvScope_FilteredRows:
            rows.assign(matches.begin(), matches.end());
            break;
        case CsvScope_CurrentPage: {
            const size_t viewSize = filtered ? matches.size() : static_cast<size_t>(rowCount);
            const size_t end = std::min(pageStart + pageSize, viewSize);
            for (size_t v = pageStart; v < end; ++v) rows.push_back(filtered ? matches[v] : v);
            break;
        }
    }
    return rows;
}

std::vector<int32_t> CsvColumnList(size_t columnCount, bool visibleOnly,
                                   const std::vector<int32_t>& visibleColumns) {
    if (visibleOnly) return visibleColumns;
    std::vector<int32_t> columns;
    for (size_t i = 0; i < columnCount; ++i) columns.push_back(static_cast<int32_t>(i));
    return columns;
}
