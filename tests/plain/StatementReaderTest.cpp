// The statement reader on everything that can hide a semicolon, and on scripts that put
// every token across the edge of the reader's 1 MiB window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "dump/BufferedFileReader.h"
#include "plain/StatementReader.h"
#include "plain/StatementReference.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

std::vector<SqlStatement> ReadAll(const ScratchDir& dir, const std::string& script,
                                  const StatementOptions& options = StatementOptions()) {
    const std::string path = dir.Write("script.sql", script);
    BufferedFileReader reader;
    EXPECT_TRUE(reader.Open(U16(path)));
    std::vector<SqlStatement> all;
    SqlStatement statement;
    while (ReadStatement(reader, statement, options)) all.push_back(statement);
    return all;
}

std::vector<std::string> Texts(const std::vector<SqlStatement>& statements) {
    std::vector<std::string> texts;
    for (const SqlStatement& s : statements) texts.push_back(s.text);
    return texts;
}

void ExpectSameAsReference(const ScratchDir& dir, const std::string& script,
                           bool keepQuotedCR = false, int codePage = 65001) {
    StatementOptions options;
    options.keepQuotedCR = keepQuotedCR;
    options.codePage = codePage;
    const std::vector<SqlStatement> got = ReadAll(dir, script, options);
    const std::vector<SqlStatement> want = reference::ReadAll(script, keepQuotedCR, codePage);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("statement " + std::to_string(i) + " at " +
                     std::to_string(want[i].startOffset));
        ASSERT_EQ(got[i].kind, want[i].kind);
        ASSERT_EQ(got[i].startOffset, want[i].startOffset);
        ASSERT_EQ(got[i].endOffset, want[i].endOffset);
        ASSERT_EQ(got[i].text, want[i].text);
    }
}

}  // namespace

TEST(StatementReaderTest, SemicolonsHiddenInQuotesCommentsAndDollarBodies) {
    struct Case {
        const char* name;
        std::string script;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {"single quotes", "SELECT 'a;b';\nSELECT 2;\n", {"SELECT 'a;b';", "SELECT 2;"}},
        {"doubled quote", "SELECT 'it''s;';\n", {"SELECT 'it''s;';"}},
        {"double-quoted name",
         "CREATE TABLE \"a;b\" (x int);\n",
         {"CREATE TABLE \"a;b\" (x int);"}},
        {"empty dollar tag", "DO $$ BEGIN; END $$;\nX;\n", {"DO $$ BEGIN; END $$;", "X;"}},
        {"dollar tag with name",
         "CREATE FUNCTION f() AS $body$ a; $inner$ b; $inner$ c; $body$;\n",
         {"CREATE FUNCTION f() AS $body$ a; $inner$ b; $inner$ c; $body$;"}},
        {"dollar quote over lines", "SELECT $_$\nx;\ny;\n$_$;\n", {"SELECT $_$\nx;\ny;\n$_$;"}},
        {"block comment", "SELECT 1 /* a; b */ + 1;\n", {"SELECT 1 /* a; b */ + 1;"}},
        {"nested block comment",
         "SELECT /* a /* b; */ c; */ 1;\n",
         {"SELECT /* a /* b; */ c; */ 1;"}},
        {"line comment", "SELECT 1 -- ; not here\n+ 2;\n", {"SELECT 1 \n+ 2;"}},
        {"comment line before", "-- SELECT 9;\nSELECT 1;\n", {"SELECT 1;"}},
        {"escape string", "SELECT E'a\\';b';\nSELECT 2;\n", {"SELECT E'a\\';b';", "SELECT 2;"}},
        {"escape string doubled quote", "SELECT E'a'';b';\n", {"SELECT E'a'';b';"}},
        {"plain string keeps backslash",
         "SELECT 'a\\';\nSELECT 2;\n",
         {"SELECT 'a\\';", "SELECT 2;"}},
        {"E at the end of a word is no prefix", "SELECT typE'x;';\n", {"SELECT typE'x;';"}},
        {"dollar inside a word",
         "SELECT a$b$ FROM t; SELECT 'x$b$';\n",
         {"SELECT a$b$ FROM t;", "SELECT 'x$b$';"}},
        {"positional parameter",
         "PREPARE p AS SELECT $1; SELECT $2;\n",
         {"PREPARE p AS SELECT $1;", "SELECT $2;"}},
        {"missing final semicolon", "SELECT 1;\nSELECT 2", {"SELECT 1;", "SELECT 2\n"}},
        {"only blanks and comments", "\n  \t\n-- x\n\r\n", {}},
        {"empty file", "", {}},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Texts(ReadAll(dir, c.script)), c.texts);
        ExpectSameAsReference(dir, c.script);
    }
}

TEST(StatementReaderTest, SeveralStatementsOnOneLineHaveTheirOwnOffsets) {
    ScratchDir dir;
    const std::string script = "SET a = 1; SET b = 2;  \nSELECT 3;";
    const std::vector<SqlStatement> s = ReadAll(dir, script);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].text, "SET a = 1;");
    EXPECT_EQ(s[0].startOffset, 0u);
    EXPECT_EQ(s[0].endOffset, 10u);  // just after the semicolon: more follows on the line
    EXPECT_EQ(s[1].text, "SET b = 2;");
    EXPECT_EQ(s[1].startOffset, 11u);
    EXPECT_EQ(s[1].endOffset, 24u);  // only blanks follow: the next line
    EXPECT_EQ(s[2].startOffset, 24u);
    EXPECT_EQ(s[2].endOffset, script.size());
}

TEST(StatementReaderTest, MetaCommandsAreWholeLines) {
    ScratchDir dir;
    const std::string script = "\\restrict KEY\r\nSELECT 1; \\connect db\n  \\unrestrict KEY";
    const std::vector<SqlStatement> s = ReadAll(dir, script);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].kind, SqlStatementKind_MetaCommand);
    EXPECT_EQ(s[0].text, "\\restrict KEY");
    EXPECT_EQ(s[0].endOffset, 15u);
    EXPECT_EQ(s[1].kind, SqlStatementKind_Sql);
    EXPECT_EQ(s[2].kind, SqlStatementKind_MetaCommand);
    EXPECT_EQ(s[2].text, "\\connect db");
    EXPECT_EQ(s[2].startOffset, 25u);
    EXPECT_EQ(s[3].text, "\\unrestrict KEY");
    EXPECT_EQ(s[3].startOffset, 39u);
}

TEST(StatementReaderTest, CrLfScriptsReadLikeLfScripts) {
    ScratchDir dir;
    const std::string lf = "CREATE TABLE t (\n    a text\n);\nCOMMENT ON TABLE t IS 'x\ny';\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(Texts(ReadAll(dir, crlf)), Texts(ReadAll(dir, lf)));
    ExpectSameAsReference(dir, crlf);
}

TEST(StatementReaderTest, CrBeforeLineBreakInsideLiteralIsKeptOnlyWhenAsked) {
    ScratchDir dir;
    const std::string script = "INSERT INTO t VALUES ('a\r\nb', \"c\r\nd\");\r\n";
    StatementOptions keep;
    keep.keepQuotedCR = true;
    EXPECT_EQ(ReadAll(dir, script, keep).at(0).text,
              "INSERT INTO t VALUES ('a\r\nb', \"c\r\nd\");");
    EXPECT_EQ(ReadAll(dir, script).at(0).text, "INSERT INTO t VALUES ('a\nb', \"c\nd\");");
    ExpectSameAsReference(dir, script, true);
    ExpectSameAsReference(dir, script, false);
}

TEST(StatementReaderTest, ShiftJisTrailByteDoesNotEscapeTheClosingQuote) {
    ScratchDir dir;
    // 表 is 0x95 0x5C in Shift_JIS: in an escape string the 0x5C is part of the character.
    const std::string script = "SELECT E'\x95\x5C';\nSELECT 2;\n";
    StatementOptions sjis;
    sjis.codePage = 932;
    EXPECT_EQ(ReadAll(dir, script, sjis).size(), 2u);
    ExpectSameAsReference(dir, script, false, 932);
    // Read as UTF-8 the same bytes escape the quote and the string runs on.
    EXPECT_EQ(ReadAll(dir, script).size(), 1u);
}

TEST(StatementReaderTest, TextBeyondTheLimitIsCutButTheStatementEndsInItsPlace) {
    ScratchDir dir;
    const std::string script =
        "COMMENT ON TABLE t IS '" + std::string(5000, 'x') + ";';\nSELECT 2;\n";
    StatementOptions small;
    small.maxText = 100;
    const std::vector<SqlStatement> s = ReadAll(dir, script, small);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_TRUE(s[0].truncated);
    EXPECT_EQ(s[0].text.size(), 100u);
    EXPECT_EQ(s[0].keptEnd, 100u);
    EXPECT_EQ(s[0].endOffset, script.find("SELECT 2"));
    EXPECT_FALSE(s[1].truncated);
    EXPECT_EQ(s[1].text, "SELECT 2;");
}

TEST(StatementReaderTest, EveryTokenAcrossTheWindowEdge) {
    constexpr size_t kEdge = BufferedFileReader::kWindowSize;
    const std::vector<std::string> tokens = {
        "--c;\n",     "/* ; */",       "$tag$ ; $tag$", "$$;$$",  "E'\\';'",
        "E'a'';'",    "\r\n",          "'x''y;'",       "\"a;\"", ";  \r\nSELECT 5",
        "; \\c db\n", "/* /* */ ; */", "$1;",           "x$y$;",  "--\r\n",
    };
    ScratchDir dir;
    for (const std::string& token : tokens) {
        for (size_t back = 0; back <= token.size() + 1; ++back) {
            SCOPED_TRACE("token " + token + " starting " + std::to_string(back) +
                         " bytes before the edge");
            // A long comment line takes the script up to a little before the edge.
            const std::string statement = "SELECT 'a' ";
            const size_t fill = kEdge - back - statement.size() - 3;
            std::string script = "--" + std::string(fill, 'x') + "\n" + statement + token;
            script += " tail;\nSELECT 'end';\n";
            ExpectSameAsReference(dir, script, false);
            ExpectSameAsReference(dir, script, true);
        }
    }
}

TEST(StatementReaderTest, RandomTokenSoupMatchesTheReference) {
    const std::vector<std::string> tokens = {
        "'",  "''",  "\"",      "$$",       "$a$",      "$1",   "x$a$",  "--",     "/*",
        "*/", ";",   ";",       ";",        "\n",       "\n",   "\r\n",  "\r",     " ",
        "\t", "E'",  "e'",      "\\",       "\\'",      "abc",  "-",     "/",      "*",
        "$",  "\\.", "\\c x\n", "SELECT 1", "\x95\x5C", "\x81", "xyz\n", "-- c\n", "; \n"};
    ScratchDir dir;
    std::mt19937 random(20240611);
    for (size_t size : {size_t{300}, size_t{5000}, size_t{2} << 20}) {
        for (int round = 0; round < (size < 10000 ? 40 : 2); ++round) {
            std::string script;
            while (script.size() < size) script += tokens[random() % tokens.size()];
            SCOPED_TRACE("size " + std::to_string(size) + " round " + std::to_string(round));
            ExpectSameAsReference(dir, script, round % 2 == 0, round % 4 < 2 ? 65001 : 932);
        }
    }
}

TEST(StatementReaderTest, CopyDataIsCountedUpToTheEndLine) {
    struct Case {
        const char* name;
        std::string data;
        uint64_t rows;
        size_t end;  // offset of the end line, relative to the data
        std::string next;
    };
    const std::vector<Case> cases = {
        {"plain", "1\ta\n2\tb\n3\tc\n\\.\nSELECT 1;\n", 3, 12, "SELECT 1;"},
        {"crlf", "1\r\n2\r\n\\.\r\nSELECT 1;\r\n", 2, 6, "SELECT 1;"},
        {"empty section", "\\.\nSELECT 1;\n", 0, 0, "SELECT 1;"},
        {"missing end line", "1\n2\n", 2, 4, ""},
        {"last line without LF", "1\n2", 2, 3, ""},
        {"end line without LF", "1\n\\.", 1, 2, ""},
        {"end line with CR at the end", "1\n\\.\r", 1, 2, ""},
        {"escaped dot is data", "\\\\.\n\\.x\n\\.\n", 2, 8, ""},
        {"empty lines are rows", "\n\n\\.\n", 2, 2, ""},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string head = "COPY t FROM stdin;\n";
        const std::string path = dir.Write("copy.sql", head + c.data);
        BufferedFileReader reader;
        ASSERT_TRUE(reader.Open(U16(path)));
        SqlStatement statement;
        ASSERT_TRUE(ReadStatement(reader, statement));
        uint64_t rows = 0, start = 0, end = 0;
        ASSERT_TRUE(SkipCopyData(reader, rows, start, end));
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(start, head.size());
        EXPECT_EQ(end, head.size() + c.end);
        const bool more = ReadStatement(reader, statement);
        EXPECT_EQ(more ? statement.text : std::string(), c.next);
    }
}

TEST(StatementReaderTest, CopyDataAcrossWindowEdgesAndLongLines) {
    ScratchDir dir;
    // Lines of every length around the edge, one longer than two windows, then the end line
    // straddling a refill.
    std::string data;
    uint64_t rows = 0;
    for (size_t length = 1; data.size() < 3 * BufferedFileReader::kWindowSize; ++length) {
        data += std::string(length == 500 ? 2'500'000 : length % 300, 'd') + "\n";
        ++rows;
    }
    const std::string head = "COPY t FROM stdin;\n";
    const std::string path = dir.Write("copy.sql", head + data + "\\.\r\nSELECT 1;\n");
    BufferedFileReader reader;
    ASSERT_TRUE(reader.Open(U16(path)));
    SqlStatement statement;
    ASSERT_TRUE(ReadStatement(reader, statement));
    uint64_t counted = 0, start = 0, end = 0;
    ASSERT_TRUE(SkipCopyData(reader, counted, start, end));
    EXPECT_EQ(counted, rows);
    EXPECT_EQ(end, head.size() + data.size());
    ASSERT_TRUE(ReadStatement(reader, statement));
    EXPECT_EQ(statement.text, "SELECT 1;");
}

TEST(StatementReaderTest, CopyDataPollsTheJobEvery64MiB) {
    ScratchDir dir;
    // A sparse file: one COPY line of 150 MiB that costs no disk.
    const std::string head = "COPY t FROM stdin;\n";
    const std::string path = dir.Write("big.sql", head);
    ASSERT_EQ(truncate(path.c_str(), head.size() + (150 << 20)), 0);
    BufferedFileReader reader;
    ASSERT_TRUE(reader.Open(U16(path)));
    SqlStatement statement;
    ASSERT_TRUE(ReadStatement(reader, statement));
    TestJob job(1);  // cancelled at the second poll
    uint64_t rows = 0, start = 0, end = 0;
    EXPECT_FALSE(SkipCopyData(reader, rows, start, end, &job));
    EXPECT_EQ(job.polls, 2);
    EXPECT_LT(reader.Position(), uint64_t{150} << 20);
}
