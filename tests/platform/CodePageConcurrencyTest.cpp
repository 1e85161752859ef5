#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/CodePage.h"

namespace platform {
namespace {

struct Sample {
    int codePage;
    std::string bytes;
};

// Texts in code pages that go through iconv (each thread keeps its own descriptors), the
// own UTF-8 codec and the own 1252 table, with invalid bytes and unmappable characters.
std::vector<Sample> Samples() {
    return {
        {932, "\x93\x8c\x8b\x9e\x93\x73 \x83\x5c\x95\x5c abc \xff"},  // 東京都 ソ表, a bad byte
        {20932, "\xc5\xec\xb5\xfe abc"},                              // 東京 in EUC-JP
        {936, "\xd6\xd0\xce\xc4 text"},                               // 中文
        {949, "\xc7\xd1\xb1\xb9\xbe\xee"},                            // 한국어
        {950, "\xa4\xa4\xa4\xe5"},                                    // 中文 in Big5
        {54936, "\x81\x30\x81\x30 \xd6\xd0"},
        {866, "\x8f\xe0\xa8\xa2\xa5\xe2"},
        {1251, "\xcf\xf0\xe8\xe2\xe5\xf2"},
        {28605, "\xa4 euro"},
        {65001, "\xe6\x9d\xb1\xe4\xba\xac \xc3\xa9 \xed\xa0\x80"},
        {1252, "caf\xe9 \x80 \x81"},
    };
}

struct Result {
    std::u16string decoded;
    std::string encoded;
    bool decodedOk = false;
    bool encodedOk = false;
};

Result Convert(const Sample& sample) {
    Result r;
    r.decodedOk =
        DecodeCodePage(sample.codePage, sample.bytes.data(), sample.bytes.size(), r.decoded);
    // Back again, with a character every code page but UTF-8 lacks.
    const std::u16string text = r.decoded + u"\U0001F600";
    r.encodedOk = EncodeCodePage(sample.codePage, text.data(), text.size(), r.encoded);
    return r;
}

// Threads that convert the same texts in different orders get what one thread gets.
TEST(CodePageConcurrencyTest, ThreadsConvertLikeOneThread) {
    const std::vector<Sample> samples = Samples();
    std::vector<Result> expected;
    for (const Sample& s : samples) {
        expected.push_back(Convert(s));
        ASSERT_TRUE(expected.back().decodedOk) << s.codePage;
        ASSERT_TRUE(expected.back().encodedOk) << s.codePage;
    }
    // The single-thread results are real conversions, not a shared failure.
    EXPECT_EQ(expected[0].decoded.substr(0, 3), u"東京都");
    EXPECT_EQ(expected[1].decoded.substr(0, 2), u"東京");
    EXPECT_EQ(expected[0].encoded.substr(0, 6), samples[0].bytes.substr(0, 6));

    for (const int threadCount : {2, 4}) {
        SCOPED_TRACE(threadCount);
        std::vector<std::vector<Result>> results(threadCount);
        std::vector<std::thread> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back([&, t] {
                std::vector<Result>& mine = results[t];
                mine.resize(samples.size());
                for (int round = 0; round < 200; ++round) {
                    // Each thread starts at another sample, so code pages meet in every order.
                    for (size_t k = 0; k < samples.size(); ++k) {
                        const size_t i = (k + static_cast<size_t>(t) * 3 + round) % samples.size();
                        mine[i] = Convert(samples[i]);
                    }
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
        for (int t = 0; t < threadCount; ++t) {
            for (size_t i = 0; i < samples.size(); ++i) {
                SCOPED_TRACE(samples[i].codePage);
                EXPECT_TRUE(results[t][i].decodedOk);
                EXPECT_TRUE(results[t][i].encodedOk);
                EXPECT_EQ(results[t][i].decoded, expected[i].decoded);
                EXPECT_EQ(results[t][i].encoded, expected[i].encoded);
            }
        }
    }
}

}  // namespace
}  // namespace platform
