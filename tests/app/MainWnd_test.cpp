// The installer's main window against the demo service: the product shown
// from the service's answers, the agreement and the preparation, the
// package hand-off, closing, and a service that is down or talks garbage.
#include "app/MainWnd.h"

#include <gtest/gtest.h>

#include <json/json.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Corvel/Control/ComboBox.h"
#include "Corvel/Control/ProgressBar.h"
#include "app/AppModel.h"
#include "app/AppValues.h"
#include "app/support/DemoService.h"
#include "app/support/InstallerSession.h"
#include "support/Text.h"

using apptest::DemoService;
using apptest::InstallerSession;
using apptest::PumpUntil;
using testsupport::Narrow;

namespace {

// A products answer of the demo's shape with the given packages and
// advertisement.
std::string ProductsAnswer(const std::wstring& tag, const Json::Value& packages, bool adEnabled,
                           const std::string& adPicture)
{
    const std::string base = Narrow(DemoService::Get().BaseUrl(tag));
    Json::Value product = apptest::DemoProduct("笔记软件 with two packages");
    product["icon"] = base + "/res/icon.png";
    product["banner"] = base + "/res/banner.png";
    product["pop_ad"]["enable"] = adEnabled;
    product["pop_ad"]["img"] = adPicture;
    product["pop_ad"]["link"] = base + "/pages/ad.html";
    product["packages"] = packages;
    return apptest::ProductsAnswerText(product);
}

Json::Value TwoPackages()
{
    Json::Value packages(Json::arrayValue);
    packages.append(apptest::DemoPackage("CVL2026-STD", "Corvel Notes"));
    packages.append(apptest::DemoPackage("CVL2026-PRO", "Corvel Notes 专业版"));
    return packages;
}

bool ConfigureProducts(const std::wstring& tag, const std::string& answer)
{
    Json::Value config;
    config["products"] = answer;
    return DemoService::Get().Configure(tag, config);
}

template <class T>
T* Find(InstallerSession& s, const wchar_t* name)
{
    return dynamic_cast<T*>(s.Window().Core().FindControlByName(name));
}

std::wstring TextOf(InstallerSession& s, const wchar_t* name)
{
    ui::Control* c = s.Window().Core().FindControlByName(name);
    return c ? std::wstring(c->GetText().GetData()) : L"<missing>";
}

std::wstring BkImageOf(InstallerSession& s, const wchar_t* name)
{
    ui::Control* c = s.Window().Core().FindControlByName(name);
    return c ? std::wstring(c->GetBkImage().GetData()) : L"<missing>";
}

bool RowsArrived(InstallerSession& s, int count)
{
    ui::ComboBox* combo = Find<ui::ComboBox>(s, L"CmbProducts");
    return combo && combo->ChildCount() >= count;
}

// Clicks a control the way its click handler sees it.
void Click(InstallerSession& s, const wchar_t* name)
{
    ui::Control* c = s.Window().Core().FindControlByName(name);
    ASSERT_NE(c, nullptr) << Narrow(name);
    c->TryActivate();
}

bool IsShown(InstallerSession& s, const wchar_t* name)
{
    ui::Control* c = s.Window().Core().FindControlByName(name);
    return c && c->IsVisible();
}

// Probe points in window pixels (96 DPI): inside the demo's 600 x 200
// banner (under the 33-pixel caption) and the ends of the 10-pixel
// preparation bar below the 340-pixel banner area.
constexpr int kBannerProbeX = 300, kBannerProbeY = 33 + 100;
// The skin's background is blue by at least this much more than red.
constexpr int kSkyBlueMargin = 80;
constexpr int kBarProbeLeftX = 4, kBarProbeRightX = 795, kBarProbeY = 33 + 340 + 5;

// EnumThreadWindows callback: stores the first visible window without an
// owner in the HWND that `found` points to.
BOOL CALLBACK FindShownTopLevel(HWND window, LPARAM found)
{
    if (IsWindowVisible(window) && !GetWindow(window, GW_OWNER)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TEST(MainWindow, ShowsTheProductNameIconBannerDescriptionAndOneRowPerPackage)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"mainwin-show";
    ASSERT_TRUE(ConfigureProducts(tag, ProductsAnswer(tag, TwoPackages(), false, "")));
    InstallerSession session(DemoService::Get().BaseUrl(tag));
    ASSERT_NE(session.Hwnd(), nullptr);
    EXPECT_TRUE(IsWindowVisible(session.Hwnd()));
    ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session, 2); })) << "no package rows";

    // The name comes from the executable's version resource, also as the
    // caption; the logo is the program's shell icon.
    EXPECT_EQ(productName, CORVEL_EXPECTED_PRODUCT_NAME);
    EXPECT_EQ(TextOf(session, L"LblProductName"), CORVEL_EXPECTED_PRODUCT_NAME);
    wchar_t caption[256] = {};
    GetWindowTextW(session.Hwnd(), caption, 256);
    EXPECT_EQ(std::wstring(caption), CORVEL_EXPECTED_PRODUCT_NAME);
    EXPECT_NE(SendMessageW(session.Hwnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_EQ(BkImageOf(session, L"LblLogo"), L"logo.png");

    const std::wstring base = DemoService::Get().BaseUrl(tag);
    EXPECT_EQ(BkImageOf(session, L"LblBanner"), L"file='" + base + L"/res/banner.png' net='1' ");
    EXPECT_EQ(TextOf(session, L"TxtProductDesc"), L"笔记软件 with two packages");

    ui::ComboBox* combo = Find<ui::ComboBox>(session, L"CmbProducts");
    ASSERT_EQ(combo->ChildCount(), 2);
    const wchar_t* const names[] = {L"Corvel Notes", L"Corvel Notes 专业版"};
    const char* const serials[] = {"CVL2026-STD", "CVL2026-PRO"};
    for (int i = 0; i < 2; ++i) {
        ui::Control* row = combo->ChildAt(i);
        EXPECT_EQ(std::wstring(row->GetText().GetData()), names[i]);
        auto* package = static_cast<stPackageInfo*>(row->GetNamedObject("package"));
        ASSERT_NE(package, nullptr);
        EXPECT_EQ(package->package_sn, serials[i]);
    }
    // The banner's picture from the service covers the skin's background,
    // a sky blue (blue well above red) everywhere; the demo's banner is not.
    EXPECT_TRUE(PumpUntil([&] {
        const uint32_t p = apptest::WindowScreenPixels(session.Hwnd()).RgbAt(kBannerProbeX, kBannerProbeY);
        return testsupport::B(p) - testsupport::R(p) < kSkyBlueMargin;
    })) << "the banner picture is not on screen";
    // The preparation bar is empty: its track colour at both ends.
    const testsupport::PixelImage shown = apptest::WindowScreenPixels(session.Hwnd());
    EXPECT_EQ(shown.RgbAt(kBarProbeLeftX, kBarProbeY), 0xE0E0E0u);
    EXPECT_EQ(shown.RgbAt(kBarProbeRightX, kBarProbeY), 0xE0E0E0u);
    EXPECT_TRUE(apptest::SaveWindowScreenshot(session.Hwnd(), L"installer-main-window"));

    // The start-up report went out with the identity, whatever came after.
    bool startUpReported = false;
    for (const Json::Value& request : DemoService::Get().Requests(tag)) {
        if (request["path"].asString() == "/api/common/pushed" && request["body"]["type"].asInt() == 1) {
            startUpReported = true;
            EXPECT_EQ(request["body"]["product_sn"].asString(), "CVL2026");
            EXPECT_EQ(request["body"]["promo_code"].asString(), "中文");
        }
    }
    EXPECT_TRUE(startUpReported);

    EXPECT_TRUE(session.CloseAndWait());
    EXPECT_TRUE(session.Window().IsClosing());
}

// The agreement blocks the start; once agreed, four steps of text and
// progress, then the first package goes to the deployment.
TEST(MainWindow, AgreementBlocksTheStartAndThePreparationHandsOverTheFirstPackage)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"mainwin-start";
    ASSERT_TRUE(ConfigureProducts(tag, ProductsAnswer(tag, TwoPackages(), false, "")));
    CMainWnd::ResetPreparationStepsForTesting();
    InstallerSession session(DemoService::Get().BaseUrl(tag));
    ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session, 2); }));
    std::vector<std::string> handedOver;
    session.Window().SetPackageHandOff([&](const stPackageInfo& p) { handedOver.push_back(p.package_sn); });

    // Not agreed: the notice, and nothing starts. The notice is a modal
    // message box; a helper thread answers it.
    Find<ui::Control>(session, L"OptAgree")->SetSelected(false);
    bool noticeSeen = false;
    std::thread answer([&] {
        for (int i = 0; i < 200 && !noticeSeen; ++i) {
            if (HWND box = FindWindowW(L"#32770", L"提示")) {
                noticeSeen = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(50);
        }
    });
    Click(session, L"BtnActive");
    answer.join();
    EXPECT_TRUE(noticeSeen) << "no message box";
    apptest::PumpFor(1200);
    EXPECT_TRUE(IsShown(session, L"BtnActive"));
    EXPECT_FALSE(IsShown(session, L"TxtActiving"));
    EXPECT_TRUE(handedOver.empty());

    // Agreed: the texts run through the three steps and the bar moves.
    Find<ui::Control>(session, L"OptAgree")->SetSelected(true);
    Click(session, L"BtnActive");
    EXPECT_TRUE(IsShown(session, L"TxtActiving"));
    EXPECT_FALSE(IsShown(session, L"BtnActive"));
    apptest::PumpFor(1200);
    EXPECT_TRUE(apptest::SaveWindowScreenshot(session.Hwnd(), L"installer-preparing"));
    std::vector<std::wstring> texts;
    ASSERT_TRUE(PumpUntil([&] {
        const std::wstring t = TextOf(session, L"TxtActiving");
        if (texts.empty() || texts.back() != t)
            texts.push_back(t);
        return !handedOver.empty();
    })) << "the preparation did not end";
    const std::vector<std::wstring> expected = {L"检测当前系统版本...", L"检测软件与系统兼容性.."};
    EXPECT_EQ(std::vector<std::wstring>(texts.end() - 2, texts.end()), expected);
    ASSERT_EQ(handedOver.size(), 1u);
    EXPECT_EQ(handedOver[0], "CVL2026-STD");
    EXPECT_EQ(session.Window().SelectedPackage().name, "Corvel Notes");
    EXPECT_EQ(TextOf(session, L"CmbProducts"), L"Corvel Notes");
    apptest::PumpFor(500);
    EXPECT_TRUE(apptest::SaveWindowScreenshot(session.Hwnd(), L"installer-package-chosen"));
    auto* bar = Find<ui::ProgressBar>(session, L"ProgressActiving");
    EXPECT_TRUE(PumpUntil([&] { return bar->GetValue() == 100.0f; }));
    EXPECT_TRUE(session.CloseAndWait());
}

// A product without packages: the preparation ends with nothing to hand
// over, asks the service for no descriptor and gives the start button back.
TEST(MainWindow, NoPackagesAsksForNoDescriptorAndShowsTheStartButtonAgain)
{
    REQUIRE_DEMO_SERVICE();
    const std::wstring tag = L"mainwin-nopackages";
    ASSERT_TRUE(ConfigureProducts(tag, ProductsAnswer(tag, Json::Value(Json::arrayValue), false, "")));
    CMainWnd::ResetPreparationStepsForTesting();
    InstallerSession session(DemoService::Get().BaseUrl(tag));
    ASSERT_TRUE(PumpUntil([&] { return !TextOf(session, L"TxtProductDesc").empty(); }));
    int handOffs = 0;
    session.Window().SetPackageHandOff([&](const stPackageInfo&) { ++handOffs; });
    EXPECT_EQ(Find<ui::ComboBox>(session, L"CmbProducts")->ChildCount(), 0);

    Click(session, L"BtnActive");
    EXPECT_TRUE(PumpUntil([&] { return Find<ui::ProgressBar>(session, L"ProgressActiving")->GetValue() == 100.0f; }));
    EXPECT_TRUE(PumpUntil([&] { return IsShown(session, L"BtnActive"); }));
    EXPECT_FALSE(IsShown(session, L"TxtActiving"));
    EXPECT_EQ(handOffs, 0);
    EXPECT_FALSE(session.Window().HasSelectedPackage());
    for (const Json::Value& request : DemoService::Get().Requests(tag))
        EXPECT_NE(request["path"].asString(), "/api/resource/order");
    EXPECT_TRUE(session.CloseAndWait());
}

// A service that is down, or answers with bytes that are not JSON: the
// window shows no product, raises no message, and closes as usual.
TEST(MainWindow, ServiceDownOrGarbageShowsNoProductAndClosesCleanly)
{
    REQUIRE_DEMO_SERVICE();
    struct Case {
        const char* what;
        std::wstring baseUrl;
    };
    Json::Value garbage;
    garbage["mode"] = "garbage";
    ASSERT_TRUE(DemoService::Get().Configure(L"mainwin-garbage", garbage));
    const Case cases[] = {{"down", DemoService::DownUrl()},
                          {"garbage", DemoService::Get().BaseUrl(L"mainwin-garbage")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallerSession session(c.baseUrl);
        ASSERT_NE(session.Hwnd(), nullptr);
        apptest::PumpFor(2000);
        EXPECT_TRUE(BkImageOf(session, L"LblBanner").empty());
        EXPECT_TRUE(TextOf(session, L"TxtProductDesc").empty());
        EXPECT_EQ(Find<ui::ComboBox>(session, L"CmbProducts")->ChildCount(), 0);
        EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr) << "a message box came up";
        EXPECT_TRUE(session.CloseAndWait());
        session.ShutDown();
        EXPECT_FALSE(session.Run().adShown);
        EXPECT_EQ(session.Run().mainWindow, nullptr);
    }
}

// Closing by WM_CLOSE from the system, or a destroy from outside, marks the
// window as closing as Close does: workers watching the flag stop.
TEST(MainWindow, ClosingFlagIsSetByWmCloseAndWmDestroy)
{
    REQUIRE_DEMO_SERVICE();
    for (UINT message : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_DESTROY)}) {
        SCOPED_TRACE(message);
        InstallerSession session(DemoService::DownUrl());
        ASSERT_FALSE(session.Window().IsClosing());
        HWND window = session.Hwnd();
        if (message == WM_CLOSE)
            SendMessageW(window, WM_CLOSE, 0, 0);
        else
            DestroyWindow(window);
        EXPECT_TRUE(session.Window().IsClosing());
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
    }
}

// The advertisement follows the main window only when the product enables
// it with a picture; it is closed here by its close button's code.
TEST(MainWindow, ExitAdvertisementOnlyWhenEnabledWithAPicture)
{
    REQUIRE_DEMO_SERVICE();
    struct Case {
        const wchar_t* tag;
        bool enabled;
        bool withPicture;
        bool shown;
    };
    const Case cases[] = {{L"mainwin-ad-on", true, true, true},
                          {L"mainwin-ad-off", false, true, false},
                          {L"mainwin-ad-nopicture", true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.tag));
        const std::string picture = c.withPicture ? Narrow(DemoService::Get().BaseUrl(c.tag)) + "/res/ad.png" : "";
        ASSERT_TRUE(ConfigureProducts(c.tag, ProductsAnswer(c.tag, TwoPackages(), c.enabled, picture)));
        InstallerSession session(DemoService::Get().BaseUrl(c.tag));
        ASSERT_TRUE(PumpUntil([&] { return RowsArrived(session, 2); }));
        ASSERT_TRUE(session.CloseAndWait());
        // The advertisement's modal loop runs inside the shutdown; a helper
        // thread closes whatever top-level window of ours comes up.
        const DWORD uiThread = GetCurrentThreadId();
        bool stop = false;
        HWND adWindow = nullptr;
        std::thread closer([&] {
            for (int i = 0; i < 200 && !stop; ++i) {
                EnumThreadWindows(uiThread, FindShownTopLevel, reinterpret_cast<LPARAM>(&adWindow));
                if (adWindow) {
                    Sleep(300);  // let it paint for a person looking at the run
                    PostMessageW(adWindow, WM_CLOSE, IWindowBase::kCloseByUser, 0);
                    return;
                }
                Sleep(50);
            }
        });
        session.ShutDown();
        stop = true;
        closer.join();
        EXPECT_EQ(session.Run().adShown, c.shown);
        EXPECT_EQ(adWindow != nullptr, c.shown);
    }
}
