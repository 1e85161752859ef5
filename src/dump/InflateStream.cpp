#include "dump/InflateStream.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "dump/DumpFile.h"
#include "dump/PipelineSink.h"

#ifdef KALVEX_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

namespace {

const char16_t kDamaged[] =
    u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。";

std::atomic<InflateBackend>& SelectedBackend() {
    static std::atomic<InflateBackend> backend{[] {
        const char* choice = std::getenv("KALVEX_INFLATE");
        if (choice != nullptr && std::strcmp(choice, "zlib") == 0) return InflateBackend::Zlib;
        return IsalAvailable() ? InflateBackend::Isal : InflateBackend::Zlib;
    }()};
    return backend;
}

}  // namespace

InflateBackend DefaultInflateBackend() {
    return SelectedBackend().load(std::memory_order_relaxed);
}

void SetDefaultInflateBackend(InflateBackend backend) {
    SelectedBackend().store(backend, std::memory_order_relaxed);
}

bool IsalAvailable() {
#ifdef KALVEX_HAVE_ISAL
    return true;
#else
    return false;
#endif
}

std::string InflateLibraryName() {
#ifdef KALVEX_HAVE_ISAL
    if (DefaultInflateBackend() == InflateBackend::Isal) {
        return std::string("ISA-L ") + KALVEX_ISAL_VERSION;
    }
#endif
    return std::string("zlib ") + zlibVersion();
}

#ifdef KALVEX_HAVE_ISAL
struct InflateStream::IsalState {
    inflate_state state;
    // ISA-L is given the deflate data only: the two header bytes are checked here, by
    // zlib's rules, so that both backends accept and refuse the same headers.
    bool raw = false;
    unsigned char header[2] = {};
    size_t headerFill = 0;
};
#else
struct InflateStream::IsalState {};
#endif

InflateStream::InflateStream(InflateBackend backend)
    : m_backend(IsalAvailable() ? backend : InflateBackend::Zlib) {}

InflateStream::~InflateStream() {
    End();
}

void InflateStream::End() {
    if (m_stream) {
        inflateEnd(m_stream.get());
        m_stream.reset();
    }
    m_isal.reset();
}

bool InflateStream::Init(bool raw, std::u16string& error) {
    End();
    m_ended = false;
    m_leftover = 0;
    if (m_backend == InflateBackend::Isal) {
#ifdef KALVEX_HAVE_ISAL
        m_isal = std::make_unique<IsalState>();
        isal_inflate_init(&m_isal->state);
        m_isal->raw = raw;
        m_isal->state.crc_flag = raw ? ISAL_DEFLATE : ISAL_ZLIB_NO_HDR_VER;
        m_output.resize(kOutputSize);
        return true;
#endif
    }
    m_stream = std::make_unique<z_stream>();
    if (inflateInit2(m_stream.get(), raw ? -15 : 15) != Z_OK) {
        // A stream that failed to initialise must not reach inflateEnd.
        m_stream.reset();
        error = u"圧縮データの展開を初期化できませんでした。";
        return false;
    }
    m_output.resize(kOutputSize);
    return true;
}

bool InflateStream::Inflate(const char* data, size_t length, IDataSink& sink,
                            std::u16string& error) {
    if (!m_stream && !m_isal) {
        error = u"展開ストリームが初期化されていません。";
        return false;
    }
    if (m_ended) {
        m_leftover = length;
        return true;
    }
    return m_isal ? InflateIsal(data, length, sink, error) : InflateZlib(data, length, sink, error);
}

InflateStream::Output InflateStream::Acquire(IDataSink& sink) {
    if (auto* pipe = dynamic_cast<CPipelineSink*>(&sink)) {
        size_t room = 0;
        if (char* space = pipe->Reserve(room)) return {space, room, pipe};
    }
    return {m_output.data(), kOutputSize, nullptr};
}

bool InflateStream::Deliver(IDataSink& sink, const Output& out, size_t produced) {
    if (out.pipe != nullptr) return out.pipe->Commit(produced);
    return produced == 0 || sink.Write(out.data, produced);
}

bool InflateStream::InflateZlib(const char* data, size_t length, IDataSink& sink,
                                std::u16string& error) {
    z_stream& zs = *m_stream;
    // avail_in is 32 bits wide, so a huge chunk goes in as several slices.
    size_t offset = 0;
    auto feed = [&] {
        const size_t slice = std::min<size_t>(length - offset, UINT_MAX);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data + offset));
        zs.avail_in = static_cast<uInt>(slice);
        offset += slice;
    };
    feed();
    for (;;) {
        const Output out = Acquire(sink);
        zs.next_out = reinterpret_cast<Bytef*>(out.data);
        zs.avail_out = static_cast<uInt>(out.room);
        const int result = inflate(&zs, Z_NO_FLUSH);
        const size_t produced = out.room - zs.avail_out;
        if (!Deliver(sink, out, produced)) return false;
        if (result == Z_STREAM_END) {
            m_ended = true;
            m_leftover = zs.avail_in + (length - offset);
            return true;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) {
            error = kDamaged;
            return false;
        }
        if (zs.avail_in == 0 && offset < length) {
            feed();
            continue;
        }
        // Z_BUF_ERROR: no progress without more input; the next chunk continues the stream.
        if (result == Z_BUF_ERROR) return true;
        // A full output buffer may mean more output is waiting even with all input taken.
        if (zs.avail_in == 0 && produced < out.room) return true;
    }
}

bool InflateStream::InflateIsal(const char* data, size_t length, IDataSink& sink,
                                std::u16string& error) {
#ifdef KALVEX_HAVE_ISAL
    IsalState& is = *m_isal;
    size_t offset = 0;
    if (!is.raw) {
        while (is.headerFill < 2 && offset < length) {
            is.header[is.headerFill++] = static_cast<unsigned char>(data[offset++]);
            if (is.headerFill < 2) continue;
            const unsigned cmf = is.header[0];
            const unsigned flg = is.header[1];
            // zlib's checks: the check bits, deflate, a window of at most 32 KiB, and no
            // preset dictionary (nobody could supply one).
            if ((cmf * 256 + flg) % 31 != 0 || (cmf & 0x0F) != 8 || (cmf >> 4) > 7 ||
                (flg & 0x20) != 0) {
                error = kDamaged;
                return false;
            }
        }
        if (offset == length) return true;
    }
    inflate_state& st = is.state;
    auto feed = [&] {
        const size_t slice = std::min<size_t>(length - offset, UINT32_MAX);
        st.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(data + offset));
        st.avail_in = static_cast<uint32_t>(slice);
        offset += slice;
    };
    feed();
    for (;;) {
        const Output out = Acquire(sink);
        st.next_out = reinterpret_cast<uint8_t*>(out.data);
        st.avail_out = static_cast<uint32_t>(out.room);
        const uint32_t inBefore = st.avail_in;
        const int result = isal_inflate(&st);
        const size_t produced = out.room - st.avail_out;
        if (!Deliver(sink, out, produced)) return false;
        if (result != ISAL_DECOMP_OK) {
            error = kDamaged;
            return false;
        }
        if (st.block_state == ISAL_BLOCK_FINISH) {
            m_ended = true;
            // Whole bytes still in the bit buffer lie after the end too.
            m_leftover = st.avail_in + static_cast<uint64_t>(std::max(st.read_in_length, 0) / 8) +
                         (length - offset);
            return true;
        }
        if (st.avail_in == 0 && offset < length) {
            feed();
            continue;
        }
        if (st.avail_in == 0 && produced < out.room) return true;
        // Input left, room left, no end and no error: it would never move again.
        if (produced == 0 && st.avail_in == inBefore) {
            error = kDamaged;
            return false;
        }
    }
#else
    (void)data;
    (void)length;
    (void)sink;
    error = kDamaged;
    return false;
#endif
}
