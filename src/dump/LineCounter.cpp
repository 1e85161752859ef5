#include "dump/LineCounter.h"

#include <cstring>

#include "dump/LineFeeds.h"

namespace DumpUtil {

namespace {

bool IsEndMarker(const char* line) {
    return line[0] == '\\' && line[1] == '.';
}

}  // namespace

bool CLineCounter::Write(const char* data, size_t length) {
    if (m_ended || length == 0) return true;
    const char* p = data;
    const char* const end = data + length;

    // Finish the line that the previous piece left open; only here can "\." be split.
    if (m_lineLength > 0) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', length));
        const size_t part = static_cast<size_t>((lf != nullptr ? lf : end) - p);
        for (size_t i = 0; m_lineLength + i < 2 && i < part; ++i) m_head[m_lineLength + i] = p[i];
        m_lineLength += part;
        if (lf == nullptr) return true;
        if (m_lineLength == 2 && IsEndMarker(m_head)) {
            m_ended = true;
            return true;
        }
        ++m_lines;
        m_lineLength = 0;
        p = lf + 1;
    }

    // Whole lines: look only at lines of exactly two bytes.
    uint64_t lines = m_lines;
    const char* const first = p;
    ForEachLineFeed(p, static_cast<size_t>(end - p), [&](size_t at) {
        const char* lf = first + at;
        if (lf - p == 2 && IsEndMarker(p)) {
            m_ended = true;
            return false;
        }
        ++lines;
        p = lf + 1;
        return true;
    });
    m_lines = lines;
    if (m_ended) return true;

    // The unterminated tail starts the next line.
    const size_t tail = static_cast<size_t>(end - p);
    for (size_t i = 0; i < tail && i < 2; ++i) m_head[i] = p[i];
    m_lineLength = tail;
    return true;
}

}  // namespace DumpUtil
