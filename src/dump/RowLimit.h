#pragma once

#include <cstdint>
#include <string>

// The most bytes one row may take, as its COPY line: PostgreSQL's own limit for one field.
// Every reader that holds a row in memory stops at a longer one, so a damaged or hostile
// dump cannot take all of memory through a single line.
constexpr uint64_t kMaxRowBytes = uint64_t{1} << 30;

// kMaxRowBytes, unless a test has lowered it to make a long row quickly.
uint64_t MaxRowBytes();
// For tests only; 0 restores kMaxRowBytes.
void SetMaxRowBytesForTesting(uint64_t bytes);

// The one message for a row over the limit; row counts from 1.
std::u16string RowTooLongMessage(const std::u16string& table, uint64_t row);
