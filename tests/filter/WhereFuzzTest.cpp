#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "filter/WhereEval.h"
#include "filter/WhereParser.h"
#include "filter/WhereTestSupport.h"

namespace {

using where_test::Cell;
using where_test::Column;
using where_test::NullCell;

const std::vector<ColumnInfo> kColumns = {
    Column(u"id", u"integer"), Column(u"name", u"text"), Column(u"flag", u"boolean"),
    Column(u"amount", u"numeric(10,2)"), Column(u"名前", u"text")};

const std::u16string kPieces[] = {
    u"id",      u"name",  u"flag",    u"amount",    u"名前",    u"\"id\"",  u"\"Name\"",
    u"nosuch",  u"AND",   u"OR",      u"NOT",       u"LIKE",    u"ILIKE",   u"IN",
    u"BETWEEN", u"IS",    u"NULL",    u"TRUE",      u"FALSE",   u"=",       u"<>",
    u"!=",      u"<",     u"<=",      u">",         u">=",      u"+",       u"-",
    u"*",       u"/",     u"%",       u"||",        u"(",       u")",       u",",
    u"0",       u"1",     u"2.5",     u"1e3",       u".5",      u"'a%'",    u"'x'",
    u"''",      u"'t'",   u"'12'",    u"'%a%a%b'",  u"'\\'",    u"UPPER(",  u"LOWER(",
    u"LENGTH(", u"TRIM(", u"SUBSTR(", u"LEFT(",     u"RIGHT(",  u"STRPOS(", u"REPLACE(",
    u"ROUND(",  u"ABS(",  u"FLOOR(",  u"COALESCE(", u"NULLIF(", u"FOO(",    u"\u3000",
    u"１２",    u"'",     u"\"",      u";",         u".",       u"$",       u"!",
    u"|",       u"\\",
};

const std::vector<std::u16string> kSeeds = {
    u"id > 10 AND name ILIKE '%shop%'",
    u"amount BETWEEN 1 AND 100 OR flag",
    u"id IN (1, 2, NULL) AND NOT name LIKE 'a\\_%'",
    u"COALESCE(name, '') || '-' || id = 'x-1'",
    u"SUBSTR(name, 2, 3) = LOWER(名前) AND id % 3 = 0",
    u"ROUND(amount / id, 2) >= 1.5 OR name IS NOT NULL",
    u"REPLACE(TRIM(name), 'a', 'bb') NOT IN ('x', 'y')",
    u"-(-id) * 2 + LENGTH(name) <> 0",
    u"NULLIF(flag, TRUE) IS NULL",
};

std::u16string RandomCellText(std::mt19937& random) {
    static const std::u16string texts[] = {u"",     u"0",    u"1",    u"-3.5", u"t",
                                           u"f",    u"yes",  u"abc",  u"NaN",  u"1e400",
                                           u"名前", u"%a%_", u" 12 ", u"0x10", u"\\"};
    std::u16string text = texts[random() % std::size(texts)];
    if (random() % 8 == 0) text += std::u16string(random() % 300, u'a');
    return text;
}

std::u16string RandomText(std::mt19937& random) {
    std::u16string text;
    size_t count = 1 + random() % 24;
    for (size_t i = 0; i < count; ++i) {
        text += kPieces[random() % std::size(kPieces)];
        if (random() % 3 != 0) text += u' ';
    }
    return text;
}

std::u16string Mutate(std::u16string text, std::mt19937& random) {
    static const std::u16string alphabet = u"()',\"%_\\ =<>!|-+*/.;aZ0９\u3000名";
    size_t edits = 1 + random() % 4;
    for (size_t e = 0; e < edits; ++e) {
        size_t pos = text.empty() ? 0 : random() % (text.size() + 1);
        switch (random() % 4) {
            case 0:
                if (pos < text.size()) text.erase(pos, 1 + random() % 3);
                break;
            case 1:
                text.insert(pos, 1, alphabet[random() % alphabet.size()]);
                break;
            case 2:
                if (!text.empty()) {
                    size_t from = random() % text.size();
                    text.insert(pos, text.substr(from, 1 + random() % 8));
                }
                break;
            default:
                if (pos < text.size()) text[pos] = alphabet[random() % alphabet.size()];
                break;
        }
    }
    return text;
}

// Every text either compiles or throws WhereError, and every compiled tree either gives a
// value or throws WhereError on any row. Anything else (another exception, a crash under
// the sanitizers, a hang) fails the test.
TEST(WhereFuzzTest, RandomAndMutatedTexts) {
    std::mt19937 random(0x6b76785);
    int compiled = 0;
    int evaluated = 0;
    int failures = 0;
    CWhereEvaluator evaluator(kColumns);
    for (int i = 0; i < 30000; ++i) {
        std::u16string text =
            i % 2 == 0 ? RandomText(random) : Mutate(kSeeds[random() % kSeeds.size()], random);
        std::unique_ptr<WhereNode> root;
        try {
            CompileWhere(text, root);
        } catch (const WhereError& e) {
            ASSERT_FALSE(e.message.empty()) << U8(text);
            ASSERT_EQ(root, nullptr) << U8(text);
            continue;
        } catch (...) {
            FAIL() << "unexpected exception for " << U8(text);
        }
        if (!root) continue;
        try {
            ResolveWhereColumns(*root, kColumns);
        } catch (const WhereError& e) {
            ASSERT_FALSE(e.message.empty()) << U8(text);
            continue;
        } catch (...) {
            FAIL() << "unexpected exception binding " << U8(text);
        }
        ++compiled;
        for (int r = 0; r < 4; ++r) {
            RowCells row;
            size_t cells = random() % 7 == 0 ? random() % kColumns.size() : kColumns.size();
            for (size_t c = 0; c < cells; ++c) {
                row.push_back(random() % 5 == 0 ? NullCell() : Cell(RandomCellText(random)));
            }
            try {
                const WhereValue& value = evaluator.Evaluate(*root, row);
                ASSERT_GE(static_cast<int>(value.kind), 0);
                ASSERT_LE(static_cast<int>(value.kind), 3);
                ++evaluated;
            } catch (const WhereError& e) {
                ASSERT_FALSE(e.message.empty()) << U8(text);
                ++failures;
            } catch (...) {
                FAIL() << "unexpected exception evaluating " << U8(text);
            }
        }
    }
    // The generator must reach evaluation often, with both outcomes.
    EXPECT_GT(compiled, 1000);
    EXPECT_GT(evaluated, 3000);
    EXPECT_GT(failures, 100);
}

}  // namespace
