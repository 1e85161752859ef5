#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Paging of the data grid: a page is a window of pageSize consecutive view rows starting
// at pageStart. Previous and next move by whole pages from wherever the page starts; first,
// last and a change of page size align the start.

// The smallest and largest page size the window accepts.
inline constexpr int32_t kMinPageSize = 10;
inline constexpr int32_t kMaxPageSize = 100000;

// Start of the last page of viewSize rows (0 when there are none).
size_t LastPageStart(size_t viewSize, size_t pageSize);
// pageStart kept on the view: past the end it moves to the last page.
size_t ClampPageStart(size_t pageStart, size_t viewSize, size_t pageSize);
// Rows on the page that starts at pageStart.
size_t PageItemCount(size_t pageStart, size_t viewSize, size_t pageSize);
size_t PreviousPageStart(size_t pageStart, size_t pageSize);
size_t NextPageStart(size_t pageStart, size_t viewSize, size_t pageSize);
// The start of the page, under the new size, that holds the row at pageStart.
size_t AlignPageStart(size_t pageStart, size_t pageSize);

// The page size typed into the page-size box: 10 for anything that is not a number or is
// below 10, at most 100000.
int32_t ParsePageSize(const std::u16string& text);

struct PageButtons {
    bool first = false;
    bool previous = false;
    bool next = false;
    bool last = false;
};
PageButtons GetPageButtons(bool rowsLoaded, size_t pageStart, size_t viewSize, size_t pageSize);

// The text beside the page buttons; empty while no rows are loaded.
std::u16string FormatPageInfo(bool rowsLoaded, size_t pageStart, size_t viewSize, size_t pageSize,
                              bool filtered, uint64_t tableRowCount);
