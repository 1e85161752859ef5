#include "dump/RowLimit.h"

#include <atomic>

#include "platform/WideChar.h"

namespace {

std::atomic<uint64_t> g_maxRowBytes{kMaxRowBytes};

// Whole mebibytes read best; a lowered test limit may be a few bytes.
std::u16string SizeText(uint64_t bytes) {
    constexpr uint64_t kMiB = uint64_t{1} << 20;
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    if (bytes % kGiB == 0)
        return platform::FormatDecimal(static_cast<int64_t>(bytes / kGiB)) + u" GiB";
    if (bytes % kMiB == 0)
        return platform::FormatDecimal(static_cast<int64_t>(bytes / kMiB)) + u" MiB";
    return platform::FormatDecimal(static_cast<int64_t>(bytes)) + u" バイト";
}

}  // namespace

uint64_t MaxRowBytes() {
    return g_maxRowBytes.load(std::memory_order_relaxed);
}

void SetMaxRowBytesForTesting(uint64_t bytes) {
    g_maxRowBytes.store(bytes != 0 ? bytes : kMaxRowBytes, std::memory_order_relaxed);
}

std::u16string RowTooLongMessage(const std::u16string& table, uint64_t row) {
    return u"行のデータが長すぎます。1 行の上限は " + SizeText(MaxRowBytes()) + u" です(" + table +
           u", 行 " + platform::FormatDecimal(static_cast<int64_t>(row)) + u")。";
}
