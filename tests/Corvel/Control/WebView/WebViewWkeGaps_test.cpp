// The wke binding against a test engine that lacks three of the exports the
// binding resolves (fixtures/TestWkeEngine.cpp built with
// CORVEL_TEST_WKE_GAPS, as "node.dll" beside this test): one message box per
// missing name, captioned with it, and the view is still made.
#include "Corvel/Control/WebView/WebView.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "Corvel/Control/WebView/support/WebViewTestSupport.h"

namespace {

std::set<std::string> g_boxes;

// Runs inside a message box's own loop: answers every message box of this
// thread and keeps its caption.
void CALLBACK CloseMessageBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    struct Walk {
        static BOOL CALLBACK Visit(HWND window, LPARAM)
        {
            wchar_t cls[16] = {};
            GetClassNameW(window, cls, 16);
            if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(window)) {
                char caption[128] = {};
                GetWindowTextA(window, caption, sizeof(caption));
                g_boxes.insert(caption);
                PostMessageW(window, WM_COMMAND, IDOK, 0);
            }
            return TRUE;
        }
    };
    EnumThreadWindows(GetCurrentThreadId(), &Walk::Visit, 0);
}

TEST(WebViewWkeGaps, EachMissingExportShowsOneMessageBoxAndTheViewIsMade)
{
    testsupport::UiLibraryScope lib;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &CloseMessageBoxes);
    auto* view = new ui::WebView();
    {
        webtest::WebViewWindow w(view);
        KillTimer(nullptr, timer);
        EXPECT_EQ((std::set<std::string>{"wkeShutdown", "wkeVersion", "jsGetCallstack"}), g_boxes);
        EXPECT_EQ(ui::WebEngine::kWke, view->GetEngine()) << "the exports the binding calls are all there";
    }
}

} // namespace
