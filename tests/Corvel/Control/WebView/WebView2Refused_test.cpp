// The WebView2 engine beside a loader whose runtime is installed but refuses
// to make an environment (fixtures/TestWebView2Loader.cpp built with
// CORVEL_TEST_WV2_REFUSED): the engine choice ends there, the control stays
// without an engine and its loading phase ends instead of animating on.
#include "Corvel/Control/WebView/WebView2Binding.h"

#include <gtest/gtest.h>

#include "Corvel/Control/WebView/support/WebViewTestSupport.h"

namespace {

TEST(WebView2Refused, ARefusedEnvironmentLeavesTheControlWithoutAnEngine)
{
    testsupport::UiLibraryScope lib;
    EXPECT_TRUE(ui::WebView2Binding::IsRuntimeAvailable());
    auto* view = new ui::WebView();
    view->SetAttribute(L"homepage", L"http://127.0.0.1:9/index.html");
    view->SetAttribute(L"autonavi", L"true");
    webtest::WebViewWindow w(view);
    ASSERT_NE(nullptr, view->GetWebView2Binding());
    EXPECT_TRUE(view->GetWebView2Binding()->Failed());
    EXPECT_EQ(nullptr, view->GetWebView2Binding()->GetController());
    EXPECT_EQ(ui::WebEngine::kNone, view->GetEngine());
    EXPECT_EQ(nullptr, view->GetWebBrowser()) << "the choice ended at WebView2";
    EXPECT_TRUE(view->IsCreated());
    EXPECT_FALSE(view->IsLoadingPictureOn());
    EXPECT_EQ(1, w.Count(L"LoadOver"));
    view->Navigate(L"http://127.0.0.1:9/other.html"); // nothing to navigate, and no crash
    EXPECT_EQ(1, w.Count(L"LoadOver"));
}

} // namespace
