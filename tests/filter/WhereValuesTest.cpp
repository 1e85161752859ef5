#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "filter/WhereTestSupport.h"
#include "filter/WhereValues.h"
#include "platform/WideChar.h"

namespace {

using where_test::Cell;
using where_test::Column;
using where_test::NullCell;
using where_test::Show;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(WhereValuesTest, ParseBoolText) {
    struct Case {
        std::u16string text;
        int expected;  // -1: not a boolean word
    };
    const Case cases[] = {
        {u"t", 1},      {u"TRUE", 1},
        {u"yes", 1},    {u"On", 1},
        {u"1", 1},      {u"f", 0},
        {u"False", 0},  {u"NO", 0},
        {u"off", 0},    {u"0", 0},
        {u"", -1},      {u" t", -1},
        {u"true ", -1}, {u"tru", -1},
        {u"truee", -1}, {u"y", -1},
        {u"n", -1},     {u"01", -1},
        {u"2", -1},     {u"ｔｒｕｅ", -1},
        {u"offf", -1},  {std::u16string(u"nO\0", 3), -1},
    };
    for (const Case& c : cases) {
        for (bool initial : {false, true}) {
            bool result = initial;
            bool ok = ParseBoolText(c.text, result);
            EXPECT_EQ(ok, c.expected >= 0) << U8(c.text);
            EXPECT_EQ(result, ok ? c.expected == 1 : initial) << U8(c.text);
        }
    }
}

TEST(WhereValuesTest, TextForms) {
    struct Case {
        WhereValue value;
        std::u16string text;
    };
    const Case cases[] = {
        {WhereValue{}, u""},
        {WhereNumber(3), u"3"},
        {WhereNumber(-5), u"-5"},
        {WhereNumber(2.5), u"2.5"},
        {WhereNumber(12.50), u"12.5"},
        {WhereNumber(0.1 + 0.2), u"0.3"},
        {WhereNumber(1.0 / 3), u"0.333333333333333"},
        {WhereNumber(-0.0), u"-0"},
        {WhereNumber(0), u"0"},
        {WhereNumber(999999999999999), u"999999999999999"},
        {WhereNumber(-999999999999999), u"-999999999999999"},
        {WhereNumber(1e15), u"1e+15"},
        {WhereNumber(123456789012345678.0), u"1.23456789012346e+17"},
        {WhereNumber(1e-7), u"1e-07"},
        {WhereNumber(kInf), u"inf"},
        {WhereNumber(-kInf), u"-inf"},
        {WhereNumber(kNaN), u"nan"},
        {WhereText(u"abc"), u"abc"},
        {WhereText(u""), u""},
        {WhereBoolean(true), u"true"},
        {WhereBoolean(false), u"false"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U8(WhereValueToText(c.value)), U8(c.text)) << Show(c.value);
}

TEST(WhereValuesTest, ToNumber) {
    struct Case {
        WhereValue value;
        bool clean;
        double number;  // what is stored; 99 marks "left alone"
    };
    const Case cases[] = {
        {WhereNumber(2.5), true, 2.5},
        {WhereBoolean(true), true, 1},
        {WhereBoolean(false), true, 0},
        {WhereValue{}, false, 99},
        {WhereText(u""), false, 99},
        {WhereText(u"12"), true, 12},
        {WhereText(u"  12  "), true, 12},
        {WhereText(u"12abc"), false, 12},
        {WhereText(u"abc"), false, 0},
        {WhereText(u"12\t"), false, 12},
        {WhereText(u"\t12"), true, 12},
        {WhereText(u" \u300012"), true, 12},
        {WhereText(u"12 x"), false, 12},
        {WhereText(u"-2.5e2"), true, -250},
        {WhereText(u"+.5"), true, 0.5},
        {WhereText(u"5."), true, 5},
        {WhereText(u"0x1A"), true, 26},
        {WhereText(u"1e"), false, 1},
        {WhereText(u"1,5"), false, 1},
        {WhereText(u"- 1"), false, 0},
        {WhereText(u"   "), false, 0},
        {WhereText(u"inf"), true, kInf},
        {WhereText(u"-Infinity"), true, -kInf},
        {WhereText(u"1e999"), true, kInf},
        {WhereText(u"１２"), false, 0},
    };
    for (const Case& c : cases) {
        double number = 99;
        EXPECT_EQ(WhereValueToNumber(c.value, number), c.clean) << Show(c.value);
        EXPECT_EQ(number, c.number) << Show(c.value);
    }
    double number = 99;
    EXPECT_TRUE(WhereValueToNumber(WhereText(u"nan"), number));
    EXPECT_TRUE(std::isnan(number));
}

// The quick path for plain decimals must read exactly what the general reader reads.
TEST(WhereValuesTest, NumberReaderAgreesWithWcstod) {
    std::mt19937 random(20240611);
    const std::u16string alphabet = u"0123456789000.-+eE x";
    for (int i = 0; i < 200000; ++i) {
        std::u16string text;
        size_t length = random() % 24;
        for (size_t k = 0; k < length; ++k) {
            // Mostly digits, so that long plain decimals are common.
            text += random() % 4 != 0 ? static_cast<char16_t>(u'0' + random() % 10)
                                      : alphabet[random() % alphabet.size()];
        }
        double fast = -1;
        double slow = -1;
        size_t fastRead = where_detail::ReadNumber(text, fast);
        size_t slowRead = platform::WideToDouble(text.data(), text.size(), slow);
        ASSERT_EQ(fastRead, slowRead) << U8(text);
        if (slowRead > 0) {
            ASSERT_EQ(std::signbit(fast), std::signbit(slow)) << U8(text);
            ASSERT_TRUE(fast == slow || (std::isnan(fast) && std::isnan(slow))) << U8(text);
        }
    }
}

TEST(WhereValuesTest, Truth) {
    struct Case {
        WhereValue value;
        bool truth;
    };
    const Case cases[] = {
        {WhereValue{}, false},      {WhereNumber(0), false},      {WhereNumber(-0.0), false},
        {WhereNumber(2), true},     {WhereNumber(-0.5), true},    {WhereNumber(kNaN), true},
        {WhereText(u"abc"), true},  {WhereText(u""), false},      {WhereText(u"no"), false},
        {WhereText(u"off"), false}, {WhereText(u"F"), false},     {WhereText(u"0"), false},
        {WhereText(u"0.0"), true},  {WhereText(u" no"), true},    {WhereText(u"YES"), true},
        {WhereBoolean(true), true}, {WhereBoolean(false), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsWhereValueTrue(c.value), c.truth) << Show(c.value);
}

TEST(WhereValuesTest, Compare) {
    struct Case {
        WhereValue left;
        WhereValue right;
        int sign;
    };
    const Case cases[] = {
        {WhereNumber(10), WhereText(u"10.0"), 0},  // numeric
        {WhereNumber(2), WhereText(u"10"), -1},    // numeric, not text order
        {WhereText(u"2"), WhereText(u"10"), 1},    // two texts compare as texts
        {WhereNumber(10), WhereText(u"abc"), -1},  // falls back to "10" vs "abc"
        {WhereNumber(99), WhereText(u" 99 "), 0},
        {WhereNumber(99), WhereText(u"99\t"), -1},  // unclean: "99" vs "99\t"
        {WhereNumber(kNaN), WhereNumber(5), 0},
        {WhereNumber(5), WhereNumber(kNaN), 0},
        {WhereNumber(-0.0), WhereNumber(0), 0},
        {WhereNumber(1), WhereBoolean(true), 0},     // numeric: true is 1
        {WhereBoolean(true), WhereText(u"yes"), 0},  // boolean words
        {WhereBoolean(false), WhereText(u"OFF"), 0},
        {WhereBoolean(false), WhereBoolean(true), -1},
        {WhereBoolean(true), WhereBoolean(false), 1},
        {WhereBoolean(true), WhereText(u"abc"), 1},    // "true" vs "abc"
        {WhereBoolean(true), WhereText(u"yes!"), -1},  // "true" vs "yes!"
        {WhereText(u"abc"), WhereText(u"ABC"), 1},
        {WhereText(u"a"), WhereText(u"ab"), -1},
        {WhereText(u""), WhereText(u""), 0},
        {WhereText(u"é"), WhereText(u"z"), 1},
        // UTF-16 order: a surrogate pair sorts below U+FFFD.
        {WhereText(u"\U0001F600"), WhereText(u"\uFFFD"), -1},
    };
    for (const Case& c : cases) {
        int got = CompareWhereValues(c.left, c.right);
        EXPECT_EQ((got > 0) - (got < 0), c.sign) << Show(c.left) << " vs " << Show(c.right);
        int back = CompareWhereValues(c.right, c.left);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << Show(c.right) << " vs " << Show(c.left);
    }
}

TEST(WhereValuesTest, ReadColumn) {
    const std::vector<ColumnInfo> columns = {
        Column(u"n", u"numeric(12,2)"), Column(u"b", u"boolean"), Column(u"t", u"text"),
        Column(u"a", u"integer[]"),     Column(u"i", u"BIGINT"),
    };
    struct Case {
        int32_t index;
        CellValue cell;
        std::string value;
    };
    const Case cases[] = {
        {0, Cell(u"12.50"), "num:12.5"},
        {0, Cell(u"-3"), "num:-3"},
        {0, Cell(u" 12"), "num:12"},
        {0, Cell(u"12  "), "num:12"},
        {0, Cell(u"12\t"), "text:12\t"},
        {0, Cell(u"1,000"), "text:1,000"},
        {0, Cell(u"Infinity"), "num:inf"},
        {0, Cell(u"-Infinity"), "num:-inf"},
        {0, Cell(u""), "text:"},
        {0, Cell(u"abc"), "text:abc"},
        {0, Cell(u"t"), "text:t"},  // a numeric column never reads booleans
        {0, NullCell(), "null"},
        {1, Cell(u"t"), "true"},
        {1, Cell(u"f"), "false"},
        {1, Cell(u"1"), "true"},
        {1, Cell(u"maybe"), "text:maybe"},
        {1, Cell(u""), "text:"},
        {2, Cell(u"12"), "text:12"},
        {2, Cell(u"t"), "text:t"},
        {3, Cell(u"{1,2}"), "text:{1,2}"},
        {3, Cell(u"7"), "text:7"},
        {4, Cell(u"9007199254740993"), "num:9007199254740992"},
        {-1, Cell(u"x"), "null"},
        {5, Cell(u"x"), "null"},
    };
    for (const Case& c : cases) {
        RowCells row(5, Cell(u"0"));
        if (c.index >= 0 && c.index < 5) row[c.index] = c.cell;
        EXPECT_EQ(Show(ReadWhereColumn(c.index, row, columns)), c.value)
            << c.index << " " << U8(c.cell.text);
    }
    // NaN reads as a number (it then equals everything).
    RowCells row = {Cell(u"NaN")};
    WhereValue nan = ReadWhereColumn(0, row, columns);
    EXPECT_EQ(nan.kind, WhereValueKind::Number);
    EXPECT_TRUE(std::isnan(nan.number));
    // A row shorter than the column list reads Null past its end.
    EXPECT_EQ(Show(ReadWhereColumn(2, RowCells{Cell(u"1")}, columns)), "null");
}

}  // namespace
