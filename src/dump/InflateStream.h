#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPipelineSink;
class IDataSink;

// Which library inflates. ISA-L is the fast one; zlib is the reference, kept selectable at
// run time (KALVEX_INFLATE=zlib) so both can be compared in one build.
enum class InflateBackend { Zlib, Isal };

// The backend new streams use: ISA-L when built with it, unless the environment says
// KALVEX_INFLATE=zlib (read once).
InflateBackend DefaultInflateBackend();
// Changes it for the whole process, for benchmarks and tests that compare the two.
void SetDefaultInflateBackend(InflateBackend backend);
bool IsalAvailable();
// The library new streams inflate with and its version: "ISA-L 2.30.0" or "zlib 1.2.13".
std::string InflateLibraryName();

// One zlib-wrapped or raw deflate stream, fed in chunks of any size; everything it
// produces goes straight to a sink.
class InflateStream {
public:
    static constexpr size_t kOutputSize = size_t{256} << 10;

    // A backend this build lacks falls back to zlib.
    explicit InflateStream(InflateBackend backend = DefaultInflateBackend());
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
    InflateBackend Backend() const { return m_backend; }

private:
    struct IsalState;
    // Where the next output goes: straight into a pipeline's buffer when the sink is one.
    struct Output {
        char* data;
        size_t room;
        CPipelineSink* pipe;
    };

    Output Acquire(IDataSink& sink);
    bool Deliver(IDataSink& sink, const Output& out, size_t produced);

    bool InflateZlib(const char* data, size_t length, IDataSink& sink, std::u16string& error);
    bool InflateIsal(const char* data, size_t length, IDataSink& sink, std::u16string& error);
    void End();

    InflateBackend m_backend;
    std::unique_ptr<z_stream> m_stream;
    std::unique_ptr<IsalState> m_isal;
    bool m_ended = false;
    uint64_t m_leftover = 0;
    std::vector<char> m_output;
};
