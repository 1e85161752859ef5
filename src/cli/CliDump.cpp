#include "cli/CliDump.h"

#include "dump/ArchiveDump.h"
#include "app/CreateDumpReader.h"
#include "jobs/JobContext.h"
#include "platform/Utf8.h"

std::unique_ptr<IDumpFile> OpenScannedDump(const std::string& path, IJobContext& job,
                                           std::u16string& error) {
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(platform::Utf8ToUtf16(path), error);
    if (!dump) return nullptr;
    if (!dump->Scan(&job, error)) {
        if (error.empty()) error = kCancelledMessage;
        return nullptr;
    }
    return dump;
}

std::unique_ptr<IDumpFile> OpenDumpForTables(const std::string& path, IJobContext& job,
                                             std::u16string& error) {
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(platform::Utf8ToUtf16(path), error);
    if (!dump || dynamic_cast<CArchiveDump*>(dump.get()) != nullptr) return dump;
    if (!dump->Scan(&job, error)) {
        if (error.empty()) error = kCancelledMessage;
        return nullptr;
    }
    return dump;
}

const TableEntry* FindTableArgument(IDumpFile& dump, const std::string& name,
                                    const std::string* database, std::u16string& error) {
    const std::u16string wanted = platform::Utf8ToUtf16(name);
    const std::u16string wantedDatabase =
        database != nullptr ? platform::Utf8ToUtf16(*database) : std::u16string();
    const TableEntry* qualified = nullptr;
    const TableEntry* bare = nullptr;
    size_t qualifiedCount = 0;
    size_t bareCount = 0;
    for (const TableEntry& table : dump.GetTables()) {
        if (database != nullptr && table.database != wantedDatabase) continue;
        if (table.QualifiedName() == wanted) {
            if (qualifiedCount++ == 0) qualified = &table;
        } else if (table.name == wanted) {
            if (bareCount++ == 0) bare = &table;
        }
    }
    // The name as the table list shows it wins over a bare table name.
    if (qualifiedCount == 1) return qualified;
    if (qualifiedCount == 0 && bareCount == 1) return bare;
    if (qualifiedCount + bareCount == 0) {
        error = u"テーブルが見つかりません(" + wanted + u")。";
    } else {
        error = u"テーブル名が一意ではありません(" + wanted +
                u")。スキーマ名やデータベース名(--database)を付けて指定してください。";
    }
    return nullptr;
}

bool ParseCount(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}
