// The SQL script writer and the statement rules it splits the DDL by.
#include <gtest/gtest.h>

#include "app/DumpSession.h"
#include "app/SqlExport.h"
#include "dump/DumpModel.h"
#include "export/SqlStatements.h"
#include "export/SqlWriter.h"
#include "filter/RowFilter.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

using Kind = SqlStatementKind;

TEST(SqlStatementsTest, StatementsGoToTheirSection) {
    const struct {
        const char* statement;
        Kind kind;
    } cases[] = {
        {"CREATE TABLE public.t (id integer);", Kind::PreData},
        {"ALTER TABLE ONLY public.t ALTER COLUMN id SET DEFAULT nextval('s'::regclass);",
         Kind::PreData},
        {"ALTER TABLE ONLY public.t\n    ADD CONSTRAINT t_pkey PRIMARY KEY (id);", Kind::PostData},
        {"ALTER TABLE public.t ADD CONSTRAINT c CHECK ((id > 0)) NOT VALID;", Kind::PreData},
        {"ALTER TABLE ONLY public.t ADD CONSTRAINT f FOREIGN KEY (a) REFERENCES public.u(id);",
         Kind::PostData},
        {"create unique index i on public.t using btree (id);", Kind::PostData},
        {"CREATE TRIGGER tr AFTER INSERT ON public.t FOR EACH ROW EXECUTE FUNCTION f();",
         Kind::PostData},
        {"CREATE RULE r AS ON INSERT TO public.t DO INSTEAD NOTHING;", Kind::PostData},
        {"REFRESH MATERIALIZED VIEW public.mv;", Kind::PostData},
        {"ALTER INDEX public.p_idx ATTACH PARTITION public.c_idx;", Kind::PostData},
        {"COMMENT ON INDEX public.i IS 'x';", Kind::PostData},
        {"COMMENT ON TABLE public.t IS 'CREATE INDEX; GRANT';", Kind::PreData},
        {"-- a comment first\nCREATE INDEX i ON public.t (id);", Kind::PostData},
        {"ALTER TABLE public.t OWNER TO postgres;", Kind::Owner},
        {"ALTER FUNCTION public.f() OWNER TO \"Some Role\";", Kind::Owner},
        {"GRANT SELECT ON TABLE public.t TO reader;", Kind::Privilege},
        {"REVOKE ALL ON SCHEMA public FROM PUBLIC;", Kind::Privilege},
        {"ALTER LARGE OBJECT 424242 OWNER TO postgres;", Kind::Unrestorable},
        {"CREATE DATABASE kx WITH TEMPLATE = template0;", Kind::Unrestorable},
        {"CREATE FUNCTION public.f() RETURNS int AS $$ SELECT 1 $$ LANGUAGE sql;", Kind::PreData},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifySqlStatement(platform::Utf8ToUtf16(c.statement)), c.kind) << c.statement;
    }
}

TEST(SqlStatementsTest, SplitsOnlyAtSemicolonsOutsideQuotes) {
    const struct {
        const char* text;
        std::vector<std::string> statements;
    } cases[] = {
        {"CREATE TABLE a (x int);\r\n\r\nCREATE INDEX i ON a (x);",
         {"CREATE TABLE a (x int);", "CREATE INDEX i ON a (x);"}},
        {"COMMENT ON TABLE a IS 'one; ''two;''';", {"COMMENT ON TABLE a IS 'one; ''two;''';"}},
        {"CREATE FUNCTION f() AS $body$ x; $inner$ y; $inner$ $body$;\nSELECT 1;",
         {"CREATE FUNCTION f() AS $body$ x; $inner$ y; $inner$ $body$;", "SELECT 1;"}},
        {"CREATE TABLE \"a;b\" (x int); -- c;\n/* d; */ CREATE TABLE c ();",
         {"CREATE TABLE \"a;b\" (x int);", "-- c;\n/* d; */ CREATE TABLE c ();"}},
        {"SELECT $1, 2;", {"SELECT $1, 2;"}},
        {"  no semicolon  ", {"no semicolon"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (const std::u16string& s : SplitSqlStatements(platform::Utf8ToUtf16(c.text))) {
            got.push_back(platform::Utf16ToUtf8(s));
        }
        EXPECT_EQ(got, c.statements) << c.text;
    }
}

TEST(SqlStatementsTest, NamesAreReadFromStatements) {
    EXPECT_EQ(ReferencedTable(u"ADD CONSTRAINT f FOREIGN KEY (a) REFERENCES public.simple(id);"),
              u"public.simple");
    EXPECT_EQ(ReferencedTable(u"FOREIGN KEY (a) REFERENCES \"My S\".\"t(1)\"(id);"),
              u"\"My S\".\"t(1)\"");
    EXPECT_EQ(ReferencedTable(u"ADD CONSTRAINT p PRIMARY KEY (id);"), u"");
    EXPECT_EQ(SetvalSequenceName(u"SELECT pg_catalog.setval('public.ticket_seq', 105, true);"),
              u"public.ticket_seq");
    EXPECT_EQ(SetvalSequenceName(u"SELECT pg_catalog.setval('public.\"it''s\"', 1, false);"),
              u"public.\"it's\"");
    EXPECT_EQ(SetvalSequenceName(u"SELECT pg_catalog.set_config('search_path', '', false);"), u"");
    EXPECT_EQ(QuoteSqlIdentifier(u"with \"quote\""), u"\"with \"\"quote\"\"\"");
}

class SqlWriterTest : public ::testing::Test {
protected:
    // Opens a fixture dump; the table's position by its qualified name.
    size_t Open(const std::string& fixture, const std::u16string& table) {
        std::u16string error;
        m_session.SetDump(CDumpSession::OpenDump(FixturePathW(fixture), false, nullptr, error));
        EXPECT_TRUE(m_session.IsOpen()) << platform::Utf16ToUtf8(error);
        const ptrdiff_t index = m_session.FindTable(table, nullptr, error);
        EXPECT_GE(index, 0);
        return static_cast<size_t>(index);
    }
    std::string Write(const std::vector<SqlTableChoice>& tables, const SqlScriptOptions& options,
                      uint64_t expectedRows) {
        uint64_t rows = 0;
        std::u16string error;
        EXPECT_TRUE(
            WriteSqlScript(*m_session.GetDump(), tables, options, m_path, nullptr, rows, error))
            << platform::Utf16ToUtf8(error);
        EXPECT_EQ(rows, expectedRows);
        return ReadFileBytes(platform::Utf16ToUtf8(m_path));
    }

    ScratchDir m_scratch;
    std::u16string m_path = platform::Utf8ToUtf16(m_scratch.File("out.sql"));
    CDumpSession m_session;
};

std::string Copy(const std::string& name) {
    return ReadFileBytes(FixturePath("expected/kx_main/" + name + ".copy"));
}

TEST_F(SqlWriterTest, RowNumbersPickTheDumpsOwnLines) {
    const size_t table = Open("dumps/kx_main.custom.dump", u"public.escapes");
    const std::string all = Copy("7075626c69632e65736361706573");
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(all.substr(at, end + 1 - at));
    }
    ASSERT_EQ(lines.size(), 20u);
    const std::vector<uint64_t> rows{0, 4, 17, 19};
    SqlScriptOptions options;
    options.content = SqlContent::DataOnly;
    const std::string script = Write({SqlTableChoice{table, {}, &rows}}, options, 4);
    const std::string expected = lines[0] + lines[4] + lines[17] + lines[19];
    EXPECT_NE(script.find("FROM stdin;\n" + expected + "\\.\n"), std::string::npos);
    EXPECT_EQ(script.find("CREATE TABLE"), std::string::npos);
    EXPECT_EQ(script.find('\r'), std::string::npos);
}

TEST_F(SqlWriterTest, OwnersPrivilegesAndSequencesFollowTheOptions) {
    const size_t table = Open("dumps/kx_main.sql", u"public.orders");
    SqlScriptOptions options;
    std::string script = Write({SqlTableChoice{table, {}, nullptr}}, options, 3);
    EXPECT_NE(script.find("OWNER TO postgres;"), std::string::npos);
    // The owned sequence is created, owned and set; its value comes after the rows.
    const size_t create = script.find("CREATE SEQUENCE public.orders_order_id_seq");
    const size_t copy = script.find("COPY \"public\".\"orders\"");
    const size_t setval = script.find("setval('public.orders_order_id_seq', 3, true)");
    ASSERT_NE(create, std::string::npos);
    ASSERT_NE(setval, std::string::npos);
    EXPECT_LT(create, copy);
    EXPECT_LT(copy, setval);
    // Its foreign key names a table the script does not hold.
    EXPECT_EQ(script.find("FOREIGN KEY"), std::string::npos);
    EXPECT_LT(copy, script.find("PRIMARY KEY"));

    options.noOwner = true;
    options.noPrivileges = true;
    options.content = SqlContent::DefinitionOnly;
    script = Write({SqlTableChoice{table, {}, nullptr}}, options, 0);
    EXPECT_EQ(script.find("OWNER TO"), std::string::npos);
    EXPECT_EQ(script.find("GRANT"), std::string::npos);
    EXPECT_EQ(script.find("COPY "), std::string::npos);
    EXPECT_EQ(script.find("setval"), std::string::npos);
}

TEST_F(SqlWriterTest, TheWholeDumpPutsKeysAfterEveryRow) {
    Open("dumps/kx_main.custom.dump", u"public.simple");
    const std::string script = Write({}, SqlScriptOptions(), 1574);
    EXPECT_EQ(script.rfind("-- Kalvex", 0), 0u);
    EXPECT_NE(script.find("SET client_encoding = 'UTF8';\nSET standard_conforming_strings = on;"),
              std::string::npos);
    const size_t lastData = script.rfind("\\.\n");
    EXPECT_LT(script.find("CREATE FUNCTION public.add_one"), script.find("COPY "));
    EXPECT_LT(lastData, script.find("ADD CONSTRAINT simple_pkey"));
    EXPECT_LT(lastData, script.find("setval('public.ticket_seq', 105, true)"));
    EXPECT_LT(script.find("ADD CONSTRAINT simple_pkey"), script.find("FOREIGN KEY"));
    EXPECT_LT(lastData, script.find("REFRESH MATERIALIZED VIEW public.price_summary"));
}

TEST_F(SqlWriterTest, FailuresLeaveNoFile) {
    const size_t table = Open("dumps/kx_main.custom.dump", u"public.many_rows");
    CRowFilter filter;
    std::u16string error;
    const std::vector<ColumnInfo>& columns = m_session.GetDump()->GetTables()[table].columns;
    ASSERT_TRUE(filter.Prepare(u"label / 2 > 1", u"", columns, error));
    std::vector<SqlTableChoice> tables{SqlTableChoice{
        table, MakeFilterRowTest(filter, m_session.GetDump()->GetTables()[table], 65001), nullptr}};
    uint64_t rows = 0;
    EXPECT_FALSE(WriteSqlScript(*m_session.GetDump(), tables, SqlScriptOptions(), m_path, nullptr,
                                rows, error));
    EXPECT_EQ(error.rfind(u"WHERE 条件式の評価に失敗しました。", 0), 0u);
    EXPECT_EQ(platform::GetPathKind(m_path), platform::PathKind::Missing);

    const std::u16string folder = platform::Utf8ToUtf16(m_scratch.File("missing")) + u"/x.sql";
    EXPECT_FALSE(WriteSqlScript(*m_session.GetDump(), {SqlTableChoice{table, {}, nullptr}},
                                SqlScriptOptions(), folder, nullptr, rows, error));
    EXPECT_EQ(error, u"出力SQLファイルがオープンできませんでした(" + folder + u")。");
}

}  // namespace
