#include "filter/WhereLexer.h"

#include <string_view>

#include "platform/WideChar.h"

namespace {

bool IsIdentifierStart(char16_t c) {
    return platform::IsWideAlpha(c) || c == u'_' || c > 0x7F;
}

// White space ends an identifier even above U+007F: an ideographic space typed between
// words must separate them, as it does everywhere else in the text.
bool IsIdentifierPart(char16_t c) {
    if (c > 0x7F) return !platform::IsWideSpace(c);
    return platform::IsWideAlpha(c) || platform::IsWideDigit(c) || c == u'_' || c == u'$';
}

// Reads a quoted run starting at the opening quote; a doubled quote stands for one and a
// missing closing quote runs to the end of the text.
std::u16string ReadQuoted(const std::u16string& text, size_t& pos, char16_t quote) {
    std::u16string content;
    ++pos;
    while (pos < text.size()) {
        char16_t c = text[pos++];
        if (c != quote) {
            content.push_back(c);
        } else if (pos < text.size() && text[pos] == quote) {
            content.push_back(quote);
            ++pos;
        } else {
            break;
        }
    }
    return content;
}

// The value of a number lexeme. Full-width and other Unicode digits start and continue a
// number, so they must also count in its value, not read as nothing.
double NumberValue(const std::u16string& lexeme) {
    std::u16string ascii = lexeme;
    for (char16_t& c : ascii) {
        int digit = platform::WideDigitValue(c);
        if (digit >= 0) c = static_cast<char16_t>(u'0' + digit);
    }
    double value = 0;
    platform::WideToDouble(ascii.data(), ascii.size(), value);
    return value;
}

size_t ScanNumber(const std::u16string& text, size_t pos) {
    size_t end = pos;
    while (end < text.size() && (platform::IsWideDigit(text[end]) || text[end] == u'.')) ++end;
    if (end < text.size() && (text[end] == u'e' || text[end] == u'E')) {
        size_t look = end + 1;
        if (look < text.size() && (text[look] == u'+' || text[look] == u'-')) ++look;
        if (look < text.size() && platform::IsWideDigit(text[look])) {
            end = look;
            while (end < text.size() && platform::IsWideDigit(text[end])) ++end;
        }
    }
    return end;
}

constexpr std::u16string_view kOperators[] = {u"<>", u"!=", u"<=", u">=", u"||", u"=", u"<",
                                              u">",  u"+",  u"-",  u"*",  u"/",  u"%"};

}  // namespace

std::vector<WhereToken> TokenizeWhere(const std::u16string& text) {
    std::vector<WhereToken> tokens;
    size_t pos = 0;
    while (pos < text.size()) {
        char16_t c = text[pos];
        if (platform::IsWideSpace(c)) {
            ++pos;
            continue;
        }
        WhereToken token;
        if (c == u'\'') {
            token.kind = WhereTokenKind::String;
            token.text = ReadQuoted(text, pos, u'\'');
        } else if (c == u'"') {
            token.kind = WhereTokenKind::Identifier;
            token.quoted = true;
            token.text = ReadQuoted(text, pos, u'"');
        } else if (platform::IsWideDigit(c) ||
                   (c == u'.' && pos + 1 < text.size() && platform::IsWideDigit(text[pos + 1]))) {
            size_t end = ScanNumber(text, pos);
            token.kind = WhereTokenKind::Number;
            token.text = text.substr(pos, end - pos);
            token.number = NumberValue(token.text);
            pos = end;
        } else if (IsIdentifierStart(c)) {
            size_t end = pos + 1;
            while (end < text.size() && IsIdentifierPart(text[end])) ++end;
            token.kind = WhereTokenKind::Identifier;
            token.text = text.substr(pos, end - pos);
            pos = end;
        } else if (c == u'(' || c == u')' || c == u',') {
            token.kind = c == u'('   ? WhereTokenKind::LeftParen
                         : c == u')' ? WhereTokenKind::RightParen
                                     : WhereTokenKind::Comma;
            ++pos;
        } else {
            std::u16string_view rest(text.data() + pos, text.size() - pos);
            for (std::u16string_view op : kOperators) {
                if (rest.substr(0, op.size()) == op) {
                    token.kind = WhereTokenKind::Operator;
                    token.text = op == u"!=" ? u"<>" : std::u16string(op);
                    pos += op.size();
                    break;
                }
            }
            if (token.kind != WhereTokenKind::Operator) {
                throw WhereError{u"条件式に不正な文字があります: " + std::u16string(1, c)};
            }
        }
        tokens.push_back(std::move(token));
    }
    tokens.push_back(WhereToken{});
    return tokens;
}
