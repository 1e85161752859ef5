// INSERT statements parsed in pieces as they are read: whatever the piece size, the rows are
// those of the statement parsed whole, and one row over the row limit stops the reading.
#include <gtest/gtest.h>

#include "dump/BufferedFileReader.h"
#include "dump/RowLimit.h"
#include "plain/InsertParser.h"
#include "plain/InsertRows.h"
#include "support/TestPaths.h"

namespace {

class StringSink : public IDataSink {
public:
    bool Write(const char* data, size_t length) override {
        text.append(data, length);
        return true;
    }
    std::string text;
};

// Row lists as they follow VALUES, with what makes a cut hard: quotes, doubled quotes,
// escapes, commas and parentheses inside strings, NULL, and text after the list.
const char* const kRowLists[] = {
    " (1, 'a'), (2, 'b');",
    " (1,'it''s'),(2,E'tab\\tand \\'quote\\''),(3,NULL);",
    " (10, '(,)'), (20, ')'), (30, ',(');",
    "\n\t(1, 'x')\n\t, (2, 'y')  ;",
    " (1, 'a') ON CONFLICT DO NOTHING;",
    " (1, 2.5e3, TRUE, DEFAULT, '2024-01-01'::date);",
    " (1, 'a'), (2, 'b'), (3",  // cut short by the end of the file
};

std::string ReadRows(const std::string& path, size_t pieceSize, std::u16string& error, bool& ok) {
    TableEntry table;
    table.schema = u"public";
    table.name = u"t";
    BufferedFileReader reader;
    EXPECT_TRUE(reader.Open(U16(path)));
    StringSink sink;
    CInsertRowsReader rows(table, 65001, true, sink, nullptr);
    rows.SetPieceSize(pieceSize);
    ok = rows.Read(reader, reader.FileSize(), error);
    return sink.text;
}

}  // namespace

TEST(InsertRowsTest, RowsSoFarAtEveryCutAddUpToTheWholeList) {
    for (const char* list : kRowLists) {
        SCOPED_TRACE(list);
        const std::string rows = list;
        std::string whole;
        uint64_t wholeCount = 0;
        const bool wholeOk = ParseInsertRows(rows, 0, 65001, whole, wholeCount);
        for (size_t cut = 0; cut <= rows.size(); ++cut) {
            SCOPED_TRACE(cut);
            const std::string piece = rows.substr(0, cut);
            size_t pos = 0;
            std::string first;
            uint64_t firstCount = 0;
            const bool ended = ParseInsertRowsSoFar(piece, pos, 65001, first, firstCount);
            ASSERT_LE(pos, piece.size());
            if (ended) {
                EXPECT_EQ(first, whole);
                EXPECT_EQ(firstCount, wholeCount);
                continue;
            }
            // What was not taken is parsed with the rest, as the last piece is.
            const std::string rest = piece.substr(pos) + rows.substr(cut);
            std::string second;
            uint64_t secondCount = 0;
            EXPECT_EQ(ParseInsertRows(rest, 0, 65001, second, secondCount), wholeOk);
            if (wholeOk) {
                EXPECT_EQ(first + second, whole);
                EXPECT_EQ(firstCount + secondCount, wholeCount);
            }
        }
    }
}

TEST(InsertRowsTest, AnyPieceSizeGivesTheRowsOfTheWholeStatements) {
    ScratchDir dir;
    std::string script;
    for (const char* list : kRowLists) {
        // Another table's rows in between must stay out, however they are cut.
        script += "INSERT INTO public.t VALUES" + std::string(list) + "\n";
        script += "INSERT INTO public.other VALUES (99, 'no');\n";
    }
    // The last list is cut short: only the file's end closes it.
    const std::string path = dir.Write("inserts.sql", script);
    std::u16string error;
    bool ok = false;
    const std::string expected = ReadRows(path, size_t{4} << 20, error, ok);
    ASSERT_TRUE(ok) << U8(error);
    EXPECT_EQ(expected.substr(0, 12), "1\ta\n2\tb\n1\tit");
    EXPECT_EQ(expected.find("no"), std::string::npos);
    for (size_t pieceSize : {size_t{1}, size_t{2}, size_t{5}, size_t{17}, size_t{64}}) {
        SCOPED_TRACE(pieceSize);
        EXPECT_EQ(ReadRows(path, pieceSize, error, ok), expected);
        EXPECT_TRUE(ok) << U8(error);
    }
}

TEST(InsertRowsTest, ARowOverTheLimitStopsTheStatementWithItsNumber) {
    ScratchDir dir;
    SetMaxRowBytesForTesting(200);
    // Long enough that the start of the row is still waiting when a piece is handed over.
    const std::string longValue(size_t{3} << 20, 'x');
    const std::string path =
        dir.Write("long.sql",
                  "INSERT INTO public.t VALUES (1, 'a');\nINSERT INTO public.t VALUES (2, 'b'), "
                  "(3, '" +
                      longValue + "'), (4, 'd');\n");
    std::u16string error;
    bool ok = true;
    ReadRows(path, 16, error, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, RowTooLongMessage(u"public.t", 3));
    EXPECT_EQ(U8(error), "行のデータが長すぎます。1 行の上限は 200 バイト です(public.t, 行 3)。");
    SetMaxRowBytesForTesting(0);
    EXPECT_EQ(U8(RowTooLongMessage(u"s.t", 7)),
              "行のデータが長すぎます。1 行の上限は 1 GiB です(s.t, 行 7)。");
}
