#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dump/DumpFile.h"
#include "dump/DumpModel.h"
#include "dump/StreamDecoder.h"
#include "plain/StatementReader.h"
#include "sql/OwningTable.h"

class BufferedFileReader;
class CInsertRowCounter;

// Plain SQL scripts written by pg_dump or pg_dumpall, also gzip-, lz4- or zstd-compressed. Nothing
// of the script is run: the scan reads it once, statement by statement, and notes where each
// table's data lies; reading a table goes straight to that byte range.
class CPlainDump : public IDumpFile {
public:
    CPlainDump() = default;
    // Deletes the expanded copy of a compressed script.
    ~CPlainDump() override;
    CPlainDump(const CPlainDump&) = delete;
    CPlainDump& operator=(const CPlainDump&) = delete;

    // Does not touch the file; always true. compression is what the first bytes said.
    bool Open(const std::u16string& path, StreamFormat compression);
    bool Open(const std::u16string& path, bool gzip) {
        return Open(path, gzip ? StreamFormat::Gzip : StreamFormat::Plain);
    }
    // Expands a compressed script into a temporary file once; true at once otherwise.
    bool ExpandIfCompressed(IJobContext* job, std::u16string& error);
    // What the job says while the compressed script is expanded.
    std::u16string ExpansionMessage() const;

    const std::u16string& GetPath() const override { return m_path; }
    const DumpInfo& GetInfo() const override { return m_info; }
    bool Scan(IJobContext* job, std::u16string& error) override;
    std::vector<TableEntry>& GetTables() override { return m_catalogue.Entries(); }
    const std::vector<DdlObject>& GetDdlObjects() const override { return m_ddlObjects; }
    const std::vector<DdlObject>& GetSequenceValues() const override { return m_sequenceValues; }
    bool ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                       std::u16string& error) override;
    void SetLogger(DumpLogger logger) override { m_logger = std::move(logger); }
    // The catalogue comes from reading the script.
    bool CatalogueNeedsScan() const override { return true; }

    // The code page of the script text that holds the table's data. A whole-cluster
    // script switches encoding per database, so this may differ from GetInfo().codePage,
    // which is the last one the script set.
    int32_t TableCodePage(const TableEntry& table) const;
    // The file actually read: the script, or the expanded copy of a compressed one.
    const std::u16string& GetReadPath() const { return m_readPath; }
    const std::u16string& GetTempPath() const { return m_tempPath; }

private:
    bool ScanStatements(BufferedFileReader& reader, IJobContext* job, std::u16string& error);
    // False only when the job was cancelled inside a COPY section.
    bool ClassifyStatement(BufferedFileReader& reader, const SqlStatement& statement,
                           IJobContext* job);
    void HandleMetaCommand(const SqlStatement& statement);
    // Appends the statement to the DDL of the table it belongs to, when that is listed.
    void AttachToTable(const OwningTable& owner, const std::u16string& definition);
    void ClassifySet(const std::string& text, size_t position);
    void ClassifyCreateTable(const std::string& text);
    // Puts the columns of the INHERITS parents in front of the table's own columns.
    void InheritColumns(const std::string& text, size_t index);
    void ClassifyCreateDatabase(const std::string& text, size_t position);
    // Gives the last schema object to the database the statement names, when it is one.
    void ClaimForNamedDatabase(const std::string& text);
    bool ClassifyCopy(BufferedFileReader& reader, const std::string& text, size_t position,
                      IJobContext* job);
    void ClassifyInsert(const SqlStatement& statement, size_t position);
    // An INSERT that begins like the previous one, up to VALUES: same table, no parsing.
    bool ClassifyRepeatedInsert(const SqlStatement& statement);
    void RecordInsert(const SqlStatement& statement, size_t index, size_t rowsFrom);
    void CountRowsFromFile(uint64_t from, uint64_t to, CInsertRowCounter& counter) const;
    void AddDdlObject(std::u16string objectType, std::u16string definition,
                      std::u16string schema = std::u16string(),
                      std::u16string name = std::u16string());
    size_t AddTable(const std::string& schema, const std::string& name);
    // The table's position in the catalogue; npos for an entry that is not ours.
    size_t PositionOf(const TableEntry& table) const;
    void ReadHeaderComments();
    void ReadFirstDatabaseHeader();
    // Removes the expanded copy after a failed scan, so nothing is left behind.
    void DiscardExpanded();
    void Log(const std::u16string& line) const;

    bool ReadCopyRange(BufferedFileReader& reader, uint64_t end, IDataSink& sink, IJobContext* job,
                       uint64_t& lines, std::u16string& error) const;
    bool ReadInsertRange(BufferedFileReader& reader, const TableEntry& table, IDataSink& sink,
                         IJobContext* job, std::u16string& error) const;

    std::u16string m_path;
    std::u16string m_readPath;
    std::u16string m_tempPath;
    StreamFormat m_compression = StreamFormat::Plain;
    DumpInfo m_info;
    TableCatalogue m_catalogue;
    std::vector<DdlObject> m_ddlObjects;
    std::vector<DdlObject> m_sequenceValues;
    int32_t m_codePage = 65001;
    DumpLogger m_logger;

    // What the scan keeps besides the catalogue.
    std::u16string m_currentDatabase;
    // Where the statement that first made the script a whole cluster ends (its first
    // CREATE DATABASE or \connect); 0 until then.
    uint64_t m_firstDatabaseEnd = 0;
    // The script ends its lines with CR LF (decides what a CR inside a literal means).
    bool m_crlfScript = false;
    // Code page at each table's data, by catalogue position.
    // Every COPY section of the tables that have more than one, by catalogue position.
    std::map<size_t, std::vector<std::pair<uint64_t, uint64_t>>> m_copySections;
    // The table of the previous INSERT statement: a run of INSERTs into one table looks
    // its name up once. Invalid after a change of database or code page.
    struct InsertTarget {
        bool valid = false;
        std::string schema;
        std::string name;
        size_t index = 0;
        // Its bytes up to and including VALUES.
        std::string header;
    } m_lastInsert;
    std::string m_insertSchema;
    std::string m_insertName;
    std::vector<std::string> m_insertColumns;
};
