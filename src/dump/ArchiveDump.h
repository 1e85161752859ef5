#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dump/DumpFile.h"
#include "dump/DumpModel.h"
#include "dump/TarIndex.h"

class BufferedFileReader;
class IStreamDecoder;

// The archive header; everything after it is read with its integer and offset widths.
struct ArchiveHeader {
    int32_t vmaj = 0;
    int32_t vmin = 0;
    int32_t vrev = 0;
    int32_t version = 0;  // vmaj * 65536 + vmin * 256 + vrev
    int32_t intSize = 4;
    int32_t offSize = 8;
    int32_t compression = 0;  // 0 none, 1 gzip, 2 lz4, 3 zstd, else unknown
    int64_t dataStart = 0;
};

// One entry of the table of contents, texts as stored (null strings kept empty).
struct TocEntry {
    int32_t dumpId = 0;
    int32_t hadDumper = 0;
    std::string tag;
    std::string desc;
    std::string defn;
    std::string dropStmt;
    std::string copyStmt;
    std::string schema;
    std::string tablespace;
    std::string tableAm;
    std::string owner;
    int32_t section = 0;
    int32_t relKind = 0;
    int32_t dataState = 0;  // 1 position not set, 2 set, 3 no data; 0 in directory dumps
    int64_t dataOffset = 0;
    std::string fileName;
};

// Archive versions as one number, for the thresholds of the format.
constexpr int32_t ArchiveVersion(int major, int minor, int revision = 0) {
    return (major * 256 + minor) * 256 + revision;
}

// Custom archives (pg_dump -Fc), directory dumps (pg_dump -Fd, through their toc.dat) and
// tar archives (pg_dump -Ft), which are directory dumps whose files are tar members.
class CArchiveDump : public IDumpFile {
public:
    CArchiveDump() = default;
    ~CArchiveDump() override = default;

    bool Open(const std::u16string& path, bool directory, std::u16string& error);
    bool OpenTar(const std::u16string& path, std::u16string& error);

    const std::u16string& GetPath() const override { return m_path; }
    const DumpInfo& GetInfo() const override { return m_info; }
    bool Scan(IJobContext* job, std::u16string& error) override;
    std::vector<TableEntry>& GetTables() override { return m_tables.Entries(); }
    const std::vector<DdlObject>& GetDdlObjects() const override { return m_ddlObjects; }
    const std::vector<DdlObject>& GetSequenceValues() const override { return m_sequenceValues; }
    bool ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                       std::u16string& error) override;
    void SetLogger(DumpLogger logger) override { m_logger = std::move(logger); }
    // Table data is found through the table of contents, so the catalogue needs no scan.
    bool CatalogueNeedsScan() const override { return false; }
    // Data files, tar members and blocks at known offsets are read on worker threads.
    void ReadTablesData(const std::vector<size_t>& tables, const TableSinkFunction& sinkFor,
                        IJobContext* job, bool stopAtFirstFailure,
                        std::vector<TableReadResult>& results) override;

    const ArchiveHeader& GetHeader() const { return m_header; }
    const std::vector<TocEntry>& GetToc() const { return m_toc; }
    const std::map<int32_t, int64_t>& GetBlockPositions() const { return m_blockPositions; }

private:
    bool ReadHeaderAndToc(std::u16string& error);
    bool ReadTocEntry(BufferedFileReader& reader, TocEntry& entry, std::u16string& error);
    void BuildCatalogue();
    // Puts the columns of the INHERITS parents in front of each child table's own columns.
    void InheritColumns();
    bool ScanDirectory(IJobContext* job, std::u16string& error);
    bool ScanCustom(IJobContext* job, std::u16string& error);
    // The scan on worker threads; false in handled when the tables cannot be read apart.
    bool ScanParallel(IJobContext* job, bool& handled, std::u16string& error);
    // One task per table with data, ordered as the sequential walk meets them (data
    // offsets for custom archives). False when some table's block has no known offset.
    bool MakeStreamTasks(const std::vector<size_t>& tables, std::vector<TableReadTask>& tasks);
    // Reads one table's stream with its own file handle and decoder (any thread).
    bool ReadTableStream(size_t tableIndex, IDataSink& sink, IJobContext* job,
                         std::u16string& error);
    // What the sequential walk makes of the header at a table's data offset: it stops
    // at one it cannot read and skips a data block of another id.
    enum class BlockHeader { Table, Other, Unreadable };
    BlockHeader ReadBlockHeader(BufferedFileReader& reader, const TableEntry& table);
    bool ReadDataBlock(BufferedFileReader& reader, IDataSink& sink, IJobContext* job,
                       std::u16string& error);
    // The same with a decoder (null: uncompressed) that the caller reuses from block to block.
    // reportPosition: the job's progress follows the file position, for a sink that never
    // reports itself.
    bool ReadDataBlock(BufferedFileReader& reader, IStreamDecoder* decoder, IDataSink& sink,
                       IJobContext* job, bool reportPosition, std::u16string& error);
    bool ReadDataFile(const std::u16string& fileName, IDataSink& sink, IJobContext* job,
                      std::u16string& error);
    bool ReadBlockAt(BufferedFileReader& reader, int64_t offset, const TableEntry& table,
                     IDataSink& sink, IJobContext* job, std::u16string& error,
                     bool reportPosition = false);
    bool FindBlock(BufferedFileReader& reader, int32_t dumpId, int64_t& offset);
    // Opens the reader on the archive's toc.dat: the file itself, or the tar member.
    bool OpenTocReader(BufferedFileReader& reader, std::u16string& error) const;
    // Opens the reader on a table's data file or tar member, with its compressed names.
    bool OpenDataReader(const std::u16string& fileName, BufferedFileReader& reader,
                        std::u16string& error) const;
    void Log(const std::u16string& line) const;

    std::u16string m_path;
    std::u16string m_dirPath;
    bool m_isDirectory = false;  // also for tar archives: their TOC is a directory dump's
    bool m_isTar = false;
    CTarIndex m_tarMembers;
    DumpInfo m_info;
    TableCatalogue m_tables;
    std::vector<DdlObject> m_ddlObjects;
    std::vector<DdlObject> m_sequenceValues;
    std::vector<TocEntry> m_toc;
    int32_t m_codePage = 65001;
    DumpLogger m_logger;
    ArchiveHeader m_header;
    std::map<int32_t, int64_t> m_blockPositions;
};
