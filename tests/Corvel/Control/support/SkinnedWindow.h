// A skinned window (IWindowBase) built from a markup string, placed on the
// screen and optionally activated, for control tests that want the whole
// window; and a recorder of the notifications its core raises.
// Header-only: each control test includes what it uses.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Corvel/Core/WindowBase.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

namespace controltest {

class SkinnedWindow : public IWindowBase {
public:
    using CustomControls = std::function<ui::Control*(const wchar_t* className)>;

    explicit SkinnedWindow(std::wstring skin, CustomControls custom = nullptr)
        : m_skin(std::move(skin)), m_custom(std::move(custom))
    {
    }
    std::wstring QuerySkinFile() override { return m_skin; }
    ui::Control* CreateCustomControl(const wchar_t* className, ui::WindowCore*) override
    {
        return m_custom ? m_custom(className) : nullptr;
    }
    // The named control as T (null when absent or not a T).
    template <class T>
    T* Find(const wchar_t* name)
    {
        return dynamic_cast<T*>(Core().FindControlByName(name));
    }
    ui::Control* FindControl(const wchar_t* name) { return Core().FindControlByName(name); }

private:
    std::wstring m_skin;
    CustomControls m_custom;
};

// True once the window's tree is laid out and nothing waits to be painted.
inline bool IsLaidOutAndPainted(SkinnedWindow& win)
{
    return win.Core().GetRoot() && !win.Core().IsFirstLayoutPendingForTesting() &&
           win.Core().GetDirtyRectsForTesting().empty();
}

// Creates the window at (x, y) with the given client size, shows it (made
// the active window when `activate`) and pumps until it is painted.
// How long an activated test window is left to receive its late focus
// events before the test goes on.
constexpr DWORD kActivationSettleMs = 500;

inline std::unique_ptr<SkinnedWindow> OpenSkinnedWindow(const wchar_t* skin, int width, int height, int x = 0,
                                                      int y = 0, bool activate = false,
                                                      SkinnedWindow::CustomControls custom = nullptr)
{
    auto win = std::make_unique<SkinnedWindow>(skin, std::move(custom));
    EXPECT_NE(nullptr, win->Create(nullptr, L"markup", WS_POPUP | WS_CLIPCHILDREN, 0, x, y, width, height));
    if (activate) {
        ShowWindow(win->GetHWND(), SW_SHOW);
        SetForegroundWindow(win->GetHWND());
        SetFocus(win->GetHWND());
        // Under Wine the activation finishes when the X server's focus
        // event comes back; a pop-up opened before that would lose its
        // focus to it and close.
        const HWND hwnd = win->GetHWND();
        EXPECT_TRUE(testsupport::PumpUntil(
            [hwnd] { return GetForegroundWindow() == hwnd && GetActiveWindow() == hwnd && GetFocus() == hwnd; }));
        // The focus event of the X server may still be on its way after
        // that: let it arrive before the test goes on.
        testsupport::PumpFor(kActivationSettleMs);
    } else {
        ShowWindow(win->GetHWND(), SW_SHOWNOACTIVATE);
    }
    EXPECT_TRUE(testsupport::PumpUntil([&win] { return IsLaidOutAndPainted(*win); }));
    return win;
}

// Every notification a core raises, in order.
class NotifyRecorder : public ui::INotifyUI {
public:
    struct Record {
        std::wstring type;
        ui::Control* sender;
        WPARAM wParam;
        LPARAM lParam;
    };
    void ReceiveNotify(ui::tagTNotifyUI& msg) override
    {
        records.push_back(Record{msg.type.GetData(), msg.sender, msg.wParam, msg.lParam});
    }
    // The records of one type, in order.
    std::vector<Record> OfType(const wchar_t* type) const
    {
        std::vector<Record> out;
        for (const Record& r : records) {
            if (r.type == type)
                out.push_back(r);
        }
        return out;
    }
    std::vector<Record> records;
};

} // namespace controltest
