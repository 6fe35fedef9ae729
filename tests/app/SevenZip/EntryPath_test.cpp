#include "app/SevenZip/EntryPath.h"

#include <gtest/gtest.h>

#include "support/Text.h"

using sevenzip::SafeRelativePath;
using testsupport::Narrow;

TEST(EntryPath, PlainNamesBecomeBackslashPathsBelowTheFolder)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* path;
    };
    const Case cases[] = {
        {L"a.txt", L"a.txt"},
        {L"dir/sub/a.txt", L"dir\\sub\\a.txt"},
        {L"dir\\sub\\a.txt", L"dir\\sub\\a.txt"},
        {L"dir/", L"dir"},                       // folder entries end in a separator
        {L"a//b", L"a\\b"},                      // empty components vanish
        {L"中文/说明.txt", L"中文\\说明.txt"},
        {L"..a/b..c/.hidden", L"..a\\b..c\\.hidden"}, // dots inside names are fine
        {L"console.txt", L"console.txt"},        // only exact device names are devices
        {L"COM0", L"COM0"},
    };
    for (const Case& c : cases) {
        const auto path = SafeRelativePath(c.name);
        ASSERT_TRUE(path.has_value()) << Narrow(c.name);
        EXPECT_EQ(*path, c.path) << Narrow(c.name);
    }
}

TEST(EntryPath, NamesThatCouldLeaveTheFolderOrBeRewrittenAreRefused)
{
    const wchar_t* refused[] = {
        L"", L"/", L"\\\\",
        L"../x", L"..\\x", L"a/../../x", L"a/..", L"./x", L"..",
        L"/abs", L"\\abs", L"\\\\server\\share\\x", L"\\\\?\\C:\\x",
        L"C:\\x", L"C:x", L"c:/x",
        L"a:stream", L"dir/file.txt:ads", L"file.txt::$DATA",
        L"trailing.", L"trailing ", L"dir./x", L"... /x",
        L"a?b", L"a*b", L"a<b", L"a>b", L"a|b", L"a\"b", L"tab\there", L"nul\x01",
        L"CON", L"nul", L"Aux.txt", L"dir/prn.log", L"COM1", L"lpt9.dat", L"NUL .txt",
    };
    for (const wchar_t* name : refused)
        EXPECT_FALSE(SafeRelativePath(name).has_value()) << Narrow(name);
}
