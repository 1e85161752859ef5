#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dump/StreamDecoder.h"

struct LZ4F_dctx_s;
struct ZSTD_DCtx_s;

// LZ4 frames (liblz4's frame API) or zstd frames (libzstd's streaming API), one after
// another as the command-line tools and pg_dump write them. After the first frame, bytes
// that do not start another frame end the stream and are ignored, as gzip padding is.
class CFrameStream : public IStreamDecoder {
public:
    enum class Kind { Lz4, Zstd };
    static constexpr size_t kOutputSize = size_t{256} << 10;

    explicit CFrameStream(Kind kind) : m_kind(kind) {}
    ~CFrameStream() override;
    CFrameStream(const CFrameStream&) = delete;
    CFrameStream& operator=(const CFrameStream&) = delete;

    bool Begin(std::u16string& error) override;
    bool Feed(const char* data, size_t length, IDataSink& sink, std::u16string& error) override;
    bool Incomplete() const override { return m_inFrame; }
    // Bytes that start no frame came after a frame; everything from there on is ignored.
    bool Ended() const { return m_ended; }

private:
    // Decodes from data until it is used up or a frame ends; used says how far it got.
    bool Decode(const char* data, size_t length, size_t& used, IDataSink& sink,
                std::u16string& error);
    bool StartsFrame(const unsigned char* head) const;
    void Release();

    Kind m_kind;
    LZ4F_dctx_s* m_lz4 = nullptr;
    ZSTD_DCtx_s* m_zstd = nullptr;
    std::vector<char> m_output;
    bool m_inFrame = false;
    bool m_framesDone = false;  // at least one frame ended
    bool m_ended = false;
    // The first bytes after a frame, held until they tell a new frame from trailing bytes.
    unsigned char m_probe[4] = {};
    size_t m_probeFill = 0;
};
