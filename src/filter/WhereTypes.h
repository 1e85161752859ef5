#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The one exception of the WHERE language; message is shown to the user as it is.
struct WhereError {
    std::u16string message;
};

enum class WhereValueKind : int32_t {
    Null = 0,
    Number = 1,
    Text = 2,
    Boolean = 3,
};

// A literal or the value of one evaluation step. Only the field named by kind matters;
// the others keep their neutral values.
struct WhereValue {
    WhereValueKind kind = WhereValueKind::Null;
    double number = 0;
    std::u16string text;
    bool boolean = false;
};

WhereValue WhereNumber(double number);
WhereValue WhereText(std::u16string text);
WhereValue WhereBoolean(bool value);

enum class WhereTokenKind : int32_t {
    End = 0,
    Number = 1,
    String = 2,
    Identifier = 3,
    Operator = 4,
    LeftParen = 5,
    RightParen = 6,
    Comma = 7,
};

struct WhereToken {
    WhereTokenKind kind = WhereTokenKind::End;
    std::u16string text;
    bool quoted = false;
    double number = 0;
};

enum class WhereNodeKind : int32_t {
    Literal = 0,
    Column = 1,
    And = 2,
    Or = 3,
    Not = 4,
    Compare = 5,
    Like = 6,
    IsNull = 7,
    In = 8,
    Between = 9,
    Binary = 10,
    Function = 11,
    Negate = 12,
};

struct WhereNode {
    explicit WhereNode(WhereNodeKind nodeKind) : kind(nodeKind) {}
    // Long AND/OR chains make deep trees; they are taken apart without recursion.
    ~WhereNode();
    WhereNode(const WhereNode&) = delete;
    WhereNode& operator=(const WhereNode&) = delete;

    WhereNodeKind kind;
    WhereValue value;
    std::u16string name;
    bool quoted = false;
    int32_t columnIndex = -1;
    bool negated = false;
    bool caseInsensitive = false;
    std::vector<std::unique_ptr<WhereNode>> children;
};
