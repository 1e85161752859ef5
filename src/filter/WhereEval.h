#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dump/DumpModel.h"
#include "filter/WhereTypes.h"
#include "filter/WhereValues.h"
#include "store/CellValue.h"

// Binds every Column node of the tree to a position in columns (an exact match of a quoted
// name first, then ignoring ASCII case). Throws WhereError for a name with no column.
void ResolveWhereColumns(WhereNode& root, const std::vector<ColumnInfo>& columns);

// The value of a bound tree for one row. Throws WhereError.
WhereValue EvaluateWhere(const WhereNode& node, const RowCells& row,
                         const std::vector<ColumnInfo>& columns);
// The value of one Function node for one row. Throws WhereError.
WhereValue CallWhereFunction(const WhereNode& node, const RowCells& row,
                             const std::vector<ColumnInfo>& columns);

// Evaluates bound trees row after row. It keeps its scratch values and each column's type
// class between rows, so a filtering run does not allocate per row once it has warmed up.
// Holds a reference to columns, which must outlive it.
class CWhereEvaluator {
public:
    explicit CWhereEvaluator(const std::vector<ColumnInfo>& columns);
    CWhereEvaluator(const CWhereEvaluator&) = delete;
    CWhereEvaluator& operator=(const CWhereEvaluator&) = delete;

    // The value of node for row; the reference is valid until the next call.
    const WhereValue& Evaluate(const WhereNode& node, const RowCells& row);
    // The value of a Function node for row; valid until the next call.
    const WhereValue& CallFunction(const WhereNode& node, const RowCells& row);

private:
    // A run of scratch values on top of the slot stack, given back when it goes out of
    // scope (also when evaluation throws).
    class Slots {
    public:
        Slots(CWhereEvaluator& evaluator, size_t count)
            : m_evaluator(evaluator), m_base(evaluator.m_slotTop) {
            evaluator.m_slotTop += count;
            while (evaluator.m_slots.size() < evaluator.m_slotTop) {
                evaluator.m_slots.push_back(std::make_unique<WhereValue>());
            }
        }
        ~Slots() { m_evaluator.m_slotTop = m_base; }
        Slots(const Slots&) = delete;
        Slots& operator=(const Slots&) = delete;
        WhereValue& operator[](size_t i) { return *m_evaluator.m_slots[m_base + i]; }

    private:
        CWhereEvaluator& m_evaluator;
        size_t m_base;
    };

    void Eval(const WhereNode& node, WhereValue& out);
    const WhereValue& Operand(const WhereNode& node, WhereValue& scratch);
    void ReadColumn(int32_t index, WhereValue& out);
    where_detail::ColumnClass ClassOf(size_t index);
    bool TextOperand(const WhereNode& node, WhereValue& scratch,
                     where_detail::ValueTextBuffer& buffer, std::u16string_view& text);
    void EvalLogicChain(const WhereNode& node, WhereValue& out);
    void EvalBinaryChain(const WhereNode& node, WhereValue& out);
    void EvalCompare(const WhereNode& node, WhereValue& out);
    void EvalLike(const WhereNode& node, WhereValue& out);
    void EvalIn(const WhereNode& node, WhereValue& out);
    void EvalBetween(const WhereNode& node, WhereValue& out);
    void EvalFunction(const WhereNode& node, WhereValue& out);
    void ApplyBinary(const std::u16string& op, WhereValue& acc, const WhereValue& right);

    const std::vector<ColumnInfo>& m_columns;
    const RowCells* m_row = nullptr;
    std::vector<where_detail::ColumnClass> m_classes;
    // Scratch values used like a stack by the recursion; each lives on the heap so that
    // references stay valid while the stack grows.
    std::vector<std::unique_ptr<WhereValue>> m_slots;
    size_t m_slotTop = 0;
    // Right-hand nodes of the AND, OR and arithmetic chains being evaluated, also a stack.
    std::vector<const WhereNode*> m_spine;
    WhereValue m_result;
};

// The longest text an expression may build ("||", REPLACE); longer ones fail instead of
// exhausting memory.
inline constexpr size_t kMaxWhereTextLength = size_t{1} << 24;
