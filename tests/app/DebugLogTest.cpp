#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

#include "app/DebugLog.h"
#include "platform/LocalTime.h"
#include "settings/Settings.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"

namespace {

const std::regex kHeaderPattern(
    "==== Kalvex 1\\.0\\.0 debug (\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}) file=(.*)");

}  // namespace

TEST(DebugLogTest, OnWhenSettingOrVariableExists) {
    ScopedEnv env("KALVEX_DEBUG");
    struct Case {
        bool debug;
        std::optional<std::string> variable;
        bool expected;
    };
    const Case cases[] = {
        {false, std::nullopt, false}, {true, std::nullopt, true}, {false, "", true},
        {false, "0", true},           {false, "1", true},         {true, "", true},
    };
    for (const Case& c : cases) {
        if (c.variable) {
            env.Set(*c.variable);
        } else {
            env.Unset();
        }
        AppSettings settings;
        settings.debug = c.debug;
        EXPECT_EQ(IsDebugLogOn(settings), c.expected)
            << "debug=" << c.debug << " KALVEX_DEBUG=" << c.variable.value_or("(unset)");
    }
}

TEST(DebugLogTest, LogLivesBesideSettingsFile) {
    struct Case {
        const char16_t* settingsPath;
        const char* expected;
    };
    const Case cases[] = {
        {u"/home/u/.config/Kalvex/Kalvex.ini", "/home/u/.config/Kalvex/Kalvex.log"},
        {u"/etc/custom.ini", "/etc/Kalvex.log"},
        {u"C:\\Tools\\Kalvex.ini", "C:\\Tools\\Kalvex.log"},
        {u"conf/my.ini", "conf/Kalvex.log"},
        {u"my.ini", "Kalvex.log"},
        {u"", "Kalvex.log"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(GetDebugLogPath(c.settingsPath)), c.expected) << U8(c.settingsPath);
    }
}

TEST(DebugLogTest, AppendKeepsEarlierLines) {
    ScratchDir dir;
    dir.Write("Kalvex.log", "old\r\n");
    const std::u16string path = dir.FileW("Kalvex.log");
    AppendDebugLogLine(path, u"first");
    AppendDebugLogLine(path, u"second 日本語");
    EXPECT_EQ(ReadFileBytes(dir.File("Kalvex.log")), "old\r\nfirst\r\nsecond 日本語\r\n");
}

TEST(DebugLogTest, AppendCreatesFileWithoutBom) {
    ScratchDir dir;
    const std::u16string path = dir.FileW("new.log");
    AppendDebugLogLine(path, u"");
    AppendDebugLogLine(path, u"ライン");
    EXPECT_EQ(ReadFileBytes(dir.File("new.log")), "\r\nライン\r\n");
}

TEST(DebugLogTest, UnwritableLogIsIgnored) {
    ScratchDir dir;
    dir.Write("not-a-folder", "keep");
    AppendDebugLogLine(dir.FileW("not-a-folder/Kalvex.log"), u"line");
    AppendDebugLogLine(U16(dir.Path()), u"line");
    AppendDebugLogLine(u"", u"line");
    EXPECT_EQ(ReadFileBytes(dir.File("not-a-folder")), "keep");
}

TEST(DebugLogTest, HeaderHasVersionTimeAndPath) {
    const std::string before = U8(platform::FormatDateTime(platform::GetLocalTime()));
    const std::string header = U8(MakeDebugLogHeader(u"/data/dump.backup"));
    const std::string after = U8(platform::FormatDateTime(platform::GetLocalTime()));

    std::smatch m;
    ASSERT_TRUE(std::regex_match(header, m, kHeaderPattern)) << header;
    EXPECT_TRUE(m[1].str() == before || m[1].str() == after) << header;
    EXPECT_EQ(m[2].str(), "/data/dump.backup");
}

TEST(DebugLogTest, HeaderCarriesJapanesePathAsUtf8) {
    ScratchDir dir;
    const std::u16string dumpPath = u"/データ/売上 2024.dump";
    AppendDebugLogLine(dir.FileW("Kalvex.log"), MakeDebugLogHeader(dumpPath));
    const std::string bytes = ReadFileBytes(dir.File("Kalvex.log"));

    const std::string utf8Path =
        "/\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF/"
        "\xE5\xA3\xB2\xE4\xB8\x8A 2024.dump";
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    const std::string line = bytes.substr(0, bytes.size() - 2);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, kHeaderPattern)) << line;
    EXPECT_EQ(m[2].str(), utf8Path);
}
