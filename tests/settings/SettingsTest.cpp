#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>

#include "settings/Settings.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"

namespace {

// A record in which every field differs from the defaults.
AppSettings NonDefaultSettings() {
    AppSettings s;
    s.debug = true;
    s.pageSize = 12345;
    s.csv.delimiter = u'\t';
    s.csv.header = false;
    s.csv.quoteAll = true;
    s.csv.encoding = u"SJIS";
    s.csv.nullText = u"(ヌル)";
    s.lastDir = u"/home/ユーザー/dumps";
    s.windowWidth = -20;
    s.windowHeight = 900;
    s.windowMaximized = true;
    s.listWidth = 412;
    return s;
}

void ExpectSameSettings(const AppSettings& expected, const AppSettings& actual) {
    EXPECT_EQ(expected.debug, actual.debug);
    EXPECT_EQ(expected.pageSize, actual.pageSize);
    EXPECT_EQ(expected.csv.delimiter, actual.csv.delimiter);
    EXPECT_EQ(expected.csv.header, actual.csv.header);
    EXPECT_EQ(expected.csv.quoteAll, actual.csv.quoteAll);
    EXPECT_EQ(U8(expected.csv.encoding), U8(actual.csv.encoding));
    EXPECT_EQ(U8(expected.csv.nullText), U8(actual.csv.nullText));
    EXPECT_EQ(U8(expected.lastDir), U8(actual.lastDir));
    EXPECT_EQ(expected.windowWidth, actual.windowWidth);
    EXPECT_EQ(expected.windowHeight, actual.windowHeight);
    EXPECT_EQ(expected.windowMaximized, actual.windowMaximized);
    EXPECT_EQ(expected.listWidth, actual.listWidth);
}

// Loads the given file bytes over a copy of start.
AppSettings LoadBytes(const std::string& bytes, AppSettings start = AppSettings()) {
    ScratchDir dir;
    dir.Write("Kalvex.ini", bytes);
    EXPECT_TRUE(LoadSettings(dir.FileW("Kalvex.ini"), start));
    return start;
}

const std::string kBom = "\xEF\xBB\xBF";

// Bytes of a literal including any NUL inside it.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

}  // namespace

TEST(SettingsTest, TrimSpacesStripsOnlySpaceTabCrLf) {
    EXPECT_EQ(U8(TrimSpaces(u" \t\r\n a = b \r\n\t ")), "a = b");
    EXPECT_EQ(U8(TrimSpaces(u"")), "");
    EXPECT_EQ(U8(TrimSpaces(u" \r\n")), "");
    EXPECT_EQ(U8(TrimSpaces(u"\u3000x\v")), U8(u"\u3000x\v"));
}

TEST(SettingsTest, DefaultsSurviveSaveAndLoad) {
    ScratchDir dir;
    ASSERT_TRUE(SaveSettings(dir.FileW("Kalvex.ini"), AppSettings()));
    AppSettings loaded = NonDefaultSettings();
    ASSERT_TRUE(LoadSettings(dir.FileW("Kalvex.ini"), loaded));
    ExpectSameSettings(AppSettings(), loaded);
}

TEST(SettingsTest, EveryFieldRoundTrips) {
    ScratchDir dir;
    AppSettings saved = NonDefaultSettings();
    ASSERT_TRUE(SaveSettings(dir.FileW("Kalvex.ini"), saved));
    AppSettings loaded;
    ASSERT_TRUE(LoadSettings(dir.FileW("Kalvex.ini"), loaded));
    ExpectSameSettings(saved, loaded);

    saved.csv.encoding = u"UTF8";
    saved.pageSize = 100000;
    saved.windowWidth = INT32_MAX;
    saved.windowHeight = INT32_MIN;
    ASSERT_TRUE(SaveSettings(dir.FileW("Kalvex.ini"), saved));
    ASSERT_TRUE(LoadSettings(dir.FileW("Kalvex.ini"), loaded));
    ExpectSameSettings(saved, loaded);
}

TEST(SettingsTest, SpacesAroundTextValuesAreLostOnRoundTrip) {
    ScratchDir dir;
    AppSettings saved;
    saved.csv.nullText = u"  NULL\t";
    saved.lastDir = u" /data dir/ ";
    ASSERT_TRUE(SaveSettings(dir.FileW("Kalvex.ini"), saved));
    AppSettings loaded;
    ASSERT_TRUE(LoadSettings(dir.FileW("Kalvex.ini"), loaded));
    EXPECT_EQ(U8(loaded.csv.nullText), "NULL");
    EXPECT_EQ(U8(loaded.lastDir), "/data dir/");
}

TEST(SettingsTest, DefaultFileHasExactBytes) {
    ScratchDir dir;
    // A longer old file must not leave a tail behind.
    dir.Write("Kalvex.ini", std::string(5000, '@'));
    ASSERT_TRUE(SaveSettings(dir.FileW("Kalvex.ini"), AppSettings()));
    const std::string rule = ";" + std::string(79, '*') + "\r\n";
    const std::string expected = kBom + rule + "; Kalvex 動作設定ファイル\r\n" + rule +
                                 "DEBUG=N\r\n"
                                 "PAGE_SIZE=1000\r\n"
                                 "CSV_DELIMITER=COMMA\r\n"
                                 "CSV_HEADER=Y\r\n"
                                 "CSV_QUOTE_ALL=N\r\n"
                                 "CSV_ENCODING=UTF8BOM\r\n"
                                 "CSV_NULL_TEXT=\r\n"
                                 "LAST_DIR=\r\n"
                                 "WINDOW_WIDTH=0\r\n"
                                 "WINDOW_HEIGHT=0\r\n"
                                 "WINDOW_MAXIMIZED=N\r\n"
                                 "LIST_WIDTH=0\r\n"
                                 "SORT_MEMORY_MB=256\r\n";
    EXPECT_EQ(ReadFileBytes(dir.File("Kalvex.ini")), expected);
}

TEST(SettingsTest, SaveWritesNonDefaultValuesUnquoted) {
    ScratchDir dir;
    ASSERT_TRUE(SaveSettings(dir.FileW("Kalvex.ini"), NonDefaultSettings()));
    const std::string text = ReadFileBytes(dir.File("Kalvex.ini"));
    for (const char* line :
         {"\nDEBUG=Y\r\n", "\nPAGE_SIZE=12345\r\n", "\nCSV_DELIMITER=TAB\r\n", "\nCSV_HEADER=N\r\n",
          "\nCSV_QUOTE_ALL=Y\r\n", "\nCSV_ENCODING=SJIS\r\n", "\nCSV_NULL_TEXT=(ヌル)\r\n",
          "\nLAST_DIR=/home/ユーザー/dumps\r\n", "\nWINDOW_WIDTH=-20\r\n",
          "\nWINDOW_HEIGHT=900\r\n", "\nWINDOW_MAXIMIZED=Y\r\n", "\nLIST_WIDTH=412\r\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

TEST(SettingsTest, LineBreakInValueCannotPlantKeys) {
    ScratchDir dir;
    AppSettings s;
    s.lastDir = u"/tmp/evil\nDEBUG=Y\r\nPAGE_SIZE=10/";
    s.csv.nullText = u"a\rCSV_QUOTE_ALL=Y";
    ASSERT_TRUE(SaveSettings(dir.FileW("Kalvex.ini"), s));
    AppSettings loaded;
    ASSERT_TRUE(LoadSettings(dir.FileW("Kalvex.ini"), loaded));
    EXPECT_FALSE(loaded.debug);
    EXPECT_FALSE(loaded.csv.quoteAll);
    EXPECT_EQ(loaded.pageSize, 1000);
    EXPECT_EQ(loaded.lastDir, u"");
    EXPECT_EQ(loaded.csv.nullText, u"");
}

TEST(SettingsTest, SaveCreatesMissingNestedFolders) {
    ScratchDir dir;
    const std::string path = dir.File("a/b/c/Kalvex.ini");
    ASSERT_TRUE(SaveSettings(U16(path), NonDefaultSettings()));
    AppSettings loaded;
    ASSERT_TRUE(LoadSettings(U16(path), loaded));
    ExpectSameSettings(NonDefaultSettings(), loaded);
}

TEST(SettingsTest, SaveFailsWhenFolderCannotExist) {
    ScratchDir dir;
    dir.Write("plain-file", "data");
    EXPECT_FALSE(SaveSettings(dir.FileW("plain-file/Kalvex.ini"), AppSettings()));
    EXPECT_FALSE(SaveSettings(dir.FileW("plain-file/sub/Kalvex.ini"), AppSettings()));
    // Saving onto a folder is just as impossible.
    EXPECT_FALSE(SaveSettings(U16(dir.Path()), AppSettings()));
    EXPECT_EQ(ReadFileBytes(dir.File("plain-file")), "data");
}

TEST(SettingsTest, MissingFileFailsAndKeepsRecord) {
    ScratchDir dir;
    for (const std::string& path :
         {dir.File("none.ini"), dir.File("no/such/dir/Kalvex.ini"), dir.Path(), std::string()}) {
        AppSettings s = NonDefaultSettings();
        s.pageSize = 3;  // would be corrected by a load that went ahead
        EXPECT_FALSE(LoadSettings(U16(path), s)) << path;
        AppSettings expected = NonDefaultSettings();
        expected.pageSize = 3;
        ExpectSameSettings(expected, s);
    }
}

TEST(SettingsTest, PageSizeIsParsedAndKeptInRange) {
    struct Case {
        const char* value;
        int32_t expected;
    };
    const Case cases[] = {
        {"500", 500},
        {"5", 1000},
        {"9", 1000},
        {"10", 10},
        {"100000", 100000},
        {"100001", 100000},
        {"200000", 100000},
        {"abc", 1000},
        {"", 1000},
        {"50rows", 50},
        {" -7", 1000},
        {"+500", 500},
        {"0042", 42},
        {"99999999999", 100000},
        {"-99999999999", 1000},
    };
    for (const Case& c : cases) {
        AppSettings s = LoadBytes(std::string("PAGE_SIZE=") + c.value + "\r\n");
        EXPECT_EQ(s.pageSize, c.expected) << "PAGE_SIZE=" << c.value;
    }
}

TEST(SettingsTest, PageSizeIsClampedEvenWhenAbsentFromFile) {
    AppSettings start;
    start.pageSize = 2;
    EXPECT_EQ(LoadBytes("DEBUG=N\r\n", start).pageSize, 1000);
    start.pageSize = 500000;
    EXPECT_EQ(LoadBytes("DEBUG=N\r\n", start).pageSize, 100000);
}

TEST(SettingsTest, WindowSizesParseLikeWcstol) {
    struct Case {
        const char* value;
        int32_t expected;
    };
    // The window sizes are not clamped, so they show the raw number conversion.
    const Case cases[] = {
        {"800", 800},
        {"-7", -7},
        {"+12", 12},
        {"12px", 12},
        {"abc", 0},
        {"", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"\v\f640", 640},
        {"\u3000 640", 640},
        {"\xC2\xA0-3", -3},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"99999999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"-99999999999999999999999", INT32_MIN},
    };
    for (const Case& c : cases) {
        AppSettings s =
            LoadBytes(std::string("WINDOW_WIDTH=") + c.value + "\nWINDOW_HEIGHT=" + c.value + "\n");
        EXPECT_EQ(s.windowWidth, c.expected) << "WINDOW_WIDTH=" << c.value;
        EXPECT_EQ(s.windowHeight, c.expected) << "WINDOW_HEIGHT=" << c.value;
    }
}

// The list width is either a plain count of pixels or the default; never a guess.
TEST(SettingsTest, ListWidthIsWholeDigitsOrTheDefault) {
    struct Case {
        const char* line;
        int32_t expected;
    };
    const Case cases[] = {
        {"list_width = 45", 45}, {"LIST_WIDTH=320px", 0},   {"LIST_WIDTH=-40", 0},
        {"LIST_WIDTH=", 0},      {"LIST_WIDTH=9999999", 0}, {"LIST_WIDTH=\xEF\xBC\x93", 0},
    };
    for (const Case& c : cases) {
        AppSettings start;
        start.listWidth = 777;
        const AppSettings s = LoadBytes(std::string("PAGE_SIZE=50\n") + c.line + "\n", start);
        EXPECT_EQ(s.listWidth, c.expected) << c.line;
        EXPECT_EQ(s.pageSize, 50) << c.line;
    }
}

TEST(SettingsTest, KeysIgnoreCaseAndSurroundingSpace) {
    for (const char* line : {"page_size=500", "Page_Size=500", "PAGE_SIZE = 500",
                             "\t PAGE_SIZE\t=\t500 \t", "  page_size   =500"}) {
        EXPECT_EQ(LoadBytes(std::string(line) + "\r\n").pageSize, 500) << line;
    }
    // Only ASCII letters fold; a look-alike key is unknown.
    EXPECT_EQ(LoadBytes("ＰＡＧＥ_SIZE=500\r\n").pageSize, 1000);
    EXPECT_EQ(LoadBytes("PAGE SIZE=500\r\n").pageSize, 1000);
}

TEST(SettingsTest, DelimiterIsTabOnlyForTab) {
    struct Case {
        const char* value;
        char16_t expected;
    };
    const Case cases[] = {
        {"TAB", u'\t'}, {"tab", u'\t'}, {"Tab", u'\t'}, {"COMMA", u','},
        {";", u','},    {"TABS", u','}, {"", u','},     {"\t", u','},
    };
    for (const Case& c : cases) {
        AppSettings start;
        start.csv.delimiter = c.expected == u'\t' ? u',' : u'\t';
        AppSettings s = LoadBytes(std::string("CSV_DELIMITER=") + c.value + "\n", start);
        EXPECT_EQ(s.csv.delimiter, c.expected) << "CSV_DELIMITER=" << c.value;
    }
}

TEST(SettingsTest, EncodingIsUpperCasedAndChecked) {
    struct Case {
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"SJIS", "SJIS"},       {"sjis", "SJIS"},       {"UTF8", "UTF8"},        {"utf8", "UTF8"},
        {"UTF8BOM", "UTF8BOM"}, {"utf8bom", "UTF8BOM"}, {"UTF-8", "UTF8BOM"},    {"", "UTF8BOM"},
        {"EUC-JP", "UTF8BOM"},  {"SJIS2", "UTF8BOM"},   {"ｓｊｉｓ", "UTF8BOM"},
    };
    for (const Case& c : cases) {
        AppSettings start;
        start.csv.encoding = u"SJIS";
        if (std::string(c.expected) == "SJIS") start.csv.encoding = u"UTF8";
        AppSettings s = LoadBytes(std::string("CSV_ENCODING=") + c.value + "\n", start);
        EXPECT_EQ(U8(s.csv.encoding), c.expected) << "CSV_ENCODING=" << c.value;
    }
}

TEST(SettingsTest, FlagsAreYesOnlyForLeadingY) {
    struct Case {
        const char* key;
        bool AppSettings::*member;  // null for the CSV header flag
        const char* value;
        bool expected;
    };
    const Case cases[] = {
        {"DEBUG", &AppSettings::debug, "yes", true},
        {"DEBUG", &AppSettings::debug, "Yes", true},
        {"DEBUG", &AppSettings::debug, "Y", true},
        {"DEBUG", &AppSettings::debug, "y", true},
        {"DEBUG", &AppSettings::debug, "yellow", true},
        {"DEBUG", &AppSettings::debug, "1", false},
        {"DEBUG", &AppSettings::debug, "TRUE", false},
        {"DEBUG", &AppSettings::debug, "N", false},
        {"DEBUG", &AppSettings::debug, "", false},
        {"DEBUG", &AppSettings::debug, "Ｙ", false},
        {"debug", &AppSettings::debug, "Y", true},
        {"WINDOW_MAXIMIZED", &AppSettings::windowMaximized, "Y", true},
        {"WINDOW_MAXIMIZED", &AppSettings::windowMaximized, "", false},
        {"WINDOW_MAXIMIZED", &AppSettings::windowMaximized, "on", false},
        {"CSV_HEADER", nullptr, "", true},
        {"CSV_HEADER", nullptr, "Y", true},
        {"CSV_HEADER", nullptr, "y", true},
        {"CSV_HEADER", nullptr, "1", false},
        {"CSV_HEADER", nullptr, "N", false},
    };
    for (const Case& c : cases) {
        // Start from the opposite value so an ignored line cannot pass.
        AppSettings start;
        if (c.member != nullptr) {
            start.*c.member = !c.expected;
        } else {
            start.csv.header = !c.expected;
        }
        AppSettings s = LoadBytes(std::string(c.key) + "=" + c.value + "\r\n", start);
        bool actual = c.member != nullptr ? s.*c.member : s.csv.header;
        EXPECT_EQ(actual, c.expected) << c.key << "=" << c.value;
    }
    for (const char* value : {"Y", "", "N", "1"}) {
        AppSettings start;
        start.csv.quoteAll = value[0] != 'Y';
        AppSettings s = LoadBytes(std::string("CSV_QUOTE_ALL=") + value + "\n", start);
        EXPECT_EQ(s.csv.quoteAll, value[0] == 'Y') << "CSV_QUOTE_ALL=" << value;
    }
}

TEST(SettingsTest, LineEndingsAndBomVariants) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"BOM CRLF", kBom + "DEBUG=Y\r\nPAGE_SIZE=500\r\nLAST_DIR=/x\r\n"},
        {"no BOM CRLF", "DEBUG=Y\r\nPAGE_SIZE=500\r\nLAST_DIR=/x\r\n"},
        {"LF only", "DEBUG=Y\nPAGE_SIZE=500\nLAST_DIR=/x\n"},
        {"no final line end", kBom + "DEBUG=Y\r\nPAGE_SIZE=500\r\nLAST_DIR=/x"},
        {"mixed and blank lines", "\n\r\n  \nDEBUG=Y\r\n\nPAGE_SIZE=500\n\r\nLAST_DIR=/x"},
        {"first key right after BOM", kBom + "LAST_DIR=/x\nDEBUG=Y\nPAGE_SIZE=500"},
    };
    for (const Case& c : cases) {
        AppSettings s = LoadBytes(c.bytes);
        EXPECT_TRUE(s.debug) << c.name;
        EXPECT_EQ(s.pageSize, 500) << c.name;
        EXPECT_EQ(U8(s.lastDir), "/x") << c.name;
    }
}

TEST(SettingsTest, ValueKeepsLaterEqualSigns) {
    AppSettings s = LoadBytes("LAST_DIR=/a=b/c = d\nCSV_NULL_TEXT==\n");
    EXPECT_EQ(U8(s.lastDir), "/a=b/c = d");
    EXPECT_EQ(U8(s.csv.nullText), "=");
}

TEST(SettingsTest, CommentsAndMalformedLinesAreSkipped) {
    AppSettings start;
    start.lastDir = u"/keep";
    AppSettings s = LoadBytes(
        "#DEBUG=Y\n;DEBUG=Y\n  ;DEBUG=Y\n\t#DEBUG=Y\nDEBUG\nDEBUG Y\n=Y\n"
        "UNKNOWN=Y\nLAST_DIR\n[Kalvex]\n",
        start);
    EXPECT_FALSE(s.debug);
    EXPECT_EQ(U8(s.lastDir), "/keep");
    // A ';' or '#' later in a line is part of the value, not a comment.
    s = LoadBytes("CSV_NULL_TEXT=a;b#c\n");
    EXPECT_EQ(U8(s.csv.nullText), "a;b#c");
}

TEST(SettingsTest, LastOccurrenceWinsAndAbsentKeysKeepValues) {
    AppSettings start;
    start.lastDir = u"/before";
    start.windowWidth = 640;
    AppSettings s = LoadBytes("PAGE_SIZE=200\nDEBUG=Y\nPAGE_SIZE=300\nDEBUG=N\n", start);
    EXPECT_EQ(s.pageSize, 300);
    EXPECT_FALSE(s.debug);
    EXPECT_EQ(U8(s.lastDir), "/before");
    EXPECT_EQ(s.windowWidth, 640);
    // The range check runs once at the end, on the final value.
    EXPECT_EQ(LoadBytes("PAGE_SIZE=5\nPAGE_SIZE=50\n").pageSize, 50);
}

TEST(SettingsTest, GarbageNeverCrashes) {
    std::string random;
    uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        random += static_cast<char>(state >> 24);
    }
    const std::string inputs[] = {
        "",
        kBom,
        "\xEF\xBB",
        "\xEF",
        std::string(100, '\0'),
        Bytes("DEBUG=Y\0\0\0\n"),
        Bytes("\xFF\xFE\x00\x41\x00=\x00"),
        "PAGE_SIZE=\xF0\x9F\n\xC0\xAF=\xED\xA0\x80\n",
        std::string(70000, '='),
        std::string(70000, '\n'),
        random,
        kBom + random,
    };
    for (const std::string& bytes : inputs) {
        AppSettings s = LoadBytes(bytes);
        EXPECT_GE(s.pageSize, 10);
        EXPECT_LE(s.pageSize, 100000);
        const std::u16string& e = s.csv.encoding;
        EXPECT_TRUE(e == u"UTF8BOM" || e == u"UTF8" || e == u"SJIS");
    }
}

TEST(SettingsTest, ValidLinesSurviveAmongBrokenOnes) {
    AppSettings s = LoadBytes(
        Bytes("\xFF\xFE garbage\n\0\0\nLAST_DIR=/d\xFF\nDEBUG=Y\0tail\n\x80\x81=1\nPAGE_SIZE=700"));
    EXPECT_EQ(U8(s.lastDir), "/d\xEF\xBF\xBD");
    EXPECT_TRUE(s.debug);
    EXPECT_EQ(s.pageSize, 700);
}

TEST(SettingsTest, SettingsPathFromEnvironment) {
    ScopedEnv ini("KALVEX_INIFILE_PATH");
    ScopedEnv xdg("XDG_CONFIG_HOME");
    ScratchDir dir;
    xdg.Set(dir.Path());
    const std::string fallback = dir.Path() + "/Kalvex/Kalvex.ini";

    ini.Unset();
    EXPECT_EQ(U8(GetSettingsPath()), fallback);

    ini.Set("/etc/kalvex/custom.ini");
    EXPECT_EQ(U8(GetSettingsPath()), "/etc/kalvex/custom.ini");

    // Used exactly as given: a relative path stays relative to the current folder.
    ini.Set(" conf/my.ini");
    EXPECT_EQ(U8(GetSettingsPath()), " conf/my.ini");

    ini.Set("");
    EXPECT_EQ(U8(GetSettingsPath()), fallback);

    const std::string longest = "/" + std::string(258, 'a');
    ini.Set(longest);
    EXPECT_EQ(U8(GetSettingsPath()), longest);
    ini.Set(longest + "a");
    EXPECT_EQ(U8(GetSettingsPath()), fallback);

    // The limit counts characters, not UTF-8 bytes.
    std::string japanese = "/";
    for (int i = 0; i < 258; ++i) japanese += "設";
    ini.Set(japanese);
    EXPECT_EQ(U8(GetSettingsPath()), japanese);
}

TEST(SettingsTest, SettingsPathFollowsConfigHome) {
    ScopedEnv ini("KALVEX_INIFILE_PATH");
    ScopedEnv xdg("XDG_CONFIG_HOME");
    ScopedEnv home("HOME");
    ini.Unset();
    ScratchDir dir;

    xdg.Set(dir.File("cfg"));
    const std::u16string path = GetSettingsPath();
    EXPECT_EQ(U8(path), dir.Path() + "/cfg/Kalvex/Kalvex.ini");
    // The first save creates the program's folder inside the configuration folder.
    ASSERT_TRUE(SaveSettings(path, NonDefaultSettings()));
    AppSettings loaded;
    ASSERT_TRUE(LoadSettings(path, loaded));
    ExpectSameSettings(NonDefaultSettings(), loaded);

    xdg.Unset();
    home.Set(dir.File("home"));
    EXPECT_EQ(U8(GetSettingsPath()), dir.Path() + "/home/.config/Kalvex/Kalvex.ini");
}

TEST(SettingsTest, SortMemoryFallsBackWhenNotAPositiveNumber) {
    const struct {
        const char* value;
        int32_t expected;
    } cases[] = {{"64", 64}, {"1", 1}, {"0", 256}, {"-5", 256}, {"abc", 256}, {"", 256}};
    for (const auto& c : cases) {
        AppSettings s = LoadBytes(std::string("SORT_MEMORY_MB=") + c.value + "\r\n");
        EXPECT_EQ(s.sortMemoryMb, c.expected) << c.value;
    }
}
