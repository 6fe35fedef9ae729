// The boot entries' program paths and link names: service texts that would
// leave the installation directory or make no single file name are refused.
#include "app/BootPrograms.h"

#include <gtest/gtest.h>

#include "support/Text.h"

using testsupport::Narrow;

namespace {

const std::wstring kDir = L"C:\\Program Files (x86)\\Corvel\\Notes";

stBootEntry Entry(const std::string& path, const std::string& name = "")
{
    return stBootEntry{path, name};
}

} // namespace

TEST(BootPrograms, ProgramPathsStayInsideTheInstallationDirectory)
{
    struct Case {
        const char* path;       // UTF-8 as the service sends it
        const wchar_t* expected; // empty: skipped
    };
    const Case cases[] = {
        {"app.exe", L"C:\\Program Files (x86)\\Corvel\\Notes\\app.exe"},
        {"bin/app.exe", L"C:\\Program Files (x86)\\Corvel\\Notes\\bin\\app.exe"},
        {"bin\\..\\app.exe", L"C:\\Program Files (x86)\\Corvel\\Notes\\app.exe"},
        {"./笔记.exe", L"C:\\Program Files (x86)\\Corvel\\Notes\\笔记.exe"},
        // The directory itself exists and would count as installed.
        {"", L""},
        {".", L""},
        {"bin\\..", L""},
        {"..\\evil.exe", L""},
        {"bin/../../evil.exe", L""},
        {"..\\Notes2\\app.exe", L""},
        {"C:\\Windows\\notepad.exe", L""},
        {"C:evil.exe", L""},
        {"\\evil.exe", L""},
        {"/evil.exe", L""},
        {"\\\\server\\share\\evil.exe", L""},
        {"app.exe:stream", L""},
        {"\\\\?\\C:\\evil.exe", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Narrow(BootProgramPath(kDir, Entry(c.path))), Narrow(c.expected));
    }
    // Without a directory nothing is a program of the product.
    EXPECT_EQ(BootProgramPath(L"", Entry("app.exe")), L"");
    // A directory given with its trailing separator joins the same way.
    EXPECT_EQ(BootProgramPath(kDir + L"\\", Entry("bin/app.exe")), kDir + L"\\bin\\app.exe");
}

TEST(BootPrograms, LinkNamesBecomeOneFileNameOrNone)
{
    struct Case {
        const char* name;
        const wchar_t* expected; // empty: no link
    };
    const Case cases[] = {
        {"Corvel Notes", L"Corvel Notes"},
        {"笔记 专业版", L"笔记 专业版"},
        {"a\\b/c", L"a_b_c"},
        {"..\\..\\Startup\\evil", L".._.._Startup_evil"},
        {"C:evil", L"C_evil"},
        {"name:stream", L"name_stream"},
        {"what?*<>|\"", L"what______"},
        {"tab\there\n", L"tab_here_"},
        {"trailing. . ", L"trailing"},
        {"", L""},
        {"..", L""},
        {"   ", L""},
        {"CON", L""},
        {"nul.txt", L""},
        {"COM1", L""},
        {"lpt9 .lnk", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Narrow(BootShortcutName(Entry("app.exe", c.name))), Narrow(c.expected));
    }
}

TEST(BootPrograms, PackageKindAndPath)
{
    EXPECT_TRUE(IsZipPackage(L"app.zip"));
    EXPECT_TRUE(IsZipPackage(L"app.zip.part2"));
    EXPECT_FALSE(IsZipPackage(L"setup.exe"));
    EXPECT_FALSE(IsZipPackage(L"app.ZIP"));  // the kind test is case-sensitive
    EXPECT_EQ(JoinInstallPath(L"D:\\x", L"a.zip"), L"D:\\x\\a.zip");
    EXPECT_EQ(JoinInstallPath(L"D:\\x\\", L"a.zip"), L"D:\\x\\a.zip");
    EXPECT_EQ(JoinInstallPath(L"D:/x/", L"a.zip"), L"D:/x/a.zip");
}
