#include "app/PathUtil.h"

#include <gtest/gtest.h>

#include "support/TestPaths.h"
#include "support/Text.h"

using testsupport::Narrow;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A file opened without delete sharing: DeleteFileW fails while it lives.
class LockedFile {
public:
    explicit LockedFile(const std::wstring& path)
        : m_h(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~LockedFile()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    bool Ok() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

} // namespace

TEST(PathUtil, ShortenPathForDisplayTable)
{
    // 25 characters, last element 6: first 10, "...", separator and element.
    const std::wstring path25 = L"C:\\Games\\Product\\x\\app123";
    ASSERT_EQ(path25.size(), 25u);
    struct Case {
        std::wstring path;
        std::wstring shown;
    } const cases[] = {
        {L"C:\\Program Files\\ab", L"C:\\Program Files\\ab"}, // 20: unchanged
        {L"", L""},
        {path25, L"C:\\Games\\P...\\app123"},
        {L"abcdefghijklmnopqrstuvwxyz", L"...jklmnopqrstuvwxyz"},
        {L"C:\\Games\\averyveryverylongname.exe", L"...yverylongname.exe"},
        // The last "/" wins over a later backslash.
        {L"C:\\a\\b/c\\d\\efghijklmnopqrstu", L"...efghijklmnopqrstu"},
        {L"C:\\aaaa\\bbbb/cccc\\dddddddddd", L"C.../cccc\\dddddddddd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.path));
        const std::wstring shown = ShortenPathForDisplay(c.path);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(shown.size(), c.path.size() > 20 ? 20u : c.path.size());
    }
}

TEST(PathUtil, DeleteFolderTreeKeepsNamedEntriesAndReportsLockedFiles)
{
    ScratchDir dir(L"del");
    const std::wstring root = dir.File(L"product");
    for (const wchar_t* folder : {L"", L"\\kept", L"\\gone", L"\\gone\\deep"})
        ASSERT_TRUE(CreateDirectoryW((root + folder).c_str(), nullptr));
    for (const wchar_t* file : {L"\\a.txt", L"\\kept\\b.txt", L"\\kept\\Settings.INI", L"\\gone\\c.txt",
                                L"\\gone\\deep\\d.txt"})
        ASSERT_TRUE(WriteFileBytes(root + file, "x"));
    LockedFile locked(root + L"\\gone\\locked.dat");
    LockedFile uninstaller(root + L"\\gone\\uninstall.exe");
    ASSERT_TRUE(locked.Ok() && uninstaller.Ok());

    const std::vector<std::wstring> left = DeleteFolderTree(root, {L"settings.ini"});

    EXPECT_EQ(left, std::vector<std::wstring>{root + L"\\gone\\locked.dat"});
    EXPECT_FALSE(Exists(root + L"\\a.txt"));
    EXPECT_FALSE(Exists(root + L"\\kept\\b.txt"));
    EXPECT_TRUE(Exists(root + L"\\kept\\Settings.INI"));
    EXPECT_FALSE(Exists(root + L"\\gone\\deep"));
    EXPECT_TRUE(Exists(root + L"\\gone\\uninstall.exe"));
}

TEST(PathUtil, DeletePathsWithRetryIgnoresALockedUninstaller)
{
    ScratchDir dir(L"del");
    const std::wstring root = dir.File(L"product");
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(root + L"\\a.txt", "x"));
    {
        LockedFile uninstaller(root + L"\\uninstall.exe");
        ASSERT_TRUE(uninstaller.Ok());
        EXPECT_TRUE(DeletePathsWithRetry(root, {}));
        EXPECT_FALSE(Exists(root + L"\\a.txt"));
        EXPECT_TRUE(Exists(root + L"\\uninstall.exe"));
    }
    {
        LockedFile stuck(root + L"\\stuck.dat");
        ASSERT_TRUE(stuck.Ok());
        EXPECT_FALSE(DeletePathsWithRetry(root, {})); // four runs, about 3 s
        EXPECT_TRUE(Exists(root + L"\\stuck.dat"));
    }
    EXPECT_TRUE(DeletePathsWithRetry(root, {}));
    EXPECT_FALSE(Exists(root));
}

TEST(PathUtil, DeleteFolderTreeDoesNotFollowDirectoryLinks)
{
    ScratchDir dir(L"del");
    const std::wstring outside = dir.File(L"outside");
    const std::wstring root = dir.File(L"product");
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(outside + L"\\precious.txt", "keep me"));
    if (!CreateSymbolicLinkW((root + L"\\link").c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        GTEST_SKIP() << "no directory links here (error " << GetLastError() << ")";
    ASSERT_NE(GetFileAttributesW((root + L"\\link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);

    EXPECT_TRUE(DeleteFolderTree(root, {}).empty());
    EXPECT_TRUE(Exists(outside + L"\\precious.txt"));
    EXPECT_FALSE(Exists(root));
}
