#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/File.h"

class CGrowingFile;

// A read-only file seen through a 1 MiB window. Refilling keeps the unread bytes, so a
// field that straddles the window edge needs no special handling by the caller.
class BufferedFileReader {
public:
    static constexpr size_t kWindowSize = 1 << 20;
    static constexpr size_t kMaxLineLength = size_t{256} << 20;
    static constexpr uint64_t kGrowingSize = uint64_t{1} << 56;

    BufferedFileReader() = default;
    ~BufferedFileReader() { Close(); }
    BufferedFileReader(const BufferedFileReader&) = delete;
    BufferedFileReader& operator=(const BufferedFileReader&) = delete;

    bool Open(const std::u16string& path);
    // Sees only length bytes from offset on, as if they were the whole file (a member of a
    // tar archive). False when the file is shorter than that.
    bool OpenRange(const std::u16string& path, uint64_t offset, uint64_t length);
    // Follows a file that another thread is still writing: a refill waits for the bytes it
    // needs, and the file ends where the writer finishes it. Until then FileSize() is
    // kGrowingSize, so that nobody takes the bytes written so far for the whole file. A
    // failed writer ends the reading with IoFailed. False when the file cannot be opened
    // or the writer failed before creating it.
    bool OpenGrowing(const std::u16string& path, CGrowingFile& growing);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }

    uint64_t FileSize() const { return m_fileSize; }
    // The logical read position: what readers record as data offsets.
    uint64_t Position() const { return m_windowOffset + m_windowPos; }
    bool AtEnd() const { return Position() >= m_fileSize && m_windowPos >= m_windowFill; }

    bool Seek(uint64_t offset);
    // Moves the unread bytes to the front and reads what is missing to fill the window.
    // False at the end of the file or on an I/O failure (see IoFailed).
    bool Refill();

    bool ReadByte(uint8_t& value) {
        if (m_windowPos == m_windowFill && !Refill()) return false;
        value = static_cast<uint8_t>(m_window[m_windowPos++]);
        return true;
    }
    bool ReadBytes(void* destination, size_t count);
    // Resizes destination to count bytes and fills it; false when the file ends first.
    bool ReadExact(std::string& destination, size_t count);
    // Reads up to the next LF (consumed, not stored); a CR right before it is dropped.
    // False when nothing is left, or when the line exceeds kMaxLineLength (LineTooLong).
    bool ReadLine(std::string& destination);

    // Direct access to the unread bytes of the window, for scanners that search blocks.
    const char* Data() const { return m_window.get() + m_windowPos; }
    size_t Available() const { return static_cast<size_t>(m_windowFill - m_windowPos); }
    void Consume(size_t count) { m_windowPos += count; }
    // Hands out the next piece of the window, at most max bytes, refilling an empty window
    // first; false when the file cannot be read. The piece stays valid until the next read.
    bool TakeWindow(size_t max, const char*& data, size_t& length) {
        if (Available() == 0 && !Refill()) return false;
        length = max < Available() ? max : Available();
        data = Data();
        Consume(length);
        return true;
    }

    bool IoFailed() const { return m_ioFailed; }
    bool LineTooLong() const { return m_lineTooLong; }

private:
    platform::CFile m_file;
    uint64_t m_fileSize = 0;
    uint64_t m_base = 0;  // file offset of position 0
    std::unique_ptr<char[]> m_window;
    size_t m_windowCapacity = 0;
    uint64_t m_windowOffset = 0;
    uint64_t m_windowFill = 0;
    uint64_t m_windowPos = 0;
    bool m_ioFailed = false;
    bool m_lineTooLong = false;
    CGrowingFile* m_growing = nullptr;  // null once the writer has finished
};
