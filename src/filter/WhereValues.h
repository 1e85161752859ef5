#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dump/DumpModel.h"
#include "filter/WhereTypes.h"
#include "store/CellValue.h"

// Conversions and comparison of WHERE values, and reading a row's cell as a value.

// "t", "true", "yes", "on", "1" and "f", "false", "no", "off", "0" in any ASCII case;
// anything else returns false and leaves result alone.
bool ParseBoolText(std::u16string_view text, bool& result);
bool IsWhereValueTrue(const WhereValue& value);
std::u16string WhereValueToText(const WhereValue& value);
// True when the conversion was clean; number receives what could be read even when not.
bool WhereValueToNumber(const WhereValue& value, double& number);
// Negative, 0 or positive; both values are expected to be non-Null.
int CompareWhereValues(const WhereValue& left, const WhereValue& right);
WhereValue ReadWhereColumn(int32_t index, const RowCells& row,
                           const std::vector<ColumnInfo>& columns);

namespace where_detail {

// Room for the text form of any number or boolean, so hot paths need no heap.
struct ValueTextBuffer {
    char16_t data[40];
};

// The text form of value; points into value, buffer or a constant.
std::u16string_view ValueTextView(const WhereValue& value, ValueTextBuffer& buffer);

// wcstod over text: the count of code units read (0 when none) and the value.
size_t ReadNumber(std::u16string_view text, double& value);

// How a column's cells turn into values.
enum class ColumnClass : uint8_t { Unknown, Text, Numeric, Boolean };
ColumnClass ClassifyColumn(const ColumnInfo& column);
// Fills out with the value of one cell of a column of the given class.
void ReadCellValue(const CellValue& cell, ColumnClass columnClass, WhereValue& out);

void SetNull(WhereValue& out);
void SetNumber(WhereValue& out, double number);
void SetBoolean(WhereValue& out, bool boolean);
void SetText(WhereValue& out, std::u16string_view text);

}  // namespace where_detail
