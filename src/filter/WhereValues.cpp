#include "filter/WhereValues.h"

#include <locale.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/AsciiCase.h"
#include "platform/WideChar.h"
#include "sql/CreateTableParser.h"
#include "sql/SqlText.h"

namespace where_detail {

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Plain decimals with at most 15 significant digits, the common cell text, convert exactly
// as one division of two exact doubles, which IEEE rounds correctly, so the result is
// the one strtod gives. Returns 0 when the text needs the general reader.
size_t ReadPlainDecimal(std::u16string_view text, double& value) {
    constexpr uint64_t kExactLimit = 1000000000000000;  // 10^15 < 2^53
    const size_t n = text.size();
    size_t i = 0;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    uint64_t mantissa = 0;
    const size_t start = i;
    for (; i < n && IsAsciiDigit(text[i]); ++i) {
        mantissa = mantissa * 10 + (text[i] - u'0');
        if (mantissa >= kExactLimit) return 0;
    }
    size_t digits = i - start;
    // "0x" starts a hexadecimal number.
    if (digits == 1 && i < n && (text[i] == u'x' || text[i] == u'X') && text[start] == u'0') {
        return 0;
    }
    size_t fraction = 0;
    if (i < n && text[i] == u'.') {
        const size_t point = ++i;
        for (; i < n && IsAsciiDigit(text[i]); ++i) {
            mantissa = mantissa * 10 + (text[i] - u'0');
            if (mantissa >= kExactLimit) return 0;
        }
        fraction = i - point;
        if (fraction > 22) return 0;
        digits += fraction;
    }
    if (digits == 0) return 0;
    // An exponent may or may not be taken; leave that to the general reader.
    if (i < n && (text[i] == u'e' || text[i] == u'E')) return 0;
    double magnitude = static_cast<double>(mantissa) / kExactPowers[fraction];
    value = negative ? -magnitude : magnitude;
    return i;
}

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

size_t FormatNumber(double x, char16_t* out) {
    if (x == std::floor(x) && std::fabs(x) < 1e15) {
        // "%.0f" of a whole number below 10^15: plain digits, "-0" for negative zero.
        int64_t whole = static_cast<int64_t>(x);
        uint64_t magnitude = whole < 0 ? static_cast<uint64_t>(-whole) : whole;
        char16_t digits[20];
        size_t n = 0;
        do {
            digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        size_t length = 0;
        if (std::signbit(x)) out[length++] = u'-';
        while (n > 0) out[length++] = digits[--n];
        return length;
    }
    // The decimal point must not follow the user's locale.
    char narrow[40];
    locale_t previous = uselocale(CLocale());
    int n = std::snprintf(narrow, sizeof narrow, "%.15g", x);
    uselocale(previous);
    if (n < 0) return 0;
    size_t length = std::min<size_t>(static_cast<size_t>(n), sizeof narrow - 1);
    for (size_t i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(narrow[i]);
    return length;
}

bool OnlySpaces(std::u16string_view text, size_t from) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] != u' ') return false;
    }
    return true;
}

}  // namespace

size_t ReadNumber(std::u16string_view text, double& value) {
    size_t read = ReadPlainDecimal(text, value);
    if (read != 0) return read;
    return platform::WideToDouble(text.data(), text.size(), value);
}

std::u16string_view ValueTextView(const WhereValue& value, ValueTextBuffer& buffer) {
    switch (value.kind) {
        case WhereValueKind::Number:
            return std::u16string_view(buffer.data, FormatNumber(value.number, buffer.data));
        case WhereValueKind::Text:
            return value.text;
        case WhereValueKind::Boolean:
            return value.boolean ? u"true" : u"false";
        default:
            return {};
    }
}

ColumnClass ClassifyColumn(const ColumnInfo& column) {
    if (IsNumericType(column)) return ColumnClass::Numeric;
    if (IsBooleanType(column)) return ColumnClass::Boolean;
    return ColumnClass::Text;
}

void SetNull(WhereValue& out) {
    out.kind = WhereValueKind::Null;
    out.number = 0;
    out.text.clear();
    out.boolean = false;
}

void SetNumber(WhereValue& out, double number) {
    out.kind = WhereValueKind::Number;
    out.number = number;
    out.text.clear();
    out.boolean = false;
}

void SetBoolean(WhereValue& out, bool boolean) {
    out.kind = WhereValueKind::Boolean;
    out.number = 0;
    out.text.clear();
    out.boolean = boolean;
}

void SetText(WhereValue& out, std::u16string_view text) {
    out.kind = WhereValueKind::Text;
    out.number = 0;
    out.text.assign(text);
    out.boolean = false;
}

void ReadCellValue(const CellValue& cell, ColumnClass columnClass, WhereValue& out) {
    if (cell.isNull) {
        SetNull(out);
        return;
    }
    std::u16string_view text = cell.text;
    if (columnClass == ColumnClass::Numeric && !text.empty()) {
        double number = 0;
        size_t read = ReadNumber(text, number);
        if (read > 0 && OnlySpaces(text, read)) {
            SetNumber(out, number);
            return;
        }
    } else if (columnClass == ColumnClass::Boolean) {
        bool boolean = false;
        if (ParseBoolText(text, boolean)) {
            SetBoolean(out, boolean);
            return;
        }
    }
    SetText(out, text);
}

}  // namespace where_detail

using namespace where_detail;

bool ParseBoolText(std::u16string_view text, bool& result) {
    if (text.empty() || text.size() > 5) return false;
    char16_t lower[5];
    for (size_t i = 0; i < text.size(); ++i) lower[i] = platform::ToLowerAscii(text[i]);
    std::u16string_view word(lower, text.size());
    if (word == u"t" || word == u"true" || word == u"yes" || word == u"on" || word == u"1") {
        result = true;
        return true;
    }
    if (word == u"f" || word == u"false" || word == u"no" || word == u"off" || word == u"0") {
        result = false;
        return true;
    }
    return false;
}

bool IsWhereValueTrue(const WhereValue& value) {
    switch (value.kind) {
        case WhereValueKind::Number:
            return value.number != 0;
        case WhereValueKind::Text: {
            bool boolean = false;
            if (ParseBoolText(value.text, boolean)) return boolean;
            return !value.text.empty();
        }
        case WhereValueKind::Boolean:
            return value.boolean;
        default:
            return false;
    }
}

std::u16string WhereValueToText(const WhereValue& value) {
    ValueTextBuffer buffer;
    return std::u16string(ValueTextView(value, buffer));
}

bool WhereValueToNumber(const WhereValue& value, double& number) {
    switch (value.kind) {
        case WhereValueKind::Number:
            number = value.number;
            return true;
        case WhereValueKind::Boolean:
            number = value.boolean ? 1 : 0;
            return true;
        case WhereValueKind::Text: {
            if (value.text.empty()) return false;
            std::u16string_view text = value.text;
            size_t skip = 0;
            while (skip < text.size() && text[skip] == u' ') ++skip;
            text.remove_prefix(skip);
            double read = 0;
            size_t length = ReadNumber(text, read);
            number = length > 0 ? read : 0;
            return length > 0 && OnlySpaces(text, length);
        }
        default:
            return false;
    }
}

int CompareWhereValues(const WhereValue& left, const WhereValue& right) {
    if (left.kind == WhereValueKind::Number && right.kind == WhereValueKind::Number) {
        return left.number < right.number ? -1 : (left.number > right.number ? 1 : 0);
    }
    if (left.kind == WhereValueKind::Number || right.kind == WhereValueKind::Number) {
        double l = 0;
        double r = 0;
        if (WhereValueToNumber(left, l) && WhereValueToNumber(right, r)) {
            return l < r ? -1 : (l > r ? 1 : 0);
        }
    }
    ValueTextBuffer leftBuffer;
    ValueTextBuffer rightBuffer;
    std::u16string_view leftText = ValueTextView(left, leftBuffer);
    std::u16string_view rightText = ValueTextView(right, rightBuffer);
    if (left.kind == WhereValueKind::Boolean || right.kind == WhereValueKind::Boolean) {
        bool l = left.boolean;
        bool r = right.boolean;
        bool leftOk = left.kind == WhereValueKind::Boolean || ParseBoolText(leftText, l);
        bool rightOk = right.kind == WhereValueKind::Boolean || ParseBoolText(rightText, r);
        if (leftOk && rightOk) return static_cast<int>(l) - static_cast<int>(r);
    }
    int c = leftText.compare(rightText);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

WhereValue ReadWhereColumn(int32_t index, const RowCells& row,
                           const std::vector<ColumnInfo>& columns) {
    WhereValue value;
    if (index < 0 || static_cast<size_t>(index) >= row.size()) return value;
    ColumnClass columnClass = static_cast<size_t>(index) < columns.size()
                                  ? ClassifyColumn(columns[static_cast<size_t>(index)])
                                  : ColumnClass::Text;
    ReadCellValue(row[static_cast<size_t>(index)], columnClass, value);
    return value;
}
