// The wke binding against a test engine that makes no views
// (fixtures/TestWkeEngine.cpp built with CORVEL_TEST_WKE_NO_VIEW, as
// "node.dll" beside this test): the engine choice falls through to the
// Internet Explorer engine, and the engine initialised for the attempt is
// finalised again.
#include "Corvel/Control/WebView/WebView.h"

#include <gtest/gtest.h>

#include "Corvel/Control/WebView/support/WebViewTestSupport.h"
#include "Corvel/Control/WebView/WkeApi.h"

namespace {

TEST(WebViewWkeNoView, AViewTheEngineCannotMakeFallsThroughToTheWebBrowser)
{
    testsupport::UiLibraryScope lib;
    HMODULE engine = nullptr;
    {
        auto* view = new ui::WebView();
        webtest::WebViewWindow w(view);
        EXPECT_EQ(ui::WebEngine::kInternetExplorer, view->GetEngine());
        EXPECT_EQ(nullptr, view->GetWkeView());
        EXPECT_NE(nullptr, view->GetWebBrowser());
        EXPECT_EQ(0, ui::wke::Engine::UserCountForTesting()) << "the failed attempt let go of the engine";
        engine = GetModuleHandleW(L"node.dll");
        ASSERT_NE(nullptr, engine) << "the engine beside the test was loaded";
    }
    using Count = int(__cdecl*)();
    auto inits = reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(engine, "corvelTestInitCount")));
    auto finals = reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(engine, "corvelTestFinalizeCount")));
    ASSERT_NE(nullptr, inits);
    EXPECT_EQ(1, inits());
    EXPECT_EQ(1, finals());
}

} // namespace
