#include <gtest/gtest.h>

#include "sql/OwningTable.h"

TEST(FindOwningTableTest, StatementsThatBelongToATable) {
    struct Case {
        const char* statement;
        bool found;
        const char* schema;
        const char* name;
    };
    const Case cases[] = {
        {"ALTER TABLE ONLY public.t\n    ADD CONSTRAINT t_pkey PRIMARY KEY (id);", true, "public",
         "t"},
        {"ALTER TABLE IF EXISTS ONLY s.\"My T\" ADD x", true, "s", "My T"},
        {"alter table only \"A\"\"B\" add x", true, "", "A\"B"},
        {"ALTER TABLE public.measurements ATTACH PARTITION public.m_east FOR VALUES IN (1);", true,
         "public", "measurements"},
        {"COMMENT ON TABLE public.simple IS 'x';", true, "public", "simple"},
        {"COMMENT ON COLUMN public.simple.price IS 'y';", true, "public", "simple"},
        {"COMMENT ON COLUMN simple.price IS 'y';", true, "", "simple"},
        {"COMMENT ON COLUMN price IS 'y';", false, "", ""},
        {"COMMENT ON VIEW public.v IS 'z';", false, "", ""},
        {"CREATE INDEX i ON public.t USING btree (a);", true, "public", "t"},
        {"CREATE UNIQUE INDEX i ON ONLY public.parted USING btree (a);", true, "public", "parted"},
        {"CREATE INDEX i\tON public.t (a);", false, "", ""},  // only " ON " is looked for
        {"CREATE TRIGGER tr BEFORE INSERT ON public.t FOR EACH ROW EXECUTE FUNCTION f();", true,
         "public", "t"},
        {"CREATE CONSTRAINT TRIGGER tr AFTER INSERT ON public.t FOR EACH ROW EXECUTE FUNCTION f();",
         false, "", ""},
        {"ALTER INDEX public.i ATTACH PARTITION public.j;", false, "", ""},
        {"ALTER TABLE ONLY db.s.t ADD x", true, "s", "t"},
        {"CREATE VIEW v AS SELECT 1;", false, "", ""},
        {"ALTER TABLE", false, "", ""},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        std::string schema = "stale", name = "stale";
        EXPECT_EQ(FindOwningTable(c.statement, schema, name), c.found);
        if (c.found) {
            EXPECT_EQ(schema, c.schema);
            EXPECT_EQ(name, c.name);
        }
    }
}
