// The string table the build puts into the installer.
#include "app/ServiceStrings.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceStrings, HoldTheProductIdAndServiceUrlTheBuildWasGiven)
{
    EXPECT_EQ(CORVEL_EXPECTED_PRODUCT_ID, LoadStringEntry(nullptr, kProductSnStringId));
    EXPECT_EQ(CORVEL_EXPECTED_SERVICE_URL, LoadStringEntry(nullptr, kServiceBaseUrlStringId));
}

TEST(ServiceStrings, MissingEntryIsEmpty)
{
    EXPECT_EQ(L"", LoadStringEntry(nullptr, 9999));
}

} // namespace
