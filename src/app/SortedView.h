#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sort/SortKey.h"

class CDumpSession;
class IJobContext;

// The bytes a sort may hold for its keys under the SORT_MEMORY_MB setting.
size_t SortMemoryBytes(int32_t sortMemoryMb);

// Loads the table at tableIndex into the session, keeps the rows that where and keyword let
// through (when filtered) and sorts them by keys: rows receives the table rows in that order.
bool ReadSortedRows(CDumpSession& session, size_t tableIndex, bool filtered,
                    const std::u16string& where, const std::u16string& keyword,
                    const std::vector<SortKey>& keys, size_t memoryBytes, IJobContext* job,
                    std::vector<uint64_t>& rows, std::u16string& error);
