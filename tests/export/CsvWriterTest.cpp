#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/CsvWriter.h"
#include "platform/File.h"
#include "store/TableData.h"
#include "support/CsvParse.h"
#include "support/MemoryDump.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

struct Loaded {
    explicit Loaded(const std::string& copy, size_t columns = 3) : dump(copy, 65001, columns) {
        TableEntry& t = dump.GetTables()[0];
        const char16_t* names[] = {u"ID", u"名前", u"note,\"x\""};
        for (size_t i = 0; i < t.columns.size() && i < 3; ++i) t.columns[i].name = names[i];
        std::u16string error;
        EXPECT_TRUE(data.Load(dump, dump.Table(), nullptr, error)) << U8(error);
    }
    MemoryDump dump;
    CTableData data;
};

std::vector<uint64_t> AllRows(CTableData& data) {
    std::vector<uint64_t> rows;
    for (size_t i = 0; i < data.GetRowCount(); ++i) rows.push_back(i);
    return rows;
}

std::string Export(Loaded& t, const CsvOptions& options, std::vector<int32_t> columns = {0, 1, 2},
                   std::vector<uint64_t> rows = {}, bool allRows = true) {
    ScratchDir dir;
    if (allRows && rows.empty()) rows = AllRows(t.data);
    uint64_t written = 0;
    std::u16string error;
    EXPECT_TRUE(WriteCsvFile(t.data, t.dump.Table(), columns, rows, options, dir.FileW("out.csv"),
                             nullptr, written, error))
        << U8(error);
    EXPECT_EQ(written, rows.size());
    return ReadFileBytes(dir.File("out.csv"));
}

}  // namespace

TEST(CsvWriterTest, QuotingRules) {
    CsvOptions comma;
    comma.delimiter = u',';
    CsvOptions tab = comma;
    tab.delimiter = u'\t';
    CsvOptions all = comma;
    all.quoteAll = true;
    struct Case {
        std::u16string text;
        const CsvOptions* options;
        bool force;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"plain", &comma, false, u"plain"},
        {u"", &comma, false, u""},
        {u"", &all, false, u"\"\""},
        {u"", &comma, true, u"\"\""},
        {u"a,b", &comma, false, u"\"a,b\""},
        {u"a,b", &tab, false, u"a,b"},
        {u"a\tb", &comma, false, u"a\tb"},
        {u"a\tb", &tab, false, u"\"a\tb\""},
        {u"say \"hi\"", &comma, false, u"\"say \"\"hi\"\"\""},
        {u"line\nbreak", &comma, false, u"\"line\nbreak\""},
        {u"cr\r", &comma, false, u"\"cr\r\""},
        {u"  spaced  ", &comma, false, u"  spaced  "},
        {u"x", &all, false, u"\"x\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QuoteCsvField(c.text, *c.options, c.force), c.expected) << U8(c.text);
}

TEST(CsvWriterTest, HeaderNullsAndFraming) {
    Loaded t("1\tapple\t\\N\n2\t\t\"q\"\n3\tline\\nbreak\ttab\\there\n");
    CsvOptions options;
    options.encoding = u"UTF8";
    const std::string csv = Export(t, options);
    // The header's first field is quoted because it starts with ID.
    EXPECT_EQ(csv,
              "\"ID\",名前,\"note,\"\"x\"\"\"\r\n"
              "1,apple,\r\n"
              "2,,\"\"\"q\"\"\"\r\n"
              "3,\"line\nbreak\",tab\there\r\n");
    std::vector<std::vector<std::string>> records;
    ASSERT_TRUE(ParseCsv(csv, ',', records));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[3][1], "line\nbreak");

    CsvOptions nulls = options;
    nulls.nullText = u"NULL";
    nulls.header = false;
    EXPECT_EQ(Export(t, nulls, {2, 1}),
              "NULL,apple\r\n\"\"\"q\"\"\",\r\ntab\there,\"line\nbreak\"\r\n");

    CsvOptions all = options;
    all.quoteAll = true;
    all.header = false;
    EXPECT_EQ(Export(t, all, {2}), "\"\"\r\n\"\"\"q\"\"\"\r\n\"tab\there\"\r\n");

    // Out-of-range and negative columns read as NULL; an empty column list gives bare lines.
    EXPECT_EQ(Export(t, nulls, {7, -1}), "NULL,NULL\r\nNULL,NULL\r\nNULL,NULL\r\n");
    EXPECT_EQ(Export(t, nulls, {}), "\r\n\r\n\r\n");
    CsvOptions headerOnly = options;
    EXPECT_EQ(Export(t, headerOnly, {1}, {}, false), "名前\r\n");
}

TEST(CsvWriterTest, HeaderIdRule) {
    for (const auto& [name, quoted] : std::vector<std::pair<std::u16string, bool>>{{u"ID", true},
                                                                                   {u"IDX", true},
                                                                                   {u"ID_NO", true},
                                                                                   {u"Id", false},
                                                                                   {u"id", false},
                                                                                   {u"I", false}}) {
        Loaded t("1\n", 1);
        t.dump.GetTables()[0].columns[0].name = name;
        CsvOptions options;
        options.encoding = u"UTF8";
        options.header = true;
        const std::string csv = Export(t, options, {0, 0}, {}, false);
        EXPECT_EQ(csv, (quoted ? "\"" + U8(name) + "\"" : U8(name)) + "," + U8(name) + "\r\n");
    }
}

TEST(CsvWriterTest, Encodings) {
    Loaded t("1\t表ソ\t\xc3\xa9\n");
    CsvOptions options;
    options.header = false;
    options.encoding = u"UTF8BOM";
    EXPECT_EQ(Export(t, options),
              "\xEF\xBB\xBF"
              "1,表ソ,\xc3\xa9\r\n");
    options.encoding = u"UTF8";
    EXPECT_EQ(Export(t, options), "1,表ソ,\xc3\xa9\r\n");
    options.encoding = u"SJIS";
    // Shift_JIS has no é: it becomes "?"; 表 and ソ end in 0x5C.
    EXPECT_EQ(Export(t, options), "1,\x95\x5c\x83\x5c,?\r\n");
    // Anything else is written as UTF-8 without a BOM.
    options.encoding = u"LATIN1";
    EXPECT_EQ(Export(t, options), "1,表ソ,\xc3\xa9\r\n");
    // Bytes that are not UTF-8 become replacement characters, as they do in the grid.
    Loaded broken("a\xff\tb\xe6\x97\n");
    options.encoding = u"UTF8";
    EXPECT_EQ(Export(broken, options, {0, 1}), "a\xEF\xBF\xBD,b\xEF\xBF\xBD\r\n");
    options.encoding = u"SJIS";
    EXPECT_EQ(Export(broken, options, {0, 1}), "a?,b?\r\n");
    Loaded empty("");
    options.encoding = u"UTF8BOM";
    EXPECT_EQ(Export(empty, options, {0}, {}, false), "\xEF\xBB\xBF");
}

TEST(CsvWriterTest, CancellationAndFailures) {
    std::string copy;
    for (int i = 0; i < 9000; ++i) copy += std::to_string(i) + "\tx\ty\n";
    Loaded t(copy);
    ScratchDir dir;
    const std::vector<uint64_t> rows = AllRows(t.data);
    CsvOptions options;
    uint64_t written = 0;
    std::u16string error;

    // The first check, at row 4096, cancels: nothing is left behind.
    TestJob cancel(0);
    EXPECT_FALSE(WriteCsvFile(t.data, t.dump.Table(), {0, 1}, rows, options, dir.FileW("c.csv"),
                              &cancel, written, error));
    EXPECT_EQ(error, u"処理が中止されました。");
    EXPECT_EQ(written, 4096u);
    EXPECT_EQ(platform::GetPathKind(dir.FileW("c.csv")), platform::PathKind::Missing);

    // Fewer rows than one check interval run to the end whatever the job says.
    TestJob ignored(0);
    const std::vector<uint64_t> few(rows.begin(), rows.begin() + 4095);
    EXPECT_TRUE(WriteCsvFile(t.data, t.dump.Table(), {0}, few, options, dir.FileW("f.csv"),
                             &ignored, written, error));
    EXPECT_EQ(written, 4095u);
    EXPECT_EQ(ignored.polls, 0);

    TestJob progress;
    EXPECT_TRUE(WriteCsvFile(t.data, t.dump.Table(), {0}, rows, options, dir.FileW("p.csv"),
                             &progress, written, error));
    EXPECT_EQ(progress.progress, (std::vector<int>{45, 91}));

    // A row the store cannot deliver.
    EXPECT_FALSE(WriteCsvFile(t.data, t.dump.Table(), {0}, {0, 99999}, options, dir.FileW("r.csv"),
                              nullptr, written, error));
    EXPECT_EQ(error, u"行データの読み取りに失敗しました(行 100000)。");

    const std::u16string unwritable = U16(dir.Write("file", "x") + "/out.csv");
    EXPECT_FALSE(WriteCsvFile(t.data, t.dump.Table(), {0}, rows, options, unwritable, nullptr,
                              written, error));
    EXPECT_EQ(error, u"出力CSVファイルがオープンできませんでした(" + unwritable + u")。");

    // The device is full: the failure surfaces at the final flush and the file is removed.
    const std::string full = dir.File("full.csv");
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    EXPECT_FALSE(WriteCsvFile(t.data, t.dump.Table(), {0}, {0, 1}, options, U16(full), nullptr,
                              written, error));
    EXPECT_EQ(error, u"CSVファイルの書き込みに失敗しました(" + U16(full) + u")。");
}

TEST(CsvWriterTest, EveryFailureAfterOpeningRemovesTheFile) {
    // Rows long enough that a full device fails a write before the final flush.
    std::string copy;
    for (int i = 0; i < 3000; ++i) copy += std::to_string(i) + "\t" + std::string(1000, 'v') + "\n";
    Loaded t(copy, 2);
    ScratchDir dir;
    const std::vector<uint64_t> rows = AllRows(t.data);
    CsvOptions options;
    uint64_t written = 0;
    std::u16string error;
    struct Case {
        const char* name;
        std::vector<uint64_t> rows;
        bool full;  // the output is /dev/full
        const char16_t* error;
    };
    const Case cases[] = {
        {"unreadable row", {0, 1, 5000}, false, u"行データの読み取りに失敗しました(行 5001)。"},
        {"write fails midway", rows, true, u"CSVファイルの書き込みに失敗しました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".csv");
        if (c.full) {
            ASSERT_EQ(::symlink("/dev/full", path.c_str()), 0);
        }
        EXPECT_FALSE(WriteCsvFile(t.data, t.dump.Table(), {0, 1}, c.rows, options, U16(path),
                                  nullptr, written, error));
        EXPECT_EQ(error, c.error);
        // A link is followed and stays; the device behind it is never removed.
        struct stat st;
        EXPECT_EQ(::lstat(path.c_str(), &st) == 0, c.full);
        if (c.full) {
            EXPECT_TRUE(S_ISLNK(st.st_mode));
        }
    }
    // A file that could not be opened is not the writer's to remove.
    const std::string taken = dir.Write("taken", "keep");
    ASSERT_EQ(::chmod(taken.c_str(), 0444), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(WriteCsvFile(t.data, t.dump.Table(), {0}, rows, options, U16(taken), nullptr,
                                  written, error));
    }
    EXPECT_EQ(ReadFileBytes(taken), "keep");
}
