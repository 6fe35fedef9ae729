#include "Corvel/Core/UiString.h"

#include <gtest/gtest.h>

using ui::CUiString;

TEST(UiStringFormat, WideTextAndNumbers)
{
    CUiString s;
    EXPECT_EQ(9, s.Format(L"%s-%d", L"abc", 12345));
    EXPECT_STREQ(L"abc-12345", s.GetData());
}
