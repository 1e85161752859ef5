#include "dump/StreamDecoder.h"

#include "dump/FrameStream.h"
#include "dump/InflateStream.h"
#include "platform/WideChar.h"

namespace {

// The zlib-wrapped deflate stream of a gzip archive's data block.
class CZlibBlockDecoder : public IStreamDecoder {
public:
    bool Begin(std::u16string& error) override {
        m_fed = false;
        return m_stream.Init(false, error);
    }
    bool Feed(const char* data, size_t length, IDataSink& sink, std::u16string& error) override {
        m_fed = m_fed || length > 0;
        return m_stream.Inflate(data, length, sink, error);
    }
    bool Incomplete() const override { return m_fed && !m_stream.Ended(); }

private:
    InflateStream m_stream;
    bool m_fed = false;
};

}  // namespace

StreamFormat SniffStreamFormat(const unsigned char* head, size_t length) {
    if (length >= 3 && head[0] == 0x1F && head[1] == 0x8B && head[2] == 0x08) {
        return StreamFormat::Gzip;
    }
    if (length >= 4 && head[0] == 0x04 && head[1] == 0x22 && head[2] == 0x4D && head[3] == 0x18) {
        return StreamFormat::Lz4;
    }
    if (length >= 4 && head[0] == 0x28 && head[1] == 0xB5 && head[2] == 0x2F && head[3] == 0xFD) {
        return StreamFormat::Zstd;
    }
    return StreamFormat::Plain;
}

const char16_t* StreamFormatName(StreamFormat format) {
    switch (format) {
        case StreamFormat::Gzip:
            return u"gzip";
        case StreamFormat::Lz4:
            return u"lz4";
        case StreamFormat::Zstd:
            return u"zstd";
        case StreamFormat::Plain:
            break;
    }
    return u"none";
}

bool MakeArchiveBlockDecoder(int32_t compression, std::unique_ptr<IStreamDecoder>& decoder,
                             std::u16string& error) {
    switch (compression) {
        case 0:
            decoder.reset();
            return true;
        case 1:
            decoder = std::make_unique<CZlibBlockDecoder>();
            break;
        case 2:
            decoder = std::make_unique<CFrameStream>(CFrameStream::Kind::Lz4);
            break;
        case 3:
            decoder = std::make_unique<CFrameStream>(CFrameStream::Kind::Zstd);
            break;
        default:
            // Passing such data on as COPY text would show garbage as rows.
            error = u"対応していない圧縮方式です(ヘッダ=" + platform::FormatDecimal(compression) +
                    u")。";
            return false;
    }
    return decoder->Begin(error);
}
