#include "app/ProcessUtil.h"

#include <gtest/gtest.h>

#include "app/support/ChildProcess.h"
#include "support/TestPaths.h"

using testsupport::ScratchDir;

namespace {

constexpr const wchar_t* kSelfDeleteFlag = L"--self-delete-child";
constexpr DWORD kPollMs = 100;

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitUntilGone(const std::wstring& path)
{
    for (DWORD waited = 0; waited < apptest::kChildWaitMs; waited += kPollMs) {
        if (!Exists(path))
            return true;
        Sleep(kPollMs);
    }
    return !Exists(path);
}

} // namespace

TEST(ProcessUtil, DeleteCommandRemovesOnlyTheNamedFile)
{
    ScratchDir dir(L"selfdel");
    const std::wstring target = dir.File(L"setup.exe");
    const std::wstring nested = dir.File(L"nested");
    ASSERT_TRUE(CreateDirectoryW(nested.c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(target, "me"));
    ASSERT_TRUE(testsupport::WriteFileBytes(nested + L"\\setup.exe", "someone else"));

    const std::optional<DWORD> code = apptest::RunChild(SelfDeleteCommand(target));
    ASSERT_TRUE(code.has_value());
    EXPECT_FALSE(Exists(target));
    EXPECT_TRUE(Exists(nested + L"\\setup.exe"));
}

// The child flavour: removes its own executable and ends.
TEST(SelfDeleteChild, Run)
{
    if (!apptest::IsChildRun(kSelfDeleteFlag))
        GTEST_SKIP() << "only run by ProcessUtil.SelfDeleteEndsTheProcessAndRemovesItsExecutable";
    SelfDelete();
}

TEST(ProcessUtil, SelfDeleteEndsTheProcessAndRemovesItsExecutable)
{
    ScratchDir dir(L"selfdel");
    const std::wstring copy = dir.File(L"installer_1.exe");
    ASSERT_TRUE(CopyFileW(apptest::ThisExecutable().c_str(), copy.c_str(), FALSE));

    const std::optional<DWORD> code =
        apptest::RunChild(apptest::ChildTestCommand(copy, L"SelfDeleteChild.Run", kSelfDeleteFlag));
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
    EXPECT_TRUE(WaitUntilGone(copy));
}
