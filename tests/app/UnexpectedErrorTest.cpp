#include <gtest/gtest.h>

#include "app/UnexpectedError.h"

TEST(UnexpectedErrorTest, DescriptionBytesAreWidenedOneByOne) {
    EXPECT_EQ(UnexpectedErrorMessage("bad allocation"),
              u"予期しないエラーが発生しました: bad allocation");
    EXPECT_EQ(UnexpectedErrorMessage(""), u"予期しないエラーが発生しました: ");
    EXPECT_EQ(UnexpectedErrorMessage("\xE9\x80"), u"予期しないエラーが発生しました: \u00E9\u0080");
    EXPECT_EQ(UnexpectedErrorMessage(nullptr), u"予期しないエラーが発生しました。");
}
