#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>

#include "dump/DumpFile.h"
#include "dump/InflateStream.h"
#include "support/FrameCompress.h"

namespace {

const std::u16string kCorrupt =
    u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。";

// windowBits 15: zlib wrapper; -15: raw deflate.
std::string Deflate(const std::string& text, int windowBits) {
    return DeflateCompress(text, 6, windowBits);
}

// Rows of COPY text: compressible, and larger than one 256 KiB output buffer.
std::string Rows(size_t count) {
    std::string s;
    for (size_t i = 0; i < count; ++i)
        s += std::to_string(i * 7919) + "\tname " + std::to_string(i) + "\n";
    return s;
}

struct StringSink : IDataSink {
    std::string data;
    int writes = 0;
    int refuseAt = -1;  // the write number that returns false
    bool Write(const char* bytes, size_t length) override {
        data.append(bytes, length);
        return writes++ != refuseAt;
    }
};

}  // namespace

TEST(InflateStreamTest, EveryPieceSizeGivesTheSameOutput) {
    const std::string text = Rows(40000);
    ASSERT_GT(text.size(), 2 * InflateStream::kOutputSize);
    for (bool raw : {false, true}) {
        const std::string packed = Deflate(text, raw ? -15 : 15);
        for (size_t piece = 1; piece <= 65; ++piece) {
            if (piece == 65) piece = packed.size();
            InflateStream stream;
            std::u16string error;
            ASSERT_TRUE(stream.Init(raw, error));
            StringSink sink;
            for (size_t at = 0; at < packed.size(); at += piece) {
                ASSERT_TRUE(stream.Inflate(packed.data() + at, std::min(piece, packed.size() - at),
                                           sink, error));
            }
            ASSERT_TRUE(stream.Ended()) << piece;
            EXPECT_EQ(stream.Leftover(), 0u);
            ASSERT_EQ(sink.data, text) << "raw=" << raw << " piece=" << piece;
        }
    }
}

TEST(InflateStreamTest, OutputPendingAfterTheLastInputIsDelivered) {
    // Long runs: the output buffer fills up in the middle of a match after zlib has taken
    // all the input, so the rest of the match and the stream end come without new input.
    const std::string text(2 * InflateStream::kOutputSize + 100, 'a');
    for (bool raw : {false, true}) {
        const std::string packed = Deflate(text, raw ? -15 : 15);
        for (size_t cut = 1; cut < packed.size(); cut += cut < 48 ? 1 : 13) {
            InflateStream stream;
            std::u16string error;
            ASSERT_TRUE(stream.Init(raw, error));
            StringSink sink;
            ASSERT_TRUE(stream.Inflate(packed.data(), cut, sink, error));
            ASSERT_TRUE(stream.Inflate(packed.data() + cut, packed.size() - cut, sink, error));
            ASSERT_TRUE(stream.Ended()) << "raw=" << raw << " cut=" << cut;
            ASSERT_EQ(sink.data.size(), text.size());
        }
    }
}

TEST(InflateStreamTest, SinkRefusalStopsAtOnceWithErrorUntouched) {
    const std::string packed = Deflate(Rows(60000), 15);
    InflateStream stream;
    std::u16string error = u"unchanged";
    ASSERT_TRUE(stream.Init(false, error));
    StringSink sink;
    sink.refuseAt = 0;
    EXPECT_FALSE(stream.Inflate(packed.data(), packed.size(), sink, error));
    EXPECT_EQ(sink.writes, 1);
    EXPECT_EQ(sink.data.size(), InflateStream::kOutputSize);
    EXPECT_EQ(error, u"unchanged");
    EXPECT_FALSE(stream.Ended());
}

TEST(InflateStreamTest, DamagedOrMismatchedDataIsReported) {
    const std::string zlibData = Deflate("hello, hello, hello", 15);
    std::string badChecksum = zlibData;
    badChecksum.back() ^= 0x55;
    std::string badHeader = zlibData;
    badHeader[1] ^= 0x01;
    struct Case {
        const char* name;
        bool raw;
        std::string data;
    } cases[] = {
        {"raw data as zlib", false, Deflate("hello", -15)},
        {"zlib header flipped", false, badHeader},
        {"adler32 wrong", false, badChecksum},
        {"reserved block type", true, std::string("\xff\xff\xff\xff", 4)},
        {"stored length mismatch", true, std::string("\x01\x05\x00\x00\x00", 5)},
    };
    for (const Case& c : cases) {
        InflateStream stream;
        std::u16string error;
        ASSERT_TRUE(stream.Init(c.raw, error));
        StringSink sink;
        EXPECT_FALSE(stream.Inflate(c.data.data(), c.data.size(), sink, error)) << c.name;
        EXPECT_EQ(error, kCorrupt) << c.name;
    }
}

TEST(InflateStreamTest, InflateBeforeInitIsRefused) {
    InflateStream stream;
    StringSink sink;
    std::u16string error;
    EXPECT_FALSE(stream.Inflate("x", 1, sink, error));
    EXPECT_EQ(error, u"展開ストリームが初期化されていません。");
    EXPECT_EQ(sink.writes, 0);
}

TEST(InflateStreamTest, InputAfterTheEndIsOnlyCountedAsLeftover) {
    const std::string text = "1\tone\n2\ttwo\n";
    const std::string packed = Deflate(text, -15) + "TRAILER!";
    InflateStream stream;
    std::u16string error;
    ASSERT_TRUE(stream.Init(true, error));
    StringSink sink;
    ASSERT_TRUE(stream.Inflate(packed.data(), packed.size(), sink, error));
    EXPECT_TRUE(stream.Ended());
    EXPECT_EQ(stream.Leftover(), 8u);
    EXPECT_EQ(sink.data, text);

    const int writes = sink.writes;
    ASSERT_TRUE(stream.Inflate("more!", 5, sink, error));
    EXPECT_EQ(stream.Leftover(), 5u);
    EXPECT_EQ(sink.writes, writes);

    // A new Init starts a fresh stream.
    ASSERT_TRUE(stream.Init(true, error));
    EXPECT_FALSE(stream.Ended());
    EXPECT_EQ(stream.Leftover(), 0u);
    sink.data.clear();
    ASSERT_TRUE(stream.Inflate(packed.data(), packed.size(), sink, error));
    EXPECT_EQ(sink.data, text);
}
