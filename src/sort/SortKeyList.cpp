#include "sort/SortKeyList.h"

#include <algorithm>

#include "filter/WhereLexer.h"
#include "platform/AsciiCase.h"

namespace {

// As the WHERE language finds a column: a quoted name exactly first, else ignoring ASCII case.
bool FindColumn(const WhereToken& token, const std::vector<ColumnInfo>& columns, size_t& index) {
    if (token.quoted) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == token.text) {
                index = i;
                return true;
            }
        }
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (platform::EqualsIgnoringAsciiCase(columns[i].name, token.text)) {
            index = i;
            return true;
        }
    }
    return false;
}

bool IsWord(const WhereToken& token, const char16_t* word) {
    return token.kind == WhereTokenKind::Identifier && !token.quoted &&
           platform::EqualsIgnoringAsciiCase(token.text, word);
}

}  // namespace

bool ParseSortKeys(const std::u16string& text, const std::vector<ColumnInfo>& columns,
                   std::vector<SortKey>& keys, std::u16string& error) {
    keys.clear();
    const std::u16string malformed = u"並べ替えの指定が不正です: " + text;
    std::vector<WhereToken> tokens;
    try {
        tokens = TokenizeWhere(text);
    } catch (const WhereError&) {
        error = malformed;
        return false;
    }
    size_t at = 0;
    for (;;) {
        const WhereToken& name = tokens[at];
        if (name.kind != WhereTokenKind::Identifier) {
            keys.clear();
            error = malformed;
            return false;
        }
        SortKey key;
        if (!FindColumn(name, columns, key.column)) {
            keys.clear();
            error = u"並べ替えの列がありません: " + name.text;
            return false;
        }
        ++at;
        if (IsWord(tokens[at], u"DESC")) {
            key.descending = true;
            ++at;
        } else if (IsWord(tokens[at], u"ASC")) {
            ++at;
        }
        keys.push_back(key);
        if (tokens[at].kind == WhereTokenKind::End) return true;
        if (tokens[at].kind != WhereTokenKind::Comma) {
            keys.clear();
            error = malformed;
            return false;
        }
        ++at;
    }
}

std::u16string DescribeSortKeys(const std::vector<SortKey>& keys,
                                const std::vector<ColumnInfo>& columns) {
    std::u16string text;
    for (const SortKey& key : keys) {
        if (!text.empty()) text += u", ";
        if (key.column < columns.size()) text += columns[key.column].name;
        text += key.descending ? u" 降順" : u" 昇順";
    }
    return text;
}

std::vector<SortKey> ClickSortKeys(const std::vector<SortKey>& keys, size_t column, bool extend) {
    auto found = std::find_if(keys.begin(), keys.end(),
                              [column](const SortKey& key) { return key.column == column; });
    if (!extend) {
        if (keys.size() == 1 && found != keys.end()) {
            if (found->descending) return {};
            return {SortKey{column, true}};
        }
        return {SortKey{column, false}};
    }
    std::vector<SortKey> next = keys;
    if (found == keys.end()) {
        next.push_back(SortKey{column, false});
    } else if (!found->descending) {
        next[static_cast<size_t>(found - keys.begin())].descending = true;
    } else {
        next.erase(next.begin() + (found - keys.begin()));
    }
    return next;
}
