// The demo product the demo service ships: each start appends one line to
// the marker beside the program, naming its command line and working
// directory, and the exit code says whether the line was written.
#include "support/TestPaths.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

namespace {

using testsupport::Narrow;
using testsupport::ScratchDir;

constexpr wchar_t kMarkerName[] = L"corvel-demo-product.marker";
// The program only writes a line: it ends long before this.
constexpr DWORD kRunWaitMs = 10000;

std::wstring BuiltProduct() { return testsupport::BinaryDir() + L"\\DemoProduct.exe"; }

// Runs commandLine in workDir and waits; its exit code, or nullopt when it
// could not start or did not end in time (then it is ended).
std::optional<DWORD> RunIn(const std::wstring& commandLine, const std::wstring& workDir)
{
    std::wstring command = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(), &startup,
                        &process))
        return std::nullopt;
    CloseHandle(process.hThread);
    std::optional<DWORD> code;
    DWORD exitCode = 0;
    if (WaitForSingleObject(process.hProcess, kRunWaitMs) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.hProcess, &exitCode))
        code = exitCode;
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    return code;
}

// The product installed as the packages name it, in a folder with a
// Chinese name and a space, started from another folder.
struct InstalledProduct {
    ScratchDir scratch{L"product"};
    std::wstring programDir = scratch.File(L"程序 目录");
    std::wstring workDir = scratch.File(L"工作");
    std::wstring exe = programDir + L"\\CorvelNotes.exe";
    std::wstring marker = programDir + L"\\" + kMarkerName;

    bool Install()
    {
        return CreateDirectoryW(programDir.c_str(), nullptr) && CreateDirectoryW(workDir.c_str(), nullptr) &&
               CopyFileW(BuiltProduct().c_str(), exe.c_str(), TRUE);
    }
    std::wstring CommandLine() const { return L"\"" + exe + L"\" --from-test 中文"; }
    std::string ExpectedLine() const { return "start\t" + Narrow(CommandLine()) + "\t" + Narrow(workDir) + "\r\n"; }
};

TEST(DemoProduct, EachStartAppendsItsCommandLineAndWorkingDirectoryBesideItself)
{
    InstalledProduct product;
    ASSERT_TRUE(product.Install()) << Narrow(BuiltProduct()) << " error " << GetLastError();

    ASSERT_EQ(std::optional<DWORD>(0), RunIn(product.CommandLine(), product.workDir));
    std::string marker;
    ASSERT_TRUE(testsupport::ReadFileBytes(product.marker, marker));
    EXPECT_EQ(product.ExpectedLine(), marker);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((product.workDir + L"\\" + kMarkerName).c_str()))
        << "the marker goes beside the program, not into the working directory";

    ASSERT_EQ(std::optional<DWORD>(0), RunIn(product.CommandLine(), product.workDir));
    ASSERT_TRUE(testsupport::ReadFileBytes(product.marker, marker));
    EXPECT_EQ(product.ExpectedLine() + product.ExpectedLine(), marker);
}

TEST(DemoProduct, AMarkerThatCannotBeWrittenEndsWithAFailureCode)
{
    InstalledProduct product;
    ASSERT_TRUE(product.Install()) << Narrow(BuiltProduct()) << " error " << GetLastError();
    // A folder where the marker file would go.
    ASSERT_TRUE(CreateDirectoryW(product.marker.c_str(), nullptr));

    EXPECT_EQ(std::optional<DWORD>(1), RunIn(product.CommandLine(), product.workDir));
}

} // namespace
