// The INSERT values parser: every value form pg_dump writes, the clauses around VALUES,
// escapes both ways, and the row counter the scan uses.
#include <gtest/gtest.h>

#include "plain/InsertParser.h"
#include "store/CopyLine.h"

namespace {

struct Parsed {
    bool ok = false;
    std::string schema;
    std::string name;
    std::vector<std::string> columns;
    std::vector<std::string> rows;
};

Parsed Parse(const std::string& statement, int codePage = 65001) {
    Parsed p;
    p.ok = ParseInsertStatement(statement, p.schema, p.name, p.columns, p.rows, codePage);
    return p;
}

std::string Escaped(const std::string& bytes, int codePage = 65001) {
    std::string line;
    AppendCopyEscaped(line, bytes, codePage);
    return line;
}

uint64_t CountRows(const std::string& afterValues, size_t pieces = 1) {
    CInsertRowCounter counter;
    const size_t step = (afterValues.size() + pieces - 1) / pieces;
    for (size_t i = 0; i < afterValues.size(); i += step) {
        counter.Feed(afterValues.data() + i, std::min(step, afterValues.size() - i));
    }
    return counter.Rows();
}

}  // namespace

TEST(InsertParserTest, StatementsAsPgDumpWritesThem) {
    const Parsed p = Parse("INSERT INTO public.t (id, name) VALUES (1, 'it''s'), (2, NULL);");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.schema, "public");
    EXPECT_EQ(p.name, "t");
    EXPECT_EQ(p.columns, (std::vector<std::string>{"id", "name"}));
    EXPECT_EQ(p.rows, (std::vector<std::string>{"1\tit's", "2\t\\N"}));

    const Parsed q = Parse("insert into T values (TRUE, false, DEFAULT)");
    ASSERT_TRUE(q.ok);
    EXPECT_EQ(q.name, "T");
    EXPECT_TRUE(q.schema.empty());
    EXPECT_EQ(q.rows, (std::vector<std::string>{"t\tf\t\\N"}));

    const Parsed multi =
        Parse("INSERT INTO \"My Schema\".\"t 1\" VALUES\n\t(1, 'a'),\n\t(2, 'b'),\n\t(3, 'c');");
    ASSERT_TRUE(multi.ok);
    EXPECT_EQ(multi.schema, "My Schema");
    EXPECT_EQ(multi.name, "t 1");
    EXPECT_EQ(multi.rows.size(), 3u);
}

TEST(InsertParserTest, ValueForms) {
    struct Case {
        const char* values;  // what follows VALUES
        std::string row;
    };
    const std::vector<Case> cases = {
        {"(E'a\\tb\\\\c')", "a\\tb\\\\c"},
        {"(E'\\b\\f\\n\\r\\t\\'\\q')", "\\b\\f\\n\\r\\t'q"},
        {"(E'\\101\\x42\\x4A\\0')", std::string("ABJ\0", 4)},
        {"(E'\\u00e9\\U0001F600')", "\xC3\xA9\xF0\x9F\x98\x80"},
        {"(E'a''b')", "a'b"},
        {"('line\nbreak', 'tab\there', 'back\\slash')", "line\\nbreak\ttab\\there\tback\\\\slash"},
        {"('cr\rlf\r\n')", "cr\\rlf\\r\\n"},
        {"('2020-01-01'::date, 'abc'   ::text, '1.5'::numeric(10,2), 7)",
         "2020-01-01\tabc\t1.5\t7"},
        {"(42, -1.5e3, nextval('s'::regclass), 1::integer)",
         "42\t-1.5e3\tnextval('s'::regclass)\t1::integer"},
        {"(NULL, null, Default, 'NULL', '\\N')", "\\N\t\\N\t\\N\tNULL\t\\\\N"},
        {"(B'0101', X'1F', b'')", "0101\t00011111\t"},
        {"('{\"a,b\",\"say \\\"hi\\\"\"}', '\\x00ff')",
         "{\"a,b\",\"say \\\\\"hi\\\\\"\"}\t\\\\x00ff"},
        {"()", ""},
        {"(1,,2)", "1\t\t2"},
        {"( 1 , 'x' )", "1\tx"},
        {"('a(b', 'c)d')", "a(b\tc)d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values);
        const Parsed p = Parse(std::string("INSERT INTO t VALUES ") + c.values + ";");
        ASSERT_TRUE(p.ok);
        ASSERT_EQ(p.rows.size(), 1u);
        EXPECT_EQ(p.rows[0], c.row);
    }
}

TEST(InsertParserTest, ClausesAroundValues) {
    struct Case {
        const char* statement;
        bool ok;
        size_t rows;
    };
    const std::vector<Case> cases = {
        {"INSERT INTO public.ident OVERRIDING SYSTEM VALUE VALUES (1, 'first', 1000);", true, 1},
        {"INSERT INTO t (a) OVERRIDING USER VALUE VALUES (1), (2);", true, 2},
        {"INSERT INTO t VALUES (1) ON CONFLICT DO NOTHING;", true, 1},
        {"INSERT INTO t VALUES (1), (2) ON CONFLICT (id) DO UPDATE SET a = 1;", true, 2},
        {"INSERT INTO t VALUES (1) RETURNING *;", true, 1},
        {"INSERT INTO t VALUES (1)", true, 1},
        {"  insert\n into db.s.t VALUES (1);", true, 1},
        {"INSERT INTO t SELECT * FROM u;", false, 0},
        {"INSERT INTO t DEFAULT VALUES;", false, 0},
        {"INSERTS INTO t VALUES (1);", false, 0},
        {"INSERT t VALUES (1);", false, 0},
        {"INSERT INTO t (a b) VALUES (1);", false, 0},
        {"INSERT INTO t VALUES ('a' 'b');", false, 0},
        // \' does not close an escape string: it runs to the end of the statement.
        {"INSERT INTO t VALUES (e'x\\');", false, 0},
        {"INSERT INTO t VALUES (1, 2", false, 0},
        {"UPDATE t SET a = 1;", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        const Parsed p = Parse(c.statement);
        EXPECT_EQ(p.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(p.rows.size(), c.rows);
        }
    }
    EXPECT_EQ(Parse("  insert\n into db.s.t VALUES (1);").schema, "s");
}

TEST(InsertParserTest, ShiftJisTrailBytesStayWhole) {
    // 表 is 0x95 0x5C: in code page 932 the 0x5C is no backslash, neither when escaping
    // nor inside an escape string.
    const std::string hyou = "\x95\x5C";
    EXPECT_EQ(Escaped("C:\\" + hyou, 932), "C:\\\\" + hyou);
    EXPECT_EQ(Escaped(hyou, 65001), "\x95\\\\");

    const Parsed plain = Parse("INSERT INTO t VALUES ('" + hyou + "', E'" + hyou + "');", 932);
    ASSERT_TRUE(plain.ok);
    ASSERT_EQ(plain.rows.size(), 1u);
    EXPECT_EQ(plain.rows[0], hyou + "\t" + hyou);

    // Half-width katakana are single bytes in Shift_JIS; a trail byte at the very end is
    // taken as it is.
    EXPECT_EQ(Escaped("\xB1\\", 932), "\xB1\\\\");
    EXPECT_EQ(Escaped("\x95", 932), "\x95");
}

TEST(InsertParserTest, EscapingIsUndoneBySplitCopyLine) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    for (int codePage : {65001, 1252, 932, 936, 949, 950, 54936}) {
        SCOPED_TRACE(codePage);
        for (const std::string& value :
             {all, std::string("\\N"), std::string("a\tb\\c\r\n"), std::string("\x95\x5C\t")}) {
            // In the double-byte code pages a value must consist of whole characters.
            if (codePage != 65001 && codePage != 1252 && value == all) continue;
            std::vector<CopyField> fields;
            const std::string line = Escaped(value, codePage);
            EXPECT_EQ(line.find_first_of("\t\n"), std::string::npos);
            SplitCopyLine(line.data(), line.size(), fields, codePage);
            ASSERT_EQ(fields.size(), 1u);
            EXPECT_FALSE(fields[0].isNull);
            EXPECT_EQ(fields[0].bytes, value);
        }
    }
}

TEST(InsertParserTest, RowCounterMatchesTheParser) {
    struct Case {
        const char* afterValues;
        uint64_t rows;
    };
    const std::vector<Case> cases = {
        {" (1,'a'),(2,'b');", 2},
        {" (1,'(x'),(2,')');", 2},
        {" (1, 'it''s (')", 1},
        {" (1, E'x\\')(' ), (2, 'y');", 2},
        {" (f(1, (2)), 3), (4);", 2},
        {" (1) ON CONFLICT (id) DO NOTHING;", 1},
        {" (1), (2) RETURNING (a);", 2},
        {"\n\t(1),\n\t(2),\n\t(3);", 3},
        {" (1, 'not closed", 0},
        {" ;", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.afterValues);
        for (size_t pieces : {1, 2, 3, 7, 64}) EXPECT_EQ(CountRows(c.afterValues, pieces), c.rows);
        // The parser agrees wherever it accepts the statement.
        const Parsed p = Parse(std::string("INSERT INTO t VALUES") + c.afterValues);
        if (p.ok) {
            EXPECT_EQ(p.rows.size(), c.rows);
        }
    }
    // A Shift_JIS escape string whose trail byte is 0x5C.
    CInsertRowCounter sjis(932);
    const std::string values = " (E'\x95\x5C'), (2);";
    sjis.Feed(values.data(), values.size());
    EXPECT_EQ(sjis.Rows(), 2u);
    EXPECT_TRUE(sjis.Done());
}

TEST(InsertParserTest, ValueParserLeavesThePositionAtTheEndOfTheValue) {
    const std::string text = "'abc' :: text , 5)";
    size_t pos = 0;
    bool isNull = true;
    std::string bytes;
    ASSERT_TRUE(ParseInsertValue(text, pos, isNull, bytes));
    EXPECT_FALSE(isNull);
    EXPECT_EQ(bytes, "abc");
    EXPECT_EQ(text[pos], ',');
    pos = text.size();
    EXPECT_FALSE(ParseInsertValue(text, pos, isNull, bytes));
}
