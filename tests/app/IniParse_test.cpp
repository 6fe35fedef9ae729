#include "app/IniParse.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <climits>

#include "support/TestPaths.h"

using testsupport::ScratchDir;

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ExeFolder()
{
    wchar_t buf[MAX_PATH];
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p = buf;
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

} // namespace

TEST(IniParse, OpenCreatesFolderAndFileOnceAndExistingFileStaysBound)
{
    ScratchDir dir(L"ini");
    std::wstring folder = dir.Path() + L"\\a\\b"; // missing parents, no trailing slash
    CIniParse first;
    EXPECT_TRUE(first.Open(L"s.ini", folder));
    EXPECT_EQ(first.Path(), folder + L"\\s.ini");
    EXPECT_TRUE(Exists(first.Path()));
    first.WriteInt64(L"Slice0", L"size", 4096);

    CIniParse second;
    EXPECT_FALSE(second.Open(L"s.ini", folder + L"\\")); // exists: false, but bound
    EXPECT_EQ(second.Path(), folder + L"\\s.ini");
    EXPECT_EQ(second.ReadInt64(L"Slice0", L"size"), 4096);
}

TEST(IniParse, EmptyNameLeavesThePathUnbound)
{
    CIniParse ini;
    EXPECT_FALSE(ini.Open(L"", L"C:\\"));
    EXPECT_FALSE(ini.IsBound());
    EXPECT_EQ(ini.ReadInt64(L"s", L"k"), 0);
    EXPECT_FALSE(ini.WriteInt64(L"s", L"k", 1)); // unbound: nothing written anywhere
}

// Run in a copy of this executable inside a scratch folder, so that the file
// made beside the executable stays in the test's own space.
TEST(IniParseHelper, OpenWithEmptyFolder)
{
    if (std::wstring(GetCommandLineW()).find(L"--ini-helper") == std::wstring::npos)
        GTEST_SKIP() << "only run by EmptyFolderMeansExecutableFolder";
    CIniParse ini;
    EXPECT_TRUE(ini.Open(L"beside.ini", L""));
    EXPECT_EQ(ini.Path(), ExeFolder() + L"beside.ini");
}

TEST(IniParse, EmptyFolderMeansExecutableFolder)
{
    ScratchDir dir(L"ini");
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring copy = dir.File(L"copy.exe");
    ASSERT_TRUE(CopyFileW(exe, copy.c_str(), FALSE));
    std::wstring cmd = L"\"" + copy + L"\" --gtest_filter=IniParseHelper.OpenWithEmptyFolder --ini-helper";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(Exists(dir.File(L"beside.ini")));
}

TEST(IniParse, ReadInt64ParsesLikeTheCLibraryAndSaturates)
{
    ScratchDir dir(L"ini");
    testsupport::WriteFileBytes(dir.File(L"v.ini"),
                                "[S]\r\nneg=  -12x\r\nletters=abc\r\nempty=\r\nplus=+7\r\n"
                                "big=99999999999999999999\r\nsmall=-99999999999999999999\r\n"
                                "min=-9223372036854775808\r\nspaces=   42   \r\n");
    CIniParse ini;
    ASSERT_FALSE(ini.Open(L"v.ini", dir.Path()));
    struct Case {
        const wchar_t* key;
        int64_t expected;
    } cases[] = {
        {L"neg", -12},         {L"letters", 0},     {L"empty", 0},
        {L"missing", 0},       {L"plus", 7},        {L"big", INT64_MAX},
        {L"small", INT64_MIN}, {L"min", INT64_MIN}, {L"spaces", 42},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.ReadInt64(L"S", c.key), c.expected) << c.key;
    EXPECT_EQ(ini.ReadInt64(L"NoSection", L"neg"), 0);
}

TEST(IniParse, WriteInt64RoundTripsTheExtremes)
{
    ScratchDir dir(L"ini");
    CIniParse ini;
    ASSERT_TRUE(ini.Open(L"x.ini", dir.Path()));
    const int64_t values[] = {INT64_MAX, INT64_MIN, 0, -1, 1099511627776LL};
    for (int64_t v : values) {
        EXPECT_TRUE(ini.WriteInt64(L"Slice3", L"end", v));
        EXPECT_EQ(ini.ReadInt64(L"Slice3", L"end"), v);
    }
    ini.WriteInt64(L"Slice3", L"end", INT64_MAX);
    wchar_t raw[64] = {};
    GetPrivateProfileStringW(L"Slice3", L"end", L"", raw, 64, ini.Path().c_str());
    EXPECT_STREQ(raw, L"9223372036854775807");
}

TEST(IniParse, TextOutsideTheAnsiCodePageSurvives)
{
    ScratchDir dir(L"ini");
    CIniParse ini;
    ASSERT_TRUE(ini.Open(L"user.dat", dir.Path()));
    const std::wstring path = L"D:\\\x6D4B\x8BD5\\\x0416\x0438\x0437\x043D\x044C \x00E9\\app";
    EXPECT_TRUE(ini.WriteText(L"pkg", L"installPath", path));
    EXPECT_EQ(ini.ReadText(L"pkg", L"installPath"), path);
}

TEST(IniParse, TextKeepsQuotesAndBlanks)
{
    ScratchDir dir(L"ini");
    CIniParse ini;
    ASSERT_TRUE(ini.Open(L"q.ini", dir.Path()));
    const wchar_t* values[] = {L"\"v1\"", L"'x'", L"  padded  ", L"W/\"weak\"", L"Wed, 21 Oct 2015 07:28:00 GMT", L""};
    for (const wchar_t* v : values) {
        EXPECT_TRUE(ini.WriteText(L"Download", L"validator", v));
        EXPECT_EQ(ini.ReadText(L"Download", L"validator"), v);
    }
}

TEST(IniParse, TextWithLineBreaksIsRefusedAndCannotAddKeys)
{
    ScratchDir dir(L"ini");
    CIniParse ini;
    ASSERT_TRUE(ini.Open(L"t.ini", dir.Path()));
    ASSERT_TRUE(ini.WriteInt64(L"Slice0", L"size", 5));
    EXPECT_FALSE(ini.WriteText(L"Download", L"url", L"x\r\n[Slice0]\r\nsize=999"));
    EXPECT_EQ(ini.ReadInt64(L"Slice0", L"size"), 5);
}

TEST(IniParse, LongTextReadsWholeAndUserSettingIsCutAt511)
{
    ScratchDir dir(L"ini");
    std::wstring long1000(1000, L'a');
    long1000[999] = L'z';
    {
        CIniParse ini;
        ASSERT_TRUE(ini.Open(L"l.ini", dir.Path()));
        ASSERT_TRUE(ini.WriteText(L"S", L"k", long1000));
        EXPECT_EQ(ini.ReadText(L"S", L"k"), long1000);
    }
    ASSERT_FALSE(userSettings.Open(L"l.ini", dir.Path()));
    EXPECT_EQ(ReadUserSetting(L"S", L"k"), long1000.substr(0, 511));
    EXPECT_TRUE(WriteUserSetting(L"pkg", L"installPath", L"C:\\Games\\X"));
    EXPECT_EQ(ReadUserSetting(L"pkg", L"installPath"), L"C:\\Games\\X");
    EXPECT_EQ(ReadUserSetting(L"pkg", L"missing"), L"");
}
