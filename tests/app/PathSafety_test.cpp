#include "app/PathSafety.h"

#include <gtest/gtest.h>

#include "support/Text.h"

using testsupport::Narrow;

namespace {

struct NameCase {
    const wchar_t* given;
    FileNameVerdict verdict;
    const wchar_t* name; // expected when valid
};

const NameCase kNameCases[] = {
    {L"Product", FileNameVerdict::kValid, L"Product"},
    {L"游戏 启动器", FileNameVerdict::kValid, L"游戏 启动器"},
    {L"setup.exe", FileNameVerdict::kValid, L"setup.exe"},
    {L".hidden", FileNameVerdict::kValid, L".hidden"},
    {L"a..b", FileNameVerdict::kValid, L"a..b"},
    // Separators and traversal collapse into one component.
    {L"..\\..\\Windows\\evil", FileNameVerdict::kValid, L".._.._Windows_evil"},
    {L"a/b", FileNameVerdict::kValid, L"a_b"},
    {L"C:\\x", FileNameVerdict::kValid, L"C__x"},
    {L"\\\\server\\share", FileNameVerdict::kValid, L"__server_share"},
    // Streams, wildcards, quotes and controls.
    {L"file.txt:stream", FileNameVerdict::kValid, L"file.txt_stream"},
    {L"a<b>c\"d|e?f*g", FileNameVerdict::kValid, L"a_b_c_d_e_f_g"},
    {L"tab\there\r\n", FileNameVerdict::kValid, L"tab_here__"},
    // Blanks and dots the system would drop.
    {L"  name. . ", FileNameVerdict::kValid, L"name"},
    {L"name...", FileNameVerdict::kValid, L"name"},
    {L"", FileNameVerdict::kEmpty, L""},
    {L"   ", FileNameVerdict::kEmpty, L""},
    {L".", FileNameVerdict::kEmpty, L""},
    {L"..", FileNameVerdict::kEmpty, L""},
    {L" . .. ", FileNameVerdict::kEmpty, L""},
    // Devices, with or without an extension and in any case.
    {L"CON", FileNameVerdict::kReservedDevice, L""},
    {L"con", FileNameVerdict::kReservedDevice, L""},
    {L"Nul.txt", FileNameVerdict::kReservedDevice, L""},
    {L"aux.tar.gz", FileNameVerdict::kReservedDevice, L""},
    {L"PRN.", FileNameVerdict::kReservedDevice, L""},
    {L"COM1", FileNameVerdict::kReservedDevice, L""},
    {L"com9.lnk", FileNameVerdict::kReservedDevice, L""},
    {L"LPT1 .lnk", FileNameVerdict::kReservedDevice, L""},
    {L"lpt\u00B9", FileNameVerdict::kReservedDevice, L""},
    {L"CONOUT$", FileNameVerdict::kReservedDevice, L""},
    {L"  CON  ", FileNameVerdict::kReservedDevice, L""},
    // Near misses stay valid.
    {L"CONSOLE", FileNameVerdict::kValid, L"CONSOLE"},
    {L"COM10", FileNameVerdict::kValid, L"COM10"},
    {L"xNUL", FileNameVerdict::kValid, L"xNUL"},
    {L"LPT", FileNameVerdict::kValid, L"LPT"},
};

} // namespace

TEST(PathSafety, ReduceToFileNameTable)
{
    for (const NameCase& c : kNameCases) {
        const SafeFileName result = ReduceToFileName(c.given);
        SCOPED_TRACE(Narrow(c.given));
        EXPECT_EQ(result.verdict, c.verdict);
        EXPECT_EQ(result.IsValid(), c.verdict == FileNameVerdict::kValid);
        EXPECT_EQ(result.name, c.name);
    }
}

TEST(PathSafety, ReducedNameIsAtMostOneComponentLong)
{
    EXPECT_EQ(ReduceToFileName(std::wstring(255, L'a')).name.size(), 255u);
    const SafeFileName tooLong = ReduceToFileName(std::wstring(256, L'a'));
    EXPECT_EQ(tooLong.verdict, FileNameVerdict::kTooLong);
    EXPECT_TRUE(tooLong.name.empty());
    // An embedded NUL is a control character like any other.
    EXPECT_EQ(ReduceToFileName(std::wstring(L"a\0b", 3)).name, L"a_b");
    // Dropped trailing dots do not count.
    EXPECT_TRUE(ReduceToFileName(std::wstring(255, L'a') + L"....").IsValid());
}

TEST(PathSafety, PathUnderFolderTable)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* folder;
        bool under;
    } const cases[] = {
        {L"C:\\Games\\Product\\run.exe", L"C:\\Games\\Product", true},
        {L"C:\\Games\\Product\\run.exe", L"C:\\Games\\Product\\", true},
        {L"c:\\games\\PRODUCT\\bin\\run.exe", L"C:\\Games\\Product", true},
        {L"C:/Games/Product/bin/run.exe", L"C:\\Games\\Product", true},
        {L"C:\\Games\\Product\\a\\..\\run.exe", L"C:\\Games\\Product", true},
        {L"C:\\Games\\Product\\.\\run.exe", L"C:\\Games\\Product", true},
        {L"C:\\run.exe", L"C:\\", true},
        {L"\\\\server\\share\\dir\\f", L"\\\\server\\share\\dir", true},
        // The folder itself is not inside it.
        {L"C:\\Games\\Product", L"C:\\Games\\Product", false},
        {L"C:\\Games\\Product\\", L"C:\\Games\\Product", false},
        {L"C:\\Games\\Product\\.", L"C:\\Games\\Product", false},
        // Climbing out, sibling prefixes, other drives.
        {L"C:\\Games\\Product\\..\\run.exe", L"C:\\Games\\Product", false},
        {L"C:\\Games\\Product\\a\\..\\..\\..\\Windows\\x.dll", L"C:\\Games\\Product", false},
        {L"C:\\Games\\Product2\\run.exe", L"C:\\Games\\Product", false},
        {L"D:\\Games\\Product\\run.exe", L"C:\\Games\\Product", false},
        // Streams, relative paths, device and literal namespaces.
        {L"C:\\Games\\Product\\run.exe:evil", L"C:\\Games\\Product", false},
        {L"Games\\Product\\run.exe", L"C:\\Games\\Product", false},
        {L"\\Games\\Product\\run.exe", L"C:\\Games\\Product", false},
        {L"C:Games\\Product\\run.exe", L"C:\\Games\\Product", false},
        {L"\\\\?\\C:\\Games\\Product\\run.exe", L"C:\\Games\\Product", false},
        {L"\\\\.\\C:\\Games\\Product\\run.exe", L"C:\\Games\\Product", false},
        {L"C:\\Games\\Product\\run.exe", L"Games\\Product", false},
        {L"", L"C:\\Games", false},
        {L"C:\\Games\\x", L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.path) + " in " + Narrow(c.folder));
        EXPECT_EQ(IsPathUnderFolder(c.path, c.folder), c.under);
    }
}

TEST(PathSafety, JoinUnderFolderResolvesOrRefuses)
{
    const std::wstring folder = L"C:\\Games\\Product";
    EXPECT_EQ(JoinUnderFolder(folder, L"bin\\run.exe"), L"C:\\Games\\Product\\bin\\run.exe");
    EXPECT_EQ(JoinUnderFolder(folder + L"\\", L"bin/./run.exe"), L"C:\\Games\\Product\\bin\\run.exe");
    EXPECT_EQ(JoinUnderFolder(folder, L"a\\..\\run.exe"), L"C:\\Games\\Product\\run.exe");

    const wchar_t* const refused[] = {
        L"", L"..\\run.exe", L"a\\..\\..\\run.exe", L"\\Windows\\x.dll", L"/x", L"C:\\Windows\\x.dll",
        L"D:run.exe", L"run.exe:stream", L"\\\\server\\share\\x", L".", L"bin\\..",
    };
    for (const wchar_t* relative : refused) {
        SCOPED_TRACE(Narrow(relative));
        EXPECT_EQ(JoinUnderFolder(folder, relative), L"");
    }
}
