#include "settings/Settings.h"

#include <cstdint>
#include <string>

#include "platform/AsciiCase.h"
#include "platform/Environment.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "platform/WideChar.h"

namespace {

constexpr const char16_t* kFileName = u"Kalvex.ini";
// Longer override values are treated as absent, as with a MAX_PATH buffer.
constexpr size_t kMaxPathLength = 260;
constexpr int32_t kDefaultPageSize = 1000;
constexpr int32_t kDefaultSortMemoryMb = 256;
constexpr int32_t kMinPageSize = 10;
constexpr int32_t kMaxPageSize = 100000;

bool IsTrimmedSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Y or y means yes; anything else written means no.
bool ParseFlag(const std::u16string& value, bool whenEmpty) {
    if (value.empty()) return whenEmpty;
    return value[0] == u'Y' || value[0] == u'y';
}

// A width in pixels: whole digits only; anything else means the default (0).
int32_t ParseWidth(const std::u16string& value) {
    if (value.empty() || value.size() > 6) return 0;
    for (char16_t c : value) {
        if (c < u'0' || c > u'9') return 0;
    }
    return platform::WideToInt32(value);
}

void ApplySetting(const std::u16string& key, const std::u16string& value, AppSettings& s) {
    if (key == u"DEBUG") {
        s.debug = ParseFlag(value, false);
    } else if (key == u"PAGE_SIZE") {
        s.pageSize = platform::WideToInt32(value);
    } else if (key == u"CSV_DELIMITER") {
        s.csv.delimiter = platform::EqualsIgnoringAsciiCase(value, u"TAB") ? u'\t' : u',';
    } else if (key == u"CSV_HEADER") {
        s.csv.header = ParseFlag(value, true);
    } else if (key == u"CSV_QUOTE_ALL") {
        s.csv.quoteAll = ParseFlag(value, false);
    } else if (key == u"CSV_ENCODING") {
        s.csv.encoding = platform::ToUpperAscii(value);
    } else if (key == u"CSV_NULL_TEXT") {
        s.csv.nullText = value;
    } else if (key == u"LAST_DIR") {
        s.lastDir = value;
    } else if (key == u"WINDOW_WIDTH") {
        s.windowWidth = platform::WideToInt32(value);
    } else if (key == u"WINDOW_HEIGHT") {
        s.windowHeight = platform::WideToInt32(value);
    } else if (key == u"WINDOW_MAXIMIZED") {
        s.windowMaximized = ParseFlag(value, false);
    } else if (key == u"LIST_WIDTH") {
        s.listWidth = ParseWidth(value);
    } else if (key == u"SORT_MEMORY_MB") {
        s.sortMemoryMb = platform::WideToInt32(value);
    }
}

void ParseLine(const std::u16string& raw, AppSettings& s) {
    std::u16string line = TrimSpaces(raw);
    if (line.empty() || line[0] == u';' || line[0] == u'#') return;
    size_t eq = line.find(u'=');
    if (eq == std::u16string::npos) return;
    ApplySetting(platform::ToUpperAscii(TrimSpaces(line.substr(0, eq))),
                 TrimSpaces(line.substr(eq + 1)), s);
}

bool ReadAllBytes(const std::u16string& path, std::string& bytes) {
    platform::CFile file;
    if (!file.OpenRead(path, platform::CFile::AccessHint::Sequential)) return false;
    // Read to the end rather than trusting the size, which may change or be wrong.
    char buffer[16384];
    for (;;) {
        int64_t n = file.Read(buffer, sizeof buffer);
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

const char16_t* YesNo(bool value) {
    return value ? u"Y" : u"N";
}

// A line break inside a value would end its line early and let the rest be read back as
// another key (a folder name may hold one); such a value is not stored at all.
std::u16string SingleLine(const std::u16string& value) {
    return value.find_first_of(u"\r\n") == std::u16string::npos ? value : std::u16string();
}

std::u16string BuildSettingsText(const AppSettings& s) {
    const std::u16string rule = u";" + std::u16string(79, u'*');
    std::u16string text;
    auto line = [&text](const std::u16string& content) {
        text += content;
        text += u"\r\n";
    };
    line(rule);
    line(u"; Kalvex 動作設定ファイル");
    line(rule);
    line(std::u16string(u"DEBUG=") + YesNo(s.debug));
    line(u"PAGE_SIZE=" + platform::FormatDecimal(s.pageSize));
    line(std::u16string(u"CSV_DELIMITER=") + (s.csv.delimiter == u'\t' ? u"TAB" : u"COMMA"));
    line(std::u16string(u"CSV_HEADER=") + YesNo(s.csv.header));
    line(std::u16string(u"CSV_QUOTE_ALL=") + YesNo(s.csv.quoteAll));
    line(u"CSV_ENCODING=" + SingleLine(s.csv.encoding));
    line(u"CSV_NULL_TEXT=" + SingleLine(s.csv.nullText));
    line(u"LAST_DIR=" + SingleLine(s.lastDir));
    line(u"WINDOW_WIDTH=" + platform::FormatDecimal(s.windowWidth));
    line(u"WINDOW_HEIGHT=" + platform::FormatDecimal(s.windowHeight));
    line(std::u16string(u"WINDOW_MAXIMIZED=") + YesNo(s.windowMaximized));
    line(u"LIST_WIDTH=" + platform::FormatDecimal(s.listWidth));
    line(u"SORT_MEMORY_MB=" + platform::FormatDecimal(s.sortMemoryMb));
    return text;
}

}  // namespace

std::u16string TrimSpaces(const std::u16string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsTrimmedSpace(text[begin])) ++begin;
    while (end > begin && IsTrimmedSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::u16string GetSettingsPath() {
    std::u16string overridePath;
    if (platform::GetEnvironmentVariable("KALVEX_INIFILE_PATH", &overridePath) &&
        !overridePath.empty() && overridePath.size() < kMaxPathLength) {
        return overridePath;
    }
    return platform::GetConfigFolder() + kFileName;
}

bool LoadSettings(const std::u16string& path, AppSettings& settings) {
    std::string bytes;
    if (!ReadAllBytes(path, bytes)) return false;

    size_t start = 0;
    if (bytes.size() > 2 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB &&
        static_cast<unsigned char>(bytes[2]) == 0xBF) {
        start = 3;
    }
    std::u16string text = platform::Utf8ToUtf16(bytes.data() + start, bytes.size() - start);

    size_t lineStart = 0;
    for (;;) {
        size_t lf = text.find(u'\n', lineStart);
        if (lf == std::u16string::npos) {
            ParseLine(text.substr(lineStart), settings);
            break;
        }
        ParseLine(text.substr(lineStart, lf - lineStart), settings);
        lineStart = lf + 1;
    }

    // Too small a page is treated as a mistake and falls back to the default.
    if (settings.pageSize < kMinPageSize) {
        settings.pageSize = kDefaultPageSize;
    } else if (settings.pageSize > kMaxPageSize) {
        settings.pageSize = kMaxPageSize;
    }
    if (settings.sortMemoryMb < 1) settings.sortMemoryMb = kDefaultSortMemoryMb;
    if (settings.csv.encoding != u"SJIS" && settings.csv.encoding != u"UTF8") {
        settings.csv.encoding = u"UTF8BOM";
    }
    return true;
}

bool SaveSettings(const std::u16string& path, const AppSettings& settings) {
    // Only "/" separates folders for the system here, so only it marks the folder to create.
    size_t slash = path.rfind(u'/');
    if (slash != std::u16string::npos && slash > 0) {
        platform::CreateDirectories(path.substr(0, slash));
    }

    platform::CFile file;
    if (!file.OpenWrite(path)) return false;
    std::string bytes = "\xEF\xBB\xBF";
    std::u16string text = BuildSettingsText(settings);
    platform::AppendUtf16AsUtf8(text.data(), text.size(), bytes);
    bool ok = file.WriteAll(bytes.data(), bytes.size());
    return file.Close() && ok;
}
