// The main window's first deployment phase against the demo service: the
// descriptor asked for the taken package and accepted, the install page and
// the installation directory (saved, default, recorded), a refused
// descriptor, a directory that cannot be created (the elevated relaunch,
// once), and closing while the descriptor is still pending.
//
// The folder browser of "更换目录" is a shell dialog that cannot be driven
// reliably here; the directory it leads to is composed by
// ComposeChosenInstallDir (InstallDirectory_test.cpp).
#include "app/MainWnd.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <json/json.h>

#include <string>
#include <vector>

#include "Corvel/Control/ComboBox.h"
#include "app/AppValues.h"
#include "app/DeployDescriptor.h"
#include "app/IniParse.h"
#include "app/InstallDirectory.h"
#include "app/PathUtil.h"
#include "app/support/DemoService.h"
#include "app/support/InstallerSession.h"
#include "app/support/LinkRecorder.h"
#include "app/support/MainWndProbe.h"
#include "app/support/TipWatcher.h"
#include "support/TestPaths.h"
#include "support/Text.h"

using apptest::ClickControl;
using apptest::ControlText;
using apptest::DemoService;
using apptest::InstallerSession;
using apptest::IsControlShown;
using apptest::PumpUntil;
using testsupport::Narrow;

LINK_RECORDER_CHILD_TEST()

namespace {

// The preparation (2.5 s) and a poll or two of the descriptor.
constexpr DWORD kRoadWaitMs = 20000;

constexpr const wchar_t* kStandardSection = L"Corvel Notes";
constexpr const wchar_t* kProSection = L"Corvel Notes 专业版";

// The demo product with its two packages and no exit advertisement (the
// shutdown of each session would otherwise wait in it).
std::string ProductsWithoutAd(const std::wstring& tag)
{
    Json::Value product = apptest::DemoProduct("deploy");
    product["banner"] = Narrow(DemoService::Get().BaseUrl(tag)) + "/res/banner.png";
    product["packages"].append(apptest::DemoPackage("CVL2026-PRO", "Corvel Notes 专业版"));
    return apptest::ProductsAnswerText(product);
}

// The tag's scenario: the product above plus `config`'s order keys.
bool Configure(const std::wstring& tag, Json::Value config)
{
    config["products"] = ProductsWithoutAd(tag);
    return DemoService::Get().Configure(tag, config);
}

Json::Value OrderStates(std::initializer_list<int> states)
{
    Json::Value config;
    for (int state : states)
        config["order_states"].append(state);
    return config;
}

std::vector<Json::Value> OrderRequests(const std::wstring& tag)
{
    std::vector<Json::Value> orders;
    for (const Json::Value& request : DemoService::Get().Requests(tag)) {
        if (request["path"].asString() == "/api/resource/order")
            orders.push_back(request);
    }
    return orders;
}

bool RowsArrived(InstallerSession& s)
{
    auto* combo = dynamic_cast<ui::ComboBox*>(apptest::FindControl(s.Window(), L"CmbProducts"));
    return combo && combo->ChildCount() >= 2;
}

// The user picks a package row (the row is selected, as a click on it
// does): it becomes the selected package and goes to the hand-off, or to
// the descriptor worker when none is set.
void PickPackage(InstallerSession& s, int row)
{
    auto* combo = dynamic_cast<ui::ComboBox*>(apptest::FindControl(s.Window(), L"CmbProducts"));
    ASSERT_NE(combo, nullptr);
    ASSERT_NE(combo->ChildAt(row), nullptr);
    combo->ChildAt(row)->SetSelected(true);
    ASSERT_EQ(combo->GetCurrentIndex(), row);
}

// The start button as a person uses it: agreed, clicked.
void ClickStart(InstallerSession& s)
{
    apptest::FindControl(s.Window(), L"OptAgree")->SetSelected(true);
    ASSERT_TRUE(ClickControl(s.Window(), L"BtnActive"));
}

std::wstring SavedInstallPath(const wchar_t* section)
{
    return ReadUserSetting(section, L"installPath");
}

// Earlier runs in this prefix may have saved a directory for the package.
void ForgetInstallPath(const wchar_t* section)
{
    WritePrivateProfileStringW(section, L"installPath", nullptr, userSettings.Path().c_str());
}

stOrderDetail ReadyOrder(const std::string& downloadUrl)
{
    stOrderDetail order;
    order.state = stOrderDetail::kStateReady;
    order.download_url = downloadUrl;
    return order;
}

// Drives for the default directory: the system drive with the most free
// space and a "drive" whose root is a folder the test owns, so the default
// goes below that folder.
std::vector<stDriveInfo> SystemThen(const std::wstring& root)
{
    stDriveInfo system, other;
    system.root = L"C:";
    system.free = 300;
    system.system = true;
    other.root = root;
    other.free = 200;
    return {system, other};
}

std::wstring DefaultUnder(const std::wstring& root, const std::wstring& package)
{
    return root + L"\\Program Files (x86)\\Corvel Notes\\" + package;
}

class MainWndDeployTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetInstallDrivesForTesting(nullptr);
        SetElevatedLaunchForTesting(nullptr);
        DeployDescriptorWorker::SetPollingForTesting(0, 0);
    }
};

TEST_F(MainWndDeployTest, StartButtonRoadAcceptsTheDescriptorAndSettlesTheDirectory)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"deploy-road";
    ASSERT_TRUE(Configure(tag, OrderStates({1, 2})));
    testsupport::ScratchDir scratch(L"deployroad");
    SetInstallDrivesForTesting([&] { return SystemThen(scratch.Path()); });
    const std::wstring record = scratch.File(L"opened.txt");
    apptest::LinkRecorder recorder(record);
    ASSERT_FALSE(recorder.Failed());

    CMainWnd::ResetPreparationStepsForTesting();
    InstallerSession session(DemoService::Get().BaseUrl(tag));
    ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session); }));
    ForgetInstallPath(kStandardSection);
    apptest::TipWatcher tips(session.Hwnd());
    ClickStart(session);
    ASSERT_TRUE(PumpUntil([&] { return IsControlShown(session.Window(), L"HInstallPage"); }, kRoadWaitMs))
        << "the install page did not come";

    // The second answer was ready; both asked for the first package.
    const std::string base = Narrow(DemoService::Get().BaseUrl(tag));
    const std::vector<Json::Value> orders = OrderRequests(tag);
    ASSERT_EQ(orders.size(), 2u);
    for (const Json::Value& order : orders)
        EXPECT_EQ(order["body"]["package_sn"].asString(), "CVL2026-STD");
    const stOrderDetail& accepted = session.Window().DeployDescriptor();
    EXPECT_EQ(accepted.state, 2);
    EXPECT_EQ(accepted.download_url, base + "/pkg/CVL2026-STD.zip");
    EXPECT_EQ(accepted.compress_link, base + "/res/Compress.dll");
    EXPECT_FALSE(IsControlShown(session.Window(), L"HStartPage"));
    EXPECT_TRUE(IsControlShown(session.Window(), L"BtnChangeDir"));
    EXPECT_TRUE(IsControlShown(session.Window(), L"BtnDownload"));

    // The system drive had the most space and another drive was there: the
    // directory went to the other one, was made and recorded.
    const std::wstring expected = DefaultUnder(scratch.Path(), kStandardSection);
    EXPECT_EQ(session.Window().InstallDir(), expected);
    EXPECT_TRUE(IsExistingFolder(expected));
    EXPECT_EQ(SavedInstallPath(kStandardSection), expected);
    EXPECT_EQ(ControlText(session.Window(), L"TxtInstallPath"), expected);
    EXPECT_EQ(apptest::ControlToolTip(session.Window(), L"TxtInstallPath"), expected);
    EXPECT_TRUE(tips.Seen().empty());
    apptest::PumpFor(500);
    EXPECT_TRUE(apptest::SaveWindowScreenshot(session.Hwnd(), L"installer-install-page"));

    // The guide opens through the tutorial button once the descriptor is in.
    ASSERT_TRUE(ClickControl(session.Window(), L"BtnTutorial"));
    const std::vector<std::string> opened = apptest::WaitForRecords(record, 1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], base + "/pages/guide.html");
    EXPECT_TRUE(session.CloseAndWait());
}

TEST_F(MainWndDeployTest, SavedDirectoryIsUsedAndAnUnusableOneIsReplacedAndRecorded)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"deploy-saved";
    ASSERT_TRUE(Configure(tag, OrderStates({2})));
    testsupport::ScratchDir scratch(L"deploysaved");
    SetInstallDrivesForTesting([&] { return SystemThen(scratch.Path()); });
    InstallerSession session(DemoService::Get().BaseUrl(tag));
    ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session); }));
    session.Window().SetPackageHandOff([](const stPackageInfo&) {});
    PickPackage(session, 1);
    ASSERT_EQ(session.Window().SelectedPackage().package_sn, "CVL2026-PRO");
    apptest::TipWatcher tips(session.Hwnd());
    CMainWnd& window = session.Window();

    // Not ready yet: nothing happens.
    stOrderDetail pending = ReadyOrder("http://pending/p.zip");
    pending.state = 1;
    window.StartDeploy(pending, false, 0, L"");
    EXPECT_FALSE(IsControlShown(window, L"HInstallPage"));
    EXPECT_TRUE(window.InstallDir().empty());
    EXPECT_TRUE(window.DeployDescriptor().download_url.empty());

    const std::wstring saved = scratch.File(L"saved place");
    ASSERT_TRUE(CreateDirectoryW(saved.c_str(), nullptr));
    const std::wstring aFile = scratch.File(L"a file");
    ASSERT_TRUE(testsupport::WriteFileBytes(aFile, "x"));
    const std::wstring fallback = DefaultUnder(scratch.Path(), kProSection);
    struct Case {
        const char* what;
        std::wstring saved;
        std::wstring used;
    };
    const Case cases[] = {
        {"saved and there", saved, saved},
        {"saved but gone", scratch.File(L"gone"), fallback},
        {"saved but a file", aFile, fallback},
        {"nothing saved", L"", fallback},
    };
    int descriptor = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveDirectoryW(fallback.c_str());
        ForgetInstallPath(kProSection);
        if (!c.saved.empty()) {
            ASSERT_TRUE(WriteUserSetting(kProSection, L"installPath", c.saved));
        }
        // Each descriptor replaces the one before.
        const std::string url = "http://h/pkg/" + std::to_string(++descriptor) + ".zip";
        window.StartDeploy(ReadyOrder(url), false, 0, L"");
        EXPECT_EQ(window.DeployDescriptor().download_url, url);
        EXPECT_TRUE(IsControlShown(window, L"HInstallPage"));
        EXPECT_EQ(window.InstallDir(), c.used);
        EXPECT_TRUE(IsExistingFolder(c.used));
        EXPECT_EQ(SavedInstallPath(kProSection), c.used);
        EXPECT_EQ(ControlText(window, L"TxtInstallPath"), c.used);
        // The other package's record is not touched.
        EXPECT_NE(SavedInstallPath(kStandardSection), c.used);
    }
    EXPECT_TRUE(tips.Seen().empty());
    EXPECT_TRUE(session.CloseAndWait());
}

TEST_F(MainWndDeployTest, RefusedDescriptorShowsItsErrorAndGivesTheStartButtonBack)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"deploy-refused";
    Json::Value config;
    config["order"] = R"({"code":1001,"msg":"sold out"})";
    ASSERT_TRUE(Configure(tag, config));
    CMainWnd::ResetPreparationStepsForTesting();
    InstallerSession session(DemoService::Get().BaseUrl(tag));
    ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session); }));
    apptest::TipWatcher tips(session.Hwnd());
    CMainWnd& window = session.Window();

    ClickStart(session);
    ASSERT_TRUE(PumpUntil([&] { return tips.Seen().size() == 1; }, kRoadWaitMs)) << "no message";
    EXPECT_EQ(tips.Seen()[0].title, L"错误7");
    EXPECT_EQ(tips.Seen()[0].message, DescriptorFailureText(kDescriptorRefused));
    EXPECT_EQ(tips.Seen()[0].yes.rfind(L"知道了", 0), 0u) << Narrow(tips.Seen()[0].yes);
    EXPECT_TRUE(tips.Seen()[0].no.empty());
    ASSERT_TRUE(PumpUntil([&] { return IsControlShown(window, L"BtnActive"); }));
    EXPECT_FALSE(IsControlShown(window, L"TxtActiving"));
    EXPECT_TRUE(IsControlShown(window, L"HStartPage"));
    EXPECT_FALSE(IsControlShown(window, L"HInstallPage"));
    EXPECT_EQ(OrderRequests(tag).size(), 1u);

    // No dead end: the start button asks again.
    ClickStart(session);
    ASSERT_TRUE(PumpUntil([&] { return tips.Seen().size() == 2; }, kRoadWaitMs)) << "not asked again";
    EXPECT_EQ(OrderRequests(tag).size(), 2u);
    EXPECT_TRUE(PumpUntil([&] { return IsControlShown(window, L"BtnActive"); }));

    // The polling's own give-up reaches the user the same way.
    window.StartDeploy(stOrderDetail(), false, kDescriptorTimedOut, DescriptorFailureText(kDescriptorTimedOut));
    ASSERT_EQ(tips.Seen().size(), 3u);
    EXPECT_EQ(tips.Seen()[2].title, L"错误9");
    EXPECT_NE(tips.Seen()[2].message.find(L"准备超时"), std::wstring::npos);
    EXPECT_TRUE(IsControlShown(window, L"BtnActive"));
    EXPECT_FALSE(IsControlShown(window, L"HInstallPage"));
    EXPECT_TRUE(session.CloseAndWait());
}

// What the elevated relaunch was asked for.
struct LaunchRecord {
    int count = 0;
    std::wstring verb, file, parameters;
    ULONG mask = 0;
    HANDLE handedOut = nullptr;  // the process handle the window must close
};

TEST_F(MainWndDeployTest, DirectoryThatCannotBeMadeRelaunchesElevatedOnlyOnce)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"deploy-nodir";
    ASSERT_TRUE(Configure(tag, OrderStates({2})));
    testsupport::ScratchDir scratch(L"deploynodir");
    // A file where a folder of the path would have to be.
    const std::wstring blocker = scratch.File(L"blocker");
    ASSERT_TRUE(testsupport::WriteFileBytes(blocker, "file"));
    SetInstallDrivesForTesting([&] { return SystemThen(blocker); });
    const std::wstring wanted = DefaultUnder(blocker, kStandardSection);
    const int error = SHCreateDirectoryExW(nullptr, wanted.c_str(), nullptr);
    ASSERT_NE(error, 0) << "the path could be made";
    LaunchRecord launch;
    SetElevatedLaunchForTesting([&](SHELLEXECUTEINFOW& info) {
        ++launch.count;
        launch.verb = info.lpVerb ? info.lpVerb : L"";
        launch.file = info.lpFile ? info.lpFile : L"";
        launch.parameters = info.lpParameters ? info.lpParameters : L"";
        launch.mask = info.fMask;
        launch.handedOut = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        info.hProcess = launch.handedOut;
        return TRUE;
    });

    struct Case {
        const char* what;
        std::wstring commandLine;
        bool relaunched;
        std::wstring text;
    };
    const Case cases[] = {
        {"first run", L"", true,
         L"创建部署目录失败[" + std::to_wstring(error) + L"],使用管理员权限重新启动"},
        {"the elevated run", L"-self", false,
         L"创建部署目录失败[" + std::to_wstring(error) + L"],请更换安装目录后重试"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        launch = LaunchRecord();
        InstallerSession session(DemoService::Get().BaseUrl(tag), c.commandLine);
        ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session); }));
        session.Window().SetPackageHandOff([](const stPackageInfo&) {});
        PickPackage(session, 0);
        ForgetInstallPath(kStandardSection);
        apptest::TipWatcher tips(session.Hwnd());
        HWND window = session.Hwnd();

        session.Window().StartDeploy(ReadyOrder("http://h/pkg/a.zip"), false, 0, L"");
        ASSERT_EQ(tips.Seen().size(), 1u);
        EXPECT_EQ(tips.Seen()[0].title, L"温馨提示");
        EXPECT_EQ(tips.Seen()[0].message, c.text);
        EXPECT_EQ(launch.count, c.relaunched ? 1 : 0);
        // The directory is recorded either way: the elevated run reads it.
        EXPECT_EQ(session.Window().InstallDir(), wanted);
        EXPECT_EQ(SavedInstallPath(kStandardSection), wanted);
        if (c.relaunched) {
            EXPECT_EQ(tips.Seen()[0].yes.rfind(L"立即启动", 0), 0u);
            EXPECT_EQ(launch.verb, L"runas");
            EXPECT_EQ(launch.file, GetModulePath());
            EXPECT_EQ(launch.parameters, L"-self");
            EXPECT_TRUE(launch.mask & SEE_MASK_NOCLOSEPROCESS);
            DWORD flags = 0;
            EXPECT_FALSE(GetHandleInformation(launch.handedOut, &flags)) << "the process handle was kept";
            EXPECT_TRUE(session.Window().IsClosing());
            EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); })) << "this instance stayed";
        } else {
            // No second relaunch: the user stays to pick another directory.
            apptest::PumpFor(300);
            EXPECT_FALSE(session.Window().IsClosing());
            EXPECT_TRUE(IsWindow(window));
            EXPECT_TRUE(IsControlShown(session.Window(), L"HInstallPage"));
            EXPECT_TRUE(IsControlShown(session.Window(), L"BtnChangeDir"));
            EXPECT_TRUE(session.CloseAndWait());
        }
    }
}

TEST_F(MainWndDeployTest, ClosingWhileTheDescriptorIsPendingStopsThePolling)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"deploy-close";
    ASSERT_TRUE(Configure(tag, OrderStates({1})));
    // Far beyond the bounded waits below: only the close can end the wait.
    DeployDescriptorWorker::SetPollingForTesting(600000, 6000000);
    InstallerSession session(DemoService::Get().BaseUrl(tag));
    ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session); }));
    apptest::TipWatcher tips(session.Hwnd());
    PickPackage(session, 1);
    ASSERT_TRUE(PumpUntil([&] { return OrderRequests(tag).size() == 1; })) << "no descriptor asked for";
    const DeployDescriptorWorker* worker = session.Window().DescriptorWorkerForTesting();
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(OrderRequests(tag)[0]["body"]["package_sn"].asString(), "CVL2026-PRO");

    ASSERT_TRUE(session.CloseAndWait());
    EXPECT_TRUE(worker->WaitForEndForTesting(apptest::kUiWaitMs)) << "the polling outlived the window";
    EXPECT_EQ(OrderRequests(tag).size(), 1u);
    EXPECT_TRUE(tips.Seen().empty());
}

} // namespace
