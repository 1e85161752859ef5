// LZ4 and zstd frames fed in pieces of every size, several frames in a row, damage and a
// sink that refuses: the same contract as the inflate stream.
#include <gtest/gtest.h>

#include <string>

#include "dump/FrameStream.h"
#include "dump/StreamDecoder.h"
#include "support/CollectSink.h"
#include "support/FrameCompress.h"

namespace {

const std::u16string kDamaged =
    u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。";

std::string Sample(size_t size) {
    std::string text;
    for (size_t i = 0; text.size() < size; ++i) {
        text += std::to_string(i * 7919 % 100003) + "\trow " + std::to_string(i) + "\n";
    }
    text.resize(size);
    return text;
}

struct Codec {
    const char* name;
    CFrameStream::Kind kind;
    std::string (*compress)(std::string_view);
};
const Codec kCodecs[] = {{"lz4", CFrameStream::Kind::Lz4, Lz4Compress},
                         {"zstd", CFrameStream::Kind::Zstd, ZstdCompress}};

// Feeds the bytes in pieces of the given size; returns the decoder's verdict.
bool FeedInPieces(CFrameStream& stream, const std::string& bytes, size_t piece, IDataSink& sink,
                  std::u16string& error) {
    for (size_t at = 0; at < bytes.size(); at += piece) {
        if (!stream.Feed(bytes.data() + at, std::min(piece, bytes.size() - at), sink, error))
            return false;
    }
    return true;
}

}  // namespace

TEST(FrameStreamTest, AnyPieceSizeGivesTheSameText) {
    // Larger than the output buffer, so the libraries hold back output between calls.
    const std::string text = Sample(CFrameStream::kOutputSize * 2 + 12345);
    for (const Codec& codec : kCodecs) {
        SCOPED_TRACE(codec.name);
        const std::string packed = codec.compress(text);
        for (size_t piece : {size_t{1}, size_t{3}, size_t{4}, size_t{4093}, packed.size()}) {
            SCOPED_TRACE(piece);
            // Byte by byte is slow for a large frame: a small one says the same.
            const std::string& input = piece == 1 ? codec.compress(text.substr(0, 3000)) : packed;
            const std::string want = piece == 1 ? text.substr(0, 3000) : text;
            CFrameStream stream(codec.kind);
            std::u16string error;
            ASSERT_TRUE(stream.Begin(error));
            CollectSink sink;
            ASSERT_TRUE(FeedInPieces(stream, input, piece, sink, error)) << piece;
            EXPECT_FALSE(stream.Incomplete());
            EXPECT_TRUE(sink.bytes == want);
        }
    }
}

TEST(FrameStreamTest, FramesInARowTrailingBytesAndCuts) {
    const std::string a = Sample(5000), b = Sample(777);
    for (const Codec& codec : kCodecs) {
        SCOPED_TRACE(codec.name);
        // A skippable frame (shared by both formats) between two data frames.
        const std::string skippable("\x5A\x2A\x4D\x18\x03\x00\x00\x00xyz", 11);
        struct Case {
            std::string input;
            bool ok;
            std::string output;
            bool incomplete;
            bool ended;
        };
        const std::string first = codec.compress(a);
        const Case cases[] = {
            {first + skippable + codec.compress(b), true, a + b, false, false},
            {first + std::string(9, '\0'), true, a, false, true},  // padding
            {first + "ab", true, a, false, false},                 // too short to start anything
            {first.substr(0, first.size() - 1), true, "", true, false},
            {"", true, "", false, false},
            {"PGDMP-not-a-frame", false, "", false, false},
        };
        for (size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(i);
            const Case& c = cases[i];
            CFrameStream stream(codec.kind);
            std::u16string error;
            ASSERT_TRUE(stream.Begin(error));
            CollectSink sink;
            for (size_t piece : {size_t{2}, size_t{1000}}) {
                if (piece == 1000) {
                    ASSERT_TRUE(stream.Begin(error));  // a fresh stream after the first run
                    sink.bytes.clear();
                }
                const bool ok = FeedInPieces(stream, c.input, piece, sink, error);
                EXPECT_EQ(ok, c.ok);
                if (!c.ok) {
                    EXPECT_EQ(error, kDamaged);
                    continue;
                }
                EXPECT_EQ(stream.Incomplete(), c.incomplete);
                EXPECT_EQ(stream.Ended(), c.ended);
                if (!c.incomplete) {
                    EXPECT_TRUE(sink.bytes == c.output);
                }
            }
        }
    }
}

TEST(FrameStreamTest, RefusingSinkStopsWithoutMessageAndFlipsAreCaught) {
    const std::string text = Sample(CFrameStream::kOutputSize * 3);
    for (const Codec& codec : kCodecs) {
        SCOPED_TRACE(codec.name);
        const std::string packed = codec.compress(text);
        CFrameStream stream(codec.kind);
        std::u16string error;
        ASSERT_TRUE(stream.Begin(error));
        CollectSink refusing(1000);
        EXPECT_FALSE(stream.Feed(packed.data(), packed.size(), refusing, error));
        EXPECT_TRUE(error.empty());

        // Without Begin there is nothing to feed.
        CFrameStream fresh(codec.kind);
        CollectSink sink;
        EXPECT_FALSE(fresh.Feed(packed.data(), packed.size(), sink, error));
        EXPECT_EQ(error, u"展開ストリームが初期化されていません。");

        // A flipped byte anywhere gives a message or (where the format has no checksum over
        // it) other text, but never a crash or a hang.
        for (size_t at = 0; at < packed.size(); at += packed.size() / 97 + 1) {
            std::string damaged = packed;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
            ASSERT_TRUE(stream.Begin(error));
            CollectSink out(text.size() * 2);
            error.clear();
            if (!stream.Feed(damaged.data(), damaged.size(), out, error)) {
                EXPECT_TRUE(error == kDamaged || error.empty()) << at;
            }
        }
    }
}

TEST(FrameStreamTest, ArchiveBlockDecoderFollowsTheCompressionCode) {
    std::unique_ptr<IStreamDecoder> decoder;
    std::u16string error;
    ASSERT_TRUE(MakeArchiveBlockDecoder(0, decoder, error));
    EXPECT_EQ(decoder, nullptr);
    for (int code : {1, 2, 3}) {
        ASSERT_TRUE(MakeArchiveBlockDecoder(code, decoder, error)) << code;
        ASSERT_NE(decoder, nullptr);
        EXPECT_FALSE(decoder->Incomplete());
    }
    const std::string text = Sample(3000);
    ASSERT_TRUE(MakeArchiveBlockDecoder(3, decoder, error));
    CollectSink sink;
    const std::string packed = ZstdCompress(text);
    ASSERT_TRUE(decoder->Feed(packed.data(), packed.size() / 2, sink, error));
    EXPECT_TRUE(decoder->Incomplete());
    for (int code : {-1, 4, 255}) {
        EXPECT_FALSE(MakeArchiveBlockDecoder(code, decoder, error));
        EXPECT_EQ(error, u"対応していない圧縮方式です(ヘッダ=" +
                             std::u16string(code == -1  ? u"-1"
                                            : code == 4 ? u"4"
                                                        : u"255") +
                             u")。");
    }
    const unsigned char gzip[] = {0x1F, 0x8B, 0x08}, lz4[] = {0x04, 0x22, 0x4D, 0x18},
                        zstd[] = {0x28, 0xB5, 0x2F, 0xFD};
    EXPECT_EQ(SniffStreamFormat(gzip, 3), StreamFormat::Gzip);
    EXPECT_EQ(SniffStreamFormat(lz4, 4), StreamFormat::Lz4);
    EXPECT_EQ(SniffStreamFormat(lz4, 3), StreamFormat::Plain);
    EXPECT_EQ(SniffStreamFormat(zstd, 4), StreamFormat::Zstd);
    EXPECT_EQ(SniffStreamFormat(gzip, 2), StreamFormat::Plain);
}
