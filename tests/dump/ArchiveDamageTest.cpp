// Real archives (custom, in every compression, and tar) cut short or with bytes flipped: every case
// ends with a message or a clean partial result, never a crash, a hang or a huge allocation.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <set>

#include "dump/ArchiveDump.h"
#include "dump/TarIndex.h"
#include "support/CollectSink.h"
#include "support/TestPaths.h"

namespace {

const std::set<std::u16string> kOpenMessages = {
    u"アーカイブの読み取りに失敗しました(ファイルが途中で切れているか、壊れています)。",
    u"アーカイブのヘッダ(PGDMP)が見つかりません。",
    u"アーカイブヘッダが不正です(整数サイズ)。",
    u"TOC の読み取りに失敗しました。",
};

bool IsTarMessage(const std::u16string& error) {
    return error.rfind(u"tar アーカイブのヘッダが壊れています(位置 ", 0) == 0 ||
           error.rfind(u"tar アーカイブが途中で切れています(", 0) == 0 ||
           error ==
               u"tar アーカイブに toc.dat がありません。pg_dump -Ft "
               u"で出力したファイルを指定してください。";
}

bool IsOpenMessage(const std::u16string& error) {
    return kOpenMessages.count(error) > 0 || IsTarMessage(error) ||
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
           error.rfind(u"対応していない圧縮方式です(ヘッダ=", 0) == 0 || IsTarMessage(error) ||
           // Tar members: the data file messages of directory dumps.
           error.rfind(u"データファイルをオープンできません(", 0) == 0;
}

enum class Layout { Custom, Tar };

bool OpenAs(CArchiveDump& dump, Layout layout, const std::u16string& path, std::u16string& error) {
    return layout == Layout::Tar ? dump.OpenTar(path, error) : dump.Open(path, false, error);
}

// Opens, scans and reads every table; checks that each failure carries a known message.
void Exercise(const std::u16string& path, Layout layout = Layout::Custom) {
    CArchiveDump dump;
    std::u16string error;
    if (!OpenAs(dump, layout, path, error)) {
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
    // Every byte of one archive; a spread of the others (Shift_JIS, lz4, zstd).
    for (const auto& [name, step] : {std::pair<const char*, size_t>{"kx_main.custom.dump", 1},
                                     {"kx_eucjp.custom-sjis.dump", 7},
                                     {"pg18/kx_main.custom-zstd.dump", 4},
                                     {"pg18/kx_main.custom-lz4.dump", 6}}) {
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
            // Every byte of the header and the first entries; a spread of the rest.
            if (cut >= 2048 && cut % step != 0) continue;
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
            CArchiveDump dump;
            std::u16string cutError;
            ASSERT_FALSE(dump.Open(U16(path), false, cutError)) << cut;
            ASSERT_TRUE(IsOpenMessage(cutError)) << cut << ": " << U8(cutError);
        }
    }
}

TEST(ArchiveDamageTest, CutInsideDataBlocks) {
    for (const char* name :
         {"kx_main.custom.dump", "kx_main.custom-z0.dump", "pg18/kx_main.custom-lz4.dump",
          "pg18/kx_main.custom-zstd.dump", "pg18/kx_main.custom-zstd-pipe.dump"}) {
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
    for (const char* name : {"kx_main.custom.dump", "kx_main.custom-z0.dump",
                             "pg18/kx_main.custom-lz4.dump", "pg18/kx_main.custom-zstd.dump"}) {
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

TEST(ArchiveDamageTest, TarCutAtEveryByteOfTocAndInData) {
    for (const char* name : {"kx_main.tar", "pg18/kx_main.tar"}) {
        SCOPED_TRACE(name);
        const std::string original = ReadFileBytes(FixturePath(std::string("dumps/") + name));
        CTarIndex index;
        std::u16string error;
        ASSERT_TRUE(index.Read(FixturePathW(std::string("dumps/") + name), error));
        const CTarIndex::Member* toc = index.Find("toc.dat");
        ASSERT_NE(toc, nullptr);
        const size_t tocEnd = static_cast<size_t>(toc->offset + toc->size);

        ScratchDir dir;
        const std::string path = dir.Write("cut.tar", original);
        // Through the header block and the table of contents: no open succeeds.
        for (size_t cut = tocEnd; cut-- > 0;) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
            CArchiveDump dump;
            std::u16string cutError;
            ASSERT_FALSE(dump.OpenTar(U16(path), cutError)) << cut;
            ASSERT_TRUE(IsOpenMessage(cutError)) << cut << ": " << U8(cutError);
        }
        // Past it: opens, and the tables after the cut say what happened.
        const size_t step = std::max<size_t>(1, (original.size() - tocEnd) / 120);
        for (size_t cut = original.size(); cut > tocEnd; cut -= std::min(step, cut - tocEnd)) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
            SCOPED_TRACE(cut);
            Exercise(U16(path), Layout::Tar);
        }
    }
}

TEST(ArchiveDamageTest, TarRandomByteFlips) {
    const std::string original = ReadFileBytes(FixturePath("dumps/pg18/kx_main.tar"));
    ScratchDir dir;
    std::mt19937 random(20261210);
    for (int round = 0; round < 400; ++round) {
        std::string damaged = original;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            // Half of the flips land in the first header and the table of contents.
            size_t limit =
                (round % 2 == 0) ? damaged.size() : std::min<size_t>(20000, damaged.size());
            damaged[random() % limit] ^= static_cast<char>(1 + random() % 255);
        }
        SCOPED_TRACE(round);
        Exercise(U16(dir.Write("flip.tar", damaged)), Layout::Tar);
        if (HasFatalFailure()) return;
    }
}
