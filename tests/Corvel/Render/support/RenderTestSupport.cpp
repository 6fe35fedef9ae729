#include "RenderTestSupport.h"

#include "Corvel/Core/UiGlobals.h"

namespace rendertest {

using testsupport::PumpMessages;

namespace {

const wchar_t kTestClass[] = L"CorvelRenderTestWnd";

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void EnsureClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TestWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kTestClass;
    RegisterClassExW(&wc);
    registered = true;
}

} // namespace

void UiLibraryTest::SetUp()
{
    InitUiLibrary(GetModuleHandleW(nullptr));
    ASSERT_NE(nullptr, ui::UiGlobals().d2dFactory);
}

void UiLibraryTest::TearDown()
{
    PumpMessages();
    ShutdownUiLibrary();
}

PlainWindow::PlainWindow(int x, int y, int width, int height, DWORD exStyle, DWORD style)
{
    EnsureClass();
    m_hwnd = CreateWindowExW(exStyle, kTestClass, L"render test", style, x, y, width, height, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    PumpMessages();
}

PlainWindow::~PlainWindow()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    PumpMessages();
}

} // namespace rendertest
