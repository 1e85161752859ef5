#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dump/DumpModel.h"
#include "filter/WhereEval.h"
#include "filter/WhereParser.h"
#include "filter/WhereTypes.h"
#include "store/CellValue.h"
#include "support/TestPaths.h"

namespace where_test {

inline std::string Number(double x) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", x);
    return buffer;
}

// A value as kind and content: null, true, false, num:2.5, text:abc.
inline std::string Show(const WhereValue& v) {
    switch (v.kind) {
        case WhereValueKind::Null:
            return "null";
        case WhereValueKind::Number:
            return "num:" + Number(v.number);
        case WhereValueKind::Text:
            return "text:" + U8(v.text);
        case WhereValueKind::Boolean:
            return v.boolean ? "true" : "false";
    }
    return "?";
}

// A tree in prefix form: =(col(a), 1), NOT LIKE(col(a), 'x%'), FN:LOWER(col(b)).
inline std::string Show(const WhereNode& n) {
    std::string head;
    std::string neg = n.negated ? "NOT " : "";
    switch (n.kind) {
        case WhereNodeKind::Literal:
            if (n.value.kind == WhereValueKind::Null) return "NULL";
            if (n.value.kind == WhereValueKind::Number) return Number(n.value.number);
            if (n.value.kind == WhereValueKind::Text) return "'" + U8(n.value.text) + "'";
            return n.value.boolean ? "TRUE" : "FALSE";
        case WhereNodeKind::Column:
            return (n.quoted ? "qcol(" : "col(") + U8(n.name) + ")";
        case WhereNodeKind::And:
            head = "AND";
            break;
        case WhereNodeKind::Or:
            head = "OR";
            break;
        case WhereNodeKind::Not:
            head = "NOT";
            break;
        case WhereNodeKind::Compare:
        case WhereNodeKind::Binary:
            head = U8(n.name);
            break;
        case WhereNodeKind::Like:
            head = neg + (n.caseInsensitive ? "ILIKE" : "LIKE");
            break;
        case WhereNodeKind::IsNull:
            head = n.negated ? "ISNOTNULL" : "ISNULL";
            break;
        case WhereNodeKind::In:
            head = neg + "IN";
            break;
        case WhereNodeKind::Between:
            head = neg + "BETWEEN";
            break;
        case WhereNodeKind::Function:
            head = "FN:" + U8(n.name);
            break;
        case WhereNodeKind::Negate:
            head = "NEG";
            break;
    }
    std::string out = head + "(";
    for (size_t i = 0; i < n.children.size(); ++i) {
        if (i > 0) out += ", ";
        out += Show(*n.children[i]);
    }
    return out + ")";
}

inline ColumnInfo Column(const std::u16string& name, const std::u16string& type) {
    ColumnInfo column;
    column.name = name;
    column.type = type;
    return column;
}

inline CellValue Cell(const std::u16string& text) {
    return CellValue{false, text};
}

inline CellValue NullCell() {
    return CellValue{true, u""};
}

// Compiles, binds and evaluates text on one row: the value as Show gives it, or "!" and
// the WhereError message.
inline std::string Eval(const std::u16string& text, const RowCells& row,
                        const std::vector<ColumnInfo>& columns) {
    try {
        std::unique_ptr<WhereNode> root;
        CompileWhere(text, root);
        if (!root) return "(none)";
        ResolveWhereColumns(*root, columns);
        return Show(EvaluateWhere(*root, row, columns));
    } catch (const WhereError& e) {
        return "!" + U8(e.message);
    }
}

}  // namespace where_test
