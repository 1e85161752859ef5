#include "app/SortedView.h"

#include <memory>

#include "app/DumpSession.h"
#include "filter/RowFilter.h"

size_t SortMemoryBytes(int32_t sortMemoryMb) {
    return static_cast<size_t>(sortMemoryMb > 0 ? sortMemoryMb : 256) << 20;
}

bool ReadSortedRows(CDumpSession& session, size_t tableIndex, bool filtered,
                    const std::u16string& where, const std::u16string& keyword,
                    const std::vector<SortKey>& keys, size_t memoryBytes, IJobContext* job,
                    std::vector<uint64_t>& rows, std::u16string& error) {
    rows.clear();
    if (!session.LoadTable(tableIndex, job, error)) return false;
    if (filtered) {
        std::unique_ptr<CRowFilter> filter;
        if (!session.PrepareFilter(where, keyword, filter, error)) return false;
        std::vector<size_t> matches;
        if (!filter->IsEmpty() && !session.RunFilter(*filter, job, matches, error)) return false;
        if (!filter->IsEmpty()) session.SetFilterResult(std::move(matches));
    }
    std::vector<uint32_t> order;
    const std::vector<size_t>* view = session.IsFiltered() ? &session.GetMatches() : nullptr;
    if (!session.RunSort(keys, view, memoryBytes, job, order, error)) return false;
    session.SetSortResult(keys, std::move(order));
    rows.reserve(session.GetViewRowCount());
    for (size_t v = 0; v < session.GetViewRowCount(); ++v) rows.push_back(session.GetViewRow(v));
    return true;
}
