#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "dump/DumpModel.h"
#include "dump/ParallelTableReader.h"

class IJobContext;

// Consumes a byte stream pushed in pieces of any size.
class IDataSink {
public:
    virtual ~IDataSink() = default;
    // Returning false asks the producer to stop at once, without a message of its own.
    virtual bool Write(const char* data, size_t length) = 0;
};

using DumpLogger = std::function<void(const std::u16string& line)>;

// A dump reader. Table data always comes out as COPY text in the dump's encoding.
class IDumpFile {
public:
    virtual ~IDumpFile() = default;
    virtual const std::u16string& GetPath() const = 0;
    virtual const DumpInfo& GetInfo() const = 0;
    virtual bool Scan(IJobContext* job, std::u16string& error) = 0;
    virtual std::vector<TableEntry>& GetTables() = 0;
    virtual const std::vector<DdlObject>& GetDdlObjects() const = 0;
    // The dump's setval statements (objectType "SEQUENCE SET", name the sequence as the
    // statement quotes it), kept apart from the DDL because they belong with the data.
    virtual const std::vector<DdlObject>& GetSequenceValues() const {
        static const std::vector<DdlObject> kNone;
        return kNone;
    }
    virtual bool ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                               std::u16string& error) = 0;
    virtual void SetLogger(DumpLogger logger) = 0;
    // True when the table catalogue is complete only after Scan (a plain script is read
    // whole to find its tables); false when opening already gave every table and Scan
    // only adds row counts (an archive's table of contents).
    virtual bool CatalogueNeedsScan() const { return true; }
    // Reads the data of the tables at these catalogue positions, each into the sink
    // sinkFor gives for it, with one result per table in the given order. Formats whose
    // tables are independent streams read them on worker threads; the rest in order.
    virtual void ReadTablesData(const std::vector<size_t>& tables, const TableSinkFunction& sinkFor,
                                IJobContext* job, bool stopAtFirstFailure,
                                std::vector<TableReadResult>& results);
};
