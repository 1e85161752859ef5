#include "dump/BufferedFileReader.h"

#include <algorithm>

#include "dump/GrowingFile.h"

bool BufferedFileReader::Open(const std::u16string& path) {
    Close();
    if (!m_file.OpenRead(path, platform::CFile::AccessHint::Sequential)) return false;
    if (!m_file.GetSize(m_fileSize)) {
        Close();
        return false;
    }
    // A small file needs no more window than its own size.
    m_windowCapacity =
        static_cast<size_t>(std::min<uint64_t>(kWindowSize, std::max<uint64_t>(m_fileSize, 4096)));
    m_window = std::make_unique_for_overwrite<char[]>(m_windowCapacity);
    return true;
}

bool BufferedFileReader::OpenRange(const std::u16string& path, uint64_t offset, uint64_t length) {
    if (!Open(path)) return false;
    if (offset > m_fileSize || length > m_fileSize - offset || !m_file.Seek(offset)) {
        Close();
        return false;
    }
    m_base = offset;
    m_fileSize = length;
    m_windowCapacity =
        static_cast<size_t>(std::min<uint64_t>(kWindowSize, std::max<uint64_t>(length, 4096)));
    m_window = std::make_unique_for_overwrite<char[]>(m_windowCapacity);
    return true;
}

bool BufferedFileReader::OpenGrowing(const std::u16string& path, CGrowingFile& growing) {
    Close();
    uint64_t size = 0;
    bool finished = false;
    if (!growing.WaitFor(0, size, finished)) return false;
    if (!m_file.OpenRead(path, platform::CFile::AccessHint::Sequential)) return false;
    m_fileSize = finished ? size : kGrowingSize;
    m_growing = finished ? nullptr : &growing;
    m_windowCapacity = kWindowSize;
    m_window = std::make_unique_for_overwrite<char[]>(m_windowCapacity);
    return true;
}

void BufferedFileReader::Close() {
    m_file.Close();
    m_window.reset();
    m_windowCapacity = 0;
    m_fileSize = 0;
    m_base = 0;
    m_windowOffset = m_windowFill = m_windowPos = 0;
    m_ioFailed = m_lineTooLong = false;
    m_growing = nullptr;
}

bool BufferedFileReader::Seek(uint64_t offset) {
    if (!IsOpen() || offset > m_fileSize) return false;
    if (offset >= m_windowOffset && offset < m_windowOffset + m_windowFill) {
        m_windowPos = offset - m_windowOffset;
        return true;
    }
    if (!m_file.Seek(m_base + offset)) return false;
    m_windowOffset = offset;
    m_windowFill = m_windowPos = 0;
    return true;
}

bool BufferedFileReader::Refill() {
    if (!IsOpen()) return false;
    const uint64_t kept = m_windowFill - m_windowPos;
    if (kept > 0 && m_windowPos > 0) {
        std::memmove(m_window.get(), m_window.get() + m_windowPos, static_cast<size_t>(kept));
    }
    m_windowOffset += m_windowPos;
    m_windowFill = kept;
    m_windowPos = 0;
    const uint64_t next = m_windowOffset + m_windowFill;
    if (m_growing != nullptr && m_windowFill < m_windowCapacity) {
        // Waiting for a whole window gives the same windows as reading the finished file.
        uint64_t size = 0;
        bool finished = false;
        m_growing->SetReadOffset(m_windowOffset);
        if (!m_growing->WaitFor(next + (m_windowCapacity - m_windowFill), size, finished)) {
            m_ioFailed = true;
            return false;
        }
        if (finished) {
            m_fileSize = size;
            m_growing = nullptr;
        }
    }
    if (next >= m_fileSize || m_windowFill >= m_windowCapacity) return false;
    if (!m_file.Seek(m_base + next)) {
        m_ioFailed = true;
        return false;
    }
    // Never past the end of a range: the bytes after it belong to someone else.
    const size_t room = static_cast<size_t>(std::min<uint64_t>(
        m_windowCapacity - static_cast<size_t>(m_windowFill), m_fileSize - next));
    int64_t n = m_file.ReadFull(m_window.get() + m_windowFill, room);
    if (n < 0) {
        m_ioFailed = true;
        return false;
    }
    m_windowFill += static_cast<uint64_t>(n);
    return n > 0;
}

bool BufferedFileReader::ReadBytes(void* destination, size_t count) {
    auto* out = static_cast<char*>(destination);
    while (count > 0) {
        if (m_windowPos == m_windowFill && !Refill()) return false;
        size_t take = std::min(count, Available());
        std::memcpy(out, Data(), take);
        Consume(take);
        out += take;
        count -= take;
    }
    return true;
}

bool BufferedFileReader::ReadExact(std::string& destination, size_t count) {
    if (count == 0) {
        destination.clear();
        return true;
    }
    // Never trust a length from the file further than the file can deliver.
    if (count > m_fileSize - std::min(m_fileSize, Position())) {
        destination.clear();
        return false;
    }
    destination.resize(count);
    return ReadBytes(destination.data(), count);
}

bool BufferedFileReader::ReadLine(std::string& destination) {
    destination.clear();
    bool any = false;
    for (;;) {
        if (m_windowPos == m_windowFill && !Refill()) break;
        const char* start = Data();
        size_t available = Available();
        const void* lf = std::memchr(start, '\n', available);
        if (lf != nullptr) {
            size_t length = static_cast<size_t>(static_cast<const char*>(lf) - start);
            destination.append(start, length);
            Consume(length + 1);
            if (!destination.empty() && destination.back() == '\r') destination.pop_back();
            return true;
        }
        destination.append(start, available);
        Consume(available);
        any = true;
        if (destination.size() > kMaxLineLength) {
            m_lineTooLong = true;
            destination.clear();
            return false;
        }
    }
    if (m_ioFailed) return false;
    // A last line without LF is returned as it stands.
    return any;
}
