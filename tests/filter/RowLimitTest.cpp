// One row longer than the row limit, and one INSERT statement longer than every cap of the
// statement reader: the load into the row store, the streamed rows and the filter agree on
// every table, and the command line's info, rows and export count the same rows.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "app/CreateDumpReader.h"
#include "dump/RowLimit.h"
#include "filter/RowFilter.h"
#include "filter/RowStream.h"
#include "store/TableData.h"
#include "support/CliRunner.h"
#include "support/TempFileList.h"
#include "support/TestPaths.h"

namespace {

class ScopedRowLimit {
public:
    explicit ScopedRowLimit(uint64_t bytes) { SetMaxRowBytesForTesting(bytes); }
    ~ScopedRowLimit() { SetMaxRowBytesForTesting(0); }
};

const TableEntry* Table(IDumpFile& dump, const std::u16string& name) {
    for (const TableEntry& t : dump.GetTables()) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

enum class Path { Load, Stream, Filter };

// The rows one path gives, or false with its message.
bool CountRows(Path path, IDumpFile& dump, const TableEntry& table, uint64_t& rows,
               std::u16string& error) {
    rows = 0;
    if (path == Path::Load) {
        CTableData data;
        if (!data.Load(dump, table, nullptr, error)) return false;
        rows = data.GetRowCount();
        return true;
    }
    CRowFilter filter;
    if (path == Path::Filter && !filter.Prepare(u"a >= 0", u"", table.columns, error)) return false;
    const RowStreamReceiver count = [&rows](CStreamRow&, std::u16string&) {
        ++rows;
        return RowStreamStep::Next;
    };
    return StreamTableRows(dump, table, path == Path::Filter ? &filter : nullptr, nullptr, count,
                           error);
}

}  // namespace

TEST(RowLimitTest, ARowOverTheLimitStopsEveryPathWithTheSameMessage) {
    constexpr uint64_t kLimit = 4096;
    ScopedRowLimit limit(kLimit);
    ScratchDir dir;
    const std::string atLimit(kLimit - 2, 'y');  // "2\t" and the value: exactly the limit
    const std::string over(kLimit, 'z');
    const std::string script =
        "CREATE TABLE public.c (a integer, b text);\n"
        "CREATE TABLE public.i (a integer, b text);\n"
        "CREATE TABLE public.fits (a integer, b text);\n"
        "COPY public.c (a, b) FROM stdin;\n1\ta\n2\t" +
        over +
        "\n3\tc\n\\.\n\n"
        "INSERT INTO public.i VALUES (1, 'a'), (2, 'b');\n"
        "INSERT INTO public.i VALUES (3, 'c'), (4, '" +
        over +
        "');\n"
        "COPY public.fits (a, b) FROM stdin;\n1\ta\n" +
        "2\t" + atLimit + "\n\\.\n";
    const std::string file = dir.Write("long.sql", script);
    const std::set<std::u16string> before = TempFilesOfThisProcess();
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(U16(file), error);
    ASSERT_TRUE(dump) << U8(error);
    ASSERT_TRUE(dump->Scan(nullptr, error)) << U8(error);

    const struct {
        const char16_t* table;
        uint64_t failingRow;  // 0: every row is read
        uint64_t rows;
    } cases[] = {{u"c", 2, 0}, {u"i", 4, 0}, {u"fits", 0, 2}};
    for (const auto& c : cases) {
        const TableEntry* table = Table(*dump, c.table);
        ASSERT_NE(table, nullptr);
        for (Path path : {Path::Load, Path::Stream, Path::Filter}) {
            SCOPED_TRACE(U8(c.table) + " path " + std::to_string(static_cast<int>(path)));
            uint64_t rows = 0;
            error.clear();
            const bool ok = CountRows(path, *dump, *table, rows, error);
            if (c.failingRow == 0) {
                EXPECT_TRUE(ok) << U8(error);
                EXPECT_EQ(rows, c.rows);
            } else {
                EXPECT_FALSE(ok);
                EXPECT_EQ(error,
                          RowTooLongMessage(u"public." + std::u16string(c.table), c.failingRow));
            }
            EXPECT_EQ(TempFilesOfThisProcess(), before);
        }
    }
}

TEST(RowLimitTest, OneInsertLongerThanTheReaderCapsGivesTheSameCountEverywhere) {
    // 12 MiB in one statement: past the scan's 8 MiB text cap and the 4 MiB pieces.
    ScratchDir dir;
    const std::string file = dir.File("one_insert.sql");
    constexpr uint64_t kRows = 600000;
    {
        std::ofstream out(file, std::ios::binary);
        out << "CREATE TABLE public.t (a integer, b text);\n\nINSERT INTO public.t VALUES ";
        for (uint64_t i = 0; i < kRows; ++i) {
            out << (i == 0 ? "" : ",") << "(" << i << ", 'row " << i << "')";
        }
        out << ";\n\nCREATE TABLE public.after (a integer);\n"
               "INSERT INTO public.after VALUES (1);\n";
    }
    ASSERT_GT(ReadFileBytes(file).size(), size_t{12} << 20);

    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(U16(file), error);
    ASSERT_TRUE(dump) << U8(error);
    ASSERT_TRUE(dump->Scan(nullptr, error)) << U8(error);
    const TableEntry* table = Table(*dump, u"t");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount, kRows);
    for (Path path : {Path::Load, Path::Stream, Path::Filter}) {
        uint64_t rows = 0;
        EXPECT_TRUE(CountRows(path, *dump, *table, rows, error)) << U8(error);
        EXPECT_EQ(rows, kRows) << static_cast<int>(path);
    }

    const CliResult info = RunCli("info --tsv " + ShellQuote(file));
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\tpublic\tt\t" + std::to_string(kRows) + "\t"), std::string::npos)
        << info.out;
    const CliResult rows = RunCli("rows " + ShellQuote(file) + " public.t --from 599999");
    EXPECT_EQ(rows.exitCode, 0) << rows.err;
    EXPECT_EQ(rows.out, "599998\trow 599998\n599999\trow 599999\n");
    const std::string csv = dir.File("t.csv");
    const CliResult exported =
        RunCli("export " + ShellQuote(file) + " public.t -o " + ShellQuote(csv));
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    const std::string text = ReadFileBytes(csv);
    EXPECT_EQ(static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')), kRows + 1);
}
