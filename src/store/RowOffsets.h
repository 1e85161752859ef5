#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Memory.h"

// Where each row starts in the spool file, in four bytes a row: rows only ever move
// forwards, so the high half of an offset is the number of 4 GiB marks passed before the
// row, kept as the first row after each mark. A table of 10 million rows holds 40 MB here.
class CRowOffsets {
public:
    size_t size() const { return m_low.size(); }

    // Room for count rows, on huge pages where the kernel allows: the array is filled once
    // from start to end, and a fault per 4 KiB page costs more than filling it.
    void Reserve(size_t count) {
        m_low.reserve(count);
        platform::AdviseHugePages(m_low.data(), m_low.capacity() * sizeof(uint32_t));
    }
    // offset is never below the one pushed before.
    void Push(uint64_t offset) {
        while ((offset >> 32) > m_marks.size()) m_marks.push_back(m_low.size());
        m_low.push_back(static_cast<uint32_t>(offset));
    }
    uint64_t operator[](size_t row) const {
        const auto high = std::upper_bound(m_marks.begin(), m_marks.end(), row) - m_marks.begin();
        return static_cast<uint64_t>(high) << 32 | m_low[row];
    }
    void Release() {
        m_low.clear();
        m_low.shrink_to_fit();
        m_marks.clear();
    }

private:
    std::vector<uint32_t> m_low;
    std::vector<size_t> m_marks;  // m_marks[k]: the first row at or past (k + 1) << 32
};
