// The service's removal order end to end, in a child process that is a copy
// of this test program: the order ends the UI thread's loop, the UI thread
// runs the removal road and the process ends by returning from main; then
// the delayed command deletes the copy.
#include "app/AppModel.h"
#include "app/RemovalRoad.h"

#include "app/support/ChildProcess.h"
#include "app/support/DemoService.h"
#include "app/support/MessageSink.h"
#include "support/TestPaths.h"
#include "support/TestService.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using apptest::DemoService;
using apptest::MessageSink;

constexpr DWORD kWaitMs = 10000;
// The child starts a Wine process and calls the service twice.
constexpr DWORD kSequenceChildWaitMs = 60000;
const wchar_t kChildFlag[] = L"--removal-child";
const wchar_t kChildRootVariable[] = L"CORVEL_REMOVAL_CHILD_ROOT";
const wchar_t kChildTagVariable[] = L"CORVEL_REMOVAL_CHILD_TAG";
const wchar_t kCopyName[] = L"setup_%PATH%_2035.exe";

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The installer's part, run by the child only.
TEST(RemovalChild, RunsTheRoadOnTheUiThreadAfterItsLoop)
{
    if (!apptest::IsChildRun(kChildFlag))
        GTEST_SKIP() << "runs only as the child of RemovalSequence";
    const std::wstring root = Variable(kChildRootVariable);
    REQUIRE_DEMO_SERVICE();
    MessageSink sink;
    auto model = std::make_shared<CAppModel>(apptest::TestEndpoint(DemoService::Get().BaseUrl(Variable(kChildTagVariable))));
    model->SetMainWindow(sink.Window());
    model->SignalWindowReady();
    StartServiceFetches(model);
    sink.Pump(kWaitMs, MessageSink::Until::Quit);  // the main loop, ended by the order
    ASSERT_EQ(1, sink.QuitCount());
    ASSERT_TRUE(model->RemovalRequested());
    std::string img, link;
    ASSERT_FALSE(model->ExitAdvertisement(img, link));
    stRemovalPlan plan = MakeRemovalPlan(L"Prod");
    plan.desktopDir = root + L"\\Desktop";
    plan.localAppDataDir = root + L"\\Local";
    ASSERT_TRUE(RunRemovalRoad(plan).commandStarted);
    model->Release();
}

TEST(RemovalSequence, TheProcessEndsThenItsExecutableGoes)
{
    if (apptest::IsChildRun(kChildFlag))
        GTEST_SKIP() << "the child runs the other half";
    REQUIRE_DEMO_SERVICE();
    testsupport::ScratchDir root(L"seq");
    for (const wchar_t* dir : {L"Desktop", L"Local", L"Local\\Prod", L"Local\\Prod\\userdata", L"Bin", L"Bin\\sub"})
        ASSERT_TRUE(CreateDirectoryW(root.File(dir).c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(root.File(L"Desktop\\Prod.lnk"), "x"));
    ASSERT_TRUE(testsupport::WriteFileBytes(root.File(L"Local\\Prod\\userdata\\user.dat"), "x"));
    ASSERT_TRUE(testsupport::WriteFileBytes(root.File(L"Bin\\sub\\") + kCopyName, "x"));
    const std::wstring copy = root.File(L"Bin\\") + kCopyName;
    ASSERT_TRUE(CopyFileW(apptest::ThisExecutable().c_str(), copy.c_str(), TRUE));

    const std::wstring tag = testsupport::NewTag(L"seq");
    Json::Value config;
    config["mode"] = "suicide";
    ASSERT_TRUE(DemoService::Get().Configure(tag, config));
    SetEnvironmentVariableW(kChildRootVariable, root.Path().c_str());
    SetEnvironmentVariableW(kChildTagVariable, tag.c_str());
    const std::optional<DWORD> exitCode = apptest::RunChild(
        apptest::ChildTestCommand(copy, L"RemovalChild.RunsTheRoadOnTheUiThreadAfterItsLoop", kChildFlag), kSequenceChildWaitMs);
    SetEnvironmentVariableW(kChildRootVariable, nullptr);
    SetEnvironmentVariableW(kChildTagVariable, nullptr);
    ASSERT_TRUE(exitCode.has_value()) << "the child did not end";
    EXPECT_EQ(0u, *exitCode) << "the child's half failed";

    for (DWORD t = 0; t < kWaitMs && Exists(copy); t += 50)
        Sleep(50);
    EXPECT_FALSE(Exists(copy)) << "the ended process's executable is still there";
    EXPECT_FALSE(Exists(root.File(L"Desktop\\Prod.lnk")));
    EXPECT_FALSE(Exists(root.File(L"Local\\Prod")));
    EXPECT_TRUE(Exists(root.File(L"Local")));
    EXPECT_TRUE(Exists(root.File(L"Bin\\sub\\") + kCopyName));
}

} // namespace
