#include "dump/FileSink.h"

#include <algorithm>
#include <cstring>

CFileSink::~CFileSink() {
    Close();
}

bool CFileSink::Open(const std::u16string& path, bool privateFile) {
    Close();
    m_fill = 0;
    m_total = 0;
    if (!(privateFile ? m_file.OpenWritePrivate(path) : m_file.OpenWrite(path))) {
        // Nothing may be written into a file we do not have.
        m_ok = false;
        return false;
    }
    m_buffer.resize(kBufferSize);
    m_ok = true;
    return true;
}

bool CFileSink::Write(const char* data, size_t length) {
    // Without an open file the buffer could never drain.
    if (!m_file.IsOpen()) return false;
    while (length > 0 && m_ok) {
        const size_t take = std::min(length, kBufferSize - static_cast<size_t>(m_fill));
        std::memcpy(m_buffer.data() + m_fill, data, take);
        m_fill += take;
        data += take;
        length -= take;
        if (m_fill == kBufferSize) Flush();
    }
    return m_ok;
}

bool CFileSink::Flush() {
    if (m_fill == 0 || !m_ok) return m_ok;
    if (!m_file.WriteAll(m_buffer.data(), static_cast<size_t>(m_fill))) {
        m_ok = false;
    } else {
        m_total += m_fill;
    }
    m_fill = 0;
    return m_ok;
}

void CFileSink::Close() {
    if (!m_file.IsOpen()) return;
    Flush();
    // A delayed write error shows up only when the file is closed.
    if (!m_file.Close()) m_ok = false;
}
