#include "app/DebugLog.h"

#include <string>

#include "app/AppText.h"
#include "platform/Environment.h"
#include "platform/File.h"
#include "platform/LocalTime.h"
#include "platform/Utf8.h"
#include "settings/Settings.h"

bool IsDebugLogOn(const AppSettings& settings) {
    // The variable switches logging on without touching the settings file, even when empty.
    return settings.debug || platform::GetEnvironmentVariable("KALVEX_DEBUG");
}

std::u16string GetDebugLogPath(const std::u16string& settingsPath) {
    return DirectoryOf(settingsPath) + u"Kalvex.log";
}

void AppendDebugLogLine(const std::u16string& path, const std::u16string& line) {
    // Logging must never get in the way of the user, so every failure is dropped here.
    platform::CFile file;
    if (!file.OpenAppend(path)) return;
    std::string bytes;
    platform::AppendUtf16AsUtf8(line.data(), line.size(), bytes);
    bytes += "\r\n";
    file.WriteAll(bytes.data(), bytes.size());
}

std::u16string MakeDebugLogHeader(const std::u16string& dumpPath) {
    return std::u16string(u"==== Kalvex ") + kProgramVersion + u" debug " +
           platform::FormatDateTime(platform::GetLocalTime()) + u" file=" + dumpPath;
}
