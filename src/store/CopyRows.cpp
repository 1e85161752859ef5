#include "store/CopyRows.h"

#include <cstring>

#include "dump/RowLimit.h"

namespace {

constexpr size_t kDirectReserve = size_t{64} << 20;

}  // namespace

bool CCopyRowSink::Emit(const char* data, size_t length) {
    if (IsMarker(data, length)) {
        m_ended = true;
        return true;
    }
    ++m_rows;
    return OnRow(data, length);
}

bool CCopyRowSink::Write(const char* data, size_t length) {
    if (m_tooLong) return false;
    if (m_ended) return true;
    const char* const end = data + length;
    const uint64_t limit = MaxRowBytes();
    while (data < end) {
        const void* lf = std::memchr(data, '\n', static_cast<size_t>(end - data));
        const char* lineEnd = lf != nullptr ? static_cast<const char*>(lf) : end;
        if (m_carry.size() + static_cast<uint64_t>(lineEnd - data) > limit) {
            // The end-of-data line is never this long, so this is a row.
            m_tooLong = true;
            return false;
        }
        if (lf == nullptr) {
            const size_t need = m_carry.size() + static_cast<size_t>(end - data);
            // A long row gets the whole limit at once: growing by doubling would hold the
            // old copy and the new one, twice the row, while it moves.
            if (need > m_carry.capacity() && need > kDirectReserve) {
                m_carry.reserve(static_cast<size_t>(limit));
            }
            m_carry.append(data, static_cast<size_t>(end - data));
            return true;
        }
        bool go = true;
        if (m_carry.empty()) {
            go = Emit(data, static_cast<size_t>(lineEnd - data));
        } else {
            m_carry.append(data, static_cast<size_t>(lineEnd - data));
            go = Emit(m_carry.data(), m_carry.size());
            // The room a long row took is given back rather than kept for the next one.
            if (m_carry.capacity() > kDirectReserve) {
                std::string().swap(m_carry);
            } else {
                m_carry.clear();
            }
        }
        if (!go) return false;
        if (m_ended) return true;
        data = lineEnd + 1;
    }
    return true;
}

bool CCopyRowSink::Finish() {
    if (m_tooLong) return false;
    if (m_ended || m_carry.empty()) return true;
    std::string last;
    last.swap(m_carry);
    return Emit(last.data(), last.size());
}
