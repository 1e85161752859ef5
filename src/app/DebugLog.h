#pragma once

#include <string>

struct AppSettings;

// The program version written into the log's header lines.
inline constexpr const char16_t* kProgramVersion = u"1.0.0";

// On when DEBUG is set in the settings or the KALVEX_DEBUG variable exists at all.
bool IsDebugLogOn(const AppSettings& settings);
// Kalvex.log in the folder of the settings file.
std::u16string GetDebugLogPath(const std::u16string& settingsPath);
// Appends line + CR LF as UTF-8; failures are ignored.
void AppendDebugLogLine(const std::u16string& path, const std::u16string& line);
// "==== Kalvex 1.0.0 debug YYYY/MM/DD hh:mm:ss file=" + the path being opened.
std::u16string MakeDebugLogHeader(const std::u16string& dumpPath);
