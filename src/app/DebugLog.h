#pragma once

#include <string>

#include "app/ProgramVersion.h"

struct AppSettings;

// On when DEBUG is set in the settings or the KALVEX_DEBUG variable exists at all.
bool IsDebugLogOn(const AppSettings& settings);
// Kalvex.log in the folder of the settings file.
std::u16string GetDebugLogPath(const std::u16string& settingsPath);
// Appends line + CR LF as UTF-8; failures are ignored.
void AppendDebugLogLine(const std::u16string& path, const std::u16string& line);
// "==== Kalvex " + kProgramVersion + " debug YYYY/MM/DD hh:mm:ss file=" + the path being opened.
std::u16string MakeDebugLogHeader(const std::u16string& dumpPath);
