// Small helpers shared by the network tests.
#pragma once

#include "support/TestService.h"
#include "support/Text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace nettest {

inline const testsupport::TestService& Service()
{
    const testsupport::TestService& s = testsupport::TestService::Get();
    EXPECT_TRUE(s.Available()) << std::string(s.Error().begin(), s.Error().end());
    return s;
}

using testsupport::Narrow;

} // namespace nettest
