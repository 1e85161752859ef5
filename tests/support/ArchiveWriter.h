#pragma once

// Builds pg_dump custom archives (-Fc) and directory-dump toc.dat files of any archive
// version, byte by byte, so the reader can be tested on layouts and damage that no
// pg_dump we can run would produce. Nothing here validates: every field can be set to
// a hostile value on purpose.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testarchive {

constexpr std::size_t npos = static_cast<std::size_t>(-1);

// (major * 256 + minor) * 256 + revision, the number every version test compares with.
constexpr int MakeVersion(int major, int minor, int rev = 0) {
    return (major * 256 + minor) * 256 + rev;
}

constexpr int kFormatCustom = 1;
// pg_dump stores the tar format's code in a directory dump's toc.dat.
constexpr int kFormatDirectory = 3;

constexpr int kSectionNone = 1;
constexpr int kSectionPreData = 2;
constexpr int kSectionData = 3;
constexpr int kSectionPostData = 4;

constexpr int kOffsetNotSet = 1;
constexpr int kOffsetSet = 2;
constexpr int kOffsetNoData = 3;

constexpr std::uint8_t kBlockTableData = 1;
constexpr std::uint8_t kBlockLargeObjects = 3;

// The end-of-data line pg_dump appends to every COPY block.
inline constexpr std::string_view kCopyEnd = "\\.\n\n\n";

// What the integer, string and offset encodings depend on.
struct Encoding {
    int version = MakeVersion(1, 14);
    int intSize = 4;
    int offSize = 8;
};

// ---- Low-level primitives: they append to out and never check anything. ----

void WriteByte(std::string& out, std::uint8_t value);
// Sign byte (only above version 1.0.0), then intSize bytes of the magnitude. Without a
// sign byte a negative value is written in two's complement, which is how it reads back.
void WriteInt(std::string& out, const Encoding& enc, std::int64_t value);
// Exact control: any sign byte and any 64-bit magnitude (e.g. upper bytes set for
// intSize 8). Bytes beyond the eighth are written as fill.
void WriteRawInt(std::string& out, const Encoding& enc, std::uint8_t signByte,
                 std::uint64_t magnitude, std::uint8_t fill = 0);
// Length then bytes; nullopt writes the null string (length -1).
void WriteString(std::string& out, const Encoding& enc, const std::optional<std::string>& text);
void WriteNullString(std::string& out, const Encoding& enc);
// Below 1.7 an integer (-1 not set, 0 no data, the offset when set); from 1.7 the state
// byte and offSize bytes.
void WriteOffset(std::string& out, const Encoding& enc, int state, std::uint64_t offset);
// Splits stored into chunks of the given sizes (the rest, if any, as one more chunk) and
// ends with a zero-length chunk when terminate is set. A 0 in sizes writes an early end.
void WriteChunks(std::string& out, const Encoding& enc, std::string_view stored,
                 const std::vector<std::size_t>& sizes, bool terminate = true);

// One zlib-wrapped stream (what a compressed data block carries) and a gzip member (what
// a directory dump's .gz file holds).
std::string ZlibCompress(std::string_view data, int level = -1);
std::string GzipCompress(std::string_view data, int level = -1);

std::string QuoteIdent(const std::string& name);

// ---- Data blocks ----

struct LargeObject {
    std::int64_t oid = 0;
    std::string data;
    std::vector<std::size_t> chunkSizes;  // stored-byte split; empty: as pg_dump splits
};

struct BlockPlan {
    std::uint8_t type = kBlockTableData;
    std::optional<std::int64_t> dumpId;  // unset: the owning entry's id (extra blocks: 0)
    std::string data;                    // type 1: the COPY text, before compression
    std::optional<bool> compress;        // unset: the archive's compression
    // Bytes to store instead of data (compressed or not), e.g. a broken zlib stream.
    std::optional<std::string> stored;
    // Chunk split of the stored bytes. Empty: 4096-byte chunks when compressed (as
    // pg_dump's deflate buffer does), one chunk per line otherwise (as pg_dump -Z0 does).
    std::vector<std::size_t> chunkSizes;
    bool terminated = true;            // the zero-length chunk (type 3: also the object id 0)
    std::vector<LargeObject> objects;  // type 3
    std::string rawBody;               // any other type: bytes after the dump id
};

// ---- TOC entries ----

struct TocEntryPlan {
    std::int64_t dumpId = 0;  // 0: ArchivePlan::AddEntry picks the next free one
    std::int64_t hadDumper = 0;
    std::optional<std::string> tableOid = "0";
    std::optional<std::string> oid = "0";
    std::optional<std::string> tag;
    std::optional<std::string> desc;
    std::int64_t section = kSectionPreData;
    std::optional<std::string> defn;
    std::optional<std::string> dropStmt;
    std::optional<std::string> copyStmt;
    std::optional<std::string> schema;
    std::optional<std::string> tablespace;
    std::optional<std::string> tableAm;
    std::int64_t relKind = 0;
    std::optional<std::string> owner = "postgres";
    std::optional<std::string> withOids = "false";
    std::vector<std::string> dependencies;

    // The entry's data: a block in a custom archive, a file in a directory dump.
    std::optional<BlockPlan> block;

    // Custom archive: an explicit (state, offset) instead of the archive's offset mode.
    std::optional<std::pair<int, std::uint64_t>> offset;
    std::int64_t oldDataSize = 0;  // below 1.7
    // Directory dump: the name toc.dat gives. Unset: "<id>.dat" with data, "blobs.toc"
    // with large objects, "" otherwise.
    std::optional<std::string> fileName;
};

enum class Compression { None, Gzip };
enum class OffsetMode {
    Set,     // real block positions, as pg_dump writes to a file
    NotSet,  // as pg_dump writes to a pipe
    NoData,  // every entry claims to have no data
};

struct ArchivePlan {
    std::string magic = "PGDMP";
    int vmaj = 1;
    int vmin = 14;
    int vrev = 0;
    int intSize = 4;
    int offSize = 8;
    std::optional<int> formatCode;  // unset: kFormatCustom or kFormatDirectory
    Compression compression = Compression::Gzip;
    // Header overrides. Unset: gzip gives level -1 (a 0xFF byte below 1.4) and
    // algorithm 1; none gives 0.
    std::optional<std::int64_t> compressionLevel;
    std::optional<int> compressionAlgorithm;
    // tm fields: second, minute, hour, day, month (0 = January), year - 1900, DST flag.
    std::array<std::int64_t, 7> createdAt = {0, 30, 12, 1, 0, 124, 0};
    std::optional<std::string> database = "kx_test";
    std::optional<std::string> serverVersion = "15.18 (Debian 15.18-0+deb12u1)";
    std::optional<std::string> dumpVersion = "15.18 (Debian 15.18-0+deb12u1)";
    std::optional<std::int64_t> tocCount;  // unset: the number of entries

    std::vector<TocEntryPlan> entries;
    OffsetMode offsets = OffsetMode::Set;

    // Data area: the entries' blocks in entry order, or in blockOrder (dump ids; may
    // leave out or repeat), then extraBlocks, then trailer.
    std::vector<std::int64_t> blockOrder;
    std::vector<BlockPlan> extraBlocks;
    std::string trailer;
    // Before 1.3 pg_dump wrote blocks without a type byte; off by default because the
    // reader expects one in every version.
    bool untypedBlocksBefore13 = false;

    int Version() const { return MakeVersion(vmaj, vmin, vrev); }
    Encoding GetEncoding() const { return {Version(), intSize, offSize}; }
    void SetVersion(int major, int minor, int rev = 0) {
        vmaj = major;
        vmin = minor;
        vrev = rev;
    }

    // The references returned are valid until the next entry is added.
    TocEntryPlan& AddEntry(TocEntryPlan entry);
    TocEntryPlan& Entry(std::int64_t dumpId);
    TocEntryPlan& AddEncoding(const std::string& encoding = "UTF8");
    TocEntryPlan& AddStdStrings(bool on = true);
    TocEntryPlan& AddSearchPath();
    TocEntryPlan& AddSchema(const std::string& name);
    // columns: definitions such as "id integer NOT NULL".
    TocEntryPlan& AddTable(const std::string& schema, const std::string& name,
                           const std::vector<std::string>& columns);
    // columns: names for the COPY list; copyText: the rows, kCopyEnd is appended.
    // tableId: the TABLE entry it depends on (0: none).
    TocEntryPlan& AddTableData(const std::string& schema, const std::string& name,
                               const std::vector<std::string>& columns, const std::string& copyText,
                               std::int64_t tableId = 0);
    // definition: what follows "ON schema.table", e.g. "USING btree (name)".
    TocEntryPlan& AddIndex(const std::string& schema, const std::string& name,
                           const std::string& table, const std::string& definition,
                           std::int64_t tableId = 0);
    // definition: e.g. "PRIMARY KEY (id)".
    TocEntryPlan& AddConstraint(const std::string& schema, const std::string& table,
                                const std::string& name, const std::string& definition,
                                std::int64_t tableId = 0);
    TocEntryPlan& AddComment(const std::string& schema, const std::string& tag,
                             const std::string& sql, std::int64_t dependsOn = 0);
    // A BLOBS entry with a large-object block.
    TocEntryPlan& AddLargeObjects(std::vector<LargeObject> objects);

private:
    std::int64_t NextDumpId() const;
};

// ---- Results, with the positions tests cut or flip bytes at ----

struct HeaderLayout {
    std::size_t magic = 0;
    std::size_t version = npos;  // the vmaj byte
    std::size_t intSize = npos;
    std::size_t offSize = npos;  // npos below 1.7
    std::size_t format = npos;
    std::size_t compression = npos;  // the algorithm byte, level byte or level integer
    std::size_t createdAt = npos;
    std::size_t database = npos;
    std::size_t serverVersion = npos;
    std::size_t dumpVersion = npos;
    std::size_t tocCount = npos;  // the header's fields end here
    std::size_t tocStart = npos;  // first entry, right after the count
};

struct EntryLayout {
    std::int64_t dumpId = 0;
    std::size_t start = 0;
    std::size_t tag = 0;
    std::size_t owner = 0;
    std::size_t dependencies = npos;
    std::size_t dataItem = 0;  // custom: the offset; directory: the file name
    std::size_t end = 0;
    int offsetState = 0;  // custom: what was written
    std::uint64_t offset = 0;
};

struct BlockLayout {
    std::uint8_t type = 0;
    std::int64_t dumpId = 0;
    std::size_t start = 0;            // the type byte, what an offset points at
    std::size_t body = 0;             // after the dump id
    std::vector<std::size_t> chunks;  // each chunk's length integer, the terminator last
    std::size_t end = 0;
};

struct BuiltArchive {
    std::string bytes;
    HeaderLayout header;
    std::vector<EntryLayout> entries;
    std::size_t dataStart = 0;  // first byte after the TOC
    std::vector<BlockLayout> blocks;
    std::size_t trailer = npos;

    const EntryLayout& EntryOf(std::int64_t dumpId) const;
    const BlockLayout& BlockOf(std::int64_t dumpId) const;
};

struct DirectoryDump {
    BuiltArchive toc;  // toc.dat
    // Data files by name: "<id>.dat.gz" (toc.dat names it without ".gz", as pg_dump
    // does) or "<id>.dat"; blobs.toc and blob_<oid>.dat[.gz] for large objects.
    std::map<std::string, std::string> files;

    // Writes toc.dat and the files into an existing folder.
    void WriteTo(const std::string& folder) const;
};

// ---- Building ----

// Header up to and including the entry count.
std::string BuildHeader(const ArchivePlan& plan, int formatCode, HeaderLayout* layout = nullptr);
// One entry; offsetState and offset are used by custom archives only.
void WriteTocEntry(std::string& out, const Encoding& enc, const TocEntryPlan& entry, bool directory,
                   int offsetState, std::uint64_t offset, EntryLayout* layout = nullptr);
// One data block; compressDefault is the archive's compression.
void WriteBlock(std::string& out, const Encoding& enc, const BlockPlan& block, std::int64_t dumpId,
                bool compressDefault, bool typeByte = true, BlockLayout* layout = nullptr);
// The stored bytes and chunk split of a block, as WriteBlock writes them.
std::string StoredBytes(const BlockPlan& block, bool compress);

BuiltArchive BuildCustomArchive(const ArchivePlan& plan);
BuiltArchive BuildTocDat(const ArchivePlan& plan);
DirectoryDump BuildDirectoryDump(const ArchivePlan& plan);

}  // namespace testarchive
