#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IDataSink;

// One zlib-wrapped or raw deflate stream, fed in chunks of any size; everything it
// produces goes straight to a sink.
class InflateStream {
public:
    static constexpr size_t kOutputSize = size_t{256} << 10;

    InflateStream() = default;
    ~InflateStream();
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    // raw: deflate data without a header (gzip members); otherwise zlib-wrapped data.
    bool Init(bool raw, std::u16string& error);
    // False with a message on damaged data, or false with error untouched when the sink
    // refused the output.
    bool Inflate(const char* data, size_t length, IDataSink& sink, std::u16string& error);

    bool Ended() const { return m_ended; }
    // Bytes of the last chunk that lie after the end of the stream.
    uint64_t Leftover() const { return m_leftover; }

private:
    void End();

    std::unique_ptr<z_stream> m_stream;
    bool m_ended = false;
    uint64_t m_leftover = 0;
    std::vector<char> m_output;
};
