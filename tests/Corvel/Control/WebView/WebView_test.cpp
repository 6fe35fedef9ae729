// The web view control with the engines this machine has: no WebView2
// runtime and no wke engine beside the test, so the Internet Explorer
// engine (Wine's WebBrowser control, without a rendering engine in the test
// prefix), or none at all when the WebBrowser class cannot be made.
#include "Corvel/Control/WebView/WebView.h"

#include <mshtmhst.h>
#include <psapi.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "Corvel/Control/WebView/support/WebViewTestSupport.h"
#include "Corvel/Control/WebView/WebView2Binding.h"
#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/DialogBuilder.h"

namespace {

using Microsoft::WRL::ComPtr;
using webtest::WebViewWindow;

class WebViewTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

// The handler that records what the engine and the page hand it.
struct RecordingHandler : ui::CWebBrowserEventHandler {
    std::vector<std::string> ansiCalls;
    std::string ansiAnswer;
    std::string JsCallCpp(ui::WebView*, const std::string& name, const std::string& args) override
    {
        ansiCalls.push_back(name + "|" + args);
        return ansiAnswer;
    }
};

TEST_F(WebViewTest, MarkupMakesTheWebViewWithItsAttributes)
{
    ASSERT_NE(nullptr, ui::GetControlClassRegistry().Find("WebView"));
    testsupport::TestWindow win;
    ui::DialogBuilder builder;
    std::unique_ptr<ui::Control> root(builder.Build(
        LR"(<Window><WebView name="web" homepage="http://127.0.0.1:9/home.html" autonavi="true" colorkey="#FF00FF00"
             caption="1,2,3,30" elapse="120"><Control name="Loading"/></WebView></Window>)",
        nullptr, &win.core, nullptr));
    ASSERT_NE(nullptr, root);
    auto* view = static_cast<ui::WebView*>(root->CastTo(L"WebBrowser"));
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(view, root->CastTo(L"ActiveX"));
    EXPECT_NE(nullptr, view->CastTo(L"IBox"));
    EXPECT_STREQ(L"WebView", view->GetClassName());
    EXPECT_TRUE(IsEqualCLSID(CLSID_WebBrowser, view->GetClsid()));
    EXPECT_EQ(L"http://127.0.0.1:9/home.html", view->GetHomePage());
    EXPECT_TRUE(view->IsAutoNavigate());
    EXPECT_TRUE(view->IsColorKeyOn());
    EXPECT_EQ(0xFF00FF00u, view->GetColorKey());
    EXPECT_EQ(120u, view->GetLoadingInterval());
    const RECT caption = view->GetCaptionRect();
    EXPECT_EQ((std::vector<LONG>{1, 2, 3, 30}), (std::vector<LONG>{caption.left, caption.top, caption.right, caption.bottom}));
    EXPECT_FALSE(view->IsCreated()) << "the engine waits for placement";

    // "caption" with fewer numbers leaves the others as they were.
    view->SetAttribute(L"caption", L"7,8");
    const RECT partial = view->GetCaptionRect();
    EXPECT_EQ((std::vector<LONG>{7, 8, 3, 30}), (std::vector<LONG>{partial.left, partial.top, partial.right, partial.bottom}));
    // "autonavi" is true only for exactly "true".
    view->SetAttribute(L"autonavi", L"TRUE");
    EXPECT_FALSE(view->IsAutoNavigate());
}

TEST_F(WebViewTest, LoadingFramesLoadInEitherAttributeOrderAndSkipMissingOnes)
{
    controltest::ImageFolder folder;
    webtest::WriteLoadingFrames(folder, L"load", 4, /*skip*/ 3);
    const std::vector<std::pair<const wchar_t*, const wchar_t*>> orders[] = {
        {{L"loadingimagesize", L"4"}, {L"loadingimage", L"load"}},
        {{L"loadingimage", L"load"}, {L"loadingimagesize", L"4"}},
    };
    for (const auto& order : orders) {
        ui::WebView view;
        for (const auto& a : order)
            view.SetAttribute(a.first, a.second);
        EXPECT_TRUE(view.IsLoadingPictureOn());
        const std::vector<SIZE> sizes = view.GetLoadingFrameSizes();
        ASSERT_EQ(3u, sizes.size()) << "frames 1, 2 and 4; the missing third is skipped";
        EXPECT_EQ(12, sizes[0].cx);
        EXPECT_EQ(14, sizes[1].cx);
        EXPECT_EQ(18, sizes[2].cx) << "the fourth follows the second with no gap";
    }
}

TEST_F(WebViewTest, TheInternetExplorerEngineRunsWhenNoOtherEngineExists)
{
    EXPECT_FALSE(ui::WebView2Binding::IsRuntimeAvailable()) << "this machine has no WebView2 runtime";
    auto* view = new ui::WebView();
    WebViewWindow w(view);
    ASSERT_TRUE(view->IsCreated());
    EXPECT_EQ(ui::WebEngine::kInternetExplorer, view->GetEngine());
    EXPECT_NE(nullptr, view->GetWebBrowser());
    EXPECT_NE(nullptr, view->GetHandler()) << "a default handler is made";
    EXPECT_EQ(0, w.Count(L"LoadOver"));

    // The site asks the control for the document host answers.
    ComPtr<IDocHostUIHandler> host;
    ASSERT_EQ(S_OK, view->QueryHostService(IID_PPV_ARGS(&host)));
    DOCHOSTUIINFO info{};
    ASSERT_EQ(S_OK, host->GetHostInfo(&info));
    EXPECT_EQ(0x20000Eu, info.dwFlags);
    ComPtr<IDispatch> external;
    ASSERT_EQ(S_OK, host->GetExternal(&external));
    EXPECT_EQ(static_cast<IDispatch*>(view), external.Get());
    ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, view->QueryHostService(IID_IDataObject, reinterpret_cast<void**>(none.GetAddressOf())));
}

TEST_F(WebViewTest, TheFirstNavigationHidesTheEngineUntilTheShowTimeoutEndsLoading)
{
    controltest::ImageFolder folder;
    webtest::WriteLoadingFrames(folder, L"spin", 3);
    auto* view = new ui::WebView();
    view->SetAttribute(L"loadingimagesize", L"3");
    view->SetAttribute(L"loadingimage", L"spin");
    view->SetAttribute(L"elapse", L"40");
    WebViewWindow w(view);
    ASSERT_EQ(ui::WebEngine::kInternetExplorer, view->GetEngine());
    HWND engine = view->GetHostWindow();
    ASSERT_NE(nullptr, engine);

    view->Navigate(L"about:blank");
    EXPECT_FALSE(view->IsPageLoaded());
    EXPECT_FALSE(IsWindowVisible(engine)) << "the engine stays hidden while the picture shows";
    // The picture animates: the frame index moves on its timer.
    EXPECT_TRUE(testsupport::PumpUntil([&] { return view->GetLoadingFrameIndex() != 0; }));
    const RECT at = view->GetLoadingRect();
    const int width = at.right - at.left;
    EXPECT_GE(width, 12);
    EXPECT_EQ(20 + (200 - width) / 2, at.left) << "the first frame painted is centred in the control";
    EXPECT_EQ(10 + (150 - (at.bottom - at.top)) / 2, at.top);

    // No document completes without a rendering engine: the show timeout
    // ends the phase once, shows the engine and stops the animation.
    ASSERT_TRUE(testsupport::PumpUntil([&] { return w.Count(L"LoadOver") > 0; }));
    EXPECT_EQ(1, w.Count(L"LoadOver"));
    EXPECT_TRUE(IsWindowVisible(engine));
    EXPECT_FALSE(view->IsFirstShow());
    const int frame = view->GetLoadingFrameIndex();
    testsupport::PumpFor(300);
    EXPECT_EQ(frame, view->GetLoadingFrameIndex()) << "the animation stopped";
    EXPECT_EQ(1, w.Count(L"LoadOver"));

    // A completed page ends a later navigation; the engine is not hidden again.
    view->Navigate(L"about:blank");
    EXPECT_TRUE(IsWindowVisible(engine));
    EXPECT_EQ(0, view->GetLoadingFrameIndex());
    view->OnLoadComplete();
    EXPECT_TRUE(view->IsPageLoaded());
    EXPECT_EQ(2, w.Count(L"LoadOver"));
}

TEST_F(WebViewTest, NoEngineAtAllEndsLoadingOnceInsteadOfAnimatingForEver)
{
    controltest::ImageFolder folder;
    webtest::WriteLoadingFrames(folder, L"spin", 2);
    auto* view = new ui::WebView();
    view->SetAttribute(L"clsid", webtest::kUnregisteredClsid);
    view->SetAttribute(L"homepage", L"about:blank");
    view->SetAttribute(L"loadingimagesize", L"2");
    view->SetAttribute(L"loadingimage", L"spin");
    view->SetAttribute(L"elapse", L"20");
    auto* loading = new ui::Control();
    loading->SetName(L"loading");
    view->AppendChild(loading);
    // A navigation before placement starts the picture; placement then
    // finds no engine.
    view->Navigate(L"about:blank");
    WebViewWindow w(view);
    EXPECT_EQ(ui::WebEngine::kNone, view->GetEngine());
    EXPECT_EQ(view->GetLoadingChild(), loading);
    EXPECT_EQ(1, w.Count(L"LoadOver"));
    EXPECT_FALSE(loading->IsVisible()) << "the loading child is hidden";
    EXPECT_TRUE(view->IsPageLoaded()) << "the picture is no longer painted";
    const int frame = view->GetLoadingFrameIndex();
    testsupport::PumpFor(200);
    EXPECT_EQ(frame, view->GetLoadingFrameIndex()) << "the picture still animates";
    // Later navigations and placements neither animate nor raise it again.
    view->Navigate(L"about:blank");
    view->SetBounds(view->GetBounds());
    testsupport::PumpFor(200);
    EXPECT_EQ(1, w.Count(L"LoadOver"));
    EXPECT_FALSE(loading->IsVisible());
}

TEST_F(WebViewTest, PageCallsOfJsCallCppReachTheHandlersInOrder)
{
    auto* view = new ui::WebView();
    auto* handler = new RecordingHandler();
    view->SetHandler(handler, true);
    WebViewWindow w(view);
    ASSERT_EQ(ui::WebEngine::kInternetExplorer, view->GetEngine());
    ComPtr<IDispatch> external;
    ASSERT_EQ(S_OK, view->GetExternal(&external));
    LPOLESTR other = const_cast<LPOLESTR>(L"SomethingElse");
    DISPID id = 0;
    EXPECT_EQ(E_NOTIMPL, external->GetIDsOfNames(IID_NULL, &other, 1, 0, &id));

    struct Case {
        const char* what;
        bool wide;
        bool narrow;
        std::wstring expected;
    };
    const Case cases[] = {
        {"wide handler", true, true, L"宽:下载|参数"},
        {"narrow handler, UTF-8 both ways", false, true, L"窄:下载|参数"},
    };
    for (const Case& c : cases) {
        handler->scriptHandlerW = nullptr;
        handler->scriptHandlerA = nullptr;
        if (c.wide)
            handler->scriptHandlerW = [](const std::wstring& n, const std::wstring& a) { return L"宽:" + n + L"|" + a; };
        if (c.narrow)
            handler->scriptHandlerA = [](const std::string& n, const std::string& a) {
                return std::string("\xE7\xAA\x84:") + n + "|" + a; // "窄:"
            };
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(S_OK, webtest::CallJsCallCpp(external.Get(), L"下载", L"参数", &result)) << c.what;
        ASSERT_EQ(VT_BSTR, result.vt) << c.what;
        EXPECT_EQ(c.expected, std::wstring(result.bstrVal)) << c.what;
        VariantClear(&result);
    }

    // Neither member: the handler's own JsCallCpp gets ANSI texts, and an
    // empty answer leaves the result untouched.
    handler->scriptHandlerW = nullptr;
    handler->scriptHandlerA = nullptr;
    VARIANT untouched;
    untouched.vt = VT_I4;
    untouched.lVal = 77;
    ASSERT_EQ(S_OK, webtest::CallJsCallCpp(external.Get(), L"ping", L"x", &untouched));
    EXPECT_EQ(VT_I4, untouched.vt);
    EXPECT_EQ(77, untouched.lVal);
    ASSERT_EQ(1u, handler->ansiCalls.size());
    EXPECT_EQ("ping|x", handler->ansiCalls[0]);

    // A non-null interface id is refused before any handler; other ids are
    // not members.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(E_INVALIDARG, external->Invoke(300, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, external->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    EXPECT_EQ(1u, handler->ansiCalls.size());
    // One argument only: answered, nothing called.
    VARIANT one;
    one.vt = VT_BSTR;
    one.bstrVal = SysAllocString(L"ping");
    DISPPARAMS single{&one, nullptr, 1, 0};
    EXPECT_EQ(S_OK, external->Invoke(300, IID_NULL, 0, DISPATCH_METHOD, &single, nullptr, nullptr, nullptr));
    VariantClear(&one);
    EXPECT_EQ(1u, handler->ansiCalls.size());
}

TEST_F(WebViewTest, ScriptErrorsAreSwallowedAndOtherCommandsRefused)
{
    ui::WebView view;
    static const GUID kDocHostCommandHandler = {0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, view.Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out));
    EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, view.Exec(&IID_IDispatch, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out));
    EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, view.Exec(&kDocHostCommandHandler, OLECMDID_PRINT, 0, nullptr, &out));
    EXPECT_EQ(VT_EMPTY, out.vt);
    // A script error without a readable event object still keeps the
    // page's scripts running.
    view.Exec(&kDocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out);
    EXPECT_EQ(VT_BOOL, out.vt);
    EXPECT_EQ(VARIANT_TRUE, out.boolVal);
    OLECMD command{};
    EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, view.QueryStatus(&kDocHostCommandHandler, 1, &command, nullptr));
    // Key messages without the WebBrowser are not the control's.
    MSG key{nullptr, WM_KEYDOWN, VK_F5, 0, 0, {0, 0}};
    EXPECT_EQ(E_NOTIMPL, view.TranslateKeyMessage(&key));
    MSG mouse{nullptr, WM_LBUTTONDOWN, 0, 0, 0, {0, 0}};
    EXPECT_EQ(S_FALSE, view.TranslateKeyMessage(&mouse));
    EXPECT_EQ(0u, view.GetComRefCountForTesting());
}

// Handles and window-system objects of the process.
struct ProcessCounts {
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
    static ProcessCounts Now()
    {
        ProcessCounts c;
        GetProcessHandleCount(GetCurrentProcess(), &c.handles);
        c.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
        c.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
        return c;
    }
};

TEST_F(WebViewTest, ShutdownWithAWebViewAndAnActiveXControlAliveLeaksNothing)
{
    // One round: a window with a live web view (with its engine, handler
    // and loading picture) and a live ActiveX control goes away.
    controltest::ImageFolder folder;
    webtest::WriteLoadingFrames(folder, L"spin", 2);
    std::vector<IOleObject*> objects;
    auto round = [&] {
        auto* view = new ui::WebView();
        view->SetAttribute(L"loadingimagesize", L"2");
        view->SetAttribute(L"loadingimage", L"spin");
        auto* ax = new ui::ActiveX();
        ax->SetAttribute(L"float", L"true");
        ax->SetAttribute(L"pos", L"230,10,310,100");
        ax->SetAttribute(L"clsid", webtest::kWebBrowserClsid);
        {
            WebViewWindow w(view, false, ax);
            view->Navigate(L"about:blank");
            EXPECT_NE(nullptr, view->GetHostedObject());
            EXPECT_NE(nullptr, ax->GetHostedObject());
            for (ui::ActiveX* host : {static_cast<ui::ActiveX*>(view), ax}) {
                host->GetHostedObject()->AddRef();
                objects.push_back(host->GetHostedObject());
            }
        }
        testsupport::PumpFor(50);
    };
    // Wine makes windows and handles of its own at the first use of COM
    // and of the WebBrowser; they live as long as the process.
    round();
    round();
    const ProcessCounts before = ProcessCounts::Now();
    round();
    round();
    const ProcessCounts after = ProcessCounts::Now();
    EXPECT_EQ(before.handles, after.handles);
    EXPECT_EQ(before.gdi, after.gdi);
    EXPECT_EQ(before.user, after.user);
    for (IOleObject* object : objects)
        EXPECT_EQ(0u, object->Release()) << "a hosted object is still referenced";
}

} // namespace
