#include <gtest/gtest.h>

#include <optional>

#include "store/CopyLine.h"

namespace {

using Cells = std::vector<std::optional<std::string>>;

Cells Split(const std::string& line, int codePage = 65001) {
    std::vector<CopyField> fields;
    SplitCopyLine(line.data(), line.size(), fields, codePage);
    Cells out;
    for (const CopyField& f : fields) {
        if (f.isNull) {
            EXPECT_TRUE(f.bytes.empty());
            out.emplace_back(std::nullopt);
        } else {
            out.emplace_back(f.bytes);
        }
    }
    return out;
}

const std::nullopt_t N = std::nullopt;

}  // namespace

TEST(CopyLineTest, EscapesAndNulls) {
    struct Case {
        std::string line;
        Cells cells;
    };
    const Case cases[] = {
        {"a\tb", {"a", "b"}},
        {"", {""}},
        {"\t", {"", ""}},
        {"\\N", {N}},
        {"\\N\t\\N", {N, N}},
        {"a\\Nb", {"aNb"}},
        {"\\Nx", {"Nx"}},
        {"x\\N", {"xN"}},
        {"\\N\\N", {"NN"}},
        {"\\b\\f\\n\\r\\t\\v", {"\b\f\n\r\t\v"}},
        {"\\\\", {"\\"}},
        {"\\x4", {"\x04"}},
        {"\\x41B", {"AB"}},
        {"\\x4a", {"J"}},
        {"\\xg", {"xg"}},
        {"\\x", {"x"}},
        {"\\101", {"A"}},
        {"\\1011", {"A1"}},
        {"\\0", {std::string(1, '\0')}},
        {"\\400", {std::string(1, '\0')}},  // 256 wraps to 0
        {"\\8", {"8"}},
        {"\\q", {"q"}},
        {"end\\", {"end\\"}},
        {"a\r", {"a\r"}},
        {"\\\t", {"\t"}},  // an escaped tab is data, not a separator
        {"1\t\\N\t", {"1", N, ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Split(c.line), c.cells);
    }
}

TEST(CopyLineTest, MultiByteTrailBytesAreNotEscapes) {
    // "ソ" is 83 5C in Shift_JIS and "表" 95 5C: the 0x5C is a trail byte.
    EXPECT_EQ(Split("\x83\x5c\t\x95\x5c\\\\", 932), (Cells{"\x83\x5c", "\x95\x5c\\"}));
    // In UTF-8 every byte is scanned, so the same bytes hold an escape.
    EXPECT_EQ(Split("\x83\x5c\t", 65001), (Cells{"\x83\t"}));
    // Half-width katakana is a single byte in 932.
    EXPECT_EQ(Split("\xb1\\t", 932), (Cells{"\xb1\t"}));
    // A lead byte at the very end stands alone.
    EXPECT_EQ(Split("a\x83", 932), (Cells{"a\x83"}));
    // GB18030: four-byte characters when a digit follows the lead, else two bytes.
    EXPECT_EQ(Split("\x95\x32\x82\x36\t\x81\x5c", 54936), (Cells{"\x95\x32\x82\x36", "\x81\x5c"}));
    EXPECT_EQ(Split("\x81\x30\x5c", 54936), (Cells{"\x81\x30\x5c"}));  // cut four-byte char
    for (int cp : {936, 949, 950}) {
        EXPECT_EQ(Split("\xa4\x5c\t\\N", cp), (Cells{"\xa4\x5c", N})) << cp;
    }
}

TEST(CopyLineTest, FieldsAreReusedBetweenCalls) {
    std::vector<CopyField> fields;
    SplitCopyLine("a\tb\tc", 5, fields, 65001);
    ASSERT_EQ(fields.size(), 3u);
    SplitCopyLine("\\N", 2, fields, 65001);
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_TRUE(fields[0].isNull);
    SplitCopyLine("x\ty", 3, fields, 65001);
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_FALSE(fields[0].isNull);
    EXPECT_EQ(fields[0].bytes, "x");
}

TEST(CopyLineTest, OnlyTheWantedColumnsDecodeAsAFullSplitWould) {
    // Escaped tabs, a backslash at the end, octal and hex escapes, \N next to text, empty
    // fields and short lines: a wanted column always decodes as the full split decodes it.
    const std::string lines[] = {
        "a\tb\tc\td",
        "\\N\t\\N\t\\Nx\tz",
        "a\\\tb\tc\\\\\td",
        "x\\",
        "\\101\t\\x41\\\t\t",
        "\t\t\t",
        "one",
        "a\\\\\\\tq\t\\t\tr",
        "",
        "k\t\\\t\\N\t1\t2\t3",
        "日本\t語\\n\t\xff",
        "1\t2\t3\t4\t5\t6\t7",
    };
    for (const std::string& line : lines) {
        std::vector<CopyField> full;
        SplitCopyLine(line.data(), line.size(), full, 65001);
        for (unsigned mask = 0; mask < 16; ++mask) {
            SCOPED_TRACE(line + " mask " + std::to_string(mask));
            std::vector<bool> wanted(4);
            for (size_t j = 0; j < 4; ++j) wanted[j] = ((mask >> j) & 1) != 0;
            std::vector<CopyField> fields(6);  // left over from an earlier row
            fields[5].bytes = "stale";
            SplitCopyLineColumns(line.data(), line.size(), fields, 65001, wanted);
            RowCells cells;
            RowCells expected;
            CopyFieldsToCells(fields, 4, 65001, wanted, cells);
            CopyFieldsToCells(full, 4, 65001, wanted, expected);
            ASSERT_GE(cells.size(), 4u);
            for (size_t j = 0; j < 4; ++j) {
                EXPECT_EQ(cells[j].isNull, expected[j].isNull) << j;
                EXPECT_EQ(cells[j].text, expected[j].text) << j;
            }
        }
    }
    // Multi-byte code pages take the full split: a trail byte may be a backslash.
    const std::string sjis = "\x95\x5C\t\\N";
    std::vector<CopyField> fields;
    SplitCopyLineColumns(sjis.data(), sjis.size(), fields, 932, {false, true});
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0].bytes, "\x95\x5C");
    EXPECT_TRUE(fields[1].isNull);
}
