#include "support/ArchiveWriter.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace testarchive {

namespace {

constexpr int kV1_0 = MakeVersion(1, 0);

bool AtLeast(const Encoding& enc, int minor) {
    return enc.version >= MakeVersion(1, minor);
}

void WriteLittleEndian(std::string& out, std::uint64_t value, int width, std::uint8_t fill) {
    for (int i = 0; i < width; ++i) {
        out.push_back(static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : fill));
    }
}

std::string Deflate(std::string_view data, int level, int windowBits) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    std::string out;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    char buffer[16384];
    int rc = Z_OK;
    do {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        rc = deflate(&zs, Z_FINISH);
        out.append(buffer, sizeof buffer - zs.avail_out);
    } while (rc == Z_OK);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
    return out;
}

// Default split of a block's stored bytes, imitating pg_dump.
std::vector<std::size_t> DefaultChunks(std::string_view stored, bool compressed) {
    std::vector<std::size_t> sizes;
    if (compressed) {
        for (std::size_t done = 0; done < stored.size(); done += 4096) {
            sizes.push_back(std::min<std::size_t>(4096, stored.size() - done));
        }
        return sizes;
    }
    // pg_dump -Z0 writes one chunk per row and the end line on its own.
    std::string_view rows = stored;
    const bool hasEnd = rows.size() >= kCopyEnd.size() && rows.ends_with(kCopyEnd);
    if (hasEnd) rows.remove_suffix(kCopyEnd.size());
    std::size_t start = 0;
    while (start < rows.size()) {
        std::size_t lf = rows.find('\n', start);
        std::size_t end = lf == std::string_view::npos ? rows.size() : lf + 1;
        sizes.push_back(end - start);
        start = end;
    }
    if (hasEnd) sizes.push_back(kCopyEnd.size());
    return sizes;
}

std::string CopyColumnList(const std::vector<std::string>& columns) {
    std::string list;
    for (const auto& column : columns) {
        if (!list.empty()) list += ", ";
        list += QuoteIdent(column);
    }
    return list;
}

std::string Qualified(const std::string& schema, const std::string& name) {
    return QuoteIdent(schema) + "." + QuoteIdent(name);
}

int ChooseFormat(const ArchivePlan& plan, int fallback) {
    return plan.formatCode.value_or(fallback);
}

struct PlacedBlock {
    const BlockPlan* block;
    std::int64_t dumpId;
};

std::vector<PlacedBlock> PlaceBlocks(const ArchivePlan& plan) {
    std::vector<PlacedBlock> placed;
    auto add = [&](const TocEntryPlan& entry) {
        placed.push_back({&*entry.block, entry.block->dumpId.value_or(entry.dumpId)});
    };
    if (plan.blockOrder.empty()) {
        for (const auto& entry : plan.entries) {
            if (entry.block) add(entry);
        }
    } else {
        for (std::int64_t id : plan.blockOrder) {
            auto it =
                std::find_if(plan.entries.begin(), plan.entries.end(),
                             [&](const TocEntryPlan& e) { return e.dumpId == id && e.block; });
            if (it != plan.entries.end()) add(*it);
        }
    }
    for (const auto& block : plan.extraBlocks) placed.push_back({&block, block.dumpId.value_or(0)});
    return placed;
}

std::string DefaultFileName(const TocEntryPlan& entry) {
    if (!entry.block) return "";
    if (entry.block->type == kBlockLargeObjects) return "blobs.toc";
    return std::to_string(entry.dumpId) + ".dat";
}

}  // namespace

// ---- Primitives ----

void WriteByte(std::string& out, std::uint8_t value) {
    out.push_back(static_cast<char>(value));
}

void WriteInt(std::string& out, const Encoding& enc, std::int64_t value) {
    if (enc.version > kV1_0) {
        const bool negative = value < 0;
        const std::uint64_t magnitude =
            negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        WriteRawInt(out, enc, negative ? 1 : 0, magnitude);
    } else {
        WriteRawInt(out, enc, 0, static_cast<std::uint64_t>(value), value < 0 ? 0xFF : 0);
    }
}

void WriteRawInt(std::string& out, const Encoding& enc, std::uint8_t signByte,
                 std::uint64_t magnitude, std::uint8_t fill) {
    if (enc.version > kV1_0) WriteByte(out, signByte);
    WriteLittleEndian(out, magnitude, std::max(enc.intSize, 0), fill);
}

void WriteString(std::string& out, const Encoding& enc, const std::optional<std::string>& text) {
    if (!text) {
        WriteNullString(out, enc);
        return;
    }
    WriteInt(out, enc, static_cast<std::int64_t>(text->size()));
    out += *text;
}

void WriteNullString(std::string& out, const Encoding& enc) {
    WriteInt(out, enc, -1);
}

void WriteOffset(std::string& out, const Encoding& enc, int state, std::uint64_t offset) {
    if (!AtLeast(enc, 7)) {
        std::int64_t value = static_cast<std::int64_t>(offset);
        if (state == kOffsetNotSet) value = -1;
        if (state == kOffsetNoData) value = 0;
        WriteInt(out, enc, value);
        return;
    }
    WriteByte(out, static_cast<std::uint8_t>(state));
    WriteLittleEndian(out, offset, std::max(enc.offSize, 0), 0);
}

void WriteChunks(std::string& out, const Encoding& enc, std::string_view stored,
                 const std::vector<std::size_t>& sizes, bool terminate) {
    std::size_t done = 0;
    for (std::size_t size : sizes) {
        if (size == 0) {
            WriteInt(out, enc, 0);
            continue;
        }
        const std::size_t take = std::min(size, stored.size() - done);
        if (take == 0) continue;
        WriteInt(out, enc, static_cast<std::int64_t>(take));
        out.append(stored.substr(done, take));
        done += take;
    }
    if (done < stored.size()) {
        WriteInt(out, enc, static_cast<std::int64_t>(stored.size() - done));
        out.append(stored.substr(done));
    }
    if (terminate) WriteInt(out, enc, 0);
}

std::string ZlibCompress(std::string_view data, int level) {
    return Deflate(data, level, 15);
}

std::string GzipCompress(std::string_view data, int level) {
    return Deflate(data, level, 15 + 16);
}

std::string QuoteIdent(const std::string& name) {
    bool plain = !name.empty() && ((name[0] >= 'a' && name[0] <= 'z') || name[0] == '_');
    for (char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) plain = false;
    }
    if (plain) return name;
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// ---- ArchivePlan helpers ----

std::int64_t ArchivePlan::NextDumpId() const {
    std::int64_t next = 1;
    for (const auto& entry : entries) next = std::max(next, entry.dumpId + 1);
    return next;
}

TocEntryPlan& ArchivePlan::AddEntry(TocEntryPlan entry) {
    if (entry.dumpId == 0) entry.dumpId = NextDumpId();
    entries.push_back(std::move(entry));
    return entries.back();
}

TocEntryPlan& ArchivePlan::Entry(std::int64_t dumpId) {
    for (auto& entry : entries) {
        if (entry.dumpId == dumpId) return entry;
    }
    throw std::out_of_range("no TOC entry with dump id " + std::to_string(dumpId));
}

TocEntryPlan& ArchivePlan::AddEncoding(const std::string& encoding) {
    TocEntryPlan e;
    e.tag = e.desc = "ENCODING";
    e.defn = "SET client_encoding = '" + encoding + "';\n";
    e.owner.reset();
    return AddEntry(std::move(e));
}

TocEntryPlan& ArchivePlan::AddStdStrings(bool on) {
    TocEntryPlan e;
    e.tag = e.desc = "STDSTRINGS";
    e.defn = std::string("SET standard_conforming_strings = '") + (on ? "on" : "off") + "';\n";
    e.owner.reset();
    return AddEntry(std::move(e));
}

TocEntryPlan& ArchivePlan::AddSearchPath() {
    TocEntryPlan e;
    e.tag = e.desc = "SEARCHPATH";
    e.defn = "SELECT pg_catalog.set_config('search_path', '', false);\n";
    e.owner.reset();
    return AddEntry(std::move(e));
}

TocEntryPlan& ArchivePlan::AddSchema(const std::string& name) {
    TocEntryPlan e;
    e.tableOid = "2615";
    e.tag = name;
    e.desc = "SCHEMA";
    e.defn = "CREATE SCHEMA " + QuoteIdent(name) + ";\n";
    e.dropStmt = "DROP SCHEMA " + QuoteIdent(name) + ";\n";
    auto& added = AddEntry(std::move(e));
    added.oid = std::to_string(16384 + added.dumpId);
    return added;
}

TocEntryPlan& ArchivePlan::AddTable(const std::string& schema, const std::string& name,
                                    const std::vector<std::string>& columns) {
    TocEntryPlan e;
    e.tableOid = "1259";
    e.tag = name;
    e.desc = "TABLE";
    std::string defn = "CREATE TABLE " + Qualified(schema, name) + " (\n";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        defn += "    " + columns[i] + (i + 1 < columns.size() ? ",\n" : "\n");
    }
    e.defn = defn + ");\n";
    e.dropStmt = "DROP TABLE " + Qualified(schema, name) + ";\n";
    e.schema = schema;
    e.tablespace = "";
    e.tableAm = "heap";
    e.relKind = 'r';
    auto& added = AddEntry(std::move(e));
    added.oid = std::to_string(16384 + added.dumpId);
    return added;
}

TocEntryPlan& ArchivePlan::AddTableData(const std::string& schema, const std::string& name,
                                        const std::vector<std::string>& columns,
                                        const std::string& copyText, std::int64_t tableId) {
    TocEntryPlan e;
    e.hadDumper = 1;
    e.tag = name;
    e.desc = "TABLE DATA";
    e.section = kSectionData;
    e.defn.reset();
    e.copyStmt =
        "COPY " + Qualified(schema, name) + " (" + CopyColumnList(columns) + ") FROM stdin;\n";
    e.schema = schema;
    if (tableId != 0) {
        e.oid = Entry(tableId).oid;
        e.dependencies.push_back(std::to_string(tableId));
    }
    BlockPlan block;
    block.data = copyText + std::string(kCopyEnd);
    e.block = std::move(block);
    return AddEntry(std::move(e));
}

TocEntryPlan& ArchivePlan::AddIndex(const std::string& schema, const std::string& name,
                                    const std::string& table, const std::string& definition,
                                    std::int64_t tableId) {
    TocEntryPlan e;
    e.tableOid = "1259";
    e.tag = name;
    e.desc = "INDEX";
    e.section = kSectionPostData;
    e.defn = "CREATE INDEX " + QuoteIdent(name) + " ON " + Qualified(schema, table) + " " +
             definition + ";\n";
    e.dropStmt = "DROP INDEX " + Qualified(schema, name) + ";\n";
    e.schema = schema;
    e.tablespace = "";
    if (tableId != 0) e.dependencies.push_back(std::to_string(tableId));
    auto& added = AddEntry(std::move(e));
    added.oid = std::to_string(16384 + added.dumpId);
    return added;
}

TocEntryPlan& ArchivePlan::AddConstraint(const std::string& schema, const std::string& table,
                                         const std::string& name, const std::string& definition,
                                         std::int64_t tableId) {
    TocEntryPlan e;
    e.tableOid = "2606";
    e.tag = table + " " + name;
    e.desc = "CONSTRAINT";
    e.section = kSectionPostData;
    e.defn = "ALTER TABLE ONLY " + Qualified(schema, table) + "\n    ADD CONSTRAINT " +
             QuoteIdent(name) + " " + definition + ";\n";
    e.dropStmt = "ALTER TABLE ONLY " + Qualified(schema, table) + " DROP CONSTRAINT " +
                 QuoteIdent(name) + ";\n";
    e.schema = schema;
    e.tablespace = "";
    if (tableId != 0) e.dependencies.push_back(std::to_string(tableId));
    auto& added = AddEntry(std::move(e));
    added.oid = std::to_string(16384 + added.dumpId);
    return added;
}

TocEntryPlan& ArchivePlan::AddComment(const std::string& schema, const std::string& tag,
                                      const std::string& sql, std::int64_t dependsOn) {
    TocEntryPlan e;
    e.tag = tag;
    e.desc = "COMMENT";
    e.section = kSectionNone;
    e.defn = sql;
    e.schema = schema;
    if (dependsOn != 0) e.dependencies.push_back(std::to_string(dependsOn));
    return AddEntry(std::move(e));
}

TocEntryPlan& ArchivePlan::AddLargeObjects(std::vector<LargeObject> objects) {
    TocEntryPlan e;
    e.hadDumper = 1;
    e.tag = e.desc = "BLOBS";
    e.section = kSectionData;
    e.owner.reset();
    BlockPlan block;
    block.type = kBlockLargeObjects;
    block.objects = std::move(objects);
    e.block = std::move(block);
    return AddEntry(std::move(e));
}

// ---- Layout lookups ----

const EntryLayout& BuiltArchive::EntryOf(std::int64_t dumpId) const {
    for (const auto& entry : entries) {
        if (entry.dumpId == dumpId) return entry;
    }
    throw std::out_of_range("no entry " + std::to_string(dumpId));
}

const BlockLayout& BuiltArchive::BlockOf(std::int64_t dumpId) const {
    for (const auto& block : blocks) {
        if (block.dumpId == dumpId) return block;
    }
    throw std::out_of_range("no block " + std::to_string(dumpId));
}

void DirectoryDump::WriteTo(const std::string& folder) const {
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream out(folder + "/" + name, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + folder + "/" + name);
    };
    write("toc.dat", toc.bytes);
    for (const auto& [name, bytes] : files) write(name, bytes);
}

// ---- Building ----

std::string BuildHeader(const ArchivePlan& plan, int formatCode, HeaderLayout* layout) {
    HeaderLayout pos;
    const Encoding enc = plan.GetEncoding();
    const bool gzip = plan.compression == Compression::Gzip;
    std::string out = plan.magic;
    pos.version = out.size();
    WriteByte(out, static_cast<std::uint8_t>(plan.vmaj));
    WriteByte(out, static_cast<std::uint8_t>(plan.vmin));
    if (plan.vmaj > 1 || (plan.vmaj == 1 && plan.vmin != 0)) {
        WriteByte(out, static_cast<std::uint8_t>(plan.vrev));
    }
    pos.intSize = out.size();
    WriteByte(out, static_cast<std::uint8_t>(plan.intSize));
    if (AtLeast(enc, 7)) {
        pos.offSize = out.size();
        WriteByte(out, static_cast<std::uint8_t>(plan.offSize));
    }
    pos.format = out.size();
    WriteByte(out, static_cast<std::uint8_t>(formatCode));
    const std::int64_t level = plan.compressionLevel.value_or(gzip ? -1 : 0);
    if (AtLeast(enc, 15)) {
        pos.compression = out.size();
        WriteByte(out, static_cast<std::uint8_t>(plan.compressionAlgorithm.value_or(gzip ? 1 : 0)));
    } else if (AtLeast(enc, 4)) {
        pos.compression = out.size();
        WriteInt(out, enc, level);
    } else if (AtLeast(enc, 2)) {
        pos.compression = out.size();
        WriteByte(out, static_cast<std::uint8_t>(level));
    }
    if (AtLeast(enc, 4)) {
        pos.createdAt = out.size();
        for (std::int64_t field : plan.createdAt) WriteInt(out, enc, field);
        pos.database = out.size();
        WriteString(out, enc, plan.database);
    }
    if (AtLeast(enc, 10)) {
        pos.serverVersion = out.size();
        WriteString(out, enc, plan.serverVersion);
        pos.dumpVersion = out.size();
        WriteString(out, enc, plan.dumpVersion);
    }
    pos.tocCount = out.size();
    WriteInt(out, enc, plan.tocCount.value_or(static_cast<std::int64_t>(plan.entries.size())));
    pos.tocStart = out.size();
    if (layout) *layout = pos;
    return out;
}

void WriteTocEntry(std::string& out, const Encoding& enc, const TocEntryPlan& entry, bool directory,
                   int offsetState, std::uint64_t offset, EntryLayout* layout) {
    EntryLayout pos;
    pos.dumpId = entry.dumpId;
    pos.start = out.size();
    WriteInt(out, enc, entry.dumpId);
    WriteInt(out, enc, entry.hadDumper);
    if (AtLeast(enc, 8)) WriteString(out, enc, entry.tableOid);
    WriteString(out, enc, entry.oid);
    pos.tag = out.size();
    WriteString(out, enc, entry.tag);
    WriteString(out, enc, entry.desc);
    if (AtLeast(enc, 11)) WriteInt(out, enc, entry.section);
    WriteString(out, enc, entry.defn);
    WriteString(out, enc, entry.dropStmt);
    if (AtLeast(enc, 3)) WriteString(out, enc, entry.copyStmt);
    if (AtLeast(enc, 6)) WriteString(out, enc, entry.schema);
    if (AtLeast(enc, 10)) WriteString(out, enc, entry.tablespace);
    if (AtLeast(enc, 14)) WriteString(out, enc, entry.tableAm);
    if (AtLeast(enc, 16)) WriteInt(out, enc, entry.relKind);
    pos.owner = out.size();
    WriteString(out, enc, entry.owner);
    if (AtLeast(enc, 9)) WriteString(out, enc, entry.withOids);
    if (AtLeast(enc, 5)) {
        pos.dependencies = out.size();
        for (const auto& dep : entry.dependencies) WriteString(out, enc, dep);
        WriteNullString(out, enc);
    }
    pos.dataItem = out.size();
    if (directory) {
        WriteString(out, enc, entry.fileName.value_or(DefaultFileName(entry)));
    } else {
        WriteOffset(out, enc, offsetState, offset);
        if (!AtLeast(enc, 7)) WriteInt(out, enc, entry.oldDataSize);
        pos.offsetState = offsetState;
        pos.offset = offset;
    }
    pos.end = out.size();
    if (layout) *layout = pos;
}

std::string StoredBytes(const BlockPlan& block, bool compress) {
    if (block.stored) return *block.stored;
    return compress ? ZlibCompress(block.data) : block.data;
}

void WriteBlock(std::string& out, const Encoding& enc, const BlockPlan& block, std::int64_t dumpId,
                bool compressDefault, bool typeByte, BlockLayout* layout) {
    BlockLayout pos;
    pos.type = block.type;
    pos.dumpId = dumpId;
    pos.start = out.size();
    const bool compress = block.compress.value_or(compressDefault);
    if (typeByte) WriteByte(out, block.type);
    WriteInt(out, enc, dumpId);
    pos.body = out.size();

    // Writes chunks one at a time so each length's position can be recorded.
    auto chunks = [&](std::string_view stored, std::vector<std::size_t> sizes, bool terminate) {
        std::size_t done = 0;
        auto one = [&](std::size_t n) {
            pos.chunks.push_back(out.size());
            WriteChunks(out, enc, stored.substr(done, n), {n}, false);
            done += n;
        };
        for (std::size_t size : sizes) {
            if (size == 0) {
                pos.chunks.push_back(out.size());
                WriteInt(out, enc, 0);
                continue;
            }
            if (std::size_t take = std::min(size, stored.size() - done)) one(take);
        }
        if (done < stored.size()) one(stored.size() - done);
        if (terminate) {
            pos.chunks.push_back(out.size());
            WriteInt(out, enc, 0);
        }
    };

    if (block.type == kBlockTableData) {
        const std::string stored = StoredBytes(block, compress);
        chunks(stored,
               block.chunkSizes.empty() ? DefaultChunks(stored, compress) : block.chunkSizes,
               block.terminated);
    } else if (block.type == kBlockLargeObjects) {
        for (const auto& object : block.objects) {
            WriteInt(out, enc, object.oid);
            const std::string stored = compress ? ZlibCompress(object.data) : object.data;
            // pg_dump reads large objects 16 KiB at a time; compressed ones leave its
            // deflate buffer in 4 KiB pieces.
            std::vector<std::size_t> sizes = object.chunkSizes;
            if (sizes.empty()) {
                const std::size_t piece = compress ? 4096 : 16384;
                for (std::size_t done = 0; done < stored.size(); done += piece) {
                    sizes.push_back(std::min(piece, stored.size() - done));
                }
            }
            chunks(stored, sizes, true);
        }
        if (block.terminated) WriteInt(out, enc, 0);
    } else {
        out += block.rawBody;
    }
    pos.end = out.size();
    if (layout) *layout = pos;
}

namespace {

// Offsets have a fixed width, so the TOC is written once to learn where the data area
// starts and once more with the real block positions.
BuiltArchive Build(const ArchivePlan& plan, bool directory) {
    BuiltArchive result;
    const Encoding enc = plan.GetEncoding();
    const bool gzip = plan.compression == Compression::Gzip;
    const std::string header = BuildHeader(
        plan, ChooseFormat(plan, directory ? kFormatDirectory : kFormatCustom), &result.header);

    std::string data;
    std::vector<BlockLayout> blocks;
    if (!directory) {
        const bool typeByte = !(plan.untypedBlocksBefore13 && !AtLeast(enc, 3));
        for (const auto& placed : PlaceBlocks(plan)) {
            BlockLayout layout;
            WriteBlock(data, enc, *placed.block, placed.dumpId, gzip, typeByte, &layout);
            blocks.push_back(layout);
        }
    }

    auto writeToc = [&](std::size_t dataStart, std::vector<EntryLayout>* layouts) {
        std::string toc = header;
        for (const auto& entry : plan.entries) {
            int state = kOffsetNoData;
            std::uint64_t offset = 0;
            if (entry.offset) {
                state = entry.offset->first;
                offset = entry.offset->second;
            } else {
                auto it = std::find_if(blocks.begin(), blocks.end(), [&](const BlockLayout& b) {
                    return b.dumpId == entry.dumpId;
                });
                if (it != blocks.end()) {
                    switch (plan.offsets) {
                        case OffsetMode::Set:
                            state = kOffsetSet;
                            offset = dataStart + it->start;
                            break;
                        case OffsetMode::NotSet:
                            state = kOffsetNotSet;
                            break;
                        case OffsetMode::NoData:
                            break;
                    }
                }
            }
            EntryLayout layout;
            WriteTocEntry(toc, enc, entry, directory, state, offset, &layout);
            if (layouts) layouts->push_back(layout);
        }
        return toc;
    };

    const std::size_t dataStart = writeToc(0, nullptr).size();
    result.bytes = writeToc(dataStart, &result.entries);
    if (result.bytes.size() != dataStart) throw std::logic_error("TOC size depends on offsets");
    result.dataStart = dataStart;
    for (auto& block : blocks) {
        block.start += dataStart;
        block.body += dataStart;
        block.end += dataStart;
        for (auto& chunk : block.chunks) chunk += dataStart;
    }
    result.blocks = std::move(blocks);
    result.bytes += data;
    result.trailer = result.bytes.size();
    result.bytes += plan.trailer;
    return result;
}

}  // namespace

BuiltArchive BuildCustomArchive(const ArchivePlan& plan) {
    return Build(plan, false);
}

BuiltArchive BuildTocDat(const ArchivePlan& plan) {
    return Build(plan, true);
}

DirectoryDump BuildDirectoryDump(const ArchivePlan& plan) {
    DirectoryDump dump;
    dump.toc = BuildTocDat(plan);
    const bool gzip = plan.compression == Compression::Gzip;
    for (const auto& entry : plan.entries) {
        if (!entry.block) continue;
        const BlockPlan& block = *entry.block;
        const bool compress = block.compress.value_or(gzip);
        const std::string suffix = compress ? ".gz" : "";
        const std::string name = entry.fileName.value_or(DefaultFileName(entry));
        if (name.empty()) continue;
        if (block.type == kBlockTableData) {
            dump.files[name + suffix] =
                block.stored ? *block.stored : (compress ? GzipCompress(block.data) : block.data);
        } else if (block.type == kBlockLargeObjects) {
            std::string list;
            for (const auto& object : block.objects) {
                const std::string file = "blob_" + std::to_string(object.oid) + ".dat";
                list += std::to_string(object.oid) + " " + file + "\n";
                dump.files[file + suffix] = compress ? GzipCompress(object.data) : object.data;
            }
            dump.files[name] = list;
        }
    }
    return dump;
}

}  // namespace testarchive
