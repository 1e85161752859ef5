#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/AsciiCase.h"
#include "sql/SqlText.h"

namespace {

TEST(SqlTextWordChar, ClassifiesBytes) {
    for (unsigned char c : std::string("azAZ09_")) EXPECT_TRUE(IsSqlWordChar(c)) << c;
    for (int c = 0x80; c <= 0xFF; ++c) EXPECT_TRUE(IsSqlWordChar(static_cast<unsigned char>(c)));
    for (unsigned char c : std::string(" \t\r\n\"'(),.;$-\\")) EXPECT_FALSE(IsSqlWordChar(c)) << c;
    for (unsigned char c : std::string(" \t\r\n")) EXPECT_TRUE(IsSqlSpace(c));
    EXPECT_FALSE(IsSqlSpace('\v'));
    EXPECT_FALSE(IsSqlSpace('\f'));
}

TEST(SqlTextMatchKeyword, Cases) {
    struct Case {
        std::string text;
        size_t start;
        const char* keyword;
        bool match;
        size_t endPos;
    };
    const Case cases[] = {
        {"  create table", 0, "CREATE", true, 8},
        {"CREATE", 0, "CREATE", true, 6},
        {"\t\r\nTable(", 0, "TABLE", true, 8},
        {" TABLESPACE x", 0, "TABLE", false, 1},  // space skipped even when it fails
        {"TABLE_x", 0, "TABLE", false, 0},
        {"TABLE1", 0, "TABLE", false, 0},
        {"TABL", 0, "TABLE", false, 0},
        {"TABLE\x83", 0, "TABLE", false, 0},
        {"x TABLE", 1, "TABLE", true, 7},
        {"  ", 0, "TABLE", false, 2},
    };
    for (const Case& c : cases) {
        size_t pos = c.start;
        EXPECT_EQ(MatchKeyword(c.text, pos, c.keyword), c.match) << c.text;
        EXPECT_EQ(pos, c.endPos) << c.text;
    }
}

TEST(SqlTextReadWordUpper, Cases) {
    EXPECT_EQ(ReadWordUpper("  primary key", 0), "PRIMARY");
    EXPECT_EQ(ReadWordUpper("a not_null(x)", 1), "NOT_NULL");
    EXPECT_EQ(ReadWordUpper("\"quoted\"", 0), "");
    EXPECT_EQ(ReadWordUpper("abc", 3), "");
    // Bytes above 0x7F pass through untouched; only ASCII letters are upper-cased.
    EXPECT_EQ(ReadWordUpper("x\xe3\x81\x82y", 0), "X\xe3\x81\x82Y");
}

TEST(SqlTextReadIdentifier, Cases) {
    struct Case {
        std::string text;
        bool ok;
        std::string out;
        size_t endPos;
    };
    const Case cases[] = {
        {"  MyTable rest", true, "MyTable", 9},
        {"\"My Table\".x", true, "My Table", 10},
        {"\"a\"\"b\"", true, "a\"b", 6},
        {"\"\"\"\"", true, "\"", 4},
        {"\"\" x", true, "", 2},
        {"\"a, (b)\"", true, "a, (b)", 8},
        {"\"unterminated", false, "", 0},
        {"   ", false, "", 3},
        {"(a)", false, "", 0},
        // Shift_JIS: lead bytes are word bytes; a 0x5C trail byte needs the quotes pg_dump
        // writes around every non-ASCII name.
        {"\x83\x41\x83\x8Btbl(", true, "\x83\x41\x83\x8Btbl", 7},
        {"\"\x83\x5C\x83\x5C\"(", true, "\x83\x5C\x83\x5C", 6},
        {"\x83\x5C", true, "\x83", 1},
    };
    for (const Case& c : cases) {
        size_t pos = 0;
        std::string out = "stale";
        bool ok = ReadIdentifier(c.text, pos, out);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(out, c.out) << c.text;
        EXPECT_EQ(pos, c.endPos) << c.text;
    }
    size_t pos = 0;
    std::string out = "stale";
    EXPECT_FALSE(ReadIdentifier("", pos, out));
    EXPECT_EQ(out, "");
}

TEST(SqlTextReadQualifiedName, Cases) {
    struct Case {
        std::string text;
        bool ok;
        std::string schema;
        std::string name;
        std::string rest;
    };
    const Case cases[] = {
        {"t (", true, "", "t", " ("},
        {"public.t(", true, "public", "t", "("},
        {"\"My Schema\".\"a\"\"b\" (", true, "My Schema", "a\"b", " ("},
        {"db.s.t x", true, "s", "t", " x"},
        {"s . t", true, "", "s", " . t"},
        {"s. t", true, "s", "t", ""},
        {"s.(", false, "", "", ""},
        {"a.b.(", false, "", "", ""},
        {"(x)", false, "", "", ""},
        {"\"\xe8\xa1\xa8\".\"\x83\x5C\"", true, "\xe8\xa1\xa8", "\x83\x5C", ""},
    };
    for (const Case& c : cases) {
        size_t pos = 0;
        std::string schema = "stale";
        std::string name;
        EXPECT_EQ(ReadQualifiedName(c.text, pos, schema, name), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(schema, c.schema) << c.text;
        EXPECT_EQ(name, c.name) << c.text;
        EXPECT_EQ(c.text.substr(pos), c.rest) << c.text;
    }
}

TEST(SqlTextReadColumnList, Cases) {
    struct Case {
        std::string text;
        bool ok;
        std::vector<std::string> names;
        std::string rest;
    };
    const Case cases[] = {
        {" (a, \"B c\" ,d) FROM stdin;", true, {"a", "B c", "d"}, " FROM stdin;"},
        {"(only)", true, {"only"}, ""},
        {"(\"a,b\", \"x)\")", true, {"a,b", "x)"}, ""},
        {"a, b)", false, {}, ""},
        {"(a b)", false, {}, ""},
        {"(a,)", false, {}, ""},
        {"()", false, {}, ""},
        {"(a, b", false, {}, ""},
    };
    for (const Case& c : cases) {
        size_t pos = 0;
        std::vector<std::string> names = {"stale"};
        EXPECT_EQ(ReadColumnList(c.text, pos, names), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(names, c.names) << c.text;
        EXPECT_EQ(c.text.substr(pos), c.rest) << c.text;
    }
}

TEST(SqlTextLeadingWords, Cases) {
    EXPECT_EQ(LeadingWords("create  table public.t (a int)", 3), "CREATE TABLE PUBLIC");
    EXPECT_EQ(LeadingWords("INSERT INTO \"x\" VALUES", 4), "INSERT INTO");
    EXPECT_EQ(LeadingWords("\n\tAlter\r\nTable ONLY x", 3), "ALTER TABLE ONLY");
    EXPECT_EQ(LeadingWords("SET x = 1", 5), "SET X");
    EXPECT_EQ(LeadingWords("copy t", 0), "");
    EXPECT_EQ(LeadingWords("", 2), "");
}

TEST(SqlTextSplitTopLevel, Cases) {
    struct Case {
        std::string text;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {" a int , b numeric(10,2) ", {"a int", "b numeric(10,2)"}},
        {"a text DEFAULT 'x,y', \"c,d\" int", {"a text DEFAULT 'x,y'", "\"c,d\" int"}},
        // A quote inside the other kind of quotes does not open anything.
        {"a DEFAULT '\"', b int", {"a DEFAULT '\"'", "b int"}},
        {"\"it's\" int, b int", {"\"it's\" int", "b int"}},
        // Parentheses inside quotes do not count.
        {"a DEFAULT '(', b int", {"a DEFAULT '('", "b int"}},
        {"CHECK ((a > 0) AND (b < f(1, 2))), c int",
         {"CHECK ((a > 0) AND (b < f(1, 2)))", "c int"}},
        // Pieces ended by a comma are kept even when empty; a trailing empty one is not.
        {"a,,b,", {"a", "", "b"}},
        {", ", {""}},
        {"   ", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> pieces = {"stale"};
        SplitTopLevel(c.text, pieces);
        EXPECT_EQ(pieces, c.pieces) << c.text;
    }
}

TEST(SqlTextTrimAndUpper, Cases) {
    EXPECT_EQ(TrimSql(" \t\r\nab c\n "), "ab c");
    EXPECT_EQ(TrimSql("\v x \f"), "\v x \f");
    EXPECT_EQ(TrimSql(" \n"), "");
    EXPECT_EQ(platform::ToUpperAscii("abc-xyz_\xe3\x81\x82\x83\x5c{}`@"),
              "ABC-XYZ_\xe3\x81\x82\x83\x5c{}`@");
}

}  // namespace
