#include <gtest/gtest.h>

#include "sql/OwningTable.h"

// The kinds both readers tell apart; which table each names is in FindOwningTableTest.
TEST(OwningTableTest, KindsAndNames) {
    struct Case {
        const char* statement;
        TableStatementKind kind;
        bool found;
        const char* schema;
        const char* name;
    };
    const Case cases[] = {
        {"\n  alter TABLE if exists only s.t add x", TableStatementKind_AlterTable, true, "s", "t"},
        {"ALTER TABLE", TableStatementKind_AlterTable, false, "", ""},
        // Whole words only: these are other objects.
        {"ALTER TABLESPACE ts OWNER TO u;", TableStatementKind_None, false, "", ""},
        {"COMMENT ON TABLESPACE ts IS 'x';", TableStatementKind_Comment, false, "", ""},
        {"CREATE INDEXED x ON t", TableStatementKind_None, false, "", ""},
        {"CREATE TABLE t (a int);", TableStatementKind_None, false, "", ""},
        {"CREATE UNIQUE INDEX u ON t (a);", TableStatementKind_Index, true, "", "t"},
        {"CREATE INDEX CONCURRENTLY i ON ONLY \"S\".\"T\" (a);", TableStatementKind_Index, true,
         "S", "T"},
        {"CREATE INDEX i (a);", TableStatementKind_Index, false, "", ""},
        {"COMMENT ON VIEW public.v IS 'z';", TableStatementKind_Comment, false, "", ""},
        {"COMMENT ON COLUMN db.s.t.c IS 'four parts';", TableStatementKind_Comment, true, "s", "t"},
        {"COMMENT ON COLUMN s .t.c IS 'space before the stop';", TableStatementKind_Comment, false,
         "", ""},
        {"CREATE TRIGGER tr AFTER UPDATE ON s.t FOR EACH ROW EXECUTE FUNCTION f();",
         TableStatementKind_Trigger, true, "s", "t"},
        {"CREATE CONSTRAINT TRIGGER tr AFTER INSERT ON s.t FOR EACH ROW EXECUTE FUNCTION f();",
         TableStatementKind_None, false, "", ""},
        {"GRANT SELECT ON t TO u;", TableStatementKind_None, false, "", ""},
        {"", TableStatementKind_None, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        const OwningTable owner = FindOwningTable(c.statement);
        EXPECT_EQ(owner.kind, c.kind);
        EXPECT_EQ(owner.found, c.found);
        if (c.found) {
            EXPECT_EQ(owner.schema, c.schema);
            EXPECT_EQ(owner.name, c.name);
        }
    }
}
