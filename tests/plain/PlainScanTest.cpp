// The scan of small scripts: which statements build tables, DDL, databases and
// properties, and where each table's data is found.
#include <gtest/gtest.h>

#include <map>

#include "plain/PlainDump.h"
#include "support/CollectSink.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

struct Scanned {
    std::unique_ptr<CPlainDump> dump;
    std::vector<std::u16string> log;
};

Scanned ScanScript(const ScratchDir& dir, const std::string& script,
                   const std::string& name = "script.sql") {
    Scanned s;
    s.dump = std::make_unique<CPlainDump>();
    const std::string path = dir.Write(name, script);
    EXPECT_TRUE(s.dump->Open(U16(path), false));
    std::vector<std::u16string>* log = &s.log;
    s.dump->SetLogger([log](const std::u16string& line) { log->push_back(line); });
    std::u16string error;
    EXPECT_TRUE(s.dump->Scan(nullptr, error)) << U8(error);
    return s;
}

const TableEntry* Table(CPlainDump& dump, const std::string& qualified,
                        const std::string& database = "") {
    for (const TableEntry& t : dump.GetTables()) {
        if (U8(t.QualifiedName()) == qualified && U8(t.database) == database) return &t;
    }
    return nullptr;
}

std::vector<std::string> ColumnNames(const TableEntry& table) {
    std::vector<std::string> names;
    for (const ColumnInfo& c : table.columns) names.push_back(U8(c.name));
    return names;
}

std::string Data(CPlainDump& dump, const TableEntry& table) {
    CollectSink sink;
    std::u16string error;
    EXPECT_TRUE(dump.ReadTableData(table, sink, nullptr, error)) << U8(error);
    return sink.bytes;
}

}  // namespace

TEST(PlainScanTest, OpenTouchesNothingAndSetsTheProperties) {
    CPlainDump dump;
    EXPECT_TRUE(dump.Open(u"/no/such/file.sql.gz", true));
    EXPECT_EQ(dump.GetPath(), u"/no/such/file.sql.gz");
    EXPECT_TRUE(dump.GetReadPath().empty());
    EXPECT_EQ(dump.GetInfo().formatName, u"Plain SQL (gzip)");
    EXPECT_EQ(dump.GetInfo().compression, u"gzip");
    EXPECT_EQ(dump.GetInfo().encoding, u"UTF8");
    EXPECT_EQ(dump.GetInfo().codePage, 65001);
    EXPECT_TRUE(dump.Open(u"/no/such/file.sql", false));
    EXPECT_EQ(dump.GetReadPath(), u"/no/such/file.sql");
    EXPECT_EQ(dump.GetInfo().formatName, u"Plain SQL");
    EXPECT_EQ(dump.GetInfo().compression, u"none");

    std::u16string error;
    EXPECT_FALSE(dump.Scan(nullptr, error));
    EXPECT_EQ(error, u"ダンプファイルをオープンできません(/no/such/file.sql)。");
}

TEST(PlainScanTest, TableWithColumnsCopyDataAndAttachedStatements) {
    ScratchDir dir;
    const std::string script =
        "SET client_encoding = 'UTF8';\n"
        "CREATE TABLE public.t (\n    a integer NOT NULL,\n    b text\n);\n"
        "ALTER TABLE public.t OWNER TO postgres;\n"
        "COMMENT ON TABLE public.t IS 'x; y';\n"
        "COMMENT ON COLUMN public.t.b IS 'column b';\n"
        "COPY public.t (a, b) FROM stdin;\n1\tone\n2\ttwo\n3\t\\N\n\\.\n"
        "CREATE INDEX i ON ONLY public.t USING btree (a);\n"
        "ALTER TABLE ONLY public.missing ADD CONSTRAINT c PRIMARY KEY (a);\n";
    Scanned s = ScanScript(dir, script);
    const TableEntry* t = Table(*s.dump, "public.t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(ColumnNames(*t), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(U8(t->columns[0].type), "integer");
    EXPECT_TRUE(t->columns[0].notNull);
    EXPECT_EQ(t->rowCount, 3u);
    EXPECT_TRUE(t->rowCountKnown);
    EXPECT_EQ(t->dataKind, TableDataKind_Copy);
    EXPECT_EQ(t->dataOffset, static_cast<int64_t>(script.find("1\tone")));
    EXPECT_EQ(t->dataEnd, static_cast<int64_t>(script.find("\\.\n")));
    EXPECT_EQ(t->copyColumns, (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(U8(t->ddl),
              "CREATE TABLE public.t (\n    a integer NOT NULL,\n    b text\n);\r\n"
              "\r\nALTER TABLE public.t OWNER TO postgres;\r\n"
              "\r\nCOMMENT ON TABLE public.t IS 'x; y';\r\n"
              "\r\nCOMMENT ON COLUMN public.t.b IS 'column b';\r\n"
              "\r\nCREATE INDEX i ON ONLY public.t USING btree (a);\r\n");
    EXPECT_EQ(Data(*s.dump, *t), "1\tone\n2\ttwo\n3\t\\N\n");
    EXPECT_EQ(s.log, (std::vector<std::u16string>{u"[copy] public.t rows=3"}));

    std::vector<std::string> kinds;
    for (const DdlObject& o : s.dump->GetDdlObjects()) kinds.push_back(U8(o.objectType));
    // SET, COPY and SELECT are no schema objects; the ALTER TABLE of an unknown table is.
    EXPECT_EQ(kinds, (std::vector<std::string>{"TABLE", "ALTER TABLE", "COMMENT", "COMMENT",
                                               "INDEX", "ALTER TABLE"}));
    EXPECT_EQ(U8(s.dump->GetDdlObjects()[0].name), "t");
    EXPECT_EQ(U8(s.dump->GetDdlObjects()[0].schema), "public");
    EXPECT_EQ(U8(s.dump->GetDdlObjects()[2].definition), "COMMENT ON TABLE public.t IS 'x; y';");
}

TEST(PlainScanTest, ObjectTypesOfOtherStatements) {
    struct Case {
        const char* statement;
        const char* type;
    };
    const std::vector<Case> cases = {
        {"CREATE FUNCTION public.f() RETURNS integer\n    LANGUAGE sql\n    AS $$\nSELECT 1;\n"
         "SELECT 2;\n$$;",
         "FUNCTION"},
        {"CREATE VIEW v AS SELECT 1;", "VIEW"},
        {"CREATE OR REPLACE VIEW v AS SELECT 1;", "REPLACE"},
        {"CREATE MATERIALIZED VIEW mv AS SELECT 1;", "VIEW"},
        {"CREATE TEXT SEARCH CONFIGURATION c (PARSER = p);", "SEARCH"},
        {"ALTER SEQUENCE s OWNED BY t.a;", "SEQUENCE"},
        {"GRANT SELECT ON t TO u;", "GRANT SELECT"},
        {"DROP TABLE t;", "DROP TABLE"},
        {"CREATE TABLESPACE ts LOCATION '/x';", "TABLESPACE"},
        {"ALTER TABLESPACE ts OWNER TO u;", "TABLESPACE"},
        {"CREATE UNIQUE INDEX u ON t (a);", "INDEX"},
        {"CREATE DATABASE sales WITH TEMPLATE = template0;", "DATABASE"},
        {"BEGIN;", "BEGIN"},
        {"SETUP x;", "SETUP X"},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        Scanned s = ScanScript(dir, std::string(c.statement) + "\n");
        ASSERT_EQ(s.dump->GetDdlObjects().size(), 1u);
        EXPECT_EQ(U8(s.dump->GetDdlObjects()[0].objectType), c.type);
        EXPECT_EQ(U8(s.dump->GetDdlObjects()[0].definition), c.statement);
    }
    for (const char* ignored : {"SET search_path = x;", "SELECT pg_catalog.setval('s', 1);",
                                "COPY t TO stdout;", "INSERT INTO t VALUES (1);"}) {
        SCOPED_TRACE(ignored);
        EXPECT_TRUE(ScanScript(dir, ignored).dump->GetDdlObjects().empty());
    }
}

TEST(PlainScanTest, CommentOnColumnFindsTheTable) {
    ScratchDir dir;
    Scanned s = ScanScript(dir,
                           "CREATE TABLE s.t (c int);\n"
                           "CREATE TABLE u.t (c int);\n"
                           "COMMENT ON COLUMN t.c IS 'two parts';\n"
                           "COMMENT ON COLUMN u.t.c IS 'three parts';\n"
                           "COMMENT ON COLUMN x.t.c IS 'no such schema';\n"
                           "COMMENT ON COLUMN \"u\".\"t\".\"c\" IS 'quoted';\n");
    const std::string st = U8(Table(*s.dump, "s.t")->ddl);
    const std::string ut = U8(Table(*s.dump, "u.t")->ddl);
    EXPECT_NE(st.find("two parts"), std::string::npos);
    EXPECT_EQ(st.find("three parts"), std::string::npos);
    EXPECT_EQ(ut.find("two parts"), std::string::npos);
    EXPECT_NE(ut.find("three parts"), std::string::npos);
    EXPECT_NE(ut.find("quoted"), std::string::npos);
    EXPECT_EQ((st + ut).find("no such schema"), std::string::npos);
    EXPECT_EQ(s.dump->GetDdlObjects().size(), 6u);
}

// The archive reader attaches triggers to their table; a script lists them on their own.
TEST(PlainScanTest, TriggersAreListedNotAttached) {
    ScratchDir dir;
    Scanned s = ScanScript(dir,
                           "CREATE TABLE public.t (c int);\n"
                           "CREATE TRIGGER tr AFTER UPDATE ON public.t FOR EACH ROW EXECUTE "
                           "FUNCTION f();\n"
                           "CREATE INDEX i ON public.t (c);\n");
    const std::string ddl = U8(Table(*s.dump, "public.t")->ddl);
    EXPECT_EQ(ddl.find("TRIGGER"), std::string::npos);
    EXPECT_NE(ddl.find("CREATE INDEX i"), std::string::npos);
    ASSERT_EQ(s.dump->GetDdlObjects().size(), 3u);
    EXPECT_EQ(U8(s.dump->GetDdlObjects()[1].objectType), "TRIGGER");
}

TEST(PlainScanTest, InsertStatementsCountRowsAndRecordTheirRange) {
    ScratchDir dir;
    const std::string script =
        "CREATE TABLE public.t (id integer, name text, extra text);\n"
        "INSERT INTO public.t (name, id) VALUES ('a', 1), ('(x', 2);\n"
        "SET x = 1;\n"
        "INSERT INTO public.u VALUES (1);\n"
        "INSERT INTO public.t (name, id) VALUES ('c', 3) ON CONFLICT (id) DO NOTHING;  \n"
        "SELECT 1;\n";
    Scanned s = ScanScript(dir, script);
    const TableEntry* t = Table(*s.dump, "public.t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->dataKind, TableDataKind_Insert);
    EXPECT_EQ(t->rowCount, 3u);
    EXPECT_EQ(t->dataOffset, static_cast<int64_t>(script.find("INSERT INTO public.t")));
    EXPECT_EQ(t->dataEnd, static_cast<int64_t>(script.find("SELECT 1")));
    // The INSERT column list orders the columns; the one it leaves out is dropped.
    EXPECT_EQ(ColumnNames(*t), (std::vector<std::string>{"name", "id"}));
    EXPECT_EQ(U8(t->columns[1].type), "integer");
    EXPECT_EQ(Data(*s.dump, *t), "a\t1\n(x\t2\nc\t3\n");

    const TableEntry* u = Table(*s.dump, "public.u");
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->rowCount, 1u);
    EXPECT_EQ(Data(*s.dump, *u), "1\n");
}

TEST(PlainScanTest, InsertWithoutSchemaBelongsToTheTableOfThatName) {
    ScratchDir dir;
    Scanned s = ScanScript(dir,
                           "CREATE TABLE s.t (a int);\n"
                           "INSERT INTO t VALUES (1);\n"
                           "INSERT INTO s.t VALUES (2);\n"
                           "INSERT INTO other.t VALUES (3);\n"
                           "INSERT INTO t VALUES (4);\n");
    const TableEntry* t = Table(*s.dump, "s.t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rowCount, 3u);
    EXPECT_EQ(Data(*s.dump, *t), "1\n2\n4\n");
    const TableEntry* other = Table(*s.dump, "other.t");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(Data(*s.dump, *other), "3\n");
}

TEST(PlainScanTest, ClientEncodingSwitchesTheCodePageForWhatFollows) {
    ScratchDir dir;
    // 表 in Shift_JIS is 0x95 0x5C.
    Scanned s = ScanScript(dir,
                           "SET client_encoding = 'SJIS';\n"
                           "CREATE TABLE public.\"\x95\x5C\" (\"\x97\xF1\" text);\n"
                           "COPY public.\"\x95\x5C\" (\"\x97\xF1\") FROM stdin;\n"
                           "C:\\\\\x83\x5C\n\\.\n");
    EXPECT_EQ(s.dump->GetInfo().encoding, u"SJIS");
    EXPECT_EQ(s.dump->GetInfo().codePage, 932);
    const TableEntry* t = Table(*s.dump, "public.表");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(ColumnNames(*t), (std::vector<std::string>{"列"}));
    EXPECT_EQ(s.dump->TableCodePage(*t), 932);
    EXPECT_EQ(Data(*s.dump, *t), "C:\\\\\x83\x5C\n");
}

TEST(PlainScanTest, ConnectSwitchesTheDatabaseOfWhatFollows) {
    ScratchDir dir;
    Scanned s = ScanScript(dir,
                           "CREATE TABLE public.before (a int);\n"
                           "CREATE DATABASE sales;\n"
                           "\\connect -reuse-previous=on \"dbname='sales'\"\n"
                           "SET client_encoding = 'LATIN1';\n"
                           "CREATE TABLE public.t (a int);\n"
                           "COPY public.t (a) FROM stdin;\n1\n\\.\n"
                           "\\connect postgres\n"
                           "CREATE TABLE public.t (b int);\n"
                           "\\connect sales\n"
                           "COMMENT ON TABLE public.t IS 'sales t';\n");
    const DumpInfo& info = s.dump->GetInfo();
    EXPECT_TRUE(info.isCluster);
    EXPECT_EQ(info.databases, (std::vector<std::u16string>{u"sales", u"postgres"}));
    ASSERT_NE(Table(*s.dump, "public.before"), nullptr);
    const TableEntry* salesT = Table(*s.dump, "public.t", "sales");
    const TableEntry* postgresT = Table(*s.dump, "public.t", "postgres");
    ASSERT_NE(salesT, nullptr);
    ASSERT_NE(postgresT, nullptr);
    EXPECT_EQ(salesT->rowCount, 1u);
    EXPECT_EQ(ColumnNames(*postgresT), (std::vector<std::string>{"b"}));
    EXPECT_NE(U8(salesT->ddl).find("'sales t'"), std::string::npos);
    EXPECT_EQ(U8(postgresT->ddl).find("'sales t'"), std::string::npos);
    EXPECT_EQ(s.dump->TableCodePage(*salesT), 28591);
    EXPECT_EQ(s.log, (std::vector<std::u16string>{u"[connect] sales", u"[copy] public.t rows=1",
                                                  u"[connect] postgres", u"[connect] sales"}));
    std::map<std::string, int> perDatabase;
    for (const DdlObject& o : s.dump->GetDdlObjects()) ++perDatabase[U8(o.database)];
    EXPECT_EQ(perDatabase, (std::map<std::string, int>{{"", 1}, {"sales", 3}, {"postgres", 1}}));
}

TEST(PlainScanTest, DatabaseStatementsGoWithTheDatabaseTheyName) {
    ScratchDir dir;
    // Older pg_dumpall scripts create every database up front; newer ones just before
    // connecting to it. Either way a statement about a database belongs to that database.
    Scanned s = ScanScript(dir,
                           "CREATE ROLE r;\n"
                           "CREATE DATABASE \"Sales DB\" WITH TEMPLATE = template0;\n"
                           "ALTER DATABASE \"Sales DB\" OWNER TO r;\n"
                           "COMMENT ON DATABASE \"Sales DB\" IS 'ON DATABASE x';\n"
                           "REVOKE CONNECT,TEMPORARY ON DATABASE \"Sales DB\" FROM PUBLIC;\n"
                           "GRANT ALL ON DATABASE \"Sales DB\" TO r;\n"
                           "SECURITY LABEL FOR selinux ON DATABASE \"Sales DB\" IS 'l';\n"
                           "ALTER DATABASE \"Sales DB\" SET work_mem TO '1MB';\n"
                           "CREATE DATABASE hr;\n"
                           "ALTER DATABASE nowhere SET work_mem TO '1MB';\n"
                           "GRANT SELECT ON TABLE public.x TO r;\n"
                           "\\connect \"Sales DB\"\n"
                           "CREATE TABLE public.t (a int);\n"
                           "\\connect hr\n"
                           "ALTER DATABASE hr SET search_path TO public;\n"
                           "GRANT CONNECT ON DATABASE \"Sales DB\" TO r;\n");
    std::vector<std::pair<std::string, std::string>> owners;
    for (const DdlObject& o : s.dump->GetDdlObjects()) {
        owners.emplace_back(U8(o.database), U8(o.definition).substr(0, 24));
    }
    EXPECT_EQ(owners, (std::vector<std::pair<std::string, std::string>>{
                          {"", "CREATE ROLE r;"},
                          {"Sales DB", "CREATE DATABASE \"Sales D"},
                          {"Sales DB", "ALTER DATABASE \"Sales DB"},
                          {"Sales DB", "COMMENT ON DATABASE \"Sal"},
                          {"Sales DB", "REVOKE CONNECT,TEMPORARY"},
                          {"Sales DB", "GRANT ALL ON DATABASE \"S"},
                          {"Sales DB", "SECURITY LABEL FOR selin"},
                          {"Sales DB", "ALTER DATABASE \"Sales DB"},
                          {"hr", "CREATE DATABASE hr;"},
                          // Not a database of the script: stays where it stands.
                          {"", "ALTER DATABASE nowhere S"},
                          {"", "GRANT SELECT ON TABLE pu"},
                          {"Sales DB", "CREATE TABLE public.t (a"},
                          {"hr", "ALTER DATABASE hr SET se"},
                          {"Sales DB", "GRANT CONNECT ON DATABAS"},
                      }));
}

TEST(PlainScanTest, InheritedColumnsComeFirst) {
    ScratchDir dir;
    Scanned s =
        ScanScript(dir,
                   "CREATE TABLE public.parent (id integer NOT NULL, name text);\n"
                   "CREATE TABLE public.other (code char(2));\n"
                   "CREATE TABLE public.child (\n    extra text,\n    name text NOT NULL\n)\n"
                   "INHERITS (public.parent, public.other);\n"
                   "CREATE TABLE public.orphan (x int) INHERITS (elsewhere.p);\n"
                   "INSERT INTO public.child VALUES (1, 'n', 'AB', 'e');\n");
    const TableEntry* child = Table(*s.dump, "public.child");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(ColumnNames(*child), (std::vector<std::string>{"id", "name", "code", "extra"}));
    EXPECT_TRUE(child->columns[1].notNull);
    EXPECT_EQ(U8(child->columns[2].type), "char(2)");
    EXPECT_EQ(ColumnNames(*Table(*s.dump, "public.orphan")), (std::vector<std::string>{"x"}));
}

// Generated catalogues big enough that a per-table or per-column search would show, checked
// for their results: each link of a chain adds one column and repeats one of its parent's.
TEST(PlainScanTest, LongChainsWideParentsAndUnqualifiedNamesResolve) {
    ScratchDir dir;
    constexpr int kChain = 400;
    constexpr int kWide = 3000;
    std::string script = "CREATE TABLE public.t0 (id integer NOT NULL);\n";
    for (int i = 1; i < kChain; ++i) {
        script += "CREATE TABLE public.t" + std::to_string(i) + " (id bigint, c" +
                  std::to_string(i) + " text) INHERITS (public.t" + std::to_string(i - 1) + ");\n";
    }
    script += "CREATE TABLE public.wide (";
    for (int i = 0; i < kWide; ++i) script += (i > 0 ? ", w" : "w") + std::to_string(i) + " int";
    script += ");\nCREATE TABLE public.narrow (w7 text, own int) INHERITS (public.wide);\n";
    // The same bare name in two schemas: a name without schema finds the first.
    script += "CREATE TABLE a.dup (x int);\nCREATE TABLE b.dup (y int);\n";
    script += "CREATE TABLE public.kid () INHERITS (dup);\n";
    Scanned s = ScanScript(dir, script);

    const TableEntry* last = Table(*s.dump, "public.t" + std::to_string(kChain - 1));
    ASSERT_NE(last, nullptr);
    ASSERT_EQ(last->columns.size(), static_cast<size_t>(kChain));
    EXPECT_EQ(U8(last->columns[0].name), "id");
    EXPECT_TRUE(last->columns[0].notNull);
    EXPECT_EQ(U8(last->columns[0].type), "bigint");
    for (int i = 1; i < kChain; ++i) {
        EXPECT_EQ(U8(last->columns[static_cast<size_t>(i)].name), "c" + std::to_string(i));
    }

    const TableEntry* narrow = Table(*s.dump, "public.narrow");
    ASSERT_NE(narrow, nullptr);
    ASSERT_EQ(narrow->columns.size(), static_cast<size_t>(kWide + 1));
    EXPECT_EQ(U8(narrow->columns[7].type), "text");
    EXPECT_EQ(U8(narrow->columns[kWide - 1].name), "w" + std::to_string(kWide - 1));
    EXPECT_EQ(U8(narrow->columns[kWide].name), "own");

    const TableEntry* kid = Table(*s.dump, "public.kid");
    ASSERT_NE(kid, nullptr);
    EXPECT_EQ(ColumnNames(*kid), (std::vector<std::string>{"x"}));
}

TEST(PlainScanTest, SeveralCopySectionsOfOneTableAreAllRead) {
    ScratchDir dir;
    Scanned s = ScanScript(dir,
                           "COPY t (a) FROM stdin;\n1\n2\n\\.\n"
                           "SELECT 1;\n"
                           "COPY t (a) FROM stdin;\n3\n\\.\n");
    const TableEntry* t = Table(*s.dump, "t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rowCount, 3u);
    EXPECT_EQ(Data(*s.dump, *t), "1\n2\n3\n");
    // Only the COPY list named the column.
    ASSERT_EQ(t->columns.size(), 1u);
    EXPECT_TRUE(t->columns[0].type.empty());
}

TEST(PlainScanTest, CopyDataIsNeverTakenForStatements) {
    ScratchDir dir;
    // An unreadable name still has its data skipped; an apostrophe in it opens nothing.
    Scanned s = ScanScript(dir,
                           "COPY .t FROM stdin;\nit's;\n\\.\n"
                           "COPY t FROM stdin;\nit's\n");
    EXPECT_TRUE(s.dump->GetDdlObjects().empty());
    const TableEntry* t = Table(*s.dump, "t");
    ASSERT_NE(t, nullptr);
    // The end line is missing: the data runs to the end of the file.
    EXPECT_EQ(t->rowCount, 1u);
    EXPECT_EQ(Data(*s.dump, *t), "it's\n");
}

TEST(PlainScanTest, VersionCommentsOnlyInTheFirstTwentyLines) {
    ScratchDir dir;
    std::string script =
        "--\n-- Dumped from database version 15.18\r\n"
        "-- Dumped by pg_dump version 15.17\n";
    Scanned early = ScanScript(dir, script);
    EXPECT_EQ(early.dump->GetInfo().serverVersion, u"15.18");
    EXPECT_EQ(early.dump->GetInfo().dumpVersion, u"15.17");
    EXPECT_TRUE(early.dump->GetInfo().database.empty());
    EXPECT_TRUE(early.dump->GetInfo().createdAt.empty());

    std::string late;
    for (int i = 0; i < 20; ++i) late += "\n";
    Scanned s = ScanScript(dir, late + script);
    EXPECT_TRUE(s.dump->GetInfo().serverVersion.empty());
}

TEST(PlainScanTest, ClusterVersionsComeFromTheFirstDatabasesHeader) {
    const std::string globals = "--\n-- PostgreSQL database cluster dump\n--\n" +
                                std::string(30, '\n') + "CREATE ROLE r;\n";
    const std::string header =
        "--\n-- PostgreSQL database dump\n--\n\n"
        "-- Dumped from database version 15.18\n-- Dumped by pg_dump version 15.17\n\n";
    const std::string second =
        "-- Dumped from database version 16.1\n-- Dumped by pg_dump version 16.2\n";
    struct Case {
        const char* name;
        std::string script;
        const char16_t* server;
        const char16_t* tool;
    };
    const Case cases[] = {
        // pg_dumpall connects to template1 first and pg_dump's header follows.
        {"after the first connect", globals + "\\connect template1\n" + header + second, u"15.18",
         u"15.17"},
        // Other databases are created first: the header comes before CREATE DATABASE.
        {"before the first create", globals + header + "CREATE DATABASE a;\n\\connect a\n" + second,
         u"15.18", u"15.17"},
        // A header far into the first database is not that database's header.
        {"too far after the connect", globals + "\\connect a\n" + std::string(25, '\n') + header,
         u"", u""},
        // One database's script: only its first twenty lines count.
        {"not a cluster", globals + header, u"", u""},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scanned s = ScanScript(dir, c.script);
        EXPECT_EQ(s.dump->GetInfo().serverVersion, c.server);
        EXPECT_EQ(s.dump->GetInfo().dumpVersion, c.tool);
    }
}

TEST(PlainScanTest, EmptyScriptHasNoTables) {
    ScratchDir dir;
    for (const char* script : {"", "-- only a comment\n", "\n\n"}) {
        Scanned s = ScanScript(dir, script);
        EXPECT_TRUE(s.dump->GetTables().empty());
        EXPECT_TRUE(s.dump->GetDdlObjects().empty());
        EXPECT_FALSE(s.dump->GetInfo().isCluster);
    }
}

TEST(PlainScanTest, ProgressCancellationAndRescan) {
    ScratchDir dir;
    std::string script;
    for (int i = 0; i < 3000; ++i)
        script += "CREATE VIEW v" + std::to_string(i) + " AS SELECT 1;\n";
    const std::string path = dir.Write("many.sql", script);

    CPlainDump dump;
    dump.Open(U16(path), false);
    TestJob job;
    std::u16string error;
    ASSERT_TRUE(dump.Scan(&job, error));
    EXPECT_EQ(job.messages, (std::vector<std::u16string>{u"ダンプファイルを走査しています"}));
    EXPECT_EQ(job.polls, 2);  // after statements 1,024 and 2,048
    ASSERT_FALSE(job.progress.empty());
    EXPECT_EQ(job.progress.back(), 100);
    EXPECT_EQ(dump.GetDdlObjects().size(), 3000u);

    // A second scan rebuilds everything instead of adding to it.
    ASSERT_TRUE(dump.Scan(nullptr, error));
    EXPECT_EQ(dump.GetDdlObjects().size(), 3000u);

    TestJob cancel(0);
    EXPECT_FALSE(dump.Scan(&cancel, error));
    EXPECT_EQ(error, u"処理が中止されました。");
}
