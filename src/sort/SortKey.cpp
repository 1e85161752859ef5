#include "sort/SortKey.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "filter/WhereValues.h"
#include "sql/CreateTableParser.h"

namespace {

// Tags order the classes of cells inside one column.
constexpr char kTagValue = 1;
constexpr char kTagNaN = 2;
constexpr char kTagOtherText = 3;
constexpr char kTagNull = 4;

// The whole text converts as the WHERE language converts a text to a number.
bool CellToNumber(std::u16string_view text, double& number) {
    size_t skip = 0;
    while (skip < text.size() && text[skip] == u' ') ++skip;
    text.remove_prefix(skip);
    if (text.empty()) return false;
    size_t read = where_detail::ReadNumber(text, number);
    if (read == 0) return false;
    for (size_t i = read; i < text.size(); ++i) {
        if (text[i] != u' ') return false;
    }
    return true;
}

void AppendNumber(double number, std::string& out) {
    if (number == 0) number = 0;  // -0 ties with 0
    uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    // Flipping the sign bit of positives and every bit of negatives orders the bits as the
    // numbers, infinities included.
    bits = (bits & (uint64_t{1} << 63)) ? ~bits : bits | (uint64_t{1} << 63);
    for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<char>(bits >> shift));
}

// Code units big-endian; a zero byte is written as 00 01 and the end as 00 00, so no key
// is the start of another.
void AppendText(std::u16string_view text, std::string& out) {
    for (char16_t unit : text) {
        const auto high = static_cast<unsigned char>(unit >> 8);
        const auto low = static_cast<unsigned char>(unit & 0xFF);
        out.push_back(static_cast<char>(high));
        if (high == 0) out.push_back(1);
        out.push_back(static_cast<char>(low));
        if (low == 0) out.push_back(1);
    }
    out.push_back(0);
    out.push_back(0);
}

}  // namespace

SortClass GetSortClass(const ColumnInfo& column) {
    if (IsNumericType(column)) return SortClass::Numeric;
    if (IsBooleanType(column)) return SortClass::Boolean;
    return SortClass::Text;
}

void AppendSortKey(const CellValue& cell, SortClass sortClass, bool descending, std::string& out) {
    const size_t start = out.size();
    if (cell.isNull) {
        out.push_back(kTagNull);
    } else if (sortClass == SortClass::Numeric) {
        double number = 0;
        if (!CellToNumber(cell.text, number)) {
            out.push_back(kTagOtherText);
            AppendText(cell.text, out);
        } else if (std::isnan(number)) {
            out.push_back(kTagNaN);
        } else {
            out.push_back(kTagValue);
            AppendNumber(number, out);
        }
    } else if (sortClass == SortClass::Boolean) {
        bool value = false;
        if (ParseBoolText(cell.text, value)) {
            out.push_back(kTagValue);
            out.push_back(value ? 1 : 0);
        } else {
            out.push_back(kTagOtherText);
            AppendText(cell.text, out);
        }
    } else {
        out.push_back(kTagValue);
        AppendText(cell.text, out);
    }
    if (descending) {
        for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
    }
}
