// Tar archives: the member index, members read in place, and what a damaged or cut tar
// says. The real tar of pg_dump -Ft is read in Pg18FixtureTest and ArchiveDamageTest.
#include <gtest/gtest.h>

#include <cstdio>

#include "dump/ArchiveDump.h"
#include "dump/BufferedFileReader.h"
#include "dump/TarIndex.h"
#include "support/TestPaths.h"

namespace {

// One ustar header block (with a correct checksum) followed by the padded data.
std::string Member(const std::string& name, const std::string& data, char type = '0',
                   bool base256Size = false) {
    std::string header(512, '\0');
    header.replace(0, name.size(), name);
    header.replace(100, 7, "0000644");
    char size[13];
    std::snprintf(size, sizeof size, "%011llo", static_cast<unsigned long long>(data.size()));
    header.replace(124, 11, size);
    if (base256Size) {
        header.replace(124, 12, std::string(12, '\0'));
        header[124] = static_cast<char>(0x80);
        uint64_t n = data.size();
        for (int i = 11; i >= 4; --i, n >>= 8) header[124 + i] = static_cast<char>(n & 0xFF);
    }
    header[156] = type;
    header.replace(257, 6, std::string("ustar\0", 6));
    header.replace(263, 2, "00");
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : header) sum += c;
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%06o", sum);
    header.replace(148, 7, std::string(checksum, 6) + '\0');
    std::string padded = data;
    padded.resize((data.size() + 511) / 512 * 512, '\0');
    return header + padded;
}

const std::string kEnd(1024, '\0');

}  // namespace

TEST(TarArchiveTest, IndexFindsRegularMembersInPlace) {
    ScratchDir dir;
    const std::string big(1300, 'b');
    const std::string tar = Member("toc.dat", "TOC") + Member("folder", "", '5') +
                            Member("3458.dat", big, '0', true) + Member("empty.dat", "") + kEnd;
    const std::string path = dir.Write("a.tar", tar);
    CTarIndex index;
    std::u16string error;
    ASSERT_TRUE(index.Read(U16(path), error));
    EXPECT_TRUE(index.Damage().empty());
    EXPECT_EQ(index.Count(), 3u);  // the folder is no member of ours
    const CTarIndex::Member* toc = index.Find("toc.dat");
    ASSERT_NE(toc, nullptr);
    EXPECT_EQ(toc->offset, 512u);
    EXPECT_EQ(toc->size, 3u);
    const CTarIndex::Member* data = index.Find("3458.dat");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->size, big.size());
    EXPECT_EQ(index.Find("missing"), nullptr);

    // A reader on the member sees its bytes and nothing of the next member.
    BufferedFileReader reader;
    ASSERT_TRUE(reader.OpenRange(U16(path), data->offset, data->size));
    EXPECT_EQ(reader.FileSize(), big.size());
    std::string bytes;
    ASSERT_TRUE(reader.ReadExact(bytes, big.size()));
    EXPECT_EQ(bytes, big);
    uint8_t extra;
    EXPECT_FALSE(reader.ReadByte(extra));
    ASSERT_TRUE(reader.Seek(1299));
    EXPECT_TRUE(reader.ReadByte(extra));
    EXPECT_EQ(extra, 'b');
    EXPECT_FALSE(reader.Seek(1301));
    EXPECT_FALSE(reader.OpenRange(U16(path), data->offset, tar.size()));
}

TEST(TarArchiveTest, DamageAndCutsAreNamed) {
    ScratchDir dir;
    const std::string first = Member("toc.dat", "TOC");
    const std::string second = Member("3458.dat", std::string(700, 'x'));
    struct Case {
        const char* name;
        std::string bytes;
        size_t members;
        std::u16string damage;
    };
    std::string badChecksum = first + second + kEnd;
    badChecksum[first.size() + 3] ^= 1;  // a byte of the second member's name
    std::string badSize = first + second + kEnd;
    badSize[first.size() + 124] = '9';
    const Case cases[] = {
        {"whole", first + second + kEnd, 2, u""},
        {"no end blocks", first + second, 2, u""},
        {"checksum", badChecksum, 1,
         u"tar アーカイブのヘッダが壊れています(位置 " + U16(std::to_string(first.size())) +
             u")。"},
        {"size", badSize, 1,
         u"tar アーカイブのヘッダが壊れています(位置 " + U16(std::to_string(first.size())) +
             u")。"},
        {"cut in data", (first + second).substr(0, first.size() + 600), 1,
         u"tar アーカイブが途中で切れています(3458.dat)。"},
        {"cut in header", (first + second).substr(0, first.size() + 100), 1,
         u"tar アーカイブが途中で切れています(位置 " + U16(std::to_string(first.size())) + u")。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTarIndex index;
        std::u16string error;
        ASSERT_TRUE(index.Read(U16(dir.Write("t.tar", c.bytes)), error));
        EXPECT_EQ(index.Count(), c.members);
        EXPECT_EQ(index.Damage(), c.damage);
    }

    // The archive reader says the same; without a toc.dat member it says what is missing.
    CArchiveDump dump;
    std::u16string error;
    EXPECT_FALSE(dump.OpenTar(U16(dir.Write("t.tar", first.substr(0, 300))), error));
    EXPECT_EQ(error, u"tar アーカイブが途中で切れています(位置 0)。");
    CArchiveDump other;
    EXPECT_FALSE(other.OpenTar(U16(dir.Write("t.tar", second + kEnd)), error));
    EXPECT_EQ(error,
              u"tar アーカイブに toc.dat がありません。pg_dump -Ft "
              u"で出力したファイルを指定してください。");
    CArchiveDump notArchive;
    EXPECT_FALSE(notArchive.OpenTar(U16(dir.Write("t.tar", first + kEnd)), error));
    EXPECT_EQ(error, u"アーカイブのヘッダ(PGDMP)が見つかりません。");
}
