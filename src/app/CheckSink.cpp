#include "app/CheckSink.h"

#include <algorithm>
#include <cstring>

void CCheckSink::EndRow() {
    if (m_lineLength == 2 && m_head[0] == '\\' && m_head[1] == '.') {
        m_ended = true;
        return;
    }
    ++m_rows;
    if (m_badRow == 0 && m_expected != 0 && m_fields != m_expected) m_badRow = m_rows;
    m_fields = 1;
    m_lineLength = 0;
    m_escaped = false;
}

bool CCheckSink::Write(const char* data, size_t length) {
    const char* p = data;
    const char* const end = data + length;
    while (p < end && !m_ended) {
        const char* lf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* const stop = lf != nullptr ? lf : end;
        const size_t part = static_cast<size_t>(stop - p);
        for (size_t i = 0; m_lineLength + i < 2 && i < part; ++i) m_head[m_lineLength + i] = p[i];
        // A TAB is a delimiter unless a backslash escapes it; pg_dump escapes TABs in
        // values as "\t", so the backslash-free common case is a plain count.
        if (!m_escaped && std::memchr(p, '\\', part) == nullptr) {
            m_fields += static_cast<size_t>(std::count(p, stop, '\t'));
        } else {
            for (const char* c = p; c < stop; ++c) {
                if (m_escaped) {
                    m_escaped = false;
                } else if (*c == '\\') {
                    m_escaped = true;
                } else if (*c == '\t') {
                    ++m_fields;
                }
            }
        }
        m_lineLength += part;
        if (lf == nullptr) break;
        EndRow();
        p = lf + 1;
    }
    return true;
}

void CCheckSink::Finish() {
    if (!m_ended && m_lineLength > 0) EndRow();
}
