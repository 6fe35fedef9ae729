// The WebView2 engine beside a loader that reports no installed runtime
// (fixtures/TestWebView2Loader.cpp built with CORVEL_TEST_WV2_NO_RUNTIME, as
// "WebView2.dll" beside this test): the engine choice moves on without
// asking for an environment.
#include "Corvel/Control/WebView/WebView2Binding.h"

#include <gtest/gtest.h>

#include <string>

#include "Corvel/Control/WebView/support/WebViewTestSupport.h"

namespace {

TEST(WebView2NoRuntime, TheChoiceMovesOnWithoutAskingForAnEnvironment)
{
    testsupport::UiLibraryScope lib;
    EXPECT_FALSE(ui::WebView2Binding::IsRuntimeAvailable());
    HMODULE loader = GetModuleHandleW(L"WebView2.dll");
    ASSERT_NE(nullptr, loader) << "the loader beside the test was loaded";
    {
        ui::WebView bare;
        EXPECT_EQ(nullptr, ui::WebView2Binding::Start(&bare));
    }
    {
        auto* view = new ui::WebView();
        view->SetAttribute(L"homepage", L"http://127.0.0.1:9/index.html");
        webtest::WebViewWindow w(view);
        EXPECT_EQ(ui::WebEngine::kInternetExplorer, view->GetEngine()) << "no wke engine here either";
        EXPECT_EQ(nullptr, view->GetWebView2Binding());
    }
    using LogFn = const wchar_t*(__cdecl*)();
    auto log = reinterpret_cast<LogFn>(reinterpret_cast<void*>(GetProcAddress(loader, "corvelTestWv2Log")));
    ASSERT_NE(nullptr, log);
    EXPECT_EQ(std::wstring(), log()) << "no environment was asked for";
}

} // namespace
