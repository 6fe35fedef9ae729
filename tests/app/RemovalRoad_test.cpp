// The removal of the installer on the service's order, in a scratch folder:
// exactly the installer file, its desktop link and the per-user folder go.
#include "app/RemovalRoad.h"

#include "support/TestPaths.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <windows.h>

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
