#include <gtest/gtest.h>

#include "dump/DumpModel.h"
#include "export/ExportText.h"

TEST(ExportTextTest, LineEndsAndBom) {
    EXPECT_EQ(ToCrLf(u"a\nb\r\nc\rd\n\re"), u"a\r\nb\r\ncd\r\ne");
    EXPECT_EQ(ToCrLf(u""), u"");
    EXPECT_EQ(ToCrLf(u"\r\n\r\n"), u"\r\n\r\n");
    EXPECT_EQ(WithUtf8Bom(""), "\xEF\xBB\xBF");
    EXPECT_EQ(WithUtf8Bom("x"), "\xEF\xBB\xBFx");
}

TEST(ExportTextTest, WholeDumpDdlOfOneDatabase) {
    std::vector<DdlObject> objects = {
        {u"", u"ROLE", u"", u"r", u"CREATE ROLE r;"},
        {u"db1", u"TABLE", u"public", u"t", u"CREATE TABLE t ();"},
        {u"db2", u"TABLE", u"public", u"u", u"CREATE TABLE u ();"},
    };
    EXPECT_EQ(BuildWholeDumpDdl(objects, false, u"ignored"),
              u"CREATE ROLE r;\r\n\r\nCREATE TABLE t ();\r\n\r\nCREATE TABLE u ();\r\n\r\n");
    EXPECT_EQ(BuildWholeDumpDdl(objects, true, u"db2"), u"CREATE TABLE u ();\r\n\r\n");
    EXPECT_EQ(BuildWholeDumpDdl(objects, true, u""), u"CREATE ROLE r;\r\n\r\n");
    EXPECT_EQ(BuildWholeDumpDdl({}, false, u""), u"");
}

TEST(ExportTextTest, DefaultFileNames) {
    EXPECT_EQ(DefaultDdlFileName(u"public.orders", false), u"public.orders.sql");
    EXPECT_EQ(DefaultDdlFileName(u"public.orders", true), u"ddl_all.sql");
    EXPECT_EQ(DefaultDdlFileName(u"", false), u"ddl.sql");
    EXPECT_EQ(DefaultDdlFileName(u"a:b/c\\d*e?f\"g<h>i|j", false), u"a_b_c_d_e_f_g_h_i_j.sql");
    // Control characters stay in DDL file names but not in CSV file names.
    EXPECT_EQ(DefaultDdlFileName(u"x\ty", false), u"x\ty.sql");
    EXPECT_EQ(DefaultCsvFileName(u"x\ty\r\n\x01z"), u"x_y___z.csv");
    EXPECT_EQ(DefaultCsvFileName(u"My Schema.t:1"), u"My Schema.t_1.csv");
    EXPECT_EQ(DefaultCsvFileName(u"顧客"), u"顧客.csv");
}

TEST(ExportTextTest, RowAndColumnLists) {
    const std::vector<size_t> matches = {1, 4, 6, 9};
    EXPECT_EQ(CsvRowList(CsvScope_AllRows, 3, false, {}, 0, 10), (std::vector<uint64_t>{0, 1, 2}));
    EXPECT_EQ(CsvRowList(CsvScope_FilteredRows, 10, true, matches, 0, 10),
              (std::vector<uint64_t>{1, 4, 6, 9}));
    // The page runs over view rows: store rows unfiltered, matches while filtered.
    EXPECT_EQ(CsvRowList(CsvScope_CurrentPage, 10, false, {}, 8, 5), (std::vector<uint64_t>{8, 9}));
    EXPECT_EQ(CsvRowList(CsvScope_CurrentPage, 10, true, matches, 2, 5),
              (std::vector<uint64_t>{6, 9}));
    EXPECT_TRUE(CsvRowList(CsvScope_CurrentPage, 10, true, matches, 4, 5).empty());
    EXPECT_TRUE(CsvRowList(CsvScope_AllRows, 0, false, {}, 0, 10).empty());

    EXPECT_EQ(CsvColumnList(3, false, {2}), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(CsvColumnList(3, true, {2, 0}), (std::vector<int32_t>{2, 0}));
}
