// Archives of every version and shape, built by the test writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "dump/ArchiveDump.h"
#include "support/ArchiveWriter.h"
#include "support/CollectSink.h"
#include "support/FrameCompress.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

using namespace testarchive;

namespace {

const std::u16string kTruncated =
    u"アーカイブの読み取りに失敗しました(ファイルが途中で切れているか、壊れています)。";

struct Opened {
    std::unique_ptr<CArchiveDump> dump;
    std::u16string error;
    bool ok = false;
};

Opened OpenBytes(const ScratchDir& dir, const std::string& bytes, bool directory = false) {
    Opened o;
    o.dump = std::make_unique<CArchiveDump>();
    const std::string path = dir.Write(directory ? "toc.dat" : "test.dump", bytes);
    o.ok = o.dump->Open(U16(path), directory, o.error);
    return o;
}

const TableEntry* Table(CArchiveDump& dump, const char16_t* name) {
    for (const TableEntry& t : dump.GetTables()) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

std::string ReadAll(CArchiveDump& dump, const TableEntry& table, std::u16string* error = nullptr) {
    CollectSink sink;
    std::u16string e;
    bool ok = dump.ReadTableData(table, sink, nullptr, e);
    if (error != nullptr) *error = e;
    return ok ? sink.bytes : "<failed>";
}

// A small dump: one encoding entry, two tables with data, an index.
ArchivePlan TwoTables(int major, int minor) {
    ArchivePlan plan;
    plan.SetVersion(major, minor);
    plan.AddEncoding("UTF8");
    const int64_t a = plan.AddTable("public", "alpha", {"id integer NOT NULL", "name text"}).dumpId;
    plan.AddTableData("public", "alpha", {"id", "name"}, "1\tone\n2\ttwo\n3\t\\N\n", a);
    const int64_t b = plan.AddTable("s", "beta", {"v numeric(10,2)"}).dumpId;
    plan.AddTableData("s", "beta", {"v"}, "1.50\n", b);
    plan.AddIndex("public", "alpha_idx", "alpha", "USING btree (name)", a);
    return plan;
}

}  // namespace

TEST(ArchiveVersionTest, EveryVersionOpensScansAndReads) {
    for (int minor = 0; minor <= 16; ++minor) {
        SCOPED_TRACE(minor);
        ScratchDir dir;
        ArchivePlan plan = TwoTables(1, minor);
        // Before 1.2 there is no compression field and the data is always compressed.
        if (minor < 2) plan.compression = Compression::Gzip;
        Opened o = OpenBytes(dir, BuildCustomArchive(plan).bytes);
        ASSERT_TRUE(o.ok) << U8(o.error);
        const DumpInfo& info = o.dump->GetInfo();
        EXPECT_EQ(info.compression, u"gzip");
        EXPECT_EQ(info.encoding, u"UTF8");
        EXPECT_EQ(info.database, minor >= 4 ? u"kx_test" : u"");
        EXPECT_EQ(info.createdAt, minor >= 4 ? u"2024/01/01 12:30:00" : u"");
        EXPECT_EQ(info.serverVersion.empty(), minor < 10);

        std::u16string error;
        ASSERT_TRUE(o.dump->Scan(nullptr, error)) << U8(error);
        const TableEntry* alpha = Table(*o.dump, u"alpha");
        const TableEntry* beta = Table(*o.dump, u"beta");
        ASSERT_NE(alpha, nullptr);
        ASSERT_NE(beta, nullptr);
        EXPECT_EQ(alpha->rowCount, 3u);
        EXPECT_TRUE(alpha->rowCountKnown);
        EXPECT_EQ(beta->rowCount, 1u);
        // Schemas exist from 1.6 on; before that the table has none.
        EXPECT_EQ(beta->schema, minor >= 6 ? u"s" : u"");
        ASSERT_EQ(alpha->columns.size(), 2u);
        EXPECT_EQ(alpha->columns[0].type, u"integer");
        EXPECT_TRUE(alpha->columns[0].notNull);
        // Without schemas in the TOC the index's qualified table name finds no table.
        EXPECT_EQ(alpha->ddl.find(u"\r\n\r\nCREATE INDEX alpha_idx") != std::u16string::npos,
                  minor >= 6);
        EXPECT_EQ(CopyTextBeforeEndMarker(ReadAll(*o.dump, *alpha)), "1\tone\n2\ttwo\n3\t\\N\n");
        EXPECT_EQ(CopyTextBeforeEndMarker(ReadAll(*o.dump, *beta)), "1.50\n");
    }
}

TEST(ArchiveVersionTest, HeaderFieldsAndRefusals) {
    ScratchDir dir;
    ArchivePlan v117 = TwoTables(1, 17);
    Opened refused = OpenBytes(dir, BuildCustomArchive(v117).bytes);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, u"対応していないアーカイブバージョンです(1.17)。");
    ArchivePlan v2 = TwoTables(2, 0);
    EXPECT_EQ(OpenBytes(dir, BuildCustomArchive(v2).bytes).error,
              u"対応していないアーカイブバージョンです(2.0)。");

    ArchivePlan level0 = TwoTables(1, 12);
    level0.compression = Compression::None;
    level0.compressionLevel = 0;
    Opened none = OpenBytes(dir, BuildCustomArchive(level0).bytes);
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(none.dump->GetInfo().compression, u"none");
    std::u16string error;
    ASSERT_TRUE(none.dump->Scan(nullptr, error));
    EXPECT_EQ(Table(*none.dump, u"alpha")->rowCount, 3u);

    ArchivePlan level6 = TwoTables(1, 12);
    level6.compressionLevel = 6;
    EXPECT_EQ(OpenBytes(dir, BuildCustomArchive(level6).bytes).dump->GetInfo().compression,
              u"gzip");

    // An unknown algorithm still opens (its DDL is readable) but its data is refused: passed
    // on as it stands it would show compressed bytes as rows.
    ArchivePlan unknown = TwoTables(1, 15);
    unknown.compression = Compression::None;
    unknown.compressionAlgorithm = 9;
    Opened u9 = OpenBytes(dir, BuildCustomArchive(unknown).bytes);
    ASSERT_TRUE(u9.ok);
    EXPECT_EQ(u9.dump->GetInfo().compression, u"unknown(9)");
    EXPECT_FALSE(u9.dump->Scan(nullptr, error));
    EXPECT_EQ(error, u"対応していない圧縮方式です(ヘッダ=9)。");
    std::u16string unknownError;
    ReadAll(*u9.dump, *Table(*u9.dump, u"beta"), &unknownError);
    EXPECT_EQ(unknownError, u"対応していない圧縮方式です(ヘッダ=9)。");

    // Blocks that the header calls lz4 or zstd but that hold plain text are damage.
    for (int algorithm : {2, 3}) {
        ArchivePlan plan = TwoTables(1, 16);
        plan.compression = Compression::None;
        plan.compressionAlgorithm = algorithm;
        Opened o = OpenBytes(dir, BuildCustomArchive(plan).bytes);
        ASSERT_TRUE(o.ok);
        EXPECT_EQ(o.dump->GetInfo().compression, algorithm == 2 ? u"lz4" : u"zstd");
        const std::u16string message =
            u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。";
        EXPECT_FALSE(o.dump->Scan(nullptr, error));
        EXPECT_EQ(error, message);
        std::u16string readError;
        ReadAll(*o.dump, *Table(*o.dump, u"alpha"), &readError);
        EXPECT_EQ(readError, message);
    }

    ArchivePlan wide = TwoTables(1, 14);
    wide.intSize = 33;
    EXPECT_EQ(OpenBytes(dir, BuildCustomArchive(wide).bytes).error,
              u"アーカイブヘッダが不正です(整数サイズ)。");

    // A custom archive is not a toc.dat, and the other way round.
    EXPECT_EQ(OpenBytes(dir, BuildCustomArchive(TwoTables(1, 14)).bytes, true).error,
              u"アーカイブ形式の種別が一致しません(ヘッダ=1)。");
    EXPECT_EQ(OpenBytes(dir, BuildTocDat(TwoTables(1, 14)).bytes, false).error,
              u"アーカイブ形式の種別が一致しません(ヘッダ=3)。");

    ArchivePlan magic = TwoTables(1, 14);
    magic.magic = "PGDMQ";
    EXPECT_EQ(OpenBytes(dir, BuildCustomArchive(magic).bytes).error,
              u"アーカイブのヘッダ(PGDMP)が見つかりません。");
    EXPECT_EQ(OpenBytes(dir, "PGDM").error, u"アーカイブのヘッダ(PGDMP)が見つかりません。");
    EXPECT_EQ(OpenBytes(dir, "PGDMP\x01").error, kTruncated);
}

TEST(ArchiveVersionTest, IntegerWidthsAndHostileCounts) {
    ScratchDir dir;
    // intSize 8: only the low 32 bits of a value count.
    ArchivePlan plan = TwoTables(1, 14);
    plan.intSize = 8;
    BuiltArchive built = BuildCustomArchive(plan);
    const size_t idAt = built.entries[1].start;  // the first table's dump id
    std::string bytes = built.bytes;
    bytes[idAt + 1 + 4] = '\x07';  // an upper byte of the 8-byte magnitude
    Opened o = OpenBytes(dir, bytes);
    ASSERT_TRUE(o.ok) << U8(o.error);
    EXPECT_EQ(o.dump->GetToc()[1].dumpId, built.entries[1].dumpId);

    ArchivePlan empty;
    Opened none = OpenBytes(dir, BuildCustomArchive(empty).bytes);
    ASSERT_TRUE(none.ok);
    EXPECT_TRUE(none.dump->GetTables().empty());
    EXPECT_EQ(none.dump->GetInfo().encoding, u"UTF8");
    EXPECT_EQ(none.dump->GetInfo().codePage, 65001);
    std::u16string error;
    EXPECT_TRUE(none.dump->Scan(nullptr, error));

    ArchivePlan zeroId = TwoTables(1, 14);
    zeroId.entries[1].dumpId = 0;
    BuiltArchive zeroBuilt = BuildCustomArchive(zeroId);
    EXPECT_EQ(OpenBytes(dir, zeroBuilt.bytes).error, u"TOC が壊れています(エントリID 0)。");

    ArchivePlan negative = TwoTables(1, 14);
    negative.tocCount = -1;
    EXPECT_EQ(OpenBytes(dir, BuildCustomArchive(negative).bytes).error, kTruncated);
    // A huge count reads on into the data area, which does not parse as entries.
    ArchivePlan huge = TwoTables(1, 14);
    huge.tocCount = 2147483647;
    huge.offsets = OffsetMode::NoData;
    const std::u16string hugeError = OpenBytes(dir, BuildCustomArchive(huge).bytes).error;
    EXPECT_TRUE(hugeError == kTruncated || hugeError.rfind(u"TOC が壊れています", 0) == 0)
        << U8(hugeError);

    // A string claiming 2 GiB in a tiny file fails without trying to allocate it.
    std::string longString = BuildCustomArchive(TwoTables(1, 14)).bytes;
    const size_t tagAt = BuildCustomArchive(TwoTables(1, 14)).entries[1].tag;
    longString.replace(tagAt, 5, std::string("\x00\xff\xff\xff\x7f", 5));
    EXPECT_EQ(OpenBytes(dir, longString).error, kTruncated);

    // Ending inside an entry's owner string.
    const BuiltArchive plain = BuildCustomArchive(TwoTables(1, 14));
    EXPECT_EQ(OpenBytes(dir, plain.bytes.substr(0, plain.entries[2].owner + 7)).error, kTruncated);

    ArchivePlan noEncoding = TwoTables(1, 14);
    noEncoding.entries.erase(noEncoding.entries.begin());
    Opened utf8 = OpenBytes(dir, BuildCustomArchive(noEncoding).bytes);
    ASSERT_TRUE(utf8.ok);
    EXPECT_EQ(utf8.dump->GetInfo().encoding, u"UTF8");
}

TEST(ArchiveVersionTest, BlockWalkOddities) {
    ScratchDir dir;
    ArchivePlan plan = TwoTables(1, 14);
    plan.offsets = OffsetMode::NotSet;
    plan.AddLargeObjects({{424242, std::string(100000, 'x'), {}}});
    // Large objects first, then a block of a dump id that is no table, then the tables.
    BlockPlan stray;
    stray.dumpId = 999;
    stray.data = "stray\n";
    plan.extraBlocks.push_back(stray);
    BuiltArchive built = BuildCustomArchive(plan);
    Opened o = OpenBytes(dir, built.bytes);
    ASSERT_TRUE(o.ok);
    std::vector<std::u16string> log;
    o.dump->SetLogger([&log](const std::u16string& line) { log.push_back(line); });
    TestJob job;
    std::u16string error;
    ASSERT_TRUE(o.dump->Scan(&job, error)) << U8(error);
    EXPECT_EQ(Table(*o.dump, u"alpha")->rowCount, 3u);
    EXPECT_EQ(o.dump->GetBlockPositions().count(999), 1u);
    EXPECT_EQ(job.messages.front(), u"テーブルの件数を数えています");
    EXPECT_EQ(job.messages.back(), u"件数を数えています: s.beta");
    EXPECT_EQ(job.progress.back(), 100);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], u"[block] id=" + U16(std::to_string(built.blocks[0].dumpId)) +
                          u" public.alpha rows=3");

    // An unknown block type ends the walk quietly: later tables stay unknown, tables
    // without data are known to be empty.
    ArchivePlan broken = TwoTables(1, 14);
    broken.AddTable("public", "schema_only", {"x int"});
    BlockPlan unknown;
    unknown.type = 7;
    unknown.rawBody = "junk";
    broken.extraBlocks.push_back(unknown);
    broken.blockOrder = {broken.entries[2].dumpId};  // alpha's data only, then the junk
    BuiltArchive brokenBuilt = BuildCustomArchive(broken);
    Opened b = OpenBytes(dir, brokenBuilt.bytes);
    ASSERT_TRUE(b.ok);
    log.clear();
    b.dump->SetLogger([&log](const std::u16string& line) { log.push_back(line); });
    ASSERT_TRUE(b.dump->Scan(nullptr, error));
    EXPECT_TRUE(Table(*b.dump, u"alpha")->rowCountKnown);
    EXPECT_FALSE(Table(*b.dump, u"beta")->rowCountKnown);
    EXPECT_TRUE(Table(*b.dump, u"schema_only")->rowCountKnown);
    EXPECT_EQ(Table(*b.dump, u"schema_only")->rowCount, 0u);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(),
              u"[block] unknown type 7 at " + U16(std::to_string(brokenBuilt.blocks.back().start)));
    // beta's block is not in the file at all.
    std::u16string readError;
    ReadAll(*b.dump, *Table(*b.dump, u"beta"), &readError);
    EXPECT_EQ(readError, u"テーブル s.beta のデータブロックが見つかりません。");
}

TEST(ArchiveVersionTest, BlockSearchAndBadOffsets) {
    ScratchDir dir;
    ArchivePlan pipe = TwoTables(1, 14);
    pipe.offsets = OffsetMode::NotSet;
    pipe.blockOrder = {pipe.entries[2].dumpId};
    Opened o = OpenBytes(dir, BuildCustomArchive(pipe).bytes);
    ASSERT_TRUE(o.ok);
    std::u16string error;
    EXPECT_EQ(CopyTextBeforeEndMarker(ReadAll(*o.dump, *Table(*o.dump, u"alpha"))),
              "1\tone\n2\ttwo\n3\t\\N\n");
    ReadAll(*o.dump, *Table(*o.dump, u"beta"), &error);
    EXPECT_EQ(error, u"テーブル s.beta のデータブロックが見つかりません。");

    // An offset that points at the other table's block is noticed.
    ArchivePlan swapped = TwoTables(1, 14);
    BuiltArchive built = BuildCustomArchive(swapped);
    std::string bytes = built.bytes;
    const EntryLayout& betaData = built.entries[4];
    const uint64_t alphaBlock = built.blocks[0].start;
    for (int i = 0; i < 8; ++i) {
        bytes[betaData.dataItem + 1 + i] = static_cast<char>((alphaBlock >> (8 * i)) & 0xFF);
    }
    Opened s = OpenBytes(dir, bytes);
    ASSERT_TRUE(s.ok);
    ReadAll(*s.dump, *Table(*s.dump, u"beta"), &error);
    EXPECT_EQ(error, u"テーブル s.beta のデータブロック位置が不正です。");
    // Far beyond the end of the file.
    for (int i = 0; i < 8; ++i) bytes[betaData.dataItem + 1 + i] = '\x7f';
    Opened far = OpenBytes(dir, bytes);
    ASSERT_TRUE(far.ok);
    ReadAll(*far.dump, *Table(*far.dump, u"beta"), &error);
    EXPECT_EQ(error, u"テーブル s.beta のデータブロック位置が不正です。");

    // A damaged chunk length inside the block.
    std::string cut = built.bytes;
    cut.resize(built.blocks[0].chunks[0] + 3);
    Opened c = OpenBytes(dir, cut);
    ASSERT_TRUE(c.ok);
    EXPECT_FALSE(c.dump->Scan(nullptr, error));
    EXPECT_EQ(error, u"データブロックの読み取りに失敗しました。");
}

TEST(ArchiveVersionTest, EndMarkerAndCancellation) {
    ScratchDir dir;
    ArchivePlan plan;
    const int64_t t = plan.AddTable("public", "t", {"a text"}).dumpId;
    plan.AddTableData("public", "t", {"a"}, "x\ny\n\\.\nnot a row\n", t);
    Opened o = OpenBytes(dir, BuildCustomArchive(plan).bytes);
    ASSERT_TRUE(o.ok);
    std::u16string error;
    ASSERT_TRUE(o.dump->Scan(nullptr, error));
    EXPECT_EQ(Table(*o.dump, u"t")->rowCount, 2u);

    // Many small chunks: the block read polls every 256 chunks.
    ArchivePlan big;
    big.compression = Compression::None;
    const int64_t bt = big.AddTable("public", "big", {"n int"}).dumpId;
    std::string rows;
    for (int i = 0; i < 2000; ++i) rows += std::to_string(i) + "\n";
    big.AddTableData("public", "big", {"n"}, rows, bt);
    Opened b = OpenBytes(dir, BuildCustomArchive(big).bytes);
    ASSERT_TRUE(b.ok);
    // The bar moves while one big table is counted, not only between tables.
    TestJob watch;
    ASSERT_TRUE(b.dump->Scan(&watch, error));
    ASSERT_GE(watch.progress.size(), 4u);
    EXPECT_TRUE(std::is_sorted(watch.progress.begin(), watch.progress.end()));
    EXPECT_GT(watch.progress.front(), 0);
    EXPECT_LT(watch.progress.front(), 50);
    TestJob cancel(0);
    EXPECT_FALSE(b.dump->Scan(&cancel, error));
    EXPECT_EQ(error, u"処理が中止されました。");
    CollectSink sink;
    TestJob cancelRead(0);
    EXPECT_FALSE(b.dump->ReadTableData(*Table(*b.dump, u"big"), sink, &cancelRead, error));
    EXPECT_EQ(error, u"処理が中止されました。");
    EXPECT_LT(sink.bytes.size(), rows.size());

    // A sink that refuses stops the read without a message.
    CollectSink refusing(10);
    error.clear();
    EXPECT_FALSE(b.dump->ReadTableData(*Table(*b.dump, u"big"), refusing, nullptr, error));
    EXPECT_TRUE(error.empty());
}

TEST(ArchiveVersionTest, CatalogueFromTocEntries) {
    ScratchDir dir;
    // Data only: columns from the COPY list, without types, and no DDL.
    ArchivePlan dataOnly;
    dataOnly.AddTableData("public", "d", {"b", "a"}, "1\t2\n");
    Opened d = OpenBytes(dir, BuildCustomArchive(dataOnly).bytes);
    ASSERT_TRUE(d.ok);
    const TableEntry* table = Table(*d.dump, u"d");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columns.size(), 2u);
    EXPECT_EQ(table->columns[0].name, u"b");
    EXPECT_TRUE(table->columns[0].type.empty());
    EXPECT_TRUE(table->ddl.empty());

    // A COPY list in another order reorders the columns, keeping their types.
    ArchivePlan reordered;
    const int64_t r = reordered.AddTable("public", "r", {"a integer", "b text"}).dumpId;
    reordered.AddTableData("public", "r", {"b", "a"}, "x\t1\n", r);
    Opened ro = OpenBytes(dir, BuildCustomArchive(reordered).bytes);
    ASSERT_TRUE(ro.ok);
    table = Table(*ro.dump, u"r");
    ASSERT_EQ(table->columns.size(), 2u);
    EXPECT_EQ(table->columns[0].name, u"b");
    EXPECT_EQ(table->columns[0].type, u"text");
    EXPECT_EQ(table->columns[1].type, u"integer");

    // A COPY statement without a column list keeps the CREATE TABLE columns.
    ArchivePlan noList;
    const int64_t n = noList.AddTable("public", "n", {"a integer", "b text"}).dumpId;
    auto& data = noList.AddTableData("public", "n", {"a", "b"}, "1\tx\n", n);
    data.copyStmt = "COPY public.n FROM stdin;\n";
    Opened no = OpenBytes(dir, BuildCustomArchive(noList).bytes);
    ASSERT_TRUE(no.ok);
    EXPECT_EQ(Table(*no.dump, u"n")->columns.size(), 2u);
    EXPECT_EQ(Table(*no.dump, u"n")->columns[1].type, u"text");

    // A Shift_JIS archive: names convert with the dump's code page, "表" ends in 0x5C.
    ArchivePlan sjis;
    sjis.AddEncoding("SJIS");
    const int64_t j = sjis.AddTable("public", "\x95\x5c", {"\"\x83\x5c\" text"}).dumpId;
    sjis.AddTableData("public", "\x95\x5c", {"\x83\x5c"}, "\x83\x5c\x5c\x5c\n", j);
    Opened js = OpenBytes(dir, BuildCustomArchive(sjis).bytes);
    ASSERT_TRUE(js.ok);
    EXPECT_EQ(js.dump->GetInfo().codePage, 932);
    table = Table(*js.dump, u"表");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columns.size(), 1u);
    EXPECT_EQ(table->columns[0].name, u"ソ");
    EXPECT_EQ(table->columns[0].type, u"text");
}

TEST(ArchiveVersionTest, DirectoryDataFiles) {
    ScratchDir dir;
    ArchivePlan plan = TwoTables(1, 14);
    DirectoryDump dump = BuildDirectoryDump(plan);
    dump.WriteTo(dir.Path());
    const std::string alphaFile = U8(u"") + std::to_string(plan.entries[2].dumpId) + ".dat";
    auto open = [&dir]() {
        auto d = std::make_unique<CArchiveDump>();
        std::u16string error;
        EXPECT_TRUE(d->Open(dir.FileW("toc.dat"), true, error)) << U8(error);
        return d;
    };
    auto remove = [&dir, &alphaFile]() {
        for (const char* suffix : {"", ".gz", ".lz4", ".zst"}) {
            std::filesystem::remove(dir.File(alphaFile + suffix));
        }
    };
    const std::string rows = "1\tone\n2\ttwo\n3\t\\N\n\\.\n\n\n";
    struct Case {
        const char* suffix;
        std::string content;
        std::string expected;  // empty: fails with message
        std::u16string message;
    };
    const Case cases[] = {
        {"", rows, rows, u""},
        {".gz", GzipCompress(rows), rows, u""},
        {".gz", rows, rows, u""},  // named .gz, holding plain text
        {".lz4", Lz4Compress(rows), rows, u""},
        {".zst", ZstdCompress(rows), rows, u""},
        // Two frames one after the other, then padding that starts no frame.
        {".zst",
         ZstdCompress(rows.substr(0, 9)) + ZstdCompress(rows.substr(9)) + std::string(7, '\0'),
         rows, u""},
        {".lz4", Lz4Compress(rows) + Lz4Compress(""), rows, u""},
        {".lz4", std::string("\x04\x22\x4d\x18rest", 8), "",
         u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。"},
        {".zst", ZstdCompress(rows).substr(0, 12), "", u"zstd データが途中で終わっています。"},
        {".lz4", Lz4Compress(rows).substr(0, 20), "", u"lz4 データが途中で終わっています。"},
        // The content decides: a .dat file holding a zstd frame is read as zstd.
        {"", ZstdCompress(rows), rows, u""},
        {"", "", "", u""},  // an empty file is an empty table
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.suffix) + ":" + std::to_string(c.content.size()));
        remove();
        dir.Write(alphaFile + c.suffix, c.content);
        auto d = open();
        std::u16string error;
        const bool scanned = d->Scan(nullptr, error);
        if (!c.message.empty()) {
            EXPECT_FALSE(scanned);
            EXPECT_EQ(error, c.message);
            continue;
        }
        ASSERT_TRUE(scanned) << U8(error);
        EXPECT_EQ(Table(*d, u"alpha")->rowCount, c.content.empty() ? 0u : 3u);
        EXPECT_EQ(ReadAll(*d, *Table(*d, u"alpha")), c.expected);
    }

    remove();
    auto d = open();
    std::u16string error;
    EXPECT_FALSE(d->Scan(nullptr, error));
    EXPECT_EQ(error, u"データファイルをオープンできません(" + dir.FileW(alphaFile) + u")。");
}

// Each data file reports its own position; the bar must still only move forwards.
TEST(ArchiveVersionTest, DirectoryScanProgressOnlyMovesForwards) {
    ScratchDir dir;
    ArchivePlan plan = TwoTables(1, 14);
    plan.compression = Compression::Gzip;
    BuildDirectoryDump(plan).WriteTo(dir.Path());
    CArchiveDump dump;
    std::u16string error;
    ASSERT_TRUE(dump.Open(dir.FileW("toc.dat"), true, error)) << U8(error);
    TestJob job;
    ASSERT_TRUE(dump.Scan(&job, error)) << U8(error);
    ASSERT_FALSE(job.progress.empty());
    EXPECT_TRUE(std::is_sorted(job.progress.begin(), job.progress.end()))
        << testing::PrintToString(job.progress);
    EXPECT_EQ(job.progress.back(), 100);
}

TEST(ArchiveVersionTest, CompressedBlocksOneDecoderAfterAnother) {
    // Large enough for several chunks; then an empty table (pg_dump 18 writes an lz4 block
    // without a single chunk for it); then another table, all through the scan's one decoder.
    std::string rows;
    for (int i = 0; i < 4000; ++i) rows += std::to_string(i) + "\trow " + std::to_string(i) + "\n";
    struct Codec {
        int algorithm;
        std::string (*compress)(std::string_view);
    };
    const Codec codecs[] = {{1, [](std::string_view d) { return ZlibCompress(d); }},
                            {2, Lz4Compress},
                            {3, ZstdCompress}};
    for (const Codec& codec : codecs) {
        SCOPED_TRACE(codec.algorithm);
        for (bool cut : {false, true}) {
            ScratchDir dir;
            ArchivePlan plan;
            plan.SetVersion(1, 16);
            plan.compression = Compression::None;
            plan.compressionAlgorithm = codec.algorithm;
            plan.AddEncoding("UTF8");
            const char* names[] = {"full", "empty", "last"};
            const std::string data[] = {rows, "", "9\tnine\n"};
            for (int i = 0; i < 3; ++i) {
                const int64_t id =
                    plan.AddTable("public", names[i], {"n integer", "t text"}).dumpId;
                TocEntryPlan& entry =
                    plan.AddTableData("public", names[i], {"n", "t"}, data[i], id);
                std::string stored = data[i].empty() ? "" : codec.compress(data[i]);
                // A stream cut short is not a shorter table.
                if (cut && i == 2) stored.resize(stored.size() - 3);
                entry.block->stored = stored;
                entry.block->chunkSizes = {1000, 3, 5000};
            }
            Opened o = OpenBytes(dir, BuildCustomArchive(plan).bytes);
            ASSERT_TRUE(o.ok) << U8(o.error);
            std::u16string error;
            if (cut) {
                EXPECT_FALSE(o.dump->Scan(nullptr, error));
                EXPECT_EQ(error, u"データブロックの読み取りに失敗しました。");
                std::u16string readError;
                ReadAll(*o.dump, *Table(*o.dump, u"last"), &readError);
                EXPECT_EQ(readError, u"データブロックの読み取りに失敗しました。");
                continue;
            }
            ASSERT_TRUE(o.dump->Scan(nullptr, error)) << U8(error);
            EXPECT_EQ(Table(*o.dump, u"full")->rowCount, 4000u);
            EXPECT_EQ(Table(*o.dump, u"empty")->rowCount, 0u);
            EXPECT_EQ(Table(*o.dump, u"last")->rowCount, 1u);
            EXPECT_EQ(ReadAll(*o.dump, *Table(*o.dump, u"full")), rows);
            EXPECT_EQ(ReadAll(*o.dump, *Table(*o.dump, u"empty")), "");
            EXPECT_EQ(ReadAll(*o.dump, *Table(*o.dump, u"last")), "9\tnine\n");
        }
    }
}
