#pragma once

#include <string>
#include <vector>

#include "dump/DumpFile.h"

// A dump whose one table's COPY text comes from memory, delivered in pieces of chosen
// sizes, so tests can put piece boundaries anywhere.
class MemoryDump : public IDumpFile {
public:
    MemoryDump(std::string copyText, int codePage = 65001, size_t columns = 2);

    // Piece sizes in order; the remainder goes in one piece. Empty: one piece.
    std::vector<size_t> pieces;
    // Deliver the text this many times over (large loads without a large string).
    size_t repeat = 1;

    const TableEntry& Table() const { return m_tables[0]; }

    const std::u16string& GetPath() const override { return m_path; }
    const DumpInfo& GetInfo() const override { return m_info; }
    bool Scan(IJobContext*, std::u16string&) override { return true; }
    std::vector<TableEntry>& GetTables() override { return m_tables; }
    const std::vector<DdlObject>& GetDdlObjects() const override { return m_ddl; }
    bool ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                       std::u16string& error) override;
    void SetLogger(DumpLogger) override {}

private:
    std::string m_text;
    std::u16string m_path = u"memory";
    DumpInfo m_info;
    std::vector<TableEntry> m_tables;
    std::vector<DdlObject> m_ddl;
};
