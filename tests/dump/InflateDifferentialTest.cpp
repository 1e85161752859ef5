// ISA-L against zlib, the reference: on every fixture and on made-up streams of every
// block type and window size, whole, cut and damaged, both backends give the same bytes
// or both fail.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/CreateDumpReader.h"
#include "dump/CompressedFile.h"
#include "dump/DumpFile.h"
#include "dump/GzipFile.h"
#include "dump/InflateStream.h"
#include "support/CollectSink.h"
#include "support/Fixtures.h"
#include "support/FrameCompress.h"
#include "support/TestPaths.h"

namespace {

// Restores the process-wide backend when a test ends.
class BackendGuard {
public:
    BackendGuard() : m_saved(DefaultInflateBackend()) {}
    ~BackendGuard() { SetDefaultInflateBackend(m_saved); }

private:
    InflateBackend m_saved;
};

struct Outcome {
    bool ok = false;
    bool ended = false;
    uint64_t leftover = 0;
    std::string out;
    std::u16string error;
};

Outcome InflateWith(InflateBackend backend, bool raw, const std::string& data, size_t piece) {
    Outcome o;
    InflateStream stream(backend);
    CollectSink sink;
    o.ok = stream.Init(raw, o.error);
    for (size_t at = 0; o.ok && at < data.size(); at += piece) {
        o.ok = stream.Inflate(data.data() + at, std::min(piece, data.size() - at), sink, o.error);
    }
    o.ended = stream.Ended();
    o.leftover = stream.Leftover();
    o.out = std::move(sink.bytes);
    return o;
}

std::string Compress(const std::string& text, int level, int windowBits, int strategy) {
    return DeflateCompress(text, level, windowBits, strategy);
}

// COPY-like rows mixed with runs and random bytes: literals, short and long matches, and
// stretches that only stored blocks can hold.
std::string Sample(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) {
        switch (rng() % 4) {
            case 0:
                for (int i = 0; i < 50; ++i) s += std::to_string(rng() % 100000) + "\tname\t\\N\n";
                break;
            case 1:
                s.append(rng() % 3000, static_cast<char>('a' + rng() % 3));
                break;
            default:
                for (uint32_t i = rng() % 2000; i > 0; --i) s += static_cast<char>(rng());
        }
    }
    s.resize(size);
    return s;
}

void ExpectSame(const Outcome& a, const Outcome& b, const std::string& what) {
    ASSERT_EQ(a.ok, b.ok) << what << " zlib=" << U8(a.error) << " isal=" << U8(b.error);
    if (!a.ok) {
        EXPECT_EQ(a.error, b.error) << what;
        return;
    }
    EXPECT_EQ(a.ended, b.ended) << what;
    EXPECT_EQ(a.out, b.out) << what;
    if (a.ended) {
        EXPECT_EQ(a.leftover, b.leftover) << what;
    }
}

class InflateDifferentialTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IsalAvailable()) GTEST_SKIP() << "built without ISA-L";
    }
};

}  // namespace

TEST_F(InflateDifferentialTest, EveryBlockTypeWindowAndFraming) {
    const std::string text = Sample(300000, 1);
    struct Strategy {
        int level;
        int strategy;
    } strategies[] = {
        {0, Z_DEFAULT_STRATEGY},  // stored blocks
        {1, Z_FIXED},             // fixed Huffman codes
        {6, Z_DEFAULT_STRATEGY},  // dynamic codes
        {9, Z_FILTERED},
        {9, Z_HUFFMAN_ONLY},
        {4, Z_RLE},
    };
    for (bool raw : {false, true}) {
        for (int bits = 9; bits <= 15; ++bits) {
            for (const Strategy& st : strategies) {
                std::string packed = Compress(text, st.level, raw ? -bits : bits, st.strategy);
                // Bytes after the end must be left over, not taken.
                packed += "TRAILING";
                for (size_t piece : {size_t{1} << 20, size_t{4093}, size_t{61}}) {
                    const std::string what = "raw=" + std::to_string(raw) +
                                             " bits=" + std::to_string(bits) +
                                             " level=" + std::to_string(st.level) +
                                             " strategy=" + std::to_string(st.strategy) +
                                             " piece=" + std::to_string(piece);
                    const Outcome z = InflateWith(InflateBackend::Zlib, raw, packed, piece);
                    const Outcome i = InflateWith(InflateBackend::Isal, raw, packed, piece);
                    ASSERT_TRUE(z.ok && z.ended) << what;
                    EXPECT_EQ(z.out, text) << what;
                    EXPECT_EQ(z.leftover, piece > packed.size() ? 8u : z.leftover) << what;
                    ExpectSame(z, i, what);
                }
            }
        }
    }
}

TEST_F(InflateDifferentialTest, CutStreamsStopShortWithAPrefixOfTheText) {
    const std::string small = Sample(16000, 2);
    const std::string large = Sample(3000000, 3);
    std::mt19937 rng(4);
    for (bool raw : {false, true}) {
        const std::string packed = Compress(small, 6, raw ? -15 : 15, Z_DEFAULT_STRATEGY);
        ASSERT_LT(packed.size(), size_t{64} << 10);
        std::vector<std::pair<const std::string*, size_t>> cuts;
        for (size_t cut = 0; cut < packed.size(); ++cut) cuts.emplace_back(&small, cut);
        const std::string packedLarge = Compress(large, 6, raw ? -15 : 15, Z_DEFAULT_STRATEGY);
        for (int n = 0; n < 40; ++n) cuts.emplace_back(&large, rng() % packedLarge.size());
        for (const auto& [text, cut] : cuts) {
            const std::string& whole = text == &small ? packed : packedLarge;
            const std::string data = whole.substr(0, cut);
            const size_t piece = cut % 2 == 0 ? data.size() + 1 : 509;
            const std::string what = "raw=" + std::to_string(raw) + " cut=" + std::to_string(cut);
            const Outcome z = InflateWith(InflateBackend::Zlib, raw, data, piece);
            const Outcome i = InflateWith(InflateBackend::Isal, raw, data, piece);
            // Not ended, never an error: the reader reports what is missing.
            ASSERT_TRUE(z.ok && i.ok) << what;
            ASSERT_FALSE(z.ended || i.ended) << what;
            EXPECT_EQ(text->compare(0, z.out.size(), z.out), 0) << what;
            EXPECT_EQ(text->compare(0, i.out.size(), i.out), 0) << what;
        }
    }
}

TEST_F(InflateDifferentialTest, FlippedBitsFailInBothOrGiveTheSameBytes) {
    const std::string text = Sample(60000, 5);
    std::mt19937 rng(6);
    for (bool raw : {false, true}) {
        for (int level : {0, 1, 6}) {
            const std::string packed =
                Compress(text, level, raw ? -15 : 15, level == 1 ? Z_FIXED : Z_DEFAULT_STRATEGY);
            for (int n = 0; n < 300; ++n) {
                std::string damaged = packed;
                const size_t at = rng() % damaged.size();
                damaged[at] = static_cast<char>(damaged[at] ^ (1 << (rng() % 8)));
                if (n % 3 == 0) {
                    const size_t second = rng() % damaged.size();
                    damaged[second] = static_cast<char>(rng());
                }
                const size_t piece = n % 2 == 0 ? damaged.size() : 997;
                ExpectSame(InflateWith(InflateBackend::Zlib, raw, damaged, piece),
                           InflateWith(InflateBackend::Isal, raw, damaged, piece),
                           "raw=" + std::to_string(raw) + " level=" + std::to_string(level) +
                               " n=" + std::to_string(n) + " at=" + std::to_string(at));
            }
        }
    }
}

TEST_F(InflateDifferentialTest, MultiMemberGzipWithAnEmptyMember) {
    BackendGuard guard;
    const std::string a = Sample(500000, 7);
    const std::string b = Sample(70000, 8);
    // windowBits 16 + n: a gzip member.
    const std::string file = Compress(a, 6, 31, Z_DEFAULT_STRATEGY) +
                             Compress("", 6, 31, Z_DEFAULT_STRATEGY) +
                             Compress(b, 1, 16 + 10, Z_FIXED) + Compress(b, 0, 31, 0);
    ScratchDir dir;
    const std::string path = dir.Write("members.gz", file);
    const std::string cut = dir.Write("cut.gz", file.substr(0, file.size() / 2));
    for (InflateBackend backend : {InflateBackend::Zlib, InflateBackend::Isal}) {
        SetDefaultInflateBackend(backend);
        CollectSink sink;
        std::u16string error;
        ASSERT_TRUE(ReadGzipFile(U16(path), sink, nullptr, error)) << U8(error);
        EXPECT_EQ(sink.bytes, a + b + b);
        CollectSink partial;
        EXPECT_FALSE(ReadGzipFile(U16(cut), partial, nullptr, error));
        EXPECT_EQ(error, u"gzip データが途中で終わっています。");
    }
}

// Every table of every fixture dump reads the same with both backends.
TEST_F(InflateDifferentialTest, EveryFixtureReadsTheSameWithBothBackends) {
    BackendGuard guard;
    std::vector<std::string> dumps;
    for (const auto& list : {LoadFixtureDumps(), LoadPg18FixtureDumps()}) {
        for (const FixtureDump& d : list) dumps.push_back(FixturePath("dumps/" + d.file));
    }
    ASSERT_GT(dumps.size(), 10u);
    for (const std::string& path : dumps) {
        std::vector<std::string> tables[2];
        std::vector<uint64_t> counts[2];
        for (int b = 0; b < 2; ++b) {
            SetDefaultInflateBackend(b == 0 ? InflateBackend::Zlib : InflateBackend::Isal);
            std::u16string error;
            std::unique_ptr<IDumpFile> dump = CreateDumpReader(U16(path), error);
            ASSERT_TRUE(dump) << path << ": " << U8(error);
            ASSERT_TRUE(dump->Scan(nullptr, error)) << path << ": " << U8(error);
            for (const TableEntry& t : dump->GetTables()) {
                CollectSink sink;
                EXPECT_TRUE(dump->ReadTableData(t, sink, nullptr, error)) << path;
                tables[b].push_back(std::move(sink.bytes));
                counts[b].push_back(t.rowCount);
            }
        }
        EXPECT_EQ(tables[0], tables[1]) << path;
        EXPECT_EQ(counts[0], counts[1]) << path;
    }
}
