#include "dump/FrameStream.h"

#include <lz4frame.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>

#include "dump/DumpFile.h"
#include "dump/PipelineSink.h"

namespace {

const char16_t kInitFailed[] = u"圧縮データの展開を初期化できませんでした。";
const char16_t kDamaged[] =
    u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。";

uint32_t LittleEndian32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Both formats share the skippable frames 0x184D2A50 to 0x184D2A5F.
bool IsSkippableFrame(uint32_t magic) {
    return (magic & 0xFFFFFFF0u) == 0x184D2A50u;
}

}  // namespace

CFrameStream::~CFrameStream() {
    Release();
}

void CFrameStream::Release() {
    if (m_lz4 != nullptr) LZ4F_freeDecompressionContext(m_lz4);
    if (m_zstd != nullptr) ZSTD_freeDCtx(m_zstd);
    m_lz4 = nullptr;
    m_zstd = nullptr;
}

bool CFrameStream::Begin(std::u16string& error) {
    // A context is kept from one stream to the next, with its buffers: an archive of many
    // small tables would otherwise allocate a window per table.
    bool ok = false;
    if (m_kind == Kind::Lz4) {
        if (m_lz4 != nullptr) {
            LZ4F_resetDecompressionContext(m_lz4);
            ok = true;
        } else {
            ok = !LZ4F_isError(LZ4F_createDecompressionContext(&m_lz4, LZ4F_VERSION));
        }
    } else {
        if (m_zstd == nullptr) m_zstd = ZSTD_createDCtx();
        ok = m_zstd != nullptr && !ZSTD_isError(ZSTD_DCtx_reset(m_zstd, ZSTD_reset_session_only));
    }
    if (!ok) {
        Release();
        error = kInitFailed;
        return false;
    }
    m_output.resize(kOutputSize);
    m_inFrame = m_framesDone = m_ended = false;
    m_probeFill = 0;
    return true;
}

bool CFrameStream::StartsFrame(const unsigned char* head) const {
    const uint32_t magic = LittleEndian32(head);
    if (IsSkippableFrame(magic)) return true;
    return magic == (m_kind == Kind::Lz4 ? 0x184D2204u : 0xFD2FB528u);
}

bool CFrameStream::Feed(const char* data, size_t length, IDataSink& sink, std::u16string& error) {
    if (m_lz4 == nullptr && m_zstd == nullptr) {
        error = u"展開ストリームが初期化されていません。";
        return false;
    }
    size_t pos = 0;
    while (pos < length && !m_ended) {
        if (!m_inFrame && m_framesDone) {
            // Between frames: four bytes tell another frame from trailing bytes.
            const size_t take = std::min(sizeof m_probe - m_probeFill, length - pos);
            std::memcpy(m_probe + m_probeFill, data + pos, take);
            m_probeFill += take;
            pos += take;
            if (m_probeFill < sizeof m_probe) return true;
            m_probeFill = 0;
            if (!StartsFrame(m_probe)) {
                m_ended = true;
                return true;
            }
            m_inFrame = true;
            size_t used = 0;
            // No frame is shorter than its magic number, so these bytes never end one.
            if (!Decode(reinterpret_cast<const char*>(m_probe), sizeof m_probe, used, sink, error))
                return false;
            continue;
        }
        // The first frame is judged by the library: bytes that start none are damage.
        m_inFrame = true;
        size_t used = 0;
        if (!Decode(data + pos, length - pos, used, sink, error)) return false;
        pos += used;
    }
    return true;
}

bool CFrameStream::Decode(const char* data, size_t length, size_t& used, IDataSink& sink,
                          std::u16string& error) {
    used = 0;
    auto* pipe = dynamic_cast<CPipelineSink*>(&sink);
    for (;;) {
        // Straight into the pipeline's buffer when there is one: that saves a copy.
        char* output = m_output.data();
        size_t room = kOutputSize;
        size_t space = 0;
        char* direct = pipe != nullptr ? pipe->Reserve(space) : nullptr;
        if (direct != nullptr) {
            output = direct;
            room = space;
        }
        size_t consumed = length - used;
        size_t produced = room;
        bool frameEnd = false;
        if (m_kind == Kind::Lz4) {
            const size_t hint =
                LZ4F_decompress(m_lz4, output, &produced, data + used, &consumed, nullptr);
            if (LZ4F_isError(hint)) {
                error = kDamaged;
                return false;
            }
            frameEnd = hint == 0;
        } else {
            ZSTD_inBuffer in = {data + used, length - used, 0};
            ZSTD_outBuffer out = {output, room, 0};
            const size_t hint = ZSTD_decompressStream(m_zstd, &out, &in);
            if (ZSTD_isError(hint)) {
                error = kDamaged;
                return false;
            }
            consumed = in.pos;
            produced = out.pos;
            frameEnd = hint == 0;
        }
        used += consumed;
        if (consumed == 0 && produced == 0 && !frameEnd) {
            if (used == length) return true;
            // Neither progress nor an error: never spin on such input.
            error = kDamaged;
            return false;
        }
        if (direct != nullptr ? !pipe->Commit(produced)
                              : produced > 0 && !sink.Write(output, produced)) {
            return false;
        }
        if (frameEnd) {
            // Both libraries report the end only once everything has been flushed.
            m_inFrame = false;
            m_framesDone = true;
            return true;
        }
        // A full output buffer may leave decoded bytes waiting inside the library.
        if (used == length && produced < room) return true;
    }
}
