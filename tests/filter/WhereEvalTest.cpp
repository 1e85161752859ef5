#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "filter/WhereEval.h"
#include "filter/WhereParser.h"
#include "filter/WhereTestSupport.h"
#include "platform/WideChar.h"

namespace {

using where_test::Cell;
using where_test::Column;
using where_test::NullCell;

const std::vector<ColumnInfo>& Columns() {
    static const std::vector<ColumnInfo> columns = {
        Column(u"amount", u"numeric(12,2)"),   // 0
        Column(u"name", u"text"),              // 1
        Column(u"flag", u"boolean"),           // 2
        Column(u"qty", u"integer"),            // 3
        Column(u"note", u"text"),              // 4
        Column(u"txt", u"text"),               // 5
        Column(u"price", u"numeric"),          // 6
        Column(u"word", u"text"),              // 7
        Column(u"nanv", u"double precision"),  // 8
        Column(u"Mixed Case", u"text"),        // 9
        Column(u"A", u"text"),                 // 10
        Column(u"a", u"text"),                 // 11
        Column(u"off", u"boolean"),            // 12
    };
    return columns;
}

RowCells Row() {
    return {Cell(u"1234.50"), Cell(u"Tokyo Shop"), Cell(u"t"),   Cell(u"7"),   NullCell(),
            Cell(u"99"),      Cell(u"12.50"),      Cell(u"yes"), Cell(u"NaN"), Cell(u"mc"),
            Cell(u"upper"),   Cell(u"lower"),      Cell(u"f")};
}

std::string Eval(const std::u16string& text) {
    return where_test::Eval(text, Row(), Columns());
}

struct Case {
    std::u16string text;
    std::string value;
};

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(Eval(c.text), c.value) << U8(c.text);
}

TEST(WhereEvalTest, ColumnsAndComparisons) {
    Check({
        {u"amount", "num:1234.5"},
        {u"AMOUNT > 100", "true"},
        {u"amount = 1234.5", "true"},
        {u"amount = '1234.50'", "true"},
        {u"txt > 100", "false"},   // the literal is a number and 99 converts cleanly
        {u"txt > '100'", "true"},  // two texts
        {u"txt = 99.0", "true"},
        {u"name = 'Tokyo Shop'", "true"},
        {u"name = 'tokyo shop'", "false"},
        {u"name <> 'x'", "true"},
        {u"name < 'Tokyo'", "false"},
        {u"name >= 'Tokyo'", "true"},
        {u"qty <= 7 AND qty >= 7 AND qty < 8 AND qty > 6", "true"},
        {u"note = NULL", "null"},
        {u"note <> NULL", "null"},
        {u"NULL = NULL", "null"},
        {u"note IS NULL", "true"},
        {u"note IS NOT NULL", "false"},
        {u"name IS NULL", "false"},
        {u"nanv = 5", "true"},
        {u"nanv < 5", "false"},
        {u"flag = TRUE", "true"},
        {u"flag", "true"},
        {u"off", "false"},
        {u"off = 'no'", "true"},
        {u"word", "text:yes"},
        {u"'abc'", "text:abc"},
        {u"\"Mixed Case\" = 'mc'", "true"},
        {u"\"mixed case\" = 'mc'", "true"},  // no exact match: ASCII case is ignored
        {u"\"A\"", "text:upper"},
        {u"\"a\"", "text:lower"},
        {u"a", "text:upper"},  // unquoted: the first name equal ignoring case
        {u"nosuch = 1", "!カラム nosuch はテーブルに存在しません"},
        {u"\"NAME\" = 1", "false"},
        {u"\"Mixed\" = 1", "!カラム Mixed はテーブルに存在しません"},
        {u"f(nosuch)", "!カラム nosuch はテーブルに存在しません"},
        {u"名前 = 1", "!カラム 名前 はテーブルに存在しません"},
        {u"TRUE = 'yes'", "true"},
        {u"'abc' = 'ABC'", "false"},
        {u"10 = '10.0'", "true"},
        {u"10 = 'abc'", "false"},
    });
}

TEST(WhereEvalTest, LikeAndIn) {
    Check({
        {u"price LIKE '12.5%'", "true"},
        {u"price LIKE '12.50'", "false"},
        {u"'ab_x' LIKE 'ab\\_%'", "true"},
        {u"'abcx' LIKE 'ab\\_%'", "false"},
        {u"'abc' ILIKE 'AB%'", "true"},
        {u"'abc' LIKE 'AB%'", "false"},
        {u"'ＡＢ' ILIKE 'ａｂ'", "false"},
        {u"name ILIKE '%shop%'", "true"},
        {u"name NOT ILIKE '%shop%'", "false"},
        {u"name NOT LIKE '%shop%'", "true"},
        {u"note LIKE '%'", "null"},
        {u"name LIKE NULL", "null"},
        {u"TRUE LIKE 'tr%'", "true"},
        {u"12 LIKE 1 || '%'", "true"},
        {u"1 IN (1, NULL)", "true"},
        {u"2 IN (1, NULL)", "null"},
        {u"1 NOT IN (1, NULL)", "false"},
        {u"2 NOT IN (1, NULL)", "null"},
        {u"2 IN (1, 3)", "false"},
        {u"2 NOT IN (1, 3)", "true"},
        {u"NULL IN (1, 2)", "null"},
        {u"NULL NOT IN (1, 2)", "null"},
        {u"qty IN ('7.0', 8)", "true"},
        {u"name IN ('tokyo shop', 'Tokyo Shop')", "true"},
        {u"5 BETWEEN 1 AND 10", "true"},
        {u"5 BETWEEN 10 AND 1", "false"},
        {u"5 NOT BETWEEN 10 AND 1", "true"},
        {u"5 BETWEEN 5 AND 5", "true"},
        {u"NULL BETWEEN 1 AND 2", "null"},
        {u"1 BETWEEN NULL AND 2", "null"},
        // As in SQL, one bound that already excludes the subject decides despite a Null.
        {u"5 BETWEEN 10 AND NULL", "false"},
        {u"5 NOT BETWEEN 10 AND NULL", "true"},
        {u"5 BETWEEN NULL AND 1", "false"},
        {u"5 NOT BETWEEN NULL AND 10", "null"},
        {u"'b' BETWEEN 'a' AND 'c'", "true"},
        {u"amount BETWEEN 1000 AND 2000", "true"},
    });
}

TEST(WhereEvalTest, ArithmeticAndLogic) {
    const std::string divZero = "!0 で除算しました";
    Check({
        {u"7 / 2", "num:3.5"},
        {u"10 / 4 * 4", "num:10"},
        {u"7 % 3", "num:1"},
        {u"-7 % 3", "num:-1"},
        {u"7.5 % 2", "num:1.5"},
        {u"7 / 0", divZero},
        {u"7 % 0", divZero},
        {u"7 / -0.0", divZero},
        {u"7 / '0'", divZero},
        {u"1 + 2 * 3 - 4", "num:3"},
        {u"'5' + 1", "num:6"},
        {u"TRUE + 1", "num:2"},
        {u"' 5 ' * 2", "num:10"},
        {u"'abc' + 1", "!演算子 + には数値を指定してください"},
        {u"1 - '1x'", "!演算子 - には数値を指定してください"},
        {u"1 * ''", "!演算子 * には数値を指定してください"},
        {u"name / 2", "!演算子 / には数値を指定してください"},
        {u"'a' % 2", "!演算子 % には数値を指定してください"},
        {u"NULL + 'abc'", "null"},
        {u"note * 2", "null"},
        {u"'a' || NULL", "null"},
        {u"1 || 2", "text:12"},
        {u"0.1 + 0.2 || ''", "text:0.3"},
        {u"TRUE || 1.50", "text:true1.5"},
        {u"amount || '円'", "text:1234.5円"},
        {u"'a' || 'b' || 'c' || 1 + 1", "!演算子 + には数値を指定してください"},
        {u"'a' || ('b' || (1 + 1))", "text:ab2"},
        {u"-qty", "num:-7"},
        {u"-'5'", "num:-5"},
        {u"-NULL", "null"},
        {u"-'abc'", "!単項マイナスには数値を指定してください"},
        {u"- -2", "num:2"},
        {u"-0 || ''", "text:-0"},
        {u"NOT 'abc'", "false"},
        {u"NOT 0", "true"},
        {u"NOT NULL", "null"},
        {u"NOT note", "null"},
        {u"NOT 'no'", "true"},
        {u"1 AND 'yes'", "true"},
        {u"2 OR 0", "true"},
        {u"0 OR ''", "false"},
        // Short cuts: the right side is not evaluated once the left decides.
        {u"FALSE AND 1 / 0 = 1", "false"},
        {u"TRUE OR 1 / 0 = 1", "true"},
        {u"0 AND -'x'", "false"},
        {u"NULL AND 1 / 0 = 1", divZero},
        {u"TRUE AND 1 / 0 = 1", divZero},
        {u"FALSE OR 1 / 0 = 1", divZero},
        {u"1 / 0 = 1 AND FALSE", divZero},
        {u"FALSE AND TRUE OR 1 / 0 = 1", divZero},
        {u"TRUE OR TRUE AND 1 / 0 = 1", "true"},
        // Both sides of comparisons and all operands of BETWEEN are always evaluated.
        {u"NULL = 1 / 0", divZero},
        {u"NULL BETWEEN 1 AND 1 / 0", divZero},
        {u"NULL LIKE 1 / 0", divZero},
        // IN stops at the first equal item and does not look at items for a Null subject.
        {u"NULL IN (1 / 0)", "null"},
        {u"1 IN (1, 1 / 0)", "true"},
        {u"1 IN (2, 1 / 0)", divZero},
        {u"1 IN (NULL, 1)", "true"},
    });
}

TEST(WhereEvalTest, Functions) {
    const std::string arity = "!関数 ";
    Check({
        {u"COALESCE(NULL, NULL)", "null"},
        {u"COALESCE()", "null"},
        {u"coalesce(note, name)", "text:Tokyo Shop"},
        {u"COALESCE(NULL, 2, 1 / 0)", "!0 で除算しました"},
        {u"NULLIF(1, 1)", "null"},
        {u"NULLIF(1, 2)", "num:1"},
        {u"NULLIF(1, NULL)", "num:1"},
        {u"NULLIF(NULL, 1)", "null"},
        {u"NULLIF('10', 10.0)", "null"},
        {u"NULLIF(1)", "!関数 NULLIF の引数が足りません"},
        {u"nullif()", "!関数 NULLIF の引数が足りません"},
        {u"UPPER(NULL)", "null"},
        {u"FOO(NULL)", "null"},
        {u"FOO(NULL, 1 / 0)", "!0 で除算しました"},
        {u"FOO(1)", "!関数 FOO には対応していません"},
        {u"foo('a')", "!関数 FOO には数値を指定してください"},
        {u"FOO()", "!関数 FOO の引数が足りません"},
        {u"UPPER()", "!関数 UPPER の引数が足りません"},
        {u"upper('abcé')", "text:ABCé"},
        {u"LOWER('ÀBC')", "text:Àbc"},
        {u"LOWER(TRUE)", "text:true"},
        {u"UPPER(1.5)", "text:1.5"},
        {u"LENGTH(12.50)", "num:4"},
        {u"LENGTH('')", "num:0"},
        {u"CHAR_LENGTH('𠮷')", "num:2"},
        {u"CHARACTER_LENGTH(name)", "num:10"},
        {u"TRIM('xxhixx', 'x')", "text:hi"},
        {u"TRIM('  hi  ', NULL)", "text:hi"},
        {u"TRIM('  hi  ')", "text:hi"},
        {u"BTRIM('xyhiyx', 'yx')", "text:hi"},
        {u"LTRIM('xxhixx', 'x')", "text:hixx"},
        {u"RTRIM('xxhixx', 'x')", "text:xxhi"},
        {u"TRIM('xxxx', 'x')", "text:"},
        {u"TRIM(' hi ', '')", "text: hi "},
        {u"TRIM(100, 1)", "text:00"},
        {u"SUBSTR('hello', 2)", "text:ello"},
        {u"SUBSTR('hello', 2, 3)", "text:ell"},
        {u"SUBSTR('hello', 0, 2)", "text:h"},
        {u"SUBSTR('hello', -3, 2)", "text:"},
        {u"SUBSTR('hello', -3, 5)", "text:h"},
        {u"SUBSTR('hello', 2, -1)", "text:ello"},
        {u"SUBSTR('hello', 9)", "text:"},
        {u"SUBSTR('hello', 6)", "text:"},
        {u"SUBSTR('hello', 5)", "text:o"},
        {u"SUBSTR('hello', 2, 0)", "text:"},
        {u"SUBSTR('hello', 2, NULL)", "text:ello"},
        {u"SUBSTR('hello', NULL)", "text:hello"},
        {u"SUBSTR('hello', '2')", "text:ello"},
        {u"SUBSTR('hello', 2.9, 2.9)", "text:el"},
        {u"SUBSTRING('hello', 0)", "text:hello"},
        {u"SUBSTR('hello', 'abc')", "text:hello"},
        {u"SUBSTR('hello', 1e12)", "text:"},
        {u"SUBSTR('hello', -1e12, 3)", "text:"},
        {u"SUBSTR('hello', 2, 1e12)", "text:ello"},
        {u"SUBSTR('hello', 'nan')", "text:hello"},
        {u"LEFT('hello', 'nan')", "text:"},
        {u"SUBSTR('hello')", "!関数 SUBSTR の引数が足りません"},
        {u"LEFT('hello', 2)", "text:he"},
        {u"LEFT('hello', -2)", "text:hel"},
        {u"RIGHT('hello', -2)", "text:llo"},
        {u"RIGHT('hello', 2)", "text:lo"},
        {u"LEFT('hello', 99)", "text:hello"},
        {u"RIGHT('hello', 99)", "text:hello"},
        {u"LEFT('hello', -99)", "text:"},
        {u"RIGHT('hello', -99)", "text:"},
        {u"LEFT('hello', 'x')", "text:"},
        {u"LEFT('hello', NULL)", "text:"},
        {u"LEFT('hello', 2.9)", "text:he"},
        {u"LEFT('hello', -1e300)", "text:"},
        {u"RIGHT('hello', 1e300)", "text:hello"},
        {u"LEFT('hello')", "!関数 LEFT の引数が足りません"},
        {u"RIGHT(NULL)", "null"},
        {u"STRPOS('hello', 'l')", "num:3"},
        {u"STRPOS('hello', '')", "num:1"},
        {u"POSITION('hello', 'z')", "num:0"},
        {u"STRPOS(12345, 34)", "num:3"},
        {u"STRPOS('hello')", "!関数 STRPOS の引数が足りません"},
        {u"REPLACE('aaa', 'aa', 'b')", "text:ba"},
        {u"REPLACE('abc', '', 'x')", "text:abc"},
        {u"REPLACE('a.b.c', '.', '')", "text:abc"},
        {u"REPLACE(name, 'o', '0')", "text:T0ky0 Sh0p"},
        {u"REPLACE('ab', 'b')", "!関数 REPLACE の引数が足りません"},
        {u"ROUND(2.5)", "num:3"},
        {u"ROUND(-2.5)", "num:-3"},
        {u"ROUND(-0.5)", "num:-1"},
        {u"ROUND(1234.5678, 2)", "num:1234.5699999999999"},
        {u"ROUND(1234.5678, 2) || ''", "text:1234.57"},
        {u"ROUND(1234, -2)", "num:1200"},
        {u"ROUND(1.25, 'x')", "num:1"},
        {u"ABS('12')", "num:12"},
        {u"ABS(-3.5)", "num:3.5"},
        {u"ABS('x')", "!関数 ABS には数値を指定してください"},
        {u"ABS(TRUE)", "num:1"},
        {u"FLOOR(-1.5)", "num:-2"},
        {u"CEIL(1.2)", "num:2"},
        {u"ceiling(-1.2)", "num:-1"},
        {u"FLOOR(amount) = 1234", "true"},
        {u"LENGTH(UPPER(SUBSTR(name, 1, 5)))", "num:5"},
        {u"LOWER(name) LIKE '%shop'", "true"},
    });
}

// Every Null/true/false combination against SQL's truth tables. The expected values come
// from the tables below, not from the evaluator.
enum T { N, F, TR };

T And(T a, T b) {
    static const T table[3][3] = {{N, F, N}, {F, F, F}, {N, F, TR}};
    return table[a][b];
}
T Or(T a, T b) {
    static const T table[3][3] = {{N, N, TR}, {N, F, TR}, {TR, TR, TR}};
    return table[a][b];
}
T Not(T a) {
    static const T table[3] = {N, TR, F};
    return table[a];
}
// SQL's = and <= on booleans (false < true); Null on either side gives Null.
T Eq(T a, T b) {
    if (a == N || b == N) return N;
    return a == b ? TR : F;
}
T Le(T a, T b) {
    if (a == N || b == N) return N;
    return a <= b ? TR : F;
}

std::string Word(T t) {
    return t == N ? "NULL" : (t == TR ? "TRUE" : "FALSE");
}
std::string CellText(T t) {
    return t == N ? "\\N" : (t == TR ? "t" : "f");
}
std::string Expected(T t) {
    return t == N ? "null" : (t == TR ? "true" : "false");
}

std::u16string U16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

TEST(WhereThreeValuedLogicTest, AgreesWithSqlTruthTables) {
    const T all[] = {N, F, TR};
    std::vector<ColumnInfo> columns = {Column(u"x", u"boolean"), Column(u"y", u"boolean"),
                                       Column(u"z", u"boolean"), Column(u"w", u"bool")};
    auto rowOf = [](T x, T y, T z, T w) {
        RowCells row;
        for (T t : {x, y, z, w}) row.push_back(t == N ? NullCell() : Cell(U16(CellText(t))));
        return row;
    };
    int checked = 0;
    for (T x : all) {
        for (T y : all) {
            for (T z : all) {
                for (T w : all) {
                    RowCells row = rowOf(x, y, z, w);
                    // Each case in literal words and in boolean columns.
                    struct Form {
                        std::string text;
                        T expected;
                    };
                    std::vector<Form> forms = {
                        {"x AND y", And(x, y)},
                        {"x OR y", Or(x, y)},
                        {"NOT x", Not(x)},
                        {"x AND y AND z", And(And(x, y), z)},
                        {"x OR y OR z", Or(Or(x, y), z)},
                        {"x AND (y AND z)", And(x, And(y, z))},
                        {"x OR y AND z", Or(x, And(y, z))},
                        {"(x OR y) AND NOT z", And(Or(x, y), Not(z))},
                        {"NOT (x AND y) OR z AND w", Or(Not(And(x, y)), And(z, w))},
                        {"x AND y OR z AND w OR x", Or(Or(And(x, y), And(z, w)), x)},
                        {"x IN (y)", Eq(x, y)},
                        {"x IN (y, z)", Or(Eq(x, y), Eq(x, z))},
                        {"x IN (y, z, w)", Or(Or(Eq(x, y), Eq(x, z)), Eq(x, w))},
                        {"x NOT IN (y, z)", Not(Or(Eq(x, y), Eq(x, z)))},
                        {"x NOT IN (y, z, w)", Not(Or(Or(Eq(x, y), Eq(x, z)), Eq(x, w)))},
                        {"x BETWEEN y AND z", And(Le(y, x), Le(x, z))},
                        {"x NOT BETWEEN y AND z", Not(And(Le(y, x), Le(x, z)))},
                        {"x = y", Eq(x, y)},
                        {"x <> y", Not(Eq(x, y))},
                        {"x IS NULL", x == N ? TR : F},
                        {"x IS NOT NULL", x == N ? F : TR},
                    };
                    for (const Form& form : forms) {
                        std::string literal = form.text;
                        for (auto [name, t] : {std::pair{"x", x}, {"y", y}, {"z", z}, {"w", w}}) {
                            for (size_t p; (p = literal.find(name)) != std::string::npos;) {
                                literal.replace(p, 1, Word(t));
                            }
                        }
                        EXPECT_EQ(where_test::Eval(U16(form.text), row, columns),
                                  Expected(form.expected))
                            << form.text << " with " << literal;
                        EXPECT_EQ(where_test::Eval(U16(literal), row, columns),
                                  Expected(form.expected))
                            << literal;
                        ++checked;
                    }
                }
            }
        }
    }
    EXPECT_EQ(checked, 81 * 21);
}

TEST(WhereEvalTest, LongChainsEvaluateWithoutDeepRecursion) {
    std::vector<ColumnInfo> columns = {Column(u"a", u"integer")};
    std::u16string orChain = u"a = 0";
    std::u16string andChain = u"a >= 0";
    std::u16string sum = u"0";
    for (int i = 1; i < 20000; ++i) {
        orChain += u" OR a = " + platform::FormatDecimal(i);
        andChain += u" AND a <> " + platform::FormatDecimal(i + 100000);
        sum += u" + 1";
    }
    RowCells row = {Cell(u"19999")};
    EXPECT_EQ(where_test::Eval(orChain, row, columns), "true");
    EXPECT_EQ(where_test::Eval(andChain, row, columns), "true");
    EXPECT_EQ(where_test::Eval(sum, row, columns), "num:19999");
    EXPECT_EQ(where_test::Eval(u"a = -1 OR " + orChain, RowCells{Cell(u"-2")}, columns), "false");
}

TEST(WhereEvalTest, GrowingTextsAreBounded) {
    // 17 units, each REPLACE multiplies by 16: the fifth level would pass 2^24 units.
    std::u16string text = u"'aaaaaaaaaaaaaaaaa'";
    for (int i = 0; i < 5; ++i) text = u"REPLACE(" + text + u", 'a', 'aaaaaaaaaaaaaaaa')";
    EXPECT_EQ(Eval(u"LENGTH(" + text + u")"), "!条件式で作られる文字列が長すぎます");
    std::u16string concat = u"'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa'";
    for (int i = 0; i < 6; ++i) {
        concat = u"REPLACE(" + concat + u", 'a', 'aaaaaaaa')";
    }
    // 64 x 8^6 is exactly the limit; one more unit is too many.
    EXPECT_EQ(Eval(u"LENGTH(" + concat + u")"), "num:16777216");
    EXPECT_EQ(Eval(u"LENGTH(" + concat + u" || 'x')"), "!条件式で作られる文字列が長すぎます");
    EXPECT_EQ(Eval(u"LENGTH(REPLACE('aaaa', 'a', 'aaaa') || 'x')"), "num:17");
}

TEST(WhereEvalTest, EvaluatorReusedAcrossRowsAndErrors) {
    std::vector<ColumnInfo> columns = {Column(u"n", u"integer"), Column(u"s", u"text")};
    std::unique_ptr<WhereNode> root;
    CompileWhere(u"s || '-' || 10 / n = 'x-5' OR n IN (NULL, s)", root);
    ResolveWhereColumns(*root, columns);
    CWhereEvaluator evaluator(columns);
    struct Step {
        RowCells row;
        std::string value;
    };
    const Step steps[] = {
        {{Cell(u"2"), Cell(u"x")}, "true"},
        {{Cell(u"0"), Cell(u"x")}, "!0 で除算しました"},
        {{Cell(u"3"), Cell(u"3")}, "true"},
        {{Cell(u"3"), Cell(u"4")}, "null"},
        {{NullCell(), Cell(u"4")}, "null"},
        {{Cell(u"4"), Cell(u"long text that does not fit a short string buffer")}, "null"},
        {{Cell(u"2"), Cell(u"x")}, "true"},
    };
    for (int round = 0; round < 2; ++round) {
        for (const Step& step : steps) {
            std::string got;
            std::string fresh;
            try {
                got = where_test::Show(evaluator.Evaluate(*root, step.row));
            } catch (const WhereError& e) {
                got = "!" + U8(e.message);
            }
            try {
                fresh = where_test::Show(EvaluateWhere(*root, step.row, columns));
            } catch (const WhereError& e) {
                fresh = "!" + U8(e.message);
            }
            EXPECT_EQ(got, step.value) << U8(step.row[0].text) << " " << U8(step.row[1].text);
            EXPECT_EQ(fresh, step.value);
        }
    }
}

TEST(WhereEvalTest, CallWhereFunctionOnItsOwn) {
    std::vector<ColumnInfo> columns = {Column(u"s", u"text")};
    std::unique_ptr<WhereNode> root;
    CompileWhere(u"substr(s, 2, 3)", root);
    ResolveWhereColumns(*root, columns);
    EXPECT_EQ(where_test::Show(CallWhereFunction(*root, {Cell(u"abcdef")}, columns)), "text:bcd");
    EXPECT_EQ(where_test::Show(CallWhereFunction(*root, {NullCell()}, columns)), "null");
}

}  // namespace
