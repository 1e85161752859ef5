#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/WhereLexer.h"
#include "filter/WhereTestSupport.h"

namespace {

using where_test::Number;

// Tokens as "Id(a) Op(>=) Num(10=10) Str(x) QId(y) ( ) , End", or "!" and the message.
std::string Lex(const std::u16string& text) {
    try {
        std::string out;
        for (const WhereToken& t : TokenizeWhere(text)) {
            if (!out.empty()) out += ' ';
            switch (t.kind) {
                case WhereTokenKind::End:
                    out += "End";
                    break;
                case WhereTokenKind::Number:
                    out += "Num(" + U8(t.text) + "=" + Number(t.number) + ")";
                    break;
                case WhereTokenKind::String:
                    out += "Str(" + U8(t.text) + ")";
                    break;
                case WhereTokenKind::Identifier:
                    out += (t.quoted ? "QId(" : "Id(") + U8(t.text) + ")";
                    break;
                case WhereTokenKind::Operator:
                    out += "Op(" + U8(t.text) + ")";
                    break;
                case WhereTokenKind::LeftParen:
                    out += "(";
                    break;
                case WhereTokenKind::RightParen:
                    out += ")";
                    break;
                case WhereTokenKind::Comma:
                    out += ",";
                    break;
            }
            if (t.kind != WhereTokenKind::Identifier && t.quoted) out += "[quoted?]";
        }
        return out;
    } catch (const WhereError& e) {
        return "!" + U8(e.message);
    }
}

TEST(WhereLexerTest, Tokens) {
    struct Case {
        std::u16string text;
        std::string tokens;
    };
    const Case cases[] = {
        {u"", "End"},
        {u" \t\r\n\v\f", "End"},
        {u"\u3000\u3000", "End"},
        {u"price>=10", "Id(price) Op(>=) Num(10=10) End"},
        {u"a != 1", "Id(a) Op(<>) Num(1=1) End"},
        {u"a<>1", "Id(a) Op(<>) Num(1=1) End"},
        {u"<=>", "Op(<=) Op(>) End"},
        {u"a||b", "Id(a) Op(||) Id(b) End"},
        {u"1+2-3*4/5%6",
         "Num(1=1) Op(+) Num(2=2) Op(-) Num(3=3) Op(*) Num(4=4) Op(/) Num(5=5) "
         "Op(%) Num(6=6) End"},
        {u"(a,b)", "( Id(a) , Id(b) ) End"},
        // Strings: doubled quotes, unterminated, empty.
        {u"'it''s'", "Str(it's) End"},
        {u"'abc", "Str(abc) End"},
        {u"''", "Str() End"},
        {u"''''", "Str(') End"},
        {u"'a\"b'", "Str(a\"b) End"},
        {u"'x'y", "Str(x) Id(y) End"},
        // Quoted identifiers.
        {u"\"a\"\"b\"", "QId(a\"b) End"},
        {u"\"abc", "QId(abc) End"},
        {u"\"NULL\"", "QId(NULL) End"},
        {u"\"\"", "QId() End"},
        // Numbers.
        {u".5", "Num(.5=0.5) End"},
        {u"5.", "Num(5.=5) End"},
        {u"1.2.3", "Num(1.2.3=1.2) End"},
        {u"1e5", "Num(1e5=100000) End"},
        {u"1E-2", "Num(1E-2=0.01) End"},
        {u"1e+5x", "Num(1e+5=100000) Id(x) End"},
        {u"2e", "Num(2=2) Id(e) End"},
        {u"1e+", "Num(1=1) Id(e) Op(+) End"},
        {u"3ex", "Num(3=3) Id(ex) End"},
        {u"007", "Num(007=7) End"},
        {u"１２", "Num(１２=12) End"},
        {u"１.５", "Num(１.５=1.5) End"},
        {u"1e３", "Num(1e３=1000) End"},
        {u"\u0661\u0662", "Num(\u0661\u0662=12) End"},
        // Identifiers: letters, digits, "_", "$" and everything above U+007F.
        {u"_x$1", "Id(_x$1) End"},
        {u"名前='x'", "Id(名前) Op(=) Str(x) End"},
        {u"a＝1", "Id(a＝1) End"},
        {u"f（x）", "Id(f（x）) End"},
        {u"é1", "Id(é1) End"},
        {u"ＮＯＴ", "Id(ＮＯＴ) End"},
        // White space ends an identifier, also the ideographic space.
        {u"a\u3000b", "Id(a) Id(b) End"},
        {u"名前\u3000=\u3000'x'", "Id(名前) Op(=) Str(x) End"},
        {u"a\u00A0b", "Id(a) Id(b) End"},
    };
    for (const Case& c : cases) EXPECT_EQ(Lex(c.text), c.tokens) << U8(c.text);
}

TEST(WhereLexerTest, InvalidCharacters) {
    struct Case {
        std::u16string text;
        std::u16string bad;
    };
    const Case cases[] = {
        {u"a;", u";"},
        {u"!", u"!"},
        {u"a | b", u"|"},
        {u"a & b", u"&"},
        {u"[a]", u"["},
        {u"a\\b", u"\\"},
        {u"x.y", u"."},
        {u"$x", u"$"},
        {u"a ? b", u"?"},
        {u"a @ b", u"@"},
        {u"#", u"#"},
        {u"`a`", u"`"},
        {u"{", u"{"},
        {u"a:b", u":"},
        {u"~", u"~"},
        {u"^", u"^"},
        {std::u16string(u"a\0b", 3), std::u16string(1, u'\0')},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Lex(c.text), "!" + U8(u"条件式に不正な文字があります: " + c.bad)) << U8(c.text);
    }
}

}  // namespace
