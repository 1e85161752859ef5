#include <gtest/gtest.h>

#include "sort/SortKeyList.h"

namespace {

std::vector<ColumnInfo> Columns() {
    return {{u"id", u"integer", true}, {u"Amount", u"numeric", false}, {u"名前", u"text", false}};
}

std::u16string Describe(const std::vector<SortKey>& keys) {
    return DescribeSortKeys(keys, Columns());
}

}  // namespace

TEST(SortKeyListTest, ParsesNamesAndDirections) {
    const struct {
        const char16_t* text;
        const char16_t* keys;  // empty: refused
    } cases[] = {
        {u"id", u"id 昇順"},
        {u"amount DESC, id", u"Amount 降順, id 昇順"},
        {u"\"Amount\" desc", u"Amount 降順"},
        {u"\"名前\" Asc , ID dEsC", u"名前 昇順, id 降順"},
        {u"\"amount\"", u"Amount 昇順"},  // a quoted name falls back to ASCII case like WHERE
        {u"", u""},
        {u"id,", u""},
        {u", id", u""},
        {u"id id", u""},
        {u"id DESC ASC", u""},
        {u"price", u""},
        {u"'id'", u""},
        {u"id + 1", u""},
    };
    for (const auto& c : cases) {
        std::vector<SortKey> keys;
        std::u16string error;
        const bool ok = ParseSortKeys(c.text, Columns(), keys, error);
        EXPECT_EQ(ok, *c.keys != u'\0') << std::string(c.text, c.text + 3);
        if (ok) {
            EXPECT_EQ(Describe(keys), c.keys);
        } else {
            EXPECT_TRUE(keys.empty());
            EXPECT_FALSE(error.empty());
        }
    }
    std::vector<SortKey> keys;
    std::u16string error;
    EXPECT_FALSE(ParseSortKeys(u"id, price", Columns(), keys, error));
    EXPECT_EQ(error, u"並べ替えの列がありません: price");
}

TEST(SortKeyListTest, HeaderClicksCycleEachKey) {
    const struct {
        size_t column;
        bool extend;
        const char16_t* after;
    } clicks[] = {
        {0, false, u"id 昇順"},
        {0, false, u"id 降順"},
        {0, false, u""},
        {1, false, u"Amount 昇順"},
        {0, true, u"Amount 昇順, id 昇順"},
        {0, true, u"Amount 昇順, id 降順"},
        {1, true, u"Amount 降順, id 降順"},
        {2, true, u"Amount 降順, id 降順, 名前 昇順"},
        {1, true, u"id 降順, 名前 昇順"},
        // A plain click on one of several keys makes it the only key.
        {2, false, u"名前 昇順"},
        {2, true, u"名前 降順"},
        {2, true, u""},
    };
    std::vector<SortKey> keys;
    for (const auto& c : clicks) {
        keys = ClickSortKeys(keys, c.column, c.extend);
        EXPECT_EQ(Describe(keys), c.after);
    }
}
