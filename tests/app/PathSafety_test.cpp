// Names from outside turned into one path element.
#include "app/PathSafety.h"

#include "support/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(PathSafety, TellsOnePathElementFromEverythingElse)
{
    struct Case {
        const wchar_t* name;
        bool safe;
        const wchar_t* made;   // MakeSafePathComponent's answer
    } cases[] = {
        {L"Corvel Notes", true, L"Corvel Notes"},
        {L"演示产品", true, L"演示产品"},
        {L"v1.2", true, L"v1.2"},
        {L"", false, L""},
        {L".", false, L""},
        {L"..", false, L""},
        {L"...", false, L""},
        {L" . ", false, L""},
        {L"a\\b", false, L"a_b"},
        {L"a/b", false, L"a_b"},
        {L"..\\..\\Windows", false, L".._.._Windows"},
        {L"C:", false, L"C_"},
        {L"x*?\"<>|", false, L"x______"},
        {L"tab\tname", false, L"tab_name"},
        {L"name.", false, L"name"},
        {L"name ", false, L"name"},
        {L"con", false, L"_con"},
        {L"NUL.txt", false, L"_NUL.txt"},
        {L"Com1", false, L"_Com1"},
        {L"lpt9.log", false, L"_lpt9.log"},
        {L"COM0", true, L"COM0"},
        {L"console", true, L"console"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testsupport::Narrow(c.name));
        EXPECT_EQ(c.safe, IsSafePathComponent(c.name));
        EXPECT_EQ(std::wstring(c.made), MakeSafePathComponent(c.name));
        const std::wstring made = MakeSafePathComponent(c.name);
        EXPECT_TRUE(made.empty() || IsSafePathComponent(made));
    }
}

TEST(PathSafety, CutsLongNamesToOneElement)
{
    const std::wstring longName(300, L'a');
    EXPECT_FALSE(IsSafePathComponent(longName));
    EXPECT_EQ(kMaxPathComponent, MakeSafePathComponent(longName).size());
    EXPECT_TRUE(IsSafePathComponent(std::wstring(kMaxPathComponent, L'a')));
}

} // namespace
