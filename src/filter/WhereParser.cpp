#include "filter/WhereParser.h"

#include <utility>

#include "filter/WhereLexer.h"
#include "platform/AsciiCase.h"
#include "platform/WideChar.h"

namespace {

std::unique_ptr<WhereNode> MakeNode(WhereNodeKind kind, std::unique_ptr<WhereNode> first,
                                    std::unique_ptr<WhereNode> second = nullptr) {
    auto node = std::make_unique<WhereNode>(kind);
    node->children.push_back(std::move(first));
    if (second) node->children.push_back(std::move(second));
    return node;
}

[[noreturn]] void ThrowNear(const WhereToken& token) {
    throw WhereError{u"条件式の解析に失敗しました: '" + token.text + u"' の付近"};
}

bool IsBlank(const std::u16string& text) {
    for (char16_t c : text) {
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
    }
    return true;
}

}  // namespace

// Counts one level of nesting for as long as it lives; recursion deeper than the limit
// would only end in a stack overflow.
class WhereParser::NestingGuard {
public:
    explicit NestingGuard(WhereParser& parser) : m_parser(parser) {
        if (++m_parser.m_nesting > kMaxWhereNesting) {
            --m_parser.m_nesting;
            throw WhereError{u"条件式の入れ子が深すぎます(上限 " +
                             platform::FormatDecimal(kMaxWhereNesting) + u" 段)"};
        }
    }
    ~NestingGuard() { --m_parser.m_nesting; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    WhereParser& m_parser;
};

WhereParser::WhereParser(std::vector<WhereToken> tokens) : m_tokens(std::move(tokens)) {
    if (m_tokens.empty() || m_tokens.back().kind != WhereTokenKind::End) {
        m_tokens.push_back(WhereToken{});
    }
}

const WhereToken& WhereParser::Peek() const {
    return m_index + 1 < m_tokens.size() ? m_tokens[m_index + 1] : m_tokens[m_index];
}

void WhereParser::Advance() {
    if (m_index + 1 < m_tokens.size()) ++m_index;
}

void WhereParser::Expect(WhereTokenKind kind) {
    if (Current().kind != kind) {
        std::u16string spelling = kind == WhereTokenKind::LeftParen ? u"'('" : u"')'";
        throw WhereError{u"条件式に " + spelling + u" がありません"};
    }
    Advance();
}

bool WhereParser::IsKeyword(const WhereToken& token, std::u16string_view upperWord) {
    if (token.kind != WhereTokenKind::Identifier || token.quoted) return false;
    if (token.text.size() != upperWord.size()) return false;
    for (size_t i = 0; i < upperWord.size(); ++i) {
        if (platform::ToUpperAscii(token.text[i]) != upperWord[i]) return false;
    }
    return true;
}

bool WhereParser::IsOperator(std::u16string_view op) const {
    return Current().kind == WhereTokenKind::Operator && Current().text == op;
}

std::unique_ptr<WhereNode> WhereParser::ParseOr() {
    NestingGuard guard(*this);
    std::unique_ptr<WhereNode> result = ParseAnd();
    while (IsKeyword(Current(), u"OR")) {
        Advance();
        result = MakeNode(WhereNodeKind::Or, std::move(result), ParseAnd());
    }
    return result;
}

std::unique_ptr<WhereNode> WhereParser::ParseAnd() {
    std::unique_ptr<WhereNode> result = ParseNot();
    while (IsKeyword(Current(), u"AND")) {
        Advance();
        result = MakeNode(WhereNodeKind::And, std::move(result), ParseNot());
    }
    return result;
}

std::unique_ptr<WhereNode> WhereParser::ParseNot() {
    if (!IsKeyword(Current(), u"NOT")) return ParsePredicate();
    NestingGuard guard(*this);
    Advance();
    return MakeNode(WhereNodeKind::Not, ParseNot());
}

std::unique_ptr<WhereNode> WhereParser::ParsePredicate() {
    std::unique_ptr<WhereNode> left = ParseAdditive();
    const WhereToken& token = Current();
    if (token.kind == WhereTokenKind::Operator &&
        (token.text == u"=" || token.text == u"<>" || token.text == u"<" || token.text == u"<=" ||
         token.text == u">" || token.text == u">=")) {
        auto node = std::make_unique<WhereNode>(WhereNodeKind::Compare);
        node->name = token.text;
        Advance();
        node->children.push_back(std::move(left));
        node->children.push_back(ParseAdditive());
        return node;
    }

    bool negated = false;
    if (IsKeyword(Current(), u"NOT")) {
        const WhereToken& next = Peek();
        if (IsKeyword(next, u"LIKE") || IsKeyword(next, u"ILIKE") || IsKeyword(next, u"IN") ||
            IsKeyword(next, u"BETWEEN")) {
            Advance();
            negated = true;
        }
    }

    if (IsKeyword(Current(), u"LIKE") || IsKeyword(Current(), u"ILIKE")) {
        bool caseInsensitive = IsKeyword(Current(), u"ILIKE");
        Advance();
        auto node = MakeNode(WhereNodeKind::Like, std::move(left), ParseAdditive());
        node->caseInsensitive = caseInsensitive;
        node->negated = negated;
        return node;
    }
    if (IsKeyword(Current(), u"IN")) {
        Advance();
        Expect(WhereTokenKind::LeftParen);
        auto node = MakeNode(WhereNodeKind::In, std::move(left));
        node->negated = negated;
        node->children.push_back(ParseAdditive());
        while (Current().kind == WhereTokenKind::Comma) {
            Advance();
            node->children.push_back(ParseAdditive());
        }
        Expect(WhereTokenKind::RightParen);
        return node;
    }
    if (IsKeyword(Current(), u"BETWEEN")) {
        Advance();
        auto node = MakeNode(WhereNodeKind::Between, std::move(left), ParseAdditive());
        node->negated = negated;
        if (!IsKeyword(Current(), u"AND")) throw WhereError{u"BETWEEN には AND が必要です"};
        Advance();
        node->children.push_back(ParseAdditive());
        return node;
    }
    if (IsKeyword(Current(), u"IS")) {
        Advance();
        auto node = MakeNode(WhereNodeKind::IsNull, std::move(left));
        if (IsKeyword(Current(), u"NOT")) {
            Advance();
            node->negated = true;
        }
        if (!IsKeyword(Current(), u"NULL")) {
            throw WhereError{u"IS の後には NULL または NOT NULL を指定してください"};
        }
        Advance();
        return node;
    }
    return left;
}

std::unique_ptr<WhereNode> WhereParser::ParseAdditive() {
    std::unique_ptr<WhereNode> result = ParseMultiplicative();
    while (IsOperator(u"+") || IsOperator(u"-") || IsOperator(u"||")) {
        std::u16string op = Current().text;
        Advance();
        result = MakeNode(WhereNodeKind::Binary, std::move(result), ParseMultiplicative());
        result->name = std::move(op);
    }
    return result;
}

std::unique_ptr<WhereNode> WhereParser::ParseMultiplicative() {
    std::unique_ptr<WhereNode> result = ParseUnary();
    while (IsOperator(u"*") || IsOperator(u"/") || IsOperator(u"%")) {
        std::u16string op = Current().text;
        Advance();
        result = MakeNode(WhereNodeKind::Binary, std::move(result), ParseUnary());
        result->name = std::move(op);
    }
    return result;
}

std::unique_ptr<WhereNode> WhereParser::ParseUnary() {
    bool minus = IsOperator(u"-");
    if (!minus && !IsOperator(u"+")) return ParsePrimary();
    NestingGuard guard(*this);
    Advance();
    if (!minus) return ParseUnary();
    return MakeNode(WhereNodeKind::Negate, ParseUnary());
}

std::unique_ptr<WhereNode> WhereParser::ParsePrimary() {
    const WhereToken& token = Current();
    switch (token.kind) {
        case WhereTokenKind::End:
            throw WhereError{u"条件式が途中で終わっています"};
        case WhereTokenKind::Number: {
            auto node = std::make_unique<WhereNode>(WhereNodeKind::Literal);
            node->value = WhereNumber(token.number);
            Advance();
            return node;
        }
        case WhereTokenKind::String: {
            auto node = std::make_unique<WhereNode>(WhereNodeKind::Literal);
            node->value = WhereText(token.text);
            Advance();
            return node;
        }
        case WhereTokenKind::Identifier: {
            if (IsKeyword(token, u"NULL") || IsKeyword(token, u"TRUE") ||
                IsKeyword(token, u"FALSE")) {
                auto node = std::make_unique<WhereNode>(WhereNodeKind::Literal);
                if (!IsKeyword(token, u"NULL"))
                    node->value = WhereBoolean(IsKeyword(token, u"TRUE"));
                Advance();
                return node;
            }
            std::u16string name = token.text;
            bool quoted = token.quoted;
            Advance();
            if (quoted || Current().kind != WhereTokenKind::LeftParen) {
                auto node = std::make_unique<WhereNode>(WhereNodeKind::Column);
                node->name = std::move(name);
                node->quoted = quoted;
                return node;
            }
            Advance();
            auto node = std::make_unique<WhereNode>(WhereNodeKind::Function);
            for (char16_t& c : name) c = platform::ToUpperAscii(c);
            node->name = std::move(name);
            if (Current().kind != WhereTokenKind::RightParen) {
                node->children.push_back(ParseOr());
                while (Current().kind == WhereTokenKind::Comma) {
                    Advance();
                    node->children.push_back(ParseOr());
                }
            }
            Expect(WhereTokenKind::RightParen);
            return node;
        }
        case WhereTokenKind::LeftParen: {
            Advance();
            std::unique_ptr<WhereNode> inner = ParseOr();
            Expect(WhereTokenKind::RightParen);
            return inner;
        }
        default:
            ThrowNear(token);
    }
}

void CompileWhere(const std::u16string& text, std::unique_ptr<WhereNode>& root) {
    root.reset();
    if (IsBlank(text)) return;
    WhereParser parser(TokenizeWhere(text));
    std::unique_ptr<WhereNode> tree = parser.ParseOr();
    if (parser.Current().kind != WhereTokenKind::End) ThrowNear(parser.Current());
    root = std::move(tree);
}
