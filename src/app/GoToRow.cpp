#include "app/GoToRow.h"

#include <limits>

#include "app/AppText.h"
#include "app/DumpSession.h"
#include "app/GridPaging.h"
#include "platform/WideChar.h"
#include "store/TableData.h"

namespace {

std::u16string Trimmed(const std::u16string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && platform::IsWideSpace(text[begin])) ++begin;
    while (end > begin && platform::IsWideSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::u16string NotOnViewMessage(const std::u16string& row) {
    return u"行 " + row + u" は現在の表示にありません。";
}

// The view position of a table row. The identity is tried first, as it holds for every
// view that is neither filtered nor reordered; otherwise the view is searched.
bool FindViewIndex(const CDumpSession& session, size_t tableRow, size_t& viewIndex) {
    const size_t count = session.GetViewRowCount();
    if (tableRow < count && session.GetViewRow(tableRow) == tableRow) {
        viewIndex = tableRow;
        return true;
    }
    for (size_t v = 0; v < count; ++v) {
        if (session.GetViewRow(v) == tableRow) {
            viewIndex = v;
            return true;
        }
    }
    return false;
}

}  // namespace

std::u16string MakeGoToRowPrompt(uint64_t tableRowCount) {
    return u"行番号(1 - " + FormatThousands(tableRowCount) + u")";
}

bool ParseRowNumber(const std::u16string& text, uint64_t& number) {
    const std::u16string digits = Trimmed(text);
    if (digits.empty()) return false;
    uint64_t value = 0;
    bool lastWasDigit = false;
    for (char16_t c : digits) {
        if (c == u',' || c == u'\uFF0C') {
            // A separator only between digits.
            if (!lastWasDigit) return false;
            lastWasDigit = false;
            continue;
        }
        const int digit = platform::WideDigitValue(c);
        if (digit < 0) return false;
        if (value > (std::numeric_limits<uint64_t>::max() - static_cast<uint64_t>(digit)) / 10) {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(digit);
        lastWasDigit = true;
    }
    if (!lastWasDigit) return false;
    number = value;
    return true;
}

GoToRowTarget FindGoToRowTarget(const CDumpSession& session, const std::u16string& answer,
                                size_t pageSize) {
    GoToRowTarget target;
    uint64_t number = 0;
    if (!ParseRowNumber(answer, number)) {
        target.message = NotOnViewMessage(Trimmed(answer));
        return target;
    }
    target.message = NotOnViewMessage(FormatThousands(number));
    if (!session.HasTable() || number == 0 || number > session.GetTableData()->GetRowCount()) {
        return target;
    }
    size_t viewIndex = 0;
    if (!FindViewIndex(session, static_cast<size_t>(number - 1), viewIndex)) return target;
    target.found = true;
    target.viewIndex = viewIndex;
    target.pageStart = AlignPageStart(viewIndex, pageSize == 0 ? 1 : pageSize);
    target.message.clear();
    return target;
}
