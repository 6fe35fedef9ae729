// The wke engine binding against a test engine of ours, "node.dll" beside
// this test (built from fixtures/TestWkeEngine.cpp): export resolution,
// the calls that set a view up, painting into a layered window's offscreen
// surface, the JsCallCpp round trip, caption dragging and the engine's
// life across several web views.
#include "Corvel/Control/WebView/WebView.h"

#include <gtest/gtest.h>

#include <string>

#include "Corvel/Control/WebView/support/WebViewTestSupport.h"
#include "Corvel/Control/WebView/WkeApi.h"

namespace {

using webtest::WebViewWindow;

// The test engine's own look-inside functions.
struct TestEngine {
    HMODULE module = GetModuleHandleW(L"node.dll");
    template <typename Fn>
    Fn Get(const char* name) const
    {
        return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }
    std::string Log() const { return Get<const char*(__cdecl*)()>("corvelTestLog")(); }
    void ClearLog() const { Get<void(__cdecl*)()>("corvelTestClearLog")(); }
    int Inits() const { return Get<int(__cdecl*)()>("corvelTestInitCount")(); }
    int Finalizes() const { return Get<int(__cdecl*)()>("corvelTestFinalizeCount")(); }
    int BindingsFinalized() const { return Get<int(__cdecl*)()>("corvelTestBindingsFinalized")(); }
    uint32_t PageColour() const { return Get<uint32_t(__cdecl*)()>("corvelTestPageColour")(); }
    std::string CallJsCallCpp(ui::wke::WebView view, const std::string& name, const std::string& args) const
    {
        using Fn = const char*(__cdecl*)(ui::wke::WebView, const char*, const char*);
        return Get<Fn>("corvelTestCallJsCallCpp")(view, name.c_str(), args.c_str());
    }
};

class WebViewWkeTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

TEST_F(WebViewWkeTest, TheEngineBesideTheProgramIsChosenAndSetUp)
{
    auto* view = new ui::WebView();
    view->SetAttribute(L"homepage", L"http://127.0.0.1:9/page.html"); // loaded without "autonavi"
    WebViewWindow w(view);
    ASSERT_EQ(ui::WebEngine::kWke, view->GetEngine());
    TestEngine engine;
    ASSERT_NE(nullptr, engine.module);
    EXPECT_TRUE(ui::wke::Engine::IsLoaded());
    // Every resolved export is there: no gap in the table.
    for (int i = 0; i < ui::wke::kExportCount; ++i)
        EXPECT_NE(nullptr, GetProcAddress(engine.module, ui::wke::ExportName(i))) << ui::wke::ExportName(i);
    EXPECT_EQ(std::string("wkeInitializeEx;wkeCreateWebCustomWindow;wkeSetViewSettings;wkeSetCookieJarPath;"
                          "wkeSetCookieEnabled;wkeSetLocalStorageFullPath;wkeSetCspCheckEnable;wkeSetDragEnable;"
                          "wkeSetDragDropEnable;wkeLoadURL;"),
              engine.Log().substr(0, engine.Log().find("wkeLoadURL;") + 11))
        << "not layered: no transparency and no paint callback";

    // The view's window is a child of the host at the rectangle less padding.
    HWND window = view->GetEngineWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(w.win.GetHWND(), GetParent(window));
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, w.win.GetHWND(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((std::vector<LONG>{25, 15, 215, 155}), (std::vector<LONG>{r.left, r.top, r.right, r.bottom}));

    // The home page loads; its end raises "LoadOver" once.
    ASSERT_TRUE(testsupport::PumpUntil([&] { return w.Count(L"LoadOver") > 0; }));
    EXPECT_TRUE(view->IsPageLoaded());
    EXPECT_EQ(1, w.Count(L"LoadOver"));
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WebViewWkeTest, JsCallCppRoundTripsChineseTextThroughTheHandlers)
{
    struct Handler : ui::CWebBrowserEventHandler {
        std::string title;
        std::string failed;
        std::string JsCallCpp(ui::WebView*, const std::string& name, const std::string& args) override
        {
            return "handler:" + name + "|" + args;
        }
        void TitleChanged(const std::string& t) override { title = t; }
        void LoadUrlFailed(const std::string& url) override { failed = url; }
    };
    auto* view = new ui::WebView();
    auto* handler = new Handler();
    view->SetHandler(handler, true);
    WebViewWindow w(view);
    ASSERT_EQ(ui::WebEngine::kWke, view->GetEngine());
    TestEngine engine;
    // A load that fails still ends loading, and tells the handler.
    view->Navigate(L"fail://nowhere");
    ASSERT_TRUE(testsupport::PumpUntil([&] { return w.Count(L"LoadOver") > 0; }));
    EXPECT_EQ("fail://nowhere", handler->failed);
    EXPECT_EQ("\xE6\xB5\x8B\xE8\xAF\x95\xE9\xA1\xB5", handler->title) << "测试页";

    const std::string name = "\xE4\xB8\x8B\xE8\xBD\xBD";  // 下载
    const std::string args = "{\"\xE8\xB7\xAF\xE5\xBE\x84\":1}"; // {"路径":1}
    // Without a narrow handler the handler object answers.
    EXPECT_EQ("handler:" + name + "|" + args, engine.CallJsCallCpp(view->GetWkeView(), name, args));
    // The control's narrow handler comes first, UTF-8 as the engine gives it.
    view->SetScriptHandlerA([](const std::string& n, const std::string& a) { return "\xE5\xA5\xBD:" + n + a; });
    EXPECT_EQ("\xE5\xA5\xBD:" + name + args, engine.CallJsCallCpp(view->GetWkeView(), name, args));
    // Neither: an empty text.
    view->SetScriptHandlerA(nullptr);
    view->SetHandler(nullptr, true);
    EXPECT_EQ("", engine.CallJsCallCpp(view->GetWkeView(), name, args));
}

TEST_F(WebViewWkeTest, ALayeredWindowShowsThePaintedPageAtTheRectangleLessPadding)
{
    controltest::ImageFolder folder;
    testsupport::ArgbImage mask(400, 400, 0xFF000000u); // larger than the control: clipped to it
    ASSERT_TRUE(folder.Add(L"mask.png", mask));
    auto* view = new ui::WebView();
    view->SetAttribute(L"homepage", L"http://127.0.0.1:9/page.html");
    WebViewWindow w(view, /*layered*/ true);
    ASSERT_EQ(ui::WebEngine::kWke, view->GetEngine());
    view->SetAttribute(L"transimage", L"mask.png");
    TestEngine engine;
    EXPECT_NE(std::string::npos, engine.Log().find("wkeSetTransparent;wkeOnPaintUpdated;"));

    // Surface, mask, paint copy and blend share the one size.
    const ui::OffscreenSurface& surface = view->GetSurface();
    ASSERT_TRUE(surface.IsValid());
    EXPECT_EQ(190, surface.Width());
    EXPECT_EQ(140, surface.Height());
    EXPECT_EQ(surface.PixelCount(), surface.Mask().size());

    ASSERT_TRUE(testsupport::PumpUntil([&] { return w.Count(L"LoadOver") > 0; }));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return testsupport::IsPainted(w.win); }));
    const uint32_t page = engine.PageColour();
    EXPECT_EQ(page, surface.Pixels()[0]);
    EXPECT_EQ(page, surface.Pixels()[surface.PixelCount() - 1]);
    // What the layered window shows: the page inside the padding, the root
    // around it.
    const testsupport::PixelImage px = testsupport::ReadWindowPixels(w.win.GetHWND());
    ASSERT_EQ(320, px.width);
    EXPECT_EQ(testsupport::Rgb(page), px.RgbAt(25, 15));
    EXPECT_EQ(testsupport::Rgb(page), px.RgbAt(214, 154));
    EXPECT_EQ(0xFFFFFFu, px.RgbAt(22, 12)) << "the padding is not painted over";
    EXPECT_EQ(0xFFFFFFu, px.RgbAt(216, 156));
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + L"\\webview-wke-layered.png"));

    // A new size makes a new surface of the new padded size.
    view->SetBounds(20, 10, 120, 90);
    EXPECT_EQ(90, surface.Width());
    EXPECT_EQ(70, surface.Height());
    EXPECT_EQ(surface.PixelCount(), surface.Mask().size());
}

TEST_F(WebViewWkeTest, APressInTheCaptionStripDragsTheWindow)
{
    auto* view = new ui::WebView();
    view->SetAttribute(L"caption", L"0,0,0,30");
    view->SetAttribute(L"homepage", L"http://127.0.0.1:9/page.html");
    WebViewWindow w(view);
    int drags = 0;
    w.win.onMessage = [&](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
        if (msg != WM_NCLBUTTONDOWN)
            return false;
        if (wParam == HTCAPTION)
            ++drags;
        result = 0;
        return true; // no real drag loop in a test
    };
    ASSERT_TRUE(testsupport::PumpUntil([&] { return w.Count(L"LoadOver") > 0; }));
    HWND engine = view->GetEngineWindow();
    ASSERT_NE(nullptr, engine);
    struct Press {
        int x, y;
        bool drags;
    };
    const Press presses[] = {{5, 0, true}, {5, 30, true}, {189, 30, true}, {5, 31, false}, {100, 100, false}};
    for (const Press& p : presses) {
        drags = 0;
        SendMessageW(engine, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        SendMessageW(engine, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        testsupport::PumpFor(30);
        EXPECT_EQ(p.drags ? 1 : 0, drags) << p.x << "," << p.y;
    }
}

TEST_F(WebViewWkeTest, TheEngineIsInitialisedOnceAndFinalisedAfterItsLastView)
{
    TestEngine engine;
    const int inits = engine.Inits();
    const int finals = engine.Finalizes();
    const int bindings = engine.BindingsFinalized();
    {
        auto* first = new ui::WebView();
        auto* second = new ui::WebView();
        second->SetAttribute(L"float", L"true");
        second->SetAttribute(L"pos", L"220,10,90,90");
        first->SetAttribute(L"homepage", L"http://127.0.0.1:9/a.html");
        WebViewWindow w(first, false, second);
        ASSERT_EQ(ui::WebEngine::kWke, first->GetEngine());
        ASSERT_EQ(ui::WebEngine::kWke, second->GetEngine());
        EXPECT_EQ(inits + 1, engine.Inits()) << "two views, one initialisation";
        EXPECT_EQ(2, ui::wke::Engine::UserCountForTesting());
        ASSERT_TRUE(testsupport::PumpUntil([&] { return first->IsPageLoaded(); }));
        // The first view goes; the engine stays for the second.
        auto* root = static_cast<ui::Box*>(w.win.core.GetRoot());
        root->SetDeferredDelete(false);
        root->RemoveChild(first);
        EXPECT_EQ(finals, engine.Finalizes());
        EXPECT_EQ(bindings + 1, engine.BindingsFinalized()) << "the script binding record was freed";
        EXPECT_EQ(1, ui::wke::Engine::UserCountForTesting());
    }
    EXPECT_EQ(finals + 1, engine.Finalizes()) << "finalised once, after the last view";
    EXPECT_EQ(0, ui::wke::Engine::UserCountForTesting());
    EXPECT_EQ(inits + 1, engine.Inits());
}

} // namespace

namespace {

// A skin window with two web views on the test engine, one showing its page
// and one still loading (its picture animating), beside an ActiveX control:
// a screenshot for a person to look at, under artifacts/.
TEST_F(WebViewWkeTest, ScreenshotOfASkinWindowWithWebViewsAndAnActiveXControl)
{
    SetCursorPos(1500, 950); // away from the window
    controltest::ImageFolder folder;
    for (int i = 1; i <= 4; ++i) {
        testsupport::ArgbImage frame(48, 48, 0x00000000u);
        // Four dots, one of them lit per frame.
        const int corners[4][2] = {{4, 4}, {28, 4}, {28, 28}, {4, 28}};
        for (int d = 0; d < 4; ++d)
            frame.Fill(corners[d][0], corners[d][1], corners[d][0] + 16, corners[d][1] + 16,
                       d == i - 1 ? 0xFFE05020u : 0xFFC8C8C8u);
        ASSERT_TRUE(folder.Add((L"spin" + std::to_wstring(i) + L".png").c_str(), frame));
    }
    controltest::MarkupWindow w(
        LR"(<Window size="560,260"><Box bkcolor="#FFF4F6FA">
              <WebView name="page" float="true" pos="10,10,260,170" bkcolor="#FFFFFFFF" homepage="http://127.0.0.1:9/page.html"/>
              <WebView name="pending" float="true" pos="280,10,130,170" bkcolor="#FFFFFFFF" homepage="hold://later"
                       loadingimagesize="4" loadingimage="spin" elapse="60000"/>
              <CActiveXCtrl name="ax" float="true" pos="420,10,130,170" clsid="Shell.Explorer"/>
              <Control float="true" pos="10,190,540,50" text="网页视图、加载图片和 ActiveX 控件" textcolor="#FF303030"/>
            </Box></Window>)",
        560, 260);
    auto* page = w.Find<ui::WebView>(L"page");
    auto* pending = w.Find<ui::WebView>(L"pending");
    auto* ax = w.Find<ui::ActiveX>(L"ax");
    ASSERT_NE(nullptr, page);
    ASSERT_NE(nullptr, pending);
    ASSERT_NE(nullptr, ax);
    EXPECT_EQ(ui::WebEngine::kWke, page->GetEngine());
    EXPECT_NE(nullptr, ax->GetHostedObject());
    // The picture's frames change once a minute here: the shot shows the
    // first one whatever the machine's load.
    ASSERT_TRUE(testsupport::PumpUntil([&] { return page->IsPageLoaded(); }));
    EXPECT_EQ(0, pending->GetLoadingFrameIndex());
    EXPECT_FALSE(pending->IsPageLoaded());
    ASSERT_TRUE(w.Paint());
    // The loading picture is drawn centred in the pending view.
    const testsupport::PixelImage core = w.Pixels();
    const RECT at = pending->GetLoadingRect();
    EXPECT_EQ(280 + (130 - 48) / 2, at.left);
    EXPECT_EQ(0xE05020u, core.RgbAt(at.left + 4 + 8, at.top + 4 + 8)) << "the lit dot of the first frame";
    EXPECT_EQ(0xC8C8C8u, core.RgbAt(at.left + 28 + 8, at.top + 28 + 8));

    RECT screen{};
    GetWindowRect(w.Hwnd(), &screen);
    const testsupport::PixelImage shot = testsupport::ReadScreenPixels(screen);
    EXPECT_TRUE(testsupport::SavePng(shot, testsupport::ArtifactsFolder() + L"\\webview-skin-window.png"));
}

} // namespace
