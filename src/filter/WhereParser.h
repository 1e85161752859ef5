#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filter/WhereTypes.h"

// How deep parentheses, function calls, NOT chains and unary signs may nest.
inline constexpr int kMaxWhereNesting = 100;

// Compiles a WHERE text into a tree. Leaves root empty for a blank text (spaces, tabs,
// CRs and LFs only). Throws WhereError; root is then empty.
void CompileWhere(const std::u16string& text, std::unique_ptr<WhereNode>& root);

// Recursive-descent parser over a token vector, one operation per precedence level from
// the loosest (ParseOr) to the tightest (ParsePrimary). Each leaves the index on the first
// token it did not use.
class WhereParser {
public:
    explicit WhereParser(std::vector<WhereToken> tokens);

    std::unique_ptr<WhereNode> ParseOr();
    std::unique_ptr<WhereNode> ParseAnd();
    std::unique_ptr<WhereNode> ParseNot();
    std::unique_ptr<WhereNode> ParsePredicate();
    std::unique_ptr<WhereNode> ParseAdditive();
    std::unique_ptr<WhereNode> ParseMultiplicative();
    std::unique_ptr<WhereNode> ParseUnary();
    std::unique_ptr<WhereNode> ParsePrimary();

    const WhereToken& Current() const { return m_tokens[m_index]; }
    size_t Index() const { return m_index; }

private:
    class NestingGuard;

    const WhereToken& Peek() const;
    void Advance();
    void Expect(WhereTokenKind kind);
    static bool IsKeyword(const WhereToken& token, std::u16string_view upperWord);
    bool IsOperator(std::u16string_view op) const;

    std::vector<WhereToken> m_tokens;
    size_t m_index = 0;
    int m_nesting = 0;
};
