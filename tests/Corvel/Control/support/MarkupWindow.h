// A test window whose control tree is built from skin markup at a chosen
// DPI, and the checks the layout tests share: rectangles of named controls
// and mouse input sent as window messages. Header-only.
#pragma once

#include <windows.h>

#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/DialogBuilder.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

namespace ui {
inline std::ostream& operator<<(std::ostream& os, const RECTF& r)
{
    return os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
} // namespace ui

namespace testsupport {

// A shown window of `width` x `height` 96-DPI pixels (scaled to the DPI)
// whose root is the first control of `markup` (a "<Window>" document), laid
// out and painted once. The window's core owns the tree.
inline std::unique_ptr<TestWindow> ShowMarkupWindow(const wchar_t* markup, int dpi, int width, int height)
{
    auto win = std::make_unique<TestWindow>(dpi);
    ui::DialogBuilder builder;
    win->root = builder.Build(markup, nullptr, &win->core, nullptr);
    EXPECT_NE(nullptr, win->root) << "markup builds no control";
    const float s = dpi / 96.0f;
    EXPECT_NE(nullptr, win->CreatePopup(static_cast<int>(width * s), static_cast<int>(height * s)));
    EXPECT_TRUE(ShowAndPaint(*win));
    return win;
}

// The named control of the window, failing the test when there is none.
inline ui::Control* Named(TestWindow& win, const wchar_t* name)
{
    ui::Control* c = win.core.FindControlByName(name);
    EXPECT_NE(nullptr, c) << "no control named " << std::string(name, name + wcslen(name));
    return c;
}

// Lets a requested relayout and repaint run.
inline bool Settle(TestWindow& win)
{
    return PumpUntil([&win] { return !win.core.IsRelayoutNeeded() && IsPainted(win); });
}

// Mouse messages at client pixels, sent straight to the window.
inline void MouseDown(TestWindow& win, int x, int y)
{
    SendMessageW(win.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageW(win.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}
inline void MouseMove(TestWindow& win, int x, int y)
{
    SendMessageW(win.GetHWND(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
}
inline void MouseUp(TestWindow& win, int x, int y)
{
    SendMessageW(win.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

} // namespace testsupport
