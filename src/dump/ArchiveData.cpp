// Table data of archives: counting rows by walking the data blocks, and streaming one
// table's COPY text out of its block or its data file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "dump/ArchiveDump.h"
#include "dump/ArchiveEncoding.h"
#include "dump/BufferedFileReader.h"
#include "dump/CompressedFile.h"
#include "dump/LineCounter.h"
#include "dump/PipelineSink.h"
#include "dump/StreamDecoder.h"
#include "jobs/JobContext.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "platform/WideChar.h"

namespace {

constexpr uint8_t kBlockData = 1;
constexpr uint8_t kBlockLargeObjects = 3;
constexpr unsigned kChunksPerCancelCheck = 256;

const char16_t kBlockReadFailed[] = u"データブロックの読み取りに失敗しました。";

int Percent(uint64_t position, uint64_t fileSize) {
    if (fileSize < 2) fileSize = 1;
    return static_cast<int>(std::min<uint64_t>(100, position * 100 / fileSize));
}

// Skips the chunks of one data body up to its zero length; false when it cannot.
bool SkipChunks(BufferedFileReader& reader, ArchiveFieldReader& fields) {
    for (;;) {
        int32_t length;
        if (!fields.ReadInt(length) || length < 0) return false;
        if (length == 0) return true;
        if (!reader.Seek(reader.Position() + static_cast<uint64_t>(length))) return false;
    }
}

// Skips the body of a large-object block: object ids, each with its chunks, up to id 0.
bool SkipLargeObjects(BufferedFileReader& reader, ArchiveFieldReader& fields) {
    for (;;) {
        int32_t oid;
        if (!fields.ReadInt(oid)) return false;
        if (oid == 0) return true;
        if (!SkipChunks(reader, fields)) return false;
    }
}

// The chunks of one data block, through the decoder when there is one.
bool ReadBlockChunks(BufferedFileReader& reader, const ArchiveHeader& header,
                     IStreamDecoder* decoder, IDataSink& sink, IJobContext* job,
                     bool reportPosition, std::u16string& error) {
    if (decoder != nullptr && !decoder->Begin(error)) return false;
    ArchiveFieldReader fields(reader, header);
    unsigned chunks = 0;
    for (;;) {
        int32_t length;
        if (!fields.ReadInt(length) || length < 0 ||
            static_cast<uint64_t>(length) > reader.FileSize() - reader.Position()) {
            error = kBlockReadFailed;
            return false;
        }
        if (length == 0) {
            // A compressed stream that stops early would pass for a shorter table.
            if (decoder && decoder->Incomplete()) {
                error = kBlockReadFailed;
                return false;
            }
            return true;
        }
        // Hand the chunk over straight from the read window, a window's worth at a time.
        size_t remaining = static_cast<size_t>(length);
        while (remaining > 0) {
            if (reader.Available() == 0 && !reader.Refill()) {
                error = kBlockReadFailed;
                return false;
            }
            size_t take = std::min(remaining, reader.Available());
            bool ok = decoder ? decoder->Feed(reader.Data(), take, sink, error)
                              : sink.Write(reader.Data(), take);
            if (!ok) return false;
            reader.Consume(take);
            remaining -= take;
        }
        if (++chunks % kChunksPerCancelCheck == 0 && job != nullptr) {
            if (job->IsCancelled()) {
                error = kCancelledMessage;
                return false;
            }
            // A table of a gigabyte must not leave the bar standing still while it is counted.
            if (reportPosition) job->SetProgress(Percent(reader.Position(), reader.FileSize()));
        }
    }
}

// A data file's reader reports its own position, 0 to 100; the bar shows that as the
// file's share of the whole scan, so it never runs back between tables.
class CShareJob : public IJobContext {
public:
    CShareJob(IJobContext& job, size_t index, size_t count)
        : m_job(job), m_index(index), m_count(count) {}
    bool IsCancelled() const override { return m_job.IsCancelled(); }
    void SetMessage(const std::u16string& text) override { m_job.SetMessage(text); }
    void SetProgress(int percent) override {
        const size_t within = static_cast<size_t>(std::clamp(percent, 0, 100));
        m_job.SetProgress(static_cast<int>((m_index * 100 + within) / m_count));
    }

private:
    IJobContext& m_job;
    size_t m_index;
    size_t m_count;
};

}  // namespace

void CArchiveDump::Log(const std::u16string& line) const {
    if (m_logger) m_logger(line);
}

bool CArchiveDump::ReadDataBlock(BufferedFileReader& reader, IDataSink& sink, IJobContext* job,
                                 std::u16string& error) {
    std::unique_ptr<IStreamDecoder> decoder;
    if (!MakeArchiveBlockDecoder(m_header.compression, decoder, error)) return false;
    return ReadDataBlock(reader, decoder.get(), sink, job, false, error);
}

bool CArchiveDump::ReadDataBlock(BufferedFileReader& reader, IStreamDecoder* decoder,
                                 IDataSink& sink, IJobContext* job, bool reportPosition,
                                 std::u16string& error) {
    if (decoder == nullptr)
        return ReadBlockChunks(reader, m_header, nullptr, sink, job, reportPosition, error);
    // The consumer works on one buffer while the decoder fills the next.
    CPipelineSink pipe(sink);
    const bool read = ReadBlockChunks(reader, m_header, decoder, pipe, job, reportPosition, error);
    return pipe.Finish() && read;
}

bool CArchiveDump::OpenDataReader(const std::u16string& fileName, BufferedFileReader& reader,
                                  std::u16string& error) const {
    static const char16_t* const kSuffixes[] = {u"", u".gz", u".lz4", u".zst"};
    if (m_isTar) {
        for (const char16_t* suffix : kSuffixes) {
            const CTarIndex::Member* member =
                m_tarMembers.Find(platform::Utf16ToUtf8(fileName + suffix));
            if (member == nullptr) continue;
            if (reader.OpenRange(m_path, member->offset, member->size)) return true;
            error = u"ダンプファイルをオープンできません(" + m_path + u")。";
            return false;
        }
        // A member missing after a cut or damaged header: say what happened to the tar.
        error = !m_tarMembers.Damage().empty()
                    ? m_tarMembers.Damage()
                    : u"データファイルをオープンできません(" + fileName + u")。";
        return false;
    }

    std::u16string path = m_dirPath + fileName;
    // pg_dump names data files by dump id; a name that leaves the dump's folder is not one.
    const bool plainName = fileName.find_first_of(u"/\\") == std::u16string::npos;
    if (plainName && platform::GetPathKind(path) == platform::PathKind::Missing) {
        for (const char16_t* suffix : kSuffixes) {
            if (platform::GetPathKind(path + suffix) != platform::PathKind::Missing) {
                path += suffix;
                break;
            }
        }
    }
    // A link may point anywhere: only a file that really lies in the dump's folder is data.
    if (plainName && platform::IsInsideFolder(path, m_dirPath) && reader.Open(path)) return true;
    error = u"データファイルをオープンできません(" + path + u")。";
    return false;
}

bool CArchiveDump::ReadDataFile(const std::u16string& fileName, IDataSink& sink, IJobContext* job,
                                std::u16string& error) {
    BufferedFileReader reader;
    if (!OpenDataReader(fileName, reader, error)) return false;
    // The content, not the name, tells how the file is compressed.
    return ReadDataStream(reader, sink, job, error);
}

bool CArchiveDump::Scan(IJobContext* job, std::u16string& error) {
    if (job != nullptr) job->SetMessage(u"テーブルの件数を数えています");
    for (TableEntry& table : m_tables.Entries()) {
        table.rowCount = 0;
        table.rowCountKnown = false;
    }
    bool handled = false;
    const bool ok = ScanParallel(job, handled, error);
    if (handled) return ok;
    return m_isDirectory ? ScanDirectory(job, error) : ScanCustom(job, error);
}

bool CArchiveDump::ScanDirectory(IJobContext* job, std::u16string& error) {
    std::vector<TableEntry>& tables = m_tables.Entries();
    const size_t total = std::max<size_t>(tables.size(), 1);
    for (size_t i = 0; i < tables.size(); ++i) {
        TableEntry& table = tables[i];
        if (!table.dataFile.empty()) {
            DumpUtil::CLineCounter counter;
            std::optional<CShareJob> share;
            if (job != nullptr) share.emplace(*job, i, total);
            if (!ReadDataFile(table.dataFile, counter, share ? &*share : nullptr, error))
                return false;
            table.rowCount = counter.Lines();
        }
        table.rowCountKnown = true;
        if (job != nullptr && !table.dataFile.empty()) {
            job->SetProgress(static_cast<int>((i + 1) * 100 / total));
        }
    }
    return true;
}

bool CArchiveDump::ScanCustom(IJobContext* job, std::u16string& error) {
    std::unique_ptr<IStreamDecoder> decoder;
    if (!MakeArchiveBlockDecoder(m_header.compression, decoder, error)) return false;
    BufferedFileReader reader;
    if (!reader.Open(m_path) || reader.FileSize() < static_cast<uint64_t>(m_header.dataStart) ||
        !reader.Seek(static_cast<uint64_t>(m_header.dataStart))) {
        error = u"ダンプファイルをオープンできません(" + m_path + u")。";
        return false;
    }

    std::unordered_map<int32_t, TableEntry*> byDumpId;
    for (TableEntry& table : m_tables.Entries()) {
        if (table.dumpId != 0) byDumpId[table.dumpId] = &table;
    }
    m_blockPositions.clear();

    ArchiveFieldReader fields(reader, m_header);
    while (reader.Position() < reader.FileSize()) {
        const int64_t blockStart = static_cast<int64_t>(reader.Position());
        uint8_t type;
        int32_t dumpId;
        if (!reader.ReadByte(type) || !fields.ReadInt(dumpId)) break;
        if (type == kBlockData) {
            m_blockPositions[dumpId] = blockStart;
            auto it = byDumpId.find(dumpId);
            if (it != byDumpId.end()) {
                TableEntry& table = *it->second;
                if (table.dataOffset == 0) table.dataOffset = blockStart;
                if (job != nullptr)
                    job->SetMessage(u"件数を数えています: " + table.QualifiedName());
                DumpUtil::CLineCounter counter;
                // The counter never reports, so the reader may: the file position.
                if (!ReadDataBlock(reader, decoder.get(), counter, job, true, error)) return false;
                table.rowCount = counter.Lines();
                table.rowCountKnown = true;
                Log(u"[block] id=" + platform::FormatDecimal(dumpId) + u" " +
                    table.QualifiedName() + u" rows=" +
                    platform::FormatDecimal(static_cast<int64_t>(table.rowCount)));
            } else if (!SkipChunks(reader, fields)) {
                break;
            }
        } else if (type == kBlockLargeObjects) {
            // A damaged large-object block ends the skipping; the walk goes on from there.
            SkipLargeObjects(reader, fields);
        } else {
            Log(u"[block] unknown type " + platform::FormatDecimal(type) + u" at " +
                platform::FormatDecimal(blockStart));
            break;
        }
        if (job != nullptr) {
            if (job->IsCancelled()) {
                error = kCancelledMessage;
                return false;
            }
            job->SetProgress(Percent(reader.Position(), reader.FileSize()));
        }
    }

    for (TableEntry& table : m_tables.Entries()) {
        if (!table.rowCountKnown && table.dataKind == TableDataKind_None)
            table.rowCountKnown = true;
    }
    return true;
}

bool CArchiveDump::ReadBlockAt(BufferedFileReader& reader, int64_t offset, const TableEntry& table,
                               IDataSink& sink, IJobContext* job, std::u16string& error,
                               bool reportPosition) {
    ArchiveFieldReader fields(reader, m_header);
    uint8_t type = 0;
    int32_t dumpId = 0;
    if (offset < 0 || static_cast<uint64_t>(offset) > reader.FileSize() ||
        !reader.Seek(static_cast<uint64_t>(offset)) || !reader.ReadByte(type) ||
        !fields.ReadInt(dumpId) || type != kBlockData || dumpId != table.dumpId) {
        error = u"テーブル " + table.QualifiedName() + u" のデータブロック位置が不正です。";
        return false;
    }
    std::unique_ptr<IStreamDecoder> decoder;
    if (!MakeArchiveBlockDecoder(m_header.compression, decoder, error)) return false;
    return ReadDataBlock(reader, decoder.get(), sink, job, reportPosition, error);
}

bool CArchiveDump::FindBlock(BufferedFileReader& reader, int32_t wanted, int64_t& offset) {
    ArchiveFieldReader fields(reader, m_header);
    while (reader.Position() < reader.FileSize()) {
        const int64_t blockStart = static_cast<int64_t>(reader.Position());
        uint8_t type;
        int32_t dumpId;
        if (!reader.ReadByte(type) || !fields.ReadInt(dumpId)) return false;
        if (type == kBlockData) {
            if (dumpId == wanted) {
                offset = blockStart;
                return true;
            }
            if (!SkipChunks(reader, fields)) return false;
        } else if (type == kBlockLargeObjects) {
            SkipLargeObjects(reader, fields);
        } else {
            return false;
        }
    }
    return false;
}

bool CArchiveDump::ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                                 std::u16string& error) {
    if (table.dataKind == TableDataKind_None) return true;
    if (m_isDirectory) {
        if (table.dataFile.empty()) return true;
        return ReadDataFile(table.dataFile, sink, job, error);
    }

    int64_t offset = table.dataOffset;
    if (offset == 0) {
        auto it = m_blockPositions.find(table.dumpId);
        if (it != m_blockPositions.end()) offset = it->second;
    }
    BufferedFileReader reader;
    if (!reader.Open(m_path)) {
        error = u"ダンプファイルをオープンできません(" + m_path + u")。";
        return false;
    }
    if (offset != 0) return ReadBlockAt(reader, offset, table, sink, job, error);

    if (reader.FileSize() < static_cast<uint64_t>(m_header.dataStart) ||
        !reader.Seek(static_cast<uint64_t>(m_header.dataStart))) {
        error = kBlockReadFailed;
        return false;
    }
    if (!FindBlock(reader, table.dumpId, offset)) {
        error = u"テーブル " + table.QualifiedName() + u" のデータブロックが見つかりません。";
        return false;
    }
    return ReadBlockAt(reader, offset, table, sink, job, error);
}
