#include "dump/LineCounter.h"

#include <cstring>

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

    // Whole lines: jump from LF to LF and look only at lines of exactly two bytes.
    uint64_t lines = m_lines;
    while (p < end) {
        const char* lf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (lf == nullptr) break;
        if (lf - p == 2 && IsEndMarker(p)) {
            m_lines = lines;
            m_ended = true;
            return true;
        }
        ++lines;
        p = lf + 1;
    }
    m_lines = lines;

    // The unterminated tail starts the next line.
    const size_t tail = static_cast<size_t>(end - p);
    for (size_t i = 0; i < tail && i < 2; ++i) m_head[i] = p[i];
    m_lineLength = tail;
    return true;
}

}  // namespace DumpUtil
