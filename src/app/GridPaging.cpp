#include "app/GridPaging.h"

#include <algorithm>

#include "app/AppText.h"

size_t LastPageStart(size_t viewSize, size_t pageSize) {
    if (viewSize == 0 || pageSize == 0) return 0;
    return (viewSize - 1) - ((viewSize - 1) % pageSize);
}

size_t ClampPageStart(size_t pageStart, size_t viewSize, size_t pageSize) {
    if (pageStart < viewSize) return pageStart;
    return LastPageStart(viewSize, pageSize);
}

size_t PageItemCount(size_t pageStart, size_t viewSize, size_t pageSize) {
    if (pageStart >= viewSize) return 0;
    return std::min(viewSize - pageStart, pageSize);
}

size_t PreviousPageStart(size_t pageStart, size_t pageSize) {
    return pageStart > pageSize ? pageStart - pageSize : 0;
}

size_t NextPageStart(size_t pageStart, size_t viewSize, size_t pageSize) {
    // Written as a subtraction so that a huge start cannot wrap around.
    if (pageStart < viewSize && viewSize - pageStart > pageSize) return pageStart + pageSize;
    return pageStart;
}

size_t AlignPageStart(size_t pageStart, size_t pageSize) {
    if (pageSize == 0) return pageStart;
    return pageStart - (pageStart % pageSize);
}

int32_t ParsePageSize(const std::u16string& text) {
    // An unsigned decimal number, nothing else; surrounding spaces are tolerated.
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    if (begin == end) return kMinPageSize;
    uint64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        const char16_t c = text[i];
        if (c < u'0' || c > u'9') return kMinPageSize;
        value = value * 10 + static_cast<uint64_t>(c - u'0');
        if (value > static_cast<uint64_t>(kMaxPageSize)) return kMaxPageSize;
    }
    if (value < static_cast<uint64_t>(kMinPageSize)) return kMinPageSize;
    return static_cast<int32_t>(value);
}

PageButtons GetPageButtons(bool rowsLoaded, size_t pageStart, size_t viewSize, size_t pageSize) {
    PageButtons buttons;
    if (!rowsLoaded) return buttons;
    buttons.first = buttons.previous = pageStart > 0;
    buttons.next = buttons.last = pageStart < viewSize && viewSize - pageStart > pageSize;
    return buttons;
}

std::u16string FormatPageInfo(bool rowsLoaded, size_t pageStart, size_t viewSize, size_t pageSize,
                              bool filtered, uint64_t tableRowCount) {
    if (!rowsLoaded) return std::u16string();
    if (viewSize == 0) return filtered ? u"一致する行はありません" : u"0 件";
    const size_t pageEnd = pageStart + std::min(viewSize - std::min(pageStart, viewSize), pageSize);
    std::u16string text = u"行 " + FormatThousands(pageStart + 1) + u" - " +
                          FormatThousands(pageEnd) + u" / " + FormatThousands(viewSize) + u" 件";
    if (filtered) text += u"  (全 " + FormatThousands(tableRowCount) + u" 件から絞り込み)";
    return text;
}
