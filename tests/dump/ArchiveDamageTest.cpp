// Real archives cut short or with bytes flipped: every case ends with a message or a
// clean partial result, never a crash, a hang or a huge allocation.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <set>

#include "dump/ArchiveDump.h"
#include "support/CollectSink.h"
#include "support/TestPaths.h"

namespace {

const std::set<std::u16string> kOpenMessages = {
    u"アーカイブの読み取りに失敗しました(ファイルが途中で切れているか、壊れています)。",
    u"アーカイブのヘッダ(PGDMP)が見つかりません。",
    u"アーカイブヘッダが不正です(整数サイズ)。",
    u"TOC の読み取りに失敗しました。",
};

bool IsOpenMessage(const std::u16string& error) {
    return kOpenMessages.count(error) > 0 ||
           error.rfind(u"対応していないアーカイブバージョンです(", 0) == 0 ||
           error.rfind(u"アーカイブ形式の種別が一致しません(ヘッダ=", 0) == 0 ||
           error.rfind(u"TOC が壊れています(エントリID ", 0) == 0;
}

bool IsDataMessage(const std::u16string& error) {
    static const std::set<std::u16string> known = {
        u"データブロックの読み取りに失敗しました。",
        u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。",
    };
    return known.count(error) > 0 || error.rfind(u"テーブル ", 0) == 0 ||
           error.rfind(u"このダンプは ", 0) == 0;
}

// Opens, scans and reads every table; checks that each failure carries a known message.
void Exercise(const std::u16string& path) {
    CArchiveDump dump;
    std::u16string error;
    if (!dump.Open(path, false, error)) {
        EXPECT_TRUE(IsOpenMessage(error)) << U8(error);
        return;
    }
    if (!dump.Scan(nullptr, error)) {
        EXPECT_TRUE(IsDataMessage(error)) << U8(error);
    }
    for (const TableEntry& table : dump.GetTables()) {
        // A bounded sink: damage must not make a table's data grow without end.
        CollectSink sink(size_t{64} << 20);
        std::u16string readError;
        if (!dump.ReadTableData(table, sink, nullptr, readError)) {
            EXPECT_TRUE(IsDataMessage(readError)) << U8(readError);
        }
    }
}

}  // namespace

TEST(ArchiveDamageTest, CutAtEveryByteOfHeaderAndToc) {
    // Every byte of one archive; a spread of the other, written in Shift_JIS.
    for (const auto& [name, step] : {std::pair<const char*, size_t>{"kx_main.custom.dump", 1},
                                     {"kx_eucjp.custom-sjis.dump", 7}}) {
        SCOPED_TRACE(name);
        const std::string original = ReadFileBytes(FixturePath(std::string("dumps/") + name));
        CArchiveDump whole;
        std::u16string error;
        ASSERT_TRUE(whole.Open(FixturePathW(std::string("dumps/") + name), false, error));
        const size_t dataStart = static_cast<size_t>(whole.GetHeader().dataStart);
        ASSERT_GT(dataStart, 100u);

        ScratchDir dir;
        const std::string path = dir.Write("cut.dump", original);
        for (size_t cut = dataStart; cut-- > 0;) {
            if (cut % step != 0) continue;
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
            CArchiveDump dump;
            std::u16string cutError;
            ASSERT_FALSE(dump.Open(U16(path), false, cutError)) << cut;
            ASSERT_TRUE(IsOpenMessage(cutError)) << cut << ": " << U8(cutError);
        }
    }
}

TEST(ArchiveDamageTest, CutInsideDataBlocks) {
    for (const char* name : {"kx_main.custom.dump", "kx_main.custom-z0.dump"}) {
        SCOPED_TRACE(name);
        const std::string original = ReadFileBytes(FixturePath(std::string("dumps/") + name));
        CArchiveDump whole;
        std::u16string error;
        ASSERT_TRUE(whole.Open(FixturePathW(std::string("dumps/") + name), false, error));
        const size_t dataStart = static_cast<size_t>(whole.GetHeader().dataStart);

        ScratchDir dir;
        const std::string path = dir.Write("cut.dump", original);
        const size_t step = std::max<size_t>(1, (original.size() - dataStart) / 150);
        for (size_t cut = original.size(); cut > dataStart;
             cut -= std::min(step, cut - dataStart)) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
            SCOPED_TRACE(cut);
            Exercise(U16(path));
        }
    }
}

TEST(ArchiveDamageTest, RandomByteFlips) {
    for (const char* name : {"kx_main.custom.dump", "kx_main.custom-z0.dump"}) {
        SCOPED_TRACE(name);
        const std::string original = ReadFileBytes(FixturePath(std::string("dumps/") + name));
        ScratchDir dir;
        std::mt19937 random(20261209);
        for (int round = 0; round < 700; ++round) {
            std::string damaged = original;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) {
                // Most flips land in the header and TOC, where lengths and counts live.
                size_t limit =
                    (round % 3 == 0) ? damaged.size() : std::min<size_t>(16000, damaged.size());
                damaged[random() % limit] ^= static_cast<char>(1 + random() % 255);
            }
            SCOPED_TRACE(round);
            Exercise(U16(dir.Write("flip.dump", damaged)));
            if (HasFatalFailure()) return;
        }
    }
}
