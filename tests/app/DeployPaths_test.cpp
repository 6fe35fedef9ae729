// Package file names taken from the descriptor's URL: the last segment with
// the query cut, and nothing that could leave the installation directory,
// open a stream or a device.
#include "app/DeployPaths.h"

#include <gtest/gtest.h>

#include "support/Text.h"

TEST(FileNameFromUrl, TakesTheLastSegmentWithoutItsQuery)
{
    struct Case {
        const wchar_t* url;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"http://127.0.0.1:18080/pkg/CVL2026-STD.zip", L"CVL2026-STD.zip"},
        {L"https://cdn.example.com/a/b/app.zip?sign=1&t=2", L"app.zip"},
        {L"https://cdn.example.com/app.zip?", L"app.zip"},
        {L"app.zip", L"app.zip"},                          // no slash: the whole text
        {L"app.zip?x=1", L"app.zip"},
        {L"http://h/下载/演示 产品 专业版.zip", L"演示 产品 专业版.zip"},
        {L"http://h/pkg/%E6%BC%94.zip", L"%E6%BC%94.zip"},  // escapes are kept as they are
        {L"http://h/get?file=/a/b.zip", L"b.zip"},         // the last "/" even inside the query
        {L"http://h/setup.exe", L"setup.exe"},
        {L"http://h/.hidden", L".hidden"},
        {L"http://h/con.zip.bak/x", L"x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testsupport::Narrow(c.url));
        EXPECT_EQ(FileNameFromUrl(c.url), c.name);
    }
}

// Everything that is not one plain file name comes back empty; the
// download refuses an empty name before it fetches anything.
TEST(FileNameFromUrl, RefusesWhatIsNotOnePlainFileName)
{
    const wchar_t* const urls[] = {
        L"",
        L"http://h/",                     // nothing after the slash
        L"http://h/?app.zip",             // nothing before the query
        L"http://h/pkg/.",
        L"http://h/pkg/..",
        L"http://h/pkg/..?x=1",
        L"http://h/pkg\\..\\..\\evil.exe",  // backslash separators
        L"http://h/pkg/a\\b.zip",
        L"http://h/pkg/app.zip:stream",   // an alternate data stream
        L"http://h/pkg/C:evil.zip",
        L"http:",                         // no slash at all, a drive-like name
        L"http://h/CON",                  // devices, with or without an extension, any case
        L"http://h/nul.zip",
        L"http://h/Com1.txt",
        L"http://h/lpt9",
        L"http://h/aux .zip",
        L"http://h/conin$",
        L"http://h/app.zip.",             // trailing dot or blank: another file
        L"http://h/app.zip ",
        L"http://h/app\x01.zip",          // control characters
        L"http://h/app\t.zip",
        L"http://h/a*.zip",               // characters the file system refuses
        L"http://h/a<b>.zip",
        L"http://h/a|b.zip",
        L"http://h/a\"b.zip",
    };
    for (const wchar_t* url : urls) {
        SCOPED_TRACE(testsupport::Narrow(url));
        EXPECT_EQ(FileNameFromUrl(url), L"");
    }
}
