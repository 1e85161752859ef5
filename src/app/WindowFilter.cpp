#include "app/WindowFilter.h"

#include "app/AppText.h"
#include "app/DumpSession.h"

bool HasWhereText(const std::u16string& where) {
    return where.find_first_not_of(u" \t\r\n") != std::u16string::npos;
}

FilterPlan PlanFilter(const CDumpSession& session, const std::u16string& where,
                      const std::u16string& keyword) {
    FilterPlan plan;
    const bool hasWhere = HasWhereText(where);
    if (!hasWhere && keyword.empty()) return plan;
    // A blank condition is no condition, whatever the lexer would make of it.
    if (!session.PrepareFilter(hasWhere ? where : std::u16string(), keyword, plan.filter,
                               plan.error)) {
        plan.action = FilterAction::Reject;
        plan.filter.reset();
        return plan;
    }
    plan.action = FilterAction::Run;
    return plan;
}

std::u16string MakeFilterStatus(const TableEntry& table, size_t matchCount, uint64_t rowCount) {
    return table.QualifiedName() + u": " + FormatThousands(matchCount) + u" 件が一致(全 " +
           FormatThousands(rowCount) + u" 件)";
}

std::u16string MakeFilterClearedStatus(const TableEntry& table, uint64_t rowCount) {
    return table.QualifiedName() + u": 絞り込みを解除しました(" + FormatThousands(rowCount) +
           u" 行)";
}
