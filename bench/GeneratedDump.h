#pragma once

// The part every generated bench dump shares: one table whose rows are made as they are
// read, so a table of any size needs no file. Subclasses only write the COPY text.
#include <string>
#include <utility>
#include <vector>

#include "dump/DumpFile.h"

namespace bench {

class CGeneratedDump : public IDumpFile {
public:
    const std::u16string& GetPath() const override { return m_path; }
    const DumpInfo& GetInfo() const override { return m_info; }
    bool Scan(IJobContext*, std::u16string&) override { return true; }
    std::vector<TableEntry>& GetTables() override { return m_tables; }
    const std::vector<DdlObject>& GetDdlObjects() const override { return m_ddl; }
    void SetLogger(DumpLogger) override {}

protected:
    // The table as after a scan: COPY data of a known row count.
    CGeneratedDump(std::u16string path, TableEntry table, uint64_t rows) : m_path(std::move(path)) {
        table.dataKind = TableDataKind_Copy;
        table.rowCount = rows;
        table.rowCountKnown = true;
        m_tables.push_back(std::move(table));
    }

    std::u16string m_path;
    DumpInfo m_info;
    std::vector<TableEntry> m_tables;
    std::vector<DdlObject> m_ddl;
};

}  // namespace bench
