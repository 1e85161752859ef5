#include "app/WindowText.h"

#include <algorithm>
#include <string>

#include "app/AppText.h"
#include "platform/WideChar.h"

std::u16string MakeWindowTitle(const std::u16string* dumpPath) {
    if (dumpPath == nullptr) return u"Kalvex";
    return u"Kalvex - " + FileNameOf(*dumpPath);
}

std::u16string MakeDumpSummary(const DumpInfo& info, size_t tableCount) {
    std::u16string text = info.formatName;
    if (info.isCluster) text += u" (pg_dumpall)";
    text += u"  テーブル " + platform::FormatDecimal(static_cast<int64_t>(tableCount));
    text += u"  エンコーディング " + info.encoding;
    if (!info.serverVersion.empty()) text += u"  サーバー " + info.serverVersion;
    return text;
}

std::u16string MakeTableLoadedStatus(const TableEntry& table, uint64_t rowCount) {
    return table.QualifiedName() + u": " + FormatThousands(rowCount) + u" 行、" +
           platform::FormatDecimal(static_cast<int64_t>(table.columns.size())) + u" 列";
}

std::u16string MakeSchemaOnlyStatus(const TableEntry& table) {
    return table.QualifiedName() + u": 行データはダンプに含まれていません(スキーマのみ)";
}

std::u16string MakeLoadStoppedStatus(const TableEntry& table) {
    return table.QualifiedName() + u": 読み込みを中止しました";
}

std::u16string FormatCellText(const CellValue& cell) {
    if (cell.isNull) return u"(NULL)";
    constexpr size_t kMaxShown = 300;
    std::u16string text;
    text.reserve(std::min(cell.text.size(), kMaxShown + 3));
    for (char16_t c : cell.text) {
        if (c == u'\r') continue;
        if (c == u'\n') {
            text += u'\u21B5';
        } else if (c == u'\t') {
            text += u'\u2192';
        } else if (c < 0x20) {
            text += u' ';
        } else {
            text += c;
        }
        if (text.size() >= kMaxShown) {
            text += u"...";
            break;
        }
    }
    return text;
}
