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
        : m_reader(reader), m_header(header) {}

    // Integers keep their low 32 bits; bytes beyond the eighth are read and ignored.
    bool ReadInt(int32_t& value);
    // A null string (negative length) reads as empty.
    bool ReadString(std::string& value, bool* isNull = nullptr);
    // Skips a string without keeping it; false at a null string only through isNull.
    bool SkipString(bool& isNull);
    bool ReadOffset(int32_t& state, int64_t& offset);

private:
    BufferedFileReader& m_reader;
    const ArchiveHeader& m_header;
};
