#pragma once

#include <cstdint>
#include <string>

#include "export/CsvOptions.h"

// The user settings, stored as KEY=VALUE lines in Kalvex.ini.
struct AppSettings {
    bool debug = false;            // DEBUG
    int32_t pageSize = 1000;       // PAGE_SIZE, 10..100000 after loading
    CsvOptions csv;                // CSV_*
    std::u16string lastDir;        // LAST_DIR
    int32_t windowWidth = 0;       // WINDOW_WIDTH
    int32_t windowHeight = 0;      // WINDOW_HEIGHT
    bool windowMaximized = false;  // WINDOW_MAXIMIZED
    int32_t listWidth = 0;         // LIST_WIDTH, pixels; 0: the window's own width
    int32_t sortMemoryMb = 256;    // SORT_MEMORY_MB, at least 1 after loading
};

// KALVEX_INIFILE_PATH when set and not empty, else Kalvex.ini in the configuration folder.
std::u16string GetSettingsPath();
// False when the file cannot be read; the record then keeps every field.
bool LoadSettings(const std::u16string& path, AppSettings& settings);
// Writes the whole file in the fixed layout; creates the folder when it is missing.
bool SaveSettings(const std::u16string& path, const AppSettings& settings);
std::u16string TrimSpaces(const std::u16string& text);
