#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "app/CreateDumpReader.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/TempFiles.h"
#include "store/CopyRows.h"
#include "store/TableData.h"
#include "support/Fixtures.h"
#include "support/MemoryDump.h"
#include "support/ScopedEnv.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

std::vector<std::string> RowBytes(CTableData& data) {
    std::vector<std::string> rows;
    std::string bytes;
    for (size_t i = 0; i < data.GetRowCount(); ++i) {
        EXPECT_TRUE(data.ReadRowBytes(i, bytes));
        rows.push_back(bytes);
    }
    return rows;
}

std::vector<std::string> Load(const std::string& text, std::vector<size_t> pieces = {}) {
    MemoryDump dump(text);
    dump.pieces = std::move(pieces);
    CTableData data;
    std::u16string error;
    EXPECT_TRUE(data.Load(dump, dump.Table(), nullptr, error)) << U8(error);
    return RowBytes(data);
}

bool Exists(const std::u16string& path) {
    return platform::GetPathKind(path) != platform::PathKind::Missing;
}

}  // namespace

TEST(TableDataTest, RowsAndEndOfData) {
    using Rows = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string text;
        Rows rows;
    };
    const Case cases[] = {
        {"plain", "a\tb\nc\td\n", {"a\tb", "c\td"}},
        {"end marker", "a\tb\nc\td\n\\.\nignored\n", {"a\tb", "c\td"}},
        {"no final lf", "a\nb", {"a", "b"}},
        {"final marker without lf", "a\n\\.", {"a"}},
        {"marker with cr is a row", "a\n\\.\r\nb\n", {"a", "\\.\r", "b"}},
        {"empty lines are rows", "\n\n", {"", ""}},
        {"cr stays", "a\r\n", {"a\r"}},
        {"only marker", "\\.\n", {}},
        {"empty", "", {}},
        {"marker-like rows", "\\.x\n\\\n.\n", {"\\.x", "\\", "."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Load(c.text), c.rows);
    }
}

TEST(TableDataTest, EveryPieceBoundaryGivesTheSameRows) {
    const std::string text = "1\tone\n\\N\t\\\\x\n\n\xe6\x97\xa5\t\\.\n3\tlast\n\\.\nafter\n";
    const std::vector<std::string> whole = Load(text);
    ASSERT_EQ(whole.size(), 5u);
    for (size_t a = 0; a <= text.size(); ++a) {
        SCOPED_TRACE(a);
        ASSERT_EQ(Load(text, {a}), whole);
        for (size_t b = 0; a + b <= text.size(); b += 3) {
            ASSERT_EQ(Load(text, {a, b, 1}), whole);
        }
    }
    // A marker without line feed, split between its two bytes.
    const std::string tail = "x\ny\n\\.";
    for (size_t a = 0; a <= tail.size(); ++a)
        EXPECT_EQ(Load(tail, {a}), (std::vector<std::string>{"x", "y"}));
}

// Rows are found many bytes at a time; lines of every length around that stride, with
// the end line at different places, must still come out whole in any piece size.
TEST(TableDataTest, LongTextsKeepEveryRowAndStopAtTheEndLine) {
    std::vector<std::string> lines;
    uint32_t seed = 7;
    for (int i = 0; i < 600; ++i) {
        seed = seed * 1103515245u + 12345u;
        const size_t length = (seed >> 16) % 140;
        std::string line(length, static_cast<char>('a' + i % 26));
        if (i % 37 == 5) line = "\\.x";
        if (i % 41 == 9) line = "\\";
        lines.push_back(line);
    }
    for (size_t endAfter :
         {size_t{0}, size_t{1}, size_t{63}, size_t{64}, size_t{301}, lines.size()}) {
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == endAfter) text += "\\.\n";
            text += lines[i] + "\n";
        }
        const std::vector<std::string> expected(lines.begin(),
                                                lines.begin() + static_cast<long>(endAfter));
        for (size_t piece :
             {size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{4096}, text.size()}) {
            SCOPED_TRACE(std::to_string(endAfter) + " / " + std::to_string(piece));
            EXPECT_EQ(Load(text, std::vector<size_t>(text.size() / piece + 1, piece)), expected);
        }
    }
}

TEST(TableDataTest, CellsFollowColumnsAndCodePage) {
    MemoryDump dump("1\n\\N\tb\tc\n\x83\x5c\t\x95\x5c\\\\\n", 932, 2);
    CTableData data;
    std::u16string error;
    ASSERT_TRUE(data.Load(dump, dump.Table(), nullptr, error));
    EXPECT_EQ(data.GetColumnCount(), 2u);
    RowCells cells;
    ASSERT_TRUE(data.GetRow(0, cells));
    ASSERT_EQ(cells.size(), 2u);  // a missing trailing field reads as NULL
    EXPECT_EQ(cells[0].text, u"1");
    EXPECT_TRUE(cells[1].isNull);
    ASSERT_TRUE(data.GetRow(1, cells));
    ASSERT_EQ(cells.size(), 3u);  // extra fields are kept
    EXPECT_TRUE(cells[0].isNull);
    EXPECT_TRUE(cells[0].text.empty());
    EXPECT_EQ(cells[2].text, u"c");
    // Only the wanted columns are converted; the rest read as NULL, the shape stays.
    ASSERT_TRUE(data.GetRowColumns(1, {false, true}, cells));
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_TRUE(cells[0].isNull);
    EXPECT_EQ(cells[1].text, u"b");
    EXPECT_TRUE(cells[2].isNull);
    ASSERT_TRUE(data.GetRow(2, cells));
    EXPECT_EQ(cells[0].text, u"ソ");
    EXPECT_EQ(cells[1].text, u"表\\");
    EXPECT_FALSE(data.GetRow(3, cells));
    EXPECT_TRUE(cells.empty());
}

TEST(TableDataTest, ReadWindowServesJumpsAndLongRows) {
    // Rows longer than the 1 MiB window, and enough rows to need several windows.
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 3000; ++i) {
        std::string row =
            std::to_string(i) + "\t" + std::string(static_cast<size_t>(i % 7) * 100, 'x');
        if (i == 1500) row = std::string(3 << 20, 'L');
        expected.push_back(row);
        text += row + "\n";
    }
    MemoryDump dump(text);
    CTableData data;
    std::u16string error;
    ASSERT_TRUE(data.Load(dump, dump.Table(), nullptr, error));
    ASSERT_EQ(data.GetRowCount(), expected.size());
    std::string bytes;
    for (size_t i :
         {size_t{2999}, size_t{0}, size_t{1500}, size_t{1499}, size_t{1501}, size_t{5}}) {
        ASSERT_TRUE(data.ReadRowBytes(i, bytes));
        EXPECT_EQ(bytes, expected[i]) << i;
    }
    EXPECT_EQ(RowBytes(data), expected);
}

TEST(TableDataTest, SpoolFileLifetime) {
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR");
    tmp.Set(dir.Path());
    MemoryDump dump("a\nb\n");
    std::u16string first, second;
    {
        CTableData one;
        CTableData two;
        std::u16string error;
        ASSERT_TRUE(one.Load(dump, dump.Table(), nullptr, error));
        ASSERT_TRUE(two.Load(dump, dump.Table(), nullptr, error));
        first = one.GetTempPath();
        second = two.GetTempPath();
        EXPECT_NE(first, second);
        EXPECT_EQ(first.rfind(U16(dir.Path()) + u"/Kalvex/" + GetTempFilePrefix(), 0), 0u);
        EXPECT_EQ(first.substr(first.size() - 4), u".dat");
        EXPECT_TRUE(Exists(first));
        struct stat st {};
        ASSERT_EQ(::stat(U8(first).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0077, 0u);  // the spool holds dump data: owner only
        // Loading again replaces the old spool file.
        ASSERT_TRUE(one.Load(dump, dump.Table(), nullptr, error));
        EXPECT_FALSE(Exists(first));
        first = one.GetTempPath();
        two.Reset();
        EXPECT_FALSE(Exists(second));
        std::string bytes;
        EXPECT_FALSE(two.ReadRowBytes(0, bytes));
        EXPECT_EQ(two.GetRowCount(), 0u);
    }
    EXPECT_FALSE(Exists(first));
}

TEST(TableDataTest, CancelledLoadLeavesNothing) {
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR");
    tmp.Set(dir.Path());
    MemoryDump dump("row\tvalue\n");
    dump.repeat = 50000;
    TestJob job(1);  // the second check cancels
    CTableData data;
    std::u16string error;
    EXPECT_FALSE(data.Load(dump, dump.Table(), &job, error));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(data.GetRowCount(), 0u);
    EXPECT_EQ(job.polls, 2);
    EXPECT_EQ(job.messages.front(), u"行データを読み込んでいます: public.memory");
    std::vector<std::u16string> left;
    platform::ListDirectory(U16(dir.Path()) + u"/Kalvex/", left);
    EXPECT_TRUE(left.empty());
}

TEST(TableDataTest, ProgressFollowsExpectedRows) {
    MemoryDump dump("r\n");
    dump.repeat = 40000;
    dump.GetTables()[0].rowCount = 40000;
    dump.GetTables()[0].rowCountKnown = true;
    TestJob job;
    CTableData data;
    std::u16string error;
    ASSERT_TRUE(data.Load(dump, dump.Table(), &job, error));
    EXPECT_EQ(job.progress, (std::vector<int>{40, 81, 100}));
    EXPECT_EQ(data.GetRowCount(), 40000u);
}

TEST(TableDataTest, SpoolFailures) {
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR");
    // The temporary folder cannot exist: its parent is a file.
    tmp.Set(dir.Write("file", "x") + "/sub");
    MemoryDump dump("a\n");
    CTableData data;
    std::u16string error;
    ASSERT_FALSE(data.Load(dump, dump.Table(), nullptr, error));
    EXPECT_EQ(error.rfind(
                  u"一時ファイルを作成できません(" + U16(dir.Path()) + u"/file/sub/Kalvex/kvx_", 0),
              0u)
        << U8(error);
    EXPECT_TRUE(data.GetTempPath().empty());

    // A spool write that fails: the file size limit stops it.
    tmp.Set(dir.Path());
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1 << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    MemoryDump big(std::string(4096, 'z') + "\n");
    big.repeat = 1000;
    CTableData failing;
    error.clear();
    const bool loaded = failing.Load(big, big.Table(), nullptr, error);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(error.rfind(u"一時ファイルの書き込みに失敗しました(", 0), 0u) << U8(error);
    std::vector<std::u16string> left;
    platform::ListDirectory(U16(dir.Path()) + u"/Kalvex/", left);
    EXPECT_TRUE(left.empty());
}

TEST(TableDataTest, DeleteTempFilesTouchesOnlyThisProcess) {
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR");
    tmp.Set(dir.Path());
    const std::u16string mine = MakeTempFilePath(u".sql");
    const std::u16string folder = GetTempDirectory();
    dir.Write("Kalvex/" + U8(mine.substr(folder.size())), "x");
    dir.Write("Kalvex/kvx_1_1.dat", "other process");
    dir.Write("Kalvex/notes.txt", "not ours");
    std::filesystem::create_directory(dir.File("Kalvex/" + U8(GetTempFilePrefix()) + "dir"));
    DeleteTempFiles();
    EXPECT_FALSE(Exists(mine));
    EXPECT_TRUE(Exists(dir.FileW("Kalvex/kvx_1_1.dat")));
    EXPECT_TRUE(Exists(dir.FileW("Kalvex/notes.txt")));
    EXPECT_TRUE(Exists(dir.FileW("Kalvex/" + U8(GetTempFilePrefix()) + "dir")));
    EXPECT_EQ(MakeTempFilePath().substr(MakeTempFilePath().size() - 4), u".tmp");
}

TEST(TableDataTest, FixtureTablesDecodeToPsqlCells) {
    for (const char* file : {"kx_main.custom.dump", "kx_eucjp.custom-sjis.dump",
                             "kx_eucjp.custom.dump", "kx_latin1.custom.dump"}) {
        SCOPED_TRACE(file);
        std::u16string error;
        std::unique_ptr<IDumpFile> dump =
            CreateDumpReader(FixturePathW(std::string("dumps/") + file), error);
        ASSERT_TRUE(dump) << U8(error);
        const std::string database = U8(dump->GetInfo().database);
        for (const ExpectedTable& expected : LoadExpectedTables(database)) {
            if (expected.kind == "matview") continue;
            SCOPED_TRACE(expected.QualifiedName());
            const TableEntry* table = nullptr;
            for (const TableEntry& t : dump->GetTables()) {
                if (U8(t.schema) == expected.schema && U8(t.name) == expected.name) table = &t;
            }
            ASSERT_NE(table, nullptr);
            CTableData data;
            ASSERT_TRUE(data.Load(*dump, *table, nullptr, error)) << U8(error);
            const auto cells = expected.Cells(database);
            ASSERT_EQ(data.GetRowCount(), cells.size());
            RowCells row;
            for (size_t r = 0; r < cells.size(); ++r) {
                ASSERT_TRUE(data.GetRow(r, row));
                ASSERT_EQ(row.size(), cells[r].size()) << r;
                for (size_t c = 0; c < row.size(); ++c) {
                    EXPECT_EQ(row[c].isNull, !cells[r][c].has_value()) << r << "," << c;
                    if (cells[r][c]) {
                        EXPECT_EQ(U8(row[c].text), *cells[r][c]) << r << "," << c;
                    }
                }
            }
        }
    }
}

namespace {

// Collects what the row cutter hands over.
class RowCollector : public CCopyRowSink {
public:
    std::vector<std::string> rows;

protected:
    bool OnRow(const char* data, size_t length) override {
        rows.emplace_back(data, length);
        return true;
    }
};

}  // namespace

TEST(TableDataTest, TheRowCutterFindsTheStoresRowsAtAnyPieceSize) {
    const std::string texts[] = {
        "a\tb\nc\td\n",
        "a\tb\nc\td\n\\.\nignored\n",
        "a\nb",
        "a\n\\.",
        "a\n\\.\r\nb\n",
        "\n\n",
        "a\r\n",
        "\\",
        "\\.",
        "x\\.\n\\\n.\n",
        "",
        "long line with no end at all",
    };
    for (const std::string& text : texts) {
        for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{1000}}) {
            SCOPED_TRACE(text + " / " + std::to_string(piece));
            std::vector<size_t> pieces(text.size() / piece + 1, piece);
            MemoryDump dump(text);
            dump.pieces = pieces;
            RowCollector rows;
            std::u16string error;
            ASSERT_TRUE(dump.ReadTableData(dump.Table(), rows, nullptr, error));
            ASSERT_TRUE(rows.Finish());
            EXPECT_EQ(rows.rows, Load(text, pieces));
            EXPECT_EQ(rows.RowCount(), rows.rows.size());
        }
    }
}
