#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "filter/WhereParser.h"
#include "filter/WhereTestSupport.h"

namespace {

using where_test::Show;

// The tree of text, "(none)" for no tree, or "!" and the message.
std::string Parse(const std::u16string& text) {
    std::unique_ptr<WhereNode> root = std::make_unique<WhereNode>(WhereNodeKind::Literal);
    try {
        CompileWhere(text, root);
        return root ? Show(*root) : "(none)";
    } catch (const WhereError& e) {
        // A failed compile never leaves a tree behind, not even the one held before.
        EXPECT_EQ(root, nullptr) << U8(text);
        return "!" + U8(e.message);
    }
}

std::string Near(const std::string& token) {
    return "!条件式の解析に失敗しました: '" + token + "' の付近";
}

TEST(WhereParserTest, Trees) {
    struct Case {
        std::u16string text;
        std::string tree;
    };
    const Case cases[] = {
        {u"", "(none)"},
        {u" \t\r\n ", "(none)"},
        {u"a = 1", "=(col(a), 1)"},
        {u"a != 1", "<>(col(a), 1)"},
        {u"a <> 1", "<>(col(a), 1)"},
        {u"price>=10", ">=(col(price), 10)"},
        {u"a < 1 OR a <= 2 OR a > 3", "OR(OR(<(col(a), 1), <=(col(a), 2)), >(col(a), 3))"},
        {u"a AND b AND c", "AND(AND(col(a), col(b)), col(c))"},
        {u"a OR b AND c", "OR(col(a), AND(col(b), col(c)))"},
        {u"(a OR b) AND c", "AND(OR(col(a), col(b)), col(c))"},
        {u"NOT NOT x", "NOT(NOT(col(x)))"},
        {u"NOT a = 1 AND b", "AND(NOT(=(col(a), 1)), col(b))"},
        {u"NOT a LIKE 'x%'", "NOT(LIKE(col(a), 'x%'))"},
        {u"a NOT LIKE 'x%'", "NOT LIKE(col(a), 'x%')"},
        {u"a ilike 'X'", "ILIKE(col(a), 'X')"},
        {u"a not ILike 'x' || b", "NOT ILIKE(col(a), ||('x', col(b)))"},
        {u"x IN (1, 2)", "IN(col(x), 1, 2)"},
        {u"x in ('a')", "IN(col(x), 'a')"},
        {u"x NOT IN (1, NULL)", "NOT IN(col(x), 1, NULL)"},
        {u"x IN (1 + 2, -y)", "IN(col(x), +(1, 2), NEG(col(y)))"},
        {u"x BETWEEN 1 AND 5 AND y = 2", "AND(BETWEEN(col(x), 1, 5), =(col(y), 2))"},
        {u"x NOT BETWEEN a - 1 AND b * 2", "NOT BETWEEN(col(x), -(col(a), 1), *(col(b), 2))"},
        {u"x IS NULL", "ISNULL(col(x))"},
        {u"x is not null", "ISNOTNULL(col(x))"},
        {u"-2 * 3", "*(NEG(2), 3)"},
        {u"- -5", "NEG(NEG(5))"},
        {u"+5", "5"},
        {u"+-+x", "NEG(col(x))"},
        {u"a || b = c", "=(||(col(a), col(b)), col(c))"},
        {u"1 + 2 * 3", "+(1, *(2, 3))"},
        {u"1 - 2 - 3", "-(-(1, 2), 3)"},
        {u"a || b + c", "+(||(col(a), col(b)), col(c))"},
        {u"8 / 4 % 3 * 2", "*(%(/(8, 4), 3), 2)"},
        {u"lower(name)", "FN:LOWER(col(name))"},
        {u"Char_Length(é)", "FN:CHAR_LENGTH(col(é))"},
        {u"coalesce()", "FN:COALESCE()"},
        {u"f(a, b = 1 OR c)", "FN:F(col(a), OR(=(col(b), 1), col(c)))"},
        {u"f(g(1), (2))", "FN:F(FN:G(1), 2)"},
        {u"\"NULL\" IS NULL", "ISNULL(qcol(NULL))"},
        {u"null", "NULL"},
        {u"True OR faLSE", "OR(TRUE, FALSE)"},
        {u"'abc'", "'abc'"},
        {u"1.5e1", "15"},
        // Keywords are words only where the grammar asks for one.
        {u"and = 1", "=(col(and), 1)"},
        {u"in = 1 AND like = 2", "AND(=(col(in), 1), =(col(like), 2))"},
        {u"x = between", "=(col(x), col(between))"},
        {u"\"a\"\"b\" = 1", "=(qcol(a\"b), 1)"},
        {u"((a = 1))", "=(col(a), 1)"},
        {u"ＮＯＴ = 1", "=(col(ＮＯＴ), 1)"},
        {u"名前 LIKE '%店%'", "LIKE(col(名前), '%店%')"},
        {u"a＝1", "col(a＝1)"},
        {u"a\u3000=\u30001", "=(col(a), 1)"},
    };
    for (const Case& c : cases) EXPECT_EQ(Parse(c.text), c.tree) << U8(c.text);
}

TEST(WhereParserTest, Errors) {
    const std::string end = "!条件式が途中で終わっています";
    const std::string noOpen = "!条件式に '(' がありません";
    const std::string noClose = "!条件式に ')' がありません";
    struct Case {
        std::u16string text;
        std::string message;
    };
    const Case cases[] = {
        {u"\u3000", end},
        {u"a =", end},
        {u"NOT", end},
        {u"a AND", end},
        {u"x BETWEEN 1 AND", end},
        {u"f(", end},
        {u"a = b = c", Near("=")},
        {u"a NOT = 1", Near("NOT")},
        {u"a not = 1", Near("not")},
        {u"a NOT IS NULL", Near("NOT")},
        {u"count(*)", Near("*")},
        {u"\"lower\"(name)", Near("")},
        {u"x IS NULL = y", Near("=")},
        {u"x IN ()", Near("")},
        {u"f(1,)", Near("")},
        {u")", Near("")},
        {u",", Near("")},
        {u"a = 1)", Near("")},
        {u"= 1", Near("=")},
        {u"a * / b", Near("/")},
        {u"2e", Near("e")},
        {u"a b", Near("b")},
        {u"'abc' 'def'", Near("def")},
        {u"1 2.50", Near("2.50")},
        {u"x IN 1", noOpen},
        {u"x NOT IN y", noOpen},
        {u"x IN (1, 2", noClose},
        {u"x IN (1 2)", noClose},
        {u"(a = 1", noClose},
        {u"f(a", noClose},
        {u"f(a b)", noClose},
        {u"x BETWEEN 1 OR 2", "!BETWEEN には AND が必要です"},
        {u"x BETWEEN 1", "!BETWEEN には AND が必要です"},
        {u"x IS 1", "!IS の後には NULL または NOT NULL を指定してください"},
        {u"x IS NOT 1", "!IS の後には NULL または NOT NULL を指定してください"},
        {u"x IS \"NULL\"", "!IS の後には NULL または NOT NULL を指定してください"},
        {u"x.y", "!条件式に不正な文字があります: ."},
        {u"a = 1; DROP TABLE t", "!条件式に不正な文字があります: ;"},
    };
    for (const Case& c : cases) EXPECT_EQ(Parse(c.text), c.message) << U8(c.text);
}

TEST(WhereParserTest, NotEqualSpellingsGiveTheSameTree) {
    EXPECT_EQ(Parse(u"a != 1"), Parse(u"a <> 1"));
}

std::u16string Repeat(const std::u16string& piece, int count) {
    std::u16string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

TEST(WhereParserTest, NestingIsBounded) {
    const std::string tooDeep = "!" + U8(u"条件式の入れ子が深すぎます(上限 100 段)");
    const int ok = kMaxWhereNesting - 1;  // the whole text is one level already
    struct Case {
        std::u16string open;
        std::u16string close;
    };
    const Case forms[] = {{u"(", u")"}, {u"f(", u")"}, {u"NOT ", u""}, {u"-", u""}, {u"+", u""}};
    for (const Case& form : forms) {
        std::u16string deepest = Repeat(form.open, ok) + u"1" + Repeat(form.close, ok);
        EXPECT_NE(Parse(deepest)[0], '!') << U8(form.open);
        std::u16string over = Repeat(form.open, ok + 1) + u"1" + Repeat(form.close, ok + 1);
        EXPECT_EQ(Parse(over), tooDeep) << U8(form.open);
        // Far beyond the limit the parser must still stop with the message, not overflow.
        std::u16string huge = Repeat(form.open, 20000) + u"1" + Repeat(form.close, 20000);
        EXPECT_EQ(Parse(huge), tooDeep) << U8(form.open);
    }
    // Nesting levels add up across forms.
    std::u16string mixed = Repeat(u"(NOT -", 34) + u"1" + Repeat(u")", 34);
    EXPECT_EQ(Parse(mixed), tooDeep);
}

TEST(WhereParserTest, LongFlatChainsAreNotNesting) {
    std::u16string text = u"a = 0";
    for (int i = 1; i < 20000; ++i) text += u" OR a = 1 AND b || c + 1 - 2";
    std::unique_ptr<WhereNode> root;
    CompileWhere(text, root);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->kind, WhereNodeKind::Or);
    root.reset();  // a 20,000-deep left spine is destroyed without deep recursion
}

}  // namespace
