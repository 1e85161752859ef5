#pragma once

#include <cstdint>
#include <string>

#include "dump/ArchiveDump.h"
#include "dump/BufferedFileReader.h"

// The integer, string and offset encodings of the archive format, read with the widths
// the header gave.
class ArchiveFieldReader {
public:
    ArchiveFieldReader(BufferedFileReader& reader, const ArchiveHeader& header)
        : m_reader(reader), m_header(header), m_hasSign(header.version > ArchiveVersion(1, 0)) {}

    // Integers keep their low 32 bits; bytes beyond the eighth are read and ignored.
    bool ReadInt(int32_t& value) {
        // The common case, a 4-byte integer whole in the window, without a byte loop: the
        // uncompressed data path reads one per row.
        if (m_header.intSize == 4 && m_hasSign && m_reader.Available() >= 5) {
            const auto* p = reinterpret_cast<const unsigned char*>(m_reader.Data());
            uint32_t magnitude = static_cast<uint32_t>(p[1]) | static_cast<uint32_t>(p[2]) << 8 |
                                 static_cast<uint32_t>(p[3]) << 16 |
                                 static_cast<uint32_t>(p[4]) << 24;
            if (p[0] != 0) magnitude = 0u - magnitude;
            value = static_cast<int32_t>(magnitude);
            m_reader.Consume(5);
            return true;
        }
        return ReadIntSlow(value);
    }
    // A null string (negative length) reads as empty.
    bool ReadString(std::string& value, bool* isNull = nullptr);
    // Skips a string without keeping it; false at a null string only through isNull.
    bool SkipString(bool& isNull);
    bool ReadOffset(int32_t& state, int64_t& offset);

private:
    bool ReadIntSlow(int32_t& value);

    BufferedFileReader& m_reader;
    const ArchiveHeader& m_header;
    bool m_hasSign;
};
