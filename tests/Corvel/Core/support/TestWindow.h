// A native window from code that hosts a window core the way skinned windows
// do, helpers to pump its messages with the idle tick and to read back what
// the core presents. Header-only so the container tests can use it too.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/WindowWnd.h"
#include "support/Pixels.h"

namespace testsupport {

class TestWindow : public ui::CWindowWnd {
public:
    explicit TestWindow(int dpi = 0) : m_dpi(dpi)
    {
        m_className = L"CorvelTestWindow";
        core.SetOwner(this);
    }
    ~TestWindow() override
    {
        if (m_hwnd && IsWindow(m_hwnd))
            DestroyWindow(m_hwnd);
    }

    // Creates a popup client area of the given size (no frame) at (x, y).
    HWND CreatePopup(int width, int height, HWND owner = nullptr, DWORD exStyle = 0, int x = 0, int y = 0)
    {
        return Create(owner, L"corvel test", WS_POPUP | WS_CLIPCHILDREN, exStyle, x, y, width, height);
    }

    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (onMessage) {
            LRESULT r = 0;
            if (onMessage(msg, wParam, lParam, r))
                return r;
        }
        if (msg == WM_CREATE) {
            if (m_dpi)
                core.SetDpi(m_dpi);
            core.BindWindow(m_hwnd);
            // As skinned windows do: the tree is installed at creation, so
            // the first WM_SIZE lays it out.
            if (root)
                core.SetRootControl(root);
        }
        if (msg == WM_DESTROY)
            core.UnbindWindow();
        if (msg == ui::kMsgWindowInit)
            ++windowInitCount;
        if (msg == ui::kMsgShadowSetup)
            ++shadowSetupCount;
        LRESULT result = 0;
        if (core.GetWindow() && core.ProcessWindowMessage(msg, wParam, lParam, result))
            return result;
        return CWindowWnd::ProcessMessage(msg, wParam, lParam);
    }

    ui::WindowCore core;
    // Sees every message first; true answers it with the result.
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> onMessage;
    // Installed as the core's root when the window is created.
    ui::Control* root = nullptr;
    int windowInitCount = 0;
    int shadowSetupCount = 0;

private:
    int m_dpi;
};

// Limit of a wait that ends as soon as its condition holds: generous, so that
// a loaded machine does not fail a test that is only slow.
constexpr DWORD kConditionWaitMs = 10000;

// Runs queued messages (through the pre-translate hook) and idle ticks until
// `done` answers true or `ms` milliseconds have passed. True when done.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = kConditionWaitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!ui::WindowCore::PreTranslateMessage(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        ui::WindowCore::IdleTick();
        if (done && done())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// Pumps for a fixed time: for showing that nothing more happens.
inline void PumpFor(DWORD ms) { PumpUntil(nullptr, ms); }

// True once the window's tree (when it has one) is laid out and everything
// the system asked to paint has been painted.
inline bool IsPainted(TestWindow& win)
{
    HWND h = win.GetHWND();
    const bool laidOut = !win.core.GetRoot() || !win.core.IsFirstLayoutPendingForTesting();
    return h && laidOut && win.core.GetDirtyRectsForTesting().empty() && !GetUpdateRect(h, nullptr, FALSE);
}

// Shows the window without activating it and pumps until it is painted.
inline bool ShowAndPaint(TestWindow& win)
{
    ShowWindow(win.GetHWND(), SW_SHOWNOACTIVATE);
    return PumpUntil([&win] { return IsPainted(win); });
}

// A shown (not activated) popup of the given size with `root` installed,
// laid out and painted once.
inline std::unique_ptr<TestWindow> ShowTestWindow(ui::Control* root, int width, int height)
{
    auto win = std::make_unique<TestWindow>();
    win->root = root;
    EXPECT_NE(nullptr, win->CreatePopup(width, height));
    EXPECT_TRUE(ShowAndPaint(*win));
    return win;
}

// The surface the core's render target presents (see ReadTargetPixels);
// empty while the core has no target.
inline PixelImage ReadCorePixels(ui::WindowCore& core)
{
    ui::RenderTarget* target = core.GetRenderTarget();
    return target ? ReadTargetPixels(*target) : PixelImage();
}

// Starts and stops the UI library around a test suite.
class UiLibraryScope {
public:
    UiLibraryScope() { InitUiLibrary(GetModuleHandleW(nullptr)); }
    ~UiLibraryScope() { ShutdownUiLibrary(); }
};

} // namespace testsupport
