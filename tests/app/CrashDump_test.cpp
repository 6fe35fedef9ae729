#include "app/CrashDump.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "app/support/ChildProcess.h"
#include "support/TestPaths.h"
#include "support/Text.h"

using testsupport::Narrow;
using testsupport::ScratchDir;

namespace {

constexpr const wchar_t* kCrashFlag = L"--crash-child";
constexpr DWORD kAccessViolation = 0xC0000005;
// Wine's dbghelp reads the symbols of every loaded Linux module while it
// writes a dump: about 15 s on the test machines, so the child gets longer
// than the usual bound.
constexpr DWORD kDumpingChildWaitMs = 60000;

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

void CrashOnThisThread()
{
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

} // namespace

// The child flavour: crashes on a worker thread, outside anything the test
// framework could catch.
TEST(CrashDumpChild, CrashOnAWorkerThread)
{
    if (!apptest::IsChildRun(kCrashFlag))
        GTEST_SKIP() << "only run by CrashDump.CrashWritesADumpBesideTheExecutableAndExitsNonZero";
    std::thread worker(CrashOnThisThread);
    worker.join();
    ADD_FAILURE() << "the crash did not end the process";
}

TEST(CrashDump, CrashWritesADumpBesideTheExecutableAndExitsNonZero)
{
    ScratchDir dir(L"crash");
    const std::wstring copy = dir.File(L"crashing_app.exe");
    ASSERT_TRUE(CopyFileW(apptest::ThisExecutable().c_str(), copy.c_str(), FALSE));

    const time_t before = time(nullptr);
    const std::optional<DWORD> code = apptest::RunChild(
        apptest::ChildTestCommand(copy, L"CrashDumpChild.CrashOnAWorkerThread", kCrashFlag) +
        L" --gtest_catch_exceptions=0",
        kDumpingChildWaitMs);
    const time_t after = time(nullptr);
    ASSERT_TRUE(code.has_value()) << "the crashed child did not end";
    EXPECT_EQ(*code, kAccessViolation);

    std::vector<std::wstring> dumps;
    for (const std::wstring& name : FilesIn(dir.Path())) {
        if (name != L"crashing_app.exe")
            dumps.push_back(name);
    }
    ASSERT_EQ(dumps.size(), 1u);
    std::smatch match;
    const std::string dumpName = Narrow(dumps[0]);
    ASSERT_TRUE(std::regex_match(dumpName, match, std::regex(R"(crashing_app\.exe\.(\d+)\.dmp)"))) << dumpName;
    const long long stamp = std::stoll(match[1].str());
    EXPECT_GE(stamp, static_cast<long long>(before));
    EXPECT_LE(stamp, static_cast<long long>(after));

    std::string bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(dir.File(dumps[0]), bytes));
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), "MDMP");
}

TEST(CrashDump, ExitCodeIsNeverZero)
{
    EXCEPTION_RECORD record = {};
    EXCEPTION_POINTERS pointers = {&record, nullptr};
    record.ExceptionCode = kAccessViolation;
    EXPECT_EQ(CrashExitCode(&pointers), kAccessViolation);
    record.ExceptionCode = 0;
    EXPECT_NE(CrashExitCode(&pointers), 0u);
    EXPECT_NE(CrashExitCode(nullptr), 0u);
}
