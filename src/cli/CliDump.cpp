#include "cli/CliDump.h"

#include "app/DumpSession.h"
#include "app/SortedView.h"
#include "platform/Utf8.h"
#include "settings/Settings.h"

std::u16string DumpPathArgument(const std::string& argument) {
    return argument == "-" ? std::u16string(u"/dev/stdin") : platform::Utf8ToUtf16(argument);
}

bool OpenDumpForTables(CDumpSession& session, const std::string& path, IJobContext& job,
                       std::u16string& error) {
    std::unique_ptr<IDumpFile> dump =
        CDumpSession::OpenDump(DumpPathArgument(path), false, &job, error);
    if (!dump) return false;
    session.SetDump(std::move(dump));
    return true;
}

ptrdiff_t FindTableArgument(const CDumpSession& session, const std::string& name,
                            const std::string* database, std::u16string& error) {
    const std::u16string wantedDatabase =
        database != nullptr ? platform::Utf8ToUtf16(*database) : std::u16string();
    return session.FindTable(platform::Utf8ToUtf16(name),
                             database != nullptr ? &wantedDatabase : nullptr, error);
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

size_t CliSortMemoryBytes() {
    AppSettings settings;
    LoadSettings(GetSettingsPath(), settings);
    return SortMemoryBytes(settings.sortMemoryMb);
}
