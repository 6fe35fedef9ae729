// The removal of the installer on the service's order, in a scratch folder:
// exactly the installer file, its desktop link and the per-user folder go.
#include "app/RemovalRoad.h"

#include "support/TestPaths.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <vector>

namespace {

using testsupport::ScratchDir;

constexpr DWORD kWaitMs = 10000;
// Installer names that cmd.exe must take literally: %PATH% is defined, so
// an expansion would name another file; & and ^ are its operators.
const wchar_t* const kInstallerNames[] = {L"setup_%PATH%&x.exe", L"安装程序_2035.exe", L"a^b!(1) & c.exe"};

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Put(const std::wstring& path)
{
    return testsupport::WriteFileBytes(path, "x");
}

bool WaitGone(const std::wstring& path)
{
    for (DWORD waited = 0; waited < kWaitMs && Exists(path); waited += 50)
        Sleep(50);
    return !Exists(path);
}

// A user's machine in miniature: desktop, local application data with our
// folder and a neighbour's, and the installer beside an unrelated file and
// a same-named copy in a subfolder.
struct MiniMachine {
    std::wstring installerName;
    ScratchDir root{L"rm"};
    std::wstring desktop = root.File(L"Desktop");
    std::wstring local = root.File(L"Local");
    std::wstring bin = root.File(L"Bin");
    std::wstring installer = bin + L"\\" + installerName;

    explicit MiniMachine(const std::wstring& name = kInstallerNames[0]) : installerName(name)
    {
        for (const std::wstring& dir : {desktop, local, local + L"\\Prod", local + L"\\Prod\\userdata",
                                        local + L"\\Prod\\cache", local + L"\\Other", bin, bin + L"\\sub"})
            CreateDirectoryW(dir.c_str(), nullptr);
        const std::wstring files[] = {desktop + L"\\Prod.lnk",
                                      desktop + L"\\Other.lnk",
                                      local + L"\\Prod\\userdata\\user.dat",
                                      local + L"\\Prod\\cache\\12345",
                                      local + L"\\Prod\\Compress.dll",
                                      local + L"\\Other\\keep.txt",
                                      local + L"\\top.txt",
                                      installer,
                                      bin + L"\\sub\\" + installerName,
                                      bin + L"\\keep.txt"};
        for (const std::wstring& file : files)
            Put(file);
    }

    stRemovalPlan Plan(const std::wstring& productName) const
    {
        stRemovalPlan plan;
        plan.installerPath = installer;
        plan.desktopDir = desktop;
        plan.localAppDataDir = local;
        plan.productName = productName;
        return plan;
    }

    // Everything that is not ours, which must survive any removal.
    std::vector<std::wstring> Bystanders() const
    {
        return {desktop + L"\\Other.lnk", local + L"\\Other\\keep.txt", local + L"\\top.txt",
                bin + L"\\sub\\" + installerName, bin + L"\\keep.txt"};
    }
};

TEST(RemovalRoad, RemovesTheInstallerItsLinkAndThePerUserFolderAndNothingElse)
{
    for (const wchar_t* name : kInstallerNames) {
        SCOPED_TRACE(testsupport::Narrow(name));
        MiniMachine m(name);
        ASSERT_TRUE(Exists(m.installer));
        const stRemovalResult result = RunRemovalRoad(m.Plan(L"Prod"));
        EXPECT_TRUE(result.productNameUsable);
        EXPECT_TRUE(result.linkRemoved);
        EXPECT_TRUE(result.folderCleared);
        EXPECT_TRUE(result.commandStarted);
        EXPECT_FALSE(Exists(m.desktop + L"\\Prod.lnk"));
        EXPECT_FALSE(Exists(m.local + L"\\Prod"));
        EXPECT_TRUE(WaitGone(m.installer)) << "the delayed command did not delete the installer";
        Sleep(500);  // a wider delete would have run by now too
        for (const std::wstring& path : m.Bystanders())
            EXPECT_TRUE(Exists(path)) << testsupport::Narrow(path);
    }
}

// A path cmd.exe would not take literally, and that has no short name to
// use instead, gets no delete command at all.
TEST(RemovalRoad, NoCommandForAPathCmdWouldExpand)
{
    EXPECT_EQ(L"", SelfDeleteCommandLine(kSelfDeletePings, L"C:\\nowhere\\setup_%PATH%.exe"));
    EXPECT_EQ(L"", SelfDeleteCommandLine(kSelfDeletePings, L""));
    const std::wstring line = SelfDeleteCommandLine(kSelfDeletePings, L"C:\\x\\a & b.exe");
    EXPECT_NE(std::wstring::npos, line.find(L"del /q \"C:\\x\\a & b.exe\"")) << testsupport::Narrow(line);
    EXPECT_EQ(std::wstring::npos, line.find(L"/s"));
}

// A name that is empty or not one path element would turn the per-user
// folder into the application-data folder itself or one outside it: only
// the installer file goes.
TEST(RemovalRoad, UnsafeProductNameRemovesOnlyTheInstaller)
{
    const wchar_t* names[] = {L"", L".", L"..", L"..\\Other", L"Prod\\..", L"C:", L"con", L"Prod ", L"Pr?d"};
    for (const wchar_t* name : names) {
        SCOPED_TRACE(testsupport::Narrow(name));
        MiniMachine m;
        const stRemovalResult result = RunRemovalRoad(m.Plan(name));
        EXPECT_FALSE(result.productNameUsable);
        EXPECT_FALSE(result.linkRemoved);
        EXPECT_TRUE(result.commandStarted);
        EXPECT_TRUE(WaitGone(m.installer));
        EXPECT_TRUE(Exists(m.desktop + L"\\Prod.lnk"));
        EXPECT_TRUE(Exists(m.local + L"\\Prod\\userdata\\user.dat"));
        for (const std::wstring& path : m.Bystanders())
            EXPECT_TRUE(Exists(path)) << testsupport::Narrow(path);
    }
}

TEST(RemovalRoad, StartsNoDeleteForAFolder)
{
    MiniMachine m;
    stRemovalPlan plan = m.Plan(L"Nothing");
    plan.installerPath = m.bin;
    EXPECT_FALSE(RunRemovalRoad(plan).commandStarted);
    Sleep(1500);
    EXPECT_TRUE(Exists(m.bin + L"\\keep.txt"));
}

// Mount-point reparse data as FSCTL_SET_REPARSE_POINT takes it.
struct MountPointData {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    wchar_t names[1024];
};

// Makes link a junction to target; false when the system cannot.
bool MakeJunction(const std::wstring& link, const std::wstring& target)
{
    if (!CreateDirectoryW(link.c_str(), nullptr))
        return false;
    const std::wstring substitute = L"\\??\\" + target;
    MountPointData data = {};
    data.tag = IO_REPARSE_TAG_MOUNT_POINT;
    data.substituteLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    data.printOffset = static_cast<WORD>(data.substituteLength + sizeof(wchar_t));
    data.printLength = static_cast<WORD>(target.size() * sizeof(wchar_t));
    wcscpy(data.names, substitute.c_str());
    wcscpy(data.names + substitute.size() + 1, target.c_str());
    data.dataLength = static_cast<WORD>(8 + data.printOffset + data.printLength + sizeof(wchar_t));
    HANDLE h = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD got = 0;
    const BOOL ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, &data, 8 + data.dataLength, nullptr, 0, &got, nullptr);
    CloseHandle(h);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return ok && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A junction inside the per-user folder is taken away as a link; what it
// points at stays.
TEST(RemovalRoad, NeverFollowsAJunction)
{
    MiniMachine m;
    const std::wstring outside = m.root.File(L"Precious");
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(Put(outside + L"\\photo.jpg"));
    if (!MakeJunction(m.local + L"\\Prod\\link", outside))
        GTEST_SKIP() << "this system makes no junctions (error " << GetLastError() << ")";
    ASSERT_TRUE(Exists(m.local + L"\\Prod\\link\\photo.jpg")) << "the junction does not lead anywhere";
    EXPECT_TRUE(DeleteTreeNoFollow(m.local + L"\\Prod"));
    EXPECT_FALSE(Exists(m.local + L"\\Prod"));
    EXPECT_TRUE(Exists(outside + L"\\photo.jpg"));
}

TEST(RemovalRoad, PlanForThisProcessNamesItsOwnExecutable)
{
    const stRemovalPlan plan = MakeRemovalPlan(L"Prod");
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(self, plan.installerPath);
    EXPECT_FALSE(plan.desktopDir.empty());
    EXPECT_FALSE(plan.localAppDataDir.empty());
}

} // namespace
