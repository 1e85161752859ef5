#include "app/DumpSession.h"

#include <algorithm>

#include "app/CreateDumpReader.h"
#include "app/PipedDump.h"
#include "filter/RowFilter.h"
#include "jobs/JobContext.h"
#include "platform/File.h"
#include "platform/WideChar.h"
#include "sort/ViewSort.h"
#include "store/TableData.h"

namespace {

// Only a caller that skipped loading sees this; the window disables filtering then.
constexpr const char16_t* kNoTableMessage = u"テーブルが読み込まれていません。";

}  // namespace

CDumpSession::CDumpSession() = default;

CDumpSession::~CDumpSession() = default;

std::unique_ptr<IDumpFile> CDumpSession::OpenDump(const std::u16string& path, bool scan,
                                                  IJobContext* job, std::u16string& error) {
    std::unique_ptr<IDumpFile> dump =
        platform::IsPipe(path) ? OpenPipedDump(path, job, error) : CreateDumpReader(path, error);
    if (!dump) return nullptr;
    if (scan || dump->CatalogueNeedsScan()) {
        if (!dump->Scan(job, error)) {
            if (error.empty()) error = kCancelledMessage;
            return nullptr;
        }
    }
    return dump;
}

void CDumpSession::SetDump(std::unique_ptr<IDumpFile> dump) {
    DropTable();
    m_dump = std::move(dump);
}

void CDumpSession::Close() {
    DropTable();
    m_dump.reset();
}

std::vector<std::u16string> CDumpSession::GetDatabases() const {
    if (!m_dump || !m_dump->GetInfo().isCluster) return {};
    return m_dump->GetInfo().databases;
}

std::vector<size_t> CDumpSession::GetTableIndexes(const std::u16string* database) const {
    std::vector<size_t> indexes;
    if (!m_dump) return indexes;
    const std::vector<TableEntry>& tables = m_dump->GetTables();
    for (size_t i = 0; i < tables.size(); ++i) {
        if (database == nullptr || tables[i].database == *database) indexes.push_back(i);
    }
    return indexes;
}

// A one-database plain script need not name its database; then no name can be refused.
bool CDumpSession::CheckDatabase(const std::u16string& database, std::u16string& error) const {
    if (!m_dump || database.empty()) return true;
    const DumpInfo& info = m_dump->GetInfo();
    const bool known = info.isCluster ? std::find(info.databases.begin(), info.databases.end(),
                                                  database) != info.databases.end()
                                      : info.database.empty() || database == info.database;
    if (known) return true;
    error = u"データベースが見つかりません(" + database + u")。";
    return false;
}

ptrdiff_t CDumpSession::FindTable(const std::u16string& name, const std::u16string* database,
                                  std::u16string& error) const {
    if (!m_dump) {
        error = u"テーブルが見つかりません(" + name + u")。";
        return -1;
    }
    if (database != nullptr && !CheckDatabase(*database, error)) return -1;
    // A one-database dump's tables carry no database name: a checked name narrows nothing.
    const bool narrow = database != nullptr && m_dump->GetInfo().isCluster;
    const std::vector<TableEntry>& tables = m_dump->GetTables();
    ptrdiff_t qualified = -1;
    ptrdiff_t bare = -1;
    size_t qualifiedCount = 0;
    size_t bareCount = 0;
    for (size_t i = 0; i < tables.size(); ++i) {
        const TableEntry& table = tables[i];
        if (narrow && table.database != *database) continue;
        if (table.QualifiedName() == name) {
            if (qualifiedCount++ == 0) qualified = static_cast<ptrdiff_t>(i);
        } else if (table.name == name) {
            if (bareCount++ == 0) bare = static_cast<ptrdiff_t>(i);
        }
    }
    // The name as the table list shows it wins over a bare table name.
    if (qualifiedCount == 1) return qualified;
    if (qualifiedCount == 0 && bareCount == 1) return bare;
    if (qualifiedCount + bareCount == 0) {
        error = u"テーブルが見つかりません(" + name + u")。";
    } else {
        error = u"テーブル名が一意ではありません(" + name +
                u")。スキーマ名やデータベース名(--database)を付けて指定してください。";
    }
    return -1;
}

bool CDumpSession::LoadTable(size_t tableIndex, IJobContext* job, std::u16string& error) {
    DropTable();
    if (!m_dump || tableIndex >= m_dump->GetTables().size()) {
        error = u"テーブルが見つかりません(" +
                platform::FormatDecimal(static_cast<int64_t>(tableIndex)) + u")。";
        return false;
    }
    auto data = std::make_unique<CTableData>();
    if (!data->Load(*m_dump, m_dump->GetTables()[tableIndex], job, error)) return false;
    m_tableData = std::move(data);
    m_tableIndex = static_cast<ptrdiff_t>(tableIndex);
    return true;
}

void CDumpSession::DropTable() {
    ClearFilter();
    ClearSort();
    m_tableData.reset();
    m_tableIndex = -1;
}

const TableEntry* CDumpSession::GetTable() const {
    if (!m_dump || m_tableIndex < 0) return nullptr;
    return &m_dump->GetTables()[static_cast<size_t>(m_tableIndex)];
}

bool CDumpSession::PrepareFilter(const std::u16string& where, const std::u16string& keyword,
                                 std::unique_ptr<CRowFilter>& filter, std::u16string& error) const {
    filter.reset();
    const TableEntry* table = GetTable();
    if (table == nullptr) {
        error = kNoTableMessage;
        return false;
    }
    auto prepared = std::make_unique<CRowFilter>();
    if (!prepared->Prepare(where, keyword, table->columns, error)) return false;
    filter = std::move(prepared);
    return true;
}

bool CDumpSession::RunFilter(CRowFilter& filter, IJobContext* job, std::vector<size_t>& matches,
                             std::u16string& error) const {
    matches.clear();
    if (!m_tableData) {
        error = kNoTableMessage;
        return false;
    }
    return filter.Run(*m_tableData, job, matches, error);
}

void CDumpSession::SetFilterResult(std::vector<size_t> matches) {
    m_matches = std::move(matches);
    m_filtered = true;
    m_order.clear();
    m_sorted = false;
}

void CDumpSession::ClearFilter() {
    m_matches.clear();
    m_matches.shrink_to_fit();
    m_filtered = false;
    m_order.clear();
    m_sorted = false;
}

size_t CDumpSession::GetViewRowCount() const {
    if (m_filtered) return m_matches.size();
    return m_tableData ? m_tableData->GetRowCount() : 0;
}

size_t CDumpSession::GetViewRow(size_t viewIndex) const {
    if (m_sorted) viewIndex = m_order[viewIndex];
    return m_filtered ? m_matches[viewIndex] : viewIndex;
}

bool CDumpSession::RunSort(const std::vector<SortKey>& keys, const std::vector<size_t>* viewRows,
                           size_t memoryBytes, IJobContext* job, std::vector<uint32_t>& order,
                           std::u16string& error) const {
    order.clear();
    const TableEntry* table = GetTable();
    if (!m_tableData || table == nullptr) {
        error = kNoTableMessage;
        return false;
    }
    return SortTableView(*m_tableData, table->columns, keys, viewRows, memoryBytes, job, order,
                         error);
}

void CDumpSession::SetSortResult(std::vector<SortKey> keys, std::vector<uint32_t> order) {
    m_sortKeys = std::move(keys);
    m_order = std::move(order);
    m_sorted = true;
}

void CDumpSession::ClearSort() {
    m_sortKeys.clear();
    m_order.clear();
    m_order.shrink_to_fit();
    m_sorted = false;
}
