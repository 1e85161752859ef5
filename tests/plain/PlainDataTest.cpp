// Reading a table of a plain script: COPY sections passed on without their CRs, INSERT
// statements turned into COPY lines, cancellation, refusing sinks and short files.
#include <gtest/gtest.h>
#include <unistd.h>

#include "plain/PlainDump.h"
#include "support/CollectSink.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

std::unique_ptr<CPlainDump> Scan(const ScratchDir& dir, const std::string& script) {
    auto dump = std::make_unique<CPlainDump>();
    dump->Open(U16(dir.Write("data.sql", script)), false);
    std::u16string error;
    EXPECT_TRUE(dump->Scan(nullptr, error)) << U8(error);
    return dump;
}

const TableEntry& First(CPlainDump& dump) {
    EXPECT_FALSE(dump.GetTables().empty());
    return dump.GetTables().front();
}

std::string ToCrLf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

}  // namespace

TEST(PlainDataTest, TableWithoutDataCallsNoSink) {
    ScratchDir dir;
    auto dump = Scan(dir, "CREATE TABLE t (a int);\n");
    const TableEntry& t = First(*dump);
    EXPECT_EQ(t.dataKind, TableDataKind_None);
    EXPECT_FALSE(t.rowCountKnown);
    CollectSink sink;
    std::u16string error;
    EXPECT_TRUE(dump->ReadTableData(t, sink, nullptr, error));
    EXPECT_EQ(sink.writes, 0u);
}

TEST(PlainDataTest, CopySectionsOfCrLfScriptsArriveWithLfOnly) {
    struct Case {
        const char* name;
        std::string data;  // after the COPY line
        std::string rows;
        uint64_t count;
    };
    const std::vector<Case> cases = {
        {"crlf", "1\ta\r\n2\tb\r\n\\.\r\n", "1\ta\n2\tb\n", 2},
        {"end line with CR", "1\r\n\\.\r\nSELECT 1;\r\n", "1\n", 1},
        {"no end line", "1\r\n2", "1\n2\n", 2},
        {"lone CR in a line stays", "a\rb\r\n\\.\n", "a\rb\n", 1},
        {"empty lines", "\r\n\n\\.\n", "\n\n", 2},
        {"dot that is data", "\\.x\r\n\\\\.\n\\.\n", "\\.x\n\\\\.\n", 2},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto dump = Scan(dir, "COPY t (a) FROM stdin;\r\n" + c.data);
        const TableEntry& t = First(*dump);
        EXPECT_EQ(t.rowCount, c.count);
        CollectSink sink;
        std::u16string error;
        ASSERT_TRUE(dump->ReadTableData(t, sink, nullptr, error)) << U8(error);
        EXPECT_EQ(sink.bytes, c.rows);
    }
}

TEST(PlainDataTest, CopyLinesAcrossWindowEdgesAndLongerThanAWindow) {
    ScratchDir dir;
    std::string rows;
    for (size_t i = 0; rows.size() < (size_t{5} << 20); ++i) {
        const size_t length = i == 700 ? (size_t{3} << 20) : (i * 7919) % 301;
        rows += std::string(length, static_cast<char>('a' + i % 26)) + "\n";
    }
    for (const bool crlf : {false, true}) {
        SCOPED_TRACE(crlf ? "CRLF" : "LF");
        const std::string section = crlf ? ToCrLf(rows) : rows;
        auto dump = Scan(dir, "SELECT 1;\nCOPY t (a) FROM stdin;\n" + section + "\\.\r\n");
        CollectSink sink;
        std::u16string error;
        ASSERT_TRUE(dump->ReadTableData(First(*dump), sink, nullptr, error)) << U8(error);
        EXPECT_TRUE(sink.bytes == rows);
        // Large pieces, not one call per line.
        EXPECT_LT(sink.writes, 100u);
    }
}

TEST(PlainDataTest, InsertValuesKeepTheirCrOnlyInLfScripts) {
    ScratchDir dir;
    std::u16string error;
    // The first line break is inside the literal; the script's other lines decide.
    auto lf = Scan(dir, "INSERT INTO t VALUES ('a\r\nb');\nINSERT INTO t VALUES ('c');\n");
    CollectSink lfSink;
    ASSERT_TRUE(lf->ReadTableData(First(*lf), lfSink, nullptr, error));
    EXPECT_EQ(lfSink.bytes, "a\\r\\nb\nc\n");

    // In a CRLF script the same CR is the line end.
    auto crlf = Scan(dir, "INSERT INTO t VALUES ('a\r\nb');\r\nINSERT INTO t VALUES ('c');\r\n");
    CollectSink crlfSink;
    ASSERT_TRUE(crlf->ReadTableData(First(*crlf), crlfSink, nullptr, error));
    EXPECT_EQ(crlfSink.bytes, "a\\nb\nc\n");
}

TEST(PlainDataTest, InsertStatementsThatDoNotParseAreSkipped) {
    ScratchDir dir;
    auto dump = Scan(dir,
                     "INSERT INTO t VALUES (1);\n"
                     "INSERT INTO t VALUES ('a' 'b');\n"
                     "INSERT INTO t SELECT 5;\n"
                     "SELECT 1; SET a = 2;\n"
                     "INSERT INTO t VALUES (3), (4);\n");
    const TableEntry& t = First(*dump);
    CollectSink sink;
    std::u16string error;
    ASSERT_TRUE(dump->ReadTableData(t, sink, nullptr, error));
    EXPECT_EQ(sink.bytes, "1\n3\n4\n");
}

TEST(PlainDataTest, CancellationWithinFourThousandLinesOrStatements) {
    ScratchDir dir;
    std::string copy = "COPY t (a) FROM stdin;\n";
    std::string inserts;
    for (int i = 0; i < 10000; ++i) {
        copy += std::to_string(i) + "\n";
        inserts += "INSERT INTO u VALUES (" + std::to_string(i) + ");\n";
    }
    auto dump = Scan(dir, copy + "\\.\n" + inserts);
    ASSERT_EQ(dump->GetTables().size(), 2u);
    for (const TableEntry& t : dump->GetTables()) {
        SCOPED_TRACE(U8(t.name));
        TestJob job(0);
        CollectSink sink;
        std::u16string error;
        EXPECT_FALSE(dump->ReadTableData(t, sink, &job, error));
        EXPECT_EQ(error, u"処理が中止されました。");
        EXPECT_EQ(job.polls, 1);
        size_t lines = 0;
        for (char c : sink.bytes) lines += c == '\n';
        EXPECT_LE(lines, 4096u);
    }
}

TEST(PlainDataTest, RefusingSinkStopsWithoutMessage) {
    ScratchDir dir;
    std::string script = "COPY t (a) FROM stdin;\n";
    for (int i = 0; i < 100000; ++i) script += "row " + std::to_string(i) + "\n";
    script += "\\.\nINSERT INTO u VALUES (1);\nINSERT INTO u VALUES (2);\n";
    auto dump = Scan(dir, script);
    for (const TableEntry& t : dump->GetTables()) {
        CollectSink sink(0);
        std::u16string error;
        EXPECT_FALSE(dump->ReadTableData(t, sink, nullptr, error));
        EXPECT_TRUE(error.empty());
        EXPECT_EQ(sink.writes, 1u);
    }
}

TEST(PlainDataTest, ShortOrMissingFiles) {
    ScratchDir dir;
    const std::string script = "COPY t (a) FROM stdin;\n1\n2\n3\n\\.\n";
    auto dump = Scan(dir, script);
    const std::string path = dir.File("data.sql");

    // Cut after the first row: what is there is delivered.
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(script.find("2\n"))), 0);
    CollectSink sink;
    std::u16string error;
    EXPECT_TRUE(dump->ReadTableData(First(*dump), sink, nullptr, error));
    EXPECT_EQ(sink.bytes, "1\n");

    // Shorter than where the data starts.
    ASSERT_EQ(truncate(path.c_str(), 5), 0);
    EXPECT_FALSE(dump->ReadTableData(First(*dump), sink, nullptr, error));
    EXPECT_EQ(error, u"ダンプファイルをオープンできません(" + U16(path) + u")。");

    unlink(path.c_str());
    error.clear();
    EXPECT_FALSE(dump->ReadTableData(First(*dump), sink, nullptr, error));
    EXPECT_EQ(error, u"ダンプファイルをオープンできません(" + U16(path) + u")。");
}
