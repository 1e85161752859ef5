#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "dump/DumpFile.h"
#include "sort/SortKey.h"

class CRowFilter;
class CTableData;
class IJobContext;

// What both front ends do with one dump: open it, list its databases and tables, find a
// table by name, load a table into the row store, and keep the rows the current filter
// lets through (the view rows). Free of any user interface.
//
// Threads: the static OpenDump and the const Run* calls only read the session and may run
// on a job's thread while the owner's thread paints from its own cursor; everything that
// changes the session runs on the owner's thread, after the job has ended.
class CDumpSession {
public:
    CDumpSession();
    ~CDumpSession();
    CDumpSession(const CDumpSession&) = delete;
    CDumpSession& operator=(const CDumpSession&) = delete;

    // Detects the kind, creates the reader and, when scan is true, scans it (row counts of
    // every table). With scan false a plain script is still scanned, because its catalogue
    // comes from the scan; an archive's catalogue does not need one. Touches no session,
    // so a failed or cancelled open leaves the dump that is open as it was.
    static std::unique_ptr<IDumpFile> OpenDump(const std::u16string& path, bool scan,
                                               IJobContext* job, std::u16string& error);

    // Takes over an opened dump; the previous dump, table and filter are dropped.
    void SetDump(std::unique_ptr<IDumpFile> dump);
    // Drops the dump, the table (its spool file is deleted) and the filter.
    void Close();
    bool IsOpen() const { return m_dump != nullptr; }
    IDumpFile* GetDump() const { return m_dump.get(); }

    // The databases of a whole-cluster dump in dump order; empty for a one-database dump.
    std::vector<std::u16string> GetDatabases() const;
    // Positions in GetDump()->GetTables() of the tables of database, in dump order; all
    // tables when database is null.
    std::vector<size_t> GetTableIndexes(const std::u16string* database) const;
    // True when database names a database of the dump: one of a whole-cluster dump's, or
    // the dump's own for a one-database dump (any name when the dump does not state it). An
    // empty name stands for the objects outside any database and is always accepted. Otherwise
    // "データベースが見つかりません(NAME)。".
    bool CheckDatabase(const std::u16string& database, std::u16string& error) const;
    // "schema.name" as the table list shows it, or a bare name when only one table has it;
    // database narrows a whole-cluster dump and is checked with CheckDatabase first. -1 with
    // a message when there is none.
    ptrdiff_t FindTable(const std::u16string& name, const std::u16string* database,
                        std::u16string& error) const;

    // Drops the current table and filter, then loads the table at tableIndex into a fresh
    // store. On failure no table is loaded.
    bool LoadTable(size_t tableIndex, IJobContext* job, std::u16string& error);
    // Forgets the current table and filter (the spool file is deleted).
    void DropTable();
    bool HasTable() const { return m_tableData != nullptr; }
    const CTableData* GetTableData() const { return m_tableData.get(); }
    // -1 when no table is loaded.
    ptrdiff_t GetTableIndex() const { return m_tableIndex; }
    const TableEntry* GetTable() const;

    // Compiles a keyword and a WHERE condition against the loaded table's columns, on the
    // owner's thread, so a wrong condition is reported before any job starts.
    bool PrepareFilter(const std::u16string& where, const std::u16string& keyword,
                       std::unique_ptr<CRowFilter>& filter, std::u16string& error) const;
    // Tests every row of the loaded table with a cursor of its own (a job's thread);
    // fills matches ascending. Changes nothing in the session.
    bool RunFilter(CRowFilter& filter, IJobContext* job, std::vector<size_t>& matches,
                   std::u16string& error) const;
    // Makes matches the view rows (owner's thread, after RunFilter succeeded). The sort keys
    // stay, but the order is dropped until SetSortResult gives the one of the new view.
    void SetFilterResult(std::vector<size_t> matches);
    void ClearFilter();
    bool IsFiltered() const { return m_filtered; }
    const std::vector<size_t>& GetMatches() const { return m_matches; }

    // The rows on view: the matches when filtered, else every row of the table.
    size_t GetViewRowCount() const;
    // The table row shown at view position viewIndex (after the sort, when one is in force).
    size_t GetViewRow(size_t viewIndex) const;

    // Sorts the view given by viewRows (null: every row of the table) with cursors of its own
    // (a job's thread), within memoryBytes of keys; order receives positions in viewRows.
    // Changes nothing in the session.
    bool RunSort(const std::vector<SortKey>& keys, const std::vector<size_t>* viewRows,
                 size_t memoryBytes, IJobContext* job, std::vector<uint32_t>& order,
                 std::u16string& error) const;
    // Makes order, from RunSort over the current view, the order on view.
    void SetSortResult(std::vector<SortKey> keys, std::vector<uint32_t> order);
    // Back to the table's order; the keys are forgotten.
    void ClearSort();
    // True while the view is shown in the order of GetSortKeys.
    bool IsSorted() const { return m_sorted; }
    // The keys of the last sort; they outlive a new filter, which needs a new order.
    const std::vector<SortKey>& GetSortKeys() const { return m_sortKeys; }

private:
    std::unique_ptr<IDumpFile> m_dump;
    std::unique_ptr<CTableData> m_tableData;
    ptrdiff_t m_tableIndex = -1;
    std::vector<size_t> m_matches;
    bool m_filtered = false;
    std::vector<SortKey> m_sortKeys;
    std::vector<uint32_t> m_order;
    bool m_sorted = false;
};
