#include "dump/InflateStream.h"

#include <algorithm>
#include <climits>

#include "dump/DumpFile.h"

InflateStream::~InflateStream() {
    End();
}

void InflateStream::End() {
    if (m_stream) {
        inflateEnd(m_stream.get());
        m_stream.reset();
    }
}

bool InflateStream::Init(bool raw, std::u16string& error) {
    End();
    m_stream = std::make_unique<z_stream>();
    if (inflateInit2(m_stream.get(), raw ? -15 : 15) != Z_OK) {
        // A stream that failed to initialise must not reach inflateEnd.
        m_stream.reset();
        error = u"圧縮データの展開を初期化できませんでした。";
        return false;
    }
    m_ended = false;
    m_leftover = 0;
    m_output.resize(kOutputSize);
    return true;
}

bool InflateStream::Inflate(const char* data, size_t length, IDataSink& sink,
                            std::u16string& error) {
    if (!m_stream) {
        error = u"展開ストリームが初期化されていません。";
        return false;
    }
    if (m_ended) {
        m_leftover = length;
        return true;
    }
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
        zs.next_out = reinterpret_cast<Bytef*>(m_output.data());
        zs.avail_out = static_cast<uInt>(kOutputSize);
        const int result = inflate(&zs, Z_NO_FLUSH);
        const size_t produced = kOutputSize - zs.avail_out;
        if (produced > 0 && !sink.Write(m_output.data(), produced)) return false;
        if (result == Z_STREAM_END) {
            m_ended = true;
            m_leftover = zs.avail_in + (length - offset);
            return true;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) {
            error =
                u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)"
                u"。";
            return false;
        }
        if (zs.avail_in == 0 && offset < length) {
            feed();
            continue;
        }
        // Z_BUF_ERROR: no progress without more input; the next chunk continues the stream.
        if (result == Z_BUF_ERROR) return true;
        // A full output buffer may mean more output is waiting even with all input taken.
        if (zs.avail_in == 0 && produced < kOutputSize) return true;
    }
}
