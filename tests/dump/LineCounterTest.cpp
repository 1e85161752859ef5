#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

// Line feeds are looked for many bytes at a time: lines of every length around that
// stride, and the end line at different places in the stride.
TEST(LineCounterTest, LongTextsCountEveryRowBeforeTheEndLine) {
    std::string lines;
    for (size_t length = 0; length < 200; ++length) lines += std::string(length, 'x') + "\n";
    for (size_t endAfter :
         {size_t{0}, size_t{1}, size_t{62}, size_t{63}, size_t{64}, size_t{150}}) {
        std::string text;
        size_t at = 0;
        for (size_t row = 0; row < endAfter; ++row) at = lines.find('\n', at) + 1;
        text = lines.substr(0, at) + "\\.\n" + lines.substr(at);
        for (size_t cut : {size_t{0}, size_t{63}, size_t{64}, at, at + 1, text.size() / 2}) {
            EXPECT_EQ(CountInPieces(text, {std::min(cut, text.size())}), endAfter)
                << "end after " << endAfter << ", cut at " << cut;
        }
    }
    EXPECT_EQ(CountInPieces(lines, {100}), 200u);
}
