#include <gtest/gtest.h>

#include <string>

#include "dump/LineCounter.h"

namespace {

uint64_t CountInPieces(const std::string& text, const std::vector<size_t>& cuts) {
    DumpUtil::CLineCounter counter;
    size_t at = 0;
    for (size_t cut : cuts) {
        EXPECT_TRUE(counter.Write(text.data() + at, cut - at));
        at = cut;
    }
    EXPECT_TRUE(counter.Write(text.data() + at, text.size() - at));
    return counter.Lines();
}

}  // namespace

TEST(LineCounterTest, CountsRowsUpToTheEndMarkerHoweverTheTextIsCut) {
    const struct {
        std::string text;
        uint64_t lines;
    } cases[] = {
        {"", 0},
        {"\n\n", 2},
        {"1\ta\n2\tb\n", 2},
        {"1\ta\n2\tb", 1},  // a last line without LF is not a row
        {"\\.\n", 0},
        {"1\ta\n\\.\n2\tb\n3\tc\n", 1},
        {"1\ta\n\\.\nanything\n\\.\n", 1},
        {"\\.\r\n1\n", 2},  // "\." before CR LF is data
        {"\\.x\n\\\n.\n", 3},
        {"a\\.\n\\\\.\n", 2},
        {"\\.", 0},
        {"12\n\\.\n", 1},
    };
    for (const auto& c : cases) {
        const std::string& t = c.text;
        EXPECT_EQ(CountInPieces(t, {}), c.lines) << t;
        for (size_t cut = 0; cut <= t.size(); ++cut) {
            EXPECT_EQ(CountInPieces(t, {cut}), c.lines) << t << " cut at " << cut;
            // Empty pieces around the cut change nothing.
            EXPECT_EQ(CountInPieces(t, {cut, cut, cut}), c.lines) << t << " empty at " << cut;
        }
        std::vector<size_t> everyByte;
        for (size_t i = 1; i < t.size(); ++i) everyByte.push_back(i);
        EXPECT_EQ(CountInPieces(t, everyByte), c.lines) << t << " byte by byte";
    }
}

TEST(LineCounterTest, NothingCountsAfterTheEndMarker) {
    DumpUtil::CLineCounter counter;
    EXPECT_TRUE(counter.Write(nullptr, 0));
    EXPECT_TRUE(counter.Write("1\n2\n\\", 5));
    EXPECT_TRUE(counter.Write(".", 1));
    EXPECT_TRUE(counter.Write("\n3\n", 3));
    EXPECT_TRUE(counter.Write("4\n5\n", 4));
    EXPECT_EQ(counter.Lines(), 2u);
}

TEST(LineCounterTest, LongLinesAcrossManyPieces) {
    // The head of a line must come from its first bytes, not from the piece edges.
    std::string text =
        std::string(100000, 'x') + "\n\\.y\n" + "\\" + std::string(5000, '.') + "\n" + "z\n";
    for (size_t piece : {1u, 2u, 3u, 7u, 4096u}) {
        DumpUtil::CLineCounter counter;
        for (size_t at = 0; at < text.size(); at += piece) {
            counter.Write(text.data() + at, std::min(piece, text.size() - at));
        }
        EXPECT_EQ(counter.Lines(), 4u) << piece;
    }
}
