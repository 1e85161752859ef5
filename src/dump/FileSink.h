#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dump/DumpFile.h"
#include "platform/File.h"

// Buffered writer of one output file. It never words a message itself: callers check
// Write's result or IsOk after Close.
class CFileSink : public IDataSink {
public:
    static constexpr size_t kBufferSize = size_t{1} << 20;

    CFileSink() = default;
    ~CFileSink() override;
    CFileSink(const CFileSink&) = delete;
    CFileSink& operator=(const CFileSink&) = delete;

    // Creates the file or truncates an existing one; an open file is closed first.
    // A private file is readable by this user only (temporary copies of dump data).
    bool Open(const std::u16string& path, bool privateFile = false);
    bool Write(const char* data, size_t length) override;
    bool Flush();
    void Close();
    // False once any write has failed since Open; a failure is sticky until the next Open.
    bool IsOk() const { return m_ok; }
    // Bytes handed to the file since Open.
    uint64_t Total() const { return m_total; }

private:
    platform::CFile m_file;
    std::vector<char> m_buffer;
    uint64_t m_fill = 0;
    bool m_ok = false;
    uint64_t m_total = 0;
};
