#include "export/SqlStatements.h"

#include <initializer_list>

namespace {

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string Trim(const std::u16string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// The statement's words in upper case, comments skipped, quoted names kept as they are,
// each ( , ) and ; a word of its own.
std::vector<std::u16string> Words(const std::u16string& text, size_t limit) {
    std::vector<std::u16string> words;
    size_t i = 0;
    while (i < text.size() && words.size() < limit) {
        const char16_t c = text[i];
        if (IsSpace(c)) {
            ++i;
        } else if (c == u'-' && i + 1 < text.size() && text[i + 1] == u'-') {
            while (i < text.size() && text[i] != u'\n') ++i;
        } else if (c == u'(' || c == u')' || c == u',' || c == u';') {
            words.emplace_back(1, c);
            ++i;
        } else if (c == u'"' || c == u'\'') {
            size_t end = i + 1;
            while (end < text.size() && text[end] != c) ++end;
            words.push_back(text.substr(i, end + 1 - i));
            i = end + 1;
        } else {
            std::u16string word;
            while (i < text.size() && !IsSpace(text[i]) && text[i] != u'(' && text[i] != u')' &&
                   text[i] != u',' && text[i] != u';') {
                word += Upper(text[i]);
                ++i;
            }
            words.push_back(std::move(word));
        }
    }
    return words;
}

bool Leads(const std::vector<std::u16string>& words, std::initializer_list<const char16_t*> lead) {
    size_t i = 0;
    for (const char16_t* w : lead) {
        if (i >= words.size() || words[i] != w) return false;
        ++i;
    }
    return true;
}

bool Has(const std::vector<std::u16string>& words, const char16_t* word, size_t& at) {
    for (at = 0; at < words.size(); ++at) {
        if (words[at] == word) return true;
    }
    return false;
}

}  // namespace

std::vector<std::u16string> SplitSqlStatements(const std::u16string& text) {
    std::vector<std::u16string> statements;
    size_t start = 0;
    size_t i = 0;
    auto emit = [&](size_t end) {
        std::u16string statement = Trim(text.substr(start, end - start));
        if (!statement.empty()) statements.push_back(std::move(statement));
        start = end;
    };
    while (i < text.size()) {
        const char16_t c = text[i];
        if (c == u'\'' || c == u'"') {
            for (++i; i < text.size(); ++i) {
                if (text[i] == c) {
                    // A doubled quote stays inside; the loop sees the second one next.
                    if (i + 1 < text.size() && text[i + 1] == c) {
                        ++i;
                        continue;
                    }
                    break;
                }
            }
            ++i;
        } else if (c == u'-' && i + 1 < text.size() && text[i + 1] == u'-') {
            while (i < text.size() && text[i] != u'\n') ++i;
        } else if (c == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
            const size_t end = text.find(u"*/", i + 2);
            i = end == std::u16string::npos ? text.size() : end + 2;
        } else if (c == u'$') {
            size_t end = i + 1;
            while (end < text.size() && text[end] != u'$' &&
                   (text[end] == u'_' || (Upper(text[end]) >= u'A' && Upper(text[end]) <= u'Z') ||
                    (text[end] >= u'0' && text[end] <= u'9') || text[end] >= 0x80)) {
                ++end;
            }
            if (end < text.size() && text[end] == u'$') {
                const std::u16string tag = text.substr(i, end + 1 - i);
                const size_t close = text.find(tag, end + 1);
                i = close == std::u16string::npos ? text.size() : close + tag.size();
            } else {
                ++i;
            }
        } else if (c == u';') {
            ++i;
            emit(i);
        } else {
            ++i;
        }
    }
    emit(text.size());
    return statements;
}

SqlStatementKind ClassifySqlStatement(const std::u16string& statement) {
    const std::vector<std::u16string> w = Words(statement, 64);
    size_t at = 0;
    if (Leads(w, {u"CREATE", u"DATABASE"}) || Leads(w, {u"ALTER", u"DATABASE"}) ||
        Leads(w, {u"COMMENT", u"ON", u"DATABASE"}) || Leads(w, {u"\\CONNECT"}) ||
        Leads(w, {u"COMMENT", u"ON", u"LARGE"}) || Leads(w, {u"ALTER", u"LARGE"}) ||
        Leads(w, {u"CREATE", u"ROLE"}) || Leads(w, {u"ALTER", u"ROLE"})) {
        return SqlStatementKind::Unrestorable;
    }
    if (Leads(w, {u"GRANT"}) || Leads(w, {u"REVOKE"})) return SqlStatementKind::Privilege;
    if (Leads(w, {u"ALTER"}) && Has(w, u"OWNER", at) && at + 1 < w.size() && w[at + 1] == u"TO") {
        return SqlStatementKind::Owner;
    }
    if (Leads(w, {u"CREATE", u"INDEX"}) || Leads(w, {u"CREATE", u"UNIQUE", u"INDEX"}) ||
        Leads(w, {u"CREATE", u"TRIGGER"}) || Leads(w, {u"CREATE", u"CONSTRAINT", u"TRIGGER"}) ||
        Leads(w, {u"CREATE", u"OR", u"REPLACE", u"TRIGGER"}) || Leads(w, {u"CREATE", u"RULE"}) ||
        Leads(w, {u"CREATE", u"OR", u"REPLACE", u"RULE"}) || Leads(w, {u"CREATE", u"POLICY"}) ||
        Leads(w, {u"CREATE", u"EVENT", u"TRIGGER"}) || Leads(w, {u"CREATE", u"STATISTICS"}) ||
        Leads(w, {u"REFRESH", u"MATERIALIZED", u"VIEW"}) || Leads(w, {u"ALTER", u"INDEX"}) ||
        Leads(w, {u"ALTER", u"POLICY"}) || Leads(w, {u"COMMENT", u"ON", u"INDEX"}) ||
        Leads(w, {u"COMMENT", u"ON", u"CONSTRAINT"}) || Leads(w, {u"COMMENT", u"ON", u"TRIGGER"}) ||
        Leads(w, {u"COMMENT", u"ON", u"RULE"}) || Leads(w, {u"COMMENT", u"ON", u"POLICY"})) {
        return SqlStatementKind::PostData;
    }
    if (Leads(w, {u"ALTER", u"TABLE"})) {
        // Keys and foreign keys need the rows in place; CHECK and NOT NULL go with the table.
        if (Has(w, u"ADD", at) && at + 3 < w.size() && w[at + 1] == u"CONSTRAINT") {
            const std::u16string& kind = w[at + 3];
            if (kind != u"CHECK" && kind != u"NOT") return SqlStatementKind::PostData;
        }
        if (Has(w, u"CLUSTER", at) || (Has(w, u"REPLICA", at) && Has(w, u"USING", at))) {
            return SqlStatementKind::PostData;
        }
    }
    return SqlStatementKind::PreData;
}

std::u16string ReferencedTable(const std::u16string& statement) {
    // The referenced name runs up to its column list: "schema.name(col)".
    std::u16string name;
    const size_t found = statement.find(u"REFERENCES ");
    if (found == std::u16string::npos) return {};
    for (size_t i = found + 11; i < statement.size(); ++i) {
        const char16_t c = statement[i];
        if (c == u'(' || IsSpace(c) || c == u';') break;
        if (c == u'"') {
            const size_t end = statement.find(u'"', i + 1);
            if (end == std::u16string::npos) break;
            name += statement.substr(i, end + 1 - i);
            i = end;
            continue;
        }
        name += c;
    }
    return name;
}

std::u16string QuoteSqlIdentifier(const std::u16string& name) {
    std::u16string out = u"\"";
    for (char16_t c : name) {
        if (c == u'"') out += u'"';
        out += c;
    }
    out += u'"';
    return out;
}
