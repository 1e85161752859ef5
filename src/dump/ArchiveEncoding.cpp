#include "dump/ArchiveEncoding.h"

bool ArchiveFieldReader::ReadIntSlow(int32_t& value) {
    uint8_t sign = 0;
    if (m_hasSign && !m_reader.ReadByte(sign)) return false;
    uint64_t accumulated = 0;
    for (int i = 0; i < m_header.intSize; ++i) {
        uint8_t byte;
        if (!m_reader.ReadByte(byte)) return false;
        if (i < 8) accumulated |= static_cast<uint64_t>(byte) << (8 * i);
    }
    uint32_t low = static_cast<uint32_t>(accumulated);
    if (sign != 0) low = 0u - low;
    value = static_cast<int32_t>(low);
    return true;
}

bool ArchiveFieldReader::ReadString(std::string& value, bool* isNull) {
    int32_t length;
    if (!ReadInt(length)) return false;
    if (isNull != nullptr) *isNull = length < 0;
    if (length < 0) {
        value.clear();
        return true;
    }
    // ReadExact refuses lengths beyond the end of the file before allocating.
    return m_reader.ReadExact(value, static_cast<size_t>(length));
}

bool ArchiveFieldReader::SkipString(bool& isNull) {
    int32_t length;
    if (!ReadInt(length)) return false;
    isNull = length < 0;
    if (isNull) return true;
    return m_reader.Seek(m_reader.Position() + static_cast<uint64_t>(length));
}

bool ArchiveFieldReader::ReadOffset(int32_t& state, int64_t& offset) {
    offset = 0;
    if (m_header.version < ArchiveVersion(1, 7)) {
        int32_t i;
        if (!ReadInt(i)) return false;
        if (i < 0) {
            state = 1;
        } else if (i == 0) {
            state = 3;
        } else {
            state = 2;
            offset = i;
        }
        return true;
    }
    uint8_t flag;
    if (!m_reader.ReadByte(flag)) return false;
    state = flag;
    uint64_t accumulated = 0;
    for (int i = 0; i < m_header.offSize; ++i) {
        uint8_t byte;
        if (!m_reader.ReadByte(byte)) return false;
        if (i < 8) accumulated |= static_cast<uint64_t>(byte) << (8 * i);
    }
    offset = static_cast<int64_t>(accumulated);
    return true;
}
