#include "filter/WhereEval.h"

#include <cmath>

#include "filter/LikeMatch.h"
#include "platform/AsciiCase.h"

using namespace where_detail;

namespace {

int32_t FindColumn(const WhereNode& node, const std::vector<ColumnInfo>& columns) {
    if (node.quoted) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == node.name) return static_cast<int32_t>(i);
        }
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (platform::EqualsIgnoringAsciiCase(columns[i].name, node.name))
            return static_cast<int32_t>(i);
    }
    return -1;
}

bool IsNull(const WhereValue& value) {
    return value.kind == WhereValueKind::Null;
}

}  // namespace

void ResolveWhereColumns(WhereNode& root, const std::vector<ColumnInfo>& columns) {
    // Without recursion: a long AND chain is as deep as it is long.
    std::vector<WhereNode*> pending{&root};
    while (!pending.empty()) {
        WhereNode* node = pending.back();
        pending.pop_back();
        if (node->kind == WhereNodeKind::Column) {
            node->columnIndex = FindColumn(*node, columns);
            if (node->columnIndex < 0) {
                throw WhereError{u"カラム " + node->name + u" はテーブルに存在しません"};
            }
        }
        // Pushed in reverse so the children are visited left to right.
        for (size_t i = node->children.size(); i-- > 0;) {
            if (node->children[i]) pending.push_back(node->children[i].get());
        }
    }
}

namespace {

// Keeps the spine stack at its size on entry, whatever happens in between.
class SpineMark {
public:
    explicit SpineMark(std::vector<const WhereNode*>& spine)
        : m_spine(spine), m_base(spine.size()) {}
    ~SpineMark() { m_spine.resize(m_base); }
    SpineMark(const SpineMark&) = delete;
    SpineMark& operator=(const SpineMark&) = delete;
    size_t Base() const { return m_base; }

private:
    std::vector<const WhereNode*>& m_spine;
    size_t m_base;
};

}  // namespace

CWhereEvaluator::CWhereEvaluator(const std::vector<ColumnInfo>& columns)
    : m_columns(columns), m_classes(columns.size(), ColumnClass::Unknown) {}

const WhereValue& CWhereEvaluator::Evaluate(const WhereNode& node, const RowCells& row) {
    m_row = &row;
    m_slotTop = 0;
    m_spine.clear();
    Eval(node, m_result);
    return m_result;
}

const WhereValue& CWhereEvaluator::CallFunction(const WhereNode& node, const RowCells& row) {
    m_row = &row;
    m_slotTop = 0;
    m_spine.clear();
    EvalFunction(node, m_result);
    return m_result;
}

const WhereValue& CWhereEvaluator::Operand(const WhereNode& node, WhereValue& scratch) {
    // Literals are read in place: no copy of a pattern or a long text per row.
    if (node.kind == WhereNodeKind::Literal) return node.value;
    Eval(node, scratch);
    return scratch;
}

ColumnClass CWhereEvaluator::ClassOf(size_t index) {
    if (index >= m_classes.size()) return ColumnClass::Text;
    if (m_classes[index] == ColumnClass::Unknown) {
        m_classes[index] = ClassifyColumn(m_columns[index]);
    }
    return m_classes[index];
}

void CWhereEvaluator::ReadColumn(int32_t index, WhereValue& out) {
    if (index < 0 || static_cast<size_t>(index) >= m_row->size()) {
        SetNull(out);
        return;
    }
    size_t i = static_cast<size_t>(index);
    ReadCellValue((*m_row)[i], ClassOf(i), out);
}

// The text form of an operand; false for Null. A text column's cell is used in place, so
// LIKE on a text column copies nothing per row.
bool CWhereEvaluator::TextOperand(const WhereNode& node, WhereValue& scratch,
                                  ValueTextBuffer& buffer, std::u16string_view& text) {
    if (node.kind == WhereNodeKind::Column && node.columnIndex >= 0 &&
        static_cast<size_t>(node.columnIndex) < m_row->size() &&
        ClassOf(static_cast<size_t>(node.columnIndex)) == ColumnClass::Text) {
        const CellValue& cell = (*m_row)[static_cast<size_t>(node.columnIndex)];
        if (cell.isNull) return false;
        text = cell.text;
        return true;
    }
    const WhereValue& value = Operand(node, scratch);
    if (IsNull(value)) return false;
    text = ValueTextView(value, buffer);
    return true;
}

void CWhereEvaluator::Eval(const WhereNode& node, WhereValue& out) {
    switch (node.kind) {
        case WhereNodeKind::Literal:
            out = node.value;
            return;
        case WhereNodeKind::Column:
            ReadColumn(node.columnIndex, out);
            return;
        case WhereNodeKind::And:
        case WhereNodeKind::Or:
            EvalLogicChain(node, out);
            return;
        case WhereNodeKind::Not: {
            Slots slots(*this, 1);
            const WhereValue& value = Operand(*node.children[0], slots[0]);
            if (IsNull(value)) {
                SetNull(out);
            } else {
                SetBoolean(out, !IsWhereValueTrue(value));
            }
            return;
        }
        case WhereNodeKind::Compare:
            EvalCompare(node, out);
            return;
        case WhereNodeKind::Like:
            EvalLike(node, out);
            return;
        case WhereNodeKind::IsNull: {
            Slots slots(*this, 1);
            const WhereValue& value = Operand(*node.children[0], slots[0]);
            SetBoolean(out, IsNull(value) != node.negated);
            return;
        }
        case WhereNodeKind::In:
            EvalIn(node, out);
            return;
        case WhereNodeKind::Between:
            EvalBetween(node, out);
            return;
        case WhereNodeKind::Binary:
            EvalBinaryChain(node, out);
            return;
        case WhereNodeKind::Function:
            EvalFunction(node, out);
            return;
        case WhereNodeKind::Negate: {
            Slots slots(*this, 1);
            const WhereValue& value = Operand(*node.children[0], slots[0]);
            if (IsNull(value)) {
                SetNull(out);
                return;
            }
            double number = 0;
            if (!WhereValueToNumber(value, number)) {
                throw WhereError{u"単項マイナスには数値を指定してください"};
            }
            SetNumber(out, -number);
            return;
        }
    }
    SetNull(out);
}

// AND and OR chains are left-deep (a AND b AND c is And(And(a, b), c)); they are walked as
// one list so that a condition of thousands of terms needs no deep recursion. The order of
// evaluation and the short cut are those of the nested form.
void CWhereEvaluator::EvalLogicChain(const WhereNode& node, WhereValue& out) {
    const bool isAnd = node.kind == WhereNodeKind::And;
    SpineMark mark(m_spine);
    const WhereNode* first = &node;
    while (first->kind == node.kind) {
        m_spine.push_back(first);
        first = first->children[0].get();
    }
    Slots slots(*this, 1);
    const WhereValue* value = &Operand(*first, slots[0]);
    bool sawNull = false;
    for (size_t k = m_spine.size();;) {
        if (IsNull(*value)) {
            sawNull = true;
        } else if (IsWhereValueTrue(*value) != isAnd) {
            // AND met a false term, OR a true one.
            SetBoolean(out, !isAnd);
            return;
        }
        if (k == mark.Base()) break;
        --k;
        value = &Operand(*m_spine[k]->children[1], slots[0]);
    }
    if (sawNull) {
        SetNull(out);
    } else {
        SetBoolean(out, isAnd);
    }
}

// Arithmetic and "||" chains, left-deep like AND chains, folded from the left.
void CWhereEvaluator::EvalBinaryChain(const WhereNode& node, WhereValue& out) {
    SpineMark mark(m_spine);
    const WhereNode* first = &node;
    while (first->kind == WhereNodeKind::Binary) {
        m_spine.push_back(first);
        first = first->children[0].get();
    }
    Slots slots(*this, 1);
    Eval(*first, out);
    for (size_t k = m_spine.size(); k > mark.Base();) {
        --k;
        const WhereNode* op = m_spine[k];
        const WhereValue& right = Operand(*op->children[1], slots[0]);
        ApplyBinary(op->name, out, right);
    }
}

void CWhereEvaluator::ApplyBinary(const std::u16string& op, WhereValue& acc,
                                  const WhereValue& right) {
    if (IsNull(acc) || IsNull(right)) {
        SetNull(acc);
        return;
    }
    if (op == u"||") {
        ValueTextBuffer rightBuffer;
        std::u16string_view rightText = ValueTextView(right, rightBuffer);
        if (acc.kind != WhereValueKind::Text) {
            ValueTextBuffer accBuffer;
            SetText(acc, ValueTextView(acc, accBuffer));
        }
        if (acc.text.size() + rightText.size() > kMaxWhereTextLength) {
            throw WhereError{u"条件式で作られる文字列が長すぎます"};
        }
        acc.text.append(rightText);
        return;
    }
    double left = 0;
    double r = 0;
    if (!WhereValueToNumber(acc, left) || !WhereValueToNumber(right, r)) {
        throw WhereError{u"演算子 " + op + u" には数値を指定してください"};
    }
    double result = 0;
    char16_t c = op.empty() ? u'?' : op[0];
    if ((c == u'/' || c == u'%') && r == 0) throw WhereError{u"0 で除算しました"};
    switch (c) {
        case u'+':
            result = left + r;
            break;
        case u'-':
            result = left - r;
            break;
        case u'*':
            result = left * r;
            break;
        case u'/':
            result = left / r;
            break;
        case u'%':
            result = std::fmod(left, r);
            break;
        default:
            throw WhereError{u"演算子 " + op + u" には数値を指定してください"};
    }
    SetNumber(acc, result);
}

void CWhereEvaluator::EvalCompare(const WhereNode& node, WhereValue& out) {
    Slots slots(*this, 2);
    const WhereValue& left = Operand(*node.children[0], slots[0]);
    const WhereValue& right = Operand(*node.children[1], slots[1]);
    if (IsNull(left) || IsNull(right)) {
        SetNull(out);
        return;
    }
    int c = CompareWhereValues(left, right);
    const std::u16string& op = node.name;
    bool result = false;
    if (op == u"=") {
        result = c == 0;
    } else if (op == u"<>") {
        result = c != 0;
    } else if (op == u"<") {
        result = c < 0;
    } else if (op == u"<=") {
        result = c <= 0;
    } else if (op == u">") {
        result = c > 0;
    } else if (op == u">=") {
        result = c >= 0;
    }
    SetBoolean(out, result);
}

void CWhereEvaluator::EvalLike(const WhereNode& node, WhereValue& out) {
    Slots slots(*this, 2);
    ValueTextBuffer subjectBuffer;
    ValueTextBuffer patternBuffer;
    std::u16string_view subject;
    std::u16string_view pattern;
    // Both sides are evaluated before either is looked at.
    bool hasSubject = TextOperand(*node.children[0], slots[0], subjectBuffer, subject);
    bool hasPattern = TextOperand(*node.children[1], slots[1], patternBuffer, pattern);
    if (!hasSubject || !hasPattern) {
        SetNull(out);
        return;
    }
    SetBoolean(out, MatchLikePattern(subject, pattern, node.caseInsensitive) != node.negated);
}

void CWhereEvaluator::EvalIn(const WhereNode& node, WhereValue& out) {
    Slots slots(*this, 2);
    const WhereValue& subject = Operand(*node.children[0], slots[0]);
    if (IsNull(subject)) {
        SetNull(out);
        return;
    }
    bool sawNull = false;
    for (size_t i = 1; i < node.children.size(); ++i) {
        const WhereValue& item = Operand(*node.children[i], slots[1]);
        if (IsNull(item)) {
            sawNull = true;
        } else if (CompareWhereValues(subject, item) == 0) {
            SetBoolean(out, !node.negated);
            return;
        }
    }
    if (sawNull) {
        SetNull(out);
    } else {
        SetBoolean(out, node.negated);
    }
}

// BETWEEN is lower <= subject AND subject <= upper in three-valued logic: a bound that
// already excludes the subject gives false even when the other bound is Null, so that
// NOT BETWEEN keeps such rows as SQL does.
void CWhereEvaluator::EvalBetween(const WhereNode& node, WhereValue& out) {
    Slots slots(*this, 3);
    const WhereValue& subject = Operand(*node.children[0], slots[0]);
    const WhereValue& lower = Operand(*node.children[1], slots[1]);
    const WhereValue& upper = Operand(*node.children[2], slots[2]);
    if (IsNull(subject)) {
        SetNull(out);
        return;
    }
    bool aboveLower = IsNull(lower) || CompareWhereValues(subject, lower) >= 0;
    bool belowUpper = IsNull(upper) || CompareWhereValues(subject, upper) <= 0;
    if (!aboveLower || !belowUpper) {
        SetBoolean(out, node.negated);
    } else if (IsNull(lower) || IsNull(upper)) {
        SetNull(out);
    } else {
        SetBoolean(out, !node.negated);
    }
}

WhereValue EvaluateWhere(const WhereNode& node, const RowCells& row,
                         const std::vector<ColumnInfo>& columns) {
    CWhereEvaluator evaluator(columns);
    return evaluator.Evaluate(node, row);
}

WhereValue CallWhereFunction(const WhereNode& node, const RowCells& row,
                             const std::vector<ColumnInfo>& columns) {
    CWhereEvaluator evaluator(columns);
    return evaluator.CallFunction(node, row);
}
