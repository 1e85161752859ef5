#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/ArchiveWriter.h"
#include "support/TestPaths.h"

using namespace testarchive;

namespace {

std::string Hex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ' ')
            out.push_back(static_cast<char>(std::stoi(text.substr(i++, 2), nullptr, 16)));
    }
    return out;
}

// Integers and strings of an archive above 1.0 with intSize 4, spelled out by hand.
std::string I4(std::int64_t v) {
    const auto m = static_cast<std::uint32_t>(v < 0 ? -v : v);
    std::string out(1, v < 0 ? '\x01' : '\x00');
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((m >> (8 * i)) & 0xFF));
    return out;
}
std::string S4(const std::string& s) {
    return I4(static_cast<std::int64_t>(s.size())) + s;
}
const std::string kNull4 = Hex("01 01000000");
std::string U4(std::uint32_t v) {  // version 1.0: no sign byte
    return I4(v).substr(1);
}

std::int64_t ReadI4(const std::string& b, std::size_t pos) {
    std::uint32_t m = 0;
    for (int i = 0; i < 4; ++i)
        m |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[pos + 1 + i])) << (8 * i);
    return b[pos] ? -static_cast<std::int64_t>(m) : m;
}

std::string Inflate(const std::string& in, int windowBits) {
    z_stream zs{};
    inflateInit2(&zs, windowBits);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    std::string out;
    char buf[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buf, sizeof buf - zs.avail_out);
    }
    EXPECT_EQ(rc, Z_STREAM_END);
    inflateEnd(&zs);
    return out;
}

ArchivePlan TwoTables(Compression compression) {  // dump ids: 3, 4 (data), 5, 6 (data)
    ArchivePlan plan;
    plan.compression = compression;
    plan.AddEncoding();
    plan.AddStdStrings();
    auto t1 = plan.AddTable("public", "t1", {"id integer", "name text"}).dumpId;
    plan.AddTableData("public", "t1", {"id", "name"}, "1\tone\n2\ttwo\n", t1);
    auto t2 = plan.AddTable("public", "t2", {"x text"}).dumpId;
    plan.AddTableData("public", "t2", {"x"}, "a\nb\nc\n", t2);
    return plan;
}

// ---- Byte layouts checked by hand ----

TEST(ArchiveWriterLayout, IntegersOfEveryVersionAndWidth) {
    ArchivePlan plan;
    plan.SetVersion(1, 0);
    BuiltArchive v10 = BuildCustomArchive(plan);
    // No vrev, offSize, compression, time or sign bytes.
    EXPECT_EQ(v10.bytes, "PGDMP" + Hex("01 00 04 01 00000000"));
    EXPECT_EQ(v10.header.tocCount, 9u);
    EXPECT_EQ(v10.header.offSize, npos);

    std::string out;
    const Encoding e10{MakeVersion(1, 0), 4, 4};
    WriteInt(out, e10, 258);
    WriteNullString(out, e10);
    WriteInt(out, {MakeVersion(1, 0), 8, 8}, -1);
    EXPECT_EQ(out, Hex("02010000 FFFFFFFF FFFFFFFFFFFFFFFF"));

    out.clear();
    const Encoding wide{MakeVersion(1, 14), 8, 8};
    WriteInt(out, wide, 0x0102030405LL);
    WriteInt(out, wide, -2);
    WriteRawInt(out, wide, 0, 0xFFFFFFFF00000007ULL);
    WriteRawInt(out, {MakeVersion(1, 14), 10, 8}, 0x80, 0x11, 0xAB);
    WriteInt(out, {MakeVersion(1, 14), 2, 8}, 0x030201);
    EXPECT_EQ(out, Hex("00 0504030201000000 01 0200000000000000 00 07000000FFFFFFFF "
                       "80 1100000000000000ABAB 00 0102"));
}

TEST(ArchiveWriterLayout, HeaderFieldsFollowTheVersion) {
    const std::string time = I4(1) + I4(2) + I4(3) + I4(4) + I4(5) + I4(6) + I4(7);
    const std::string tail4 = I4(-1) + time + S4("db");
    const std::string names = S4("srv") + S4("tool") + I4(0);
    const std::vector<std::pair<int, std::string>> cases = {
        {1, Hex("01 01 00 04 01") + I4(0)},
        {3, Hex("01 03 00 04 01 FF") + I4(0)},
        {4, Hex("01 04 00 04 01") + tail4 + I4(0)},
        {7, Hex("01 07 00 04 08 01") + tail4 + I4(0)},
        {10, Hex("01 0A 00 04 08 01") + tail4 + names},
        {14, Hex("01 0E 00 04 08 01") + tail4 + names},
        {15, Hex("01 0F 00 04 08 01 01") + time + S4("db") + names},
    };
    for (const auto& [minor, expected] : cases) {
        ArchivePlan plan;
        plan.SetVersion(1, minor);
        plan.createdAt = {1, 2, 3, 4, 5, 6, 7};
        plan.database = "db";
        plan.serverVersion = "srv";
        plan.dumpVersion = "tool";
        EXPECT_EQ(BuildCustomArchive(plan).bytes, "PGDMP" + expected) << "1." << minor;
    }

    ArchivePlan odd;
    odd.magic = "PGDMQ";
    odd.SetVersion(1, 12, 9);
    odd.intSize = 8;
    odd.offSize = 3;
    odd.formatCode = 77;
    odd.compression = Compression::None;
    odd.database.reset();
    odd.tocCount = -5;
    BuiltArchive built = BuildCustomArchive(odd);
    EXPECT_EQ(built.bytes.substr(0, 11), "PGDMQ" + Hex("01 0C 09 08 03 4D"));
    EXPECT_EQ(built.bytes.substr(built.header.compression, 9), Hex("00 0000000000000000"));
    EXPECT_EQ(built.bytes.substr(built.header.database, 9), Hex("01 0100000000000000"));
    EXPECT_EQ(built.bytes.substr(built.header.tocCount), Hex("01 0500000000000000"));
    odd.formatCode.reset();
    built = BuildTocDat(odd);
    EXPECT_EQ(built.bytes[built.header.format], '\x03');
}

TEST(ArchiveWriterLayout, TocEntryFieldsFollowTheVersion) {
    TocEntryPlan e;
    e.dumpId = 7;
    e.hadDumper = 1;
    e.tableOid = "1259";
    e.oid = "16400";
    e.tag = "tg";
    e.desc = "TABLE DATA";
    e.section = kSectionData;
    e.defn = "df";
    e.copyStmt = "cp";
    e.schema = "sc";
    e.tablespace = "ts";
    e.tableAm = "heap";
    e.relKind = 'r';
    e.owner = "ow";
    e.dependencies = {"3", "4"};
    e.oldDataSize = 12;
    const std::string head = I4(7) + I4(1) + S4("1259") + S4("16400") + S4("tg") + S4("TABLE DATA");
    const std::string mid = I4(3) + S4("df") + kNull4 + S4("cp") + S4("sc") + S4("ts") + S4("heap");
    const std::string deps = S4("3") + S4("4") + kNull4;
    const std::string off = Hex("02 2C01000000000000");
    auto write = [&](int minor, bool directory, int state, const TocEntryPlan& entry) {
        std::string out;
        WriteTocEntry(out, {MakeVersion(1, minor), 4, minor < 7 ? 4 : 8}, entry, directory, state,
                      300);
        return out;
    };
    EXPECT_EQ(write(16, false, kOffsetSet, e),
              head + mid + I4('r') + S4("ow") + S4("false") + deps + off);
    EXPECT_EQ(write(15, false, kOffsetSet, e), head + mid + S4("ow") + S4("false") + deps + off);
    EXPECT_EQ(write(8, false, kOffsetSet, e),
              head + S4("df") + kNull4 + S4("cp") + S4("sc") + S4("ow") + deps + off);
    // Below 1.7 the offset is an integer followed by the old data size.
    EXPECT_EQ(write(5, false, kOffsetSet, e), I4(7) + I4(1) + S4("16400") + S4("tg") +
                                                  S4("TABLE DATA") + S4("df") + kNull4 + S4("cp") +
                                                  S4("ow") + deps + I4(300) + I4(12));
    EXPECT_EQ(write(0, false, kOffsetNotSet, e),
              U4(7) + U4(1) + U4(5) + "16400" + U4(2) + "tg" + U4(10) + "TABLE DATA" + U4(2) +
                  "df" + U4(0xFFFFFFFF) + U4(2) + "ow" + U4(0xFFFFFFFF) + U4(12));
    // A directory entry with data is named after its dump id unless told otherwise.
    TocEntryPlan withData = e;
    withData.block = BlockPlan{};
    EXPECT_EQ(write(14, true, 0, withData),
              head + mid + S4("ow") + S4("false") + deps + S4("7.dat"));
    withData.fileName = "x";
    EXPECT_EQ(write(14, true, 0, withData), head + mid + S4("ow") + S4("false") + deps + S4("x"));
}

TEST(ArchiveWriterLayout, OffsetsPointAtTheirBlocks) {
    for (int minor : {6, 14}) {
        ArchivePlan plan = TwoTables(Compression::Gzip);
        plan.SetVersion(1, minor);
        BuiltArchive built = BuildCustomArchive(plan);
        ASSERT_EQ(built.blocks.size(), 2u);
        EXPECT_EQ(built.blocks[0].start, built.dataStart);
        EXPECT_EQ(built.blocks[1].end, built.bytes.size());
        for (const auto& block : built.blocks) {
            const EntryLayout& entry = built.EntryOf(block.dumpId);
            EXPECT_EQ(built.bytes.substr(block.start, 6), "\x01" + I4(block.dumpId));
            const auto pos = static_cast<std::uint32_t>(block.start);
            EXPECT_EQ(built.bytes.substr(entry.dataItem, minor < 7 ? 5 : 9),
                      minor < 7 ? I4(pos) : "\x02" + U4(pos) + U4(0));
        }
        EXPECT_EQ(built.EntryOf(1).offsetState, kOffsetNoData);
    }
    ArchivePlan plan = TwoTables(Compression::Gzip);
    plan.offsets = OffsetMode::NotSet;
    BuiltArchive pipe = BuildCustomArchive(plan);
    EXPECT_EQ(pipe.bytes.substr(pipe.EntryOf(4).dataItem, 9), Hex("01 0000000000000000"));
    EXPECT_EQ(pipe.bytes.substr(pipe.EntryOf(3).dataItem, 9), Hex("03 0000000000000000"));
    plan.offsets = OffsetMode::NoData;
    plan.Entry(6).offset = std::make_pair(2, 123456u);
    BuiltArchive odd = BuildCustomArchive(plan);
    EXPECT_EQ(odd.bytes.substr(odd.EntryOf(4).dataItem, 1), "\x03");
    EXPECT_EQ(odd.bytes.substr(odd.EntryOf(6).dataItem, 9), Hex("02 40E2010000000000"));
}

TEST(ArchiveWriterLayout, ChunksBlocksAndDamage) {
    ArchivePlan plan = TwoTables(Compression::Gzip);
    plan.Entry(4).block->chunkSizes = {5, 3};
    BuiltArchive built = BuildCustomArchive(plan);
    const BlockLayout& block = built.BlockOf(4);
    ASSERT_EQ(block.chunks.size(), 4u);  // 5, 3, the rest, the terminator
    EXPECT_EQ(ReadI4(built.bytes, block.chunks[0]), 5);
    EXPECT_EQ(ReadI4(built.bytes, block.chunks[1]), 3);
    EXPECT_EQ(ReadI4(built.bytes, block.chunks[3]), 0);
    std::string stored;
    for (int i = 0; i < 3; ++i) {
        stored += built.bytes.substr(
            block.chunks[i] + 5, static_cast<std::size_t>(ReadI4(built.bytes, block.chunks[i])));
    }
    EXPECT_EQ(Inflate(stored, 15), "1\tone\n2\ttwo\n\\.\n\n\n");

    plan.Entry(4).block->stored = "garbage";
    plan.Entry(4).block->chunkSizes = {2, 0};
    plan.Entry(4).block->terminated = false;
    plan.blockOrder = {6, 4, 6, 7};
    BlockPlan unknown;
    unknown.type = 9;
    unknown.rawBody = "??";
    plan.extraBlocks.push_back(unknown);
    plan.AddLargeObjects({{42, "xyz", {1}}}).block->compress = false;
    plan.trailer = "tail";
    built = BuildCustomArchive(plan);
    ASSERT_EQ(built.blocks.size(), 5u);
    EXPECT_EQ(built.blocks[1].dumpId, 4);
    EXPECT_EQ(built.EntryOf(6).offset, built.blocks[0].start);  // the first of the two
    const BlockLayout& damaged = built.blocks[1];
    EXPECT_EQ(built.bytes.substr(damaged.body, damaged.end - damaged.body),
              I4(2) + "ga" + I4(0) + I4(5) + "rbage");
    EXPECT_EQ(built.bytes.substr(built.blocks[3].start), "\x03" + I4(7) + I4(42) + I4(1) + "x" +
                                                             I4(2) + "yz" + I4(0) + I4(0) + "\x09" +
                                                             I4(0) + "??tail");
    EXPECT_EQ(built.trailer, built.bytes.size() - 4);

    std::string out;
    WriteChunks(out, {}, "abcdef", {2, 0});
    EXPECT_EQ(out, I4(2) + "ab" + I4(0) + I4(4) + "cdef" + I4(0));

    // Before 1.3 pg_dump wrote no type byte.
    plan = TwoTables(Compression::None);
    plan.SetVersion(1, 2);
    plan.untypedBlocksBefore13 = true;
    built = BuildCustomArchive(plan);
    EXPECT_EQ(built.bytes.substr(built.blocks[0].start, 5), I4(4));
}

TEST(ArchiveWriterLayout, DirectoryDumpFiles) {
    ArchivePlan plan = TwoTables(Compression::Gzip);
    plan.Entry(6).block->compress = false;
    plan.AddLargeObjects({{99, "blob", {}}});
    DirectoryDump dir = BuildDirectoryDump(plan);
    ASSERT_EQ(dir.files.size(), 4u);
    EXPECT_EQ(Inflate(dir.files.at("4.dat.gz"), 31), "1\tone\n2\ttwo\n\\.\n\n\n");
    EXPECT_EQ(dir.files.at("6.dat"), "a\nb\nc\n\\.\n\n\n");
    EXPECT_EQ(dir.files.at("blobs.toc"), "99 blob_99.dat\n");
    EXPECT_EQ(Inflate(dir.files.at("blob_99.dat.gz"), 31), "blob");
    const std::string& toc = dir.toc.bytes;
    EXPECT_EQ(toc.substr(dir.toc.EntryOf(4).dataItem, 10), S4("4.dat"));
    EXPECT_EQ(toc.substr(dir.toc.EntryOf(1).dataItem, 5), I4(0));
    EXPECT_EQ(toc.substr(dir.toc.EntryOf(7).dataItem), S4("blobs.toc"));
    EXPECT_TRUE(dir.toc.blocks.empty());
}

// ---- Real pg_dump 15 output, rebuilt ----

// Reads a 1.14 archive with intSize 4 and offSize 8, as pg_dump 15 writes it.
class FixtureParser {
public:
    explicit FixtureParser(const std::string& bytes) : m_b(bytes) {}

    ArchivePlan Parse(bool directory) {
        ArchivePlan s;
        s.magic = m_b.substr(0, 5);
        s.SetVersion(m_b[5], m_b[6], m_b[7]);
        s.intSize = m_b[8];
        s.offSize = m_b[9];
        EXPECT_EQ(s.Version(), MakeVersion(1, 14));
        EXPECT_EQ(s.intSize, 4);
        s.formatCode = m_b[10];
        m_p = 11;
        s.compressionLevel = Int();
        s.compression = *s.compressionLevel ? Compression::Gzip : Compression::None;
        for (auto& field : s.createdAt) field = Int();
        s.database = Str();
        s.serverVersion = Str();
        s.dumpVersion = Str();
        s.offsets = OffsetMode::NotSet;
        for (std::int64_t i = Int(); i > 0; --i) {
            TocEntryPlan e;
            e.dumpId = Int();
            e.hadDumper = Int();
            for (auto* field : {&e.tableOid, &e.oid, &e.tag, &e.desc}) *field = Str();
            e.section = Int();
            for (auto* field : {&e.defn, &e.dropStmt, &e.copyStmt, &e.schema, &e.tablespace,
                                &e.tableAm, &e.owner, &e.withOids}) {
                *field = Str();
            }
            while (auto dep = Str()) e.dependencies.push_back(*dep);
            if (directory) {
                e.fileName = Str();
            } else if (m_b.at(m_p) == kOffsetSet) {
                s.offsets = OffsetMode::Set;
            }
            m_p += directory ? 0 : 9;
            s.entries.push_back(e);
        }
        while (!directory && m_p < m_b.size()) {
            BlockPlan block;
            block.type = static_cast<std::uint8_t>(m_b[m_p++]);
            const std::int64_t id = Int();
            s.blockOrder.push_back(id);
            if (block.type == kBlockTableData) block.data = Body(s.compression);
            while (block.type == kBlockLargeObjects) {
                const std::int64_t oid = Int();
                if (oid == 0) break;
                block.objects.push_back({oid, Body(s.compression), {}});
            }
            s.Entry(id).block = block;
        }
        return s;
    }

private:
    std::int64_t Int() {
        m_p += 5;
        return ReadI4(m_b, m_p - 5);
    }
    std::optional<std::string> Str() {
        const std::int64_t n = Int();
        if (n < 0) return std::nullopt;
        m_p += static_cast<std::size_t>(n);
        return m_b.substr(m_p - static_cast<std::size_t>(n), static_cast<std::size_t>(n));
    }
    std::string Body(Compression compression) {
        std::string stored;
        while (auto chunk = Str()) {
            if (chunk->empty()) break;
            stored += *chunk;
        }
        return compression == Compression::Gzip ? Inflate(stored, 15) : stored;
    }

    const std::string& m_b;
    std::size_t m_p = 0;
};

// Guards against a parser and a writer that agree on a wrong field order.
void ExpectSensibleFields(const ArchivePlan& plan) {
    int heapTables = 0;
    int data = 0;
    for (const auto& e : plan.entries) {
        if (e.desc == "TABLE") {
            EXPECT_EQ(e.defn->rfind("CREATE ", 0), 0u);
            EXPECT_EQ(e.tablespace, "");
            heapTables += e.tableAm == "heap";
        }
        if (e.desc == "TABLE DATA") {
            ++data;
            EXPECT_EQ(e.copyStmt->rfind("COPY ", 0), 0u);
            EXPECT_EQ(e.section, kSectionData);
            EXPECT_EQ(e.owner, "postgres");
            EXPECT_EQ(e.withOids, "false");
        }
    }
    EXPECT_GE(heapTables, 3);
    EXPECT_GE(data, 3);
}

void ExpectSameBytes(const std::string& actual, const std::string& expected,
                     const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin());
    EXPECT_TRUE(diff.first == actual.end())
        << what << ": first difference at " << (diff.first - actual.begin());
}

TEST(ArchiveWriterFixture, RebuildsRealArchivesByteForByte) {
    for (std::string name : {"kx_main.custom.dump", "kx_main.custom-z0.dump",
                             "kx_main.custom-pipe.dump", "kx_eucjp.custom.dump"}) {
        const std::string real = ReadFileBytes(FixturePath("dumps/" + name));
        ASSERT_FALSE(real.empty()) << name;
        ArchivePlan plan = FixtureParser(real).Parse(false);
        ExpectSensibleFields(plan);
        ExpectSameBytes(BuildCustomArchive(plan).bytes, real, name);
    }
    for (std::string name : {"kx_main.dir", "kx_main.dir-z0"}) {
        const std::string real = ReadFileBytes(FixturePath("dumps/" + name + "/toc.dat"));
        ArchivePlan plan = FixtureParser(real).Parse(true);
        EXPECT_EQ(plan.formatCode, kFormatDirectory);
        ExpectSensibleFields(plan);
        // The writer must pick pg_dump's file names by itself.
        for (auto& e : plan.entries) {
            e.fileName.reset();
            if (e.desc == "TABLE DATA" || e.desc == "BLOBS") e.block = BlockPlan{};
            if (e.desc == "BLOBS") e.block->type = kBlockLargeObjects;
        }
        ExpectSameBytes(BuildTocDat(plan).bytes, real, name);
    }
}

TEST(ArchiveWriterFixture, HelpersWriteEntriesAsPgDumpDoes) {
    const ArchivePlan real =
        FixtureParser(ReadFileBytes(FixturePath("dumps/kx_main.custom.dump"))).Parse(false);
    auto find = [&](const std::string& desc, const std::string& tag) -> const TocEntryPlan& {
        for (const auto& e : real.entries) {
            if (e.desc == desc && e.tag == tag) return e;
        }
        throw std::runtime_error("the fixture has no " + desc + " " + tag);
    };
    auto dep = [](const TocEntryPlan& e) { return std::stoll(e.dependencies.at(0)); };
    const TocEntryPlan& table = find("TABLE", "t 1");
    const TocEntryPlan& index = find("INDEX", "simple_name_idx");
    const TocEntryPlan& constraint = find("CONSTRAINT", "simple simple_pkey");
    const TocEntryPlan& comment = find("COMMENT", "TABLE simple");

    ArchivePlan mine;
    std::vector<std::pair<const TocEntryPlan*, TocEntryPlan>> pairs = {
        {&find("ENCODING", "ENCODING"), mine.AddEncoding()},
        {&find("STDSTRINGS", "STDSTRINGS"), mine.AddStdStrings()},
        {&find("SEARCHPATH", "SEARCHPATH"), mine.AddSearchPath()},
        {&table, mine.AddTable("My Schema", "t 1", {"\"col 1\" integer", "\"Col\"\"2\" text"})},
        {&index,
         mine.AddIndex("public", "simple_name_idx", "simple", "USING btree (name)", dep(index))},
        {&constraint, mine.AddConstraint("public", "simple", "simple_pkey", "PRIMARY KEY (id)",
                                         dep(constraint))},
        {&comment, mine.AddComment("public", "TABLE simple", *comment.defn, dep(comment))},
    };
    mine.entries[3].dumpId = table.dumpId;  // so TABLE DATA takes over the table's oid
    mine.entries[3].oid = table.oid;
    pairs.push_back(
        {&find("TABLE DATA", "t 1"), mine.AddTableData("My Schema", "t 1", {"col 1", "Col\"2"},
                                                       "1\tx\n2\ty z\n", table.dumpId)});
    pairs[3].second.dependencies = table.dependencies;  // the schema's id

    const Encoding enc{MakeVersion(1, 14), 4, 8};
    for (auto& [want, got] : pairs) {
        // Ids and oids come from the server; the helpers only make them up.
        got.dumpId = want->dumpId;
        if (got.desc != "TABLE DATA") got.oid = want->oid;
        std::string a;
        std::string b;
        WriteTocEntry(a, enc, *want, false, kOffsetNoData, 0);
        WriteTocEntry(b, enc, got, false, kOffsetNoData, 0);
        EXPECT_EQ(b, a) << *want->desc << " " << *want->tag;
    }
    EXPECT_EQ(pairs.back().second.block->data, find("TABLE DATA", "t 1").block->data);
}

// ---- pg_restore reads what the writer makes ----

std::string PgRestore() {
    if (const char* env = std::getenv("KALVEX_PG_RESTORE")) return env;  // "" skips
    std::vector<std::string> candidates = {"/usr/lib/postgresql/15/bin/pg_restore"};
    std::error_code ec;
    for (const auto& dir : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        candidates.push_back(dir.path().string() + "/bin/pg_restore");
    }
    candidates.push_back("/usr/bin/pg_restore");
    for (const auto& path : candidates) {
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return "";
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Arguments are single-quoted, so they must not hold quotes themselves.
RunResult RunPgRestore(const ScratchDir& dir, const std::vector<std::string>& args) {
    std::string cmd = "'" + PgRestore() + "'";
    for (const auto& arg : args) cmd += " '" + arg + "'";
    cmd += " 2>'" + dir.File("stderr.txt") + "'";
    RunResult r;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) r.out.append(buf, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = ReadFileBytes(dir.File("stderr.txt"));
    return r;
}

#define REQUIRE_PG_RESTORE()                                                                  \
    if (PgRestore().empty()) {                                                                \
        GTEST_SKIP() << "pg_restore is not installed (apt-get install postgresql-client-15)"; \
    }

// What pg_restore printed after marker, up to the end-of-data line.
std::string RowsAfter(const std::string& output, const std::string& marker) {
    const std::size_t at = output.find(marker);
    if (at == std::string::npos) return "<no " + marker + ">";
    const std::size_t from = at + marker.size();
    if (output.compare(from, 3, "\\.\n") == 0) return "";
    const std::size_t end = output.find("\n\\.\n", from);
    return end == std::string::npos ? "<unterminated>" : output.substr(from, end + 1 - from);
}

struct TableCase {
    std::string schema, name, copyLine, rows;
    std::vector<std::string> columns;
};

std::vector<TableCase> SampleTables() {
    std::string many;
    std::uint32_t x = 7;
    for (int i = 1; i <= 2500; ++i) {  // spreads over several 4 KiB compressed chunks
        x = x * 1664525 + 1013904223;
        many += std::to_string(i) + "\trow " + std::to_string(x) + "\t\\N\n";
    }
    return {
        {"public",
         "t1",
         "COPY public.t1 (id, name) FROM stdin;\n",
         "1\tone\n2\t\\N\n3\ttab\\there\n",
         {"id", "name"}},
        {"My Schema",
         "Mixed Case",
         "COPY \"My Schema\".\"Mixed Case\" (\"col 1\", \"Col\"\"2\") FROM stdin;\n",
         "1\t日本語 \\\\ back\n",
         {"col 1", "Col\"2"}},
        {"public", "empty", "COPY public.empty (id) FROM stdin;\n", "", {"id"}},
        {"public",
         "many",
         "COPY public.many (n, label, note) FROM stdin;\n",
         many,
         {"n", "label", "note"}},
    };
}

ArchivePlan SampleArchive(Compression compression) {
    ArchivePlan plan;
    plan.compression = compression;
    plan.AddEncoding();
    plan.AddStdStrings();
    plan.AddSchema("My Schema");
    for (const auto& t : SampleTables()) {
        std::vector<std::string> defs;
        for (const auto& c : t.columns) defs.push_back(QuoteIdent(c) + " text");
        auto id = plan.AddTable(t.schema, t.name, defs).dumpId;
        plan.AddTableData(t.schema, t.name, t.columns, t.rows, id).block->chunkSizes = {7, 3, 1};
        if (t.name == "t1") {
            plan.AddConstraint(t.schema, t.name, "t1_pkey", "PRIMARY KEY (id)", id);
            plan.AddIndex(t.schema, "t1_name_idx", t.name, "USING btree (name)", id);
        }
    }
    return plan;
}

void ExpectRestoresEveryTable(const ScratchDir& dir, const std::string& path,
                              const std::string& format) {
    RunResult list = RunPgRestore(dir, {"-l", format, path});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find(" INDEX public t1_name_idx postgres\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find(" CONSTRAINT public t1 t1_pkey postgres\n"), std::string::npos)
        << list.out;
    for (const auto& t : SampleTables()) {
        EXPECT_NE(list.out.find(" TABLE DATA " + t.schema + " " + t.name + " postgres\n"),
                  std::string::npos)
            << t.name;
        RunResult r =
            RunPgRestore(dir, {"-a", "-t", t.name, "-n", t.schema, "-f", "-", format, path});
        ASSERT_EQ(r.status, 0) << t.name << ": " << r.err;
        EXPECT_EQ(RowsAfter(r.out, t.copyLine), t.rows) << t.name;
    }
}

TEST(ArchiveWriterPgRestore, CustomArchives) {
    REQUIRE_PG_RESTORE();
    ScratchDir dir;
    ArchivePlan plan = SampleArchive(Compression::Gzip);
    ExpectRestoresEveryTable(dir, dir.Write("gzip.dump", BuildCustomArchive(plan).bytes), "-Fc");
    plan.offsets = OffsetMode::NotSet;  // as written to a pipe: pg_restore has to walk the blocks
    ExpectRestoresEveryTable(dir, dir.Write("pipe.dump", BuildCustomArchive(plan).bytes), "-Fc");
    plan = SampleArchive(Compression::None);
    plan.intSize = 8;  // pg_restore only warns about such integers
    ExpectRestoresEveryTable(dir, dir.Write("int8.dump", BuildCustomArchive(plan).bytes), "-Fc");
    plan.intSize = 4;
    ExpectRestoresEveryTable(dir, dir.Write("z0.dump", BuildCustomArchive(plan).bytes), "-Fc");

    // A control: pg_restore really goes where the offsets point.
    BuiltArchive built = BuildCustomArchive(plan);
    plan.Entry(built.blocks.front().dumpId).offset =
        std::make_pair(kOffsetSet, built.blocks.back().start);
    RunResult r = RunPgRestore(
        dir, {"-a", "-t", "t1", "-f", "-", dir.Write("bad.dump", BuildCustomArchive(plan).bytes)});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("found unexpected block ID"), std::string::npos) << r.err;
}

TEST(ArchiveWriterPgRestore, DirectoryDumpsWithPlainAndGzipFiles) {
    REQUIRE_PG_RESTORE();
    for (int minor : {12, 14}) {
        ScratchDir dir;
        ArchivePlan plan = SampleArchive(Compression::Gzip);
        plan.SetVersion(1, minor);
        plan.entries.back().block->compress = false;  // "many" as a plain .dat
        DirectoryDump dump = BuildDirectoryDump(plan);
        ASSERT_EQ(dump.files.count(std::to_string(plan.entries.back().dumpId) + ".dat"), 1u);
        const std::string folder = dir.File("dump.dir");
        std::filesystem::create_directory(folder);
        dump.WriteTo(folder);
        ExpectRestoresEveryTable(dir, folder, "-Fd");
    }
}

// The newest archive minor version that a pg_restore major version reads.
int NewestMinor(const ScratchDir& dir) {
    const std::string out =
        RunPgRestore(dir, {"--version"}).out;  // "pg_restore (PostgreSQL) 15.18 ..."
    const std::size_t at = out.find(") ");
    const int major = at == std::string::npos ? 0 : std::atoi(out.c_str() + at + 2);
    return major >= 17 ? 16 : major == 16 ? 15 : 14;
}

TEST(ArchiveWriterPgRestore, EveryArchiveVersion) {
    REQUIRE_PG_RESTORE();
    ScratchDir dir;
    const int newest = NewestMinor(dir);
    for (int minor = 0; minor <= 17; ++minor) {
        ArchivePlan plan = TwoTables(Compression::Gzip);
        plan.SetVersion(1, minor);
        plan.untypedBlocksBefore13 = true;                        // as pg_dump wrote them then
        if (minor == 2 || minor == 3) plan.compressionLevel = 6;  // -1 does not fit the level byte
        const std::string path = dir.Write("v.dump", BuildCustomArchive(plan).bytes);
        RunResult r = RunPgRestore(dir, {"-a", "-t", "t2", "-f", "-", path});
        const std::string label = "1." + std::to_string(minor);
        if (minor > newest) {
            EXPECT_NE(r.status, 0) << label;
            EXPECT_NE(r.err.find("unsupported version (" + label + ")"), std::string::npos)
                << r.err;
            continue;
        }
        ASSERT_EQ(r.status, 0) << label << ": " << r.err;
        // Without a copy statement (before 1.3) the rows follow the entry's comment.
        const std::string marker = minor >= 3
                                       ? "COPY public.t2 (x) FROM stdin;\n"
                                       : "Type: TABLE DATA; Schema: -; Owner: postgres\n--\n\n";
        EXPECT_EQ(RowsAfter(r.out, marker), "a\nb\nc\n") << label;
    }
}

}  // namespace
