#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class IDataSink;

// A decompressor fed chunks of any size; everything it produces goes straight to a sink.
// The archive reader picks one by the archive's compression and never looks further.
class IStreamDecoder {
public:
    virtual ~IStreamDecoder() = default;
    // Starts a fresh stream.
    virtual bool Begin(std::u16string& error) = 0;
    // False with a message on damaged data, or false with error untouched when the sink
    // refused the output.
    virtual bool Feed(const char* data, size_t length, IDataSink& sink, std::u16string& error) = 0;
    // The input so far stops inside the compressed data: something is missing.
    virtual bool Incomplete() const = 0;
};

// The compression a stream's first bytes announce.
enum class StreamFormat {
    Plain,
    Gzip,
    Lz4,
    Zstd,
};

StreamFormat SniffStreamFormat(const unsigned char* head, size_t length);
// "gzip", "lz4", "zstd" or "none".
const char16_t* StreamFormatName(StreamFormat format);

// The decoder for the data blocks of a custom archive with this compression code: null
// with ok for uncompressed blocks; false with a message for a code nobody knows.
bool MakeArchiveBlockDecoder(int32_t compression, std::unique_ptr<IStreamDecoder>& decoder,
                             std::u16string& error);
