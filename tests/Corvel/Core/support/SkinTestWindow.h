// A skinned window for tests: built from markup text (or a skin file), with
// a small button class of its own, opened, shown and pumped until its first
// layout is painted; and a mouse driven from a helper thread, for input that
// enters the system's modal move/size or menu loops on the test thread.
// Header-only.
#pragma once

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowBase.h"
#include "Corvel/Core/support/TestWindow.h"

namespace testsupport {

// A control of the interactive class "Button" that raises "click" when the
// left button is released over it (the library's own button class is not
// needed for the window's behaviour). Made through the builder's callback
// for the markup name "TestButton".
class TestButton : public ui::Control {
public:
    const wchar_t* GetClassName() const override { return L"Button"; }
    bool HandleEvent(ui::InputEvent* event) override
    {
        if (event->type == ui::kEventButtonUp) {
            const ui::RECTF r = GetBounds();
            const float x = static_cast<float>(event->point.x), y = static_cast<float>(event->point.y);
            if (x >= r.left && x < r.right && y >= r.top && y < r.bottom && GetCore()) {
                GetCore()->RaiseNotification(this, L"click");
                return true;
            }
        }
        return ui::Control::HandleEvent(event);
    }
};

class SkinTestWindow : public IWindowBase {
public:
    // `skin`: markup text beginning with "<", or a skin file name. `dpi`:
    // the core's DPI from creation on; 0 takes the window's.
    explicit SkinTestWindow(std::wstring skin, int dpi = 0) : m_skin(std::move(skin)), m_dpi(dpi) {}

    std::wstring QuerySkinFile() override { return m_skin; }
    ui::Control* CreateCustomControl(const wchar_t* className, ui::WindowCore*) override
    {
        return wcscmp(className, L"TestButton") == 0 ? new TestButton() : nullptr;
    }
    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_CREATE && m_dpi)
            Core().SetDpi(m_dpi);
        return IWindowBase::ProcessMessage(msg, wParam, lParam);
    }
    void OnWindowReady() override { ++readyCount; }
    LRESULT HitTestForTesting(int x, int y) { return HitTest(POINT{x, y}); }

    // Times the "windowinit" notification reached the window.
    int readyCount = 0;

private:
    std::wstring m_skin;
    int m_dpi;
};

// True once the window's tree is laid out and everything asked is painted.
inline bool IsSkinPainted(SkinTestWindow& win)
{
    ui::WindowCore& core = win.Core();
    return core.GetRoot() && !core.IsFirstLayoutPendingForTesting() && core.GetDirtyRectsForTesting().empty() &&
           !GetUpdateRect(win.GetHWND(), nullptr, FALSE);
}

// Waits until `window` is the active foreground window and has stayed so
// while the display's focus events came back. False when it did not.
inline bool SettleActivation(HWND window)
{
    constexpr DWORD kFocusSettleMs = 200;
    auto active = [window] { return GetForegroundWindow() == window && GetActiveWindow() == window; };
    if (!PumpUntil(active))
        return false;
    PumpFor(kFocusSettleMs);
    return active();
}

// Creates the window as a pop-up at (x, y), width x height, shows it with
// `show` and pumps until it is painted. Null (with a failed expectation)
// when it could not be opened.
//
// Windows that take mouse drags are shown activated (SW_SHOW): under Wine
// without a window manager, a window activated later (by the press itself,
// or by SetForegroundWindow) is deactivated again once the system's move or
// size loop starts, the capture goes with it, and the loop never sees the
// release.
inline std::unique_ptr<SkinTestWindow> OpenSkinWindow(const std::wstring& skin, int x, int y, int width, int height,
                                                      int dpi = 0, int show = SW_SHOWNOACTIVATE)
{
    auto win = std::make_unique<SkinTestWindow>(skin, dpi);
    if (!win->Create(nullptr, L"skin", WS_POPUP | WS_CLIPCHILDREN, 0, x, y, width, height)) {
        ADD_FAILURE() << "the skin window was not created";
        return nullptr;
    }
    ShowWindow(win->GetHWND(), show);
    SkinTestWindow* w = win.get();
    if (!PumpUntil([w] { return IsSkinPainted(*w); })) {
        ADD_FAILURE() << "the skin window was not painted";
        return nullptr;
    }
    if (show == SW_SHOW && !SettleActivation(win->GetHWND())) {
        ADD_FAILURE() << "the skin window did not stay active";
        return nullptr;
    }
    return win;
}

// Opens the test skin the build packs into the resources of a test whose
// source names the resource type ("ZIPRES", id 104) as the skin archive;
// the caller closes it with CloseSkinArchive. False when it is missing.
inline bool OpenTestSkinResource()
{
    constexpr int kSkinResourceId = 104;
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kSkinResourceId), L"ZIPRES");
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    return loaded && OpenSkinArchive(LockResource(loaded), SizeofResource(nullptr, found));
}

// Mouse input sent from a helper thread while the test thread keeps
// dispatching: a press that starts the system's move or size loop runs that
// loop inside the dispatching thread, which must not also be the sender.
class MouseDriver {
public:
    // Pause between two inputs, so that each move is seen on its own.
    static constexpr DWORD kStepPauseMs = 30;
    // Moves per drag, so that the loops see the pointer travel.
    static constexpr int kDragSteps = 6;

    ~MouseDriver() { Join(); }

    // Presses the left button at `from`, moves to `to` in kDragSteps steps and
    // releases it there (screen coordinates).
    void Drag(POINT from, POINT to)
    {
        Start([from, to] {
            MoveTo(from);
            Button(MOUSEEVENTF_LEFTDOWN);
            for (int i = 1; i <= kDragSteps; ++i)
                MoveTo(POINT{from.x + (to.x - from.x) * i / kDragSteps, from.y + (to.y - from.y) * i / kDragSteps});
            Button(MOUSEEVENTF_LEFTUP);
        });
    }

    // Moves to `at` and clicks the left button there.
    void Click(POINT at)
    {
        Start([at] {
            MoveTo(at);
            Button(MOUSEEVENTF_LEFTDOWN);
            Button(MOUSEEVENTF_LEFTUP);
        });
    }

    // Runs `steps` on the helper thread (after any earlier run ended).
    void Start(std::function<void()> steps)
    {
        Join();
        m_done = false;
        m_thread = std::thread([this, steps = std::move(steps)] {
            steps();
            m_done = true;
        });
    }

    bool Done() const { return m_done; }

    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    static void MoveTo(POINT p)
    {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dx = ToAbsolute(p.x, GetSystemMetrics(SM_CXSCREEN));
        in.mi.dy = ToAbsolute(p.y, GetSystemMetrics(SM_CYSCREEN));
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &in, sizeof(in));
        Sleep(kStepPauseMs);
    }

    static void Button(DWORD flag)
    {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flag;
        SendInput(1, &in, sizeof(in));
        Sleep(kStepPauseMs);
    }

private:
    // Absolute input runs 0..65535 across the screen and is cut down to a
    // pixel: aim at the middle of the pixel asked.
    static LONG ToAbsolute(int pixel, int screen)
    {
        return static_cast<LONG>(((2LL * pixel + 1) * 65536) / (2LL * screen));
    }

    std::thread m_thread;
    std::atomic<bool> m_done{true};
};

} // namespace testsupport
