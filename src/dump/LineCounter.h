#pragma once

#include <cstddef>
#include <cstdint>

#include "dump/DumpFile.h"

namespace DumpUtil {

// Counts the rows of COPY text up to the end line "\.", keeping two bytes of state per
// line so that any table can be counted in constant memory.
class CLineCounter : public IDataSink {
public:
    bool Write(const char* data, size_t length) override;
    uint64_t Lines() const { return m_lines; }

private:
    uint64_t m_lines = 0;
    uint64_t m_lineLength = 0;
    bool m_ended = false;
    char m_head[2] = {0, 0};
};

}  // namespace DumpUtil
