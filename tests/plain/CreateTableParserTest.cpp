#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dump/DumpModel.h"
#include "plain/SqlText.h"
#include "support/TestPaths.h"

namespace {

struct Col {
    std::string name;
    std::string type;
    bool notNull;
};

std::vector<Col> Simplify(const std::vector<ColumnDefinition>& columns) {
    std::vector<Col> result;
    for (const ColumnDefinition& c : columns) result.push_back({c.name, c.type, c.notNull});
    return result;
}

bool operator==(const Col& a, const Col& b) {
    return a.name == b.name && a.type == b.type && a.notNull == b.notNull;
}

void PrintTo(const Col& c, std::ostream* os) {
    *os << "{" << c.name << " | " << c.type << " | " << (c.notNull ? "NOT NULL" : "null") << "}";
}

TEST(CreateTableHeader, Cases) {
    struct Case {
        std::string statement;
        bool ok;
        std::string schema;
        std::string name;
    };
    const Case cases[] = {
        {"CREATE TABLE t (a int);", true, "", "t"},
        {"create unlogged table public.t (a int)", true, "public", "t"},
        {"CREATE TEMP TABLE t (a int)", true, "", "t"},
        {"CREATE GLOBAL TEMPORARY TABLE t (a int)", true, "", "t"},
        {"CREATE LOCAL TEMP TABLE t (a int)", true, "", "t"},
        {"CREATE FOREIGN TABLE s.ft (a int) SERVER x;", true, "s", "ft"},
        {"CREATE TABLE IF NOT EXISTS s.t (a int)", true, "s", "t"},
        {"CREATE TABLE \"My Schema\".\"a\"\"b\" (a int)", true, "My Schema", "a\"b"},
        {"CREATE TABLE db.s.t (a int)", true, "s", "t"},
        {"CREATE TABLE s . t (a int)", true, "", "s"},
        // Without a qualified name that can be read nothing is known about the table.
        {"CREATE TABLE (a int)", false, "", ""},
        {"CREATE TABLESPACE ts LOCATION '/x'", false, "", ""},
        {"CREATE VIEW v AS SELECT 1", false, "", ""},
        {"CREATE UNIQUE INDEX i ON t (a)", false, "", ""},
        {"ALTER TABLE t ADD c int", false, "", ""},
        {"CREATEX TABLE t (a int)", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string schema = "stale";
        std::string name;
        std::vector<ColumnDefinition> columns;
        EXPECT_EQ(ParseCreateTable(c.statement, schema, name, columns), c.ok) << c.statement;
        if (!c.ok) continue;
        EXPECT_EQ(schema, c.schema) << c.statement;
        EXPECT_EQ(name, c.name) << c.statement;
        EXPECT_EQ(columns.size(), 1u) << c.statement;
    }
}

TEST(CreateTableHeader, NoColumnListGivesNoColumns) {
    const char* statements[] = {
        "CREATE TABLE public.m_2024 PARTITION OF public.m\n"
        "FOR VALUES FROM ('2024-01-01') TO ('2025-01-01');",
        "CREATE TABLE public.typed OF public.some_type;",
        "CREATE TABLE t AS SELECT 1 AS a;",
        "CREATE TABLE t",
    };
    for (const char* statement : statements) {
        std::string schema;
        std::string name;
        std::vector<ColumnDefinition> columns = {{"stale", "x", true}};
        EXPECT_TRUE(ParseCreateTable(statement, schema, name, columns)) << statement;
        EXPECT_TRUE(columns.empty()) << statement;
    }
}

TEST(CreateTableHeader, UnbalancedParenthesesFail) {
    const char* statements[] = {
        "CREATE TABLE t (a int, b numeric(10,2)",
        "CREATE TABLE t (a text DEFAULT ')'",
        "CREATE TABLE t (\"a)\" int",
    };
    for (const char* statement : statements) {
        std::string schema;
        std::string name;
        std::vector<ColumnDefinition> columns;
        EXPECT_FALSE(ParseCreateTable(statement, schema, name, columns)) << statement;
    }
}

std::vector<Col> ColumnsOf(const std::string& elements) {
    std::string schema;
    std::string name;
    std::vector<ColumnDefinition> columns;
    EXPECT_TRUE(ParseCreateTable("CREATE TABLE t (" + elements + ");", schema, name, columns))
        << elements;
    return Simplify(columns);
}

TEST(CreateTableColumns, Cases) {
    struct Case {
        std::string elements;
        std::vector<Col> expected;
    };
    const Case cases[] = {
        {"id integer NOT NULL, \"select\" text, CONSTRAINT pk PRIMARY KEY (id), "
         "price numeric(10,2) DEFAULT 0",
         {{"id", "integer", true}, {"select", "text", false}, {"price", "numeric(10,2)", false}}},
        {"name character varying(20) COLLATE pg_catalog.\"C\" NOT NULL",
         {{"name", "character varying(20)", true}}},
        {"LIKE other INCLUDING ALL, x int", {{"x", "int", false}}},
        {"PRIMARY KEY (a), UNIQUE (b), CHECK (a > 0), FOREIGN KEY (b) REFERENCES o(b), "
         "EXCLUDE USING gist (c WITH &&), z int",
         {{"z", "int", false}}},
        // Case and inner spacing of the type are kept as written.
        {"\n    ts timestamp(3)   without time zone\tDEFAULT now()",
         {{"ts", "timestamp(3)   without time zone", false}}},
        {"Mixed DOUBLE PRECISION not  null", {{"Mixed", "DOUBLE PRECISION", false}}},
        {"m Numeric(12, 2) not null", {{"m", "Numeric(12, 2)", true}}},
        {"a integer[] NOT NULL, b text[][]", {{"a", "integer[]", true}, {"b", "text[][]", false}}},
        // A column named like a table-constraint keyword must be quoted, and then it is a column.
        {"\"primary\" int, \"CHECK\" bool, \"like\" text",
         {{"primary", "int", false}, {"CHECK", "bool", false}, {"like", "text", false}}},
        // Words inside parentheses and quotes never end the type.
        {"e public.\"NOT NULL\" NOT NULL", {{"e", "public.\"NOT NULL\"", true}}},
        {"g geometry(Point, 4326)", {{"g", "geometry(Point, 4326)", false}}},
        // Keyword test needs a whole word: NOTE and NULLABLE are type words here.
        {"n nullable_t, o note_type DEFAULT 1", {{"n", "nullable_t", false}, {"o", "note_type", false}}},
        {"c text CHECK (c <> 'NOT NULL')", {{"c", "text", true}}},
        {"d text DEFAULT 'NOT NULL'", {{"d", "text", true}}},
        {"d2 text DEFAULT 'not null'", {{"d2", "text", true}}},
        {"f text NULL", {{"f", "text", false}}},
        {"h int CONSTRAINT h_nn NOT NULL", {{"h", "int", true}}},
        {"i int REFERENCES o(i)", {{"i", "int", false}}},
        {"j int PRIMARY KEY", {{"j", "int", false}}},
        {"k int UNIQUE", {{"k", "int", false}}},
        {"l text STORAGE external", {{"l", "text", false}}},
        {"l2 text COMPRESSION lz4", {{"l2", "text", false}}},
        {"l3 text OPTIONS (column_name 'x')", {{"l3", "text", false}}},
        {"ident integer GENERATED ALWAYS AS IDENTITY NOT NULL",
         {{"ident", "integer", true}}},
        {"tot numeric GENERATED ALWAYS AS (a * b) STORED", {{"tot", "numeric", false}}},
        // No type at all (typed tables' WITH OPTIONS, partition column lists).
        {"a WITH OPTIONS NOT NULL", {{"a", "WITH OPTIONS", true}}},
        {"a NOT NULL", {{"a", "", true}}},
        {"bare", {{"bare", "", false}}},
        {"\"\" int", {{"", "int", false}}},
        // Elements that are not columns or cannot be read are left out.
        {"a int,, b int", {{"a", "int", false}, {"b", "int", false}}},
        {"(x) int, b int", {{"b", "int", false}}},
        {"", {}},
        // Shift_JIS: 0x83 0x5C is one character whose trail byte is a backslash.
        {"\x83\x5C\x83\x8B int NOT NULL, \"\x95\x5C\" text",
         {{"\x83\x5C\x83\x8B", "int", true}, {"\x95\x5C", "text", false}}},
    };
    for (const Case& c : cases) EXPECT_EQ(ColumnsOf(c.elements), c.expected) << c.elements;
}

ColumnInfo Column(const std::u16string& type) {
    ColumnInfo column;
    column.type = type;
    return column;
}

TEST(ColumnTypeNumeric, Cases) {
    const std::u16string numeric[] = {
        u"integer", u"int", u"int2", u"int4", u"int8", u"smallint", u"bigint", u"numeric",
        u"numeric(12,2)", u"NUMERIC (5)", u"decimal(3)", u"real", u"float", u"float(24)",
        u"double precision", u"Double Precision", u"serial", u"bigserial", u"smallserial",
        u"money", u"oid", u"int8 numeric", u"BIGINT"};
    const std::u16string other[] = {
        u"",          u"interval",  u"float8",    u"float4",           u"integer[]",
        u"numeric(5)[]", u"int4range", u"timestamp", u"text",          u"double",
        u"doubleprecision", u"oidvector", u"moneybag", u"serial4", u"\"integer\"",
        u"public.integer", u" integer", u"int\u00e9", u"int\uff08"};
    for (const auto& type : numeric) EXPECT_TRUE(IsNumericType(Column(type))) << U8(type);
    for (const auto& type : other) EXPECT_FALSE(IsNumericType(Column(type))) << U8(type);
}

TEST(ColumnTypeBoolean, Cases) {
    for (const auto& type : {u"boolean", u"bool", u"BOOLEAN", u"Bool"}) {
        EXPECT_TRUE(IsBooleanType(Column(type))) << U8(type);
    }
    for (const auto& type : {u"", u"boolean[]", u"bool ", u"booleans", u"bit", u"pg_catalog.bool"}) {
        EXPECT_FALSE(IsBooleanType(Column(type))) << U8(type);
    }
}

}  // namespace
